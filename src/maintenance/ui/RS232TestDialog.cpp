#include "maintenance/ui/RS232TestDialog.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "maintenance/ui/AntwortDlg.h"
#include "maintenance/ui/MaintenanceWidgets.h"
#include "store/TextIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

using namespace MaintenanceWidgets;

namespace {
constexpr int kRepeatTimer = 100; // also its period in ms
}

void CReplyLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    emit clicked();
}

void CReplyLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

CRS232TestDialog::CRS232TestDialog(CVELMOR740PCRemoteDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_test(m_link, doc.DataFolder()) {
    setWindowTitle(doc.Text(50071));
    ConnectLinkStatus(m_link, doc);

    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/bitmaps/IDB_RS232TEST.png")));
    picture->setAlignment(Qt::AlignTop);
    auto* explanation = new QLabel(doc.Text(50078), this);
    explanation->setWordWrap(true);
    top->addWidget(picture);
    top->addWidget(explanation, 1);

    auto* testerGroup = new QGroupBox(doc.Text(50072), this);
    m_identity = MakeIdentityList(doc, testerGroup);
    (new QVBoxLayout(testerGroup))->addWidget(m_identity);

    auto* statusGroup = new QGroupBox(doc.Text(50073), this);
    m_status = MakeStatusLabel(statusGroup);
    (new QVBoxLayout(statusGroup))->addWidget(m_status);

    auto* commandGroup = new QGroupBox(doc.Text(50074), this);
    auto* hint = new QLabel(doc.Text(50084), commandGroup);
    hint->setWordWrap(true);
    m_command = new QComboBox(commandGroup);
    m_command->setEditable(true);
    m_command->addItems(CConnectionTest::Commands());
    m_command->setInsertPolicy(QComboBox::NoInsert);
    m_command->setMaxVisibleItems(28);
    m_send = new QPushButton(doc.Text(50075), commandGroup);
    m_repeat = new QCheckBox(doc.Text(50077), commandGroup);
    auto* replyLabel = new QLabel(doc.Text(50082), commandGroup);
    m_reply = new CReplyLabel(commandGroup);
    m_reply->setTextFormat(Qt::PlainText);
    m_reply->setFrameShape(QFrame::StyledPanel);
    m_reply->setFocusPolicy(Qt::StrongFocus);
    m_reply->setCursor(Qt::PointingHandCursor);
    m_reply->setMinimumHeight(m_reply->fontMetrics().height() + 8);
    m_reply->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout;
    row->addWidget(m_command, 1);
    row->addWidget(m_send);
    auto* commandLayout = new QVBoxLayout(commandGroup);
    commandLayout->addWidget(hint);
    commandLayout->addLayout(row);
    commandLayout->addWidget(m_repeat);
    commandLayout->addWidget(replyLabel);
    commandLayout->addWidget(m_reply);

    m_close = new QPushButton(doc.Text(TextId::kExit), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(testerGroup);
    layout->addWidget(statusGroup);
    layout->addWidget(commandGroup);
    layout->addLayout(buttons);

    connect(m_send, &QPushButton::clicked, this, &CRS232TestDialog::OnSend);
    connect(m_repeat, &QCheckBox::toggled, this, &CRS232TestDialog::OnRepeat);
    connect(m_reply, &CReplyLabel::clicked, this, &CRS232TestDialog::OnReplyClicked);
    connect(m_close, &QPushButton::clicked, this, &CRS232TestDialog::reject);
    connect(m_command->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (m_send->isEnabled())
            OnSend();
    });
    m_timer.setInterval(kRepeatTimer);
    connect(&m_timer, &QTimer::timeout, this, &CRS232TestDialog::OnTick);

    SetStatus(m_status, doc.Text(50011), StatusColour::Working);
    m_send->setEnabled(false);
    m_close->setEnabled(false);
    resize(520, sizeHint().height());
}

CRS232TestDialog::~CRS232TestDialog() {
    m_timer.stop();
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void CRS232TestDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    CSerialProfile settings;
    settings.port = m_doc.SerialPort();
    settings.baudRate = m_doc.BaudRate();
    settings.dataBits = m_doc.DataBits();
    auto ok = std::make_shared<bool>(false);
    m_worker = QThread::create([this, settings, ok] { *ok = m_test.Connect(settings); });
    connect(m_worker, &QThread::finished, this, [this, ok] {
        m_worker->deleteLater();
        m_worker = nullptr;
        OnConnected(*ok);
    });
    m_worker->start();
}

void CRS232TestDialog::OnConnected(bool ok) {
    m_close->setEnabled(true);
    if (ok) {
        m_link.NotifyLinkStatus(LinkIcon::Connected);
        SetStatus(m_status, m_doc.Text(50081), StatusColour::Success);
        m_reply->clear();
        m_lastReply.clear();
        FillIdentity(m_identity, m_test.Identity());
        m_send->setEnabled(true);
    } else {
        m_link.NotifyLinkStatus(LinkIcon::Failed);
        SetStatus(m_status, m_doc.Text(m_test.ErrorCode()), StatusColour::Error);
        m_send->setEnabled(false);
    }
    if (m_test.FoundByScan()) {
        m_doc.SetSerialPort(m_link.GetPort());
        m_doc.SetBaudRate(m_link.GetBaudRate());
        m_doc.SetDataBits(m_link.GetDataBits());
    }
    if (m_closeWanted)
        reject();
}

void CRS232TestDialog::OnSend() {
    SendNow(false);
}

void CRS232TestDialog::OnTick() {
    // A tick while the last exchange still waits for its reply is dropped.
    if (m_worker || !m_send->isEnabled())
        return;
    SendNow(true);
}

void CRS232TestDialog::SendNow(bool repeating) {
    if (m_worker)
        return;
    if (!repeating) {
        m_reply->clear();
        m_lastReply.clear();
    }
    const QString command = m_command->currentText();
    struct Result {
        bool ok = false;
        QString reply;
    };
    auto result = std::make_shared<Result>();
    m_worker = QThread::create([this, command, result] { result->ok = m_test.Send(command, result->reply); });
    connect(m_worker, &QThread::finished, this, [this, result] {
        m_worker->deleteLater();
        m_worker = nullptr;
        if (result->ok) {
            m_lastReply = result->reply;
            m_reply->setText(result->reply);
        } else {
            m_timer.stop();
            m_link.NotifyLinkStatus(LinkIcon::Failed);
            SetStatus(m_status, m_doc.Text(m_test.ErrorCode()), StatusColour::Error);
            m_send->setEnabled(false);
        }
        if (m_closeWanted)
            reject();
    });
    m_worker->start();
}

void CRS232TestDialog::OnRepeat(bool on) {
    if (on)
        m_timer.start();
    else
        m_timer.stop();
}

void CRS232TestDialog::OnReplyClicked() {
    CAntwortDlg answer(m_doc.Text(50083), m_lastReply, m_doc.Text(TextId::kExit), this);
    answer.exec();
}

void CRS232TestDialog::reject() {
    if (!m_close->isEnabled() && !m_closeWanted)
        return;
    m_timer.stop();
    // An exchange in flight ends with its reply or its time-out; the dialog closes then.
    if (m_worker) {
        m_closeWanted = true;
        m_close->setEnabled(false);
        return;
    }
    m_test.Close();
    QDialog::reject();
}
