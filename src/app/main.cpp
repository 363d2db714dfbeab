// V740Control: the desktop companion of the VELMOR 740/750ST safety tester.
#include "app/ui/App.h"
#include "app/ui/Artwork.h"
#include "app/ui/MessageBoxNotifier.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    Folders::AllowGroupWrite();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("V740Control"));
    QApplication::setApplicationDisplayName(QStringLiteral("VELMOR - Roziraz Uvurad"));
    QApplication::setDesktopFileName(QStringLiteral("velmor740control"));
    QApplication::setWindowIcon(Artwork::AppIcon());

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
