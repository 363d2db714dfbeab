#pragma once

#include "app/BaseClass.h"

class QWidget;

// Runners of the catalogue entries software update and RS232 test.
namespace MaintenanceDialogs {

CatalogueDialogResult RunSoftwareUpdate(QWidget* parent, CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);
CatalogueDialogResult RunRS232Test(QWidget* parent, CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);

} // namespace MaintenanceDialogs
