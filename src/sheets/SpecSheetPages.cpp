#include "sheets/SpecSheetPages.h"

#include "platform/LocaleFormat.h"
#include "sheets/RecordValues.h"
#include "sheets/TestStepsData.h"
#include "store/AdoDatabase.h"
#include "store/RowVersion.h"
#include "store/TextFormat.h"

#include <cmath>

namespace {

using RecordValues::Long;
using RecordValues::Text;

std::unique_ptr<CBaseEntry> ReadOnlyRow(const QString& caption, const QString& value,
                                        const QString& help = QString()) {
    auto row = std::make_unique<CEditEntry>();
    row->m_Caption = caption;
    row->m_Value = value;
    row->m_Help = help.isEmpty() ? value : help;
    row->m_Editable = 0;
    return row;
}

std::unique_ptr<CBaseEntry> EditRow(const QString& caption, const QString& value, const QString& format,
                                    int max) {
    auto row = std::make_unique<CEditEntry>();
    row->m_Caption = caption;
    row->m_Value = value;
    row->m_Help = value;
    row->m_AssignmentFormat = format;
    row->m_Max = max;
    row->FormatAssignment(value);
    return row;
}

std::unique_ptr<CBaseEntry> ChoiceRow(const QString& caption, const QString& help, bool marked, bool editable,
                                      const QString& format = QString(), const QString& value = QString()) {
    auto row = std::make_unique<CSelectEntry>();
    row->m_Caption = caption;
    row->m_Help = help;
    row->m_Value = value;
    row->m_Mark = marked ? 1 : 0;
    row->m_Editable = editable ? 1 : 0;
    row->m_AssignmentFormat = format;
    if (!format.isEmpty())
        row->FormatAssignment(marked ? QStringLiteral("1") : QStringLiteral("0"));
    return row;
}

} // namespace

QString CSpecSheetPages::T(qint32 textId, const char* fallback) const {
    return m_texts ? m_texts(textId, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

const CSpecSheetPages::Page* CSpecSheetPages::FindPage(Role role) const {
    for (const Page& p : pages) {
        if (p.role == role)
            return &p;
    }
    return nullptr;
}

bool CSpecSheetPages::Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 specId, const Texts& texts) {
    m_texts = texts;
    pages.clear();
    id = specId;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(specId)) || !db.HasRow())
        return false;
    name = Text(db, "Name");
    const qint32 standard = Long(db, "StandardID");
    const qint32 classId = Long(db, "ClassID");
    const qint32 typId = Long(db, "TypID");
    const qint32 nominalPower = Long(db, "NominalPower");
    const qint32 review = Long(db, "ReviewPeriod");
    const qint32 method = Long(db, "MeasMethodeID");
    const qint32 sequence = Long(db, "TestSequenceID");
    const QString parameter = Text(db, "Parameter");
    const QString icon = Text(db, "IconSymbol");
    double cord = 0;
    if (!db.IsNull(QStringLiteral("CordLength")))
        db.GetDouble(QStringLiteral("CordLength"), cord);
    int partsUsed = 0;
    if (!db.IsNull(QStringLiteral("PartsUsed")))
        db.GetBool(QStringLiteral("PartsUsed"), partsUsed);
    QDateTime created;
    if (!db.IsNull(QStringLiteral("CreateDate")))
        db.GetDate(QStringLiteral("CreateDate"), created);
    const QString createdText = created.isValid() ? LocaleFormat::ShortDate(created.date()) : QString();
    const qint32 flags[] = {
        Long(db, "AllPe"),           Long(db, "PhaseReverseEnable"), Long(db, "VoltageAccessiblePart"),
        Long(db, "VoltageSignalIO"), Long(db, "FunctionEarth"),      Long(db, "IsoMeas"),
        Long(db, "MainsSeparation")};
    const qint32 powerPhase = Long(db, "PowerPhase");
    const qint32 warning = Long(db, "WarningNotice");
    const bool stepEditor = parameter.compare(QLatin1String("TestStepEditor"), Qt::CaseInsensitive) == 0;

    Page general{Role::General, T(10000, "General"), false, {}};
    general.rows.push_back(ReadOnlyRow(T(19, "Test specification"), name));
    general.rows.push_back(ReadOnlyRow(T(10002, "Standard"), standard ? T(standard) : QString()));
    general.rows.push_back(EditRow(T(10003, "Manufacturer"), Text(db, "Manufacturer"),
                                   QStringLiteral("Manufacturer = '%s'"), 20));
    general.rows.push_back(ReadOnlyRow(T(10004, "Protection class"), classId ? T(classId) : QString()));
    general.rows.push_back(
        EditRow(T(10005, "Description"), Text(db, "Description"), QStringLiteral("Description = '%s'"), 20));
    general.rows.push_back(ReadOnlyRow(T(10006, "Device type"), typId ? T(typId) : QString()));
    auto interval =
        EditRow(T(10014, "Test interval"), QString::number(review), QStringLiteral("ReviewPeriod = %d"), 3);
    static_cast<CEditEntry&>(*interval).m_Min = 1; // 1 to 999 months
    general.rows.push_back(std::move(interval));
    general.rows.push_back(ReadOnlyRow(T(10015, "Last change"), createdText));
    general.rows.push_back(ReadOnlyRow(T(32207, "Creation date"), createdText));
    pages.push_back(std::move(general));

    if (standard == 6600) {
        Page loop{Role::LoopImpedance, T(11000, "Loop impedance"), false, {}};
        loop.rows.push_back(ReadOnlyRow(
            T(11001, "Max. loop impedance"),
            FormatText(QStringLiteral("%s [m%s]"), LocaleFormat::Number(cord, 1), QString(QChar(0x03A9))),
            T(11002)));
        loop.rows.push_back(ReadOnlyRow(T(11003, "Tripping current"),
                                        FormatText(QStringLiteral("%d [A]"), nominalPower), T(11004)));
        loop.rows.push_back(ReadOnlyRow(QString(), T(11005)));
        pages.push_back(std::move(loop));
    }

    static const QList<qint32> kMethodsWithPage = {10501, 10503, 10505, 10513, 10518};
    if (!stepEditor && standard != 6000 &&
        (standard == 6400 || standard == 6800 || kMethodsWithPage.contains(method)) && method != 0) {
        Page m{Role::MeasuringMethod, T(10500, "Measuring method"), true, {}};
        m.rows.push_back(ChoiceRow(T(method), T(method + 1), true, false));
        pages.push_back(std::move(m));
    }

    if (partsUsed) {
        Page parts{Role::AppliedParts, T(10300, "Applied parts"), false, {}};
        if (db.OpenQuery(QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1 ORDER BY GroupNo")
                             .arg(specId))) {
            for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
                const QString part = FormatText(QStringLiteral("%s %d, %s"), T(10312, "Group"),
                                                Long(db, "GroupNo"), T(Long(db, "AppliedPartID")));
                parts.rows.push_back(
                    ReadOnlyRow(part, FormatText(QStringLiteral("%s: %s"), T(10310, "Lead"),
                                                 SheetJackList(quint32(Long(db, "Jacks"))))));
            }
        }
        pages.push_back(std::move(parts));
    }

    if (!stepEditor && typId != 0 &&
        ref.OpenQuery(
            QStringLiteral(
                "SELECT * FROM ClassIDTypIDRefTab WHERE ClassID = %1 AND StandardID = %2 ORDER BY TypID")
                .arg(classId)
                .arg(standard)) &&
        ref.HasRow()) {
        Page types{Role::Classification, T(10100, "Classification"), true, {}};
        for (bool ok = ref.MoveFirst(); ok && ref.HasRow(); ok = ref.MoveNext()) {
            const qint32 type = Long(ref, "TypID");
            QString value;
            if (type == typId && (type == 5060 || type == 5254 || type == 6256))
                value = FormatText(QStringLiteral("%d KW"), nominalPower);
            types.rows.push_back(ChoiceRow(T(type), T(type + 1), type == typId, false, QString(), value));
        }
        pages.push_back(std::move(types));
    }

    if (cord != 0 && typId < 6600) {
        // The protective conductor's limit as the cord length sets it: 0.3 ohm up to 5 m,
        // 0.1 ohm more for each further 7.5 m begun, 1 ohm at most.
        double limit = 0.3;
        if (cord > 5)
            limit += 0.1 * std::ceil((cord - 5) / 7.5);
        limit = std::min(limit, 1.0);
        Page c{Role::Cord, T(10200, "Mains cord"), false, {}};
        c.rows.push_back(ReadOnlyRow(T(10201, "Cord length"),
                                     FormatText(QStringLiteral("%s m"), LocaleFormat::Number(cord, 1)),
                                     T(10202)));
        c.rows.push_back(ReadOnlyRow(
            T(10203, "Protective conductor limit"),
            FormatText(QStringLiteral("%s %s"), LocaleFormat::Number(limit, 2), QString(QChar(0x03A9))),
            T(10204)));
        pages.push_back(std::move(c));
    }

    if (!icon.startsWith(QLatin1String("IDB_LEITUNG"), Qt::CaseInsensitive)) {
        Page p{Role::Protective, T(10400, "Protective measures"), false, {}};
        const qint32 captions[][2] = {{10401, 10402}, {10424, 10425}, {10427, 10428}, {10420, 10421},
                                      {10418, 10419}, {10405, 10406}, {10407, 10408}};
        for (size_t i = 0; i < std::size(captions); ++i)
            p.rows.push_back(ChoiceRow(T(captions[i][0]), T(captions[i][1]), flags[i] != 0, false));
        p.rows.push_back(ChoiceRow(T(10607, "Test with mains voltage"), T(10608), powerPhase != 0, true,
                                   QStringLiteral("PowerPhase = %d")));
        p.rows.push_back(ChoiceRow(T(10403, "Warning notice"), T(10404), warning != 0, true,
                                   QStringLiteral("WarningNotice = %d")));
        pages.push_back(std::move(p));
    }

    if (sequence != 0) {
        Page s{Role::Sequence, T(10600, "Test sequence"), true, {}};
        for (const qint32 choice : {10601, 10603, 10605})
            s.rows.push_back(ChoiceRow(T(choice), T(choice + 1), sequence == choice, true,
                                       QStringLiteral("TestSequenceID = %1").arg(choice)));
        pages.push_back(std::move(s));
    }
    db.CloseRecordset();
    ref.CloseRecordset();
    m_version = RowVersion::Read(db, QStringLiteral("TypenTab"), id);
    return true;
}

QString CSpecSheetPages::SaveStatement() const {
    QString sql = QStringLiteral("UPDATE TypenTab SET ");
    for (const Page& page : pages) {
        if (page.role != Role::General && page.role != Role::Protective && page.role != Role::Sequence)
            continue;
        for (const auto& row : page.rows) {
            if (!row->m_Editable || row->m_Assignment.isEmpty())
                continue;
            if (page.role == Role::Sequence && !row->m_Mark)
                continue;
            sql += row->m_Assignment + QLatin1Char(',');
        }
    }
    return sql + QStringLiteral("CreateDate = Now() WHERE id = %1").arg(id);
}

CSpecSheetPages::SaveResult CSpecSheetPages::Save(CAdoDatabase& db) {
    m_message.clear();
    CTransaction transaction(db);
    if (!transaction.IsActive())
        return SaveResult::DatabaseError;
    if (RowVersion::Read(db, QStringLiteral("TypenTab"), id, true) != m_version) {
        m_message = T(RowVersion::kChangedElsewhere,
                      "This record was changed on another workstation after you opened it. Your "
                      "changes were not saved. Reload it?");
        return SaveResult::ChangedElsewhere;
    }
    if (!db.Execute(SaveStatement()) || !transaction.Commit())
        return SaveResult::DatabaseError;
    m_version = RowVersion::Read(db, QStringLiteral("TypenTab"), id);
    return SaveResult::Saved;
}
