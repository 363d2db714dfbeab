#pragma once

#include "sim/SimCatalog.h"
#include "sim/SimPty.h"

#include <QFile>
#include <QStringList>
#include <chrono>
#include <csignal>

struct SimOptions {
    QString link;
    QString catalog;
    QString log;
    int demo = 0;
    unsigned baud = 115200;
    int dataBits = 8; // the tester's word length; frames of the other length are noise
    QString software = QStringLiteral("4.4.0");
    QString firmware = QStringLiteral("2.10");
    QString remote = QStringLiteral("1.0.7.0");
    QString name = QStringLiteral("VELMOR 740ST");
    QString serial = QStringLiteral("740-000123");
    bool busy = false;
    bool initFail = false;
    bool refuseRemoteVersion = false; // answer the selection of Remote.dll with "#error#"
    QStringList refuse;
    int silentAfter = -1;
    bool corruptChecksum = false;
    int dropEvery = 0;
    int slowMs = 0;
    bool pace = false;
    QStringList refuseFiles; // ":TRANSFER:FILE" of a path ending so is refused
    int corruptBlock = -1;   // this block of every file arrives damaged
    qint64 fullAfter = -1;   // a file that would grow beyond this many bytes is refused
};

// The tester as the program meets it on the line: local and remote mode, checksum mode,
// transfer mode with its speed change and block uploads, document streams in both
// directions, identity, versions and the service commands; and the faults it can be
// told to show.
class CSimTester {
public:
    CSimTester(const SimOptions& options, CSimPty& pty, CSimCatalog& catalog);
    void Run(volatile std::sig_atomic_t& stop);

private:
    void OnByte(char byte);
    void OnLine(QByteArray line);
    void OnCommand(const QByteArray& line);
    void OnTransferCommand(const QString& command, const QString& upper);
    void OnDocumentLine(const QByteArray& line);
    void FinishBlock();
    // Paced: logs the block's cycle time, the line's part of it and the rest.
    void LogBlockCycle();
    // Drops a block whose bytes stopped coming, so that the next lines are commands again.
    void AbandonStalledBlock();
    void Reply(const QByteArray& text);
    void StartDocument(const QList<QByteArray>& lines);
    // Waits until the program has moved its side to the speed, then a little longer,
    // because it purges its port right after changing the speed.
    void FollowSpeed(unsigned baud);
    bool WordLengthMatches() const;
    QString FileVersion(const QString& path) const;
    // The "FileVersion" text of a Windows file's version strings, found by a plain search.
    static QString VersionInFile(const QByteArray& bytes);
    void Log(char direction, const QByteArray& bytes);
    bool Refused(const QString& key) const;

    const SimOptions& m_options;
    CSimPty& m_pty;
    CSimCatalog& m_catalog;
    QFile m_log;

    unsigned m_speed;
    bool m_remote = false;
    bool m_checksum = false;
    bool m_transfer = false;
    QByteArray m_line;
    qint64 m_linesSeen = 0;
    qint64 m_bytesSent = 0;

    // Document download.
    QList<QByteArray> m_document;
    qsizetype m_documentPos = 0;
    QByteArray m_lastDocumentLine;
    // Document upload.
    bool m_receiving = false;
    bool m_receivingSpecification = false;
    QList<QByteArray> m_incoming;
    // File upload.
    QString m_selectedPath;
    bool m_put = false;
    QByteArray m_fileData;
    int m_blockLast = -1;
    int m_blockNext = 0;
    int m_blockIndex = 0;
    int m_expectRaw = 0;
    quint32 m_blockChecksum = 0;
    QByteArray m_block;
    std::chrono::steady_clock::time_point m_blockActivity{};
    std::chrono::steady_clock::time_point m_cycleStart{};
    std::chrono::nanoseconds m_cycleWire{0};
    // Service command state.
    QString m_measStep = QStringLiteral("81");
    QString m_textNo = QStringLiteral("1");
    QString m_nominal = QStringLiteral("230");
};
