#include "link/RS232.h"

#include "link/CodePage.h"
#include "link/LinkLog.h"
#include "link/LinkProtocol.h"
#include "link/TermiosPort.h"

#include <QFile>
#include <chrono>
#include <new>
#include <thread>

using namespace LinkProtocol;

namespace {
const QString kDC3Line = QString(QChar(kDC3));
const QString kDC4Line = QString(QChar(kDC4));
} // namespace

CRS232::CRS232() : CRS232(MakeTermiosPort()) {}

CRS232::CRS232(std::unique_ptr<CSerialPort> port)
    : m_port(std::move(port)), m_candidatePorts(SerialPortNames::Candidates()) {
    bool ok = false;
    const int limit = qEnvironmentVariableIntValue("VELMOR_LINK_MAX_TIMEOUT", &ok);
    if (ok && limit > 0)
        m_timeoutLimit = limit;
}

CRS232::~CRS232() {
    if (m_port)
        m_port->Close();
}

bool CRS232::Fail(qint32 code) {
    m_error = code;
    return false;
}

bool CRS232::NeedOpen() {
    m_error = 0;
    return IsOpen() ? true : Fail(LinkError::Port);
}

int CRS232::ByteTimeout() const {
    // Replies are read byte by byte: the constant is the wait for each next byte.
    const int t = m_readTimeout + 5;
    return m_timeoutLimit > 0 && t > m_timeoutLimit ? m_timeoutLimit : t;
}

void CRS232::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- Port and line settings.

bool CRS232::ApplyLine() {
    TermiosSettings t;
    return MakeTermiosSettings(m_line.baud, m_line.dataBits, m_line.stopCode, m_line.parityCode, t) &&
           m_port->Apply(t);
}

bool CRS232::OpenPort(const QString& port, quint32 baudRate, quint8 dataBits, quint8 stopCode,
                      quint8 parityCode) {
    m_error = 0;
    if (IsOpen())
        return Fail(LinkError::Port);
    m_line = {baudRate, dataBits, stopCode, parityCode};
    const QString path = SerialPortNames::ToDevicePath(port);
    if (!m_port->Open(path)) {
        LinkLog::Note(path, QStringLiteral("cannot open"));
        return Fail(LinkError::Port);
    }
    m_devicePath = path;
    if (!ApplyLine()) {
        // A port left open after refusing its settings would refuse the next OpenPort.
        m_port->Close();
        return Fail(LinkError::LineSettings);
    }
    m_readTimeout = 500;
    LinkLog::Note(m_devicePath, QStringLiteral("open %1 %2E1").arg(baudRate).arg(dataBits));
    return true;
}

bool CRS232::ClosePort() {
    if (IsOpen()) {
        m_port->Close();
        LinkLog::Note(m_devicePath, QStringLiteral("closed"));
    }
    m_error = 0;
    return true;
}

bool CRS232::Reconfigure(quint32 baudRate, quint8 dataBits, quint8 stopCode, quint8 parityCode) {
    if (!NeedOpen())
        return false;
    m_line = {baudRate, dataBits, stopCode, parityCode};
    if (!ApplyLine())
        return Fail(LinkError::LineSettings);
    m_port->Purge(true, true);
    LinkLog::Note(m_devicePath, QStringLiteral("line %1 %2E1").arg(baudRate).arg(dataBits));
    return true;
}

void CRS232::SaveLineSettings() {
    m_saved = m_line;
}

bool CRS232::RestoreLineSettings() {
    return Reconfigure(m_saved.baud, m_saved.dataBits, m_saved.stopCode, m_saved.parityCode);
}

bool CRS232::SetReadTimeout(int milliseconds) {
    if (!NeedOpen())
        return false;
    if (milliseconds < 0)
        return Fail(LinkError::Timeouts);
    m_readTimeout = milliseconds;
    return true;
}

// ---- Lines.

bool CRS232::WriteLine(const QByteArray& bytes) {
    LinkLog::Line(m_devicePath, '>', bytes);
    // The number written is not compared: a short write shows up as a missing reply.
    if (m_port->Write(bytes.constData(), bytes.size(), 5 * int(bytes.size()) + 5) < 0)
        return Fail(LinkError::Write);
    return true;
}

bool CRS232::SendCommand(const QString& text) {
    if (!NeedOpen())
        return false;
    QByteArray bytes;
    if (!CodePage::Encode(text, bytes))
        return Fail(LinkError::Convert);
    if (bytes.size() > kMaxCommandBytes)
        return Fail(LinkError::CommandTooLong);
    return WriteLine(FrameLine(bytes, m_checksumMode));
}

bool CRS232::SendUtf8Line(const QString& text, bool byteOrderMark) {
    if (!NeedOpen())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return Fail(LinkError::CommandTooLong);
    }
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() > kMaxUtf8LineBytes)
        return Fail(LinkError::CommandTooLong);
    QByteArray line;
    if (byteOrderMark)
        line = QByteArray("\xEF\xBB\xBF", 3);
    line += utf8;
    return WriteLine(FrameLine(line, m_checksumMode));
}

bool CRS232::WriteRaw(const char* bytes, int count) {
    if (!NeedOpen())
        return false;
    if (LinkLog::Enabled())
        LinkLog::Note(m_devicePath, QStringLiteral("raw %1 bytes").arg(count));
    const qint64 n = m_port->Write(bytes, count, 5 * count + 5);
    if (n < 0)
        return Fail(LinkError::Write);
    if (n < count)
        return Fail(LinkError::RawWrite);
    return true;
}

bool CRS232::ReadLineBytes(QByteArray& line, bool verify) {
    line.clear();
    if (!NeedOpen())
        return false;
    CReplyAssembler assembler;
    const int timeout = ByteTimeout();
    for (;;) {
        char byte = 0;
        const int r = m_port->ReadByte(byte, timeout);
        if (r != 1) {
            m_port->Purge(true, false);
            LinkLog::Note(m_devicePath, r == 0 ? QStringLiteral("no reply within %1 ms").arg(timeout)
                                               : QStringLiteral("read failed"));
            return Fail(LinkError::NoReply);
        }
        const auto step = assembler.Add(byte);
        if (step == CReplyAssembler::Step::Overflow) {
            m_port->Purge(true, false);
            LinkLog::Note(m_devicePath, QStringLiteral("reply longer than the buffer"));
            return Fail(LinkError::TooLong);
        }
        if (step == CReplyAssembler::Step::Done)
            break;
    }
    line = assembler.Line();
    LinkLog::Line(m_devicePath, '<', line);
    if (verify && m_checksumMode) {
        QByteArray stripped;
        if (!VerifyChecksum(line, stripped)) {
            line.clear();
            return Fail(LinkError::Repeat);
        }
        line = stripped;
    }
    return true;
}

bool CRS232::ReadReply(QString& reply) {
    reply.clear();
    QByteArray bytes;
    if (!ReadLineBytes(bytes, true))
        return false;
    QString text;
    if (!CodePage::Decode(bytes, text))
        return Fail(LinkError::Convert);
    if (text.size() >= kReplyBufferSize - 1)
        return Fail(LinkError::TooLong);
    reply = text;
    return true;
}

bool CRS232::ReadRawReply(QByteArray& reply) {
    const bool ok = ReadLineBytes(m_rawReply, true);
    reply = m_rawReply;
    return ok;
}

bool CRS232::ClassifyReply(const QString& reply, int& replyClass, QString& detail) {
    const Classification c = LinkProtocol::ClassifyReply(reply);
    replyClass = c.replyClass;
    detail = c.detail;
    m_error = c.errorCode;
    return c.ok();
}

bool CRS232::Exchange(const QString& command, QString& detail) {
    if (!SendCommand(command))
        return false;
    QString reply;
    if (!ReadReply(reply))
        return false;
    int replyClass = 0;
    return ClassifyReply(reply, replyClass, detail);
}

// ---- Remote mode.

bool CRS232::JudgeConnectReply(const QString& reply) {
    int replyClass = 0;
    QString detail;
    ClassifyReply(reply, replyClass, detail);
    // "#nocmd#" comes from a tester that is in remote mode already.
    if (replyClass == Remote || replyClass == NoCmd) {
        m_error = 0;
        return true;
    }
    // An answer that is no tester's greeting must not fail without a reason.
    if (m_error == 0)
        m_error = LinkError::NoReply;
    return false;
}

bool CRS232::Connect(QString& reply, const QString& port, const QString& baudRate, const QString& dataBits) {
    reply.clear();
    m_currentPort = port.left(128);
    m_currentBaud = baudRate.left(128);
    m_currentDataBits = dataBits.left(128);
    NotifyLinkStatus(LinkIcon::Connecting);
    if (!OpenPort(port, baudRate.trimmed().toUInt(), quint8(dataBits.trimmed().toUInt()), 0, 2))
        return false;
    if (!SendCommand(kDC3Line))
        return false;
    if (ReadReply(reply))
        return JudgeConnectReply(reply);
    // A silent tester gets one more DC3.
    m_port->Purge(true, false);
    if (!SendCommand(kDC3Line))
        return false;
    if (!ReadReply(reply))
        return false;
    return JudgeConnectReply(reply);
}

bool CRS232::Disconnect() {
    SetReadTimeout(250);
    if (SendCommand(kDC4Line)) {
        QString reply;
        if (!ReadReply(reply) || !IsNullReply(reply))
            ResetTester();
    }
    NotifyLinkStatus(LinkIcon::Closed);
    ClosePort();
    return true;
}

void CRS232::ResetTester() {
    if (!IsOpen())
        return;
    LinkLog::Note(m_devicePath, QStringLiteral("reset: DC4 at every speed and word length"));
    const QStringList& rates = CandidateBaudRates();
    for (qsizetype r = rates.size() - 1; r >= 0; --r) {
        for (const QString& bits : CandidateDataBits()) {
            Reconfigure(rates[r].toUInt(), quint8(bits.toUInt()), 0, 2);
            Pause(5);
            SendCommand(kDC4Line);
            Pause(5);
            SendCommand(kDC4Line);
            Pause(5);
            // DC4 with its own checksum suffix reaches a tester that expects checksums.
            SendCommand(kDC4Line + QStringLiteral("*14"));
            Pause(5);
        }
    }
}

bool CRS232::ScanPorts(bool& found) {
    found = false;
    ResetTester();
    const QStringList& rates = CandidateBaudRates();
    bool ok = false;
    for (const QString& port : m_candidatePorts) {
        for (qsizetype r = rates.size() - 1; r >= 0; --r) {
            for (const QString& bits : CandidateDataBits()) {
                ClosePort();
                QString reply;
                ok = Connect(reply, port, rates[r], bits);
                // A busy or not initialised tester is a tester found.
                if (ok || m_error == LinkError::InUse || m_error == LinkError::InitFail) {
                    found = true;
                    return ok;
                }
            }
        }
    }
    m_error = LinkError::NoReply;
    return false;
}

bool CRS232::EnableChecksums(QString& reply) {
    reply.clear();
    const bool was = m_checksumMode;
    m_checksumMode = false;
    if (!SendCommand(QStringLiteral(":SYST:ENCS"))) {
        m_checksumMode = was;
        return false;
    }
    m_checksumMode = true;
    if (!ReadReply(reply))
        return false;
    return IsNullReply(reply) ? true : Fail(LinkError::ModeCommand);
}

bool CRS232::DisableChecksums(QString& reply) {
    reply.clear();
    m_checksumMode = true;
    const bool sent = SendCommand(QStringLiteral(":SYST:DISCS"));
    // Off whatever happened: the next connection must start with plain lines.
    m_checksumMode = false;
    if (!sent)
        return false;
    if (!ReadReply(reply))
        return false;
    return IsNullReply(reply) ? true : Fail(LinkError::ModeCommand);
}

bool CRS232::QueryFileVersion(const QString& testerPath, QString& version) {
    version.clear();
    if (!SendCommand(QStringLiteral(":Transfer:File %1").arg(testerPath)))
        return false;
    QString reply;
    if (!ReadReply(reply))
        return false;
    if (!IsNullReply(reply)) {
        m_error = 0;
        return false;
    }
    if (!SendCommand(QStringLiteral(":Transfer:File:Version?")))
        return false;
    return ReadReply(version);
}

bool CRS232::CheckRemoteVersion(const QString& minimumVersion) {
    QString version;
    if (!QueryFileVersion(QStringLiteral("\\%SYSTEM%\\Remote.dll"), version))
        return false;
    if (CompareVersionTexts(version, minimumVersion) > 0)
        return Fail(LinkError::RemoteTooOld);
    return true;
}

void CRS232::NotifyLinkStatus(int icon) {
    if (m_status)
        m_status(
            CLinkStatus{m_currentPort.left(128), m_currentBaud.left(128), m_currentDataBits.left(128), icon});
}

// ---- Transfer mode, files and documents.

bool CRS232::QuerySoftwareVersion(QString& version) {
    if (!QueryFileVersion(QStringLiteral("\\%SYSTEM%\\Velmor740SoftwareVersion.dll"), version)) {
        version.clear();
        return false;
    }
    if (CompareVersionTexts(version, QStringLiteral("3.2.0")) > 0)
        return QueryFileVersion(QStringLiteral("\\%SYSTEM%\\Velmor740.exe"), version);
    return true;
}

bool CRS232::BeginTransfer(QString& reply, const QString& port, const QString& baudRate,
                           const QString& dataBits, bool connectFirst) {
    m_transferMode = false;
    reply.clear();
    if (connectFirst) {
        if (!Connect(reply, port, baudRate, dataBits)) {
            if (m_error != LinkError::InitFail)
                return false;
            m_error = 0;
        }
    } else if (!NeedOpen()) {
        return false;
    }
    SaveLineSettings();
    QString version;
    QuerySoftwareVersion(version); // an unreadable version selects the slower speed
    const TransferSpeed speed = TransferSpeedFor(version);
    if (!SendCommand(QStringLiteral(":TRANSFER")))
        return false;
    Pause(100);
    const bool reconfigured = Reconfigure(speed.baud, 8, 0, 2);
    const qint32 reconfigureError = m_error;
    m_transferRate = speed.bytesPerSecond;
    if (!ReadReply(reply)) {
        // Keep a reason for the failure: the reconfiguration's, else the read's.
        const qint32 code = reconfigured ? m_error : reconfigureError;
        RestoreLineSettings();
        return Fail(code);
    }
    m_transferMode = true;
    return IsNullReply(reply) ? true : Fail(LinkError::TransferMode);
}

bool CRS232::EndTransfer() {
    SetReadTimeout(500);
    if (!m_transferMode)
        return Disconnect();
    if (!SendCommand(QStringLiteral(":TRANSFER:EXIT")))
        return false;
    m_transferMode = false;
    Pause(100);
    RestoreLineSettings();
    QString reply;
    if (ReadReply(reply)) {
        if (IsNullReply(reply))
            return Disconnect();
        Disconnect();
        return Fail(LinkError::TransferMode);
    }
    const qint32 code = m_error;
    NotifyLinkStatus(LinkIcon::Closed);
    ResetTester();
    return Fail(code);
}

bool CRS232::SendFile(const QString& localPath, const QString& testerPath) {
    QString reply;
    if (!SendCommand(QStringLiteral(":TRANSFER:FILE ") + testerPath) || !ReadReply(reply))
        return false;
    if (!IsNullReply(reply))
        return Fail(LinkError::ModeCommand);
    if (!SendCommand(QStringLiteral("PUT")) || !ReadReply(reply))
        return false;
    if (!IsNullReply(reply))
        return Fail(LinkError::ModeCommand);

    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(LinkError::FileOpen);
    std::vector<qint32> blocks;
    try {
        blocks = BlockTable(file.size());
    } catch (const std::bad_alloc&) {
        return Fail(LinkError::BlockTable);
    }
    const int count = int(blocks.size());
    for (int i = 0; i < count; ++i) {
        const QByteArray data = file.read(blocks[std::size_t(i)]);
        // A file that shrank while it was sent must not go out with a wrong header.
        if (data.size() != blocks[std::size_t(i)])
            return Fail(LinkError::FileOpen);
        if (!SendCommand(
                BlockHeader(quint32(count - 1), quint32(i), quint32(data.size()), BlockChecksum(data))))
            return false;
        if (!ReadReply(reply))
            return Fail(LinkError::BlockNoReply);
        if (reply.compare(QLatin1String("#OK#"), Qt::CaseInsensitive) == 0) {
            if (!WriteRaw(data.constData(), int(data.size())))
                return false;
            if (!ReadReply(reply))
                return Fail(LinkError::BlockNoReply);
            if (reply.compare(QLatin1String("#OK#"), Qt::CaseInsensitive) != 0)
                return Fail(LinkError::BlockNotAcked);
            if (m_blockProgress)
                m_blockProgress(i + 1, count);
            continue;
        }
        if (reply.contains(QLatin1String("#K0#")))
            return Fail(LinkError::BlockNotAcked);
        if (reply.contains(QLatin1String("#ERROR#")))
            return Fail(LinkError::Error);
        // Any other answer: the block did not arrive, and going on would leave a hole.
        return Fail(LinkError::BlockNotAcked);
    }
    m_error = 0;
    return true;
}

bool CRS232::ExchangeRaw(const QString& command, QString& detail) {
    if (!SendCommand(command))
        return false;
    QByteArray raw;
    if (!ReadRawReply(raw))
        return false;
    int replyClass = 0;
    return ClassifyReply(CodePage::DecodeLenient(raw), replyClass, detail);
}

bool CRS232::IsEndOfDocument(const QByteArray& rawLine, bool& end) {
    end = IsEndOfDocumentText(CodePage::DecodeLenient(rawLine));
    return true;
}

bool CRS232::ReceiveDocument(const QString& localPath, QString& detail) {
    return ReceiveDocumentCancellable(localPath, detail, {});
}

bool CRS232::ReceiveDocumentCancellable(const QString& localPath, QString& detail,
                                        const std::function<bool()>& cancelled) {
    m_error = 0;
    QFile file(localPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Fail(LinkError::FileCreate);
    // A write that fails (a full disk) ends the download rather than leaving a cut file
    // that looks complete.
    if (file.write(m_rawReply + "\r\n") != m_rawReply.size() + 2)
        return Fail(LinkError::FileCreate);
    for (;;) {
        if (!SendCommand(QStringLiteral(":CAT:XML:DOC:NEXT?")))
            return false;
        QByteArray raw;
        if (!ReadRawReply(raw))
            return false;
        int replyClass = 0;
        if (!ClassifyReply(CodePage::DecodeLenient(raw), replyClass, detail))
            return false;
        bool end = false;
        IsEndOfDocument(raw, end);
        if (end)
            break;
        if (file.write(raw + "\r\n") != raw.size() + 2)
            return Fail(LinkError::FileCreate);
        if (cancelled && cancelled()) {
            detail.clear();
            return Fail(LinkError::Cancelled);
        }
    }
    if (!file.flush())
        return Fail(LinkError::FileCreate);
    file.close();
    m_error = 0;
    return true;
}
