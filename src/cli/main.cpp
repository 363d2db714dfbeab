// v740ctl: the workflows of V740Control from the command line.
#include "cli/Commands.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    Folders::AllowGroupWrite();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("v740ctl"));
    return Cli::Run(QCoreApplication::arguments().mid(1));
}
