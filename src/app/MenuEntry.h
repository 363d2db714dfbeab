#pragma once

#include <QString>

// One entry of a context menu (CMenuDialog): its title, the description shown below the
// list, and the command number the dialog ends with.
struct CMenuEntry {
    QString title;
    QString description;
    qint32 command = 0;
};
