#include "app/CatalogueObjects.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"
#include "store/TextFormat.h"

namespace {

// The hint of an entry: its texts joined by blanks ("%s %s", "%s %s %s").
QString JoinedTexts(CVELMOR740PCRemoteDoc& doc, const QList<qint32>& ids) {
    QStringList parts;
    for (qint32 id : ids)
        parts << doc.Text(id);
    return parts.join(QLatin1Char(' '));
}

// The simple entries: after their dialog, the serial settings it changed are stored.
void RunSimpleEntry(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, CatalogueDialog dialog) {
    const CatalogueDialogResult result = view.RunCatalogueDialog(dialog);
    if (result.available && result.serialSettingsChanged)
        doc.WriteSerialSettings();
}

} // namespace

QString NotInThisBuildText(CVELMOR740PCRemoteDoc& doc, qint32 captionTextId) {
    return FormatText(doc.Text(60006, QStringLiteral("The function \"%s\" is not in this build yet.")),
                      doc.Text(captionTextId));
}

qint32 CatalogueCaption(CatalogueDialog dialog) {
    switch (dialog) {
    case CatalogueDialog::Import:
        return 400;
    case CatalogueDialog::SoftwareUpdate:
        return 50006;
    case CatalogueDialog::PrintHeader:
        return 50191;
    case CatalogueDialog::RS232Test:
        return 50003;
    }
    return 0;
}

void CImportObject::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    doc.InfoPane().hint = JoinedTexts(doc, {50009, 50010});
}

void CImportObject::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    const int interface = doc.ImportInterface();
    const QString disk = doc.LastDrive();
    const QString folder = doc.LastFolder();
    const int filter = doc.ImportFilter();
    const int pv = doc.ImportPV();

    const CatalogueDialogResult result = view.RunCatalogueDialog(CatalogueDialog::Import);
    if (!result.available)
        return;

    CSettingsFile ini = doc.Settings();
    if (doc.ImportInterface() != interface)
        ini.WriteImportInterface(doc.ImportInterface());
    if (doc.ImportFilter() != filter)
        ini.WriteImportFilter(doc.ImportFilter());
    if (doc.ImportPV() != pv)
        ini.WriteImportPV(doc.ImportPV());
    // Paths differ in case here: "/media/USB" is another folder than "/media/usb".
    if (doc.LastDrive() != disk)
        ini.WriteImportDisk(doc.LastDrive());
    if (doc.LastFolder() != folder)
        ini.WriteImportFolder(doc.LastFolder());
    if (doc.ImportInterface() != interface)
        view.List().ReplaceImage(0, ImportBitmap(doc.ImportInterface()));
    if (result.serialSettingsChanged)
        doc.WriteSerialSettings();
}

void CRS232SoftwareUpdate::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    doc.InfoPane().hint = doc.Text(50007);
}

void CRS232SoftwareUpdate::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    RunSimpleEntry(view, doc, CatalogueDialog::SoftwareUpdate);
}

void CPrintHeaderObject::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    doc.InfoPane().hint = JoinedTexts(doc, {50192, 50193});
}

void CPrintHeaderObject::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    RunSimpleEntry(view, doc, CatalogueDialog::PrintHeader);
}

void CRS232VerbindungsTest::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    doc.InfoPane().hint = JoinedTexts(doc, {50004, 50005});
}

void CRS232VerbindungsTest::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    RunSimpleEntry(view, doc, CatalogueDialog::RS232Test);
}

void CPendingDirectory::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    doc.InfoPane().hint = JoinedTexts(doc, m_hint);
}

void CPendingDirectory::DoDoubleClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    Notifier().ShowMessage(NotInThisBuildText(doc, m_caption), CVELMOR740PCRemoteDoc::AppTitle(),
                           CNotifier::Icon::Information);
}

void CPendingDirectory::DoEmptyClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    CInfoPaneState& pane = doc.InfoPane();
    pane.showDetails = false;
    pane.hint = doc.Text(m_emptyHint);
    pane.actionEnabled = false;
}
