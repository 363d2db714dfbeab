#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

// Equality and order of names beyond ASCII, kept out of the schema so that the stock
// sqlite3 tool can still read, write and check the file. Identity is a key column the
// program fills beside each unique name; order is a collation this program registers
// and names only in the ORDER BY clauses it issues. The language that orders names is
// a property of the database (LanguageTab), so every user of a shared file sees one order.
namespace NameOrder {

// The collation registered on every connection.
inline const QString kCollation = QStringLiteral("V740_ORDER");
// "column COLLATE V740_ORDER": a sort key for names in an ORDER BY.
QString OrderBy(const QString& column);

// The identity of a name: canonically composed, case-folded, cut to the column's width.
QString Key(const QString& name, int width = 20);

// The language of a database without LanguageTab, and the one `init` uses by default.
QString DefaultLanguage();
bool IsLanguage(const QString& language);

// Registers the key function and the collation for the database's language, and the
// connection's own triggers that keep dates in their stored form and keys beside names.
bool PrepareConnection(sqlite3* db);

// Names of one table that share a key: each later name with the first one of its key.
struct Clash {
    qint32 firstId = 0;
    QString firstName;
    qint32 otherId = 0;
    QString otherName;
};

} // namespace NameOrder
