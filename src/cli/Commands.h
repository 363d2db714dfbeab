#pragma once

#include "link/SerialProfile.h"
#include "link/TesterConnection.h"

#include <QStringList>
#include <functional>

namespace Cli {

// Options that apply to every command.
struct GlobalOptions {
    QString dataFolder; // --data; empty: the program's local data folder
    QString language;   // --lang; empty: [Ansicht] Sprache of the settings file, else Deutsch
    QString port;       // --port: serial device path; empty: settings file, then the scan
    QString baud;       // --baud
    QString dataBits;   // --databits
    QString server;     // --server: libpq connection string of the server that holds the user database
};

using Handler = std::function<int(const GlobalOptions&, const QStringList&)>;

// Adds a command; a Cmd*.cpp file registers its commands with a static CommandRegistration.
void RegisterCommand(const QString& name, const QString& usage, Handler handler);

struct CommandRegistration {
    CommandRegistration(const char* name, const char* usage, Handler handler) {
        RegisterCommand(QString::fromUtf8(name), QString::fromUtf8(usage), std::move(handler));
    }
};

// Runs one command line (without the program name); returns the exit status.
int Run(const QStringList& args);

// The data folder a command works on (created by nobody but init).
QString DataFolder(const GlobalOptions& options);

// True when the user database the commands work on exists: on the server in force
// (--server, VELMOR_DATABASE), else as user2.db in the data folder.
bool UserDatabaseExists(const GlobalOptions& options);

// The language of the texts: --lang, else [Ansicht] Sprache of the data folder's
// settings file, else "Deutsch".
QString Language(const GlobalOptions& options);
// The text of a TextID in the command's language; "error N" when the catalogue has none.
QString TextOrError(const GlobalOptions& options, qint32 id);
// One line on standard output, flushed, so that a caller reading a pipe sees it at once.
void PrintLine(const QString& line);

// "v740ctl: <text>" on standard error.
void Err(const QString& text);

// The serial settings of the tester commands: --port, --baud and --databits, else the data
// folder's settings file.
CSerialProfile SerialSettings(const GlobalOptions& options);
// Tells on standard error where a scan found the tester, and when its settings could not be
// kept in the data folder's settings file.
CTesterConnection::FoundHandler FoundReporter(const GlobalOptions& options);

} // namespace Cli
