#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The filter statements of the two data directories: one SQL fragment per filter condition
// and sort priority, ordered by kind and joined behind the directory's base query.
namespace QueryBuilder {

// The kinds tell each other apart by the blanks after the keyword; they compare ignoring case.
inline const QString kEqualityList = QStringLiteral(" WHERE ");
inline const QString kDateComparison = QStringLiteral(" WHERE  ");
inline const QString kDateComparison3 = QStringLiteral(" WHERE   ");
inline const QString kValueComparison = QStringLiteral(" WHERE    ");
inline const QString kSubstringSearch = QStringLiteral(" LIKE ");
inline const QString kPatternMatch = QStringLiteral(" LIKE   ");
inline const QString kSort = QStringLiteral(" ORDER BY ");

// Order of the kinds in the joined clause.
enum class KindGroup {
    EqualityList,
    DateComparison,
    ValueComparison,
    SubstringSearch,
    PatternMatch,
    Sort,
    Unknown
};
KindGroup GroupOf(const QString& kind);

struct CQueryFragment {
    QString kind;
    QString text;
    int terms = 1; // OR terms of an equality list
    bool operator==(const CQueryFragment&) const = default;
};

// One filter condition as the filter dialog hands it over. An empty column stands for a
// field that is not among the definitions.
struct CFilterCondition {
    QString column;
    QString kind;
    QStringList values; // SQL forms of the chosen entries, or the date text
    QString op;         // "<", "=", ">", "<=", ">=" for the comparison kinds
    QString typedText;  // raw text of a text field (substring search, pattern match)
};

// The fragment of one condition, or nothing when it has no value, no known kind or no
// valid operator. Typed texts and dates enter SQL literals with apostrophes doubled.
std::optional<CQueryFragment> BuildFragment(const CFilterCondition& condition);

// (" WHERE ", "(GeraeteTab.History=0)"): a device protocol filter keeps to current protocols.
CQueryFragment HistoryFragment();

// The fragments of the two sort priorities; an empty column is a priority not used.
std::vector<CQueryFragment> SortFragments(const QString& priority1, const QString& priority2);

// The complete statement: the history fragment for a base query on GeraeteTab, then the
// given fragments (conditions 1 to 3, then sorts), reordered stably by kind and joined.
QString Assemble(const QString& baseQuery, const std::vector<CQueryFragment>& fragments);

// Conditions and sort priorities to a statement, as the filter dialog does on OK.
QString BuildStatement(const QString& baseQuery, const std::vector<CFilterCondition>& conditions,
                       const QString& sortPriority1, const QString& sortPriority2);

} // namespace QueryBuilder
