#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>

#ifndef V740_INSTALL_SHARE_DIR
#define V740_INSTALL_SHARE_DIR "/usr/local/share/velmor740st"
#endif

namespace Folders {

QString AppFolderName() {
    return QStringLiteral("VELMOR 740ST - Roziraz Uvurad");
}

QString ProgramFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString ProgramFilesFolder() {
    const QString env = qEnvironmentVariable("VELMOR_PROGRAM_FILES");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    // An installation moved to another prefix keeps its share folder beside bin/.
    const QString beside = QDir::cleanPath(ProgramFolder() + QStringLiteral("/../share/velmor740st"));
    if (QFileInfo(beside).isDir())
        return beside;
    return QDir::cleanPath(QStringLiteral(V740_INSTALL_SHARE_DIR));
}

QString UpdateFolder() {
    return ProgramFilesFolder() + QStringLiteral("/Update");
}

QString CommonAppDataFolder() {
    const QString env = qEnvironmentVariable("VELMOR_COMMON_APPDATA");
    return QDir::cleanPath(env.isEmpty() ? QStringLiteral("/var/lib") : env);
}

QString LocalDataFolder() {
    return CommonAppDataFolder() + QLatin1Char('/') + AppFolderName();
}

QString ReferenceDatabaseFolder() {
    const QString program = ProgramFolder();
    if (QFileInfo::exists(program + QStringLiteral("/velmor.db")))
        return program;
    const QString share = ProgramFilesFolder();
    if (QFileInfo::exists(share + QStringLiteral("/velmor.db")))
        return share;
    return program;
}

QString DataGroupName() {
    const QString env = qEnvironmentVariable("VELMOR_GROUP");
    return env.isEmpty() ? QStringLiteral("velmor740st") : env;
}

void AllowGroupWrite() {
    const mode_t old = ::umask(0);
    ::umask(old & ~mode_t(S_IRGRP | S_IWGRP));
}

} // namespace Folders
