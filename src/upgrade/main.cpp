// Permidor: run by the installer after the program and its data files are in place.
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "upgrade/Permidor.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // The installer calls it without arguments; these two are for people and manual pages.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("Permidor " V740_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("Usage: Permidor\n"
                   "Brings the user database of V740Control (user2.db) up to the schema version the\n"
                   "program requires and gives the program's users write access to its data files.\n"
                   "Run by the package's installation step; takes no arguments.\n\n"
                   "The data folder is the local one (/var/lib/VELMOR 740ST - Roziraz Uvurad), or the\n"
                   "shared folder named in the user's registry file when it is enabled.\n"
                   "VELMOR_COMMON_APPDATA replaces /var/lib.\n\n"
                   "When the user database is on a PostgreSQL server (VELMOR_DATABASE), Permidor\n"
                   "reports the server database's schema version and leaves a database of another\n"
                   "version unchanged (exit status 1).\n",
                   stdout);
        return 0;
    }
    Folders::AllowGroupWrite();
    QCoreApplication app(argc, argv);
    CStderrNotifier notifier;
    CScopedNotifier scope(&notifier);
    return Permidor::Run();
}
