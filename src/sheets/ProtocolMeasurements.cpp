#include "sheets/ProtocolMeasurements.h"

#include "exchange/CsvExport.h"
#include "platform/LocaleFormat.h"
#include "sheets/RecordValues.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"

using RecordValues::Long;
using RecordValues::Real;
using RecordValues::Text;

namespace {

QString Mark(bool passed) {
    return passed ? QString(QChar(0x221A)) : QStringLiteral("X");
}

// A range end of a definition is a text with a decimal point; an empty one bounds nothing.
bool RangeEnd(const QString& text, double& value) {
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok;
}

QString WithRangeMarks(double value, const CMessVal& v) {
    QString number = LocaleFormat::Number(value, v.digits);
    double end = 0;
    if (RangeEnd(v.minimum, end) && value <= end)
        return QStringLiteral("< ") + number;
    if (RangeEnd(v.maximum, end) && value >= end)
        return QStringLiteral("> ") + number;
    return number;
}

QString RangeText(const QString& end, int digits) {
    double value = 0;
    return RangeEnd(end, value) ? LocaleFormat::Number(value, digits) : end.trimmed();
}

QString WithUnit(const QString& number, const QString& unit) {
    return unit.isEmpty() ? number : FormatText(QStringLiteral("%s %s"), number, unit);
}

} // namespace

QString CProtocolMeasurements::T(qint32 id, const char* fallback) const {
    return m_texts ? m_texts(id, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

bool CProtocolMeasurements::FirstValuePasses(qint32 compareMode, double value, double limit) {
    switch (compareMode) {
    case -1:
        return true;
    case 0:
        return !(value > limit); // the limit is a maximum
    case 1:
        return !(value < limit); // the limit is a minimum
    case 2:
        return !(value < 1); // a yes/no measurement
    default:
        return false; // a judgement this program does not know cannot pass
    }
}

bool CProtocolMeasurements::FunctionalFirstValuePasses(qint32 useLimits, double value, double low,
                                                       double high) {
    if (useLimits == 1)
        return true;
    return useLimits == 2 && !(value < low) && !(value > high);
}

QString CProtocolMeasurements::FormatValue(double value, const CMessVal& v) {
    if (v.kind == CMessVal::Kind::Functional)
        return LocaleFormat::Number(value, 2);
    if (!v.known)
        return LocaleFormat::Number(value, 2);
    if (v.compareMode == 2)
        return QStringLiteral("-");
    return WithRangeMarks(value, v);
}

bool CProtocolMeasurements::Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 protocolId, Mode pageMode,
                                 const Texts& texts) {
    m_texts = texts;
    mode = pageMode;
    rows.clear();
    specificationMissing = false;
    message.clear();
    statusLine.clear();
    partsUsed = false;

    if (!db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab WHERE id = %1").arg(protocolId)) ||
        !db.HasRow()) {
        db.CloseRecordset();
        return false;
    }
    specificationName = Text(db, "SpecificationName");
    firstTestDate = RecordValues::Date(db, "FirstTestDate");
    const QString nominalVoltage = Text(db, "NominalVoltage");
    // Rows from before the extrapolation switch have no value: they were extrapolated.
    const qint32 extrapolate = Long(db, "UseExtraPolation", 1);

    if (mode == Mode::FirstValues)
        statusLine =
            FormatText(T(30447, "Date of the first device test: %s"),
                       firstTestDate.isValid() ? LocaleFormat::ShortDate(firstTestDate.date()) : QString());

    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypenTab WHERE Name = %1").arg(SqlLiteral(specificationName))))
        return false;
    if (!db.HasRow()) {
        specificationMissing = true;
        message = FormatText(T(30858, "The test specification %s is not installed!"), specificationName);
        db.CloseRecordset();
        return true;
    }
    const qint32 specId = Long(db, "id");
    const qint32 standardId = Long(db, "StandardID");
    int used = 0;
    partsUsed =
        !db.IsNull(QStringLiteral("PartsUsed")) && db.GetBool(QStringLiteral("PartsUsed"), used) && used != 0;

    if (mode == Mode::Results) {
        double volts = 0;
        if (extrapolate == 1 && CCsvExport::ExtrapolationVoltage(ref, standardId, nominalVoltage, volts))
            statusLine = T(112, "Measured values extrapolated to the mains voltage:") + QLatin1Char(' ') +
                         LocaleFormat::Number(volts, 0) + QStringLiteral(" V");
    }

    // Visual results, on the results page only.
    if (mode == Mode::Results) {
        if (!db.OpenQuery(
                QStringLiteral(
                    "SELECT GeraetSichtProtTab.RefNo, GeraetSichtProtTab.Result, TypSichtPrfTab.TextID, "
                    "TypSichtPrfTab.myText FROM GeraetSichtProtTab INNER JOIN TypSichtPrfTab ON "
                    "GeraetSichtProtTab.RefNo = TypSichtPrfTab.RefNo WHERE GeraetSichtProtTab.GeraeteTabID = "
                    "%1 AND TypSichtPrfTab.TypenTabID = %2 ORDER BY TypSichtPrfTab.RefNo")
                    .arg(protocolId)
                    .arg(specId)))
            return false;
        for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
            Row r;
            CMessVal& v = r.values;
            v.kind = CMessVal::Kind::Visual;
            v.number = Long(db, "RefNo");
            v.passed = Long(db, "Result") != 0;
            const qint32 textId = Long(db, "TextID");
            r.key = QStringLiteral("V%1").arg(v.number);
            r.text = textId != 0 ? T(textId, "") : Text(db, "myText");
            r.mark = Mark(v.passed);
            rows.push_back(r);
        }
    }

    std::vector<SheetAppliedPart> parts;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1").arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        parts.push_back({Long(db, "GroupNo"), T(Long(db, "AppliedPartID"), ""), Long(db, "Jacks")});

    if (!LoadMeasurements(db, ref, protocolId, specId, parts))
        return false;

    if (!db.OpenQuery(
            QStringLiteral(
                "SELECT GeraetFktProtTab.RefNo, GeraetFktProtTab.Result, GeraetFktProtTab.MeasValue, "
                "GeraetFktProtTab.FirstValue, TypFktStepTab.myText, TypFktStepTab.UseLimitsID, "
                "TypFktStepTab.LowLimit, TypFktStepTab.HighLimit FROM GeraetFktProtTab INNER JOIN "
                "TypFktStepTab ON GeraetFktProtTab.RefNo = TypFktStepTab.RefNo WHERE "
                "GeraetFktProtTab.GeraeteTabID = %1 AND TypFktStepTab.TypenTabID = %2 ORDER BY "
                "GeraetFktProtTab.RefNo")
                .arg(protocolId)
                .arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        Row r;
        CMessVal& v = r.values;
        v.kind = CMessVal::Kind::Functional;
        v.number = Long(db, "RefNo");
        v.useLimits = Long(db, "UseLimitsID");
        v.limit = Real(db, "LowLimit");
        v.highLimit = Real(db, "HighLimit");
        v.digits = 2;
        v.hasValue = v.useLimits == 1 || v.useLimits == 2;
        if (mode == Mode::FirstValues) {
            if (!v.hasValue)
                continue; // a step without a value has no first value
            v.value = Real(db, "FirstValue");
            v.passed = FunctionalFirstValuePasses(v.useLimits, v.value, v.limit, v.highLimit);
        } else {
            v.value = Real(db, "MeasValue");
            v.passed = Long(db, "Result") != 0;
        }
        r.key = QStringLiteral("F%1").arg(v.number);
        r.text = Text(db, "myText");
        r.mark = Mark(v.passed);
        rows.push_back(r);
    }
    db.CloseRecordset();
    return true;
}

bool CProtocolMeasurements::LoadMeasurements(CAdoDatabase& db, CAdoDatabase& ref, qint32 protocolId,
                                             qint32 specId, const std::vector<SheetAppliedPart>& parts) {
    if (!db.OpenQuery(
            QStringLiteral(
                "SELECT GeraetProtTab.RefNo, GeraetProtTab.Result, GeraetProtTab.MeasValue, "
                "GeraetProtTab.FirstValue, TypTestStepTab.MeasNo, TypTestStepTab.GroupNo, "
                "TypTestStepTab.Limit, TypTestStepTab.Jacks FROM GeraetProtTab INNER JOIN TypTestStepTab ON "
                "GeraetProtTab.RefNo = TypTestStepTab.RefNo WHERE GeraetProtTab.GeraeteTabID = %1 AND "
                "TypTestStepTab.TypenTabID = %2 ORDER BY TypOrder, MainOrder, MeasNo, GroupNo, Jacks")
                .arg(protocolId)
                .arg(specId)))
        return false;
    struct Result {
        qint32 refNo, result, measNo, groupNo, jacks;
        double measured, first, limit;
    };
    std::vector<Result> results;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        results.push_back({Long(db, "RefNo"), Long(db, "Result"), Long(db, "MeasNo"), Long(db, "GroupNo"),
                           Long(db, "Jacks"), Real(db, "MeasValue"), Real(db, "FirstValue"),
                           Real(db, "Limit")});

    for (const Result& res : results) {
        Row r;
        CMessVal& v = r.values;
        v.kind = CMessVal::Kind::Measurement;
        v.number = res.measNo;
        v.limit = res.limit;
        v.hasValue = true;
        v.value = mode == Mode::FirstValues ? res.first : res.measured;
        r.key = QStringLiteral("M%1").arg(res.refNo);
        if (!ref.OpenQuery(QStringLiteral("SELECT * FROM MessTab WHERE MeasNo = %1").arg(res.measNo)))
            return false;
        v.known = ref.HasRow();
        if (v.known) {
            v.unit = Text(ref, "MesswertEinheit");
            v.minimum = Text(ref, "MinValue");
            v.maximum = Text(ref, "MaxValue");
            v.digits = Long(ref, "Digits");
            v.compareMode = Long(ref, "LimitCompareMode");
            r.text = T(Long(ref, "MessNrTextID"), "");
            if (Long(ref, "BuchsenAktiv") == 1 &&
                SheetFindAppliedPart(parts, res.groupNo, res.jacks, v.part) && v.part.jackMask && partsUsed)
                r.apColumn = SheetJackList(v.part.jackMask);
        } else {
            r.text = FormatText(T(30826, "Unknown measurement no. %d"), res.measNo);
        }
        if (mode == Mode::FirstValues)
            v.passed = v.known && FirstValuePasses(v.compareMode, v.value, v.limit);
        else
            v.passed = res.result != 0;
        r.mark = Mark(v.passed);
        rows.push_back(r);
    }
    ref.CloseRecordset();
    return true;
}

QStringList CProtocolMeasurements::Heads() const {
    QStringList heads{QString(), T(30820, "No."), T(23, "Test step")};
    if (partsUsed)
        heads << T(10342, "AP");
    return heads;
}

QStringList CProtocolMeasurements::Columns(int index) const {
    if (index < 0 || index >= int(rows.size()))
        return {};
    const Row& r = rows[size_t(index)];
    QStringList columns{r.mark, r.key, r.text};
    if (partsUsed)
        columns << r.apColumn;
    return columns;
}

CProtocolMeasurements::Detail CProtocolMeasurements::DetailOf(int index) const {
    Detail d;
    if (index < 0 || index >= int(rows.size()))
        return d;
    const Row& r = rows[size_t(index)];
    const CMessVal& v = r.values;
    d.name = r.text;
    d.failed = !v.passed;
    const QString valueLabel = T(30822, "Value");
    const QString limitLabel = T(30823, "Limit");
    switch (v.kind) {
    case CMessVal::Kind::Visual:
        break;
    case CMessVal::Kind::Measurement:
        d.valueLine =
            FormatText(QStringLiteral("%s: %s"), valueLabel, WithUnit(FormatValue(v.value, v), v.unit));
        if (!v.known)
            break;
        // A limit of 0 is no limit: the line is hidden.
        if (v.limit > 0)
            d.limitLine = FormatText(QStringLiteral("%s: %s"), limitLabel,
                                     WithUnit(WithRangeMarks(v.limit, v), v.unit));
        if (!v.minimum.trimmed().isEmpty() || !v.maximum.trimmed().isEmpty())
            d.rangeLine = FormatText(QStringLiteral("%s: %s...%s"), T(10920, "Range"),
                                     RangeText(v.minimum, v.digits), RangeText(v.maximum, v.digits));
        if (v.part.hasAppliedPart) {
            d.groupLine = FormatText(QStringLiteral("%s %s, %s"), T(10312, "Group"),
                                     SheetJackList(v.part.groupMask), v.part.appliedPart);
            d.leadLine =
                FormatText(QStringLiteral("%s: %s"), T(10310, "Lead"), SheetJackList(v.part.jackMask));
        }
        break;
    case CMessVal::Kind::Functional:
        if (v.hasValue)
            d.valueLine = FormatText(QStringLiteral("%s: %s"), valueLabel, FormatValue(v.value, v));
        if (v.useLimits == 2)
            d.limitLine = FormatText(QStringLiteral("%s: %s"), limitLabel,
                                     FormatText(QStringLiteral("%s...%s"), LocaleFormat::Number(v.limit, 2),
                                                LocaleFormat::Number(v.highLimit, 2)));
        else if (v.useLimits == 0)
            d.limitLine = T(10914, "Evaluation only (passed / failed)");
        else if (v.useLimits == 1)
            d.limitLine = T(10915, "Measured value without limits");
        break;
    }
    return d;
}
