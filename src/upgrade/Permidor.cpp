#include "upgrade/Permidor.h"

#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "platform/RegistrySettings.h"
#include "platform/SettingsFile.h"
#include "platform/UserName.h"
#include "store/AdoDatabase.h"
#include "store/DataLocation.h"
#include "store/UserSchema.h"
#include "upgrade/DatabaseUpgrade.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Permidor {

const QStringList& DataFiles() {
    static const QStringList files{QStringLiteral("GP.xml"),   QStringLiteral("GPs.xml"),
                                   QStringLiteral("PV.xml"),   QStringLiteral("PVs.xml"),
                                   CSettingsFile::FileName(),  UserSchema::FileName(),
                                   QStringLiteral("logo.bmp"), QStringLiteral("header.txt")};
    return files;
}

namespace {

// Opens one name of the folder without following a link and without blocking on a FIFO.
int OpenEntry(int dirFd, const QString& name, int flags) {
    return ::openat(dirFd, QFile::encodeName(name).constData(),
                    flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

} // namespace

GrantResult GrantWriteRights(const QString& folder) {
    GrantResult result;
    gid_t gid = gid_t(-1);
    const QByteArray groupName = Folders::DataGroupName().toLocal8Bit();
    if (const struct group* g = ::getgrnam(groupName.constData()))
        gid = g->gr_gid;
    else
        result.groupMissing = true;

    const int dirFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        result.skipped << folder;
        return result;
    }
    // The journal and the safe save of the settings file are created beside the files, so
    // the group needs the folder itself; setgid hands its group on to what is created there.
    if (gid != gid_t(-1) && ::fchown(dirFd, uid_t(-1), gid) != 0) {
        // Not ours to give away: the folder keeps its group, the mode below still helps.
    }
    ::fchmod(dirFd, 02775);

    for (const QString& name : DataFiles()) {
        const int fd = OpenEntry(dirFd, name, O_RDONLY);
        if (fd < 0) {
            if (errno != ENOENT)
                result.skipped << name; // a link (ELOOP) or something unreadable
            continue;
        }
        struct stat st {};
        // Only a plain file with one name: a link or a hard link to a file elsewhere would
        // make that file writable for the group.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
            result.skipped << name;
            ::close(fd);
            continue;
        }
        if (gid != gid_t(-1) && ::fchown(fd, uid_t(-1), gid) != 0) {
            // The file keeps its group; the mode below still applies.
        }
        ::fchmod(fd, (st.st_mode & 07777) | S_IRGRP | S_IWGRP);
        result.granted << name;
        ::close(fd);
    }
    ::close(dirFd);
    return result;
}

bool ReplaceFile(const QString& source, const QString& target) {
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly))
        return false;
    // Written beside the target and renamed over it: the share keeps its old file until
    // the new one is complete.
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            break;
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            break;
        }
    }
    if (in.error() != QFileDevice::NoError)
        out.cancelWriting();
    return out.commit();
}

namespace {

// A server database is made whole by server-init and has no older schema to upgrade from:
// its version is reported, and a database of another version is left alone.
int CheckServer(const QString& conninfo) {
    std::printf("server database: %s\n", conninfo.toLocal8Bit().constData());
    std::fflush(stdout);
    CAdoDatabase db;
    QString version;
    QString problem;
    if (!db.OpenServer(conninfo) || !DatabaseUpgrade::ReadVersion(db, version))
        problem = QStringLiteral("The server database %1 cannot be read.").arg(conninfo);
    else if (version != UserSchema::CurrentVersion())
        problem = QStringLiteral("The server database %1 has schema version %2; this program works with %3. "
                                 "It was left unchanged.")
                      .arg(conninfo, version, UserSchema::CurrentVersion());
    if (problem.isEmpty()) {
        std::printf("schema version %s\n", version.toLocal8Bit().constData());
        std::fflush(stdout);
        return 0;
    }
    Notifier().ShowMessage(problem, QStringLiteral("Database Update Fail!"), CNotifier::Icon::Error);
    return 1;
}

} // namespace

int Run() {
    QString user;
    if (GetUserName(user))
        std::printf("current user: %s\n", user.toLocal8Bit().constData());
    else
        std::printf("unkown user\n");
    std::fflush(stdout);

    // Nothing about the key is reported: the upgrade goes on with what could be read.
    QString problem;
    int error = 0;
    const CRegistrySettings registry = CRegistrySettings::Read(&problem, &error);
    const QString local = Folders::LocalDataFolder();
    const GrantResult rights = GrantWriteRights(local);
    if (rights.groupMissing)
        std::printf("group %s not found: the data files keep their group\n",
                    Folders::DataGroupName().toLocal8Bit().constData());
    for (const QString& name : rights.skipped)
        std::printf("not a plain file, rights left unchanged: %s\n", name.toLocal8Bit().constData());
    std::fflush(stdout);

    QString folder = local;
    if (registry.UsesSharedFolder()) {
        folder = registry.externalDataPath;
        // A failed copy does not stop the upgrade.
        const QString target = CSettingsFile::PathIn(folder);
        const QString source = CSettingsFile::PathIn(local);
        if (QFile::exists(source))
            ReplaceFile(source, target);
    }

    const QString server = DataLocation::Server();
    if (!server.isEmpty())
        return CheckServer(server);

    bool ok = false;
    {
        CAdoDatabase db;
        QString version;
        // Names are ordered in the language the user works in on this machine.
        const QString language = CSettingsFile(local).Language();
        ok = db.Open(folder, UserSchema::FileName()) && DatabaseUpgrade::ReadVersion(db, version) &&
             DatabaseUpgrade::RunChain(db, version) && UserSchema::CompleteSchema(db, language);
        // Names that differ only in case stay as they are; the administrator is told which.
        if (ok)
            for (const NameOrder::Clash& c : UserSchema::FindNameClashes(db))
                std::printf("test specifications differ only in case: %d \"%s\" and %d \"%s\"\n", c.firstId,
                            c.firstName.toLocal8Bit().constData(), c.otherId,
                            c.otherName.toLocal8Bit().constData());
        std::fflush(stdout);
    }
    if (!ok)
        Notifier().ShowMessage(
            QStringLiteral("VELMOR 740/750ST - Roziraz Uvurad\nDatebase Update %1/%2 not possible!")
                .arg(folder, UserSchema::FileName()),
            QStringLiteral("Database Update Fail!"), CNotifier::Icon::Error);
    return 0;
}

} // namespace Permidor
