#include "exchange/ProtocolReport.h"

#include "store/AdoDatabase.h"
#include "store/RowReader.h"
#include "store/TextFormat.h"

#include <cmath>

namespace {

const QChar kTab(9);
const QString kMissingNumber = QStringLiteral("     -");

// Range ends are texts with a decimal point; an empty or unreadable one bounds nothing.
bool RangeEnd(const QString& text, double& value) {
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok;
}

bool ReadDefinition(CAdoDatabase& ref, qint32 measNo, ProtocolReportData::Definition& def) {
    def = ProtocolReportData::Definition();
    if (!ref.OpenQuery(QStringLiteral("SELECT * FROM MessTab WHERE MeasNo = %1").arg(measNo)))
        return false;
    if (!ref.HasRow())
        return true;
    CRowReader read(ref);
    def.jacksActive = read.Long("BuchsenAktiv");
    def.unit = read.Text("MesswertEinheit");
    def.minValue = read.Text("MinValue");
    def.maxValue = read.Text("MaxValue");
    def.digits = read.Long("Digits");
    def.nameTextId = read.Long("MessNrTextID");
    def.compareMode = read.Long("LimitCompareMode");
    def.found = read.Ok();
    return read.Ok();
}

} // namespace

namespace ProtocolReport {

bool Read(CAdoDatabase& db, CAdoDatabase& ref, qint32 id, ProtocolReportData& d, qint32& error,
          QString& detail) {
    d = ProtocolReportData();
    error = 0;
    detail.clear();
    const auto fail = [&](qint32 code, const QString& text = QString()) {
        error = code;
        detail = text;
        return false;
    };
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab Where id=%1").arg(id)))
        return fail(kOpenDatabase);
    if (!db.HasRow())
        return fail(kRecordNotFound);
    {
        CRowReader read(db);
        d.specificationName = read.Text("SpecificationName");
        d.id = read.Long("id");
        d.device = read.Text("Device");
        d.nominalVoltage = read.Text("NominalVoltage");
        d.testDate = read.Date("TestDate");
        d.resultId = read.Long("TestResultID");
        d.op = read.Text("Operator");
        d.serial = read.Text("Serial");
        d.location = read.Text("Location");
        d.room = read.Text("Room");
        d.department = read.Text("Department");
        d.costs = read.Text("Costs");
        d.comment = read.Text("Comment");
        d.manufacturer = read.Text("Manufacturer");
        d.description = read.Text("Description");
        d.client = read.Text("Client");
        d.exportImport = read.Long("ExportImport");
        d.firstTestDate = read.Date("FirstTestDate");
        d.nextTestDate = read.Date("NextTestDate");
        d.testerName = read.Text("TesterName");
        d.testerSerial = read.Text("TesterSerial");
        d.testerSw = read.Text("TesterSW");
        d.guid = read.Text("myGUID");
        if (!read.Ok())
            return fail(kRecordUnreadable);
        // Rows from before the extrapolation switch have no value: they were extrapolated.
        if (read.UseExtraPolation(true) == 1)
            d.extrapolationFactor = -1; // looked up below
    }

    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypenTab WHERE Name = '%1'").arg(SqlQuote(d.specificationName))))
        return fail(kRecordUnreadable);
    if (!db.HasRow())
        return fail(kRecordUnreadable, d.specificationName);
    qint32 specId = 0;
    {
        CRowReader read(db);
        specId = read.Long("id");
        d.standardId = read.Long("StandardID");
        d.classId = read.Long("ClassID");
        d.specManufacturer = read.Text("Manufacturer");
        d.specDescription = read.Text("Description");
        d.reviewPeriod = read.Long("ReviewPeriod");
        d.createDate = read.Date("CreateDate");
        d.iconSymbol = read.Text("IconSymbol");
        d.partsUsed = read.Bool("PartsUsed") != 0;
        if (!read.Ok())
            return fail(kRecordUnreadable);
    }

    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1 ORDER BY GroupNo").arg(specId)))
        return fail(kRecordUnreadable);
    for (; db.HasRow(); db.MoveNext()) {
        CRowReader read(db);
        ProtocolReportData::Part p;
        p.groupNo = read.Long("GroupNo");
        p.appliedPartId = read.Long("AppliedPartID");
        p.jacks = read.Long("Jacks");
        if (!read.Ok())
            return fail(kRecordUnreadable);
        d.parts << p;
    }

    if (!db.OpenQuery(
            QStringLiteral(
                "SELECT GeraetSichtProtTab.RefNo, GeraetSichtProtTab.Result, TypSichtPrfTab.TextID, "
                "TypSichtPrfTab.myText FROM GeraetSichtProtTab INNER JOIN TypSichtPrfTab ON "
                "GeraetSichtProtTab.RefNo = TypSichtPrfTab.RefNo WHERE "
                "GeraetSichtProtTab.GeraeteTabID = %1 AND TypSichtPrfTab.TypenTabID = %2 "
                "ORDER BY TypSichtPrfTab.RefNo")
                .arg(d.id)
                .arg(specId)))
        return fail(kRecordUnreadable);
    for (; db.HasRow(); db.MoveNext()) {
        CRowReader read(db);
        ProtocolReportData::Visual v;
        v.result = read.Long("Result");
        v.textId = read.Long("TextID");
        v.text = read.Text("myText");
        if (!read.Ok())
            return fail(kRecordUnreadable);
        d.visual << v;
    }

    if (!db.OpenQuery(
            QStringLiteral("SELECT GeraetProtTab.RefNo, GeraetProtTab.Result, GeraetProtTab.MeasValue, "
                           "TypTestStepTab.MeasNo, TypTestStepTab.GroupNo, TypTestStepTab.Limit FROM "
                           "GeraetProtTab INNER JOIN TypTestStepTab ON GeraetProtTab.RefNo = "
                           "TypTestStepTab.RefNo WHERE GeraetProtTab.GeraeteTabID = %1 AND "
                           "TypTestStepTab.TypenTabID = %2 ORDER BY TypOrder, MainOrder, MeasNo, GroupNo")
                .arg(d.id)
                .arg(specId)))
        return fail(kRecordUnreadable);
    for (; db.HasRow(); db.MoveNext()) {
        CRowReader read(db);
        ProtocolReportData::Measurement m;
        m.result = read.Long("Result");
        m.value = read.Double("MeasValue");
        m.measNo = read.Long("MeasNo");
        m.groupNo = read.Long("GroupNo");
        m.limit = read.Double("Limit");
        if (!read.Ok())
            return fail(kRecordUnreadable);
        d.measurements << m;
    }

    if (!db.OpenQuery(
            QStringLiteral(
                "SELECT GeraetFktProtTab.RefNo, GeraetFktProtTab.Result, GeraetFktProtTab.MeasValue, "
                "TypFktStepTab.myText, TypFktStepTab.UseLimitsID, TypFktStepTab.LowLimit, "
                "TypFktStepTab.HighLimit FROM GeraetFktProtTab INNER JOIN TypFktStepTab ON "
                "GeraetFktProtTab.RefNo = TypFktStepTab.RefNo WHERE "
                "GeraetFktProtTab.GeraeteTabID = %1 AND TypFktStepTab.TypenTabID = %2 "
                "ORDER BY TypFktStepTab.RefNo")
                .arg(d.id)
                .arg(specId)))
        return fail(kRecordUnreadable);
    for (; db.HasRow(); db.MoveNext()) {
        CRowReader read(db);
        ProtocolReportData::Functional f;
        f.result = read.Long("Result");
        f.value = read.Double("MeasValue");
        f.text = read.Text("myText");
        f.useLimits = read.Long("UseLimitsID");
        f.low = read.Double("LowLimit");
        f.high = read.Double("HighLimit");
        if (!read.Ok())
            return fail(kRecordUnreadable);
        d.functional << f;
    }
    db.CloseRecordset();

    // The standard's factor; a standard without one, or one that cannot be read, gives no
    // extrapolation note.
    const bool extrapolated = d.extrapolationFactor == -1;
    d.extrapolationFactor = 0;
    if (extrapolated &&
        ref.OpenQuery(
            QStringLiteral("select CalcFactor from NormenTab where NormID = %1").arg(d.standardId)) &&
        ref.HasRow()) {
        CRowReader read(ref);
        const qint32 factor = read.Long("CalcFactor");
        if (read.Ok())
            d.extrapolationFactor = factor;
    }

    for (ProtocolReportData::Measurement& m : d.measurements)
        if (!ReadDefinition(ref, m.measNo, m.definition))
            return fail(kRecordUnreadable);
    return true;
}

QString JackList(quint32 jacks) {
    QStringList items;
    int jack = 1;
    while (jack <= 32) {
        if (!(jacks & (1u << (jack - 1)))) {
            ++jack;
            continue;
        }
        int last = jack;
        while (last < 32 && (jacks & (1u << last)))
            ++last;
        items << (last > jack ? QStringLiteral("%1-%2").arg(jack).arg(last) : QString::number(jack));
        jack = last + 1;
    }
    return items.join(QLatin1Char(','));
}

QString Number(const QLocale& locale, double value, int decimals) {
    return locale.toString(value, 'f', qBound(0, decimals, 15));
}

QString Date(const QLocale& locale, const QDateTime& date) {
    if (!date.isValid() || date.date() == QDate(1900, 1, 1))
        return QString();
    return locale.toString(date.date(), QLocale::ShortFormat);
}

QString MeasuredValue(const QLocale& locale, const ProtocolReportData::Measurement& m) {
    const ProtocolReportData::Definition& def = m.definition;
    if (!def.found)
        return Number(locale, 0, 0);
    if (def.compareMode == 2)
        return kMissingNumber;
    const QString value = Number(locale, m.value, def.digits);
    double end = 0;
    if (RangeEnd(def.minValue, end) && m.value <= end)
        return QStringLiteral("< ") + value;
    if (RangeEnd(def.maxValue, end) && m.value >= end)
        return QStringLiteral("> ") + value;
    return value;
}

QString Limit(const QLocale& locale, const ProtocolReportData::Measurement& m) {
    if (!m.definition.found || m.limit == 0)
        return kMissingNumber;
    return Number(locale, m.limit, m.definition.digits);
}

} // namespace ProtocolReport

namespace {

QString Dashes() {
    return QString(200, QLatin1Char('-'));
}

QString Tabs(int n) {
    return QString(n, kTab);
}

QString Pair(const QString& label, const QString& value) {
    return label + kTab + QStringLiteral(": ") + value;
}

QString TwoPairs(const QString& l1, const QString& v1, const QString& l2, const QString& v2) {
    return Pair(l1, v1) + Tabs(5) + Pair(l2, v2);
}

QString Mark(bool passed) {
    return passed ? QString(QChar(0x221A)) : QStringLiteral("X");
}

} // namespace

QStringList CsvReportLines(const ProtocolReportData& d, const std::function<QString(qint32)>& text,
                           const QLocale& locale, const QDate& today) {
    using ProtocolReport::Number;
    const auto T = [&text](qint32 id) { return text ? text(id) : QString(); };
    const auto date = [&locale](const QDateTime& value) { return ProtocolReport::Date(locale, value); };

    // The note names the voltage the values were extrapolated to: the nominal voltage scaled
    // by the standard's factor in percent. Without a factor or a voltage there is no note.
    QString note;
    bool voltageOk = false;
    const double voltage = d.nominalVoltage.trimmed().toDouble(&voltageOk);
    if (d.extrapolationFactor > 0 && voltageOk)
        note = T(112) + QLatin1Char(' ') +
               Number(locale, std::round(voltage * d.extrapolationFactor / 100.0), 0) + QStringLiteral(" V");

    QStringList lines;
    lines << Dashes() << Tabs(4) + T(30433) << Tabs(4) + T(26) + kTab + QStringLiteral(": ") + d.device
          << Dashes();
    lines << TwoPairs(T(30806), d.serial, T(30859), d.client)
          << TwoPairs(T(10003), d.manufacturer, T(30807), d.location)
          << TwoPairs(T(10005), d.description, T(30809), d.department)
          << TwoPairs(T(30810), d.costs, T(30808), d.room) << Pair(T(18), d.comment) << Dashes() << T(30432)
          << Pair(T(19), d.specificationName) << QString();
    lines << TwoPairs(T(10007), T(d.standardId), T(10009), T(d.classId))
          << TwoPairs(T(10003), d.specManufacturer, T(10014), Number(locale, d.reviewPeriod, 0))
          << TwoPairs(T(10005), d.specDescription, T(125), date(d.createDate));
    if (d.iconSymbol.compare(QLatin1String("IDB_TESTSTEPEDITOR"), Qt::CaseInsensitive) == 0)
        lines << T(156);
    lines << QString();
    if (d.partsUsed) {
        lines << T(10300);
        for (const ProtocolReportData::Part& p : d.parts)
            lines << T(10312) + QLatin1Char(' ') + QString::number(p.groupNo) + kTab + T(p.appliedPartId) +
                         kTab + T(10310) + QLatin1Char(' ') + ProtocolReport::JackList(quint32(p.jacks));
    }
    lines << Dashes();

    if (!d.visual.isEmpty()) {
        lines << T(10812) << QString() << T(211) + kTab + T(23);
        for (const ProtocolReportData::Visual& v : d.visual)
            lines << Mark(v.result != 0) + kTab + (v.textId != 0 ? T(v.textId) : v.text);
        lines << Dashes();
    }
    if (!d.measurements.isEmpty()) {
        lines << T(30431) + Tabs(3) + note << QString();
        QStringList heads{T(211), T(24), T(30822), T(30823), T(212)};
        if (d.partsUsed)
            heads << T(10312);
        heads << T(23);
        lines << heads.join(kTab);
        for (const ProtocolReportData::Measurement& m : d.measurements) {
            const ProtocolReportData::Definition& def = m.definition;
            // A measurement the reference data does not know cannot be judged.
            const bool passed = def.found && m.result != 0;
            const QString name = def.found ? T(def.nameTextId) : FormatText(T(30826), m.measNo);
            QStringList cols{Mark(passed), QString::number(m.measNo),
                             ProtocolReport::MeasuredValue(locale, m), ProtocolReport::Limit(locale, m),
                             def.unit};
            if (d.partsUsed)
                cols << (m.groupNo != 0 && def.jacksActive != 0 ? QString::number(m.groupNo) : QString());
            cols << name;
            lines << cols.join(kTab);
        }
        lines << Dashes();
    }
    if (!d.functional.isEmpty()) {
        lines << T(30847) << QString() << T(211) + kTab + T(23);
        for (const ProtocolReportData::Functional& f : d.functional) {
            lines << Mark(f.result != 0) + kTab + f.text;
            const QString valueLine =
                kTab + T(30822) + QStringLiteral(" :") + kTab + Number(locale, f.value, 2);
            if (f.useLimits == 1)
                lines << valueLine;
            else if (f.useLimits == 2)
                lines << valueLine + Tabs(4) + T(30823) + QStringLiteral(" : ") + Number(locale, f.low, 2) +
                             QStringLiteral("...") + Number(locale, f.high, 2);
        }
        lines << Dashes();
    }
    lines << T(30434) + kTab + T(d.resultId) << QString() << Pair(T(25), d.op);
    lines << Pair(T(30435), date(d.testDate)) + Tabs(5) + T(30438) + QStringLiteral(" : ") +
                 date(d.nextTestDate);
    lines << Dashes() << TwoPairs(T(213), d.testerName, T(215), d.testerSerial)
          << TwoPairs(T(214), d.testerSw, T(125), locale.toString(today, QLocale::ShortFormat));
    return lines;
}
