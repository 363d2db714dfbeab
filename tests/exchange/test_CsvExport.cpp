#include "exchange/CsvExport.h"
#include "exchange/ExchangeFixture.h"
#include "exchange/ProtocolReport.h"

#include <QFile>
#include <QLocale>

namespace {

const QString D(200, QLatin1Char('-'));
const QString Ok(QChar(0x221A));

class CsvExportTest : public ExchangeFixture {
protected:
    void SetUp() override {
        ExchangeFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(Drive()));
        // A medical standard (factor 110), applied parts and all three kinds of steps.
        ASSERT_TRUE(db.ExecuteAll({
            "INSERT INTO TypenTab (Name, StandardID, ClassID, Manufacturer, Description, ReviewPeriod, "
            "CreateDate, "
            "IconSymbol, PartsUsed, ExportImport) VALUES ('Doc''s', 6400, 5001, 'Velmor', 'Monitor', 1200, "
            "'2008-11-20 10:00:00', 'idb_teststepeditor', -1, 0)",
            "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (1, 2, 32625, 3)",
            "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (1, 1, 32625, 23)",
            "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (1, 1, 10401, 'ignored')",
            "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (1, 2, 0, 'Housing "
            "intact')",
            "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, MainOrder, TypOrder, GroupNo, Limit, "
            "Jacks) "
            "VALUES (1, 1, 101, 1, 1, 0, 0.3, 0), (1, 2, 403, 1, 2, 1, 100, 0), (1, 3, 601, 1, 3, 0, 1, 0), "
            "(1, 4, 999, 1, 4, 0, 5, 0), (1, 5, 201, 1, 5, 2, 0, 0)",
            "INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, HighLimit) VALUES "
            "(1, 1, 'Motor runs', 0, 0, 0), (1, 2, 'Current', 1, 0, 0), (1, 3, 'Speed', 2, 1000, 2000)",
            // Without applied parts and steps, the standard without extrapolation note.
            "INSERT INTO TypenTab (Name, StandardID, ClassID, Manufacturer, Description, ReviewPeriod, "
            "CreateDate, "
            "IconSymbol, PartsUsed, ExportImport) VALUES ('Plain', 5800, 5002, 'M', 'D', 12, "
            "'1900-01-01 00:00:00', 'IDB_TYP', 0, 0)",
            "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, MainOrder, TypOrder, GroupNo, Limit, "
            "Jacks) "
            "VALUES (2, 1, 403, 1, 1, 1, 100, 0)",
        }));
        pump = AddProtocol("Pump 7", "Pump", "X/Y", "Doc''s", "2009-03-05 14:07:09", 1, "NULL");
        ASSERT_TRUE(db.ExecuteAll({
            QStringLiteral(
                "INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo, Result) VALUES (%1, 1, 1), (%1, 2, 0)")
                .arg(pump),
            QStringLiteral(
                "INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) VALUES "
                "(%1, 1, 0.01, 1, 0), (%1, 2, 1234.5, 0, 0), (%1, 3, 1, 1, 0), (%1, 4, 3, 1, 0), "
                "(%1, 5, 300, 1, 0)")
                .arg(pump),
            QStringLiteral(
                "INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) VALUES "
                "(%1, 1, 0, 1, 0), (%1, 2, 1.5, 1, 0), (%1, 3, 2500, 0, 0)")
                .arg(pump),
        }));
        notes.recorder.Clear();
    }

    qint32 AddProtocol(const char* device, const char* description, const char* client, const char* spec,
                       const char* testDate, int exportImport, const char* useExtrapolation,
                       const char* serial = "SN1") {
        EXPECT_TRUE(db.Execute(
            QStringLiteral(
                "INSERT INTO GeraeteTab (SpecificationName, Device, NominalVoltage, TestDate, TestResultID, "
                "Operator, Serial, Manufacturer, Description, Client, Location, Department, Room, Costs, "
                "Comment, FirstTestDate, NextTestDate, ExportImport, TesterName, TesterSerial, TesterSW, "
                "History, myGUID, UseExtraPolation) VALUES ('%1', '%2', '230', '%3', 30801, 'O''Brien', "
                "'%4', 'Acme', '%5', '%6', 'Hall 2', 'Care', 'R 12', 'K-77', 'Tab-free comment', "
                "'2008-03-05 00:00:00', '2010-03-05 00:00:00', %7, 'V750', '12345', '1.4.2', 0, "
                "'{%2}', %8)")
                .arg(QString::fromUtf8(spec), QString::fromUtf8(device), QString::fromUtf8(testDate),
                     QString::fromUtf8(serial), QString::fromUtf8(description), QString::fromUtf8(client))
                .arg(exportImport)
                .arg(QLatin1String(useExtrapolation))));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }

    QString Drive() const { return dir.filePath(QStringLiteral("stick")); }
    QString Csv(const QString& relative) const { return Drive() + QStringLiteral("/CsvData/") + relative; }

    bool Export(const QList<qint32>& ids, const QString& language = QStringLiteral("English"),
                const QLocale& locale = QLocale(QLocale::English, QLocale::UnitedStates)) {
        CCsvExport csv(DataDir(), QStringLiteral(V740_BIN_DIR), language, locale);
        ExportCallbacks cb;
        cb.position = [this](int p) { positions << p; };
        cb.status = [this](const QString& s) { statuses << s; };
        cb.finished = [this](const WorkflowResult& r) { finished << r.ok; };
        cb.cancelled = [this] { return cancelAt >= 0 && positions.size() > cancelAt; };
        csv.SetCallbacks(cb);
        return csv.Run(Drive(), ids);
    }

    // The file as lines: byte order mark, UTF-8, CR LF after every line, nothing else.
    QStringList Lines(const QString& path) {
        const QByteArray bytes = ReadFile(path);
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << path.toStdString();
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        lines.removeLast();
        for (const QString& line : lines)
            EXPECT_FALSE(line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')));
        return lines;
    }

    QStringList Files() {
        QStringList files;
        QDir csv(Drive() + QStringLiteral("/CsvData"));
        for (const QString& sub :
             csv.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
            for (const QString& f :
                 QDir(csv.filePath(sub))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
                files << sub + QLatin1Char('/') + f;
        return files;
    }

    int Marks(qint32 id) {
        return Count(QStringLiteral("SELECT ExportImport FROM GeraeteTab WHERE id = %1").arg(id));
    }

    qint32 pump = 0;
    int cancelAt = -1;
    QList<int> positions;
    QStringList statuses;
    QList<bool> finished;
};

TEST_F(CsvExportTest, ProtocolWithAllSectionsLineByLine) {
    struct Case {
        const char* language;
        QLocale locale;
        QStringList expected;
    };
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const std::vector<Case> cases = {
        {"Deutsch",
         de,
         {D,
          "\t\t\t\tNennspannung",
          "\t\t\t\tGerät\t: Pump 7",
          D,
          "Seriennummer\t: SN1\t\t\t\t\tKunde\t: X/Y",
          "Hersteller\t: Acme\t\t\t\t\tStandort\t: Hall 2",
          "Beschreibung\t: Pump\t\t\t\t\tAbteilung\t: Care",
          "Kostenstelle\t: K-77\t\t\t\t\tRaum\t: R 12",
          "Kommentar\t: Tab-free comment",
          D,
          "Prüfvorschrift",
          "Prüfvorschrift\t: Doc's",
          "",
          "Norm\t: DIN EN 60601-1 (VDE 0750-1)\t\t\t\t\tSchutzklasse\t: Schutzklasse I",
          "Hersteller\t: Velmor\t\t\t\t\tPrüfintervall\t: 1.200",
          "Beschreibung\t: Monitor\t\t\t\t\tErstellt am\t: 20.11.08",
          "Mit dem Prüfschritt-Editor erstellt",
          "",
          "Anwendungsteile",
          "Gruppe 1\tAnwendungsteil\tLeitung 1-3,5",
          "Gruppe 2\tAnwendungsteil\tLeitung 1-2",
          D,
          "Sichtprüfung",
          "",
          "Ergebnis\tPrüfschritt",
          Ok + "\tAlle Schutzleiterverbindungen",
          "X\tHousing intact",
          D,
          "Messungen\t\t\tMesswerte hochgerechnet auf die Netzspannung: 253 V",
          "",
          "Ergebnis\tNr.\tMesswert\tGrenzwert\tEinheit\tGruppe\tPrüfschritt",
          Ok + "\t101\t< 0,01\t0,30\tΩ\t\tSchutzleiterwiderstand (200 mA)",
          "X\t403\t1.234,5\t100,0\tµA\t1\tAbleitstrom vom Anwendungsteil, direktes Verfahren",
          Ok + "\t601\t     -\t1\t\t\tLeitungsprüfung: Durchgang und Polarität",
          "X\t999\t0\t     -\t\t\tUnbekannte Messung Nr. 999",
          Ok + "\t201\t> 300,00\t     -\tMΩ\t\tIsolationswiderstand 500 V (L/N – PE)",
          D,
          "Funktionsprüfung",
          "",
          "Ergebnis\tPrüfschritt",
          Ok + "\tMotor runs",
          Ok + "\tCurrent",
          "\tMesswert :\t1,50",
          "X\tSpeed",
          "\tMesswert :\t2.500,00\t\t\t\tGrenzwert : 1.000,00...2.000,00",
          D,
          "Prüfergebnis\tNicht bestanden",
          "",
          "Prüfer\t: O'Brien",
          "Prüfdatum\t: 05.03.09\t\t\t\t\tNächste Prüfung : 05.03.10",
          D,
          "Prüfgerät\t: V750\t\t\t\t\tPrüfgeräte-Seriennummer\t: 12345",
          "Prüfgeräte-Software\t: 1.4.2\t\t\t\t\tErstellt am\t: " +
              de.toString(QDate::currentDate(), QLocale::ShortFormat)}},
        {"English",
         en,
         {D,
          "\t\t\t\tNominal voltage",
          "\t\t\t\tDevice\t: Pump 7",
          D,
          "Serial number\t: SN1\t\t\t\t\tClient\t: X/Y",
          "Manufacturer\t: Acme\t\t\t\t\tLocation\t: Hall 2",
          "Description\t: Pump\t\t\t\t\tDepartment\t: Care",
          "Cost centre\t: K-77\t\t\t\t\tRoom\t: R 12",
          "Comment\t: Tab-free comment",
          D,
          "Test specification",
          "Test specification\t: Doc's",
          "",
          "Standard\t: IEC 60601-1\t\t\t\t\tProtection class\t: Protection class I",
          "Manufacturer\t: Velmor\t\t\t\t\tTest interval\t: 1,200",
          "Description\t: Monitor\t\t\t\t\tCreated on\t: 11/20/08",
          "Created with the test step editor",
          "",
          "Applied parts",
          "Group 1\tApplied part\tLead 1-3,5",
          "Group 2\tApplied part\tLead 1-2",
          D,
          "Visual inspection",
          "",
          "Result\tTest step",
          Ok + "\tAll PE connections",
          "X\tHousing intact",
          D,
          "Measurements\t\t\tMeasured values extrapolated to the mains voltage: 253 V",
          "",
          "Result\tNo.\tValue\tLimit\tUnit\tGroup\tTest step",
          Ok + "\t101\t< 0.01\t0.30\tΩ\t\tProtective conductor resistance (200 mA)",
          "X\t403\t1,234.5\t100.0\tµA\t1\tApplied part leakage current, direct method",
          Ok + "\t601\t     -\t1\t\t\tCord test: continuity and polarity",
          "X\t999\t0\t     -\t\t\tUnknown measurement no. 999",
          Ok + "\t201\t> 300.00\t     -\tMΩ\t\tInsulation resistance 500 V (L/N – PE)",
          D,
          "Functional test",
          "",
          "Result\tTest step",
          Ok + "\tMotor runs",
          Ok + "\tCurrent",
          "\tValue :\t1.50",
          "X\tSpeed",
          "\tValue :\t2,500.00\t\t\t\tLimit : 1,000.00...2,000.00",
          D,
          "Test result\tFailed",
          "",
          "Operator\t: O'Brien",
          "Test date\t: 3/5/09\t\t\t\t\tNext test : 3/5/10",
          D,
          "Tester name\t: V750\t\t\t\t\tTester serial no.\t: 12345",
          "Tester software\t: 1.4.2\t\t\t\t\tCreated on\t: " +
              en.toString(QDate::currentDate(), QLocale::ShortFormat)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        positions.clear();
        statuses.clear();
        notes.recorder.Clear();
        notes.recorder.answer = CNotifier::Answer::Ok;
        ASSERT_TRUE(Export({pump}, QLatin1String(c.language), c.locale))
            << notes.recorder.Last().toStdString();
        // The second run finds CsvData and asks once.
        EXPECT_EQ(notes.recorder.captions,
                  c.language == std::string("Deutsch") ? QStringList() : QStringList{"Confirm deletion"});
        EXPECT_EQ(Files(), QStringList{"X%Y/Pump 7_Pump_2009_03_05.csv"});
        const QStringList lines = Lines(Csv("X%Y/Pump 7_Pump_2009_03_05.csv"));
        for (int i = 0; i < std::max(lines.size(), c.expected.size()); ++i)
            EXPECT_EQ(lines.value(i, "<none>"), c.expected.value(i, "<none>")) << "line " << i + 1;
        EXPECT_EQ(positions, (QList<int>{0, 1}));
        EXPECT_EQ(statuses.size(), 1);
        EXPECT_TRUE(statuses.value(0).contains("Pump 7"));
    }
}

TEST_F(CsvExportTest, WithoutAppliedPartsSixColumnsAndNoNote) {
    const qint32 id = AddProtocol("Saw", "Cut", "", "Plain", "1900-01-01 00:00:00", 0, "0");
    ASSERT_TRUE(db.Execute(
        QStringLiteral(
            "INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) VALUES "
            "(%1, 1, 12.25, 1, 0)")
            .arg(id)));
    ASSERT_TRUE(Export({id}));
    const QStringList lines = Lines(Csv("NoClient/Saw_Cut_1900_01_01.csv"));
    const QStringList expected = {
        "Standard\t: DIN VDE 0701-0702\t\t\t\t\tProtection class\t: Protection class II",
        "Manufacturer\t: M\t\t\t\t\tTest interval\t: 12",
        "Description\t: D\t\t\t\t\tCreated on\t: ",
        "",
        D,
        "Measurements\t\t\t",
        "",
        "Result\tNo.\tValue\tLimit\tUnit\tTest step",
        Ok + "\t403\t12.3\t100.0\tµA\tApplied part leakage current, direct method",
        D,
        "Test result\tFailed",
        "",
        "Operator\t: O'Brien",
        "Test date\t: \t\t\t\t\tNext test : 3/5/10",
    };
    ASSERT_GE(lines.size(), 13 + expected.size());
    EXPECT_EQ(lines.mid(13, expected.size()), expected);
}

TEST_F(CsvExportTest, FileNamesHoldOnlyWhatADriveCanStore) {
    struct Case {
        const char* device;
        const char* description;
        const char* client;
        const char* date;
        QString file;
    };
    const std::vector<Case> cases = {
        {"A/B", "Pump", "X/Y", "2009-03-05 14:07:09", "X%Y/A%B_Pump_2009_03_05.csv"},
        {"Drill", "Hand", "", "2012-11-30 08:00:00", "NoClient/Drill_Hand_2012_11_30.csv"},
        {"PC:1*?", "a\\b<c>|\"", "..", "2001-01-02 00:00:00", "%%/PC%1%%_a%b%c%%%_2001_01_02.csv"},
        {"Größe", "Ärger", "Müller", "2020-12-31 23:59:59", "Müller/Größe_Ärger_2020_12_31.csv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QDir(Drive() + "/CsvData").removeRecursively();
        const qint32 id = AddProtocol(c.device, c.description, c.client, "Plain", c.date, 0, "0");
        ASSERT_TRUE(Export({id})) << notes.recorder.Last().toStdString();
        EXPECT_EQ(Files(), QStringList{c.file});
        EXPECT_EQ(Lines(Csv(c.file)).value(2),
                  QStringLiteral("\t\t\t\tDevice\t: ") + QString::fromUtf8(c.device));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"data", "docs", "stick"}));
}

TEST_F(CsvExportTest, TwoProtocolsOfOneClient) {
    const qint32 other = AddProtocol("Fan", "Desk", "X/Y", "Plain", "2009-03-06 10:00:00", 0, "0");
    const qint32 again = AddProtocol("Pump 7", "Pump", "X/Y", "Plain", "2009-03-05 16:00:00", 0, "0", "SN2");
    ASSERT_TRUE(Export({pump, other}));
    EXPECT_EQ(Files(), (QStringList{"X%Y/Fan_Desk_2009_03_06.csv", "X%Y/Pump 7_Pump_2009_03_05.csv"}));
    EXPECT_EQ(Lines(Csv("X%Y/Fan_Desk_2009_03_06.csv")).value(2), "\t\t\t\tDevice\t: Fan");
    EXPECT_EQ(Lines(Csv("X%Y/Pump 7_Pump_2009_03_05.csv")).value(4),
              "Serial number\t: SN1\t\t\t\t\tClient\t: X/Y");

    // The same device, description and day: the later protocol replaces the file. CsvData
    // exists now, so the run asks first.
    notes.recorder.answer = CNotifier::Answer::Ok;
    ASSERT_TRUE(Export({pump, again}));
    EXPECT_EQ(
        notes.recorder.messages,
        QStringList{"Test datas already exist on this drive. If you continue existing test data will be "
                    "overwritten!"});
    EXPECT_EQ(notes.recorder.captions, QStringList{"Confirm deletion"});
    EXPECT_EQ(Files(), (QStringList{"X%Y/Fan_Desk_2009_03_06.csv", "X%Y/Pump 7_Pump_2009_03_05.csv"}));
    EXPECT_EQ(Lines(Csv("X%Y/Pump 7_Pump_2009_03_05.csv")).value(4),
              "Serial number\t: SN2\t\t\t\t\tClient\t: X/Y");
}

TEST_F(CsvExportTest, MarksOnlyOnSuccess) {
    struct Case {
        int before;
        int after;
    };
    const std::vector<Case> cases = {{0, 2}, {1, 3}, {2, 2}, {5, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = %1").arg(c.before)));
        notes.recorder.answer = CNotifier::Answer::Ok;
        ASSERT_TRUE(Export({pump}));
        EXPECT_EQ(Marks(pump), c.after);
    }
    // Cancel at the overwrite question: nothing is touched.
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = 0")));
    const QByteArray before = ReadFile(Csv("X%Y/Pump 7_Pump_2009_03_05.csv"));
    notes.recorder.answer = CNotifier::Answer::Cancel;
    EXPECT_FALSE(Export({pump}));
    EXPECT_EQ(finished.last(), false);
    EXPECT_EQ(Marks(pump), 0);
    EXPECT_EQ(ReadFile(Csv("X%Y/Pump 7_Pump_2009_03_05.csv")), before);

    // A cancel before the second protocol commits the first.
    const qint32 other = AddProtocol("Fan", "Desk", "X/Y", "Plain", "2009-03-06 10:00:00", 0, "0");
    notes.recorder.answer = CNotifier::Answer::Ok;
    cancelAt = 1;
    positions.clear();
    EXPECT_TRUE(Export({pump, other}));
    EXPECT_EQ(Marks(pump), 2);
    EXPECT_EQ(Marks(other), 0);
    EXPECT_FALSE(QFile::exists(Csv("X%Y/Fan_Desk_2009_03_06.csv")));
}

TEST_F(CsvExportTest, FailureLeavesNoPartialFileAndNoMarks) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString message;
        QStringList files;
    };
    const qint32 saw = AddProtocol("Saw", "Cut", "X/Y", "Missing", "2009-03-07 00:00:00", 0, "0");
    const QString blocked = Csv("X%Y/Pump 7_Pump_2009_03_05.csv");
    const std::vector<Case> cases = {
        {"specification missing",
         [] {},
         "Could not read test data record!\nMissing",
         {"X%Y/Pump 7_Pump_2009_03_05.csv"}},
        {"protocol missing", [] {}, "Could not found test data record!", {"X%Y/Pump 7_Pump_2009_03_05.csv"}},
        {"file cannot take the name",
         [&] { ASSERT_TRUE(QDir().mkpath(blocked + "/inside")); },
         "Drive: The file could not be accessed!\n" + blocked,
         {"X%Y/Pump 7_Pump_2009_03_05.csv"}},
        {"client folder cannot be made",
         [&] {
             QFile f(Csv("X%Y"));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         "Drive: Could not create folder " + Csv("X%Y") + "!",
         {}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        QDir(Drive() + "/CsvData").removeRecursively();
        ASSERT_TRUE(QDir().mkpath(Drive() + "/CsvData"));
        ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = 0")));
        c.arrange();
        notes.recorder.Clear();
        notes.recorder.answer = CNotifier::Answer::Ok;
        const QList<qint32> ids = i == 0   ? QList<qint32>{pump, saw}
                                  : i == 1 ? QList<qint32>{pump, 99999}
                                  : i == 2 ? QList<qint32>{pump}
                                           : QList<qint32>{pump};
        EXPECT_FALSE(Export(ids));
        EXPECT_EQ(notes.recorder.Last(), c.message);
        EXPECT_EQ(Marks(pump), 0);
        EXPECT_EQ(Marks(saw), 0);
        QStringList files = Files();
        if (i == 2) { // the obstacle itself
            EXPECT_TRUE(QFileInfo(blocked + "/inside").isDir());
        } else if (i < 2) { // a complete report of the first protocol stays, unmarked
            EXPECT_EQ(Lines(Csv(c.files.value(0))).size(), 53);
        }
        if (i != 3) {
            EXPECT_EQ(files, c.files);
        }
        for (const QString& f : files)
            EXPECT_FALSE(f.endsWith(".part")) << f.toStdString();
    }
}

TEST(CsvJackList, RunsAndSingles) {
    const std::vector<std::pair<quint32, QString>> cases = {
        {0, ""},
        {1, "1"},
        {0b10111, "1-3,5"},
        {0b101, "1,3"},
        {0b11, "1-2"},
        {0x80000000u, "32"},
        {0xC0000001u, "1,31-32"},
        {0xFFFFFFFFu, "1-32"},
        {0b1010110, "2-3,5,7"},
    };
    for (const auto& [mask, text] : cases)
        EXPECT_EQ(CCsvExport::JackList(mask), text) << mask;
}

} // namespace

// The measured value and limit texts that the CSV report and a printed report share.
TEST(ProtocolReportFormat, ValuesAndLimitsAsTheirDefinitionShowsThem) {
    const QLocale de(QLocale::German, QLocale::Germany);
    ProtocolReportData::Definition def;
    def.found = true;
    def.digits = 2;
    def.minValue = QStringLiteral("0.01");
    def.maxValue = QStringLiteral("300");
    struct Case {
        const char* what;
        double value, limit;
        int compareMode;
        bool found;
        const char* measured;
        const char* limitText;
    } const cases[] = {
        {"inside the range", 123.456, 100, 0, true, "123,46", "100,00"},
        {"at the lower end", 0.01, 0.3, 0, true, "< 0,01", "0,30"},
        {"below the lower end", 0.001, 0.3, 0, true, "< 0,00", "0,30"},
        {"at the upper end", 300, 0, 0, true, "> 300,00", "     -"},
        {"not compared", 5, 1, 2, true, "     -", "1,00"},
        {"unknown measurement", 5, 1, 0, false, "0", "     -"},
    };
    for (const Case& c : cases) {
        ProtocolReportData::Measurement m;
        m.value = c.value;
        m.limit = c.limit;
        m.definition = def;
        m.definition.compareMode = c.compareMode;
        m.definition.found = c.found;
        EXPECT_EQ(ProtocolReport::MeasuredValue(de, m), QString::fromUtf8(c.measured)) << c.what;
        EXPECT_EQ(ProtocolReport::Limit(de, m), QString::fromUtf8(c.limitText)) << c.what;
    }
    EXPECT_EQ(ProtocolReport::Date(de, QDateTime(QDate(1900, 1, 1), QTime())), QString()) << "no date";
    EXPECT_EQ(ProtocolReport::Number(de, 2.5, 40), de.toString(2.5, 'f', 15)) << "at most 15 decimals";
}
