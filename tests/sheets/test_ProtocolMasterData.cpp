#include "sheets/ProtocolMasterData.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QMap>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Save = CProtocolMasterData::SaveResult;

class ProtocolMasterDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), QStringLiteral("user2.db")));
        ASSERT_TRUE(db.Execute(QStringLiteral(
            "INSERT INTO TypenTab (Name, StandardID, ReviewPeriod) VALUES ('Drill', 5050, 24)")));
    }
    qint32 Add(const QString& device, const QString& client, const QString& guid,
               const QString& next = QString()) {
        EXPECT_TRUE(db.Execute(
            QStringLiteral(
                "INSERT INTO GeraeteTab (SpecificationName, Device, Client, myGUID, TestDate, NextTestDate, "
                "TestResultID, Operator, ReviewPeriod, History) VALUES ('Drill', %1, %2, %3, "
                "'1900-01-01 00:00:00', %4, 30801, 'Eva', 0, 0)")
                .arg(SqlLiteral(device), SqlLiteral(client), SqlLiteral(guid),
                     next.isEmpty() ? QStringLiteral("NULL") : SqlLiteral(next))));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }
    QString Column(qint32 id, const QString& column) {
        QString v;
        // As text whatever the column's type, so one helper reads them all.
        if (db.OpenQuery(QStringLiteral("SELECT CAST(%1 AS TEXT) AS v FROM GeraeteTab WHERE id = %2")
                             .arg(column)
                             .arg(id)) &&
            db.HasRow() && !db.IsNull(QStringLiteral("v")))
            db.GetString(QStringLiteral("v"), v);
        db.CloseRecordset();
        return v;
    }
    static QString Texts(qint32 id, const QString& fallback) {
        return id == 30801 ? QStringLiteral("failed") : fallback;
    }

    CNotifierScope notes;
    QTemporaryDir tmp;
    CAdoDatabase db;
};

TEST_F(ProtocolMasterDataTest, LoadsWhatThePageShows) {
    const qint32 id = Add(QStringLiteral("D-1"), QStringLiteral("ACME"), QStringLiteral("g1"));
    CProtocolMasterData data;
    ASSERT_TRUE(data.Load(db, id, &Texts));
    EXPECT_EQ(data.resultText, QStringLiteral("failed"));
    EXPECT_EQ(data.resultColour, CProtocolMasterData::ResultColour::Failed);
    EXPECT_FALSE(data.testDate.isValid()); // 1 January 1900 is no date
    EXPECT_FALSE(data.nextTestDate.isValid());
    EXPECT_EQ(data.specificationReviewPeriod, 24);
    ASSERT_EQ(data.fields.size(), 11u);
    EXPECT_EQ(data.fields[3].column, QStringLiteral("Client"));
    EXPECT_EQ(data.fields[3].value, QStringLiteral("ACME"));
    EXPECT_EQ(data.fields[10].maxLength, 128);
    EXPECT_FALSE(data.Load(db, 4711, &Texts));
}

TEST_F(ProtocolMasterDataTest, ValuesAreStoredExactlyAsTypedNeverExecuted) {
    const qint32 id = Add(QStringLiteral("D-1"), QStringLiteral("ACME"), QStringLiteral("g1"));
    CProtocolMasterData data;
    ASSERT_TRUE(data.Load(db, id, &Texts));
    const QString tricky = QStringLiteral("O'Neil'); DROP TABLE x;--");
    ASSERT_FALSE(data.SetField(QStringLiteral("Serial"), tricky)); // 20 characters at most
    ASSERT_TRUE(data.SetField(QStringLiteral("Comment"), tricky));
    ASSERT_TRUE(data.SetField(QStringLiteral("room"), QStringLiteral("C:\\50% _x")));
    ASSERT_TRUE(
        data.SetField(QStringLiteral("City"), QStringLiteral("Česká Lípa Žďár nad Sázavou ÄÖ"))); // 30
    EXPECT_FALSE(data.SetField(QStringLiteral("Device"), QStringLiteral("x")));
    EXPECT_FALSE(data.SetField(QStringLiteral("myGUID"), QStringLiteral("x")));
    ASSERT_EQ(data.Save(db), Save::Saved) << data.Message().toStdString();
    EXPECT_EQ(Column(id, QStringLiteral("Comment")), tricky);
    EXPECT_EQ(Column(id, QStringLiteral("Room")), QStringLiteral("C:\\50% _x"));
    EXPECT_EQ(Column(id, QStringLiteral("City")), QStringLiteral("Česká Lípa Žďár nad Sázavou ÄÖ"));
    // No next test date was set: the protocol keeps none.
    EXPECT_TRUE(Column(id, QStringLiteral("NextTestDate")).isEmpty());
}

TEST_F(ProtocolMasterDataTest, EveryEditableFieldTakesHostileTextAtItsFullLength) {
    const qint32 id = Add(QStringLiteral("D-1"), QStringLiteral("ACME"), QStringLiteral("g1"));
    CProtocolMasterData data;
    ASSERT_TRUE(data.Load(db, id, &Texts));
    // Quotes, a backslash, LIKE wildcards, a comment and letters of two bytes, filled up to the
    // field's length with more of them.
    const QString hostile = QStringLiteral("O'N\\%_\"; --Žď");
    QMap<QString, QString> typed;
    for (const auto& field : CProtocolMasterData::FieldTable()) {
        QString value = hostile.left(field.maxLength);
        while (value.size() < field.maxLength)
            value += QChar(0x0159); // ř
        typed[field.column] = value;
        ASSERT_TRUE(data.SetField(field.column, value)) << field.column.toStdString();
        EXPECT_FALSE(data.SetField(field.column, value + QLatin1Char('x'))) << field.column.toStdString();
    }
    ASSERT_EQ(data.Save(db), Save::Saved) << data.Message().toStdString();
    for (auto it = typed.cbegin(); it != typed.cend(); ++it)
        EXPECT_EQ(Column(id, it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(Column(id, QStringLiteral("Device")), QStringLiteral("D-1"));
}

TEST_F(ProtocolMasterDataTest, NextTestDateAndReviewPeriodEnterTheSave) {
    const qint32 id = Add(QStringLiteral("D-1"), QStringLiteral("ACME"), QStringLiteral("g1"),
                          QStringLiteral("2027-03-01 14:07:09"));
    CProtocolMasterData data;
    ASSERT_TRUE(data.Load(db, id, &Texts));
    data.SetNextTest(QDate(2036, 2, 29), 6);
    EXPECT_EQ(
        data.SaveStatement(),
        QStringLiteral(
            "UPDATE GeraeteTab SET NextTestDate = '2036-02-29 14:07:09', ReviewPeriod = 6 WHERE id = %1")
            .arg(id));
    ASSERT_EQ(data.Save(db), Save::Saved);
    EXPECT_EQ(Column(id, QStringLiteral("ReviewPeriod")), QStringLiteral("6"));
}

TEST_F(ProtocolMasterDataTest, AClientTakenByAnotherDeviceOfTheSameNameIsRefused) {
    Add(QStringLiteral("Drill 7"), QStringLiteral("ACME"), QStringLiteral("guid-a"));
    const qint32 b = Add(QStringLiteral("Drill 7"), QStringLiteral("Bolt"), QStringLiteral("guid-b"));
    CProtocolMasterData data;
    ASSERT_TRUE(data.Load(db, b, &Texts));
    ASSERT_TRUE(data.SetField(QStringLiteral("Client"), QStringLiteral("ACME")));
    ASSERT_TRUE(data.SetField(QStringLiteral("Room"), QStringLiteral("12")));
    EXPECT_EQ(data.Save(db), Save::ClientTaken);
    EXPECT_TRUE(data.Message().contains(QStringLiteral("Drill 7"))) << data.Message().toStdString();
    EXPECT_EQ(Column(b, QStringLiteral("Client")), QStringLiteral("Bolt"));
    EXPECT_TRUE(Column(b, QStringLiteral("Room")).isEmpty()); // nothing of the save happened
    // Back to its own client: accepted.
    ASSERT_TRUE(data.SetField(QStringLiteral("Client"), QStringLiteral("Bolt")));
    EXPECT_EQ(data.Save(db), Save::Saved);
    EXPECT_EQ(Column(b, QStringLiteral("Room")), QStringLiteral("12"));
}

TEST_F(ProtocolMasterDataTest, TwoSavesCannotBothTakeOneClient) {
    const qint32 a = Add(QStringLiteral("Drill 7"), QStringLiteral("A"), QStringLiteral("guid-a"));
    const qint32 b = Add(QStringLiteral("Drill 7"), QStringLiteral("B"), QStringLiteral("guid-b"));
    for (int round = 0; round < 10; ++round) {
        const QString client = QStringLiteral("Shared %1").arg(round);
        Save results[2];
        std::thread threads[2];
        for (int i = 0; i < 2; ++i) {
            threads[i] = std::thread([&, i] {
                CAdoDatabase own;
                CProtocolMasterData data;
                if (!own.Open(tmp.path(), QStringLiteral("user2.db")) || !data.Load(own, i ? b : a, &Texts) ||
                    !data.SetField(QStringLiteral("Client"), client)) {
                    results[i] = Save::DatabaseError;
                    return;
                }
                results[i] = data.Save(own);
            });
        }
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(int(results[0] == Save::Saved) + int(results[1] == Save::Saved), 1) << round;
        EXPECT_EQ(int(results[0] == Save::ClientTaken) + int(results[1] == Save::ClientTaken), 1) << round;
    }
}

TEST_F(ProtocolMasterDataTest, CommandLineShowsAndEdits) {
    const qint32 id = Add(QStringLiteral("D-1"), QStringLiteral("ACME"), QStringLiteral("g1"),
                          QStringLiteral("2027-03-01 08:00:00"));
    Add(QStringLiteral("D-1"), QStringLiteral("Other"), QStringLiteral("g2"));
    auto ctl = [&](QStringList args) {
        return RunProgram(QStringLiteral("v740ctl"),
                          QStringList{QStringLiteral("--data"), tmp.path(), QStringLiteral("--lang"),
                                      QStringLiteral("English")} +
                              args);
    };
    const QString sid = QString::number(id);
    auto r = ctl({QStringLiteral("show"), QStringLiteral("--kind"), QStringLiteral("protocols"),
                  QStringLiteral("--id"), sid});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Every page of the sheet, each under its title, one row a line.
    for (const char* line :
         {"== Device data\nD-1\n", "\nClient\tACME\n", "\n== Test steps\n== First test values\n",
          "\n== Test specification\nTest specification\tDrill\n"})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(line))) << line << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nTest date: \n"))); // 1 January 1900 shows as no date

    r = ctl({QStringLiteral("edit"), QStringLiteral("--kind"), QStringLiteral("protocols"),
             QStringLiteral("--id"), sid, QStringLiteral("--set"), QStringLiteral("Comment=100% \"ok\"; --"),
             QStringLiteral("--review-period"), QStringLiteral("6"), QStringLiteral("--next-test-date"),
             QStringLiteral("2027-09-01")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Column(id, QStringLiteral("Comment")), QStringLiteral("100% \"ok\"; --"));
    EXPECT_TRUE(Column(id, QStringLiteral("NextTestDate")).startsWith(QStringLiteral("2027-09-01")));

    struct Refusal {
        QStringList args;
        int exit;
    };
    const Refusal refusals[] = {
        {{QStringLiteral("--set"), QStringLiteral("Client=Other")}, 1},
        {{QStringLiteral("--set"), QStringLiteral("Device=X")}, 1},
        {{QStringLiteral("--set"), QStringLiteral("NoEquals")}, 2},
        {{QStringLiteral("--review-period"), QStringLiteral("61")}, 2},
        {{QStringLiteral("--next-test-date"), QStringLiteral("2027-02-30")}, 2},
        {{QStringLiteral("--set"), QStringLiteral("Comment=it's")}, 1},
        {{QStringLiteral("--set"), QStringLiteral("Room=C:\\x")}, 1},
        {{QStringLiteral("--set"), QStringLiteral("Serial=123456789012345678901")}, 1},
        {{QStringLiteral("--review-period"), QStringLiteral("-1")}, 2},
        // Nothing that differs from what is stored: nothing to do, and that is no failure.
        {{QStringLiteral("--set"), QStringLiteral("client=ACME"), QStringLiteral("--review-period"),
          QStringLiteral("6")},
         0},
        {{}, 0},
    };
    for (const Refusal& f : refusals) {
        r = ctl(QStringList{QStringLiteral("edit"), QStringLiteral("--kind"), QStringLiteral("protocols"),
                            QStringLiteral("--id"), sid} +
                f.args);
        EXPECT_EQ(r.exitCode, f.exit) << f.args.join(QLatin1Char(' ')).toStdString() << r.err.toStdString();
    }
    // None of them wrote anything.
    EXPECT_EQ(Column(id, QStringLiteral("Comment")), QStringLiteral("100% \"ok\"; --"));
    EXPECT_TRUE(Column(id, QStringLiteral("Room")).isEmpty());
    EXPECT_EQ(Column(id, QStringLiteral("ReviewPeriod")), QStringLiteral("6"));
    EXPECT_EQ(Column(id, QStringLiteral("Client")), QStringLiteral("ACME"));
}

} // namespace
