#include "app/RollingBackupJob.h"

#include "upgrade/DatabaseBackup.h"

#include <QDateTime>
#include <QPointer>
#include <QThread>

CRollingBackupJob::CRollingBackupJob(QObject* parent) : QObject(parent) {}

CRollingBackupJob::~CRollingBackupJob() {
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

bool CRollingBackupJob::IsRunning() const {
    return m_thread && m_thread->isRunning();
}

void CRollingBackupJob::Start(const QString& dataFolder, int keep) {
    if (IsRunning())
        return;
    delete m_thread;
    QPointer<CRollingBackupJob> self(this);
    m_thread = QThread::create([self, dataFolder, keep] {
        bool made = false;
        const DatabaseBackup::Result r =
            DatabaseBackup::RollingBackup(dataFolder, keep, QDateTime::currentDateTime(), &made);
        const QString detail = r.ok ? r.path : r.message;
        QMetaObject::invokeMethod(
            self.data(),
            [self, ok = r.ok, made, detail] {
                if (self)
                    emit self->finished(ok, made, detail);
            },
            Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}
