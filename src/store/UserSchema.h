#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "store/NameOrder.h"

class CAdoDatabase;

// The user database user2.db in each schema version from 2.0 to 3.2.
namespace UserSchema {

// Schema versions in upgrade order.
const QStringList& Versions();
// The version this program works with.
QString CurrentVersion();
bool IsKnownVersion(const QString& version);

// File name of the user database in the data folder.
QString FileName();

// The start-up's check of an open user database: the DatabaseVersion of VersionTab's
// last row must be CurrentVersion(). False when it differs (message: the program's text
// naming both versions and the program folder, texts from text) or cannot be read
// (message empty: the data store has told why).
bool CheckVersion(CAdoDatabase& db, const std::function<QString(qint32 textId)>& text,
                  const QString& programFolder, QString& message);

// The statements that create an empty database of the version: tables, indexes and the
// VersionTab rows of every step up to the version; a 3.2 file also gets the language that
// orders its names (the default one when empty). Empty for an unknown version. Nothing in
// the schema names a function or collation of this program, so the stock sqlite3 tool
// reads, writes and checks the file.
QStringList CreateStatements(const QString& version, const QString& language = QString());

// Creates folder/user2.db of the version. Fails, with a message through the notifier, if
// the file exists or cannot be made; a half-made file is removed.
bool CreateUserDatabase(const QString& folder, const QString& version, const QString& language = QString());

// Brings a 3.2 file made by an earlier build to the schema of this one, in one transaction:
// drops date triggers that call this program's functions, adds LanguageTab (with the given
// language, else the default one) and the name keys with their unique index. Names that
// clash keep no key, so the step never fails on them. Other versions are left alone.
bool CompleteSchema(CAdoDatabase& db, const QString& language = QString());

// "Table.Column" of every date column of the tables (the same in every version).
const QStringList& DateColumns();

// Test specifications whose names differ only in case (beyond ASCII) from an earlier one.
QList<NameOrder::Clash> FindNameClashes(CAdoDatabase& db);

// The VersionTab row that an upgrade step (or a fresh database) appends.
struct VersionRow {
    QString version;
    QString requiredRelease;
    QString comment;
};
const QList<VersionRow>& VersionRows();
QString VersionRowInsert(const VersionRow& row);

// The indexes that the import's checks look up, and the rule that a device has one current
// protocol (a unique index on myGUID where History = 0). They came after 3.2's schema, so
// they are created where missing, on new and existing files alike. The unique index is
// left out while a file still holds two current protocols of one GUID. False only when an
// index could not be created.
bool EnsureLookupIndexes(CAdoDatabase& db);
// Their names, for tests.
inline constexpr const char* kCurrentGuidIndex = "GeraeteTab_IX_CurrentGUID";
inline constexpr const char* kDeviceIndex = "GeraeteTab_IX_Device";

// The tables of the current version, masters before their step and result tables, with
// each column's Jet type as declared (COUNTER, LONG, TEXT(n), MEMO, DATETIME, YESNO, DECIMAL).
struct TableColumns {
    QString table;
    QStringList columns;
    QStringList types;
};
QList<TableColumns> CurrentTables();

// The same schema for a PostgreSQL server (PgSchema::InitServer): lower-case names, the
// server's types for the Jet ones (citext for text, so that names compare and sort
// without regard to case), the lookup and current-protocol indexes from the start.
QStringList ServerCreateStatements();
// The rows a new server database starts with, as Jet statements: VersionTab's rows of
// every step and the language that orders its names.
QStringList ServerContentStatements(const QString& language);

} // namespace UserSchema
