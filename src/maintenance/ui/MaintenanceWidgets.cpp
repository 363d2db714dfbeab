#include "maintenance/ui/MaintenanceWidgets.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "link/RS232.h"

#include <QHeaderView>
#include <QTableWidget>

namespace MaintenanceWidgets {

QColor Colour(StatusColour colour) {
    switch (colour) {
    case StatusColour::Working:
        return QColor(210, 210, 0);
    case StatusColour::Success:
        return QColor(50, 175, 50);
    case StatusColour::Error:
        break;
    }
    return QColor(225, 50, 50);
}

QLabel* MakeStatusLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    label->setMinimumHeight(label->fontMetrics().height() * 2 + 6);
    label->setMargin(3);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::white);
    label->setPalette(p);
    return label;
}

void SetStatus(QLabel* label, const QString& text, StatusColour colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Colour(colour));
    p.setColor(QPalette::Window, Qt::white);
    label->setPalette(p);
    label->setText(text);
    label->setProperty("statusColour", int(colour));
}

QTableWidget* MakeIdentityList(CVELMOR740PCRemoteDoc& doc, QWidget* parent) {
    auto* list = new QTableWidget(4, 2, parent);
    list->horizontalHeader()->hide();
    list->verticalHeader()->hide();
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setColumnWidth(0, 125);
    list->horizontalHeader()->setStretchLastSection(true);
    const qint32 rows[] = {213, 30424, 93, 30425};
    for (int r = 0; r < 4; ++r) {
        list->setItem(r, 0, new QTableWidgetItem(doc.Text(rows[r])));
        list->setItem(r, 1, new QTableWidgetItem);
    }
    list->resizeRowsToContents();
    int h = 2 * list->frameWidth();
    for (int r = 0; r < 4; ++r)
        h += list->rowHeight(r);
    list->setFixedHeight(h);
    return list;
}

void FillIdentity(QTableWidget* list, const TesterIdentity& identity) {
    const QString values[] = {identity.name, identity.software, identity.firmware, identity.serial};
    for (int r = 0; r < 4; ++r)
        list->item(r, 1)->setText(values[r]);
}

void ConnectLinkStatus(CRS232& link, CVELMOR740PCRemoteDoc& doc) {
    CWindowMessages* messages = doc.Messages();
    if (!messages)
        return;
    link.SetStatusCallback([messages](const CLinkStatus& s) {
        messages->PostLinkStatus(s.port, s.baudRate, s.dataBits, s.icon);
    });
}

} // namespace MaintenanceWidgets
