#pragma once

#include "exchange/ExchangeTexts.h"

#include <QString>
#include <functional>

class QPixmap;
class QWidget;

// What the exchange dialogs show of a drive or folder.
namespace DriveSpace {

// The largest free space still shown in kilobytes (8 MB).
inline constexpr quint64 kKilobyteLimit = 8388608;

// "%s KB free disk space" up to 8 MB, "%s MB free disk space" above, the number in the
// user's number format without decimals.
QString Text(quint64 bytes, const TextLookup& lookup);

// The free space text of a path, or false when the path cannot be asked.
bool TextOf(const QString& path, const TextLookup& lookup, QString& text);

// The system's folder picker; tests replace it. Returns the chosen folder or an empty
// text when the user cancelled.
using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& current)>;
QString ChooseFolder(QWidget* parent, const QString& title, const QString& current);
void SetFolderChooser(FolderChooser chooser);

// A bitmap of the program's artwork by name ("IDB_EXPORT_USB"); null when not linked in.
QPixmap Bitmap(const QString& name);

} // namespace DriveSpace
