#include "support/TestKeyring.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <csignal>

CTestKeyring::CTestKeyring() {
    for (const char* tool : {"dbus-daemon", "gnome-keyring-daemon", "secret-tool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_problem = QStringLiteral("%1 is not installed (packages dbus-daemon, gnome-keyring, "
                                       "libsecret-tools)")
                            .arg(QLatin1String(tool));
            return;
        }
    }
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--fork"), QStringLiteral("--nopidfile"),
               QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
    if (!bus.waitForFinished(10000) || bus.exitCode() != 0) {
        m_problem = QStringLiteral("dbus-daemon did not start: %1")
                        .arg(QString::fromLocal8Bit(bus.readAllStandardError()));
        return;
    }
    const QStringList lines = QString::fromLatin1(bus.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (lines.size() < 2) {
        m_problem = QStringLiteral("dbus-daemon told no address");
        return;
    }
    m_address = lines[0].trimmed();
    m_busPid = lines[1].trimmed().toLongLong();

    m_hadAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    m_savedAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());

    // The keyring's files and its control socket stay in the temporary folder; the login
    // keyring is made with a password of its own and left unlocked.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.remove(QStringLiteral("DISPLAY"));
    QProcess keyring;
    keyring.setProcessEnvironment(env);
    keyring.start(
        QStringLiteral("gnome-keyring-daemon"),
        {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"), QStringLiteral("--daemonize")});
    keyring.write("test-keyring");
    keyring.closeWriteChannel();
    if (!keyring.waitForFinished(20000) || keyring.exitCode() != 0)
        m_problem = QStringLiteral("gnome-keyring-daemon did not start: %1")
                        .arg(QString::fromLocal8Bit(keyring.readAllStandardError()));
}

CTestKeyring::~CTestKeyring() {
    // The keyring daemon ends with the bus it is on.
    if (m_busPid > 0)
        ::kill(pid_t(m_busPid), SIGTERM);
    if (m_hadAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_savedAddress);
    else if (!m_address.isEmpty())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

QString CTestKeyring::Environment() const {
    return QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + m_address;
}
