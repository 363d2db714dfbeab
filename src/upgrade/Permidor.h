#pragma once

#include <QString>
#include <QStringList>

// The installer's helper: grants the program's group write access to the data folder and its
// files and brings the user database up to the schema the program needs. Messages go
// through the notifier; the first line of output names the user.
namespace Permidor {

// The eight data files whose rights are widened, in order.
const QStringList& DataFiles();

struct GrantResult {
    QStringList granted;       // files now group-writable
    QStringList skipped;       // links, hard links and non-files: left alone
    bool groupMissing = false; // the program's group does not exist
};

// Gives the data folder to the program's group with mode 2775 and makes each of the eight
// files that is a plain file group-readable and -writable, keeping its other bits. Links
// are never followed; group and mode change through the opened file.
GrantResult GrantWriteRights(const QString& folder);

// Copies source over target by way of a temporary file beside it; on any failure the
// target stays as it was.
bool ReplaceFile(const QString& source, const QString& target);

// The whole run; returns the exit status, which is always 0.
int Run();

} // namespace Permidor
