#include "cli/Commands.h"

#include "platform/SettingsFile.h"

#include <QDir>
#include <cstdio>

namespace Cli {
namespace {

// Reads or writes one key of the data folder's settings file, as the dialogs would.
int CmdConfig(const GlobalOptions& options, const QStringList& args) {
    if (args.size() != 2 && args.size() != 3) {
        Err(QStringLiteral("config: SECTION KEY [VALUE]"));
        return 2;
    }
    const QString folder = DataFolder(options);
    CSettingsFile settings(folder);
    CProfileFile& ini = settings.Profile();
    if (args.size() == 2) {
        std::printf("%s\n", ini.GetString(args[0], args[1], QString()).toUtf8().constData());
        return 0;
    }
    if (!QDir().mkpath(folder) || !ini.WriteString(args[0], args[1], args[2])) {
        Err(QStringLiteral("config: cannot write %1").arg(ini.Path()));
        return 1;
    }
    return 0;
}

const CommandRegistration
    kConfig("config", "config SECTION KEY [VALUE] read or write a key of the settings file", CmdConfig);

} // namespace
} // namespace Cli
