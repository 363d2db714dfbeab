// Pages 2 to 4 of the device protocol sheet on real databases: the results, the first values
// judged anew, and the test specification's lines.
#include "sheets/ProtocolMasterData.h"
#include "sheets/ProtocolMeasurements.h"
#include "sheets/ProtocolSpecLines.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

using Mode = CProtocolMeasurements::Mode;

const QString kPass(QChar(0x221A));
const QString kFail = QStringLiteral("X");

QString Texts(qint32 id, const QString& fallback) {
    switch (id) {
    case 12101:
        return QStringLiteral("PE resistance");
    case 12201:
        return QStringLiteral("Insulation");
    case 12403:
        return QStringLiteral("Patient leakage");
    case 12501:
        return QStringLiteral("Voltage");
    case 12601:
        return QStringLiteral("Continuity");
    case 7700:
        return QStringLiteral("BF part");
    case 5001:
        return QStringLiteral("Class I");
    case 10603:
        return QStringLiteral("Manual");
    case 10501:
        return QStringLiteral("Direct");
    default:
        return fallback;
    }
}

class ProtocolPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), QStringLiteral("user2.db")));
        ASSERT_TRUE(ref.Open(QStringLiteral(V740_BIN_DIR), QStringLiteral("velmor.db")));
    }
    void Exec(const QString& sql) { ASSERT_TRUE(db.Execute(sql)) << sql.toStdString(); }
    qint32 NewId() {
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }
    // A specification; columns as "Column = value" pairs beside its name.
    qint32 Spec(const QString& name, const QString& columns = QString(), const QString& values = QString()) {
        Exec(QStringLiteral("INSERT INTO TypenTab (Name%1) VALUES ('%2'%3)")
                 .arg(columns.isEmpty() ? QString() : QStringLiteral(", ") + columns, name,
                      values.isEmpty() ? QString() : QStringLiteral(", ") + values));
        return NewId();
    }
    qint32 Protocol(const QString& spec, const QString& columns = QString(),
                    const QString& values = QString()) {
        Exec(QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, myGUID, History%1) VALUES "
                            "('%2', 'D', 'g', 0%3)")
                 .arg(columns.isEmpty() ? QString() : QStringLiteral(", ") + columns, spec,
                      values.isEmpty() ? QString() : QStringLiteral(", ") + values));
        return NewId();
    }
    void Measurement(qint32 spec, qint32 protocol, int refNo, int measNo, const QString& limit,
                     const QString& measured, int result, const QString& first, qint32 groupNo = 0,
                     qint32 jacks = 0) {
        Exec(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, TypOrder, MainOrder, "
                            "Limit, GroupNo, Jacks) VALUES (%1, %2, %3, %2, 1, %4, %5, %6)")
                 .arg(spec)
                 .arg(refNo)
                 .arg(measNo)
                 .arg(limit)
                 .arg(groupNo)
                 .arg(jacks));
        Exec(QStringLiteral("INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                            "VALUES (%1, %2, %3, %4, %5)")
                 .arg(protocol)
                 .arg(refNo)
                 .arg(measured)
                 .arg(result)
                 .arg(first));
    }
    void Functional(qint32 spec, qint32 protocol, int refNo, const QString& text, int useLimits, double low,
                    double high, double measured, int result, double first) {
        Exec(QStringLiteral("INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, "
                            "HighLimit) VALUES (%1, %2, '%3', %4, %5, %6)")
                 .arg(spec)
                 .arg(refNo)
                 .arg(text)
                 .arg(useLimits)
                 .arg(low)
                 .arg(high));
        Exec(QStringLiteral("INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, MeasValue, Result, "
                            "FirstValue) VALUES (%1, %2, %3, %4, %5)")
                 .arg(protocol)
                 .arg(refNo)
                 .arg(measured)
                 .arg(result)
                 .arg(first));
    }
    CProtocolMeasurements Page(qint32 protocol, Mode mode) {
        CProtocolMeasurements page;
        EXPECT_TRUE(page.Load(db, ref, protocol, mode, &Texts));
        return page;
    }
    static QStringList Keys(const CProtocolMeasurements& page) {
        QStringList keys;
        for (const auto& r : page.rows)
            keys << r.key;
        return keys;
    }
    static QStringList Marks(const CProtocolMeasurements& page) {
        QStringList marks;
        for (const auto& r : page.rows)
            marks << r.mark;
        return marks;
    }

    CNotifierScope notes;
    QTemporaryDir tmp;
    CAdoDatabase db, ref;
};

TEST_F(ProtocolPagesTest, ResultsAndFirstValuesListTheirRows) {
    const qint32 spec = Spec(QStringLiteral("Drill"), QStringLiteral("StandardID"), QStringLiteral("6400"));
    const qint32 p = Protocol(QStringLiteral("Drill"), QStringLiteral("NominalVoltage, FirstTestDate"),
                              QStringLiteral("'230', '1900-01-01 00:00:00'"));
    Exec(QStringLiteral(
             "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (%1, 1, 0, 'Cable')")
             .arg(spec));
    Exec(QStringLiteral("INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo, Result) VALUES (%1, 1, 0)")
             .arg(p));
    Measurement(spec, p, 10, 101, QStringLiteral("0.3"), QStringLiteral("0.25"), 1, QStringLiteral("0.3"));
    Measurement(spec, p, 11, 999, QStringLiteral("1"), QStringLiteral("5"), 1, QStringLiteral("5"));
    Functional(spec, p, 20, QStringLiteral("Lamp"), 0, 0, 0, 0, 1, 0);
    Functional(spec, p, 21, QStringLiteral("Motor"), 2, 1.5, 2.25, 2.5, 0, 2.0);

    const CProtocolMeasurements results = Page(p, Mode::Results);
    EXPECT_FALSE(results.specificationMissing);
    EXPECT_EQ(Keys(results), (QStringList{"V1", "M10", "M11", "F20", "F21"}));
    EXPECT_EQ(Marks(results), (QStringList{kFail, kPass, kPass, kPass, kFail})); // by the stored Result
    EXPECT_EQ(results.Columns(0), (QStringList{kFail, "V1", "Cable"}));
    EXPECT_EQ(results.rows[2].text, QStringLiteral("Unknown measurement no. 999"));
    // The standard's factor of 110 % carries 230 V to 253 V.
    EXPECT_EQ(results.statusLine, QStringLiteral("Measured values extrapolated to the mains voltage: 253 V"));

    auto d = results.DetailOf(1);
    EXPECT_EQ(d.name, QStringLiteral("PE resistance"));
    EXPECT_EQ(d.valueLine, QStringLiteral("Value: 0.25 Ω"));
    EXPECT_EQ(d.limitLine, QStringLiteral("Limit: 0.30 Ω"));
    EXPECT_EQ(d.rangeLine, QStringLiteral("Range: 0.01...19.99"));
    EXPECT_FALSE(d.failed);
    d = results.DetailOf(4);
    EXPECT_EQ(d.valueLine, QStringLiteral("Value: 2.50"));
    EXPECT_EQ(d.limitLine, QStringLiteral("Limit: 1.50...2.25"));
    EXPECT_TRUE(d.failed);
    d = results.DetailOf(3);
    EXPECT_TRUE(d.valueLine.isEmpty()); // a step without a value
    EXPECT_EQ(d.limitLine, QStringLiteral("Evaluation only (passed / failed)"));
    EXPECT_TRUE(results.DetailOf(0).valueLine.isEmpty());

    // The first values: no visual rows, no functional step without limits; judged anew. The
    // first value 0.3 equals its maximum 0.3 and passes; an unknown measurement cannot.
    const CProtocolMeasurements first = Page(p, Mode::FirstValues);
    EXPECT_EQ(Keys(first), (QStringList{"M10", "M11", "F21"}));
    EXPECT_EQ(Marks(first), (QStringList{kPass, kFail, kPass}));
    EXPECT_EQ(first.DetailOf(0).valueLine, QStringLiteral("Value: 0.30 Ω"));
    EXPECT_EQ(first.statusLine, QStringLiteral("Date of the first device test: ")); // 1900 is no date
}

TEST_F(ProtocolPagesTest, FirstValuesAreJudgedByTheirCompareMode) {
    const qint32 spec = Spec(QStringLiteral("Judge"));
    const qint32 p = Protocol(QStringLiteral("Judge"));
    const struct {
        int measNo; // its LimitCompareMode in the reference data
        const char* limit;
        const char* first;
        bool passes;
    } cases[] = {
        {101, "0.5", "0.5", true}, {101, "0.5", "0.7", false}, {101, "0.5", "0.49", true}, // 0: maximum
        {201, "0.5", "0.7", true}, {201, "1.0", "1.0", true},  {201, "1.0", "0.7", false}, // 1: minimum
        {501, "1", "999", true},   {601, "0", "0", false},     {601, "0", "1", true},      // -1, 2
    };
    int refNo = 1;
    for (const auto& c : cases)
        // The stored result says the opposite, so a page that read it would be caught.
        Measurement(spec, p, refNo++, c.measNo, QString::fromLatin1(c.limit), QStringLiteral("0"),
                    c.passes ? 0 : 1, QString::fromLatin1(c.first));
    const CProtocolMeasurements first = Page(p, Mode::FirstValues);
    ASSERT_EQ(first.rows.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(first.rows[i].mark, cases[i].passes ? kPass : kFail)
            << cases[i].measNo << " limit " << cases[i].limit << " first " << cases[i].first;
    // A yes/no measurement shows no number.
    EXPECT_EQ(first.DetailOf(7).valueLine, QStringLiteral("Value: -"));
    const CProtocolMeasurements results = Page(p, Mode::Results);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(results.rows[i].mark, cases[i].passes ? kFail : kPass) << i;
}

TEST_F(ProtocolPagesTest, AppliedPartsAndALimitOfZero) {
    const qint32 spec = Spec(QStringLiteral("Monitor"), QStringLiteral("PartsUsed"), QStringLiteral("-1"));
    const qint32 p =
        Protocol(QStringLiteral("Monitor"), QStringLiteral("UseExtraPolation"), QStringLiteral("0"));
    Exec(QStringLiteral(
             "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (%1, 1, 7700, 3)")
             .arg(spec));
    Exec(QStringLiteral(
             "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (%1, 2, 7700, 28)")
             .arg(spec));
    // Bit 17 of GroupNo (upper word 2) with jacks of its own: group 2.
    Measurement(spec, p, 1, 403, QStringLiteral("0"), QStringLiteral("12.5"), 1, QStringLiteral("12.5"),
                2 << 16, 5);
    // Without jacks: the part of group 1 gives them.
    Measurement(spec, p, 2, 403, QStringLiteral("100"), QStringLiteral("99999"), 1, QStringLiteral("1"), 1,
                0);
    const CProtocolMeasurements page = Page(p, Mode::Results);
    EXPECT_TRUE(page.statusLine.isEmpty()); // extrapolation off: no note
    EXPECT_EQ(page.Heads().size(), 4);
    EXPECT_EQ(page.Columns(0), (QStringList{kPass, "M1", "Patient leakage", "1,3"}));
    EXPECT_EQ(page.Columns(1).last(), QStringLiteral("1-2"));
    auto d = page.DetailOf(0);
    EXPECT_TRUE(d.limitLine.isEmpty()); // a limit of 0 is no limit
    EXPECT_EQ(d.groupLine, QStringLiteral("Group 2, BF part"));
    EXPECT_EQ(d.leadLine, QStringLiteral("Lead: 1,3"));
    d = page.DetailOf(1);
    EXPECT_EQ(d.limitLine, QStringLiteral("Limit: 100.0 µA"));
    EXPECT_EQ(d.valueLine, QStringLiteral("Value: > 99999.0 µA")); // at the range's end

    // Without applied parts the list has no applied-part column.
    const qint32 plain = Spec(QStringLiteral("Plain"));
    const qint32 q = Protocol(QStringLiteral("Plain"));
    Measurement(plain, q, 1, 403, QStringLiteral("10"), QStringLiteral("1"), 1, QStringLiteral("1"), 2 << 16,
                5);
    const CProtocolMeasurements without = Page(q, Mode::Results);
    EXPECT_EQ(without.Heads().size(), 3);
    EXPECT_EQ(without.Columns(0).size(), 3);
}

TEST_F(ProtocolPagesTest, ADeletedSpecificationLeavesThePagesEmptyWithItsMessage) {
    const qint32 spec = Spec(QStringLiteral("Gone"));
    const qint32 p = Protocol(QStringLiteral("Gone"));
    Measurement(spec, p, 1, 101, QStringLiteral("0.3"), QStringLiteral("0.1"), 1, QStringLiteral("0.1"));
    Exec(QStringLiteral("DELETE FROM TypenTab WHERE id = %1").arg(spec));
    for (Mode mode : {Mode::Results, Mode::FirstValues}) {
        const CProtocolMeasurements page = Page(p, mode);
        EXPECT_TRUE(page.specificationMissing);
        EXPECT_EQ(page.message, QStringLiteral("The test specification Gone is not installed!"));
        EXPECT_TRUE(page.rows.empty());
    }
    CProtocolSpecLines lines;
    ASSERT_TRUE(lines.Load(db, ref, p, &Texts));
    EXPECT_TRUE(lines.specificationMissing);
    EXPECT_EQ(lines.message, QStringLiteral("The test specification Gone is not installed!"));
    EXPECT_TRUE(lines.lines.empty());
    // A protocol that is not there at all is a failure, not a missing specification.
    CProtocolMeasurements none;
    EXPECT_FALSE(none.Load(db, ref, 4711, Mode::Results, &Texts));
    EXPECT_FALSE(lines.Load(db, ref, 4711, &Texts));
}

TEST_F(ProtocolPagesTest, NullColumnsReadAsNothing) {
    Exec(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('Bare')"));
    const qint32 spec = NewId();
    Exec(QStringLiteral("INSERT INTO GeraeteTab (SpecificationName) VALUES ('Bare')"));
    const qint32 p = NewId();
    Exec(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo) VALUES (%1, 1, 101)")
             .arg(spec));
    Exec(QStringLiteral("INSERT INTO GeraetProtTab (GeraeteTabID, RefNo) VALUES (%1, 1)").arg(p));
    Exec(QStringLiteral("INSERT INTO TypFktStepTab (TypenTabID, RefNo, UseLimitsID) VALUES (%1, 2, 2)")
             .arg(spec));
    Exec(QStringLiteral("INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo) VALUES (%1, 2)").arg(p));
    Exec(QStringLiteral("INSERT INTO TypSichtPrfTab (TypenTabID, RefNo) VALUES (%1, 3)").arg(spec));
    Exec(QStringLiteral("INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo) VALUES (%1, 3)").arg(p));

    const CProtocolMeasurements results = Page(p, Mode::Results);
    EXPECT_EQ(Keys(results), (QStringList{"V3", "M1", "F2"}));
    EXPECT_EQ(Marks(results), (QStringList{kFail, kFail, kFail})); // no result is no pass
    EXPECT_TRUE(results.statusLine.isEmpty());                     // no nominal voltage, no note
    EXPECT_EQ(results.DetailOf(1).valueLine, QStringLiteral("Value: < 0.00 Ω"));
    EXPECT_TRUE(results.DetailOf(1).limitLine.isEmpty());
    const CProtocolMeasurements first = Page(p, Mode::FirstValues);
    // 0 is not above a maximum of 0, and lies within 0...0.
    EXPECT_EQ(Marks(first), (QStringList{kPass, kPass}));

    CProtocolMasterData master;
    ASSERT_TRUE(master.Load(db, p, &Texts));
    EXPECT_TRUE(master.device.isEmpty());
    EXPECT_EQ(master.resultColour, CProtocolMasterData::ResultColour::Other);
    EXPECT_FALSE(master.testDate.isValid());
    EXPECT_EQ(master.reviewPeriod, 0);
    EXPECT_EQ(master.specificationReviewPeriod, 12); // the specification has none
    for (const auto& f : master.fields)
        EXPECT_TRUE(f.value.isEmpty()) << f.column.toStdString();

    CProtocolSpecLines lines;
    ASSERT_TRUE(lines.Load(db, ref, p, &Texts));
    ASSERT_FALSE(lines.lines.empty());
    EXPECT_EQ(lines.Columns(0), (QStringList{"Test specification", "Bare"}));
    EXPECT_EQ(lines.Columns(3), (QStringList{"Test interval", "0 Months"}));
    EXPECT_EQ(lines.Columns(5), (QStringList{"Created on", ""}));
}

TEST_F(ProtocolPagesTest, TheSpecificationPageShowsItsGroupsOfLines) {
    const qint32 spec = Spec(
        QStringLiteral("Saw"),
        QStringLiteral("Manufacturer, Description, ReviewPeriod, ClassID, CreateDate, TypID, NominalPower, "
                       "CordLength, MeasMethodeID, AllPe, PhaseReverseEnable, WarningNotice, PowerPhase, "
                       "TestSequenceID, PartsUsed, IconSymbol"),
        QStringLiteral("'Bosch', 'Saw 3', 24, 5001, '1900-01-01 00:00:00', 5050, 3, 2.5, 10501, 1, -1, 0, "
                       "NULL, 10603, -1, 'IDB_GERAET'"));
    const qint32 p = Protocol(QStringLiteral("Saw"));
    Exec(QStringLiteral(
             "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (%1, 1, 7700, 11)")
             .arg(spec));
    Exec(QStringLiteral(
             "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (%1, 1, 99999, 'x')")
             .arg(spec));
    Exec(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, TypOrder) VALUES (%1, 5, 101, 1)")
             .arg(spec));
    Exec(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, TypOrder) VALUES (%1, 6, 998, 2)")
             .arg(spec));
    Exec(QStringLiteral("INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText) VALUES (%1, 7, 'Brake')")
             .arg(spec));
    CProtocolSpecLines lines;
    ASSERT_TRUE(lines.Load(db, ref, p, &Texts));
    QStringList shown;
    for (int i = 0; i < int(lines.lines.size()); ++i)
        shown << lines.Columns(i).join(QLatin1Char('\t'));
    const QString dashes = CProtocolSpecLines::SeparatorText();
    const QStringList expected{
        "Test specification\tSaw",
        "Manufacturer\tBosch",
        "Description\tSaw 3",
        "Test interval\t24 Months",
        "Protection class\tClass I",
        "Created on\t",
        dashes,
        "Nominal power\t3 kVA",
        "Cord length\tmax. 2.5 [m]",
        dashes,
        "Measuring method\tDirect",
        "All PE connections\t" + kPass,
        "Warning notice\tX", // -1 is not set and left out; NULL reads as not set too
        "Test sequence\tManual",
        dashes,
        "Group 1, BF part\tLead: 1-2,4",
        dashes,
        "V1\tTextID 99999 ?",
        "M101\tPE resistance",
        "M998\tUnknown measurement no. 998",
        "F7\tBrake",
    };
    EXPECT_EQ(shown, expected);

    // A loop-impedance device keeps its impedance and current in the cord and power columns; a
    // lead shows no protective measures.
    const qint32 loop =
        Spec(QStringLiteral("Loop"), QStringLiteral("TypID, NominalPower, CordLength, IconSymbol, AllPe"),
             QStringLiteral("6650, 16, 0.8, 'IDB_LEITUNG_3', 1"));
    Q_UNUSED(loop);
    ASSERT_TRUE(lines.Load(db, ref, Protocol(QStringLiteral("Loop")), &Texts));
    shown.clear();
    for (int i = 0; i < int(lines.lines.size()); ++i)
        shown << lines.Columns(i).join(QLatin1Char('\t'));
    EXPECT_TRUE(shown.contains(QStringLiteral("Loop impedance\tZs max. 0.8 [mΩ]")))
        << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Tripping current\tIa = 16 [A]")));
    EXPECT_FALSE(shown.join(QLatin1Char('|')).contains(QStringLiteral("All PE")));
}

TEST_F(ProtocolPagesTest, CommandLineShowsEveryPageOfTheSheet) {
    const qint32 spec = Spec(QStringLiteral("Drill"));
    const qint32 p = Protocol(QStringLiteral("Drill"));
    Measurement(spec, p, 1, 101, QStringLiteral("0.3"), QStringLiteral("0.25"), 1, QStringLiteral("0.5"));
    Functional(spec, p, 2, QStringLiteral("Lamp"), 0, 0, 0, 0, 1, 0);
    auto show = [&](const char* language) {
        return RunProgram(QStringLiteral("v740ctl"),
                          {QStringLiteral("--data"), tmp.path(), QStringLiteral("--lang"),
                           QString::fromUtf8(language), QStringLiteral("show"), QStringLiteral("--kind"),
                           QStringLiteral("protocols"), QStringLiteral("--id"), QString::number(p)});
    };
    const QString name = QStringLiteral("Protective conductor resistance (200 mA)");
    auto r = show("English");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n== Test steps\n") + kPass + "\tM1\t" + name + "\n" + kPass +
                               "\tF2\tLamp\n== First test values\nX\tM1\t" + name +
                               "\n== Test specification\nTest specification\tDrill\n"))
        << r.out.toStdString();
    r = show("Deutsch");
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n== Prüfschritte\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n== Werte der Erstprüfung\n")));

    // Without its specification the protocol still shows; the pages that need it are empty.
    Exec(QStringLiteral("DELETE FROM TypenTab WHERE id = %1").arg(spec));
    r = show("English");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.endsWith(QStringLiteral("\n== Test steps\n== First test values\n== Test specification\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("The test specification Drill is not installed!")));
}

} // namespace
