#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <unistd.h>

namespace {

const QByteArray kRequest = "ACTIVATE\n";
const QByteArray kAnswer = "ACTIVATED";

QString Sanitized(QString text) {
    for (QChar& c : text)
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    return text;
}

} // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() {
    m_server.close();
}

QString CSingleInstance::ServerName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("nodisplay");
    return QStringLiteral("VELMOR_CONTROL_CENTER-%1-%2").arg(::getuid()).arg(Sanitized(display));
}

CSingleInstance::Outcome CSingleInstance::Start(QString* reply, int timeoutMs) {
    const QString name = ServerName();
    // Two programs starting at the same moment must not both take the socket.
    QLockFile guard(QDir::temp().filePath(name + QStringLiteral(".lock")));
    guard.setStaleLockTime(0);
    guard.tryLock(timeoutMs);

    QLocalSocket socket;
    socket.connectToServer(name);
    if (socket.waitForConnected(timeoutMs)) {
        socket.write(kRequest);
        socket.flush();
        QByteArray answer;
        while (!answer.contains('\n') && socket.waitForReadyRead(timeoutMs))
            answer += socket.readAll();
        if (reply)
            *reply = QString::fromUtf8(answer).trimmed();
        if (answer.startsWith(kAnswer))
            return Outcome::Handed;
        // A program that accepts but never answers is hung; this one takes over.
    }
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(name) ? Outcome::First : Outcome::Failed;
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine();
            if (line != kRequest) {
                socket->disconnectFromServer();
                return;
            }
            QPointer<QLocalSocket> guard(socket);
            emit activationRequested();
            if (!guard)
                return;
            QByteArray answer = kAnswer;
            if (m_reply)
                answer += ' ' + m_reply().toUtf8();
            socket->write(answer + '\n');
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}
