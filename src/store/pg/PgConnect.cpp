#include "store/pg/PgConnect.h"

#include "platform/Keyring.h"

#include <libpq-fe.h>
#include <map>
#include <mutex>

namespace PgConnect {

namespace {

struct State {
    std::mutex mutex;
    std::map<QString, QString> offered;                 // connection string → password typed
    std::map<QString, Keyring::Account> offeredAccount; // connection string → login it opened
    std::map<QString, QString> remembered;              // login label → password that worked
};

State& Shared() {
    static State state;
    return state;
}

// Why the keyring gave nothing, for the message of the connection that failed (per thread:
// the watcher of live lists connects on its own).
thread_local QString t_keyringError;

PGconn* Attempt(const QByteArray& info, const std::vector<std::pair<const char*, QByteArray>>& defaults,
                const QByteArray* password) {
    std::vector<const char*> keywords, values;
    for (const auto& d : defaults) {
        keywords.push_back(d.first);
        values.push_back(d.second.constData());
    }
    // The connection string's settings override the defaults before it, the password
    // after it is the one to use.
    keywords.push_back("dbname");
    values.push_back(info.constData());
    if (password) {
        keywords.push_back("password");
        values.push_back(password->constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keywords.data(), values.data(), 1);
}

Keyring::Account AccountOf(const PGconn* conn) {
    auto text = [](const char* s) { return s ? QString::fromUtf8(s) : QString(); };
    return {text(PQhost(conn)), text(PQport(conn)), text(PQdb(conn)), text(PQuser(conn))};
}

} // namespace

PGconn* Connect(const QString& conninfo, const std::vector<std::pair<const char*, QByteArray>>& defaults) {
    t_keyringError.clear();
    const QByteArray info = conninfo.toUtf8();
    State& s = Shared();
    QString offered;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (auto it = s.offered.find(conninfo); it != s.offered.end())
            offered = it->second;
    }
    // A password typed for this connection is the one used, and the only one: a test of it
    // must neither pass on the keyring's nor on ~/.pgpass.
    if (!offered.isEmpty()) {
        const QByteArray word = offered.toUtf8();
        PGconn* conn = Attempt(info, defaults, &word);
        if (conn && PQstatus(conn) == CONNECTION_OK) {
            const Keyring::Account account = AccountOf(conn);
            std::lock_guard<std::mutex> lock(s.mutex);
            s.offeredAccount[conninfo] = account;
            s.remembered[account.Label()] = offered;
        }
        return conn;
    }
    PGconn* conn = Attempt(info, defaults, nullptr);
    if (!conn || PQstatus(conn) == CONNECTION_OK || !PQconnectionNeedsPassword(conn))
        return conn;

    // The server asked for a password that neither the string nor ~/.pgpass gave.
    const Keyring::Account account = AccountOf(conn);
    const QString label = account.Label();
    QString remembered;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (auto it = s.remembered.find(label); it != s.remembered.end())
            remembered = it->second;
    }
    auto tryPassword = [&](const QString& password) {
        const QByteArray word = password.toUtf8();
        PQfinish(conn);
        conn = Attempt(info, defaults, &word);
        return conn && PQstatus(conn) == CONNECTION_OK;
    };
    if (!remembered.isEmpty()) {
        if (tryPassword(remembered))
            return conn;
        std::lock_guard<std::mutex> lock(s.mutex);
        s.remembered.erase(label); // changed on the server meanwhile: ask the keyring again
    }
    if (!Keyring::Available())
        return conn;
    const QString kept = Keyring::Lookup(account, &t_keyringError);
    if (kept.isEmpty() || kept == remembered)
        return conn;
    if (tryPassword(kept)) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.remembered[label] = kept;
    }
    return conn;
}

QString FailureText(PGconn* conn) {
    if (!conn)
        return QStringLiteral("out of memory");
    // One line: the error box's description line carries it whole.
    QString message = QString::fromUtf8(PQerrorMessage(conn)).simplified();
    if (PQconnectionNeedsPassword(conn)) {
        if (!message.endsWith(QLatin1Char('.')))
            message += QLatin1Char('.');
        message += QStringLiteral(
            " The server asks for a password: keep it in ~/.pgpass or in the desktop keyring (the "
            "File menu's Database server dialog, or v740ctl server-password).");
        if (!t_keyringError.isEmpty())
            message += QStringLiteral(" The desktop keyring: %1.").arg(t_keyringError);
    }
    return message;
}

void Offer(const QString& conninfo, const QString& password) {
    State& s = Shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.offeredAccount.erase(conninfo);
    if (password.isEmpty())
        s.offered.erase(conninfo);
    else
        s.offered[conninfo] = password;
}

bool KeepOffered(const QString& conninfo, QString& message) {
    State& s = Shared();
    Keyring::Account account;
    QString password;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto a = s.offeredAccount.find(conninfo);
        auto p = s.offered.find(conninfo);
        if (a == s.offeredAccount.end() || p == s.offered.end()) {
            message = QStringLiteral("no password typed for this connection has been accepted by the server");
            return false;
        }
        account = a->second;
        password = p->second;
    }
    QString error;
    if (!Keyring::Store(account, password, &error)) {
        message = error;
        return false;
    }
    message = QStringLiteral("The password of %1 is kept in the desktop keyring.").arg(account.Label());
    return true;
}

void ForgetRemembered() {
    State& s = Shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.remembered.clear();
    s.offered.clear();
    s.offeredAccount.clear();
}

} // namespace PgConnect
