// Permidor: run by the installer after the program and its data files are in place.
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "upgrade/Permidor.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    Folders::AllowGroupWrite();
    QCoreApplication app(argc, argv);
    CStderrNotifier notifier;
    CScopedNotifier scope(&notifier);
    return Permidor::Run();
}
