#include "platform/DataFolderLock.h"

#include <QElapsedTimer>
#include <QThread>

CLockFile::Result CDataFolderLock::Acquire(const QString& folder, const QString& userName, int waitMs) {
    Release();
    const QString paths[2] = {folder + QLatin1Char('/') + SharedLockName(),
                              folder + QLatin1Char('/') + LocalLockName()};
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        bool inUse = false;
        for (int i = 0; i < 2 && !inUse; ++i) {
            switch (m_locks[i].Acquire(paths[i], userName)) {
            case CLockFile::Result::Locked:
                break;
            case CLockFile::Result::InUse:
                m_holder = m_locks[i].HolderName();
                inUse = true;
                break;
            case CLockFile::Result::Failed:
                m_error = m_locks[i].Error();
                m_failedPath = paths[i];
                Release();
                return CLockFile::Result::Failed;
            }
        }
        if (!inUse)
            return CLockFile::Result::Locked;
        // Let go of the first while waiting for the second, so that the holder of the
        // second is not kept from the first.
        Release();
        if (clock.elapsed() >= waitMs)
            return CLockFile::Result::InUse;
        QThread::msleep(100);
    }
}

void CDataFolderLock::Release() {
    for (CLockFile& lock : m_locks)
        lock.Release();
}

bool CDataFolderLock::IsHeld() const {
    return m_locks[0].IsHeld() && m_locks[1].IsHeld();
}

int BusyTimeoutMs() {
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("VELMOR_DB_BUSY_TIMEOUT_MS", &ok);
    return ok && fromEnv >= 0 ? fromEnv : 5000;
}
