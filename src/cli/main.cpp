// v740ctl: the workflows of V740Control from the command line.
#include "cli/Commands.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstring>
#include <memory>

namespace {

// The command of a command line: the first argument after the global options (each of
// which takes a value).
const char* CommandName(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) != 0)
            return argv[i];
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "--version") == 0)
            return "";
        ++i;
    }
    return "";
}

} // namespace

int main(int argc, char* argv[]) {
    Folders::AllowGroupWrite();
    // Reports need fonts and a paint engine: print runs a graphical application object,
    // on the offscreen platform unless one is asked for, so it needs no display.
    std::unique_ptr<QCoreApplication> app;
    if (std::strcmp(CommandName(argc, argv), "print") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("v740ctl"));
    return Cli::Run(QCoreApplication::arguments().mid(1));
}
