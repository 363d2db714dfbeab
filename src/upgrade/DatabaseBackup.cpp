#include "upgrade/DatabaseBackup.h"

#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "upgrade/DatabaseUpgrade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace DatabaseBackup {
namespace {

// A writer in another process may hold the database for a while; the copy waits that long.
constexpr auto kBusyPatience = std::chrono::seconds(30);

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString CauseText(int code, sqlite3* db) {
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return QStringLiteral("the file cannot be written there (%1)")
            .arg(QString::fromUtf8(std::strerror(errno)));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("the database stayed busy with another writer");
    case SQLITE_IOERR:
        return QStringLiteral("input/output error (%1)").arg(QString::fromUtf8(std::strerror(errno)));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return QStringLiteral("the file is not a sound database");
    default:
        return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    }
}

// Closes the handle whatever happened, so that no half-open file stays behind.
struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close_v2(db); }
};

bool SyncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Everything written into a shared data folder stays writable for the folder's group,
// whatever the writer's umask; set through the descriptor, never through a link.
void ShareWithFolderGroup(const QString& file, const QString& folder, mode_t mode) {
    struct stat dir {};
    if (::stat(QFile::encodeName(folder).constData(), &dir) != 0)
        return;
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (st.st_gid != dir.st_gid && ::fchown(fd, uid_t(-1), dir.st_gid) != 0) {
            // Not a member of the folder's group: the mode below still applies.
        }
        ::fchmod(fd, mode);
    }
    ::close(fd);
}

} // namespace

FileCheck Check(const QString& file) {
    FileCheck check;
    QFile f(file);
    if (!QFileInfo(file).isFile() || !f.open(QIODevice::ReadOnly)) {
        check.message = QStringLiteral("%1 cannot be read").arg(Native(file));
        return check;
    }
    const QByteArray head = f.read(100);
    f.close();
    if (head.contains("Standard Jet DB") || head.contains("Standard ACE DB")) {
        check.message =
            QStringLiteral("%1 is a Jet file from the Windows program, not a database of this program")
                .arg(Native(file));
        return check;
    }
    if (!head.startsWith(QByteArray("SQLite format 3", 16))) {
        check.message = QStringLiteral("%1 is not a user database").arg(Native(file));
        return check;
    }
    Handle h;
    int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &h.db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        check.message = QStringLiteral("%1 cannot be opened: %2").arg(Native(file), CauseText(rc, h.db));
        return check;
    }
    sqlite3_busy_timeout(h.db, 5000);
    sqlite3_stmt* st = nullptr;
    QStringList problems;
    rc = sqlite3_prepare_v2(h.db, "PRAGMA integrity_check", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = SQLITE_ROW;
    while (rc == SQLITE_ROW && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const QString line = QString::fromUtf8(text ? text : "");
        if (line != QLatin1String("ok"))
            problems << line;
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE || !problems.isEmpty()) {
        check.message =
            QStringLiteral("%1 is damaged: %2")
                .arg(Native(file), problems.isEmpty() ? CauseText(rc, h.db)
                                                      : problems.mid(0, 3).join(QStringLiteral("; ")));
        return check;
    }
    rc = sqlite3_prepare_v2(h.db, "SELECT DatabaseVersion FROM VersionTab ORDER BY rowid DESC LIMIT 1", -1,
                            &st, nullptr);
    if (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        check.version =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))).trimmed();
    sqlite3_finalize(st);
    if (check.version.isEmpty()) {
        check.message =
            QStringLiteral("%1 is not a user database (no version in VersionTab)").arg(Native(file));
        return check;
    }
    check.ok = true;
    return check;
}

Result Backup(const QString& database, const QString& target, bool overwrite) {
    Result result;
    if (QFileInfo::exists(target) && !overwrite) {
        result.message = QStringLiteral("%1 exists already; nothing was written").arg(Native(target));
        return result;
    }
    if (!QFileInfo(database).isFile()) {
        result.message = QStringLiteral("%1 does not exist").arg(Native(database));
        return result;
    }
    const QString temp = target + QStringLiteral(".part");
    QFile::remove(temp);
    auto fail = [&](const QString& message) {
        QFile::remove(temp);
        result.message = message;
        return result;
    };
    {
        Handle src, dst;
        int rc =
            sqlite3_open_v2(QFile::encodeName(database).constData(), &src.db, SQLITE_OPEN_READONLY, nullptr);
        if (rc != SQLITE_OK)
            return fail(QStringLiteral("%1 cannot be read: %2").arg(Native(database), CauseText(rc, src.db)));
        sqlite3_busy_timeout(src.db, 5000);
        errno = 0;
        rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &dst.db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK)
            return fail(
                QStringLiteral("%1 cannot be written: %2").arg(Native(target), CauseText(rc, dst.db)));
        sqlite3_backup* copy = sqlite3_backup_init(dst.db, "main", src.db, "main");
        if (!copy)
            return fail(QStringLiteral("%1 cannot be written: %2")
                            .arg(Native(target), CauseText(sqlite3_errcode(dst.db), dst.db)));
        const auto deadline = std::chrono::steady_clock::now() + kBusyPatience;
        do {
            errno = 0;
            rc = sqlite3_backup_step(copy, -1);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && std::chrono::steady_clock::now() < deadline);
        const int finish = sqlite3_backup_finish(copy);
        if (rc != SQLITE_DONE || finish != SQLITE_OK)
            return fail(QStringLiteral("%1 cannot be written: %2")
                            .arg(Native(target), CauseText(rc != SQLITE_DONE ? rc : finish, dst.db)));
    }
    if (!SyncFile(temp))
        return fail(QStringLiteral("%1 cannot be written: %2")
                        .arg(Native(target), QString::fromUtf8(std::strerror(errno))));
    const FileCheck check = Check(temp);
    if (!check.ok)
        return fail(QStringLiteral("the copy did not pass its check: %1").arg(check.message));
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("%1 cannot be written: %2")
                        .arg(Native(target), QString::fromUtf8(std::strerror(errno))));
    SyncFolder(QFileInfo(target).absolutePath());
    result.ok = true;
    result.path = target;
    return result;
}

Result Restore(const QString& dataFolder, const QString& source, const QDateTime& now) {
    Result result;
    const FileCheck check = Check(source);
    if (!check.ok) {
        result.message = check.message;
        return result;
    }
    if (!UserSchema::IsKnownVersion(check.version)) {
        result.message =
            QStringLiteral("%1 has schema version %2; this program restores versions %3")
                .arg(Native(source), check.version, UserSchema::Versions().join(QStringLiteral(", ")));
        return result;
    }
    const QString live = dataFolder + QLatin1Char('/') + UserSchema::FileName();
    const QString tempName = UserSchema::FileName() + QStringLiteral(".restore");
    const QString temp = dataFolder + QLatin1Char('/') + tempName;
    auto fail = [&](const QString& message) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
        result.message = message;
        return result;
    };
    const Result copy = Backup(source, temp, true);
    if (!copy.ok)
        return fail(copy.message);
    if (check.version != UserSchema::CurrentVersion()) {
        CAdoDatabase db;
        if (!db.Open(dataFolder, tempName) || !DatabaseUpgrade::RunChain(db, check.version))
            return fail(
                QStringLiteral("%1 could not be upgraded from schema %2").arg(Native(source), check.version));
    }
    const FileCheck upgraded = Check(temp);
    if (!upgraded.ok)
        return fail(upgraded.message);
    if (upgraded.version != UserSchema::CurrentVersion())
        return fail(QStringLiteral("%1 ended at schema %2 instead of %3")
                        .arg(Native(source), upgraded.version, UserSchema::CurrentVersion()));

    // The restored file gets what the replaced one had: the folder's group and its mode.
    mode_t mode = 0664;
    struct stat st {};
    const bool hadLive = ::lstat(QFile::encodeName(live).constData(), &st) == 0;
    if (hadLive && !S_ISREG(st.st_mode))
        return fail(QStringLiteral("%1 is not a regular file; nothing was changed").arg(Native(live)));
    if (hadLive)
        mode = (st.st_mode & 0777) | 0660;
    ShareWithFolderGroup(temp, dataFolder, mode);

    if (hadLive) {
        // A journal left by a crash belongs to the old file: let SQLite roll it back first,
        // so that the kept copy is whole.
        if (QFileInfo::exists(live + QStringLiteral("-journal"))) {
            Handle h;
            if (sqlite3_open_v2(QFile::encodeName(live).constData(), &h.db, SQLITE_OPEN_READWRITE, nullptr) ==
                SQLITE_OK)
                sqlite3_exec(h.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        }
        result.path = live + QStringLiteral(".bak-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
        // A hard link keeps the old file under its new name while user2.db is replaced in
        // one rename; where links are not supported, the old file moves aside first.
        if (::link(QFile::encodeName(live).constData(), QFile::encodeName(result.path).constData()) != 0 &&
            ::rename(QFile::encodeName(live).constData(), QFile::encodeName(result.path).constData()) != 0)
            return fail(QStringLiteral("%1 cannot be kept as %2: %3")
                            .arg(Native(live), Native(result.path), QString::fromUtf8(std::strerror(errno))));
    }
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(live).constData()) != 0) {
        const QString cause = QString::fromUtf8(std::strerror(errno));
        if (hadLive && !QFileInfo::exists(live))
            ::rename(QFile::encodeName(result.path).constData(), QFile::encodeName(live).constData());
        return fail(QStringLiteral("%1 cannot be replaced: %2").arg(Native(live), cause));
    }
    SyncFolder(dataFolder);
    result.ok = true;
    return result;
}

QString RollingFolder(const QString& dataFolder) {
    return dataFolder + QStringLiteral("/backup");
}

QStringList RollingBackups(const QString& dataFolder) {
    static const QRegularExpression name(QStringLiteral("^user2-\\d{8}-\\d{6}\\.db$"));
    QStringList files;
    const QStringList entries = QDir(RollingFolder(dataFolder)).entryList(QDir::Files, QDir::Name);
    for (const QString& entry : entries) {
        if (name.match(entry).hasMatch())
            files << entry;
    }
    return files; // names sort by their time stamp
}

Result RollingBackup(const QString& dataFolder, int keep, const QDateTime& now, bool* made) {
    Result result;
    if (made)
        *made = false;
    if (keep <= 0) { // switched off in the settings
        result.ok = true;
        return result;
    }
    const QString folder = RollingFolder(dataFolder);
    QStringList files = RollingBackups(dataFolder);
    bool due = true;
    if (!files.isEmpty()) {
        const QDateTime newest =
            QDateTime::fromString(files.last().mid(6, 15), QStringLiteral("yyyyMMdd-HHmmss"));
        due = !newest.isValid() || newest.secsTo(now) >= 24 * 3600 || newest > now;
    }
    if (due) {
        if (!QDir().mkpath(folder)) {
            result.message = QStringLiteral("%1 cannot be created").arg(Native(folder));
            return result;
        }
        struct stat dir {};
        if (::stat(QFile::encodeName(dataFolder).constData(), &dir) == 0)
            ::chmod(QFile::encodeName(folder).constData(), dir.st_mode & 07777);
        const QString name = QStringLiteral("user2-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                             QStringLiteral(".db");
        const Result copy = Backup(dataFolder + QLatin1Char('/') + UserSchema::FileName(),
                                   folder + QLatin1Char('/') + name, false);
        if (!copy.ok)
            return copy;
        ShareWithFolderGroup(copy.path, dataFolder, 0664);
        result.path = copy.path;
        if (made)
            *made = true;
        files = RollingBackups(dataFolder);
    }
    while (files.size() > keep)
        QFile::remove(folder + QLatin1Char('/') + files.takeFirst());
    result.ok = true;
    return result;
}

} // namespace DatabaseBackup
