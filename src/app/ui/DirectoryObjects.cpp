#include "app/ui/DirectoryObjects.h"

#include "app/CatalogueObjects.h"
#include "app/DataDirectories.h"

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
    case DirectoryKind::TypObject:
        return std::make_unique<CTypObject>();
    case DirectoryKind::TypTable:
        return std::make_unique<CTypTable>();
    case DirectoryKind::GeraeteObject:
        return std::make_unique<CGeraeteObject>();
    case DirectoryKind::GeraetTable:
        return std::make_unique<CGeraetTable>();
    case DirectoryKind::PrintHeader:
        return std::make_unique<CPrintHeaderObject>();
    }
    return std::make_unique<CBaseClass>();
}
