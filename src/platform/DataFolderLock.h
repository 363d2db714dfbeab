#pragma once

#include "platform/LockFile.h"

#include <QString>

// Both locks that say a data folder is being worked on: the shared folder's user2.log and
// the local folder's V740Control.lock. The program holds one of them while it runs; a
// command-line writer takes both, so it can neither write under a running program nor
// under another writer, whichever way the folder is set up.
class CDataFolderLock {
public:
    CDataFolderLock() = default;
    CDataFolderLock(const CDataFolderLock&) = delete;
    CDataFolderLock& operator=(const CDataFolderLock&) = delete;

    // Takes both locks in a fixed order (so two writers cannot hold one each), trying
    // again until waitMs have passed while another holder has one of them. Locked when
    // this object holds both; otherwise it holds none.
    CLockFile::Result Acquire(const QString& folder, const QString& userName, int waitMs);
    void Release();
    bool IsHeld() const;

    // After InUse: the name the holder wrote (empty when it cannot be read).
    const QString& HolderName() const { return m_holder; }
    // After Failed: the errno value; FailedPath() is the file that could not be locked.
    int Error() const { return m_error; }
    const QString& FailedPath() const { return m_failedPath; }

    static QString SharedLockName() { return QStringLiteral("user2.log"); }
    static QString LocalLockName() { return QStringLiteral("V740Control.lock"); }

private:
    CLockFile m_locks[2];
    QString m_holder;
    QString m_failedPath;
    int m_error = 0;
};

// How long a writer waits for the database or the data folder to become free before it
// gives up: VELMOR_DB_BUSY_TIMEOUT_MS, else 5 seconds.
int BusyTimeoutMs();
