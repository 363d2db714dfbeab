#pragma once

#include <QString>

// Where the user database lives: the data folder's user2.db, or a PostgreSQL server that
// several workstations share. The server is named by a libpq connection string (for
// example "host=db.example.org dbname=v740 sslmode=verify-full"); passwords belong in
// ~/.pgpass, never in the string.
namespace DataLocation {

// The server given to this process (v740ctl --server); empty: VELMOR_DATABASE decides.
void SetServer(const QString& conninfo);
// The server connection string in force, or empty for the data folder's file.
QString Server();
// The server that stands in for the database file at path: only the user database moves
// to the server, the reference database stays a local file.
QString ServerFor(const QString& path);

} // namespace DataLocation
