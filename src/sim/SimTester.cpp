#include "sim/SimTester.h"

#include <QDateTime>
#include <QRegularExpression>
#include <iconv.h>
#include <thread>

namespace {

constexpr char kDC3 = 0x13;
constexpr char kDC4 = 0x14;

quint8 Sum8(const QByteArray& bytes) {
    quint8 s = 0;
    for (char c : bytes)
        s = quint8(s + quint8(c));
    return s;
}

QByteArray Hex2(quint8 v) {
    return QByteArray::number(v, 16).toUpper().rightJustified(2, '0');
}

// The tester reads commands in its Windows code page.
QString FromCodePage(const QByteArray& bytes) {
    static const char* page = [] {
        const QString lang =
            qEnvironmentVariable("LC_ALL", qEnvironmentVariable("LC_CTYPE", qEnvironmentVariable("LANG")));
        for (const char* c : {"cs", "sk", "pl", "hu", "sl", "hr", "bs", "ro", "sq", "sr"})
            if (lang.startsWith(QLatin1String(c)))
                return "CP1250";
        return "CP1252";
    }();
    iconv_t cd = iconv_open("UTF-8", page);
    if (cd == iconv_t(-1))
        return QString::fromLatin1(bytes);
    QByteArray out(bytes.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(bytes.constData());
    size_t srcLeft = size_t(bytes.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        return QString::fromLatin1(bytes);
    out.resize(out.size() - qsizetype(dstLeft));
    return QString::fromUtf8(out);
}

int CompareVersions(const QString& a, const QString& b) {
    auto parts = [](QString t) {
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        QList<int> p;
        for (const QString& s : t.split(QLatin1Char('.')))
            p << s.toInt();
        while (p.size() < 4)
            p << 0;
        return p;
    };
    const auto pa = parts(a), pb = parts(b);
    for (int i = 0; i < 4; ++i)
        if (pa[i] != pb[i])
            return pa[i] < pb[i] ? -1 : 1;
    return 0;
}

} // namespace

CSimTester::CSimTester(const SimOptions& options, CSimPty& pty, CSimCatalog& catalog)
    : m_options(options), m_pty(pty), m_catalog(catalog), m_speed(options.baud) {
    if (!options.log.isEmpty()) {
        m_log.setFileName(options.log);
        m_log.open(QIODevice::WriteOnly | QIODevice::Append);
    }
}

void CSimTester::Log(char direction, const QByteArray& bytes) {
    if (!m_log.isOpen())
        return;
    QByteArray text;
    for (char ch : bytes) {
        const auto c = quint8(ch);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\\')
            text += "\\\\";
        else if (c >= 0x20 && c < 0x7F)
            text += char(c);
        else
            text += "\\x" + Hex2(c);
    }
    m_log.write(QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1() + ' ' +
                direction + ' ' + text + '\n');
    m_log.flush();
}

void CSimTester::Run(volatile std::sig_atomic_t& stop) {
    while (!stop) {
        const QByteArray data = m_pty.Read(100);
        AbandonStalledBlock();
        if (data.isEmpty())
            continue;
        // At another speed the program's bytes are noise to the tester.
        const unsigned slave = m_pty.SlaveBaud();
        if (slave != m_speed) {
            m_line.clear();
            Log('!', "ignored at " + QByteArray::number(slave) + " baud: " + data);
            continue;
        }
        if (!WordLengthMatches()) {
            m_line.clear();
            Log('!', "ignored, frames of another word length: " + data);
            continue;
        }
        for (char b : data) {
            m_pty.PaceReceived(m_speed);
            OnByte(b);
        }
    }
}

void CSimTester::AbandonStalledBlock() {
    // A program that stops in the middle of a block (it failed, or it was ended) must not
    // leave the tester swallowing its next commands as block data.
    using namespace std::chrono;
    if (m_expectRaw == 0 || steady_clock::now() - m_blockActivity < seconds(1))
        return;
    Log('!', "block " + QByteArray::number(m_blockIndex) + " abandoned after " +
                 QByteArray::number(m_block.size()) + " of " + QByteArray::number(m_expectRaw) + " bytes");
    m_expectRaw = 0;
    m_block.clear();
}

void CSimTester::OnByte(char byte) {
    if (m_expectRaw > 0) {
        m_blockActivity = std::chrono::steady_clock::now();
        m_block += byte;
        if (m_block.size() == m_expectRaw) {
            m_pty.WaitReceived();
            FinishBlock();
        }
        return;
    }
    m_line += byte;
    if (byte == '\n' || m_line.size() > 16384) {
        m_pty.WaitReceived();
        QByteArray line = m_line;
        m_line.clear();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        OnLine(line);
    }
}

void CSimTester::Reply(const QByteArray& text) {
    QByteArray out = text;
    if (m_checksum) {
        quint8 sum = Sum8(text);
        if (m_options.corruptChecksum)
            sum = quint8(sum ^ 0x5A);
        out += '*' + Hex2(sum);
    }
    out += "\r\n";
    if (m_options.slowMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.slowMs));
    if (m_pty.SlaveBaud() != m_speed || !WordLengthMatches()) {
        Log('!', "reply lost, the program changed its line settings: " + text);
        return;
    }
    if (m_options.dropEvery > 0) {
        QByteArray kept;
        for (char c : out)
            if (++m_bytesSent % m_options.dropEvery != 0)
                kept += c;
        out = kept;
    }
    Log('>', out);
    m_pty.Write(out, m_speed);
}

// Transfer mode always runs at eight data bits, whatever the tester's own setting.
bool CSimTester::WordLengthMatches() const {
    const int bits = m_transfer ? 8 : m_options.dataBits;
    return m_pty.SlaveSevenBit() == (bits == 7);
}

void CSimTester::FollowSpeed(unsigned baud) {
    using namespace std::chrono;
    std::this_thread::sleep_for(milliseconds(300));
    const auto deadline = steady_clock::now() + seconds(3);
    while (m_pty.SlaveBaud() != baud && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    std::this_thread::sleep_for(milliseconds(30));
    m_speed = baud;
}

bool CSimTester::Refused(const QString& key) const {
    for (const QString& r : m_options.refuse)
        if (r.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void CSimTester::OnLine(QByteArray line) {
    ++m_linesSeen;
    Log('<', line);
    if (m_options.silentAfter >= 0 && m_linesSeen > m_options.silentAfter) {
        Log('!', "silent");
        return;
    }
    if (m_checksum) {
        // The program appends "*XX" over the whole line.
        const qsizetype n = line.size();
        if (n < 3 || line[n - 3] != '*' || Hex2(Sum8(line.left(n - 3))) != line.mid(n - 2).toUpper()) {
            if (m_remote)
                Reply("#repeat#");
            return;
        }
        line.chop(3);
    }
    if (line.startsWith(kDC3)) {
        // A greeting starts a new conversation: a document that a vanished program left
        // half sent or half fetched is dropped.
        m_receiving = false;
        m_incoming.clear();
        m_document.clear();
        if (m_options.busy) {
            Reply("#inuse#");
        } else if (m_remote) {
            Reply("#nocmd#");
        } else {
            m_remote = true;
            Reply(m_options.initFail ? "#initfail#" : "velmor in remote");
        }
        return;
    }
    if (line.startsWith(kDC4)) {
        if (m_remote) {
            m_remote = false;
            m_checksum = false;
            m_receiving = false;
            m_document.clear();
            if (m_transfer) {
                m_transfer = false;
                m_speed = m_options.baud;
            }
            Reply("#NULL#");
        }
        return;
    }
    if (!m_remote)
        return;
    if (m_receiving) {
        OnDocumentLine(line);
        return;
    }
    OnCommand(line);
}

void CSimTester::OnDocumentLine(const QByteArray& line) {
    QByteArray text = line;
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.mid(3);
    if (text.trimmed().compare("#EOF#", Qt::CaseInsensitive) == 0) {
        m_receiving = false;
        QString why;
        if (m_catalog.StoreDocument(m_receivingSpecification, m_incoming, why))
            Reply("#ok#");
        else
            Reply("#error# " + why.toUtf8());
        m_incoming.clear();
        return;
    }
    m_incoming << line;
    Reply("#next#");
}

QString CSimTester::VersionInFile(const QByteArray& bytes) {
    // The key as UTF-16LE with its NUL, then NUL padding, then the value up to its NUL.
    QByteArray key;
    for (char c : QByteArray("FileVersion"))
        key += c, key += '\0';
    key += QByteArray(2, '\0');
    const qsizetype at = bytes.indexOf(key);
    if (at < 0)
        return {};
    qsizetype i = at + key.size();
    while (i + 1 < bytes.size() && bytes[i] == 0 && bytes[i + 1] == 0)
        i += 2;
    QString value;
    while (i + 1 < bytes.size() && (bytes[i] != 0 || bytes[i + 1] != 0) && value.size() < 64) {
        value += QChar(quint16(quint8(bytes[i]) | quint8(bytes[i + 1]) << 8));
        i += 2;
    }
    return value;
}

QString CSimTester::FileVersion(const QString& path) const {
    const QString p = CSimCatalog::NormalizePath(path);
    // A file the program copied here answers with the version it carries.
    if (m_catalog.HasFile(path)) {
        const QString received = VersionInFile(m_catalog.File(path));
        if (!received.isEmpty())
            return received;
    }
    if (p.endsWith(QLatin1String("\\remote.dll")))
        return m_options.remote;
    if (p.endsWith(QLatin1String("\\velmor740softwareversion.dll")) ||
        p.endsWith(QLatin1String("\\velmor740.exe")))
        return m_options.software;
    if (m_catalog.HasFile(path))
        return QStringLiteral("1.0.0.0");
    return {};
}

void CSimTester::StartDocument(const QList<QByteArray>& lines) {
    m_document = lines;
    m_documentPos = 1;
    m_lastDocumentLine = lines.value(0);
    Reply(m_lastDocumentLine);
}

void CSimTester::OnCommand(const QByteArray& line) {
    const QString command = FromCodePage(line).trimmed();
    const QString upper = command.toUpper();
    auto arg = [&](int prefixLength) { return command.mid(prefixLength).trimmed(); };

    if (upper == QLatin1String(":SYST:ENCS")) {
        m_checksum = true;
        Reply("#NULL#");
        return;
    }
    if (upper == QLatin1String(":SYST:DISCS")) {
        m_checksum = false;
        Reply("#NULL#");
        return;
    }
    if (upper == QLatin1String(":TRANSFER:FILE:VERSION?")) {
        const QString v = FileVersion(m_selectedPath);
        Reply(v.isEmpty() ? QByteArray("#error# no such file") : v.toUtf8());
        return;
    }
    if (upper.startsWith(QLatin1String(":TRANSFER:FILE "))) {
        for (const QString& refused : m_options.refuseFiles)
            if (CSimCatalog::NormalizePath(arg(15)).endsWith(CSimCatalog::NormalizePath(refused))) {
                m_selectedPath.clear();
                Reply("#ERROR# file refused");
                return;
            }
        m_selectedPath = arg(15);
        m_put = false;
        if (m_options.refuseRemoteVersion &&
            CSimCatalog::NormalizePath(m_selectedPath).endsWith(QLatin1String("\\remote.dll"))) {
            Reply("#error# no remote component");
            return;
        }
        Reply("#NULL#");
        return;
    }
    if (upper == QLatin1String(":TRANSFER") && !m_transfer) {
        m_transfer = true;
        const unsigned speed =
            CompareVersions(m_options.software, QStringLiteral("4.3.3")) >= 0 ? 115200 : 57600;
        FollowSpeed(speed);
        Reply("#NULL#");
        return;
    }
    // The identity answers in transfer mode too: the update asks for it there.
    if (upper == QLatin1String(":IDNM?")) {
        Reply(m_options.name.toUtf8());
        return;
    }
    if (upper == QLatin1String(":IDNS?")) {
        Reply(m_options.serial.toUtf8());
        return;
    }
    if (upper == QLatin1String(":IDNF?")) {
        Reply(m_options.firmware.toUtf8());
        return;
    }
    if (m_transfer) {
        OnTransferCommand(command, upper);
        return;
    }
    if (upper == QLatin1String(":IDNR?")) {
        Reply("VELMOR 740ST,REV C");
    } else if (upper == QLatin1String(":IDNH?")) {
        Reply("HW 3.1");
    } else if (upper.startsWith(QLatin1String(":MEAS:STEP "))) {
        m_measStep = arg(11);
        Reply("#NULL#");
    } else if (upper == QLatin1String(":MEAS:STEP:VAL?") || upper == QLatin1String(":CAT:MEAS:STEP:VAL?")) {
        Reply("0.215");
    } else if (upper == QLatin1String(":MEAS:STEP:NAME?")) {
        Reply("RPE " + m_measStep.toUtf8());
    } else if (upper == QLatin1String(":MEAS:STEP:UNIT?")) {
        Reply("Ohm");
    } else if (upper == QLatin1String(":MEAS:STEP:EXIT")) {
        Reply("#NULL#");
    } else if (upper == QLatin1String(":SYST:TP?")) {
        Reply("1");
    } else if (upper.startsWith(QLatin1String(":SYST:TEXT "))) {
        m_textNo = arg(11);
        Reply("#NULL#");
    } else if (upper == QLatin1String(":SYST:TEXT:VAL?")) {
        Reply("Text " + m_textNo.toUtf8());
    } else if (upper.startsWith(QLatin1String(":SYST:UNOM "))) {
        m_nominal = arg(11);
        Reply("#NULL#");
    } else if (upper == QLatin1String(":SYST:UNOM?")) {
        Reply(m_nominal.toUtf8());
    } else if (upper.startsWith(QLatin1String(":SYST:PAT "))) {
        Reply("#NULL#");
    } else if (upper == QLatin1String(":CAT:MEAS:STEPS?")) {
        Reply("2");
    } else if (upper.startsWith(QLatin1String(":CAT:MEAS:STEP "))) {
        m_measStep = arg(15);
        Reply("#NULL#");
    } else if (upper == QLatin1String(":CAT:XML:MEAS:STEPS?")) {
        StartDocument(m_catalog.MeasurementList());
    } else if (upper.startsWith(QLatin1String(":CAT:XML:TYP:NAMES?"))) {
        StartDocument(m_catalog.SpecificationList(upper.contains(QLatin1String("USEQUERY"))));
    } else if (upper.startsWith(QLatin1String(":CAT:XML:DEVICE:IDS?"))) {
        StartDocument(m_catalog.ProtocolList(upper.contains(QLatin1String("USEQUERY"))));
    } else if (upper.startsWith(QLatin1String(":CAT:XML:TYP:NAME "))) {
        const QString name = command.mid(18);
        if (m_catalog.HasSpecification(name))
            StartDocument(m_catalog.SpecificationDocument(name));
        else
            Reply("#error# unknown test specification");
    } else if (upper.startsWith(QLatin1String(":CAT:XML:DEVICE:GUID "))) {
        const QString guid = arg(21);
        if (m_catalog.HasProtocol(guid))
            StartDocument(m_catalog.ProtocolDocument(guid));
        else
            Reply("#error# unknown device protocol");
    } else if (upper == QLatin1String(":CAT:XML:DOC:NEXT?")) {
        if (m_documentPos < m_document.size()) {
            m_lastDocumentLine = m_document[m_documentPos++];
            Reply(m_lastDocumentLine);
        } else {
            m_lastDocumentLine = "#EOF#";
            Reply(m_lastDocumentLine);
        }
    } else if (upper == QLatin1String(":CAT:XML:DOC:REPEAT?")) {
        Reply(m_lastDocumentLine.isEmpty() ? QByteArray("#EOF#") : m_lastDocumentLine);
    } else if (upper.startsWith(QLatin1String(":CAT:XML:TYP:CHECK "))) {
        static const QRegularExpression re(QStringLiteral("^Name=\"(.*)\" GUID=\"([^\"]*)\"$"));
        const auto m = re.match(arg(19));
        if (!m.hasMatch())
            Reply("#error# bad check");
        else
            Reply(Refused(m.captured(1)) ? "#refused#" : "#ok#");
    } else if (upper.startsWith(QLatin1String(":CAT:XML:DEVICE:CHECK "))) {
        static const QRegularExpression re(
            QStringLiteral("^Device=\"(.*)\" Client=\"(.*)\" GUID=\"([^\"]*)\"$"));
        const auto m = re.match(arg(22));
        if (!m.hasMatch())
            Reply("#error# bad check");
        else
            Reply(Refused(m.captured(1)) ? "#refused#" : "#ok#");
    } else if (upper == QLatin1String(":CAT:XML:TYP:NEW PV") ||
               upper == QLatin1String(":CAT:XML:DEVICE:NEW GP")) {
        m_receiving = true;
        m_receivingSpecification = upper.contains(QLatin1String(":TYP:"));
        m_incoming.clear();
        Reply("#next#");
    } else {
        Reply("#nocmd#");
    }
}

void CSimTester::OnTransferCommand(const QString& command, const QString& upper) {
    if (upper == QLatin1String(":TRANSFER:EXIT")) {
        m_transfer = false;
        m_put = false;
        FollowSpeed(m_options.baud);
        Reply("#NULL#");
        return;
    }
    if (upper == QLatin1String("PUT")) {
        if (m_selectedPath.isEmpty()) {
            Reply("#ERROR# no file");
            return;
        }
        m_put = true;
        m_fileData.clear();
        m_blockNext = 0;
        m_blockLast = -1;
        m_catalog.PutFile(m_selectedPath, {});
        Reply("#NULL#");
        m_cycleStart = m_pty.SentUntil();
        m_cycleWire = m_pty.WireTime();
        return;
    }
    static const QRegularExpression header(
        QStringLiteral("^BLKCNT=0x([0-9A-F]{4,});AKTBLK=0x([0-9A-F]{4,});BLKSIZE=0x([0-9A-F]{4,});BLKCS=0x(["
                       "0-9A-F]{4,});CSUM="
                       "0x([0-9A-F]{4,});$"));
    const auto m = header.match(command);
    if (m.hasMatch()) {
        quint32 sum = 0;
        const QString text = command.left(command.indexOf(QLatin1String("CSUM=")) + 5);
        for (QChar c : text)
            sum += c.unicode();
        const int last = m.captured(1).toInt(nullptr, 16);
        const int index = m.captured(2).toInt(nullptr, 16);
        const int size = m.captured(3).toInt(nullptr, 16);
        if (!m_put)
            Reply("#ERROR# no file");
        else if (m_options.fullAfter >= 0 && m_fileData.size() + size > m_options.fullAfter)
            Reply("#ERROR# memory full");
        else if (sum != m.captured(5).toUInt(nullptr, 16))
            Reply("#K0#");
        else if (size < 1 || size > 1024 || index != m_blockNext || index > last)
            Reply("#ERROR# block out of order");
        else {
            m_blockLast = last;
            m_blockIndex = index;
            m_blockChecksum = m.captured(4).toUInt(nullptr, 16);
            m_expectRaw = size;
            m_block.clear();
            Reply("#OK#");
            m_blockActivity = std::chrono::steady_clock::now();
        }
        return;
    }
    Reply("#nocmd#");
}

void CSimTester::FinishBlock() {
    m_expectRaw = 0;
    Log('<',
        "[block " + QByteArray::number(m_blockIndex) + ", " + QByteArray::number(m_block.size()) + " bytes]");
    quint32 sum = 0;
    for (char c : m_block)
        sum += quint8(c);
    if (sum != m_blockChecksum || m_blockIndex == m_options.corruptBlock) {
        Reply("#K0#");
        LogBlockCycle();
        return;
    }
    m_fileData += m_block;
    m_blockNext = m_blockIndex + 1;
    if (m_blockIndex == m_blockLast) {
        m_catalog.PutFile(m_selectedPath, m_fileData);
        m_put = false;
    }
    Reply("#OK#");
    LogBlockCycle();
}

void CSimTester::LogBlockCycle() {
    // A block's cycle runs from the end of the reply before its header to the end of its
    // own reply; what the line did not take of it, the program did.
    if (!m_pty.Paced())
        return;
    using namespace std::chrono;
    const auto end = m_pty.SentUntil();
    const qint64 cycle = duration_cast<microseconds>(end - m_cycleStart).count();
    const qint64 wire = duration_cast<microseconds>(m_pty.WireTime() - m_cycleWire).count();
    Log('=', "block " + QByteArray::number(m_blockIndex) + ": wire " + QByteArray::number(wire) +
                 " us, cycle " + QByteArray::number(cycle) + " us, host " + QByteArray::number(cycle - wire) +
                 " us");
    m_cycleStart = end;
    m_cycleWire = m_pty.WireTime();
}
