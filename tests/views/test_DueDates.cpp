#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"
#include "views/DueDates.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using DueDates::State;

const QDate kToday(2026, 12, 8);

TEST(DueDates, ClassifiesByTheDatePartAroundToday) {
    struct Case {
        QDate next;
        int window;
        State expected;
    };
    const Case cases[] = {
        {QDate(2026, 12, 7), 30, State::Overdue},
        {QDate(2026, 12, 8), 30, State::Due},
        {QDate(2027, 1, 7), 30, State::Due},
        {QDate(2027, 1, 8), 30, State::None},
        {QDate(2026, 12, 8), 0, State::Due},
        {QDate(2026, 12, 9), 0, State::None},
        {QDate(2026, 12, 9), -1, State::None},
        {QDate(2020, 2, 29), -1, State::Overdue},
        {QDate(), 30, State::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DueDates::Classify(c.next, kToday, c.window), c.expected)
            << c.next.toString().toStdString();
    EXPECT_EQ(DueDates::NextTestDate(QStringLiteral("1900-01-01 00:00:00")), QDate());
    EXPECT_EQ(DueDates::NextTestDate(QStringLiteral("soon")), QDate());
    EXPECT_EQ(DueDates::NextTestDate(QStringLiteral("2036-02-29 10:00:00")), QDate(2036, 2, 29));
}

class DueListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), QStringLiteral("user2.db")));
        ASSERT_TRUE(
            db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID) VALUES ('Drill', 5050)")));
    }
    void Add(const QString& device, const QString& next, int history = 0) {
        const QString date = next.isNull() ? QStringLiteral("NULL") : SqlLiteral(next);
        ASSERT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, Client, NextTestDate, "
                           "History, myGUID) VALUES ('Drill', %1, 'ACME', %2, %3, %4)")
                .arg(SqlLiteral(device), date, QString::number(history),
                     SqlLiteral(QStringLiteral("G-") + device))));
    }
    QStringList Devices(int window) {
        std::vector<DueDates::Entry> entries;
        EXPECT_TRUE(DueDates::List(db, kToday, window, entries));
        QStringList out;
        for (const auto& e : entries)
            out << e.device + (e.state == State::Overdue ? QStringLiteral("!") : QString());
        return out;
    }

    CNotifierScope notes;
    QTemporaryDir tmp;
    CAdoDatabase db;
};

TEST_F(DueListTest, ListsCurrentProtocolsByDateAndCountsTheOverdue) {
    Add(QStringLiteral("late-evening"), QStringLiteral("2026-12-07 23:59:59"));
    Add(QStringLiteral("today-morning"), QStringLiteral("2026-12-08 00:00:00"));
    Add(QStringLiteral("long-ago"), QStringLiteral("2019-03-05 14:07:09"));
    Add(QStringLiteral("in-30-days"), QStringLiteral("2027-01-07 08:00:00"));
    Add(QStringLiteral("in-31-days"), QStringLiteral("2027-01-08 08:00:00"));
    Add(QStringLiteral("no-date"), QString());
    Add(QStringLiteral("zero-date"), QStringLiteral("1900-01-01 00:00:00"));
    Add(QStringLiteral("history"), QStringLiteral("2018-01-01 00:00:00"), 1);

    EXPECT_EQ(Devices(-1), (QStringList{QStringLiteral("long-ago!"), QStringLiteral("late-evening!")}));
    EXPECT_EQ(Devices(30), (QStringList{QStringLiteral("long-ago!"), QStringLiteral("late-evening!"),
                                        QStringLiteral("today-morning"), QStringLiteral("in-30-days")}));
    EXPECT_EQ(DueDates::CountOverdue(db, kToday), 2);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();

    // The command line lists the same, for the day it is told.
    db.CloseRecordset();
    const auto r = RunProgram(QStringLiteral("v740ctl"),
                              {QStringLiteral("--data"), tmp.path(), QStringLiteral("due"),
                               QStringLiteral("--within"), QStringLiteral("0")},
                              {QStringLiteral("VELMOR_TODAY=2026-12-08")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0]
                    .section(QLatin1Char('\t'), 1)
                    .startsWith(QStringLiteral("long-ago\t2019-03-05\toverdue\tDrill\tACME")));
    EXPECT_EQ(lines[2].section(QLatin1Char('\t'), 1, 3), QStringLiteral("today-morning\t2026-12-08\tdue"));
    EXPECT_EQ(
        RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), tmp.path(), QStringLiteral("due"),
                                               QStringLiteral("--within"), QStringLiteral("soon")})
            .exitCode,
        2);
}

} // namespace
