#include "views/FilterModel.h"

#include "platform/Notifier.h"
#include "store/AdoDatabase.h"

#include <QDate>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

using QueryBuilder::CFilterCondition;

constexpr const char* kEq = " WHERE ";
constexpr const char* kDate = " WHERE   ";
constexpr const char* kValue = " WHERE    ";
constexpr const char* kSearch = " LIKE ";
constexpr const char* kPattern = " LIKE   ";
constexpr const char* kSort = " ORDER BY ";

struct FieldDef {
    qint32 captionId;
    const char* caption;
    qint32 promptId;
    const char* prompt;
    qint32 notSpecifiedId; // 0: the fixed text only
    const char* notSpecified;
    const char* column;
    int type;
    const char* kind;
    const char* op;
    ValueList list;
};

// Device protocols ("GERAETE").
const FieldDef kProtocolFields[] = {
    {32605, "Selection on standard", 32606, "Selection on standard name", 0, "Norm not specified",
     "TypenTab.StandardID", 1, kEq, "", ValueList::TextId},
    {32639, "Test specifications", 32640, "Selection of available test specifications", 0,
     "Norm not specified", "GeraeteTab.SpecificationName", 1, kPattern, "", ValueList::Text},
    {32607, "Test specification, Search for:", 32608, "Enter name of the test specification", 0,
     "Name Not Found", "GeraeteTab.SpecificationName", 2, kSearch, "", ValueList::None},
    {32609, "Description, Search for:", 32610, "Enter the description", 0, "Description Not Found",
     "GeraeteTab.Description", 2, kSearch, "", ValueList::None},
    {32611, "Manufacturer, Search for:", 32612, "Enter the manufacturer", 0, "Manufact. Not Found",
     "GeraeteTab.Manufacturer", 2, kSearch, "", ValueList::None},
    {32660, "Device ID, Search for:", 32661, "Enter the device ID", 0, "Device not specified",
     "GeraeteTab.Device", 2, kSearch, "", ValueList::None},
    {32662, "Device ID", 32663, "Selection of the available device protocols", 0, "Device not specified",
     "GeraeteTab.Device", 1, kPattern, "", ValueList::Text},
    {32664, "Test engineers", 32665, "Selection of test engineers", 0, "Operator not specified",
     "GeraeteTab.Operator", 1, kPattern, "", ValueList::Text},
    {32666, "Serial number, Search for:", 32667, "Enter the serial number", 0, "Serial Not Found",
     "GeraeteTab.Serial", 2, kSearch, "", ValueList::None},
    {32668, "Building, Search for:", 32669, "Enter the building", 0, "Location Not Found",
     "GeraeteTab.Location", 2, kSearch, "", ValueList::None},
    {32670, "Department, Search for:", 32671, "Enter the department", 0, "Location Not Found",
     "GeraeteTab.Department", 2, kSearch, "", ValueList::None},
    {32804, "Room, Search for:", 32805, "Enter the room", 0, "Room not Found", "GeraeteTab.Room", 2, kSearch,
     "", ValueList::None},
    {32672, "Test costs, Search for:", 32673, "Enter the test costs", 0, "Costs Not Found",
     "GeraeteTab.Costs", 2, kSearch, "", ValueList::None},
    {32674, "Comment: Search for:", 32675, "Enter the comment", 0, "Comment Not Found", "GeraeteTab.Comment",
     2, kSearch, "", ValueList::None},
    {32676, "Test result", 32677, "Selection of test results", 0, "TestResult not specified",
     "GeraeteTab.TestResultID", 1, kEq, "", ValueList::TextId},
    {32678, "Client", 32679, "Selection of the available Clients", 0, "Client not specified",
     "GeraeteTab.Client", 1, kPattern, "", ValueList::Text},
    {32641, "Client: Search for:", 32642, "Enter client", 0, "Client not specified", "GeraeteTab.Client", 2,
     kSearch, "", ValueList::None},
    {32650, "Circular test data flow", 32651, "Selection Import, Export, Both, Nor", 0,
     "ExportImport Sequence not specified", "GeraeteTab.ExportImport", 1, kEq, "", ValueList::ImportExport},
    {32696, "Test date (1), Enter latest test", 32697, "Define the logical operator", 0,
     "Latest test date 1 not found", "GeraeteTab.TestDate", 4, kDate, ">", ValueList::None},
    {32698, "Test date (2), Enter latest test", 32699, "Define the logical operator", 0,
     "Latest test date 2 not found", "GeraeteTab.TestDate", 4, kDate, ">", ValueList::None},
    {32684, "Test date (2), Enter first test", 32685, "Define the logical operator", 0, "Date Not Found",
     "GeraeteTab.NextTestDate", 4, kDate, ">", ValueList::None},
    {32686, "Test date (2), Enter next review", 32687, "Define the logical operator", 0, "Date Not Found",
     "GeraeteTab.NextTestDate", 4, kDate, "<", ValueList::None},
    {32692, "Test date (1), Enter first test", 32693, "Define the logical operator", 0, "Date Not Found",
     "GeraeteTab.FirstTestDate", 4, kDate, ">", ValueList::None},
    {32694, "Test date (2), Enter first test", 32695, "Define the logical operator", 0, "Date Not Found",
     "GeraeteTab.FirstTestDate", 4, kDate, "<", ValueList::None},
    {32621, "Device", 32622, "Device not defined", 0, "Auswahl der Geraeteart", "TypenTab.TypID", 1, kEq, "",
     ValueList::TextId},
    {32635, "Sort colum by priority", 32636, "priority", 0, "Sort not Found", "", 1, kSort, "",
     ValueList::Sort},
};

// Test specifications ("TYPE"): the bare TypenTab columns.
const FieldDef kSpecificationFields[] = {
    {32605, "Selection on standard", 32606, "Selection on standard name", 0, "Norm not specified",
     "StandardID", 1, kEq, "", ValueList::TextId},
    {32607, "Test specification, Search for:", 32608, "Enter name of the test specification", 0,
     "Name Not Found", "Name", 2, kSearch, "", ValueList::None},
    {32609, "Description, Search for:", 32610, "Enter the description", 0, "Description Not Found",
     "Description", 2, kSearch, "", ValueList::None},
    {32611, "Manufacturer, Search for:", 32612, "Enter the manufacturer", 0, "Manufact. Not Found",
     "Manufacturer", 2, kSearch, "", ValueList::None},
    {32613, "All conductive parts at PE", 32614, "Selection all conductive parts at PE", 0,
     "AllPe not specified", "AllPe", 1, kEq, "", ValueList::YesNo},
    {32615, "Insulation measurement", 32616, "Selection Insulation measurement active, not active", 0,
     "IsoMeas not specified", "IsoMeas", 1, kEq, "", ValueList::YesNo},
    {32617, "Measurement", 32618, "Select the method of measurement", 32784, "No methode defined",
     "MeasMethodeID", 1, kEq, "", ValueList::TextId},
    {32619, "Test sequence", 32620, "Select the test sequence", 32795, "Without electr. test steps",
     "TestSequenceID", 1, kEq, "", ValueList::TextId},
    {32623, "Warning notice ", 32624, "Select warning notice active, not active", 0,
     "Warning Sequence not specified", "WarningNotice", 1, kEq, "", ValueList::YesNo},
    {32625, "Applied part", 32626, "Selection applied part active, not active", 0,
     "PartsUsed Sequence not specified", "PartsUsed", 1, kEq, "", ValueList::YesNo},
    {32652, "Connecting lead", 32653, "List the cordlength of the items", 0, "Cordlength not specified",
     "CordLength", 1, kValue, "=", ValueList::Float},
    {32650, "Circular test data flow", 32651, "Selection Import, Export, Both, Nor", 0,
     "ExportImport Sequence not specified", "ExportImport", 1, kEq, "", ValueList::ImportExport},
    {32627, "Review period in months (1), Search for:", 32628, "Define the logical operator", 0,
     "RevPeriod Sequence not specified", "ReviewPeriod", 3, kValue, ">=", ValueList::None},
    {32647, "Review period in months (2), Search for:", 32648, "Define the logical operator", 0,
     "RevPeriod Sequence not specified", "ReviewPeriod", 3, kValue, "<=", ValueList::None},
    {32643, "Review period in months (1)", 32644, "Define the logical operator", 0,
     "RevPeriod Sequence not specified", "ReviewPeriod", 1, kValue, ">=", ValueList::Integer},
    {32645, "Review period in months (2)", 32646, "Define the logical operator", 0,
     "RevPeriod Sequence not specified", "ReviewPeriod", 1, kValue, "<=", ValueList::Integer},
    {32637, "Date of test specification (1), Search for:", 32638, "Define the logical operator", 0,
     "Date Not Found", "CreateDate", 4, kDate, ">=", ValueList::None},
    {32633, "Date of test specification (2), Search for:", 32634, "Define the logical operator", 0,
     "Date Not Found", "CreateDate", 4, kDate, "<=", ValueList::None},
    {32621, "Device", 32622, "Device not defined", 0, "Auswahl der Geraeteart", "TypID", 1, kEq, "",
     ValueList::TextId},
    {32635, "Sort colum by priority", 32636, "priority", 0, "Sort not Found", "", 1, kSort, "",
     ValueList::Sort},
};

struct SortDef {
    qint32 textId;
    const char* text;
    const char* column;
};

const SortDef kProtocolSorts[] = {
    {32700, "Test standard", "TypenTab.StandardID"},
    {32701, "Name of test specification", "GeraeteTab.SpecificationName"},
    {32702, "Manufacturer", "GeraeteTab.Manufacturer"},
    {32703, "Description", "GeraeteTab.Description"},
    {32706, "Connecting lead", "TypenTab.CordLength"},
    {32708, "Test engineer", "GeraeteTab.Operator"},
    {32709, "Serial number", "GeraeteTab.Serial"},
    {32711, "Room", "GeraeteTab.Room"},
    {32712, "Department", "GeraeteTab.Department"},
    {32713, "Test cost", "GeraeteTab.Costs"},
    {32714, "Comment", "GeraeteTab.Comment"},
    {32715, "Client", "GeraeteTab.Client"},
    {32716, "First test", "GeraeteTab.FirstTestDate"},
    {32717, "Next review", "GeraeteTab.NextTestDate"},
    {32719, "Device ID", "GeraeteTab.Device"},
    {32718, "Latest test", "GeraeteTab.TestDate"},
};

const SortDef kSpecificationSorts[] = {
    {32700, "Test standard", "StandardID"},
    {32701, "Name of test specification", "Name"},
    {32702, "Manufacturer", "Manufacturer"},
    {32703, "Description", "Description"},
    {32704, "Date", "CreateDate"},
    {32705, "Review period", "ReviewPeriod"},
    {32706, "Connecting lead", "CordLength"},
};

// What ExportImport holds: an import writes 2, a send or XML export sets bit 0.
struct ImportExportChoice {
    qint32 textId;
    const char* text;
    const char* value;
};
const ImportExportChoice kImportExport[] = {
    {32806, "Import", "2"},
    {32807, "Export", "1"},
    {32793, "Im-/Export", "3"},
    {32794, "No Im-/Export", "0"},
};

QString StripMark(const QString& display) {
    return display.startsWith(CFilterModel::kMark) ? display.mid(CFilterModel::kMark.size()) : display;
}

// A number as the number field takes it: the user's locale or the decimal point.
std::optional<QString> SqlNumber(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const qlonglong whole = t.toLongLong(&ok);
    if (ok)
        return QString::number(whole);
    double d = QLocale::c().toDouble(t, &ok);
    if (!ok)
        d = QLocale::system().toDouble(t, &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return QString::number(d, 'g', 15);
}

bool IsDate(const QString& text) {
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd")).isValid();
}

} // namespace

const QString CFilterModel::kNoEntry = QString(36, QLatin1Char('-'));
const QString CFilterModel::kMark = QStringLiteral("<MARK>");

const QStringList& CFilterModel::Operators() {
    static const QStringList ops{QStringLiteral("<"), QStringLiteral("="), QStringLiteral(">"),
                                 QStringLiteral("<="), QStringLiteral(">=")};
    return ops;
}

bool CTextItem::HasOperator() const {
    const QueryBuilder::KindGroup group = QueryBuilder::GroupOf(kind);
    return group == QueryBuilder::KindGroup::DateComparison ||
           group == QueryBuilder::KindGroup::ValueComparison;
}

CFilterModel::CFilterModel(const QString& key, const QString& baseQuery, TextLookup text,
                           const QString& databaseFile, const QString& dataFolder)
    : m_key(key), m_baseQuery(baseQuery), m_text(std::move(text)), m_databaseFile(databaseFile),
      m_dataFolder(dataFolder) {
    BuildFields();
}

QString CFilterModel::Text(qint32 id, const QString& fallback) const {
    QString text;
    if (id != 0 && m_text && m_text(id, text) && !text.isEmpty())
        return text;
    return fallback;
}

void CFilterModel::BuildFields() {
    const bool protocols = m_key.compare(QLatin1String("GERAETE"), Qt::CaseInsensitive) == 0;
    const bool specs = m_key.compare(QLatin1String("TYPE"), Qt::CaseInsensitive) == 0;
    if (!protocols && !specs)
        return; // no table: the dialog says so when a list is asked for
    const FieldDef* defs = protocols ? kProtocolFields : kSpecificationFields;
    const size_t count = protocols ? std::size(kProtocolFields) : std::size(kSpecificationFields);
    for (size_t i = 0; i < count; ++i) {
        const FieldDef& d = defs[i];
        CTextItem item;
        item.row = int(i) + 1;
        item.caption = Text(d.captionId, QString::fromUtf8(d.caption));
        item.prompt = Text(d.promptId, QString::fromUtf8(d.prompt));
        item.notSpecified = Text(d.notSpecifiedId, QString::fromUtf8(d.notSpecified));
        item.column = QString::fromUtf8(d.column);
        item.displayColumn = item.column.section(QLatin1Char('.'), -1);
        item.table = item.column.contains(QLatin1Char('.')) ? item.column.section(QLatin1Char('.'), 0, 0)
                                                            : QStringLiteral("TypenTab");
        item.kind = QString::fromUtf8(d.kind);
        item.inputType = d.type;
        item.defaultOperator = QString::fromUtf8(d.op);
        item.valueList = d.list;
        if (d.list != ValueList::Sort)
            m_conditionFields << int(i);
        m_fields.push_back(std::move(item));
    }
    m_notUsed = Text(32780, QStringLiteral("Not Used"));
    const SortDef* sorts = protocols ? kProtocolSorts : kSpecificationSorts;
    const size_t sortCount = protocols ? std::size(kProtocolSorts) : std::size(kSpecificationSorts);
    for (size_t i = 0; i < sortCount; ++i)
        m_sortColumns.append(
            {Text(sorts[i].textId, QString::fromUtf8(sorts[i].text)), QString::fromUtf8(sorts[i].column)});
    // The sort row's choices are the sort columns.
    for (CTextItem& item : m_fields) {
        if (item.valueList != ValueList::Sort)
            continue;
        for (const auto& [display, column] : m_sortColumns) {
            item.displays << display;
            item.values << column;
        }
        item.filled = true;
    }
}

int CFilterModel::FindField(const QString& caption) const {
    int found = -1;
    for (int index : m_conditionFields) {
        if (m_fields[size_t(index)].caption != caption)
            continue;
        if (found >= 0)
            return -2;
        found = index;
    }
    return found;
}

int CFilterModel::FieldOfRow(int row) const {
    for (int index : m_conditionFields)
        if (m_fields[size_t(index)].row == row)
            return index;
    return -1;
}

QStringList CFilterModel::SortTexts() const {
    QStringList texts{m_notUsed};
    for (const auto& s : m_sortColumns)
        texts << s.first;
    return texts;
}

QString CFilterModel::SortColumnOf(const QString& display) const {
    for (const auto& s : m_sortColumns)
        if (s.first == display)
            return s.second;
    return QString();
}

QString CFilterModel::SortTextOf(const QString& column) const {
    for (const auto& s : m_sortColumns)
        if (s.second.compare(column, Qt::CaseInsensitive) == 0)
            return s.first;
    return QString();
}

QString CFilterModel::OperatorText(const QString& op) const {
    const qsizetype i = Operators().indexOf(op);
    return i < 0 ? op : Text(32786 + qint32(i), op);
}

bool CFilterModel::FillChoices(int field) {
    if (m_fields.empty()) {
        Notifier().ShowMessage(QStringLiteral("CFilterDlg::InitCombo  Err_B No Items Found to select"),
                               QString(), CNotifier::Icon::Error);
        return false;
    }
    if (field < 0 || size_t(field) >= m_fields.size())
        return false;
    CTextItem& item = m_fields[size_t(field)];
    if (item.inputType != 1)
        return true;
    if (!item.filled) {
        item.filled = true;
        QSet<QString> shown; // case-folded display texts
        auto add = [&item, &shown](const QString& display, const QString& value) {
            // A text shown already is kept hidden, so that choosing it selects every value.
            const QString folded = display.toCaseFolded();
            const bool seen = shown.contains(folded);
            if (!seen)
                shown.insert(folded);
            item.displays << (seen ? kMark + display : display);
            item.values << value;
        };
        if (item.valueList == ValueList::ImportExport) {
            for (const ImportExportChoice& c : kImportExport)
                add(Text(c.textId, QString::fromUtf8(c.text)), QString::fromUtf8(c.value));
        } else {
            CAdoDatabase db;
            const QString sql = QStringLiteral("SELECT %1 FROM %2 GROUP BY %1").arg(item.column, item.table);
            if (db.Open(m_dataFolder, m_databaseFile) && db.OpenQuery(sql)) {
                const QString name = item.displayColumn;
                for (bool more = db.MoveFirst(); more && db.HasRow(); more = db.MoveNext()) {
                    if (db.IsNull(name))
                        continue; // no value to compare with
                    switch (item.valueList) {
                    case ValueList::TextId: {
                        qint32 id = 0;
                        if (db.GetLong(name, id))
                            add(Text(id, item.notSpecified), QString::number(id));
                        break;
                    }
                    case ValueList::Integer: {
                        qint32 n = 0;
                        if (db.GetLong(name, n))
                            add(QString::number(n), QString::number(n));
                        break;
                    }
                    case ValueList::Float: {
                        double d = 0;
                        if (db.GetDouble(name, d)) {
                            const QString text = QString::asprintf("%.4f", d);
                            add(text, text);
                        }
                        break;
                    }
                    case ValueList::YesNo: {
                        // Older records hold 1 where the program writes -1: every non-zero
                        // value is "Active".
                        qint32 n = 0;
                        int flag = 0;
                        bool read = db.GetLong(name, n);
                        if (!read && db.GetBool(name, flag)) { // a YESNO column
                            n = flag;
                            read = true;
                        }
                        if (read)
                            add(n != 0 ? Text(32782, QStringLiteral("Active"))
                                       : Text(32781, QStringLiteral("Not Active")),
                                QString::number(n));
                        break;
                    }
                    default: {
                        QString s;
                        if (db.GetString(name, s) && !s.isEmpty())
                            add(s, s);
                        break;
                    }
                    }
                }
                db.CloseRecordset();
            }
        }
    }
    if (item.values.isEmpty()) {
        Notifier().ShowMessage(QStringLiteral("CFilterDlg::InitCombo Err_A No Items Found to select"),
                               QString(), CNotifier::Icon::Error);
        return false;
    }
    return true;
}

QStringList CFilterModel::VisibleChoices(int field) {
    QStringList out;
    if (field < 0 || size_t(field) >= m_fields.size())
        return out;
    const CTextItem& item = m_fields[size_t(field)];
    if (!item.filled)
        FillChoices(field);
    for (const QString& d : item.displays)
        if (!d.startsWith(kMark))
            out << d;
    return out;
}

bool CFilterModel::ValueValid(int field, const QString& text) {
    if (field < 0 || size_t(field) >= m_fields.size())
        return false;
    switch (m_fields[size_t(field)].inputType) {
    case 1: {
        const QStringList choices = VisibleChoices(field);
        return std::any_of(choices.cbegin(), choices.cend(),
                           [&](const QString& c) { return c.compare(text, Qt::CaseInsensitive) == 0; });
    }
    case 3:
        return SqlNumber(text).has_value();
    case 4:
        return IsDate(text);
    default:
        return true;
    }
}

void CFilterModel::SetField(int slot, int field) {
    CFilterSlot& s = m_slots[size_t(slot)];
    s.field = field;
    s.value.clear();
    s.op = field >= 0 && m_fields[size_t(field)].HasOperator() ? m_fields[size_t(field)].defaultOperator
                                                               : QString();
}

bool CFilterModel::ClearAll() {
    if (!m_filterOn)
        return false;
    m_slots = {};
    m_sorts = {};
    return true;
}

std::optional<QueryBuilder::CFilterCondition> CFilterModel::ConditionFor(int field, const QString& value,
                                                                         const QString& op) {
    if (field < 0 || size_t(field) >= m_fields.size())
        return std::nullopt;
    CTextItem& item = m_fields[size_t(field)];
    if (item.valueList == ValueList::Sort)
        return std::nullopt;
    CFilterCondition c;
    c.column = item.column;
    c.kind = item.kind;
    c.op = item.HasOperator() ? op : QString();
    switch (item.inputType) {
    case 1: {
        if (value.isEmpty() || value == kNoEntry || !FillChoices(field))
            return std::nullopt;
        // Every value whose text equals the chosen one, the hidden duplicates included.
        for (int i = 0; i < item.displays.size(); ++i)
            if (StripMark(item.displays[i]).compare(value, Qt::CaseInsensitive) == 0)
                c.values << item.values[i];
        if (c.values.isEmpty())
            return std::nullopt;
        c.typedText = c.values.first();
        break;
    }
    case 2:
        c.typedText = value;
        break;
    case 3: {
        const auto number = SqlNumber(value);
        if (!number)
            return std::nullopt;
        c.values << *number;
        break;
    }
    case 4:
        if (!IsDate(value))
            return std::nullopt;
        c.values << value.trimmed();
        break;
    default:
        return std::nullopt;
    }
    if (!QueryBuilder::BuildFragment(c))
        return std::nullopt;
    return c;
}

std::optional<QueryBuilder::CFilterCondition> CFilterModel::ConditionOf(int slot) {
    const CFilterSlot& s = m_slots[size_t(slot)];
    return ConditionFor(s.field, s.value, s.op);
}

void CFilterModel::Restore(int filterOn, const QString& query, const QStringList& list1,
                           const QStringList& list2, const QStringList& list3) {
    m_filterOn = filterOn != 0;
    m_slots = {};
    m_sorts = {};
    auto at = [](const QStringList& list, int i) { return i < list.size() ? list[i] : QString(); };
    for (int slot = 0; slot < kConditions; ++slot) {
        const QString caption = at(list1, slot);
        if (caption.isEmpty())
            continue;
        QList<int> candidates;
        for (int index : m_conditionFields)
            if (m_fields[size_t(index)].caption == caption)
                candidates << index;
        if (candidates.isEmpty())
            continue;
        int field = candidates.first();
        // Two fields may share a caption in a language; the stored statement tells which.
        if (candidates.size() > 1) {
            for (int candidate : candidates) {
                const auto c = ConditionFor(candidate, at(list2, slot), at(list3, slot));
                const auto f = c ? QueryBuilder::BuildFragment(*c) : std::nullopt;
                if (f && query.contains(f->text)) {
                    field = candidate;
                    break;
                }
            }
        }
        CFilterSlot& s = m_slots[size_t(slot)];
        s.field = field;
        s.value = at(list2, slot);
        s.op = m_fields[size_t(field)].HasOperator()
                   ? (Operators().contains(at(list3, slot)) ? at(list3, slot)
                                                            : m_fields[size_t(field)].defaultOperator)
                   : QString();
    }
    for (int priority = 0; priority < kSorts; ++priority) {
        const QString column = at(list1, kConditions + priority);
        if (!column.isEmpty() && !SortTextOf(column).isEmpty())
            m_sorts[size_t(priority)] = column;
    }
}

CFilterModel::Result CFilterModel::Apply() {
    Result r;
    for (int i = 0; i < kEntries; ++i) {
        r.list1 << QString();
        r.list2 << QString();
        r.list3 << QString();
    }
    std::vector<QueryBuilder::CFilterCondition> conditions;
    for (int slot = 0; slot < kConditions; ++slot) {
        auto c = ConditionOf(slot);
        if (!c)
            continue;
        conditions.push_back(*c);
        const CFilterSlot& s = m_slots[size_t(slot)];
        r.list1[slot] = m_fields[size_t(s.field)].caption;
        r.list2[slot] = s.value;
        r.list3[slot] = c->op;
    }
    for (int priority = 0; priority < kSorts; ++priority) {
        if (m_sorts[size_t(priority)].isEmpty())
            continue;
        r.list1[kConditions + priority] = m_sorts[size_t(priority)];
        r.list2[kConditions + priority] = QueryBuilder::kSort;
    }
    r.query = QueryBuilder::BuildStatement(m_baseQuery, conditions, m_sorts[0], m_sorts[1]);
    r.filterOn = m_filterOn ? -1 : 0;
    return r;
}
