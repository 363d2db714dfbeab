#pragma once

#include <QString>
#include <QStringList>

// What `v740ctl server-init` puts into an empty PostgreSQL database besides the tables:
// the jet schema with the Jet functions the program's statements call, behaving as the
// SQLite backend's (Jet::DateAdd, Jet::DatePart, Jet::ParseDate, NOW as the workstation's
// wall-clock time), and the types the tables are declared with.
namespace PgSchema {

// citext, the jet schema, the yesno domain and the functions; run before the tables.
QStringList JetStatements();

// The roles: OWNER (no login) owns the tables, DATA (no login) may read and write rows,
// each name of `logins` is a technician's login in DATA. Existing roles are kept.
QStringList RoleStatements(const QString& database, const QStringList& logins);

// Role names for a database.
QString OwnerRole(const QString& database);
QString DataRole(const QString& database);

} // namespace PgSchema

namespace PgSchema {

// Creates the user database's schema of this program's version, the jet schema and the
// roles in the empty database the connection string names; the names of the database
// sort in `language`. False with the reason in `message` when the database cannot be
// reached or holds tables already (it is then left as it is).
bool InitServer(const QString& conninfo, const QString& language, const QStringList& logins,
                QString& message);

} // namespace PgSchema
