#include "platform/LockFile.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"
#include "upgrade/DatabaseBackup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <atomic>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

namespace {

QByteArray Hash(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

qint64 Count(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        data = tmp.filePath(QStringLiteral("data"));
        ASSERT_TRUE(QDir().mkpath(data));
        ASSERT_TRUE(UserSchema::CreateUserDatabase(data, QStringLiteral("3.2")));
        live = data + QStringLiteral("/user2.db");
    }
    // One specification with three steps, in one transaction: a whole record.
    static bool AddRecord(CAdoDatabase& db, int n) {
        CTransaction t(db);
        qint32 id = 0;
        if (!db.Execute(
                QStringLiteral("INSERT INTO TypenTab (Name, StandardID) VALUES ('S%1', 5050)").arg(n)) ||
            !db.GetNewId(id))
            return false;
        for (int step = 1; step <= 3; ++step) {
            if (!db.Execute(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, RefNo) VALUES (%1, %2)")
                                .arg(id)
                                .arg(step)))
                return false;
        }
        return t.Commit();
    }
    void AddRecords(int count) {
        CAdoDatabase db;
        ASSERT_TRUE(db.Open(data, QStringLiteral("user2.db")));
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(AddRecord(db, next++));
    }
    ProcessResult Ctl(const QStringList& args) const {
        return RunProgram(QStringLiteral("v740ctl"), QStringList{QStringLiteral("--data"), data} + args,
                          {QStringLiteral("VELMOR_DB_BUSY_TIMEOUT_MS=200")});
    }

    CNotifierScope notes;
    QTemporaryDir tmp;
    QString data;
    QString live;
    int next = 10000; // names stay unique across calls
};

TEST_F(BackupTest, CopyTakenDuringWritesHoldsOnlyWholeRecords) {
    AddRecords(5);
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread writer([&] {
        CAdoDatabase db;
        if (!db.Open(data, QStringLiteral("user2.db")))
            return;
        for (int i = 100; !stop && i < 5000; ++i) {
            if (AddRecord(db, i))
                ++written;
        }
    });
    while (written < 20)
        std::this_thread::yield();
    const QString copy = tmp.filePath(QStringLiteral("copy.db"));
    const DatabaseBackup::Result r = DatabaseBackup::Backup(live, copy, false);
    stop = true;
    writer.join();
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(DatabaseBackup::Check(copy).ok);
    const qint64 specs = Count(copy, "SELECT count(*) FROM TypenTab");
    EXPECT_GE(specs, 25);
    EXPECT_EQ(Count(copy, "SELECT count(*) FROM TypTestStepTab"), specs * 3);
    EXPECT_FALSE(QFile::exists(copy + QStringLiteral(".part")));
}

TEST_F(BackupTest, TargetRulesAndUnwritableFolders) {
    const QString copy = tmp.filePath(QStringLiteral("copy.db"));
    ASSERT_TRUE(DatabaseBackup::Backup(live, copy, false).ok);
    const QByteArray before = Hash(copy);
    AddRecords(1);
    const auto again = DatabaseBackup::Backup(live, copy, false);
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.message.contains(QStringLiteral("exists")));
    EXPECT_EQ(Hash(copy), before);
    EXPECT_TRUE(DatabaseBackup::Backup(live, copy, true).ok);
    EXPECT_NE(Hash(copy), before);

    // A folder nobody may write (root ignores modes, so use a path below a file).
    QFile blocker(tmp.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto bad = DatabaseBackup::Backup(live, tmp.filePath(QStringLiteral("blocker/x.db")), false);
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.message.isEmpty());
    EXPECT_FALSE(QFile::exists(tmp.filePath(QStringLiteral("blocker/x.db.part"))));

    const auto missing = DatabaseBackup::Backup(tmp.filePath(QStringLiteral("none.db")), copy, true);
    EXPECT_FALSE(missing.ok);
}

TEST_F(BackupTest, RestoreRefusesWhatIsNotAUserDatabaseAndLeavesTheLiveOneAlone) {
    AddRecords(3);
    const QByteArray original = Hash(live);
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* expect;
    };
    const QString good = tmp.filePath(QStringLiteral("good.db"));
    ASSERT_TRUE(DatabaseBackup::Backup(live, good, false).ok);
    const std::vector<Case> cases = {
        {"jet",
         [](const QString& f) {
             QFile out(f);
             out.open(QIODevice::WriteOnly);
             QByteArray head(4, '\0');
             head += "Standard Jet DB";
             head += QByteArray(2048, '\0');
             out.write(head);
         },
         "Jet"},
        {"text",
         [](const QString& f) {
             QFile out(f);
             out.open(QIODevice::WriteOnly);
             out.write("hello\n");
         },
         "not a user database"},
        {"truncated",
         [&](const QString& f) {
             QFile in(good);
             in.open(QIODevice::ReadOnly);
             const QByteArray all = in.readAll();
             QFile out(f);
             out.open(QIODevice::WriteOnly);
             out.write(all.left(all.size() / 2));
         },
         ""},
        {"schema 4.0",
         [&](const QString& f) {
             QFile::copy(good, f);
             sqlite3* db = nullptr;
             sqlite3_open(QFile::encodeName(f).constData(), &db);
             sqlite3_exec(db,
                          "PRAGMA writable_schema=ON; DROP TRIGGER IF EXISTS VersionTab_DatabaseDate_ins;",
                          nullptr, nullptr, nullptr);
             sqlite3_exec(db, "INSERT INTO VersionTab (DatabaseVersion) VALUES ('4.0')", nullptr, nullptr,
                          nullptr);
             sqlite3_close(db);
         },
         "4.0"},
        {"no VersionTab",
         [](const QString& f) {
             sqlite3* db = nullptr;
             sqlite3_open(QFile::encodeName(f).constData(), &db);
             sqlite3_exec(db, "CREATE TABLE Other (x)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         "not a user database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = tmp.filePath(QStringLiteral("restore-%1.db").arg(QString::fromUtf8(c.name)));
        c.make(file);
        const auto r = DatabaseBackup::Restore(data, file, QDateTime::currentDateTime());
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.contains(QString::fromUtf8(c.expect))) << r.message.toStdString();
        EXPECT_EQ(Hash(live), original);
        EXPECT_EQ(QDir(data).entryList(QDir::Files), QStringList{QStringLiteral("user2.db")});
    }
}

TEST_F(BackupTest, RestoreUpgradesAnOldDatabaseAndKeepsTheReplacedOne) {
    const QString oldFolder = tmp.filePath(QStringLiteral("old"));
    ASSERT_TRUE(QDir().mkpath(oldFolder));
    ASSERT_TRUE(UserSchema::CreateUserDatabase(oldFolder, QStringLiteral("2.0")));
    AddRecords(2);
    ASSERT_EQ(::chmod(QFile::encodeName(live).constData(), 0660), 0);
    const QByteArray replaced = Hash(live);

    const QDateTime when(QDate(2026, 12, 8), QTime(9, 30, 5));
    const auto r = DatabaseBackup::Restore(data, oldFolder + QStringLiteral("/user2.db"), when);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.path, live + QStringLiteral(".bak-20261208-093005"));
    EXPECT_EQ(Hash(r.path), replaced);
    const auto check = DatabaseBackup::Check(live);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(check.version, QStringLiteral("3.2"));
    EXPECT_EQ(Count(live, "SELECT count(*) FROM TypenTab"), 0);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(live).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    EXPECT_FALSE(QFile::exists(live + QStringLiteral(".restore")));
}

TEST_F(BackupTest, CommandLineBackupAndRestoreRespectTheProgramsLock) {
    AddRecords(2);
    const QString copy = tmp.filePath(QStringLiteral("b.db"));
    auto r = Ctl({QStringLiteral("backup"), copy});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(copy + QStringLiteral("\t3.2")));
    EXPECT_EQ(Ctl({QStringLiteral("backup"), copy}).exitCode, 1);
    EXPECT_EQ(Ctl({QStringLiteral("backup")}).exitCode, 2);

    AddRecords(1);
    {
        CLockFile held;
        ASSERT_EQ(held.Acquire(data + QStringLiteral("/user2.log"), QStringLiteral("Anna")),
                  CLockFile::Result::Locked);
        r = Ctl({QStringLiteral("restore"), copy});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Anna"))) << r.err.toStdString();
        EXPECT_EQ(Count(live, "SELECT count(*) FROM TypenTab"), 3);
    }
    {
        // The program on the local folder holds its own lock there.
        CLockFile held;
        ASSERT_EQ(held.Acquire(data + QStringLiteral("/V740Control.lock"), QStringLiteral("Bert")),
                  CLockFile::Result::Locked);
        r = Ctl({QStringLiteral("restore"), copy});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Bert"))) << r.err.toStdString();
    }
    r = Ctl({QStringLiteral("restore"), copy});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Count(live, "SELECT count(*) FROM TypenTab"), 2);
    EXPECT_EQ(Count(r.out.trimmed().section(QLatin1Char('\t'), 1), "SELECT count(*) FROM TypenTab"), 3);
}

TEST_F(BackupTest, RollingBackupsOncePerDayKeepingTheNewest) {
    const QDateTime start(QDate(2026, 12, 1), QTime(8, 0, 0));
    bool made = false;
    for (int day = 0; day < 10; ++day) {
        ASSERT_TRUE(DatabaseBackup::RollingBackup(data, 7, start.addDays(day), &made).ok);
        EXPECT_TRUE(made) << day;
        // A second start the same day makes none.
        ASSERT_TRUE(DatabaseBackup::RollingBackup(data, 7, start.addDays(day).addSecs(3600), &made).ok);
        EXPECT_FALSE(made) << day;
    }
    const QStringList files = DatabaseBackup::RollingBackups(data);
    ASSERT_EQ(files.size(), 7);
    EXPECT_EQ(files.first(), QStringLiteral("user2-20261204-080000.db"));
    EXPECT_EQ(files.last(), QStringLiteral("user2-20261210-080000.db"));
    EXPECT_TRUE(
        DatabaseBackup::Check(DatabaseBackup::RollingFolder(data) + QLatin1Char('/') + files.last()).ok);

    // A smaller number prunes; zero switches the backups off.
    ASSERT_TRUE(DatabaseBackup::RollingBackup(data, 3, start.addDays(10).addSecs(60), &made).ok);
    EXPECT_EQ(DatabaseBackup::RollingBackups(data).size(), 3);
    ASSERT_TRUE(DatabaseBackup::RollingBackup(data, 0, start.addDays(20), &made).ok);
    EXPECT_FALSE(made);
}

} // namespace
