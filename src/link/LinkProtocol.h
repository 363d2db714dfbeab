#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The tester's line protocol as pure functions on bytes and text, so that recorded
// lines can be fed to them without a port.
namespace LinkProtocol {

inline constexpr int kReplyBufferSize = 3072; // raw reply buffer, NUL included
inline constexpr int kMaxCommandBytes = 3062; // a command after conversion
inline constexpr int kMaxUtf8LineBytes = 3062;
inline constexpr int kBlockSize = 1024;

inline constexpr char kDC3 = 0x13; // enter remote mode
inline constexpr char kDC4 = 0x14; // leave remote mode

// The 8-bit wrapping sum of the bytes.
quint8 Checksum8(const QByteArray& bytes);

// The bytes of one line on the wire: the line, then "*" and the checksum as two upper-case
// hexadecimal digits when checksums are on, then CR LF.
QByteArray FrameLine(const QByteArray& line, bool checksum);

// Reply reading: a line ends after the byte that follows a CR, or at an LF. The line is
// what was stored less its last two bytes.
class CReplyAssembler {
public:
    enum class Step { More, Done, Overflow };
    // Stores one byte; Overflow when it would land at index 3071 or beyond.
    Step Add(char byte);
    QByteArray Line() const;
    void Clear() { m_bytes.clear(); }
    int Size() const { return int(m_bytes.size()); }

private:
    QByteArray m_bytes;
};

// Checks the checksum suffix of a received line and cuts it off. A tester appends
// "*XX" at the end of the line; a line whose text holds a "*" of its own is still
// verified by that final suffix. Otherwise the first "*" decides, as the tester's own
// DC4 line "\x14*14" expects. False when no suffix verifies.
bool VerifyChecksum(const QByteArray& line, QByteArray& stripped);

// Reply classes.
enum ReplyClass : int {
    Ok = 1,
    Next = 2,
    Repeat = 3,
    Error = 4,
    NoCmd = 5,
    Other = 6,
    Remote = 7,
    InUse = 8,
    InitFail = 9,
};

struct Classification {
    int replyClass = Other;
    QString detail;
    qint32 errorCode = 0; // 0 for the success classes
    bool ok() const { return errorCode == 0; }
};

// Searches the lower-cased reply for the tokens in class order 1, 2, 3, 4, 5, 7, 8, 9.
// The detail is the reply; for classes 4 and 5 the lower-cased reply from its eighth
// character on.
Classification ClassifyReply(const QString& reply);

// 1 when a is lower than b, -1 when higher, 0 when equal; at most four numeric parts
// separated by "." or ",".
int CompareVersionTexts(const QString& a, const QString& b);

// Block lengths of a file upload: full blocks, then the remainder if not 0.
std::vector<qint32> BlockTable(qint64 fileLength);
// Sum of the block's bytes as unsigned values, not truncated.
quint32 BlockChecksum(const QByteArray& block);
// "BLKCNT=0x%04X;AKTBLK=0x%04X;BLKSIZE=0x%04X;BLKCS=0x%04X;CSUM=0x%04X;"
QString BlockHeader(quint32 lastBlock, quint32 block, quint32 size, quint32 blockChecksum);

// Transfer speed and the transfer rate for time estimates by tester software version.
struct TransferSpeed {
    quint32 baud;
    qint32 bytesPerSecond;
};
TransferSpeed TransferSpeedFor(const QString& softwareVersion);

// True when the lower-cased text contains "#eof".
bool IsEndOfDocumentText(const QString& text);

// Case-insensitive equality with "#NULL#".
bool IsNullReply(const QString& reply);

// Scan candidates.
const QStringList& CandidateBaudRates(); // in list order; the scan runs from the last
const QStringList& CandidateDataBits();

} // namespace LinkProtocol
