#include "support/ExchangeData.h"

#include "exchange/XmlFile.h"
#include "exchange/XmlSupport.h"

#include <QDir>

namespace BenchData {

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

QByteArray Stored(const QString& date, const QString& time) {
    return (date.mid(6, 4) + QLatin1Char('-') + date.mid(3, 2) + QLatin1Char('-') + date.left(2) +
            QLatin1Char(' ') + time)
        .toUtf8();
}

} // namespace BenchData
