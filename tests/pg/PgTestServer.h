#pragma once

#include <QString>

// The throwaway cluster that scripts/pg-test-cluster.sh starts for the server tests.
namespace PgTestServer {

// The folder of the cluster's socket, or empty when no server runs (no binaries here).
QString Socket();
// Why the server tests are skipped when Socket() is empty.
QString SkipReason();
// Makes an empty database of that name (dropping one left by an earlier run) and returns
// its connection string, or an empty string when that failed.
QString FreshDatabase(const QString& name);
// The folder of the TLS cluster (start-tls), beside the first one's.
QString TlsFolder();
// The running GoogleTest test's name, for database names.
QString TestName();
// The connection string of the cluster's maintenance database.
QString Maintenance();

} // namespace PgTestServer
