#include "maintenance/ui/FileListDialog.h"

#include "app/VELMOR740PCRemoteDoc.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CFileListDialog::CFileListDialog(CVELMOR740PCRemoteDoc& doc, const QString& headline,
                                 const std::vector<CSoftwareUpdate::FileRow>& rows, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(doc.Text(50096));
    auto* head = new QLabel(headline, this);
    head->setTextFormat(Qt::PlainText);
    head->setWordWrap(true);
    m_list = new QTableWidget(int(rows.size()), 4, this);
    m_list->setHorizontalHeaderLabels({doc.Text(50092), doc.Text(50100), doc.Text(50093), doc.Text(50094)});
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[] = {120, 70, 135, 105};
    for (int c = 0; c < 4; ++c)
        m_list->setColumnWidth(c, widths[c]);
    m_list->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < int(rows.size()); ++r) {
        const auto& row = rows[std::size_t(r)];
        const QString cells[] = {row.file, row.size, row.packageVersion, row.testerVersion};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            m_list->setItem(r, c, item);
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(doc.Text(60802), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(head);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    // Room for the four columns and the longer headings of some languages.
    resize(120 + 70 + 135 + 105 + 110, 320);
}
