#include "link/CodePage.h"
#include "link/LinkErrors.h"
#include "link/LinkLog.h"
#include "link/LinkProtocol.h"
#include "link/SerialProfile.h"
#include "link/SerialSettings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <termios.h>

using namespace LinkProtocol;

TEST(LinkFraming, AbcInBothModes) {
    EXPECT_EQ(FrameLine("abc", false), QByteArray::fromHex("6162630D0A"));
    EXPECT_EQ(FrameLine("abc", true), QByteArray::fromHex("6162632A32360D0A")); // 0x126 -> "26"
    // A checksum below 0x10 keeps its leading zero; the sum wraps at 8 bits.
    EXPECT_EQ(FrameLine(QByteArray("\x01\x02", 2), true), QByteArray("\x01\x02*03\r\n"));
    EXPECT_EQ(FrameLine(QByteArray(2, char(0xFF)), true).mid(2), QByteArray("*FE\r\n"));
    EXPECT_EQ(Checksum8(QByteArray("\x14", 1)), 0x14);
}

TEST(LinkFraming, ChecksumVerification) {
    struct Case {
        QByteArray line;
        bool ok;
        QByteArray text;
    } cases[] = {
        {"abc*26", true, "abc"},
        {"abc*27", false, {}},
        {"abc", false, {}},    // no "*" at all, though the text is valid
        {"abc*", false, {}},   // nothing after the "*"
        {"abc*2G", false, {}}, // not hexadecimal
        {"#NULL#*81", true, "#NULL#"},
        {"#null#*81", false, {}},              // other letters, other sum
        {QByteArray("\x14*14"), true, "\x14"}, // the tester's own reset line
        // A "*" inside the text: the suffix at the end still verifies the whole line.
        {"Kabel *2m*" + QByteArray::number(Checksum8("Kabel *2m"), 16).toUpper(), true, "Kabel *2m"},
    };
    for (const Case& c : cases) {
        QByteArray stripped;
        EXPECT_EQ(VerifyChecksum(c.line, stripped), c.ok) << c.line.constData();
        if (c.ok) {
            EXPECT_EQ(stripped, c.text) << c.line.constData();
        }
    }
}

TEST(LinkReplies, ClassesAndDetails) {
    struct Case {
        QString reply;
        int cls;
        qint32 error;
        QString detail;
    } cases[] = {
        {"#OK#", Ok, 0, "#OK#"},
        {"#oK#", Ok, 0, "#oK#"},
        {"#ERROR#Low Battery", Error, LinkError::Error, "low battery"},
        {"12 #error#", Error, LinkError::Error, "or#"}, // the detail starts at the eighth character
        {"#next# #ok#", Ok, 0, "#next# #ok#"},          // table order decides
        {"#NEXT#", Next, 0, "#NEXT#"},
        {"#repeat#", Repeat, LinkError::Repeat, "#repeat#"},
        {"#NOCMD#", NoCmd, LinkError::NoCmd, ""},
        {"#nocmd# :FOO", NoCmd, LinkError::NoCmd, " :foo"},
        {"VELMOR in Remote", Remote, 0, "VELMOR in Remote"},
        {"#inuse#", InUse, LinkError::InUse, "#inuse#"},
        {"#INITFAIL#", InitFail, LinkError::InitFail, "#INITFAIL#"},
        {"4.3.3", Other, 0, "4.3.3"},
        {"", Other, 0, ""},
        {"#error# #inuse#", Error, LinkError::Error, " #inuse#"},
    };
    for (const Case& c : cases) {
        const Classification r = ClassifyReply(c.reply);
        EXPECT_EQ(r.replyClass, c.cls) << c.reply.toStdString();
        EXPECT_EQ(r.errorCode, c.error) << c.reply.toStdString();
        EXPECT_EQ(r.detail, c.detail) << c.reply.toStdString();
    }
}

namespace {
// Feeds bytes until the assembler is done or overflows.
CReplyAssembler::Step Feed(CReplyAssembler& a, const QByteArray& bytes, int* used = nullptr) {
    CReplyAssembler::Step s = CReplyAssembler::Step::More;
    int n = 0;
    for (char b : bytes) {
        ++n;
        s = a.Add(b);
        if (s != CReplyAssembler::Step::More)
            break;
    }
    if (used)
        *used = n;
    return s;
}
} // namespace

TEST(LinkReplies, LineEndRules) {
    struct Case {
        QByteArray input;
        QByteArray line;
        int used;
    } cases[] = {
        {"#NULL#\r\nrest", "#NULL#", 8},
        {"abc\n", "ab", 4},  // LF alone loses the last character
        {"ab\rXY", "ab", 4}, // a CR followed by another byte loses that byte
        {"\n", "", 1},
        {"\r\n", "", 2},
    };
    for (const Case& c : cases) {
        CReplyAssembler a;
        int used = 0;
        EXPECT_EQ(Feed(a, c.input, &used), CReplyAssembler::Step::Done) << c.input.constData();
        EXPECT_EQ(a.Line(), c.line) << c.input.constData();
        EXPECT_EQ(used, c.used) << c.input.constData();
    }
}

TEST(LinkReplies, OverlongReplies) {
    // 3071 bytes including CR LF fit; one more byte does not.
    CReplyAssembler fits;
    EXPECT_EQ(Feed(fits, QByteArray(3069, 'x') + "\r\n"), CReplyAssembler::Step::Done);
    EXPECT_EQ(fits.Line().size(), 3069);
    CReplyAssembler over;
    int used = 0;
    EXPECT_EQ(Feed(over, QByteArray(3070, 'x') + "\r\n", &used), CReplyAssembler::Step::Overflow);
    EXPECT_EQ(used, 3072);
    EXPECT_EQ(over.Size(), 3071);
}

TEST(LinkVersions, CompareVersionTexts) {
    struct Case {
        const char* a;
        const char* b;
        int result;
    } cases[] = {
        {"4.3", "4.3.3", 1},
        {"1,0,6,50616", "1.0.6.50616", 0},
        {"", "4.3.3", 1},
        {"4.3.3", "4.3.2", -1},
        {"10.0", "4.3.3", -1},
        {"4.3.2", "4.3.3", 1},
        {"1.2.3.4.9", "1.2.3.4", 0}, // a fifth part is ignored
        {"x.y", "0.0.0.0", 0},       // non-numeric parts are 0
        {"7b.1", "7.1", 0},          // leading digits only
        {"1..2", "1.0.2", 0},
        {"1.0.6.50615", "1,0,6,50616", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompareVersionTexts(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.result)
            << c.a << " vs " << c.b;
}

TEST(LinkVersions, TransferSpeedBySoftwareVersion) {
    struct Case {
        const char* version;
        quint32 baud;
        qint32 rate;
    } cases[] = {{"4.3.2", 57600, 4500},  {"", 57600, 4500},      {"#error#", 57600, 4500},
                 {"4.3.3", 115200, 9000}, {"10.0", 115200, 9000}, {"4,3,3,1", 115200, 9000}};
    for (const Case& c : cases) {
        const TransferSpeed s = TransferSpeedFor(QString::fromUtf8(c.version));
        EXPECT_EQ(s.baud, c.baud) << c.version;
        EXPECT_EQ(s.bytesPerSecond, c.rate) << c.version;
    }
}

namespace {
quint32 CharSum(const QString& s) {
    quint32 sum = 0;
    for (QChar c : s)
        sum += c.unicode();
    return sum;
}
} // namespace

TEST(LinkBlocks, BlockTablesAndHeaders) {
    struct Case {
        qint64 length;
        std::vector<qint32> blocks;
    } cases[] = {
        {0, {}}, {100, {100}}, {1023, {1023}}, {1024, {1024}}, {1025, {1024, 1}}, {2048, {1024, 1024}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlockTable(c.length), c.blocks) << c.length;

    const QString h100 = BlockHeader(0, 0, 100, 0x1234);
    const QString body100 = QStringLiteral("BLKCNT=0x0000;AKTBLK=0x0000;BLKSIZE=0x0064;BLKCS=0x1234;CSUM=");
    EXPECT_EQ(h100, body100 + QStringLiteral("0x%1;")
                                  .arg(CharSum(body100), 4, 16, QLatin1Char('0'))
                                  .toUpper()
                                  .replace(QLatin1String("0X"), QLatin1String("0x")));

    const QString second = BlockHeader(1, 1, 1024, 0);
    EXPECT_TRUE(
        second.startsWith(QStringLiteral("BLKCNT=0x0001;AKTBLK=0x0001;BLKSIZE=0x0400;BLKCS=0x0000;CSUM=0x")));
}

TEST(LinkBlocks, FullBlockOfFFHasAFiveDigitChecksum) {
    const QByteArray block(1024, char(0xFF));
    EXPECT_EQ(BlockChecksum(block), 0x3FC00u);
    const QString h = BlockHeader(0, 0, 1024, BlockChecksum(block));
    EXPECT_TRUE(h.contains(QStringLiteral(";BLKCS=0x3FC00;CSUM=0x"))) << h.toStdString();
    const QString body = h.left(h.indexOf(QStringLiteral("CSUM=")) + 5);
    EXPECT_EQ(h.mid(body.size()),
              QStringLiteral("0x") + QString::number(CharSum(body), 16).toUpper() + QLatin1Char(';'));
}

TEST(LinkDocuments, EndOfDocument) {
    for (const char* end : {"#EOF#", "#eof#", "x #EoF", "#eof"})
        EXPECT_TRUE(IsEndOfDocumentText(QString::fromUtf8(end))) << end;
    for (const char* line : {"#EO F#", "EOF", "  <Protocol Device=\"x\">"})
        EXPECT_FALSE(IsEndOfDocumentText(QString::fromUtf8(line))) << line;
}

TEST(LinkTermios, SettingsForTheTesterLine) {
    struct Case {
        quint32 baud;
        quint8 bits;
        tcflag_t size;
    } cases[] = {{115200, 8, CS8}, {9600, 7, CS7}, {28800, 8, CS8}, {57600, 7, CS7}};
    for (const Case& c : cases) {
        TermiosSettings t;
        ASSERT_TRUE(MakeTermiosSettings(c.baud, c.bits, 0, 2, t));
        EXPECT_EQ(t.cflag & CSIZE, c.size);
        EXPECT_TRUE(t.cflag & PARENB);  // even parity ...
        EXPECT_FALSE(t.cflag & PARODD); // ... not odd
        EXPECT_FALSE(t.cflag & CMSPAR);
        EXPECT_FALSE(t.cflag & CSTOPB);  // one stop bit
        EXPECT_FALSE(t.cflag & CRTSCTS); // no hardware flow control
        EXPECT_TRUE(t.cflag & CREAD);
        EXPECT_TRUE(t.cflag & CLOCAL);
        EXPECT_EQ(t.iflag & (IXON | IXOFF | IXANY), 0u); // no XON/XOFF
        EXPECT_EQ(t.iflag & (ICRNL | INLCR | IGNCR | PARMRK | IGNPAR), 0u);
        EXPECT_EQ(bool(t.iflag & ISTRIP), c.bits == 7); // the eighth bit is no data at 7 bits
        EXPECT_TRUE(t.iflag & INPCK);
        EXPECT_EQ(t.oflag & OPOST, 0u);
        EXPECT_EQ(t.lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.baud, c.baud);
    }
}

TEST(LinkTermios, RefusedSettings) {
    TermiosSettings t;
    EXPECT_FALSE(MakeTermiosSettings(0, 8, 0, 2, t));
    EXPECT_FALSE(MakeTermiosSettings(9600, 9, 0, 2, t));
    EXPECT_FALSE(MakeTermiosSettings(9600, 4, 0, 2, t));
    EXPECT_FALSE(MakeTermiosSettings(9600, 8, 1, 2, t)); // one and a half stop bits
    EXPECT_FALSE(MakeTermiosSettings(9600, 8, 0, 5, t));
    ASSERT_TRUE(MakeTermiosSettings(9600, 8, 2, 0, t));
    EXPECT_TRUE(t.cflag & CSTOPB);
    EXPECT_FALSE(t.cflag & PARENB);
    EXPECT_FALSE(t.iflag & INPCK);
    ASSERT_TRUE(MakeTermiosSettings(9600, 8, 0, 1, t));
    EXPECT_TRUE((t.cflag & (PARENB | PARODD)) == (PARENB | PARODD));
}

TEST(LinkPorts, StoredNamesAndCandidates) {
    EXPECT_EQ(SerialPortNames::ToDevicePath("COM1:"), "/dev/ttyS0");
    EXPECT_EQ(SerialPortNames::ToDevicePath("com3"), "/dev/ttyS2");
    EXPECT_EQ(SerialPortNames::ToDevicePath("COM12:"), "/dev/ttyS11");
    EXPECT_EQ(SerialPortNames::ToDevicePath("COM0:"), "COM0:");
    EXPECT_EQ(SerialPortNames::ToDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");

    qunsetenv("VELMOR_SERIAL_PORTS");
    const QStringList defaults = SerialPortNames::Candidates();
    EXPECT_EQ(defaults.size(), 8);
    EXPECT_EQ(defaults.first(), "/dev/ttyS0");
    EXPECT_EQ(defaults.last(), "/dev/ttyACM1");
    qputenv("VELMOR_SERIAL_PORTS", "/tmp/a, /tmp/b,,");
    EXPECT_EQ(SerialPortNames::Candidates(), (QStringList{"/tmp/a", "/tmp/b"}));
    qunsetenv("VELMOR_SERIAL_PORTS");
}

TEST(LinkPorts, StoredSettingsKeepADevicePathWhole) {
    // Stable names of USB adapters are long; a cut one names no port at all.
    QTemporaryDir dir;
    CSerialProfile written;
    written.port = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    written.baudRate = QStringLiteral("57600");
    written.dataBits = QStringLiteral("7");
    ASSERT_TRUE(written.Write(dir.path()));
    const CSerialProfile read = CSerialProfile::Read(dir.path());
    EXPECT_EQ(read.port, written.port);
    EXPECT_EQ(read.baudRate, QStringLiteral("57600"));
    EXPECT_EQ(read.dataBits, QStringLiteral("7"));
    const CSerialProfile defaults = CSerialProfile::Read(dir.path() + QStringLiteral("/none"));
    EXPECT_EQ(defaults.port, QStringLiteral("COM1:"));
    EXPECT_EQ(defaults.baudRate, QStringLiteral("115200"));
    EXPECT_EQ(defaults.dataBits, QStringLiteral("8"));
}

TEST(LinkCodePage, LocalesAndConversions) {
    EXPECT_EQ(CodePage::ForLocaleName("cs_CZ.UTF-8"), "CP1250");
    EXPECT_EQ(CodePage::ForLocaleName("pl_PL"), "CP1250");
    EXPECT_EQ(CodePage::ForLocaleName("de_DE.UTF-8"), "CP1252");
    EXPECT_EQ(CodePage::ForLocaleName("C"), "CP1252");

    QByteArray out;
    ASSERT_TRUE(CodePage::Encode(QStringLiteral("Prüfung €"), out, "CP1252"));
    EXPECT_EQ(out, QByteArray("Pr\xFC"
                              "fung \x80"));
    EXPECT_FALSE(CodePage::Encode(QStringLiteral("Č"), out, "CP1252"));
    ASSERT_TRUE(CodePage::Encode(QStringLiteral("Č"), out, "CP1250"));
    EXPECT_EQ(out, QByteArray("\xC8"));
    EXPECT_FALSE(CodePage::Encode(QStringLiteral("Ω"), out, "CP1250"));
    EXPECT_FALSE(CodePage::Encode(QString(QChar(0xD800)), out, "CP1252")); // an unpaired surrogate

    QString text;
    ASSERT_TRUE(CodePage::Decode("Pr\xFC"
                                 "fung",
                                 text, "CP1252"));
    EXPECT_EQ(text, QStringLiteral("Prüfung"));
    EXPECT_FALSE(CodePage::Decode("\x81", text, "CP1252")); // no character there
    // "Á" in UTF-8 is C3 81: still searchable as a document line.
    EXPECT_EQ(CodePage::DecodeLenient("x\xC3\x81y #eof#", "CP1252"), QString::fromUtf8("xÃ\xC2\x81y #eof#"));
}

TEST(LinkLogFormat, Escaping) {
    EXPECT_EQ(LinkLog::Escape(QByteArray("\x13:IDN?*AB\r\n\\\xEF", 13)),
              QByteArray("\\x13:IDN?*AB\\r\\n\\\\\\xEF"));
}
