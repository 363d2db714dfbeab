// The import dialog and the export dialog as a user drives them: sources and their
// checks, previews, marks, imports against folders and v740sim, targets, free space,
// drives that come and go, the overwrite question and the failure path back to idle.
#include "exchange/CsvExport.h"
#include "exchange/ExchangeFixture.h"
#include "exchange/ExportWorkflow.h"
#include "exchange/ui/DriveSpace.h"
#include "exchange/ui/ExportDlg.h"
#include "exchange/ui/ImportV740.h"
#include "link/LinkErrors.h"
#include "link/SimHarness.h"
#include "platform/RemovableDrives.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <unistd.h>

namespace {

// Drives as a test wants them: a list and, per root, a free space (else the real one).
class CListedDrives : public CRemovableDrives {
public:
    QStringList Drives() const override { return drives; }
    bool FreeSpace(const QString& path, quint64& bytes) const override {
        if (free.contains(path)) {
            bytes = free.value(path);
            return true;
        }
        return CRemovableDrives::FreeSpace(path, bytes);
    }
    QByteArray Signature() const override { return drives.join(QLatin1Char('\n')).toUtf8(); }
    QStringList drives;
    QHash<QString, quint64> free;
};

template <typename T> T* Child(QWidget& w, const char* name) {
    T* child = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

bool WaitFor(const std::function<bool()>& done, int ms = 30000) {
    return QTest::qWaitFor(done, ms);
}

class DialogTest : public ExchangeFixture {
protected:
    void SetUp() override {
        ExchangeFixture::SetUp();
        ASSERT_TRUE(texts.Open(QStringLiteral(V740_BIN_DIR)));
        previous = SetRemovableDrives(&drives);
    }
    void TearDown() override {
        SetRemovableDrives(previous);
        DriveSpace::SetFolderChooser({});
    }
    TextLookup Lookup() {
        return [this](qint32 id) { return texts.Text(id, QStringLiteral("English")); };
    }
    QString En(qint32 id) { return texts.Text(id, QStringLiteral("English")); }
    ImportDialogSetup ImportSetup(int source, const QString& path, bool specifications = true) {
        ImportDialogSetup s;
        s.dataFolder = DataDir();
        s.lookup = Lookup();
        s.source = source;
        s.specifications = specifications;
        (source == ImportSource::Drive ? s.drive : s.folder) = path;
        return s;
    }
    ExportDialogSetup ExportSetup(ExchangeKind kind, int target, const QList<qint32>& ids) {
        ExportDialogSetup s;
        s.kind = kind;
        s.target = target;
        s.ids = ids;
        s.dataFolder = DataDir();
        s.language = QStringLiteral("English");
        s.lastFolder = DocsDir();
        return s;
    }
    // A folder with the exchange documents of one specification and the protocols given.
    QString Documents(const QString& name, bool pv, const std::vector<XmlProtocolRecord>& protocols) {
        const QString folder = dir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        if (pv)
            WriteDocument(folder + QStringLiteral("/PV.xml"),
                          SpecificationDocument({MakeSpecification(QStringLiteral("Drill"), kSpecGuid)}));
        if (!protocols.empty())
            WriteDocument(folder + QStringLiteral("/GP.xml"), ProtocolDocument(protocols));
        return folder;
    }
    std::vector<XmlProtocolRecord> Protocols(int n, const QString& spec = QStringLiteral("Drill")) {
        std::vector<XmlProtocolRecord> list;
        for (int i = 1; i <= n; ++i)
            list.push_back(MakeProtocol(QStringLiteral("Device %1").arg(i), QStringLiteral("Client"),
                                        QStringLiteral("{0000000%1-0000-0000-0000-000000000001}").arg(i),
                                        spec, kSpecGuid));
        return list;
    }
    void Click(QWidget& w, const char* name) {
        auto* button = Child<QAbstractButton>(w, name);
        ASSERT_TRUE(button && button->isEnabled() && button->isVisibleTo(&w)) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    bool Enabled(QWidget& w, const char* name) { return Child<QWidget>(w, name)->isEnabled(); }

    const QString kSpecGuid = QStringLiteral("{5PEC0000-0000-0000-0000-000000000001}");
    CTextCatalog texts;
    CListedDrives drives;
    CRemovableDrives* previous = nullptr;
};

} // namespace

TEST_F(DialogTest, FreeSpaceInKilobytesUpToEightMegabytesThenInMegabytes) {
    const struct {
        quint64 bytes;
        const char* text;
    } cases[] = {
        {0, "0 KB free disk space"},
        {1023, "0 KB free disk space"},
        {8388608, "8.192 KB free disk space"},
        {8388609, "8 MB free disk space"},
        {5368709120ull, "5.120 MB free disk space"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DriveSpace::Text(c.bytes, {}), QString::fromUtf8(c.text)) << c.bytes;
}

TEST_F(DialogTest, ImportPathCheckDecidesTheKindsAPathOffers) {
    const struct {
        const char* folder;
        bool pv;
        int protocols;
        bool startWithProtocols;
        bool preview, specButton, protocolButton, endsWithSpecifications;
        qint32 statusTail;
    } cases[] = {
        // GP.xml alone offers nothing, and the kind falls back to test specifications.
        {"GP only", false, 2, true, false, false, false, true, 50177},
        {"PV only", true, 0, true, true, true, false, true, 50176},
        {"Ordner \"Prüfung\" mit Ölpumpe", true, 2, true, true, true, true, false, 50176},
        {"nothing", false, 0, false, false, false, false, true, 50177},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const QString folder = Documents(QString::fromUtf8(c.folder), c.pv, Protocols(c.protocols));
        CImportV740 dlg(ImportSetup(ImportSource::Folder, folder, !c.startWithProtocols));
        dlg.show();
        EXPECT_EQ(Enabled(dlg, "preview"), c.preview);
        EXPECT_EQ(Enabled(dlg, "kindSpecifications"), c.specButton);
        EXPECT_EQ(Enabled(dlg, "kindProtocols"), c.protocolButton);
        EXPECT_EQ(dlg.Setup().specifications, c.endsWithSpecifications);
        EXPECT_EQ(Child<QRadioButton>(dlg, "kindSpecifications")->isChecked(), c.endsWithSpecifications);
        EXPECT_TRUE(Child<QLabel>(dlg, "status")->text().endsWith(En(c.statusTail)));
        EXPECT_TRUE(Child<QLabel>(dlg, "status")->text().contains(QLatin1String("free disk space")));
        EXPECT_FALSE(Child<QWidget>(dlg, "drives")->isVisibleTo(&dlg));
        EXPECT_TRUE(Child<QWidget>(dlg, "chooseFolder")->isVisibleTo(&dlg));
        EXPECT_EQ(Child<QLabel>(dlg, "picture")->property("bitmap").toString(),
                  QStringLiteral("IDB_IMPORT_FOLDER"));
        EXPECT_EQ(dlg.Setup().folder, folder);
    }
    CImportV740 dlg(ImportSetup(ImportSource::Folder, dir.filePath(QStringLiteral("missing"))));
    EXPECT_EQ(Child<QLabel>(dlg, "status")->text(), En(50040));
    EXPECT_FALSE(Enabled(dlg, "preview"));
}

TEST_F(DialogTest, ImportFromAFolderWithSpacesQuotesAndUmlauts) {
    const QString folder = Documents(QStringLiteral("Prüf \"daten\" 'A'"), true, Protocols(3));
    CImportV740 dlg(ImportSetup(ImportSource::Folder, folder, false));
    dlg.show();
    Click(dlg, "preview");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    auto* list = Child<QTreeWidget>(dlg, "list");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->columnCount(), 5);
    EXPECT_EQ(list->headerItem()->text(0), En(26));
    EXPECT_EQ(Child<QLabel>(dlg, "rowCount")->text(), FormatText(En(410), 3));
    EXPECT_FALSE(Enabled(dlg, "import"));
    // Mark all, invert (nothing), invert again (all): the counter follows every change.
    Click(dlg, "markAll");
    EXPECT_EQ(list->selectedItems().size(), 3);
    Click(dlg, "invert");
    EXPECT_EQ(list->selectedItems().size(), 0);
    EXPECT_FALSE(Enabled(dlg, "import"));
    list->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(Enabled(dlg, "import"));
    Click(dlg, "invert");
    EXPECT_EQ(list->selectedItems().size(), 2);
    EXPECT_EQ(Child<QLabel>(dlg, "markedCount")->text(), FormatText(En(139), 2));
    Click(dlg, "markAll");
    EXPECT_EQ(Child<QLabel>(dlg, "markedCount")->text(), FormatText(En(139), 3));

    // Three protocols of one specification: it is imported once, before them.
    Click(dlg, "import");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    EXPECT_TRUE(notes.recorder.messages.isEmpty())
        << notes.recorder.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM TypenTab")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab WHERE History = 0")), 3);
    EXPECT_TRUE(Enabled(dlg, "close"));
    EXPECT_TRUE(Enabled(dlg, "preview"));
}

TEST_F(DialogTest, ProtocolsWhoseSpecificationIsNowhereImportNothing) {
    // PV.xml holds "Drill"; the protocols name "Saw", which neither it nor the database has.
    const QString folder = Documents(QStringLiteral("orphans"), true, Protocols(2, QStringLiteral("Saw")));
    CImportV740 dlg(ImportSetup(ImportSource::Folder, folder, false));
    dlg.show();
    Click(dlg, "preview");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    Click(dlg, "markAll");
    Click(dlg, "import");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_NE(dlg.LastError(), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM TypenTab")), 0);
    // Back to a state from which the user can go on.
    EXPECT_TRUE(Enabled(dlg, "close"));
    EXPECT_TRUE(Enabled(dlg, "sources"));
    EXPECT_TRUE(Enabled(dlg, "preview"));
}

TEST_F(DialogTest, LeftOutProtocolsGiveAnEmptyListAndTheInformationBox) {
    std::vector<XmlProtocolRecord> protocols = Protocols(3);
    for (XmlProtocolRecord& p : protocols)
        p.master.testResultId = 30803;
    const QString folder = Documents(QStringLiteral("hidden"), true, protocols);
    CImportV740 dlg(ImportSetup(ImportSource::Folder, folder, false));
    dlg.show();
    Click(dlg, "preview");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    EXPECT_EQ(Child<QTreeWidget>(dlg, "list")->topLevelItemCount(), 0);
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_EQ(notes.recorder.Last(), En(50171) + QLatin1Char(' ') + En(50172));
    EXPECT_EQ(notes.recorder.icons.back(), CNotifier::Icon::Information);
}

TEST_F(DialogTest, NineCharacterDatesAreShownAsTheyStand) {
    XmlSpecificationRecord spec = MakeSpecification(QStringLiteral("Drill"), kSpecGuid);
    spec.master.createDate = QStringLiteral("5.03.2009");
    const QString folder = dir.filePath(QStringLiteral("dates"));
    ASSERT_TRUE(QDir().mkpath(folder));
    WriteDocument(folder + QStringLiteral("/PV.xml"), SpecificationDocument({spec}));
    CImportV740 dlg(ImportSetup(ImportSource::Folder, folder));
    dlg.show();
    Click(dlg, "preview");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    auto* list = Child<QTreeWidget>(dlg, "list");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(3), QStringLiteral("5.03.2009"));
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Drill"));
}

TEST_F(DialogTest, ImportDrivesFollowTheDriveListAndTheStoredDrive) {
    const QString a = Documents(QStringLiteral("stickA"), false, {}) + QLatin1Char('/');
    const QString b = dir.filePath(QStringLiteral("stickB")) + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(b + QStringLiteral("XmlData")));
    WriteDocument(b + QStringLiteral("XmlData/PV.xml"),
                  SpecificationDocument({MakeSpecification(QStringLiteral("Drill"), kSpecGuid)}));
    drives.drives = {a, b};
    CImportV740 dlg(ImportSetup(ImportSource::Drive, b));
    dlg.show();
    auto* list = Child<QComboBox>(dlg, "drives");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentText(), b);
    EXPECT_TRUE(Enabled(dlg, "preview"));
    EXPECT_EQ(Child<QLabel>(dlg, "picture")->property("bitmap").toString(), QStringLiteral("IDB_IMPORT_USB"));
    list->setCurrentIndex(0);
    EXPECT_FALSE(Enabled(dlg, "preview"));
    EXPECT_EQ(dlg.Setup().drive, a);
    // The stick is pulled: the list empties and says so.
    drives.drives.clear();
    ASSERT_TRUE(WaitFor([&] { return list->count() == 0; }, 5000));
    EXPECT_EQ(Child<QLabel>(dlg, "status")->text(), En(50039));
    EXPECT_FALSE(Enabled(dlg, "preview"));
}

TEST_F(DialogTest, ExportCaptionsFollowKindAndTarget) {
    const struct {
        ExchangeKind kind;
        int target;
        const char* title;
        const char* group;
        const char* picture;
        bool driveList;
    } cases[] = {
        {ExchangeKind::Specifications, 3, "Test specification(s) - Export (USB)", "Test specification export",
         "IDB_EXPORT_USB", true},
        {ExchangeKind::Specifications, 4, "Test specification(s) - Export (Folder)",
         "Test specification export", "IDB_EXPORT_FOLDER", false},
        {ExchangeKind::Protocols, 3, "Device protocol(s) - Export (USB)", "Device protocol export",
         "IDB_EXPORT_USB", true},
        {ExchangeKind::Protocols, 4, "Device protocol(s) - Export (Folder)", "Device protocol export",
         "IDB_EXPORT_FOLDER", false},
        {ExchangeKind::Protocols, 5, "Device protocol(s) - CSV-Export (USB)", "Device protocol export",
         "IDB_EXPORT_USB", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        CExportDlg dlg(ExportSetup(c.kind, c.target, {1}));
        EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(dlg.findChild<QGroupBox*>()->title(), QString::fromUtf8(c.group));
        EXPECT_EQ(Child<QLabel>(dlg, "picture")->property("bitmap").toString(), QString::fromUtf8(c.picture));
        EXPECT_EQ(dlg.findChild<QComboBox*>(QStringLiteral("drives")) != nullptr, c.driveList);
        EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("chooseFolder")) != nullptr, !c.driveList);
        EXPECT_EQ(Child<QPushButton>(dlg, "exit")->text(), QStringLiteral("Exit"));
        if (qEnvironmentVariableIsSet("V740_SCREENSHOT_DIR")) {
            dlg.setWindowModality(Qt::NonModal);
            dlg.show();
            dlg.grab().save(qEnvironmentVariable("V740_SCREENSHOT_DIR") +
                            QStringLiteral("/export_%1_%2.png").arg(int(c.kind)).arg(c.target));
        }
    }
}

TEST_F(DialogTest, ExportDriveListFollowsArrivalsAndRemovalsAndShowsFreeSpace) {
    const QString a = dir.filePath(QStringLiteral("a")) + QLatin1Char('/');
    const QString b = dir.filePath(QStringLiteral("b")) + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(a) && QDir().mkpath(b));
    drives.free = {{a, 8388608}, {b, 8388609}};
    CExportDlg dlg(ExportSetup(ExchangeKind::Protocols, 3, {1}));
    dlg.show();
    auto* list = Child<QComboBox>(dlg, "drives");
    auto* free = Child<QLabel>(dlg, "freeSpace");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(free->text(), QStringLiteral("Removeable drive not connected."));
    EXPECT_FALSE(Child<QWidget>(dlg, "start")->isVisibleTo(&dlg));

    drives.drives = {a};
    ASSERT_TRUE(WaitFor([&] { return list->count() == 1; }, 5000));
    EXPECT_EQ(free->text(), QStringLiteral("8.192 KB free disk space"));
    EXPECT_TRUE(Child<QWidget>(dlg, "start")->isVisibleTo(&dlg));
    drives.drives = {a, b};
    ASSERT_TRUE(WaitFor([&] { return list->count() == 2; }, 5000));
    EXPECT_EQ(list->currentText(), a); // the selection stays
    list->setCurrentIndex(1);
    EXPECT_EQ(free->text(), QStringLiteral("8 MB free disk space"));
    EXPECT_EQ(dlg.LastDrive(), b);
    drives.drives = {a};
    ASSERT_TRUE(WaitFor([&] { return list->count() == 1; }, 5000));
    EXPECT_EQ(list->currentText(), a);
    EXPECT_EQ(free->text(), QStringLiteral("8.192 KB free disk space"));
}

TEST_F(DialogTest, ExportCancelWhileIdleClosesWithoutExport) {
    CExportDlg dlg(ExportSetup(ExchangeKind::Specifications, 4, {1}));
    dlg.show();
    Click(dlg, "exit");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(QDir(DocsDir()).entryList(QDir::Files).isEmpty());
}

TEST_F(DialogTest, ExportToAFolderAndToCsvThenTheOverwriteQuestion) {
    ASSERT_TRUE(ImportAll(Documents(QStringLiteral("source"), true, Protocols(3)), true));
    notes.recorder.Clear();
    const QList<qint32> ids{1, 2, 3};

    // XML into a chosen folder whose name has blanks, quotes and umlauts.
    const QString target = dir.filePath(QStringLiteral("Ziel \"Ö\" 'x'"));
    ASSERT_TRUE(QDir().mkpath(target));
    DriveSpace::SetFolderChooser([&](QWidget*, const QString& title, const QString&) {
        EXPECT_TRUE(title.startsWith(QLatin1String("Actual folder: ")));
        return target;
    });
    {
        CExportDlg dlg(ExportSetup(ExchangeKind::Protocols, 4, ids));
        dlg.show();
        Click(dlg, "chooseFolder");
        EXPECT_EQ(dlg.LastFolder(), target);
        Click(dlg, "start");
        EXPECT_TRUE(dlg.IsBusy());
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(notes.recorder.messages.isEmpty());
    }
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/GP.xml")));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/PV.xml")));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab WHERE (ExportImport & 1) = 1")), 3);

    // Again: one question; Cancel keeps the files, OK replaces them.
    for (const CNotifier::Answer answer : {CNotifier::Answer::Cancel, CNotifier::Answer::Ok}) {
        notes.recorder.Clear();
        notes.recorder.answer = answer;
        ExportDialogSetup setup = ExportSetup(ExchangeKind::Specifications, 4, {1});
        setup.lastFolder = target;
        CExportDlg dlg(setup);
        dlg.show();
        Click(dlg, "start");
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
        ASSERT_EQ(notes.recorder.captions.value(0), QStringLiteral("Confirm overwriting"));
        EXPECT_EQ(QFileInfo::exists(target + QStringLiteral("/GP.xml")), answer == CNotifier::Answer::Cancel);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, answer == CNotifier::Answer::Ok);
        if (answer == CNotifier::Answer::Cancel) {
            // Back to idle: the user may pick another target.
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(Child<QPushButton>(dlg, "exit")->text(), QStringLiteral("Exit"));
            EXPECT_TRUE(Child<QWidget>(dlg, "start")->isVisibleTo(&dlg));
            EXPECT_FALSE(Child<QWidget>(dlg, "progress")->isVisibleTo(&dlg));
        }
    }

    // CSV to a drive.
    notes.recorder.Clear();
    const QString stick = dir.filePath(QStringLiteral("stick")) + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(stick));
    drives.drives = {stick};
    {
        CExportDlg dlg(ExportSetup(ExchangeKind::Protocols, 5, ids));
        dlg.show();
        Click(dlg, "start");
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
        EXPECT_EQ(dlg.result(), QDialog::Accepted)
            << notes.recorder.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(dlg.LastDrive(), stick);
    }
    EXPECT_EQ(QDir(stick + QStringLiteral("CsvData/Client")).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab WHERE (ExportImport & 2) = 2")), 3);
}

TEST_F(DialogTest, ExportFailureLeavesNoFileAndReturnsToIdle) {
    ASSERT_TRUE(ImportAll(Documents(QStringLiteral("source"), true, Protocols(2)), true));
    // The protocols now name a specification the database lacks.
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET SpecificationName = 'Gone' WHERE id = 2")));
    notes.recorder.Clear();
    const QString stick = dir.filePath(QStringLiteral("stick")) + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(stick));
    drives.drives = {stick};
    CExportDlg dlg(ExportSetup(ExchangeKind::Protocols, 3, {1, 2}));
    dlg.show();
    Click(dlg, "start");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(notes.recorder.Last().startsWith(QLatin1String("Could not read test data record!")));
    EXPECT_TRUE(CExportWorkflow::ExchangeFiles(stick + QStringLiteral("XmlData")).isEmpty());
    EXPECT_EQ(Child<QPushButton>(dlg, "exit")->text(), QStringLiteral("Exit"));
    EXPECT_TRUE(Child<QWidget>(dlg, "start")->isVisibleTo(&dlg));
    EXPECT_TRUE(Child<QLabel>(dlg, "status")->text().isEmpty());
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab WHERE ExportImport & 1")), 0);
    // Test specifications have no CSV form.
    CExportDlg csv(ExportSetup(ExchangeKind::Specifications, 5, {1}));
    csv.show();
    Click(csv, "start");
    ASSERT_TRUE(WaitFor([&] { return !csv.IsBusy(); }));
    EXPECT_TRUE(csv.isVisible());
    EXPECT_FALSE(QFileInfo::exists(stick + QStringLiteral("CsvData")));
}

TEST_F(DialogTest, CsvExportOntoAPulledDriveCreatesNothingInItsPlace) {
    ASSERT_TRUE(ImportAll(Documents(QStringLiteral("source"), true, Protocols(1)), true));
    notes.recorder.Clear();
    const QString gone = dir.filePath(QStringLiteral("media/STICK")) + QLatin1Char('/');
    CCsvExport csv(DataDir(), QStringLiteral(V740_BIN_DIR), QStringLiteral("English"));
    EXPECT_FALSE(csv.Run(gone, {1}));
    EXPECT_TRUE(notes.recorder.Last().startsWith(QLatin1String("Drive: Could not create folder")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("media"))));
    CExportWorkflow xml(DataDir());
    EXPECT_FALSE(xml.Run(ExchangeKind::Protocols, ExportTarget::Drive, gone, {1}));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("media"))));
}

TEST_F(DialogTest, ReadOnlyFolderFailsWithItsMessage) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    ASSERT_TRUE(ImportAll(Documents(QStringLiteral("source"), true, Protocols(1)), true));
    notes.recorder.Clear();
    const QString target = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(target));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
    ExportDialogSetup setup = ExportSetup(ExchangeKind::Protocols, 4, {1});
    setup.lastFolder = target;
    CExportDlg dlg(setup);
    dlg.show();
    Click(dlg, "start");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(notes.recorder.messages.isEmpty());
    EXPECT_TRUE(QDir(target).entryList(QDir::Files).isEmpty());
}

// ---- The tester as the source, against v740sim.

class TesterTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // A silent tester should not hold a test for the specified half minute.
        qputenv("VELMOR_LINK_MAX_TIMEOUT", "1500");
    }
    void TearDown() override {
        qunsetenv("VELMOR_LINK_MAX_TIMEOUT");
        DialogTest::TearDown();
    }
    ImportDialogSetup TesterSetup(const CSimHarness& sim) {
        ImportDialogSetup s = ImportSetup(ImportSource::Tester, QString());
        s.serial.port = sim.Port();
        s.serial.baudRate = QStringLiteral("115200");
        s.serial.dataBits = QStringLiteral("8");
        s.candidatePorts = {sim.Port()};
        s.linkStatus = [this](const CLinkStatus& status) {
            const std::lock_guard lock(mutex);
            icons << status.icon;
        };
        return s;
    }
    std::mutex mutex;
    QList<int> icons;
};

TEST_F(TesterTest, ABusyTesterLeavesOnlyCloseAndTheSourceList) {
    CSimHarness sim({QStringLiteral("--busy")});
    ASSERT_TRUE(sim.Started());
    CImportV740 dlg(TesterSetup(sim));
    dlg.show();
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    EXPECT_FALSE(dlg.IsConnected());
    EXPECT_EQ(dlg.LastError(), LinkError::InUse);
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_EQ(notes.recorder.Last(), En(LinkError::InUse));
    for (const char* name : {"preview", "kindSpecifications", "kindProtocols", "useQuery", "list", "import"})
        EXPECT_FALSE(Enabled(dlg, name)) << name;
    EXPECT_TRUE(Enabled(dlg, "close"));
    EXPECT_TRUE(Enabled(dlg, "sources"));
    const std::lock_guard lock(mutex);
    EXPECT_EQ(icons.value(icons.size() - 1), LinkIcon::Failed);
}

TEST_F(TesterTest, PreviewAndImportFromTheTesterThenASilentTesterMidPreview) {
    CSimHarness sim({QStringLiteral("--demo"), QStringLiteral("6")});
    ASSERT_TRUE(sim.Started());
    int connectLines = 0;
    {
        CImportV740 dlg(TesterSetup(sim));
        dlg.show();
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
        ASSERT_TRUE(dlg.IsConnected()) << notes.recorder.messages.join(QLatin1Char('|')).toStdString();
        // The simulator's log reaches the disk a moment later.
        QTest::qWait(300);
        connectLines = int(sim.LoggedLines('<').size());
        ASSERT_GT(connectLines, 2);
        EXPECT_FALSE(Child<QWidget>(dlg, "status")->isVisibleTo(&dlg));
        EXPECT_TRUE(Enabled(dlg, "useQuery"));
        Click(dlg, "kindProtocols");
        Click(dlg, "preview");
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
        auto* list = Child<QTreeWidget>(dlg, "list");
        ASSERT_EQ(list->topLevelItemCount(), 6);
        EXPECT_EQ(dlg.findChild<CImportProgress*>()->StepText(), En(50134));
        Click(dlg, "markAll");
        Click(dlg, "import");
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
        EXPECT_TRUE(notes.recorder.messages.isEmpty())
            << notes.recorder.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM GeraeteTab")), 6);
        EXPECT_FALSE(dlg.FoundByScan());
        Click(dlg, "close");
        EXPECT_FALSE(dlg.IsConnected());
    }
    {
        const std::lock_guard lock(mutex);
        EXPECT_TRUE(icons.contains(LinkIcon::Connected));
        EXPECT_EQ(icons.last(), LinkIcon::Closed);
    }

    // The same tester falls silent a few lines into the preview.
    CSimHarness silent({QStringLiteral("--demo"), QStringLiteral("6"), QStringLiteral("--silent-after"),
                        QString::number(connectLines + 2)});
    ASSERT_TRUE(silent.Started());
    CImportV740 dlg(TesterSetup(silent));
    dlg.show();
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }));
    ASSERT_TRUE(dlg.IsConnected()) << connectLines;
    Click(dlg, "preview");
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsBusy(); }, 60000));
    EXPECT_NE(dlg.LastError(), 0);
    EXPECT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_EQ(Child<QTreeWidget>(dlg, "list")->topLevelItemCount(), 0);
    EXPECT_TRUE(Enabled(dlg, "close"));
    EXPECT_TRUE(Enabled(dlg, "sources"));
    EXPECT_TRUE(Enabled(dlg, "preview"));
    EXPECT_TRUE(Enabled(dlg, "useQuery"));
    EXPECT_FALSE(dlg.findChild<CImportProgress*>()->isVisible());
}
