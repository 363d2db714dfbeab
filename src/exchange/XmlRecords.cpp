#include "exchange/XmlRecords.h"
#include "exchange/XmlWriter.h"

#include "store/AdoDatabase.h"
#include "store/RowReader.h"

#include <QDateTime>

namespace {

// Asked before the record is read, because the strict getter reports a missing column to
// the user.
bool HasColumn(CAdoDatabase& db, const char* table, const char* column) {
    return db.OpenQueryBound(
               QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE"),
               {QString::fromLatin1(table), QString::fromLatin1(column)}) &&
           db.HasRow();
}

} // namespace

namespace XmlRecords {

QString DateText(const QDateTime& value) {
    if (!value.isValid())
        return QString();
    const QDate d = value.date();
    return QString::asprintf("%02d.%02d.%04d", d.day(), d.month(), d.year());
}

QString TimeText(const QDateTime& value) {
    if (!value.isValid())
        return QString();
    const QTime t = value.time();
    return QString::asprintf("%02d:%02d:%02d", t.hour(), t.minute(), t.second());
}

void AppendSpecification(CXmlWriter& xml, const XmlSpecificationRecord& r) {
    xml.AddSpecification(r.master);
    if (r.master.partsUsed != 0) {
        xml.BeginAppliedParts();
        for (const auto& p : r.parts)
            xml.AddAppliedPart(p.groupNo, p.appliedPartId, p.jacks, p.description);
        xml.EndAppliedParts();
    }
    xml.BeginVisualSteps();
    for (const auto& v : r.visual)
        xml.AddVisualStep(v.refNo, v.textId, v.text);
    xml.EndVisualSteps();
    if (!r.tests.empty()) {
        xml.BeginTestSteps();
        for (const auto& t : r.tests)
            xml.AddTestStep(t.refNo, t.measNo, t.mainOrder, t.typOrder, t.groupNo, t.limit, t.jacks);
        xml.EndTestSteps();
    }
    if (!r.functional.empty()) {
        xml.BeginFunctionalSteps();
        for (const auto& f : r.functional)
            xml.AddFunctionalStep(f.refNo, f.text, f.useLimitsId, f.lowLimit, f.highLimit);
        xml.EndFunctionalSteps();
    }
    xml.EndSpecification();
}

void AppendProtocol(CXmlWriter& xml, const XmlProtocolRecord& r, bool withSpecificationGuid) {
    if (withSpecificationGuid)
        xml.AddProtocolWithSpecification(r.master);
    else
        xml.AddProtocol(r.master);
    xml.BeginVisualRefs();
    for (const auto& v : r.visual)
        xml.AddVisualRef(v.refNo, v.result);
    xml.EndVisualRefs();
    if (!r.tests.empty()) {
        xml.BeginTestRefs();
        for (const auto& t : r.tests)
            xml.AddTestRef(t.refNo, t.measValue, t.result, t.firstValue);
        xml.EndTestRefs();
    }
    if (!r.functional.empty()) {
        xml.BeginFunctionalRefs();
        for (const auto& f : r.functional)
            xml.AddFunctionalRef(f.refNo, f.measValue, f.result, f.firstValue);
        xml.EndFunctionalRefs();
    }
    xml.EndProtocol();
}

bool ReadSpecification(CAdoDatabase& db, qint32 id, XmlSpecificationRecord& record, ReadFailure& failure) {
    record = XmlSpecificationRecord();
    failure = ReadFailure::NotOpened;
    const bool hasExtraPolation = HasColumn(db, "TypenTab", "UseExtraPolation");
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM TypenTab Where id=?"), {id}))
        return false;
    failure = ReadFailure::NotFound;
    if (!db.HasRow())
        return false;
    failure = ReadFailure::Unreadable;
    CRowReader r(db);
    XmlSpecification& s = record.master;
    record.id = r.Long("id");
    s.run = r.Text("Run");
    s.parameter = r.Text("Parameter");
    s.iconSymbol = r.Text("IconSymbol");
    s.bitmap = r.Text("Bitmap");
    s.standardId = r.Long("StandardID");
    s.classId = r.Long("ClassID");
    s.name = r.Text("Name");
    s.manufacturer = r.Text("Manufacturer");
    s.description = r.Text("Description");
    s.typId = r.Long("TypID");
    s.cordLength = r.Double("CordLength");
    s.nominalPower = r.Long("NominalPower");
    s.allPe = r.Long("AllPe");
    s.isoMeas = r.Long("IsoMeas");
    s.mainsSeparation = r.Long("MainsSeparation");
    s.measMethodId = r.Long("MeasMethodeID");
    s.testSequenceId = r.Long("TestSequenceID");
    s.powerPhase = r.Long("PowerPhase");
    s.warningNotice = r.Long("WarningNotice");
    s.partsUsed = r.Bool("PartsUsed");
    s.reviewPeriod = r.Long("ReviewPeriod");
    s.exportImport = r.Long("ExportImport");
    s.externalUse = r.Text("ExternalUse");
    const QDateTime created = r.Date("CreateDate");
    s.createDate = DateText(created);
    s.createTime = TimeText(created);
    s.guid = r.Text("myGUID");
    s.voltageAccessiblePart = r.Long("VoltageAccessiblePart");
    s.functionEarth = r.Long("FunctionEarth");
    s.voltageSignalIO = r.Long("VoltageSignalIO");
    s.accessibleParts = r.Long("AccessibleParts");
    s.phaseReverseEnable = r.Long("PhaseReverseEnable");
    s.totalPabl = r.Long("TotalPabl");
    s.useExtraPolation = r.UseExtraPolation(hasExtraPolation);
    if (!r.Ok())
        return false;

    const QVariantList where{record.id};
    if (s.partsUsed != 0) {
        if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = ?"), where))
            return false;
        for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
            record.parts.push_back(
                {r.Long("GroupNo"), r.Long("AppliedPartID"), r.Long("Jacks"), r.Text("Description")});
    }
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM TypSichtPrfTab WHERE TypenTabID = ?"), where))
        return false;
    for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
        record.visual.push_back({r.Long("RefNo"), r.Long("TextID"), r.Text("myText")});
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM TypTestStepTab WHERE TypenTabID = ?"), where))
        return false;
    for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
        record.tests.push_back({r.Long("RefNo"), r.Long("MeasNo"), r.Long("MainOrder"), r.Long("TypOrder"),
                                r.Long("GroupNo"), r.Double("Limit"), r.Long("Jacks")});
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM TypFktStepTab WHERE TypenTabID = ?"), where))
        return false;
    for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
        record.functional.push_back({r.Long("RefNo"), r.Text("myText"), r.Long("UseLimitsID"),
                                     r.Double("LowLimit"), r.Double("HighLimit")});
    if (!r.Ok())
        return false;
    failure = ReadFailure::None;
    return true;
}

bool ReadProtocol(CAdoDatabase& db, qint32 id, XmlProtocolRecord& record, ReadFailure& failure) {
    record = XmlProtocolRecord();
    failure = ReadFailure::NotOpened;
    const bool hasExtraPolation = HasColumn(db, "GeraeteTab", "UseExtraPolation");
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM GeraeteTab Where id=?"), {id}))
        return false;
    failure = ReadFailure::NotFound;
    if (!db.HasRow())
        return false;
    failure = ReadFailure::Unreadable;
    CRowReader r(db);
    XmlProtocol& p = record.master;
    record.id = r.Long("id");
    p.specificationName = r.Text("SpecificationName");
    p.device = r.Text("Device");
    p.nominalVoltage = r.Text("NominalVoltage");
    const QDateTime tested = r.Date("TestDate");
    p.testDate = DateText(tested);
    p.testTime = TimeText(tested);
    p.testResultId = r.Long("TestResultID");
    p.op = r.Text("Operator");
    p.serial = r.Text("Serial");
    p.location = r.Text("Location");
    p.room = r.Text("Room");
    p.department = r.Text("Department");
    p.costs = r.Text("Costs");
    p.comment = r.Text("Comment");
    p.manufacturer = r.Text("Manufacturer");
    p.description = r.Text("Description");
    p.client = r.Text("Client");
    p.exportImport = r.Long("ExportImport");
    p.firstTestDate = DateText(r.Date("FirstTestDate"));
    p.nextTestDate = DateText(r.Date("NextTestDate"));
    p.externalUse = r.Text("ExternalUse");
    p.testerName = r.Text("TesterName");
    p.testerSerial = r.Text("TesterSerial");
    p.testerSW = r.Text("TesterSW");
    p.guid = r.Text("myGUID");
    p.city = r.Text("City");
    p.street = r.Text("Street");
    p.reviewPeriod = r.Long("ReviewPeriod");
    p.dutClass = r.Text("DutClass");
    p.useExtraPolation = r.UseExtraPolation(hasExtraPolation);
    if (!r.Ok())
        return false;

    if (!db.OpenQueryBound(QStringLiteral("SELECT myGUID FROM TypenTab WHERE Name = ?"),
                           {p.specificationName}))
        return false;
    if (!db.HasRow())
        return false;
    p.specificationGuid = r.Text("myGUID");

    const QVariantList where{record.id};
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM GeraetSichtProtTab WHERE GeraeteTabID = ?"), where))
        return false;
    for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
        record.visual.push_back({r.Long("RefNo"), 0, r.Long("Result"), 0});
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM GeraetProtTab WHERE GeraeteTabID = ?"), where))
        return false;
    for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
        record.tests.push_back(
            {r.Long("RefNo"), r.Double("MeasValue"), r.Long("Result"), r.Double("FirstValue")});
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM GeraetFktProtTab WHERE GeraeteTabID = ?"), where))
        return false;
    for (bool row = db.HasRow(); row && r.Ok(); row = db.MoveNext())
        record.functional.push_back(
            {r.Long("RefNo"), r.Double("MeasValue"), r.Long("Result"), r.Double("FirstValue")});
    if (!r.Ok())
        return false;
    failure = ReadFailure::None;
    return true;
}

} // namespace XmlRecords
