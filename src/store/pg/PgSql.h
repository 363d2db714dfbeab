#pragma once

#include <QSet>
#include <QString>

// The program's statements are written in the Jet dialect that the SQLite backend runs
// (see Jet::TranslateStatement); this rewrites them for a PostgreSQL server whose schema
// was made by `v740ctl server-init`.
namespace PgSql {

// Rewrites one Jet statement for PostgreSQL:
// - "text" is a literal unless it names a known column or table (SQLite's own rule);
// - [name] and bare words naming a known column become quoted, folded identifiers, so that
//   a column called Limit or User is never read as the keyword;
// - a bare user, current_user or session_user that names no column stays a column name
//   (and fails) instead of silently giving the login name;
// - ? becomes $1, $2, ...; @@IDENTITY becomes lastval(); rowid becomes ctid;
// - DATEADD, DATEPART, CVDATE and NOW are the jet schema's functions, pragma_table_info
//   is jet.table_info;
// - LIKE is ILIKE (Jet's LIKE ignores case); COLLATE NOCASE and the program's name
//   collation are dropped, the server's text columns compare without regard to case;
// - every ORDER BY key gets SQLite's place for NULLs: first when ascending, last when
//   descending.
// `known` holds lower-case column and table names. `parameters`, when given, receives the
// number of ? markers.
QString Translate(const QString& jetSql, const QSet<QString>& known, int* parameters = nullptr);

// The text as a PostgreSQL identifier: folded to lower case and double-quoted.
QString Identifier(const QString& name);

} // namespace PgSql
