#include "store/pg/PgSql.h"

#include <gtest/gtest.h>

namespace {

const QSet<QString> kKnown{QStringLiteral("geraetetab"), QStringLiteral("name"),   QStringLiteral("limit"),
                           QStringLiteral("testdate"),   QStringLiteral("device"), QStringLiteral("user"),
                           QStringLiteral("typentab"),   QStringLiteral("id")};

QString T(const char* sql, int* params = nullptr) {
    return PgSql::Translate(QString::fromUtf8(sql), kKnown, params);
}

} // namespace

TEST(PgSql, JetStatementsBecomeServerStatements) {
    struct Case {
        const char* jet;
        const char* pg;
    };
    const Case cases[] = {
        // Double quotes: a literal unless they name a column or table.
        {R"(SELECT DATEADD("m", 3, TestDate) FROM x)", R"(SELECT jet.dateadd('m', 3, "testdate") FROM x)"},
        {R"(SELECT "Name" FROM "GeraeteTab")", R"(SELECT "name" FROM "geraetetab")"},
        {R"(WHERE a = "it's")", R"(WHERE a = 'it''s')"},
        {R"(WHERE a = "say ""hi""")", R"(WHERE a = 'say "hi"')"},
        // Brackets are always names; reserved words naming columns are quoted.
        {"SELECT [Limit], Limit, [Some Col] FROM t", R"(SELECT "limit", "limit", "some col" FROM t)"},
        {"SELECT User FROM t", R"(SELECT "user" FROM t)"},
        {"SELECT current_user", R"(SELECT "current_user")"},
        // Literals are never touched, whatever they hold.
        {"WHERE a = 'Limit ? [x] \"y\" now()'", "WHERE a = 'Limit ? [x] \"y\" now()'"},
        {"WHERE a = 'O''Neil'", "WHERE a = 'O''Neil'"},
        // Parameters, identity, functions.
        {"INSERT INTO t (a, b) VALUES (?, ?)", "INSERT INTO t (a, b) VALUES ($1, $2)"},
        {"Select @@IDENTITY AS NewID", "Select lastval() AS NewID"},
        {"SELECT Now(), CVDate(x), DatePart('yyyy', x)",
         "SELECT jet.now(), jet.cvdate(x), jet.datepart('yyyy', x)"},
        {"SELECT name FROM pragma_table_info(?)", R"(SELECT "name" FROM jet.table_info($1))"},
        // Case-insensitive LIKE, collations gone.
        {"WHERE Name LIKE 'a%' AND b NOT like '_x'", R"(WHERE "name" ILIKE 'a%' AND b NOT ILIKE '_x')"},
        {"WHERE a = ? COLLATE NOCASE", "WHERE a = $1  "},
        // NULLs sort as in SQLite.
        {"SELECT * FROM t ORDER BY TestDate DESC, Name",
         R"(SELECT * FROM t ORDER BY "testdate" DESC NULLS LAST, "name" NULLS FIRST)"},
        {"SELECT * FROM t ORDER BY Name ASC", R"(SELECT * FROM t ORDER BY "name" ASC NULLS FIRST)"},
        {"SELECT * FROM t ORDER BY a NULLS LAST", "SELECT * FROM t ORDER BY a NULLS LAST"},
        {"SELECT * FROM (SELECT a FROM t ORDER BY a DESC) ORDER BY lower(b), c",
         "SELECT * FROM (SELECT a FROM t ORDER BY a DESC NULLS LAST) ORDER BY lower(b) NULLS FIRST, c NULLS "
         "FIRST"},
        {"SELECT * FROM t ORDER BY rowid DESC;", "SELECT * FROM t ORDER BY ctid DESC NULLS LAST;"},
        {"SELECT 1.5e-3, 2-1", "SELECT 1.5e-3, 2-1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(T(c.jet), QString::fromUtf8(c.pg)) << c.jet;
}

TEST(PgSql, CountsParametersOutsideLiterals) {
    int n = -1;
    T("SELECT * FROM t WHERE a = ? AND b = '?' AND c IN (?, ?)", &n);
    EXPECT_EQ(n, 3);
    T("SELECT 1", &n);
    EXPECT_EQ(n, 0);
}

TEST(PgSql, UnclosedQuotesStayUnclosedForTheServerToRefuse) {
    // An unclosed quote must not swallow the rest into a valid statement.
    EXPECT_EQ(T("SELECT 'abc"), QStringLiteral("SELECT 'abc"));
    EXPECT_EQ(T("SELECT [abc FROM t WHERE x = ?"), QStringLiteral("SELECT [abc FROM t WHERE x = ?"));
}
