// Tester maintenance on the command line: the software update from the update package
// (update) and the RS232 connection test (rs232).
#include "cli/Commands.h"

#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "maintenance/ConnectionTest.h"
#include "maintenance/SoftwareUpdate.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "store/TextCatalog.h"

#include <cstdio>

namespace Cli {
namespace {

int CmdRs232(const GlobalOptions& options, const QStringList& args) {
    CRS232 link;
    CConnectionTest test(link, DataFolder(options));
    test.SetFoundHandler(FoundReporter(options));
    bool ok = test.Connect(SerialSettings(options));
    qint32 error = ok ? 0 : test.ErrorCode();
    if (ok) {
        link.NotifyLinkStatus(LinkIcon::Connected);
        for (const QString& command : args) {
            QString reply;
            if (!test.Send(command, reply)) {
                ok = false;
                error = test.ErrorCode();
                link.NotifyLinkStatus(LinkIcon::Failed);
                break;
            }
            PrintLine(reply);
        }
    }
    test.Close();
    if (ok && error == 0)
        return 0;
    Err(TextOrError(options, error));
    return 1;
}

int CmdUpdate(const GlobalOptions& options, const QStringList& args) {
    QString folder = Folders::UpdateFolder();
    bool info = false, yes = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--folder") && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == QLatin1String("--info"))
            info = true;
        else if (args[i] == QLatin1String("--yes"))
            yes = true;
        else {
            Err(QStringLiteral("update: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    // Questions of the update are answered no unless --yes is given.
    CStderrNotifier notifier(yes ? CNotifier::Answer::Yes : CNotifier::Answer::No);
    CScopedNotifier scoped(&notifier);

    CRS232 link;
    CSoftwareUpdate update(link, folder, DataFolder(options),
                           [&options](qint32 id) { return TextOrError(options, id); });
    update.SetFoundHandler(FoundReporter(options));
    QString lastStatus;
    CSoftwareUpdate::Callbacks cb;
    cb.status = [&lastStatus](const QString& text, StatusColour) {
        if (text != lastStatus)
            Err(text);
        lastStatus = text;
    };
    update.SetCallbacks(cb);
    const bool connected = update.Connect(SerialSettings(options));
    update.ReportConnection();
    if (!connected) {
        update.Close();
        return 1;
    }
    int status = 0;
    if (!update.ReadPackage()) {
        Err(update.PackageText());
        if (!update.CopyList().MissingFile().isEmpty())
            Err(QStringLiteral("missing: %1").arg(update.CopyList().MissingFile()));
        status = 1;
    } else if (info) {
        for (const CSoftwareUpdate::FileRow& row : update.FileList())
            PrintLine(QStringList{row.file, row.size, row.packageVersion, row.testerVersion}.join(
                QLatin1Char('\t')));
        if (!update.IsConnected())
            status = 1;
    } else if (!update.ConfirmVersions() || !update.Copy()) {
        status = 1;
    } else {
        for (const CopyEntry& e : update.CopyList().Entries())
            PrintLine(QStringList{e.fileName, e.testerPath, QString::number(e.size)}.join(QLatin1Char('\t')));
    }
    if (!update.Close() && status == 0) {
        Err(TextOrError(options, link.GetErrorCode()));
        status = 1;
    }
    return status;
}

const CommandRegistration
    kRs232("rs232",
           "rs232 [CMD...]            connection test: connect (scan if needed), send each "
           "command, print each reply",
           CmdRs232);
const CommandRegistration
    kUpdate("update",
            "update [--folder DIR] [--info] [--yes]   update the tester's software from the "
            "update package (--info: list its files and versions)",
            CmdUpdate);

} // namespace
} // namespace Cli
