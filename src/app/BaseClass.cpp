#include "app/BaseClass.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"

void CBaseClass::NoOverride(const char* operation) {
    Notifier().ShowMessage(QString::fromLatin1(operation), CVELMOR740PCRemoteDoc::AppTitle(),
                           CNotifier::Icon::Warning);
}

void CBaseClass::ResetInfoPane(CVELMOR740PCRemoteDoc& doc) {
    CInfoPaneState& pane = doc.InfoPane();
    pane.showDetails = false;
    pane.title = doc.Text(50001);
    pane.hint = doc.Text(50002);
}

void CBaseClass::DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc&) {
    NoOverride("CBaseClass::DoClickFunction");
}

void CBaseClass::DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) {
    CDirectoryList& list = view.List();
    list.Clear();
    CInfoPaneState& pane = doc.InfoPane();
    pane.showDetails = false;
    view.SetCurrentDirectory(&view.RootObject());
    pane.title = doc.Text(50001);
    pane.hint = doc.Text(50002);
    pane.bannerBitmap = QStringLiteral("IDB_KESTRA");
    list.SetMode(ListMode::Catalogue);

    const QList<CCatalogueEntry>& entries = CatalogueEntries();
    for (int position = 0; position < entries.size(); ++position) {
        const CCatalogueEntry& entry = entries[position];
        const QString bitmap =
            position == 0 ? ImportBitmap(doc.ImportInterface()) : QString::fromLatin1(entry.bitmap);
        const int image = list.AddImage(bitmap);
        CListItemRecord record;
        record.index = position;
        record.handler = &view.Directory(entry.handler);
        list.AppendItem(doc.Text(entry.captionTextId), image, record);
    }
    pane.backEnabled = false;
    pane.actionEnabled = false;
    pane.filterEnabled = false;
    view.SendItemCount(list.ItemCount());
}

void CBaseClass::DoEmptyClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) {
    ResetInfoPane(doc);
    doc.InfoPane().actionEnabled = false;
}

void CBaseClass::DoFilterFunction(CDirectoryView&, CVELMOR740PCRemoteDoc&) {
    NoOverride("CBaseClass::DoFilterFunction");
}

void CBaseClass::DoActionFunction(CDirectoryView&, CVELMOR740PCRemoteDoc&, qint32) {
    NoOverride("CBaseClass::DoActionFunction");
}

void CBaseClass::RefreshView(CDirectoryView&, CVELMOR740PCRemoteDoc&) {
    NoOverride("CBaseClass::RefreshView");
}

const QList<CCatalogueEntry>& CatalogueEntries() {
    static const QList<CCatalogueEntry> entries{
        {400, "IDB_IMPORT", DirectoryKind::Import},
        {3, "IDB_TYPKAT", DirectoryKind::TypObject},
        {5, "IDB_GEKAT", DirectoryKind::GeraeteObject},
        {50006, "IDB_UPDATE", DirectoryKind::SoftwareUpdate},
        {50191, "IDB_PRINTHEADER", DirectoryKind::PrintHeader},
        {50003, "IDB_RS232TEST", DirectoryKind::RS232Test},
    };
    return entries;
}

QString ImportBitmap(int importInterface) {
    switch (importInterface) {
    case 1:
        return QStringLiteral("IDB_IMPORT_USB");
    case 2:
        return QStringLiteral("IDB_IMPORT_FOLDER");
    default:
        return QStringLiteral("IDB_IMPORT");
    }
}
