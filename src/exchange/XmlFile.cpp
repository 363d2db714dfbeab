#include "exchange/XmlFile.h"

#include "exchange/XmlSupport.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr qsizetype kBufferSize = 1 << 16;
}

CXmlFile::~CXmlFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int CXmlFile::CauseOfErrno(int error) {
    switch (error) {
    case 0:
        return None;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return BadPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
        return AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DiskFull;
    case EMFILE:
    case ENFILE:
        return TooManyOpenFiles;
    default:
        return Generic;
    }
}

bool CXmlFile::Fail(int error) {
    m_errno = error;
    m_cause = CauseOfErrno(error);
    if (m_cause == None)
        m_cause = Generic;
    return false;
}

bool CXmlFile::Create(const QString& path) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_path = path;
    m_buffer.clear();
    m_cause = None;
    m_errno = 0;
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return Fail(errno);
    return Write(CXmlSupport::ByteOrderMark());
}

bool CXmlFile::Write(const QByteArray& bytes) {
    if (m_fd < 0)
        return Fail(EBADF);
    m_buffer += bytes;
    return m_buffer.size() < kBufferSize || Flush();
}

bool CXmlFile::WriteLine(const QString& line) {
    QByteArray bytes;
    if (!CXmlSupport::EncodeLine(line, bytes))
        return false;
    return Write(bytes);
}

bool CXmlFile::Flush() {
    const char* p = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_buffer.clear();
            return Fail(errno);
        }
        p += n;
        left -= n;
    }
    m_buffer.clear();
    return true;
}

bool CXmlFile::Close() {
    if (m_fd < 0)
        return m_cause == None;
    bool ok = m_cause == None && Flush();
    // A removable drive may accept the data into the cache and fail later.
    if (ok && ::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        ok = Fail(errno);
    if (::close(m_fd) != 0 && ok)
        ok = Fail(errno);
    m_fd = -1;
    return ok;
}
