#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "store/UserSetUpDetails.h"
#include "store/UserSetUpInfo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class UserSetUpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2"))); }
    QTemporaryDir dir;
    CNotifierScope notes;
};

} // namespace

TEST_F(UserSetUpTest, FilterWithApostrophesRoundTripsAndRowIsCreatedOnce) {
    CUserSetUpInfo info(QStringLiteral("user2.db"), dir.path());
    int on = 5;
    QString query = QStringLiteral("stale");
    EXPECT_FALSE(info.GetFilter(60, on, query)); // no row yet: off and empty
    EXPECT_EQ(on, 0);
    EXPECT_TRUE(query.isEmpty());
    EXPECT_TRUE(notes.recorder.messages.isEmpty());

    const QString sql =
        QStringLiteral("SELECT * FROM GeraeteTab WHERE  GeraeteTab.Client LIKE '%O''Brien''s%' ");
    ASSERT_TRUE(info.SetFilter(60, 1, sql));
    ASSERT_TRUE(info.GetFilter(60, on, query));
    EXPECT_EQ(on, -1);
    EXPECT_EQ(query, sql);

    ASSERT_TRUE(info.SetFilter(60, 0, QString()));
    ASSERT_TRUE(info.GetFilter(60, on, query));
    EXPECT_EQ(on, 0);
    EXPECT_TRUE(query.isEmpty());

    CAdoDatabase db;
    ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("user2.db")));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral(
        "SELECT count(*) AS n, max(IconView) AS icon FROM UserSetup WHERE DirectoryTabID = 60")));
    ASSERT_TRUE(db.MoveFirst());
    qint32 n = 0, icon = 9;
    db.GetLong(QStringLiteral("n"), n);
    db.GetLong(QStringLiteral("icon"), icon);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(icon, 0);
}

TEST_F(UserSetUpTest, DetailsAreReplacedWholeAndSurviveApostrophes) {
    CUserSetUpDetails details(QStringLiteral("user2.db"), dir.path());
    const QStringList l1{QStringLiteral("Client"), QString(), QString(), QStringLiteral("Name"), QString()};
    const QStringList l2{QStringLiteral("D'Angelo's shop"), QString(), QString(),
                         QStringLiteral(" ORDER BY "), QString()};
    const QStringList l3{QStringLiteral(" LIKE "), QString(), QString(), QString(), QString()};
    ASSERT_TRUE(details.SaveDetails(50, l1, l2, l3));
    ASSERT_TRUE(details.SaveDetails(60, {QStringLiteral("x")}, {}, {}));

    QStringList a, b, c;
    ASSERT_TRUE(details.LoadDetails(50, a, b, c));
    EXPECT_EQ(a, l1);
    EXPECT_EQ(b, l2);
    EXPECT_EQ(c, l3);

    // Empty lists delete the directory's details and touch no other directory.
    ASSERT_TRUE(details.SaveDetails(50, {}, {}, {}));
    ASSERT_TRUE(details.LoadDetails(50, a, b, c));
    EXPECT_TRUE(a.isEmpty() && b.isEmpty() && c.isEmpty());
    ASSERT_TRUE(details.LoadDetails(60, a, b, c));
    EXPECT_EQ(a, QStringList{QStringLiteral("x")});
}

TEST_F(UserSetUpTest, UnreadableListGivesThreeEmptyLists) {
    CUserSetUpDetails details(QStringLiteral("user2.db"), dir.path());
    ASSERT_TRUE(details.SaveDetails(50, {QStringLiteral("a")}, {QStringLiteral("b")}, {QStringLiteral("c")}));
    {
        // A NULL where list 2 expects text.
        CAdoDatabase db;
        ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("user2.db")));
        ASSERT_TRUE(
            db.Execute(QStringLiteral("UPDATE UserSetupDetails SET StringValue = NULL WHERE UseFor = 2")));
    }
    QStringList a{QStringLiteral("old")}, b, c;
    EXPECT_FALSE(details.LoadDetails(50, a, b, c));
    EXPECT_TRUE(a.isEmpty() && b.isEmpty() && c.isEmpty());
}

// Typed search texts that begin with a digit put "%1" to "%3" into the stored query; they
// must come back as typed, in the UPDATE and in the INSERT path, and in the detail lists.
TEST_F(UserSetUpTest, PercentDigitsInStoredTextsAreKeptAsTyped) {
    const QStringList queries{
        QStringLiteral("SELECT * FROM GeraeteTab WHERE  GeraeteTab.Serial LIKE '%3%' "),
        QStringLiteral("SELECT * FROM GeraeteTab WHERE  GeraeteTab.Room LIKE '%1%' "),
        QStringLiteral("SELECT * FROM TypenTab WHERE Name LIKE '%2%' AND Manufacturer LIKE '%4''s%' "),
    };
    CUserSetUpInfo info(QStringLiteral("user2.db"), dir.path());
    int directory = 50;
    for (const QString& sql : queries) {
        SCOPED_TRACE(sql.toStdString());
        // The first query of each directory inserts the row, the later ones update it.
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(info.SetFilter(directory, 1, sql));
            int on = 0;
            QString back;
            ASSERT_TRUE(info.GetFilter(directory, on, back));
            EXPECT_EQ(back, sql);
            EXPECT_EQ(on, -1);
        }
        directory = directory == 50 ? 60 : 50;
    }
    CUserSetUpDetails details(QStringLiteral("user2.db"), dir.path());
    const QStringList values{QStringLiteral("%1"), QStringLiteral("%3%"), QStringLiteral("1%2")};
    ASSERT_TRUE(details.SaveDetails(60, values, values, values));
    QStringList l1, l2, l3;
    ASSERT_TRUE(details.LoadDetails(60, l1, l2, l3));
    EXPECT_EQ(l1, values);
    EXPECT_EQ(l3, values);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
}
