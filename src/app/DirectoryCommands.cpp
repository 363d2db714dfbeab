#include "app/DirectoryCommands.h"

#include "app/CatalogueObjects.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"

#include <map>

namespace DirectoryCommands {
namespace {
std::map<DirectoryCommand, Handler>& Handlers() {
    static std::map<DirectoryCommand, Handler> handlers;
    return handlers;
}
} // namespace

void Install(DirectoryCommand command, Handler handler) {
    if (handler)
        Handlers()[command] = std::move(handler);
    else
        Handlers().erase(command);
}

bool IsInstalled(DirectoryCommand command) {
    return Handlers().count(command) != 0;
}

qint32 CaptionTextId(DirectoryCommand command, bool specifications) {
    switch (command) {
    case DirectoryCommand::Properties:
        return specifications ? 82 : 114;
    case DirectoryCommand::Print:
        return specifications ? 77 : 115;
    case DirectoryCommand::PrintOutline:
        return specifications ? 137 : 158;
    case DirectoryCommand::PrintPreview:
        return specifications ? 50024 : 50022;
    case DirectoryCommand::XmlExportDrive:
        return specifications ? 160 : 161;
    case DirectoryCommand::XmlExportFolder:
        return specifications ? 50067 : 50068;
    case DirectoryCommand::CsvExportDrive:
        return 154;
    }
    return 0;
}

bool Run(DirectoryCommand command, CDirectoryCommandContext& context) {
    auto it = Handlers().find(command);
    if (it != Handlers().end()) {
        Handler handler = it->second; // a handler may reinstall itself while it runs
        return handler(context);
    }
    Notifier().ShowMessage(NotInThisBuildText(*context.doc, CaptionTextId(command, context.specifications)),
                           CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Information);
    return false;
}

} // namespace DirectoryCommands
