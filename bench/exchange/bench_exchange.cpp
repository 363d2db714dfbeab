// Prints how long the XML import and export take for a generated folder of device
// protocols over 100 test specifications, written as the tester and the export write them.
// Targets: import of 10,000 protocols under 30 s, at most 12 times the import of 1,000,
// export of all 10,000 under 10 s.
//
// bench_exchange [N...]   (default: 1000 10000)
#include "exchange/ExportWorkflow.h"
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlFile.h"
#include "exchange/XmlRecords.h"
#include "store/UserSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int kSpecifications = 100;

XmlSpecificationRecord Specification(int i) {
    XmlSpecificationRecord r;
    XmlSpecification& s = r.master;
    s.name = QStringLiteral("Spec %1").arg(i, 3, 10, QLatin1Char('0'));
    s.standardId = 5800;
    s.classId = 1 + i % 3;
    s.manufacturer = QStringLiteral("Maker %1").arg(i % 7);
    s.description = QStringLiteral("Device type %1").arg(i);
    s.reviewPeriod = 12;
    s.typId = 1;
    s.measMethodId = 1;
    s.testSequenceId = 1;
    s.cordLength = 2.5;
    s.nominalPower = 1000;
    s.partsUsed = i % 2;
    s.run = QStringLiteral("R");
    s.createDate = QStringLiteral("05.03.2009");
    s.createTime = QStringLiteral("14:07:09");
    s.guid = QStringLiteral("{SPEC-%1}").arg(i, 8, 10, QLatin1Char('0'));
    if (s.partsUsed)
        r.parts = {{1, 2, 3, QStringLiteral("Probe")}};
    for (int v = 1; v <= 5; ++v)
        r.visual.push_back({v, 30500 + v, QStringLiteral("Visual check %1").arg(v)});
    for (int t = 1; t <= 6; ++t)
        r.tests.push_back({t, 10 + t, t, t, 0, 0.3 * t, t});
    r.functional = {{1, QStringLiteral("Switch works"), 1, 0.5, 1.5}};
    return r;
}

XmlProtocolRecord Protocol(int i) {
    XmlProtocolRecord r;
    XmlProtocol& p = r.master;
    const int spec = i % kSpecifications;
    p.device = QStringLiteral("Device %1").arg(i, 6, 10, QLatin1Char('0'));
    p.specificationName = QStringLiteral("Spec %1").arg(spec, 3, 10, QLatin1Char('0'));
    p.specificationGuid = QStringLiteral("{SPEC-%1}").arg(spec, 8, 10, QLatin1Char('0'));
    p.testResultId = 30801;
    p.testDate = QStringLiteral("%1.03.2009").arg(1 + i % 28, 2, 10, QLatin1Char('0'));
    p.testTime = QStringLiteral("14:07:09");
    p.firstTestDate = QStringLiteral("01.01.2008");
    p.nextTestDate = QStringLiteral("05.03.2010");
    p.op = QStringLiteral("Operator");
    p.nominalVoltage = QStringLiteral("230");
    p.manufacturer = QStringLiteral("Maker");
    p.description = QStringLiteral("Drill");
    p.serial = QStringLiteral("SN%1").arg(i);
    p.client = QStringLiteral("Client %1").arg(i % 50);
    p.location = QStringLiteral("Hall");
    p.department = QStringLiteral("Maintenance");
    p.room = QStringLiteral("R1");
    p.costs = QStringLiteral("K100");
    p.comment = QStringLiteral("routine test");
    p.testerName = QStringLiteral("VELMOR 740");
    p.testerSerial = QStringLiteral("12345");
    p.testerSW = QStringLiteral("4.1");
    p.guid = QStringLiteral("{DEV-%1}").arg(i, 10, 10, QLatin1Char('0'));
    p.city = QStringLiteral("Town");
    p.street = QStringLiteral("Main Street 1");
    p.reviewPeriod = 12;
    p.dutClass = QStringLiteral("I");
    for (int v = 1; v <= 5; ++v)
        r.visual.push_back({v, 0, 30801, 0});
    for (int t = 1; t <= 6; ++t)
        r.tests.push_back({t, 0.1 * t, 30801, 0.1 * t});
    r.functional = {{1, 1.0, 30801, 1.0}};
    return r;
}

bool WriteFolder(const QString& folder, int protocols) {
    QDir().mkpath(folder);
    CXmlFile pv, gp;
    CXmlSupport x;
    if (!pv.Create(folder + QStringLiteral("/PV.xml")))
        return false;
    x.AddHeader();
    x.BeginSpecifications();
    for (int i = 0; i < kSpecifications; ++i)
        XmlRecords::AppendSpecification(x, Specification(i));
    x.EndSpecifications();
    x.AddFooter();
    for (const QString& l : x.Lines())
        pv.WriteLine(l);
    if (!pv.Close() || !gp.Create(folder + QStringLiteral("/GP.xml")))
        return false;
    x.ClearLines();
    x.AddHeader();
    x.BeginProtocols();
    for (const QString& l : x.Lines())
        gp.WriteLine(l);
    for (int i = 0; i < protocols; ++i) {
        x.ClearLines();
        XmlRecords::AppendProtocol(x, Protocol(i), true);
        for (const QString& l : x.Lines())
            gp.WriteLine(l);
    }
    x.ClearLines();
    x.EndProtocols();
    x.AddFooter();
    for (const QString& l : x.Lines())
        gp.WriteLine(l);
    return gp.Close();
}

struct Figures {
    double importSeconds = 0;
    double exportSeconds = 0;
    int imported = 0;
    int exported = 0;
    int loads = 0;
};

bool Run(const QString& base, int protocols, Figures& f) {
    const QString docs = base + QStringLiteral("/docs%1").arg(protocols);
    const QString data = base + QStringLiteral("/data%1").arg(protocols);
    const QString out = base + QStringLiteral("/out%1").arg(protocols);
    QDir().mkpath(data);
    QDir().mkpath(out);
    if (!WriteFolder(docs, protocols) || !UserSchema::CreateUserDatabase(data, QStringLiteral("3.2")))
        return false;

    // The import as the dialog runs it: the preview list, then every row marked.
    QElapsedTimer timer;
    timer.start();
    CFolderXmlSource source(docs);
    CImportWorkflow workflow(source, data);
    PreviewList list;
    qint32 error = 0;
    QString text;
    if (!workflow.Preview(ExchangeKind::Protocols, false, list, error, text))
        return false;
    const CImportWorkflow::Result r = workflow.Import(ExchangeKind::Protocols, list.rows);
    f.importSeconds = timer.nsecsElapsed() / 1e9;
    f.loads = workflow.Exchange().DocumentLoads();
    if (!r.ok) {
        std::fprintf(stderr, "import failed: %d %s\n", r.error, r.errorText.toUtf8().constData());
        return false;
    }
    f.imported = r.protocolsInserted;

    QList<qint32> ids;
    for (int i = 1; i <= protocols; ++i)
        ids << i;
    timer.restart();
    CExportWorkflow exporter(data);
    if (!exporter.Run(ExchangeKind::Protocols, ExportTarget::Folder, out, ids))
        return false;
    f.exportSeconds = timer.nsecsElapsed() / 1e9;
    f.exported = exporter.Exported();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (const QString& a : app.arguments().mid(1))
        sizes << a.toInt();
    if (sizes.isEmpty())
        sizes = {1000, 10000};
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QList<Figures> figures;
    for (const int n : sizes) {
        Figures f;
        if (!Run(dir.path(), n, f)) {
            std::fprintf(stderr, "run with %d protocols failed\n", n);
            return 1;
        }
        std::printf(
            "%6d protocols over %d test specifications: import %.2f s (%d protocols, documents loaded %d "
            "times), export %.2f s (%d records)\n",
            n, kSpecifications, f.importSeconds, f.imported, f.loads, f.exportSeconds, f.exported);
        std::fflush(stdout);
        figures << f;
    }
    if (sizes.size() >= 2) {
        const double ratio = figures.last().importSeconds / figures.first().importSeconds;
        std::printf("import time ratio %d/%d: %.1f (target at most %.0f)\n", sizes.last(), sizes.first(),
                    ratio, double(sizes.last()) / sizes.first() * 1.2);
        std::printf("import of %d: %.2f s (target under 30 s); export of %d: %.2f s (target under 10 s)\n",
                    sizes.last(), figures.last().importSeconds, sizes.last(), figures.last().exportSeconds);
    }
    return 0;
}
