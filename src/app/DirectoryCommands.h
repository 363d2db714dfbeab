#pragma once

#include <QList>
#include <QString>
#include <functional>

class CDirectoryView;
class CVELMOR740PCRemoteDoc;

// The context-menu commands of the two data directories that other subsystems bring
// (the sheets, printing, the export dialog). A subsystem installs its handler at start;
// until it does, the command tells the user that it is not in this build yet.
enum class DirectoryCommand {
    Properties,      // open the sheet of the first id (test specification or device protocol)
    Print,           // print worker over all ids
    PrintOutline,    // outline worker over all ids
    PrintPreview,    // framework print preview of the ids
    XmlExportDrive,  // export dialog, mode 3
    XmlExportFolder, // export dialog, mode 4
    CsvExportDrive   // export dialog, mode 5 (device protocols only)
};

// What a handler gets: the view (list, state, locking, RefreshView of the current
// directory), the document, which directory asks, the selected ids in list order and the
// menu header (the print title).
struct CDirectoryCommandContext {
    CDirectoryView* view = nullptr; // the main view; null outside the window
    CVELMOR740PCRemoteDoc* doc = nullptr;
    bool specifications = false; // true: test specifications, false: device protocols
    QList<qint32> ids;
    QString header;
    bool historyShown = false;
};

namespace DirectoryCommands {

// Returns true when the command changed records, so that the directory reloads itself.
using Handler = std::function<bool(CDirectoryCommandContext& context)>;

// Installs (or, with an empty handler, removes) the handler of a command.
void Install(DirectoryCommand command, Handler handler);
bool IsInstalled(DirectoryCommand command);
// Runs the installed handler; without one, shows "not in this build yet" with the
// command's menu title and returns false.
bool Run(DirectoryCommand command, CDirectoryCommandContext& context);
// The menu title TextID of a command for the given directory (for the message above).
qint32 CaptionTextId(DirectoryCommand command, bool specifications);

} // namespace DirectoryCommands
