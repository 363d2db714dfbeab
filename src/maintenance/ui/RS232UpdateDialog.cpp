#include "maintenance/ui/RS232UpdateDialog.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "maintenance/ui/FileListDialog.h"
#include "maintenance/ui/MaintenanceWidgets.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

using namespace MaintenanceWidgets;

CRS232UpdateDialog::CRS232UpdateDialog(CVELMOR740PCRemoteDoc& doc, const QString& updateFolder,
                                       QWidget* parent)
    : QDialog(parent), m_doc(doc),
      m_update(m_link, updateFolder, doc.DataFolder(), [&doc](qint32 id) { return doc.Text(id); }) {
    setWindowTitle(doc.Text(50085));
    ConnectLinkStatus(m_link, doc);

    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/bitmaps/IDB_UPDATE.png")));
    picture->setAlignment(Qt::AlignTop);
    m_explanation = new QLabel(this);
    m_explanation->setWordWrap(true);
    m_explanation->setTextFormat(Qt::PlainText);
    m_explanation->setText(doc.Text(50007));
    top->addWidget(picture);
    top->addWidget(m_explanation, 1);

    auto* testerGroup = new QGroupBox(doc.Text(50072), this);
    m_identity = MakeIdentityList(doc, testerGroup);
    (new QVBoxLayout(testerGroup))->addWidget(m_identity);

    auto* statusGroup = new QGroupBox(doc.Text(50073), this);
    m_status = MakeStatusLabel(statusGroup);
    (new QVBoxLayout(statusGroup))->addWidget(m_status);

    auto* copyGroup = new QGroupBox(doc.Text(60803), this);
    auto* copyLayout = new QVBoxLayout(copyGroup);
    m_fileLabel = new QLabel(copyGroup);
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_progress = new QProgressBar(copyGroup);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    copyLayout->addWidget(m_fileLabel);
    copyLayout->addWidget(m_progress);

    auto* updateGroup = new QGroupBox(doc.Text(60804), this);
    auto* grid = new QGridLayout(updateGroup);
    m_files = new QLabel(updateGroup);
    m_duration = new QLabel(updateGroup);
    grid->addWidget(new QLabel(doc.Text(50097), updateGroup), 0, 0);
    grid->addWidget(m_files, 0, 1);
    grid->addWidget(new QLabel(doc.Text(50098), updateGroup), 1, 0);
    grid->addWidget(m_duration, 1, 1);
    grid->setColumnStretch(1, 1);

    m_start = new QPushButton(doc.Text(60800), this);
    m_info = new QPushButton(doc.Text(60801), this);
    m_close = new QPushButton(doc.Text(60802), this);
    m_start->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_info);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(testerGroup);
    layout->addWidget(statusGroup);
    layout->addWidget(copyGroup);
    layout->addWidget(updateGroup);
    layout->addLayout(buttons);

    connect(m_start, &QPushButton::clicked, this, &CRS232UpdateDialog::OnStart);
    connect(m_info, &QPushButton::clicked, this, &CRS232UpdateDialog::OnInformation);
    connect(m_close, &QPushButton::clicked, this, &CRS232UpdateDialog::reject);

    CSoftwareUpdate::Callbacks cb;
    cb.status = [this](const QString& text, StatusColour colour) {
        Ui([this, text, colour] { SetStatus(m_status, text, colour); });
    };
    cb.fileLabel = [this](const QString& path) { Ui([this, path] { m_fileLabel->setText(path); }); };
    cb.progress = [this](int done, int blocks) {
        Ui([this, done, blocks] {
            m_progress->setRange(0, std::max(blocks, 1));
            m_progress->setValue(done);
        });
    };
    cb.left = [this](int files, const QString& duration) {
        Ui([this, files, duration] {
            m_files->setText(QString::number(files));
            m_duration->setText(duration);
        });
    };
    cb.linkStatus = [this](int icon) { m_link.NotifyLinkStatus(icon); };
    m_update.SetCallbacks(cb);

    SetStatus(m_status, doc.Text(50011), StatusColour::Working);
    EnableButtons(false, false, false);
    resize(520, sizeHint().height());
}

CRS232UpdateDialog::~CRS232UpdateDialog() {
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void CRS232UpdateDialog::Ui(std::function<void()> f) {
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void CRS232UpdateDialog::EnableButtons(bool start, bool info, bool close) {
    m_start->setEnabled(start);
    m_info->setEnabled(info);
    m_close->setEnabled(close);
}

void CRS232UpdateDialog::RunWorker(std::function<bool()> work, std::function<void(bool)> done) {
    auto result = std::make_shared<bool>(false);
    m_worker = QThread::create([work = std::move(work), result] { *result = work(); });
    connect(m_worker, &QThread::finished, this, [this, result, done = std::move(done)] {
        m_worker->deleteLater();
        m_worker = nullptr;
        done(*result);
    });
    m_worker->start();
}

void CRS232UpdateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    CSerialProfile settings;
    settings.port = m_doc.SerialPort();
    settings.baudRate = m_doc.BaudRate();
    settings.dataBits = m_doc.DataBits();
    RunWorker([this, settings] { return m_update.Connect(settings); }, [this](bool ok) { OnConnected(ok); });
}

void CRS232UpdateDialog::OnConnected(bool ok) {
    EnableButtons(ok, true, true);
    if (m_update.FoundByScan()) {
        m_doc.SetSerialPort(m_link.GetPort());
        m_doc.SetBaudRate(m_link.GetBaudRate());
        m_doc.SetDataBits(m_link.GetDataBits());
    }
    m_update.ReportConnection();
    FillIdentity(m_identity, m_update.Identity());
    const bool ready = m_update.ReadPackage();
    m_explanation->setText(m_update.PackageText());
    m_files->setText(QString::number(m_update.CopyList().EntryCount()));
    m_duration->setText(m_update.ExpectedDuration(m_update.CopyList().TotalSize()));
    // Without a copy list there is nothing to copy: Start would report an update that
    // never happened.
    m_start->setEnabled(ok && ready);
}

void CRS232UpdateDialog::OnInformation() {
    const bool startWas = m_start->isEnabled();
    EnableButtons(false, false, false);
    setCursor(Qt::WaitCursor);
    auto rows = std::make_shared<std::vector<CSoftwareUpdate::FileRow>>();
    RunWorker(
        [this, rows] {
            *rows = m_update.FileList();
            return m_update.IsConnected();
        },
        [this, rows, startWas](bool connected) {
            unsetCursor();
            CFileListDialog list(m_doc, m_update.FileListHeadline(), *rows, this);
            list.exec();
            EnableButtons(startWas && connected, true, true);
        });
}

void CRS232UpdateDialog::OnStart() {
    if (!m_update.ConfirmVersions())
        return;
    EnableButtons(false, false, false);
    RunWorker([this] { return m_update.Copy(); }, [this](bool ok) { OnCopied(ok); });
}

void CRS232UpdateDialog::OnCopied(bool ok) {
    EnableButtons(ok, ok, true);
}

void CRS232UpdateDialog::reject() {
    // Escape and the window's close box end the dialog like Close, but never while a
    // worker holds the link.
    if (m_worker || !m_close->isEnabled())
        return;
    m_update.Close();
    QDialog::reject();
}
