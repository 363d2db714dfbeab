// v740ctl import and export on real folders.
#include "exchange/ExchangeFixture.h"
#include "platform/DataFolderLock.h"
#include "platform/LocaleFormat.h"
#include "store/UserSchema.h"

#include <QRegularExpression>
#include <chrono>
#include <thread>

namespace {

class CliTest : public ExchangeFixture {
protected:
    void SetUp() override {
        ExchangeFixture::SetUp();
        auto drill = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
        auto saw = MakeSpecification(QStringLiteral("Saw's"), QStringLiteral("{S-SAW}"));
        saw.master.standardId = 999999; // a TextID the catalogue does not have
        auto p1 = MakeProtocol(QStringLiteral("Dev 1"), QStringLiteral("ACME"), QStringLiteral("{G1}"),
                               QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
        auto p2 = MakeProtocol(QStringLiteral("Dev 2"), QStringLiteral("Other"), QStringLiteral("{G2}"),
                               QStringLiteral("Saw's"), QStringLiteral("{S-SAW}"),
                               QStringLiteral("31.12.1999"), QStringLiteral("23:59:59"));
        p2.master.comment = QStringLiteral("\"quoted\" & <tagged>");
        auto hidden = MakeProtocol(QStringLiteral("Dev 3"), QStringLiteral("ACME"), QStringLiteral("{G3}"),
                                   QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
        hidden.master.testResultId = 30803;
        usb = dir.filePath(QStringLiteral("usb"));
        ASSERT_TRUE(QDir().mkpath(usb + QStringLiteral("/XmlData")));
        WriteDocument(usb + QStringLiteral("/XmlData/PV.xml"), SpecificationDocument({drill, saw}));
        WriteDocument(usb + QStringLiteral("/XmlData/GP.xml"), ProtocolDocument({p1, p2, hidden}));
    }
    ProcessResult Ctl(QStringList args, const QString& data = QString()) {
        args.prepend(data.isEmpty() ? DataDir() : data);
        args.prepend(QStringLiteral("--data"));
        args.prepend(QStringLiteral("English"));
        args.prepend(QStringLiteral("--lang"));
        return RunProgram(QStringLiteral("v740ctl"), args);
    }
    QString usb;
};

QString Masked(const QByteArray& document) {
    static const QRegularExpression mark(QStringLiteral(" ExportImport=\"\\d+\""));
    return QString::fromUtf8(document).replace(mark, QString());
}

} // namespace

TEST_F(CliTest, PreviewPrintsOneRowPerEntry) {
    const ProcessResult specs = Ctl({"import", "--source", "drive", "--path", usb, "--kind", "specs"});
    ASSERT_EQ(specs.exitCode, 0) << specs.err.toStdString();
    const QStringList rows = specs.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    const QString created = LocaleFormat::ShortDate(QDate(2009, 3, 5));
    const QStringList drill = rows[0].split(QLatin1Char('\t'));
    ASSERT_EQ(drill.size(), 5) << "four columns and the key that --select takes";
    EXPECT_EQ(drill[0], QStringLiteral("Drill"));
    EXPECT_EQ(drill[1], QStringLiteral("Hand drill"));
    EXPECT_FALSE(drill[2].isEmpty());
    EXPECT_EQ(drill[3], created);
    EXPECT_EQ(drill[4], QStringLiteral("Drill"));
    EXPECT_EQ(rows[1], QStringLiteral("Saw's\tHand drill\t999999\t%1\tSaw's").arg(created))
        << "a TextID without text is shown as its number";

    const ProcessResult protocols =
        Ctl({"import", "--source", "folder", "--path", usb + "/XmlData", "--kind", "protocols"});
    ASSERT_EQ(protocols.exitCode, 0) << protocols.err.toStdString();
    const QStringList prows = protocols.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(prows.size(), 2) << "the protocol with the third result is left out";
    const QStringList dev2 = prows[1].split(QLatin1Char('\t'));
    ASSERT_EQ(dev2.size(), 6);
    EXPECT_EQ(dev2[0], QStringLiteral("Dev 2"));
    EXPECT_EQ(dev2[2], QStringLiteral("Desc"));
    EXPECT_EQ(dev2[3], QStringLiteral("Other"));
    EXPECT_EQ(dev2[4], LocaleFormat::ShortDate(QDate(1999, 12, 31)));
    EXPECT_EQ(dev2[5], QStringLiteral("{G2}"));
    EXPECT_FALSE(protocols.err.isEmpty()) << "the left-out protocols are mentioned";
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), 0) << "a preview writes nothing";
}

TEST_F(CliTest, ImportSelectedAndAll) {
    ProcessResult r =
        Ctl({"import", "--source", "drive", "--path", usb, "--kind", "protocols", "--select", "{g2}"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(Device) FROM GeraeteTab")), QStringLiteral("Dev 2"));
    EXPECT_EQ(Value(QStringLiteral("SELECT Comment FROM GeraeteTab")),
              QStringLiteral("\"quoted\" & <tagged>"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(Name) FROM TypenTab")), QStringLiteral("Saw's"));

    // A name in another case meets the same record in the import, so it picks the row.
    r = Ctl({"import", "--source", "drive", "--path", usb, "--kind", "specs", "--select", "DRILL"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("test specifications: 1 inserted, 0 updated\n"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypenTab WHERE Name = 'Drill'")), 1);

    r = Ctl({"import", "--source", "drive", "--path", usb, "--kind", "specs", "--all"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("0 inserted, 2 updated"))) << r.out.toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypenTab")), 2);

    r = Ctl({"import", "--source", "drive", "--path", usb, "--kind", "protocols", "--select", "{G9}"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("{G9}")));
}

TEST_F(CliTest, ImportFailuresExitWithTheMessage) {
    struct Case {
        const char* what;
        QStringList args;
        int exit;
        QString stderrHas;
    };
    // A spec document that is cut off in the middle.
    const QString broken = dir.filePath(QStringLiteral("broken"));
    ASSERT_TRUE(QDir().mkpath(broken));
    QByteArray pv = ReadFile(usb + QStringLiteral("/XmlData/PV.xml"));
    QFile f(broken + QStringLiteral("/PV.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(pv.left(pv.size() / 2));
    f.close();
    ASSERT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, myGUID) VALUES ('Drill', '{OTHER}')")));
    const std::vector<Case> cases = {
        {"truncated document",
         {"import", "--source", "folder", "--path", broken, "--kind", "specs"},
         1,
         broken + QStringLiteral("/PV.xml")},
        {"no documents",
         {"import", "--source", "drive", "--path", broken, "--kind", "specs"},
         1,
         broken + QStringLiteral("/XmlData/PV.xml")},
        {"refused specification",
         {"import", "--source", "drive", "--path", usb, "--kind", "specs", "--all"},
         1,
         QStringLiteral("Drill")},
        {"unknown source",
         {"import", "--source", "floppy", "--path", usb, "--kind", "specs"},
         2,
         QStringLiteral("drive|folder")},
        {"no path", {"import", "--source", "folder", "--kind", "specs"}, 2, QStringLiteral("--path")},
        {"bad kind",
         {"import", "--source", "folder", "--path", usb, "--kind", "all"},
         2,
         QStringLiteral("--kind")},
    };
    const QString before = TableCounts();
    for (const Case& c : cases) {
        const ProcessResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.stderrHas)) << c.what << ": " << r.err.toStdString();
    }
    EXPECT_EQ(TableCounts(), before);
}

TEST_F(CliTest, ExportAnswersTheOverwriteQuestionAndRoundTrips) {
    ASSERT_EQ(Ctl({"import", "--source", "drive", "--path", usb, "--kind", "protocols", "--all"}).exitCode,
              0);
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = 0")));
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = 0")));
    const QString ids =
        Value(QStringLiteral("SELECT group_concat(id) FROM (SELECT id FROM GeraeteTab ORDER BY id)"));

    const QString stick = dir.filePath(QStringLiteral("stick"));
    ASSERT_TRUE(QDir().mkpath(stick));
    ProcessResult r =
        Ctl({"export", "--target", "drive", "--path", stick, "--kind", "protocols", "--ids", ids});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray gp = ReadFile(stick + QStringLiteral("/XmlData/GP.xml"));
    const QByteArray pv = ReadFile(stick + QStringLiteral("/XmlData/PV.xml"));
    ASSERT_FALSE(gp.isEmpty());
    ASSERT_FALSE(pv.isEmpty());

    // The files are there now: without --overwrite nothing is touched.
    r = Ctl({"export", "--target", "drive", "--path", stick, "--kind", "specs", "--ids", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("Confirm overwriting"))) << r.err.toStdString();
    EXPECT_EQ(ReadFile(stick + QStringLiteral("/XmlData/GP.xml")), gp);

    // Round trip through an empty database.
    const QString data2 = dir.filePath(QStringLiteral("data2"));
    ASSERT_EQ(RunProgram(QStringLiteral("v740ctl"), {"--data", data2, "init"}).exitCode, 0);
    r = Ctl({"import", "--source", "drive", "--path", stick, "--kind", "protocols", "--all"}, data2);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    r = Ctl({"export", "--target", "folder", "--path", out, "--kind", "protocols", "--ids", "1,2"}, data2);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Masked(ReadFile(out + QStringLiteral("/GP.xml"))), Masked(gp));
    EXPECT_EQ(Masked(ReadFile(out + QStringLiteral("/PV.xml"))), Masked(pv));
    EXPECT_NE(ReadFile(out + QStringLiteral("/GP.xml")), gp);

    // Replacing: --overwrite answers OK.
    r = Ctl({"export", "--target", "folder", "--path", out, "--kind", "specs", "--ids", "1", "--overwrite"},
            data2);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/GP.xml")));
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/PV.xml")));

    // Failures: exit 1, the message on standard error, no file left.
    r = Ctl(
        {"export", "--target", "folder", "--path", out, "--kind", "specs", "--ids", "1,77", "--overwrite"},
        data2);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("Could not found test data record!"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/PV.xml")));
    for (const QStringList& bad :
         {QStringList{"export", "--target", "cloud", "--path", out, "--kind", "specs", "--ids", "1"},
          QStringList{"export", "--target", "folder", "--path", out, "--kind", "specs", "--ids", "x"},
          QStringList{"export", "--target", "folder", "--kind", "specs", "--ids", "1"}})
        EXPECT_EQ(Ctl(bad, data2).exitCode, 2) << bad.join(' ').toStdString();
}

TEST_F(CliTest, CsvExportWritesOneLinePerFileAndKeepsAnExistingCsvData) {
    ASSERT_EQ(Ctl({"import", "--source", "drive", "--path", usb, "--kind", "protocols", "--all"}).exitCode,
              0);
    const QString stick = dir.filePath(QStringLiteral("stick 'Ö'"));
    ASSERT_TRUE(QDir().mkpath(stick));
    const struct {
        QStringList args;
        int exit;
    } refused[] = {
        {{"--path", stick, "--kind", "specs"}, 2},
        {{"--path", stick, "--kind", "tools"}, 2},
        {{"--path", stick, "--ids", "x"}, 2},
        {{"--path", dir.filePath(QStringLiteral("no stick"))}, 1},
    };
    for (const auto& r : refused) {
        QStringList args{"export", "--target", "csv", "--ids", "1,2"};
        args << r.args;
        const ProcessResult result = Ctl(args);
        EXPECT_EQ(result.exitCode, r.exit) << r.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(QFileInfo::exists(stick + QStringLiteral("/CsvData")));
    }
    // No --kind, and no trailing "/" on the drive root.
    const ProcessResult first = Ctl({"export", "--target", "csv", "--path", stick, "--ids", "1,2"});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const QStringList files = first.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(files.size(), 2);
    for (const QString& file : files) {
        EXPECT_TRUE(file.startsWith(stick + QStringLiteral("/CsvData/"))) << file.toStdString();
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    }
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab WHERE (ExportImport & 2) = 2")), 2);
    const QByteArray before = ReadFile(files[0]);
    // CsvData exists now: without --overwrite nothing is written.
    QFile::remove(files[1]);
    const ProcessResult again = Ctl({"export", "--target", "csv", "--path", stick + "/", "--ids", "2"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(files[1]));
    const ProcessResult overwrite = Ctl(
        {"export", "--target", "csv", "--path", stick, "--kind", "protocols", "--ids", "2", "--overwrite"});
    EXPECT_EQ(overwrite.exitCode, 0) << overwrite.err.toStdString();
    EXPECT_EQ(overwrite.out.trimmed(), files[1]);
    EXPECT_EQ(ReadFile(files[0]), before);
}

// A writer does not work under the program or another writer: it waits for the folder's
// lock up to the busy time-out, then refuses and names the holder, with nothing written.
// Either lock counts, the shared folder's and the local folder's alike.
TEST_F(CliTest, ImportWaitsForTheDataFolderLockThenRefusesNamingTheHolder) {
    const QStringList import{QStringLiteral("--lang"),
                             QStringLiteral("English"),
                             QStringLiteral("--data"),
                             DataDir(),
                             QStringLiteral("import"),
                             QStringLiteral("--source"),
                             QStringLiteral("drive"),
                             QStringLiteral("--path"),
                             usb,
                             QStringLiteral("--kind"),
                             QStringLiteral("specs"),
                             QStringLiteral("--all")};
    const QStringList shortWait{QStringLiteral("VELMOR_DB_BUSY_TIMEOUT_MS=300")};
    for (const QString& name : {CDataFolderLock::SharedLockName(), CDataFolderLock::LocalLockName()}) {
        SCOPED_TRACE(name.toStdString());
        CLockFile held;
        ASSERT_EQ(held.Acquire(DataDir() + QLatin1Char('/') + name, QStringLiteral("Technician Two")),
                  CLockFile::Result::Locked);
        const ProcessResult r = RunProgram(QStringLiteral("v740ctl"), import, shortWait);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QLatin1String("Technician Two"))) << r.err.toStdString();
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypenTab")), 0);
    }

    // Let go while the writer waits: it goes on and imports.
    CLockFile held;
    ASSERT_EQ(
        held.Acquire(DataDir() + QLatin1Char('/') + CDataFolderLock::LocalLockName(), QStringLiteral("V740")),
        CLockFile::Result::Locked);
    std::thread releaser([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        held.Release();
    });
    const ProcessResult r =
        RunProgram(QStringLiteral("v740ctl"), import, {QStringLiteral("VELMOR_DB_BUSY_TIMEOUT_MS=20000")});
    releaser.join();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM TypenTab")), 2);

    // Readers are not held up.
    ASSERT_EQ(
        held.Acquire(DataDir() + QLatin1Char('/') + CDataFolderLock::LocalLockName(), QStringLiteral("V740")),
        CLockFile::Result::Locked);
    const ProcessResult show =
        RunProgram(QStringLiteral("v740ctl"),
                   {QStringLiteral("--data"), DataDir(), QStringLiteral("show"), QStringLiteral("--kind"),
                    QStringLiteral("specs"), QStringLiteral("--id"), QStringLiteral("1")},
                   shortWait);
    EXPECT_EQ(show.exitCode, 0) << show.err.toStdString();
}
