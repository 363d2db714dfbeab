#include "sheets/ui/PropSheet.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/LocaleFormat.h"
#include "platform/Notifier.h"
#include "sheets/ui/SheetSupport.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"
#include "views/ui/NextTestDateDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString DateText(const QDateTime& d) {
    return d.isValid() ? LocaleFormat::ShortDate(d.date()) : QString();
}

QString Line(const QString& label, const QString& value) {
    return FormatText(QStringLiteral("%s: %s"), label, value);
}

} // namespace

CPropPageGeraet::CPropPageGeraet(CVELMOR740PCRemoteDoc& doc, CProtocolMasterData& data, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_data(data) {
    auto* layout = new QVBoxLayout(this);

    QFont heading(QStringLiteral("Tahoma"));
    heading.setPixelSize(16);
    heading.setWeight(QFont::Bold);
    QFont semi(QStringLiteral("Tahoma"));
    semi.setPixelSize(12);
    semi.setWeight(QFont::DemiBold);

    auto* device = new QLabel(data.device, this);
    device->setFont(heading);
    layout->addWidget(device);
    m_result = new QLabel(data.resultText, this);
    m_result->setFont(semi);
    QColor colour(192, 192, 0);
    if (data.resultColour == CProtocolMasterData::ResultColour::Passed)
        colour = QColor(32, 192, 32);
    else if (data.resultColour == CProtocolMasterData::ResultColour::Failed)
        colour = QColor(255, 64, 0);
    QPalette pal = m_result->palette();
    pal.setColor(QPalette::WindowText, colour);
    m_result->setPalette(pal);
    layout->addWidget(m_result);
    layout->addWidget(new QLabel(Line(doc.Text(30436, QStringLiteral("Operator")), data.operatorName), this));
    layout->addWidget(
        new QLabel(Line(doc.Text(30435, QStringLiteral("Test date")), DateText(data.testDate)), this));
    auto* nextRow = new QHBoxLayout;
    m_nextTestLine = new QLabel(this);
    m_nextTest = new QPushButton(doc.Text(221, QStringLiteral("Change test date")), this);
    nextRow->addWidget(m_nextTestLine, 1);
    nextRow->addWidget(m_nextTest);
    layout->addLayout(nextRow);
    ShowNextTestLine();

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(2);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setStyleSheet(QStringLiteral("QTreeView::item { padding-top: 2px; padding-bottom: 1px; }"));
    m_list->setColumnWidth(0, 110);
    m_list->setColumnWidth(1, 210);
    m_list->header()->setStretchLastSection(true);
    for (const auto& field : data.fields) {
        auto entry = std::make_unique<CEditEntry>();
        entry->m_Caption = field.label;
        entry->m_Value = field.value;
        entry->m_AssignmentFormat = field.column + QStringLiteral(" = '%s'");
        entry->m_Max = field.maxLength;
        entry->FormatAssignment(field.value);
        new QTreeWidgetItem(m_list, {field.label, field.value});
        m_entries.push_back(std::move(entry));
    }
    // Captions are laid out by their measured width, so no language is cut.
    int captionWidth = 110;
    for (const auto& field : data.fields)
        captionWidth = qMax(captionWidth, m_list->fontMetrics().horizontalAdvance(field.label) + 16);
    m_list->setColumnWidth(0, captionWidth);
    m_list->installEventFilter(this);
    layout->addWidget(m_list, 1);

    auto* info = new QGroupBox(this);
    auto* infoLayout = new QHBoxLayout(info);
    m_infoTitle = new QLabel(info);
    m_infoText = new QLabel(info);
    m_infoText->setWordWrap(true);
    auto* change = new QPushButton(doc.Text(117, QStringLiteral("Change")), info);
    auto* texts = new QVBoxLayout;
    texts->addWidget(m_infoTitle);
    texts->addWidget(m_infoText);
    infoLayout->addLayout(texts, 1);
    infoLayout->addWidget(change);
    layout->addWidget(info);

    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { ShowInfo(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { EditCurrent(); });
    connect(change, &QPushButton::clicked, this, &CPropPageGeraet::EditCurrent);
    connect(m_nextTest, &QPushButton::clicked, this, &CPropPageGeraet::ChangeNextTest);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    ShowInfo();
}

bool CPropPageGeraet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            EditCurrent();
            return true; // the key is the row's, not the sheet's default button
        }
    }
    return QWidget::eventFilter(watched, event);
}

CBaseEntry* CPropPageGeraet::Entry(int row) {
    return row >= 0 && row < int(m_entries.size()) ? m_entries[size_t(row)].get() : nullptr;
}

void CPropPageGeraet::SetRowText(int row, int column, const QString& text) {
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
        item->setText(column, text);
}

void CPropPageGeraet::SetHelpText(const QString& text) {
    m_infoText->setText(text);
}

void CPropPageGeraet::ShowInfo() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0) {
        m_infoTitle->setText(m_doc.Text(30812, QStringLiteral("Info")));
        m_infoText->setText(m_doc.Text(
            30833, QStringLiteral("Make a doubleklick to an entry in the list to edit the field.")));
        return;
    }
    m_infoTitle->setText(m_entries[size_t(row)]->m_Caption);
    m_infoText->setText(m_entries[size_t(row)]->m_Value);
}

void CPropPageGeraet::ShowNextTestLine() {
    m_nextTestLine->setText(
        Line(m_doc.Text(30438, QStringLiteral("Next test")), DateText(m_data.nextTestDate)));
}

void CPropPageGeraet::EditCurrent() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (CBaseEntry* entry = Entry(row))
        entry->Doubleclickfunction(row, *this);
}

bool CPropPageGeraet::AcceptClient(const QString& client) {
    CAdoDatabase db;
    const bool open = db.Open(m_doc.DataFolder(), UserSchema::FileName());
    if (open && m_data.CheckClient(db, client) == CProtocolMasterData::SaveResult::Saved)
        return true;
    const QString message =
        open ? m_data.Message()
             : m_doc.Text(TextId::kUpdateNotPossible, QStringLiteral("Database error: Update not possible!"));
    Notifier().ShowMessage(message, CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Warning);
    return false;
}

void CPropPageGeraet::ChangeNextTest() {
    CNextTestDateDialog dlg(&m_doc, m_data.id, m_data.reviewPeriod, m_data.specificationReviewPeriod,
                            m_data.nextTestDate.date(), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_data.SetNextTest(dlg.NextTestDate(), dlg.DeviceInterval());
    ShowNextTestLine();
    m_changed = true;
}

void CPropPageGeraet::CommitRows() {
    for (size_t i = 0; i < m_entries.size() && i < m_data.fields.size(); ++i) {
        if (m_entries[i]->m_Value != m_data.fields[i].value)
            m_data.SetField(m_data.fields[i].column, m_entries[i]->m_Value);
    }
}

CPropSheet::CPropSheet(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent)
    : QDialog(parent), m_doc(doc) {
    CAdoDatabase db;
    m_loaded = db.Open(doc.DataFolder(), UserSchema::FileName()) &&
               m_data.Load(db, protocolId,
                           [&doc](qint32 id, const QString& fallback) { return doc.Text(id, fallback); });
    setWindowTitle(Line(doc.Text(26, QStringLiteral("Device")), m_data.device));
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_master = new CPropPageGeraet(doc, m_data, m_tabs);
    m_tabs->addTab(m_master, doc.Text(30448, QStringLiteral("Device data")));
    layout->addWidget(m_tabs);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(doc.Text(4505, QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(doc.Text(TextId::kExit, QStringLiteral("Exit")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 560);
    // Enter edits the selected field; the list has the keyboard from the start.
    m_master->List()->setFocus();
}

bool CPropSheet::SaveAfterOk() {
    m_master->CommitRows();
    if (!m_master->Changed() && !m_data.Modified())
        return false;
    if (!SheetSupport::ConfirmSave(m_doc))
        return false;
    CAdoDatabase db;
    if (!db.Open(m_doc.DataFolder(), UserSchema::FileName()) ||
        m_data.Save(db) != CProtocolMasterData::SaveResult::Saved) {
        SheetSupport::ShowFailure(m_doc, m_data.Message());
        return false;
    }
    return true;
}

bool CPropSheet::Run(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent) {
    return SheetSupport::Run<CPropSheet>(doc, protocolId, parent);
}
