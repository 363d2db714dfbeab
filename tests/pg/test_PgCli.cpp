// v740ctl against a PostgreSQL server: server-init, imports of several workstations at
// once, migrate both ways.
#include "PgTestServer.h"

#include "exchange/ExchangeFixture.h"
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlSource.h"
#include "store/DataLocation.h"
#include "store/UserSchema.h"
#include "store/pg/PgSchema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PgCliTest : public ExchangeFixture {
protected:
    void SetUp() override {
        if (PgTestServer::Socket().isEmpty())
            GTEST_SKIP() << PgTestServer::SkipReason().toStdString();
        ExchangeFixture::SetUp();
        conninfo = PgTestServer::FreshDatabase(QStringLiteral("v740cli_") + PgTestServer::TestName());
        ASSERT_FALSE(conninfo.isEmpty());
    }
    ProcessResult Ctl(const QStringList& args) {
        return RunProgram(QStringLiteral("v740ctl"),
                          QStringList{QStringLiteral("--lang"), QStringLiteral("English"),
                                      QStringLiteral("--data"), DataDir()} +
                              args);
    }
    qint32 ServerCount(const QString& sql) {
        CAdoDatabase server;
        EXPECT_TRUE(server.OpenServer(conninfo));
        EXPECT_TRUE(server.OpenQuery(sql)) << sql.toStdString();
        qint32 n = -1;
        EXPECT_TRUE(server.MoveFirst());
        EXPECT_TRUE(server.GetLong(QStringLiteral("n"), n));
        return n;
    }
    QString conninfo;
};

} // namespace

TEST_F(PgCliTest, ServerInitRefusesPasswordsAndASecondRun) {
    ProcessResult r = Ctl({"server-init", conninfo + " password=hunter2"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QLatin1String("~/.pgpass"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QLatin1String("hunter2")));
    r = Ctl({"server-init", conninfo, "--language", "English", "--login", "anna"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("schema 3.2"))) << r.out.toStdString();
    r = Ctl({"server-init", conninfo});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("holds tables already"))) << r.err.toStdString();
    // The server's database passes the version check every command makes.
    r = Ctl({"--server", conninfo, "due"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunProgram(QStringLiteral("v740ctl"), {"--server", "dbname=x password=y", "due"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QLatin1String("~/.pgpass"))) << r.err.toStdString();
}

TEST_F(PgCliTest, FourImportsAtOnceLeaveOneCurrentProtocolPerDevice) {
    ASSERT_EQ(Ctl({"server-init", conninfo}).exitCode, 0);
    // Four workstations with overlapping documents: the same five devices tested on
    // different days, and one protocol that all four hold.
    const auto spec = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
    QList<QProcess*> runs;
    for (int w = 0; w < 4; ++w) {
        std::vector<XmlProtocolRecord> protocols;
        for (int d = 1; d <= 5; ++d)
            protocols.push_back(MakeProtocol(QStringLiteral("Dev %1").arg(d), QStringLiteral("ACME"),
                                             QStringLiteral("{G%1}").arg(d), QStringLiteral("Drill"),
                                             QStringLiteral("{S-DRILL}"),
                                             QStringLiteral("0%1.03.2009").arg(w + 1)));
        protocols.push_back(MakeProtocol(QStringLiteral("Shared"), QStringLiteral("ACME"),
                                         QStringLiteral("{SHARED}"), QStringLiteral("Drill"),
                                         QStringLiteral("{S-DRILL}")));
        const QString usb = dir.filePath(QStringLiteral("usb%1").arg(w));
        ASSERT_TRUE(QDir().mkpath(usb + QStringLiteral("/XmlData")));
        WriteDocument(usb + QStringLiteral("/XmlData/PV.xml"), SpecificationDocument({spec}));
        WriteDocument(usb + QStringLiteral("/XmlData/GP.xml"), ProtocolDocument(protocols));
        auto* p = new QProcess;
        p->setProgram(BinPath(QStringLiteral("v740ctl")));
        p->setArguments({"--lang", "English", "--server", conninfo, "--data", DataDir(), "import", "--source",
                         "drive", "--path", usb, "--kind", "protocols", "--all"});
        runs << p;
    }
    for (QProcess* p : runs)
        p->start();
    for (QProcess* p : runs) {
        ASSERT_TRUE(p->waitForFinished(120000));
        const QString err = QString::fromUtf8(p->readAllStandardError());
        EXPECT_EQ(p->exitCode(), 0) << err.toStdString();
        // A lost race is decided again quietly, without the driver's error box.
        EXPECT_FALSE(err.contains(QLatin1String("duplicate key"))) << err.toStdString();
        delete p;
    }
    EXPECT_EQ(ServerCount(
                  QStringLiteral("SELECT count(*) AS n FROM (SELECT myGUID FROM GeraeteTab WHERE History = 0 "
                                 "GROUP BY myGUID HAVING count(*) > 1) d")),
              0);
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab WHERE History = 0")), 6);
    // No test lost, none stored twice.
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab")), 21);
    EXPECT_EQ(ServerCount(QStringLiteral(
                  "SELECT count(*) AS n FROM (SELECT DISTINCT myGUID, TestDate FROM GeraeteTab) d")),
              21);
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT count(*) AS n FROM TypenTab")), 1);
}

TEST_F(PgCliTest, MigrateCopiesToTheServerAndBack) {
    ASSERT_EQ(Ctl({"server-init", conninfo}).exitCode, 0);
    auto p1 = MakeProtocol(QStringLiteral("Dev 1"), QStringLiteral("ACME"), QStringLiteral("{G1}"),
                           QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
    const QString usb = dir.filePath(QStringLiteral("usb"));
    ASSERT_TRUE(QDir().mkpath(usb + QStringLiteral("/XmlData")));
    WriteDocument(
        usb + QStringLiteral("/XmlData/PV.xml"),
        SpecificationDocument({MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"))}));
    WriteDocument(usb + QStringLiteral("/XmlData/GP.xml"), ProtocolDocument({p1}));
    ASSERT_EQ(Ctl({"import", "--source", "drive", "--path", usb, "--kind", "protocols", "--all"}).exitCode,
              0);
    ProcessResult r = Ctl({"migrate", "--to", conninfo});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("GeraeteTab: 1 row(s)"))) << r.out.toStdString();
    const QString hashes = r.out.mid(r.out.indexOf(QLatin1String("checked")));
    // Back into a new folder: the same tables, counts and hashes.
    const QString other = dir.filePath(QStringLiteral("other"));
    r = RunProgram(QStringLiteral("v740ctl"), {"--data", other, "migrate", "--from", conninfo});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.mid(r.out.indexOf(QLatin1String("checked"))), hashes);
    // A second copy into a server that holds records copies nothing.
    r = Ctl({"migrate", "--to", conninfo});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("not empty"))) << r.err.toStdString();
}

TEST_F(PgCliTest, PermidorReportsTheServersVersionAndLeavesAnotherVersionAlone) {
    ASSERT_EQ(Ctl({"server-init", conninfo}).exitCode, 0);
    QTemporaryDir machine;
    const QStringList env{QStringLiteral("VELMOR_COMMON_APPDATA=") +
                              machine.filePath(QStringLiteral("common")),
                          QStringLiteral("XDG_CONFIG_HOME=") + machine.filePath(QStringLiteral("config")),
                          QStringLiteral("VELMOR_DATABASE=") + conninfo};
    ProcessResult r = RunProgram(QStringLiteral("Permidor"), {}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("schema version ") + UserSchema::CurrentVersion()))
        << r.out.toStdString();
    // No local user database was made in place of the server's.
    EXPECT_FALSE(
        QFile::exists(machine.filePath(QStringLiteral("common/VELMOR 740ST - Roziraz Uvurad/user2.db"))));

    // A database of a newer program: refused, nothing written.
    {
        CAdoDatabase server;
        ASSERT_TRUE(server.OpenServer(conninfo));
        ASSERT_TRUE(server.Execute(QStringLiteral("INSERT INTO VersionTab (DatabaseVersion, DatabaseDate, "
                                                  "RequiredSoftwareRelease, Comment) VALUES ('9.0', Now(), "
                                                  "'9.0', 'newer')")));
    }
    const qint32 rows = ServerCount(QStringLiteral("SELECT COUNT(*) AS n FROM VersionTab"));
    r = RunProgram(QStringLiteral("Permidor"), {}, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("schema version 9.0"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String("left unchanged"))) << r.err.toStdString();
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT COUNT(*) AS n FROM VersionTab")), rows);
}

TEST_F(PgCliTest, TheWorkstationKeepsATestedServerInItsRegistryKey) {
    QTemporaryDir machine;
    const QStringList env{QStringLiteral("XDG_CONFIG_HOME=") + machine.filePath(QStringLiteral("config"))};
    auto ctl = [&](const QStringList& args, const QStringList& more = {}) {
        return RunProgram(QStringLiteral("v740ctl"),
                          QStringList{QStringLiteral("--lang"), QStringLiteral("English"),
                                      QStringLiteral("--data"), DataDir()} +
                              args,
                          env + more);
    };
    const QString key = machine.filePath(QStringLiteral("config/VELMOR 740ST - Roziraz Uvurad/registry"));
    // A database without the schema is not kept.
    ProcessResult r = ctl({"server-use", conninfo});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("server-init"))) << r.err.toStdString();
    EXPECT_FALSE(QString::fromUtf8(ReadFile(key)).contains(QLatin1String("DatabaseServer")));
    EXPECT_EQ(ctl({"server-use", conninfo + " password=x"}).exitCode, 2);

    ASSERT_EQ(Ctl({"server-init", conninfo}).exitCode, 0);
    r = ctl({"server-use", conninfo});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("schema ") + UserSchema::CurrentVersion()))
        << r.out.toStdString();
    EXPECT_TRUE(QString::fromUtf8(ReadFile(key)).contains(QLatin1String("DatabaseServer=REG_SZ:")));

    // Every command now works on the server without being told, unless VELMOR_DATABASE
    // says otherwise (empty: the data folder's file).
    const auto spec = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
    const QString usb = dir.filePath(QStringLiteral("usb"));
    ASSERT_TRUE(QDir().mkpath(usb + QStringLiteral("/XmlData")));
    WriteDocument(usb + QStringLiteral("/XmlData/PV.xml"), SpecificationDocument({spec}));
    r = ctl({"import", "--source", "drive", "--path", usb, "--kind", "specs", "--all"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT COUNT(*) AS n FROM TypenTab")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM TypenTab")), 0);
    r = ctl({"list", "--kind", "specs"}, {QStringLiteral("VELMOR_DATABASE=")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.trimmed().isEmpty()) << r.out.toStdString();

    r = ctl({"server-use", "--file"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QString::fromUtf8(ReadFile(key)).contains(QLatin1String("DatabaseServer")));
    r = ctl({"list", "--kind", "specs"});
    EXPECT_TRUE(r.out.trimmed().isEmpty()) << r.out.toStdString();
}

TEST_F(PgCliTest, AServerLostMidImportEndsItWithTheCauseAndLeavesWholeRecords) {
    QString message;
    ASSERT_TRUE(PgSchema::InitServer(conninfo, QStringLiteral("English"), {}, message))
        << message.toStdString();
    const auto spec = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
    std::vector<XmlProtocolRecord> protocols;
    for (int d = 1; d <= 20; ++d)
        protocols.push_back(MakeProtocol(QStringLiteral("Dev %1").arg(d), QStringLiteral("ACME"),
                                         QStringLiteral("{G%1}").arg(d), QStringLiteral("Drill"),
                                         QStringLiteral("{S-DRILL}")));
    ASSERT_TRUE(QDir().mkpath(DocsDir()));
    WriteDocument(Doc(QStringLiteral("PV.xml")), SpecificationDocument({spec}));
    WriteDocument(Doc(QStringLiteral("GP.xml")), ProtocolDocument(protocols));
    DataLocation::SetServer(conninfo);
    struct Restore {
        ~Restore() { DataLocation::ResetServer(); }
    } restore;
    ASSERT_TRUE(ImportAll(DocsDir(), false));

    // The server ends the import's connection after the fifth protocol (as a restart or a
    // network failure would).
    CFolderXmlSource source(DocsDir());
    CImportWorkflow workflow(source, DataDir());
    PreviewList list;
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(workflow.Preview(ExchangeKind::Protocols, false, list, error, text)) << text.toStdString();
    CAdoDatabase admin;
    ASSERT_TRUE(admin.OpenServer(PgTestServer::Maintenance()));
    int polls = 0; // the import asks once after each protocol
    CImportWorkflow::Callbacks callbacks;
    callbacks.cancelled = [&] {
        if (++polls == 5) {
            EXPECT_TRUE(admin.Execute(
                QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1' "
                               "AND pid <> pg_backend_pid()")
                    .arg(QStringLiteral("v740cli_") + PgTestServer::TestName().toLower())));
        }
        return false;
    };
    workflow.SetCallbacks(callbacks);
    QElapsedTimer timer;
    timer.start();
    const CImportWorkflow::Result r = workflow.Import(ExchangeKind::Protocols, list.rows);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(r.ok);
    EXPECT_GE(polls, 5);
    EXPECT_LT(r.protocolsInserted, 20);
    // The message names the lost connection, not a refused record.
    EXPECT_EQ(r.error, DbError::ConnectionLost);
    EXPECT_TRUE(notes.recorder.Last().contains(QLatin1String("the connection to the server is broken")))
        << notes.recorder.Last().toStdString();

    // What reached the server is whole: each protocol with its four result rows.
    const qint32 stored = ServerCount(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab"));
    EXPECT_GE(stored, 4);
    EXPECT_LT(stored, 20);
    EXPECT_EQ(
        ServerCount(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab g WHERE "
                                   "(SELECT count(*) FROM GeraetSichtProtTab s WHERE s.GeraeteTabID = g.id) "
                                   "+ (SELECT count(*) FROM GeraetProtTab t WHERE t.GeraeteTabID = g.id) "
                                   "+ (SELECT count(*) FROM GeraetFktProtTab f WHERE f.GeraeteTabID = g.id) "
                                   "<> 4")),
        0);

    // The same import run again brings the rest, each device once.
    ASSERT_TRUE(ImportAll(DocsDir(), true));
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab")), 20);
    EXPECT_EQ(ServerCount(QStringLiteral("SELECT count(*) AS n FROM GeraeteTab WHERE History = 0")), 20);
}
