// The connection test against v740sim: identity, the checksum commands by their exact
// case, failures without a scan, and the scan.
#include "link/LinkErrors.h"
#include "link/SimHarness.h"
#include "maintenance/ConnectionTest.h"

#include <gtest/gtest.h>

namespace {

struct LinkTest {
    CRS232 link;
    CConnectionTest test;
    explicit LinkTest(const CSimHarness& sim) : test(link, sim.Folder()) {
        link.SetTimeoutLimit(1000);
        link.SetCandidatePorts({sim.Folder() + QStringLiteral("/none"), sim.Port()});
    }
    bool Open(const QString& port) {
        CSerialProfile p;
        p.port = port;
        return test.Connect(p);
    }
};

} // namespace

TEST(ConnectionTestSim, CommandsGoAsTypedAndOnlyUpperCaseSwitchesChecksums) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    LinkTest t(sim);
    ASSERT_TRUE(t.Open(sim.Port()));
    EXPECT_FALSE(t.test.FoundByScan());
    EXPECT_EQ(t.test.Identity().name, QStringLiteral("VELMOR 740ST"));
    EXPECT_EQ(t.test.Identity().software, QStringLiteral("4.4.0"));
    EXPECT_EQ(t.test.Identity().firmware, QStringLiteral("2.10"));
    EXPECT_EQ(t.test.Identity().serial, QStringLiteral("740-000123"));
    EXPECT_EQ(CConnectionTest::Commands().size(), 28);
    EXPECT_EQ(CConnectionTest::Commands().first(), QStringLiteral(":IDNR?"));
    EXPECT_EQ(CConnectionTest::Commands().last(), QStringLiteral(":CAT:XML:DOC:REPEAT?"));

    struct Step {
        QString command;
        QString reply;
        bool checksumAfter;
    } steps[] = {
        {":SYST:UNOM 230", "#NULL#", false},
        {":SYST:UNOM?", "230", false},
        {":SYST:ENCS", "#NULL#", true},
        {":MEAS:STEP:NAME?", "RPE 81", true}, // every command now carries its checksum
        {":SYST:DISCS", "#NULL#", false},
        {":syst:encs", "#NULL#*81", false}, // plain command: the tester's suffix is shown
        {":SYST:DISCS", "#NULL#", false},
        {":CAT:XML:DOC:REPEAT?", "#EOF#", false},
        {":FOO?", "#nocmd#", false},
    };
    for (const Step& s : steps) {
        QString reply;
        // The plain ":syst:encs" leaves the tester in checksum mode while the program is
        // not; the DISCS after it is sent with a checksum, which the tester accepts.
        EXPECT_TRUE(t.test.Send(s.command, reply) || s.command == ":SYST:DISCS") << s.command.toStdString();
        if (s.command != ":SYST:DISCS") {
            EXPECT_EQ(reply, s.reply) << s.command.toStdString();
        }
        EXPECT_EQ(t.link.IsChecksumMode(), s.checksumAfter) << s.command.toStdString();
    }
    t.test.Close();
    EXPECT_FALSE(t.link.IsOpen());
}

TEST(ConnectionTestSim, InitFailAndBusyAreFailuresWithoutAScan) {
    for (const QString& fault : {QStringLiteral("--initfail"), QStringLiteral("--busy")}) {
        CSimHarness sim({fault});
        ASSERT_TRUE(sim.Started());
        LinkTest t(sim);
        EXPECT_FALSE(t.Open(sim.Port()));
        EXPECT_EQ(t.test.ErrorCode(), fault == "--busy" ? LinkError::InUse : LinkError::InitFail);
        EXPECT_EQ(sim.LoggedLines('<').filter(QStringLiteral("\\x13")).size(), 1);
        t.test.Close();
    }
}

TEST(ConnectionTestSim, WrongSettingsAreFoundByTheScan) {
    CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("19200"), QStringLiteral("--databits"),
                     QStringLiteral("7")});
    ASSERT_TRUE(sim.Started());
    LinkTest t(sim);
    int told = 0;
    t.test.SetFoundHandler([&told](const CSerialProfile&, bool written) {
        ++told;
        EXPECT_TRUE(written);
    });
    ASSERT_TRUE(t.Open(sim.Folder() + QStringLiteral("/none")));
    EXPECT_TRUE(t.test.FoundByScan());
    EXPECT_EQ(told, 1);
    EXPECT_EQ(t.link.GetPort(), sim.Port());
    EXPECT_EQ(t.link.GetBaudRate(), QStringLiteral("19200"));
    EXPECT_EQ(t.link.GetDataBits(), QStringLiteral("7"));
    // The settings found are kept, so the next connection needs no scan.
    const CSerialProfile kept = CSerialProfile::Read(sim.Folder());
    EXPECT_EQ(kept.port, sim.Port());
    EXPECT_EQ(kept.baudRate, QStringLiteral("19200"));
    EXPECT_EQ(kept.dataBits, QStringLiteral("7"));
    QString reply;
    EXPECT_TRUE(t.test.Send(QStringLiteral(":IDNS?"), reply));
    EXPECT_EQ(reply, QStringLiteral("740-000123"));
    t.test.Close();
}
