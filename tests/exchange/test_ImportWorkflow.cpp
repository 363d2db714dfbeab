#include "exchange/ExchangeFixture.h"
#include "exchange/ExportWorkflow.h"
#include "exchange/ImportWorkflow.h"
#include "platform/LocaleFormat.h"
#include "store/UserSchema.h"

#include <QRegularExpression>
#include <thread>

namespace {

class ImportWorkflowTest : public ExchangeFixture {
protected:
    // Runs the import of the folder's document of the kind, keeping the step texts.
    CImportWorkflow::Result Run(ExchangeKind kind, std::function<bool(const PreviewRow&)> mark = {},
                                std::function<bool()> cancelled = {}, TextLookup lookup = {}) {
        CFolderXmlSource source(DocsDir());
        CImportWorkflow w(source, DataDir());
        CImportWorkflow::Callbacks cb;
        cb.step = [this](qint32 id, const QString& arg) {
            steps << (arg.isEmpty() ? QString::number(id) : QStringLiteral("%1 %2").arg(id).arg(arg));
        };
        cb.range = [this](int r) { range = r; };
        cb.position = [this](int p) { position = p; };
        cb.cancelled = std::move(cancelled);
        cb.finished = [this](const WorkflowResult& r) {
            // Called at the end of the preview, then of the import.
            ends << QStringLiteral("%1 %2").arg(ends.isEmpty() ? "preview" : "import",
                                                r.ok ? "ok" : "failed");
        };
        w.SetCallbacks(cb);
        w.SetTextLookup(std::move(lookup));
        PreviewList list;
        qint32 error = 0;
        QString text;
        EXPECT_TRUE(w.Preview(kind, false, list, error, text)) << error << text.toStdString();
        std::vector<PreviewRow> marked;
        for (const PreviewRow& row : list.rows)
            if (!mark || mark(row))
                marked.push_back(row);
        return w.Import(kind, marked);
    }
    QStringList steps;
    QStringList ends;
    int range = 0;
    int position = 0;
};

XmlProtocolRecord Protocol(int n, const QString& spec = QStringLiteral("Drill")) {
    return MakeProtocol(QStringLiteral("Dev %1").arg(n), QStringLiteral("ACME"),
                        QStringLiteral("{G%1}").arg(n), spec, QStringLiteral("{S-%1}").arg(spec.toUpper()));
}

} // namespace

TEST_F(ImportWorkflowTest, PreviewRowsFromListsAndFullDocuments) {
    CXmlSupport x;
    x.AddHeader();
    x.BeginSpecifications();
    x.AddSpecificationEntry(QStringLiteral("Drill"), QStringLiteral("VDE 0701"), QStringLiteral("Hand drill"),
                            QStringLiteral("05.03.2009"), QStringLiteral("14:07:09"), QStringLiteral("{S}"));
    x.AddSpecificationEntry(QStringLiteral("Saw"), QStringLiteral("VDE 0702"), QStringLiteral("Saw"),
                            QStringLiteral("5.3.2009"), QStringLiteral("14:07:09"), QStringLiteral("{T}"));
    x.EndSpecifications();
    x.AddFooter();
    WriteDocument(Doc(QStringLiteral("PVs.xml")), x.Lines());
    PreviewList list;
    qint32 error = 0;
    QString text;
    CXmlSupport reader;
    ASSERT_TRUE(Preview::ReadList(reader, Doc(QStringLiteral("PVs.xml")), ExchangeKind::Specifications, list,
                                  error, text));
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(Preview::Columns(list.rows[0], ExchangeKind::Specifications, {}),
              QStringList({"Drill", "Hand drill", "VDE 0701", LocaleFormat::ShortDate(QDate(2009, 3, 5))}));
    EXPECT_EQ(Preview::Columns(list.rows[1], ExchangeKind::Specifications, {})[3], QStringLiteral("5.3.2009"))
        << "a date that is not ten characters long is shown as it stands";

    // A full document stands in for a list: the standard comes from its TextID.
    WriteDocument(Doc(QStringLiteral("PV.xml")), SpecificationDocument({MakeSpecification("Drill", "{S}")}));
    ASSERT_TRUE(Preview::ReadList(reader, Doc(QStringLiteral("PV.xml")), ExchangeKind::Specifications, list,
                                  error, text));
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].standardId, 5800);
    const TextLookup lookup = [](qint32 id) { return id == 5800 ? QStringLiteral("IEC 60601") : QString(); };
    EXPECT_EQ(Preview::Columns(list.rows[0], ExchangeKind::Specifications, lookup)[2],
              QStringLiteral("IEC 60601"));
    EXPECT_EQ(Preview::Columns(list.rows[0], ExchangeKind::Specifications, {})[2], QStringLiteral("5800"));
}

TEST_F(ImportWorkflowTest, PreviewOfProtocolsLeavesOutTheThirdResult) {
    struct Entry {
        const char* device;
        qint32 resultId; // 0: a list entry with a TestResult text
        const char* date;
        const char* time;
        bool drop; // leave Client out
    };
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        bool ok;
        qint32 error;
        int rows;
        int leftOut;
    };
    const std::vector<Case> cases = {
        {"plain",
         {{"A", 30801, "05.03.2009", "14:07:09", false}, {"B", 0, "05.03.2009", "14:07:09", false}},
         true,
         0,
         2,
         0},
        {"third result left out",
         {{"A", 30803, "05.03.2009", "14:07:09", false}, {"B", 30802, "05.03.2009", "14:07:09", false}},
         true,
         0,
         1,
         1},
        {"all left out",
         {{"A", 30803, "05.03.2009", "14:07:09", false}, {"B", 30803, "05.03.2009", "14:07:09", false}},
         true,
         0,
         0,
         2},
        {"missing attribute",
         {{"A", 30801, "05.03.2009", "14:07:09", false},
          {"B", 30801, "05.03.2009", "14:07:09", false},
          {"C", 30801, "05.03.2009", "14:07:09", true}},
         false,
         50135,
         2,
         0},
        {"no entries", {}, true, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<XmlProtocolRecord> records;
        for (const Entry& e : c.entries) {
            auto p = MakeProtocol(QLatin1String(e.device), QStringLiteral("ACME"), QLatin1String(e.device),
                                  QStringLiteral("Drill"), QStringLiteral("{S}"), QLatin1String(e.date),
                                  QLatin1String(e.time));
            p.master.testResultId = e.resultId;
            records.push_back(p);
        }
        QStringList lines = ProtocolDocument(records);
        for (QString& line : lines) {
            // The tester's lists give the result as text.
            line.replace(QStringLiteral("TestResultID=\"0\""), QStringLiteral("TestResult=\"Passed\""));
            if (line.contains(QLatin1String("Device=\"C\"")))
                line.remove(QStringLiteral(" Client=\"ACME\""));
        }
        WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
        PreviewList list;
        qint32 error = 0;
        QString text;
        CXmlSupport reader;
        EXPECT_EQ(Preview::ReadList(reader, Doc(QStringLiteral("GP.xml")), ExchangeKind::Protocols, list,
                                    error, text),
                  c.ok)
            << c.what;
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(int(list.rows.size()), c.rows) << c.what;
        EXPECT_EQ(list.leftOut, c.leftOut) << c.what;
        if (c.error == 50135) {
            EXPECT_EQ(text, QStringLiteral("Client"));
        }
    }
    // The text of a list entry's result as it stands.
    PreviewRow row;
    row.device = QStringLiteral("A");
    row.testResult = QStringLiteral("Passed");
    row.testDate = QStringLiteral("05.03.200");
    EXPECT_EQ(Preview::Columns(row, ExchangeKind::Protocols, {}),
              QStringList({"A", "Passed", "", "", "05.03.200"}));
}

TEST(PreviewDateTime, RowDataNumbers) {
    struct Case {
        const char* date;
        const char* time;
        ImportDateTime expected;
    } const cases[] = {
        {"05.03.2009", "14:07:09", {5, 3, 2009, 14, 7, 9}}, {"05.03.2009", "14:07", {5, 3, 2009, 0, 0, 0}},
        {"5.3.2009", "14:07:09", {0, 0, 0, 0, 0, 0}},       {"05.03.200", "14:07:09", {0, 0, 0, 0, 0, 0}},
        {"xx.yy.zzzz", "aa:bb:cc", {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const ImportDateTime t = Preview::ParseDateTime(QLatin1String(c.date), QLatin1String(c.time));
        EXPECT_EQ(std::vector<int>({t.day, t.month, t.year, t.hour, t.minute, t.second}),
                  std::vector<int>({c.expected.day, c.expected.month, c.expected.year, c.expected.hour,
                                    c.expected.minute, c.expected.second}))
            << c.date << " " << c.time;
    }
    EXPECT_EQ(Preview::DisplayDate(QStringLiteral("31.02.2009")), QStringLiteral("31.02.2009"));
}

// --select of v740ctl for every source: keys compare as the import's checks compare them
// with the database, so a key picks exactly the rows that would meet the same record.
TEST(PreviewSelect, KeysCompareAsTheImportChecksDo) {
    const QString longName = QStringLiteral("Twenty characters!!!");                     // 20
    const QString longGuid = QStringLiteral("{0123456789-0123456789-0123456789-01234}"); // 40
    PreviewList specs;
    specs.kind = ExchangeKind::Specifications;
    for (const QString& name : {QStringLiteral("Drill"), QStringLiteral("Saw"), longName}) {
        PreviewRow row;
        row.name = name;
        row.guid = QStringLiteral("{G-") + name + QLatin1Char('}');
        specs.rows.push_back(row);
    }
    PreviewList protocols;
    protocols.kind = ExchangeKind::Protocols;
    for (const QString& guid : {QStringLiteral("{ab-1}"), QStringLiteral("{AB-2}"), longGuid}) {
        PreviewRow row;
        row.device = QStringLiteral("Dev ") + guid;
        row.guid = guid;
        protocols.rows.push_back(row);
    }

    struct Case {
        const char* what;
        const PreviewList& list;
        QStringList keys;
        bool all;
        QStringList picked; // names or GUIDs
        QStringList unknown;
    } const cases[] = {
        {"name in another case", specs, {"DRILL"}, false, {"Drill"}, {}},
        {"name cut to its column", specs, {longName + QStringLiteral(" and more")}, false, {longName}, {}},
        {"a GUID is no name", specs, {"{G-Drill}"}, false, {}, {"{G-Drill}"}},
        {"GUID in another case", protocols, {"{AB-1}", "{ab-2}"}, false, {"{ab-1}", "{AB-2}"}, {}},
        {"GUID cut to its column", protocols, {longGuid + QStringLiteral("x")}, false, {longGuid}, {}},
        {"a device is no key", protocols, {"Dev {ab-1}"}, false, {}, {"Dev {ab-1}"}},
        {"all, with an unknown key", protocols, {"{none}"}, true, {"{ab-1}", "{AB-2}", longGuid}, {"{none}"}},
        {"nothing", specs, {}, false, {}, {}},
    };
    for (const Case& c : cases) {
        QStringList unknown;
        const std::vector<PreviewRow> rows = Preview::Select(c.list, c.keys, c.all, unknown);
        QStringList picked;
        for (const PreviewRow& row : rows)
            picked << Preview::Key(row, c.list.kind);
        EXPECT_EQ(picked, c.picked) << c.what;
        EXPECT_EQ(unknown, c.unknown) << c.what;
    }
}

TEST_F(ImportWorkflowTest, ThreeProtocolsOfOneSpecificationImportItOnceFirst) {
    WriteDocument(Doc(QStringLiteral("PV.xml")),
                  SpecificationDocument({MakeSpecification("Drill", "{S-DRILL}")}));
    WriteDocument(Doc(QStringLiteral("GP.xml")),
                  ProtocolDocument({Protocol(1), Protocol(2, "DRILL"), Protocol(3)}));
    const auto r = Run(ExchangeKind::Protocols);
    ASSERT_TRUE(r.ok) << r.error << r.errorText.toStdString();
    EXPECT_EQ(steps, QStringList({"418", "414", "404 Drill", "405 Dev 1", "405 Dev 2", "405 Dev 3"}));
    EXPECT_EQ(ends, QStringList({"preview ok", "import ok"}));
    EXPECT_EQ(range, 3 + 1 + 2);
    EXPECT_EQ(position, range);
    EXPECT_EQ(r.specificationsInserted, 1);
    EXPECT_EQ(r.protocolsInserted, 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypenTab")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab WHERE History = 0 AND ExportImport = 2")),
              3);

    // The second run updates the specification and the protocols in place.
    steps.clear();
    const auto again = Run(ExchangeKind::Protocols);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.specificationsUpdated, 1);
    EXPECT_EQ(again.protocolsUpdated, 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 3);
}

TEST_F(ImportWorkflowTest, RefusalsStopBeforeAnyRecordIsWritten) {
    WriteDocument(Doc(QStringLiteral("PV.xml")),
                  SpecificationDocument({MakeSpecification("Drill", "{S-DRILL}")}));
    WriteDocument(Doc(QStringLiteral("GP.xml")), ProtocolDocument({Protocol(1), Protocol(2)}));
    struct Case {
        const char* what;
        const char* sql;
        ExchangeKind kind;
        qint32 error;
        QString text;
    };
    const TextLookup lookup = [](qint32 id) {
        switch (id) {
        case 50145:
            return QStringLiteral("The test specification \"%s\"");
        case 50146:
            return QStringLiteral("exists with another GUID.");
        case 50149:
            return QStringLiteral("Device %s of client %s");
        case 50141:
            return QStringLiteral("has another protocol.");
        default:
            return QString();
        }
    };
    const std::vector<Case> cases = {
        {"specification of the same name, other GUID",
         "INSERT INTO TypenTab (Name, myGUID) VALUES ('Drill', '{X}')", ExchangeKind::Specifications, 415,
         "The test specification \"Drill\" exists with another GUID."},
        {"the same through the protocols", "SELECT 1", ExchangeKind::Protocols, 415,
         "The test specification \"Drill\" exists with another GUID."},
        {"device and client with another GUID",
         "DELETE FROM TypenTab; INSERT INTO GeraeteTab (Device, Client, myGUID, History) VALUES ('Dev 2', "
         "'acme', "
         "'{OLD}', 1)",
         ExchangeKind::Protocols, 424, "Device Dev 2 of client ACME has another protocol."},
    };
    for (const Case& c : cases) {
        for (const QString& sql : QString::fromUtf8(c.sql).split(QLatin1Char(';')))
            ASSERT_TRUE(db.Execute(sql));
        const QString before = TableCounts();
        steps.clear();
        const auto r = Run(c.kind, {}, {}, lookup);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_EQ(r.errorText, c.text) << c.what;
        EXPECT_EQ(TableCounts(), before) << c.what;
        EXPECT_FALSE(steps.join(QLatin1Char(' ')).contains(QLatin1String("40"))) << c.what;
    }
    // Without catalogue texts the refusal still names the record.
    const auto r = Run(ExchangeKind::Protocols);
    EXPECT_EQ(r.error, 424);
    EXPECT_EQ(r.errorText, QStringLiteral("Dev 2 / ACME"));
}

TEST_F(ImportWorkflowTest, EmptySelectionsCancelAndFailures) {
    WriteDocument(Doc(QStringLiteral("PV.xml")),
                  SpecificationDocument({MakeSpecification("Drill", "{S-DRILL}")}));
    auto broken = Protocol(2);
    QStringList lines = ProtocolDocument({Protocol(1), broken, Protocol(3)});
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    const auto none = [](const PreviewRow&) { return false; };
    EXPECT_EQ(Run(ExchangeKind::Specifications, none).error, 417);
    EXPECT_EQ(Run(ExchangeKind::Protocols, none).error, 419);

    // Cancel after the first protocol: the import ends with its result.
    int calls = 0;
    const auto cancelled = Run(ExchangeKind::Protocols, {},
                               [&] {
                                   // First question comes after the specification, the second after
                                   // protocol 1.
                                   return ++calls >= 2;
                               },
                               {});
    EXPECT_TRUE(cancelled.ok);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.protocolsInserted, 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 1);

    // A bad second protocol: the first stays imported, the rest is not tried.
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab")));
    for (QString& line : lines)
        if (line.contains(QLatin1String("GUID=\"{G2}\"")))
            line.remove(QStringLiteral(" TesterName=\"V740\""));
    WriteDocument(Doc(QStringLiteral("GP.xml")), lines);
    const auto failed = Run(ExchangeKind::Protocols);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, XmlError::Attribute);
    EXPECT_EQ(failed.errorText, QStringLiteral("TesterName"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(Device) FROM GeraeteTab")), QStringLiteral("Dev 1"));
}

TEST_F(ImportWorkflowTest, RoundTripIsByteIdenticalApartFromExportImport) {
    // Texts that need escaping, apostrophes for SQL, letters beyond ASCII, empty values.
    auto a = MakeSpecification(QStringLiteral("O'Brien \"A&B\" <1>"), QStringLiteral("{S-A}"));
    a.master.description = QStringLiteral("Größe ≥ 3 €");
    a.master.externalUse = QString();
    a.visual[0].text = QStringLiteral("line1\nline2\tand tab");
    auto b = MakeSpecification(QStringLiteral("Plain"), QStringLiteral("{S-B}"));
    b.parts.clear();
    b.master.partsUsed = 0;
    b.functional.clear();
    b.visual.clear();
    auto p1 = MakeProtocol(QStringLiteral("Dev's 1"), QStringLiteral("C&C"), QStringLiteral("{G1}"),
                           a.master.name, a.master.guid);
    p1.master.comment = QStringLiteral("it's \"done\" <ok> & fine");
    auto p2 = MakeProtocol(QStringLiteral("Dev 2"), QStringLiteral("ACME"), QStringLiteral("{G2}"),
                           QStringLiteral("Plain"), QStringLiteral("{S-B}"), QStringLiteral("31.12.1999"),
                           QStringLiteral("23:59:59"));
    p2.visual.clear();
    p2.functional.clear();
    auto p3 = MakeProtocol(QStringLiteral("Dev 3"), QStringLiteral("ACME"), QStringLiteral("{G3}"),
                           a.master.name, a.master.guid);
    WriteDocument(Doc(QStringLiteral("PV.xml")), SpecificationDocument({a, b}));
    WriteDocument(Doc(QStringLiteral("GP.xml")), ProtocolDocument({p1, p2, p3}));
    ASSERT_TRUE(ImportAll(DocsDir(), true));
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = 0")));
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = 0")));

    const auto ids = [](CAdoDatabase& d, const char* sql) {
        QList<qint32> out;
        EXPECT_TRUE(d.OpenQuery(QLatin1String(sql)));
        for (bool row = d.HasRow(); row; row = d.MoveNext()) {
            qint32 id = 0;
            d.GetLong(QStringLiteral("id"), id);
            out << id;
        }
        return out;
    };
    const QString first = dir.filePath(QStringLiteral("first"));
    const QString second = dir.filePath(QStringLiteral("second"));
    const QString data2 = dir.filePath(QStringLiteral("data2"));
    for (const QString& d : {first, second, data2})
        ASSERT_TRUE(QDir().mkpath(d));
    CExportWorkflow exporter(DataDir());
    ASSERT_TRUE(exporter.Run(ExchangeKind::Protocols, ExportTarget::Folder, first,
                             ids(db, "SELECT id FROM GeraeteTab ORDER BY myGUID")));

    ASSERT_TRUE(UserSchema::CreateUserDatabase(data2, QStringLiteral("3.2")));
    ASSERT_TRUE(ImportAll(first, true, data2));
    CAdoDatabase db2;
    ASSERT_TRUE(db2.Open(data2, UserSchema::FileName()));
    CExportWorkflow exporter2(data2);
    ASSERT_TRUE(exporter2.Run(ExchangeKind::Protocols, ExportTarget::Folder, second,
                              ids(db2, "SELECT id FROM GeraeteTab ORDER BY myGUID")));
    EXPECT_EQ(exporter2.Exported(), 2 + 3) << notes.recorder.messages.join("|").toStdString();

    static const QRegularExpression mark(QStringLiteral(" ExportImport=\"\\d+\""));
    for (const char* file : {"PV.xml", "GP.xml"}) {
        const QByteArray one = ReadFile(first + QLatin1Char('/') + QLatin1String(file));
        const QByteArray two = ReadFile(second + QLatin1Char('/') + QLatin1String(file));
        ASSERT_FALSE(one.isEmpty());
        EXPECT_NE(one, two) << "the ExportImport values differ: 1 before, 3 after the import";
        EXPECT_EQ(QString::fromUtf8(one).replace(mark, QString()),
                  QString::fromUtf8(two).replace(mark, QString()))
            << file;
        EXPECT_TRUE(QString::fromUtf8(two).contains(QLatin1String(" ExportImport=\"3\"")));
        EXPECT_FALSE(QString::fromUtf8(two).contains(QLatin1String(" ExportImport=\"1\"")));
    }
    // And the first export is what the writer makes of the records.
    a.master.exportImport = b.master.exportImport = 1;
    p1.master.exportImport = p2.master.exportImport = p3.master.exportImport = 1;
    const auto bytes = [](const QStringList& lines) {
        QByteArray out = CXmlSupport::ByteOrderMark();
        for (const QString& l : lines)
            out += l.toUtf8() + "\r\n";
        return out;
    };
    EXPECT_EQ(ReadFile(first + QStringLiteral("/GP.xml")), bytes(ProtocolDocument({p1, p2, p3})));
    EXPECT_EQ(ReadFile(first + QStringLiteral("/PV.xml")), bytes(SpecificationDocument({a, b})));
}

TEST_F(ImportWorkflowTest, OneRunLeavesOneCurrentProtocolPerDevice) {
    WriteDocument(Doc(QStringLiteral("PV.xml")),
                  SpecificationDocument({MakeSpecification("Drill", "{S-DRILL}")}));
    // An export of a device's history and current test carries both under one GUID.
    const auto test = [](const char* date, const char* time) {
        return MakeProtocol(QStringLiteral("Dev 1"), QStringLiteral("ACME"), QStringLiteral("{G1}"),
                            QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"), QString::fromLatin1(date),
                            QString::fromLatin1(time));
    };
    WriteDocument(Doc(QStringLiteral("GP.xml")),
                  ProtocolDocument({test("05.03.2009", "14:07:09"), test("06.03.2010", "08:00:00")}));
    const QString current = QStringLiteral("SELECT group_concat(TestDate) FROM GeraeteTab WHERE History = 0");
    const QString all = QStringLiteral("SELECT group_concat(TestDate, '|') FROM (SELECT TestDate FROM "
                                       "GeraeteTab ORDER BY id)");
    auto r = Run(ExchangeKind::Protocols);
    ASSERT_TRUE(r.ok) << r.error << r.errorText.toStdString();
    EXPECT_EQ(r.protocolsInserted, 2);
    EXPECT_EQ(r.protocolsRetired, 1);
    // Each row holds its own test, and the last one imported is the current one.
    EXPECT_EQ(Value(all), QStringLiteral("2009-03-05 14:07:09|2010-03-06 08:00:00"));
    EXPECT_EQ(Value(current), QStringLiteral("2010-03-06 08:00:00"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraetProtTab")), 4);

    // Again: each entry is a new test of the then current one; still one current.
    r = Run(ExchangeKind::Protocols);
    ASSERT_TRUE(r.ok) << r.error << r.errorText.toStdString();
    EXPECT_EQ(r.protocolsRetired, 2);
    EXPECT_EQ(Value(current), QStringLiteral("2010-03-06 08:00:00"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 4);

    // The same entry twice (same GUID and test) updates the one it inserted.
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab")));
    WriteDocument(Doc(QStringLiteral("GP.xml")),
                  ProtocolDocument({test("05.03.2009", "14:07:09"), test("05.03.2009", "14:07:09")}));
    r = Run(ExchangeKind::Protocols);
    ASSERT_TRUE(r.ok) << r.error << r.errorText.toStdString();
    EXPECT_EQ(r.protocolsInserted, 1);
    EXPECT_EQ(r.protocolsUpdated, 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab WHERE History = 0")), 1);

    // Two GUIDs for one device and client in one run: refused before anything is written,
    // as a second run would refuse the second one.
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab")));
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM TypenTab")));
    const auto other = MakeProtocol(QStringLiteral("dev 1"), QStringLiteral("acme"), QStringLiteral("{G2}"),
                                    QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
    WriteDocument(Doc(QStringLiteral("GP.xml")), ProtocolDocument({test("05.03.2009", "14:07:09"), other}));
    const QString before = TableCounts();
    r = Run(ExchangeKind::Protocols);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 424);
    EXPECT_EQ(r.errorText, QStringLiteral("dev 1 / acme"));
    EXPECT_EQ(TableCounts(), before);
}

namespace {

// Imports of one device from several documents (one folder each), as separate runs would.
class ConcurrentImportTest : public ExchangeFixture {
protected:
    QString Folder(const QString& name) {
        const QString path = dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    static XmlProtocolRecord Test(const QString& device, const QString& time) {
        return MakeProtocol(device, QStringLiteral("ACME"), QStringLiteral("{G1}"), QStringLiteral("Drill"),
                            QStringLiteral("{S-DRILL}"), QStringLiteral("05.03.2009"), time);
    }
    QString Write(const QString& name, const XmlProtocolRecord& p) {
        const QString folder = Folder(name);
        WriteDocument(folder + QStringLiteral("/PV.xml"),
                      SpecificationDocument({MakeSpecification("Drill", "{S-DRILL}")}));
        WriteDocument(folder + QStringLiteral("/GP.xml"), ProtocolDocument({p}));
        return folder;
    }
    static CXmlExchange::ProtocolEntry Entry(const XmlProtocolRecord& p) {
        return {p.master.device,
                p.master.client,
                p.master.guid,
                p.master.specificationName,
                Preview::ParseDateTime(p.master.testDate, p.master.testTime),
                p.master.testDate,
                p.master.testTime};
    }
    const QString current = QStringLiteral("SELECT group_concat(TestDate) FROM GeraeteTab WHERE History = 0");
};

} // namespace

// The schema keeps one current protocol per GUID; a new test of a known device retires the
// old one before it is stored, so the import works with that rule in place.
TEST_F(ConcurrentImportTest, NewTestOfAKnownDeviceWithTheIndexPresent) {
    ASSERT_TRUE(ImportAll(Write(QStringLiteral("t0"), Test(QStringLiteral("Dev 1"), "10:00:00")), true));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN ('%1', '%2')")
                        .arg(QLatin1String(UserSchema::kCurrentGuidIndex),
                             QLatin1String(UserSchema::kDeviceIndex))),
              2);
    ASSERT_TRUE(ImportAll(Write(QStringLiteral("t1"), Test(QStringLiteral("Dev 1"), "11:00:00")), true));
    EXPECT_EQ(Value(current), QStringLiteral("2009-03-05 11:00:00"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 2);
    // A second current row of the GUID is refused by the schema itself.
    notes.recorder.Clear();
    EXPECT_FALSE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET History = 0")));
    // A file that already holds two current protocols of one GUID stays usable, without the rule.
    ASSERT_TRUE(
        db.Execute(QStringLiteral("DROP INDEX \"%1\"").arg(QLatin1String(UserSchema::kCurrentGuidIndex))));
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET History = 0")));
    EXPECT_TRUE(UserSchema::EnsureLookupIndexes(db));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '%1'")
                        .arg(QLatin1String(UserSchema::kCurrentGuidIndex))),
              0);
}

// A record whose check was made before another import wrote the device is decided again
// when it is stored: both tests are kept, one of them current.
TEST_F(ConcurrentImportTest, StaleDecisionIsMadeAgainWhenStored) {
    ASSERT_TRUE(ImportAll(Write(QStringLiteral("t0"), Test(QStringLiteral("Dev 1"), "10:00:00")), true));
    const XmlProtocolRecord t1 = Test(QStringLiteral("Dev 1"), "11:00:00");
    const XmlProtocolRecord t2 = Test(QStringLiteral("Dev 1"), "12:00:00");
    CFolderXmlSource source1(Write(QStringLiteral("t1"), t1));
    CXmlExchange first(source1);
    int decision = -1;
    qint32 id = 0;
    ASSERT_TRUE(first.CheckProtocol(db, t1.master.device, t1.master.client, t1.master.guid,
                                    t1.master.specificationName, Entry(t1).tested, decision, id));
    ASSERT_EQ(decision, ImportDecision::NewTest);
    const qint32 staleId = id;
    ASSERT_TRUE(ImportAll(Write(QStringLiteral("t2"), t2), true));
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(first.ImportProtocol(db, Entry(t1), decision, id, error, text))
        << error << text.toStdString();
    EXPECT_EQ(decision, ImportDecision::NewTest);
    EXPECT_NE(id, staleId) << "the protocol retired is the one current when stored";
    EXPECT_EQ(Value(current), QStringLiteral("2009-03-05 11:00:00"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab WHERE History = 1")), 2);

    // The same for a specification another import stored meanwhile: an update, not a failure.
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM TypenTab")));
    CXmlExchange spec(source1);
    decision = ImportDecision::Insert;
    ASSERT_TRUE(ImportAll(Folder(QStringLiteral("t1")), false));
    ASSERT_TRUE(spec.ImportSpecification(db, QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"), decision,
                                         error, text))
        << error << text.toStdString();
    EXPECT_EQ(decision, ImportDecision::Update);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypenTab")), 1);
}

// Two imports at once of two newer tests of one device keep both, one current.
TEST_F(ConcurrentImportTest, TwoImportsAtOnceKeepBothTests) {
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM GeraeteTab")));
        ASSERT_TRUE(ImportAll(Write(QStringLiteral("t0"), Test(QStringLiteral("Dev 1"), "10:00:00")), true));
        const QString f1 = Write(QStringLiteral("t1"), Test(QStringLiteral("Dev 1"), "11:00:00"));
        const QString f2 = Write(QStringLiteral("t2"), Test(QStringLiteral("Dev 1"), "12:00:00"));
        CImportWorkflow::Result r1, r2;
        const auto run = [this](const QString& folder, CImportWorkflow::Result& r) {
            CFolderXmlSource source(folder);
            CImportWorkflow w(source, DataDir());
            PreviewList list;
            qint32 error = 0;
            QString text;
            if (w.Preview(ExchangeKind::Protocols, false, list, error, text))
                r = w.Import(ExchangeKind::Protocols, list.rows);
        };
        std::thread a([&] { run(f1, r1); });
        std::thread b([&] { run(f2, r2); });
        a.join();
        b.join();
        ASSERT_TRUE(r1.ok) << r1.error << r1.errorText.toStdString();
        ASSERT_TRUE(r2.ok) << r2.error << r2.errorText.toStdString();
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 3);
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab WHERE History = 0")), 1);
    }
}

// A current protocol of the GUID stored under another device name: deciding again cannot
// help, and the import ends with a message that names the device.
TEST_F(ConcurrentImportTest, ConflictThatStaysEndsNamingTheDevice) {
    ASSERT_TRUE(ImportAll(Write(QStringLiteral("t0"), Test(QStringLiteral("Old name"), "10:00:00")), true));
    const QString before = TableCounts();
    CFolderXmlSource source(Write(QStringLiteral("t1"), Test(QStringLiteral("New name"), "11:00:00")));
    CImportWorkflow w(source, DataDir());
    PreviewList list;
    qint32 error = 0;
    QString text;
    ASSERT_TRUE(w.Preview(ExchangeKind::Protocols, false, list, error, text));
    const CImportWorkflow::Result r = w.Import(ExchangeKind::Protocols, list.rows);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, CXmlExchange::kErrorDatabaseChanged);
    EXPECT_TRUE(r.errorText.contains(QStringLiteral("New name"))) << r.errorText.toStdString();
    EXPECT_EQ(TableCounts(), before);
}
