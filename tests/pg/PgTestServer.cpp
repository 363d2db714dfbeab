#include "PgTestServer.h"

#include "store/pg/PgBackend.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace PgTestServer {

QString Socket() {
    const QString socket = qEnvironmentVariable("VELMOR_PG_TEST_SOCKET");
    if (socket.isEmpty() || !QFileInfo::exists(socket + QStringLiteral("/.s.PGSQL.5432")))
        return QString();
    return socket;
}

QString TlsFolder() {
    const QString socket = qEnvironmentVariable("VELMOR_PG_TEST_SOCKET");
    if (socket.isEmpty())
        return QString();
    return QFileInfo(socket).dir().path() + QStringLiteral("-tls");
}

QString TestName() {
    return QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

QString SkipReason() {
    return QStringLiteral("no PostgreSQL test server: scripts/pg-test-cluster.sh found no server binaries "
                          "(install postgresql-15, as scripts/setup.sh does) or did not run");
}

QString Maintenance() {
    return QStringLiteral("host=%1 user=postgres dbname=postgres").arg(Socket());
}

QString FreshDatabase(const QString& nameIn) {
    const QString name = nameIn.toLower();
    CPgBackend admin;
    if (!admin.Open(Maintenance()))
        return QString();
    if (!admin.RunNative(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name)) ||
        !admin.RunNative(
            QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0 ENCODING 'UTF8'").arg(name)))
        return QString();
    return QStringLiteral("host=%1 user=postgres dbname=%2").arg(Socket(), name);
}

} // namespace PgTestServer
