// The update workflow against v740sim: the files that arrive, the version questions,
// the tester's refusals and silences, the scan.
#include "link/LinkErrors.h"
#include "link/SimHarness.h"
#include "maintenance/SoftwareUpdate.h"
#include "maintenance/UpdatePackage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

QString Text(qint32 id) {
    return QStringLiteral("<%1>").arg(id);
}

struct UpdateRun {
    CSimHarness& sim;
    CRS232 link;
    CSoftwareUpdate update;
    QStringList statuses;
    QList<StatusColour> colours;
    int progressCalls = 0;

    UpdateRun(CSimHarness& s, const QString& folder) : sim(s), update(link, folder, s.Folder(), Text) {
        link.SetTimeoutLimit(1000);
        link.SetCandidatePorts({sim.Folder() + QStringLiteral("/none"), sim.Port()});
        CSoftwareUpdate::Callbacks cb;
        cb.status = [this](const QString& t, StatusColour c) {
            statuses << t;
            colours << c;
        };
        cb.progress = [this](int, int) { ++progressCalls; };
        update.SetCallbacks(cb);
    }
    bool Open(const QString& port = QString()) {
        CSerialProfile p;
        p.port = port.isEmpty() ? sim.Port() : port;
        const bool ok = update.Connect(p);
        update.ReportConnection();
        update.ReadPackage();
        return ok;
    }
    // The files announced for copying, in order.
    QStringList Announced() const {
        QStringList paths;
        for (const QString& l : sim.LoggedLines('<'))
            if (l.startsWith(QLatin1String(":TRANSFER:FILE ")))
                paths << l.mid(15).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        return paths;
    }
};

} // namespace

TEST(SoftwareUpdateSim, TheFilesTheListSelectsArriveByteForByteInOrder) {
    std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
    CSimHarness sim({QStringLiteral("--firmware-version"), QStringLiteral("V2.10")});
    ASSERT_TRUE(sim.Started());
    CNotifierScope notes;
    UpdateRun run(sim, pkg->Folder());
    ASSERT_TRUE(run.Open());
    EXPECT_EQ(run.update.Identity().name, QStringLiteral("VELMOR 740ST"));
    EXPECT_EQ(run.update.Identity().software, QStringLiteral("4.4.0"));
    EXPECT_EQ(run.update.Identity().firmware, QStringLiteral("V2.10"));
    EXPECT_EQ(run.update.Identity().serial, QStringLiteral("740-000123"));
    EXPECT_EQ(run.link.ReadTimeout(), 7500);
    EXPECT_EQ(run.link.GetTransferRate(), 9000);
    EXPECT_EQ(run.statuses.last(), Text(50115));
    ASSERT_TRUE(run.update.PackageReady());
    EXPECT_EQ(run.update.PackageSoftwareVersion(), QStringLiteral("4.5.0.0"));
    EXPECT_EQ(run.update.CopyList().EntryCount(), 4); // Remote.dll only below the minimum

    ASSERT_TRUE(run.update.ConfirmVersions());
    EXPECT_TRUE(notes.recorder.messages.isEmpty()); // a newer package and a tester above the minimum
    ASSERT_TRUE(run.update.Copy()) << run.update.ErrorCode();
    EXPECT_EQ(run.statuses.last(), Text(50106));
    EXPECT_EQ(notes.recorder.Last(), Text(50107) + "\n" + Text(50108));
    EXPECT_EQ(run.Announced(),
              QStringList({"\\%SYSTEM%\\Velmor740.exe", "\\%SYSTEM%\\Firmware\\Firmware_V2.12.bin",
                           "\\%SYSTEM%\\Texts\\Languages.txt", "\\%SYSTEM%\\Velmor740SoftwareVersion.dll"}));
    EXPECT_EQ(sim.TesterFile("\\%SYSTEM%\\Velmor740.exe"), pkg->files["Velmor740.exe"]);
    EXPECT_EQ(sim.TesterFile("\\%SYSTEM%\\Firmware\\Firmware_V2.12.bin"), pkg->files["Firmware_V2.12.bin"]);
    EXPECT_EQ(sim.TesterFile("\\%SYSTEM%\\Texts\\Languages.txt"), pkg->files["Texts\\Languages.txt"]);
    EXPECT_EQ(sim.TesterFile("\\%SYSTEM%\\Velmor740SoftwareVersion.dll"),
              pkg->files["Velmor740SoftwareVersion.dll"]);
    EXPECT_TRUE(sim.TesterFile("\\%SYSTEM%\\Remote.dll").isEmpty());

    // The tester now reports the versions of the files it received.
    const auto rows = run.update.FileList();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].packageVersion, QStringLiteral("4.5.0.0"));
    EXPECT_EQ(rows[0].testerVersion, QStringLiteral("4.5.0.0"));
    EXPECT_EQ(rows[1].packageVersion, QStringLiteral("V2.12"));
    EXPECT_EQ(rows[1].testerVersion, QStringLiteral("V2.10"));
    EXPECT_EQ(rows[2].packageVersion, Text(50095));
    EXPECT_EQ(rows[0].size, QStringLiteral("<50101>")); // the format of the catalogue
    EXPECT_TRUE(run.update.IsConnected());
    EXPECT_TRUE(run.update.Close());
    EXPECT_TRUE(sim.LoggedLines('<').contains(QStringLiteral(":TRANSFER:EXIT")));
}

TEST(SoftwareUpdateSim, VersionQuestionsDecideWhetherToCopy) {
    std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
    struct Case {
        const char* software;
        CNotifier::Answer answer;
        bool confirmed;
        QString said; // start of the first message
        int entries;
    } cases[] = {
        {"4.6.0", CNotifier::Answer::No, false, Text(50035), 4},
        {"4.6.0", CNotifier::Answer::Yes, true, Text(50035), 4},
        {"3.0.0", CNotifier::Answer::No, false, Text(50120), 5},
        {"3.0.0", CNotifier::Answer::Yes, true, Text(50120), 5},
        {"1.5.0", CNotifier::Answer::Yes, false, Text(4908), 5},
    };
    for (const Case& c : cases) {
        CSimHarness sim({QStringLiteral("--software-version"), QString::fromLatin1(c.software),
                         QStringLiteral("--firmware-version"), QStringLiteral("V2.10")});
        ASSERT_TRUE(sim.Started());
        CNotifierScope notes;
        notes.recorder.answer = c.answer;
        UpdateRun run(sim, pkg->Folder());
        ASSERT_TRUE(run.Open());
        EXPECT_EQ(run.update.CopyList().EntryCount(), c.entries) << c.software;
        EXPECT_EQ(run.update.ConfirmVersions(), c.confirmed) << c.software;
        ASSERT_EQ(notes.recorder.messages.size(), 1) << c.software;
        EXPECT_TRUE(notes.recorder.messages[0].startsWith(c.said))
            << notes.recorder.messages[0].toStdString();
        if (QByteArray(c.software) == "3.0.0") {
            EXPECT_EQ(notes.recorder.messages[0], "<50120>\n<50121>\n\n<50123> <50124>");
        }
        run.update.Close();
    }
}

TEST(SoftwareUpdateSim, RefusalsAndSilencesStopTheCopyWithTheirTexts) {
    std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
    struct Case {
        QStringList options;
        qint32 error;
        QString detail;
        int arrived; // files announced before the failure stopped the copy, that one included
    } cases[] = {
        {{QStringLiteral("--refuse-file"), QStringLiteral("Firmware_V2.12.bin")},
         LinkError::ModeCommand,
         {},
         2},
        {{QStringLiteral("--corrupt-block"), QStringLiteral("1")}, LinkError::BlockNotAcked, {}, 1},
        {{QStringLiteral("--full-after"), QStringLiteral("2048")},
         LinkError::Error,
         QStringLiteral("memory full"),
         1},
        // DC3, two version lines, ":TRANSFER", the identity (four lines), ":TRANSFER:FILE",
        // "PUT" and the first header: the second header goes unanswered.
        {{QStringLiteral("--silent-after"), QStringLiteral("12")}, LinkError::BlockNoReply, {}, 1},
    };
    for (const Case& c : cases) {
        CSimHarness sim(QStringList{QStringLiteral("--firmware-version"), QStringLiteral("V2.10")} +
                        c.options);
        ASSERT_TRUE(sim.Started());
        CNotifierScope notes;
        UpdateRun run(sim, pkg->Folder());
        ASSERT_TRUE(run.Open()) << c.error;
        EXPECT_FALSE(run.update.Copy()) << c.error;
        EXPECT_EQ(run.update.ErrorCode(), c.error);
        EXPECT_EQ(run.update.ErrorText(), c.detail);
        EXPECT_EQ(run.statuses.last(), c.detail.isEmpty() ? Text(c.error) : c.detail);
        EXPECT_EQ(run.colours.last(), StatusColour::Error);
        EXPECT_EQ(notes.recorder.Last(), Text(50109) + "\n" + Text(50110));
        EXPECT_EQ(run.Announced().size(), c.arrived) << c.error;
        run.update.Close();
    }
}

TEST(SoftwareUpdateSim, AScanFindsTheTesterAndABusyOneIsNotSearchedFor) {
    std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
    {
        CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("57600")});
        ASSERT_TRUE(sim.Started());
        UpdateRun run(sim, pkg->Folder());
        ASSERT_TRUE(run.Open(sim.Folder() + QStringLiteral("/none")));
        EXPECT_TRUE(run.update.FoundByScan());
        EXPECT_EQ(run.link.GetPort(), sim.Port());
        EXPECT_EQ(run.link.GetBaudRate(), QStringLiteral("57600"));
        EXPECT_EQ(CSerialProfile::Read(sim.Folder()).baudRate, QStringLiteral("57600"));
        EXPECT_TRUE(run.link.IsTransferMode());
        EXPECT_EQ(run.update.Identity().name, QStringLiteral("VELMOR 740ST"));
        run.update.Close();
    }
    {
        CSimHarness sim({QStringLiteral("--busy")});
        ASSERT_TRUE(sim.Started());
        UpdateRun run(sim, pkg->Folder());
        EXPECT_FALSE(run.Open());
        EXPECT_FALSE(run.update.FoundByScan());
        EXPECT_EQ(run.statuses.last(), Text(LinkError::InUse));
        EXPECT_EQ(sim.LoggedLines('<').filter(QStringLiteral("\\x13")).size(), 1);
        run.update.Close();
    }
}

TEST(SoftwareUpdateSim, AMissingCopyListOrFileLeavesNoEntries) {
    std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
    pkg->List("copy Velmor740.exe x\r\ncopy Gone.dll y\r\n");
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    UpdateRun run(sim, pkg->Folder());
    ASSERT_TRUE(run.Open());
    EXPECT_FALSE(run.update.PackageReady());
    EXPECT_EQ(run.update.CopyList().EntryCount(), 0);
    EXPECT_EQ(run.update.PackageText(), Text(50090) + "\n" + Text(50091));
    run.update.Close();
}
