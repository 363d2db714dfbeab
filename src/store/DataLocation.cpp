#include "store/DataLocation.h"

#include <QFileInfo>
#include <QMutex>

namespace DataLocation {

namespace {
QMutex g_mutex;
bool g_set = false;
QString g_server;
} // namespace

void SetServer(const QString& conninfo) {
    QMutexLocker lock(&g_mutex);
    g_set = true;
    g_server = conninfo.trimmed();
}

QString Server() {
    {
        QMutexLocker lock(&g_mutex);
        if (g_set)
            return g_server;
    }
    return qEnvironmentVariable("VELMOR_DATABASE").trimmed();
}

QString ServerFor(const QString& path) {
    if (QFileInfo(path).fileName() != QLatin1String("user2.db"))
        return QString();
    return Server();
}

} // namespace DataLocation
