#include "app/DirectoryList.h"

#include <algorithm>

CDirectoryList::CDirectoryList(QObject* parent) : QAbstractTableModel(parent), m_selection(this) {
    m_columns.push_back({});
    connect(&m_selection, &QItemSelectionModel::selectionChanged, this, &CDirectoryList::OnSelectionChanged);
}

void CDirectoryList::MarkRows(const QItemSelection& ranges, char value) {
    for (const QItemSelectionRange& range : ranges) {
        const int bottom = qMin(range.bottom(), int(m_selected.size()) - 1);
        for (int row = qMax(0, range.top()); row <= bottom; ++row) {
            if (m_selected[size_t(row)] != value) {
                m_selected[size_t(row)] = value;
                m_selectedCount += value ? 1 : -1;
            }
        }
    }
}

// Deselections first: a row that stays selected may be reported in both lists.
void CDirectoryList::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    MarkRows(deselected, 0);
    MarkRows(selected, 1);
}

void CDirectoryList::Clear() {
    beginResetModel();
    // The first column stays, unnamed, so the next directory names it with its first insert.
    m_columns.assign(1, Column{});
    m_items.clear();
    m_images.clear();
    m_selected.clear();
    m_selectedCount = 0;
    endResetModel();
    emit imagesChanged();
}

void CDirectoryList::SetMode(ListMode mode) {
    if (mode == m_mode)
        return;
    m_mode = mode;
    if (IsSingleSelection() && SelectedCount() > 1) {
        const int first = FirstSelectedRow();
        ClearSelection();
        SelectRow(first);
    }
    emit modeChanged(mode);
}

int CDirectoryList::InsertColumn(int position, const QString& header, int width) {
    // The first column exists from the start; inserting at 0 on an empty list names it.
    if (position == 0 && m_columns.size() == 1 && m_columns[0].header.isEmpty() && m_columns[0].width == 0) {
        m_columns[0] = {header, width};
        emit headerDataChanged(Qt::Horizontal, 0, 0);
        return 0;
    }
    position = std::clamp(position, 0, ColumnCount());
    beginInsertColumns(QModelIndex(), position, position);
    m_columns.insert(m_columns.begin() + position, Column{header, width});
    for (Item& item : m_items)
        if (position <= item.texts.size())
            item.texts.insert(position, QString());
    endInsertColumns();
    return position;
}

QString CDirectoryList::ColumnHeader(int column) const {
    return column >= 0 && column < ColumnCount() ? m_columns[size_t(column)].header : QString();
}

int CDirectoryList::ColumnWidth(int column) const {
    return column >= 0 && column < ColumnCount() ? m_columns[size_t(column)].width : 0;
}

int CDirectoryList::AddImage(const QString& bitmapName) {
    m_images << bitmapName;
    emit imagesChanged();
    return int(m_images.size()) - 1;
}

bool CDirectoryList::ReplaceImage(int image, const QString& bitmapName) {
    if (image < 0 || image >= m_images.size())
        return false;
    m_images[image] = bitmapName;
    emit imagesChanged();
    for (int row = 0; row < ItemCount(); ++row)
        if (m_items[size_t(row)].image == image)
            emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole, ImageNameRole});
    return true;
}

int CDirectoryList::InsertItem(int row, const QString& text, int image, const CListItemRecord& record) {
    if (row < 0 || row > ItemCount())
        row = ItemCount();
    beginInsertRows(QModelIndex(), row, row);
    Item item;
    item.texts << text;
    item.image = image;
    item.record = record;
    m_items.insert(m_items.begin() + row, std::move(item));
    m_selected.insert(m_selected.begin() + row, 0);
    endInsertRows();
    return row;
}

void CDirectoryList::AppendItems(std::vector<NewItem>&& items) {
    if (items.empty())
        return;
    const int first = ItemCount();
    beginInsertRows(QModelIndex(), first, first + int(items.size()) - 1);
    m_items.reserve(m_items.size() + items.size());
    for (NewItem& n : items) {
        Item item;
        item.texts = std::move(n.texts);
        item.image = n.image;
        item.record = n.record;
        m_items.push_back(std::move(item));
    }
    m_selected.resize(m_items.size(), 0);
    endInsertRows();
}

bool CDirectoryList::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= ItemCount() || column < 0 || column >= ColumnCount())
        return false;
    QStringList& texts = m_items[size_t(row)].texts;
    while (texts.size() <= column)
        texts << QString();
    texts[column] = text;
    emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    return true;
}

QString CDirectoryList::ItemText(int row, int column) const {
    if (row < 0 || row >= ItemCount())
        return QString();
    return m_items[size_t(row)].texts.value(column);
}

int CDirectoryList::ItemImage(int row) const {
    return row >= 0 && row < ItemCount() ? m_items[size_t(row)].image : -1;
}

const CListItemRecord* CDirectoryList::Record(int row) const {
    return row >= 0 && row < ItemCount() ? &m_items[size_t(row)].record : nullptr;
}

int CDirectoryList::FindRecord(qint32 recordId) const {
    for (int row = 0; row < ItemCount(); ++row)
        if (m_items[size_t(row)].record.recordId == recordId)
            return row;
    return -1;
}

void CDirectoryList::ReplaceHandler(CBaseClass* from, CBaseClass* to) {
    for (Item& item : m_items)
        if (item.record.handler == from)
            item.record.handler = to;
}

QList<int> CDirectoryList::SelectedRows() const {
    QList<int> rows;
    rows.reserve(m_selectedCount);
    for (size_t row = 0; row < m_selected.size() && rows.size() < m_selectedCount; ++row)
        if (m_selected[row])
            rows << int(row);
    return rows;
}

int CDirectoryList::SelectedCount() const {
    return m_selectedCount;
}

int CDirectoryList::FirstSelectedRow() const {
    if (m_selectedCount == 0)
        return -1;
    for (size_t row = 0; row < m_selected.size(); ++row)
        if (m_selected[row])
            return int(row);
    return -1;
}

void CDirectoryList::SelectRow(int row, bool focus) {
    if (row < 0 || row >= ItemCount())
        return;
    const QModelIndex i = index(row, 0);
    auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (IsSingleSelection())
        flags |= QItemSelectionModel::Clear;
    if (focus)
        m_selection.setCurrentIndex(i, flags);
    else
        m_selection.select(i, flags);
}

void CDirectoryList::ClearSelection() {
    m_selection.clearSelection();
}

void CDirectoryList::SelectAll() {
    if (IsSingleSelection() || ItemCount() == 0)
        return;
    m_selection.select(QItemSelection(index(0, 0), index(ItemCount() - 1, ColumnCount() - 1)),
                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CDirectoryList::InvertSelection() {
    if (IsSingleSelection() || ItemCount() == 0)
        return;
    const QList<int> selected = SelectedRows();
    QList<int> rows;
    rows.reserve(ItemCount() - selected.size());
    auto next = selected.cbegin();
    for (int row = 0; row < ItemCount(); ++row) {
        if (next != selected.cend() && *next == row)
            ++next;
        else
            rows << row;
    }
    ReplaceSelection(rows);
}

void CDirectoryList::ReplaceSelection(const QList<int>& rowsIn) {
    QList<int> rows;
    for (int row : rowsIn)
        if (row >= 0 && row < ItemCount())
            rows << row;
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows[j + 1] <= rows[j] + 1)
            ++j;
        selection.append(QItemSelectionRange(index(rows[i], 0), index(rows[j], ColumnCount() - 1)));
        i = j + 1;
    }
    // Comparing the old and the new selection range by range takes quadratic time; the
    // old one is dropped quietly and the rows are redrawn instead.
    const QModelIndex current = m_selection.currentIndex();
    const bool had = m_selection.hasSelection();
    m_selection.reset();
    std::fill(m_selected.begin(), m_selected.end(), 0);
    m_selectedCount = 0;
    if (had)
        emit dataChanged(index(0, 0), index(ItemCount() - 1, ColumnCount() - 1));
    // The ranges span whole rows already; expanding them to rows would merge them one by one.
    if (!selection.isEmpty())
        m_selection.select(selection, QItemSelectionModel::Select);
    if (current.isValid())
        m_selection.setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

int CDirectoryList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ItemCount();
}

int CDirectoryList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant CDirectoryList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= ItemCount())
        return {};
    const Item& item = m_items[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return item.texts.value(index.column());
    case ImageNameRole:
        return index.column() == 0 ? QVariant(m_images.value(item.image)) : QVariant();
    case TextColourRole:
        if (index.column() == item.record.cellColourColumn && item.record.cellColour != 0)
            return item.record.cellColour;
        return item.record.textColour;
    case RecordIdRole:
        return item.record.recordId;
    default:
        return {};
    }
}

QVariant CDirectoryList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[size_t(section)].header;
    if (role == ColumnWidthRole)
        return m_columns[size_t(section)].width;
    return {};
}
