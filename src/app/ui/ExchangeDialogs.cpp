#include "app/ui/ExchangeDialogs.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/CatalogueDialogs.h"
#include "exchange/ui/ExportDlg.h"
#include "exchange/ui/ImportV740.h"

#include <memory>
#include <mutex>

namespace ExchangeDialogs {

namespace {

// The workers look texts up too; the document's catalogue is asked under a lock.
TextLookup DocumentLookup(CVELMOR740PCRemoteDoc& doc) {
    doc.Text(400); // loads the language's column on this thread
    auto mutex = std::make_shared<std::mutex>();
    return [&doc, mutex](qint32 id) {
        const std::lock_guard lock(*mutex);
        QString text;
        return doc.SeekText(id, text) ? text : QString();
    };
}

CatalogueDialogResult RunImport(QWidget* parent, CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    ImportDialogSetup setup;
    setup.dataFolder = doc.DataFolder();
    setup.lookup = DocumentLookup(doc);
    setup.source = doc.ImportInterface();
    setup.useQuery = doc.ImportFilter() != 0;
    setup.specifications = doc.ImportPV() == 1;
    setup.drive = doc.LastDrive();
    setup.folder = doc.LastFolder();
    setup.serial.port = doc.SerialPort();
    setup.serial.baudRate = doc.BaudRate();
    setup.serial.dataBits = doc.DataBits();
    if (!doc.MinRemoteVersion().isEmpty())
        setup.minimumRemoteVersion = doc.MinRemoteVersion();
    if (CWindowMessages* messages = doc.Messages())
        setup.linkStatus = [messages](const CLinkStatus& s) {
            messages->PostLinkStatus(s.port, s.baudRate, s.dataBits, s.icon);
        };

    const bool foundByScan = RunImportDialog(parent, setup);
    doc.SetImportInterface(setup.source);
    doc.SetImportFilter(setup.useQuery ? 1 : 0);
    doc.SetImportPV(setup.specifications ? 1 : 0);
    doc.SetLastDrive(setup.drive);
    doc.SetLastFolder(setup.folder);
    CatalogueDialogResult result;
    result.available = true;
    if (foundByScan) {
        doc.SetSerialPort(setup.serial.port);
        doc.SetBaudRate(setup.serial.baudRate);
        doc.SetDataBits(setup.serial.dataBits);
        result.serialSettingsChanged = true;
    }
    return result;
}

} // namespace

void InstallImport() {
    CatalogueDialogs::Install(CatalogueDialog::Import, RunImport);
}

bool OpenExport(QWidget* parent, CVELMOR740PCRemoteDoc& doc, ExchangeKind kind, int target,
                const QList<qint32>& ids) {
    ExportDialogSetup setup;
    setup.kind = kind;
    setup.target = target;
    setup.ids = ids;
    setup.dataFolder = doc.DataFolder();
    setup.language = doc.Language();
    setup.lookup = DocumentLookup(doc);
    setup.lastDrive = doc.LastDrive();
    setup.lastFolder = doc.LastFolder();
    const bool ok = RunExportDialog(parent, setup);
    CSettingsFile ini = doc.Settings();
    if (setup.lastDrive != doc.LastDrive()) {
        doc.SetLastDrive(setup.lastDrive);
        ini.WriteImportDisk(setup.lastDrive);
    }
    if (setup.lastFolder != doc.LastFolder()) {
        doc.SetLastFolder(setup.lastFolder);
        ini.WriteImportFolder(setup.lastFolder);
    }
    return ok;
}

} // namespace ExchangeDialogs
