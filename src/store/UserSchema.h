#pragma once

#include <QString>
#include <QStringList>

// The user database user2.db in each schema version from 2.0 to 3.2.
namespace UserSchema {

// Schema versions in upgrade order.
const QStringList& Versions();
// The version this program works with.
QString CurrentVersion();
bool IsKnownVersion(const QString& version);

// File name of the user database in the data folder.
QString FileName();

// The statements that create an empty database of the version: tables, indexes, the
// triggers that keep dates in their stored form, and the VersionTab rows of every step
// up to the version. Empty for an unknown version.
QStringList CreateStatements(const QString& version);

// Creates folder/user2.db of the version. Fails, with a message through the notifier, if
// the file exists or cannot be made; a half-made file is removed.
bool CreateUserDatabase(const QString& folder, const QString& version);

// The VersionTab row that an upgrade step (or a fresh database) appends.
struct VersionRow {
    QString version;
    QString requiredRelease;
    QString comment;
};
const QList<VersionRow>& VersionRows();
QString VersionRowInsert(const VersionRow& row);

} // namespace UserSchema
