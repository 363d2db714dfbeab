#include "sim/SimPty.h"

#include <QFile>
#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

extern "C" {
int posix_openpt(int flags);
int grantpt(int fd);
int unlockpt(int fd);
int ptsname_r(int fd, char* buf, size_t buflen);
}

namespace {
std::chrono::nanoseconds ByteTime(unsigned baud) {
    return std::chrono::nanoseconds(baud ? 11'000'000'000LL / baud : 0);
}
} // namespace

CSimPty::~CSimPty() {
    if (!m_linkPath.isEmpty())
        ::unlink(m_linkPath.toLocal8Bit().constData());
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool CSimPty::Open(const QString& linkPath, unsigned baud, QString& error) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        error = QStringLiteral("cannot open a pseudo-terminal");
        return false;
    }
    char name[256] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        error = QStringLiteral("no slave name");
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        error = QStringLiteral("cannot open %1").arg(m_slavePath);
        return false;
    }
    struct termios2 t;
    if (::ioctl(m_slave, TCGETS2, &t) == 0) {
        t.c_iflag = 0;
        t.c_oflag = 0;
        t.c_lflag = 0;
        t.c_cflag = (t.c_cflag & ~(CBAUD | CSIZE | PARENB)) | BOTHER | CS8 | CREAD | CLOCAL;
        t.c_ispeed = t.c_ospeed = baud;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ::ioctl(m_slave, TCSETS2, &t);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (!linkPath.isEmpty()) {
        const QByteArray link = linkPath.toLocal8Bit();
        ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0) {
            error = QStringLiteral("cannot create the link %1").arg(linkPath);
            return false;
        }
        m_linkPath = linkPath;
    }
    return true;
}

unsigned CSimPty::SlaveBaud() const {
    struct termios2 t;
    if (::ioctl(m_master, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

bool CSimPty::SlaveSevenBit() const {
    struct termios2 t;
    if (::ioctl(m_master, TCGETS2, &t) != 0)
        return false;
    return (t.c_iflag & ISTRIP) != 0;
}

void CSimPty::SetPace(bool pace) {
    m_pace = pace;
    // Deadlines a few microseconds apart need a timer that wakes when asked.
    if (pace) {
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        // The tester is a machine of its own: a busy host must not make it late. Raising
        // the priority needs the right to; without it the simulator runs as it is.
        ::setpriority(PRIO_PROCESS, 0, -10);
    }
}

void CSimPty::PaceReceived(unsigned baud) {
    if (!m_pace)
        return;
    m_inFree = std::max(m_inFree, m_readAt) + ByteTime(baud);
    m_wire += ByteTime(baud);
    // Slices of a millisecond or more; WaitReceived makes the last byte exact.
    if (m_inFree > Clock::now() + std::chrono::milliseconds(1))
        std::this_thread::sleep_until(m_inFree - std::chrono::milliseconds(1));
}

void CSimPty::WaitReceived() {
    if (m_pace)
        std::this_thread::sleep_until(m_inFree);
}

bool CSimPty::Write(const QByteArray& bytes, unsigned baud) {
    // Paced, a chunk goes out once its last byte would have left the line, so the
    // program never reads a byte before the line could have carried it.
    const std::size_t chunk = m_pace ? std::max<std::size_t>(1, baud / 11 / 1000) : std::size_t(bytes.size());
    std::size_t done = 0;
    while (done < std::size_t(bytes.size())) {
        const std::size_t n = std::min(chunk, std::size_t(bytes.size()) - done);
        if (m_pace) {
            m_outFree = std::max(m_outFree, Clock::now()) + ByteTime(baud) * n;
            m_wire += ByteTime(baud) * n;
            std::this_thread::sleep_until(m_outFree);
        }
        std::size_t sent = 0;
        while (sent < n) {
            const ssize_t w = ::write(m_master, bytes.constData() + done + sent, n - sent);
            if (w > 0) {
                sent += std::size_t(w);
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                pollfd p{m_master, POLLOUT, 0};
                ::poll(&p, 1, 10);
            }
        }
        done += n;
    }
    return true;
}

QByteArray CSimPty::Read(int timeoutMs) {
    pollfd p{m_master, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r <= 0)
        return {};
    m_readAt = Clock::now();
    if (p.revents & POLLHUP) {
        // Nobody has the slave open besides us: nothing to read yet.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}
