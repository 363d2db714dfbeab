#include "app/ui/DirectoryDialogs.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "link/CatalogueExchange.h"
#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"
#include "views/FilterModel.h"
#include "views/ui/FilterDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

CDeleteDLG::CDeleteDLG(const QString& title, const QString& button, const QString& text, int range,
                       QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_text = new QLabel(text, this);
    m_name = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, std::max(range, 1));
    m_bar->setValue(0);
    m_cancel = new QPushButton(button, this);
    layout->addWidget(m_text);
    layout->addWidget(m_name);
    layout->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    layout->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
    resize(360, sizeHint().height());
    show();
    QApplication::processEvents();
}

void CDeleteDLG::SetText(const QString& text) {
    m_name->setText(text);
}

void CDeleteDLG::SetPosition(int position) {
    m_bar->setValue(position);
}

bool CDeleteDLG::Cancelled() {
    // Lets the window paint and take the click between two records.
    QApplication::processEvents();
    return m_cancelled;
}

CDlgTransmit::CDlgTransmit(const QString& title, const QString& button, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addSpacing(64); // the animation paints here
    m_step = new QLabel(this);
    m_bar = new QProgressBar(this);
    auto* cancel = new QPushButton(button, this);
    layout->addWidget(m_step);
    layout->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(cancel, &QPushButton::clicked, this, [this] { *m_cancel = true; });
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % 12;
        update(0, 0, width(), 72);
    });
    m_timer->start(120);
    resize(380, sizeHint().height());
}

void CDlgTransmit::reject() {
    // Closing the window asks the worker to stop; the window goes when the worker ends.
    *m_cancel = true;
}

void CDlgTransmit::SetStep(const QString& text) {
    m_step->setText(text);
}
void CDlgTransmit::SetRange(int range) {
    m_bar->setRange(0, std::max(range, 1));
}
void CDlgTransmit::SetPosition(int position) {
    m_bar->setValue(position);
}

void CDlgTransmit::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    // The computer on the left, the tester on the right, a sheet moving between them.
    const QRect pc(16, 14, 48, 36), tester(width() - 64, 10, 40, 44);
    p.setPen(QPen(ink, 2));
    p.drawRect(pc);
    p.drawLine(pc.center().x(), pc.bottom(), pc.center().x(), pc.bottom() + 6);
    p.drawRoundedRect(tester, 4, 4);
    p.drawRect(tester.adjusted(6, 6, -6, -22));
    const int span = tester.left() - pc.right() - 24;
    const int x = pc.right() + 4 + span * m_frame / 11;
    const int y = 22 - int(8.0 * std::sin(3.14159 * m_frame / 11.0));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(x, y, 16, 20);
    p.drawLine(x + 3, y + 6, x + 12, y + 6);
    p.drawLine(x + 3, y + 11, x + 12, y + 11);
}

namespace DirectoryDialogs {

bool RunFilter(QWidget* parent, CVELMOR740PCRemoteDoc& doc, CFilterRequest& request) {
    CFilterModel model(
        request.key, request.baseQuery, [&doc](qint32 id, QString& text) { return doc.SeekText(id, text); },
        UserSchema::FileName(), doc.DataFolder());
    model.Restore(request.filterOn, request.query, request.list1, request.list2, request.list3);
    CFilterDlg dialog(
        model, [&doc](qint32 id, const QString& fallback) { return doc.Text(id, fallback); }, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const CFilterModel::Result& r = dialog.Result();
    request.filterOn = r.filterOn;
    request.query = r.query;
    request.list1 = r.list1;
    request.list2 = r.list2;
    request.list3 = r.list3;
    return true;
}

void StartSend(QWidget* parent, CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, bool specifications,
               const QList<qint32>& ids) {
    CWindowMessages* messages = doc.Messages();
    if (!messages || ids.isEmpty())
        return;
    auto* viewWidget = dynamic_cast<CVELMOR740PCRemoteView*>(&view);
    view.LockMainWindow();
    auto* dialog = new CDlgTransmit(CVELMOR740PCRemoteDoc::AppTitle(), doc.Text(TextId::kCancel), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (viewWidget)
        viewWidget->SetTransferDialog(dialog);
    dialog->show();
    view.State().errorTextId = 0;
    view.State().errorDetail.clear();

    // The worker reads the rows on its own connection; the dialog is reached through a
    // guarded pointer on the user-interface thread only.
    QPointer<CDlgTransmit> guard(dialog);
    auto cancel = dialog->CancelFlag();
    const QString folder = doc.DataFolder();
    const QString language = doc.Language();
    CSerialProfile serial = CSerialProfile::Read(folder);
    serial.port = doc.SerialPort();
    serial.baudRate = doc.BaudRate();
    serial.dataBits = doc.DataBits();
    CMainViewState* state = &view.State();
    std::thread([=] {
        auto post = [messages](std::function<void()> f) {
            QMetaObject::invokeMethod(messages, std::move(f), Qt::QueuedConnection);
        };
        CTextCatalog catalog;
        catalog.Open();
        auto lookup = [&catalog, language](qint32 id) { return catalog.Text(id, language); };
        CAdoDatabase db;
        Catalogue::CSendWorker::Result result;
        if (db.Open(folder, UserSchema::FileName())) {
            std::vector<Catalogue::CSendWorker::Row> rows;
            for (qint32 id : ids) {
                Catalogue::CSendWorker::Row row;
                row.id = id;
                if (db.OpenQuery(
                        QStringLiteral("SELECT * FROM %1 WHERE id = %2")
                            .arg(specifications ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab"))
                            .arg(id)) &&
                    db.MoveFirst()) {
                    db.GetString(specifications ? QStringLiteral("Name") : QStringLiteral("Device"),
                                 row.column0);
                    if (!specifications && !db.IsNull(QStringLiteral("Client")))
                        db.GetString(QStringLiteral("Client"), row.column3);
                }
                db.CloseRecordset();
                rows.push_back(row);
            }
            CRS232 link;
            Catalogue::LinkContext context{link, folder, serial};
            Catalogue::CSendWorker worker(context, db);
            worker.SetTextLookup(lookup);
            Catalogue::CSendWorker::Callbacks cb;
            cb.range = [&](int range) {
                post([guard, range] {
                    if (guard)
                        guard->SetRange(range);
                });
            };
            cb.position = [&](int p) {
                post([guard, p] {
                    if (guard)
                        guard->SetPosition(p);
                });
            };
            cb.step = [&](qint32 id, const QString& arg) {
                QString text = lookup(id);
                if (!arg.isEmpty())
                    text += QStringLiteral(" ") + arg;
                post([guard, text] {
                    if (guard)
                        guard->SetStep(text);
                });
            };
            cb.cancelled = [cancel] { return cancel->load(); };
            worker.SetCallbacks(cb);
            result = specifications ? worker.SendSpecifications(rows) : worker.SendProtocols(rows);
        } else {
            result.error = TextId::kUpdateNotPossible;
        }
        const bool ok = result.ok || result.cancelled;
        const qint32 error = result.error;
        const QString detail = result.errorText;
        post([state, ok, error, detail] {
            if (!ok) {
                state->errorTextId = error;
                state->errorDetail = detail;
            }
        });
        messages->SendTransferEnded(ok);
    }).detach();
}

} // namespace DirectoryDialogs
