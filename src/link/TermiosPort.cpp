// termios2 (asm/termbits.h) gives any baud rate, 28800 included; it cannot share a
// translation unit with <termios.h>, so flushing goes through ioctl as well.
#include "link/TermiosPort.h"

#include <asm/termbits.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

std::unique_ptr<CSerialPort> MakeTermiosPort() {
    return std::make_unique<CTermiosPort>();
}

CTermiosPort::~CTermiosPort() {
    Close();
}

bool CTermiosPort::Open(const QString& path) {
    if (m_fd >= 0)
        return false;
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Not shared: a second program (or link object) on the same port is refused. An
    // advisory lock dies with the process, so a crashed program leaves no stale lock.
    struct termios2 probe;
    if (::ioctl(fd, TCGETS2, &probe) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // A pseudo-terminal keeps what was written while nobody had it open.
    ::ioctl(fd, TCFLSH, TCIOFLUSH);
    m_fd = fd;
    return true;
}

void CTermiosPort::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CTermiosPort::Apply(const TermiosSettings& s) {
    if (m_fd < 0)
        return false;
    struct termios2 t;
    if (::ioctl(m_fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag = s.iflag;
    t.c_oflag = s.oflag;
    t.c_lflag = s.lflag;
    t.c_cflag = (s.cflag & ~CBAUD) | BOTHER;
    t.c_ispeed = s.baud;
    t.c_ospeed = s.baud;
    t.c_cc[VMIN] = s.vmin;
    t.c_cc[VTIME] = s.vtime;
    if (::ioctl(m_fd, TCSETS2, &t) != 0)
        return false;
    // DTR and RTS asserted; a pseudo-terminal has no modem lines and says so (ENOTTY).
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(m_fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        return false;
    return true;
}

int CTermiosPort::ReadByte(char& byte, int timeoutMs) {
    if (m_fd < 0)
        return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t n = ::read(m_fd, &byte, 1);
        if (n == 1)
            return 1;
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return -1;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, int(left));
        if (r < 0 && errno != EINTR)
            return -1;
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
            return -1;
    }
}

qint64 CTermiosPort::Write(const char* data, qint64 size, int timeoutMs) {
    if (m_fd < 0)
        return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, std::size_t(size - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return done > 0 ? done : -1;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, int(left)) < 0 && errno != EINTR)
            break;
    }
    return done;
}

void CTermiosPort::Purge(bool input, bool output) {
    if (m_fd < 0)
        return;
    if (input && output)
        ::ioctl(m_fd, TCFLSH, TCIOFLUSH);
    else if (input)
        ::ioctl(m_fd, TCFLSH, TCIFLUSH);
    else if (output)
        ::ioctl(m_fd, TCFLSH, TCOFLUSH);
}
