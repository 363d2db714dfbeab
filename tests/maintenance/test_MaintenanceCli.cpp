// v740ctl update against v740sim: the file list, the copy, the answers to its questions.
#include "link/SimHarness.h"
#include "maintenance/UpdatePackage.h"
#include "platform/ProfileFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Cli {
    QTemporaryDir data;
    ProcessResult Run(const CSimHarness& sim, const QStringList& args, const QStringList& env = {}) {
        QStringList all{QStringLiteral("--data"), data.path(), QStringLiteral("--lang"),
                        QStringLiteral("English")};
        all << args;
        return RunProgram(QStringLiteral("v740ctl"), all,
                          QStringList{QStringLiteral("VELMOR_SERIAL_PORTS=") + sim.Folder() +
                                          QStringLiteral("/none,") + sim.Port(),
                                      QStringLiteral("VELMOR_LINK_MAX_TIMEOUT=1000")} +
                              env);
    }
};

} // namespace

TEST(MaintenanceCli, UpdateListsCopiesAndAsks) {
    std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
    CSimHarness sim({QStringLiteral("--firmware-version"), QStringLiteral("V2.10"), QStringLiteral("--baud"),
                     QStringLiteral("57600")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    // The settings name no tester: the scan finds it and the settings are kept.
    ProcessResult r = cli.Run(
        sim, {QStringLiteral("update"), QStringLiteral("--folder"), pkg->Folder(), QStringLiteral("--info")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Sizes are size / 1024 + 1 kB: 4096 bytes show as 5 kB, 1024 as 2.
    EXPECT_EQ(r.out, QStringLiteral("Velmor740.exe\t5 KB\t4.5.0.0\t4.4.0\n"
                                    "Firmware_V2.12.bin\t5 KB\tV2.12\tV2.10\n"
                                    "Texts\\Languages.txt\t1 KB\tno version\tno version\n"
                                    "Velmor740SoftwareVersion.dll\t2 KB\t4.5.0.0\t4.4.0\n"));
    const CProfileFile ini(cli.data.path() + QStringLiteral("/V740Control.ini"));
    EXPECT_EQ(ini.GetString(QStringLiteral("RS232"), QStringLiteral("Port"), QString()), sim.Port());
    EXPECT_EQ(ini.GetString(QStringLiteral("RS232"), QStringLiteral("Baudrate"), QString()),
              QStringLiteral("57600"));

    r = cli.Run(sim, {QStringLiteral("update"), QStringLiteral("--folder"), pkg->Folder()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 4);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Velmor740.exe\t\\%SYSTEM%\\Velmor740.exe\t")));
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Velmor740.exe")),
              pkg->files[QStringLiteral("Velmor740.exe")]);

    // Now the tester is as new as the package; an older package asks, and no is the answer.
    pkg->Add(QStringLiteral("Velmor740SoftwareVersion.dll"), CUpdatePackage::Pe(QStringLiteral("4.4.9"), 1));
    r = cli.Run(sim, {QStringLiteral("update"), QStringLiteral("--folder"), pkg->Folder()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    r = cli.Run(
        sim, {QStringLiteral("update"), QStringLiteral("--folder"), pkg->Folder(), QStringLiteral("--yes")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    for (const QStringList& bad : {QStringList{QStringLiteral("update"), QStringLiteral("--nope")},
                                   QStringList{QStringLiteral("update"), QStringLiteral("--folder")}})
        EXPECT_EQ(cli.Run(sim, bad).exitCode, 2);
    QTemporaryDir empty;
    r = cli.Run(sim, {QStringLiteral("update"), QStringLiteral("--folder"), empty.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("CopyList.txt"))) << r.err.toStdString();
}
