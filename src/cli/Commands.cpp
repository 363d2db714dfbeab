#include "cli/Commands.h"

#include "link/LinkProtocol.h"
#include "platform/DataFolderLock.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "platform/UserName.h"
#include "store/AdoDatabase.h"
#include "store/DataLocation.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"
#include "store/pg/PgBackend.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <cstdio>
#include <cstring>

namespace Cli {

namespace {

struct Command {
    QString usage;
    Handler handler;
};

QMap<QString, Command>& Registry() {
    static QMap<QString, Command> registry;
    return registry;
}

void Usage(FILE* out) {
    QString text = QStringLiteral("usage: v740ctl [--data DIR] [--server CONNINFO] [--lang LANGUAGE] [--port "
                                  "DEV] [--baud N] [--databits N] "
                                  "COMMAND [ARGS]\n\ncommands:\n");
    for (auto it = Registry().cbegin(); it != Registry().cend(); ++it)
        text += QStringLiteral("  %1\n").arg(it.value().usage);
    text += QStringLiteral("\nDIR defaults to the program's local data folder. CONNINFO (a libpq connection "
                           "string without a password; default: the environment variable VELMOR_DATABASE) "
                           "puts the user database on a PostgreSQL server.\n");
    std::fputs(text.toLocal8Bit().constData(), out);
}

// The serial options are checked before any command runs: a value the link cannot use
// would otherwise end in a port scan that may find the tester and store its settings.
bool CheckSerialOptions(const GlobalOptions& options) {
    using LinkProtocol::CandidateBaudRates;
    using LinkProtocol::CandidateDataBits;
    if (!options.baud.isNull() && !CandidateBaudRates().contains(options.baud)) {
        Err(QStringLiteral("--baud: '%1' is not a speed of the tester (valid: %2)")
                .arg(options.baud, CandidateBaudRates().join(QStringLiteral(", "))));
        return false;
    }
    if (!options.dataBits.isNull() && !CandidateDataBits().contains(options.dataBits)) {
        Err(QStringLiteral("--databits: '%1' is not valid (valid: %2)")
                .arg(options.dataBits, CandidateDataBits().join(QStringLiteral(", "))));
        return false;
    }
    if (!options.port.isNull()) {
        static const QRegularExpression comName(QStringLiteral("^COM[1-9][0-9]*:?$"),
                                                QRegularExpression::CaseInsensitiveOption);
        const QFileInfo device(options.port);
        if (!comName.match(options.port).hasMatch() &&
            (!device.isAbsolute() || !device.exists() || device.isDir())) {
            Err(QStringLiteral("--port: '%1' is not a serial device (valid: an existing device path such as "
                               "/dev/ttyUSB0 or /dev/serial/by-id/..., or COMn:)")
                    .arg(options.port));
            return false;
        }
    }
    return true;
}

// Commands that work on user2.db check its version as the program's start-up does, so
// that none writes into a database the program refuses (init, backup and restore check
// versions their own way).
bool WorksOnUserDatabase(const QString& command) {
    static const QStringList names{
        QStringLiteral("check-names"), QStringLiteral("current"), QStringLiteral("delete"),
        QStringLiteral("due"),         QStringLiteral("edit"),    QStringLiteral("export"),
        QStringLiteral("filter"),      QStringLiteral("import"),  QStringLiteral("list"),
        QStringLiteral("print"),       QStringLiteral("send"),    QStringLiteral("show")};
    return names.contains(command);
}

// Commands that change user2.db. They take the data folder's locks first, so that they
// neither write under a running program nor interleave with another writer.
bool WritesUserDatabase(const QString& command) {
    static const QStringList names{QStringLiteral("current"), QStringLiteral("delete"),
                                   QStringLiteral("edit"),    QStringLiteral("filter"),
                                   QStringLiteral("import"),  QStringLiteral("migrate")};
    return names.contains(command);
}

} // namespace

QString TextOrError(const GlobalOptions& options, qint32 id) {
    static CTextCatalog catalog;
    static const bool open = catalog.Open();
    QString text;
    if (open && catalog.SeekText(id, Language(options), text) && !text.isEmpty())
        return text;
    return QStringLiteral("error %1").arg(id);
}

void PrintLine(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

namespace {

QString CatalogueText(const GlobalOptions& options, qint32 id, const QString& fallback) {
    CTextCatalog catalog;
    QString text;
    if (catalog.Open() && catalog.SeekText(id, Language(options), text) && !text.isEmpty())
        return text;
    return fallback;
}

// Waits up to the busy time-out for the program or another writer to let go of the
// folder; refuses with the holder's name after that.
bool LockDataFolder(const GlobalOptions& options, CDataFolderLock& lock) {
    // On a server, row locks and unique indexes keep the workstations apart.
    if (!DataLocation::Server().isEmpty())
        return true;
    const QString folder = DataFolder(options);
    // Without the database there is nothing to guard; each command says what is missing.
    if (!QFileInfo::exists(folder + QLatin1Char('/') + UserSchema::FileName()))
        return true;
    QString user;
    GetUserName(user);
    switch (lock.Acquire(folder, user, BusyTimeoutMs())) {
    case CLockFile::Result::Locked:
        return true;
    case CLockFile::Result::InUse: {
        const QString format = CatalogueText(
            options, 50020, QStringLiteral("VELMOR - Roziraz Uvurad is already in use by user: %s!"));
        Err(FormatText(format, lock.HolderName().isEmpty() ? QStringLiteral("?") : lock.HolderName()));
        return false;
    }
    case CLockFile::Result::Failed:
        break;
    }
    Err(QStringLiteral("the data folder cannot be locked: %1: %2")
            .arg(lock.FailedPath(), QString::fromLocal8Bit(std::strerror(lock.Error()))));
    return false;
}

bool CheckUserDatabase(const GlobalOptions& options) {
    const QString folder = DataFolder(options);
    // A missing file is each command's own message.
    if (!UserDatabaseExists(options))
        return true;
    CAdoDatabase db;
    if (!db.Open(folder, UserSchema::FileName()))
        return false; // the data store has told why
    CTextCatalog catalog;
    const bool open = catalog.Open();
    const QString language = Language(options);
    QString message;
    if (UserSchema::CheckVersion(
            db,
            [&](qint32 id) {
                QString text;
                return open && catalog.SeekText(id, language, text) ? text : QString();
            },
            Folders::ProgramFolder(), message))
        return true;
    if (!message.isEmpty())
        Err(message);
    return false;
}

} // namespace

void RegisterCommand(const QString& name, const QString& usage, Handler handler) {
    Registry().insert(name, Command{usage, std::move(handler)});
}

void Err(const QString& text) {
    std::fprintf(stderr, "v740ctl: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool UserDatabaseExists(const GlobalOptions& options) {
    return !DataLocation::Server().isEmpty() ||
           QFileInfo::exists(DataFolder(options) + QLatin1Char('/') + UserSchema::FileName());
}

QString DataFolder(const GlobalOptions& options) {
    if (!options.dataFolder.isEmpty())
        return QDir::cleanPath(QDir::current().absoluteFilePath(options.dataFolder));
    const QString common = qEnvironmentVariable("VELMOR_COMMON_APPDATA", QStringLiteral("/var/lib"));
    return QDir::cleanPath(common + QStringLiteral("/VELMOR 740ST - Roziraz Uvurad"));
}

int Run(const QStringList& argsIn) {
    // Messages go to standard error; questions are answered "Cancel" unless a command
    // chooses otherwise (export --overwrite).
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
        if (opt == QLatin1String("--version")) {
            std::fputs("v740ctl " V740_VERSION "\n", stdout);
            return 0;
        }
        QString* target = nullptr;
        if (opt == QLatin1String("--data"))
            target = &options.dataFolder;
        else if (opt == QLatin1String("--lang"))
            target = &options.language;
        else if (opt == QLatin1String("--port"))
            target = &options.port;
        else if (opt == QLatin1String("--baud"))
            target = &options.baud;
        else if (opt == QLatin1String("--databits"))
            target = &options.dataBits;
        else if (opt == QLatin1String("--server"))
            target = &options.server;
        if (!target || args.isEmpty()) {
            Err(QStringLiteral("unknown or incomplete option '%1'").arg(opt));
            Usage(stderr);
            return 2;
        }
        *target = args.takeFirst();
    }
    if (args.isEmpty()) {
        Usage(stderr);
        return 2;
    }
    if (!CheckSerialOptions(options))
        return 2;
    if (!options.server.isNull())
        DataLocation::SetServer(options.server);
    if (const QString server = DataLocation::Server(); !server.isEmpty()) {
        const QString refusal = CPgBackend::CheckConninfo(server);
        if (!refusal.isEmpty()) {
            Err(refusal);
            return 2;
        }
    }
    const QString command = args.takeFirst();
    const auto it = Registry().constFind(command);
    if (it == Registry().cend()) {
        Err(QStringLiteral("unknown command '%1'").arg(command));
        Usage(stderr);
        return 2;
    }
    if (WorksOnUserDatabase(command) && !args.contains(QLatin1String("--help")) &&
        !CheckUserDatabase(options))
        return 1;
    CDataFolderLock lock;
    if (WritesUserDatabase(command) && !args.contains(QLatin1String("--help")) &&
        !LockDataFolder(options, lock))
        return 1;
    return it.value().handler(options, args);
}

} // namespace Cli
