#include "store/DataLocation.h"

#include "platform/RegistryKey.h"
#include "platform/RegistrySettings.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

namespace DataLocation {

namespace {
QMutex g_mutex;
bool g_set = false;
QString g_server;

// The registry's DatabaseServer, read again only when the key file changed: the layer asks
// for every connection to the user database.
struct RegistryCache {
    bool read = false;
    QString file;
    QDateTime modified;
    qint64 size = -1;
    QString server;
} g_registry;

QString FromRegistry() {
    const QString file = CRegistryKey::KeyFile();
    const QFileInfo info(file);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    if (!g_registry.read || g_registry.file != file || g_registry.modified != modified ||
        g_registry.size != size) {
        g_registry.server = info.exists() ? CRegistrySettings::ReadDatabaseServer() : QString();
        g_registry.read = true;
        g_registry.file = file;
        g_registry.modified = modified;
        g_registry.size = size;
    }
    return g_registry.server;
}
} // namespace

void SetServer(const QString& conninfo) {
    QMutexLocker lock(&g_mutex);
    g_set = true;
    g_server = conninfo.trimmed();
}

void ResetServer() {
    QMutexLocker lock(&g_mutex);
    g_set = false;
    g_server.clear();
}

QString Server() {
    QMutexLocker lock(&g_mutex);
    if (g_set)
        return g_server;
    if (qEnvironmentVariableIsSet("VELMOR_DATABASE"))
        return qEnvironmentVariable("VELMOR_DATABASE").trimmed();
    return FromRegistry();
}

QString ServerFor(const QString& path) {
    if (QFileInfo(path).fileName() != QLatin1String("user2.db"))
        return QString();
    return Server();
}

} // namespace DataLocation
