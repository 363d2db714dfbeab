#include "sheets/ui/PVSheet.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "sheets/ui/SheetSupport.h"
#include "store/AdoDatabase.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

CPagePVParams::CPagePVParams(CVELMOR740PCRemoteDoc& doc, CSpecSheetPages::Page& page, bool& changed,
                             QWidget* parent)
    : QWidget(parent), m_doc(doc), m_page(page), m_changed(changed) {
    auto* layout = new QVBoxLayout(this);
    m_list = SheetSupport::NewList(this);
    m_list->setColumnCount(3);
    m_list->setHeaderHidden(true);
    m_list->setColumnWidth(0, 15);
    m_list->setColumnWidth(1, 200);
    m_list->header()->setStretchLastSection(true);
    int selected = 0;
    for (int i = 0; i < int(page.rows.size()); ++i) {
        const CBaseEntry& row = *page.rows[size_t(i)];
        const bool marked = row.m_Kind == CBaseEntry::ChoiceRow && row.m_Mark;
        new QTreeWidgetItem(m_list, {marked ? CheckMarkText() : QString(), row.m_Caption, row.m_Value});
        if (marked)
            selected = i;
    }
    layout->addWidget(m_list, 1);
    m_helpTitle = new QGroupBox(this);
    auto* helpLayout = new QVBoxLayout(m_helpTitle);
    m_helpText = new QLabel(m_helpTitle);
    m_helpText->setWordWrap(true);
    helpLayout->addWidget(m_helpText);
    layout->addWidget(m_helpTitle);
    int captionWidth = 200;
    for (const auto& row : page.rows)
        captionWidth = qMax(captionWidth, m_list->fontMetrics().horizontalAdvance(row->m_Caption) + 16);
    m_list->setColumnWidth(1, captionWidth);
    m_list->installEventFilter(this);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { ShowHelp(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OpenCurrent(); });
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(selected));
}

bool CPagePVParams::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenCurrent();
            return true; // the row's, not the sheet's OK
        }
    }
    return QWidget::eventFilter(watched, event);
}

CBaseEntry* CPagePVParams::Entry(int row) {
    return row >= 0 && row < int(m_page.rows.size()) ? m_page.rows[size_t(row)].get() : nullptr;
}

void CPagePVParams::SetRowText(int row, int column, const QString& text) {
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
        item->setText(column, text);
}

void CPagePVParams::SetHelpText(const QString& text) {
    m_helpText->setText(text);
}

void CPagePVParams::ShowHelp() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (CBaseEntry* entry = Entry(row)) {
        m_helpTitle->setTitle(entry->m_Caption);
        m_helpText->setText(entry->m_Help);
    }
}

void CPagePVParams::OpenCurrent() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (CBaseEntry* entry = Entry(row))
        entry->Doubleclickfunction2(row, *this);
}

CPageTestSteps::CPageTestSteps(CVELMOR740PCRemoteDoc& doc, qint32 specId, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    CAdoDatabase db, ref;
    if (db.Open(doc.DataFolder(), UserSchema::FileName()) &&
        ref.Open(Folders::ReferenceDatabaseFolder(), QStringLiteral("velmor.db")))
        m_data.Load(db, ref, specId, SheetSupport::DocTexts(doc)); // a failed read keeps the rows read so far

    auto* layout = new QVBoxLayout(this);
    m_list = SheetSupport::NewList(this);
    QStringList heads{doc.Text(30820, QStringLiteral("No.")), doc.Text(30821, QStringLiteral("Measurement"))};
    if (m_data.partsUsed)
        heads << doc.Text(10342, QStringLiteral("AP"));
    m_list->setHeaderLabels(heads);
    m_list->setColumnWidth(0, 40);
    m_list->setColumnWidth(1, m_data.partsUsed ? 227 : 281);
    for (const auto& row : m_data.rows) {
        QStringList cells{row.key, row.text};
        if (m_data.partsUsed)
            cells << row.apColumn;
        new QTreeWidgetItem(m_list, cells);
    }
    layout->addWidget(m_list, 1);
    auto* detail = new QGroupBox(doc.Text(30812, QStringLiteral("Info")), this);
    auto* d = new QVBoxLayout(detail);
    m_name = new QLabel(
        doc.Text(83, QStringLiteral("You can click on an entry of this list to get more information.")),
        detail);
    m_name->setWordWrap(true);
    m_limit = new QLabel(detail);
    m_groupCaption = new QLabel(detail);
    m_groupJacks = new QLabel(detail);
    m_appliedPart = new QLabel(detail);
    m_lead = new QLabel(detail);
    for (QLabel* l : {m_name, m_limit, m_groupCaption, m_groupJacks, m_appliedPart, m_lead})
        d->addWidget(l);
    for (QLabel* l : {m_limit, m_groupCaption, m_groupJacks, m_appliedPart, m_lead})
        l->hide();
    layout->addWidget(detail);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { ShowDetail(); });
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
}

void CPageTestSteps::ShowDetail() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    const CTestStepsData::Detail detail = m_data.DetailOf(row);
    if (row < 0) {
        for (QLabel* l : {m_limit, m_groupCaption, m_groupJacks, m_appliedPart, m_lead})
            l->hide();
        return;
    }
    m_name->setText(detail.name);
    const std::pair<QLabel*, QString> fields[] = {{m_limit, detail.limitLine},
                                                  {m_groupCaption, detail.groupCaption},
                                                  {m_groupJacks, detail.groupJacks},
                                                  {m_appliedPart, detail.appliedPart},
                                                  {m_lead, detail.leadLine}};
    for (const auto& [label, text] : fields) {
        label->setText(text);
        label->setVisible(!text.isEmpty());
    }
}

CPVSheet::CPVSheet(CVELMOR740PCRemoteDoc& doc, qint32 specId, QWidget* parent) : QDialog(parent), m_doc(doc) {
    CAdoDatabase db, ref;
    m_loaded = db.Open(doc.DataFolder(), UserSchema::FileName()) &&
               ref.Open(Folders::ReferenceDatabaseFolder(), QStringLiteral("velmor.db")) &&
               m_pages.Load(db, ref, specId, SheetSupport::DocTexts(doc));
    setWindowTitle(m_pages.name);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    for (auto& page : m_pages.pages)
        m_tabs->addTab(new CPagePVParams(doc, page, m_changed, m_tabs), page.title);
    m_tabs->addTab(new CPageTestSteps(doc, specId, m_tabs), doc.Text(10821, QStringLiteral("Test steps")));
    layout->addWidget(m_tabs);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(doc.Text(4505, QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(doc.Text(TextId::kExit, QStringLiteral("Exit")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Each page's list has the keyboard when the page is shown, so Enter acts on its row.
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (auto* page = qobject_cast<CPagePVParams*>(m_tabs->widget(index)))
            page->List()->setFocus();
        else if (auto* steps = qobject_cast<CPageTestSteps*>(m_tabs->widget(index)))
            steps->List()->setFocus();
    });
    if (auto* first = qobject_cast<CPagePVParams*>(m_tabs->widget(0)))
        first->List()->setFocus();
    // Wide enough for every page's tab where the screen allows (800 x 600 at least).
    resize(qBound(560, m_tabs->tabBar()->sizeHint().width() + 40, 780), 560);
}

bool CPVSheet::SaveAfterOk() {
    if (!m_changed)
        return false;
    if (!SheetSupport::ConfirmSave(m_doc))
        return false;
    CAdoDatabase db;
    if (!db.Open(m_doc.DataFolder(), UserSchema::FileName())) {
        SheetSupport::ShowFailure(m_doc);
        return false;
    }
    const CSpecSheetPages::SaveResult result = m_pages.Save(db);
    m_changedElsewhere = result == CSpecSheetPages::SaveResult::ChangedElsewhere;
    if (result == CSpecSheetPages::SaveResult::DatabaseError)
        SheetSupport::ShowFailure(m_doc);
    return result == CSpecSheetPages::SaveResult::Saved;
}

bool CPVSheet::Run(CVELMOR740PCRemoteDoc& doc, qint32 specId, QWidget* parent) {
    return SheetSupport::Run<CPVSheet>(doc, specId, parent);
}
