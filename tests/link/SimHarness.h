#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A v740sim process on a pseudo-terminal in a temporary folder; stopped on destruction.
class CSimHarness {
public:
    // Starts build/bin/v740sim --link <dir>/tty --catalog <dir>/catalog --log <dir>/sim.log
    // plus the given options, and waits until the link exists.
    explicit CSimHarness(const QStringList& options = {});
    ~CSimHarness();
    CSimHarness(const CSimHarness&) = delete;
    CSimHarness& operator=(const CSimHarness&) = delete;

    bool Started() const { return m_started; }
    QString Port() const { return m_dir.path() + QStringLiteral("/tty"); }
    QString Folder() const { return m_dir.path(); }
    QString CatalogFolder() const { return m_dir.path() + QStringLiteral("/catalog"); }
    // Lines the simulator logged as received ("<") and sent (">").
    QStringList LoggedLines(char direction) const;
    // Stops the simulator and starts it again with other options on the same link and catalogue.
    bool Restart(const QStringList& options);
    // A file the simulator keeps below "\%SYSTEM%\" (empty when missing).
    QByteArray TesterFile(const QString& testerPath) const;
    // A print header signature as the simulator unscrambled it on arrival (empty when none
    // of that name arrived).
    QByteArray SignatureBitmap(const QString& name) const;

private:
    bool Start(const QStringList& options);
    void Stop();

    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_started = false;
};
