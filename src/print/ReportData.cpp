#include "print/ReportData.h"

#include "store/AdoDatabase.h"
#include "store/RowReader.h"

#include <QHash>

namespace Report {

namespace {

// The rows of a query through one reader per row; false on the first failed read.
template <typename F> bool ForEachRow(CAdoDatabase& db, const QString& sql, qint32& error, F readRow) {
    if (!db.OpenQuery(sql)) {
        error = db.GetErrorNumber();
        return false;
    }
    for (; db.HasRow(); db.MoveNext()) {
        CRowReader r(db);
        readRow(r);
        if (!r.Ok()) {
            error = r.Error();
            return false;
        }
    }
    return true;
}

class CDefinitions {
public:
    explicit CDefinitions(CAdoDatabase& ref) : m_ref(ref) {}
    bool Get(qint32 measNo, Measurement& def, qint32& error) {
        const auto it = m_cache.constFind(measNo);
        if (it != m_cache.cend()) {
            def = *it;
            return true;
        }
        def = Measurement();
        bool ok = ForEachRow(m_ref, QStringLiteral("SELECT * FROM MessTab WHERE MeasNo = %1").arg(measNo),
                             error, [&](CRowReader& r) {
                                 def.found = true;
                                 def.nameTextId = r.Long("MessNrTextID");
                                 def.unit = r.Text("MesswertEinheit");
                                 def.minValue = r.Text("MinValue");
                                 def.maxValue = r.Text("MaxValue");
                                 def.digits = r.Long("Digits");
                                 def.compareMode = r.Long("LimitCompareMode");
                                 def.jacksActive = r.Long("BuchsenAktiv");
                             });
        if (ok)
            m_cache.insert(measNo, def);
        return ok;
    }

private:
    CAdoDatabase& m_ref;
    QHash<qint32, Measurement> m_cache;
};

void ReadSpecificationRow(CRowReader& r, Specification& s) {
    s.id = r.Long("id");
    s.name = r.Text("Name");
    s.standardId = r.Long("StandardID");
    s.classId = r.Long("ClassID");
    s.typId = r.Long("TypID");
    s.manufacturer = r.Text("Manufacturer");
    s.description = r.Text("Description");
    s.reviewPeriod = r.Long("ReviewPeriod");
    s.createDate = r.Date("CreateDate");
    s.iconSymbol = r.Text("IconSymbol");
    s.parameter = r.Text("Parameter");
    s.nominalPower = r.Long("NominalPower");
    s.cordLength = r.Double("CordLength");
    s.partsUsed = r.Bool("PartsUsed") != 0;
    s.measMethodeId = r.Long("MeasMethodeID");
    s.testSequenceId = r.Long("TestSequenceID");
    // A column that a database from before 3.0 lacks reads as "not set".
    static const std::pair<const char*, qint32> kParameters[] = {
        {"AllPe", 10401},           {"PhaseReverseEnable", 10424}, {"VoltageAccessiblePart", 10427},
        {"VoltageSignalIO", 10420}, {"FunctionEarth", 10418},      {"IsoMeas", 10405},
        {"MainsSeparation", 10407}, {"PowerPhase", 10607},         {"WarningNotice", 10403}};
    s.parameters.clear();
    for (const auto& [column, label] : kParameters)
        s.parameters << Parameter{label, r.Long(column)};
}

// Values a database without a column leaves NULL read as "not set" for the parameters.
void MarkUnsetParameters(CAdoDatabase& db, Specification& s) {
    static const char* const kColumns[] = {"AllPe",           "PhaseReverseEnable", "VoltageAccessiblePart",
                                           "VoltageSignalIO", "FunctionEarth",      "IsoMeas",
                                           "MainsSeparation", "PowerPhase",         "WarningNotice"};
    for (int i = 0; i < s.parameters.size() && i < int(std::size(kColumns)); ++i) {
        qint32 v = 0;
        if (db.IsNull(QLatin1String(kColumns[i])) || !db.GetLong(QLatin1String(kColumns[i]), v))
            s.parameters[i].value = -1;
    }
}

bool ReadSteps(CAdoDatabase& db, CDefinitions& defs, Specification& s, qint32& error) {
    s.parts.clear();
    s.visual.clear();
    s.measurements.clear();
    s.functional.clear();
    if (!ForEachRow(
            db, QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1 ORDER BY GroupNo").arg(s.id),
            error, [&](CRowReader& r) {
                s.parts << AppliedPart{r.Long("GroupNo"), r.Long("AppliedPartID"), r.Long("Jacks")};
            }))
        return false;
    if (!ForEachRow(
            db, QStringLiteral("SELECT * FROM TypSichtPrfTab WHERE TypenTabID = %1 ORDER BY RefNo").arg(s.id),
            error, [&](CRowReader& r) {
                VisualStep v;
                v.refNo = r.Long("RefNo");
                v.textId = r.Long("TextID");
                v.text = r.Text("myText");
                s.visual << v;
            }))
        return false;
    if (!ForEachRow(db,
                    QStringLiteral("SELECT * FROM TypTestStepTab WHERE TypenTabID = %1 "
                                   "ORDER BY TypOrder, MainOrder, MeasNo, GroupNo")
                        .arg(s.id),
                    error, [&](CRowReader& r) {
                        MeasurementStep m;
                        m.refNo = r.Long("RefNo");
                        m.measNo = r.Long("MeasNo");
                        m.groupNo = r.Long("GroupNo");
                        m.jacks = r.Long("Jacks");
                        m.limit = r.Double("Limit");
                        s.measurements << m;
                    }))
        return false;
    for (MeasurementStep& m : s.measurements)
        if (!defs.Get(m.measNo, m.definition, error))
            return false;
    return ForEachRow(
        db, QStringLiteral("SELECT * FROM TypFktStepTab WHERE TypenTabID = %1 ORDER BY RefNo").arg(s.id),
        error, [&](CRowReader& r) {
            FunctionalStep f;
            f.refNo = r.Long("RefNo");
            f.text = r.Text("myText");
            f.useLimits = r.Long("UseLimitsID");
            f.low = r.Double("LowLimit");
            f.high = r.Double("HighLimit");
            s.functional << f;
        });
}

} // namespace

bool FirstValuePassed(qint32 compareMode, double value, double limit) {
    switch (compareMode) {
    case 0:
        return !(value > limit);
    case 1:
        return !(value < limit);
    case 2:
        return !(value < 1);
    default:
        return true;
    }
}

bool ReadSpecification(CAdoDatabase& db, CAdoDatabase& ref, qint32 id, Specification& spec, qint32& error) {
    error = 0;
    spec = Specification();
    bool found = false;
    if (!ForEachRow(db, QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(id), error,
                    [&](CRowReader& r) {
                        found = true;
                        ReadSpecificationRow(r, spec);
                        if (r.Ok())
                            MarkUnsetParameters(db, spec);
                    }))
        return false;
    if (!found)
        return false;
    CDefinitions defs(ref);
    return ReadSteps(db, defs, spec, error);
}

bool ReadProtocol(CAdoDatabase& db, CAdoDatabase& ref, qint32 id, bool firstTest, Protocol& p,
                  qint32& error) {
    error = 0;
    p = Protocol();
    bool found = false;
    if (!ForEachRow(db, QStringLiteral("SELECT * FROM GeraeteTab WHERE id = %1").arg(id), error,
                    [&](CRowReader& r) {
                        found = true;
                        p.id = r.Long("id");
                        p.specificationName = r.Text("SpecificationName");
                        p.device = r.Text("Device");
                        p.nominalVoltage = r.Text("NominalVoltage");
                        p.testDate = r.Date("TestDate");
                        p.testResultId = r.Long("TestResultID");
                        p.op = r.Text("Operator");
                        p.serial = r.Text("Serial");
                        p.manufacturer = r.Text("Manufacturer");
                        p.description = r.Text("Description");
                        p.client = r.Text("Client");
                        p.location = r.Text("Location");
                        p.department = r.Text("Department");
                        p.room = r.Text("Room");
                        p.costs = r.Text("Costs");
                        p.comment = r.Text("Comment");
                        p.firstTestDate = r.Date("FirstTestDate");
                        p.nextTestDate = r.Date("NextTestDate");
                        p.testerName = r.Text("TesterName");
                        p.testerSerial = r.Text("TesterSerial");
                        p.testerSw = r.Text("TesterSW");
                        p.city = r.Text("City");
                        p.street = r.Text("Street");
                        p.reviewPeriod = r.Long("ReviewPeriod");
                    }))
        return false;
    if (!found)
        return false;

    Specification& s = p.specification;
    if (!ForEachRow(
            db, QStringLiteral("SELECT * FROM TypenTab WHERE Name = %1").arg(SqlLiteral(p.specificationName)),
            error, [&](CRowReader& r) {
                if (p.specificationFound)
                    return;
                p.specificationFound = true;
                ReadSpecificationRow(r, s);
                if (r.Ok())
                    MarkUnsetParameters(db, s);
            }))
        return false;
    if (!p.specificationFound)
        return true;
    CDefinitions defs(ref);
    if (!ReadSteps(db, defs, s, error))
        return false;

    // The results, joined to the steps by their reference numbers.
    QHash<qint32, qint32> visualResults;
    if (!ForEachRow(db, QStringLiteral("SELECT * FROM GeraetSichtProtTab WHERE GeraeteTabID = %1").arg(id),
                    error, [&](CRowReader& r) { visualResults.insert(r.Long("RefNo"), r.Long("Result")); }))
        return false;
    QList<VisualStep> visual;
    for (VisualStep v : s.visual) {
        const auto it = visualResults.constFind(v.refNo);
        if (it == visualResults.cend())
            continue;
        v.result = *it;
        visual << v;
    }
    s.visual = visual;

    struct Result {
        double value = 0, first = 0;
        qint32 result = 0;
    };
    QHash<qint32, Result> results;
    if (!ForEachRow(db, QStringLiteral("SELECT * FROM GeraetProtTab WHERE GeraeteTabID = %1").arg(id), error,
                    [&](CRowReader& r) {
                        results.insert(r.Long("RefNo"), Result{r.Double("MeasValue"), r.Double("FirstValue"),
                                                               r.Long("Result")});
                    }))
        return false;
    QList<MeasurementStep> measurements;
    for (MeasurementStep m : s.measurements) {
        const auto it = results.constFind(m.refNo);
        if (it == results.cend())
            continue;
        m.value = it->value;
        m.firstValue = it->first;
        m.result = it->result;
        measurements << m;
    }
    s.measurements = measurements;

    results.clear();
    if (!ForEachRow(db, QStringLiteral("SELECT * FROM GeraetFktProtTab WHERE GeraeteTabID = %1").arg(id),
                    error, [&](CRowReader& r) {
                        results.insert(r.Long("RefNo"), Result{r.Double("MeasValue"), r.Double("FirstValue"),
                                                               r.Long("Result")});
                    }))
        return false;
    QList<FunctionalStep> functional;
    for (FunctionalStep f : s.functional) {
        const auto it = results.constFind(f.refNo);
        if (it == results.cend())
            continue;
        // The first test judged only the steps with limits.
        if (firstTest && f.useLimits != 1 && f.useLimits != 2)
            continue;
        f.value = it->value;
        f.firstValue = it->first;
        f.result = it->result;
        functional << f;
    }
    s.functional = functional;
    return true;
}

ListLine ReadListLine(CAdoDatabase& db, bool specifications, qint32 id) {
    ListLine line;
    if (!db.Seek(id))
        return line;
    CRowReader r(db);
    if (specifications) {
        line.name = r.Text("Name");
        line.description = r.Text("Description");
        line.standardId = r.Long("StandardID");
        line.createDate = r.Date("CreateDate");
    } else {
        line.testResultId = r.Long("TestResultID");
        line.name = r.Text("Device");
        line.description = r.Text("Description");
        line.client = r.Text("Client");
        line.testDate = r.Date("TestDate");
        line.nextTestDate = r.Date("NextTestDate");
    }
    line.found = r.Ok();
    return line;
}

} // namespace Report
