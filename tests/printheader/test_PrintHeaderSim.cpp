// The save and send of the print header against v740sim: what arrives, in which order,
// the progress, the failures, and the settings a scan finds.
#include "Bitmaps.h"

#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/SimHarness.h"
#include "platform/SettingsFile.h"
#include "printheader/PrintHeaderText.h"
#include "printheader/PrintHeaderTransfer.h"
#include "printheader/SignatureKey.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct SendRun {
    CSimHarness& sim;
    QTemporaryDir data;
    CRS232 link;
    QStringList statuses;
    QList<int> positions;
    int range = -1;

    explicit SendRun(CSimHarness& s) : sim(s) {
        link.SetTimeoutLimit(1000);
        link.SetCandidatePorts({sim.Folder() + QStringLiteral("/none"), sim.Port()});
    }
    QString Path(const QString& name) const { return QDir(data.path()).filePath(name); }
    bool Run(const CPrintHeaderText& header, const QString& port) {
        CSerialProfile serial;
        serial.port = port;
        serial.baudRate = QStringLiteral("115200");
        serial.dataBits = QStringLiteral("8");
        CPrintHeaderTransfer transfer(link, data.path(), serial);
        transfer.SetPause(0);
        transfer.SetTexts([](qint32 id) {
            return id == 50224 ? QStringLiteral("<%s.%s>") : QStringLiteral("<%1>").arg(id);
        });
        WorkflowCallbacks cb;
        cb.status = [this](const QString& t) { statuses << t; };
        cb.range = [this](int n) { range = n; };
        cb.position = [this](int n) { positions << n; };
        transfer.SetCallbacks(cb);
        const bool ok = transfer.Run(header, CPrintHeaderText::SignatureNames(data.path()));
        sent = transfer.Sent();
        error = transfer.ErrorCode();
        detail = transfer.ErrorDetail();
        found = transfer.FoundByScan();
        return ok;
    }
    // The files announced to the tester, in order.
    QStringList Announced() const {
        QStringList paths;
        for (const QString& l : sim.LoggedLines('<'))
            if (l.startsWith(QLatin1String(":TRANSFER:FILE ")))
                paths << l.mid(15).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        return paths;
    }
    QStringList sent;
    qint32 error = 0;
    QString detail;
    bool found = false;
};

CPrintHeaderText Header(const QString& first, int option) {
    CPrintHeaderText h;
    h.SetLine(0, first);
    h.SetLine(1, QStringLiteral("Hauptstra\u00dfe 1"));
    h.SetLine(2, QStringLiteral("12345 Musterstadt"));
    h.SetOption(option);
    return h;
}

} // namespace

TEST(PrintHeaderSim, HeaderLogoAndSignaturesArriveAsTheyAreStored) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    SendRun run(sim);
    QTemporaryDir source;
    const QByteArray logo = MakeBitmap(120, 40, 8, 1);
    const QByteArray bert = MakeBitmap(200, 50, 1, 2);
    const QByteArray anna = MakeBitmap(77, 31, 4, 3);
    ASSERT_TRUE(WriteBytes(source.filePath(QStringLiteral("firm.bmp")), logo));
    ASSERT_TRUE(WriteBytes(source.filePath(QStringLiteral("Bert.bmp")), bert));
    ASSERT_TRUE(WriteBytes(source.filePath(QStringLiteral("Anna.bmp")), anna));
    ASSERT_EQ(CPrintHeaderText::StoreLogo(run.data.path(), source.filePath(QStringLiteral("firm.bmp"))), 0);
    ASSERT_EQ(CPrintHeaderText::StoreSignature(run.data.path(), source.filePath(QStringLiteral("Bert.bmp"))),
              0);
    ASSERT_EQ(CPrintHeaderText::StoreSignature(run.data.path(), source.filePath(QStringLiteral("Anna.bmp"))),
              0);

    ASSERT_TRUE(run.Run(Header(QStringLiteral("Pr\u00fcfdienst GmbH"), 2), sim.Port())) << run.error;
    const QStringList expected{
        QStringLiteral("\\%SYSTEM%\\header.txt"), QStringLiteral("\\%SYSTEM%\\logo.bmp"),
        QStringLiteral("\\%SYSTEM%\\Anna.sign"), QStringLiteral("\\%SYSTEM%\\Bert.sign")};
    EXPECT_EQ(run.sent, expected);
    EXPECT_EQ(run.Announced(), expected);
    EXPECT_EQ(run.range, 6);
    EXPECT_EQ(run.positions, (QList<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(run.statuses, (QStringList{QStringLiteral("<50201>"), QStringLiteral("<50138>"),
                                         QStringLiteral("<50203>"), QStringLiteral("<50204>"),
                                         QStringLiteral("<Anna.sign>"), QStringLiteral("<Bert.sign>")}));

    // Byte for byte what the data folder holds; the signatures unscramble to the bitmaps.
    const QByteArray header = ReadBytes(run.Path(QStringLiteral("header.txt")));
    EXPECT_EQ(header, QByteArray("Pr\xfc"
                                 "fdienst GmbH\r\nHauptstra\xdf"
                                 "e 1\r\n12345 Musterstadt\r\nsign=2\r\n"));
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\header.txt")), header);
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\logo.bmp")), logo);
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Anna.sign")),
              ReadBytes(run.Path(QStringLiteral("Anna.sign"))));
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Bert.sign")),
              ReadBytes(run.Path(QStringLiteral("Bert.sign"))));
    EXPECT_NE(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Anna.sign")), anna);
    EXPECT_EQ(sim.SignatureBitmap(QStringLiteral("Anna")), anna);
    EXPECT_EQ(sim.SignatureBitmap(QStringLiteral("Bert")), bert);
    EXPECT_EQ(SignatureKey::Unscramble(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Bert.sign"))), bert);
}

TEST(PrintHeaderSim, WithoutSignaturesTwoFilesAndARangeOfFour) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    SendRun run(sim);
    ASSERT_TRUE(WriteBytes(run.Path(QStringLiteral("logo.bmp")), MakeBitmap(10, 10, 8)));
    ASSERT_TRUE(run.Run(Header(QStringLiteral("A"), 0), sim.Port()));
    EXPECT_EQ(run.range, 4);
    EXPECT_EQ(run.Announced(), (QStringList{QStringLiteral("\\%SYSTEM%\\header.txt"),
                                            QStringLiteral("\\%SYSTEM%\\logo.bmp")}));
    EXPECT_EQ(run.positions.last(), 4);
    // The tester left transfer mode again.
    EXPECT_TRUE(sim.LoggedLines('<').contains(QStringLiteral(":TRANSFER:EXIT")));
}

TEST(PrintHeaderSim, AFailedFileStopsTheRestAndTheHeaderStaysSaved) {
    CSimHarness sim({QStringLiteral("--refuse-file"), QStringLiteral("logo.bmp")});
    ASSERT_TRUE(sim.Started());
    SendRun run(sim);
    QTemporaryDir source;
    ASSERT_TRUE(WriteBytes(run.Path(QStringLiteral("logo.bmp")), MakeBitmap(10, 10, 8)));
    ASSERT_TRUE(WriteBytes(source.filePath(QStringLiteral("Anna.bmp")), MakeBitmap(10, 10, 1)));
    ASSERT_EQ(CPrintHeaderText::StoreSignature(run.data.path(), source.filePath(QStringLiteral("Anna.bmp"))),
              0);
    EXPECT_FALSE(run.Run(Header(QStringLiteral("Saved anyway"), 1), sim.Port()));
    EXPECT_EQ(run.error, LinkError::ModeCommand);
    EXPECT_EQ(run.sent, QStringList{QStringLiteral("\\%SYSTEM%\\header.txt")});
    EXPECT_FALSE(run.Announced().contains(QStringLiteral("\\%SYSTEM%\\Anna.sign")));
    EXPECT_TRUE(ReadBytes(run.Path(QStringLiteral("header.txt"))).startsWith("Saved anyway\r\n"));
}

TEST(PrintHeaderSim, NoTesterLeavesTheHeaderSavedAndSaysWhy) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    SendRun run(sim);
    run.link.SetCandidatePorts({sim.Folder() + QStringLiteral("/none")});
    EXPECT_FALSE(run.Run(Header(QStringLiteral("Offline"), 0), sim.Folder() + QStringLiteral("/none")));
    EXPECT_NE(run.error, 0);
    EXPECT_TRUE(run.sent.isEmpty());
    EXPECT_TRUE(ReadBytes(run.Path(QStringLiteral("header.txt"))).startsWith("Offline\r\n"));
    EXPECT_EQ(run.range, 4);
}

TEST(PrintHeaderSim, AnUnwritableHeaderIsNotSent) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    SendRun run(sim);
    // header.txt is a folder: it cannot be replaced.
    ASSERT_TRUE(QDir().mkpath(run.Path(QStringLiteral("header.txt"))));
    EXPECT_FALSE(run.Run(Header(QStringLiteral("A"), 0), sim.Port()));
    EXPECT_EQ(run.error, CPrintHeaderTransfer::kSaveFailed);
    EXPECT_EQ(run.detail, run.Path(QStringLiteral("header.txt")));
    EXPECT_TRUE(sim.LoggedLines('<').isEmpty());
}

TEST(PrintHeaderSim, AScanFindsTheTesterAndItsSettingsAreKept) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    SendRun run(sim);
    ASSERT_TRUE(run.Run(Header(QStringLiteral("Scanned"), 0), sim.Folder() + QStringLiteral("/none")));
    EXPECT_TRUE(run.found);
    EXPECT_EQ(CSerialProfile::Read(run.data.path()).port, sim.Port());
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\header.txt")),
              ReadBytes(run.Path(QStringLiteral("header.txt"))));
}
