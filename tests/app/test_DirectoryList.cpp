// The main view's list content, the property rows and the line shortening of the
// information pane, without any widget.
#include "app/BaseEntry.h"
#include "app/DirectoryList.h"
#include "app/TextFit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(DirectoryList, ClearKeepsOneUnnamedColumnAndDropsItemsAndImages) {
    CDirectoryList list;
    list.SetMode(ListMode::Report);
    list.InsertColumn(0, QStringLiteral("Device"), 147);
    list.InsertColumn(1, QStringLiteral("Result"), 135);
    list.InsertColumn(1, QStringLiteral("Inserted"), 50);
    EXPECT_EQ(list.ColumnCount(), 3);
    EXPECT_EQ(list.ColumnHeader(1), QStringLiteral("Inserted"));
    EXPECT_EQ(list.ColumnHeader(2), QStringLiteral("Result"));
    const int image = list.AddImage(QStringLiteral("IDB_GEKAT"));
    const int row =
        list.AppendItem(QStringLiteral("Drill"), image, {0, 17, MakeItemColour(0, 0, 255), nullptr});
    EXPECT_TRUE(list.SetItemText(row, 2, QStringLiteral("passed")));
    EXPECT_FALSE(list.SetItemText(row, 3, QStringLiteral("no such column")));
    EXPECT_FALSE(list.SetItemText(5, 0, QStringLiteral("no such row")));
    EXPECT_EQ(list.data(list.index(0, 2)).toString(), QStringLiteral("passed"));
    EXPECT_EQ(list.data(list.index(0, 0), CDirectoryList::TextColourRole).toUInt(), 0xFF0000FFu);
    EXPECT_EQ(list.data(list.index(0, 0), CDirectoryList::ImageNameRole).toString(),
              QStringLiteral("IDB_GEKAT"));
    EXPECT_EQ(list.headerData(0, Qt::Horizontal, CDirectoryList::ColumnWidthRole).toInt(), 147);

    list.Clear();
    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.ImageCount(), 0);
    EXPECT_EQ(list.ColumnCount(), 1);
    EXPECT_EQ(list.ColumnHeader(0), QString());
    // The next directory names the kept column with its first insert.
    EXPECT_EQ(list.InsertColumn(0, QStringLiteral("Name"), 230), 0);
    EXPECT_EQ(list.ColumnCount(), 1);
    EXPECT_EQ(list.ColumnWidth(0), 230);
}

TEST(DirectoryList, ItemsKeepTheirRecordsAndInsertPositions) {
    CDirectoryList list;
    list.AppendItem(QStringLiteral("b"), -1, {0, 20, 0, nullptr});
    list.InsertItem(0, QStringLiteral("a"), -1, {1, 10, 0, nullptr});
    list.InsertItem(99, QStringLiteral("c"), -1, {2, 30, 0, nullptr});
    ASSERT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.ItemText(0), QStringLiteral("a"));
    EXPECT_EQ(list.Record(0)->index, 1);
    EXPECT_EQ(list.Record(2)->recordId, 30);
    EXPECT_EQ(list.FindRecord(20), 1);
    EXPECT_EQ(list.FindRecord(99), -1);
    EXPECT_EQ(list.Record(3), nullptr);
    EXPECT_EQ(list.Record(-1), nullptr);
    EXPECT_EQ(list.ItemText(7), QString());
}

TEST(DirectoryList, SelectionFollowsTheModesRules) {
    struct Case {
        const char* what;
        ListMode mode;
        std::function<void(CDirectoryList&)> act;
        QList<int> expected;
    };
    const QList<Case> cases{
        {"catalogue: one at a time",
         ListMode::Catalogue,
         [](CDirectoryList& l) {
             l.SelectRow(1);
             l.SelectRow(3);
         },
         {3}},
        {"catalogue: select all does nothing",
         ListMode::Catalogue,
         [](CDirectoryList& l) {
             l.SelectRow(2);
             l.SelectAll();
         },
         {2}},
        {"catalogue: invert does nothing",
         ListMode::Catalogue,
         [](CDirectoryList& l) {
             l.SelectRow(2);
             l.InvertSelection();
         },
         {2}},
        {"report: several",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.SelectRow(3);
             l.SelectRow(1);
         },
         {1, 3}},
        {"report: select all", ListMode::Report, [](CDirectoryList& l) { l.SelectAll(); }, {0, 1, 2, 3, 4}},
        {"report: invert",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.SelectRow(0);
             l.SelectRow(4);
             l.InvertSelection();
         },
         {1, 2, 3}},
        {"report: invert everything leaves nothing",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.SelectAll();
             l.InvertSelection();
         },
         {}},
        {"report to catalogue keeps the first",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.SelectRow(4);
             l.SelectRow(2);
             l.SetMode(ListMode::Catalogue);
         },
         {2}},
        {"scattered rows at once, then inverted",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.SelectRow(2);
             l.ReplaceSelection({4, 0, 1});
             l.InvertSelection();
         },
         {2, 3}},
        {"a replaced selection keeps rows outside the list out",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.ReplaceSelection({3, 9, -2});
         },
         {3}},
        {"rows outside the list are ignored",
         ListMode::Report,
         [](CDirectoryList& l) {
             l.SelectRow(-1);
             l.SelectRow(5);
         },
         {}},
    };
    for (const Case& c : cases) {
        CDirectoryList list;
        list.SetMode(c.mode);
        for (int i = 0; i < 5; ++i)
            list.AppendItem(QString::number(i), -1, {i, i, 0, nullptr});
        c.act(list);
        EXPECT_EQ(list.SelectedRows(), c.expected) << c.what;
        EXPECT_EQ(list.SelectedCount(), c.expected.size()) << c.what;
        EXPECT_EQ(list.FirstSelectedRow(), c.expected.isEmpty() ? -1 : c.expected.first()) << c.what;
    }
}

TEST(DirectoryList, ReplacingAnImageTellsTheItemsThatShowIt) {
    CDirectoryList list;
    const int import = list.AddImage(QStringLiteral("IDB_IMPORT"));
    const int other = list.AddImage(QStringLiteral("IDB_TYPKAT"));
    list.AppendItem(QStringLiteral("Import"), import, {});
    list.AppendItem(QStringLiteral("Specs"), other, {});
    QList<int> changed;
    QObject::connect(&list, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex&) { changed << from.row(); });
    EXPECT_TRUE(list.ReplaceImage(import, QStringLiteral("IDB_IMPORT_FOLDER")));
    EXPECT_EQ(changed, QList<int>{0});
    EXPECT_EQ(list.data(list.index(0, 0), CDirectoryList::ImageNameRole).toString(),
              QStringLiteral("IDB_IMPORT_FOLDER"));
    EXPECT_FALSE(list.ReplaceImage(5, QStringLiteral("IDB_X")));
}

TEST(ShortenToFit, LinesAreCutFromTheEndBehindThreeDots) {
    // One unit per character keeps the arithmetic visible.
    const auto width = [](const QString& s) { return int(s.size()); };
    struct Case {
        QString text;
        int max;
        QString expected;
    };
    const QList<Case> cases{
        {QStringLiteral("Bohrmaschine"), 12, QStringLiteral("Bohrmaschine")},
        {QStringLiteral("Bohrmaschine"), 11, QStringLiteral("Bohrmasc...")},
        {QStringLiteral("Bohrmaschine"), 9, QStringLiteral("Bohrma...")},
        {QStringLiteral("Bohrmaschine"), 4, QStringLiteral("B...")},
        {QStringLiteral("Bohrmaschine"), 2, QStringLiteral("...")},
        {QStringLiteral("ab"), 1, QStringLiteral("...")},
        {QString(), 0, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortenToFit(c.text, c.max, width), c.expected) << c.text.toStdString() << " in " << c.max;
}

namespace {

// A property page as the sheets keep it: rows of four columns, a help field and the
// changed flag.
class CPage : public CEntryPage {
public:
    explicit CPage(int rows, bool singleChoice = false)
        : cells(rows, QStringList(4, QString())), single(singleChoice) {}
    void SetRowText(int row, int column, const QString& text) override { cells[row][column] = text; }
    void SetHelpText(const QString& text) override { help = text; }
    void SetChanged() override { changed = true; }
    QString CheckMarkText() const override { return QStringLiteral("X"); }
    bool IsSingleChoice() const override { return single; }
    int EntryCount() const override { return int(entries.size()); }
    CBaseEntry* Entry(int row) override { return entries.value(row); }
    CVELMOR740PCRemoteDoc* Document() override { return nullptr; }
    bool AcceptClient(const QString& client) override {
        clientsAsked << client;
        return client != QStringLiteral("Taken");
    }

    QList<QStringList> cells;
    bool single;
    QString help;
    bool changed = false;
    QList<CBaseEntry*> entries;
    QStringList clientsAsked;
};

// Stands in for the user at the field editor: answers with a preset value.
class CTypingUser : public CFieldEditor {
public:
    bool Edit(const CFieldEditRequest& request, QString& value) override {
        requests.push_back(request);
        if (cancel)
            return false;
        value = typed;
        return true;
    }
    QString typed;
    bool cancel = false;
    std::vector<CFieldEditRequest> requests;
};

struct EditorScope {
    explicit EditorScope(CFieldEditor* e) : previous(SetFieldEditor(e)) {}
    ~EditorScope() { SetFieldEditor(previous); }
    CFieldEditor* previous;
};

} // namespace

TEST(BaseEntry, EditRowsTakeTheEditorsValueIntoColumnAndAssignment) {
    CNotifierScope notes;
    CTypingUser user;
    EditorScope scope(&user);
    struct Case {
        const char* what;
        QString format;
        QString typed;
        bool first; // the device protocol's operation
        QString assignment;
        int valueColumn;
    };
    const QList<Case> cases{
        {"text with an apostrophe", QStringLiteral("Location = '%s'"), QStringLiteral("O'Neill's lab"), true,
         QStringLiteral("Location = 'O''Neill''s lab'"), 1},
        {"number", QStringLiteral("ReviewPeriod = %d"), QStringLiteral(" 12 "), false,
         QStringLiteral("ReviewPeriod = 12"), 2},
        {"text on a test specification", QStringLiteral("Description = '%s'"), QStringLiteral("Kabel 3m"),
         false, QStringLiteral("Description = 'Kabel 3m'"), 2},
    };
    for (const Case& c : cases) {
        CPage page(2);
        CEditEntry entry;
        entry.m_Caption = QStringLiteral("Caption");
        entry.m_Value = QStringLiteral("old");
        entry.m_AssignmentFormat = c.format;
        entry.m_Max = 40;
        user.typed = c.typed;
        if (c.first)
            entry.Doubleclickfunction(1, page);
        else
            entry.Doubleclickfunction2(1, page);
        EXPECT_EQ(entry.m_Assignment, c.assignment) << c.what;
        EXPECT_EQ(entry.m_Value, c.typed) << c.what;
        EXPECT_EQ(page.cells[1][c.valueColumn], c.typed) << c.what;
        EXPECT_EQ(page.help, c.first ? c.typed : QString()) << c.what;
        EXPECT_TRUE(page.changed) << c.what;
        const CFieldEditRequest& asked = user.requests.back();
        EXPECT_EQ(asked.column, c.format.section(QLatin1Char(' '), 0, 0)) << c.what;
        EXPECT_EQ(asked.table, c.first ? QStringLiteral("GeraeteTab") : QStringLiteral("TypenTab")) << c.what;
        EXPECT_EQ(asked.value, QStringLiteral("old")) << c.what;
        EXPECT_EQ(asked.maxLength, 40) << c.what;
    }
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}

TEST(BaseEntry, RefusedOrCancelledEditsChangeNothing) {
    CNotifierScope notes;
    CTypingUser user;
    EditorScope scope(&user);
    struct Case {
        const char* what;
        QString format;
        QString typed;
        bool cancel;
        int editable;
        int messages;
    };
    const QList<Case> cases{
        {"cancelled", QStringLiteral("Client = '%s'"), QStringLiteral("New"), true, 1, 0},
        {"client used by another device", QStringLiteral("Client = '%s'"), QStringLiteral("Taken"), false, 1,
         0},
        {"not a number", QStringLiteral("ReviewPeriod = %d"), QStringLiteral("twelve"), false, 1, 1},
        {"read-only row shows its help", QStringLiteral("Serial = '%s'"), QStringLiteral("x"), false, 0, 0},
    };
    for (const Case& c : cases) {
        notes.recorder.Clear();
        CPage page(1);
        CEditEntry entry;
        entry.m_Editable = c.editable;
        entry.m_Value = QStringLiteral("old");
        entry.m_Help = QStringLiteral("Help text");
        entry.m_Assignment = QStringLiteral("kept");
        entry.m_AssignmentFormat = c.format;
        user.typed = c.typed;
        user.cancel = c.cancel;
        entry.Doubleclickfunction(0, page);
        EXPECT_EQ(entry.m_Value, QStringLiteral("old")) << c.what;
        EXPECT_EQ(entry.m_Assignment, QStringLiteral("kept")) << c.what;
        EXPECT_FALSE(page.changed) << c.what;
        EXPECT_EQ(page.cells[0][1], QString()) << c.what;
        EXPECT_EQ(page.help, c.editable ? QString() : QStringLiteral("Help text")) << c.what;
        EXPECT_EQ(notes.recorder.messages.size(), c.messages) << c.what;
    }
    user.cancel = false;
    // Only rows that name the client ask the page.
    CPage page(1);
    CEditEntry other;
    other.m_AssignmentFormat = QStringLiteral("Device = '%s'");
    user.typed = QStringLiteral("Taken");
    other.Doubleclickfunction(0, page);
    EXPECT_TRUE(page.clientsAsked.isEmpty());
    EXPECT_EQ(other.m_Value, QStringLiteral("Taken"));
}

TEST(BaseEntry, WithoutAFieldEditorTheUserIsToldAndTheDefaultsNameThemselves) {
    CNotifierScope notes;
    EditorScope scope(nullptr);
    CPage page(1);
    CEditEntry entry;
    entry.m_AssignmentFormat = QStringLiteral("Device = '%s'");
    entry.Doubleclickfunction(0, page);
    EXPECT_EQ(notes.recorder.Last(), QStringLiteral("The field editor is not in this build yet."));
    EXPECT_FALSE(page.changed);
    CBaseEntry base;
    base.Doubleclickfunction(0, page);
    base.Doubleclickfunction2(0, page);
    EXPECT_EQ(notes.recorder.messages.count(
                  QStringLiteral("CBaseEntry::Doubleclickfunction no Function override found!")),
              2);
}

TEST(BaseEntry, ChoiceRowsToggleOrBecomeTheOnlyMarkedRow) {
    CPage page(3);
    CSelectEntry rows[3];
    for (int i = 0; i < 3; ++i) {
        rows[i].m_AssignmentFormat = QStringLiteral("Visual%1 = %s").arg(i);
        page.entries << &rows[i];
    }
    EXPECT_EQ(rows[0].m_Kind, CBaseEntry::ChoiceRow);
    rows[1].Doubleclickfunction2(1, page);
    EXPECT_EQ(rows[1].m_Mark, 1);
    EXPECT_EQ(page.cells[1][0], QStringLiteral("X"));
    EXPECT_EQ(rows[1].m_Assignment, QStringLiteral("Visual1 = 1"));
    EXPECT_TRUE(page.changed);
    rows[1].Doubleclickfunction2(1, page);
    EXPECT_EQ(rows[1].m_Mark, 0);
    EXPECT_EQ(page.cells[1][0], QString());
    EXPECT_EQ(rows[1].m_Assignment, QStringLiteral("Visual1 = 0"));

    // Single choice: the fixed assignments stay, only the marks move.
    CPage single(3, true);
    CSelectEntry choices[3];
    const QStringList fixed{QStringLiteral("TestSequenceID = 10601"),
                            QStringLiteral("TestSequenceID = 10603"),
                            QStringLiteral("TestSequenceID = 10605")};
    for (int i = 0; i < 3; ++i) {
        choices[i].m_AssignmentFormat = fixed[i];
        choices[i].m_Assignment = fixed[i];
        single.entries << &choices[i];
    }
    choices[0].m_Mark = 1;
    single.cells[0][0] = QStringLiteral("X");
    choices[2].Doubleclickfunction2(2, single);
    EXPECT_EQ(choices[0].m_Mark, 0);
    EXPECT_EQ(choices[2].m_Mark, 1);
    EXPECT_EQ(single.cells[0][0], QString());
    EXPECT_EQ(single.cells[2][0], QStringLiteral("X"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(choices[i].m_Assignment, fixed[i]);

    // A read-only choice only shows its help.
    CPage other(1);
    CSelectEntry readOnly;
    readOnly.m_Editable = 0;
    readOnly.m_Help = QStringLiteral("Nur Anzeige");
    readOnly.Doubleclickfunction2(0, other);
    EXPECT_EQ(other.help, QStringLiteral("Nur Anzeige"));
    EXPECT_FALSE(other.changed);
    EXPECT_EQ(readOnly.m_Mark, 0);
}
