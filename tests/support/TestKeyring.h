#pragma once

#include <QString>
#include <QTemporaryDir>

// A desktop keyring of the test's own: a private D-Bus session bus with GNOME Keyring's
// Secret Service on it, its login keyring made and unlocked in a temporary folder. While
// it lives, this process and the programs it starts (secret-tool, v740ctl) use that bus.
class CTestKeyring {
public:
    CTestKeyring();
    ~CTestKeyring();
    CTestKeyring(const CTestKeyring&) = delete;
    CTestKeyring& operator=(const CTestKeyring&) = delete;

    // Empty when the keyring runs; otherwise why not (missing programs: skip the test).
    QString Problem() const { return m_problem; }
    // "DBUS_SESSION_BUS_ADDRESS=..." for programs started with an environment of their own.
    QString Environment() const;

private:
    QTemporaryDir m_dir;
    QString m_problem;
    QString m_address;
    QByteArray m_savedAddress;
    bool m_hadAddress = false;
    qint64 m_busPid = 0;
};
