#include "sheets/TestStepsData.h"

#include "exchange/CsvExport.h"
#include "platform/LocaleFormat.h"
#include "sheets/RecordValues.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"

using RecordValues::Long;
using RecordValues::Real;
using RecordValues::Text;

QString SheetJackList(quint32 mask) {
    return CCsvExport::JackList(mask); // the same text as the CSV report
}

bool SheetFindAppliedPart(const std::vector<SheetAppliedPart>& parts, qint32 groupNo, qint32 jacks,
                          CMessValues& v) {
    if (jacks != 0) {
        const quint32 mask = (quint32(groupNo) >> 16) & 0xFFFF;
        int group = 0;
        for (int bit = 0; bit < 15 && !group; ++bit) {
            if (mask & (1u << bit))
                group = bit + 1;
        }
        for (const SheetAppliedPart& p : parts) {
            if (group && p.groupNo == group) {
                v.appliedPart = p.text;
                v.groupMask = mask;
                v.jackMask = quint32(jacks);
                v.hasAppliedPart = true;
            }
        }
    } else {
        for (const SheetAppliedPart& p : parts) {
            if (p.groupNo == groupNo && groupNo >= 1 && groupNo <= 32) {
                v.appliedPart = p.text;
                v.groupMask = 1u << (groupNo - 1);
                v.jackMask = quint32(p.jacks);
                v.hasAppliedPart = true;
            }
        }
    }
    return v.hasAppliedPart;
}

QString CTestStepsData::T(qint32 id, const char* fallback) const {
    return m_texts ? m_texts(id, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

bool CTestStepsData::Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 specId, const Texts& texts) {
    m_texts = texts;
    rows.clear();
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(specId)) || !db.HasRow())
        return false;
    standardId = Long(db, "StandardID");
    int used = 0;
    partsUsed =
        !db.IsNull(QStringLiteral("PartsUsed")) && db.GetBool(QStringLiteral("PartsUsed"), used) && used != 0;

    // Visual steps.
    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypSichtPrfTab WHERE TypenTabID = %1 ORDER BY RefNo").arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        Row r;
        const qint32 textId = Long(db, "TextID");
        r.key = QStringLiteral("V%1").arg(Long(db, "RefNo"));
        r.text = textId != 0 ? T(textId, "") : Text(db, "myText");
        rows.push_back(r);
    }

    // Applied parts, for the measurement rows.
    std::vector<SheetAppliedPart> parts;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1").arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        parts.push_back({Long(db, "GroupNo"), T(Long(db, "AppliedPartID"), ""), Long(db, "Jacks")});

    // Measurement steps, in the order the catalogue's step query gives.
    QString stepQuery =
        T(10827, "SELECT * FROM TypTestStepTab WHERE TypenTabID = %d ORDER BY TypOrder, MainOrder, "
                 "MeasNo, GroupNo");
    if (!stepQuery.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
        stepQuery = QStringLiteral("SELECT * FROM TypTestStepTab WHERE TypenTabID = %d ORDER BY TypOrder, "
                                   "MainOrder, MeasNo, GroupNo");
    if (!db.OpenQuery(FormatText(stepQuery, specId)))
        return false;
    struct Step {
        qint32 measNo, groupNo, jacks;
        double limit;
    };
    std::vector<Step> steps;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        steps.push_back({Long(db, "MeasNo"), Long(db, "GroupNo"), Long(db, "Jacks"), Real(db, "Limit")});
    for (const Step& s : steps) {
        Row r;
        r.key = QStringLiteral("M%1").arg(s.measNo);
        if (!ref.OpenQuery(QStringLiteral("SELECT * FROM MessTab WHERE MeasNo = %1").arg(s.measNo)))
            return false;
        if (!ref.HasRow()) {
            r.text = FormatText(T(30826, "Unknown measurement no. %d"), s.measNo);
            rows.push_back(r);
            continue;
        }
        CMessValues& v = r.values;
        v.unitOrLimit = Text(ref, "MesswertEinheit");
        v.minimum = Text(ref, "MinValue");
        v.maximum = Text(ref, "MaxValue");
        v.digits = Long(ref, "Digits");
        v.value = s.limit;
        r.text = T(Long(ref, "MessNrTextID"), "");
        if (Long(ref, "BuchsenAktiv") == 1) {
            SheetFindAppliedPart(parts, s.groupNo, s.jacks, v);
            if (v.hasAppliedPart && v.jackMask && partsUsed)
                r.apColumn = SheetJackList(v.jackMask);
        }
        rows.push_back(r);
    }
    ref.CloseRecordset();

    // Functional steps.
    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypFktStepTab WHERE TypenTabID = %1 ORDER BY RefNo").arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        Row r;
        const qint32 limits = Long(db, "UseLimitsID");
        r.key = QStringLiteral("F%1").arg(Long(db, "RefNo"));
        r.text = Text(db, "myText");
        r.values.kind = limits + 1;
        r.values.unitOrLimit = limits == 0   ? T(10914, "Evaluation only (passed / failed)")
                               : limits == 1 ? T(10915, "Measured value without limits")
                                             : QString();
        r.values.value = Real(db, "LowLimit");
        r.values.value2 = Real(db, "HighLimit");
        r.values.digits = 2;
        rows.push_back(r);
    }
    db.CloseRecordset();
    return true;
}

CTestStepsData::Detail CTestStepsData::DetailOf(int index) const {
    Detail d;
    if (index < 0 || index >= int(rows.size()))
        return d;
    const Row& r = rows[size_t(index)];
    const CMessValues& v = r.values;
    d.name = r.text;
    const QString limit = T(30823, "Limit");
    switch (v.kind) {
    case 1:
    case 2:
        d.limitLine = v.unitOrLimit;
        break;
    case 3:
        d.limitLine = FormatText(QStringLiteral("%s: %s"), limit,
                                 FormatText(QStringLiteral("%s...%s"), LocaleFormat::Number(v.value, 2),
                                            LocaleFormat::Number(v.value2, 2)));
        break;
    default:
        if (v.value > 0) {
            QString number = LocaleFormat::Number(v.value, v.digits);
            bool minOk = false, maxOk = false;
            const double min = v.minimum.toDouble(&minOk);
            const double max = v.maximum.toDouble(&maxOk);
            if (minOk && v.value <= min)
                number.prepend(QStringLiteral("< "));
            else if (maxOk && v.value >= max)
                number.prepend(QStringLiteral("> "));
            d.limitLine = FormatText(QStringLiteral("%s: %s"), limit,
                                     FormatText(QStringLiteral("%s %s"), number, v.unitOrLimit));
        }
        if (v.hasAppliedPart) {
            d.groupCaption = T(10312, "Group");
            d.groupJacks = SheetJackList(v.groupMask);
            d.appliedPart = FormatText(QStringLiteral("%s,"), v.appliedPart);
            d.leadLine = FormatText(QStringLiteral("%s: %s"), T(10310, "Lead"), SheetJackList(v.jackMask));
        }
        break;
    }
    return d;
}
