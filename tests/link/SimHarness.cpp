#include "link/SimHarness.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

CSimHarness::CSimHarness(const QStringList& options) {
    m_started = Start(options);
}

CSimHarness::~CSimHarness() {
    Stop();
}

bool CSimHarness::Start(const QStringList& options) {
    QStringList args{QStringLiteral("--link"),    Port(),
                     QStringLiteral("--catalog"), CatalogFolder(),
                     QStringLiteral("--log"),     m_dir.path() + QStringLiteral("/sim.log")};
    args << options;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(BinPath(QStringLiteral("v740sim")), args);
    if (!m_process.waitForStarted(5000))
        return false;
    // The simulator prints one line once its link is in place.
    for (int i = 0; i < 100 && !m_process.canReadLine(); ++i)
        m_process.waitForReadyRead(100);
    return m_process.state() == QProcess::Running && QFileInfo(Port()).exists();
}

void CSimHarness::Stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

bool CSimHarness::Restart(const QStringList& options) {
    Stop();
    m_started = Start(options);
    return m_started;
}

QStringList CSimHarness::LoggedLines(char direction) const {
    QFile f(m_dir.path() + QStringLiteral("/sim.log"));
    QStringList lines;
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray marker = QByteArray(" ") + direction + ' ';
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at == 12) // "hh:mm:ss.zzz"
            lines << QString::fromUtf8(line.mid(at + 3));
    }
    return lines;
}

QByteArray CSimHarness::TesterFile(const QString& testerPath) const {
    QString key = testerPath.trimmed();
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QFile f(CatalogFolder() + QStringLiteral("/system/") +
            QString::fromLatin1(key.toLower().toUtf8().toHex()) + QStringLiteral(".bin"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray CSimHarness::SignatureBitmap(const QString& name) const {
    QFile f(CatalogFolder() + QStringLiteral("/signatures/") + QString::fromLatin1(name.toUtf8().toHex()) +
            QStringLiteral(".bmp"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
