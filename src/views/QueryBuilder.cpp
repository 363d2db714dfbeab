#include "views/QueryBuilder.h"

#include "store/AdoDatabase.h"

#include <algorithm>

namespace QueryBuilder {

namespace {

bool SameKind(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsOperator(const QString& op) {
    static const QStringList operators = {QStringLiteral("<"), QStringLiteral("="), QStringLiteral(">"),
                                          QStringLiteral("<="), QStringLiteral(">=")};
    return operators.contains(op);
}

QString EqualityText(const QString& column, const QStringList& values) {
    QString text;
    for (const QString& value : values) {
        const QString term = QStringLiteral("(") + column + QStringLiteral("=") + value + QStringLiteral(")");
        text = text.isEmpty() ? QStringLiteral(" ") + term
                              : QStringLiteral(" ") + text + QStringLiteral(" OR ") + term;
    }
    return text;
}

QString DateText(const QString& column, const QString& op, const QString& date) {
    // Compared by day: year times 1000 plus the day of the year, so the time of day drops out.
    const QString columnDay = QStringLiteral(" ((Datepart('yyyy',") + column +
                              QStringLiteral(")*1000) + Datepart('y',") + column + QStringLiteral(")) ");
    const QString literal = QStringLiteral("Cvdate('") + SqlQuote(date) + QStringLiteral("')");
    const QString valueDay = QStringLiteral(" ((Datepart('yyyy',") + literal +
                             QStringLiteral(")*1000) + Datepart('y',") + literal + QStringLiteral("))  ");
    return QStringLiteral(" ") + columnDay + op + valueDay;
}

} // namespace

KindGroup GroupOf(const QString& kind) {
    if (SameKind(kind, kEqualityList))
        return KindGroup::EqualityList;
    if (SameKind(kind, kDateComparison) || SameKind(kind, kDateComparison3))
        return KindGroup::DateComparison;
    if (SameKind(kind, kValueComparison))
        return KindGroup::ValueComparison;
    if (SameKind(kind, kSubstringSearch))
        return KindGroup::SubstringSearch;
    if (SameKind(kind, kPatternMatch))
        return KindGroup::PatternMatch;
    if (SameKind(kind, kSort))
        return KindGroup::Sort;
    return KindGroup::Unknown;
}

std::optional<CQueryFragment> BuildFragment(const CFilterCondition& c) {
    if (c.column.isEmpty())
        return std::nullopt;
    const QString first = c.values.isEmpty() ? QString() : c.values.first();
    QString text;
    int terms = 1;
    switch (GroupOf(c.kind)) {
    case KindGroup::EqualityList: {
        QStringList values;
        for (const QString& v : c.values)
            if (!v.isEmpty())
                values << v;
        text = EqualityText(c.column, values);
        terms = int(values.size());
        break;
    }
    case KindGroup::DateComparison:
        if (!first.isEmpty() && IsOperator(c.op))
            text = DateText(c.column, c.op, first);
        break;
    case KindGroup::ValueComparison:
        // The value is the SQL form of a number, as the number field or the choice list gives it.
        if (!first.isEmpty() && IsOperator(c.op))
            text = QStringLiteral(" ") + c.column + c.op + first;
        break;
    case KindGroup::SubstringSearch: {
        // An empty search text stays '' and so finds only empty values.
        const QString value = c.typedText.isEmpty()
                                  ? QStringLiteral("''")
                                  : QStringLiteral("'%") + SqlQuote(c.typedText) + QStringLiteral("%'");
        text = QStringLiteral(" ") + c.column + c.kind + value;
        break;
    }
    case KindGroup::PatternMatch:
        text = QStringLiteral(" ") + c.column + c.kind + SqlLiteral(c.typedText);
        break;
    case KindGroup::Sort:
    case KindGroup::Unknown:
        break;
    }
    if (text.isEmpty())
        return std::nullopt;
    return CQueryFragment{c.kind, text, terms};
}

CQueryFragment HistoryFragment() {
    return CQueryFragment{kEqualityList, QStringLiteral("(GeraeteTab.History=0)"), 1};
}

std::vector<CQueryFragment> SortFragments(const QString& priority1, const QString& priority2) {
    std::vector<CQueryFragment> sorts;
    if (!priority1.isEmpty())
        sorts.push_back(
            {kSort, QStringLiteral(" ") + kSort + QStringLiteral(" ") + priority1 + QStringLiteral(" ")});
    if (!priority2.isEmpty()) {
        if (!priority1.isEmpty())
            sorts.push_back({kSort, QStringLiteral(" ,") + priority2 + QStringLiteral(" ")});
        else
            sorts.push_back(
                {kSort, QStringLiteral(" ") + kSort + QStringLiteral(" ") + priority2 + QStringLiteral(" ")});
    }
    return sorts;
}

QString Assemble(const QString& baseQuery, const std::vector<CQueryFragment>& fragments) {
    std::vector<CQueryFragment> list;
    if (baseQuery.toLower().contains(QLatin1String("geraetetab")))
        list.push_back(HistoryFragment());
    for (const CQueryFragment& f : fragments)
        if (GroupOf(f.kind) != KindGroup::Unknown && !f.text.isEmpty())
            list.push_back(f);
    std::stable_sort(list.begin(), list.end(), [](const CQueryFragment& a, const CQueryFragment& b) {
        return GroupOf(a.kind) < GroupOf(b.kind);
    });

    QString clause;
    bool firstFragment = true;
    for (const CQueryFragment& f : list) {
        const KindGroup group = GroupOf(f.kind);
        // The OR terms must stay inside their condition once others are joined by AND.
        const QString text = group == KindGroup::EqualityList && f.terms > 1
                                 ? QStringLiteral("(") + f.text + QStringLiteral(")")
                                 : f.text;
        if (group == KindGroup::Sort)
            clause += text;
        else if (!firstFragment)
            clause += QStringLiteral(" AND ") + text;
        else if (group == KindGroup::SubstringSearch || group == KindGroup::PatternMatch)
            clause += kEqualityList + text;
        else
            clause += f.kind + text;
        firstFragment = false;
    }
    return baseQuery + clause;
}

QString BuildStatement(const QString& baseQuery, const std::vector<CFilterCondition>& conditions,
                       const QString& sortPriority1, const QString& sortPriority2) {
    std::vector<CQueryFragment> fragments;
    for (const CFilterCondition& c : conditions)
        if (auto f = BuildFragment(c))
            fragments.push_back(*f);
    for (const CQueryFragment& s : SortFragments(sortPriority1, sortPriority2))
        fragments.push_back(s);
    return Assemble(baseQuery, fragments);
}

} // namespace QueryBuilder
