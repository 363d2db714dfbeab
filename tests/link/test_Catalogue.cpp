// Catalogue exchange against v740sim with a real user database.
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlSupport.h"
#include "link/CatalogueExchange.h"
#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/SimHarness.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using Catalogue::CSendWorker;

// A user database filled from a simulator seeded with demo records.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UserSchema::CreateUserDatabase(data.path(), QStringLiteral("3.2")));
        CSimHarness seed({QStringLiteral("--demo"), QStringLiteral("6"), QStringLiteral("--name"),
                          QStringLiteral("Seed-740")});
        ASSERT_TRUE(seed.Started());
        CRS232 link;
        Catalogue::LinkContext c = Context(link, seed);
        qint32 error = 0;
        QString text;
        ASSERT_TRUE(Catalogue::OpenLink(c, error, text)) << error;
        CTesterXmlSource source(link, data.path());
        CImportWorkflow import(source, data.path());
        PreviewList list;
        ASSERT_TRUE(import.Preview(ExchangeKind::Protocols, false, list, error, text)) << error;
        ASSERT_EQ(list.rows.size(), 6u);
        const auto r = import.Import(ExchangeKind::Protocols, list.rows);
        ASSERT_TRUE(r.ok) << r.error << " " << r.errorText.toStdString();
        Catalogue::CloseLink(link);
        ASSERT_TRUE(db.Open(data.path(), QStringLiteral("user2.db")));
    }
    Catalogue::LinkContext Context(CRS232& link, const CSimHarness& sim) {
        Catalogue::LinkContext c{link, data.path(), {}};
        c.serial.port = sim.Port();
        link.SetCandidatePorts({sim.Port()});
        return c;
    }
    std::vector<CSendWorker::Row> Rows(const QString& table, const QString& where = QStringLiteral("1=1")) {
        std::vector<CSendWorker::Row> rows;
        const bool protocols = table == QLatin1String("GeraeteTab");
        EXPECT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM %1 WHERE %2 ORDER BY id").arg(table, where)));
        for (bool ok = db.MoveFirst(); ok; ok = db.MoveNext()) {
            CSendWorker::Row row;
            db.GetLong(QStringLiteral("id"), row.id);
            db.GetString(protocols ? QStringLiteral("Device") : QStringLiteral("Name"), row.column0);
            if (protocols)
                db.GetString(QStringLiteral("Client"), row.column3);
            rows.push_back(row);
        }
        return rows;
    }
    QList<qint32> Marks(const QString& table) {
        QList<qint32> marks;
        EXPECT_TRUE(db.OpenQuery(QStringLiteral("SELECT ExportImport FROM %1 ORDER BY id").arg(table)));
        for (bool ok = db.MoveFirst(); ok; ok = db.MoveNext()) {
            qint32 v = 0;
            db.GetLong(QStringLiteral("ExportImport"), v);
            marks << v;
        }
        return marks;
    }
    static int Count(const QStringList& lines, const QString& what) { return int(lines.filter(what).size()); }

    QTemporaryDir data;
    CAdoDatabase db;
};

// The lines a record goes out with, as the file the tester gives back holds them.
QByteArray DocumentBytes(CAdoDatabase& db, ExchangeKind kind, qint32 id) {
    CXmlSupport xml;
    qint32 exportImport = 0, error = 0;
    const bool ok = kind == ExchangeKind::Specifications
                        ? Catalogue::BuildSpecificationDocument(db, xml, id, exportImport, error)
                        : Catalogue::BuildProtocolDocument(db, xml, id, exportImport, error);
    EXPECT_TRUE(ok);
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString& line : xml.Lines())
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

} // namespace

TEST_F(CatalogueTest, ImportFromTheTesterCompletesTheIdentity) {
    // Every fourth demo protocol lacks the tester's identity; the tester was asked for it.
    ASSERT_TRUE(
        db.OpenQuery(QStringLiteral("SELECT COUNT(*) AS n FROM GeraeteTab WHERE TesterName = 'Seed-740' "
                                    "AND TesterSerial = '740-000123' AND TesterSW = '4.4.0'")));
    ASSERT_TRUE(db.MoveFirst());
    qint32 n = 0;
    db.GetLong(QStringLiteral("n"), n);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(Marks(QStringLiteral("TypenTab")).size(), 5);
}

TEST_F(CatalogueTest, SendThenFetchGivesBackTheDatabaseDocuments) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    const auto rows = Rows(QStringLiteral("GeraeteTab"));
    std::map<qint32, QByteArray> sentDocuments;
    for (const auto& r : rows)
        sentDocuments[r.id] = DocumentBytes(db, ExchangeKind::Protocols, r.id);
    CRS232 link;
    Catalogue::LinkContext c = Context(link, sim);
    CSendWorker worker(c, db);
    std::vector<qint32> steps;
    CSendWorker::Callbacks cb;
    cb.step = [&](qint32 id, const QString&) { steps.push_back(id); };
    worker.SetCallbacks(cb);
    const auto r = worker.SendProtocols(rows);
    ASSERT_TRUE(r.ok) << r.error << " " << r.errorText.toStdString();
    EXPECT_EQ(r.specificationsSent, 5);
    EXPECT_EQ(r.protocolsSent, 6);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.IsChecksumMode());
    // Specifications before protocols, each named once; marks set with the other bits kept.
    const QStringList received = sim.LoggedLines('<');
    EXPECT_EQ(Count(received, QStringLiteral(":CAT:XML:TYP:NEW PV")), 5);
    EXPECT_LT(received.lastIndexOf(QRegularExpression(QStringLiteral(":CAT:XML:TYP:NEW.*"))),
              received.indexOf(QRegularExpression(QStringLiteral(":CAT:XML:DEVICE:NEW.*"))));
    EXPECT_EQ(Marks(QStringLiteral("GeraeteTab")), QList<qint32>(6, 3));
    EXPECT_EQ(Marks(QStringLiteral("TypenTab")), QList<qint32>(5, 3));
    EXPECT_EQ(steps.front(), 50138);

    // Fetched back, each protocol is the document the database gave.
    CRS232 back;
    Catalogue::LinkContext c2 = Context(back, sim);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(Catalogue::OpenLink(c2, error, text));
    for (const auto& row : rows) {
        ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT myGUID FROM GeraeteTab WHERE id = %1").arg(row.id)) &&
                    db.MoveFirst());
        QString guid, path;
        db.GetString(QStringLiteral("myGUID"), guid);
        ASSERT_TRUE(Catalogue::FetchDeviceProtocol(back, guid, data.path(), path)) << back.GetErrorCode();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), sentDocuments[row.id]) << row.column0.toStdString();
    }
    QString name, serial, software;
    EXPECT_TRUE(Catalogue::QueryTesterIdentity(back, name, serial, software));
    EXPECT_EQ(name + serial + software, QStringLiteral("VELMOR 740ST740-0001234.4.0"));
    // The list with the query option holds only the tester's own records: none here.
    QString path, detail;
    ASSERT_TRUE(Catalogue::FetchList(back, ExchangeKind::Protocols, true, data.path(), path, detail));
    EXPECT_EQ(Count(sim.LoggedLines('<'), QStringLiteral(":CAT:XML:DEVICE:IDS? OPTION=\"USEQUERY\"")), 1);
    QFile list(path);
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_FALSE(list.readAll().contains("<Protocol "));
    Catalogue::CloseLink(back);
}

TEST_F(CatalogueTest, ChecksRefuseAndNothingIsSent) {
    struct Case {
        QString refuse;
        bool protocols;
        qint32 error;
        QString named;
    } cases[] = {
        {QStringLiteral("DEV-00002"), true, 424, QStringLiteral("DEV-00002")},
        {QStringLiteral("Demo Medizin"), true, 415, QStringLiteral("Demo Medizin")},
        {QStringLiteral("Demo Medizin"), false, 415, QStringLiteral("Demo Medizin")},
    };
    for (const Case& c : cases) {
        CSimHarness sim({QStringLiteral("--refuse"), c.refuse});
        ASSERT_TRUE(sim.Started());
        CRS232 link;
        Catalogue::LinkContext context = Context(link, sim);
        CSendWorker worker(context, db);
        const auto r = c.protocols ? worker.SendProtocols(Rows(QStringLiteral("GeraeteTab")))
                                   : worker.SendSpecifications(Rows(QStringLiteral("TypenTab")));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.errorText.contains(c.named))
            << c.named.toStdString() << ": " << r.errorText.toStdString();
        EXPECT_EQ(Count(sim.LoggedLines('<'), QStringLiteral(":NEW ")), 0);
        EXPECT_EQ(Marks(QStringLiteral("GeraeteTab")), QList<qint32>(6, 2));
        EXPECT_EQ(Marks(QStringLiteral("TypenTab")), QList<qint32>(5, 2));
        EXPECT_FALSE(link.IsOpen());
    }
}

TEST_F(CatalogueTest, SpecificationNamedInAnotherCaseIsSentOnce) {
    ASSERT_TRUE(db.Execute(
        QStringLiteral("UPDATE GeraeteTab SET SpecificationName = 'demo KALTgeräte' WHERE id = 6")));
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    Catalogue::LinkContext c = Context(link, sim);
    CSendWorker worker(c, db);
    const auto r = worker.SendProtocols(Rows(QStringLiteral("GeraeteTab"), QStringLiteral("id IN (1, 6)")));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.specificationsSent, 1);
    EXPECT_EQ(r.protocolsSent, 2);
    EXPECT_EQ(Count(sim.LoggedLines('<'), QStringLiteral(":CAT:XML:TYP:CHECK")), 1);
}

TEST_F(CatalogueTest, MissingSpecificationFailsTheCheck) {
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET SpecificationName = 'Gone' WHERE id = 2")));
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    Catalogue::LinkContext c = Context(link, sim);
    CSendWorker worker(c, db);
    const auto r = worker.SendProtocols(Rows(QStringLiteral("GeraeteTab")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, qint32(DbError::Move));
    EXPECT_EQ(Count(sim.LoggedLines('<'), QStringLiteral(":NEW ")), 0);
}

TEST_F(CatalogueTest, CancelBetweenRecordsKeepsWhatWasSent) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = 4 WHERE id = 2")));
    CRS232 link;
    Catalogue::LinkContext c = Context(link, sim);
    CSendWorker worker(c, db);
    int sent = 0;
    CSendWorker::Callbacks cb;
    cb.step = [&](qint32 id, const QString&) { sent += id == 178; };
    cb.cancelled = [&] { return sent >= 2; };
    worker.SetCallbacks(cb);
    const auto r = worker.SendSpecifications(Rows(QStringLiteral("TypenTab")));
    EXPECT_TRUE(r.ok); // a cancel after successful steps is a success
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.specificationsSent, 2);
    EXPECT_EQ(Marks(QStringLiteral("TypenTab")), (QList<qint32>{3, 5, 2, 2, 2}));
    EXPECT_FALSE(link.IsOpen());
}

struct FaultCase {
    QStringList options;
    bool ok;
    qint32 error; // 0: any failure
};

const FaultCase kFaults[] = {
    {{QStringLiteral("--busy")}, false, LinkError::InUse},
    {{QStringLiteral("--initfail")}, true, 0},
    {{QStringLiteral("--corrupt-checksum")}, false, LinkError::Repeat},
    {{QStringLiteral("--remote-version"), QStringLiteral("1.0.6.1")}, false, LinkError::RemoteTooOld},
    // A tester that refuses the version query of its remote component fails with a code, not 0.
    {{QStringLiteral("--refuse-remote-version")}, false, LinkError::RemoteTooOld},
    {{QStringLiteral("--silent-after"), QStringLiteral("40")}, false, LinkError::NoReply},
    {{QStringLiteral("--drop-byte-every"), QStringLiteral("900")}, false, 0},
    {{QStringLiteral("--slow"), QStringLiteral("3")}, true, 0},
};

class CatalogueFaultTest : public CatalogueTest, public ::testing::WithParamInterface<int> {};

TEST_P(CatalogueFaultTest, EndsCleanly) {
    const FaultCase& c = kFaults[GetParam()];
    const std::string what = c.options.join(QLatin1Char(' ')).toStdString();
    CSimHarness sim(c.options);
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    link.SetTimeoutLimit(300);
    Catalogue::LinkContext context = Context(link, sim);
    CSendWorker worker(context, db);
    const auto r = worker.SendProtocols(Rows(QStringLiteral("GeraeteTab")));
    EXPECT_EQ(r.ok, c.ok) << what << " " << r.error;
    if (c.error != 0) {
        EXPECT_EQ(r.error, c.error) << what;
    }
    if (!c.ok) {
        EXPECT_NE(r.error, 0) << what;
    }
    EXPECT_FALSE(link.IsOpen()) << what;
    EXPECT_FALSE(link.IsChecksumMode()) << what;
    // Marked are the records the tester took, and nothing else.
    const QStringList received = sim.LoggedLines('<');
    const int protocolsTaken = Count(received, QStringLiteral(":CAT:XML:DEVICE:NEW"));
    const QList<qint32> marks = Marks(QStringLiteral("GeraeteTab"));
    EXPECT_LE(marks.count(3), protocolsTaken) << what;
    EXPECT_GE(marks.count(3), protocolsTaken - 1) << what;
    EXPECT_EQ(marks.count(3) + marks.count(2), 6) << what;
    if (c.ok) {
        EXPECT_EQ(marks.count(3), 6) << what;
    }
    if (c.error == LinkError::InUse) {
        EXPECT_EQ(Count(received, QStringLiteral("\\x13")), 1) << "no scan for a busy tester";
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, CatalogueFaultTest, ::testing::Range(0, int(std::size(kFaults))));

// The "too old" sentence belongs to a remote component whose version was read and found
// old, never to a tester that stopped answering while the link was being opened.
TEST(CatalogueOpenLink, OnlyAnOldRemoteComponentIsCalledTooOld) {
    QTemporaryDir data;
    const TextLookup lookup = [](qint32 id) {
        return id == kTextRemoteTooOld ? QStringLiteral("too old: %s or later") : QString();
    };
    struct Case {
        QStringList options;
        qint32 error;
    };
    std::vector<Case> cases{
        {{QStringLiteral("--remote-version"), QStringLiteral("1.0.6.1")}, LinkError::RemoteTooOld}};
    // Silent after each of the first lines: somewhere among them is the version query.
    for (int n = 1; n <= 6; ++n)
        cases.push_back({{QStringLiteral("--silent-after"), QString::number(n)}, 0});
    int silentAtVersion = 0;
    for (const Case& c : cases) {
        const std::string what = c.options.join(QLatin1Char(' ')).toStdString();
        CSimHarness sim(c.options);
        ASSERT_TRUE(sim.Started());
        CRS232 link;
        link.SetTimeoutLimit(300);
        link.SetCandidatePorts({sim.Port()});
        Catalogue::LinkContext context{link, data.path(), {}};
        context.serial.port = sim.Port();
        qint32 error = 0;
        QString text;
        const bool ok = Catalogue::OpenLink(context, error, text, lookup);
        if (c.error != 0) {
            EXPECT_FALSE(ok) << what;
            EXPECT_EQ(error, c.error) << what;
        }
        EXPECT_EQ(text.startsWith(QLatin1String("too old")), !ok && error == LinkError::RemoteTooOld)
            << what << ": " << error << " " << text.toStdString();
        if (!ok && error != LinkError::RemoteTooOld &&
            sim.LoggedLines('<').join(QLatin1Char('\n')).contains(QLatin1String("Remote.dll")))
            ++silentAtVersion;
        Catalogue::CloseLink(link);
    }
    EXPECT_GT(silentAtVersion, 0) << "one of the silent testers stops at the version query";
}

TEST(CatalogueReplies, BareTokensBecomeSentencesAndWordsStay) {
    const TextLookup lookup = [](qint32 id) {
        switch (id) {
        case 60015:
            return QStringLiteral("wants more (%s)");
        case 60016:
            return QStringLiteral("unexpected: %s");
        case LinkError::Error:
            return QStringLiteral("the tester reported an error");
        default:
            return QString();
        }
    };
    const struct {
        const char* detail;
        const char* shown;
    } cases[] = {
        {"#next#", "wants more (#next#)"},
        {" #NEXT# ", "wants more (#NEXT#)"},
        {"#error#", "the tester reported an error"},
        {"#nocmd#", "unexpected: #nocmd#"}, // no text for it: named as unexpected, still not bare
        {"#ok#", "unexpected: #ok#"},
        {"#refused#", "unexpected: #refused#"},
        {"low battery", "low battery"},
        {"#error# disk full", "#error# disk full"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Catalogue::DescribeReply(QString::fromUtf8(c.detail), lookup), QString::fromUtf8(c.shown))
            << c.detail;
}
