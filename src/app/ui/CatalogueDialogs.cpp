#include "CatalogueDialogs.h"

#include "CatalogueObjects.h"
#include "Notifier.h"
#include "VELMOR740PCRemoteDoc.h"

#include <QHash>

namespace CatalogueDialogs {

namespace {

QHash<int, Runner>& Runners() {
    static QHash<int, Runner> runners;
    return runners;
}

} // namespace

void Install(CatalogueDialog dialog, Runner runner) {
    if (runner)
        Runners().insert(int(dialog), std::move(runner));
    else
        Runners().remove(int(dialog));
}

void InstallBuiltIn() {
    // The import, software update, print header and RS232 test dialogs install their
    // runners here as their subsystems arrive.
}

CatalogueDialogResult Run(CatalogueDialog dialog, QWidget* parent, CDirectoryView& view,
                          CVELMOR740PCRemoteDoc& doc) {
    const auto it = Runners().constFind(int(dialog));
    if (it != Runners().cend()) {
        CatalogueDialogResult result = (*it)(parent, view, doc);
        result.available = true;
        return result;
    }
    Notifier().ShowMessage(NotInThisBuildText(doc, CatalogueCaption(dialog)),
                           CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Information);
    return {};
}

} // namespace CatalogueDialogs

std::unique_ptr<CBaseClass> CreateDirectoryObject(DirectoryKind kind) {
    switch (kind) {
    case DirectoryKind::Root:
        return std::make_unique<CBaseClass>();
    case DirectoryKind::RS232Test:
        return std::make_unique<CRS232VerbindungsTest>();
    case DirectoryKind::SoftwareUpdate:
        return std::make_unique<CRS232SoftwareUpdate>();
    case DirectoryKind::Import:
        return std::make_unique<CImportObject>();
    // The data directories and their row handlers arrive with the catalogue views.
    case DirectoryKind::TypObject:
        return std::make_unique<CPendingDirectory>(3, QList<qint32>{50012, 50013, 50014}, 50026);
    case DirectoryKind::TypTable:
        return std::make_unique<CBaseClass>();
    case DirectoryKind::GeraeteObject:
        return std::make_unique<CPendingDirectory>(5, QList<qint32>{50015, 50016, 50014}, 50027);
    case DirectoryKind::GeraetTable:
        return std::make_unique<CBaseClass>();
    case DirectoryKind::PrintHeader:
        return std::make_unique<CPrintHeaderObject>();
    }
    return std::make_unique<CBaseClass>();
}
