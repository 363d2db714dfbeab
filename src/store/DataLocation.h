#pragma once

#include <QString>

// Where the user database lives: the data folder's user2.db, or a PostgreSQL server that
// several workstations share. The server is named by a libpq connection string (for
// example "host=db.example.org dbname=v740 sslmode=verify-full"); passwords belong in
// ~/.pgpass, never in the string.
namespace DataLocation {

// The server given to this process (v740ctl --server); empty: VELMOR_DATABASE decides.
void SetServer(const QString& conninfo);
// Forgets what SetServer set: VELMOR_DATABASE and the registry key decide again.
void ResetServer();
// The server connection string in force, or empty for the data folder's file: the one set
// for the process, else VELMOR_DATABASE when it is set (empty: the file), else the
// registry key's DatabaseServer (the connection dialog's choice).
QString Server();
// The server that stands in for the database file at path: only the user database moves
// to the server, the reference database stays a local file.
QString ServerFor(const QString& path);

} // namespace DataLocation
