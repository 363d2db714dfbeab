#include "app/ui/CatalogueDialogs.h"

#include "app/CatalogueObjects.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/ui/ExchangeDialogs.h"
#include "platform/Notifier.h"

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
    // The software update, print header and RS232 test dialogs install their runners
    // here as their subsystems arrive.
    ExchangeDialogs::InstallImport();
    ExchangeDialogs::InstallExport();
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
