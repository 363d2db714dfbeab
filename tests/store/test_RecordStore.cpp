// Recordsets keep their rows in a compact store; what the getters give back must be what
// SQLite returned, value for value, however large or oddly typed the rows are.
#include "platform/LocaleFormat.h"
#include "store/AdoDatabase.h"
#include "store/JetFunctions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class RecordStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(db.Create(dir.path(), QStringLiteral("values.db")));
        ASSERT_TRUE(db.Execute(QStringLiteral(
            "CREATE TABLE T (id INTEGER PRIMARY KEY AUTOINCREMENT, t TEXT(255), m MEMO, n LONG, "
            "d DECIMAL, w DATETIME)")));
    }
    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;
};

} // namespace

TEST_F(RecordStoreTest, EveryKindOfValueReadsBackAsStored) {
    const QString longText = QString(70000, QChar(u'ä')) + QStringLiteral("end"); // beyond a chunk
    const QString longerText =
        QString(300000, QLatin1Char('x')) + QStringLiteral("€"); // beyond a chunk's quarter
    struct Case {
        const char* what;
        QString sql; // the value as an SQL expression, put into column t
        bool isNull;
        QString text; // what GetString gives
    };
    const Case cases[] = {
        {"NULL", QStringLiteral("NULL"), true, QString()},
        {"empty text", QStringLiteral("''"), false, QString()},
        {"plain", QStringLiteral("'Drill'"), false, QStringLiteral("Drill")},
        {"umlauts and emoji", SqlLiteral(QStringLiteral("Prüfgerät ✓ 😀")), false,
         QStringLiteral("Prüfgerät ✓ 😀")},
        {"apostrophe", SqlLiteral(QStringLiteral("O'Brien")), false, QStringLiteral("O'Brien")},
        {"long", SqlLiteral(longText), false, longText},
        {"longer", SqlLiteral(longerText), false, longerText},
        {"number in a text column", QStringLiteral("42"), false, QStringLiteral("42")},
        {"blob, one character a byte", QStringLiteral("x'41C400FF'"), false,
         QString::fromLatin1("A\xC4\0\xFF", 4)},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO T (t) VALUES (%1)").arg(c.sql))) << c.what;
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT t FROM T ORDER BY id")));
    bool ok = db.MoveFirst();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ok && db.HasRow());
        QString value = QStringLiteral("stale");
        EXPECT_EQ(db.GetString(QStringLiteral("t"), value), !c.isNull);
        EXPECT_EQ(db.IsNull(QStringLiteral("t")), c.isNull);
        EXPECT_EQ(value, c.text);
        EXPECT_EQ(value.isNull(), c.isNull) << "an empty text is not NULL";
        ok = db.MoveNext();
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}

TEST_F(RecordStoreTest, ManyRowsKeepTheirValuesInOrder) {
    // Six columns of 20,000 rows run through several chunks of cells and of text.
    const int rows = 20000;
    CTransaction trans(db);
    for (int i = 1; i <= rows; ++i)
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO T (t, m, n, d, w) VALUES ('row %1', %2, %1, %1.5, "
                                              "'2020-01-01 00:00:00')")
                                   .arg(i)
                                   .arg(i % 3 ? QStringLiteral("NULL") : SqlLiteral(QString(i % 97, u'é')))));
    ASSERT_TRUE(trans.Commit());
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM T ORDER BY id")));
    int seen = 0;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        ++seen;
        qint32 id = 0, n = 0;
        double d = 0;
        QString t, m;
        ASSERT_TRUE(db.GetLong(QStringLiteral("ID"), id));
        ASSERT_EQ(id, seen);
        ASSERT_TRUE(db.GetLong(QStringLiteral("n"), n));
        ASSERT_EQ(n, seen);
        ASSERT_TRUE(db.GetDouble(QStringLiteral("d"), d));
        ASSERT_DOUBLE_EQ(d, seen + 0.5);
        ASSERT_TRUE(db.GetString(QStringLiteral("t"), t));
        ASSERT_EQ(t, QStringLiteral("row %1").arg(seen));
        ASSERT_EQ(db.GetString(QStringLiteral("m"), m), seen % 3 == 0);
        ASSERT_EQ(m, seen % 3 ? QString() : QString(seen % 97, u'é'));
    }
    EXPECT_EQ(seen, rows);
    ASSERT_TRUE(db.MoveLast());
    qint32 last = 0;
    EXPECT_TRUE(db.GetLong(QStringLiteral("id"), last));
    EXPECT_EQ(last, rows);
    EXPECT_TRUE(db.CloseRecordset());
    EXPECT_FALSE(db.HasRow());
    QString t;
    EXPECT_FALSE(db.GetString(QStringLiteral("t"), t));
    EXPECT_EQ(db.GetErrorNumber(), 30141);
}

TEST_F(RecordStoreTest, ColumnNamesMatchIgnoringCaseFirstOneWins) {
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT 1 AS Name, 2 AS name, 3 AS Another")));
    ASSERT_TRUE(db.MoveFirst());
    struct Case {
        const char* asked;
        qint32 value; // 0: no such column
    };
    const Case cases[] = {{"Name", 1},    {"name", 1}, {"NAME", 1}, {"another", 3},
                          {"ANOTHER", 3}, {"Nam", 0},  {"", 0}};
    // Twice round, and with more spellings than are remembered, so lookups after the
    // first give the same answers.
    for (int round = 0; round < 2; ++round)
        for (const Case& c : cases) {
            qint32 v = -1;
            notes.recorder.Clear();
            EXPECT_EQ(db.GetLong(QString::fromLatin1(c.asked), v), c.value != 0) << c.asked;
            if (c.value) {
                EXPECT_EQ(v, c.value) << c.asked;
            } else {
                EXPECT_EQ(notes.recorder.messages.size(), 1) << "a missing column is a driver error";
            }
        }
    // 128 spellings, more than are remembered.
    for (int i = 0; i < 128; ++i) {
        qint32 v = 0;
        QString spelling = QStringLiteral("another");
        for (int k = 0; k < spelling.size(); ++k)
            if (i & (1 << k))
                spelling[k] = spelling[k].toUpper();
        EXPECT_TRUE(db.GetLong(spelling, v)) << spelling.toStdString();
        EXPECT_EQ(v, 3);
    }
}

TEST_F(RecordStoreTest, DatesReadTheSameInStoredAndOtherForms) {
    struct Case {
        const char* stored; // put in with the trigger-free table, as it stands
        bool isDate;
        QDateTime when;
    };
    const Case cases[] = {
        {"2019-12-24 08:05:03", true, QDateTime(QDate(2019, 12, 24), QTime(8, 5, 3))},
        {"2019-12-24T08:05:03", true, QDateTime(QDate(2019, 12, 24), QTime(8, 5, 3))},
        {"2019-12-24", true, QDateTime(QDate(2019, 12, 24), QTime(0, 0))},
        {" 2019-12-24 08:05:03 ", true, QDateTime(QDate(2019, 12, 24), QTime(8, 5, 3))},
        {"2020-2-1 7:5:3", true, QDateTime(QDate(2020, 2, 1), QTime(7, 5, 3))},
        {"24.12.2019 10:30", true, QDateTime(QDate(2019, 12, 24), QTime(10, 30))},
        {"2019-02-30 00:00:00", false, {}},
        {"2019-12-24 24:00:00", false, {}},
        {"2019-12-24 08:60:00", false, {}},
        {"0000-01-01 00:00:00", false, {}},
        {"2019-12-24X08:05:03", false, {}},
        {"2019/12/24 08:05:03", false, {}},
        {"not a date", false, {}},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO T (w) VALUES (%1)").arg(SqlLiteral(QLatin1String(c.stored)))));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT w FROM T ORDER BY id")));
    bool ok = db.MoveFirst();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(ok);
        QDateTime when;
        QString text = QStringLiteral("stale");
        EXPECT_EQ(db.GetDate(QStringLiteral("w"), when), c.isDate);
        EXPECT_EQ(db.GetDateText(QStringLiteral("w"), text), c.isDate);
        if (c.isDate) {
            EXPECT_EQ(when, c.when);
            EXPECT_EQ(text, LocaleFormat::ShortDate(c.when.date()));
        } else {
            EXPECT_EQ(db.GetErrorNumber(), 30122);
            EXPECT_TRUE(text.isEmpty());
        }
        // The shortcut for the stored form agrees with the general reader.
        const QByteArray utf8(c.stored);
        QDate day;
        QTime time;
        if (Jet::ParseStoredDate(utf8.constData(), utf8.size(), day, time)) {
            EXPECT_EQ(Jet::ParseDate(QLatin1String(c.stored)), QDateTime(day, time));
        }
        ok = db.MoveNext();
    }
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}
