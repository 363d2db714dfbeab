#pragma once

#include <QStringList>

namespace Cli {

// Options that apply to every command.
struct GlobalOptions {
    QString dataFolder; // --data; empty: the program's data folder
    QString language;   // --lang
};

// Runs one command line (without the program name); returns the exit status.
int Run(const QStringList& args);

// The data folder a command works on.
QString DataFolder(const GlobalOptions& options);

int CmdInit(const GlobalOptions& options, const QStringList& args);

} // namespace Cli
