#pragma once

#include <QString>
#include <QStringList>

// The installer's helper: grants group and others write access to the program's data
// files and brings the user database up to the schema the program needs. Messages go
// through the notifier; the first line of output names the user.
namespace Permidor {

// The eight data files whose rights are widened, in order.
const QStringList& DataFiles();

// Adds write permission for group and others to each existing file of the folder,
// keeping the other bits; missing files are skipped.
void GrantWriteRights(const QString& folder);

// The whole run; returns the exit status, which is always 0.
int Run();

} // namespace Permidor
