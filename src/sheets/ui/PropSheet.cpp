#include "sheets/ui/PropSheet.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Folders.h"
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
#include <QStyle>
#include <QTabBar>
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

QTreeWidget* NewList(QWidget* parent) {
    QTreeWidget* list = SheetSupport::NewList(parent);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    return list;
}

// The widest of a column's head and cells, never below the column's usual width.
int ColumnWidth(const QTreeWidget* list, int column, int least) {
    const QFontMetrics header(list->header()->font());
    const QFontMetrics cells(list->font());
    int width = qMax(least, header.horizontalAdvance(list->headerItem()->text(column)) + 16);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        width = qMax(width, cells.horizontalAdvance(list->topLevelItem(i)->text(column)) + 12);
    return width;
}

// Opens both databases of a page; the page shows nothing when one cannot be opened.
bool OpenDatabases(CVELMOR740PCRemoteDoc& doc, CAdoDatabase& db, CAdoDatabase& ref) {
    return db.Open(doc.DataFolder(), UserSchema::FileName()) &&
           ref.Open(Folders::ReferenceDatabaseFolder(), QStringLiteral("velmor.db"));
}

// The missing-specification message, once, when the page is first shown.
void TellOnce(bool& told, bool missing, const QString& message, QObject* context) {
    if (told || !missing)
        return;
    told = true;
    QMetaObject::invokeMethod(
        context,
        [message] {
            Notifier().ShowMessage(message, CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Warning);
        },
        Qt::QueuedConnection);
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

CPropPageMessungen::CPropPageMessungen(CVELMOR740PCRemoteDoc& doc, qint32 protocolId,
                                       CProtocolMeasurements::Mode mode, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    CAdoDatabase db, ref;
    if (OpenDatabases(doc, db, ref))
        m_data.Load(db, ref, protocolId, mode,
                    SheetSupport::DocTexts(doc)); // a failed read keeps the rows so far

    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(m_data.specificationMissing ? m_data.message : m_data.statusLine, this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    m_list = NewList(this);
    const QStringList heads = m_data.Heads();
    m_list->setHeaderLabels(heads);
    for (int i = 0; i < int(m_data.rows.size()); ++i)
        new QTreeWidgetItem(m_list, m_data.Columns(i));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->setColumnWidth(0, ColumnWidth(m_list, 0, 16));
    m_list->setColumnWidth(1, ColumnWidth(m_list, 1, 39));
    m_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    if (heads.size() > 3)
        m_list->setColumnWidth(3, ColumnWidth(m_list, 3, 54));
    layout->addWidget(m_list, 1);

    auto* info = new QGroupBox(doc.Text(30812, QStringLiteral("Info")), this);
    auto* infoLayout = new QHBoxLayout(info);
    m_error = new QLabel(info);
    m_error->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(24, 24));
    m_error->setAlignment(Qt::AlignTop);
    m_error->hide();
    auto* lines = new QVBoxLayout;
    m_name = new QLabel(
        doc.Text(83, QStringLiteral("You can click on an entry of this list to get more information.")),
        info);
    m_name->setWordWrap(true);
    m_value = new QLabel(info);
    m_limit = new QLabel(info);
    m_range = new QLabel(info);
    m_group = new QLabel(info);
    m_lead = new QLabel(info);
    for (QLabel* l : {m_name, m_value, m_limit, m_range, m_group, m_lead})
        lines->addWidget(l);
    for (QLabel* l : {m_value, m_limit, m_range, m_group, m_lead})
        l->hide();
    infoLayout->addWidget(m_error);
    infoLayout->addLayout(lines, 1);
    layout->addWidget(info);

    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { ShowDetail(); });
    connect(m_list, &QTreeWidget::itemClicked, this, [this] { ShowDetail(); });
}

int CPropPageMessungen::WidthNeeded() const {
    int width = 0;
    for (int c = 0; c < m_list->columnCount(); ++c)
        width += ColumnWidth(m_list, c, 0);
    return width + 2 * m_list->frameWidth() + 40;
}

void CPropPageMessungen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    TellOnce(m_told, m_data.specificationMissing, m_data.message, this);
}

void CPropPageMessungen::ShowDetail() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0) {
        for (QLabel* l : {m_value, m_limit, m_range, m_group, m_lead, m_error})
            l->hide();
        return;
    }
    const CProtocolMeasurements::Detail d = m_data.DetailOf(row);
    m_name->setText(d.name);
    const std::pair<QLabel*, QString> fields[] = {{m_value, d.valueLine},
                                                  {m_limit, d.limitLine},
                                                  {m_range, d.rangeLine},
                                                  {m_group, d.groupLine},
                                                  {m_lead, d.leadLine}};
    for (const auto& [label, text] : fields) {
        label->setText(text);
        label->setVisible(!text.isEmpty());
    }
    m_error->setVisible(d.failed);
}

CPropPageTyp::CPropPageTyp(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    CAdoDatabase db, ref;
    if (OpenDatabases(doc, db, ref))
        m_data.Load(db, ref, protocolId, SheetSupport::DocTexts(doc));
    auto* layout = new QVBoxLayout(this);
    if (m_data.specificationMissing) {
        auto* message = new QLabel(m_data.message, this);
        message->setWordWrap(true);
        layout->addWidget(message);
    }
    m_list = NewList(this);
    m_list->setColumnCount(2);
    m_list->setHeaderHidden(true);
    for (int i = 0; i < int(m_data.lines.size()); ++i) {
        auto* item = new QTreeWidgetItem(m_list, m_data.Columns(i));
        if (m_data.lines[size_t(i)].separator) {
            item->setFirstColumnSpanned(true);
            item->setFlags(Qt::ItemIsEnabled);
            item->setForeground(0, palette().color(QPalette::Mid));
        }
    }
    // The label column as wide as its widest label, so that no language is cut.
    int labelWidth = 110;
    for (const auto& line : m_data.lines) {
        if (!line.separator)
            labelWidth = qMax(labelWidth, m_list->fontMetrics().horizontalAdvance(line.label) + 16);
    }
    m_list->setColumnWidth(0, labelWidth);
    m_list->header()->setStretchLastSection(true);
    layout->addWidget(m_list, 1);
}

int CPropPageTyp::WidthNeeded() const {
    int value = 0;
    for (const auto& line : m_data.lines) {
        if (!line.separator)
            value = qMax(value, m_list->fontMetrics().horizontalAdvance(line.value) + 12);
    }
    return m_list->columnWidth(0) + value + 2 * m_list->frameWidth() + 40;
}

void CPropPageTyp::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    TellOnce(m_told, m_data.specificationMissing, m_data.message, this);
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
    if (m_loaded) {
        m_results = new CPropPageMessungen(doc, protocolId, CProtocolMeasurements::Mode::Results, m_tabs);
        m_firstValues =
            new CPropPageMessungen(doc, protocolId, CProtocolMeasurements::Mode::FirstValues, m_tabs);
        m_specification = new CPropPageTyp(doc, protocolId, m_tabs);
        m_tabs->addTab(m_results, doc.Text(10821, QStringLiteral("Test steps")));
        m_tabs->addTab(m_firstValues, doc.Text(30446, QStringLiteral("First test values")));
        m_tabs->addTab(m_specification, doc.Text(30432, QStringLiteral("Test specification")));
    }
    layout->addWidget(m_tabs);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(doc.Text(4505, QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(doc.Text(TextId::kExit, QStringLiteral("Exit")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Wide enough for every page's tab where the screen allows (800 x 600 at least).
    int width = m_tabs->tabBar()->sizeHint().width() + 40;
    for (const QWidget* page : {static_cast<QWidget*>(m_results), static_cast<QWidget*>(m_firstValues)}) {
        if (page)
            width = qMax(width, static_cast<const CPropPageMessungen*>(page)->WidthNeeded());
    }
    if (m_specification)
        width = qMax(width, m_specification->WidthNeeded());
    resize(qBound(560, width, 780), 560);
    // Enter edits the selected field; the list has the keyboard from the start.
    m_master->List()->setFocus();
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (auto* page = qobject_cast<CPropPageMessungen*>(m_tabs->widget(index)))
            page->List()->setFocus();
        else if (auto* typ = qobject_cast<CPropPageTyp*>(m_tabs->widget(index)))
            typ->List()->setFocus();
        else if (index == 0)
            m_master->List()->setFocus();
    });
}

bool CPropSheet::SaveAfterOk() {
    m_master->CommitRows();
    if (!m_master->Changed() && !m_data.Modified())
        return false;
    if (!SheetSupport::ConfirmSave(m_doc))
        return false;
    CAdoDatabase db;
    if (!db.Open(m_doc.DataFolder(), UserSchema::FileName())) {
        SheetSupport::ShowFailure(m_doc);
        return false;
    }
    const CProtocolMasterData::SaveResult result = m_data.Save(db);
    m_changedElsewhere = result == CProtocolMasterData::SaveResult::ChangedElsewhere;
    if (result != CProtocolMasterData::SaveResult::Saved && !m_changedElsewhere)
        SheetSupport::ShowFailure(m_doc, m_data.Message());
    return result == CProtocolMasterData::SaveResult::Saved;
}

bool CPropSheet::Run(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent) {
    return SheetSupport::Run<CPropSheet>(doc, protocolId, parent);
}
