#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "store/UserSetUpInfo.h"
#include "support/TestSupport.h"
#include "views/DirectoryRecords.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace DirectoryRecords;

class DirectoryRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), UserSchema::FileName()));
        Spec(QStringLiteral("Drill"), 5050);
        Spec(QStringLiteral("O'Brien's saw"), 5060);
    }
    void Spec(const QString& name, int standard) {
        ASSERT_TRUE(db.Execute(
            QStringLiteral("INSERT INTO TypenTab (Name, StandardID, Description) VALUES (%1, %2, 'd')")
                .arg(SqlLiteral(name))
                .arg(standard)));
    }
    qint32 Protocol(const QString& spec, const QString& device, const QString& guid, const QString& date,
                    int history) {
        EXPECT_TRUE(db.Execute(
            QStringLiteral(
                "INSERT INTO GeraeteTab (SpecificationName, Device, Client, TestDate, NextTestDate, "
                "History, myGUID, TestResultID) VALUES (%1, %2, 'ACME', %3, %3, %4, %5, 22)")
                .arg(SqlLiteral(spec), SqlLiteral(device), SqlLiteral(date), QString::number(history),
                     SqlLiteral(guid))));
        qint32 id = 0;
        EXPECT_TRUE(db.OpenQuery(QStringLiteral("SELECT max(id) AS id FROM GeraeteTab")) && db.MoveFirst() &&
                    db.GetLong(QStringLiteral("id"), id));
        db.CloseRecordset();
        return id;
    }
    // id -> History of every protocol of a device
    std::map<qint32, qint32> States(const QString& guid) {
        std::map<qint32, qint32> out;
        EXPECT_TRUE(db.OpenQuery(QStringLiteral("SELECT id, History FROM GeraeteTab WHERE myGUID = ") +
                                 SqlLiteral(guid)));
        for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
            qint32 id = 0, h = 0;
            db.GetLong(QStringLiteral("id"), id);
            db.GetLong(QStringLiteral("History"), h);
            out[id] = h;
        }
        db.CloseRecordset();
        return out;
    }
    static QString Text(qint32 id) { return QStringLiteral("T%1").arg(id); }

    QTemporaryDir tmp;
    CAdoDatabase db;
};

TEST_F(DirectoryRecordsTest, ListsShowCataloguTextsAndOnlyCurrentProtocols) {
    Protocol(QStringLiteral("Drill"), QStringLiteral("D1"), QStringLiteral("G1"),
             QStringLiteral("2025-01-01"), 1);
    const qint32 current = Protocol(QStringLiteral("Drill"), QStringLiteral("D1"), QStringLiteral("G1"),
                                    QStringLiteral("2026-01-01"), 0);
    ListResult specs = LoadList(db, Kind::Specifications, UserSchema::FileName(), tmp.path(), Text);
    ASSERT_TRUE(specs.ok);
    ASSERT_EQ(specs.rows.size(), 2u);
    EXPECT_EQ(specs.rows[0].cells[0], QStringLiteral("Drill"));
    EXPECT_EQ(specs.rows[0].cells[2], QStringLiteral("T5050"));
    EXPECT_FALSE(specs.filtered);

    ListResult protocols = LoadList(db, Kind::Protocols, UserSchema::FileName(), tmp.path(), Text);
    ASSERT_TRUE(protocols.ok);
    ASSERT_EQ(protocols.rows.size(), 1u);
    EXPECT_EQ(protocols.rows[0].id, current);
    EXPECT_EQ(protocols.rows[0].cells.size(), 7);
    EXPECT_EQ(protocols.rows[0].cells[1], QStringLiteral("T22"));
    EXPECT_EQ(protocols.rows[0].cells[6], QStringLiteral("Drill"));

    std::vector<Row> history;
    ASSERT_TRUE(LoadHistory(db, QStringLiteral("G1"), Text, history));
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].id, current); // newest first
    EXPECT_TRUE(history[0].current);
    EXPECT_FALSE(history[1].current);
}

TEST_F(DirectoryRecordsTest, StoredFilterRunsOrIsSwitchedOffSilentlyKeepingTheQuery) {
    CUserSetUpInfo settings(UserSchema::FileName(), tmp.path());
    const QString good = QStringLiteral("SELECT * FROM TypenTab  WHERE (Name LIKE 'O''%') ");
    ASSERT_TRUE(settings.SetFilter(kDirectorySpecifications, -1, good));
    ListResult r = LoadList(db, Kind::Specifications, UserSchema::FileName(), tmp.path(), Text);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.filtered);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0].cells[0], QStringLiteral("O'Brien's saw"));

    const QString broken = QStringLiteral("SELECT * FROM NoSuchTab WHERE");
    ASSERT_TRUE(settings.SetFilter(kDirectorySpecifications, -1, broken));
    // A reader that must not write sees the fallback but leaves the setting alone.
    r = LoadList(db, Kind::Specifications, UserSchema::FileName(), tmp.path(), Text, false);
    EXPECT_TRUE(r.filterSwitchedOff);
    int stillOn = 0;
    QString query;
    ASSERT_TRUE(settings.GetFilter(kDirectorySpecifications, stillOn, query));
    EXPECT_EQ(stillOn, -1);
    CNotifierScope notes;
    r = LoadList(db, Kind::Specifications, UserSchema::FileName(), tmp.path(), Text);
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << "silently";
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.filtered);
    EXPECT_TRUE(r.filterSwitchedOff);
    EXPECT_EQ(r.rows.size(), 2u);
    int on = -1;
    QString kept;
    ASSERT_TRUE(settings.GetFilter(kDirectorySpecifications, on, kept));
    EXPECT_EQ(on, 0);
    EXPECT_EQ(kept, broken);
}

TEST_F(DirectoryRecordsTest, HistoryDeletesPromoteTheNewestRemainingOrLeaveNoCurrent) {
    struct Case {
        const char* name;
        QList<int> deleteIdx; // indexes into {old, middle, newest(current)}
        int promotedIdx;      // -1: nothing promoted
        int remaining;
    } cases[] = {
        {"current goes", {2}, 1, 2},
        {"history row goes", {0}, -1, 2},
        {"current and middle go", {2, 1}, 0, 1},
        {"all go", {0, 1, 2}, -1, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString guid = QStringLiteral("H%1").arg(++n);
        QList<qint32> ids{
            Protocol(QStringLiteral("Drill"), QStringLiteral("X"), guid, QStringLiteral("2024-01-01"), 1),
            Protocol(QStringLiteral("Drill"), QStringLiteral("X"), guid, QStringLiteral("2025-01-01"), 1),
            Protocol(QStringLiteral("Drill"), QStringLiteral("X"), guid, QStringLiteral("2026-01-01"), 0)};
        QList<qint32> del;
        for (int i : c.deleteIdx)
            del << ids[i];
        DeleteResult r = Delete(db, Kind::Protocols, del, true);
        ASSERT_TRUE(r.ok) << c.name;
        auto states = States(guid);
        EXPECT_EQ(int(states.size()), c.remaining) << c.name;
        EXPECT_EQ(r.promotedId, c.promotedIdx < 0 ? 0 : ids[c.promotedIdx]) << c.name;
        int currents = 0;
        for (auto [id, h] : states)
            currents += h == 0;
        EXPECT_EQ(currents, c.remaining ? 1 : 0) << c.name;
    }
}

TEST_F(DirectoryRecordsTest, DirectoryDeletesTakeWholeDevicesAndSpecificationsWithTheirProtocols) {
    Protocol(QStringLiteral("Drill"), QStringLiteral("A"), QStringLiteral("GA"), QStringLiteral("2024-01-01"),
             1);
    const qint32 a = Protocol(QStringLiteral("Drill"), QStringLiteral("A"), QStringLiteral("GA"),
                              QStringLiteral("2025-01-01"), 0);
    Protocol(QStringLiteral("O'Brien's saw"), QStringLiteral("B"), QStringLiteral("G'B"),
             QStringLiteral("2025-01-01"), 1);
    Protocol(QStringLiteral("O'Brien's saw"), QStringLiteral("B"), QStringLiteral("G'B"),
             QStringLiteral("2025-02-01"), 0);
    QStringList progress;
    DeleteCallbacks cb;
    cb.progress = [&](const QString& name, int, int) { progress << name; };
    DeleteResult r = Delete(db, Kind::Protocols, {a}, false, cb);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(States(QStringLiteral("GA")).empty());
    EXPECT_EQ(progress, QStringList{QStringLiteral("A")});

    // A specification whose name holds apostrophes takes its device's history with it.
    qint32 sawId = 0;
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT id FROM TypenTab WHERE Name LIKE 'O%'")) &&
                db.MoveFirst() && db.GetLong(QStringLiteral("id"), sawId));
    db.CloseRecordset();
    r = Delete(db, Kind::Specifications, {sawId, 999999}, false);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(States(QStringLiteral("G'B")).empty());
    ListResult specs = LoadList(db, Kind::Specifications, UserSchema::FileName(), tmp.path(), Text);
    ASSERT_EQ(specs.rows.size(), 1u);
}

TEST_F(DirectoryRecordsTest, CancelCommitsWhatWasDeletedAndAFailureRollsAllBack) {
    QList<qint32> ids;
    for (int i = 0; i < 4; ++i)
        ids << Protocol(QStringLiteral("Drill"), QStringLiteral("D%1").arg(i), QStringLiteral("C%1").arg(i),
                        QStringLiteral("2025-01-01"), 0);
    int calls = 0;
    DeleteCallbacks cb;
    cb.cancelled = [&] { return ++calls > 2; };
    DeleteResult r = Delete(db, Kind::Protocols, ids, false, cb);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.deleted, 2);
    EXPECT_TRUE(States(QStringLiteral("C0")).empty());
    EXPECT_TRUE(States(QStringLiteral("C1")).empty());
    EXPECT_EQ(States(QStringLiteral("C2")).size(), 1u);

    // A trigger makes the second delete fail: the first one is rolled back with it.
    ASSERT_TRUE(
        db.Execute(QStringLiteral("CREATE TRIGGER nodel BEFORE DELETE ON GeraeteTab WHEN old.Device = 'D3' "
                                  "BEGIN SELECT RAISE(ABORT, 'kept'); END")));
    r = Delete(db, Kind::Protocols, {ids[2], ids[3]}, false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedName, QStringLiteral("D3"));
    EXPECT_EQ(States(QStringLiteral("C2")).size(), 1u);
    EXPECT_EQ(States(QStringLiteral("C3")).size(), 1u);
}

TEST_F(DirectoryRecordsTest, SelectAsCurrentLeavesExactlyOneCurrent) {
    const qint32 old = Protocol(QStringLiteral("Drill"), QStringLiteral("S"), QStringLiteral("GS"),
                                QStringLiteral("2024-01-01"), 1);
    const qint32 now = Protocol(QStringLiteral("Drill"), QStringLiteral("S"), QStringLiteral("GS"),
                                QStringLiteral("2025-01-01"), 0);
    ASSERT_TRUE(SelectAsCurrent(db, old));
    EXPECT_EQ(States(QStringLiteral("GS")), (std::map<qint32, qint32>{{old, 0}, {now, 1}}));
    EXPECT_FALSE(SelectAsCurrent(db, 987654));
    EXPECT_EQ(States(QStringLiteral("GS")), (std::map<qint32, qint32>{{old, 0}, {now, 1}}));
}

} // namespace
