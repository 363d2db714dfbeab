#include "printheader/ui/PrintHeader.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "platform/Notifier.h"
#include "printheader/BitmapCheck.h"
#include "printheader/PrintHeaderTransfer.h"
#include "store/TextFormat.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

constexpr QSize kLogoPreview(150, 53);
constexpr QSize kSignaturePreview(263, 53);

QLabel* MakePreview(QWidget* parent, QSize size) {
    auto* label = new QLabel(parent);
    label->setFixedSize(size + QSize(4, 4));
    label->setFrameShape(QFrame::StyledPanel);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The picture scaled into the preview; an empty pixmap when the bytes are no bitmap.
QPixmap Preview(const QByteArray& bytes, QSize size) {
    if (BitmapCheck::Check(bytes) != BitmapCheck::Result::Ok)
        return QPixmap();
    const QImage image = QImage::fromData(bytes, "BMP");
    if (image.isNull())
        return QPixmap();
    return QPixmap::fromImage(image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QPixmap ErrorLogo() {
    return QPixmap(QStringLiteral(":/bitmaps/IDB_ERROR_LOGO.png"));
}

} // namespace

CPrintHeader::CPrintHeader(CVELMOR740PCRemoteDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_folder(doc.DataFolder()) {
    setWindowTitle(T(50194, "Edit print header"));
    if (CWindowMessages* messages = doc.Messages())
        m_link.SetStatusCallback([messages](const CLinkStatus& s) {
            messages->PostLinkStatus(s.port, s.baudRate, s.dataBits, s.icon);
        });

    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/bitmaps/IDB_PRINTHEADER.png")));
    picture->setAlignment(Qt::AlignTop);
    auto* help = new QLabel(QStringLiteral("%1 %2\n%3").arg(T(50192), T(50193), T(50214)), this);
    help->setWordWrap(true);
    top->addWidget(picture);
    top->addWidget(help, 1);

    // Header lines.
    auto* linesGroup = new QGroupBox(T(50195, "Header lines"), this);
    m_lines = new QTreeWidget(linesGroup);
    m_lines->setColumnCount(1);
    m_lines->setHeaderLabels({QStringLiteral("Kopfzeile")});
    m_lines->setColumnWidth(0, 325);
    m_lines->setRootIsDecorated(false);
    m_lines->setUniformRowHeights(true);
    m_lines->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
    m_lines->installEventFilter(this);
    // The heading and three rows, without scrolling.
    m_lines->setFixedHeight(m_lines->header()->sizeHint().height() +
                            3 * (m_lines->fontMetrics().height() + 8) + 2 * m_lines->frameWidth());
    auto* linesHint = new QLabel(T(50213), linesGroup);
    linesHint->setWordWrap(true);
    auto* optionLabel = new QLabel(T(50200, "Signature on reports:"), linesGroup);
    m_option = new QComboBox(linesGroup);
    m_option->addItems({T(50219), T(50220), T(50221)});
    optionLabel->setBuddy(m_option);
    auto* linesLayout = new QVBoxLayout(linesGroup);
    linesLayout->addWidget(m_lines);
    linesLayout->addWidget(linesHint);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(optionLabel);
    optionRow->addWidget(m_option, 1);
    linesLayout->addLayout(optionRow);

    // Logo.
    auto* logoGroup = new QGroupBox(T(50197, "Logo"), this);
    m_logo = MakePreview(logoGroup, kLogoPreview);
    m_logoButton = new QPushButton(T(50198, "Choose logo..."), logoGroup);
    auto* logoLayout = new QGridLayout(logoGroup);
    logoLayout->addWidget(new QLabel(T(50212, "Logo preview"), logoGroup), 0, 0);
    logoLayout->addWidget(m_logo, 1, 0);
    logoLayout->addWidget(m_logoButton, 1, 1, Qt::AlignTop);
    logoLayout->setColumnStretch(2, 1);

    // Signatures.
    auto* signGroup = new QGroupBox(T(50199, "Signature"), this);
    m_signatures = new QListWidget(signGroup);
    m_signatures->setSelectionMode(QAbstractItemView::SingleSelection);
    m_signatures->setMaximumHeight(m_signatures->fontMetrics().height() * 6);
    m_signature = MakePreview(signGroup, kSignaturePreview);
    m_add = new QPushButton(T(50209, "Add signature..."), signGroup);
    m_delete = new QPushButton(T(50210, "Delete signature"), signGroup);
    auto* signHint = new QLabel(T(50215), signGroup);
    signHint->setWordWrap(true);
    auto* signLayout = new QGridLayout(signGroup);
    signLayout->addWidget(new QLabel(T(50211, "Stored signatures:"), signGroup), 0, 0);
    signLayout->addWidget(new QLabel(T(50218, "Signature preview"), signGroup), 0, 1);
    signLayout->addWidget(m_signatures, 1, 0, 3, 1);
    signLayout->addWidget(m_signature, 1, 1);
    signLayout->addWidget(new QLabel(T(30437, "Signature"), signGroup), 2, 1, Qt::AlignHCenter);
    auto* signButtons = new QHBoxLayout;
    signButtons->addWidget(m_add);
    signButtons->addWidget(m_delete);
    signButtons->addStretch();
    signLayout->addLayout(signButtons, 4, 0, 1, 2);
    signLayout->addWidget(signHint, 5, 0, 1, 2);

    // Transfer.
    auto* transferGroup = new QGroupBox(T(50216, "Transfer to the tester"), this);
    m_progress = new QProgressBar(transferGroup);
    m_status = new QLabel(transferGroup);
    m_status->setTextFormat(Qt::PlainText);
    auto* transferLayout = new QVBoxLayout(transferGroup);
    transferLayout->addWidget(m_status);
    transferLayout->addWidget(m_progress);
    transferGroup->setMinimumHeight(transferGroup->sizeHint().height());

    m_send = new QPushButton(T(4515, "Save and send"), this);
    m_send->setDefault(true);
    m_close = new QPushButton(T(4516, "Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_send);
    buttons->addWidget(m_close);

    // The contents scroll above the buttons, so that the dialog fits an 800x600 screen
    // whatever the language's texts take; the buttons always stay in view.
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(linesGroup);
    layout->addWidget(logoGroup);
    layout->addWidget(signGroup);
    layout->addWidget(transferGroup);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(scroll, 1);
    outer->addLayout(buttons);
    // Never narrower or lower than the contents: the wrapped hints take their height at this
    // width, so that they do not overlap the lists and previews.
    constexpr int kWidth = 620;
    const int height =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(kWidth) : content->sizeHint().height();
    content->setMinimumSize(kWidth, qMax(height, layout->totalMinimumSize().height()));
    scroll->setWidget(content);
    const QMargins m = outer->contentsMargins();
    const int scrollBar = scroll->verticalScrollBar()->sizeHint().width();
    const int wanted =
        content->minimumHeight() + outer->spacing() + buttons->sizeHint().height() + m.top() + m.bottom();
    const QScreen* shown = parent ? parent->screen() : QGuiApplication::primaryScreen();
    // Room for the window frame's title bar below the screen's free height.
    const int room = shown ? shown->availableGeometry().height() - 40 : wanted;
    setMinimumWidth(kWidth + scrollBar + m.left() + m.right());
    const QSize fitted(minimumWidth(), qMin(wanted, room));

    // Content.
    m_filling = true;
    m_header.Read(m_folder);
    for (int i = 0; i < CPrintHeaderText::kLineCount; ++i) {
        auto* item = new QTreeWidgetItem(m_lines, {m_header.Line(i)});
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    m_lines->setCurrentItem(m_lines->topLevelItem(0));
    m_option->setCurrentIndex(m_header.Option());
    ShowLogo();
    const QStringList names = CPrintHeaderText::SignatureNames(m_folder);
    m_signatures->addItems(names);
    const qsizetype current = names.indexOf(m_doc.SignBitmap());
    if (current >= 0) {
        m_signatures->setCurrentRow(int(current));
        ShowSignature(names[current]);
    }
    m_progress->hide();
    m_status->hide();
    m_filling = false;
    resize(fitted);

    connect(m_lines, &QTreeWidget::itemChanged, this, &CPrintHeader::OnLineEdited);
    connect(m_option, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_header.SetOption(index); });
    connect(m_logoButton, &QPushButton::clicked, this, &CPrintHeader::OnChooseLogo);
    connect(m_signatures, &QListWidget::itemSelectionChanged, this, &CPrintHeader::OnSignatureSelected);
    connect(m_add, &QPushButton::clicked, this, &CPrintHeader::OnAddSignature);
    connect(m_delete, &QPushButton::clicked, this, &CPrintHeader::DeleteSignature);
    connect(m_send, &QPushButton::clicked, this, &CPrintHeader::SaveAndSend);
    connect(m_close, &QPushButton::clicked, this, &CPrintHeader::reject);
}

CPrintHeader::~CPrintHeader() {
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

CatalogueDialogResult CPrintHeader::RunEntry(QWidget* parent, CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    CPrintHeader dialog(doc, parent);
    dialog.exec();
    CatalogueDialogResult result;
    result.serialSettingsChanged = dialog.FoundByScan();
    return result;
}

QString CPrintHeader::T(qint32 id, const char* fallback) const {
    return m_doc.Text(id, QString::fromUtf8(fallback));
}

bool CPrintHeader::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a header line starts editing it, as F2 and a double click do.
    if (watched == m_lines && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // An editor's Enter also reaches the list once the editor has taken it; only the
        // list's own Enter opens an editor.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_lines->hasFocus() &&
            m_lines->currentItem()) {
            m_lines->editItem(m_lines->currentItem(), 0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CPrintHeader::reject() {
    // The send cannot be interrupted halfway; the dialog closes once it has reported.
    if (m_worker)
        return;
    QDialog::reject();
}

void CPrintHeader::OnLineEdited(QTreeWidgetItem* item, int) {
    if (m_filling)
        return;
    const int index = m_lines->indexOfTopLevelItem(item);
    if (index < 0)
        return;
    QString bad;
    if (!m_header.SetLine(index, item->text(0), &bad))
        Notifier().ShowMessage(FormatText(T(CPrintHeaderTransfer::kUnmappable), bad), windowTitle(),
                               CNotifier::Icon::Error);
    // The list shows what is kept: the line cut to 50 characters, or the old line.
    m_filling = true;
    item->setText(0, m_header.Line(index));
    m_filling = false;
}

void CPrintHeader::ShowLogo() {
    QFile f(QDir(m_folder).filePath(CPrintHeaderText::LogoFileName()));
    const QPixmap pixmap = f.open(QIODevice::ReadOnly) ? Preview(f.readAll(), kLogoPreview) : QPixmap();
    m_logo->setPixmap(pixmap.isNull() ? ErrorLogo() : pixmap);
}

void CPrintHeader::ShowSignature(const QString& name) {
    QByteArray bitmap;
    if (name.isEmpty() || !CPrintHeaderText::ReadSignature(m_folder, name, bitmap)) {
        m_signature->clear();
        return;
    }
    const QPixmap pixmap = Preview(bitmap, kSignaturePreview);
    m_signature->setPixmap(pixmap.isNull() ? ErrorLogo() : pixmap);
}

void CPrintHeader::SetCurrentSignature(const QString& name) {
    m_doc.SetSignBitmap(name);
    m_doc.Settings().WriteSignBitmap(name);
}

void CPrintHeader::RefuseBitmap(QLabel* preview, const QString& path) {
    preview->setPixmap(ErrorLogo());
    Notifier().ShowMessage(QStringLiteral("%1\n%2").arg(T(CPrintHeaderText::kBitmapRefused), path),
                           windowTitle(), CNotifier::Icon::Error);
}

void CPrintHeader::OnChooseLogo() {
    const QString path = QFileDialog::getOpenFileName(this, T(50206, "Choose bitmap"), QString(),
                                                      T(50207, "Bitmap files (*.bmp *.BMP)"));
    if (!path.isEmpty())
        ChooseLogo(path);
}

bool CPrintHeader::ChooseLogo(const QString& path) {
    const int error = CPrintHeaderText::StoreLogo(m_folder, path);
    if (error == CPrintHeaderText::kBitmapRefused) {
        RefuseBitmap(m_logo, path);
        return false;
    }
    if (error) {
        Notifier().ShowMessage(T(error), windowTitle(), CNotifier::Icon::Error);
        ShowLogo();
        return false;
    }
    ShowLogo();
    return true;
}

void CPrintHeader::OnAddSignature() {
    const QString path = QFileDialog::getOpenFileName(this, T(50206, "Choose bitmap"), QString(),
                                                      T(50207, "Bitmap files (*.bmp *.BMP)"));
    if (!path.isEmpty())
        AddSignature(path);
}

bool CPrintHeader::AddSignature(const QString& path) {
    QString name;
    const int error = CPrintHeaderText::StoreSignature(m_folder, path, &name);
    if (error == CPrintHeaderText::kBitmapRefused) {
        RefuseBitmap(m_signature, path);
        return false;
    }
    if (error) {
        Notifier().ShowMessage(T(error), windowTitle(), CNotifier::Icon::Error);
        return false;
    }
    const QList<QListWidgetItem*> found =
        m_signatures->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QListWidgetItem* item = found.isEmpty() ? new QListWidgetItem(name, m_signatures) : found.first();
    m_signatures->setCurrentItem(item);
    SetCurrentSignature(name);
    ShowSignature(name);
    return true;
}

void CPrintHeader::OnSignatureSelected() {
    if (m_filling)
        return;
    const QList<QListWidgetItem*> selected = m_signatures->selectedItems();
    if (selected.isEmpty()) {
        m_signature->clear();
        return;
    }
    SetCurrentSignature(selected.first()->text());
    ShowSignature(selected.first()->text());
}

void CPrintHeader::DeleteSignature() {
    QListWidgetItem* item = m_signatures->currentItem();
    if (!item || !item->isSelected())
        return;
    if (Notifier().Ask(T(50223, "Do you really want to delete the selected signature?"), windowTitle(),
                       CNotifier::Buttons::OkCancel, CNotifier::Icon::Question) != CNotifier::Answer::Ok)
        return;
    const QString name = item->text();
    if (!CPrintHeaderText::DeleteSignature(m_folder, name)) {
        Notifier().ShowMessage(T(CPrintHeaderText::kStoreFailed), windowTitle(), CNotifier::Icon::Error);
        return;
    }
    delete item;
    if (m_signatures->count() > 0) {
        m_signatures->setCurrentRow(0);
        m_signatures->item(0)->setSelected(true);
    } else {
        // No signature left to print: none is current.
        if (m_doc.SignBitmap() == name)
            SetCurrentSignature(QString());
        m_signature->clear();
    }
}

void CPrintHeader::SetEditing(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_lines, m_option, m_logoButton, m_signatures, m_add,
                                                      m_delete, m_send, m_close})
        w->setEnabled(enabled);
}

bool CPrintHeader::SaveAndSend() {
    if (m_worker)
        return false;
    // A line still being edited was committed when the button took the focus.
    SetEditing(false);
    m_progress->setRange(0, CPrintHeaderTransfer::Range(m_signatures->count()));
    m_progress->setValue(0);
    m_progress->show();
    m_status->clear();
    m_status->show();
    m_lastError = 0;

    QStringList names;
    for (int i = 0; i < m_signatures->count(); ++i)
        names << m_signatures->item(i)->text();
    CSerialProfile serial;
    serial.port = m_doc.SerialPort();
    serial.baudRate = m_doc.BaudRate();
    serial.dataBits = m_doc.DataBits();

    WorkflowCallbacks cb;
    cb.status = [this](const QString& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { m_status->setText(text); }, Qt::QueuedConnection);
    };
    cb.range = [this](int n) {
        QMetaObject::invokeMethod(
            this, [this, n] { m_progress->setRange(0, n); }, Qt::QueuedConnection);
    };
    cb.position = [this](int n) {
        QMetaObject::invokeMethod(
            this, [this, n] { m_progress->setValue(n); }, Qt::QueuedConnection);
    };
    // The status texts are looked up here: the reference database belongs to this thread.
    QHash<qint32, QString> known;
    for (qint32 id : {50201, 50138, 50203, 50204, 50224})
        known.insert(id, m_doc.Text(id));
    auto texts = [known](qint32 id) { return known.value(id); };
    struct Result {
        bool ok = false;
        qint32 error = 0;
        QString detail;
        bool found = false;
        CSerialProfile settings;
    };
    auto result = std::make_shared<Result>();
    const CPrintHeaderText header = m_header;
    const QString folder = m_folder;
    m_worker = QThread::create([this, header, names, serial, cb, texts, folder, result] {
        CPrintHeaderTransfer transfer(m_link, folder, serial);
        transfer.SetTexts(texts);
        transfer.SetCallbacks(cb);
        result->ok = transfer.Run(header, names);
        result->error = transfer.ErrorCode();
        result->detail = transfer.ErrorDetail();
        result->found = transfer.FoundByScan();
        result->settings = transfer.Settings();
    });
    connect(m_worker, &QThread::finished, this, [this, result] {
        m_worker->deleteLater();
        m_worker = nullptr;
        if (result->found) {
            m_foundByScan = true;
            m_doc.SetSerialPort(result->settings.port);
            m_doc.SetBaudRate(result->settings.baudRate);
            m_doc.SetDataBits(result->settings.dataBits);
        }
        OnSendFinished(result->ok, result->error, result->detail);
    });
    m_worker->start();
    return true;
}

void CPrintHeader::OnSendFinished(bool ok, qint32 error, const QString& detail) {
    m_lastError = ok ? 0 : error;
    if (!ok) {
        const QString text = FormatText(T(error), detail);
        Notifier().ShowMessage(
            detail.isEmpty() || text.contains(detail) ? text : QStringLiteral("%1\n%2").arg(text, detail),
            windowTitle(), CNotifier::Icon::Error);
    }
    SetEditing(true);
    m_progress->hide();
    m_status->hide();
    if (ok)
        accept();
}
