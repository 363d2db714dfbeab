#include "platform/RemovableDrives.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

CRemovableDrives* g_installed = nullptr;

// The mount table writes blanks, tabs, newlines and backslashes as octal escapes.
QString Unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // Files below /proc and /sys report no size: read to the end.
    return file.readAll();
}

bool RemovableFlag(const QString& blockFolder) {
    return ReadSmallFile(blockFolder + QStringLiteral("/removable")).trimmed() == "1";
}

// A block device of a mount (/dev/sdb1, /dev/disk/by-label/X) judged by what sysfs says.
bool RemovableDevice(const QString& device, const QString& sysRoot) {
    QString name = QFileInfo(device).canonicalFilePath();
    name = QFileInfo(name.isEmpty() ? device : name).fileName();
    if (name.isEmpty())
        return false;
    const QString link = sysRoot + QStringLiteral("/class/block/") + name;
    const QString real = QFileInfo(link).canonicalFilePath();
    if (real.isEmpty())
        return false;
    if (real.contains(QLatin1String("/usb")))
        return true;
    if (RemovableFlag(real))
        return true;
    // A partition carries no flag of its own; its disk is the folder above.
    return QFileInfo::exists(real + QStringLiteral("/partition")) && RemovableFlag(QFileInfo(real).path());
}

} // namespace

bool CRemovableDrives::FreeSpace(const QString& path, quint64& bytes) const {
    bytes = 0;
    struct statvfs s {};
    if (path.isEmpty() || ::statvfs(QFile::encodeName(path).constData(), &s) != 0)
        return false;
    bytes = quint64(s.f_bavail) * quint64(s.f_frsize ? s.f_frsize : s.f_bsize);
    return true;
}

QString DriveRoot(const QString& path) {
    QString root = QDir::cleanPath(path);
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root;
}

CSystemDrives::CSystemDrives() {
    m_mounts = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
}

CSystemDrives::~CSystemDrives() {
    if (m_mounts >= 0)
        ::close(m_mounts);
}

QStringList CSystemDrives::FromList(const QString& list) {
    QStringList roots;
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString path = item.trimmed();
        if (path.isEmpty() || !QFileInfo(path).isDir())
            continue;
        const QString root = DriveRoot(QFileInfo(path).absoluteFilePath());
        if (!roots.contains(root))
            roots << root;
    }
    return roots;
}

QStringList CSystemDrives::FromMountTable(const QByteArray& table, const QString& sysRoot) {
    QStringList roots;
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        const QString device = Unescape(fields[0]);
        const QString mountPoint = Unescape(fields[1]);
        // Only volumes on a block device can be pulled out; tmpfs, proc and network shares cannot.
        if (!device.startsWith(QLatin1String("/dev/")))
            continue;
        const bool mediaFolder = mountPoint.startsWith(QLatin1String("/media/")) ||
                                 mountPoint.startsWith(QLatin1String("/run/media/"));
        if (!mediaFolder && !RemovableDevice(device, sysRoot))
            continue;
        const QString root = DriveRoot(mountPoint);
        if (!roots.contains(root))
            roots << root;
    }
    return roots;
}

QStringList CSystemDrives::Drives() const {
    const QByteArray list = qgetenv("VELMOR_REMOVABLE_DRIVES");
    if (!list.isNull())
        return FromList(QString::fromLocal8Bit(list));
    return FromMountTable(ReadSmallFile(QStringLiteral("/proc/self/mounts")), QStringLiteral("/sys"));
}

QByteArray CSystemDrives::Signature() const {
    const QByteArray list = qgetenv("VELMOR_REMOVABLE_DRIVES");
    if (!list.isNull()) {
        // The listed folders come and go as a stick would.
        QByteArray signature = "env:" + list;
        for (const QString& root : FromList(QString::fromLocal8Bit(list)))
            signature += '\n' + QFile::encodeName(root);
        return signature;
    }
    return QCryptographicHash::hash(ReadSmallFile(QStringLiteral("/proc/self/mounts")),
                                    QCryptographicHash::Sha1);
}

CRemovableDrives& RemovableDrives() {
    static CSystemDrives system;
    return g_installed ? *g_installed : system;
}

CRemovableDrives* SetRemovableDrives(CRemovableDrives* drives) {
    CRemovableDrives* previous = g_installed;
    g_installed = drives;
    return previous;
}

CDriveWatcher::CDriveWatcher(QObject* parent) : QObject(parent), m_timer(new QTimer(this)) {
    m_signature = RemovableDrives().Signature();
    m_drives = RemovableDrives().Drives();
    const int fd = RemovableDrives().ChangeDescriptor();
    if (fd >= 0) {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &CDriveWatcher::Check);
    }
    connect(m_timer, &QTimer::timeout, this, &CDriveWatcher::Check);
    m_timer->start(1000);
}

CDriveWatcher::~CDriveWatcher() = default;

void CDriveWatcher::Check() {
    const QByteArray signature = RemovableDrives().Signature();
    if (signature == m_signature)
        return;
    m_signature = signature;
    const QStringList drives = RemovableDrives().Drives();
    if (drives == m_drives)
        return;
    m_drives = drives;
    emit drivesChanged(m_drives);
}
