// The two data directories from a shell: list, filter, delete and select as current, over
// the same records and filter model as the program's lists and filter dialog.
#include "cli/Commands.h"

#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "store/UserSchema.h"
#include "store/UserSetUpDetails.h"
#include "store/UserSetUpInfo.h"
#include "views/DirectoryRecords.h"
#include "views/FilterModel.h"

#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace Cli {
namespace {

using DirectoryRecords::Kind;

void Out(const QStringList& fields) {
    std::printf("%s\n", fields.join(QLatin1Char('\t')).toUtf8().constData());
}

bool ParseDirectoryKind(const QString& command, const QString& text, Kind& kind) {
    if (text == QLatin1String("specs"))
        kind = Kind::Specifications;
    else if (text == QLatin1String("protocols"))
        kind = Kind::Protocols;
    else {
        Err(QStringLiteral("%1: --kind takes specs or protocols, not '%2'").arg(command, text));
        return false;
    }
    return true;
}

bool ParseId(const QString& command, const QString& option, const QString& text, qint32& id) {
    bool ok = false;
    id = text.toInt(&ok);
    if (!ok || id <= 0) {
        Err(QStringLiteral("%1: %2 takes a record id, not '%3'").arg(command, option, text));
        return false;
    }
    return true;
}

bool OpenUserDatabase(const GlobalOptions& options, const QString& command, CAdoDatabase& db) {
    const QString folder = DataFolder(options);
    if (!QFileInfo::exists(folder + QLatin1Char('/') + UserSchema::FileName())) {
        Err(QStringLiteral("%1: there is no user database in %2").arg(command, folder));
        return false;
    }
    return db.Open(folder, UserSchema::FileName());
}

// The catalogue in the command's language, shared by the lookups below.
struct Texts {
    explicit Texts(const GlobalOptions& options) : language(Language(options)) { catalog->Open(); }
    DirectoryRecords::TextLookup Lookup() const {
        auto c = catalog;
        auto l = language;
        return [c, l](qint32 id) { return c->Text(id, l); };
    }
    CFilterModel::TextLookup Seek() const {
        auto c = catalog;
        auto l = language;
        return [c, l](qint32 id, QString& text) { return c->IsOpen() && c->SeekText(id, l, text); };
    }
    std::shared_ptr<CTextCatalog> catalog = std::make_shared<CTextCatalog>();
    QString language;
};

void PrintRows(const std::vector<DirectoryRecords::Row>& rows) {
    for (const DirectoryRecords::Row& row : rows)
        Out(QStringList{QString::number(row.id)} + row.cells);
}

// ---- list -------------------------------------------------------------------------------

int CmdList(const GlobalOptions& options, const QStringList& args) {
    const QString name = QStringLiteral("list");
    Kind kind = Kind::Protocols;
    bool kindGiven = false;
    qint32 historyId = 0;
    for (int i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QLatin1String("--kind") && hasValue) {
            if (!ParseDirectoryKind(name, args[++i], kind))
                return 2;
            kindGiven = true;
        } else if (args[i] == QLatin1String("--history") && hasValue) {
            if (!ParseId(name, QStringLiteral("--history"), args[++i], historyId))
                return 2;
        } else {
            Err(QStringLiteral("list: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    if (!kindGiven) {
        Err(QStringLiteral("list: --kind specs|protocols is required"));
        return 2;
    }
    if (historyId != 0 && kind != Kind::Protocols) {
        Err(QStringLiteral("list: --history belongs to device protocols"));
        return 2;
    }
    CAdoDatabase db;
    if (!OpenUserDatabase(options, name, db))
        return 1;
    const Texts texts(options);
    if (historyId != 0) {
        QString guid;
        if (!DirectoryRecords::GuidOf(db, historyId, guid)) {
            Err(QStringLiteral("list: there is no device protocol %1").arg(historyId));
            return 1;
        }
        std::vector<DirectoryRecords::Row> rows;
        if (!DirectoryRecords::LoadHistory(db, guid, texts.Lookup(), rows)) {
            Err(QStringLiteral("list: the history could not be read"));
            return 1;
        }
        PrintRows(rows);
        return 0;
    }
    // Reading only: a stored filter that no longer runs is switched off by the program.
    DirectoryRecords::ListResult result = DirectoryRecords::LoadList(
        db, kind, UserSchema::FileName(), DataFolder(options), texts.Lookup(), false);
    if (!result.ok) {
        Err(QStringLiteral("list: the records could not be read"));
        return 1;
    }
    if (result.filterSwitchedOff)
        Err(QStringLiteral("list: the stored filter no longer runs; the unfiltered list follows"));
    PrintRows(result.rows);
    return 0;
}

// ---- filter -----------------------------------------------------------------------------

struct FilterArgs {
    Kind kind = Kind::Protocols;
    bool kindGiven = false;
    struct Condition {
        QString field;
        QString value;
        QString op;
        bool valueGiven = false;
    };
    QList<Condition> conditions;
    QStringList sorts;
    bool off = false;
};

bool ParseFilter(const QStringList& args, FilterArgs& a) {
    const QString name = QStringLiteral("filter");
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--kind") && hasValue) {
            if (!ParseDirectoryKind(name, args[++i], a.kind))
                return false;
            a.kindGiven = true;
        } else if (arg == QLatin1String("--field") && hasValue) {
            a.conditions.append({args[++i], QString(), QString(), false});
        } else if (arg == QLatin1String("--value") && hasValue) {
            if (a.conditions.isEmpty() || a.conditions.last().valueGiven) {
                Err(QStringLiteral("filter: --value follows the --field it belongs to"));
                return false;
            }
            a.conditions.last().value = args[++i];
            a.conditions.last().valueGiven = true;
        } else if (arg == QLatin1String("--op") && hasValue) {
            if (a.conditions.isEmpty() || !a.conditions.last().op.isEmpty()) {
                Err(QStringLiteral("filter: --op follows the --field it belongs to"));
                return false;
            }
            a.conditions.last().op = args[++i];
            if (!CFilterModel::Operators().contains(a.conditions.last().op)) {
                Err(QStringLiteral("filter: --op takes one of %1, not '%2'")
                        .arg(CFilterModel::Operators().join(QLatin1Char(' ')), a.conditions.last().op));
                return false;
            }
        } else if (arg == QLatin1String("--sort") && hasValue) {
            a.sorts << args[++i];
        } else if (arg == QLatin1String("--off")) {
            a.off = true;
        } else {
            Err(QStringLiteral("filter: unexpected argument '%1'").arg(arg));
            return false;
        }
    }
    if (!a.kindGiven) {
        Err(QStringLiteral("filter: --kind specs|protocols is required"));
        return false;
    }
    if (a.conditions.size() > CFilterModel::kConditions) {
        Err(QStringLiteral("filter: at most %1 conditions").arg(CFilterModel::kConditions));
        return false;
    }
    if (a.sorts.size() > CFilterModel::kSorts) {
        Err(QStringLiteral("filter: at most %1 sorts").arg(CFilterModel::kSorts));
        return false;
    }
    for (const auto& c : a.conditions) {
        if (!c.valueGiven) {
            Err(QStringLiteral("filter: --field '%1' needs its --value").arg(c.field));
            return false;
        }
    }
    return true;
}

// Prints the stored flag, statement and the dialog's slots as it would restore them.
void PrintState(CFilterModel& model, int filterOn, const QString& query) {
    Out({QStringLiteral("filter"), filterOn != 0 ? QStringLiteral("on") : QStringLiteral("off")});
    Out({QStringLiteral("query"), query});
    for (int slot = 0; slot < CFilterModel::kConditions; ++slot) {
        const CFilterSlot& s = model.Condition(slot);
        if (s.field < 0)
            continue;
        const CTextItem& f = model.Field(s.field);
        Out({QStringLiteral("condition"), QString::number(slot + 1), f.caption, s.value, s.op});
    }
    for (int priority = 0; priority < CFilterModel::kSorts; ++priority)
        if (!model.Sort(priority).isEmpty())
            Out({QStringLiteral("sort"), QString::number(priority + 1),
                 model.SortTextOf(model.Sort(priority))});
}

int CmdFilter(const GlobalOptions& options, const QStringList& args) {
    FilterArgs a;
    if (!ParseFilter(args, a))
        return 2;
    CAdoDatabase db;
    if (!OpenUserDatabase(options, QStringLiteral("filter"), db))
        return 1;
    const QString folder = DataFolder(options);
    const Texts texts(options);
    const int directory = DirectoryRecords::SettingsDirectory(a.kind);
    CUserSetUpInfo info(UserSchema::FileName(), folder);
    CUserSetUpDetails details(UserSchema::FileName(), folder);
    int filterOn = 0;
    QString query;
    QStringList list1, list2, list3;
    info.GetFilter(directory, filterOn, query);
    details.LoadDetails(directory, list1, list2, list3);
    CFilterModel model(DirectoryRecords::FilterKey(a.kind), DirectoryRecords::BaseQuery(a.kind), texts.Seek(),
                       UserSchema::FileName(), folder);
    model.Restore(filterOn, query, list1, list2, list3);

    if (a.conditions.isEmpty() && a.sorts.isEmpty() && !a.off) {
        PrintState(model, filterOn, query);
        return 0;
    }
    if (a.off && a.conditions.isEmpty() && a.sorts.isEmpty()) {
        // Off keeps the statement and the dialog's lists for the next time it is switched on.
        if (!info.SetFilter(directory, 0, query)) {
            Err(QStringLiteral("filter: the view settings could not be stored"));
            return 1;
        }
    } else {
        // The options replace all five slots, as the dialog's OK does.
        model.SetFilterOn(true);
        model.ClearAll();
        for (int slot = 0; slot < a.conditions.size(); ++slot) {
            const FilterArgs::Condition& c = a.conditions[slot];
            int field = -1;
            if (c.field.startsWith(QLatin1Char('#'))) {
                bool ok = false;
                const int row = c.field.mid(1).toInt(&ok);
                field = ok ? model.FieldOfRow(row) : -1;
            } else {
                field = model.FindField(c.field);
            }
            if (field == -2) {
                Err(QStringLiteral("filter: '%1' names more than one field; give its row as #ROW")
                        .arg(c.field));
                return 2;
            }
            if (field < 0) {
                QStringList captions;
                for (int f : model.ConditionFields())
                    captions << QStringLiteral("#%1 %2").arg(model.Field(f).row).arg(model.Field(f).caption);
                Err(QStringLiteral("filter: no field '%1'; the fields are:\n  %2")
                        .arg(c.field, captions.join(QStringLiteral("\n  "))));
                return 2;
            }
            const CTextItem& item = model.Field(field);
            if (!c.op.isEmpty() && !item.HasOperator()) {
                Err(QStringLiteral("filter: '%1' takes no --op").arg(item.caption));
                return 2;
            }
            if (!model.ValueValid(field, c.value)) {
                switch (item.inputType) {
                case 3:
                    Err(QStringLiteral("filter: '%1' takes a number, not '%2'").arg(item.caption, c.value));
                    break;
                case 4:
                    Err(QStringLiteral("filter: '%1' takes a date YYYY-MM-DD, not '%2'")
                            .arg(item.caption, c.value));
                    break;
                default:
                    Err(QStringLiteral("filter: '%1' is not a choice of '%2'; the choices are: %3")
                            .arg(c.value, item.caption,
                                 model.VisibleChoices(field).join(QStringLiteral(", "))));
                }
                return 2;
            }
            model.SetField(slot, field);
            // The dialog shows a choice with the case of the list.
            QString value = c.value;
            if (item.inputType == 1)
                for (const QString& choice : model.VisibleChoices(field))
                    if (choice.compare(value, Qt::CaseInsensitive) == 0)
                        value = choice;
            model.Condition(slot).value = value;
            if (!c.op.isEmpty())
                model.Condition(slot).op = c.op;
        }
        for (int priority = 0; priority < a.sorts.size(); ++priority) {
            const QString column = model.SortColumnOf(a.sorts[priority]);
            if (column.isEmpty()) {
                Err(QStringLiteral("filter: no sort column '%1'; the columns are: %2")
                        .arg(a.sorts[priority], model.SortTexts().mid(1).join(QStringLiteral(", "))));
                return 2;
            }
            model.SetSort(priority, column);
        }
        model.SetFilterOn(!a.off);
        const CFilterModel::Result r = model.Apply();
        if (!info.SetFilter(directory, r.filterOn, r.query) ||
            !details.SaveDetails(directory, r.list1, r.list2, r.list3)) {
            Err(QStringLiteral("filter: the view settings could not be stored"));
            return 1;
        }
    }
    // The list as the directory now shows it.
    DirectoryRecords::ListResult result =
        DirectoryRecords::LoadList(db, a.kind, UserSchema::FileName(), folder, texts.Lookup());
    if (!result.ok) {
        Err(QStringLiteral("filter: the records could not be read"));
        return 1;
    }
    if (result.filterSwitchedOff) {
        Err(QStringLiteral("filter: the statement does not run; the filter is off again"));
        return 1;
    }
    PrintRows(result.rows);
    return 0;
}

// ---- delete -----------------------------------------------------------------------------

int CmdDelete(const GlobalOptions& options, const QStringList& args) {
    const QString name = QStringLiteral("delete");
    Kind kind = Kind::Protocols;
    bool kindGiven = false, history = false, yes = false;
    QList<qint32> ids;
    for (int i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QLatin1String("--kind") && hasValue) {
            if (!ParseDirectoryKind(name, args[++i], kind))
                return 2;
            kindGiven = true;
        } else if (args[i] == QLatin1String("--ids") && hasValue) {
            for (const QString& part : args[++i].split(QLatin1Char(','))) {
                qint32 id = 0;
                if (!ParseId(name, QStringLiteral("--ids"), part.trimmed(), id))
                    return 2;
                if (!ids.contains(id))
                    ids << id;
            }
        } else if (args[i] == QLatin1String("--history")) {
            history = true;
        } else if (args[i] == QLatin1String("--yes")) {
            yes = true;
        } else {
            Err(QStringLiteral("delete: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    if (!kindGiven || ids.isEmpty()) {
        Err(QStringLiteral("delete: --kind specs|protocols and --ids N[,N...] are required"));
        return 2;
    }
    if (history && kind != Kind::Protocols) {
        Err(QStringLiteral("delete: --history belongs to device protocols"));
        return 2;
    }
    CAdoDatabase db;
    if (!OpenUserDatabase(options, name, db))
        return 1;
    const bool specs = kind == Kind::Specifications;

    // What would go: the records themselves and, outside a history list, what goes with them.
    QStringList lines;
    for (qint32 id : ids) {
        QString label;
        if (!DirectoryRecords::RecordText(db, kind, id,
                                          specs ? QStringLiteral("Name") : QStringLiteral("Device"), label)) {
            Err(QStringLiteral("delete: there is no %1 %2")
                    .arg(specs ? QStringLiteral("test specification") : QStringLiteral("device protocol"))
                    .arg(id));
            return 1;
        }
        QString sql;
        if (specs) {
            lines << QStringList{QStringLiteral("spec"), QString::number(id), label}.join(QLatin1Char('\t'));
            sql = QStringLiteral("SELECT id, Device FROM GeraeteTab WHERE SpecificationName = ") +
                  SqlLiteral(label) + QStringLiteral(" ORDER BY id");
        } else if (history) {
            lines << QStringList{QStringLiteral("protocol"), QString::number(id), label}.join(
                QLatin1Char('\t'));
        } else {
            QString guid;
            DirectoryRecords::GuidOf(db, id, guid);
            sql = QStringLiteral("SELECT id, Device FROM GeraeteTab WHERE myGUID = ") + SqlLiteral(guid) +
                  QStringLiteral(" ORDER BY id");
        }
        if (sql.isEmpty())
            continue;
        if (!db.OpenQuery(sql))
            return 1;
        for (bool more = db.MoveFirst(); more && db.HasRow(); more = db.MoveNext()) {
            qint32 pid = 0;
            QString device;
            db.GetLong(QStringLiteral("id"), pid);
            db.GetString(QStringLiteral("Device"), device);
            const QString line =
                QStringList{QStringLiteral("protocol"), QString::number(pid), device}.join(QLatin1Char('\t'));
            if (!lines.contains(line))
                lines << line;
        }
        db.CloseRecordset();
    }
    if (!yes) {
        for (const QString& line : lines)
            std::printf("%s\n", line.toUtf8().constData());
        Err(QStringLiteral("delete: nothing deleted; give --yes to delete the records above"));
        return 1;
    }
    DirectoryRecords::DeleteCallbacks callbacks;
    callbacks.progress = [&](const QString& label, int done, int total) {
        std::fprintf(stderr, "%d/%d %s\n", done + 1, total, label.toLocal8Bit().constData());
    };
    const DirectoryRecords::DeleteResult r = DirectoryRecords::Delete(db, kind, ids, history, callbacks);
    if (!r.ok) {
        Err(r.failedName.isEmpty()
                ? QStringLiteral("delete: nothing was deleted")
                : QStringLiteral("delete: '%1' could not be deleted; nothing was deleted").arg(r.failedName));
        return 1;
    }
    for (const QString& line : lines)
        std::printf("%s\n", line.toUtf8().constData());
    if (r.promotedId != 0)
        Out({QStringLiteral("current"), QString::number(r.promotedId)});
    return 0;
}

// ---- current ----------------------------------------------------------------------------

int CmdCurrent(const GlobalOptions& options, const QStringList& args) {
    const QString name = QStringLiteral("current");
    qint32 id = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--id") && i + 1 < args.size()) {
            if (!ParseId(name, QStringLiteral("--id"), args[++i], id))
                return 2;
        } else {
            Err(QStringLiteral("current: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    if (id == 0) {
        Err(QStringLiteral("current: --id is required"));
        return 2;
    }
    CAdoDatabase db;
    if (!OpenUserDatabase(options, name, db))
        return 1;
    QString guid;
    if (!DirectoryRecords::GuidOf(db, id, guid)) {
        Err(QStringLiteral("current: there is no device protocol %1").arg(id));
        return 1;
    }
    if (!DirectoryRecords::SelectAsCurrent(db, id)) {
        Err(QStringLiteral("current: device protocol %1 could not be made current").arg(id));
        return 1;
    }
    // The device's history as its list now shows it, the current protocol marked.
    const Texts texts(options);
    std::vector<DirectoryRecords::Row> rows;
    DirectoryRecords::LoadHistory(db, guid, texts.Lookup(), rows);
    for (const DirectoryRecords::Row& row : rows)
        Out(QStringList{QString::number(row.id),
                        row.current ? QStringLiteral("current") : QStringLiteral("history")} +
            row.cells);
    return 0;
}

const CommandRegistration kList("list",
                                "list --kind specs|protocols [--history ID]\n"
                                "                            the rows the directory shows (its stored filter "
                                "applied): id, then its columns",
                                CmdList);
const CommandRegistration kFilter(
    "filter",
    "filter --kind specs|protocols [--field CAPTION|#ROW --value TEXT [--op OP]]... [--sort COLUMN]... "
    "[--off]\n"
    "                            set the directory's filter as the filter dialog's OK does and list; "
    "without options print it",
    CmdFilter);
const CommandRegistration kDelete("delete",
                                  "delete --kind specs|protocols --ids N[,N...] [--history] [--yes]\n"
                                  "                            delete as the directory does (without --yes: "
                                  "print what would go)",
                                  CmdDelete);
const CommandRegistration
    kCurrent("current", "current --id N            make a device protocol its device's current one",
             CmdCurrent);

} // namespace
} // namespace Cli
