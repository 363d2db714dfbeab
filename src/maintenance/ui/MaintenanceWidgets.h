#pragma once

#include "maintenance/SoftwareUpdate.h"

#include <QLabel>

class CVELMOR740PCRemoteDoc;
class CRS232;
class QTableWidget;

// What the two maintenance dialogs share: the coloured status text, the identity list,
// the link status in the main window.
namespace MaintenanceWidgets {

// Bold Arial status text, coloured by its class on white.
QLabel* MakeStatusLabel(QWidget* parent);
void SetStatus(QLabel* label, const QString& text, StatusColour colour);
QColor Colour(StatusColour colour);

// The four rows of the identity list (name, software, firmware, serial number).
QTableWidget* MakeIdentityList(CVELMOR740PCRemoteDoc& doc, QWidget* parent);
void FillIdentity(QTableWidget* list, const TesterIdentity& identity);

// Sends the link's status to the main window's status bar.
void ConnectLinkStatus(CRS232& link, CVELMOR740PCRemoteDoc& doc);

} // namespace MaintenanceWidgets
