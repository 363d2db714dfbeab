#include "exchange/ExchangeFixture.h"
#include "exchange/XmlExchange.h"
#include "exchange/XmlSource.h"

#include <QFile>
#include <QRegularExpression>

namespace {

class XmlExchangeTest : public ExchangeFixture {
protected:
    void WriteSpecs(const std::vector<XmlSpecificationRecord>& records) {
        WriteDocument(Doc(QStringLiteral("PV.xml")), SpecificationDocument(records));
    }
    void WriteProtocols(const std::vector<XmlProtocolRecord>& records) {
        WriteDocument(Doc(QStringLiteral("GP.xml")), ProtocolDocument(records));
    }
    // Imports a protocol the way the import dialog does: check, then the record operation.
    int ImportProtocol(const XmlProtocolRecord& p, qint32* errorOut = nullptr) {
        CFolderXmlSource source(DocsDir());
        CXmlExchange x(source);
        int decision = -1;
        qint32 id = 0;
        const QStringList d = p.master.testDate.split(QLatin1Char('.'));
        const QStringList t = p.master.testTime.split(QLatin1Char(':'));
        ImportDateTime when{quint16(d[0].toUInt()), quint16(d[1].toUInt()), quint16(d[2].toUInt()),
                            quint16(t[0].toUInt()), quint16(t[1].toUInt()), quint16(t[2].toUInt())};
        EXPECT_TRUE(x.CheckProtocol(db, p.master.device, p.master.client, p.master.guid,
                                    p.master.specificationName, when, decision, id));
        qint32 error = 0;
        QString text;
        bool ok = true;
        if (decision == ImportDecision::Insert || decision == ImportDecision::NewTest)
            ok = x.InsertProtocol(db, p.master.guid, decision == ImportDecision::NewTest, id, error, text);
        else if (decision == ImportDecision::Update)
            ok = x.UpdateProtocol(db, p.master.guid, id, error, text);
        EXPECT_TRUE(ok) << error << " " << text.toStdString();
        if (errorOut)
            *errorOut = error;
        return decision;
    }
    qint32 InsertDevice(const QString& device, const QString& client, const QString& guid, int history,
                        const QString& spec = QStringLiteral("Drill"),
                        const QString& tested = QStringLiteral("2009-03-05 14:07:09")) {
        EXPECT_TRUE(db.Execute(QStringLiteral("INSERT INTO GeraeteTab (Device, Client, myGUID, History, "
                                              "SpecificationName, TestDate) VALUES (%1, %2, %3, %4, %5, %6)")
                                   .arg(SqlLiteral(device), SqlLiteral(client), SqlLiteral(guid))
                                   .arg(history)
                                   .arg(SqlLiteral(spec), SqlLiteral(tested))));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }
};

const ImportDateTime kTested{5, 3, 2009, 14, 7, 9};

} // namespace

TEST_F(XmlExchangeTest, CheckSpecificationDecisions) {
    ASSERT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, myGUID) VALUES ('O''Brien 1', '{ABC}')")));
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    struct Case {
        const char* name;
        const char* guid;
        int decision;
    } const cases[] = {
        {"O'Brien 1", "{ABC}", ImportDecision::Update},
        {"o'brien 1", "{abc}", ImportDecision::Update}, // names and GUIDs ignore case
        {"O'Brien 1", "{XYZ}", ImportDecision::Conflict},
        {"O'Brien 2", "{ABC}", ImportDecision::Insert},
    };
    for (const Case& c : cases) {
        int decision = -1;
        EXPECT_TRUE(x.CheckSpecification(db, QString::fromUtf8(c.name), QLatin1String(c.guid), decision));
        EXPECT_EQ(decision, c.decision) << c.name << " " << c.guid;
    }
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}

TEST_F(XmlExchangeTest, CheckProtocolEveryBranch) {
    struct Row {
        const char* device;
        const char* client;
        const char* guid;
        int history;
        const char* spec;
        const char* tested;
    };
    struct Case {
        const char* what;
        std::vector<Row> rows;
        const char* device;
        const char* client;
        const char* guid;
        const char* spec;
        ImportDateTime tested;
        int decision;
        int idRow; // index into rows of the expected id, -1 for 0
    };
    const char* t0 = "2009-03-05 14:07:09";
    const std::vector<Case> cases = {
        {"no row of the device",
         {{"Other", "ACME", "g1", 0, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         2,
         -1},
        {"device known, neither match",
         {{"Dev", "Other", "g9", 0, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         2,
         -1},
        {"client match only",
         {{"Dev", "acme", "g9", 0, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         0,
         -1},
        {"client match on a history row",
         {{"Dev", "ACME", "g1", 1, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         0,
         -1},
        {"history GUID, other client",
         {{"Dev", "Other", "g1", 1, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         2,
         -1},
        {"GUID only, same test",
         {{"Dev", "Other", "G1", 0, "drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         1,
         0},
        {"same row, same test",
         {{"Dev", "ACME", "g1", 0, "Drill", t0}},
         "DEV",
         "acme",
         "G1",
         "DRILL",
         kTested,
         1,
         0},
        {"same row, other specification",
         {{"Dev", "ACME", "g1", 0, "Saw", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         4,
         0},
        {"same row, one second later",
         {{"Dev", "ACME", "g1", 0, "Drill", "2009-03-05 14:07:10"}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         4,
         0},
        {"same row, other year",
         {{"Dev", "ACME", "g1", 0, "Drill", "2010-03-05 14:07:09"}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         4,
         0},
        {"same row, no stored date",
         {{"Dev", "ACME", "g1", 0, "Drill", ""}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         4,
         0},
        {"two rows, equal GUIDs",
         {{"Dev", "ACME", "g1", 1, "Drill", t0}, {"Dev", "Other", "g1", 0, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         1,
         1},
        {"two rows, other GUIDs",
         {{"Dev", "ACME", "g2", 0, "Drill", t0}, {"Dev", "Other", "g1", 0, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         0,
         -1},
        {"later client row wins",
         {{"Dev", "ACME", "g2", 0, "Drill", t0},
          {"Dev", "Other", "g1", 0, "Drill", t0},
          {"Dev", "ACME", "G1", 1, "Drill", t0}},
         "Dev",
         "ACME",
         "g1",
         "Drill",
         kTested,
         1,
         1},
        {"apostrophes",
         {{"O'Neil's", "A'B", "g'1", 0, "D'rill", t0}},
         "O'Neil's",
         "A'B",
         "g'1",
         "D'rill",
         kTested,
         1,
         0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab")));
        std::vector<qint32> ids;
        for (const Row& r : c.rows)
            ids.push_back(InsertDevice(QString::fromUtf8(r.device), QString::fromUtf8(r.client),
                                       QString::fromUtf8(r.guid), r.history, QString::fromUtf8(r.spec),
                                       QString::fromUtf8(r.tested)));
        if (QLatin1String(c.what) == QLatin1String("same row, no stored date")) {
            ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET TestDate = NULL")));
        }
        CFolderXmlSource source(DocsDir());
        CXmlExchange x(source);
        int decision = -1;
        qint32 id = -1;
        EXPECT_TRUE(x.CheckProtocol(db, QString::fromUtf8(c.device), QString::fromUtf8(c.client),
                                    QString::fromUtf8(c.guid), QString::fromUtf8(c.spec), c.tested, decision,
                                    id))
            << c.what;
        EXPECT_EQ(decision, c.decision) << c.what;
        EXPECT_EQ(id, c.idRow < 0 ? 0 : ids[size_t(c.idRow)]) << c.what;
    }
}

TEST_F(XmlExchangeTest, CheckProtocolComparesWhatAnImportStores) {
    // A device name over the column's width is stored cut; the next check must find it,
    // or the same protocol would be inserted a second time as a current one.
    const QString device = QString(60, QLatin1Char('D'));
    const QString client = QString(25, QLatin1Char('C'));
    auto p = MakeProtocol(device, client, QString(45, QLatin1Char('g')), QString(24, QLatin1Char('S')),
                          QStringLiteral("{S}"));
    WriteProtocols({p});
    EXPECT_EQ(ImportProtocol(p), ImportDecision::Insert);
    EXPECT_EQ(Value(QStringLiteral("SELECT Device FROM GeraeteTab")), QString(50, QLatin1Char('D')));
    EXPECT_EQ(ImportProtocol(p), ImportDecision::Update);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 1);
}

TEST_F(XmlExchangeTest, ProtocolHistoryAndTheLastImportWins) {
    const auto older = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                                    QStringLiteral("Drill"), QStringLiteral("{S}"));
    auto newer = older;
    newer.master.testTime = QStringLiteral("14:07:10");
    newer.tests[0].measValue = 0.5;

    WriteProtocols({older});
    EXPECT_EQ(ImportProtocol(older), ImportDecision::Insert);
    const qint32 first = Value(QStringLiteral("SELECT id FROM GeraeteTab")).toInt();
    EXPECT_EQ(ImportProtocol(older), ImportDecision::Update) << "the same document twice updates in place";
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 1);

    WriteProtocols({newer});
    EXPECT_EQ(ImportProtocol(newer), ImportDecision::NewTest);
    EXPECT_EQ(Value(QStringLiteral("SELECT History FROM GeraeteTab WHERE id = %1").arg(first)),
              QStringLiteral("1"));
    const qint32 second = Value(QStringLiteral("SELECT id FROM GeraeteTab WHERE History = 0")).toInt();
    EXPECT_NE(second, first);
    EXPECT_EQ(
        Value(QStringLiteral("SELECT MeasValue FROM GeraetProtTab WHERE GeraeteTabID = %1 AND RefNo = 1")
                  .arg(second)),
        QStringLiteral("0.5"));

    // The older test again: its date differs from the current one, so it becomes current.
    WriteProtocols({older});
    EXPECT_EQ(ImportProtocol(older), ImportDecision::NewTest);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab WHERE History = 0")), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT TestDate FROM GeraeteTab WHERE History = 0")),
              QStringLiteral("2009-03-05 14:07:09"));
    EXPECT_EQ(Value(QStringLiteral("SELECT History FROM GeraeteTab WHERE id = %1").arg(second)),
              QStringLiteral("1"));

    // Another protocol of the same device and client under another GUID is refused.
    auto stranger = older;
    stranger.master.guid = QStringLiteral("{OTHER}");
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    int decision = -1;
    qint32 id = -1;
    EXPECT_TRUE(x.CheckProtocol(db, QStringLiteral("dev"), QStringLiteral("acme"), QStringLiteral("{OTHER}"),
                                QStringLiteral("Drill"), kTested, decision, id));
    EXPECT_EQ(decision, ImportDecision::Conflict);
    EXPECT_EQ(id, 0);
}

TEST_F(XmlExchangeTest, InsertedProtocolCarriesEveryValue) {
    auto p = MakeProtocol(QStringLiteral("Dev's"), QStringLiteral("A'CME"), QStringLiteral("{G}"),
                          QStringLiteral("Drill"), QStringLiteral("{S}"));
    p.master.comment = QStringLiteral("it's \"fine\" & <ok>");
    WriteProtocols({p});
    EXPECT_EQ(ImportProtocol(p), ImportDecision::Insert);
    EXPECT_EQ(Value(QStringLiteral(
                  "SELECT Device || '|' || Client || '|' || Comment || '|' || TestDate || '|' || "
                  "FirstTestDate || '|' || NextTestDate || '|' || ExportImport || '|' || History || "
                  "'|' || TesterSW || '|' || City || '|' || ReviewPeriod || '|' || UseExtraPolation "
                  "FROM GeraeteTab")),
              QStringLiteral("Dev's|A'CME|it's \"fine\" & <ok>|2009-03-05 14:07:09|2008-01-01 14:07:09|"
                             "2010-03-05 14:07:09|2|0|4.1|Town|12|0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(RefNo || ':' || MeasValue || ':' || Result || ':' || "
                                   "FirstValue, ' ') FROM GeraetProtTab")),
              QStringLiteral("1:0.12:30801:0.11 2:250:30802:249"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraetSichtProtTab")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraetFktProtTab")), 1);
}

TEST_F(XmlExchangeTest, UpdateProtocolChangesResultsButNotFirstValues) {
    auto p = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                          QStringLiteral("Drill"), QStringLiteral("{S}"));
    WriteProtocols({p});
    ASSERT_EQ(ImportProtocol(p), ImportDecision::Insert);
    p.master.comment = QStringLiteral("updated");
    p.tests[1].measValue = 99;
    p.tests[1].firstValue = 1;
    p.tests.push_back({7, 7, 7, 7}); // no row with RefNo 7: nothing is added
    p.visual[0].result = 30802;
    WriteProtocols({p});
    ASSERT_EQ(ImportProtocol(p), ImportDecision::Update);
    EXPECT_EQ(Value(QStringLiteral("SELECT Comment || ExportImport FROM GeraeteTab")),
              QStringLiteral("updated2"));
    EXPECT_EQ(
        Value(QStringLiteral("SELECT MeasValue || ':' || FirstValue FROM GeraetProtTab WHERE RefNo = 2")),
        QStringLiteral("99:249"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraetProtTab")), 2);
    EXPECT_EQ(Value(QStringLiteral("SELECT Result FROM GeraetSichtProtTab")), QStringLiteral("30802"));
}

TEST_F(XmlExchangeTest, InsertSpecificationStoresEveryRow) {
    auto s = MakeSpecification(QStringLiteral("Drill's \"best\""), QStringLiteral("{S}"));
    s.functional[0].text = QStringLiteral("a & b < c");
    WriteSpecs({MakeSpecification(QStringLiteral("Other"), QStringLiteral("{O}")), s});
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(x.InsertSpecification(db, s.master.name, error, text)) << error << text.toStdString();
    EXPECT_EQ(
        Value(QStringLiteral("SELECT Name || '|' || CordLength || '|' || PartsUsed || '|' || ExportImport || "
                             "'|' || CreateDate || '|' || myGUID || '|' || TotalPabl || '|' || MeasMethodeID "
                             "|| '|' || UseExtraPolation FROM TypenTab")),
        QStringLiteral("Drill's \"best\"|2.5|-1|2|2009-03-05 14:07:09|{S}|9|1|0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(RefNo || ':' || Limit || ':' || Jacks, ' ') FROM "
                                   "TypTestStepTab")),
              QStringLiteral("1:0.3:6 2:250:0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT myText FROM TypFktStepTab")), QStringLiteral("a & b < c"));
    EXPECT_EQ(Value(QStringLiteral("SELECT Description FROM TypPartsTab")), QStringLiteral("Probe"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypSichtPrfTab")), 2);
}

TEST_F(XmlExchangeTest, VersionOneDocumentGetsTheDefaults) {
    // A document without the 2.0 comment and without the attributes that came with 2.0.
    auto s = MakeSpecification(QStringLiteral("Old"), QStringLiteral("{OLD}"));
    QStringList lines = SpecificationDocument({s});
    lines.removeAt(1);
    for (QString& line : lines)
        line.remove(QRegularExpression(QStringLiteral(" (VoltageAccessiblePart|FunctionEarth|VoltageSignalIO|"
                                                      "AccessibleParts|PhaseReverseEnable|TotalPabl|"
                                                      "UseExtraPolation)=\"[^\"]*\"")));
    for (QString& line : lines) {
        if (line.contains(QLatin1String("<AppliedPart ")))
            line.remove(QRegularExpression(QStringLiteral(" Description=\"[^\"]*\"")));
        if (line.contains(QLatin1String("<TestStep ")))
            line.remove(QRegularExpression(QStringLiteral(" Jacks=\"[^\"]*\"")));
    }
    WriteDocument(Doc(QStringLiteral("PV.xml")), lines);
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(x.InsertSpecification(db, QStringLiteral("Old"), error, text)) << error << text.toStdString();
    EXPECT_EQ(
        Value(QStringLiteral("SELECT VoltageAccessiblePart || FunctionEarth || VoltageSignalIO || "
                             "AccessibleParts || PhaseReverseEnable || TotalPabl || '|' || UseExtraPolation "
                             "FROM TypenTab")),
        QStringLiteral("-1-1-1-1-1-1|1"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(Jacks) FROM TypTestStepTab")), QStringLiteral("0,0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT '[' || Description || ']' FROM TypPartsTab")),
              QStringLiteral("[]"));

    // A version 1 protocol: City, Street, DutClass empty, ReviewPeriod 0.
    auto p = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                          QStringLiteral("Old"), QStringLiteral("{OLD}"));
    QStringList plines = ProtocolDocument({p});
    plines.removeAt(1);
    for (QString& line : plines)
        line.remove(QRegularExpression(QStringLiteral(" (City|Street|ReviewPeriod|DutClass)=\"[^\"]*\"")));
    WriteDocument(Doc(QStringLiteral("GP.xml")), plines);
    ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G}"), false, 0, error, text))
        << error << text.toStdString();
    EXPECT_EQ(Value(QStringLiteral(
                  "SELECT '[' || City || Street || DutClass || ']' || ReviewPeriod FROM GeraeteTab")),
              QStringLiteral("[]0"));
}

TEST_F(XmlExchangeTest, NameCutToTwentyCharacters) {
    const QString longName = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    WriteSpecs({MakeSpecification(longName, QStringLiteral("{L}"))});
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(x.InsertSpecification(db, longName, error, text));
    EXPECT_EQ(Value(QStringLiteral("SELECT Name FROM TypenTab")), longName.left(20));
    // The check compares what the import stored, the name cut to its width: a second import
    // of the same document updates, one under another GUID is a conflict.
    int decision = -1;
    ASSERT_TRUE(x.CheckSpecification(db, longName, QStringLiteral("{L}"), decision));
    EXPECT_EQ(decision, ImportDecision::Update);
    ASSERT_TRUE(x.CheckSpecification(db, longName.left(20) + QStringLiteral("other"), QStringLiteral("{M}"),
                                     decision));
    EXPECT_EQ(decision, ImportDecision::Conflict);
    ASSERT_TRUE(x.CheckSpecification(db, longName.left(19), QStringLiteral("{L}"), decision));
    EXPECT_EQ(decision, ImportDecision::Insert);
    const QString before = TableCounts();
    ASSERT_TRUE(ImportAll(DocsDir(), false)) << "imported twice";
    EXPECT_EQ(TableCounts(), before);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
}

TEST(ImportNumberTest, IntegerAttributes) {
    struct Case {
        const char* text;
        bool ok;
        qint32 value;
    } const cases[] = {
        {"", true, 0},       {"  ", true, 0},      {"5050.0", true, 5050},    {"5050.", true, 5050},
        {"-3.00", true, -3}, {"+7", true, 7},      {" 12 ", true, 12},        {"0", true, 0},
        {"abc", false, 0},   {"5050.5", false, 0}, {"1e3", false, 0},         {".0", false, 0},
        {"12abc", false, 0}, {"-", false, 0},      {"99999999999", false, 0},
    };
    for (const Case& c : cases) {
        qint32 v = -99;
        EXPECT_EQ(ImportNumber::ParseInt(QString::fromUtf8(c.text), v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

// What other tools and the program's own export write is read back: empty or "5050.0"
// integers, protocols without first or next test date.
TEST_F(XmlExchangeTest, EmptyValuesOfOtherWritersAreImported) {
    XmlProtocolRecord p = MakeProtocol(QStringLiteral("Drill 7"), QStringLiteral("ACME"),
                                       QStringLiteral("{E}"), QStringLiteral("Drill"), QStringLiteral("{S}"));
    p.master.firstTestDate.clear();
    p.master.nextTestDate.clear();
    QStringList lines = ProtocolDocument({p});
    for (QString& line : lines) {
        line.replace(QRegularExpression(QStringLiteral(" TestResultID=\"[^\"]*\"")),
                     QStringLiteral(" TestResultID=\"\""));
        line.replace(QRegularExpression(QStringLiteral(" ReviewPeriod=\"[^\"]*\"")),
                     QStringLiteral(" ReviewPeriod=\"12.0\""));
    }
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    EXPECT_EQ(ImportProtocol(p), ImportDecision::Insert);
    EXPECT_EQ(Value(QStringLiteral("SELECT (FirstTestDate IS NULL) || (NextTestDate IS NULL) || ' ' || "
                                   "TestResultID || ' ' || ReviewPeriod FROM GeraeteTab")),
              QStringLiteral("11 0 12"));
    // The update reads NextTestDate the same way.
    EXPECT_EQ(ImportProtocol(p), ImportDecision::Update);
    EXPECT_EQ(Value(QStringLiteral("SELECT NextTestDate IS NULL FROM GeraeteTab")), QStringLiteral("1"));
    // Text without digits stays refused.
    for (QString& line : lines)
        line.replace(QStringLiteral(" ReviewPeriod=\"12.0\""), QStringLiteral(" ReviewPeriod=\"twelve\""));
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    EXPECT_FALSE(x.InsertProtocol(db, QStringLiteral("{E}"), false, 0, error, text));
    EXPECT_EQ(error, XmlError::Attribute);
    EXPECT_EQ(text, QStringLiteral("ReviewPeriod=\"twelve\""));
}

TEST_F(XmlExchangeTest, NulReferenceRefusesTheRecordNamingTheAttribute) {
    XmlProtocolRecord p = MakeProtocol(QStringLiteral("Drill 7"), QStringLiteral("ACME"),
                                       QStringLiteral("{N}"), QStringLiteral("Drill"), QStringLiteral("{S}"));
    QStringList lines = ProtocolDocument({p});
    for (QString& line : lines)
        line.replace(QStringLiteral(" Comment=\""), QStringLiteral(" Comment=\"a&#0;b"));
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    const QString before = TableCounts();
    EXPECT_FALSE(x.InsertProtocol(db, QStringLiteral("{N}"), false, 0, error, text));
    EXPECT_EQ(error, XmlError::Attribute);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Comment=\"a&#0;b"))) << text.toStdString();
    EXPECT_EQ(TableCounts(), before);
}

TEST_F(XmlExchangeTest, BadRecordsLeaveTheDatabaseUnchanged) {
    struct Case {
        const char* what;
        bool protocol;
        std::function<void(QStringList&)> edit;
        qint32 error;
        const char* text;
    };
    const auto removeAttr = [](const char* element, const char* attr, int occurrence = 0) {
        return [=](QStringList& lines) {
            int seen = 0;
            for (QString& line : lines) {
                if (!line.contains(QStringLiteral("<%1 ").arg(QLatin1String(element))))
                    continue;
                if (seen++ != occurrence)
                    continue;
                line.remove(QRegularExpression(QStringLiteral(" %1=\"[^\"]*\"").arg(QLatin1String(attr))));
            }
        };
    };
    const auto setAttr = [](const char* attr, const char* value) {
        return [=](QStringList& lines) {
            for (QString& line : lines)
                line.replace(QRegularExpression(QStringLiteral(" %1=\"[^\"]*\"").arg(QLatin1String(attr))),
                             QStringLiteral(" %1=\"%2\"").arg(QLatin1String(attr), QString::fromUtf8(value)));
        };
    };
    const std::vector<Case> cases = {
        {"second TestRef lacks FirstValue", true, removeAttr("TestRef", "FirstValue", 1), 31563,
         "FirstValue"},
        {"protocol lacks Device", true, removeAttr("Protocol", "Device"), 31563, "Device"},
        {"protocol lacks Comment", true, removeAttr("Protocol", "Comment"), 31563, "Comment"},
        {"protocol lacks TesterSW", true, removeAttr("Protocol", "TesterSW"), 31563, "TesterSW"},
        {"protocol lacks City", true, removeAttr("Protocol", "City"), 31563, "City"},
        {"VisualRef lacks Result", true, removeAttr("VisualRef", "Result"), 31563, "Result"},
        {"test date is not dd.mm.yyyy", true, setAttr("TestDate", "2009-03-05"), 30151,
         "TestDate=\"2009-03-05\""},
        {"test date with a two-digit year", true, setAttr("TestDate", "05.03.09"), 30151, nullptr},
        {"test date 31 February", true, setAttr("NextTestDate", "31.02.2010"), 30151, nullptr},
        {"test time is no time", true, setAttr("TestTime", "25:00:00"), 30151, nullptr},
        {"result is no number", true, setAttr("TestResultID", "abc"), 31563, "TestResultID=\"abc\""},
        {"measured value with a comma", true, setAttr("MeasValue", "0,12"), 31563, "MeasValue=\"0,12\""},
        {"number too big", true, setAttr("ReviewPeriod", "99999999999"), 31563, nullptr},
        {"specification lacks ClassID", false, removeAttr("Specification", "ClassID"), 31563, "ClassID"},
        {"specification lacks GUID", false, removeAttr("Specification", "GUID"), 31563, "GUID"},
        {"specification lacks TotalPabl", false, removeAttr("Specification", "TotalPabl"), 31563,
         "TotalPabl"},
        {"TestStep lacks Jacks", false, removeAttr("TestStep", "Jacks", 1), 31563, "Jacks"},
        {"limit is no number", false, setAttr("Limit", "high"), 31563, nullptr},
        {"create date is empty", false, setAttr("CreateDate", ""), 30151, nullptr},
    };
    for (const Case& c : cases) {
        auto s = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S}"));
        auto p = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                              QStringLiteral("Drill"), QStringLiteral("{S}"));
        QStringList lines = c.protocol ? ProtocolDocument({p}) : SpecificationDocument({s});
        c.edit(lines);
        WriteDocument(Doc(c.protocol ? QStringLiteral("GP.xml") : QStringLiteral("PV.xml")), lines);
        const QString before = TableCounts();
        CFolderXmlSource source(DocsDir());
        CXmlExchange x(source);
        qint32 error = 0;
        QString text;
        const bool ok = c.protocol ? x.InsertProtocol(db, QStringLiteral("{G}"), false, 0, error, text)
                                   : x.InsertSpecification(db, QStringLiteral("Drill"), error, text);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
        if (c.text) {
            EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.what;
        }
        EXPECT_EQ(TableCounts(), before) << c.what;
    }
}

TEST_F(XmlExchangeTest, UseExtraPolationMissingMeansOne) {
    auto p = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                          QStringLiteral("Drill"), QStringLiteral("{S}"));
    QStringList lines = ProtocolDocument({p});
    for (QString& line : lines)
        line.remove(QStringLiteral(" UseExtraPolation=\"0\""));
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G}"), false, 0, error, text)) << text.toStdString();
    EXPECT_EQ(Value(QStringLiteral("SELECT UseExtraPolation FROM GeraeteTab")), QStringLiteral("1"));
}

TEST_F(XmlExchangeTest, FailureInsideTheTransactionRollsBackRecordAndRetiring) {
    // The old protocol is current; the new one fails at its second test result.
    const qint32 old = InsertDevice(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"), 0);
    ASSERT_TRUE(
        db.Execute(QStringLiteral("CREATE TRIGGER injected BEFORE INSERT ON GeraetProtTab WHEN NEW.RefNo = 2 "
                                  "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")));
    auto p = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                          QStringLiteral("Drill"), QStringLiteral("{S}"), QStringLiteral("06.03.2009"));
    WriteProtocols({p});
    const QString before = TableCounts();
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    EXPECT_FALSE(x.InsertProtocol(db, QStringLiteral("{G}"), true, old, error, text));
    EXPECT_EQ(error, DbError::Execute);
    EXPECT_EQ(TableCounts(), before);
    EXPECT_EQ(Value(QStringLiteral("SELECT History FROM GeraeteTab WHERE id = %1").arg(old)),
              QStringLiteral("0"));
    EXPECT_FALSE(db.InTransaction());
    EXPECT_FALSE(notes.recorder.messages.isEmpty()) << "the database layer reports its failure";
}

TEST_F(XmlExchangeTest, UpdateSpecificationKeepsStepsAndChecksTheGuid) {
    auto s = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S}"));
    WriteSpecs({s});
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(x.InsertSpecification(db, QStringLiteral("Drill"), error, text));
    s.master.manufacturer = QStringLiteral("O'Neil");
    s.master.reviewPeriod = 24;
    s.master.classId = 9; // not an updated column
    s.tests.clear();
    WriteSpecs({s});
    ASSERT_TRUE(x.UpdateSpecification(db, QStringLiteral("Drill"), QStringLiteral("{s}"), error, text));
    EXPECT_EQ(Value(QStringLiteral("SELECT Manufacturer || ReviewPeriod || ClassID FROM TypenTab")),
              QStringLiteral("O'Neil242"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypTestStepTab")), 2);
    EXPECT_FALSE(x.UpdateSpecification(db, QStringLiteral("Drill"), QStringLiteral("{OTHER}"), error, text));
    EXPECT_EQ(error, 50169);
    EXPECT_EQ(text, QStringLiteral("Drill"));
}

TEST_F(XmlExchangeTest, MissingDocumentOrRecord) {
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    EXPECT_FALSE(x.InsertSpecification(db, QStringLiteral("Drill"), error, text));
    EXPECT_EQ(error, XmlError::Load);
    EXPECT_EQ(text, Doc(QStringLiteral("PV.xml")));
    WriteSpecs({MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S}"))});
    EXPECT_FALSE(x.InsertSpecification(db, QStringLiteral("Saw"), error, text));
    EXPECT_EQ(error, XmlError::NoNode);
    // A name with trailing blanks is looked up without them.
    EXPECT_TRUE(x.InsertSpecification(db, QStringLiteral("Drill  "), error, text)) << error;
}

TEST_F(XmlExchangeTest, DocumentLoadedOncePerRunUnlessItChanges) {
    std::vector<XmlProtocolRecord> records;
    for (int i = 0; i < 20; ++i)
        records.push_back(MakeProtocol(QStringLiteral("Dev %1").arg(i), QStringLiteral("ACME"),
                                       QStringLiteral("{G%1}").arg(i), QStringLiteral("Drill"),
                                       QStringLiteral("{S}")));
    WriteProtocols(records);
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G%1}").arg(i), false, 0, error, text));
    EXPECT_EQ(x.DocumentLoads(), 1);
    // A new document in its place is read anew.
    records[10].master.comment = QStringLiteral("changed");
    WriteProtocols(records);
    ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G10}"), false, 0, error, text));
    EXPECT_EQ(x.DocumentLoads(), 2);
    EXPECT_EQ(Value(QStringLiteral("SELECT Comment FROM GeraeteTab WHERE myGUID = '{G10}'")),
              QStringLiteral("changed"));
    // Alternating kinds keeps one document of each.
    WriteSpecs({MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S}")),
                MakeSpecification(QStringLiteral("Saw"), QStringLiteral("{T}"))});
    ASSERT_TRUE(x.InsertSpecification(db, QStringLiteral("Drill"), error, text));
    ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G11}"), false, 0, error, text));
    ASSERT_TRUE(x.InsertSpecification(db, QStringLiteral("Saw"), error, text));
    ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G12}"), false, 0, error, text));
    EXPECT_EQ(x.DocumentLoads(), 3);
}

TEST_F(XmlExchangeTest, KeysWithQuotesAndApostrophesAreImported) {
    // XPath cannot hold both quote characters in one literal; the lookup does not need it.
    const QString name = QStringLiteral("O'Neil \"X\"");
    const QString guid = QStringLiteral("{a'b\"c&d}");
    WriteSpecs({MakeSpecification(name, QStringLiteral("{S}"))});
    WriteProtocols(
        {MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), guid, name, QStringLiteral("{S}"))});
    CFolderXmlSource source(DocsDir());
    CXmlExchange x(source);
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(x.InsertSpecification(db, name, error, text)) << error;
    ASSERT_TRUE(x.InsertProtocol(db, guid, false, 0, error, text)) << error;
    EXPECT_EQ(Value(QStringLiteral("SELECT Name FROM TypenTab")), name);
    EXPECT_EQ(Value(QStringLiteral("SELECT myGUID || '|' || SpecificationName FROM GeraeteTab")),
              guid + "|" + name);
    int decision = -1;
    qint32 id = 0;
    EXPECT_TRUE(x.CheckProtocol(db, QStringLiteral("Dev"), QStringLiteral("ACME"), guid, name, kTested,
                                decision, id));
    EXPECT_EQ(decision, ImportDecision::Update);
}

namespace {
// A source that answers the identity question, as the tester does.
class IdentitySource : public CFolderXmlSource {
public:
    using CFolderXmlSource::CFolderXmlSource;
    bool CanQueryTesterIdentity() const override { return true; }
    bool QueryTesterIdentity(QString& name, QString& serial, QString& software, qint32& error) override {
        ++asked;
        if (fail) {
            error = 50303;
            return false;
        }
        name = QStringLiteral("VELMOR 740 with a long name");
        serial = QStringLiteral("0815");
        software = QStringLiteral("4.2");
        return true;
    }
    int asked = 0;
    bool fail = false;
};
} // namespace

TEST_F(XmlExchangeTest, TesterAttributesAreAskedOnlyFromASourceThatCan) {
    auto p = MakeProtocol(QStringLiteral("Dev"), QStringLiteral("ACME"), QStringLiteral("{G}"),
                          QStringLiteral("Drill"), QStringLiteral("{S}"));
    QStringList lines = ProtocolDocument({p});
    for (QString& line : lines)
        line.remove(QStringLiteral(" TesterSerial=\"123\""));
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    qint32 error = 0;
    QString text;
    {
        IdentitySource source(DocsDir());
        source.fail = true;
        CXmlExchange x(source);
        EXPECT_FALSE(x.InsertProtocol(db, QStringLiteral("{G}"), false, 0, error, text));
        EXPECT_EQ(error, 50303);
    }
    IdentitySource source(DocsDir());
    CXmlExchange x(source);
    ASSERT_TRUE(x.InsertProtocol(db, QStringLiteral("{G}"), false, 0, error, text));
    EXPECT_EQ(source.asked, 1);
    EXPECT_EQ(
        Value(QStringLiteral("SELECT TesterName || '|' || TesterSerial || '|' || TesterSW FROM GeraeteTab")),
        QStringLiteral("VELMOR 740 with|0815|4.2"));
}
