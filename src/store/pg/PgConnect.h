#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

typedef struct pg_conn PGconn;

// Every connection to a PostgreSQL server is made here. The connection string never holds
// a password; when the server asks for one that ~/.pgpass does not give, the password
// offered for this connection string (typed into the connection dialog, not yet kept) or
// the one the desktop keyring keeps for the login is tried. A password that worked is
// remembered for the rest of the run (in memory only), so that the program's many
// connections do not ask the keyring each time.
namespace PgConnect {

// Connects; `defaults` are keyword/value pairs that the connection string's own settings
// override. Returns the connection, good or failed (null only when out of memory).
PGconn* Connect(const QString& conninfo,
                const std::vector<std::pair<const char*, QByteArray>>& defaults = {});

// A failed connection's message, with a hint where to put the password the server asked
// for. The password itself never appears.
QString FailureText(PGconn* conn);

// A password to try for this connection string (empty: none again).
void Offer(const QString& conninfo, const QString& password);

// Keeps the offered password in the desktop keyring for the login it connected as. False
// with the reason when no offered password has connected or the keyring refused it.
bool KeepOffered(const QString& conninfo, QString& message);

// Forgets what the run remembered (tests; a password changed on the server).
void ForgetRemembered();

} // namespace PgConnect
