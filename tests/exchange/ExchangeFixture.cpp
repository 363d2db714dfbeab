#include "exchange/ExchangeFixture.h"

#include "exchange/ImportWorkflow.h"
#include "exchange/XmlSupport.h"
#include "store/UserSchema.h"

#include <QFile>

XmlSpecificationRecord MakeSpecification(const QString& name, const QString& guid) {
    XmlSpecificationRecord r;
    XmlSpecification& s = r.master;
    s.name = name;
    s.standardId = 5800;
    s.classId = 2;
    s.manufacturer = QStringLiteral("Bosch");
    s.description = QStringLiteral("Hand drill");
    s.reviewPeriod = 12;
    s.typId = 7;
    s.measMethodId = 1;
    s.testSequenceId = 3;
    s.cordLength = 2.5;
    s.nominalPower = 750;
    s.isoMeas = 1;
    s.powerPhase = 1;
    s.partsUsed = 1;
    s.run = QStringLiteral("R1");
    s.parameter = QStringLiteral("P");
    s.iconSymbol = QStringLiteral("I");
    s.bitmap = QStringLiteral("drill.bmp");
    s.exportImport = 1;
    s.externalUse = QStringLiteral("ext");
    s.createDate = QStringLiteral("05.03.2009");
    s.createTime = QStringLiteral("14:07:09");
    s.guid = guid;
    s.voltageAccessiblePart = 4;
    s.functionEarth = 5;
    s.voltageSignalIO = 6;
    s.accessibleParts = 7;
    s.phaseReverseEnable = 8;
    s.totalPabl = 9;
    s.useExtraPolation = 0;
    r.parts = {{1, 2, 12, QStringLiteral("Probe")}};
    r.visual = {{1, 30500, QStringLiteral("Housing intact")}, {2, 30501, QStringLiteral("Cable intact")}};
    r.tests = {{1, 11, 1, 2, 0, 0.3, 6}, {2, 12, 2, 3, 1, 250, 0}};
    r.functional = {{1, QStringLiteral("Motor runs"), 1, -0.5, 1.25}};
    return r;
}

XmlProtocolRecord MakeProtocol(const QString& device, const QString& client, const QString& guid,
                               const QString& specificationName, const QString& specificationGuid,
                               const QString& testDate, const QString& testTime) {
    XmlProtocolRecord r;
    XmlProtocol& p = r.master;
    p.device = device;
    p.specificationName = specificationName;
    p.specificationGuid = specificationGuid;
    p.testResultId = 30801;
    p.testDate = testDate;
    p.testTime = testTime;
    p.firstTestDate = QStringLiteral("01.01.2008");
    p.nextTestDate = QStringLiteral("05.03.2010");
    p.op = QStringLiteral("Op");
    p.nominalVoltage = QStringLiteral("230");
    p.manufacturer = QStringLiteral("M");
    p.description = QStringLiteral("Desc");
    p.serial = QStringLiteral("S1");
    p.client = client;
    p.location = QStringLiteral("L");
    p.department = QStringLiteral("Dep");
    p.room = QStringLiteral("R");
    p.costs = QStringLiteral("C");
    p.comment = QStringLiteral("none");
    p.exportImport = 1;
    p.externalUse = QStringLiteral("x");
    p.testerName = QStringLiteral("V740");
    p.testerSerial = QStringLiteral("123");
    p.testerSW = QStringLiteral("4.1");
    p.guid = guid;
    p.city = QStringLiteral("Town");
    p.street = QStringLiteral("Main St");
    p.reviewPeriod = 12;
    p.dutClass = QStringLiteral("I");
    p.useExtraPolation = 0;
    r.visual = {{1, 0, 30801, 0}};
    r.tests = {{1, 0.12, 30801, 0.11}, {2, 250, 30802, 249}};
    r.functional = {{1, 1.5, 30801, 1.4}};
    return r;
}

QStringList SpecificationDocument(const std::vector<XmlSpecificationRecord>& records) {
    CXmlSupport x;
    x.AddHeader();
    x.BeginSpecifications();
    for (const auto& r : records)
        XmlRecords::AppendSpecification(x, r);
    x.EndSpecifications();
    x.AddFooter();
    return x.Lines();
}

QStringList ProtocolDocument(const std::vector<XmlProtocolRecord>& records) {
    CXmlSupport x;
    x.AddHeader();
    x.BeginProtocols();
    for (const auto& r : records)
        XmlRecords::AppendProtocol(x, r, true);
    x.EndProtocols();
    x.AddFooter();
    return x.Lines();
}

void WriteDocument(const QString& path, const QStringList& lines) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    QByteArray bytes = CXmlSupport::ByteOrderMark();
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void ExchangeFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(DataDir()));
    ASSERT_TRUE(QDir().mkpath(DocsDir()));
    ASSERT_TRUE(UserSchema::CreateUserDatabase(DataDir(), QStringLiteral("3.2")));
    ASSERT_TRUE(db.Open(DataDir(), UserSchema::FileName()));
    notes.recorder.Clear();
}

QString ExchangeFixture::Value(const QString& sql) {
    // Any column type as text, through a scalar subquery.
    CAdoDatabase other;
    EXPECT_TRUE(other.Open(DataDir(), UserSchema::FileName()));
    EXPECT_TRUE(other.OpenQuery(QStringLiteral("SELECT CAST((%1) AS TEXT) AS v").arg(sql)))
        << sql.toStdString();
    QString text;
    if (other.HasRow() && !other.IsNull(QStringLiteral("v")))
        other.GetString(QStringLiteral("v"), text);
    return text;
}

QString ExchangeFixture::TableCounts() {
    QStringList counts;
    for (const char* table : {"TypenTab", "TypPartsTab", "TypSichtPrfTab", "TypTestStepTab", "TypFktStepTab",
                              "GeraeteTab", "GeraetSichtProtTab", "GeraetProtTab", "GeraetFktProtTab"})
        counts << QStringLiteral("%1=%2")
                      .arg(QLatin1String(table))
                      .arg(Value(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))));
    return counts.join(QLatin1Char(' '));
}

bool ExchangeFixture::ImportAll(const QString& folder, bool protocols, const QString& dataFolder) {
    CFolderXmlSource source(folder);
    CImportWorkflow workflow(source, dataFolder.isEmpty() ? DataDir() : dataFolder);
    const ExchangeKind kind = protocols ? ExchangeKind::Protocols : ExchangeKind::Specifications;
    PreviewList list;
    qint32 error = 0;
    QString text;
    if (!workflow.Preview(kind, false, list, error, text)) {
        ADD_FAILURE() << "preview: " << error << " " << text.toStdString();
        return false;
    }
    const CImportWorkflow::Result r = workflow.Import(kind, list.rows);
    if (!r.ok)
        ADD_FAILURE() << "import: " << r.error << " " << r.errorText.toStdString();
    return r.ok;
}
