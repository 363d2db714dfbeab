// v740ctl header: showing, changing and sending the print header, and what it refuses.
#include "Bitmaps.h"

#include "link/SerialProfile.h"
#include "link/SimHarness.h"
#include "platform/SettingsFile.h"
#include "printheader/PrintHeaderText.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct HeaderCli {
    QTemporaryDir data;
    QTemporaryDir source;
    QString sims;

    ProcessResult Run(const QStringList& args) {
        QStringList all{QStringLiteral("--data"), data.path(), QStringLiteral("--lang"),
                        QStringLiteral("English"), QStringLiteral("header")};
        all << args;
        QStringList env{QStringLiteral("VELMOR_LINK_MAX_TIMEOUT=1000"), QStringLiteral("LC_ALL=C.UTF-8")};
        if (!sims.isEmpty())
            env << QStringLiteral("VELMOR_SERIAL_PORTS=") + sims;
        return RunProgram(QStringLiteral("v740ctl"), all, env);
    }
    QString Source(const QString& name, const QByteArray& bytes) {
        const QString path = source.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }
    QByteArray Data(const QString& name) const { return ReadBytes(QDir(data.path()).filePath(name)); }
    // Every file of the data folder with its content.
    QMap<QString, QByteArray> Snapshot() const {
        QMap<QString, QByteArray> files;
        for (const QString& f : QDir(data.path()).entryList(QDir::Files))
            files.insert(f, Data(f));
        return files;
    }
};

} // namespace

TEST(HeaderCli, ChangesAndShowsTheHeader) {
    HeaderCli cli;
    ProcessResult r = cli.Run({});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("line1\t\nline2\t\nline3\t\noption\t0\n"));

    const QString sixty = QStringLiteral("0123456789").repeated(6);
    r = cli.Run({QStringLiteral("--line1"), sixty, QStringLiteral("--line3"), QStringLiteral("K\u00f6ln"),
                 QStringLiteral("--option"), QStringLiteral("1"), QStringLiteral("--logo"),
                 cli.Source(QStringLiteral("l.bmp"), MakeBitmap(30, 10, 8)), QStringLiteral("--add-sign"),
                 cli.Source(QStringLiteral("Bert.bmp"), MakeBitmap(30, 10, 1)), QStringLiteral("--add-sign"),
                 cli.Source(QStringLiteral("Anna.bmp"), MakeBitmap(30, 10, 4))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("line 1 stored as its first 50 characters")));
    EXPECT_EQ(cli.Data(QStringLiteral("header.txt")),
              sixty.left(50).toLatin1() + "\r\n\r\nK\xf6ln\r\nsign=1\r\n");
    EXPECT_EQ(cli.Data(QStringLiteral("logo.bmp")), MakeBitmap(30, 10, 8));
    // The last signature added is the current one.
    EXPECT_EQ(CSettingsFile(cli.data.path()).Read().signBitmap, QStringLiteral("Anna"));

    r = cli.Run({QStringLiteral("--select-sign"), QStringLiteral("Bert")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = cli.Run({});
    EXPECT_EQ(r.out, QStringLiteral("line1\t%1\nline2\t\nline3\tK\u00f6ln\noption\t1\nsignature\tAnna\n"
                                    "signature\tBert\tcurrent\n")
                         .arg(sixty.left(50)));

    r = cli.Run({QStringLiteral("--delete-sign"), QStringLiteral("Anna")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(CPrintHeaderText::SignatureNames(cli.data.path()), QStringList{QStringLiteral("Bert")});
}

TEST(HeaderCli, RefusesBadInputAndChangesNothing) {
    HeaderCli cli;
    ASSERT_EQ(cli.Run({QStringLiteral("--line1"), QStringLiteral("Kept"), QStringLiteral("--logo"),
                       cli.Source(QStringLiteral("l.bmp"), MakeBitmap(8, 8, 8)), QStringLiteral("--add-sign"),
                       cli.Source(QStringLiteral("Anna.bmp"), MakeBitmap(8, 8, 1))})
                  .exitCode,
              0);
    const QMap<QString, QByteArray> before = cli.Snapshot();

    for (const QString& option : {QStringLiteral("5"), QStringLiteral("-1"), QStringLiteral("x")}) {
        const ProcessResult r = cli.Run(
            {QStringLiteral("--line1"), QStringLiteral("Changed"), QStringLiteral("--option"), option});
        EXPECT_EQ(r.exitCode, 2) << option.toStdString();
    }
    EXPECT_EQ(cli.Run({QStringLiteral("--bogus")}).exitCode, 2);

    const QByteArray eight = MakeBitmap(8, 8, 8);
    const struct {
        const char* file;
        QByteArray bytes;
    } bad[] = {{"deep.bmp", MakeBitmap(8, 8, 24)},
               {"cut.bmp", eight.left(eight.size() - 3)},
               {"png.bmp", PngBytes()}};
    for (const auto& b : bad) {
        const QString path = cli.Source(QString::fromLatin1(b.file), b.bytes);
        for (const char* opt : {"--logo", "--add-sign"}) {
            const ProcessResult r = cli.Run(
                {QStringLiteral("--line1"), QStringLiteral("Changed"), QString::fromLatin1(opt), path});
            EXPECT_EQ(r.exitCode, 1) << b.file << " " << opt;
            EXPECT_TRUE(r.err.contains(path)) << r.err.toStdString();
        }
    }
    // A character the code page lacks, a signature that is not there.
    EXPECT_EQ(cli.Run({QStringLiteral("--line2"), QStringLiteral("\u4e2d")}).exitCode, 1);
    EXPECT_EQ(cli.Run({QStringLiteral("--line2"), QStringLiteral("x"), QStringLiteral("--delete-sign"),
                       QStringLiteral("Nobody")})
                  .exitCode,
              1);
    EXPECT_EQ(cli.Run({QStringLiteral("--select-sign"), QStringLiteral("../Anna")}).exitCode, 1);
    EXPECT_EQ(cli.Snapshot(), before);
}

TEST(HeaderCli, SendsTheFilesInNameOrder) {
    CSimHarness sim;
    ASSERT_TRUE(sim.Started());
    HeaderCli cli;
    cli.sims = sim.Folder() + QStringLiteral("/none,") + sim.Port();
    const QByteArray zed = MakeBitmap(40, 12, 1, 5);
    ASSERT_EQ(cli.Run({QStringLiteral("--line1"), QStringLiteral("Firma"), QStringLiteral("--logo"),
                       cli.Source(QStringLiteral("l.bmp"), MakeBitmap(8, 8, 8)), QStringLiteral("--add-sign"),
                       cli.Source(QStringLiteral("zed.bmp"), zed), QStringLiteral("--add-sign"),
                       cli.Source(QStringLiteral("Adam.bmp"), MakeBitmap(9, 9, 4))})
                  .exitCode,
              0);
    const ProcessResult r = cli.Run({QStringLiteral("--send")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("sent\t\\%SYSTEM%\\header.txt\nsent\t\\%SYSTEM%\\logo.bmp\n"
                                    "sent\t\\%SYSTEM%\\Adam.sign\nsent\t\\%SYSTEM%\\zed.sign\n"));
    // The scan found the tester; its settings are kept for the next time.
    EXPECT_TRUE(r.err.contains(QStringLiteral("tester found on")));
    EXPECT_EQ(CSerialProfile::Read(cli.data.path()).port, sim.Port());
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\header.txt")),
              cli.Data(QStringLiteral("header.txt")));
    EXPECT_EQ(sim.SignatureBitmap(QStringLiteral("zed")), zed);
}
