#include "app/DataDirectories.h"

#include "app/DirectoryCommands.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"
#include "store/UserSetUpDetails.h"
#include "store/UserSetUpInfo.h"
#include "views/DueDates.h"

using DirectoryRecords::Kind;

namespace {

// The device protocol list's next test date column.
constexpr qint32 kNextTestColumn = 5;

DirectoryRecords::TextLookup Lookup(CVELMOR740PCRemoteDoc& doc) {
    return [&doc](qint32 id) { return doc.Text(id); };
}

bool OpenUserDb(CVELMOR740PCRemoteDoc& doc, CAdoDatabase& db) {
    return db.Open(doc.DataFolder(), UserSchema::FileName());
}

void SetUpReport(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, Kind kind) {
    CDirectoryList& list = view.List();
    list.SetMode(ListMode::Report);
    int position = 0;
    for (const DirectoryRecords::Column& c : DirectoryRecords::Columns(kind))
        list.InsertColumn(position++, doc.Text(c.headerTextId), c.width);
}

// Menu entry texts: TextID with the fixed text used when the lookup fails.
struct EntryText {
    qint32 titleId;
    const char* title;
    qint32 descriptionId;
    const char* description;
    qint32 command;
};

CMenuEntry Entry(CVELMOR740PCRemoteDoc& doc, const EntryText& e) {
    return {doc.Text(e.titleId, QString::fromUtf8(e.title)),
            doc.Text(e.descriptionId, QString::fromUtf8(e.description)), e.command};
}

} // namespace

bool FillDirectoryList(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, Kind kind,
                       std::vector<DirectoryRecords::Row>&& rows, bool colourCurrent) {
    CDirectoryList& list = view.List();
    SetUpReport(view, doc, kind);
    CBaseClass* handler =
        &view.Directory(kind == Kind::Specifications ? DirectoryKind::TypTable : DirectoryKind::GeraetTable);
    const qint32 selectedId = view.State().selectedItem.recordId;
    // Current protocols whose next test has passed show that date in red, those due within
    // the warning window in amber.
    const QDate today = DueDates::Today();
    const int window =
        doc.Profile().GetInt(DueDates::kSection, DueDates::kWindowKey, DueDates::kDefaultWindowDays);
    std::vector<CDirectoryList::NewItem> items;
    items.reserve(rows.size());
    int reselect = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        DirectoryRecords::Row& row = rows[i];
        CDirectoryList::NewItem item;
        item.record.index = qint32(i);
        item.record.recordId = row.id;
        item.record.handler = handler;
        if (colourCurrent && row.current)
            item.record.textColour = MakeItemColour(0, 0, 255);
        if (kind == Kind::Protocols && row.current) {
            const DueDates::State due = DueDates::Classify(row.nextTest, today, window);
            if (due != DueDates::State::None) {
                item.record.cellColourColumn = kNextTestColumn;
                item.record.cellColour =
                    due == DueDates::State::Overdue ? MakeItemColour(204, 0, 0) : MakeItemColour(204, 122, 0);
            }
        }
        item.texts = std::move(row.cells);
        if (reselect < 0 && selectedId != 0 && row.id == selectedId)
            reselect = int(i);
        items.push_back(std::move(item));
    }
    list.AppendItems(std::move(items));
    if (reselect >= 0)
        list.SelectRow(reselect, true);
    return reselect >= 0;
}

// ---- the folder objects ---------------------------------------------------------------

void CDataDirectory::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    const bool specs = m_kind == Kind::Specifications;
    doc.InfoPane().hint = FormatText(QStringLiteral("%s %s %s"), doc.Text(specs ? 50012 : 50015),
                                     doc.Text(specs ? 50013 : 50016), doc.Text(50014));
}

void CDataDirectory::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    const bool specs = m_kind == Kind::Specifications;
    CDirectoryList& list = view.List();
    list.Clear();
    CInfoPaneState& pane = doc.InfoPane();
    pane.showDetails = false;
    view.SetCurrentDirectory(this);
    pane.bannerBitmap = specs ? QStringLiteral("IDB_TYPKAT") : QStringLiteral("IDB_GEKAT");
    pane.title = doc.Text(specs ? 3 : 5);
    pane.hint = doc.Text(specs ? 50026 : 50027);

    CAdoDatabase db;
    DirectoryRecords::ListResult result;
    if (OpenUserDb(doc, db)) {
        result =
            DirectoryRecords::LoadList(db, m_kind, UserSchema::FileName(), doc.DataFolder(), Lookup(doc));
        m_filterOn = result.storedFilterOn;
        m_query = result.storedQuery;
    } else {
        CUserSetUpInfo(UserSchema::FileName(), doc.DataFolder())
            .GetFilter(DirectoryRecords::SettingsDirectory(m_kind), m_filterOn, m_query);
    }
    if (result.filtered)
        pane.title += doc.Text(119);
    const bool reselected = FillDirectoryList(view, doc, m_kind, std::move(result.rows), false);
    pane.actionEnabled = reselected;
    pane.backEnabled = true;
    pane.filterEnabled = true;
    view.SendItemCount(list.ItemCount());
}

void CDataDirectory::DoEmptyClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    CInfoPaneState& pane = doc.InfoPane();
    pane.showDetails = false;
    pane.hint = doc.Text(m_kind == Kind::Specifications ? 50026 : 50027);
    pane.actionEnabled = false;
}

void CDataDirectory::DoFilterFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    const int directory = DirectoryRecords::SettingsDirectory(m_kind);
    CFilterRequest request;
    request.key = DirectoryRecords::FilterKey(m_kind);
    request.baseQuery = DirectoryRecords::BaseQuery(m_kind);
    CUserSetUpInfo info(UserSchema::FileName(), doc.DataFolder());
    info.GetFilter(directory, m_filterOn, m_query);
    request.filterOn = m_filterOn;
    request.query = m_query;
    CUserSetUpDetails details(UserSchema::FileName(), doc.DataFolder());
    details.LoadDetails(directory, request.list1, request.list2, request.list3);
    if (!view.RunFilterDialog(request))
        return;
    m_filterOn = request.filterOn;
    m_query = request.query;
    info.SetFilter(directory, m_filterOn, m_query);
    details.SaveDetails(directory, request.list1, request.list2, request.list3);
    if (view.CurrentDirectory())
        view.CurrentDirectory()->DoDoubleClickFunction(view, doc);
    view.RedrawAll();
}

void CDataDirectory::RefreshView(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    // New records may now pass the filter; an unfiltered list has nothing to show anew.
    if (m_filterOn != 0 && !(m_kind == Kind::Protocols && view.State().historyShown)) {
        DoDoubleClickFunction(view, doc);
        view.RedrawAll();
    }
}

// ---- the row handlers -----------------------------------------------------------------

void CDataTable::DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    CDirectoryList& list = view.List();
    CInfoPaneState& pane = doc.InfoPane();
    const int count = list.SelectedCount();
    const int row = list.FirstSelectedRow();
    pane.showDetails = count == 1;
    pane.hint = FormatText(doc.Text(TextId::kEntriesSelected), count);
    if (row >= 0) {
        auto cell = [&](int column) { return list.ItemText(row, column); };
        if (Specs()) {
            pane.details = {FormatText(QStringLiteral("%s: %s"), doc.Text(19), cell(0)), cell(3),
                            FormatText(QStringLiteral("%s: %s"), doc.Text(123), cell(1)),
                            FormatText(QStringLiteral("%s: %s"), doc.Text(126), cell(2))};
        } else {
            pane.details = {FormatText(QStringLiteral("%s: %s"), doc.Text(124), cell(0)),
                            FormatText(QStringLiteral("%s, %s"), cell(4), cell(1)),
                            FormatText(QStringLiteral("%s: %s"), doc.Text(123), cell(2)),
                            FormatText(QStringLiteral("%s: %s"), doc.Text(122), cell(3))};
        }
    }
    pane.actionEnabled = true;
}

void CDataTable::DoEmptyClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    view.Directory(Specs() ? DirectoryKind::TypObject : DirectoryKind::GeraeteObject)
        .DoEmptyClickFunction(view, doc);
}

void CDataTable::RefreshView(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    view.Directory(Specs() ? DirectoryKind::TypObject : DirectoryKind::GeraeteObject).RefreshView(view, doc);
}

namespace {
QList<qint32> SelectedIds(CDirectoryView& view) {
    QList<qint32> ids;
    CDirectoryList& list = view.List();
    for (int row : list.SelectedRows())
        ids << list.Record(row)->recordId;
    return ids;
}
} // namespace

void CDataTable::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    CDirectoryCommandContext context{
        &view, &doc, Specs(), SelectedIds(view), QString(), view.State().historyShown};
    if (context.ids.isEmpty())
        return;
    context.ids = {context.ids.first()};
    if (DirectoryCommands::Run(DirectoryCommand::Properties, context)) {
        if (!Specs() && view.State().historyShown)
            ShowHistory(view, doc, context.ids.first());
        else
            view.Directory(Specs() ? DirectoryKind::TypObject : DirectoryKind::GeraeteObject)
                .DoDoubleClickFunction(view, doc);
        view.RedrawAll();
    }
}

QList<CMenuEntry> CDataTable::MenuEntries(CVELMOR740PCRemoteDoc& doc, int selected, bool historyShown) const {
    QList<CMenuEntry> entries;
    const bool one = selected == 1;
    if (Specs()) {
        static const EntryText properties{
            82, "Properties", 196,
            "Opens the test specification. Shows the classification profile and the "
            "contained test steps.",
            8};
        static const EntryText always[] = {
            {77, "Test specification(s) - Print", 199,
             "Prints all selected test specifications with test steps and limit values at the specified "
             "printer.",
             5},
            {137, "Test specification(s) - Print outline", 200,
             "Prints all selected test specifications in outline line by line at the specified printer.", 10},
            {50024, "Test specification(s) - Print preview", 50025,
             "Shows a print preview of the selected Test specifications at the display", 18},
            {50028, "Test specification(s) - Export (RS232)", 50185,
             "Exports the selected test specifications via RS232-Interface into the VELMOR 740/750ST.", 11},
            {160, "Test specification(s) - XML-Export (USB)", 50041,
             "Exports the selected test specifications in XML-format to the USB-Drive.", 12},
            {50067, "Test specification(s) - XML-Export (Folder)", 50184,
             "Exports the selected test specifications in XML-format into a selectable folder.", 16},
            {74, "Test specification(s) - Delete", 201,
             "Deletes all selected test specificatons. Deletes also all device protocols created by these "
             "test "
             "specifications.",
             2},
        };
        if (one)
            entries << Entry(doc, properties);
        for (const EntryText& e : always)
            entries << Entry(doc, e);
    } else {
        static const EntryText properties{
            114, "Properties", 188,
            "Opens the device protocol. Shows the device master data, test steps, "
            "measured values and the used test specification.",
            8};
        static const EntryText current{
            50062, "Device protocol - Select as current", 50187,
            "Changes the status of this device protocol. Thereafter it will be shown as "
            "the current device protocol in the folder device protocols.",
            15};
        static const EntryText history{
            50060, "Device protocol - History", 50186,
            "Shows all imported device protocols for this test object (History of device test).", 14};
        static const EntryText print[] = {
            {115, "Device protocol(s) - Print", 191,
             "Prints all selected device protocols with master data und messured values at the specified "
             "printer.",
             5},
            {158, "Device protocol(s) - Print outline", 192,
             "Prints all selected device protocols in outline line by line at the specified printer.", 10},
            {50022, "Device protocol(s) - Print preview", 50023,
             "Shows a print preview of the selected device protocol at the display", 18},
        };
        static const EntryText exports[] = {
            {50029, "Device protocol(s) - Export (RS232)", 50190,
             "Exports the selected device protocols via RS232-Interface into the VELMOR 740/750ST.", 11},
            {161, "Device protocol(s) - XML-Export (USB)", 50188,
             "Exports selected device protocols to the a removeable drive (XML data exchange format).", 12},
            {50068, "Device protocol(s) - XML-Export (Folder)", 50189,
             "Exports the selected device protocols into a selectable folder (XML data exchange format).",
             16},
            {154, "Device protocol(s) - CSV-Export (USB)", 50021,
             "Exports the selected device protocols to the USB-Drive (CSV format e.g. for an MS Excel "
             "import).",
             17},
        };
        static const EntryText del{116, "Device protocol(s) - Delete", 193,
                                   "Deletes all selected device protocols.", 2};
        if (one)
            entries << Entry(doc, properties);
        if (one && historyShown)
            entries << Entry(doc, current);
        if (one && !historyShown)
            entries << Entry(doc, history);
        for (const EntryText& e : print)
            entries << Entry(doc, e);
        if (!historyShown || one)
            for (const EntryText& e : exports)
                entries << Entry(doc, e);
        entries << Entry(doc, del);
    }
    entries << CMenuEntry{doc.Text(TextId::kExit), doc.Text(194, QStringLiteral("Closes the context menu.")),
                          1};
    return entries;
}

void CDataTable::DoActionFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId) {
    CDirectoryList& list = view.List();
    const int selected = list.SelectedCount();
    if (selected < 1)
        return;
    QString header;
    if (selected == 1) {
        CAdoDatabase db;
        if (!OpenUserDb(doc, db) ||
            !DirectoryRecords::RecordText(
                db, m_kind, recordId, Specs() ? QStringLiteral("Name") : QStringLiteral("Device"), header))
            return; // no header, no menu
    } else {
        QString format;
        if (!doc.SeekText(TextId::kEntriesSelected, format))
            return;
        header = FormatText(format, selected);
    }
    const bool history = view.State().historyShown;
    const qint32 command =
        view.RunMenu(doc.Text(Specs() ? 19 : 26), header, MenuEntries(doc, selected, history));
    CDirectoryCommandContext context{&view, &doc, Specs(), SelectedIds(view), header, history};
    auto run = [&](DirectoryCommand c) {
        if (DirectoryCommands::Run(c, context) && view.CurrentDirectory())
            view.CurrentDirectory()->RefreshView(view, doc);
    };
    switch (command) {
    case 8:
        DoDoubleClickFunction(view, doc);
        break;
    case 14:
        if (!Specs())
            ShowHistory(view, doc, recordId);
        break;
    case 15:
        if (!Specs() && SelectAsCurrent(view, doc, recordId))
            ShowHistory(view, doc, recordId);
        break;
    case 5:
        run(DirectoryCommand::Print);
        break;
    case 10:
        run(DirectoryCommand::PrintOutline);
        break;
    case 18:
        run(DirectoryCommand::PrintPreview);
        break;
    case 11:
        view.StartSend(Specs(), context.ids);
        break;
    case 12:
        run(DirectoryCommand::XmlExportDrive);
        break;
    case 16:
        run(DirectoryCommand::XmlExportFolder);
        break;
    case 17:
        if (!Specs())
            run(DirectoryCommand::CsvExportDrive);
        break;
    case 2:
        Delete(view, doc);
        break;
    default:
        break;
    }
}

void CDataTable::ShowHistory(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId) {
    CMainViewState& state = view.State();
    state.historyShown = true;
    if (state.maySaveBackPosition) {
        state.backPosition = state.selectedItem.recordId;
        state.maySaveBackPosition = false;
    }
    CDirectoryList& list = view.List();
    list.Clear();
    CInfoPaneState& pane = doc.InfoPane();
    pane.showDetails = false;
    pane.bannerBitmap = QStringLiteral("IDB_GEKAT");
    pane.title = doc.Text(50060);
    pane.hint = doc.Text(50027);
    std::vector<DirectoryRecords::Row> rows;
    CAdoDatabase db;
    if (OpenUserDb(doc, db)) {
        if (recordId != 0) {
            QString guid;
            if (DirectoryRecords::GuidOf(db, recordId, guid))
                m_guid = guid;
        }
        DirectoryRecords::LoadHistory(db, m_guid, Lookup(doc), rows);
    }
    if (rows.empty())
        SetUpReport(view, doc, m_kind);
    const bool reselected =
        rows.empty() ? false : FillDirectoryList(view, doc, m_kind, std::move(rows), true);
    pane.actionEnabled = reselected;
    pane.backEnabled = true;
    pane.filterEnabled = false;
    view.SendItemCount(list.ItemCount());
    view.RedrawAll();
}

bool CDataTable::SelectAsCurrent(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId) {
    CAdoDatabase db;
    if (!OpenUserDb(doc, db) || !DirectoryRecords::SelectAsCurrent(db, recordId)) {
        Notifier().ShowMessage(doc.Text(TextId::kUpdateNotPossible), CVELMOR740PCRemoteDoc::AppTitle(),
                               CNotifier::Icon::Error);
        return false;
    }
    view.State().backPosition = recordId;
    return true;
}

bool CDataTable::Delete(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    const QList<qint32> ids = SelectedIds(view);
    if (ids.isEmpty())
        return false;
    const bool history = !Specs() && view.State().historyShown;
    QString message;
    if (Specs()) {
        message = FormatText(
            QStringLiteral("%s %s"),
            doc.Text(86, QStringLiteral("Do you really want to delete %d test specification(s)? All "
                                        "device protocols involved with it are also deleted!")),
            doc.Text(148, QStringLiteral("In the case how many test datas are selected, the process "
                                         "may take several minutes!")));
    } else {
        const QString question =
            doc.Text(98, QStringLiteral("Do you really want to delete %d device protocol(s)?"));
        const QString note = doc.Text(
            148, QStringLiteral(
                     "In the case how many test datas are selected, the process may take several minutes!"));
        message =
            history
                ? FormatText(QStringLiteral("%s\n%s"), question, note)
                : FormatText(QStringLiteral("%s\n%s\n%s"), question,
                             doc.Text(50061, QStringLiteral("The deletion of the current device test delete "
                                                            "also the complete history!")),
                             note);
    }
    message = FormatText(message, int(ids.size()));
    if (Notifier().Ask(message, doc.Text(205, QStringLiteral("Confirm deletion")),
                       CNotifier::Buttons::OkCancel, CNotifier::Icon::Warning) != CNotifier::Answer::Ok)
        return false;

    std::unique_ptr<CDirectoryProgress> progress;
    if (!history)
        progress = view.OpenProgress(doc.Text(209, QStringLiteral("File status")), doc.Text(TextId::kCancel),
                                     Specs() ? doc.Text(207, QStringLiteral("Delete test specification…"))
                                             : doc.Text(206, QStringLiteral("Delete device protocol...")),
                                     int(ids.size()));
    DirectoryRecords::DeleteCallbacks callbacks;
    if (progress) {
        callbacks.progress = [&](const QString& name, int done, int) {
            progress->SetText(name);
            progress->SetPosition(done + 1);
        };
        callbacks.cancelled = [&] { return progress->Cancelled(); };
    }
    CAdoDatabase db;
    DirectoryRecords::DeleteResult result;
    if (OpenUserDb(doc, db))
        result = DirectoryRecords::Delete(db, m_kind, ids, history, callbacks);
    progress.reset();
    if (!result.ok) {
        Notifier().ShowMessage(doc.Text(TextId::kUpdateNotPossible), CVELMOR740PCRemoteDoc::AppTitle(),
                               CNotifier::Icon::Error);
        return false;
    }
    if (result.promotedId != 0)
        view.State().backPosition = result.promotedId;
    if (history)
        ShowHistory(view, doc, 0);
    else
        view.Directory(Specs() ? DirectoryKind::TypObject : DirectoryKind::GeraeteObject)
            .DoDoubleClickFunction(view, doc);
    view.RedrawAll();
    return true;
}
