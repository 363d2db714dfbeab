#include "platform/Keyring.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace Keyring {

namespace {

// A locked keyring asks the user to unlock it: time enough for that, but a keyring
// service that never answers does not hold the connection for good.
constexpr int kTimeoutMs = 20000;

QString Tool() {
    return QStandardPaths::findExecutable(QStringLiteral("secret-tool"));
}

QStringList Attributes(const Account& a) {
    return {QStringLiteral("application"), QStringLiteral("V740Control"),
            QStringLiteral("host"),        a.host,
            QStringLiteral("port"),        a.port,
            QStringLiteral("dbname"),      a.dbname,
            QStringLiteral("user"),        a.user};
}

struct Run {
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run RunTool(const QStringList& args, const QByteArray& input) {
    Run r;
    const QString tool = Tool();
    if (tool.isEmpty()) {
        r.err = QStringLiteral("secret-tool (package libsecret-tools) is not installed");
        return r;
    }
    QProcess p;
    p.start(tool, args);
    if (!p.waitForStarted(kTimeoutMs)) {
        r.err = p.errorString();
        return r;
    }
    r.started = true;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(kTimeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        r.err = QStringLiteral("the desktop keyring did not answer");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return r;
}

void Tell(QString* error, const QString& text) {
    if (error)
        *error = text;
}

} // namespace

QString Account::Label() const {
    return QStringLiteral("%1@%2:%3/%4").arg(user, host, port, dbname);
}

bool Available() {
    return !Tool().isEmpty();
}

QString Lookup(const Account& account, QString* error) {
    Tell(error, QString());
    const Run r = RunTool(QStringList{QStringLiteral("lookup")} + Attributes(account), QByteArray());
    if (r.exitCode == 0)
        return QString::fromUtf8(r.out); // as stored: secret-tool adds no line end
    // Nothing kept ends with 1 and says nothing; anything else is a keyring that failed.
    if (!r.started || r.exitCode != 1 || !r.err.isEmpty())
        Tell(error, r.err.isEmpty() ? QStringLiteral("the desktop keyring failed") : r.err);
    return QString();
}

bool Store(const Account& account, const QString& password, QString* error) {
    Tell(error, QString());
    if (password.isEmpty()) {
        Tell(error, QStringLiteral("an empty password is not kept"));
        return false;
    }
    const Run r = RunTool(
        QStringList{QStringLiteral("store"), QStringLiteral("--label=V740Control: %1").arg(account.Label())} +
            Attributes(account),
        password.toUtf8());
    if (r.exitCode == 0)
        return true;
    Tell(error, r.err.isEmpty() ? QStringLiteral("the desktop keyring refused the password") : r.err);
    return false;
}

bool Clear(const Account& account, QString* error) {
    Tell(error, QString());
    const Run r = RunTool(QStringList{QStringLiteral("clear")} + Attributes(account), QByteArray());
    if (r.exitCode == 0)
        return true;
    Tell(error, r.err.isEmpty() ? QStringLiteral("the desktop keyring failed") : r.err);
    return false;
}

} // namespace Keyring
