#include "maintenance/ui/MaintenanceDialogs.h"

#include "maintenance/ui/RS232TestDialog.h"
#include "maintenance/ui/RS232UpdateDialog.h"
#include "platform/Folders.h"

namespace MaintenanceDialogs {

CatalogueDialogResult RunSoftwareUpdate(QWidget* parent, CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    CRS232UpdateDialog dialog(doc, Folders::UpdateFolder(), parent);
    dialog.exec();
    CatalogueDialogResult result;
    result.serialSettingsChanged = dialog.FoundByScan();
    return result;
}

CatalogueDialogResult RunRS232Test(QWidget* parent, CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    CRS232TestDialog dialog(doc, parent);
    dialog.exec();
    CatalogueDialogResult result;
    result.serialSettingsChanged = dialog.FoundByScan();
    return result;
}

} // namespace MaintenanceDialogs
