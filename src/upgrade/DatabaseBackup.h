#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Copies of the user database that can be trusted: taken with SQLite's online backup (also
// while the program writes), checked before they count, and put back without ever leaving
// a half-written user2.db.
namespace DatabaseBackup {

struct Result {
    bool ok = false;
    QString message; // what went wrong, naming the cause; empty on success
    QString path;    // the file written (backup) or the replaced database kept (restore)
};

// What a file is, read from its first bytes and its VersionTab.
struct FileCheck {
    bool ok = false; // a readable SQLite user database that passed integrity_check
    QString version; // DatabaseVersion of VersionTab's last row
    QString message; // the cause when !ok
};

// Checks file: an SQLite database (a Jet file or anything else is named as such), PRAGMA
// integrity_check "ok", and a VersionTab with a version.
FileCheck Check(const QString& file);

// Writes a consistent copy of the database file to target through a temporary file beside
// it, verifies the copy (integrity_check, version), then renames it into place. An existing
// target is replaced only with overwrite.
Result Backup(const QString& database, const QString& target, bool overwrite);

// Replaces dataFolder's user2.db with source: the source must be a user database of version
// 2.0 to 3.2; it is copied to a temporary file in the folder, brought to 3.2 by the upgrade
// chain, checked, given the folder's group and mode, then renamed over user2.db. The
// replaced database is kept beside it as user2.db.bak-<date>-<time> (Result::path).
// The caller holds the data folder's lock.
Result Restore(const QString& dataFolder, const QString& source, const QDateTime& now);

// The rolling backups of a data folder: backup/user2-<date>-<time>.db, newest last.
QString RollingFolder(const QString& dataFolder);
QStringList RollingBackups(const QString& dataFolder);

// Makes a rolling backup when the newest is older than a day (or there is none) and keeps
// the newest keep files. made says whether a backup was written.
Result RollingBackup(const QString& dataFolder, int keep, const QDateTime& now, bool* made);

// The default number of rolling backups kept.
constexpr int kDefaultKeep = 7;

} // namespace DatabaseBackup
