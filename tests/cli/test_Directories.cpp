// v740ctl list, filter, delete and current on a real user database in a temporary folder.
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "store/UserSetUpInfo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class CliDirectories : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        data = tmp.path();
        ASSERT_TRUE(UserSchema::CreateUserDatabase(data, QStringLiteral("3.2")));
        CAdoDatabase db;
        ASSERT_TRUE(db.Open(data, UserSchema::FileName()));
        ASSERT_TRUE(db.Execute(QStringLiteral(
            "INSERT INTO TypenTab (Name, StandardID, Description, CreateDate) VALUES ('Drill', 5050, 'd', "
            "'2024-05-01 10:00:00'), ('Saw', 5050, 's', '2024-06-01 10:00:00')")));
        // Device A: an old and a current protocol; B and C one each.
        oldA = Insert(db, "Drill", "A", "O'Neil", "2024-01-10", 1, "GA");
        currentA = Insert(db, "Drill", "A", "O'Neil", "2025-01-10", 0, "GA");
        b = Insert(db, "Drill", "B", "ACME", "2025-02-10", 0, "GB");
        c = Insert(db, "Saw", "C", "ACME_2", "2025-03-10", 0, "GC");
    }
    static qint32 Insert(CAdoDatabase& db, const char* spec, const char* device, const char* client,
                         const char* date, int history, const char* guid) {
        EXPECT_TRUE(db.Execute(
            QStringLiteral(
                "INSERT INTO GeraeteTab (SpecificationName, Device, Client, TestDate, NextTestDate, "
                "History, myGUID, TestResultID) VALUES (%1, %2, %3, %4, %4, %5, %6, 30800)")
                .arg(SqlLiteral(QString::fromUtf8(spec)), SqlLiteral(QString::fromUtf8(device)),
                     SqlLiteral(QString::fromUtf8(client)), SqlLiteral(QString::fromUtf8(date)))
                .arg(history)
                .arg(SqlLiteral(QString::fromUtf8(guid)))));
        qint32 id = 0;
        EXPECT_TRUE(db.GetNewId(id));
        return id;
    }
    ProcessResult Run(const QStringList& args) {
        return RunProgram(
            QStringLiteral("v740ctl"),
            QStringList{QStringLiteral("--data"), data, QStringLiteral("--lang"), QStringLiteral("English")} +
                args);
    }
    // The first column (ids) of each output line.
    static QStringList Ids(const ProcessResult& r) {
        QStringList ids;
        for (const QString& line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            ids << line.section(QLatin1Char('\t'), 0, 0);
        return ids;
    }
    static QString N(qint32 id) { return QString::number(id); }

    QTemporaryDir tmp;
    QString data;
    qint32 oldA = 0, currentA = 0, b = 0, c = 0;
};

TEST_F(CliDirectories, ListShowsTheDirectoryRowsAndHistories) {
    ProcessResult r = Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Ids(r), (QStringList{N(currentA), N(b), N(c)})); // by next test date
    const QStringList first = r.out.section(QLatin1Char('\n'), 0, 0).split(QLatin1Char('\t'));
    ASSERT_EQ(first.size(), 8);
    EXPECT_EQ(first[1], QStringLiteral("A"));
    EXPECT_EQ(first[4], QStringLiteral("O'Neil"));
    EXPECT_EQ(first[7], QStringLiteral("Drill"));
    EXPECT_FALSE(first[2].isEmpty()) << "the result as a catalogue text";

    r = Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("specs")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 2);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\tSaw\ts\t")));

    r = Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols"),
             QStringLiteral("--history"), N(oldA)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Ids(r), (QStringList{N(currentA), N(oldA)}));

    struct Bad {
        QStringList args;
        int exit;
    } bad[] = {
        {{QStringLiteral("list")}, 2},
        {{QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("devices")}, 2},
        {{QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("specs"),
          QStringLiteral("--history"), QStringLiteral("1")},
         2},
        {{QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols"),
          QStringLiteral("--history"), QStringLiteral("99999")},
         1},
    };
    for (const Bad& x : bad) {
        r = Run(x.args);
        EXPECT_EQ(r.exitCode, x.exit) << x.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST_F(CliDirectories, FilterStoresWhatTheDialogWouldAndLists) {
    const QStringList base{QStringLiteral("filter"), QStringLiteral("--kind"), QStringLiteral("protocols")};
    // A choice as the dialog shows it, an apostrophe inside.
    ProcessResult r = Run(base + QStringList{QStringLiteral("--field"), QStringLiteral("Client"),
                                             QStringLiteral("--value"), QStringLiteral("o'neil"),
                                             QStringLiteral("--sort"), QStringLiteral("Device ID")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Ids(r), QStringList{N(currentA)});
    r = Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")});
    EXPECT_EQ(Ids(r), QStringList{N(currentA)});
    r = Run(base);
    ASSERT_EQ(r.exitCode, 0);
    const QStringList state = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(state.size(), 4) << r.out.toStdString();
    EXPECT_EQ(state[0], QStringLiteral("filter\ton"));
    EXPECT_TRUE(state[1].startsWith(QStringLiteral("query\tSELECT ")));
    EXPECT_EQ(state[2], QStringLiteral("condition\t1\tClient\tO'Neil\t"));
    EXPECT_EQ(state[3], QStringLiteral("sort\t1\tDevice ID"));

    // Typed text: "_" stays a wildcard; a row number names a field whose caption is shared.
    r = Run(base + QStringList{QStringLiteral("--field"), QStringLiteral("Client: Search for:"),
                               QStringLiteral("--value"), QStringLiteral("ACME_"), QStringLiteral("--field"),
                               QStringLiteral("#19"), QStringLiteral("--value"), QStringLiteral("2025-03-10"),
                               QStringLiteral("--op"), QStringLiteral("<=")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Ids(r), QStringList{N(c)});

    // --off keeps the statement; the list shows every current protocol again.
    CUserSetUpInfo info(UserSchema::FileName(), data);
    int on = 0;
    QString before, after;
    ASSERT_TRUE(info.GetFilter(60, on, before));
    r = Run(base + QStringList{QStringLiteral("--off")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(Ids(r).size(), 3);
    ASSERT_TRUE(info.GetFilter(60, on, after));
    EXPECT_EQ(on, 0);
    EXPECT_EQ(after, before);

    struct Bad {
        const char* what;
        QStringList args;
    } bad[] = {
        {"four conditions",
         {QStringLiteral("--field"), QStringLiteral("#4"), QStringLiteral("--value"), QStringLiteral("a"),
          QStringLiteral("--field"), QStringLiteral("#4"), QStringLiteral("--value"), QStringLiteral("b"),
          QStringLiteral("--field"), QStringLiteral("#4"), QStringLiteral("--value"), QStringLiteral("c"),
          QStringLiteral("--field"), QStringLiteral("#4"), QStringLiteral("--value"), QStringLiteral("d")}},
        {"three sorts",
         {QStringLiteral("--sort"), QStringLiteral("Room"), QStringLiteral("--sort"),
          QStringLiteral("Client"), QStringLiteral("--sort"), QStringLiteral("Comment")}},
        {"ambiguous caption",
         {QStringLiteral("--field"), QStringLiteral("Test date (2), Enter first test"),
          QStringLiteral("--value"), QStringLiteral("2025-01-01")}},
        {"unknown caption",
         {QStringLiteral("--field"), QStringLiteral("Colour"), QStringLiteral("--value"),
          QStringLiteral("x")}},
        {"the sort row",
         {QStringLiteral("--field"), QStringLiteral("#26"), QStringLiteral("--value"), QStringLiteral("x")}},
        {"no date",
         {QStringLiteral("--field"), QStringLiteral("#19"), QStringLiteral("--value"),
          QStringLiteral("10.03.2025")}},
        {"op on a search",
         {QStringLiteral("--field"), QStringLiteral("#4"), QStringLiteral("--value"), QStringLiteral("x"),
          QStringLiteral("--op"), QStringLiteral("<")}},
        {"unknown op",
         {QStringLiteral("--field"), QStringLiteral("#19"), QStringLiteral("--value"),
          QStringLiteral("2025-01-01"), QStringLiteral("--op"), QStringLiteral("<>")}},
        {"no such choice",
         {QStringLiteral("--field"), QStringLiteral("Client"), QStringLiteral("--value"),
          QStringLiteral("Nobody")}},
        {"value without field", {QStringLiteral("--value"), QStringLiteral("x")}},
        {"unknown sort", {QStringLiteral("--sort"), QStringLiteral("Colour")}},
    };
    for (const Bad& x : bad) {
        r = Run(base + x.args);
        EXPECT_EQ(r.exitCode, 2) << x.what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << x.what;
    }
    // Number fields of the specification directory must be numeric.
    r = Run({QStringLiteral("filter"), QStringLiteral("--kind"), QStringLiteral("specs"),
             QStringLiteral("--field"), QStringLiteral("#13"), QStringLiteral("--value"),
             QStringLiteral("12 months")});
    EXPECT_EQ(r.exitCode, 2);
    ASSERT_TRUE(info.GetFilter(60, on, after));
    EXPECT_EQ(after, before) << "refused options change nothing";
}

TEST_F(CliDirectories, DeleteAsksForYesAndDeletesAsTheDirectoryDoes) {
    const QStringList del{QStringLiteral("delete"), QStringLiteral("--kind"), QStringLiteral("protocols")};
    // Without --yes: what would go (the whole device), nothing deleted.
    ProcessResult r = Run(del + QStringList{QStringLiteral("--ids"), N(currentA)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QStringLiteral("protocol\t%1\tA\nprotocol\t%2\tA\n").arg(oldA).arg(currentA));
    EXPECT_TRUE(r.err.contains(QStringLiteral("--yes")));
    EXPECT_EQ(
        Ids(Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")})).size(), 3);

    // History mode: the current protocol goes and the older one becomes current.
    r = Run(del + QStringList{QStringLiteral("--ids"), N(currentA), QStringLiteral("--history"),
                              QStringLiteral("--yes")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("current\t%1\n").arg(oldA)));
    r = Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")});
    EXPECT_EQ(Ids(r), (QStringList{N(oldA), N(b), N(c)}));

    // An id that does not exist refuses the whole command.
    r = Run(del +
            QStringList{QStringLiteral("--ids"), N(b) + QStringLiteral(",99999"), QStringLiteral("--yes")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("99999")));
    EXPECT_EQ(
        Ids(Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")})).size(), 3);

    // A specification takes its protocols with it.
    r = Run({QStringLiteral("delete"), QStringLiteral("--kind"), QStringLiteral("specs"),
             QStringLiteral("--ids"), QStringLiteral("2"), QStringLiteral("--yes")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("spec\t2\tSaw\nprotocol\t%1\tC\n").arg(c));
    EXPECT_EQ(Ids(Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")})),
              (QStringList{N(oldA), N(b)}));

    for (const QStringList& args :
         {QStringList{QStringLiteral("delete"), QStringLiteral("--kind"), QStringLiteral("protocols")},
          QStringList{QStringLiteral("delete"), QStringLiteral("--kind"), QStringLiteral("specs"),
                      QStringLiteral("--ids"), QStringLiteral("1"), QStringLiteral("--history")},
          QStringList{QStringLiteral("delete"), QStringLiteral("--kind"), QStringLiteral("specs"),
                      QStringLiteral("--ids"), QStringLiteral("1,x")}})
        EXPECT_EQ(Run(args).exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
}

TEST_F(CliDirectories, CurrentMakesAnOlderProtocolTheDevicesCurrentOne) {
    ProcessResult r = Run({QStringLiteral("current"), QStringLiteral("--id"), N(oldA)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("%1\thistory\tA\t").arg(currentA)));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n%1\tcurrent\tA\t").arg(oldA)));
    r = Run({QStringLiteral("list"), QStringLiteral("--kind"), QStringLiteral("protocols")});
    EXPECT_TRUE(Ids(r).contains(N(oldA)));
    EXPECT_FALSE(Ids(r).contains(N(currentA)));

    EXPECT_EQ(Run({QStringLiteral("current"), QStringLiteral("--id"), QStringLiteral("99999")}).exitCode, 1);
    EXPECT_EQ(Run({QStringLiteral("current")}).exitCode, 2);
    EXPECT_EQ(Run({QStringLiteral("current"), QStringLiteral("--id"), QStringLiteral("zero")}).exitCode, 2);
}

} // namespace
