#include "exchange/ExchangeFixture.h"
#include "exchange/ExportWorkflow.h"
#include "exchange/XmlFile.h"
#include "exchange/XmlSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ExportTest : public ExchangeFixture {
protected:
    void SetUp() override {
        ExchangeFixture::SetUp();
        drill = MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
        saw = MakeSpecification(QStringLiteral("Saw"), QStringLiteral("{S-SAW}"));
        saw.parts.clear();
        saw.master.partsUsed = 0;
        p1 = MakeProtocol(QStringLiteral("Dev 1"), QStringLiteral("ACME"), QStringLiteral("{G1}"),
                          QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"));
        p2 = MakeProtocol(QStringLiteral("Dev 2"), QStringLiteral("ACME"), QStringLiteral("{G2}"),
                          QStringLiteral("DRILL"), QStringLiteral("{S-DRILL}"));
        p3 = MakeProtocol(QStringLiteral("Dev 3"), QStringLiteral("Other"), QStringLiteral("{G3}"),
                          QStringLiteral("Saw"), QStringLiteral("{S-SAW}"));
        WriteDocument(Doc(QStringLiteral("PV.xml")), SpecificationDocument({drill, saw}));
        WriteDocument(Doc(QStringLiteral("GP.xml")), ProtocolDocument({p1, p2, p3}));
        ASSERT_TRUE(ImportAll(DocsDir(), true));
        ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = 0")));
        ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = 0")));
        ASSERT_TRUE(QDir().mkpath(OutDir()));
        notes.recorder.Clear();
    }
    QString OutDir() const { return dir.filePath(QStringLiteral("out")); }
    qint32 SpecId(const QString& name) {
        return Value(QStringLiteral("SELECT id FROM TypenTab WHERE Name = %1").arg(SqlLiteral(name))).toInt();
    }
    qint32 ProtocolId(const QString& guid) {
        return Value(QStringLiteral("SELECT id FROM GeraeteTab WHERE myGUID = %1").arg(SqlLiteral(guid)))
            .toInt();
    }
    bool Export(ExchangeKind kind, const QList<qint32>& ids, int target = ExportTarget::Folder,
                QString path = QString(), ExportCallbacks cb = {}) {
        CExportWorkflow w(DataDir());
        w.SetCallbacks(std::move(cb));
        const bool ok = w.Run(kind, target, path.isEmpty() ? OutDir() : path, ids);
        cancelled = w.WasCancelled();
        return ok;
    }
    static QByteArray Bytes(const QStringList& lines) {
        QByteArray out = CXmlSupport::ByteOrderMark();
        for (const QString& l : lines)
            out += l.toUtf8() + "\r\n";
        return out;
    }
    QStringList OutLines(const QString& file) {
        QString text = QString::fromUtf8(ReadFile(OutDir() + QLatin1Char('/') + file).mid(3));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    XmlSpecificationRecord drill, saw;
    XmlProtocolRecord p1, p2, p3;
    bool cancelled = false;
};

} // namespace

TEST_F(ExportTest, ProtocolsBringTheirSpecificationsOnceAndAreByteExact) {
    ExportCallbacks cb;
    QStringList statuses;
    std::vector<int> positions;
    int range = 0;
    cb.status = [&](const QString& s) { statuses << s; };
    cb.range = [&](int r) { range = r; };
    cb.position = [&](int p) { positions.push_back(p); };
    int finished = 0;
    cb.finished = [&](const WorkflowResult& r) { finished += r.ok ? 1 : 100; };
    ASSERT_TRUE(Export(ExchangeKind::Protocols, {ProtocolId("{G1}"), ProtocolId("{G2}")},
                       ExportTarget::Folder, QString(), cb));
    for (auto* r : {&drill}) {
        r->master.exportImport = 1;
    }
    for (auto* p : {&p1, &p2})
        p->master.exportImport = 1;
    EXPECT_EQ(ReadFile(OutDir() + QStringLiteral("/PV.xml")), Bytes(SpecificationDocument({drill})))
        << "names differing in case count as one specification";
    // The protocols name the specification as they stored it; the document carries its GUID.
    EXPECT_EQ(ReadFile(OutDir() + QStringLiteral("/GP.xml")), Bytes(ProtocolDocument({p1, p2})));
    EXPECT_EQ(statuses,
              QStringList({"Detecting corresponding test specifications...",
                           "Exporting test specification: Drill ...", "Exporting device protocol: Dev 1 ...",
                           "Exporting device protocol: Dev 2 ..."}));
    EXPECT_EQ(range, 2 + 1 + 1);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(positions, std::vector<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM GeraeteTab")),
              QStringLiteral("1,1,0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab")),
              QStringLiteral("1,0"));
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
}

TEST_F(ExportTest, ExportedMarkKeepsTheOtherBits) {
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = 2 WHERE Name = 'Drill'")));
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = 3 WHERE Name = 'Saw'")));
    ASSERT_TRUE(Export(ExchangeKind::Specifications, {SpecId("Saw"), SpecId("Drill")}));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab")),
              QStringLiteral("3,3"));
    const QStringList lines = OutLines(QStringLiteral("PV.xml"));
    EXPECT_TRUE(lines[4].contains(QLatin1String("Name=\"Saw\"")) &&
                lines[4].contains(QLatin1String("ExportImport=\"3\"")))
        << "records in the order of the ids";
}

TEST_F(ExportTest, GroupsFollowTheRows) {
    struct Case {
        const char* what;
        const char* sql;
        bool protocols;
        QStringList present;
        QStringList absent;
    };
    // Each case builds on the ones before it.
    const std::vector<Case> cases = {
        {"parts used with rows", "SELECT 1", false, {"   <AppliedParts>", "    <AppliedPart "}, {}},
        {"parts not used, rows kept", "UPDATE TypenTab SET PartsUsed = 0", false, {}, {"   <AppliedParts>"}},
        {"parts used, no rows",
         "UPDATE TypenTab SET PartsUsed = -1; DELETE FROM TypPartsTab",
         false,
         {"   <AppliedParts>", "   </AppliedParts>"},
         {"    <AppliedPart "}},
        {"no visual steps",
         "DELETE FROM TypSichtPrfTab",
         false,
         {"   <VisualSteps>", "   </VisualSteps>"},
         {"    <VisualStep "}},
        {"no functional steps",
         "DELETE FROM TypFktStepTab",
         false,
         {"   <TestSteps>"},
         {"   <FunctionalSteps>"}},
        {"no test steps", "DELETE FROM TypTestStepTab", false, {"  </Specification>"}, {"   <TestSteps>"}},
        {"no visual results",
         "DELETE FROM GeraetSichtProtTab",
         true,
         {"   <VisualRefs>", "   </VisualRefs>"},
         {"    <VisualRef "}},
        {"no functional results",
         "DELETE FROM GeraetFktProtTab",
         true,
         {"   <TestRefs>"},
         {"   <FunctionalRefs>"}},
        {"no test results", "DELETE FROM GeraetProtTab", true, {"  </Protocol>"}, {"   <TestRefs>"}},
    };
    for (const Case& c : cases) {
        for (const QString& sql : QString::fromUtf8(c.sql).split(QLatin1Char(';')))
            ASSERT_TRUE(db.Execute(sql));
        const bool ok = c.protocols ? Export(ExchangeKind::Protocols, {ProtocolId("{G1}")})
                                    : Export(ExchangeKind::Specifications, {SpecId("Drill")});
        ASSERT_TRUE(ok) << c.what << notes.recorder.Last().toStdString();
        const QStringList lines = OutLines(c.protocols ? QStringLiteral("GP.xml") : QStringLiteral("PV.xml"));
        for (const QString& l : c.present)
            EXPECT_TRUE(lines.contains(l) || std::any_of(lines.begin(), lines.end(),
                                                         [&](const QString& x) { return x.startsWith(l); }))
                << c.what << ": " << l.toStdString();
        for (const QString& l : c.absent)
            EXPECT_FALSE(
                std::any_of(lines.begin(), lines.end(), [&](const QString& x) { return x.startsWith(l); }))
                << c.what << ": " << l.toStdString();
        CXmlSupport reader;
        EXPECT_TRUE(
            reader.Load(OutDir() + (c.protocols ? QStringLiteral("/GP.xml") : QStringLiteral("/PV.xml"))))
            << c.what;
        // Empty groups are no failure, and the next run needs the files gone.
        for (const QString& f : CExportWorkflow::ExchangeFiles(OutDir()))
            QFile::remove(f);
    }
}

TEST_F(ExportTest, CancelAfterTheFirstRecordLeavesAWellFormedDocument) {
    ASSERT_TRUE(db.Execute(
        QStringLiteral("INSERT INTO TypenTab (Name, myGUID, PartsUsed, ExportImport, CreateDate) VALUES "
                       "('Third', '{T}', 0, 0, '2020-01-02 03:04:05')")));
    int written = 0;
    ExportCallbacks cb;
    cb.recordWritten = [&] { ++written; };
    cb.cancelled = [&] { return written >= 1; };
    ASSERT_TRUE(Export(ExchangeKind::Specifications, {SpecId("Drill"), SpecId("Saw"), SpecId("Third")},
                       ExportTarget::Folder, QString(), cb));
    EXPECT_TRUE(cancelled);
    CXmlSupport reader;
    ASSERT_TRUE(reader.Load(OutDir() + QStringLiteral("/PV.xml")));
    ASSERT_TRUE(reader.SelectNodes(QStringLiteral("/Tables/Specifications/Specification")));
    EXPECT_EQ(reader.NodeCount(), 1);
    EXPECT_EQ(OutLines(QStringLiteral("PV.xml")).last(), QStringLiteral("</Tables>"));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab")),
              QStringLiteral("1,0,0"))
        << "the records written so far stay marked";

    // A cancel after the specifications of a protocol export skips GP.xml and commits.
    written = 0;
    notes.recorder.answer = CNotifier::Answer::Ok;
    ASSERT_TRUE(Export(ExchangeKind::Protocols, {ProtocolId("{G1}")}, ExportTarget::Folder, QString(), cb));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(QFile::exists(OutDir() + QStringLiteral("/PV.xml")));
    EXPECT_FALSE(QFile::exists(OutDir() + QStringLiteral("/GP.xml")));
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM GeraeteTab")),
              QStringLiteral("0,0,0"));
}

TEST_F(ExportTest, FailedExportLeavesNoFileAndNoMarks) {
    struct Case {
        const char* what;
        ExchangeKind kind;
        std::function<QList<qint32>()> ids;
        const char* sql;
        QString message;
        QString folder;
    };
    const QString missing = dir.filePath(QStringLiteral("no/such/folder"));
    const std::vector<Case> cases = {
        {"second specification missing",
         ExchangeKind::Specifications,
         [&] {
             return QList<qint32>{SpecId("Drill"), 99999};
         },
         "SELECT 1",
         "Could not found test data record!",
         {}},
        {"specification of a protocol missing",
         ExchangeKind::Protocols,
         [&] {
             return QList<qint32>{ProtocolId("{G1}"), ProtocolId("{G3}")};
         },
         "DELETE FROM TypenTab WHERE Name = 'Saw'",
         "Could not read test data record!\nSaw",
         {}},
        {"a line over the limit",
         ExchangeKind::Protocols,
         [&] {
             return QList<qint32>{ProtocolId("{G1}"), ProtocolId("{G2}")};
         },
         "UPDATE GeraeteTab SET Comment = replace(hex(zeroblob(300)), '0', '\"') WHERE myGUID = '{G2}'",
         "Could not read test data record!",
         {}},
        {"an unreadable column",
         ExchangeKind::Specifications,
         [&] { return QList<qint32>{SpecId("Drill")}; },
         "UPDATE TypenTab SET ClassID = 'many'",
         "Could not read test data record!",
         {}},
        {"target folder missing", ExchangeKind::Specifications,
         [&] { return QList<qint32>{SpecId("Drill")}; }, "SELECT 1",
         "Drive: All or part of the path is invalid!", missing},
    };
    for (const Case& c : cases) {
        notes.recorder.Clear();
        const QList<qint32> ids = c.ids();
        ASSERT_TRUE(db.Execute(QLatin1String(c.sql)));
        const QString counts = TableCounts();
        const QString marks = Value(QStringLiteral("SELECT group_concat(ExportImport) FROM GeraeteTab")) +
                              "/" + Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab"));
        EXPECT_FALSE(Export(c.kind, ids, ExportTarget::Folder, c.folder)) << c.what;
        EXPECT_TRUE(CExportWorkflow::ExchangeFiles(OutDir()).isEmpty()) << c.what;
        EXPECT_EQ(TableCounts(), counts) << c.what;
        EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM GeraeteTab")) + "/" +
                      Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab")),
                  marks)
            << c.what;
        ASSERT_FALSE(notes.recorder.messages.isEmpty()) << c.what;
        EXPECT_TRUE(notes.recorder.Last().startsWith(c.message))
            << c.what << ": " << notes.recorder.Last().toStdString();
    }
}

TEST_F(ExportTest, OverwriteQuestionAndFolderCreationOnADrive) {
    const QString root = dir.filePath(QStringLiteral("usb")) + QLatin1Char('/');
    const QString xmlData = root + QStringLiteral("XmlData");
    // No XmlData yet: it is made, no question.
    ASSERT_TRUE(QDir().mkpath(root));
    ASSERT_TRUE(Export(ExchangeKind::Specifications, {SpecId("Drill")}, ExportTarget::Drive, root));
    EXPECT_TRUE(QFile::exists(xmlData + QStringLiteral("/PV.xml")));
    EXPECT_TRUE(notes.recorder.messages.isEmpty());

    const auto touch = [&](const QString& name) {
        QFile f(xmlData + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    };
    touch(QStringLiteral("OLD.XML"));
    touch(QStringLiteral("notes.txt"));

    // Cancel: nothing changes.
    notes.recorder.answer = CNotifier::Answer::Cancel;
    const QString marks = Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab"));
    EXPECT_FALSE(Export(ExchangeKind::Specifications, {SpecId("Saw")}, ExportTarget::Drive, root));
    ASSERT_EQ(notes.recorder.captions.size(), 1);
    EXPECT_EQ(notes.recorder.captions[0], QStringLiteral("Confirm overwriting"));
    EXPECT_EQ(
        notes.recorder.messages[0],
        QStringLiteral("Test datas already exist on this drive. If you continue existing test data will be "
                       "overwritten!"));
    EXPECT_EQ(CExportWorkflow::ExchangeFiles(xmlData).size(), 2);
    EXPECT_EQ(Value(QStringLiteral("SELECT group_concat(ExportImport) FROM TypenTab")), marks);

    // OK, then a failure: the old files are gone all the same, and no new one stays.
    notes.recorder.answer = CNotifier::Answer::Ok;
    EXPECT_FALSE(Export(ExchangeKind::Specifications, {99999}, ExportTarget::Drive, root));
    EXPECT_TRUE(CExportWorkflow::ExchangeFiles(xmlData).isEmpty());
    EXPECT_TRUE(QFile::exists(xmlData + QStringLiteral("/notes.txt")));

    // A drive root where no folder can be made.
    notes.recorder.Clear();
    const QString fileRoot = dir.filePath(QStringLiteral("plainfile"));
    QFile plain(fileRoot);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(Export(ExchangeKind::Specifications, {SpecId("Saw")}, ExportTarget::Drive, fileRoot));
    EXPECT_EQ(notes.recorder.Last(),
              QStringLiteral("Drive: Could not create folder %1!").arg(fileRoot + "/XmlData"));
}

TEST(XmlFileTest, ErrnoMapsToTheFileErrorCause) {
    struct Case {
        int error;
        int cause;
        const char* text;
    } const cases[] = {
        {ENOENT, 3, "Drive: All or part of the path is invalid!"},
        {ENOTDIR, 3, "Drive: All or part of the path is invalid!"},
        {EACCES, 5, "Drive: The file could not be accessed!"},
        {EROFS, 5, "Drive: The file could not be accessed!"},
        {ENOSPC, 13, "Drive: The disk is full!"},
        {EDQUOT, 13, "Drive: The disk is full!"},
        {EMFILE, 4, "Drive: Error 4!"},
        {EIO, 1, "Drive: An unspecified error occurred!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CXmlFile::CauseOfErrno(c.error), c.cause) << c.error;
        EXPECT_EQ(CXmlExport::FileErrorText(c.cause, {}), QLatin1String(c.text));
    }
    for (const auto& [cause, text] :
         std::vector<std::pair<int, const char*>>{{2, "Drive: The file could not be located!"},
                                                  {8, "Drive: There are no more directory entries!"},
                                                  {14, "Drive: The end of file was reached!"},
                                                  {99, "Drive: Error 99!"}})
        EXPECT_EQ(CXmlExport::FileErrorText(cause, {}), QLatin1String(text));
    // A catalogue text wins over the fallback; its placeholder is filled safely.
    const TextLookup lookup = [](qint32 id) {
        return id == 50053 ? QStringLiteral("Laufwerk: Fehler %d!") : QString();
    };
    EXPECT_EQ(CXmlExport::FileErrorText(7, lookup), QStringLiteral("Laufwerk: Fehler 7!"));

    // A disk that is full: /dev/full accepts the open and fails the write.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        CXmlFile f;
        ASSERT_TRUE(f.Create(QStringLiteral("/dev/full")));
        EXPECT_TRUE(f.WriteLine(QStringLiteral("<Tables>")));
        EXPECT_FALSE(f.Close());
        EXPECT_EQ(f.GetCause(), CXmlFile::DiskFull);
    }
}

// Another program holding the database is told as such, not as a record that cannot be read.
TEST_F(ExportTest, ADatabaseHeldByAnotherWriterIsNamedAsTheCause) {
    qputenv("VELMOR_DB_BUSY_TIMEOUT_MS", "100");
    struct Case {
        const char* what;
        const char* lock;
        ExchangeKind kind;
    };
    const Case cases[] = {
        {"a writer holds the write lock: marking waits in vain", "BEGIN IMMEDIATE",
         ExchangeKind::Specifications},
        {"a writer commits: even reading waits in vain", "BEGIN EXCLUSIVE", ExchangeKind::Protocols},
    };
    for (const Case& c : cases) {
        notes.recorder.Clear();
        const QList<qint32> ids = c.kind == ExchangeKind::Specifications ? QList<qint32>{SpecId("Drill")}
                                                                         : QList<qint32>{ProtocolId("{G1}")};
        CAdoDatabase holder;
        ASSERT_TRUE(holder.Open(DataDir(), QStringLiteral("user2.db")));
        ASSERT_TRUE(holder.Execute(QLatin1String(c.lock)));
        EXPECT_FALSE(Export(c.kind, ids)) << c.what;
        holder.Execute(QStringLiteral("ROLLBACK"));
        ASSERT_FALSE(notes.recorder.messages.isEmpty()) << c.what;
        EXPECT_TRUE(
            notes.recorder.Last().startsWith(QStringLiteral("Database error: the database is in use")))
            << c.what << ": " << notes.recorder.messages.join(QStringLiteral(" | ")).toStdString();
    }
    qunsetenv("VELMOR_DB_BUSY_TIMEOUT_MS");
}

// A data folder the user may not write: the export says so instead of blaming the record.
TEST_F(ExportTest, AReadOnlyDataFolderIsNamedAsTheCause) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the export as a user without write rights";
    db.Execute(QStringLiteral("SELECT 1"));
    const QString out = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkpath(out));
    // Everyone may pass and read; only the output folder and the database file are writable.
    for (const QString& p : {dir.path(), DataDir(), out})
        ::chmod(QFile::encodeName(p).constData(), p == out ? 0777 : 0755);
    ::chmod(QFile::encodeName(DataDir() + QStringLiteral("/user2.db")).constData(), 0666);
    QProcess p;
    p.start(QStringLiteral("setpriv"),
            {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
             QStringLiteral("--clear-groups"), BinPath(QStringLiteral("v740ctl")), QStringLiteral("--lang"),
             QStringLiteral("English"), QStringLiteral("--data"), DataDir(), QStringLiteral("export"),
             QStringLiteral("--target"), QStringLiteral("folder"), QStringLiteral("--path"), out,
             QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"),
             QString::number(SpecId(QStringLiteral("Drill")))});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QLatin1String("data folder is write-protected"))) << err.toStdString();
    EXPECT_FALSE(err.contains(QLatin1String("Could not read test data record"))) << err.toStdString();
    EXPECT_EQ(Value(QStringLiteral("SELECT ExportImport FROM TypenTab WHERE Name = 'Drill'")),
              QStringLiteral("0"));
}
