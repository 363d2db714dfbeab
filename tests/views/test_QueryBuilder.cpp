#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"
#include "views/QueryBuilder.h"

#include <gtest/gtest.h>

using namespace QueryBuilder;

namespace {

const QString kTypBase = QStringLiteral("SELECT * FROM TypenTab ");
const QString kGeraetBase = QStringLiteral(
    "SELECT GeraeteTab.id, GeraeteTab.SpecificationName, GeraeteTab.Device, GeraeteTab.NominalVoltage, "
    "GeraeteTab.TestDate, GeraeteTab.TestResultID, GeraeteTab.Operator, GeraeteTab.Serial, "
    "GeraeteTab.Location, "
    "GeraeteTab.Room, GeraeteTab.Department, GeraeteTab.Costs, GeraeteTab.Comment, GeraeteTab.Manufacturer, "
    "GeraeteTab.Description, GeraeteTab.Client, GeraeteTab.ExportImport, GeraeteTab.FirstTestDate, "
    "GeraeteTab.NextTestDate, TypenTab.StandardID, TypenTab.Name, TypenTab.TypID, TypenTab.IconSymbol FROM "
    "TypenTab INNER JOIN GeraeteTab ON TypenTab.Name=GeraeteTab.SpecificationName");

CFilterCondition Cond(const QString& column, const QString& kind, const QStringList& values = {},
                      const QString& op = {}, const QString& typed = {}) {
    return CFilterCondition{column, kind, values, op, typed};
}

} // namespace

TEST(QueryBuilderFragment, TextOfEachKind) {
    struct Case {
        const char* name;
        CFilterCondition condition;
        const char* text; // nullptr: no fragment
    };
    const Case cases[] = {
        {"equality, one value", Cond("c", " WHERE ", {"a"}), " (c=a)"},
        {"equality, two values", Cond("c", " WHERE ", {"a", "b"}), "  (c=a) OR (c=b)"},
        {"equality, three values", Cond("c", " WHERE ", {"a", "b", "d"}), "   (c=a) OR (c=b) OR (c=d)"},
        {"equality, no value", Cond("c", " WHERE ", {}), nullptr},
        {"equality, kind in other case", Cond("c", " where ", {"7"}), " (c=7)"},
        {"date, two-blank kind", Cond("GeraeteTab.TestDate", " WHERE  ", {"2019-12-24"}, "="),
         "  ((Datepart('yyyy',GeraeteTab.TestDate)*1000) + Datepart('y',GeraeteTab.TestDate)) "
         "= ((Datepart('yyyy',Cvdate('2019-12-24'))*1000) + Datepart('y',Cvdate('2019-12-24')))  "},
        {"date, three-blank kind", Cond("CreateDate", " WHERE   ", {"24.12.2019"}, ">="),
         "  ((Datepart('yyyy',CreateDate)*1000) + Datepart('y',CreateDate)) "
         ">= ((Datepart('yyyy',Cvdate('24.12.2019'))*1000) + Datepart('y',Cvdate('24.12.2019')))  "},
        {"date, apostrophe doubled", Cond("CreateDate", " WHERE   ", {"x'y"}, "<"),
         "  ((Datepart('yyyy',CreateDate)*1000) + Datepart('y',CreateDate)) "
         "< ((Datepart('yyyy',Cvdate('x''y'))*1000) + Datepart('y',Cvdate('x''y')))  "},
        {"date, no value", Cond("CreateDate", " WHERE   ", {}, "<"), nullptr},
        {"date, no operator", Cond("CreateDate", " WHERE   ", {"2019-12-24"}, ""), nullptr},
        {"value comparison", Cond("ReviewPeriod", " WHERE    ", {"12"}, ">="), " ReviewPeriod>=12"},
        {"value comparison, decimal", Cond("CordLength", " WHERE    ", {"1.5000"}, "="),
         " CordLength=1.5000"},
        {"value comparison, unknown operator", Cond("ReviewPeriod", " WHERE    ", {"12"}, "<>"), nullptr},
        {"substring search", Cond("GeraeteTab.Description", " LIKE ", {}, {}, "pump"),
         " GeraeteTab.Description LIKE '%pump%'"},
        {"substring search, empty text", Cond("Name", " LIKE ", {}, {}, ""), " Name LIKE ''"},
        {"substring search, apostrophe", Cond("Name", " LIKE ", {}, {}, "O'Neil"), " Name LIKE '%O''Neil%'"},
        {"pattern match", Cond("GeraeteTab.Client", " LIKE   ", {}, {}, "ACME"),
         " GeraeteTab.Client LIKE   'ACME'"},
        {"pattern match, apostrophe", Cond("GeraeteTab.Client", " LIKE   ", {}, {}, "O'Neil"),
         " GeraeteTab.Client LIKE   'O''Neil'"},
        {"field not found", Cond("", " LIKE ", {}, {}, "x"), nullptr},
        {"unknown kind", Cond("Name", " LIKE  ", {}, {}, "x"), nullptr},
        {"sort is no condition", Cond("Name", " ORDER BY ", {"Name"}), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto f = BuildFragment(c.condition);
        if (!c.text) {
            EXPECT_FALSE(f.has_value());
            continue;
        }
        ASSERT_TRUE(f.has_value());
        EXPECT_EQ(f->text, QString::fromUtf8(c.text));
        EXPECT_EQ(f->kind, c.condition.kind);
    }
}

TEST(QueryBuilderAssemble, StatementsCharacterForCharacter) {
    const QString hist = QStringLiteral(" WHERE (GeraeteTab.History=0)");
    struct Case {
        const char* name;
        QString base;
        std::vector<CFilterCondition> conditions;
        QString sort1, sort2;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"search and sort on TypenTab",
         kTypBase,
         {Cond("Name", " LIKE ", {}, {}, "abc")},
         "Name",
         "",
         "SELECT * FROM TypenTab  WHERE  Name LIKE '%abc%'  ORDER BY  Name "},
        {"GeraeteTab without conditions", kGeraetBase, {}, "", "", kGeraetBase + hist},
        {"GeraeteTab, two sort priorities",
         kGeraetBase,
         {},
         "GeraeteTab.Client",
         "GeraeteTab.Device",
         kGeraetBase + hist + "  ORDER BY  GeraeteTab.Client  ,GeraeteTab.Device "},
        {"no conditions, no sorts on TypenTab", kTypBase, {}, "", "", kTypBase},
        {"only sorts on TypenTab",
         kTypBase,
         {},
         "Name",
         "CreateDate",
         "SELECT * FROM TypenTab   ORDER BY  Name  ,CreateDate "},
        {"only priority 2 is formatted like priority 1",
         kTypBase,
         {},
         "",
         "CreateDate",
         "SELECT * FROM TypenTab   ORDER BY  CreateDate "},
        {"only sorts on GeraeteTab",
         kGeraetBase,
         {},
         "GeraeteTab.Device",
         "",
         kGeraetBase + hist + "  ORDER BY  GeraeteTab.Device "},
        {"two conditions of the same field",
         kTypBase,
         {Cond("Name", " LIKE ", {}, {}, "a"), Cond("Name", " LIKE ", {}, {}, "b")},
         "",
         "",
         "SELECT * FROM TypenTab  WHERE  Name LIKE '%a%' AND  Name LIKE '%b%'"},
        {"two test results bracketed after the history condition",
         kGeraetBase,
         {Cond("GeraeteTab.TestResultID", " WHERE ", {"1", "2"})},
         "",
         "",
         kGeraetBase + hist + " AND (  (GeraeteTab.TestResultID=1) OR (GeraeteTab.TestResultID=2))"},
        {"equality list first in the clause, bracketed",
         kTypBase,
         {Cond("StandardID", " WHERE ", {"5800", "6000"})},
         "",
         "",
         "SELECT * FROM TypenTab  WHERE (  (StandardID=5800) OR (StandardID=6000))"},
        {"value comparison first keeps its four blanks",
         kTypBase,
         {Cond("ReviewPeriod", " WHERE    ", {"12"}, ">=")},
         "",
         "",
         "SELECT * FROM TypenTab  WHERE     ReviewPeriod>=12"},
        {"pattern match first starts with WHERE",
         kTypBase,
         {Cond("Manufacturer", " LIKE   ", {}, {}, "X")},
         "",
         "",
         "SELECT * FROM TypenTab  WHERE  Manufacturer LIKE   'X'"},
        {"kinds reordered: equality, date, value, search, pattern, sort",
         kTypBase,
         {Cond("Manufacturer", " LIKE   ", {}, {}, "X"), Cond("Name", " LIKE ", {}, {}, "n"),
          Cond("ReviewPeriod", " WHERE    ", {"6"}, "<"),
          Cond("CreateDate", " WHERE   ", {"2020-01-02"}, ">"), Cond("TypID", " WHERE ", {"5060"})},
         "Name",
         "",
         "SELECT * FROM TypenTab  WHERE  (TypID=5060) AND   ((Datepart('yyyy',CreateDate)*1000) + "
         "Datepart('y',CreateDate)) > ((Datepart('yyyy',Cvdate('2020-01-02'))*1000) + "
         "Datepart('y',Cvdate('2020-01-02')))   AND  ReviewPeriod<6 AND  Name LIKE '%n%' AND  Manufacturer "
         "LIKE   'X'  ORDER BY  Name "},
        {"date comparison first keeps its kind",
         kTypBase,
         {Cond("CreateDate", " WHERE  ", {"2020-01-02"}, "=")},
         "",
         "",
         "SELECT * FROM TypenTab  WHERE    ((Datepart('yyyy',CreateDate)*1000) + Datepart('y',CreateDate)) = "
         "((Datepart('yyyy',Cvdate('2020-01-02'))*1000) + Datepart('y',Cvdate('2020-01-02')))  "},
        {"a condition without value adds nothing",
         kTypBase,
         {Cond("", " LIKE ", {}, {}, "x"), Cond("StandardID", " WHERE ", {})},
         "",
         "",
         kTypBase},
        {"base on geraetetab in other case",
         "select * from GERAETETAB ",
         {},
         "",
         "",
         "select * from GERAETETAB " + hist},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BuildStatement(c.base, c.conditions, c.sort1, c.sort2), c.expected);
    }
}

TEST(QueryBuilderAssemble, ReordersStablyWithinAKindGroup) {
    // The two date kinds form one group; their order among each other is kept.
    const std::vector<CQueryFragment> fragments = {{" ORDER BY ", "  ORDER BY  a ", 1},
                                                   {" WHERE   ", " d3", 1},
                                                   {" LIKE ", " s1", 1},
                                                   {" WHERE  ", " d2", 1},
                                                   {" LIKE ", " s2", 1},
                                                   {" where ", " e", 1}};
    EXPECT_EQ(Assemble("B", fragments), "B where  e AND  d3 AND  d2 AND  s1 AND  s2  ORDER BY  a ");
}

namespace {

// A fresh user2.db with a few test specifications and device protocols.
class QueryBuilderDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2")));
        ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("user2.db")));
        const QStringList rows = {
            "INSERT INTO TypenTab (Name, StandardID, TypID, ReviewPeriod, Manufacturer, CreateDate) VALUES "
            "('Alpha', 5800, 5060, 6, 'Bosch', '2019-12-24 00:00:00')",
            "INSERT INTO TypenTab (Name, StandardID, TypID, ReviewPeriod, Manufacturer, CreateDate) VALUES "
            "('Beta', 6000, 5060, 12, 'Ärzte-Bedarf', '2019-12-24 23:59:59')",
            "INSERT INTO TypenTab (Name, StandardID, TypID, ReviewPeriod, Manufacturer, CreateDate) VALUES "
            "('Gamma', 5800, 5254, 3, 'O''Neil', '2019-12-25 00:00:00')",
            "INSERT INTO TypenTab (Name, StandardID, TypID, ReviewPeriod, Manufacturer, CreateDate) VALUES "
            "('Delta', 6400, 5254, 12, 'Müller', '2019-12-23 23:59:59')",
        };
        ASSERT_TRUE(db.ExecuteAll(rows));
        // Devices: D1 current (result 1) and history (1), D2 (2), D3 (3), D4 current (2) and history (2).
        AddProtocol("D1", "Alpha", 1, 0, "guid-1", "Stadtwerke", "2021-03-04 16:30:00");
        AddProtocol("D1-old", "Alpha", 1, 1, "guid-1", "Stadtwerke", "2020-03-04 09:00:00");
        AddProtocol("D2", "Beta", 2, 0, "guid-2", "O'Neil & Söhne", "2021-03-04 07:15:00");
        AddProtocol("D3", "Gamma", 3, 0, "guid-3", "ÖKO Haus", "2021-03-05 00:00:00");
        AddProtocol("D4", "Delta", 2, 0, "guid-4", "Stadtwerke", "2021-03-03 23:59:59");
        AddProtocol("D4-old", "Delta", 2, 1, "guid-4", "Stadtwerke", "2020-03-03 10:00:00");
    }
    void AddProtocol(const QString& device, const QString& spec, int result, int history, const QString& guid,
                     const QString& client, const QString& testDate) {
        ASSERT_TRUE(
            db.Execute(QStringLiteral("INSERT INTO GeraeteTab (Device, SpecificationName, TestResultID, "
                                      "History, myGUID, Client, TestDate) VALUES (") +
                       SqlLiteral(device) + ", " + SqlLiteral(spec) + ", " + QString::number(result) + ", " +
                       QString::number(history) + ", " + SqlLiteral(guid) + ", " + SqlLiteral(client) + ", " +
                       SqlLiteral(testDate) + ")"));
    }
    // The value of column in every row of the statement's result, in result order.
    QStringList Run(const QString& sql, const char* column) {
        QStringList out;
        EXPECT_TRUE(db.OpenQuery(sql)) << sql.toStdString();
        if (!db.HasRow())
            return out;
        EXPECT_TRUE(db.MoveFirst());
        while (db.HasRow()) {
            QString v;
            EXPECT_TRUE(db.GetString(QString::fromLatin1(column), v));
            out << v;
            db.MoveNext();
        }
        EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
        return out;
    }

    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;
};

} // namespace

TEST_F(QueryBuilderDbTest, EachKindOfConditionSelectsTheRightRows) {
    struct Case {
        const char* name;
        QString base;
        std::vector<CFilterCondition> conditions;
        QString sort1, sort2;
        const char* column;
        QStringList expected; // in result order when a sort is set, otherwise sorted here
    };
    const std::vector<Case> cases = {
        {"date '=' matches every time of that day",
         kTypBase,
         {Cond("CreateDate", " WHERE   ", {"2019-12-24"}, "=")},
         "Name",
         "",
         "Name",
         {"Alpha", "Beta"}},
        {"date '>' by day",
         kTypBase,
         {Cond("CreateDate", " WHERE  ", {"2019-12-24"}, ">")},
         "",
         "",
         "Name",
         {"Gamma"}},
        {"date '<=' on protocols",
         kGeraetBase,
         {Cond("GeraeteTab.TestDate", " WHERE   ", {"4.3.2021"}, "<=")},
         "GeraeteTab.Device",
         "",
         "Device",
         {"D1", "D2", "D4"}},
        {"value comparison",
         kTypBase,
         {Cond("ReviewPeriod", " WHERE    ", {"12"}, ">=")},
         "Name",
         "",
         "Name",
         {"Beta", "Delta"}},
        {"substring search ignores case beyond ASCII",
         kTypBase,
         {Cond("Manufacturer", " LIKE ", {}, {}, "ärZTE")},
         "",
         "",
         "Name",
         {"Beta"}},
        {"substring search with o-umlaut in other case",
         kGeraetBase,
         {Cond("GeraeteTab.Client", " LIKE ", {}, {}, "öko")},
         "",
         "",
         "Device",
         {"D3"}},
        {"substring search with an apostrophe",
         kGeraetBase,
         {Cond("GeraeteTab.Client", " LIKE ", {}, {}, "o'neil &")},
         "",
         "",
         "Device",
         {"D2"}},
        {"empty search text finds only empty values",
         kTypBase,
         {Cond("Manufacturer", " LIKE ", {}, {}, "")},
         "",
         "",
         "Name",
         {}},
        {"pattern match with an apostrophe",
         kTypBase,
         {Cond("Manufacturer", " LIKE   ", {}, {}, "o'neil")},
         "",
         "",
         "Name",
         {"Gamma"}},
        {"pattern match on protocols keeps to current ones",
         kGeraetBase,
         {Cond("GeraeteTab.Client", " LIKE   ", {}, {}, "Stadtwerke")},
         "",
         "",
         "Device",
         {"D1", "D4"}},
        {"equality list alone keeps to current protocols",
         kGeraetBase,
         {Cond("GeraeteTab.TestResultID", " WHERE ", {"1", "2"})},
         "",
         "",
         "Device",
         {"D1", "D2", "D4"}},
        {"equality list with another condition",
         kGeraetBase,
         {Cond("GeraeteTab.TestResultID", " WHERE ", {"1", "2"}),
          Cond("GeraeteTab.Client", " LIKE ", {}, {}, "stadt")},
         "",
         "",
         "Device",
         {"D1", "D4"}},
        {"equality list on specifications with a value comparison",
         kTypBase,
         {Cond("ReviewPeriod", " WHERE    ", {"12"}, ">="), Cond("StandardID", " WHERE ", {"5800", "6400"})},
         "",
         "",
         "Name",
         {"Delta"}},
        // Clients compare by code point, so the O-umlaut comes last; the test date orders the two Stadtwerke.
        {"two sort priorities",
         kGeraetBase,
         {},
         "GeraeteTab.Client",
         "GeraeteTab.TestDate",
         "Device",
         {"D2", "D4", "D1", "D3"}},
        {"two sort priorities, second decides",
         kTypBase,
         {},
         "StandardID",
         "ReviewPeriod",
         "Name",
         {"Gamma", "Alpha", "Beta", "Delta"}},
        {"no conditions on specifications",
         kTypBase,
         {},
         "",
         "",
         "Name",
         {"Alpha", "Beta", "Delta", "Gamma"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString sql = BuildStatement(c.base, c.conditions, c.sort1, c.sort2);
        SCOPED_TRACE(sql.toStdString());
        QStringList got = Run(sql, c.column);
        if (c.sort1.isEmpty() && c.sort2.isEmpty())
            got.sort();
        EXPECT_EQ(got, c.expected);
    }
}
