#include "sheets/ProtocolSpecLines.h"

#include "platform/LocaleFormat.h"
#include "sheets/RecordValues.h"
#include "sheets/TestStepsData.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"

using RecordValues::Long;
using RecordValues::Real;
using RecordValues::Text;

QString CProtocolSpecLines::T(qint32 id, const char* fallback) const {
    return m_texts ? m_texts(id, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

QString CProtocolSpecLines::DataText(qint32 id) const {
    if (id == 0)
        return QString();
    const QString text = m_texts ? m_texts(id, QString()) : QString();
    return text.isEmpty() ? FormatText(QStringLiteral("TextID %d ?"), id) : text;
}

QString CProtocolSpecLines::SeparatorText() {
    return QString(40, QLatin1Char('-'));
}

void CProtocolSpecLines::Add(const QString& label, const QString& value) {
    lines.push_back({label, value, false});
}

void CProtocolSpecLines::Separate() {
    if (!lines.empty() && !lines.back().separator)
        lines.push_back({QString(), QString(), true});
}

QStringList CProtocolSpecLines::Columns(int index) const {
    if (index < 0 || index >= int(lines.size()))
        return {};
    const Line& l = lines[size_t(index)];
    if (l.separator)
        return {SeparatorText()};
    return {l.label, l.value};
}

bool CProtocolSpecLines::Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 protocolId, const Texts& texts) {
    m_texts = texts;
    lines.clear();
    specificationMissing = false;
    message.clear();
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab WHERE id = %1").arg(protocolId)) ||
        !db.HasRow()) {
        db.CloseRecordset();
        return false;
    }
    specificationName = Text(db, "SpecificationName");
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
    const qint32 typId = Long(db, "TypID");
    const qint32 nominalPower = Long(db, "NominalPower");
    const double cord = Real(db, "CordLength");
    const QString icon = Text(db, "IconSymbol");
    int used = 0;
    const bool partsUsed =
        !db.IsNull(QStringLiteral("PartsUsed")) && db.GetBool(QStringLiteral("PartsUsed"), used) && used != 0;
    const QDateTime created = RecordValues::Date(db, "CreateDate");

    // Master data.
    Add(T(19, "Test specification"), Text(db, "Name"));
    Add(T(10003, "Manufacturer"), Text(db, "Manufacturer"));
    Add(T(10005, "Description"), Text(db, "Description"));
    Add(T(10014, "Test interval"),
        FormatText(QStringLiteral("%d %s"), Long(db, "ReviewPeriod"), T(134, "Months")));
    Add(T(10009, "Protection class"), DataText(Long(db, "ClassID")));
    Add(T(125, "Created on"), created.isValid() ? LocaleFormat::ShortDate(created.date()) : QString());
    Separate();

    // Device data by device type.
    if (typId < 6600) {
        if (nominalPower != 0)
            Add(T(10101, "Nominal power"), FormatText(QStringLiteral("%d kVA"), nominalPower));
        if (cord != 0)
            Add(T(10201, "Cord length"),
                FormatText(QStringLiteral("max. %s [m]"), LocaleFormat::Number(cord, 1)));
    } else if (typId > 6600 && typId < 6700) {
        // Loop impedance devices keep the impedance in CordLength and the current in NominalPower.
        Add(T(11000, "Loop impedance"),
            FormatText(QStringLiteral("Zs max. %s [m%s]"), LocaleFormat::Number(cord, 1), T(31208, "Ω")));
        Add(T(11003, "Tripping current"), FormatText(QStringLiteral("Ia = %d [A]"), nominalPower));
    }
    Separate();

    // Test parameters; a lead has no protective measures to show.
    const qint32 method = Long(db, "MeasMethodeID");
    if (method != 0)
        Add(T(10500, "Measuring method"), DataText(method));
    if (!icon.startsWith(QLatin1String("IDB_LEITUNG"), Qt::CaseInsensitive)) {
        const struct {
            const char* column;
            qint32 label;
            const char* fallback;
        } flags[] = {{"AllPe", 10401, "All PE connections"},
                     {"PhaseReverseEnable", 10424, "Polarity reversal"},
                     {"VoltageAccessiblePart", 10427, "Voltage at accessible parts"},
                     {"VoltageSignalIO", 10420, "Voltage at signal inputs/outputs"},
                     {"FunctionEarth", 10418, "Functional earth"},
                     {"IsoMeas", 10405, "Insulation measurement"},
                     {"MainsSeparation", 10407, "Mains separation"},
                     {"PowerPhase", 10607, "Test with mains voltage"},
                     {"WarningNotice", 10403, "Warning notice"}};
        for (const auto& f : flags) {
            const qint32 value = Long(db, f.column, -1);
            if (value == -1)
                continue; // not set
            Add(T(f.label, f.fallback), value == 1 ? QString(QChar(0x221A)) : QStringLiteral("X"));
        }
    }
    const qint32 sequence = Long(db, "TestSequenceID");
    if (sequence != 0)
        Add(T(10600, "Test sequence"), DataText(sequence));
    Separate();

    if (partsUsed) {
        if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1 ORDER BY GroupNo")
                              .arg(specId)))
            return false;
        for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
            Add(FormatText(QStringLiteral("%s %d, %s"), T(10312, "Group"), Long(db, "GroupNo"),
                           DataText(Long(db, "AppliedPartID"))),
                FormatText(QStringLiteral("%s: %s"), T(10310, "Lead"),
                           SheetJackList(quint32(Long(db, "Jacks")))));
        Separate();
    }

    // The steps, in the order the tester runs them.
    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypSichtPrfTab WHERE TypenTabID = %1 ORDER BY RefNo").arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        const qint32 textId = Long(db, "TextID");
        Add(QStringLiteral("V%1").arg(Long(db, "RefNo")),
            textId != 0 ? DataText(textId) : Text(db, "myText"));
    }
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypTestStepTab WHERE TypenTabID = %1 ORDER BY TypOrder, "
                                     "MainOrder, MeasNo, GroupNo")
                          .arg(specId)))
        return false;
    std::vector<qint32> measurements;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        measurements.push_back(Long(db, "MeasNo"));
    for (const qint32 measNo : measurements) {
        QString name;
        if (ref.OpenQuery(QStringLiteral("SELECT * FROM MessTab WHERE MeasNo = %1").arg(measNo)) &&
            ref.HasRow())
            name = DataText(Long(ref, "MessNrTextID"));
        else
            name = FormatText(T(30826, "Unknown measurement no. %d"), measNo);
        Add(QStringLiteral("M%1").arg(measNo), name);
    }
    ref.CloseRecordset();
    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypFktStepTab WHERE TypenTabID = %1 ORDER BY RefNo").arg(specId)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        Add(QStringLiteral("F%1").arg(Long(db, "RefNo")), Text(db, "myText"));
    db.CloseRecordset();
    if (!lines.empty() && lines.back().separator)
        lines.pop_back();
    return true;
}
