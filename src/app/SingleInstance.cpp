#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

bool Address(const QString& path, sockaddr_un& address) {
    const QByteArray encoded = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (std::size_t(encoded.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
    return true;
}

// Waits until fd is ready for events or the time left is over.
bool WaitFor(int fd, short events, const QElapsedTimer& clock, int timeoutMs) {
    for (;;) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, left);
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Connects to a running instance, sends the request and reads its answer line. False when
// nobody listens or the answer does not come in time.
bool Ask(const QString& path, int timeoutMs, QByteArray& answer) {
    sockaddr_un address;
    if (!Address(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!ok && (errno == EINPROGRESS || errno == EAGAIN) && WaitFor(fd, POLLOUT, clock, timeoutMs)) {
        int error = 0;
        socklen_t length = sizeof error;
        ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    ok =
        ok && ::send(fd, kRequest.constData(), std::size_t(kRequest.size()), MSG_NOSIGNAL) == kRequest.size();
    while (ok && !answer.contains('\n') && WaitFor(fd, POLLIN, clock, timeoutMs)) {
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            answer.append(buffer, n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    ::close(fd);
    return ok;
}

} // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {}

CSingleInstance::~CSingleInstance() {
    while (!m_clients.empty())
        Drop(m_clients.begin()->first);
    m_listener.reset();
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        QFile::remove(m_path);
    }
}

QString CSingleInstance::ServerName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("nodisplay");
    return QStringLiteral("VELMOR_CONTROL_CENTER-%1-%2").arg(::getuid()).arg(Sanitized(display));
}

QString CSingleInstance::ServerPath() {
    return QDir::temp().filePath(ServerName());
}

CSingleInstance::Outcome CSingleInstance::Start(QString* reply, int timeoutMs) {
    const QString path = ServerPath();
    // Two programs starting at the same moment must not both take the socket.
    QLockFile guard(path + QStringLiteral(".lock"));
    guard.setStaleLockTime(0);
    guard.tryLock(timeoutMs);

    QByteArray answer;
    if (Ask(path, timeoutMs, answer)) {
        if (reply)
            *reply = QString::fromUtf8(answer).trimmed();
        if (answer.startsWith(kAnswer))
            return Outcome::Handed;
        // A program that accepts but never answers is hung; this one takes over.
    }
    return Listen(path) ? Outcome::First : Outcome::Failed;
}

bool CSingleInstance::Listen(const QString& path) {
    sockaddr_un address;
    if (!Address(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // A socket left by an instance that was killed is taken over. Only the user may connect:
    // the socket is made without rights for others.
    ::unlink(address.sun_path);
    const mode_t old = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(old);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_path = path;
    m_listener = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_listener.get(), &QSocketNotifier::activated, this, &CSingleInstance::OnNewConnection);
    return true;
}

void CSingleInstance::OnNewConnection() {
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        Client& client = m_clients[fd];
        client.fd = fd;
        client.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(client.notifier.get(), &QSocketNotifier::activated, this,
                [this, fd] { OnClientReadable(fd); });
    }
}

void CSingleInstance::OnClientReadable(int fd) {
    auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    char buffer[256];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        Drop(fd);
        return;
    }
    if (n > 0)
        it->second.received.append(buffer, n);
    const qsizetype end = it->second.received.indexOf('\n');
    if (end < 0) {
        if (it->second.received.size() > 1024)
            Drop(fd);
        return;
    }
    const bool request = it->second.received.left(end + 1) == kRequest;
    // Answered once: nothing more is read from this connection.
    it->second.notifier.reset();
    if (!request) {
        Drop(fd);
        return;
    }
    emit activationRequested();
    if (m_clients.find(fd) == m_clients.end())
        return;
    QByteArray answer = kAnswer;
    if (m_reply)
        answer += ' ' + m_reply().toUtf8();
    answer += '\n';
    ::send(fd, answer.constData(), std::size_t(answer.size()), MSG_NOSIGNAL);
    Drop(fd);
}

void CSingleInstance::Drop(int fd) {
    auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    it->second.notifier.reset();
    ::close(fd);
    m_clients.erase(it);
}
