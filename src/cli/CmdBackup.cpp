#include "cli/Commands.h"

#include "platform/DataFolderLock.h"
#include "platform/UserName.h"
#include "store/UserSchema.h"
#include "upgrade/DatabaseBackup.h"

#include <QDateTime>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace Cli {
namespace {

// FILE and the flags a command allows; anything else is a bad argument.
bool ParseFileArgs(const char* command, const QStringList& args, const QStringList& flags, QString& file,
                   QStringList& given) {
    for (const QString& arg : args) {
        if (flags.contains(arg)) {
            given << arg;
        } else if (!arg.startsWith(QLatin1String("--")) && file.isEmpty()) {
            file = arg;
        } else {
            Err(QStringLiteral("%1: unexpected argument '%2'").arg(QString::fromUtf8(command), arg));
            return false;
        }
    }
    if (file.isEmpty()) {
        Err(QStringLiteral("%1: name the file").arg(QString::fromUtf8(command)));
        return false;
    }
    return true;
}

int CmdBackup(const GlobalOptions& options, const QStringList& args) {
    QString file;
    QStringList given;
    if (!ParseFileArgs("backup", args, {QStringLiteral("--overwrite")}, file, given))
        return 2;
    const QString database = DataFolder(options) + QLatin1Char('/') + UserSchema::FileName();
    const DatabaseBackup::Result result = DatabaseBackup::Backup(
        database, QFileInfo(file).absoluteFilePath(), given.contains(QStringLiteral("--overwrite")));
    if (!result.ok) {
        Err(QStringLiteral("backup: %1").arg(result.message));
        return 1;
    }
    const DatabaseBackup::FileCheck check = DatabaseBackup::Check(result.path);
    std::printf("%s\t%s\n", result.path.toLocal8Bit().constData(), check.version.toLocal8Bit().constData());
    return 0;
}

int CmdRestore(const GlobalOptions& options, const QStringList& args) {
    QString file;
    QStringList given;
    if (!ParseFileArgs("restore", args, {}, file, given))
        return 2;
    const QString folder = DataFolder(options);
    if (!QFileInfo(folder).isDir()) {
        Err(QStringLiteral("restore: the data folder %1 does not exist").arg(folder));
        return 1;
    }
    // While the program works on the folder its database must not change under it: the
    // shared folder's lock and the local folder's own both say that it is open.
    QString user;
    GetUserName(user);
    CDataFolderLock lock;
    switch (lock.Acquire(folder, user, 0)) {
    case CLockFile::Result::Locked:
        break;
    case CLockFile::Result::InUse:
        Err(QStringLiteral("restore: the data folder is in use by %1; close V740Control there first")
                .arg(lock.HolderName().isEmpty() ? QStringLiteral("another program") : lock.HolderName()));
        return 1;
    case CLockFile::Result::Failed:
        Err(QStringLiteral("restore: the data folder cannot be locked (%1)")
                .arg(QString::fromUtf8(std::strerror(lock.Error()))));
        return 1;
    }
    const DatabaseBackup::Result result =
        DatabaseBackup::Restore(folder, QFileInfo(file).absoluteFilePath(), QDateTime::currentDateTime());
    if (!result.ok) {
        Err(QStringLiteral("restore: %1; the database was not changed").arg(result.message));
        return 1;
    }
    std::printf("%s\t%s\n", (folder + QLatin1Char('/') + UserSchema::FileName()).toLocal8Bit().constData(),
                result.path.toLocal8Bit().constData());
    return 0;
}

const CommandRegistration
    kBackup("backup",
            "backup FILE [--overwrite]  consistent, verified copy of user2.db (also while the program runs)",
            CmdBackup);
const CommandRegistration
    kRestore("restore",
             "restore FILE              replace user2.db by a backup (schema 2.0 to 3.2, upgraded);\n"
             "                            the replaced file stays as user2.db.bak-<date>-<time>",
             CmdRestore);

} // namespace
} // namespace Cli
