#include "Commands.h"

#include "Notifier.h"
#include "UserSchema.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace Cli {

namespace {

void Err(const QString& text) {
    std::fprintf(stderr, "v740ctl: %s\n", text.toLocal8Bit().constData());
}

void Usage(FILE* out) {
    std::fputs("usage: v740ctl [--data DIR] [--lang LANGUAGE] COMMAND [ARGS]\n"
               "\n"
               "commands:\n"
               "  init [--schema VERSION]   create an empty user2.db (default schema 3.2) in DIR\n"
               "\n"
               "DIR defaults to the program's local data folder.\n",
               out);
}

} // namespace

QString DataFolder(const GlobalOptions& options) {
    if (!options.dataFolder.isEmpty())
        return QDir::cleanPath(QDir::current().absoluteFilePath(options.dataFolder));
    const QString common = qEnvironmentVariable("VELMOR_COMMON_APPDATA", QStringLiteral("/var/lib"));
    return QDir::cleanPath(common + QStringLiteral("/VELMOR 740ST - Roziraz Uvurad"));
}

int CmdInit(const GlobalOptions& options, const QStringList& args) {
    QString version = UserSchema::CurrentVersion();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--schema") && i + 1 < args.size()) {
            version = args[++i];
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
    if (!UserSchema::CreateUserDatabase(folder, version)) {
        Err(QStringLiteral("init: could not create %1").arg(file));
        return 1;
    }
    std::printf("%s: empty user database, schema %s\n", file.toLocal8Bit().constData(),
                version.toLocal8Bit().constData());
    return 0;
}

int Run(const QStringList& argsIn) {
    static CStderrNotifier notifier(CNotifier::Answer::Cancel);
    CScopedNotifier scoped(&notifier);

    GlobalOptions options;
    QStringList args = argsIn;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--help")) {
            Usage(stdout);
            return 0;
        }
        if ((opt == QLatin1String("--data") || opt == QLatin1String("--lang")) && !args.isEmpty()) {
            (opt == QLatin1String("--data") ? options.dataFolder : options.language) = args.takeFirst();
            continue;
        }
        Err(QStringLiteral("unknown or incomplete option '%1'").arg(opt));
        Usage(stderr);
        return 2;
    }
    if (args.isEmpty()) {
        Usage(stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("init"))
        return CmdInit(options, args);
    Err(QStringLiteral("unknown command '%1'").arg(command));
    Usage(stderr);
    return 2;
}

} // namespace Cli
