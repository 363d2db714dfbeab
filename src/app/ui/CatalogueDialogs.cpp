#include "app/ui/CatalogueDialogs.h"

#include "app/CatalogueObjects.h"
#include "app/DirectoryCommands.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/ui/ExchangeDialogs.h"
#include "maintenance/ui/MaintenanceDialogs.h"
#include "platform/Notifier.h"
#include "print/ui/PrintCommands.h"
#include "printheader/ui/PrintHeader.h"
#include "sheets/ui/PVSheet.h"
#include "sheets/ui/PropSheet.h"

#include <QApplication>
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
    Install(CatalogueDialog::PrintHeader, CPrintHeader::RunEntry);
    Install(CatalogueDialog::SoftwareUpdate, MaintenanceDialogs::RunSoftwareUpdate);
    Install(CatalogueDialog::RS232Test, MaintenanceDialogs::RunRS232Test);
    ExchangeDialogs::InstallImport();
    PrintCommands::Install();

    // The data directories' commands that the sheets and the export dialog bring.
    DirectoryCommands::Install(DirectoryCommand::Properties, [](CDirectoryCommandContext& c) {
        if (!c.doc || c.ids.isEmpty())
            return false;
        QWidget* parent = QApplication::activeWindow();
        return c.specifications ? CPVSheet::Run(*c.doc, c.ids.first(), parent)
                                : CPropSheet::Run(*c.doc, c.ids.first(), parent);
    });
    const std::pair<DirectoryCommand, int> exports[] = {{DirectoryCommand::XmlExportDrive, 3},
                                                        {DirectoryCommand::XmlExportFolder, 4},
                                                        {DirectoryCommand::CsvExportDrive, 5}};
    for (const auto& [command, target] : exports) {
        DirectoryCommands::Install(command, [target = target](CDirectoryCommandContext& c) {
            if (!c.doc || c.ids.isEmpty())
                return false;
            return ExchangeDialogs::OpenExport(
                QApplication::activeWindow(), *c.doc,
                c.specifications ? ExchangeKind::Specifications : ExchangeKind::Protocols, target, c.ids);
        });
    }
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
