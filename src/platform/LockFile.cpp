#include "platform/LockFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kBom[] = "\xEF\xBB\xBF";

// The name cut to maxBytes of UTF-8 without splitting a character.
QByteArray Utf8Prefix(const QString& name, int maxBytes) {
    QByteArray bytes = name.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

bool WriteAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Whether another open file description holds a lock on the file, asked through a
// read-only descriptor.
bool HeldElsewhere(const QByteArray& native) {
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// The holder's name, read again for a short while when the file is still empty: the
// holder takes the lock before it writes its name, so a start that meets it in between
// would otherwise tell the user that nobody holds the folder.
QString HolderNameOnceWritten(const QString& path) {
    QString name = CLockFile::ReadHolderName(path);
    for (int tries = 0; name.isEmpty() && tries < 20; ++tries) {
        ::usleep(25000);
        name = CLockFile::ReadHolderName(path);
    }
    return name;
}

} // namespace

int CLockFile::FileExceptionCause(int error) {
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return 5;
    case EIO:
        return 10;
    case EAGAIN:
        return 11;
    case ENOLCK:
        return 12;
    case ENOSPC:
    case EDQUOT:
        return 13;
    default:
        return 1;
    }
}

CLockFile::Result CLockFile::Acquire(const QString& path, const QString& userName) {
    Release();
    m_error = 0;
    m_holder.clear();
    const QByteArray native = QFile::encodeName(path);
    // Not truncated on open: the file may belong to a running holder.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_error = errno;
        // A file left by another user that this one may not write: when that user holds
        // it, the folder is in use, which is what this user needs to hear.
        if ((m_error == EACCES || m_error == EPERM) && HeldElsewhere(native)) {
            m_holder = HolderNameOnceWritten(path);
            m_error = 0;
            return Result::InUse;
        }
        return Result::Failed;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EAGAIN || error == EACCES) {
            m_holder = HolderNameOnceWritten(path);
            return Result::InUse;
        }
        m_error = error;
        return Result::Failed;
    }
    errno = 0;
    QByteArray content(kBom, 3);
    content += Utf8Prefix(userName, kMaxNameBytes);
    // Written over the old name and then cut to length, so that the file is never empty
    // while it is held.
    if (!WriteAll(fd, content) || ::ftruncate(fd, content.size()) != 0) {
        m_error = errno ? errno : EIO;
        ::close(fd);
        return Result::Failed;
    }
    // Every user of a shared folder must be able to take the lock after this one, and
    // the umask of the first one to start would otherwise decide that.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0666) != 0666)
        ::fchmod(fd, (st.st_mode & 07777) | 0666);
    m_fd = fd;
    return Result::Locked;
}

void CLockFile::Release() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

QString CLockFile::ReadHolderName(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QByteArray data = f.read(kMaxReadBytes);
    // A file written by another tool may lack the mark; then the name starts at once.
    if (data.startsWith(QByteArray(kBom, 3)))
        data.remove(0, 3);
    return QString::fromUtf8(data);
}
