#include "exchange/ui/ImportV740.h"

#include "exchange/ui/DriveSpace.h"
#include "link/CatalogueExchange.h"
#include "link/LinkErrors.h"
#include "platform/Notifier.h"
#include "platform/RemovableDrives.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

struct Column {
    qint32 header;
    int width;
};

const QList<Column>& ColumnsOf(bool specifications) {
    static const QList<Column> specs{{19, 230}, {10005, 230}, {20, 148}, {125, 69}};
    static const QList<Column> protocols{{26, 162}, {22, 113}, {10005, 162}, {30859, 162}, {30435, 78}};
    return specifications ? specs : protocols;
}

QString SourceBitmap(int source) {
    switch (source) {
    case ImportSource::Drive:
        return QStringLiteral("IDB_IMPORT_USB");
    case ImportSource::Folder:
        return QStringLiteral("IDB_IMPORT_FOLDER");
    }
    return QStringLiteral("IDB_IMPORT");
}

} // namespace

// ---- Progress window.

CImportProgress::CImportProgress(const TextLookup& lookup, std::atomic<bool>& cancel, QWidget* parent)
    : QDialog(parent), m_lookup(lookup), m_cancel(cancel) {
    setObjectName(QStringLiteral("ImportProgress"));
    setWindowModality(Qt::WindowModal);
    m_step = new QLabel(this);
    m_step->setObjectName(QStringLiteral("step"));
    m_step->setTextFormat(Qt::PlainText);
    m_step->setMinimumWidth(360);
    m_bar = new QProgressBar(this);
    m_cancelButton = new QPushButton(ExchangeText::Resolve(m_lookup, TextId::kCancel), this);
    m_cancelButton->setObjectName(QStringLiteral("cancel"));
    connect(m_cancelButton, &QPushButton::clicked, this, &CImportProgress::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_step);
    layout->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_cancelButton);
    layout->addLayout(row);
}

void CImportProgress::SetTitle(qint32 textId) {
    setWindowTitle(ExchangeText::Resolve(m_lookup, textId));
}
void CImportProgress::SetRange(int range) {
    m_bar->setRange(0, qMax(1, range));
    m_bar->setValue(0);
}
void CImportProgress::SetPosition(int position) {
    m_bar->setValue(qMin(position, m_bar->maximum()));
}
void CImportProgress::SetStep(qint32 textId, const QString& arg) {
    const QString format = ExchangeText::Resolve(m_lookup, textId);
    m_step->setText(arg.isEmpty() ? format : FormatText(format, arg));
}
QString CImportProgress::StepText() const {
    return m_step->text();
}
void CImportProgress::reject() {
    // The work stops after its current record and then closes this window.
    m_cancel = true;
    m_cancelButton->setEnabled(false);
}

// ---- Dialog.

CImportV740::CImportV740(ImportDialogSetup setup, QWidget* parent)
    : QDialog(parent), m_setup(std::move(setup)) {
    setObjectName(QStringLiteral("ImportV740"));
    setWindowTitle(T(TextId::kImport));
    m_link.SetStatusCallback(m_setup.linkStatus);
    if (!m_setup.candidatePorts.isEmpty())
        m_link.SetCandidatePorts(m_setup.candidatePorts);

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_explanation = new QLabel(this);
    m_explanation->setObjectName(QStringLiteral("explanation"));
    m_explanation->setWordWrap(true);
    m_explanation->setTextFormat(Qt::PlainText);
    m_explanation->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    auto* sourceGroup = new QGroupBox(T(50175), this);
    m_sources = new QComboBox(sourceGroup);
    m_sources->setObjectName(QStringLiteral("sources"));
    m_sources->addItem(T(50173), ImportSource::Tester);
    m_sources->addItem(T(50174), ImportSource::Drive);
    m_sources->addItem(T(50180), ImportSource::Folder);
    m_drives = new QComboBox(sourceGroup);
    m_drives->setObjectName(QStringLiteral("drives"));
    m_drives->setMinimumContentsLength(20);
    m_drives->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_folderButton = new QPushButton(T(50065), sourceGroup);
    m_folderButton->setObjectName(QStringLiteral("chooseFolder"));
    m_status = new QLabel(sourceGroup);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    auto* sourceLayout = new QVBoxLayout(sourceGroup);
    sourceLayout->addWidget(m_sources);
    sourceLayout->addWidget(m_drives);
    sourceLayout->addWidget(m_folderButton);
    sourceLayout->addWidget(m_status);

    auto* previewGroup = new QGroupBox(T(50157), this);
    m_specButton = new QRadioButton(T(3), previewGroup);
    m_specButton->setObjectName(QStringLiteral("kindSpecifications"));
    m_protocolButton = new QRadioButton(T(5), previewGroup);
    m_protocolButton->setObjectName(QStringLiteral("kindProtocols"));
    m_previewButton = new QPushButton(T(406), previewGroup);
    m_previewButton->setObjectName(QStringLiteral("preview"));
    m_useQuery = new QCheckBox(T(50158), previewGroup);
    m_useQuery->setObjectName(QStringLiteral("useQuery"));
    auto* previewLayout = new QGridLayout(previewGroup);
    previewLayout->addWidget(m_specButton, 0, 0);
    previewLayout->addWidget(m_protocolButton, 1, 0);
    previewLayout->addWidget(m_previewButton, 0, 1);
    previewLayout->addWidget(m_useQuery, 2, 0, 1, 2);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("list"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_rowCount = new QLabel(this);
    m_rowCount->setObjectName(QStringLiteral("rowCount"));
    m_markAll = new QPushButton(T(146), this);
    m_markAll->setObjectName(QStringLiteral("markAll"));
    m_invert = new QPushButton(T(147), this);
    m_invert->setObjectName(QStringLiteral("invert"));

    auto* importGroup = new QGroupBox(T(400), this);
    m_importButton = new QPushButton(T(403), importGroup);
    m_importButton->setObjectName(QStringLiteral("import"));
    m_markedCount = new QLabel(importGroup);
    m_markedCount->setObjectName(QStringLiteral("markedCount"));
    auto* importLayout = new QHBoxLayout(importGroup);
    importLayout->addWidget(m_importButton);
    importLayout->addWidget(m_markedCount, 1);

    m_close = new QPushButton(T(TextId::kExit), this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAutoDefault(false);

    auto* left = new QVBoxLayout;
    left->addWidget(m_picture);
    left->addWidget(m_explanation, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(sourceGroup);
    right->addWidget(previewGroup);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(m_rowCount, 1);
    listButtons->addWidget(m_markAll);
    listButtons->addWidget(m_invert);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(importGroup, 1);
    bottom->addWidget(m_close, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(listButtons);
    layout->addLayout(bottom);
    resize(760, 560);

    m_progress = new CImportProgress(m_setup.lookup, m_cancel, this);

    connect(m_sources, &QComboBox::currentIndexChanged, this, &CImportV740::OnSourceChanged);
    connect(m_drives, &QComboBox::currentIndexChanged, this, &CImportV740::OnDriveChanged);
    connect(m_folderButton, &QPushButton::clicked, this, &CImportV740::OnChooseFolder);
    connect(m_specButton, &QRadioButton::clicked, this, [this] { OnKind(true); });
    connect(m_protocolButton, &QRadioButton::clicked, this, [this] { OnKind(false); });
    connect(m_previewButton, &QPushButton::clicked, this, &CImportV740::OnPreview);
    connect(m_useQuery, &QCheckBox::toggled, this, [this](bool on) { m_setup.useQuery = on; });
    connect(m_markAll, &QPushButton::clicked, this, &CImportV740::OnMarkAll);
    connect(m_invert, &QPushButton::clicked, this, &CImportV740::OnInvert);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CImportV740::SelectionChanged);
    connect(m_importButton, &QPushButton::clicked, this, &CImportV740::OnImport);
    connect(m_close, &QPushButton::clicked, this, &CImportV740::OnClose);

    m_watcher = new CDriveWatcher(this);
    connect(m_watcher, &CDriveWatcher::drivesChanged, this, [this](const QStringList& drives) {
        if (m_setup.source == ImportSource::Drive && !IsBusy())
            FillDrives(drives);
    });

    // Initialisation.
    m_rowCount->setText(FormatText(T(TextId::kEntries), 0));
    m_markedCount->setText(FormatText(T(TextId::kEntriesSelected), 0));
    m_specButton->setChecked(m_setup.specifications);
    m_protocolButton->setChecked(!m_setup.specifications);
    SetColumns();
    m_useQuery->setChecked(m_setup.useQuery);
    m_importButton->setEnabled(false);
    {
        const QSignalBlocker block(m_sources);
        m_sources->setCurrentIndex(qBound(0, m_setup.source, 2));
    }
    m_setup.source = m_sources->currentIndex();
    BuildExplanation();
    OnSourceChanged(m_setup.source);
}

CImportV740::~CImportV740() {
    if (m_worker) {
        m_cancel = true;
        m_worker->wait();
        delete m_worker;
    }
    if (m_connected) {
        m_connected = false;
        m_link.SetReadTimeout(250);
        Catalogue::CloseLink(m_link);
    }
}

QString CImportV740::T(qint32 textId) const {
    return ExchangeText::Resolve(m_setup.lookup, textId);
}

void CImportV740::BuildExplanation() {
    QStringList parts;
    switch (m_setup.source) {
    case ImportSource::Tester:
        parts << ExchangeText::Joined(m_setup.lookup, 50153, 50078);
        break;
    case ImportSource::Drive:
        parts << ExchangeText::Joined(m_setup.lookup, 50154, 50155) << T(50179);
        break;
    default:
        parts << ExchangeText::Joined(m_setup.lookup, 50156, 50178) << T(50179);
        break;
    }
    parts << T(50181);
    parts.removeAll(QString());
    m_explanation->setText(parts.join(QStringLiteral("\n\n")));
    const QString bitmap = SourceBitmap(m_setup.source);
    m_picture->setProperty("bitmap", bitmap);
    m_picture->setPixmap(DriveSpace::Bitmap(bitmap));
}

void CImportV740::SetColumns() {
    m_list->clear();
    const QList<Column>& columns = ColumnsOf(m_setup.specifications);
    QStringList headers;
    for (const Column& c : columns)
        headers << T(c.header);
    m_list->setColumnCount(int(columns.size()));
    m_list->setHeaderLabels(headers);
    for (int i = 0; i < columns.size(); ++i)
        m_list->setColumnWidth(i, columns[i].width);
}

void CImportV740::ClearList() {
    m_list->clear();
    m_preview = PreviewList();
    m_rowCount->setText(FormatText(T(TextId::kEntries), 0));
    SelectionChanged();
}

void CImportV740::SetControls(bool enabled) {
    const int source = m_setup.source;
    m_sources->setEnabled(enabled);
    m_close->setEnabled(enabled);
    m_drives->setEnabled(enabled && source == ImportSource::Drive);
    m_folderButton->setEnabled(enabled && source == ImportSource::Folder);
    const bool tester = source == ImportSource::Tester;
    const bool canPreview = tester ? m_connected : m_previewAllowed;
    m_specButton->setEnabled(enabled && canPreview);
    m_protocolButton->setEnabled(enabled && canPreview && (tester || !m_specsOnly));
    m_previewButton->setEnabled(enabled && canPreview);
    m_useQuery->setEnabled(enabled && tester && m_connected);
    m_list->setEnabled(enabled);
    m_markAll->setEnabled(enabled && m_list->topLevelItemCount() > 0);
    m_invert->setEnabled(enabled && m_list->topLevelItemCount() > 0);
    m_importButton->setEnabled(enabled && !m_list->selectedItems().isEmpty());
}

void CImportV740::EnableAfterFailure() {
    SetControls(false);
    m_close->setEnabled(true);
    m_sources->setEnabled(true);
    const bool tester = m_setup.source == ImportSource::Tester;
    const bool canPreview = tester ? m_connected : m_previewAllowed;
    m_previewButton->setEnabled(canPreview);
    m_specButton->setEnabled(canPreview);
    m_protocolButton->setEnabled(canPreview && (tester || !m_specsOnly));
    m_drives->setEnabled(m_setup.source == ImportSource::Drive);
    m_folderButton->setEnabled(m_setup.source == ImportSource::Folder);
    m_useQuery->setEnabled(tester && m_connected);
}

void CImportV740::OnSourceChanged(int index) {
    if (IsBusy())
        return;
    ClearList();
    m_setup.source = m_sources->itemData(index).toInt();
    BuildExplanation();
    m_previewAllowed = false;
    m_specsOnly = false;
    if (m_setup.source == ImportSource::Tester) {
        m_drives->setVisible(false);
        m_folderButton->setVisible(false);
        m_status->setVisible(false);
        if (m_connected) {
            SetControls(true);
        } else {
            m_foundByScan = false;
            StartConnect();
        }
        return;
    }
    CloseLink();
    m_status->setVisible(true);
    m_drives->setVisible(m_setup.source == ImportSource::Drive);
    m_folderButton->setVisible(m_setup.source == ImportSource::Folder);
    if (m_setup.source == ImportSource::Drive) {
        FillDrives(m_watcher->Drives());
    } else {
        CheckPath(m_setup.folder);
    }
}

void CImportV740::FillDrives(const QStringList& drives) {
    const QString before = m_drives->currentText();
    {
        const QSignalBlocker block(m_drives);
        m_drives->clear();
        m_drives->addItems(drives);
        int index = m_setup.drive.isEmpty() ? -1 : drives.indexOf(DriveRoot(m_setup.drive));
        if (index < 0 && !drives.isEmpty())
            index = 0;
        m_drives->setCurrentIndex(index);
    }
    if (drives.isEmpty()) {
        ClearList();
        m_previewAllowed = false;
        m_specsOnly = true;
        m_status->setText(T(TextId::kDriveNotConnected));
        SetControls(true);
        return;
    }
    if (m_drives->currentText() != before)
        ClearList();
    CheckPath(m_drives->currentText());
}

void CImportV740::OnDriveChanged(int) {
    if (IsBusy())
        return;
    ClearList();
    CheckPath(m_drives->currentText());
}

void CImportV740::OnChooseFolder() {
    const QString current = m_setup.folder;
    const QString chosen =
        DriveSpace::ChooseFolder(this, FormatText(T(50066), QDir::toNativeSeparators(current)), current);
    if (chosen.isEmpty())
        return;
    ClearList();
    CheckPath(QDir::cleanPath(chosen));
}

void CImportV740::CheckPath(const QString& path) {
    m_specsOnly = true;
    m_previewAllowed = false;
    if (m_setup.source == ImportSource::Drive)
        m_setup.drive = path;
    else
        m_setup.folder = path;
    QString text;
    if (path.isEmpty() || !DriveSpace::TextOf(path, m_setup.lookup, text)) {
        m_status->setText(T(50040));
        SetControls(true);
        return;
    }
    const QString folder = m_setup.source == ImportSource::Drive ? DriveXmlFolder(path) : path;
    const auto found = [&folder](ExchangeKind kind) {
        return QFileInfo(folder + QLatin1Char('/') + DocumentFileName(kind)).isFile();
    };
    const bool specs = found(ExchangeKind::Specifications);
    m_previewAllowed = specs;
    m_status->setText(text + T(specs ? 50176 : 50177));
    // Device protocols can only come from where their test specifications are too.
    if (specs && found(ExchangeKind::Protocols))
        m_specsOnly = false;
    if (m_specsOnly && !m_setup.specifications) {
        ClearList();
        m_setup.specifications = true;
        SetColumns();
    }
    if (m_specsOnly) {
        m_specButton->setChecked(true);
        m_protocolButton->setChecked(false);
    }
    SetControls(true);
}

void CImportV740::StartWorker(std::function<void()> work, std::function<void()> done) {
    m_cancel = false;
    m_worker = QThread::create(std::move(work));
    connect(m_worker, &QThread::finished, this, [this, done = std::move(done)] {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
        done();
    });
    m_worker->start();
}

void CImportV740::StartConnect() {
    SetControls(false);
    m_status->setText(T(TextId::kConnectingToTester));
    m_status->setVisible(true);
    struct Outcome {
        bool ok = false;
        qint32 error = 0;
        QString errorText;
        bool foundByScan = false;
        CSerialProfile serial;
    };
    auto outcome = std::make_shared<Outcome>();
    const ImportDialogSetup setup = m_setup;
    StartWorker(
        [this, outcome, setup] {
            Catalogue::LinkContext context{m_link, setup.dataFolder, setup.serial,
                                           setup.minimumRemoteVersion};
            outcome->ok = Catalogue::OpenLink(context, outcome->error, outcome->errorText, setup.lookup);
            outcome->foundByScan = context.foundByScan;
            outcome->serial = context.serial;
            if (!outcome->ok) {
                // A tester that answered is left in remote mode no longer than the attempt.
                if (m_link.IsOpen()) {
                    if (outcome->error == LinkError::InUse || outcome->error == LinkError::NoReply)
                        m_link.ClosePort();
                    else
                        Catalogue::CloseLink(m_link);
                }
                m_link.NotifyLinkStatus(LinkIcon::Failed);
            }
        },
        [this, outcome] {
            m_status->setVisible(false);
            if (outcome->foundByScan) {
                m_foundByScan = true;
                m_setup.serial = outcome->serial;
            }
            m_connected = outcome->ok;
            emit connectEnded(outcome->ok);
            if (outcome->ok) {
                SetControls(true);
                return;
            }
            SetControls(false);
            m_close->setEnabled(true);
            m_sources->setEnabled(true);
            ShowError(outcome->error, outcome->errorText);
        });
}

void CImportV740::CloseLink() {
    if (!m_connected)
        return;
    m_connected = false;
    m_link.SetReadTimeout(250);
    Catalogue::CloseLink(m_link);
}

void CImportV740::ShowError(qint32 code, const QString& text) {
    m_error = code;
    m_errorText = text;
    QString message = T(code);
    if (message.isEmpty())
        message = FormatText(T(50053), code);
    if (!text.isEmpty())
        message = QStringLiteral("%1\n%2").arg(message, text);
    Notifier().ShowMessage(message, T(TextId::kImport), CNotifier::Icon::Error);
}

void CImportV740::OnKind(bool specifications) {
    if (IsBusy())
        return;
    if (specifications != m_setup.specifications) {
        m_setup.specifications = specifications;
        ClearList();
        SetColumns();
    }
    m_specButton->setChecked(specifications);
    m_protocolButton->setChecked(!specifications);
    m_importButton->setEnabled(false);
}

CXmlSource* CImportV740::MakeSource() {
    switch (m_setup.source) {
    case ImportSource::Tester:
        m_source = std::make_unique<CTesterXmlSource>(m_link, m_setup.dataFolder);
        break;
    case ImportSource::Drive:
        m_source = std::make_unique<CDriveXmlSource>(m_setup.drive);
        break;
    default:
        m_source = std::make_unique<CFolderXmlSource>(m_setup.folder);
        break;
    }
    m_workflow = std::make_unique<CImportWorkflow>(*m_source, m_setup.dataFolder);
    m_workflow->SetTextLookup(m_setup.lookup);
    CImportWorkflow::Callbacks cb;
    CImportProgress* progress = m_progress;
    const auto post = [progress](std::function<void()> f) {
        QMetaObject::invokeMethod(progress, std::move(f), Qt::QueuedConnection);
    };
    cb.title = [post, progress](qint32 id) { post([progress, id] { progress->SetTitle(id); }); };
    cb.range = [post, progress](int n) { post([progress, n] { progress->SetRange(n); }); };
    cb.position = [post, progress](int n) { post([progress, n] { progress->SetPosition(n); }); };
    cb.step = [post, progress](qint32 id, const QString& arg) {
        post([progress, id, arg] { progress->SetStep(id, arg); });
    };
    cb.cancelled = [this] { return m_cancel.load(); };
    m_workflow->SetCallbacks(cb);
    return m_source.get();
}

void CImportV740::OnPreview() {
    if (IsBusy() || !m_previewButton->isEnabled())
        return;
    SetControls(false);
    ClearList();
    MakeSource();
    const bool tester = m_setup.source == ImportSource::Tester;
    if (tester) {
        m_progress->SetTitle(406);
        m_progress->SetRange(3);
        m_progress->SetStep(50143, QString());
        m_progress->show();
    }
    struct Outcome {
        bool ok = false;
        qint32 error = 0;
        QString errorText;
        PreviewList list;
    };
    auto outcome = std::make_shared<Outcome>();
    const ExchangeKind kind = m_setup.specifications ? ExchangeKind::Specifications : ExchangeKind::Protocols;
    const bool useQuery = tester && m_setup.useQuery;
    if (tester)
        m_link.SetReadTimeout(30000);
    StartWorker(
        [this, outcome, kind, useQuery] {
            outcome->ok =
                m_workflow->Preview(kind, useQuery, outcome->list, outcome->error, outcome->errorText);
        },
        [this, outcome] {
            m_preview = std::move(outcome->list);
            ShowPreview(outcome->ok, outcome->error, outcome->errorText);
        });
}

void CImportV740::ShowPreview(bool ok, qint32 error, const QString& errorText) {
    m_progress->hide();
    const ExchangeKind kind = m_preview.kind;
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(m_preview.rows.size()));
    for (std::size_t i = 0; i < m_preview.rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(Preview::Columns(m_preview.rows[i], kind, m_setup.lookup));
        item->setData(0, Qt::UserRole, qulonglong(i));
        items << item;
    }
    m_list->addTopLevelItems(items);
    m_rowCount->setText(FormatText(T(TextId::kEntries), int(items.size())));
    emit workEnded(ok, false);
    if (!ok) {
        EnableAfterFailure();
        ShowError(error, errorText);
        return;
    }
    SetControls(true);
    m_importButton->setEnabled(false);
    if (m_preview.leftOut > 0)
        Notifier().ShowMessage(ExchangeText::Joined(m_setup.lookup, 50171, 50172), T(TextId::kImport),
                               CNotifier::Icon::Information);
}

void CImportV740::OnMarkAll() {
    m_list->selectAll();
    m_list->setFocus();
}

void CImportV740::OnInvert() {
    const QSignalBlocker block(m_list);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        item->setSelected(!item->isSelected());
    }
    m_list->setFocus();
    SelectionChanged();
}

void CImportV740::SelectionChanged() {
    const int marked = int(m_list->selectedItems().size());
    m_markedCount->setText(FormatText(T(TextId::kEntriesSelected), marked));
    m_importButton->setEnabled(marked > 0 && m_list->isEnabled() && !IsBusy());
}

void CImportV740::OnImport() {
    if (IsBusy())
        return;
    std::vector<PreviewRow> marked;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (!item->isSelected())
            continue;
        const std::size_t index = item->data(0, Qt::UserRole).toULongLong();
        if (index >= m_preview.rows.size()) {
            ShowError(50131, QString());
            return;
        }
        marked.push_back(m_preview.rows[index]);
    }
    if (marked.empty())
        return;
    SetControls(false);
    MakeSource();
    m_progress->SetTitle(400);
    m_progress->SetRange(1);
    m_progress->SetStep(m_preview.kind == ExchangeKind::Specifications ? 414 : 418, QString());
    m_progress->show();
    auto result = std::make_shared<CImportWorkflow::Result>();
    const ExchangeKind kind = m_preview.kind;
    StartWorker(
        [this, result, kind, marked = std::move(marked)] { *result = m_workflow->Import(kind, marked); },
        [this, result] {
            m_progress->hide();
            emit workEnded(result->ok, true);
            if (!result->ok) {
                EnableAfterFailure();
                ShowError(result->error, result->errorText);
                return;
            }
            SetControls(true);
        });
}

void CImportV740::OnClose() {
    if (IsBusy())
        return;
    ClearList();
    CloseLink();
    done(QDialog::Rejected);
}

void CImportV740::reject() {
    // The window's close button closes the dialog as the Close button does.
    if (!IsBusy() && m_close->isEnabled())
        OnClose();
}

void CImportV740::keyPressEvent(QKeyEvent* event) {
    // Escape does nothing here: the connection and the preview stay.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CImportV740::closeEvent(QCloseEvent* event) {
    if (IsBusy() || !m_close->isEnabled()) {
        event->ignore();
        return;
    }
    OnClose();
    event->accept();
}

bool RunImportDialog(QWidget* parent, ImportDialogSetup& setup) {
    CImportV740 dialog(setup, parent);
    dialog.exec();
    setup = dialog.Setup();
    return dialog.FoundByScan();
}
