#pragma once

#include "app/BaseClass.h"

#include <functional>

class QWidget;

// The modal dialogs of the catalogue entries (import, software update, print header,
// RS232 test). A subsystem that brings one installs its runner; until then opening the
// entry says that the function is not in this build.
namespace CatalogueDialogs {

// Runs the dialog over parent; the result says whether it changed the serial settings.
using Runner =
    std::function<CatalogueDialogResult(QWidget* parent, CDirectoryView& view, CVELMOR740PCRemoteDoc& doc)>;

// Installs (or, with an empty runner, removes) the runner of a dialog.
void Install(CatalogueDialog dialog, Runner runner);
// Installs the runners this build has; called once at start.
void InstallBuiltIn();

CatalogueDialogResult Run(CatalogueDialog dialog, QWidget* parent, CDirectoryView& view,
                          CVELMOR740PCRemoteDoc& doc);

} // namespace CatalogueDialogs
