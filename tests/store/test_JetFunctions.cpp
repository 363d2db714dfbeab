#include "store/JetFunctions.h"

#include <gtest/gtest.h>

using namespace Jet;

TEST(JetFunctions, DatesAreReadInEveryFormTheStatementsProduce) {
    struct Case {
        const char* in;
        const char* stored; // nullptr: not a date
    };
    const Case cases[] = {
        {"2019-12-24", "2019-12-24 00:00:00"},
        {"2020-2-1", "2020-02-01 00:00:00"}, // DateToSql does not zero-fill
        {"2020-2-1 7:5:3", "2020-02-01 07:05:03"},
        {"2019-12-24T08:15:00", "2019-12-24 08:15:00"},
        {"24.12.2019", "2019-12-24 00:00:00"},
        {"1.2.2020 10:30", "2020-02-01 10:30:00"},
        {"24.12.19", "2019-12-24 00:00:00"},
        {"1.1.30", "1930-01-01 00:00:00"},
        {"12/24/2019", "2019-12-24 00:00:00"},
        {"2019-02-30", nullptr},
        {"24.13.2019", nullptr},
        {"2019-12-24 25:00", nullptr},
        {"", nullptr},
        {"yesterday", nullptr},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseDate(QString::fromLatin1(c.in));
        if (!c.stored) {
            EXPECT_FALSE(parsed.has_value()) << c.in;
            EXPECT_EQ(NormalizeDate(QString::fromLatin1(c.in)), QString::fromLatin1(c.in));
        } else {
            ASSERT_TRUE(parsed.has_value()) << c.in;
            EXPECT_EQ(FormatDate(*parsed), QString::fromLatin1(c.stored)) << c.in;
        }
    }
}

TEST(JetFunctions, DateAddAndDatePartFollowJet) {
    const QDateTime jan31(QDate(2020, 1, 31), QTime(10, 0));
    EXPECT_EQ(FormatDate(*DateAdd(QStringLiteral("m"), 1, jan31)), QStringLiteral("2020-02-29 10:00:00"));
    EXPECT_EQ(FormatDate(*DateAdd(QStringLiteral("M"), 12, jan31)), QStringLiteral("2021-01-31 10:00:00"));
    EXPECT_EQ(FormatDate(*DateAdd(QStringLiteral("m"), -2, jan31)), QStringLiteral("2019-11-30 10:00:00"));
    EXPECT_EQ(FormatDate(*DateAdd(QStringLiteral("yyyy"), 1, QDateTime(QDate(2020, 2, 29), QTime()))),
              QStringLiteral("2021-02-28 00:00:00"));
    EXPECT_EQ(FormatDate(*DateAdd(QStringLiteral("d"), 1, jan31)), QStringLiteral("2020-02-01 10:00:00"));
    EXPECT_EQ(FormatDate(*DateAdd(QStringLiteral("n"), 90, jan31)), QStringLiteral("2020-01-31 11:30:00"));
    EXPECT_FALSE(DateAdd(QStringLiteral("x"), 1, jan31).has_value());

    const QDateTime d(QDate(2019, 12, 31), QTime(23, 59, 58));
    EXPECT_EQ(*DatePart(QStringLiteral("yyyy"), d), 2019);
    EXPECT_EQ(*DatePart(QStringLiteral("y"), d), 365);
    EXPECT_EQ(*DatePart(QStringLiteral("y"), QDateTime(QDate(2020, 12, 31), QTime())), 366);
    EXPECT_EQ(*DatePart(QStringLiteral("m"), d), 12);
    EXPECT_EQ(*DatePart(QStringLiteral("q"), d), 4);
    EXPECT_EQ(*DatePart(QStringLiteral("w"), QDateTime(QDate(2019, 12, 29), QTime())), 1); // a Sunday
    EXPECT_EQ(*DatePart(QStringLiteral("s"), d), 58);
}

TEST(JetFunctions, LikeIgnoresCaseBeyondAscii) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        {"%pump%", "Water PUMP 3", true},
        {"%PUMPE%", "wasserpumpe", true},
        {"%äre%", "SCHÄREN", true},
        {"%čerp%", "ČERPADLO", true},
        {"Ö_en", "öfen", true},
        {"Ö_en", "öffen", false},
        {"abc", "abcd", false},
        {"%", "", true},
        {"_", "", false},
        {"a%b%c", "aXbYc", true},
        {"a%b%c", "aXbY", false},
        {"%a%a%a%a%a%b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Like(QString::fromUtf8(c.pattern), QString::fromUtf8(c.text)), c.match)
            << c.pattern << " / " << c.text;
    EXPECT_TRUE(Like(QStringLiteral("100!%"), QStringLiteral("100%"), QLatin1Char('!')));
    EXPECT_FALSE(Like(QStringLiteral("100!%"), QStringLiteral("1000"), QLatin1Char('!')));
}

TEST(JetFunctions, StatementsAreTranslatedOutsideLiteralsOnly) {
    EXPECT_EQ(TranslateStatement(QStringLiteral("Select @@IDENTITY AS NewID")),
              QStringLiteral("Select last_insert_rowid() AS NewID"));
    EXPECT_EQ(
        TranslateStatement(
            QStringLiteral("SELECT TypTestStepTab.Limit, LowLimit FROM T WHERE x = 'Limit @@IDENTITY'")),
        QStringLiteral("SELECT TypTestStepTab.\"Limit\", LowLimit FROM T WHERE x = 'Limit @@IDENTITY'"));
    EXPECT_EQ(TranslateStatement(QStringLiteral("INSERT INTO T (GroupNo, Limit, Jacks) VALUES (1, 2.5, 3)")),
              QStringLiteral("INSERT INTO T (GroupNo, \"Limit\", Jacks) VALUES (1, 2.5, 3)"));
    EXPECT_EQ(TranslateStatement(QStringLiteral("SELECT [Limit] FROM T")),
              QStringLiteral("SELECT [Limit] FROM T"));
}
