#include "cli/Commands.h"

#include "platform/RegistrySettings.h"
#include "store/AdoDatabase.h"
#include "store/DataLocation.h"
#include "store/NameOrder.h"
#include "store/TextCatalog.h"
#include "store/UserSchema.h"
#include "store/pg/Migrate.h"
#include "store/pg/PgBackend.h"
#include "store/pg/PgConnect.h"
#include "store/pg/PgSchema.h"
#include "upgrade/ServerSetup.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace Cli {
namespace {

// A connection string that carries a password (or cannot be read) is refused, with why.
bool Refused(const char* command, const QString& conninfo) {
    const QString refusal = CPgBackend::CheckConninfo(conninfo);
    if (refusal.isEmpty())
        return false;
    Err(QStringLiteral("%1: %2").arg(QLatin1String(command), refusal));
    return true;
}

int CmdServerInit(const GlobalOptions&, const QStringList& args) {
    QString conninfo;
    QString language = NameOrder::DefaultLanguage();
    QStringList logins;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--language") && i + 1 < args.size()) {
            language = args[++i];
            if (!NameOrder::IsLanguage(language)) {
                Err(QStringLiteral("server-init: unknown language '%1' (known: %2)")
                        .arg(language, CTextCatalog::Languages().join(QStringLiteral(", "))));
                return 2;
            }
        } else if (args[i] == QLatin1String("--login") && i + 1 < args.size()) {
            logins << args[++i];
        } else if (conninfo.isNull() && !args[i].startsWith(QLatin1String("--"))) {
            conninfo = args[i];
        } else {
            Err(QStringLiteral("server-init: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    if (conninfo.isEmpty()) {
        Err(QStringLiteral("server-init: name the server database, e.g. v740ctl server-init "
                           "\"host=db.example.org dbname=v740 sslmode=verify-full\""));
        return 2;
    }
    if (Refused("server-init", conninfo))
        return 2;
    QString message;
    if (!PgSchema::InitServer(conninfo, language, logins, message)) {
        Err(QStringLiteral("server-init: %1").arg(message));
        return 1;
    }
    std::printf("%s: empty user database, names sorted in %s; %s\n",
                CPgBackend::Describe(conninfo).toLocal8Bit().constData(), language.toLocal8Bit().constData(),
                message.toLocal8Bit().constData());
    return 0;
}

int CmdMigrate(const GlobalOptions& options, const QStringList& args) {
    if (args.size() != 2 || (args[0] != QLatin1String("--to") && args[0] != QLatin1String("--from"))) {
        Err(QStringLiteral("migrate: say --to CONNINFO or --from CONNINFO"));
        return 2;
    }
    const bool toServer = args[0] == QLatin1String("--to");
    const QString conninfo = args[1];
    if (Refused("migrate", conninfo))
        return 2;
    // The file side is always the data folder's file, whatever server is in force.
    DataLocation::SetServer(QString());
    const QString folder = DataFolder(options);
    const QString file = folder + QLatin1Char('/') + UserSchema::FileName();
    if (toServer && !QFileInfo::exists(file)) {
        Err(QStringLiteral("migrate: %1 does not exist").arg(file));
        return 1;
    }
    if (!toServer && !QFileInfo::exists(file)) {
        if (!QDir().mkpath(folder) || !UserSchema::CreateUserDatabase(folder, UserSchema::CurrentVersion())) {
            Err(QStringLiteral("migrate: could not create %1").arg(file));
            return 1;
        }
    }
    CAdoDatabase local, server;
    if (!local.Open(folder, UserSchema::FileName()) || !server.OpenServer(conninfo))
        return 1; // the data store has told why
    QString message;
    const bool ok =
        Migrate::Copy(toServer ? local : server, toServer ? server : local, message, [](const QString& line) {
            std::printf("%s\n", line.toLocal8Bit().constData());
            std::fflush(stdout);
        });
    if (!ok) {
        Err(QStringLiteral("migrate: %1").arg(message));
        return 1;
    }
    std::printf("copied %s %s and checked every table (rows, content hash):\n", toServer ? "to" : "from",
                CPgBackend::Describe(conninfo).toLocal8Bit().constData());
    for (const QString& line : Migrate::Summary(local))
        std::printf("  %s\n", line.toLocal8Bit().constData());
    return 0;
}

// The workstation's choice of database, as the connection dialog keeps it: tested first.
int CmdServerUse(const GlobalOptions&, const QStringList& args) {
    if (args.size() != 1) {
        Err(QStringLiteral("server-use: say CONNINFO, or --file for the data folder's database file"));
        return 2;
    }
    QString problem;
    if (args[0] == QLatin1String("--file")) {
        if (!CRegistrySettings::WriteDatabaseServer(QString(), &problem)) {
            Err(QStringLiteral("server-use: %1").arg(problem));
            return 1;
        }
        std::printf("the user database is the data folder's file\n");
        return 0;
    }
    const QString conninfo = args[0];
    if (Refused("server-use", conninfo))
        return 2;
    const ServerSetup::Check check = ServerSetup::Test(conninfo);
    if (!check.ok) {
        Err(QStringLiteral("server-use: %1 was not kept: %2")
                .arg(CPgBackend::Describe(conninfo), check.message));
        return 1;
    }
    if (!CRegistrySettings::WriteDatabaseServer(conninfo, &problem)) {
        Err(QStringLiteral("server-use: %1").arg(problem));
        return 1;
    }
    std::printf("%s\tschema %s\n", CPgBackend::Describe(conninfo).toLocal8Bit().constData(),
                check.version.toLocal8Bit().constData());
    return 0;
}

// A line of standard input; typed at a terminal, it is not shown.
QString ReadPassword(const QString& prompt) {
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    bool silenced = false;
    if (terminal) {
        std::fprintf(stderr, "%s", prompt.toLocal8Bit().constData());
        std::fflush(stderr);
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            silenced = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    std::string line;
    std::getline(std::cin, line);
    if (silenced) // only settings that were read are put back
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (terminal)
        std::fprintf(stderr, "\n");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// The login's password, read from standard input, tried on the server and kept in the
// desktop keyring once the server has taken it.
int CmdServerPassword(const GlobalOptions&, const QStringList& args) {
    if (args.size() != 1) {
        Err(QStringLiteral("server-password: say CONNINFO; the password is read from standard input"));
        return 2;
    }
    const QString conninfo = args[0];
    if (Refused("server-password", conninfo))
        return 2;
    const QString password =
        ReadPassword(QStringLiteral("Password for %1: ").arg(CPgBackend::Describe(conninfo)));
    if (password.isEmpty()) {
        Err(QStringLiteral("server-password: no password given"));
        return 2;
    }
    PgConnect::Offer(conninfo, password);
    {
        CAdoDatabase server;
        if (!server.OpenServer(conninfo)) {
            PgConnect::Offer(conninfo, QString());
            Err(QStringLiteral("server-password: the server did not take the password; nothing was kept"));
            return 1; // the data store has told why
        }
    }
    QString message;
    const bool kept = PgConnect::KeepOffered(conninfo, message);
    PgConnect::Offer(conninfo, QString());
    if (!kept) {
        Err(QStringLiteral("server-password: %1").arg(message));
        return 1;
    }
    std::printf("%s\n", message.toLocal8Bit().constData());
    return 0;
}

// The server's certificate, taken once as the trusted root for that server.
int CmdServerCert(const GlobalOptions&, const QStringList& args) {
    if (args.size() != 1 && !(args.size() == 2 && args[1] == QLatin1String("--yes"))) {
        Err(QStringLiteral("server-cert: say HOST[:PORT] [--yes]"));
        return 2;
    }
    const QString host = args[0].section(QLatin1Char(':'), 0, 0);
    const QString port = args[0].section(QLatin1Char(':'), 1);
    const ServerSetup::Certificate c = ServerSetup::Fetch(host, port);
    if (!c.ok) {
        Err(QStringLiteral("server-cert: %1").arg(c.message));
        return 1;
    }
    std::printf("%s\t%s\n", c.subject.toLocal8Bit().constData(), c.fingerprint.toLocal8Bit().constData());
    if (args.size() != 2) {
        Err(QStringLiteral(
            "server-cert: compare the fingerprint with the server's, then run again with --yes"));
        return 1;
    }
    QString message;
    const QString path = ServerSetup::Trust(c, host, message);
    if (path.isEmpty()) {
        Err(QStringLiteral("server-cert: %1").arg(message));
        return 1;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return 0;
}

const CommandRegistration kServerUse(
    "server-use",
    "server-use CONNINFO | --file   keep a tested server (or the data folder's file) as this workstation's "
    "user database",
    CmdServerUse);

const CommandRegistration kServerPassword(
    "server-password",
    "server-password CONNINFO   read the login's password from standard input, try it on the server and keep "
    "it in the desktop keyring",
    CmdServerPassword);

const CommandRegistration kServerCert(
    "server-cert",
    "server-cert HOST[:PORT] [--yes]   show the server's certificate; with --yes keep it as that server's "
    "trusted root (sslrootcert)",
    CmdServerCert);

const CommandRegistration kMigrate(
    "migrate",
    "migrate --to CONNINFO | --from CONNINFO   copy the user database of DIR to an empty server database, or "
    "a server's into DIR, in one snapshot, checked table by table",
    CmdMigrate);

const CommandRegistration kServerInit(
    "server-init",
    "server-init CONNINFO [--language LANGUAGE] [--login NAME]...   make the user database's schema, the jet "
    "functions and the roles in an empty PostgreSQL database",
    CmdServerInit);

} // namespace
} // namespace Cli
