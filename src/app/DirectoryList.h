#pragma once

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QStringList>
#include <vector>

class CBaseClass;

// A text colour of a list item; 0 is the list's default colour.
using ItemColour = quint32;
constexpr ItemColour MakeItemColour(int r, int g, int b) {
    return 0xFF000000u | (quint32(r & 0xFF) << 16) | (quint32(g & 0xFF) << 8) | quint32(b & 0xFF);
}

// One list item's record: where it was inserted, the database row it shows (0 in the
// catalogue), its text colour and the directory object that serves it.
struct CListItemRecord {
    qint32 index = 0;
    qint32 recordId = 0;
    ItemColour textColour = 0;
    CBaseClass* handler = nullptr;
    // One cell in a colour of its own (the next test date of a protocol that is due).
    qint32 cellColourColumn = -1;
    ItemColour cellColour = 0;
};

// How the list looks and selects.
enum class ListMode {
    Catalogue, // large icons, single selection
    Report     // report rows with columns, multiple selection, full-row selection
};

// The content of the main view's list: columns, items with their records, the image
// list (bitmap names) and the selection. The widgets show it; directories fill it.
class CDirectoryList : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { ImageNameRole = Qt::UserRole + 1, TextColourRole, RecordIdRole, ColumnWidthRole };

    explicit CDirectoryList(QObject* parent = nullptr);

    // Deletes all columns but the first, every item with its record and all images.
    void Clear();

    ListMode Mode() const { return m_mode; }
    void SetMode(ListMode mode);
    bool IsSingleSelection() const { return m_mode == ListMode::Catalogue; }

    // Columns; the list always has at least one (the item text).
    int InsertColumn(int position, const QString& header, int width);
    int ColumnCount() const { return int(m_columns.size()); }
    QString ColumnHeader(int column) const;
    int ColumnWidth(int column) const;

    // The image list holds bitmap names; an item refers to one by its index.
    int AddImage(const QString& bitmapName);
    bool ReplaceImage(int image, const QString& bitmapName);
    int ImageCount() const { return int(m_images.size()); }
    QString ImageName(int image) const { return m_images.value(image); }

    // Inserts an item at row (appends when row is out of range); returns its row.
    int InsertItem(int row, const QString& text, int image, const CListItemRecord& record);
    int AppendItem(const QString& text, int image, const CListItemRecord& record) {
        return InsertItem(ItemCount(), text, image, record);
    }
    // Appends many items with all their cells in one insertion (a directory's whole load).
    struct NewItem {
        QStringList texts;
        int image = -1;
        CListItemRecord record;
    };
    void AppendItems(std::vector<NewItem>&& items);
    bool SetItemText(int row, int column, const QString& text);
    int ItemCount() const { return int(m_items.size()); }
    QString ItemText(int row, int column = 0) const;
    int ItemImage(int row) const;
    const CListItemRecord* Record(int row) const;
    // The row whose record has this id, or -1.
    int FindRecord(qint32 recordId) const;
    // Items served by one directory object are served by another from now on.
    void ReplaceHandler(CBaseClass* from, CBaseClass* to);

    // Selection. Rows come in ascending order, so the first is the list's first selected.
    QItemSelectionModel* Selection() { return &m_selection; }
    QList<int> SelectedRows() const;
    int SelectedCount() const;
    int FirstSelectedRow() const;
    void SelectRow(int row, bool focus = true);
    void ClearSelection();
    void SelectAll();
    void InvertSelection();
    // Makes exactly these rows the selection, in one step however scattered they are.
    void ReplaceSelection(const QList<int>& rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void modeChanged(ListMode mode);
    void imagesChanged();

private:
    struct Column {
        QString header;
        int width = 0;
    };
    struct Item {
        QStringList texts;
        int image = -1;
        CListItemRecord record;
    };

    ListMode m_mode = ListMode::Catalogue;
    std::vector<Column> m_columns;
    QStringList m_images;
    std::vector<Item> m_items;
    QItemSelectionModel m_selection;
    // Which rows are selected, kept from the selection model's changes: its own queries
    // compare ranges with ranges and grow quadratic with a scattered selection.
    std::vector<char> m_selected;
    int m_selectedCount = 0;

    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void MarkRows(const QItemSelection& ranges, char value);
};
