#include "platform/SettingsFile.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"
#include "views/ClientCheck.h"
#include "views/FieldEditorModel.h"
#include "views/NextTestDateModel.h"

#include <gtest/gtest.h>

namespace {

class FieldEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), QStringLiteral("user2.db")));
        ASSERT_TRUE(
            db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID) VALUES ('Drill', 5050)")));
    }
    qint32 Add(const QString& device, const QString& client, const QString& guid, const QString& testDate,
               int review = 12) {
        EXPECT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, Client, myGUID, "
                           "TestDate, ReviewPeriod, History) VALUES ('Drill', %1, %2, %3, %4, %5, 0)")
                .arg(SqlLiteral(device), SqlLiteral(client), SqlLiteral(guid), SqlLiteral(testDate))
                .arg(review)));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }

    CNotifierScope notes;
    QTemporaryDir tmp;
    CAdoDatabase db;
};

TEST_F(FieldEditorTest, ChoicesHoldCurrentLastSeparatorAndTheColumnsValues) {
    Add(QStringLiteral("D1"), QStringLiteral("Zeta"), QStringLiteral("g1"),
        QStringLiteral("2026-01-10 10:00:00"), 24);
    Add(QStringLiteral("D2"), QStringLiteral("Alpha"), QStringLiteral("g2"),
        QStringLiteral("2026-01-10 10:00:00"), 6);
    Add(QStringLiteral("D3"), QStringLiteral("Alpha"), QStringLiteral("g3"),
        QStringLiteral("2026-01-10 10:00:00"), 6);
    // Umlauts sort beside their letter, not after Z.
    Add(QStringLiteral("D4"), QStringLiteral("Ölmühle"), QStringLiteral("g4"),
        QStringLiteral("2026-01-10 10:00:00"), 6);
    CSettingsFile ini(tmp.path());

    EXPECT_EQ(FieldEditorModel::Choices(QStringLiteral("Now"), QStringLiteral("Client"),
                                        QStringLiteral("GeraeteTab"), 5, ini, &db),
              (QStringList{QStringLiteral("Now"), QStringLiteral("-----"), QStringLiteral("Alpha"),
                           QStringLiteral("Ölmühle"), QStringLiteral("Zeta")}));
    FieldEditorModel::StoreLast(ini, QStringLiteral("Client"), QStringLiteral("Beta"));
    EXPECT_EQ(FieldEditorModel::Choices(QString(), QStringLiteral("Client"), QStringLiteral("GeraeteTab"), 3,
                                        ini, nullptr),
              (QStringList{QString(), QStringLiteral("Beta"), QStringLiteral("---")}));
    EXPECT_EQ(FieldEditorModel::Choices(QStringLiteral("12"), QStringLiteral("ReviewPeriod"),
                                        QStringLiteral("GeraeteTab"), 2, ini, &db)
                  .mid(2),
              (QStringList{QStringLiteral("6"), QStringLiteral("24")}));
    // Names that are not plain column names never reach the statement.
    EXPECT_EQ(FieldEditorModel::Choices(QStringLiteral("x"), QStringLiteral("Client;DROP"),
                                        QStringLiteral("GeraeteTab"), 1, ini, &db)
                  .size(),
              2);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
}

TEST_F(FieldEditorTest, ApostrophesAndBackslashesNeverGetThrough) {
    struct Case {
        const char* typed;
        const char* kept;
        bool removed;
    };
    const Case cases[] = {{"O'Neil", "ONeil", true},
                          {"C:\\dir", "C:dir", true},
                          {"plain", "plain", false},
                          {"''\\\\", "", true},
                          {"100%_x", "100%_x", false}};
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.typed);
        EXPECT_EQ(FieldEditorModel::StripForbidden(text), c.removed) << c.typed;
        EXPECT_EQ(text, QString::fromUtf8(c.kept)) << c.typed;
    }
    EXPECT_EQ(FieldEditorModel::Accept(QStringLiteral("Room 1'  "), 20), QStringLiteral("Room 1"));
    EXPECT_EQ(FieldEditorModel::Accept(QStringLiteral("ÄÖÜäöüßéèČř"), 5), QStringLiteral("ÄÖÜäö"));
}

TEST_F(FieldEditorTest, AClientOfAnotherDeviceWithTheSameNameIsRefused) {
    Add(QStringLiteral("Drill 7"), QStringLiteral("ACME"), QStringLiteral("guid-a"),
        QStringLiteral("2026-01-10 10:00:00"));
    Add(QStringLiteral("Drill 7"), QStringLiteral("Bolt's"), QStringLiteral("guid-b"),
        QStringLiteral("2026-01-10 10:00:00"));
    using ClientCheck::Result;
    // Device guid-b may not take ACME, which device guid-a of the same name has.
    EXPECT_EQ(
        ClientCheck::Check(db, QStringLiteral("Drill 7"), QStringLiteral("ACME"), QStringLiteral("guid-b")),
        Result::Duplicate);
    // Its own present client, with an apostrophe, is accepted, as is a new one.
    EXPECT_EQ(
        ClientCheck::Check(db, QStringLiteral("Drill 7"), QStringLiteral("Bolt's"), QStringLiteral("guid-b")),
        Result::Accepted);
    EXPECT_EQ(
        ClientCheck::Check(db, QStringLiteral("Drill 7"), QStringLiteral("New"), QStringLiteral("guid-b")),
        Result::Accepted);
    EXPECT_EQ(
        ClientCheck::Check(db, QStringLiteral("Drill 7"), QStringLiteral("ACME"), QStringLiteral("guid-a")),
        Result::Accepted);
    db.Execute(QStringLiteral("DROP TABLE GeraeteTab"));
    notes.recorder.Clear();
    EXPECT_EQ(
        ClientCheck::Check(db, QStringLiteral("Drill 7"), QStringLiteral("ACME"), QStringLiteral("guid-b")),
        Result::DatabaseError);
}

TEST_F(FieldEditorTest, NextTestDateFollowsTheActiveIntervalAndClamps) {
    const qint32 id = Add(QStringLiteral("D1"), QStringLiteral("C"), QStringLiteral("g"),
                          QStringLiteral("2024-01-31 09:00:00"));
    EXPECT_EQ(NextTestDateFromInterval(db, id, 1), QDate(2024, 2, 29)); // end of a leap February
    EXPECT_EQ(NextTestDateFromInterval(db, id, 12), QDate(2025, 1, 31));
    EXPECT_EQ(NextTestDateFromInterval(db, 9999, 12), QDate());

    auto compute = [&](int months) { return NextTestDateFromInterval(db, id, months); };
    // The stored date matches the specification's 12 months: the match option starts ticked.
    CNextTestDateModel m(0, 12, QDate(2025, 1, 31), compute);
    EXPECT_TRUE(m.UsesSpecification());
    EXPECT_TRUE(m.Match());
    m.SetMonths(3); // read-only while the specification's interval applies
    EXPECT_EQ(m.Months(), 12);
    m.ChooseDevice();
    EXPECT_EQ(m.DeviceInterval(), 12);
    m.SetMonths(0);
    EXPECT_EQ(m.DeviceInterval(), 1);
    EXPECT_EQ(m.Date(), QDate(2024, 2, 29));
    m.SetMonths(99);
    EXPECT_EQ(m.DeviceInterval(), 60);
    EXPECT_EQ(m.Date(), QDate(2029, 1, 31));
    m.SetDateByHand(QDate(2026, 6, 1));
    EXPECT_FALSE(m.Match());
    m.SetMatch(true);
    EXPECT_EQ(m.Date(), QDate(2029, 1, 31));
    m.SetMatch(false);
    EXPECT_EQ(m.Date(), QDate(2025, 1, 31)); // the start value
    m.SetMatch(true);
    m.ChooseSpecification();
    EXPECT_EQ(m.DeviceInterval(), 0);
    EXPECT_EQ(m.Date(), QDate(2025, 1, 31));

    // A hand-set date that no interval gives starts unticked.
    CNextTestDateModel other(6, 12, QDate(2030, 5, 5), compute);
    EXPECT_FALSE(other.Match());
    EXPECT_EQ(other.Months(), 6);
}

} // namespace
