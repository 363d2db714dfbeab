#include "store/AdoDatabase.h"
#include "store/StatementLog.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// A fresh 3.2 user database in a temporary folder, with the notifier recorded.
class AdoDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("user2.db")));
        notes.recorder.Clear();
    }
    qint32 InsertSpec(const QString& name) {
        EXPECT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO TypenTab (Name, StandardID, PartsUsed, CordLength, CreateDate) "
                           "VALUES (%1, 5800, -1, 1.5, '2019-12-24 08:00:00')")
                .arg(SqlLiteral(name))));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }
    int Count(const QString& sql) {
        CAdoDatabase other;
        EXPECT_TRUE(other.Open(dir.path(), QStringLiteral("user2.db")));
        EXPECT_TRUE(other.OpenQuery(sql));
        EXPECT_TRUE(other.MoveFirst());
        qint32 n = -1;
        EXPECT_TRUE(other.GetLong(QStringLiteral("n"), n));
        return n;
    }

    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;
};

} // namespace

TEST_F(AdoDatabaseTest, GettersAreStrictAboutTypesAndNull) {
    const qint32 id = InsertSpec(QStringLiteral("O'Brien"));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(id)));
    ASSERT_TRUE(db.MoveFirst());
    QString s = QStringLiteral("stale");
    EXPECT_TRUE(db.GetString(QStringLiteral("name"), s)); // column names ignore case
    EXPECT_EQ(s, QStringLiteral("O'Brien"));

    s = QStringLiteral("stale");
    EXPECT_FALSE(db.GetString(QStringLiteral("Manufacturer"), s)); // NULL text
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(db.GetErrorNumber(), 30119);

    qint32 n = 7;
    EXPECT_FALSE(db.GetLong(QStringLiteral("ClassID"), n)); // NULL integer
    EXPECT_EQ(db.GetErrorNumber(), 30120);
    EXPECT_FALSE(db.GetLong(QStringLiteral("Name"), n)); // text is not a number
    EXPECT_TRUE(db.GetLong(QStringLiteral("StandardID"), n));
    EXPECT_EQ(n, 5800);

    int b = 5;
    EXPECT_TRUE(db.GetBool(QStringLiteral("PartsUsed"), b));
    EXPECT_EQ(b, -1);
    EXPECT_FALSE(db.GetBool(QStringLiteral("StandardID"), b)); // a LONG is not a Yes/No
    EXPECT_EQ(b, 0);
    EXPECT_EQ(db.GetErrorNumber(), 30143);

    double d = 0;
    EXPECT_TRUE(db.GetDouble(QStringLiteral("CordLength"), d));
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_FALSE(db.GetDouble(QStringLiteral("StandardID"), d));
    EXPECT_EQ(db.GetErrorNumber(), 30121);

    QDateTime when;
    EXPECT_TRUE(db.GetDate(QStringLiteral("CreateDate"), when));
    EXPECT_EQ(when, QDateTime(QDate(2019, 12, 24), QTime(8, 0)));
    EXPECT_FALSE(db.GetDate(QStringLiteral("Name"), when));
    EXPECT_EQ(db.GetErrorNumber(), 30122);
    qint32 extra = 0;
    EXPECT_FALSE(db.GetLong(QStringLiteral("UseExtraPolation"), extra)); // NULL in rows that predate it
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << "type mismatches show no box";

    // A column that does not exist is a driver error.
    EXPECT_FALSE(db.GetString(QStringLiteral("NoSuchColumn"), s));
    EXPECT_EQ(notes.recorder.messages.size(), 1);
}

// Texts that repeat down a column are decoded once and shared; a column of mostly
// different texts stops being pooled. Either way every row reads its own text, also under
// a second spelling of the column name.
TEST_F(AdoDatabaseTest, RepeatedAndDistinctTextsReadAlikeInLongLists) {
    ASSERT_TRUE(db.BeginTrans());
    for (int i = 0; i < 1500; ++i)
        ASSERT_TRUE(db.ExecuteBound(
            QStringLiteral("INSERT INTO GeraeteTab (Device, Client, Comment, History) VALUES (?, ?, ?, 0)"),
            {QStringLiteral("Dev %1").arg(i), QStringLiteral("Client %1 ü").arg(i % 3),
             i % 7 ? QVariant(QStringLiteral("same")) : QVariant()}));
    ASSERT_TRUE(db.CommitTrans());
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT Device, Client, Comment FROM GeraeteTab ORDER BY id")));
    int i = 0;
    QString device, client, comment;
    const QString clientColumn = QStringLiteral("CLIENT");
    for (bool more = db.MoveFirst(); more && db.HasRow(); more = db.MoveNext(), ++i) {
        ASSERT_TRUE(db.GetString(QStringLiteral("Device"), device));
        EXPECT_EQ(device, QStringLiteral("Dev %1").arg(i));
        ASSERT_TRUE(db.GetString(i % 2 ? clientColumn : QStringLiteral("Client"), client));
        EXPECT_EQ(client, QStringLiteral("Client %1 ü").arg(i % 3));
        EXPECT_EQ(db.GetString(QStringLiteral("Comment"), comment), i % 7 != 0) << i;
        EXPECT_EQ(comment, i % 7 ? QStringLiteral("same") : QString()) << i;
    }
    EXPECT_EQ(i, 1500);
}

TEST_F(AdoDatabaseTest, StateRulesAndErrorNumbers) {
    CAdoDatabase empty;
    QString s;
    EXPECT_FALSE(empty.OpenQuery(QStringLiteral("SELECT 1")));
    EXPECT_EQ(empty.GetErrorNumber(), 30140);
    EXPECT_FALSE(empty.GetString(QStringLiteral("x"), s));
    EXPECT_EQ(empty.GetErrorNumber(), 30141);
    EXPECT_FALSE(empty.ExecuteAll({}));
    EXPECT_EQ(empty.GetErrorNumber(), 30146);
    EXPECT_TRUE(notes.recorder.messages.isEmpty());

    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab")));
    EXPECT_FALSE(db.MoveFirst()); // empty: no box
    EXPECT_EQ(db.GetErrorNumber(), 30138);
    EXPECT_FALSE(db.MoveNext());

    EXPECT_FALSE(db.Execute(QStringLiteral("SELEKT nonsense")));
    EXPECT_EQ(db.GetErrorNumber(), 30145);
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    const QString box = notes.recorder.Last();
    EXPECT_TRUE(box.startsWith(QStringLiteral("Source\t\t = "))) << box.toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("\n\nDescription\t = ")));
    EXPECT_TRUE(box.contains(QStringLiteral("\n\nCode\t\t = 00000001\n\n")));
    EXPECT_TRUE(box.contains(QStringLiteral("Meaning\t\t = ")));
    EXPECT_EQ(notes.recorder.icons.back(), CNotifier::Icon::Error);

    // The number stays after a later success.
    EXPECT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET Run = ''")));
    EXPECT_EQ(db.GetErrorNumber(), 30145);
}

TEST_F(AdoDatabaseTest, LoopIdiomVisitsEveryRowAndTableSeeksByIndex) {
    for (const char* name : {"B", "A", "C"})
        InsertSpec(QString::fromLatin1(name));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("Select * From TypenTab ORDER BY Name ASC")));
    QStringList seen;
    bool ok = db.MoveFirst();
    while (ok && db.HasRow()) {
        QString name;
        db.GetString(QStringLiteral("Name"), name);
        seen << name;
        ok = db.MoveNext();
    }
    EXPECT_EQ(seen, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));

    ASSERT_TRUE(db.OpenTable(QStringLiteral("TypenTab")));
    ASSERT_TRUE(db.SetIndex(QStringLiteral("IX_Name")));
    EXPECT_TRUE(db.Seek(QStringLiteral("c"))); // Jet compares text without case
    QString name;
    EXPECT_TRUE(db.GetString(QStringLiteral("Name"), name));
    EXPECT_EQ(name, QStringLiteral("C"));
    notes.recorder.Clear();
    EXPECT_FALSE(db.Seek(QStringLiteral("Z")));
    EXPECT_EQ(db.GetErrorNumber(), 30138);
    EXPECT_FALSE(db.HasRow());
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << "a missing key is no error box";

    ASSERT_TRUE(db.OpenTable(QStringLiteral("TypenTab")));
    EXPECT_FALSE(db.SetIndex(QStringLiteral("NoSuchIndex")));
    EXPECT_EQ(db.GetErrorNumber(), 30114);

    ASSERT_TRUE(db.OpenTable(QStringLiteral("VersionTab")));
    ASSERT_TRUE(db.MoveLast());
    QString version;
    EXPECT_TRUE(db.GetString(QStringLiteral("DatabaseVersion"), version));
    EXPECT_EQ(version, QStringLiteral("3.2"));
}

TEST_F(AdoDatabaseTest, ExecuteAllStopsAtTheFirstFailure) {
    const bool ok = db.ExecuteAll({QStringLiteral("INSERT INTO UserSetup (DirectoryTabID) VALUES (1)"),
                                   QStringLiteral("INSERT INTO NoSuchTable VALUES (2)"),
                                   QStringLiteral("INSERT INTO UserSetup (DirectoryTabID) VALUES (3)")});
    EXPECT_FALSE(ok);
    EXPECT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) AS n FROM UserSetup")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) AS n FROM UserSetup WHERE DirectoryTabID = 3")), 0);
}

TEST_F(AdoDatabaseTest, TransactionThatFailsHalfwayLeavesNothing) {
    {
        CTransaction trans(db);
        ASSERT_TRUE(trans.IsActive());
        const qint32 id = InsertSpec(QStringLiteral("Drill"));
        EXPECT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, RefNo, Limit) VALUES (%1, 1, 0.3)")
                .arg(id)));
        // The step row of a master that does not exist is refused by the foreign key.
        EXPECT_FALSE(db.Execute(
            QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, RefNo) VALUES (%1, 2)").arg(id + 99)));
        // The guard rolls back on leaving the scope.
    }
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) AS n FROM TypenTab")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) AS n FROM TypTestStepTab")), 0);

    CTransaction trans(db);
    InsertSpec(QStringLiteral("Saw"));
    EXPECT_TRUE(trans.Commit());
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) AS n FROM TypenTab")), 1);
}

TEST_F(AdoDatabaseTest, DeletingMastersLeavesNoOrphans) {
    const qint32 spec = InsertSpec(QStringLiteral("Kettle"));
    for (const char* table : {"TypPartsTab", "TypSichtPrfTab", "TypTestStepTab", "TypFktStepTab"})
        ASSERT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO %1 (TypenTabID) VALUES (%2)").arg(QLatin1String(table)).arg(spec)));
    ASSERT_TRUE(db.Execute(QStringLiteral(
        "INSERT INTO GeraeteTab (SpecificationName, myGUID, History) VALUES ('Kettle', '{g}', 0)")));
    qint32 protocol = 0;
    ASSERT_TRUE(db.GetNewId(protocol));
    for (const char* table : {"GeraetSichtProtTab", "GeraetProtTab", "GeraetFktProtTab"})
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO %1 (GeraeteTabID, RefNo) VALUES (%2, 1)")
                                   .arg(QLatin1String(table))
                                   .arg(protocol)));

    ASSERT_TRUE(db.ExecuteAll({QStringLiteral("DELETE FROM TypenTab WHERE id = %1").arg(spec),
                               QStringLiteral("DELETE FROM GeraeteTab WHERE SpecificationName = 'Kettle'")}));
    for (const char* table : {"TypPartsTab", "TypSichtPrfTab", "TypTestStepTab", "TypFktStepTab",
                              "GeraetSichtProtTab", "GeraetProtTab", "GeraetFktProtTab"})
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) AS n FROM %1").arg(QLatin1String(table))), 0)
            << table;
}

TEST_F(AdoDatabaseTest, JetStatementsOfTheProgramRun) {
    // Dates enter as DateToSql writes them and are stored zero-filled.
    QString sqlDate;
    ASSERT_TRUE(db.DateToSql(QStringLiteral("31.1.2020"), sqlDate));
    EXPECT_EQ(sqlDate, QStringLiteral("2020-1-31"));
    ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO GeraeteTab (Device, TestDate, NextTestDate, History) "
                                          "VALUES ('Drill', '%1', '2021-3-5', 0)")
                               .arg(sqlDate)));
    qint32 id = 0;
    ASSERT_TRUE(db.GetNewId(id));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT TestDate FROM GeraeteTab WHERE id = %1").arg(id)));
    ASSERT_TRUE(db.MoveFirst());
    // The raw stored text, read through the C API so no parsing hides the form.
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db.Handle(), "SELECT TestDate, NextTestDate FROM GeraeteTab", -1, &st, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "2020-01-31 00:00:00");
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), "2021-03-05 00:00:00");
    sqlite3_finalize(st);
    ASSERT_TRUE(
        db.Execute(QStringLiteral("UPDATE GeraeteTab SET NextTestDate = '2022-7-9' WHERE id = %1").arg(id)));
    EXPECT_EQ(Count(QStringLiteral(
                  "SELECT count(*) AS n FROM GeraeteTab WHERE NextTestDate = '2022-07-09 00:00:00'")),
              1);

    // Next test date: test date plus the interval in months, with double-quoted interval.
    ASSERT_TRUE(db.OpenQuery(
        QStringLiteral(
            "Select id,Device,DATEADD(\"m\",%1,TestDate) AS NewNextTestDate FROM GeraeteTab WHERE id=%2")
            .arg(1)
            .arg(id)));
    ASSERT_TRUE(db.MoveFirst());
    QDateTime next;
    ASSERT_TRUE(db.GetDate(QStringLiteral("NewNextTestDate"), next));
    EXPECT_EQ(next.date(), QDate(2020, 2, 29));

    // The filter's day comparison with a date the user typed.
    const QString filter = QStringLiteral(
        "SELECT GeraeteTab.id FROM GeraeteTab WHERE  ((Datepart('yyyy',GeraeteTab.TestDate)*1000) + "
        "Datepart('y',GeraeteTab.TestDate))  %1  ((Datepart('yyyy',Cvdate('%2'))*1000) + "
        "Datepart('y',Cvdate('%2')))  ");
    EXPECT_TRUE(db.OpenQuery(filter.arg(QStringLiteral("="), QStringLiteral("31.01.2020"))));
    EXPECT_TRUE(db.MoveFirst());
    EXPECT_TRUE(db.OpenQuery(filter.arg(QStringLiteral(">"), QStringLiteral("30.01.2020"))));
    EXPECT_TRUE(db.MoveFirst());
    EXPECT_TRUE(db.OpenQuery(filter.arg(QStringLiteral("<"), QStringLiteral("2020-01-31"))));
    EXPECT_FALSE(db.MoveFirst());

    // LIKE ignores case, also for letters beyond ASCII; the column named Limit needs no quoting.
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET Description = 'Bohrmaschine ÄÖÜ'")));
    ASSERT_TRUE(db.OpenQuery(
        QStringLiteral("SELECT * FROM GeraeteTab WHERE  GeraeteTab.Description LIKE '%maschine äöü%'")));
    EXPECT_TRUE(db.MoveFirst());
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab WHERE Device = 'DRILL'")));
    EXPECT_TRUE(db.MoveFirst());
    EXPECT_TRUE(
        db.OpenQuery(QStringLiteral("SELECT TypTestStepTab.Limit FROM TypTestStepTab ORDER BY Limit")));
}

TEST(AdoDatabaseFiles, MissingForeignJetAndLockedFilesFailWithABox) {
    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;

    EXPECT_FALSE(db.Open(dir.path(), QStringLiteral("user2.db")));
    EXPECT_EQ(db.GetErrorNumber(), 30104);
    EXPECT_EQ(notes.recorder.messages.size(), 1);

    // A Jet file of the Windows program beside the expected file, and in its place.
    QFile jet(dir.filePath(QStringLiteral("user2.mdb")));
    ASSERT_TRUE(jet.open(QIODevice::WriteOnly));
    jet.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4000, '\x55'));
    jet.close();
    notes.recorder.Clear();
    EXPECT_FALSE(db.Open(dir.path(), QStringLiteral("user2.db")));
    EXPECT_TRUE(notes.recorder.Last().contains(QStringLiteral("user2.mdb")))
        << notes.recorder.Last().toStdString();
    notes.recorder.Clear();
    EXPECT_FALSE(db.Open(dir.path(), QStringLiteral("user2.mdb")));
    EXPECT_TRUE(notes.recorder.Last().contains(QStringLiteral("Jet"))) << notes.recorder.Last().toStdString();

    // Not a database at all.
    QFile junk(dir.filePath(QStringLiteral("junk.db")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'x'));
    junk.close();
    notes.recorder.Clear();
    EXPECT_FALSE(db.Open(dir.path(), QStringLiteral("junk.db")));
    EXPECT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_FALSE(db.IsOpen());

    // A database whose write lock another connection holds: the writer gives up after the
    // busy time-out with the driver's text.
    qputenv("VELMOR_DB_BUSY_TIMEOUT_MS", "200");
    ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2")));
    CAdoDatabase holder;
    ASSERT_TRUE(holder.Open(dir.path(), QStringLiteral("user2.db")));
    ASSERT_TRUE(holder.BeginTrans());
    ASSERT_TRUE(holder.Execute(QStringLiteral("INSERT INTO UserSetup (DirectoryTabID) VALUES (50)")));
    ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("user2.db")));
    notes.recorder.Clear();
    EXPECT_FALSE(db.BeginTrans());
    EXPECT_EQ(db.GetErrorNumber(), DbError::Busy); // not 30148: the cause is another writer
    EXPECT_TRUE(notes.recorder.Last().contains(QStringLiteral("locked")))
        << notes.recorder.Last().toStdString();
    EXPECT_TRUE(holder.RollbackTrans());
    qunsetenv("VELMOR_DB_BUSY_TIMEOUT_MS");
}

TEST(AdoDatabaseText, QuotingAndDateConversion) {
    EXPECT_EQ(SqlQuote(QStringLiteral("O'Neil's")), QStringLiteral("O''Neil''s"));
    EXPECT_EQ(SqlLiteral(QStringLiteral("D'Arc")), QStringLiteral("'D''Arc'"));
    QString sql = QStringLiteral("WHERE Name = ");
    AppendSqlLiteral(sql, QStringLiteral("x'"));
    EXPECT_EQ(sql, QStringLiteral("WHERE Name = 'x'''"));

    CAdoDatabase db;
    QString out;
    EXPECT_TRUE(db.DateToSql(QStringLiteral("24.12.2019"), out));
    EXPECT_EQ(out, QStringLiteral("2019-12-24"));
    EXPECT_TRUE(db.DateToSql(QStringLiteral("1.2.2020"), out));
    EXPECT_EQ(out, QStringLiteral("2020-2-1"));
    EXPECT_FALSE(db.DateToSql(QStringLiteral("2019-12-24"), out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(db.GetErrorNumber(), 30151);
}

// A lock held past the busy time-out and a file that cannot be written get numbers of their
// own, so that the user is not told the database may be damaged.
TEST(AdoDatabaseCauses, BusyAndReadOnlyAreToldApart) {
    QTemporaryDir dir;
    CNotifierScope notes;
    ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2")));
    qputenv("VELMOR_DB_BUSY_TIMEOUT_MS", "50");
    CAdoDatabase holder, db;
    ASSERT_TRUE(holder.Open(dir.path(), QStringLiteral("user2.db")));
    ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("user2.db")));
    qunsetenv("VELMOR_DB_BUSY_TIMEOUT_MS");
    struct Case {
        const char* what;
        std::function<bool()> op;
    };
    ASSERT_TRUE(holder.Execute(QStringLiteral("BEGIN EXCLUSIVE")));
    const Case busy[] = {
        {"read", [&] { return db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab")); }},
        {"table", [&] { return db.OpenTable(QStringLiteral("VersionTab")); }},
        {"write", [&] { return db.Execute(QStringLiteral("DELETE FROM TypenTab")); }},
        {"transaction", [&] { return db.BeginTrans(); }},
    };
    for (const Case& c : busy) {
        EXPECT_FALSE(c.op()) << c.what;
        EXPECT_EQ(db.GetErrorNumber(), DbError::Busy) << c.what;
    }
    ASSERT_TRUE(holder.Execute(QStringLiteral("ROLLBACK")));
    ASSERT_TRUE(db.Execute(QStringLiteral("PRAGMA query_only = ON")));
    EXPECT_FALSE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('x')")));
    EXPECT_EQ(db.GetErrorNumber(), DbError::ReadOnly);
    // A plain failure keeps the number of its operation.
    EXPECT_FALSE(db.OpenQuery(QStringLiteral("SELECT * FROM NoSuchTab")));
    EXPECT_EQ(db.GetErrorNumber(), DbError::OpenRecordset);
}

// The statement log: what the user database is sent, each line decodable to the same
// statement and values; other databases are not logged.
TEST(StatementLogTest, LinesRoundTripAndOnlyTheUserDatabaseIsLogged) {
    const QString sql = QStringLiteral("SELECT * FROM GeraeteTab WHERE Device = 'a\\tb'\n\tAND id = ?");
    const QVariantList values{QVariant(42), QVariant(2.5), QStringLiteral("tab\there\\ and\r\nlines"),
                              QVariant(), QVariant(qint64(1) << 40)};
    const QString line = StatementLog::Encode(sql, values);
    EXPECT_FALSE(line.contains(QLatin1Char('\n')));
    QString back;
    QVariantList backValues;
    ASSERT_TRUE(StatementLog::Decode(line, back, backValues));
    EXPECT_EQ(back, sql);
    ASSERT_EQ(backValues.size(), values.size());
    EXPECT_EQ(backValues[0].toLongLong(), 42);
    EXPECT_EQ(backValues[1].toDouble(), 2.5);
    EXPECT_EQ(backValues[2].toString(), values[2].toString());
    EXPECT_TRUE(backValues[3].isNull());
    EXPECT_EQ(backValues[4].toLongLong(), qint64(1) << 40);
    EXPECT_FALSE(StatementLog::Decode(QStringLiteral("SELECT 1\tx:1"), back, backValues));
    EXPECT_FALSE(StatementLog::Decode(QStringLiteral("bad \\q escape"), back, backValues));

    // A logged run in a child process, as the suite runs the programs.
    QTemporaryDir tmp;
    const QString log = tmp.filePath(QStringLiteral("sql.log"));
    const QString data = tmp.filePath(QStringLiteral("data"));
    ProcessResult r =
        RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), data, QStringLiteral("init")},
                   {QStringLiteral("VELMOR_SQL_LOG=") + log});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunProgram(QStringLiteral("v740ctl"),
                   {QStringLiteral("--data"), data, QStringLiteral("list"), QStringLiteral("--kind"),
                    QStringLiteral("protocols")},
                   {QStringLiteral("VELMOR_SQL_LOG=") + log});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.contains(QLatin1String("FROM TypenTab INNER JOIN GeraeteTab"));
    })) << lines.join(QLatin1Char('\n')).toStdString();
    for (const QString& l : lines)
        EXPECT_TRUE(StatementLog::Decode(l, back, backValues)) << l.toStdString();
}
