#include "app/ui/DirectoryObjects.h"

#include "app/CatalogueObjects.h"

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
