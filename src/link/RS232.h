#pragma once

#include "link/LinkErrors.h"
#include "link/SerialPort.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// What the main window shows of the link: port, baud rate and data bits (at most 128
// characters each) and the icon (LinkIcon).
struct CLinkStatus {
    QString port;
    QString baudRate;
    QString dataBits;
    int icon = 0;
};

// One serial port to the tester and its line protocol. Every operation returns true for
// success; on failure GetErrorCode gives the TextID of the reason. A link object is used
// by one thread at a time.
class CRS232 {
public:
    CRS232();
    explicit CRS232(std::unique_ptr<CSerialPort> port);
    ~CRS232();
    CRS232(const CRS232&) = delete;
    CRS232& operator=(const CRS232&) = delete;

    // ---- Port and line settings.
    bool OpenPort(const QString& port, quint32 baudRate, quint8 dataBits, quint8 stopCode, quint8 parityCode);
    bool ClosePort();
    bool Reconfigure(quint32 baudRate, quint8 dataBits, quint8 stopCode, quint8 parityCode);
    void SaveLineSettings();
    bool RestoreLineSettings();
    bool SetReadTimeout(int milliseconds);

    // ---- Lines.
    bool SendCommand(const QString& text);
    bool SendUtf8Line(const QString& text, bool byteOrderMark);
    bool WriteRaw(const char* bytes, int count);
    bool ReadReply(QString& reply);
    bool ReadRawReply(QByteArray& reply);
    bool ClassifyReply(const QString& reply, int& replyClass, QString& detail);
    bool Exchange(const QString& command, QString& detail);

    // ---- Remote mode.
    bool Connect(QString& reply, const QString& port, const QString& baudRate, const QString& dataBits);
    bool Disconnect();
    void ResetTester();
    bool ScanPorts(bool& found);
    bool EnableChecksums(QString& reply);
    bool DisableChecksums(QString& reply);
    bool QueryFileVersion(const QString& testerPath, QString& version);
    bool CheckRemoteVersion(const QString& minimumVersion);
    void NotifyLinkStatus(int icon);

    // ---- Transfer mode, files and documents.
    bool BeginTransfer(QString& reply, const QString& port, const QString& baudRate, const QString& dataBits,
                       bool connectFirst);
    bool EndTransfer();
    bool QuerySoftwareVersion(QString& version);
    bool SendFile(const QString& localPath, const QString& testerPath);
    bool ExchangeRaw(const QString& command, QString& detail);
    bool ReceiveDocument(const QString& localPath, QString& detail);
    bool ReceiveDocumentCancellable(const QString& localPath, QString& detail,
                                    const std::function<bool()>& cancelled);
    bool IsEndOfDocument(const QByteArray& rawLine, bool& end);

    // ---- State.
    qint32 GetErrorCode() const { return m_error; }
    void SetErrorCode(qint32 code) { m_error = code; }
    qint32 GetTransferRate() const { return m_transferRate; }
    QString GetPort() const { return m_currentPort; }
    QString GetBaudRate() const { return m_currentBaud; }
    QString GetDataBits() const { return m_currentDataBits; }
    bool IsOpen() const { return m_port && m_port->IsOpen(); }
    bool IsChecksumMode() const { return m_checksumMode; }
    bool IsTransferMode() const { return m_transferMode; }
    quint32 LineBaudRate() const { return m_line.baud; }
    quint8 LineDataBits() const { return m_line.dataBits; }
    int ReadTimeout() const { return m_readTimeout; }
    // The last raw reply line (without CR LF and checksum suffix).
    const QByteArray& RawReply() const { return m_rawReply; }

    // Receives the link status (the program shows it in the status bar).
    void SetStatusCallback(std::function<void(const CLinkStatus&)> callback) {
        m_status = std::move(callback);
    }
    // Called after each acknowledged block of SendFile with (blocks done, blocks).
    void SetBlockProgress(std::function<void(int, int)> progress) { m_blockProgress = std::move(progress); }
    // Ports tried by ScanPorts; by default SerialPortNames::Candidates().
    void SetCandidatePorts(const QStringList& ports) { m_candidatePorts = ports; }
    const QStringList& CandidatePorts() const { return m_candidatePorts; }
    // Caps every read time-out (0: no cap). VELMOR_LINK_MAX_TIMEOUT sets it at creation;
    // for tests against a simulator that is told to fall silent.
    void SetTimeoutLimit(int milliseconds) { m_timeoutLimit = milliseconds; }

private:
    struct LineSettings {
        quint32 baud = 9600;
        quint8 dataBits = 8;
        quint8 stopCode = 0;
        quint8 parityCode = 2;
    };

    bool Fail(qint32 code);
    bool NeedOpen();
    bool ApplyLine();
    bool WriteLine(const QByteArray& bytes);
    // Reads one line; without checksum checking when verify is false.
    bool ReadLineBytes(QByteArray& line, bool verify);
    bool ConnectAttempt(QString& reply);
    bool JudgeConnectReply(const QString& reply);
    int ByteTimeout() const;
    void Pause(int milliseconds);

    std::unique_ptr<CSerialPort> m_port;
    qint32 m_transferRate = 4500;
    qint32 m_error = 0;
    LineSettings m_line;
    LineSettings m_saved;
    int m_readTimeout = 500;
    bool m_transferMode = false;
    bool m_checksumMode = false;
    QByteArray m_rawReply;
    QStringList m_candidatePorts;
    QString m_currentPort;
    QString m_currentBaud;
    QString m_currentDataBits;
    QString m_devicePath; // the open device, for the log
    int m_timeoutLimit = 0;
    std::function<void(const CLinkStatus&)> m_status;
    std::function<void(int, int)> m_blockProgress;
};
