#pragma once

#include <QObject>
#include <QStringList>
#include <QtGlobal>

class QSocketNotifier;
class QTimer;

// The removable drives of this machine: their roots (a mount point with a trailing "/"),
// their free space, and a signature that changes when the list may have changed. The
// program uses the system's; tests install their own.
class CRemovableDrives {
public:
    virtual ~CRemovableDrives() = default;

    // Drive roots in the order of the mount table.
    virtual QStringList Drives() const = 0;
    // Bytes this user may still write below path; false when the path cannot be asked.
    virtual bool FreeSpace(const QString& path, quint64& bytes) const;
    // Cheap to read; a different value means that Drives() should be asked again.
    virtual QByteArray Signature() const = 0;
    // Becomes readable (POLLPRI) when the mount table changes; -1 when there is none.
    virtual int ChangeDescriptor() const { return -1; }
};

// The mounted volumes whose block device is removable (/sys/block/*/removable is 1), sits
// on USB, or that are mounted below /media or /run/media. VELMOR_REMOVABLE_DRIVES, a
// comma-separated list of folders, replaces that list; of it, the folders that exist
// count as plugged in.
class CSystemDrives : public CRemovableDrives {
public:
    CSystemDrives();
    ~CSystemDrives() override;
    QStringList Drives() const override;
    QByteArray Signature() const override;
    int ChangeDescriptor() const override { return m_mounts; }

    // The removable drives of a mount table in /proc/self/mounts form, judged with the
    // block devices below sysRoot ("/sys" on a real system).
    static QStringList FromMountTable(const QByteArray& table, const QString& sysRoot);
    // The roots named by a VELMOR_REMOVABLE_DRIVES value that exist as folders.
    static QStringList FromList(const QString& list);
    static QString EnvironmentName() { return QStringLiteral("VELMOR_REMOVABLE_DRIVES"); }

private:
    int m_mounts = -1;
};

// A drive root as the dialogs show and store it: the path with one trailing "/".
QString DriveRoot(const QString& path);

// The process-wide drives. Never null: until one is installed, the system's.
CRemovableDrives& RemovableDrives();
// Installs drives (not owned) and returns the previous ones; null restores the system's.
CRemovableDrives* SetRemovableDrives(CRemovableDrives* drives);

// Tells an open dialog about arrivals and removals: it asks the drives again each second
// and whenever the mount table changes, and signals when the list differs.
class CDriveWatcher : public QObject {
    Q_OBJECT
public:
    explicit CDriveWatcher(QObject* parent = nullptr);
    ~CDriveWatcher() override;
    // The list as last seen.
    const QStringList& Drives() const { return m_drives; }
    // Looks now (also done by the timer and the mount table).
    void Check();

signals:
    void drivesChanged(const QStringList& drives);

private:
    QTimer* m_timer;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_signature;
    QStringList m_drives;
};
