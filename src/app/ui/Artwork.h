#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's built-in artwork, compiled in from resources/.
namespace Artwork {

// A bitmap resource by its name ("IDB_GEKAT"); a null pixmap when there is none.
QPixmap Bitmap(const QString& name);
// A status icon by its number (168 to 171 link states, 178 busy, 179 idle).
QPixmap StatusIcon(int number);
// A tool-bar icon: "back", "filter" or "action".
QIcon ToolIcon(const QString& name);
// The program's icon.
QIcon AppIcon();

} // namespace Artwork
