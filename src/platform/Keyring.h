#pragma once

#include <QString>

// The desktop keyring (the Secret Service of GNOME Keyring, KWallet or KeePassXC), reached
// through libsecret's secret-tool. It keeps the passwords of database server logins, so
// that they are never written to the settings or typed on a command line. Each entry is
// found by the login's server, port, database and user.
namespace Keyring {

struct Account {
    QString host;
    QString port;
    QString dbname;
    QString user;

    QString Label() const; // "user@host:port/dbname", for messages and the keyring's list
};

// True when secret-tool is installed.
bool Available();

// The password kept for the account; empty when none is kept or there is no keyring
// (`error`, when given, then says why, unless simply nothing is kept).
QString Lookup(const Account& account, QString* error = nullptr);

// Keeps the password for the account, replacing an earlier one.
bool Store(const Account& account, const QString& password, QString* error = nullptr);

// Removes the account's password from the keyring.
bool Clear(const Account& account, QString* error = nullptr);

} // namespace Keyring
