// CRS232 on a pseudo-terminal against the real v740sim.
#include "link/LinkErrors.h"
#include "link/LinkProtocol.h"
#include "link/RS232.h"
#include "link/SimHarness.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString kSystem = QStringLiteral("\\%SYSTEM%\\");

// Connects a link at the simulator's speed.
bool ConnectTo(CRS232& link, const CSimHarness& sim, const QString& baud = QStringLiteral("115200"),
               const QString& bits = QStringLiteral("8")) {
    QString reply;
    return link.Connect(reply, sim.Port(), baud, bits);
}

} // namespace

TEST(RS232Sim, ConnectCommandDisconnectAndReconnect) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    std::vector<CLinkStatus> statuses;
    CRS232 link;
    link.SetStatusCallback([&](const CLinkStatus& s) { statuses.push_back(s); });
    QString reply;
    ASSERT_TRUE(link.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(reply, QStringLiteral("velmor in remote"));
    EXPECT_TRUE(link.SendCommand(QStringLiteral(":IDNM?")));
    EXPECT_TRUE(link.ReadReply(reply));
    EXPECT_EQ(reply, QStringLiteral("VELMOR 740ST"));
    // An already open port is refused before anything is sent.
    const int sent = int(sim.LoggedLines('<').size());
    EXPECT_FALSE(link.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Port);
    EXPECT_EQ(int(sim.LoggedLines('<').size()), sent);
    EXPECT_TRUE(link.Disconnect());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.GetErrorCode(), 0);

    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(statuses.front().icon, LinkIcon::Connecting);
    EXPECT_EQ(statuses.front().port, sim.Port());
    EXPECT_EQ(statuses.front().baudRate, QStringLiteral("115200"));
    EXPECT_EQ(statuses.back().icon, LinkIcon::Closed);

    // The tester left remote mode, so a new connection is greeted again.
    ASSERT_TRUE(link.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(reply, QStringLiteral("velmor in remote"));
    link.Disconnect();
}

TEST(RS232Sim, ProgramThatVanishedInRemoteModeIsGreetedWithNoCmd) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    {
        CRS232 first;
        ASSERT_TRUE(ConnectTo(first, sim));
    } // closed without leaving remote mode
    CRS232 second;
    QString reply;
    EXPECT_TRUE(second.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(reply, QStringLiteral("#nocmd#"));
    second.Disconnect();
}

TEST(RS232Sim, PortIsNotShared) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 a, b;
    ASSERT_TRUE(a.OpenPort(sim.Port(), 115200, 8, 0, 2));
    EXPECT_FALSE(b.OpenPort(sim.Port(), 115200, 8, 0, 2));
    EXPECT_EQ(b.GetErrorCode(), LinkError::Port);
    EXPECT_FALSE(b.OpenPort(sim.Folder() + QStringLiteral("/missing"), 115200, 8, 0, 2));
    EXPECT_EQ(b.GetErrorCode(), LinkError::Port);
    EXPECT_FALSE(a.OpenPort(sim.Port(), 115200, 8, 0, 2)); // already open
    EXPECT_EQ(a.GetErrorCode(), LinkError::Port);
    a.ClosePort();
    EXPECT_TRUE(b.OpenPort(sim.Port(), 115200, 8, 0, 2));
    // Settings a port cannot take leave it closed.
    b.ClosePort();
    EXPECT_FALSE(b.OpenPort(sim.Port(), 115200, 8, 1, 2));
    EXPECT_EQ(b.GetErrorCode(), LinkError::LineSettings);
    EXPECT_FALSE(b.IsOpen());
}

TEST(RS232Sim, OperationsOnAClosedPort) {
    CRS232 link;
    QString reply;
    QByteArray raw;
    EXPECT_FALSE(link.SendCommand(QStringLiteral(":IDNM?")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Port);
    EXPECT_FALSE(link.ReadReply(reply));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Port);
    EXPECT_FALSE(link.ReadRawReply(raw));
    EXPECT_FALSE(link.SetReadTimeout(1000));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Port);
    EXPECT_FALSE(link.Reconfigure(9600, 8, 0, 2));
    EXPECT_FALSE(link.WriteRaw("x", 1));
    link.ResetTester(); // nothing happens on a closed port
    EXPECT_TRUE(link.Disconnect());
    EXPECT_TRUE(link.ClosePort());
    EXPECT_EQ(link.GetErrorCode(), 0);
}

TEST(RS232Sim, CommandLimits) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    ASSERT_TRUE(ConnectTo(link, sim));
    QString reply;
    EXPECT_TRUE(link.SendCommand(QString(3062, QLatin1Char('x'))));
    EXPECT_TRUE(link.ReadReply(reply));
    EXPECT_EQ(reply, QStringLiteral("#nocmd#"));
    EXPECT_FALSE(link.SendCommand(QString(3063, QLatin1Char('x'))));
    EXPECT_EQ(link.GetErrorCode(), LinkError::CommandTooLong);
    EXPECT_FALSE(link.SendCommand(QStringLiteral(":SYST:TEXT Ω")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Convert);
    EXPECT_TRUE(link.SendUtf8Line(QString(3062, QLatin1Char('y')), true));
    EXPECT_TRUE(link.ReadReply(reply));
    EXPECT_FALSE(link.SendUtf8Line(QString(3063, QLatin1Char('y')), false));
    EXPECT_EQ(link.GetErrorCode(), LinkError::CommandTooLong);
    // "Ω" is two bytes of UTF-8: 1531 of them are 3062 bytes.
    EXPECT_TRUE(link.SendUtf8Line(QString(1531, QChar(0x3A9)), false));
    EXPECT_TRUE(link.ReadReply(reply));
    EXPECT_FALSE(link.SendUtf8Line(QString(1531, QChar(0x3A9)) + QLatin1Char('z'), false));
    link.Disconnect();
}

TEST(RS232Sim, ScanFindsTheTesterAtANonDefaultSpeed) {
    CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("57600")});
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    link.SetCandidatePorts({sim.Folder() + QStringLiteral("/no-such-port"), sim.Port()});
    QString reply;
    EXPECT_FALSE(link.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
    bool found = false;
    ASSERT_TRUE(link.ScanPorts(found));
    EXPECT_TRUE(found);
    EXPECT_EQ(link.GetPort(), sim.Port());
    EXPECT_EQ(link.GetBaudRate(), QStringLiteral("57600"));
    // Frames of seven data bits are noise to a tester set to eight.
    EXPECT_EQ(link.GetDataBits(), QStringLiteral("8"));
    EXPECT_TRUE(link.SendCommand(QStringLiteral(":IDNS?")));
    EXPECT_TRUE(link.ReadReply(reply));
    EXPECT_EQ(reply, QStringLiteral("740-000123"));
    link.Disconnect();

    CSimHarness seven({QStringLiteral("--baud"), QStringLiteral("19200"), QStringLiteral("--databits"),
                       QStringLiteral("7")});
    ASSERT_TRUE(seven.Started());
    CRS232 other;
    other.SetCandidatePorts({seven.Port()});
    ASSERT_TRUE(other.ScanPorts(found));
    EXPECT_EQ(other.GetBaudRate(), QStringLiteral("19200"));
    EXPECT_EQ(other.GetDataBits(), QStringLiteral("7"));
    other.Disconnect();
}

TEST(RS232Sim, ScanThatFindsNothing) {
    CSimHarness sim({QStringLiteral("--silent-after"), QStringLiteral("0")});
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    link.SetTimeoutLimit(40);
    link.SetCandidatePorts({sim.Port()});
    bool found = true;
    EXPECT_FALSE(link.ScanPorts(found));
    EXPECT_FALSE(found);
    EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
    // Only the attempt at its own speed and word length reaches the tester: two DC3.
    EXPECT_EQ(sim.LoggedLines('<').filter(QStringLiteral("\\x13")).size(), 2);
    link.Disconnect();
    EXPECT_FALSE(link.IsOpen());
}

TEST(RS232Sim, BusyAndNotInitialised) {
    CSimHarness busy({QStringLiteral("--busy")});
    ASSERT_TRUE(busy.Started());
    CRS232 link;
    QString reply;
    EXPECT_FALSE(link.Connect(reply, busy.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::InUse);
    EXPECT_EQ(reply, QStringLiteral("#inuse#"));
    // The scan stops at the first tester that answers, busy or not.
    link.SetCandidatePorts({busy.Port(), busy.Port()});
    bool found = false;
    EXPECT_FALSE(link.ScanPorts(found));
    EXPECT_TRUE(found);
    EXPECT_EQ(link.GetErrorCode(), LinkError::InUse);
    EXPECT_EQ(link.GetBaudRate(), QStringLiteral("115200"));
    link.Disconnect();

    CSimHarness initFail({QStringLiteral("--initfail")});
    ASSERT_TRUE(initFail.Started());
    EXPECT_FALSE(link.Connect(reply, initFail.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::InitFail);
    link.Disconnect();
}

TEST(RS232Sim, WrongSpeedIsSilence) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    link.SetTimeoutLimit(100);
    QString reply;
    EXPECT_FALSE(link.Connect(reply, sim.Port(), QStringLiteral("9600"), QStringLiteral("8")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
    EXPECT_TRUE(link.IsOpen()); // a silent tester leaves the port open for a scan
    link.Disconnect();
    EXPECT_FALSE(link.IsOpen());
}

TEST(RS232Sim, ChecksumModeAndItsRecovery) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    {
        CRS232 link;
        ASSERT_TRUE(ConnectTo(link, sim));
        QString reply;
        ASSERT_TRUE(link.EnableChecksums(reply));
        EXPECT_TRUE(link.IsChecksumMode());
        EXPECT_TRUE(link.SendCommand(QStringLiteral(":IDNF?")));
        EXPECT_TRUE(link.ReadReply(reply));
        EXPECT_EQ(reply, QStringLiteral("2.10"));
        EXPECT_TRUE(sim.LoggedLines('>').last().startsWith(QStringLiteral("2.10*")));
        // Lowercase is not the mode command; the tester does not know it.
        EXPECT_TRUE(link.SendCommand(QStringLiteral(":syst:xyz")));
        EXPECT_TRUE(link.ReadReply(reply));
        EXPECT_EQ(reply, QStringLiteral("#nocmd#"));
        link.ClosePort(); // gone without switching checksums off
    }
    // The tester still expects checksums: a plain DC3 is answered "#repeat#".
    CRS232 fresh;
    QString reply;
    EXPECT_FALSE(fresh.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(fresh.GetErrorCode(), LinkError::Repeat);
    // The reset reaches it with DC4 and its own checksum suffix.
    fresh.ResetTester();
    fresh.ClosePort();
    ASSERT_TRUE(fresh.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(reply, QStringLiteral("velmor in remote"));
    EXPECT_TRUE(fresh.EnableChecksums(reply));
    EXPECT_TRUE(fresh.DisableChecksums(reply));
    EXPECT_FALSE(fresh.IsChecksumMode());
    fresh.Disconnect();
}

TEST(RS232Sim, VersionsAndRemoteComponent) {
    CSimHarness sim({QStringLiteral("--software-version"), QStringLiteral("3.1.0"),
                     QStringLiteral("--remote-version"), QStringLiteral("1,0,6,50615")});
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    ASSERT_TRUE(ConnectTo(link, sim));
    QString version;
    EXPECT_TRUE(link.QueryFileVersion(kSystem + QStringLiteral("Remote.dll"), version));
    EXPECT_EQ(version, QStringLiteral("1,0,6,50615"));
    EXPECT_FALSE(link.CheckRemoteVersion(QStringLiteral("1,0,6,50616")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::RemoteTooOld);
    EXPECT_TRUE(link.CheckRemoteVersion(QStringLiteral("1.0.6.50615")));
    // Below 3.2.0 the version comes from the program file.
    EXPECT_TRUE(link.QuerySoftwareVersion(version));
    EXPECT_EQ(version, QStringLiteral("3.1.0"));
    EXPECT_EQ(sim.LoggedLines('<').filter(QStringLiteral("Velmor740.exe")).size(), 1);
    link.Disconnect();
}

TEST(RS232Sim, TransferSpeedFollowsTheSoftwareVersion) {
    struct Case {
        const char* version;
        quint32 baud;
        qint32 rate;
    } cases[] = {{"4.3.2", 57600, 4500}, {"4.3.3", 115200, 9000}};
    for (const Case& c : cases) {
        CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("38400"), QStringLiteral("--databits"),
                         QStringLiteral("7"), QStringLiteral("--software-version"),
                         QString::fromUtf8(c.version)});
        ASSERT_TRUE(sim.Started());
        CRS232 link;
        QString reply;
        ASSERT_TRUE(link.BeginTransfer(reply, sim.Port(), QStringLiteral("38400"), QStringLiteral("7"), true))
            << c.version << " " << link.GetErrorCode();
        EXPECT_TRUE(link.IsTransferMode());
        EXPECT_EQ(link.LineBaudRate(), c.baud);
        EXPECT_EQ(link.LineDataBits(), 8);
        EXPECT_EQ(link.GetTransferRate(), c.rate);
        EXPECT_TRUE(link.EndTransfer()) << link.GetErrorCode();
        EXPECT_FALSE(link.IsOpen());
        // Back at the old speed and word length; the tester confirmed leaving remote mode.
        EXPECT_EQ(link.LineBaudRate(), 38400u);
        EXPECT_EQ(link.LineDataBits(), 7);
    }
}

TEST(RS232Sim, UploadsBlocksAsTheyAre) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray data;
    } cases[] = {{"empty.bin", {}},
                 {"b100.bin", QByteArray(100, 'a')},
                 {"b1024.bin", QByteArray(1024, char(0xFF))},
                 {"b1025.bin", QByteArray(1025, '\r')},
                 {"b2048.bin", QByteArray(2048, '\n')}};
    CRS232 link;
    QString reply;
    ASSERT_TRUE(link.BeginTransfer(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8"), true));
    std::vector<int> progress;
    link.SetBlockProgress([&](int done, int) { progress.push_back(done); });
    for (const Case& c : cases) {
        const QString local = dir.filePath(QString::fromUtf8(c.name));
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.data);
        f.close();
        progress.clear();
        ASSERT_TRUE(link.SendFile(local, kSystem + QString::fromUtf8(c.name)))
            << c.name << " " << link.GetErrorCode();
        EXPECT_EQ(int(progress.size()), int(LinkProtocol::BlockTable(c.data.size()).size())) << c.name;
    }
    EXPECT_FALSE(link.SendFile(dir.filePath(QStringLiteral("missing")), kSystem + QStringLiteral("x")));
    EXPECT_EQ(link.GetErrorCode(), LinkError::FileOpen);
    ASSERT_TRUE(link.EndTransfer());
    for (const Case& c : cases)
        EXPECT_EQ(sim.TesterFile(kSystem + QString::fromUtf8(c.name)), c.data) << c.name;
    const QStringList headers = sim.LoggedLines('<').filter(QStringLiteral("BLKCNT="));
    EXPECT_EQ(headers.filter(QStringLiteral("BLKCS=0x3FC00;")).size(), 1);
    EXPECT_EQ(headers.filter(QStringLiteral("BLKCNT=0x0001;AKTBLK=0x0001;BLKSIZE=0x0400;")).size(), 1);
    EXPECT_EQ(headers.filter(QStringLiteral("BLKCNT=0x0001;AKTBLK=0x0001;BLKSIZE=0x0001;")).size(), 1);
    EXPECT_EQ(headers.size(), 0 + 1 + 1 + 2 + 2);
}

TEST(RS232Sim, DocumentsUpAndDown) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    QTemporaryDir dir;
    const QList<QByteArray> lines{
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        "<!-- VELMOR 740ST Database Protocol 2.0 -->",
        "<Tables>",
        " <Specifications>",
        "  <Specification Name=\"Ωmega *1\" GUID=\"{1}\" Description=\"Kabel *2m\">",
        "  </Specification>",
        " </Specifications>",
        "</Tables>",
    };
    CRS232 link;
    ASSERT_TRUE(ConnectTo(link, sim));
    QString reply;
    ASSERT_TRUE(link.EnableChecksums(reply));
    const int before = int(sim.LoggedLines('<').size());
    qsizetype next = 0;
    auto nextLine = [&](QString& line) {
        if (next < lines.size()) {
            line = QString::fromUtf8(lines[next++]);
            return true;
        }
        line = QStringLiteral("#EOF#");
        return false;
    };
    // The document goes up as the command line, its lines and "#EOF#".
    QString detail;
    link.SetReadTimeout(5000);
    ASSERT_TRUE(link.Exchange(QStringLiteral(":CAT:XML:TYP:NEW PV"), detail));
    bool first = true;
    for (;;) {
        QString line;
        const bool more = nextLine(line);
        ASSERT_TRUE(link.SendUtf8Line(line, first));
        first = false;
        ASSERT_TRUE(link.ReadReply(reply));
        if (!more)
            break;
    }
    EXPECT_EQ(reply, QStringLiteral("#ok#"));
    const QStringList received = sim.LoggedLines('<').mid(before);
    EXPECT_EQ(received.size(), lines.size() + 2);
    EXPECT_EQ(received.filter(QStringLiteral("\\xEF\\xBB\\xBF")).size(), 1);

    // ... and comes back down line by line; "Ω" is not in the command code page, the
    // name is, in this spelling, only on the tester's side.
    ASSERT_TRUE(link.ExchangeRaw(QStringLiteral(":CAT:XML:TYP:NAMES?"), detail));
    const QString list = dir.filePath(QStringLiteral("PVs.xml"));
    ASSERT_TRUE(link.ReceiveDocument(list, detail)) << link.GetErrorCode();
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    EXPECT_TRUE(content.startsWith("\xEF\xBB\xBF<?xml"));
    EXPECT_TRUE(content.endsWith("</Tables>\r\n"));
    EXPECT_TRUE(content.contains("Name=\"\xCE\xA9mega *1\"")); // UTF-8 kept byte for byte
    EXPECT_FALSE(content.contains("#EOF#"));

    // Cancelled after the first line: 50208, no detail, what was fetched stays.
    ASSERT_TRUE(link.ExchangeRaw(QStringLiteral(":CAT:XML:TYP:NAMES?"), detail));
    int asked = 0;
    EXPECT_FALSE(link.ReceiveDocumentCancellable(list, detail, [&] { return ++asked == 2; }));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Cancelled);
    EXPECT_TRUE(detail.isEmpty());
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("\r\n"), 3);

    // A local file that cannot be made.
    ASSERT_TRUE(link.ExchangeRaw(QStringLiteral(":CAT:XML:TYP:NAMES?"), detail));
    EXPECT_FALSE(link.ReceiveDocument(dir.filePath(QStringLiteral("no/such/folder/x.xml")), detail));
    EXPECT_EQ(link.GetErrorCode(), LinkError::FileCreate);
    EXPECT_TRUE(link.DisableChecksums(reply));
    link.Disconnect();
}

TEST(RS232Sim, OverlongDocumentLineIsRefusedAndPurged) {
    // A record kept by the tester whose first line is longer than a reply may be.
    for (int length : {3069, 3070}) {
        CSimHarness sim;
        ASSERT_TRUE(sim.Started());
        const QString name = QStringLiteral("Long");
        QByteArray tag = "  <Specification Name=\"Long\" Description=\"";
        tag += QByteArray(length - tag.size() - 2, 'd') + "\">";
        ASSERT_EQ(tag.size(), length);
        QDir().mkpath(sim.CatalogFolder() + QStringLiteral("/specifications"));
        QFile f(sim.CatalogFolder() + QStringLiteral("/specifications/pc-") +
                QString::fromLatin1(name.toLower().toUtf8().toHex()) + QStringLiteral(".xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<Tables>\r\n <Specifications>\r\n" + tag +
                "\r\n  </Specification>\r\n </Specifications>\r\n</Tables>\r\n");
        f.close();
        ASSERT_TRUE(sim.Restart({}));
        CRS232 link;
        ASSERT_TRUE(ConnectTo(link, sim));
        QString detail;
        ASSERT_TRUE(link.SendCommand(QStringLiteral(":CAT:XML:TYP:NAME Long")));
        QByteArray raw;
        ASSERT_TRUE(link.ReadRawReply(raw)); // the first line, short
        ASSERT_TRUE(link.SendCommand(QStringLiteral(":CAT:XML:DOC:NEXT?")));
        ASSERT_TRUE(link.ReadRawReply(raw));
        ASSERT_TRUE(link.SendCommand(QStringLiteral(":CAT:XML:DOC:NEXT?")));
        ASSERT_TRUE(link.ReadRawReply(raw));
        ASSERT_TRUE(link.SendCommand(QStringLiteral(":CAT:XML:DOC:NEXT?")));
        ASSERT_TRUE(link.ReadRawReply(raw));
        ASSERT_TRUE(link.SendCommand(QStringLiteral(":CAT:XML:DOC:NEXT?")));
        if (length == 3069) {
            ASSERT_TRUE(link.ReadRawReply(raw));
            EXPECT_EQ(raw, tag);
        } else {
            EXPECT_FALSE(link.ReadRawReply(raw));
            EXPECT_EQ(link.GetErrorCode(), LinkError::TooLong);
            EXPECT_TRUE(link.RawReply().isEmpty());
        }
        link.Disconnect();
    }
}

// Every fault of the simulator ends in its error code, with the port closed and
// checksum mode off after Disconnect.
TEST(RS232SimFaults, CorruptChecksum) {
    CSimHarness sim({QStringLiteral("--corrupt-checksum")});
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    ASSERT_TRUE(ConnectTo(link, sim)); // plain lines are not affected
    QString reply;
    EXPECT_FALSE(link.EnableChecksums(reply));
    EXPECT_EQ(link.GetErrorCode(), LinkError::Repeat);
    EXPECT_TRUE(link.IsChecksumMode()); // the mode stays switched
    EXPECT_TRUE(link.DisableChecksums(reply));
    link.Disconnect();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.IsChecksumMode());
}

TEST(RS232SimFaults, DroppedBytes) {
    struct Case {
        int every;
        bool connects;
        qint32 enableError;
    } cases[] = {
        {5, false, 0},                 // "velmr inremoe": no greeting, and a reason for it
        {25, true, LinkError::Repeat}, // the "*" of "#NULL#*81" is lost
    };
    for (const Case& c : cases) {
        CSimHarness sim({QStringLiteral("--drop-byte-every"), QString::number(c.every)});
        ASSERT_TRUE(sim.Started());
        CRS232 link;
        link.SetTimeoutLimit(200);
        QString reply;
        EXPECT_EQ(link.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")), c.connects);
        if (!c.connects) {
            EXPECT_EQ(reply, QStringLiteral("velmr inremoe"));
            EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
        } else {
            EXPECT_FALSE(link.EnableChecksums(reply));
            EXPECT_EQ(link.GetErrorCode(), c.enableError);
            link.DisableChecksums(reply);
        }
        link.Disconnect();
        EXPECT_FALSE(link.IsOpen());
        EXPECT_FALSE(link.IsChecksumMode());
    }
}

TEST(RS232SimFaults, SlowAndSilent) {
    {
        CSimHarness slow({QStringLiteral("--slow"), QStringLiteral("100")});
        ASSERT_TRUE(slow.Started());
        CRS232 link;
        ASSERT_TRUE(ConnectTo(link, slow));
        QString reply;
        EXPECT_TRUE(link.SendCommand(QStringLiteral(":IDNM?")) && link.ReadReply(reply));
        EXPECT_EQ(reply, QStringLiteral("VELMOR 740ST"));
        link.Disconnect();
    }
    {
        CSimHarness slower({QStringLiteral("--slow"), QStringLiteral("1000")});
        ASSERT_TRUE(slower.Started());
        CRS232 link;
        link.SetTimeoutLimit(300);
        QString reply;
        EXPECT_FALSE(link.Connect(reply, slower.Port(), QStringLiteral("115200"), QStringLiteral("8")));
        EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
        link.Disconnect();
        EXPECT_FALSE(link.IsOpen());
    }
    {
        CSimHarness silent({QStringLiteral("--silent-after"), QStringLiteral("2")});
        ASSERT_TRUE(silent.Started());
        CRS232 link;
        link.SetTimeoutLimit(200);
        ASSERT_TRUE(ConnectTo(link, silent));
        QString reply;
        EXPECT_TRUE(link.SendCommand(QStringLiteral(":IDNM?")) && link.ReadReply(reply));
        EXPECT_TRUE(link.SendCommand(QStringLiteral(":IDNS?")));
        EXPECT_FALSE(link.ReadReply(reply));
        EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
        link.Disconnect();
        EXPECT_FALSE(link.IsOpen());
    }
}

TEST(RS232SimFaults, TransferModeWithoutAnswer) {
    // The tester falls silent right after ":TRANSFER": the port goes back to the old
    // speed, and the failure keeps its reason.
    CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("38400"), QStringLiteral("--silent-after"),
                     QStringLiteral("5")});
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    link.SetTimeoutLimit(200);
    QString reply;
    // DC3, file, version, file, version, then ":TRANSFER" is the sixth line.
    EXPECT_FALSE(link.BeginTransfer(reply, sim.Port(), QStringLiteral("38400"), QStringLiteral("8"), true));
    EXPECT_EQ(link.GetErrorCode(), LinkError::NoReply);
    EXPECT_FALSE(link.IsTransferMode());
    EXPECT_EQ(link.LineBaudRate(), 38400u);
    EXPECT_TRUE(link.EndTransfer()); // not in transfer mode: it leaves remote mode
    EXPECT_FALSE(link.IsOpen());
}

TEST(RS232SimFaults, BlockCutShortDoesNotSwallowTheNextCommands) {
    // A program that stopped in the middle of a block data write: after a pause the
    // tester takes lines as commands again, so transfer mode can still be left.
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    QString reply;
    ASSERT_TRUE(link.BeginTransfer(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8"), true));
    ASSERT_TRUE(link.SendCommand(QStringLiteral(":TRANSFER:FILE ") + kSystem + QStringLiteral("cut.bin")));
    ASSERT_TRUE(link.ReadReply(reply));
    ASSERT_TRUE(link.SendCommand(QStringLiteral("PUT")));
    ASSERT_TRUE(link.ReadReply(reply));
    const QByteArray block(16, 'b');
    ASSERT_TRUE(link.SendCommand(LinkProtocol::BlockHeader(0, 0, 16, LinkProtocol::BlockChecksum(block))));
    ASSERT_TRUE(link.ReadReply(reply));
    ASSERT_EQ(reply, QStringLiteral("#OK#"));
    ASSERT_TRUE(link.WriteRaw(block.constData(), 4));
    QThread::msleep(1300);
    EXPECT_TRUE(link.EndTransfer()) << link.GetErrorCode();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(link.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(reply, QStringLiteral("velmor in remote"));
    link.Disconnect();
}

TEST(RS232Sim, ServesEveryCommandOfTheConnectionTest) {
    // The command list of the connection test, in its order; each one gets an answer of
    // its own, never "#nocmd#".
    const char* const commands[] = {":IDNR?",
                                    ":IDNM?",
                                    ":IDNF?",
                                    ":IDNH?",
                                    ":IDNS?",
                                    ":MEAS:STEP 81",
                                    ":MEAS:STEP:VAL?",
                                    ":MEAS:STEP:NAME?",
                                    ":MEAS:STEP:UNIT?",
                                    ":MEAS:STEP:EXIT",
                                    ":SYST:TP?",
                                    ":SYST:TEXT 1",
                                    ":SYST:TEXT:VAL?",
                                    ":SYST:UNOM 230",
                                    ":SYST:UNOM?",
                                    ":SYST:PAT 1+2",
                                    ":SYST:ENCS",
                                    ":SYST:DISCS",
                                    ":CAT:MEAS:STEPS?",
                                    ":CAT:MEAS:STEP 81",
                                    ":CAT:MEAS:STEP:VAL?",
                                    ":CAT:XML:MEAS:STEPS?",
                                    ":CAT:XML:TYP:NAMES?",
                                    ":CAT:XML:TYP:NAME Test",
                                    ":CAT:XML:DEVICE:IDS?",
                                    ":CAT:XML:DEVICE:GUID {xxx-xxx-xxx}",
                                    ":CAT:XML:DOC:NEXT?",
                                    ":CAT:XML:DOC:REPEAT?"};
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    CRS232 link;
    ASSERT_TRUE(ConnectTo(link, sim));
    for (const char* c : commands) {
        const QString command = QString::fromLatin1(c);
        QString reply;
        bool ok = false;
        if (command.contains(QLatin1String("ENCS")))
            ok = link.EnableChecksums(reply);
        else if (command.contains(QLatin1String("DISCS")))
            ok = link.DisableChecksums(reply);
        else
            ok = link.SendCommand(command) && link.ReadReply(reply);
        EXPECT_TRUE(ok) << c << " " << link.GetErrorCode();
        EXPECT_FALSE(reply.isEmpty()) << c;
        EXPECT_NE(reply.toLower(), QStringLiteral("#nocmd#")) << c;
    }
    EXPECT_FALSE(link.IsChecksumMode());
    link.Disconnect();
}

TEST(RS232Sim, ProgramThatVanishedDuringADocumentUploadStartsAfresh) {
    // The tester drops the half-received document when a new connection greets it, so
    // the new program's commands are commands, not document lines.
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    {
        CRS232 first;
        ASSERT_TRUE(ConnectTo(first, sim));
        QString detail, reply;
        ASSERT_TRUE(first.Exchange(QStringLiteral(":CAT:XML:TYP:NEW PV"), detail));
        ASSERT_TRUE(first.SendUtf8Line(QStringLiteral("<?xml version=\"1.0\"?>"), true));
        ASSERT_TRUE(first.ReadReply(reply));
    } // gone in the middle of the document
    CRS232 second;
    QString reply;
    ASSERT_TRUE(second.Connect(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8")));
    EXPECT_EQ(reply, QStringLiteral("#nocmd#"));
    QString version;
    EXPECT_TRUE(second.QueryFileVersion(kSystem + QStringLiteral("Remote.dll"), version));
    EXPECT_EQ(version, QStringLiteral("1.0.7.0"));
    second.Disconnect();
}

TEST(RS232Sim, SimulatorRefusesLineSettingsItCannotHaveAndSaysWhy) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("tty"));
    const QStringList bad[] = {{QStringLiteral("--databits"), QStringLiteral("9")},
                               {QStringLiteral("--databits"), QStringLiteral("x")},
                               {QStringLiteral("--baud"), QStringLiteral("0")}};
    for (const QStringList& options : bad) {
        const ProcessResult r = RunProgram(QStringLiteral("v740sim"),
                                           QStringList{QStringLiteral("--link"), link} + options, {}, 10000);
        EXPECT_EQ(r.exitCode, 2) << options.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(options.first().mid(2)))
            << options.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(link));
    }
}
