#include "store/AdoDatabase.h"
#include "store/NameOrder.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The stock sqlite3 tool, as administrators run it: one script, stop at the first error.
ProcessResult StockSqlite(const QString& file, const QString& script) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), file});
    p.write(script.toUtf8());
    p.closeWriteChannel();
    ProcessResult r;
    if (!p.waitForFinished(30000))
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList Column(CAdoDatabase& db, const QString& sql, const QString& column) {
    QStringList out;
    EXPECT_TRUE(db.OpenQuery(sql)) << sql.toStdString();
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QString s;
        if (!db.GetString(column, s))
            s = QStringLiteral("<null>");
        out << s;
    }
    return out;
}

class NameOrderTest : public ::testing::Test {
protected:
    void Make(const QString& language = QString()) {
        ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2"), language));
        ASSERT_TRUE(db.Open(dir.path(), UserSchema::FileName()));
    }
    bool InsertSpec(const QString& name, const QString& date = QStringLiteral("2019-12-24 08:00:00")) {
        return db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, CreateDate) VALUES (%1, %2)")
                              .arg(SqlLiteral(name), SqlLiteral(date)));
    }
    QString File() const { return dir.filePath(UserSchema::FileName()); }

    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;
};

} // namespace

TEST_F(NameOrderTest, NamesEqualButForCaseAreOneNameInEveryAlphabet) {
    Make();
    struct Case {
        const char* first;
        const char* second;
        bool clash;
    };
    const Case cases[] = {
        {"Ölpumpe", "ölpumpe", true}, {"ČERPADLO", "čerpadlo", true},
        {"Élan", "éLAN", true},       {"Ölpumpe", "Olpumpe", false},
        {"Straße", "Strasse", false}, {"Niño", "NIÑO", true},
        {"Kettle", "KETTLE", true},   {"Ölpumpe 20 Zeichen!", "ÖLPUMPE 20 ZEICHEN!", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM TypenTab")));
        ASSERT_TRUE(InsertSpec(QString::fromUtf8(c.first)));
        notes.recorder.Clear();
        EXPECT_EQ(InsertSpec(QString::fromUtf8(c.second)), !c.clash);
        if (c.clash) {
            EXPECT_TRUE(notes.recorder.Last().contains(QLatin1String("UNIQUE")))
                << notes.recorder.Last().toStdString();
        }
    }
    // A rename to a name another specification holds is refused as well.
    ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM TypenTab")));
    ASSERT_TRUE(InsertSpec(QStringLiteral("Ölpumpe")));
    ASSERT_TRUE(InsertSpec(QStringLiteral("Zange")));
    EXPECT_FALSE(db.Execute(QStringLiteral("UPDATE TypenTab SET Name = 'ÖLPUMPE' WHERE Name = 'Zange'")));
    EXPECT_EQ(
        Column(db, QStringLiteral("SELECT NameKey FROM TypenTab ORDER BY id"), QStringLiteral("NameKey")),
        (QStringList{QStringLiteral("ölpumpe"), QStringLiteral("zange")}));
}

TEST_F(NameOrderTest, NamesSortInTheLanguageOfTheDatabase) {
    struct Case {
        const char* language;
        QStringList order;
    };
    const QStringList names{QStringLiteral("Zange"),   QStringLiteral("Ölpumpe"),  QStringLiteral("éclair"),
                            QStringLiteral("Hadice"),  QStringLiteral("Chlazení"), QStringLiteral("Achse"),
                            QStringLiteral("Čerpadlo")};
    const Case cases[] = {
        {"Deutsch", {"Achse", "Čerpadlo", "Chlazení", "éclair", "Hadice", "Ölpumpe", "Zange"}},
        // Czech sorts Č after C and CH after H.
        {"Česky", {"Achse", "Čerpadlo", "éclair", "Hadice", "Chlazení", "Ölpumpe", "Zange"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        QTemporaryDir folder;
        const auto r = RunProgram(QStringLiteral("v740ctl"),
                                  {QStringLiteral("--data"), folder.path(), QStringLiteral("init"),
                                   QStringLiteral("--language"), QString::fromUtf8(c.language)});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        CAdoDatabase one;
        ASSERT_TRUE(one.Open(folder.path(), UserSchema::FileName()));
        for (const QString& n : names)
            ASSERT_TRUE(
                one.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES (%1)").arg(SqlLiteral(n))));
        EXPECT_EQ(Column(one,
                         QStringLiteral("SELECT Name FROM TypenTab ORDER BY ") +
                             NameOrder::OrderBy(QStringLiteral("Name")) + QStringLiteral(" ASC"),
                         QStringLiteral("Name")),
                  c.order);
    }
    const auto bad =
        RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), dir.path(), QStringLiteral("init"),
                                               QStringLiteral("--language"), QStringLiteral("Klingon")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(QLatin1String("Deutsch")));
}

// Administrators repair and script the file with the stock tool: every date and name
// column can be written, and the file checks as sound before and after.
TEST_F(NameOrderTest, TheStockSqliteToolReadsWritesAndChecksTheFile) {
    Make();
    // The program writes dates in any form Jet accepts; they are stored in one form.
    ASSERT_TRUE(InsertSpec(QStringLiteral("Ölpumpe"), QStringLiteral("2020-2-1")));
    ASSERT_TRUE(db.Execute(
        QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, TestDate, FirstTestDate, "
                       "NextTestDate, myGUID, History) "
                       "VALUES ('Ölpumpe', 'Pumpe 1', '2020-2-1 8:05', '2019-1-1', '2021-2-1', '{g1}', 0)")));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT CreateDate || '' AS d FROM TypenTab"), QStringLiteral("d")),
              QStringList{QStringLiteral("2020-02-01 00:00:00")});
    EXPECT_EQ(
        Column(db,
               QStringLiteral(
                   "SELECT TestDate || '|' || FirstTestDate || '|' || NextTestDate AS d FROM GeraeteTab"),
               QStringLiteral("d")),
        QStringList{QStringLiteral("2020-02-01 08:05:00|2019-01-01 00:00:00|2021-02-01 00:00:00")});
    db.CloseRecordset();

    const auto r = StockSqlite(
        File(), QStringLiteral(
                    "PRAGMA integrity_check;\n"
                    "SELECT Name FROM TypenTab WHERE Name LIKE '%pumpe' ORDER BY Name;\n"
                    "INSERT INTO TypenTab (Name, CreateDate) VALUES ('Zange', '2021-03-04 05:06:07');\n"
                    "INSERT INTO GeraeteTab (SpecificationName, Device, TestDate, FirstTestDate, "
                    "NextTestDate, myGUID, History)"
                    " VALUES ('Zange', 'Z 1', '2021-03-04 05:06:07', '2021-03-04 00:00:00', '2022-03-04 "
                    "00:00:00', '{g2}', 0);\n"
                    "INSERT INTO VersionTab (DatabaseVersion, DatabaseDate, RequiredSoftwareRelease, Comment)"
                    " VALUES ('3.2', '2021-03-04 05:06:07', '4.1', 'repaired');\n"
                    "UPDATE TypenTab SET Name = 'Zange 2', NameKey = 'stale', CreateDate = '2022-01-01 "
                    "00:00:00' WHERE Name = 'Zange';\n"
                    "UPDATE GeraeteTab SET SpecificationName = 'Zange 2', TestDate = '2022-01-02 00:00:00',"
                    " FirstTestDate = '2022-01-02 00:00:00', NextTestDate = '2023-01-02 00:00:00' WHERE "
                    "myGUID = '{g2}';\n"
                    "UPDATE VersionTab SET DatabaseDate = '2022-01-02 00:00:00' WHERE Comment = 'repaired';\n"
                    "PRAGMA integrity_check;\n"
                    "PRAGMA foreign_key_check;\n"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(r.out, QStringLiteral("ok\nÖlpumpe\nok\n"));

    // The program puts right what the tool could not know: the key of the renamed name.
    CAdoDatabase again;
    ASSERT_TRUE(again.Open(dir.path(), UserSchema::FileName()));
    ASSERT_TRUE(UserSchema::CompleteSchema(again));
    EXPECT_EQ(
        Column(again, QStringLiteral("SELECT NameKey FROM TypenTab ORDER BY id"), QStringLiteral("NameKey")),
        (QStringList{QStringLiteral("ölpumpe"), QStringLiteral("zange 2")}));
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
}

// A 3.2 file of an earlier build: date triggers that call the program's function, no name
// keys, and two names that differ only in case beyond ASCII.
TEST_F(NameOrderTest, AFileOfAnEarlierBuildIsCompletedAndItsClashesAreReported) {
    Make();
    db.CloseRecordset();
    const auto made = StockSqlite(
        File(),
        QStringLiteral("DROP INDEX TypenTab_IX_NameKey; ALTER TABLE TypenTab DROP COLUMN NameKey;"
                       "DROP TABLE LanguageTab;"
                       "INSERT INTO TypenTab (Name) VALUES ('Ölpumpe'), ('Zange'), ('ölpumpe');"
                       "CREATE TRIGGER \"GeraeteTab_TestDate_ins\" AFTER INSERT ON \"GeraeteTab\" WHEN "
                       "NEW.\"TestDate\" IS NOT JET_NORMDATE(NEW.\"TestDate\") BEGIN UPDATE \"GeraeteTab\" "
                       "SET \"TestDate\" = JET_NORMDATE(NEW.\"TestDate\") WHERE rowid = NEW.rowid; END;\n"));
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    ASSERT_TRUE(db.Open(dir.path(), UserSchema::FileName()));
    // Before: the stock tool cannot write the file.
    const auto before = StockSqlite(
        File(), QStringLiteral("INSERT INTO GeraeteTab (TestDate) VALUES ('2020-01-01 00:00:00');\n"));
    EXPECT_NE(before.exitCode, 0);

    const auto check = [&] {
        return RunProgram(QStringLiteral("v740ctl"),
                          {QStringLiteral("--data"), dir.path(), QStringLiteral("check-names")});
    };
    auto listed = check();
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_EQ(listed.out, QStringLiteral("1\tÖlpumpe\t3\tölpumpe\n"));

    ASSERT_TRUE(UserSchema::CompleteSchema(db, QStringLiteral("Česky")));
    EXPECT_EQ(
        Column(db, QStringLiteral("SELECT NameKey FROM TypenTab ORDER BY id"), QStringLiteral("NameKey")),
        (QStringList{QStringLiteral("ölpumpe"), QStringLiteral("zange"), QStringLiteral("<null>")}));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT Language FROM LanguageTab"), QStringLiteral("Language")),
              QStringList{QStringLiteral("Česky")});
    db.CloseRecordset();
    EXPECT_EQ(check().out, listed.out) << "the pair is still there to be resolved";
    const auto after = StockSqlite(
        File(), QStringLiteral("INSERT INTO GeraeteTab (TestDate) VALUES ('2020-01-01 00:00:00');\n"
                               "PRAGMA integrity_check;\n"));
    EXPECT_EQ(after.exitCode, 0) << after.err.toStdString();
    EXPECT_EQ(after.out, QStringLiteral("ok\n"));

    // Once one of the pair is renamed, the check is clean and the key is filled.
    ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TypenTab SET Name = 'Ölpumpe alt' WHERE id = 3")));
    EXPECT_EQ(check().exitCode, 0);
    EXPECT_EQ(
        Column(db, QStringLiteral("SELECT NameKey FROM TypenTab WHERE id = 3"), QStringLiteral("NameKey")),
        QStringList{QStringLiteral("ölpumpe alt")});
}
