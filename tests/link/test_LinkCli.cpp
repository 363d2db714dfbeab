// v740ctl rs232 and upload against v740sim.
#include "link/LinkErrors.h"
#include "link/SimHarness.h"
#include "platform/ProfileFile.h"
#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QString Text(qint32 id) {
    CTextCatalog catalog;
    QString text;
    if (catalog.Open(QFileInfo(BinPath(QStringLiteral("v740ctl"))).path()))
        catalog.SeekText(id, QStringLiteral("Deutsch"), text);
    return text.isEmpty() ? QStringLiteral("error %1").arg(id) : text;
}

struct Cli {
    QTemporaryDir data;
    Cli() { QDir().mkpath(data.path()); }
    ProcessResult Run(const CSimHarness& sim, const QStringList& serial, const QStringList& args) {
        QStringList all{QStringLiteral("--data"), data.path()};
        all << serial << args;
        return RunProgram(
            QStringLiteral("v740ctl"), all,
            {QStringLiteral("VELMOR_SERIAL_PORTS=") + sim.Folder() + QStringLiteral("/none,") + sim.Port(),
             QStringLiteral("VELMOR_LINK_MAX_TIMEOUT=1000")});
    }
    QString Ini(const QString& key) const {
        return CProfileFile(data.path() + QStringLiteral("/V740Control.ini"))
            .GetString(QStringLiteral("RS232"), key, QStringLiteral("-"));
    }
};

} // namespace

TEST(LinkCli, Rs232SendsEachCommandAndPrintsEachReply) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    Cli cli;
    const ProcessResult r = cli.Run(
        sim, {QStringLiteral("--port"), sim.Port(), QStringLiteral("--baud"), QStringLiteral("115200")},
        {QStringLiteral("rs232"), QStringLiteral(":IDNM?"), QStringLiteral(":syst:encs"),
         QStringLiteral(":SYST:DISCS"), QStringLiteral(":IDNF?")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Lower-case "encs" goes out as a plain command and the program's checksum mode stays
    // off, so the tester's checksummed answer is shown as it came.
    EXPECT_EQ(r.out, QStringLiteral("VELMOR 740ST\n#NULL#*81\n#NULL#\n2.10\n"));
    EXPECT_EQ(cli.Ini(QStringLiteral("Port")), QStringLiteral("-")); // no scan, nothing written
    EXPECT_TRUE(sim.LoggedLines('<').last().startsWith(QStringLiteral("\\x14")));
}

TEST(LinkCli, Rs232ScanKeepsTheFoundSettings) {
    CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("57600")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    // The settings file names a port that is not there.
    CProfileFile(cli.data.path() + QStringLiteral("/V740Control.ini"))
        .WriteString(QStringLiteral("RS232"), QStringLiteral("Port"), QStringLiteral("COM9:"));
    const ProcessResult r = cli.Run(sim, {}, {QStringLiteral("rs232"), QStringLiteral(":IDNM?")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("VELMOR 740ST\n"));
    EXPECT_EQ(cli.Ini(QStringLiteral("Port")), sim.Port());
    EXPECT_EQ(cli.Ini(QStringLiteral("Baudrate")), QStringLiteral("57600"));
    EXPECT_EQ(cli.Ini(QStringLiteral("Databits")), QStringLiteral("8"));
}

TEST(LinkCli, Rs232ReportsBusyWithoutAScan) {
    CSimHarness sim({QStringLiteral("--busy")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    const ProcessResult r = cli.Run(sim, {QStringLiteral("--port"), sim.Port()}, {QStringLiteral("rs232")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(Text(LinkError::InUse))) << r.err.toStdString();
    EXPECT_EQ(sim.LoggedLines('<').filter(QStringLiteral("\\x13")).size(), 1); // one DC3, no scan
    EXPECT_EQ(cli.Ini(QStringLiteral("Port")), QStringLiteral("-"));
}

TEST(LinkCli, Rs232FailuresEndWithTheirText) {
    struct Case {
        QStringList simOptions;
        QStringList commands;
        qint32 error;
    } cases[] = {
        {{QStringLiteral("--initfail")}, {}, LinkError::InitFail}, // a failure in the connection test
        {{QStringLiteral("--silent-after"), QStringLiteral("1")},
         {QStringLiteral(":IDNM?")},
         LinkError::NoReply},
        {{QStringLiteral("--corrupt-checksum")}, {QStringLiteral(":SYST:ENCS")}, LinkError::Repeat},
        {{}, {QStringLiteral(":IDNM? Ω")}, LinkError::Convert},
    };
    for (const Case& c : cases) {
        CSimHarness sim(c.simOptions);
        ASSERT_TRUE(sim.Started());
        Cli cli;
        const ProcessResult r =
            cli.Run(sim, {QStringLiteral("--port"), sim.Port()}, QStringList{"rs232"} + c.commands);
        EXPECT_EQ(r.exitCode, 1) << c.error;
        EXPECT_TRUE(r.err.contains(Text(c.error))) << c.error << ": " << r.err.toStdString();
    }
}

TEST(LinkCli, UploadCopiesFilesInTransferMode) {
    CSimHarness sim({QStringLiteral("--baud"), QStringLiteral("57600")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    const QString header = cli.data.filePath(QStringLiteral("header.txt"));
    const QString logo = cli.data.filePath(QStringLiteral("logo.bmp"));
    QByteArray logoBytes;
    for (int i = 0; i < 5000; ++i)
        logoBytes += char(i * 7);
    for (const auto& [path, bytes] :
         {std::pair{header, QByteArray("Firma\r\nStrasse 1\r\n")}, std::pair{logo, logoBytes}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Wrong speed in the options: the scan finds the tester first.
    const ProcessResult r =
        cli.Run(sim, {QStringLiteral("--port"), sim.Port(), QStringLiteral("--baud"), QStringLiteral("9600")},
                {QStringLiteral("upload"), header, QStringLiteral("\\%SYSTEM%\\header.txt"), logo,
                 QStringLiteral("\\%SYSTEM%\\logo.bmp")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\header.txt")), QByteArray("Firma\r\nStrasse 1\r\n"));
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\logo.bmp")), logoBytes);
    EXPECT_EQ(cli.Ini(QStringLiteral("Baudrate")), QStringLiteral("57600"));

    const ProcessResult bad = cli.Run(sim, {}, {QStringLiteral("upload"), header});
    EXPECT_EQ(bad.exitCode, 2);
}

TEST(LinkCli, UploadWithoutBlockAnswer) {
    // The tester falls silent after the first block header: 50117, transfer mode left,
    // nothing of the file kept on the tester.
    CSimHarness sim({QStringLiteral("--silent-after"), QStringLiteral("7")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    const QString file = cli.data.filePath(QStringLiteral("x.bin"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3000, 'x'));
    f.close();
    const ProcessResult r = cli.Run(sim, {QStringLiteral("--port"), sim.Port()},
                                    {QStringLiteral("upload"), file, QStringLiteral("\\%SYSTEM%\\x.bin")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(Text(LinkError::BlockNoReply))) << r.err.toStdString();
    EXPECT_TRUE(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\x.bin")).isEmpty());
    EXPECT_EQ(sim.LoggedLines('<').filter(QStringLiteral("BLKCNT=")).size(), 2);
}

TEST(LinkCli, ATesterFoundAtSevenDataBitsCannotTransferDocuments) {
    CSimHarness sim({QStringLiteral("--databits"), QStringLiteral("7")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    ASSERT_EQ(RunProgram(QStringLiteral("v740ctl"),
                         {QStringLiteral("--data"), cli.data.path(), QStringLiteral("init")})
                  .exitCode,
              0);
    CProfileFile(cli.data.path() + QStringLiteral("/V740Control.ini"))
        .WriteString(QStringLiteral("RS232"), QStringLiteral("Port"), QStringLiteral("COM9:"));
    const ProcessResult r =
        cli.Run(sim, {},
                {QStringLiteral("import"), QStringLiteral("--source"), QStringLiteral("tester"),
                 QStringLiteral("--kind"), QStringLiteral("specs")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(Text(LinkError::SevenBits))) << r.err.toStdString();
    EXPECT_EQ(cli.Ini(QStringLiteral("Databits")), QStringLiteral("7")) << "the scan's findings are kept";
    EXPECT_FALSE(sim.LoggedLines('<').filter(QStringLiteral(":CAT:")).size() > 0)
        << "no catalogue command was sent";
}

// import --source tester takes the import path of drive and folder: the preview ends with
// the key that --select takes, keys compare as the import's checks compare them (a GUID
// without regard to case, never a device name), a key the list lacks fails the command
// before anything is written, and the summary is the folder import's.
TEST(LinkCli, ImportFromTheTesterTakesTheOneImportPath) {
    CSimHarness sim({QStringLiteral("--demo"), QStringLiteral("3")});
    ASSERT_TRUE(sim.Started());
    Cli cli;
    ASSERT_EQ(RunProgram(QStringLiteral("v740ctl"),
                         {QStringLiteral("--data"), cli.data.path(), QStringLiteral("init")})
                  .exitCode,
              0);
    const QStringList serial{QStringLiteral("--port"), sim.Port(), QStringLiteral("--baud"),
                             QStringLiteral("115200")};
    const auto import = [&](const QStringList& more) {
        QStringList args{QStringLiteral("--lang"),   QStringLiteral("English"), QStringLiteral("import"),
                         QStringLiteral("--source"), QStringLiteral("tester"),  QStringLiteral("--kind"),
                         QStringLiteral("protocols")};
        return cli.Run(sim, serial, args + more);
    };
    const auto protocols = [&] {
        CAdoDatabase db;
        qint32 n = -1;
        if (db.Open(cli.data.path(), QStringLiteral("user2.db")) &&
            db.OpenQuery(QStringLiteral("SELECT COUNT(*) AS n FROM GeraeteTab")) && db.MoveFirst())
            db.GetLong(QStringLiteral("n"), n);
        return n;
    };

    const ProcessResult preview = import({});
    ASSERT_EQ(preview.exitCode, 0) << preview.err.toStdString();
    const QStringList rows = preview.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3) << preview.out.toStdString();
    const QStringList first = rows[0].split(QLatin1Char('\t'));
    ASSERT_EQ(first.size(), 6) << "five columns and the GUID";
    const QString device = first[0], guid = first[5];
    ASSERT_TRUE(guid.startsWith(QLatin1Char('{'))) << guid.toStdString();

    struct Refused {
        const char* what;
        QStringList args;
        int exit;
        QString stderrHas;
    } const refused[] = {
        {"a device name is no key",
         {QStringLiteral("--select"), device},
         1,
         QStringLiteral("GUID '") + device},
        {"a GUID the list lacks",
         {QStringLiteral("--select"), QStringLiteral("{NONE}")},
         1,
         QStringLiteral("{NONE}")},
        {"a path",
         {QStringLiteral("--path"), cli.data.path(), QStringLiteral("--all")},
         2,
         QStringLiteral("--path")},
    };
    for (const Refused& c : refused) {
        const ProcessResult r = import(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.what;
        EXPECT_TRUE(r.err.contains(c.stderrHas)) << c.what << ": " << r.err.toStdString();
        EXPECT_EQ(protocols(), 0) << c.what;
    }

    // The GUID in another case picks the protocol; it brings its test specification.
    ProcessResult r = import({QStringLiteral("--select"), guid.toLower()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("test specifications: 1 inserted, 0 updated\n"
                                    "device protocols: 1 inserted, 0 updated, 0 retired to the history\n"));
    EXPECT_EQ(protocols(), 1);
    r = import({QStringLiteral("--all")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.endsWith(QStringLiteral("device protocols: 2 inserted, 1 updated, 0 retired to the history\n")))
        << r.out.toStdString();
    EXPECT_EQ(protocols(), 3);
    EXPECT_TRUE(sim.LoggedLines('<').last().startsWith(QStringLiteral("\\x14"))) << "remote mode left";
}

// A serial option the link cannot use is a bad argument: no scan, nothing stored.
TEST(LinkCli, BadSerialOptionsAreRefusedWithTheValidValues) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    struct Case {
        QStringList options;
        const char* named;
    };
    const Case cases[] = {
        {{QStringLiteral("--baud"), QStringLiteral("abc")}, "115200"},
        {{QStringLiteral("--baud"), QStringLiteral("-5")}, "9600"},
        {{QStringLiteral("--baud"), QStringLiteral("0")}, "57600"},
        {{QStringLiteral("--baud"), QStringLiteral("99999999999")}, "19200"},
        {{QStringLiteral("--baud"), QString()}, "38400"},
        {{QStringLiteral("--databits"), QStringLiteral("9")}, "7, 8"},
        {{QStringLiteral("--databits"), QStringLiteral("eight")}, "7, 8"},
        {{QStringLiteral("--port"), QStringLiteral("/dev/no-such-tty")}, "/dev/ttyUSB0"},
        {{QStringLiteral("--port"), QStringLiteral("ttyS0")}, "COMn:"},
        {{QStringLiteral("--port"), QStringLiteral("/tmp")}, "/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(QLatin1Char(' ')).toStdString());
        Cli cli;
        const ProcessResult r = cli.Run(sim, c.options, {QStringLiteral("rs232")});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(c.options.first())) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.named))) << r.err.toStdString();
        EXPECT_EQ(cli.Ini(QStringLiteral("Port")), QStringLiteral("-")) << "no scan stored settings";
    }
    EXPECT_TRUE(sim.LoggedLines('<').isEmpty()) << "the tester was never addressed";
    // Good values still pass, COMn: included (it names a port that is not there: exit 1).
    Cli cli;
    EXPECT_EQ(
        cli.Run(sim,
                {QStringLiteral("--port"), sim.Port(), QStringLiteral("--databits"), QStringLiteral("8")},
                {QStringLiteral("rs232")})
            .exitCode,
        0);
}
