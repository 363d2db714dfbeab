#include "app/ui/VELMOR740PCRemoteView.h"

#include "app/DataDirectories.h"
#include "app/QtTranslations.h"
#include "app/ServerChangeWatch.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/Artwork.h"
#include "app/ui/CatalogueDialogs.h"
#include "app/ui/DirectoryDialogs.h"
#include "app/ui/DirectoryObjects.h"
#include "app/ui/MenuDialog.h"
#include "platform/Notifier.h"
#include "store/DataLocation.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>

namespace {

// Draws each item with its bitmap from the image list and its record's text colour.
class CListItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString image = index.data(CDirectoryList::ImageNameRole).toString();
        if (!image.isEmpty()) {
            const QPixmap pixmap = Artwork::Bitmap(image);
            if (!pixmap.isNull()) {
                option->icon = QIcon(pixmap);
                option->features |= QStyleOptionViewItem::HasDecoration;
                option->decorationSize = pixmap.size();
            }
        }
        const quint32 colour = index.data(CDirectoryList::TextColourRole).toUInt();
        if (colour != 0)
            option->palette.setColor(QPalette::Text, QColor::fromRgb(colour));
    }
};

QFont ListFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    return font;
}

} // namespace

CVELMOR740PCRemoteView::CVELMOR740PCRemoteView(CVELMOR740PCRemoteDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    for (int kind = 0; kind < kDirectoryKindCount; ++kind)
        m_objects[size_t(kind)] = CreateDirectoryObject(DirectoryKind(kind));
    m_current = m_objects[0].get();

    m_iconList = new QListView(this);
    m_iconList->setObjectName(QStringLiteral("iconList"));
    m_iconList->setViewMode(QListView::IconMode);
    m_iconList->setMovement(QListView::Static);
    m_iconList->setResizeMode(QListView::Adjust);
    m_iconList->setWrapping(true);
    m_iconList->setWordWrap(true);
    m_iconList->setIconSize(QSize(48, 48));
    m_iconList->setGridSize(QSize(125, 100));
    m_iconList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_iconList->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_reportList = new QTreeView(this);
    m_reportList->setObjectName(QStringLiteral("reportList"));
    m_reportList->setRootIsDecorated(false);
    m_reportList->setItemsExpandable(false);
    m_reportList->setUniformRowHeights(true);
    m_reportList->setAllColumnsShowFocus(true);
    m_reportList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_reportList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_reportList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_reportList->setSortingEnabled(false);
    m_reportList->header()->setSectionsClickable(false);
    m_reportList->header()->setStretchLastSection(false);

    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(m_iconList), static_cast<QAbstractItemView*>(m_reportList)}) {
        list->setModel(&m_list);
        list->setSelectionModel(m_list.Selection());
        list->setItemDelegate(new CListItemDelegate(list));
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
        connect(list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                DoubleClickSelected();
        });
    }
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_iconList);
    m_stack->addWidget(m_reportList);
    setFocusProxy(m_iconList);

    connect(m_list.Selection(), &QItemSelectionModel::selectionChanged, this,
            &CVELMOR740PCRemoteView::OnSelectionChanged);
    connect(&m_list, &CDirectoryList::modeChanged, this, &CVELMOR740PCRemoteView::OnModeChanged);
    // Column widths come with the columns a directory inserts.
    connect(&m_list, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int c = first; c <= last; ++c)
                    m_reportList->setColumnWidth(c, m_list.ColumnWidth(c));
            });
    connect(&m_list, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation, int first, int last) {
                for (int c = first; c <= last; ++c)
                    if (m_list.ColumnWidth(c) > 0)
                        m_reportList->setColumnWidth(c, m_list.ColumnWidth(c));
            });
    if (CWindowMessages* messages = m_doc.Messages()) {
        connect(messages, &CWindowMessages::transferEnded, this, &CVELMOR740PCRemoteView::OnTransferEnded);
        connect(messages, &CWindowMessages::printEnded, this, &CVELMOR740PCRemoteView::OnPrintEnded);
        connect(messages, &CWindowMessages::clearListRequested, this, &CVELMOR740PCRemoteView::OnClearList);
    }
}

CVELMOR740PCRemoteView::~CVELMOR740PCRemoteView() {
    // Items point at the directory objects; they go first.
    m_list.Clear();
}

void CVELMOR740PCRemoteView::OnInitialUpdate() {
    const QFont font = ListFont();
    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(m_iconList), static_cast<QAbstractItemView*>(m_reportList)}) {
        list->setFont(font);
        // The selection stays visible while the list has no focus.
        QPalette palette = list->palette();
        for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        list->setPalette(palette);
    }
    RootObject().DoDoubleClickFunction(*this, m_doc);
    RedrawAll();
}

QAbstractItemView* CVELMOR740PCRemoteView::ActiveList() const {
    return m_list.Mode() == ListMode::Catalogue ? static_cast<QAbstractItemView*>(m_iconList) : m_reportList;
}

void CVELMOR740PCRemoteView::ReplaceDirectory(DirectoryKind kind, std::unique_ptr<CBaseClass> object) {
    CBaseClass* old = m_objects[size_t(kind)].get();
    m_objects[size_t(kind)] = std::move(object);
    m_list.ReplaceHandler(old, m_objects[size_t(kind)].get());
    if (m_current == old)
        m_current = m_objects[size_t(kind)].get();
}

void CVELMOR740PCRemoteView::WatchServer() {
    const QString server = DataLocation::ServerFor(QDir(m_doc.DataFolder()).filePath(UserSchema::FileName()));
    if (server.isEmpty() || m_watch)
        return;
    m_watch = new CServerChangeWatch(this);
    // Several commits in a row (an import on another workstation) reload once.
    m_reloadTimer = new QTimer(this);
    m_reloadTimer->setSingleShot(true);
    connect(m_reloadTimer, &QTimer::timeout, this, &CVELMOR740PCRemoteView::ReloadShownList);
    connect(m_watch, &CServerChangeWatch::changed, this, &CVELMOR740PCRemoteView::OnServerChanged);
    m_watch->Start(server);
}

bool CVELMOR740PCRemoteView::IsWatchingServer() const {
    return m_watch && m_watch->IsListening();
}

void CVELMOR740PCRemoteView::OnServerChanged(const QStringList& tables) {
    if (CServerChangeWatch::ConcernsDirectories(tables) && !m_reloadTimer->isActive())
        m_reloadTimer->start(150);
}

void CVELMOR740PCRemoteView::ReloadShownList() {
    auto* directory = dynamic_cast<CDataDirectory*>(m_current);
    if (!directory)
        return; // the catalogue and the tester pages show nothing of the database
    // Not under a dialog, a menu or a running transfer: their rows must stay as they were
    // picked. The reload waits until they are gone.
    if (m_locked || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_reloadTimer->start(500);
        return;
    }
    QList<qint32> selected;
    for (int row : m_list.SelectedRows())
        selected << m_list.Record(row)->recordId;
    QAbstractItemView* view = ActiveList();
    const QModelIndex currentIndex = view->currentIndex();
    const qint32 currentId = currentIndex.isValid() ? m_list.Record(currentIndex.row())->recordId : 0;
    const int scroll = view->verticalScrollBar()->value();
    const bool hadFocus = view->hasFocus();

    if (m_state.historyShown && directory->Kind() == DirectoryRecords::Kind::Protocols) {
        if (auto* rows = dynamic_cast<CDataTable*>(&Directory(DirectoryKind::GeraetTable)))
            rows->ShowHistory(*this, m_doc, 0);
    } else {
        directory->DoDoubleClickFunction(*this, m_doc);
    }

    QList<int> rows;
    for (qint32 id : selected)
        if (const int row = m_list.FindRecord(id); row >= 0)
            rows << row;
    if (!rows.isEmpty()) {
        m_list.ReplaceSelection(rows);
        const int current = m_list.FindRecord(currentId);
        if (current >= 0)
            m_list.Selection()->setCurrentIndex(m_list.index(current, 0), QItemSelectionModel::NoUpdate);
    }
    view = ActiveList();
    view->verticalScrollBar()->setValue(scroll);
    if (hadFocus)
        view->setFocus();
    if (m_list.SelectedCount() == 0)
        EmptyClick();
    RedrawAll();
}

void CVELMOR740PCRemoteView::OnModeChanged() {
    QAbstractItemView* list = ActiveList();
    const bool hadFocus = m_stack->currentWidget() && m_stack->currentWidget()->hasFocus();
    m_stack->setCurrentWidget(list);
    setFocusProxy(list);
    if (hadFocus)
        list->setFocus();
}

void CVELMOR740PCRemoteView::SendItemCount(int count) {
    if (CWindowMessages* messages = m_doc.Messages())
        messages->SendItemCount(count);
}

void CVELMOR740PCRemoteView::RedrawAll() {
    emit redrawRequested();
}

void CVELMOR740PCRemoteView::LockMainWindow() {
    m_locked = true;
    emit mainWindowLockRequested(true);
}

void CVELMOR740PCRemoteView::UnlockMainWindow() {
    m_locked = false;
    emit mainWindowLockRequested(false);
}

CatalogueDialogResult CVELMOR740PCRemoteView::RunCatalogueDialog(CatalogueDialog dialog) {
    return CatalogueDialogs::Run(dialog, window(), *this, m_doc);
}

bool CVELMOR740PCRemoteView::CanBack() const {
    return !m_locked && m_doc.InfoPane().backEnabled;
}
bool CVELMOR740PCRemoteView::CanFilter() const {
    return !m_locked && m_doc.InfoPane().filterEnabled;
}
bool CVELMOR740PCRemoteView::CanAction() const {
    return !m_locked && m_doc.InfoPane().actionEnabled;
}
bool CVELMOR740PCRemoteView::CanSelectAll() const {
    return !m_locked && !m_list.IsSingleSelection();
}

void CVELMOR740PCRemoteView::OnSelectionChanged() {
    const int first = m_list.FirstSelectedRow();
    if (first < 0)
        return;
    const CListItemRecord* record = m_list.Record(first);
    m_state.selectedItem = *record;
    m_state.multipleSelection = m_list.SelectedCount() > 1;
    if (record->handler)
        record->handler->DoClickFunction(*this, m_doc);
    RedrawAll();
}

void CVELMOR740PCRemoteView::DoubleClickSelected() {
    const int first = m_list.FirstSelectedRow();
    if (first < 0)
        return;
    if (CBaseClass* handler = m_list.Record(first)->handler)
        handler->DoDoubleClickFunction(*this, m_doc);
    RedrawAll();
}

void CVELMOR740PCRemoteView::EmptyClick() {
    if (m_current)
        m_current->DoEmptyClickFunction(*this, m_doc);
    RedrawAll();
}

void CVELMOR740PCRemoteView::ActionOnSelection() {
    const int first = m_list.FirstSelectedRow();
    if (first < 0)
        return;
    if (CBaseClass* handler = m_list.Record(first)->handler)
        handler->DoActionFunction(*this, m_doc, m_state.selectedItem.recordId);
}

void CVELMOR740PCRemoteView::OnBack() {
    if (!CanBack())
        return;
    if (m_state.historyShown) {
        m_state.selectedItem.recordId = m_state.backPosition;
        if (m_current)
            m_current->DoDoubleClickFunction(*this, m_doc);
        m_state.historyShown = false;
        m_state.maySaveBackPosition = true;
    } else {
        RootObject().DoDoubleClickFunction(*this, m_doc);
    }
    RedrawAll();
}

void CVELMOR740PCRemoteView::OnFilter() {
    if (!CanFilter() || !m_current)
        return;
    m_current->DoFilterFunction(*this, m_doc);
}

void CVELMOR740PCRemoteView::OnAction() {
    if (!CanAction())
        return;
    ActionOnSelection();
}

void CVELMOR740PCRemoteView::OnSelectAll() {
    if (!CanSelectAll())
        return;
    m_list.SelectAll();
}

void CVELMOR740PCRemoteView::OnInvertSelection() {
    if (!CanSelectAll())
        return;
    m_list.InvertSelection();
    if (m_list.SelectedCount() == 0)
        EmptyClick();
}

void CVELMOR740PCRemoteView::OnLanguage(const QString& language) {
    m_doc.ChangeLanguage(language);
    QtTranslations::Apply(language);
    // The view returns to the catalogue, so a history list shown until now is left, and
    // the next one opened must store its own back position.
    m_state.historyShown = false;
    m_state.maySaveBackPosition = true;
    emit languageChanged();
    RedrawAll();
    RootObject().DoDoubleClickFunction(*this, m_doc);
    RedrawAll();
}

void CVELMOR740PCRemoteView::OnTransferEnded(bool success) {
    UnlockMainWindow();
    if (m_transferDialog)
        m_transferDialog->close();
    if (success) {
        if (m_current)
            m_current->RefreshView(*this, m_doc);
    } else {
        const QString text = m_doc.Text(m_state.errorTextId);
        Notifier().ShowMessage(m_state.errorDetail.isEmpty()
                                   ? text
                                   : FormatText(QStringLiteral("%s\n%s"), text, m_state.errorDetail),
                               CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Error);
    }
    RedrawAll();
}

void CVELMOR740PCRemoteView::OnPrintEnded(bool) {
    UnlockMainWindow();
    RedrawAll();
}

void CVELMOR740PCRemoteView::OnClearList() {
    m_list.Clear();
}

bool CVELMOR740PCRemoteView::HandleKey(QKeyEvent* key) {
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!plain)
            return false;
        DoubleClickSelected();
        return true;
    case Qt::Key_Backspace:
        if (!plain)
            return false;
        OnBack();
        return true;
    case Qt::Key_Home:
        // Without a filter, Home keeps its usual meaning in the list.
        if (!plain || !CanFilter())
            return false;
        OnFilter();
        return true;
    case Qt::Key_Menu:
        if (CanAction()) {
            OnSelectionChanged();
            ActionOnSelection();
        }
        return true;
    case Qt::Key_F10:
        if (key->modifiers() != Qt::ShiftModifier)
            return false;
        if (CanAction()) {
            OnSelectionChanged();
            ActionOnSelection();
        }
        return true;
    default:
        return false;
    }
}

bool CVELMOR740PCRemoteView::HandleMouse(QAbstractItemView* list, QMouseEvent* mouse) {
    const QModelIndex index = list->indexAt(mouse->position().toPoint());
    if (mouse->type() == QEvent::MouseButtonPress) {
        if (mouse->button() == Qt::LeftButton && !index.isValid()) {
            // A click beside the items leaves nothing selected, as in any list.
            m_list.ClearSelection();
            return false;
        }
        if (mouse->button() == Qt::RightButton) {
            list->setFocus(Qt::MouseFocusReason);
            if (!index.isValid())
                m_list.ClearSelection();
            else if (!m_list.Selection()->isRowSelected(index.row(), QModelIndex())) {
                m_list.ClearSelection();
                m_list.SelectRow(index.row());
            }
            return true;
        }
        return false;
    }
    if (mouse->type() == QEvent::MouseButtonRelease) {
        if (mouse->button() == Qt::LeftButton) {
            if (m_list.SelectedCount() == 0)
                EmptyClick();
            return false;
        }
        if (mouse->button() == Qt::RightButton) {
            if (m_list.SelectedCount() == 0)
                EmptyClick();
            else if (CanAction())
                ActionOnSelection();
            return true;
        }
    }
    return false;
}

bool CVELMOR740PCRemoteView::eventFilter(QObject* watched, QEvent* event) {
    QAbstractItemView* list = nullptr;
    for (QAbstractItemView* candidate :
         {static_cast<QAbstractItemView*>(m_iconList), static_cast<QAbstractItemView*>(m_reportList)})
        if (watched == candidate || watched == candidate->viewport())
            list = candidate;
    if (!list)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        return HandleKey(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonDblClick:
        // A second right click is another right click; only the left button opens items.
        if (watched == list->viewport() && static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
            QMouseEvent press(QEvent::MouseButtonPress, static_cast<QMouseEvent*>(event)->position(),
                              static_cast<QMouseEvent*>(event)->globalPosition(),
                              static_cast<QMouseEvent*>(event)->button(),
                              static_cast<QMouseEvent*>(event)->buttons(),
                              static_cast<QMouseEvent*>(event)->modifiers());
            HandleMouse(list, &press);
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (watched == list->viewport())
            return HandleMouse(list, static_cast<QMouseEvent*>(event));
        return false;
    case QEvent::ContextMenu:
        // Mouse context menus are served on release of the right button; the keyboard's
        // arrive here when the Menu key was not seen as a key.
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard && CanAction()) {
            OnSelectionChanged();
            ActionOnSelection();
        }
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

qint32 CVELMOR740PCRemoteView::RunMenu(const QString& title, const QString& header,
                                       const QList<CMenuEntry>& entries) {
    CMenuDialog dialog(title, header, this);
    for (const CMenuEntry& e : entries)
        dialog.AddEntry(e.title, e.description, e.command);
    return dialog.exec();
}

std::unique_ptr<CDirectoryProgress> CVELMOR740PCRemoteView::OpenProgress(const QString& title,
                                                                         const QString& button,
                                                                         const QString& text, int range) {
    return std::make_unique<CDeleteDLG>(title, button, text, range, this);
}

bool CVELMOR740PCRemoteView::RunFilterDialog(CFilterRequest& request) {
    return DirectoryDialogs::RunFilter(this, m_doc, request);
}

void CVELMOR740PCRemoteView::StartSend(bool specifications, const QList<qint32>& ids) {
    DirectoryDialogs::StartSend(this, *this, m_doc, specifications, ids);
}
