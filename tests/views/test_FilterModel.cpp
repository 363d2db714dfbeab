#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "store/UserSetUpDetails.h"
#include "store/UserSetUpInfo.h"
#include "support/TestSupport.h"
#include "views/DirectoryRecords.h"
#include "views/FilterModel.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using DirectoryRecords::Kind;

// Catalogue texts of the test: two standards share a name, 9999 has no text.
bool Lookup(qint32 id, QString& text) {
    static const QHash<qint32, QString> texts{{6000, QStringLiteral("VDE 0701")},
                                              {6001, QStringLiteral("vde 0701")},
                                              {5050, QStringLiteral("EN 50678")},
                                              {30800, QStringLiteral("Passed")},
                                              {30801, QStringLiteral("Failed")}};
    auto it = texts.constFind(id);
    if (it == texts.constEnd())
        return false;
    text = *it;
    return true;
}

class FilterModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(tmp.path(), UserSchema::FileName()));
    }
    void Spec(const QString& name, int standard, const QString& more = QString(),
              const QString& values = {}) {
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID%1) VALUES (%2, %3%4)")
                                   .arg(more, SqlLiteral(name))
                                   .arg(standard)
                                   .arg(values)));
    }
    void Protocol(const QString& spec, const QString& device, const QString& client, const QString& testDate,
                  int result = 30800, int history = 0) {
        ASSERT_TRUE(db.Execute(
            QStringLiteral(
                "INSERT INTO GeraeteTab (SpecificationName, Device, Client, TestDate, TestResultID, "
                "History, myGUID) VALUES (%1, %2, %3, %4, %5, %6, %7)")
                .arg(SqlLiteral(spec), SqlLiteral(device), SqlLiteral(client), SqlLiteral(testDate))
                .arg(result)
                .arg(history)
                .arg(SqlLiteral(QStringLiteral("g-") + device))));
    }
    CFilterModel Model(Kind kind) {
        return CFilterModel(DirectoryRecords::FilterKey(kind), DirectoryRecords::BaseQuery(kind), Lookup,
                            UserSchema::FileName(), tmp.path());
    }
    // Names (column 0) of the rows a statement gives.
    QStringList Run(Kind kind, const QString& sql) {
        std::vector<DirectoryRecords::Row> rows;
        EXPECT_TRUE(DirectoryRecords::ReadRows(db, kind, sql, {}, rows)) << sql.toStdString();
        QStringList names;
        for (const auto& r : rows)
            names << r.cells[0];
        names.sort();
        return names;
    }
    int Field(const CFilterModel& m, int row) {
        const int f = m.FieldOfRow(row);
        EXPECT_GE(f, 0) << row;
        return f;
    }

    QTemporaryDir tmp;
    CAdoDatabase db;
    CNotifierScope notes;
};

TEST_F(FilterModelTest, FieldTablesOfBothDirectories) {
    CFilterModel protocols = Model(Kind::Protocols);
    CFilterModel specs = Model(Kind::Specifications);
    ASSERT_EQ(protocols.Fields().size(), 26u);
    ASSERT_EQ(specs.Fields().size(), 20u);
    // The sort row is no condition field.
    EXPECT_EQ(protocols.ConditionFields().size(), 25);
    EXPECT_EQ(protocols.FieldOfRow(26), -1);
    EXPECT_EQ(specs.FieldOfRow(20), -1);

    const CTextItem& latest = protocols.Field(Field(protocols, 19));
    EXPECT_EQ(latest.column, QStringLiteral("GeraeteTab.TestDate"));
    EXPECT_EQ(latest.inputType, 4);
    EXPECT_TRUE(latest.HasOperator());
    EXPECT_EQ(latest.defaultOperator, QStringLiteral(">"));
    const CTextItem& standard = protocols.Field(Field(protocols, 1));
    EXPECT_EQ(standard.table, QStringLiteral("TypenTab"));
    EXPECT_EQ(standard.displayColumn, QStringLiteral("StandardID"));
    EXPECT_FALSE(standard.HasOperator());
    const CTextItem& cord = specs.Field(Field(specs, 11));
    EXPECT_EQ(cord.column, QStringLiteral("CordLength"));
    EXPECT_EQ(cord.table, QStringLiteral("TypenTab"));
    EXPECT_EQ(cord.defaultOperator, QStringLiteral("="));
    EXPECT_EQ(specs.Field(Field(specs, 7)).notSpecified, QStringLiteral("No methode defined"));

    // Rows 21 and 24 share their English caption: a caption alone cannot name them.
    EXPECT_EQ(protocols.FindField(QStringLiteral("Test date (2), Enter first test")), -2);
    EXPECT_EQ(protocols.FindField(QStringLiteral("Test result")), Field(protocols, 15));
    EXPECT_EQ(protocols.FindField(QStringLiteral("No such field")), -1);

    EXPECT_EQ(specs.SortTexts().first(), QStringLiteral("Not Used"));
    EXPECT_EQ(specs.SortTexts().size(), 8);
    EXPECT_EQ(protocols.SortColumnOf(QStringLiteral("Device ID")), QStringLiteral("GeraeteTab.Device"));
    EXPECT_EQ(protocols.SortTextOf(QStringLiteral("geraetetab.testdate")), QStringLiteral("Latest test"));
}

TEST_F(FilterModelTest, ChoiceListsFollowTheirColumnKinds) {
    Spec(QStringLiteral("A"), 6000, QStringLiteral(", AllPe, CordLength, ReviewPeriod, MeasMethodeID"),
         QStringLiteral(", -1, 1.5, 12, 0"));
    Spec(QStringLiteral("B"), 6001, QStringLiteral(", AllPe, CordLength, ReviewPeriod, MeasMethodeID"),
         QStringLiteral(", 0, 2, 24, 0"));
    Spec(QStringLiteral("C"), 9999, QStringLiteral(", AllPe, CordLength, ReviewPeriod"),
         QStringLiteral(", 1, 1.5, 12"));
    Spec(QStringLiteral("D"), 5050);
    CFilterModel m = Model(Kind::Specifications);

    // TextID column: the second "VDE 0701" is a hidden duplicate, 9999 has no text.
    const int standard = Field(m, 1);
    ASSERT_TRUE(m.FillChoices(standard));
    const CTextItem& s = m.Field(standard);
    EXPECT_EQ(s.displays,
              (QStringList{QStringLiteral("EN 50678"), QStringLiteral("VDE 0701"),
                           QStringLiteral("<MARK>vde 0701"), QStringLiteral("Norm not specified")}));
    EXPECT_EQ(s.values, (QStringList{QStringLiteral("5050"), QStringLiteral("6000"), QStringLiteral("6001"),
                                     QStringLiteral("9999")}));
    EXPECT_EQ(m.VisibleChoices(standard), (QStringList{QStringLiteral("EN 50678"), QStringLiteral("VDE 0701"),
                                                       QStringLiteral("Norm not specified")}));

    // Yes/no: every non-zero value is "Active"; a NULL offers nothing.
    const int allPe = Field(m, 5);
    EXPECT_EQ(m.VisibleChoices(allPe), (QStringList{QStringLiteral("Active"), QStringLiteral("Not Active")}));
    EXPECT_EQ(m.Field(allPe).values,
              (QStringList{QStringLiteral("-1"), QStringLiteral("0"), QStringLiteral("1")}));

    EXPECT_EQ(m.VisibleChoices(Field(m, 11)),
              (QStringList{QStringLiteral("1.5000"), QStringLiteral("2.0000")}));
    EXPECT_EQ(m.VisibleChoices(Field(m, 15)), (QStringList{QStringLiteral("12"), QStringLiteral("24")}));
    EXPECT_EQ(m.VisibleChoices(Field(m, 7)), (QStringList{QStringLiteral("No methode defined")}));
    EXPECT_EQ(m.VisibleChoices(Field(m, 12)),
              (QStringList{QStringLiteral("Import"), QStringLiteral("Export"), QStringLiteral("Im-/Export"),
                           QStringLiteral("No Im-/Export")}));
    EXPECT_TRUE(notes.recorder.messages.isEmpty());

    EXPECT_TRUE(m.ValueValid(Field(m, 13), QStringLiteral("12")));
    EXPECT_FALSE(m.ValueValid(Field(m, 13), QStringLiteral("twelve")));
    EXPECT_TRUE(m.ValueValid(Field(m, 17), QStringLiteral("2025-02-28")));
    EXPECT_FALSE(m.ValueValid(Field(m, 17), QStringLiteral("2025-02-30")));
    EXPECT_TRUE(m.ValueValid(standard, QStringLiteral("vde 0701")));
    EXPECT_FALSE(m.ValueValid(standard, QStringLiteral("<MARK>vde 0701")));
}

TEST_F(FilterModelTest, ChoicesOfEmptyTablesSayInitComboAndYieldNoCondition) {
    CFilterModel m = Model(Kind::Protocols);
    const int client = Field(m, 16);
    EXPECT_FALSE(m.FillChoices(client));
    EXPECT_EQ(notes.recorder.Last(), QStringLiteral("CFilterDlg::InitCombo Err_A No Items Found to select"));
    EXPECT_TRUE(m.VisibleChoices(client).isEmpty());
    m.SetField(0, client);
    m.Condition(0).value = QStringLiteral("ACME");
    EXPECT_FALSE(m.ConditionOf(0).has_value());

    CFilterModel none(QStringLiteral("NOPE"), QStringLiteral("SELECT 1"), Lookup, UserSchema::FileName(),
                      tmp.path());
    EXPECT_TRUE(none.Fields().empty());
    EXPECT_FALSE(none.FillChoices(0));
    EXPECT_EQ(notes.recorder.Last(), QStringLiteral("CFilterDlg::InitCombo  Err_B No Items Found to select"));
}

TEST_F(FilterModelTest, ChoosingASharedStandardNameSelectsBothIdsAndTheStatementRuns) {
    Spec(QStringLiteral("A"), 6000);
    Spec(QStringLiteral("B"), 6001);
    Spec(QStringLiteral("C"), 5050);
    Protocol(QStringLiteral("A"), QStringLiteral("dev-a"), QStringLiteral("ACME"),
             QStringLiteral("2025-03-01"));
    Protocol(QStringLiteral("B"), QStringLiteral("dev-b"), QStringLiteral("ACME"),
             QStringLiteral("2025-03-02"));
    Protocol(QStringLiteral("B"), QStringLiteral("dev-b"), QStringLiteral("ACME"),
             QStringLiteral("2024-03-02"), 30801, 1);
    Protocol(QStringLiteral("C"), QStringLiteral("dev-c"), QStringLiteral("ACME"),
             QStringLiteral("2025-03-03"));

    CFilterModel specs = Model(Kind::Specifications);
    specs.SetFilterOn(true);
    specs.SetField(0, Field(specs, 1));
    specs.Condition(0).value = QStringLiteral("VDE 0701");
    auto c = specs.ConditionOf(0);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->values, (QStringList{QStringLiteral("6000"), QStringLiteral("6001")}));
    CFilterModel::Result r = specs.Apply();
    EXPECT_EQ(r.filterOn, -1);
    EXPECT_EQ(Run(Kind::Specifications, r.query), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));

    // On protocols the OR terms stay inside their condition next to the history condition
    // and a date condition; dates compare by day.
    CFilterModel protocols = Model(Kind::Protocols);
    protocols.SetFilterOn(true);
    protocols.SetField(0, Field(protocols, 1));
    protocols.Condition(0).value = QStringLiteral("vde 0701");
    protocols.SetField(1, Field(protocols, 19));
    protocols.Condition(1).value = QStringLiteral("2025-03-02");
    protocols.Condition(1).op = QStringLiteral("=");
    r = protocols.Apply();
    EXPECT_EQ(Run(Kind::Protocols, r.query), QStringList{QStringLiteral("dev-b")});
    EXPECT_EQ(r.list3[1], QStringLiteral("="));
    protocols.Condition(1).op = QStringLiteral("<");
    EXPECT_EQ(Run(Kind::Protocols, protocols.Apply().query), QStringList{QStringLiteral("dev-a")});
}

TEST_F(FilterModelTest, YesNoCordLengthAndImportExportChoicesFilter) {
    Spec(QStringLiteral("on"), 5050, QStringLiteral(", PartsUsed, CordLength, ExportImport, ReviewPeriod"),
         QStringLiteral(", -1, 1.5, 2, 12"));
    Spec(QStringLiteral("off"), 5050, QStringLiteral(", PartsUsed, CordLength, ExportImport, ReviewPeriod"),
         QStringLiteral(", 0, 2.25, 3, 24"));
    struct Case {
        int row;
        QString value;
        QString op;
        QStringList names;
    } cases[] = {
        {10, QStringLiteral("Active"), {}, {QStringLiteral("on")}},
        {10, QStringLiteral("Not Active"), {}, {QStringLiteral("off")}},
        {11, QStringLiteral("2.2500"), QStringLiteral("="), {QStringLiteral("off")}},
        {11, QStringLiteral("1.5000"), QStringLiteral(">="), {QStringLiteral("off"), QStringLiteral("on")}},
        {12, QStringLiteral("Im-/Export"), {}, {QStringLiteral("off")}},
        {12, QStringLiteral("Import"), {}, {QStringLiteral("on")}},
        {12, QStringLiteral("No Im-/Export"), {}, {}},
        {13, QStringLiteral("13"), QStringLiteral(">="), {QStringLiteral("off")}},
        {14, QStringLiteral("24"), QStringLiteral("<="), {QStringLiteral("off"), QStringLiteral("on")}},
    };
    for (const Case& c : cases) {
        CFilterModel m = Model(Kind::Specifications);
        m.SetFilterOn(true);
        m.SetField(2, Field(m, c.row));
        m.Condition(2).value = c.value;
        if (!c.op.isEmpty())
            m.Condition(2).op = c.op;
        const CFilterModel::Result r = m.Apply();
        EXPECT_EQ(Run(Kind::Specifications, r.query), c.names) << c.row << " " << c.value.toStdString();
        EXPECT_EQ(r.list1[2], m.Field(m.FieldOfRow(c.row)).caption);
    }
}

TEST_F(FilterModelTest, TypedTextStaysInsideItsStringAndKeepsItsWildcards) {
    Spec(QStringLiteral("O'Brien's saw"), 5050);
    Spec(QStringLiteral("100% drill"), 5050);
    Spec(QStringLiteral("1000 drill"), 5050);
    Spec(QStringLiteral("a_b"), 5050);
    struct Case {
        QString typed;
        QStringList names;
    } cases[] = {
        {QStringLiteral("o'brien"), {QStringLiteral("O'Brien's saw")}},
        {QStringLiteral("x' OR 1=1 OR Name LIKE '"), {}},
        {QStringLiteral("') OR ('1'='1"), {}},
        {QStringLiteral("100%dr"), {QStringLiteral("100% drill"), QStringLiteral("1000 drill")}},
        {QStringLiteral("a_b"), {QStringLiteral("a_b")}},
        {QStringLiteral("_"),
         {QStringLiteral("100% drill"), QStringLiteral("1000 drill"), QStringLiteral("O'Brien's saw"),
          QStringLiteral("a_b")}},
        {QString(), {}}, // an empty search finds only empty names
    };
    for (const Case& c : cases) {
        CFilterModel m = Model(Kind::Specifications);
        m.SetFilterOn(true);
        m.SetField(0, Field(m, 2));
        m.Condition(0).value = c.typed;
        const CFilterModel::Result r = m.Apply();
        EXPECT_EQ(Run(Kind::Specifications, r.query), c.names) << c.typed.toStdString();
        EXPECT_EQ(r.list2[0], c.typed);
    }
}

TEST_F(FilterModelTest, EmptyOkGivesTheBaseQueryAndNumbersAndDatesMustBeValid) {
    Spec(QStringLiteral("A"), 5050);
    CFilterModel m = Model(Kind::Specifications);
    m.SetFilterOn(true);
    CFilterModel::Result r = m.Apply();
    EXPECT_EQ(r.query, QStringLiteral("SELECT * FROM TypenTab "));
    EXPECT_EQ(r.list1, QStringList(5));
    EXPECT_EQ(r.list2, QStringList(5));

    // A number or date that is none yields no condition instead of text inside the SQL.
    m.SetField(0, Field(m, 13));
    m.Condition(0).value = QStringLiteral("1; DROP TABLE TypenTab");
    m.SetField(1, Field(m, 17));
    m.Condition(1).value = QStringLiteral("yesterday");
    r = m.Apply();
    EXPECT_EQ(r.query, QStringLiteral("SELECT * FROM TypenTab "));
    EXPECT_EQ(r.list1, QStringList(5));

    CFilterModel p = Model(Kind::Protocols);
    EXPECT_TRUE(p.Apply().query.endsWith(QStringLiteral(" WHERE (GeraeteTab.History=0)")));
    EXPECT_EQ(p.Apply().filterOn, 0);
}

TEST_F(FilterModelTest, ReopeningRestoresTheLastOkThroughTheStoredLists) {
    Spec(QStringLiteral("A"), 6000);
    Protocol(QStringLiteral("A"), QStringLiteral("dev'1"), QStringLiteral("O'Neil"),
             QStringLiteral("2025-03-01"));
    Protocol(QStringLiteral("A"), QStringLiteral("dev2"), QStringLiteral("ACME"),
             QStringLiteral("2025-03-01"));
    const int directory = DirectoryRecords::SettingsDirectory(Kind::Protocols);
    CUserSetUpInfo info(UserSchema::FileName(), tmp.path());
    CUserSetUpDetails details(UserSchema::FileName(), tmp.path());

    CFilterModel first = Model(Kind::Protocols);
    first.SetFilterOn(true);
    first.SetField(0, Field(first, 16)); // client choice
    first.Condition(0).value = QStringLiteral("O'Neil");
    first.SetField(2, Field(first, 24)); // first test date (2), shares its caption with row 21
    first.Condition(2).value = QStringLiteral("2030-01-01");
    first.Condition(2).op = QStringLiteral("<=");
    first.SetSort(1, QStringLiteral("GeraeteTab.Device"));
    const CFilterModel::Result r = first.Apply();
    EXPECT_EQ(r.list1, (QStringList{QStringLiteral("Client"), QString(),
                                    QStringLiteral("Test date (2), Enter first test"), QString(),
                                    QStringLiteral("GeraeteTab.Device")}));
    EXPECT_EQ(r.list2[4], QStringLiteral(" ORDER BY "));
    ASSERT_TRUE(info.SetFilter(directory, r.filterOn, r.query));
    ASSERT_TRUE(details.SaveDetails(directory, r.list1, r.list2, r.list3));
    // FirstTestDate is NULL in these rows: the condition is there, so nothing passes.
    EXPECT_TRUE(Run(Kind::Protocols, r.query).isEmpty());

    int on = 0;
    QString query;
    QStringList l1, l2, l3;
    ASSERT_TRUE(info.GetFilter(directory, on, query));
    ASSERT_TRUE(details.LoadDetails(directory, l1, l2, l3));
    CFilterModel again = Model(Kind::Protocols);
    again.Restore(on, query, l1, l2, l3);
    EXPECT_TRUE(again.FilterOn());
    EXPECT_EQ(again.Condition(0).field, Field(again, 16));
    EXPECT_EQ(again.Condition(0).value, QStringLiteral("O'Neil"));
    EXPECT_EQ(again.Condition(1).field, -1);
    EXPECT_EQ(again.Condition(2).field, Field(again, 24));
    EXPECT_EQ(again.Condition(2).op, QStringLiteral("<="));
    EXPECT_TRUE(again.Sort(0).isEmpty());
    EXPECT_EQ(again.Sort(1), QStringLiteral("GeraeteTab.Device"));
    const CFilterModel::Result same = again.Apply();
    EXPECT_EQ(same.query, r.query);
    EXPECT_EQ(same.list1, r.list1);

    // Clear all items acts only while the filter is on.
    again.SetFilterOn(false);
    EXPECT_FALSE(again.ClearAll());
    EXPECT_EQ(again.Condition(0).field, Field(again, 16));
    again.SetFilterOn(true);
    EXPECT_TRUE(again.ClearAll());
    EXPECT_EQ(again.Condition(0).field, -1);
    EXPECT_TRUE(again.Sort(1).isEmpty());

    // A caption no field has any more leaves its slot empty.
    CFilterModel stale = Model(Kind::Protocols);
    stale.Restore(-1, query, {QStringLiteral("Gone"), QString(), QString(), QStringLiteral("Nope.Column")},
                  {QStringLiteral("x")}, {});
    EXPECT_EQ(stale.Condition(0).field, -1);
    EXPECT_TRUE(stale.Sort(0).isEmpty());
}

} // namespace
