#include "platform/RegistrySettings.h"

#include "platform/RegistryKey.h"

#include <cerrno>

namespace {

const QString kExternalPathEnable = QStringLiteral("ExternalPathEnable");
const QString kExternalDataPath = QStringLiteral("ExternalDataPath");
const QString kComment = QStringLiteral("Comment");
const QString kDatabaseServer = QStringLiteral("DatabaseServer");

// Reader buffers in bytes of UTF-16, the terminator included.
constexpr int BufferBytes(int chars) {
    return (chars + 1) * 2;
}

// The three values of a new key, in order; the first failed write stops.
QString WriteDefaults(CRegistryKey& key, int* error) {
    if (!key.SetDword(kExternalPathEnable, 0, error))
        return QStringLiteral("Error Registry Write ExternalPathEnable");
    if (!key.SetSz(kExternalDataPath, CRegistrySettings::PlaceholderDataPath(), error))
        return QStringLiteral("Error Registry Write ExternalDataPath");
    if (!key.SetSz(kComment, CRegistrySettings::DefaultComment(), error))
        return QStringLiteral("Error Registry Write Comment");
    return QString();
}

} // namespace

CRegistrySettings CRegistrySettings::Read(QString* problem, int* error, bool* openFailed) {
    CRegistrySettings settings;
    problem->clear();
    *error = 0;
    if (openFailed)
        *openFailed = false;
    CRegistryKey key;
    bool created = false;
    if (!key.Open(true, &created, error)) {
        if (openFailed)
            *openFailed = true;
        *problem = QStringLiteral("Error to access VELMOR Roziraz Uvurad registry settings");
        return settings;
    }
    if (created) {
        *problem = WriteDefaults(key, error);
        return settings;
    }
    QString path;
    if (!key.QuerySz(kExternalDataPath, path, BufferBytes(kMaxDataPathChars), error)) {
        *problem = QStringLiteral("Error Registry Read ExternalDataPath");
        return settings;
    }
    settings.externalDataPath = path;
    quint32 enable = 0;
    if (!key.QueryDword(kExternalPathEnable, enable, error)) {
        *problem = QStringLiteral("Error Registry Read ExternalPathEnable");
        return settings;
    }
    settings.externalPathEnable = enable;
    CRegistryKey::Type serverType = CRegistryKey::Type::Sz;
    if (key.HasValue(kDatabaseServer, &serverType) && serverType == CRegistryKey::Type::Sz) {
        QString server;
        if (!key.QuerySz(kDatabaseServer, server, BufferBytes(kMaxServerChars), error)) {
            *problem = QStringLiteral("Error Registry Read DatabaseServer");
            return settings;
        }
        settings.databaseServer = server.trimmed();
    }
    // The comment is never used; only a text too long for its buffer counts.
    CRegistryKey::Type type = CRegistryKey::Type::Sz;
    QString comment;
    if (key.HasValue(kComment, &type) && type == CRegistryKey::Type::Sz &&
        !key.QuerySz(kComment, comment, BufferBytes(kMaxCommentChars), error))
        *problem = QStringLiteral("Error Registry Read Comment");
    return settings;
}

QString CRegistrySettings::ReadDatabaseServer() {
    CRegistryKey key;
    int error = 0;
    bool created = false;
    CRegistryKey::Type type = CRegistryKey::Type::Sz;
    QString server;
    if (!key.Open(false, &created, &error) || !key.HasValue(kDatabaseServer, &type) ||
        type != CRegistryKey::Type::Sz ||
        !key.QuerySz(kDatabaseServer, server, BufferBytes(kMaxServerChars), &error))
        return QString();
    return server.trimmed();
}

bool CRegistrySettings::WriteDatabaseServer(const QString& conninfo, QString* problem) {
    problem->clear();
    const QString value = conninfo.trimmed();
    if (value.size() > kMaxServerChars) {
        *problem = QStringLiteral("The connection string is longer than %1 characters").arg(kMaxServerChars);
        return false;
    }
    CRegistryKey key;
    int error = 0;
    bool created = false;
    if (!key.Open(true, &created, &error) || (created && !WriteDefaults(key, &error).isEmpty()) ||
        !(value.isEmpty() ? key.DeleteValue(kDatabaseServer, &error)
                          : key.SetSz(kDatabaseServer, value, &error))) {
        *problem = QStringLiteral("Error Registry Write DatabaseServer: ") +
                   CRegistryKey::ErrorText(error).trimmed();
        return false;
    }
    return true;
}
