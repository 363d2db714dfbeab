#include "upgrade/Permidor.h"

#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "platform/RegistryKey.h"
#include "platform/UserName.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "upgrade/DatabaseUpgrade.h"

#include <QFile>
#include <QStringList>
#include <cstdio>
#include <sys/stat.h>

namespace Permidor {

const QStringList& DataFiles() {
    static const QStringList files{QStringLiteral("GP.xml"),          QStringLiteral("GPs.xml"),
                                   QStringLiteral("PV.xml"),          QStringLiteral("PVs.xml"),
                                   QStringLiteral("V740Control.ini"), UserSchema::FileName(),
                                   QStringLiteral("logo.bmp"),        QStringLiteral("header.txt")};
    return files;
}

void GrantWriteRights(const QString& folder) {
    for (const QString& name : DataFiles()) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        struct stat st {};
        if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        ::chmod(path.constData(), (st.st_mode & 07777) | S_IWGRP | S_IWOTH);
    }
}

namespace {

struct RegistrySettings {
    quint32 externalPathEnable = 0;
    QString externalDataPath;
};

// A missing key is created with its defaults; a present one is read. Nothing here is
// reported: the upgrade goes on with what could be read.
RegistrySettings ReadRegistry() {
    RegistrySettings settings;
    CRegistryKey key;
    int error = 0;
    bool created = false;
    if (!key.Open(false, &created, &error)) {
        if (key.Open(true, &created, &error)) {
            QString failed;
            key.WriteDefaults(&failed, &error);
        }
        return settings;
    }
    // 260 bytes of buffer: at most 129 characters.
    if (key.QuerySz(QStringLiteral("ExternalDataPath"), settings.externalDataPath, 260, &error)) {
        quint32 enable = 0;
        if (key.QueryDword(QStringLiteral("ExternalPathEnable"), enable, &error))
            settings.externalPathEnable = enable;
    }
    return settings;
}

} // namespace

int Run() {
    QString user;
    if (GetUserName(user))
        std::printf("current user: %s\n", user.toLocal8Bit().constData());
    else
        std::printf("unkown user\n");
    std::fflush(stdout);

    const RegistrySettings registry = ReadRegistry();
    const QString local = Folders::LocalDataFolder();
    GrantWriteRights(local);

    QString folder = local;
    if (registry.externalPathEnable == 1) {
        folder = registry.externalDataPath;
        // A failed copy does not stop the upgrade.
        const QString target = folder + QStringLiteral("/V740Control.ini");
        const QString source = local + QStringLiteral("/V740Control.ini");
        if (QFile::exists(source)) {
            QFile::remove(target);
            QFile::copy(source, target);
        }
    }

    bool ok = false;
    {
        CAdoDatabase db;
        QString version;
        ok = db.Open(folder, UserSchema::FileName()) && DatabaseUpgrade::ReadVersion(db, version) &&
             DatabaseUpgrade::RunChain(db, version);
    }
    if (!ok)
        Notifier().ShowMessage(
            QStringLiteral("VELMOR 740/750ST - Roziraz Uvurad\nDatebase Update %1/%2 not possible!")
                .arg(folder, UserSchema::FileName()),
            QStringLiteral("Database Update Fail!"), CNotifier::Icon::Error);
    return 0;
}

} // namespace Permidor
