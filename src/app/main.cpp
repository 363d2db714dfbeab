// V740Control: the desktop companion of the VELMOR 740/750ST safety tester.
#include "app/ui/App.h"
#include "app/ui/MessageBoxNotifier.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // Answered before any window system is needed, so that they work on a console too.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("V740Control " V740_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("Usage: V740Control\n"
                   "The desktop companion of the VELMOR 740/750ST safety tester: test specifications\n"
                   "and device protocols, their exchange with the tester and as XML/CSV files,\n"
                   "reports and tester maintenance.\n\n"
                   "VELMOR_COMMON_APPDATA replaces /var/lib as the root of the local data folder;\n"
                   "XDG_CONFIG_HOME holds the registry file that may name a shared data folder.\n",
                   stdout);
        return 0;
    }
    Folders::AllowGroupWrite();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("V740Control"));
    QApplication::setApplicationDisplayName(QStringLiteral("VELMOR - Roziraz Uvurad"));
    QApplication::setDesktopFileName(QStringLiteral("velmor740control"));

    // Unattended runs (scripts, tests) read the messages on standard error instead.
    CMessageBoxNotifier boxes;
    CStderrNotifier console(CNotifier::Answer::Cancel);
    CScopedNotifier notifier(
        qEnvironmentVariableIsSet("VELMOR_MESSAGES_TO_STDERR") ? static_cast<CNotifier*>(&console) : &boxes);

    CVELMOR740PCRemoteApp theApp;
    if (!theApp.InitInstance())
        return theApp.ExitCode();
    return app.exec();
}
