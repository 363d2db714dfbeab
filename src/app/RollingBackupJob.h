#pragma once

#include <QObject>
#include <QString>

class QThread;

// The day's copy of the user database, made after start-up on a thread of its own so the
// window is never kept waiting; the result arrives as a signal on the owner's thread.
class CRollingBackupJob : public QObject {
    Q_OBJECT
public:
    explicit CRollingBackupJob(QObject* parent = nullptr);
    // Waits for a copy in progress: it is short, and a cut copy would only be thrown away.
    ~CRollingBackupJob() override;

    void Start(const QString& dataFolder, int keep);
    bool IsRunning() const;

signals:
    // ok false: message says why; made false with ok: the newest backup is recent enough.
    void finished(bool ok, bool made, const QString& pathOrMessage);

private:
    QThread* m_thread = nullptr;
};
