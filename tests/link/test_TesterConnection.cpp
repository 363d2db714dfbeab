// CTesterConnection against the real v740sim: what the dialogs and v740ctl rely on.
#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/SimHarness.h"
#include "link/TesterConnection.h"
#include "platform/SettingsFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    bool connected = false;
    qint32 error = 0;
    int foundCalls = 0;
    CSerialProfile stored;
};

Outcome ConnectWith(const CSimHarness& sim, const CSerialProfile& start, bool transfer) {
    QTemporaryDir data;
    CRS232 link;
    if (!transfer)
        link.SetTimeoutLimit(40);
    link.SetCandidatePorts({sim.Folder() + QStringLiteral("/no-such-port"), sim.Port()});
    CTesterConnection connection(link, data.path(), start);
    Outcome o;
    connection.SetFoundHandler([&](const CSerialProfile& found, bool written) {
        ++o.foundCalls;
        EXPECT_TRUE(written);
        EXPECT_EQ(found.port, sim.Port());
    });
    QString reply;
    o.connected = transfer ? connection.BeginTransfer(reply) : connection.Connect(reply);
    o.error = link.GetErrorCode();
    o.stored = CSerialProfile::Read(data.path());
    EXPECT_EQ(connection.FoundByScan(), o.foundCalls == 1);
    if (transfer && o.connected)
        link.EndTransfer();
    link.Disconnect();
    return o;
}

} // namespace

TEST(TesterConnection, ScansOnlyWhenNeededAndKeepsWhatItFound) {
    struct Case {
        const char* what;
        QStringList simArgs;
        bool rightPort;
        bool transfer;
        bool connected;
        qint32 error;
        bool scanned;
    };
    const Case cases[] = {
        {"the stored settings work: no scan, nothing written", {}, true, false, true, 0, false},
        {"another speed: the scan finds it and keeps it",
         {QStringLiteral("--baud"), QStringLiteral("57600")},
         true,
         false,
         true,
         0,
         true},
        {"a wrong port: the scan finds it", {}, false, false, true, 0, true},
        {"a busy tester is told as it is, without a scan",
         {QStringLiteral("--busy")},
         true,
         false,
         false,
         LinkError::InUse,
         false},
        {"transfer mode on the port the scan found", {}, false, true, true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSimHarness sim(c.simArgs);
        ASSERT_TRUE(sim.Started());
        CSerialProfile start;
        start.port = c.rightPort ? sim.Port() : sim.Folder() + QStringLiteral("/no-such-port");
        const Outcome o = ConnectWith(sim, start, c.transfer);
        EXPECT_EQ(o.connected, c.connected) << o.error;
        if (!c.connected) {
            EXPECT_EQ(o.error, c.error);
        }
        EXPECT_EQ(o.foundCalls, c.scanned ? 1 : 0);
        if (c.scanned) {
            EXPECT_EQ(o.stored.port, sim.Port());
            EXPECT_EQ(o.stored.baudRate, c.simArgs.isEmpty() ? QStringLiteral("115200") : c.simArgs.at(1));
        } else {
            EXPECT_EQ(o.stored.port, CSettingsValues().port) << "nothing is written without a scan";
        }
    }
}
