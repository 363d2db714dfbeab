#include "app/ui/MainFrame.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/AboutDlg.h"
#include "app/ui/Artwork.h"
#include "app/ui/InfoView.h"
#include "app/ui/ServerDlg.h"
#include "app/ui/StartupProbe.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "link/SerialSettings.h"
#include "print/ui/PrintCommands.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"
#include "views/DueDates.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <utility>

namespace {

struct Language {
    const char* name;
    int command;
};

// The languages in the order of the menu.
const Language kLanguages[] = {
    {"Castellano", CMainFrame::IdCastellano},
    {"Česky", CMainFrame::IdCesky},
    {"Deutsch", CMainFrame::IdDeutsch},
    {"English", CMainFrame::IdEnglish},
    {"Français", CMainFrame::IdFrancais},
    {"Italiano", CMainFrame::IdItaliano},
    {"Österreichisch", CMainFrame::IdOesterreichisch},
};

// A status pane: an optional icon and a text. The width is a minimum: the pane grows with
// its text, so that no language and no port path is cut.
QWidget* Pane(QWidget* parent, int width, QLabel** icon, QLabel** text) {
    auto* pane = new QWidget(parent);
    auto* layout = new QHBoxLayout(pane);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    if (icon) {
        *icon = new QLabel(pane);
        (*icon)->setFixedSize(16, 16);
        layout->addWidget(*icon);
    }
    *text = new QLabel(pane);
    (*text)->setTextFormat(Qt::PlainText);
    layout->addWidget(*text, 1);
    if (width > 0)
        pane->setMinimumWidth(width);
    return pane;
}

} // namespace

int CMainFrame::LanguageCommand(const QString& language) {
    for (const Language& l : kLanguages)
        if (language.compare(QString::fromUtf8(l.name), Qt::CaseInsensitive) == 0)
            return l.command;
    return 0;
}

CMainFrame::CMainFrame(CVELMOR740PCRemoteDoc& doc, CWindowMessages& messages, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_messages(messages) {
    setWindowTitle(CVELMOR740PCRemoteDoc::AppTitle());
    // The window shows the application's icon, set once for the program after the first
    // paint: decoding its four images here as well was a tenth of the start-up.
    setObjectName(QStringLiteral("VELMOR_CONTROL_CENTER"));

    auto* tools = addToolBar(QStringLiteral("Standard"));
    tools->setObjectName(QStringLiteral("toolBar"));
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setIconSize(QSize(24, 24));
    tools->setContextMenuPolicy(Qt::PreventContextMenu);
    m_back = tools->addAction(Artwork::ToolIcon(QStringLiteral("back")), QStringLiteral("Back"));
    m_filter = tools->addAction(Artwork::ToolIcon(QStringLiteral("filter")), QStringLiteral("Filter"));
    m_action = tools->addAction(Artwork::ToolIcon(QStringLiteral("action")), QStringLiteral("Action"));
    m_back->setData(int(IdBack));
    m_filter->setData(int(IdFilter));
    m_action->setData(int(IdAction));

    auto* status = statusBar();
    status->setSizeGripEnabled(true);
    auto* countPane = Pane(status, 0, nullptr, &m_countPane);
    status->addWidget(countPane, 1);
    QWidget* overduePane = Pane(status, 0, nullptr, &m_overduePane);
    QPalette red = m_overduePane->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    m_overduePane->setPalette(red);
    status->addWidget(overduePane);
    overduePane->hide();
    status->addPermanentWidget(Pane(status, 260, &m_progressIcon, &m_progressText));
    status->addPermanentWidget(Pane(status, 160, &m_linkIcon, &m_portPane));
    status->addPermanentWidget(Pane(status, 105, nullptr, &m_baudPane));
    status->addPermanentWidget(Pane(status, 80, nullptr, &m_bitsPane));
    m_port = doc.SerialPort();
    m_baud = doc.BaudRate();
    m_bits = doc.DataBits();

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setChildrenCollapsible(false);
    m_info = new CInfoView(doc, m_splitter);
    m_view = new CVELMOR740PCRemoteView(doc, m_splitter);
    m_splitter->addWidget(m_info);
    m_splitter->addWidget(m_view);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({CInfoView::InitialHeight(), 400});
    setCentralWidget(m_splitter);

    connect(m_back, &QAction::triggered, m_view, &CVELMOR740PCRemoteView::OnBack);
    connect(m_filter, &QAction::triggered, m_view, &CVELMOR740PCRemoteView::OnFilter);
    connect(m_action, &QAction::triggered, m_view, &CVELMOR740PCRemoteView::OnAction);
    connect(m_view, &CVELMOR740PCRemoteView::redrawRequested, this, &CMainFrame::OnRedraw);
    connect(m_view, &CVELMOR740PCRemoteView::mainWindowLockRequested, this, &CMainFrame::OnLockMainWindow);
    connect(m_view, &CVELMOR740PCRemoteView::languageChanged, this, &CMainFrame::BuildMenus);
    connect(&messages, &CWindowMessages::itemCountChanged, this, &CMainFrame::OnItemCount);
    connect(&messages, &CWindowMessages::progressChanged, this, &CMainFrame::OnProgress);
    connect(&messages, &CWindowMessages::linkStatusChanged, this, &CMainFrame::OnLinkStatus);

    BuildMenus();
    OnProgress(false, QString());
    OnLinkStatus(m_port, m_baud, m_bits, CWindowMessages::LinkClosed);
    move(0, 0);
    resize(800, 600);
    m_view->OnInitialUpdate();
    m_view->setFocus();
    // Counted once the window is painted, so the start is not kept waiting by a database.
    StartupProbe::WhenPainted(this, [this] {
        m_painted = true;
        m_overduePending = false;
        UpdateOverdue();
    });
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& text, int command) {
    QAction* action = menu->addAction(text);
    action->setData(command);
    m_menuActions << action;
    return action;
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->clear();
    m_menuActions.clear();
    // Texts from the catalogue are shown as they stand: an ampersand in one is no mnemonic.
    auto T = [this](qint32 id, const char* fallback) {
        return m_doc.Text(id, QString::fromUtf8(fallback)).replace(QLatin1Char('&'), QStringLiteral("&&"));
    };
    // The menu titles get their first letter as mnemonic, so Alt opens them.
    auto Title = [&](qint32 id, const char* fallback) { return QLatin1Char('&') + T(id, fallback); };

    QMenu* file = bar->addMenu(Title(50, "File"));
    QAction* setup = file->addAction(T(50034, "Print setup..."));
    connect(setup, &QAction::triggered, this, &CMainFrame::OnPrintSetup);
    QAction* server = file->addAction(T(60204, "Database server..."));
    server->setObjectName(QStringLiteral("databaseServer"));
    connect(server, &QAction::triggered, this, [this] {
        CServerDlg dialog(m_doc, this);
        dialog.exec();
    });
    file->addSeparator();
    QAction* exit = file->addAction(T(TextId::kExit, "Exit"));
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = bar->addMenu(Title(60, "Edit"));
    QAction* all = AddCommand(edit, T(146, "Select all"), IdSelectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setShortcutContext(Qt::WindowShortcut);
    connect(all, &QAction::triggered, m_view, &CVELMOR740PCRemoteView::OnSelectAll);
    QAction* invert = AddCommand(edit, T(147, "Invert selection"), IdInvertSelection);
    connect(invert, &QAction::triggered, m_view, &CVELMOR740PCRemoteView::OnInvertSelection);
    edit->addSeparator();
    for (const Language& l : kLanguages) {
        const QString name = QString::fromUtf8(l.name);
        QAction* action = AddCommand(edit, name, l.command);
        action->setCheckable(true);
        action->setChecked(name.compare(m_doc.Language(), Qt::CaseInsensitive) == 0);
        connect(action, &QAction::triggered, m_view, [this, name] {
            // The menu that carries this action is rebuilt by the change; not from inside it.
            QMetaObject::invokeMethod(
                m_view, [this, name] { m_view->OnLanguage(name); }, Qt::QueuedConnection);
        });
    }

    QMenu* help = bar->addMenu(Title(70, "Help"));
    QAction* about = help->addAction(T(50019, "About..."));
    connect(about, &QAction::triggered, this, &CMainFrame::OnAbout);

    UpdateStatusTexts();
    UpdateCommands();
}

QAction* CMainFrame::CommandAction(int command) const {
    for (QAction* action : {m_back, m_filter, m_action})
        if (action->data().toInt() == command)
            return action;
    for (QAction* action : m_menuActions)
        if (action->data().toInt() == command)
            return action;
    return nullptr;
}

bool CMainFrame::IsIndeterminate(int command) const {
    return m_indeterminate && (command == IdBack || command == IdFilter || command == IdAction);
}

QString CMainFrame::PaneText(int pane) const {
    switch (pane) {
    case 0:
        return m_countPane->text();
    case 1:
        return m_progressText->text();
    case 2:
        return m_portPane->text();
    case 3:
        return m_baudPane->text();
    case 4:
        return m_bitsPane->text();
    default:
        return QString();
    }
}

int CMainFrame::PaneIcon(int pane) const {
    return pane == 1 ? m_progressIconId : pane == 2 ? m_linkIconId : 0;
}

void CMainFrame::UpdateStatusTexts() {
    m_back->setToolTip(m_doc.Text(60000, QStringLiteral("Back (Backspace)")));
    m_filter->setToolTip(m_doc.Text(60001, QStringLiteral("Filter (Home)")));
    m_action->setToolTip(m_doc.Text(60002, QStringLiteral("Action (context menu)")));
    m_back->setStatusTip(m_doc.Text(60003, QStringLiteral("Back to the list shown before")));
    m_filter->setStatusTip(m_doc.Text(60004, QStringLiteral("Filter and sort the list")));
    m_action->setStatusTip(m_doc.Text(60005, QStringLiteral("Commands for the selected entries")));
    const std::pair<QLabel*, qint32> hovers[] = {{m_countPane, 60008},
                                                 {m_progressText, 60009},
                                                 {m_portPane, 60010},
                                                 {m_baudPane, 60011},
                                                 {m_bitsPane, 60012}};
    for (const auto& [label, id] : hovers)
        label->parentWidget()->setToolTip(m_doc.Text(id));

    m_countPane->setText(FormatText(m_doc.Text(TextId::kEntries, QStringLiteral("%d entries")), m_count));
    UpdateOverdueText();
    const QString pair = QStringLiteral("%s %s");
    // The port as the link opens it: a stored "COM1:" is the first serial device.
    m_portPane->setText(
        FormatText(pair, m_doc.Text(50076, QStringLiteral("Port:")), SerialPortNames::ToDevicePath(m_port)));
    m_baudPane->setText(FormatText(pair, m_doc.Text(31522, QStringLiteral("Baud:")), m_baud));
    m_bitsPane->setText(FormatText(pair, m_doc.Text(31523, QStringLiteral("Data bits:")), m_bits));
}

void CMainFrame::UpdateCommands() {
    const bool locked = m_view->IsMainWindowLocked();
    m_back->setEnabled(!locked && m_view->CanBack());
    m_filter->setEnabled(!locked && m_view->CanFilter());
    m_action->setEnabled(!locked && m_view->CanAction());
    for (QAction* action : m_menuActions) {
        const int command = action->data().toInt();
        if (command == IdSelectAll || command == IdInvertSelection)
            action->setEnabled(m_view->CanSelectAll());
        else if (action->isCheckable())
            action->setChecked(action->text().compare(m_doc.Language(), Qt::CaseInsensitive) == 0);
    }
}

void CMainFrame::OnItemCount(int count) {
    m_count = count;
    UpdateStatusTexts();
    // A list was loaded or changed: deletes and imports change what is overdue. Counted
    // once the events of the change are handled, so that a list shows without waiting for
    // the count, and several changes in a row are counted once; before the first paint
    // the count of the start stands for them.
    m_overduePending = true;
    if (!m_painted)
        return;
    QTimer::singleShot(0, this, [this] {
        if (!m_overduePending)
            return;
        m_overduePending = false;
        UpdateOverdue();
    });
}

void CMainFrame::UpdateOverdue() {
    CAdoDatabase db;
    if (m_doc.DataFolder().isEmpty() || !db.Open(m_doc.DataFolder(), UserSchema::FileName()))
        return;
    const int overdue = DueDates::CountOverdue(db, DueDates::Today());
    if (overdue < 0)
        return;
    m_overdue = overdue;
    UpdateStatusTexts();
}

void CMainFrame::UpdateOverdueText() {
    m_overduePane->setText(
        m_overdue > 0 ? FormatText(m_doc.Text(60102, QStringLiteral("%d overdue")), m_overdue) : QString());
    const int days =
        m_doc.Profile().GetInt(DueDates::kSection, DueDates::kWindowKey, DueDates::kDefaultWindowDays);
    m_overduePane->parentWidget()->setToolTip(FormatText(
        m_doc.Text(60103,
                   QStringLiteral(
                       "Devices whose next test has passed (red) or falls within the next %d days (amber)")),
        days));
    m_overduePane->parentWidget()->setVisible(m_overdue > 0);
}

void CMainFrame::OnProgress(bool busy, const QString& text) {
    m_progressIconId = busy ? 178 : 179;
    m_progressIcon->setPixmap(Artwork::StatusIcon(m_progressIconId));
    m_progressText->setText(busy ? text : QString());
}

void CMainFrame::OnLinkStatus(const QString& port, const QString& baudRate, const QString& dataBits,
                              int icon) {
    m_port = port;
    m_baud = baudRate;
    m_bits = dataBits;
    if (icon >= CWindowMessages::LinkConnecting && icon <= CWindowMessages::LinkFailed)
        m_linkIconId = icon;
    m_linkIcon->setPixmap(Artwork::StatusIcon(m_linkIconId));
    UpdateStatusTexts();
}

void CMainFrame::OnRedraw() {
    m_info->update();
    UpdateCommands();
}

void CMainFrame::OnLockMainWindow(bool locked) {
    m_indeterminate = locked;
    // A dimmed button with a busy tip stands for the indeterminate state.
    for (QAction* action : {m_back, m_filter, m_action})
        action->setProperty("indeterminate", locked);
    centralWidget()->setEnabled(!locked);
    menuBar()->setEnabled(!locked);
    UpdateCommands();
    // Disabling took the keyboard focus from the list; without it Enter, Backspace and the
    // arrow keys would do nothing until the next click.
    if (!locked && !focusWidget())
        m_view->setFocus();
}

void CMainFrame::Activate() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void CMainFrame::OnPrintSetup() {
    PrintCommands::RunPrintSetup(this, m_doc);
}

void CMainFrame::OnAbout() {
    CAboutDlg dialog(m_doc, this);
    dialog.exec();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Without a window manager (the offscreen platform of the tests) there is no frame to
    // make room for.
    if (m_fitted || QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    m_fitted = true;
    // 800 x 600 is the whole window, its frame and title bar included, as on the screen it
    // was made for; on an 800 x 600 screen the status bar would otherwise end up below the
    // screen's edge. The window manager tells the frame only once it has decorated the
    // window, so the size is set again when it is known, as long as nobody resized the
    // window meanwhile.
    const QSize initial = size();
    for (int delay : {0, 100, 500}) {
        QTimer::singleShot(delay, this, [this, initial] {
            const int dw = frameGeometry().width() - width();
            const int dh = frameGeometry().height() - height();
            if ((dw <= 0 && dh <= 0) || size() != initial)
                return;
            QSize wanted(initial.width() - dw, initial.height() - dh);
            if (const QScreen* s = screen()) {
                const QRect room = s->availableGeometry();
                wanted = wanted.boundedTo(QSize(room.width() - dw, room.height() - dh));
            }
            resize(wanted);
        });
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A worker still owns the window; it must end first.
    if (m_view->IsMainWindowLocked()) {
        event->ignore();
        return;
    }
    m_messages.SendClearList();
    event->accept();
}
