#include "platform/Folders.h"
#include "sheets/TestStepsData.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

QString StepTexts(qint32 id, const QString& fallback) {
    switch (id) {
    case 12101:
        return QStringLiteral("PE resistance");
    case 12403:
        return QStringLiteral("Patient leakage");
    case 7001:
        return QStringLiteral("Housing intact");
    case 7700:
        return QStringLiteral("BF part");
    default:
        return fallback;
    }
}

class TestStepsDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), QStringLiteral("user2.db")));
        ASSERT_TRUE(ref.Open(QStringLiteral(V740_BIN_DIR), QStringLiteral("velmor.db")));
    }
    qint32 Spec(bool parts) {
        EXPECT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO TypenTab (Name, StandardID, PartsUsed) VALUES ('S%1', 6000, %2)")
                .arg(++count)
                .arg(parts ? -1 : 0)));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }
    void Exec(const QString& sql) { ASSERT_TRUE(db.Execute(sql)) << sql.toStdString(); }

    CNotifierScope notes;
    QTemporaryDir tmp;
    CAdoDatabase db, ref;
    int count = 0;
};

TEST_F(TestStepsDataTest, RowsInTheirThreeBlocksWithTheirDetails) {
    const qint32 id = Spec(false);
    Exec(QStringLiteral(
             "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (%1, 2, 0, 'Own text')")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (%1, 1, 7001, 'x')")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, MainOrder, Limit, GroupNo, Jacks) "
             "VALUES (%1, 101, 1, 1, 0.3, 0, 0)")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, MainOrder, Limit, GroupNo, Jacks) "
             "VALUES (%1, 101, 2, 1, 0, 0, 0)")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, MainOrder, Limit, GroupNo, Jacks) "
             "VALUES (%1, 999, 3, 1, 1, 0, 0)")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, MainOrder, Limit, GroupNo, Jacks) "
             "VALUES (%1, 101, 4, 1, 19.99, 0, 0)")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, HighLimit) "
             "VALUES (%1, 1, 'Motor runs', 2, 1.5, 2.25)")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, HighLimit) "
             "VALUES (%1, 2, 'Lamp', 0, 0, 0)")
             .arg(id));

    CTestStepsData data;
    ASSERT_TRUE(data.Load(db, ref, id, &StepTexts));
    EXPECT_FALSE(data.partsUsed);
    QStringList keys, texts;
    for (const auto& r : data.rows) {
        keys << r.key;
        texts << r.text;
        EXPECT_TRUE(r.apColumn.isEmpty());
    }
    EXPECT_EQ(keys, (QStringList{"V1", "V2", "M101", "M101", "M999", "M101", "F1", "F2"}));
    EXPECT_EQ(texts[0], QStringLiteral("Housing intact"));
    EXPECT_EQ(texts[1], QStringLiteral("Own text"));
    EXPECT_EQ(texts[4], QStringLiteral("Unknown measurement no. 999"));

    EXPECT_EQ(data.DetailOf(2).limitLine, QStringLiteral("Limit: 0.30 Ω"));
    EXPECT_TRUE(data.DetailOf(3).limitLine.isEmpty()); // a limit of 0 shows no line
    EXPECT_EQ(data.DetailOf(5).limitLine, QStringLiteral("Limit: > 19.99 Ω"));
    EXPECT_EQ(data.DetailOf(6).limitLine, QStringLiteral("Limit: 1.50...2.25"));
    EXPECT_EQ(data.DetailOf(7).limitLine, QStringLiteral("Evaluation only (passed / failed)"));
    EXPECT_TRUE(data.DetailOf(2).groupCaption.isEmpty());
    EXPECT_EQ(data.DetailOf(42).name, QString());
}

TEST_F(TestStepsDataTest, AppliedPartsByGroupWordOrByGroupNumber) {
    const qint32 id = Spec(true);
    Exec(QStringLiteral(
             "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (%1, 1, 7700, 3)")
             .arg(id));
    Exec(QStringLiteral(
             "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (%1, 2, 7700, 28)")
             .arg(id));
    // Upper word 2 (bit 17): group 2; the step's own jacks.
    Exec(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, Limit, GroupNo, Jacks) "
                        "VALUES (%1, 403, 1, 100, %2, 5)")
             .arg(id)
             .arg(2 << 16));
    // Jacks 0: the part of group 1 gives the jacks.
    Exec(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, Limit, GroupNo, Jacks) "
                        "VALUES (%1, 403, 2, 100, 1, 0)")
             .arg(id));
    CTestStepsData data;
    ASSERT_TRUE(data.Load(db, ref, id, &StepTexts));
    ASSERT_EQ(data.rows.size(), 2u);
    EXPECT_TRUE(data.partsUsed);
    EXPECT_EQ(data.rows[0].values.groupMask, 2u);
    EXPECT_EQ(data.rows[0].apColumn, QStringLiteral("1,3"));
    EXPECT_EQ(data.rows[1].apColumn, QStringLiteral("1-2"));
    const auto d = data.DetailOf(0);
    EXPECT_EQ(d.groupCaption, QStringLiteral("Group"));
    EXPECT_EQ(d.groupJacks, QStringLiteral("2"));
    EXPECT_EQ(d.appliedPart, QStringLiteral("BF part,"));
    EXPECT_EQ(d.leadLine, QStringLiteral("Lead: 1,3"));
    EXPECT_EQ(d.limitLine, QStringLiteral("Limit: 100.0 µA"));
}

TEST_F(TestStepsDataTest, CommandLineShowsAndEditsASpecification) {
    Exec(QStringLiteral(
        "INSERT INTO TypenTab (Name, StandardID, TestSequenceID, WarningNotice, IconSymbol, Description) "
        "VALUES ('Pump', 5800, 10601, 0, 'IDB_GERAET', 'Old')"));
    qint32 id = 0;
    ASSERT_TRUE(db.GetNewId(id));
    Exec(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, Limit, GroupNo, Jacks) "
                        "VALUES (%1, 101, "
                        "1, 0.3, 0, 0)")
             .arg(id));
    auto ctl = [&](QStringList args) {
        return RunProgram(QStringLiteral("v740ctl"),
                          QStringList{QStringLiteral("--data"), tmp.path(), QStringLiteral("--lang"),
                                      QStringLiteral("English")} +
                              args);
    };
    const QStringList base{QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--id"),
                           QString::number(id)};
    auto r = ctl(QStringList{QStringLiteral("show")} + base);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("== General\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n\tDescription\tOld\n")));
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("\n== Test steps\nM101\tProtective conductor resistance (200 mA)\n")));
    EXPECT_TRUE(r.out.contains(QString(QChar(0x221A)) + QStringLiteral("\t"))); // the marked sequence

    r = ctl(QStringList{QStringLiteral("edit")} + base +
            QStringList{QStringLiteral("--set"), QStringLiteral("Description=Bolt \"50%\" --"),
                        QStringLiteral("--set"), QStringLiteral("TestSequenceID=10605"),
                        QStringLiteral("--set"), QStringLiteral("WarningNotice=1"), QStringLiteral("--set"),
                        QStringLiteral("reviewperiod=120")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(id)));
    QString description;
    qint32 sequence = 0, warning = 0;
    ASSERT_TRUE(db.GetString(QStringLiteral("Description"), description));
    ASSERT_TRUE(db.GetLong(QStringLiteral("TestSequenceID"), sequence));
    ASSERT_TRUE(db.GetLong(QStringLiteral("WarningNotice"), warning));
    db.CloseRecordset();
    EXPECT_EQ(description, QStringLiteral("Bolt \"50%\" --"));
    EXPECT_EQ(sequence, 10605);
    EXPECT_EQ(warning, 1);
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT ReviewPeriod FROM TypenTab WHERE id = %1").arg(id)));
    qint32 months = 0;
    ASSERT_TRUE(db.GetLong(QStringLiteral("ReviewPeriod"), months));
    db.CloseRecordset();
    EXPECT_EQ(months, 120);

    for (const QString& bad :
         {QStringLiteral("Name=x"), QStringLiteral("ReviewPeriod=12, Name = 'x'"),
          QStringLiteral("TestSequenceID=4711"), QStringLiteral("WarningNotice=2"),
          QStringLiteral("Description=123456789012345678901"), QStringLiteral("Description=Bolt's"),
          QStringLiteral("Manufacturer=a\\b"), QStringLiteral("ReviewPeriod=0"),
          QStringLiteral("ReviewPeriod=1000"), QStringLiteral("ReviewPeriod=1.5")})
        EXPECT_EQ(ctl(QStringList{QStringLiteral("edit")} + base + QStringList{QStringLiteral("--set"), bad})
                      .exitCode,
                  1)
            << bad.toStdString();
    // Values as stored already: exit 0 and nothing written, not even the change date.
    auto createDate = [&] {
        QString v;
        if (db.OpenQuery(
                QStringLiteral("SELECT CAST(CreateDate AS TEXT) AS c FROM TypenTab WHERE id = %1").arg(id)) &&
            db.HasRow())
            db.GetString(QStringLiteral("c"), v);
        db.CloseRecordset();
        return v;
    };
    Exec(QStringLiteral("UPDATE TypenTab SET CreateDate = '2001-01-01 00:00:00' WHERE id = %1").arg(id));
    r = ctl(QStringList{QStringLiteral("edit")} + base +
            QStringList{QStringLiteral("--set"), QStringLiteral("description=Bolt \"50%\" --"),
                        QStringLiteral("--set"), QStringLiteral("TestSequenceID=10605")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(createDate(), QStringLiteral("2001-01-01 00:00:00"));
}

} // namespace
