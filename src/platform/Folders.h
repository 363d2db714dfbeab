#pragma once

#include <QString>

// Where the program, its update package, its reference data and the user's data live.
namespace Folders {

// Name of the program's folder below the shared data folder and of its registry key.
QString AppFolderName();

// Folder of the running executable.
QString ProgramFolder();
// The installation's share folder (VELMOR_PROGRAM_FILES overrides it).
QString ProgramFilesFolder();
// Source of tester software updates: the share folder's Update.
QString UpdateFolder();
// The machine-wide data root (VELMOR_COMMON_APPDATA overrides /var/lib).
QString CommonAppDataFolder();
// The local data folder: the data root plus the program's folder name.
QString LocalDataFolder();
// The folder that holds velmor.db: beside the executable when it is there (a build
// tree), else the share folder (an installation).
QString ReferenceDatabaseFolder();

// The group that owns the data folder; every user of the program is a member
// (VELMOR_GROUP overrides the name).
QString DataGroupName();

// Lets files this process creates be written by the data folder's group whatever the
// user's umask, so that another member of the group can update what this one wrote.
// Rights of others stay as the umask says.
void AllowGroupWrite();

} // namespace Folders
