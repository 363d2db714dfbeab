#include "link/LinkProtocol.h"

#include "link/LinkErrors.h"

#include <climits>

namespace LinkProtocol {

quint8 Checksum8(const QByteArray& bytes) {
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    return sum;
}

QByteArray FrameLine(const QByteArray& line, bool checksum) {
    QByteArray out = line;
    if (checksum) {
        out += '*';
        out += QByteArray::number(Checksum8(line), 16).toUpper().rightJustified(2, '0');
    }
    out += "\r\n";
    return out;
}

CReplyAssembler::Step CReplyAssembler::Add(char byte) {
    if (m_bytes.size() >= kReplyBufferSize - 1)
        return Step::Overflow;
    m_bytes += byte;
    const qsizetype n = m_bytes.size();
    if ((n >= 2 && m_bytes[n - 2] == '\r') || byte == '\n')
        return Step::Done;
    return Step::More;
}

QByteArray CReplyAssembler::Line() const {
    return m_bytes.size() >= 2 ? m_bytes.left(m_bytes.size() - 2) : QByteArray();
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The checksum after the "*" at position star: two hexadecimal characters, as a scanf
// "%x" would read them; one digit followed by the end of the line counts as well.
bool SuffixMatches(const QByteArray& line, qsizetype star) {
    const qsizetype end = qMin<qsizetype>(line.size(), star + 3);
    int value = 0, digits = 0;
    for (qsizetype i = star + 1; i < end; ++i) {
        const int d = HexDigit(line[i]);
        if (d < 0)
            break;
        value = value * 16 + d;
        ++digits;
    }
    return digits > 0 && value == Checksum8(line.left(star));
}

} // namespace

bool VerifyChecksum(const QByteArray& line, QByteArray& stripped) {
    const qsizetype n = line.size();
    if (n >= 3 && line[n - 3] == '*' && SuffixMatches(line, n - 3)) {
        stripped = line.left(n - 3);
        return true;
    }
    const qsizetype star = line.left(kReplyBufferSize - 1).indexOf('*');
    if (star >= 0 && SuffixMatches(line, star)) {
        stripped = line.left(star);
        return true;
    }
    return false;
}

Classification ClassifyReply(const QString& reply) {
    static const struct {
        const char* token;
        int replyClass;
        qint32 error;
    } kTokens[] = {
        {"#ok#", Ok, 0},
        {"#next#", Next, 0},
        {"#repeat#", Repeat, LinkError::Repeat},
        {"#error#", Error, LinkError::Error},
        {"#nocmd#", NoCmd, LinkError::NoCmd},
        {"velmor in remote", Remote, 0},
        {"#inuse#", InUse, LinkError::InUse},
        {"#initfail#", InitFail, LinkError::InitFail},
    };
    Classification c;
    c.detail = reply;
    const QString lower = reply.toLower();
    for (const auto& t : kTokens) {
        if (lower.contains(QLatin1String(t.token))) {
            c.replyClass = t.replyClass;
            c.errorCode = t.error;
            if (t.replyClass == Error || t.replyClass == NoCmd)
                c.detail = lower.mid(7);
            return c;
        }
    }
    return c;
}

namespace {

// A leading-digits conversion: blanks, an optional sign, digits; anything else is 0.
qint64 LeadingNumber(const QString& part) {
    qsizetype i = 0;
    while (i < part.size() && part[i].isSpace())
        ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == QLatin1Char('+') || part[i] == QLatin1Char('-')))
        negative = part[i++] == QLatin1Char('-');
    qint64 value = 0;
    for (; i < part.size() && part[i] >= QLatin1Char('0') && part[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (part[i].unicode() - '0');
        if (value > INT_MAX)
            value = INT_MAX;
    }
    return negative ? -value : value;
}

std::vector<qint64> VersionParts(QString text) {
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    const QStringList parts = text.split(QLatin1Char('.'));
    std::vector<qint64> numbers(4, 0);
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        numbers[i] = LeadingNumber(parts[i]);
    return numbers;
}

} // namespace

int CompareVersionTexts(const QString& a, const QString& b) {
    const auto pa = VersionParts(a);
    const auto pb = VersionParts(b);
    for (int i = 0; i < 4; ++i) {
        if (pa[i] < pb[i])
            return 1;
        if (pa[i] > pb[i])
            return -1;
    }
    return 0;
}

std::vector<qint32> BlockTable(qint64 fileLength) {
    std::vector<qint32> blocks;
    if (fileLength < 0)
        return blocks;
    blocks.reserve(std::size_t(fileLength / kBlockSize + 1));
    while (fileLength >= kBlockSize) {
        blocks.push_back(kBlockSize);
        fileLength -= kBlockSize;
    }
    if (fileLength > 0)
        blocks.push_back(qint32(fileLength));
    return blocks;
}

quint32 BlockChecksum(const QByteArray& block) {
    quint32 sum = 0;
    for (char c : block)
        sum += quint8(c);
    return sum;
}

namespace {
// "0x%04X;": upper-case digits, at least four of them.
QString Hex4(quint32 v) {
    return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(4, QLatin1Char('0')) +
           QLatin1Char(';');
}
} // namespace

QString BlockHeader(quint32 lastBlock, quint32 block, quint32 size, quint32 blockChecksum) {
    const QString text = QStringLiteral("BLKCNT=") + Hex4(lastBlock) + QStringLiteral("AKTBLK=") +
                         Hex4(block) + QStringLiteral("BLKSIZE=") + Hex4(size) + QStringLiteral("BLKCS=") +
                         Hex4(blockChecksum) + QStringLiteral("CSUM=");
    quint32 sum = 0;
    for (QChar c : text)
        sum += c.unicode();
    return text + Hex4(sum);
}

TransferSpeed TransferSpeedFor(const QString& softwareVersion) {
    if (CompareVersionTexts(softwareVersion, QStringLiteral("4.3.3")) > 0)
        return {57600, 4500};
    return {115200, 9000};
}

bool IsEndOfDocumentText(const QString& text) {
    return text.toLower().contains(QLatin1String("#eof"));
}

bool IsNullReply(const QString& reply) {
    return reply.compare(QLatin1String("#NULL#"), Qt::CaseInsensitive) == 0;
}

const QStringList& CandidateBaudRates() {
    static const QStringList rates{QStringLiteral("9600"),  QStringLiteral("19200"),
                                   QStringLiteral("28800"), QStringLiteral("38400"),
                                   QStringLiteral("57600"), QStringLiteral("115200")};
    return rates;
}

const QStringList& CandidateDataBits() {
    static const QStringList bits{QStringLiteral("7"), QStringLiteral("8")};
    return bits;
}

} // namespace LinkProtocol
