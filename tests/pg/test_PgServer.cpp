#include "PgTestServer.h"

#include "exchange/ExchangeFixture.h"
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlExchange.h"
#include "exchange/XmlSource.h"

#include "sheets/ProtocolMasterData.h"
#include "sheets/SpecSheetPages.h"
#include "store/AdoDatabase.h"
#include "store/DataLocation.h"
#include "store/JetFunctions.h"
#include "store/UserSchema.h"
#include "store/pg/ChangeListener.h"
#include "store/pg/Migrate.h"
#include "store/pg/PgBackend.h"
#include "store/pg/PgSchema.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <ctime>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {

// One fresh server database per test, made by server-init's own code; the layer is
// pointed at it for the test's lifetime.
class PgServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (PgTestServer::Socket().isEmpty())
            GTEST_SKIP() << PgTestServer::SkipReason().toStdString();
        conninfo = PgTestServer::FreshDatabase(QStringLiteral("v740_") + PgTestServer::TestName());
        ASSERT_FALSE(conninfo.isEmpty());
        QString message;
        ASSERT_TRUE(PgSchema::InitServer(conninfo, QStringLiteral("Deutsch"), {}, message))
            << message.toStdString();
        DataLocation::SetServer(conninfo);
        ASSERT_TRUE(db.Open(dir.path(), UserSchema::FileName()));
        notes.recorder.Clear();
    }
    void TearDown() override { DataLocation::ResetServer(); }

    QTemporaryDir dir;
    CNotifierScope notes;
    QString conninfo;
    CAdoDatabase db;
};

// The same statements against a SQLite file and the server; every value read back as text.
QString Render(CAdoDatabase& db, const QStringList& columns) {
    QStringList rows;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QStringList values;
        for (const QString& c : columns) {
            QString s;
            qint32 n = 0;
            double d = 0;
            QDateTime t;
            if (db.IsNull(c))
                values << QStringLiteral("NULL");
            else if (db.GetString(c, s))
                values << s;
            else if (db.GetLong(c, n))
                values << QString::number(n);
            else if (db.GetDouble(c, d))
                values << QString::number(d);
            else if (db.GetDate(c, t))
                values << Jet::FormatDate(t);
            else
                values << QStringLiteral("?");
        }
        rows << values.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char('\n'));
}

const char* const kSeed[] = {
    "INSERT INTO TypenTab (Name, StandardID, PartsUsed, CordLength, CreateDate) VALUES ('abc', 1, -1, 1.5, "
    "'2019-12-24 08:00:00')",
    "INSERT INTO TypenTab (Name, StandardID, PartsUsed, CordLength, CreateDate) VALUES ('Abd', 2, 0, 2.25, "
    "NULL)",
    "INSERT INTO TypenTab (Name, StandardID, PartsUsed, CordLength, CreateDate) VALUES ('b_c', 3, 0, NULL, "
    "'2020-02-29 23:59:59')",
    "INSERT INTO TypTestStepTab (TypenTabID, RefNo, Limit) VALUES (1, 1, 0.5)",
    "INSERT INTO TypTestStepTab (TypenTabID, RefNo, Limit) VALUES (1, 2, NULL)",
    "INSERT INTO GeraeteTab (Device, TestDate, NextTestDate, History, myGUID, Comment) VALUES ('d1', "
    "'2020-1-31', '2021-01-31', 0, 'g1', 'Bohrmaschine')",
    "INSERT INTO GeraeteTab (Device, TestDate, NextTestDate, History, myGUID) VALUES ('D2', NULL, NULL, 0, "
    "'g2')",
    "INSERT INTO GeraeteTab (Device, TestDate, NextTestDate, History, myGUID) VALUES ('d3', '2019-12-31 "
    "10:00:00', '2019-12-31', 1, 'g1')",
};

struct Case {
    const char* sql;
    const char* columns; // comma-separated
};

// Text, date and ordering rules the program relies on; each gives the same rows on both.
const Case kCases[] = {
    {"SELECT Name FROM TypenTab WHERE Name = 'ABC'", "Name"},
    {"SELECT Name FROM TypenTab WHERE Name = \"aBd\"", "Name"},
    {"SELECT Name FROM TypenTab WHERE Name LIKE 'a%' ORDER BY Name", "Name"},
    {"SELECT Name FROM TypenTab WHERE Name LIKE '_B_' ORDER BY Name DESC", "Name"},
    {"SELECT Name FROM TypenTab ORDER BY Name", "Name"},
    {"SELECT Name, CordLength FROM TypenTab ORDER BY CordLength DESC, Name", "Name,CordLength"},
    {"SELECT Name, CreateDate FROM TypenTab ORDER BY CreateDate, Name", "Name,CreateDate"},
    {"SELECT Device FROM GeraeteTab ORDER BY TestDate DESC, Device", "Device"},
    {"SELECT Device, TestDate FROM GeraeteTab WHERE Device = 'D1'", "Device,TestDate"},
    {"Select id, Device, DATEADD(\"m\", 1, TestDate) AS NewNextTestDate FROM GeraeteTab WHERE Device = 'd1'",
     "id,Device,NewNextTestDate"},
    {"SELECT DATEADD('yyyy', 1, CreateDate) AS a, DATEADD('d', -1, CreateDate) AS b, DATEADD('h', 2, "
     "CreateDate) AS c FROM TypenTab WHERE Name = 'b_c'",
     "a,b,c"},
    {"SELECT DatePart('yyyy', TestDate) AS y, DatePart('y', TestDate) AS doy, DatePart('w', TestDate) AS w, "
     "DatePart('ww', TestDate) AS ww, DatePart('q', TestDate) AS q FROM GeraeteTab WHERE Device = 'd3'",
     "y,doy,w,ww,q"},
    {"SELECT GeraeteTab.id FROM GeraeteTab WHERE ((Datepart('yyyy',GeraeteTab.TestDate)*1000) + "
     "Datepart('y',GeraeteTab.TestDate)) = ((Datepart('yyyy',Cvdate('31.01.2020'))*1000) + "
     "Datepart('y',Cvdate('31.01.2020')))",
     "id"},
    {"SELECT Device FROM GeraeteTab WHERE NextTestDate < CVDATE('1.6.2020') ORDER BY Device", "Device"},
    {"SELECT count(*) AS n FROM GeraeteTab WHERE History = 0 AND myGUID = 'G1'", "n"},
    {"SELECT RefNo, Limit FROM TypTestStepTab ORDER BY Limit", "RefNo,Limit"},
    {"SELECT TypTestStepTab.[Limit] AS l FROM TypTestStepTab WHERE RefNo = 1", "l"},
    {"SELECT PartsUsed FROM TypenTab ORDER BY id", "PartsUsed"},
    {"SELECT * FROM GeraeteTab WHERE Comment LIKE '%MASCHINE'", "Device"},
    {"SELECT Max(TestDate) AS m, Min(Device) AS d FROM GeraeteTab", "m,d"},
};

} // namespace

TEST_F(PgServerTest, InitMakesTheSchemaOnceAndTheVersionCheckPasses) {
    QString message;
    ASSERT_TRUE(UserSchema::CheckVersion(
        db, [](qint32) { return QString(); }, QString(), message))
        << message.toStdString();
    EXPECT_TRUE(db.IsServer());
    // A second init leaves the database alone and says why.
    EXPECT_FALSE(PgSchema::InitServer(conninfo, QStringLiteral("Deutsch"), {}, message));
    EXPECT_TRUE(message.contains(QStringLiteral("holds tables already"))) << message.toStdString();
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT Language FROM LanguageTab")));
    QString language;
    ASSERT_TRUE(db.MoveFirst());
    EXPECT_TRUE(db.GetString(QStringLiteral("Language"), language));
    EXPECT_EQ(language, QStringLiteral("Deutsch"));
}

TEST_F(PgServerTest, GettersIdsAndSeeksBehaveAsOnTheFile) {
    ASSERT_TRUE(
        db.ExecuteBound(QStringLiteral("INSERT INTO TypenTab (Name, StandardID, PartsUsed, CordLength, "
                                       "CreateDate) VALUES (?, ?, ?, ?, ?)"),
                        {QStringLiteral("O'Brien"), 5800, -1, 1.5, QStringLiteral("2019-12-24 08:00:00")}));
    qint32 id = 0;
    ASSERT_TRUE(db.GetNewId(id));
    EXPECT_EQ(id, 1);
    EXPECT_EQ(db.ChangedRows(), 1);
    ASSERT_TRUE(db.OpenQueryBound(QStringLiteral("SELECT * FROM TypenTab WHERE id = ?"), {id}));
    ASSERT_TRUE(db.MoveFirst());
    QString s = QStringLiteral("stale");
    EXPECT_TRUE(db.GetString(QStringLiteral("Name"), s));
    EXPECT_EQ(s, QStringLiteral("O'Brien"));
    EXPECT_FALSE(db.GetString(QStringLiteral("Manufacturer"), s));
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(db.GetErrorNumber(), 30119);
    qint32 n = 7;
    EXPECT_FALSE(db.GetLong(QStringLiteral("ClassID"), n));
    EXPECT_EQ(db.GetErrorNumber(), 30120);
    EXPECT_FALSE(db.GetLong(QStringLiteral("Name"), n));
    EXPECT_TRUE(db.GetLong(QStringLiteral("StandardID"), n));
    EXPECT_EQ(n, 5800);
    int b = 5;
    EXPECT_TRUE(db.GetBool(QStringLiteral("PartsUsed"), b));
    EXPECT_EQ(b, -1);
    EXPECT_FALSE(db.GetBool(QStringLiteral("StandardID"), b));
    EXPECT_EQ(db.GetErrorNumber(), 30143);
    double d = 0;
    EXPECT_TRUE(db.GetDouble(QStringLiteral("CordLength"), d));
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_FALSE(db.GetDouble(QStringLiteral("StandardID"), d));
    QDateTime when;
    EXPECT_TRUE(db.GetDate(QStringLiteral("CreateDate"), when));
    EXPECT_EQ(when, QDateTime(QDate(2019, 12, 24), QTime(8, 0)));
    EXPECT_FALSE(db.GetDate(QStringLiteral("Name"), when));
    EXPECT_EQ(db.GetErrorNumber(), 30122);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << "type mismatches show no box";

    // Table-direct reading with an index seek, names without regard to case.
    ASSERT_TRUE(db.OpenTable(QStringLiteral("TypenTab")));
    ASSERT_TRUE(db.SetIndex(QStringLiteral("IX_Name")));
    EXPECT_TRUE(db.Seek(QStringLiteral("o'brien")));
    EXPECT_FALSE(db.Seek(QStringLiteral("nobody")));
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
    EXPECT_FALSE(db.SetIndex(QStringLiteral("IX_Nothing")));
    EXPECT_EQ(db.GetErrorNumber(), 30114);

    // A bad statement: the box names the server and the SQLSTATE.
    notes.recorder.Clear();
    EXPECT_FALSE(db.Execute(QStringLiteral("SELEKT nonsense")));
    EXPECT_EQ(db.GetErrorNumber(), 30145);
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_TRUE(notes.recorder.Last().startsWith(QStringLiteral("Source\t\t = PostgreSQL")));
    EXPECT_TRUE(notes.recorder.Last().contains(QStringLiteral("SQLSTATE 42601")));
}

TEST_F(PgServerTest, JetCasesGiveTheSameRowsOnBothBackends) {
    ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), UserSchema::CurrentVersion()));
    DataLocation::SetServer(QString());
    CAdoDatabase file;
    ASSERT_TRUE(file.Open(dir.path(), UserSchema::FileName()));
    ASSERT_FALSE(file.IsServer());
    for (const char* sql : kSeed) {
        ASSERT_TRUE(file.Execute(QString::fromUtf8(sql))) << sql;
        ASSERT_TRUE(db.Execute(QString::fromUtf8(sql))) << sql;
    }
    for (const Case& c : kCases) {
        const QString sql = QString::fromUtf8(c.sql);
        const QStringList columns = QString::fromUtf8(c.columns).split(QLatin1Char(','));
        ASSERT_TRUE(file.OpenQuery(sql)) << c.sql;
        ASSERT_TRUE(db.OpenQuery(sql)) << c.sql << "\n" << notes.recorder.Last().toStdString();
        const QString expected = Render(file, columns);
        EXPECT_FALSE(expected.isEmpty()) << c.sql;
        EXPECT_EQ(Render(db, columns), expected) << c.sql;
    }
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
}

TEST_F(PgServerTest, FailuresAreNamedAndNothingIsHalfWritten) {
    // A second name that differs only in case breaks the unique index, as on the file.
    ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('Drill')")));
    EXPECT_FALSE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('DRILL')")));
    EXPECT_TRUE(db.LastFailureWasConstraint());
    EXPECT_EQ(db.GetErrorNumber(), 30145);

    // A statement failing inside a transaction: the commit fails and nothing is kept.
    {
        CTransaction trans(db);
        ASSERT_TRUE(trans.IsActive());
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('Saw')")));
        EXPECT_FALSE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('drill')")));
        EXPECT_FALSE(trans.Commit());
        EXPECT_EQ(db.GetErrorNumber(), 30149);
    }
    EXPECT_FALSE(db.InTransaction());
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT count(*) AS n FROM TypenTab")));
    qint32 n = 0;
    ASSERT_TRUE(db.MoveFirst());
    ASSERT_TRUE(db.GetLong(QStringLiteral("n"), n));
    EXPECT_EQ(n, 1);

    // Two statements in one text are refused, as Jet refuses them.
    EXPECT_FALSE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab; DELETE FROM TypenTab")));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT count(*) AS n FROM TypenTab")));
    ASSERT_TRUE(db.MoveFirst());
    ASSERT_TRUE(db.GetLong(QStringLiteral("n"), n));
    EXPECT_EQ(n, 1);

    // A user that names no column does not quietly read the login name.
    EXPECT_FALSE(db.OpenQuery(QStringLiteral("SELECT Name FROM TypenTab WHERE Name = user")));

    // A password in the connection string is refused before connecting.
    notes.recorder.Clear();
    DataLocation::SetServer(conninfo + QStringLiteral(" password=secret"));
    CAdoDatabase withPassword;
    EXPECT_FALSE(withPassword.Open(dir.path(), UserSchema::FileName()));
    EXPECT_EQ(withPassword.GetErrorNumber(), 30104);
    EXPECT_TRUE(notes.recorder.Last().contains(QStringLiteral(".pgpass")));
    EXPECT_FALSE(notes.recorder.Last().contains(QStringLiteral("secret")));

    // A server that is not there: a clear message, at once.
    notes.recorder.Clear();
    QTemporaryDir nowhere;
    DataLocation::SetServer(QStringLiteral("host=%1 user=postgres dbname=x").arg(nowhere.path()));
    CAdoDatabase down;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(down.Open(dir.path(), UserSchema::FileName()));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(down.GetErrorNumber(), 30104);
    EXPECT_TRUE(notes.recorder.Last().contains(QStringLiteral("No such file or directory")))
        << notes.recorder.Last().toStdString();

    // The reference database stays a local file while the user database is on the server.
    EXPECT_TRUE(DataLocation::ServerFor(dir.path() + QStringLiteral("/velmor.db")).isEmpty());
}

TEST_F(PgServerTest, TwoWorkstationsNeitherOverwriteNorDuplicate) {
    qputenv("VELMOR_DB_BUSY_TIMEOUT_MS", "400");
    CAdoDatabase a, b;
    ASSERT_TRUE(a.Open(dir.path(), UserSchema::FileName()));
    ASSERT_TRUE(b.Open(dir.path(), UserSchema::FileName()));
    qunsetenv("VELMOR_DB_BUSY_TIMEOUT_MS");
    // The racing importer waits the default time-out, longer than the race takes.
    CAdoDatabase c;
    ASSERT_TRUE(c.Open(dir.path(), UserSchema::FileName()));
    ASSERT_TRUE(a.Execute(
        QStringLiteral("INSERT INTO GeraeteTab (Device, History, myGUID) VALUES ('Drill', 0, '{A}')")));

    // A row held by one workstation's open transaction: the other gives up after its lock
    // time-out with its own number, instead of waiting without end.
    ASSERT_TRUE(a.BeginTrans());
    ASSERT_TRUE(a.Execute(QStringLiteral("UPDATE GeraeteTab SET Comment = 'a' WHERE myGUID = '{A}'")));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(b.Execute(QStringLiteral("UPDATE GeraeteTab SET Comment = 'b' WHERE myGUID = '{A}'")));
    EXPECT_EQ(b.GetErrorNumber(), DbError::RecordLocked);
    EXPECT_LT(timer.elapsed(), 4000);
    ASSERT_TRUE(a.CommitTrans());
    EXPECT_TRUE(b.Execute(QStringLiteral("UPDATE GeraeteTab SET Comment = 'b' WHERE myGUID = '{A}'")));

    // Two imports of one device at once: the second current protocol waits for the first
    // and is then refused by the unique index, never stored beside it.
    ASSERT_TRUE(a.BeginTrans());
    ASSERT_TRUE(
        a.Execute(QStringLiteral("UPDATE GeraeteTab SET History = 1 WHERE myGUID = '{B}' AND History = 0")));
    ASSERT_TRUE(a.Execute(
        QStringLiteral("INSERT INTO GeraeteTab (Device, History, myGUID) VALUES ('Saw', 0, '{B}')")));
    std::atomic<bool> done{false};
    bool inserted = true;
    bool constraint = false;
    std::thread other([&] {
        inserted = c.Execute(
            QStringLiteral("INSERT INTO GeraeteTab (Device, History, myGUID) VALUES ('Saw 2', 0, '{B}')"));
        constraint = c.LastFailureWasConstraint();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load()) << "the second insert waits for the first transaction";
    ASSERT_TRUE(a.CommitTrans());
    other.join();
    EXPECT_FALSE(inserted);
    EXPECT_TRUE(constraint);
    ASSERT_TRUE(a.OpenQuery(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab WHERE myGUID = '{B}'")));
    qint32 n = 0;
    ASSERT_TRUE(a.MoveFirst());
    ASSERT_TRUE(a.GetLong(QStringLiteral("n"), n));
    EXPECT_EQ(n, 1);
}

// An import that loses the race for a device to another workstation's uncommitted
// protocol waits for it, decides again against what was committed and keeps both tests;
// the insert the server refused meanwhile is no error for the user.
TEST_F(PgServerTest, AnImportThatLosesTheRaceForADeviceDecidesAgainQuietly) {
    QTemporaryDir docs;
    const XmlProtocolRecord mine = MakeProtocol(
        QStringLiteral("Dev 1"), QStringLiteral("ACME"), QStringLiteral("{G1}"), QStringLiteral("Drill"),
        QStringLiteral("{S-DRILL}"), QStringLiteral("05.03.2009"), QStringLiteral("12:00:00"));
    WriteDocument(
        docs.filePath(QStringLiteral("PV.xml")),
        SpecificationDocument({MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"))}));
    WriteDocument(docs.filePath(QStringLiteral("GP.xml")), ProtocolDocument({mine}));
    CFolderXmlSource source(docs.path());
    {
        CImportWorkflow catalogue(source, dir.path());
        PreviewList list;
        qint32 error = 0;
        QString text;
        ASSERT_TRUE(catalogue.Preview(ExchangeKind::Specifications, false, list, error, text)) << error;
        ASSERT_TRUE(catalogue.Import(ExchangeKind::Specifications, list.rows).ok);
    }
    // The other workstation stores an earlier test of the device and has not committed yet.
    CAdoDatabase other;
    ASSERT_TRUE(other.Open(dir.path(), UserSchema::FileName()));
    ASSERT_TRUE(other.BeginTrans());
    ASSERT_TRUE(other.Execute(QStringLiteral(
        "INSERT INTO GeraeteTab (Device, Client, SpecificationName, TestDate, History, myGUID) "
        "VALUES ('Dev 1', 'ACME', 'Drill', '2009-03-05 10:00:00', 0, '{G1}')")));

    CXmlExchange exchange(source);
    const CXmlExchange::ProtocolEntry entry{
        mine.master.device,
        mine.master.client,
        mine.master.guid,
        mine.master.specificationName,
        Preview::ParseDateTime(mine.master.testDate, mine.master.testTime),
        mine.master.testDate,
        mine.master.testTime};
    int decision = ImportDecision::Insert;
    qint32 id = 0;
    qint32 error = 0;
    QString text;
    bool stored = false;
    std::atomic<bool> done{false};
    std::thread import([&] {
        stored = exchange.ImportProtocol(db, entry, decision, id, error, text);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load()) << "the insert waits for the other workstation's transaction";
    ASSERT_TRUE(other.CommitTrans());
    import.join();
    EXPECT_TRUE(stored) << error << " " << text.toStdString();
    EXPECT_EQ(decision, ImportDecision::NewTest);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT History, TestDate FROM GeraeteTab ORDER BY TestDate")));
    QStringList rows;
    for (bool row = db.HasRow(); row; row = db.MoveNext()) {
        qint32 history = -1;
        QDateTime tested;
        EXPECT_TRUE(db.GetLong(QStringLiteral("History"), history));
        EXPECT_TRUE(db.GetDate(QStringLiteral("TestDate"), tested));
        rows << QStringLiteral("%1 %2").arg(history).arg(tested.toString(QStringLiteral("hh:mm")));
    }
    EXPECT_EQ(rows, QStringList({QStringLiteral("1 10:00"), QStringLiteral("0 12:00")}));
}

TEST_F(PgServerTest, NowIsTheWorkstationsWallClockInAnotherZone) {
    // The cluster runs in its own zone; the workstation here is fourteen hours ahead of UTC.
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Pacific/Kiritimati");
    tzset();
    CAdoDatabase far;
    ASSERT_TRUE(far.Open(dir.path(), UserSchema::FileName()));
    ASSERT_TRUE(far.OpenQuery(QStringLiteral("SELECT Now() AS n")));
    ASSERT_TRUE(far.MoveFirst());
    QDateTime now;
    ASSERT_TRUE(far.GetDate(QStringLiteral("n"), now));
    const QDateTime local = QDateTime::currentDateTime();
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    EXPECT_LT(qAbs(now.secsTo(QDateTime(local.date(), local.time()))), 60)
        << now.toString(Qt::ISODate).toStdString() << " vs " << local.toString(Qt::ISODate).toStdString();
}

TEST_F(PgServerTest, MigrationRoundTripKeepsEveryValue) {
    // File -> server -> another file, each step checked by counts and content hashes.
    QTemporaryDir first, second;
    DataLocation::SetServer(QString());
    ASSERT_TRUE(UserSchema::CreateUserDatabase(first.path(), UserSchema::CurrentVersion()));
    ASSERT_TRUE(UserSchema::CreateUserDatabase(second.path(), UserSchema::CurrentVersion()));
    CAdoDatabase file;
    ASSERT_TRUE(file.Open(first.path(), UserSchema::FileName()));
    for (const char* sql : kSeed)
        ASSERT_TRUE(file.Execute(QString::fromUtf8(sql))) << sql;
    ASSERT_TRUE(
        file.Execute(QStringLiteral("INSERT INTO UserSetupDetails (DirectoryTabID, SortOrder, UseFor, "
                                    "StringValue) VALUES (5, 1, 2, 'Device ''quoted'' ÄÖÜ')")));
    QString message;
    ASSERT_TRUE(Migrate::Copy(file, db, message)) << message.toStdString();
    const QStringList summary = Migrate::Summary(file);
    EXPECT_EQ(Migrate::Summary(db), summary);
    EXPECT_TRUE(summary.join(QLatin1Char('\n')).contains(QStringLiteral("GeraeteTab\t3\t")));
    // The server's keys continue after the copied ones.
    ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('new')")));
    qint32 id = 0;
    ASSERT_TRUE(db.GetNewId(id));
    EXPECT_EQ(id, 4);
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM TypenTab WHERE id = 4")));

    CAdoDatabase back;
    ASSERT_TRUE(back.Open(second.path(), UserSchema::FileName()));
    ASSERT_TRUE(Migrate::Copy(db, back, message)) << message.toStdString();
    EXPECT_EQ(Migrate::Summary(back), summary);

    // A target that holds records is refused.
    EXPECT_FALSE(Migrate::Copy(file, db, message));
    EXPECT_TRUE(message.contains(QStringLiteral("not empty"))) << message.toStdString();
}

TEST_F(PgServerTest, MigrationListsEveryRefusedRowAndCopiesNothing) {
    QTemporaryDir folder;
    DataLocation::SetServer(QString());
    ASSERT_TRUE(UserSchema::CreateUserDatabase(folder.path(), UserSchema::CurrentVersion()));
    // Rows an old build or another tool left: written without this program's triggers.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((folder.path() + QStringLiteral("/user2.db")).toUtf8().constData(), &raw),
              SQLITE_OK);
    for (const char* sql : {"INSERT INTO TypenTab (id, Name) VALUES (1, 'Äpfel')",
                            "INSERT INTO TypenTab (id, Name) VALUES (2, 'äpfel')",
                            "INSERT INTO GeraeteTab (id, Device, History, myGUID) VALUES (1, 'a', 0, '{G}')",
                            "INSERT INTO GeraeteTab (id, Device, History, myGUID) VALUES (2, 'b', 0, '{G}')",
                            "INSERT INTO GeraeteTab (id, Device, History, myGUID, TestDate) VALUES (3, 'c', "
                            "0, '{H}', 'yesterday')"})
        ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(raw);
    CAdoDatabase file;
    ASSERT_TRUE(file.Open(folder.path(), UserSchema::FileName()));
    QString message;
    EXPECT_FALSE(Migrate::Copy(file, db, message));
    EXPECT_TRUE(message.contains(QStringLiteral("3 row(s)"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("TypenTab id 2"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("GeraeteTab id 2: a second current protocol")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("GeraeteTab id 3: TestDate holds \"yesterday\"")))
        << message.toStdString();
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab")));
    qint32 n = -1;
    ASSERT_TRUE(db.MoveFirst());
    ASSERT_TRUE(db.GetLong(QStringLiteral("n"), n));
    EXPECT_EQ(n, 0);
}

TEST_F(PgServerTest, OtherWorkstationsHearOfEachCommittedChange) {
    CPgChangeListener listener;
    ASSERT_TRUE(listener.Start(conninfo)) << listener.Error().toStdString();
    EXPECT_GE(listener.Socket(), 0);
    EXPECT_TRUE(listener.WaitForChanges(100).isEmpty());
    {
        CTransaction trans(db);
        ASSERT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO GeraeteTab (Device, History, myGUID) VALUES ('a', 0, '{N}')")));
        ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET Comment = 'x'")));
        // Nothing is heard before the commit.
        EXPECT_TRUE(listener.WaitForChanges(200).isEmpty());
        ASSERT_TRUE(trans.Commit());
    }
    EXPECT_EQ(listener.WaitForChanges(2000), QStringList{QStringLiteral("geraetetab")});
    // A change rolled back is never told.
    {
        CTransaction trans(db);
        ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab")));
    }
    EXPECT_TRUE(listener.WaitForChanges(300).isEmpty());

    // A listener whose connection the server ends asks for a full refresh once it is back.
    CAdoDatabase admin;
    ASSERT_TRUE(admin.OpenServer(PgTestServer::Maintenance()));
    ASSERT_TRUE(admin.Execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                             "application_name <> 'V740Control' AND datname = '%1'")
                                  .arg(QStringLiteral("v740_") + PgTestServer::TestName().toLower())));
    EXPECT_EQ(listener.WaitForChanges(3000), QStringList{QStringLiteral("*")});
    ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('after')")));
    EXPECT_EQ(listener.WaitForChanges(2000), QStringList{QStringLiteral("typentab")});
}

TEST_F(PgServerTest, SheetsNeverWriteOverAnotherWorkstationsChange) {
    using Save = CProtocolMasterData::SaveResult;
    ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, ReviewPeriod) VALUES ('Drill', 12)")));
    ASSERT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO GeraeteTab (Device, History, myGUID, SpecificationName, "
                                  "Client, Comment) VALUES ('Dev', 0, '{G}', 'Drill', 'ACME', 'old')")));
    qint32 id = 0;
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT id FROM GeraeteTab")));
    ASSERT_TRUE(db.GetLong(QStringLiteral("id"), id));
    auto comment = [&] {
        QString text;
        EXPECT_TRUE(db.OpenQuery(QStringLiteral("SELECT Comment FROM GeraeteTab WHERE id = %1").arg(id)));
        if (db.HasRow())
            db.GetString(QStringLiteral("Comment"), text);
        return text;
    };

    // Two workstations open the same protocol; the other one saves first.
    CProtocolMasterData mine;
    ASSERT_TRUE(mine.Load(db, id, {}));
    CAdoDatabase other;
    ASSERT_TRUE(other.OpenServer(conninfo));
    CProtocolMasterData theirs;
    ASSERT_TRUE(theirs.Load(other, id, {}));
    ASSERT_TRUE(theirs.SetField(QStringLiteral("Comment"), QStringLiteral("theirs")));
    ASSERT_EQ(theirs.Save(other), Save::Saved) << theirs.Message().toStdString();
    // Their sheet saves again without reading anew: its own change is no conflict.
    ASSERT_TRUE(theirs.SetField(QStringLiteral("Comment"), QStringLiteral("theirs, again")));
    ASSERT_EQ(theirs.Save(other), Save::Saved) << theirs.Message().toStdString();

    ASSERT_TRUE(mine.SetField(QStringLiteral("Comment"), QStringLiteral("mine")));
    EXPECT_EQ(mine.Save(db), Save::ChangedElsewhere);
    EXPECT_TRUE(mine.Message().contains(QLatin1String("another workstation")))
        << mine.Message().toStdString();
    EXPECT_EQ(comment(), QStringLiteral("theirs, again"));

    // Read again, the change goes through.
    CProtocolMasterData reloaded;
    ASSERT_TRUE(reloaded.Load(db, id, {}));
    ASSERT_TRUE(reloaded.SetField(QStringLiteral("Comment"), QStringLiteral("mine")));
    EXPECT_EQ(reloaded.Save(db), Save::Saved) << reloaded.Message().toStdString();
    EXPECT_EQ(comment(), QStringLiteral("mine"));

    // A protocol another workstation deleted is not brought back by a save.
    ASSERT_TRUE(other.Execute(QStringLiteral("DELETE FROM GeraeteTab WHERE id = %1").arg(id)));
    ASSERT_TRUE(reloaded.SetField(QStringLiteral("Comment"), QStringLiteral("gone?")));
    EXPECT_EQ(reloaded.Save(db), Save::ChangedElsewhere);

    // The test specification's sheet checks the same way.
    qint32 specId = 0;
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT id FROM TypenTab")));
    ASSERT_TRUE(db.GetLong(QStringLiteral("id"), specId));
    CAdoDatabase ref;
    ASSERT_TRUE(ref.Open(QStringLiteral(V740_BIN_DIR), QStringLiteral("velmor.db")));
    CSpecSheetPages pages;
    ASSERT_TRUE(pages.Load(db, ref, specId, {}));
    ASSERT_TRUE(
        other.Execute(QStringLiteral("UPDATE TypenTab SET Manufacturer = 'ACME' WHERE id = %1").arg(specId)));
    EXPECT_EQ(pages.Save(db), CSpecSheetPages::SaveResult::ChangedElsewhere);
    CSpecSheetPages again;
    ASSERT_TRUE(again.Load(db, ref, specId, {}));
    EXPECT_EQ(again.Save(db), CSpecSheetPages::SaveResult::Saved);
}
