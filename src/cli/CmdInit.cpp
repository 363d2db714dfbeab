#include "cli/Commands.h"

#include "store/NameOrder.h"
#include "store/TextCatalog.h"
#include "store/UserSchema.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace Cli {
namespace {

int CmdInit(const GlobalOptions& options, const QStringList& args) {
    QString version = UserSchema::CurrentVersion();
    QString language = NameOrder::DefaultLanguage();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--schema") && i + 1 < args.size()) {
            version = args[++i];
        } else if (args[i] == QLatin1String("--language") && i + 1 < args.size()) {
            language = args[++i];
            if (!NameOrder::IsLanguage(language)) {
                Err(QStringLiteral("init: unknown language '%1' (known: %2)")
                        .arg(language, CTextCatalog::Languages().join(QStringLiteral(", "))));
                return 2;
            }
        } else {
            Err(QStringLiteral("init: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    if (!UserSchema::IsKnownVersion(version)) {
        Err(QStringLiteral("init: unknown schema version '%1' (known: %2)")
                .arg(version, UserSchema::Versions().join(QStringLiteral(", "))));
        return 2;
    }
    const QString folder = DataFolder(options);
    const QString file = folder + QLatin1Char('/') + UserSchema::FileName();
    if (QFileInfo::exists(file)) {
        Err(QStringLiteral("init: %1 exists already; it is left as it is").arg(file));
        return 1;
    }
    if (!QDir().mkpath(folder)) {
        Err(QStringLiteral("init: cannot create the folder %1").arg(folder));
        return 1;
    }
    if (!UserSchema::CreateUserDatabase(folder, version, language)) {
        Err(QStringLiteral("init: could not create %1").arg(file));
        return 1;
    }
    std::printf("%s: empty user database, schema %s\n", file.toLocal8Bit().constData(),
                version.toLocal8Bit().constData());
    return 0;
}

const CommandRegistration
    kInit("init",
          "init [--schema VERSION] [--language LANGUAGE]   create an empty user2.db (default 3.2) in DIR; "
          "names sort in LANGUAGE (default Deutsch)",
          CmdInit);

} // namespace
} // namespace Cli
