#pragma once

#include <QtGlobal>

// TextIDs of the catalogue texts that several windows and workflows show, by name.
namespace TextId {
inline constexpr qint32 kEntriesSelected = 139;      // "%d entries selected"
inline constexpr qint32 kOpenDatabase = 167;         // "Could not open test database!"
inline constexpr qint32 kEntries = 410;              // "%d entries"
inline constexpr qint32 kCancel = 4502;              // "Cancel"
inline constexpr qint32 kExit = 4504;                // "Exit"
inline constexpr qint32 kDriveNotConnected = 50039;  // "Removeable drive not connected."
inline constexpr qint32 kCannotCreateFolder = 50044; // "Drive: Could not create folder %s!"
inline constexpr qint32 kUpdateNotPossible = 50054;  // "Database error: Update not possible!"
inline constexpr qint32 kConnectingToTester = 50138; // "Connecting to the tester ..."
inline constexpr qint32 kImport = 50150;             // "Import"
} // namespace TextId
