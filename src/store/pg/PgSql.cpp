#include "store/pg/PgSql.h"

#include <vector>

namespace PgSql {

namespace {

enum class Tok { Space, Word, Literal, Ident, Open, Close, Comma, Other };

struct Token {
    Tok type;
    QString text;
};

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool Is(const Token& t, const char* word) {
    return t.type == Tok::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QString Literal(const QString& text) {
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The index of the next token that is not blank, or tokens.size().
size_t NextSolid(const std::vector<Token>& tokens, size_t i) {
    while (i < tokens.size() && tokens[i].type == Tok::Space)
        ++i;
    return i;
}

// Splits the statement; quoted parts keep their quotes so that nothing inside them is
// rewritten.
std::vector<Token> Split(const QString& sql) {
    std::vector<Token> out;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            qsizetype j = i;
            while (j < n && sql[j].isSpace())
                ++j;
            out.push_back({Tok::Space, sql.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString body;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (sql[j] == close) {
                    // A doubled quote inside a quoted part stands for one.
                    if (close != QLatin1Char(']') && j + 1 < n && sql[j + 1] == close) {
                        body += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                body += sql[j];
            }
            if (j >= n) {
                // Left unclosed as it came, so that the server refuses it.
                out.push_back({Tok::Other, sql.mid(i)});
                break;
            }
            out.push_back({c == QLatin1Char('\'') ? Tok::Literal : Tok::Ident, body});
            // The bracket and double-quote forms are resolved later; remember which.
            if (c == QLatin1Char('['))
                out.back().type = Tok::Ident, out.back().text.prepend(QLatin1Char('['));
            else if (c == QLatin1Char('"'))
                out.back().text.prepend(QLatin1Char('"'));
            i = j + 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            qsizetype j = i;
            while (j < n && sql[j] != QLatin1Char('\n'))
                ++j;
            out.push_back({Tok::Space, QStringLiteral(" ")});
            i = j;
        } else if (c == QLatin1Char('@') &&
                   sql.mid(i, 10).compare(QLatin1String("@@IDENTITY"), Qt::CaseInsensitive) == 0) {
            out.push_back({Tok::Other, QStringLiteral("lastval()")});
            i += 10;
        } else if (IsWordChar(c)) {
            qsizetype j = i;
            while (j < n && (IsWordChar(sql[j]) ||
                             // 1.5 and 1e-3 are one number
                             (sql[i].isDigit() &&
                              (sql[j] == QLatin1Char('.') ||
                               ((sql[j] == QLatin1Char('-') || sql[j] == QLatin1Char('+')) &&
                                (sql[j - 1] == QLatin1Char('e') || sql[j - 1] == QLatin1Char('E')))))))
                ++j;
            out.push_back({Tok::Word, sql.mid(i, j - i)});
            i = j;
        } else {
            Tok type = Tok::Other;
            if (c == QLatin1Char('('))
                type = Tok::Open;
            else if (c == QLatin1Char(')'))
                type = Tok::Close;
            else if (c == QLatin1Char(','))
                type = Tok::Comma;
            out.push_back({type, QString(c)});
            ++i;
        }
    }
    return out;
}

// Adds SQLite's place of NULLs to each key of every ORDER BY.
void PlaceNulls(std::vector<Token>& tokens) {
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!Is(tokens[i], "ORDER"))
            continue;
        const size_t by = NextSolid(tokens, i + 1);
        if (by >= tokens.size() || !Is(tokens[by], "BY"))
            continue;
        int depth = 0;
        size_t lastSolid = by;
        auto finishKey = [&](size_t at) {
            const Token& last = tokens[lastSolid];
            // A key that says where its NULLs go keeps it.
            if (Is(last, "FIRST") || Is(last, "LAST"))
                return at;
            const QString nulls =
                Is(last, "DESC") ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST");
            tokens.insert(tokens.begin() + std::ptrdiff_t(lastSolid + 1), Token{Tok::Other, nulls});
            return at + 1;
        };
        size_t j = by + 1;
        for (; j < tokens.size(); ++j) {
            const Token& t = tokens[j];
            if (t.type == Tok::Open)
                ++depth;
            else if (t.type == Tok::Close) {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 &&
                       (t.type == Tok::Comma || (t.type == Tok::Other && t.text == QLatin1String(";")) ||
                        Is(t, "UNION") || Is(t, "OFFSET") || Is(t, "FETCH") || Is(t, "FOR"))) {
                if (t.type != Tok::Comma)
                    break;
                j = finishKey(j);
                continue;
            }
            if (t.type != Tok::Space)
                lastSolid = j;
        }
        if (lastSolid > by)
            j = finishKey(j);
        i = j;
    }
}

} // namespace

QString Identifier(const QString& name) {
    QString q = name.toLower();
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString Translate(const QString& jetSql, const QSet<QString>& known, int* parameters) {
    std::vector<Token> tokens = Split(jetSql);
    int params = 0;
    static const QSet<QString> loginWords{
        QStringLiteral("user"),         QStringLiteral("current_user"),    QStringLiteral("session_user"),
        QStringLiteral("current_role"), QStringLiteral("current_catalog"), QStringLiteral("current_schema")};
    for (size_t i = 0; i < tokens.size(); ++i) {
        Token& t = tokens[i];
        switch (t.type) {
        case Tok::Literal:
            t.text = Literal(t.text);
            t.type = Tok::Other;
            break;
        case Tok::Ident: {
            const QString name = t.text.mid(1);
            if (t.text.startsWith(QLatin1Char('[')) || known.contains(name.toLower()))
                t.text = Identifier(name);
            else
                t.text = Literal(name);
            t.type = Tok::Other;
            break;
        }
        case Tok::Other:
            if (t.text == QLatin1String("?"))
                t.text = QStringLiteral("$%1").arg(++params);
            break;
        case Tok::Word: {
            const QString lower = t.text.toLower();
            const size_t next = NextSolid(tokens, i + 1);
            const bool call = next < tokens.size() && tokens[next].type == Tok::Open;
            const size_t prev = i == 0 ? tokens.size() : [&] {
                size_t p = i;
                while (p > 0 && tokens[p - 1].type == Tok::Space)
                    --p;
                return p == 0 ? tokens.size() : p - 1;
            }();
            if (call) {
                if (lower == QLatin1String("now") || lower == QLatin1String("dateadd") ||
                    lower == QLatin1String("datepart") || lower == QLatin1String("cvdate"))
                    t.text = QStringLiteral("jet.") + lower;
                else if (lower == QLatin1String("pragma_table_info"))
                    t.text = QStringLiteral("jet.table_info");
            } else if (prev < tokens.size() && Is(tokens[prev], "COLLATE")) {
                // COLLATE NOCASE, COLLATE V740_ORDER: both go, the columns compare as Jet does.
                tokens[prev].text.clear();
                t.text.clear();
            } else if (known.contains(lower)) {
                t.text = Identifier(t.text);
            } else if (loginWords.contains(lower)) {
                t.text = Identifier(t.text);
            } else if (lower == QLatin1String("rowid")) {
                t.text = QStringLiteral("ctid");
            } else if (lower == QLatin1String("like")) {
                t.text = QStringLiteral("ILIKE");
            }
            break;
        }
        default:
            break;
        }
    }
    PlaceNulls(tokens);
    QString out;
    out.reserve(jetSql.size() + 32);
    for (const Token& t : tokens)
        out += t.text;
    if (parameters)
        *parameters = params;
    return out;
}

} // namespace PgSql
