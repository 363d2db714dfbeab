#include "exchange/ui/ExportDlg.h"

#include "exchange/CsvExport.h"
#include "exchange/ExportWorkflow.h"
#include "exchange/ui/DriveSpace.h"
#include "platform/RemovableDrives.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace {

struct Captions {
    qint32 title;
    qint32 description;
};

Captions CaptionsOf(ExchangeKind kind, int target) {
    if (target == ExportTarget::DriveCsv)
        return {154, 50021};
    const bool folder = target == ExportTarget::Folder;
    if (kind == ExchangeKind::Specifications)
        return folder ? Captions{50067, 50069} : Captions{160, 50041};
    return folder ? Captions{50068, 50070} : Captions{161, 50042};
}

} // namespace

CExportDlg::CExportDlg(ExportDialogSetup setup, QWidget* parent)
    : QDialog(parent), m_setup(std::move(setup)), m_driveMode(m_setup.target != ExportTarget::Folder) {
    setObjectName(QStringLiteral("ExportDlg"));
    const Captions captions = CaptionsOf(m_setup.kind, m_setup.target);
    setWindowTitle(T(captions.title));

    m_picture = new QLabel(this);
    const QString bitmap =
        m_driveMode ? QStringLiteral("IDB_EXPORT_USB") : QStringLiteral("IDB_EXPORT_FOLDER");
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setProperty("bitmap", bitmap);
    m_picture->setPixmap(DriveSpace::Bitmap(bitmap));
    m_picture->setAlignment(Qt::AlignTop);

    auto* group = new QGroupBox(T(m_setup.kind == ExchangeKind::Specifications ? 50147 : 50139), this);
    m_description = new QLabel(T(captions.description), group);
    m_description->setWordWrap(true);

    auto* targetRow = new QHBoxLayout;
    if (m_driveMode) {
        auto* label = new QLabel(T(50038), group);
        m_drives = new QComboBox(group);
        m_drives->setObjectName(QStringLiteral("drives"));
        m_drives->setMinimumContentsLength(24);
        m_drives->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        label->setBuddy(m_drives);
        targetRow->addWidget(label);
        targetRow->addWidget(m_drives, 1);
    } else {
        auto* label = new QLabel(T(50182), group);
        m_folder = new QLineEdit(m_setup.lastFolder, group);
        m_folder->setObjectName(QStringLiteral("folder"));
        m_folder->setReadOnly(true);
        m_folderButton = new QPushButton(T(50065), group);
        m_folderButton->setObjectName(QStringLiteral("chooseFolder"));
        label->setBuddy(m_folderButton);
        targetRow->addWidget(label);
        targetRow->addWidget(m_folder, 1);
        targetRow->addWidget(m_folderButton);
        connect(m_folderButton, &QPushButton::clicked, this, &CExportDlg::ChooseFolder);
    }
    m_freeSpace = new QLabel(group);
    m_freeSpace->setObjectName(QStringLiteral("freeSpace"));
    m_progress = new QProgressBar(group);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setVisible(false);
    m_status = new QLabel(group);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_description);
    groupLayout->addLayout(targetRow);
    groupLayout->addWidget(m_freeSpace);
    groupLayout->addWidget(m_progress);
    groupLayout->addWidget(m_status);
    groupLayout->addStretch(1);

    // The catalogue's "Export"; a catalogue without it still gets a caption.
    const QString startCaption = T(32807);
    m_start = new QPushButton(startCaption.isEmpty() ? QStringLiteral("Export") : startCaption, this);
    m_start->setObjectName(QStringLiteral("start"));
    m_start->setDefault(true);
    m_exit = new QPushButton(T(TextId::kExit), this);
    m_exit->setObjectName(QStringLiteral("exit"));
    connect(m_start, &QPushButton::clicked, this, &CExportDlg::OnOK);
    connect(m_exit, &QPushButton::clicked, this, &CExportDlg::OnCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_exit);

    auto* top = new QHBoxLayout;
    top->addWidget(m_picture);
    top->addWidget(group, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    if (m_driveMode) {
        m_watcher = new CDriveWatcher(this);
        connect(m_watcher, &CDriveWatcher::drivesChanged, this, &CExportDlg::FillDrives);
        connect(m_drives, &QComboBox::currentIndexChanged, this, &CExportDlg::DriveChanged);
        FillDrives(m_watcher->Drives());
    } else {
        ShowFreeSpace();
    }
}

CExportDlg::~CExportDlg() {
    if (m_worker) {
        m_cancel = true;
        m_worker->wait();
    }
}

QString CExportDlg::T(qint32 textId) const {
    return ExchangeText::Resolve(m_setup.lookup, textId);
}

void CExportDlg::FillDrives(const QStringList& drives) {
    // While an export runs the list is disabled; a pulled drive fails the export itself.
    const QSignalBlocker block(m_drives);
    m_drives->clear();
    m_drives->addItems(drives);
    int index = drives.indexOf(DriveRoot(m_setup.lastDrive));
    if (m_setup.lastDrive.isEmpty() || index < 0)
        index = drives.isEmpty() ? -1 : 0;
    m_drives->setCurrentIndex(index);
    if (drives.isEmpty()) {
        m_freeSpace->setText(T(TextId::kDriveNotConnected));
        m_start->setVisible(false);
        return;
    }
    if (!m_busy)
        ShowFreeSpace();
}

void CExportDlg::DriveChanged(int) {
    ShowFreeSpace();
}

void CExportDlg::ChooseFolder() {
    const QString current = m_setup.lastFolder;
    const QString chosen =
        DriveSpace::ChooseFolder(this, FormatText(T(50066), QDir::toNativeSeparators(current)), current);
    if (chosen.isEmpty())
        return;
    m_setup.lastFolder = QDir::cleanPath(chosen);
    m_folder->setText(m_setup.lastFolder);
    ShowFreeSpace();
}

QString CExportDlg::TargetPath() const {
    if (!m_driveMode)
        return m_setup.lastFolder;
    return m_drives->currentIndex() >= 0 ? m_drives->currentText() : QString();
}

bool CExportDlg::ShowFreeSpace() {
    const QString path = TargetPath();
    if (m_driveMode && path.isEmpty()) {
        m_freeSpace->setText(T(TextId::kDriveNotConnected));
        m_start->setVisible(false);
        return false;
    }
    if (m_driveMode)
        m_setup.lastDrive = path;
    else
        m_setup.lastFolder = path;
    QString text;
    const bool ok = DriveSpace::TextOf(path, m_setup.lookup, text);
    m_freeSpace->setText(text);
    if (!m_busy)
        m_start->setVisible(ok);
    return ok;
}

void CExportDlg::OnOK() {
    if (m_busy || !m_start->isVisible())
        return;
    const QString path = TargetPath();
    if (path.isEmpty() || !ShowFreeSpace())
        return;
    m_busy = true;
    m_cancel = false;
    m_exit->setText(T(TextId::kCancel));
    m_start->setVisible(false);
    if (m_drives)
        m_drives->setEnabled(false);
    if (m_folderButton)
        m_folderButton->setEnabled(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setVisible(true);

    ExportCallbacks cb;
    cb.status = [this](const QString& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { m_status->setText(text); }, Qt::QueuedConnection);
    };
    cb.range = [this](int range) {
        QMetaObject::invokeMethod(
            this, [this, range] { m_progress->setRange(0, qMax(1, range)); }, Qt::QueuedConnection);
    };
    cb.position = [this](int position) {
        QMetaObject::invokeMethod(
            this, [this, position] { m_progress->setValue(position); }, Qt::QueuedConnection);
    };
    cb.recordWritten = [this] {
        QMetaObject::invokeMethod(
            this, [this] { ShowFreeSpace(); }, Qt::QueuedConnection);
    };
    cb.cancelled = [this] { return m_cancel.load(); };

    const ExportDialogSetup setup = m_setup;
    m_worker = QThread::create([this, setup, cb, path] {
        bool ok = false;
        if (setup.target == ExportTarget::DriveCsv) {
            // Test specifications have no CSV form.
            if (setup.kind == ExchangeKind::Protocols) {
                CCsvExport csv(setup.dataFolder, QString(), setup.language);
                csv.SetCallbacks(cb);
                csv.SetTextLookup(setup.lookup);
                ok = csv.Run(path, setup.ids);
            }
        } else {
            CExportWorkflow workflow(setup.dataFolder);
            workflow.SetCallbacks(cb);
            workflow.SetTextLookup(setup.lookup);
            ok = workflow.Run(setup.kind, setup.target, path, setup.ids);
        }
        QMetaObject::invokeMethod(
            this, [this, ok] { OnExportEnded(ok); }, Qt::QueuedConnection);
    });
    m_worker->start();
}

void CExportDlg::OnExportEnded(bool success) {
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
    }
    m_busy = false;
    emit exportEnded(success);
    if (success) {
        accept();
        return;
    }
    SetIdle();
}

void CExportDlg::SetIdle() {
    m_exit->setText(T(TextId::kExit));
    if (m_drives)
        m_drives->setEnabled(true);
    if (m_folderButton)
        m_folderButton->setEnabled(true);
    m_progress->setVisible(false);
    m_status->clear();
    // The drive may have gone meanwhile; the list and the start button say so.
    if (m_driveMode)
        FillDrives(m_watcher->Drives());
    else
        ShowFreeSpace();
}

void CExportDlg::OnCancel() {
    if (m_busy) {
        m_cancel = true;
        return;
    }
    QDialog::reject();
}

void CExportDlg::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        m_cancel = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool RunExportDialog(QWidget* parent, ExportDialogSetup& setup) {
    CExportDlg dialog(setup, parent);
    const bool ok = dialog.exec() == QDialog::Accepted;
    setup.lastDrive = dialog.LastDrive();
    setup.lastFolder = dialog.LastFolder();
    return ok;
}
