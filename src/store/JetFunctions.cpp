#include "store/JetFunctions.h"

#include <QRegularExpression>
#include <cmath>
#include <sqlite3.h>

namespace Jet {

namespace {

int ExpandYear(int year, int digits) {
    if (digits > 2)
        return year;
    // Jet's two-digit year window: 00-29 are this century, 30-99 the last.
    return year < 30 ? 2000 + year : 1900 + year;
}

std::optional<QTime> ParseTime(const QString& text) {
    if (text.isEmpty())
        return QTime(0, 0, 0);
    static const QRegularExpression re(QStringLiteral(R"(^(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?(?:\.\d+)?$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    QTime t(m.captured(1).toInt(), m.captured(2).toInt(),
            m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

template <typename Char> bool StoredForm(const Char* p, qsizetype n, QDate& date, QTime& time) {
    if (n != 19 && n != 10)
        return false;
    auto digits = [p](int at, int count, int& value) {
        value = 0;
        for (int k = at; k < at + count; ++k) {
            if (p[k] < Char('0') || p[k] > Char('9'))
                return false;
            value = value * 10 + int(p[k] - Char('0'));
        }
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!digits(0, 4, y) || p[4] != Char('-') || !digits(5, 2, mo) || p[7] != Char('-') || !digits(8, 2, d))
        return false;
    if (n == 19 && (!(p[10] == Char(' ') || p[10] == Char('T')) || !digits(11, 2, h) || p[13] != Char(':') ||
                    !digits(14, 2, mi) || p[16] != Char(':') || !digits(17, 2, s)))
        return false;
    date = QDate(y, mo, d);
    time = QTime(h, mi, s);
    return date.isValid() && time.isValid();
}

} // namespace

bool ParseStoredDate(const char* text, qsizetype size, QDate& date, QTime& time) {
    return text && StoredForm(text, size, date, time);
}

std::optional<QDateTime> ParseDate(const QString& input) {
    // Nearly every date read back is in the stored form; it needs no pattern matching.
    QDate storedDate;
    QTime storedTime;
    if (StoredForm(input.utf16(), input.size(), storedDate, storedTime))
        return QDateTime(storedDate, storedTime);
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    static const QRegularExpression iso(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](.*))?$)"));
    static const QRegularExpression dotted(
        QStringLiteral(R"(^(\d{1,2})\.(\d{1,2})\.(\d{2}|\d{4})(?:\s+(.*))?$)"));
    static const QRegularExpression slashed(
        QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{2}|\d{4})(?:\s+(.*))?$)"));
    int y = 0, mo = 0, d = 0;
    QString rest;
    if (auto m = iso.match(text); m.hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
        rest = m.captured(4).trimmed();
    } else if (auto m2 = dotted.match(text); m2.hasMatch()) {
        d = m2.captured(1).toInt();
        mo = m2.captured(2).toInt();
        y = ExpandYear(m2.captured(3).toInt(), int(m2.captured(3).size()));
        rest = m2.captured(4).trimmed();
    } else if (auto m3 = slashed.match(text); m3.hasMatch()) {
        mo = m3.captured(1).toInt();
        d = m3.captured(2).toInt();
        y = ExpandYear(m3.captured(3).toInt(), int(m3.captured(3).size()));
        rest = m3.captured(4).trimmed();
    } else {
        return std::nullopt;
    }
    const QDate date(y, mo, d);
    if (!date.isValid())
        return std::nullopt;
    const auto time = ParseTime(rest);
    if (!time)
        return std::nullopt;
    return QDateTime(date, *time);
}

QString FormatDate(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

QString NormalizeDate(const QString& text) {
    const auto parsed = ParseDate(text);
    return parsed ? FormatDate(*parsed) : text;
}

std::optional<QDateTime> DateAdd(const QString& intervalIn, double number, const QDateTime& date) {
    const QString interval = intervalIn.trimmed().toLower();
    const qint64 n = std::llround(number);
    if (interval == QLatin1String("yyyy"))
        return date.addYears(int(n));
    if (interval == QLatin1String("q"))
        return date.addMonths(int(n * 3));
    if (interval == QLatin1String("m"))
        return date.addMonths(int(n));
    if (interval == QLatin1String("y") || interval == QLatin1String("d") || interval == QLatin1String("w"))
        return date.addDays(n);
    if (interval == QLatin1String("ww"))
        return date.addDays(n * 7);
    if (interval == QLatin1String("h"))
        return date.addSecs(n * 3600);
    if (interval == QLatin1String("n"))
        return date.addSecs(n * 60);
    if (interval == QLatin1String("s"))
        return date.addSecs(n);
    return std::nullopt;
}

std::optional<int> DatePart(const QString& intervalIn, const QDateTime& date) {
    const QString interval = intervalIn.trimmed().toLower();
    const QDate d = date.date();
    if (interval == QLatin1String("yyyy"))
        return d.year();
    if (interval == QLatin1String("q"))
        return (d.month() - 1) / 3 + 1;
    if (interval == QLatin1String("m"))
        return d.month();
    if (interval == QLatin1String("y"))
        return d.dayOfYear();
    if (interval == QLatin1String("d"))
        return d.day();
    if (interval == QLatin1String("w"))
        return d.dayOfWeek() % 7 + 1; // Sunday is 1
    if (interval == QLatin1String("ww")) {
        // Week 1 holds 1 January; weeks begin on Sunday.
        const QDate jan1(d.year(), 1, 1);
        const int offset = jan1.dayOfWeek() % 7;
        return (d.dayOfYear() - 1 + offset) / 7 + 1;
    }
    if (interval == QLatin1String("h"))
        return date.time().hour();
    if (interval == QLatin1String("n"))
        return date.time().minute();
    if (interval == QLatin1String("s"))
        return date.time().second();
    return std::nullopt;
}

namespace {

// Two-pointer wildcard match that backtracks only to the last %, so no pattern can
// make it run longer than text length times pattern length.
bool LikeMatch(const QString& p, const QString& t, QChar escape) {
    qsizetype pi = 0, ti = 0, starP = -1, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size()) {
            const QChar c = p[pi];
            if (c == QLatin1Char('%')) {
                starP = ++pi;
                starT = ti;
                continue;
            }
            const bool escaped = !escape.isNull() && c == escape && pi + 1 < p.size();
            const QChar want = escaped ? p[pi + 1] : c;
            if ((!escaped && c == QLatin1Char('_')) || want == t[ti]) {
                pi += escaped ? 2 : 1;
                ++ti;
                continue;
            }
        }
        if (starP < 0)
            return false;
        pi = starP;
        ti = ++starT;
    }
    while (pi < p.size() && p[pi] == QLatin1Char('%'))
        ++pi;
    return pi == p.size();
}

} // namespace

bool Like(const QString& pattern, const QString& text, QChar escape) {
    const QChar folded = escape.isNull() ? escape : escape.toCaseFolded();
    return LikeMatch(pattern.toCaseFolded(), text.toCaseFolded(), folded);
}

QString TranslateStatement(const QString& sql) {
    // Jet SQL has no LIMIT clause, so every bare word Limit is the column of that name,
    // which SQLite only accepts quoted. @@IDENTITY is SQLite's last_insert_rowid().
    const bool hasIdentity = sql.contains(QLatin1String("@@"));
    const bool hasLimit = sql.contains(QLatin1String("limit"), Qt::CaseInsensitive);
    if (!hasIdentity && !hasLimit)
        return sql;
    QString out;
    out.reserve(sql.size() + 16);
    QChar quote;
    static const QString identity = QStringLiteral("@@IDENTITY");
    auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            quote = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            out += c;
            continue;
        }
        if (c == QLatin1Char('@') &&
            sql.mid(i, identity.size()).compare(identity, Qt::CaseInsensitive) == 0) {
            out += QStringLiteral("last_insert_rowid()");
            i += identity.size() - 1;
            continue;
        }
        if (isWordChar(c)) {
            qsizetype j = i;
            while (j < sql.size() && isWordChar(sql[j]))
                ++j;
            const QString word = sql.mid(i, j - i);
            if (word.compare(QLatin1String("limit"), Qt::CaseInsensitive) == 0)
                out += QLatin1Char('"') + word + QLatin1Char('"');
            else
                out += word;
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out;
}

namespace {

QString ArgText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void ResultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

bool AnyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

std::optional<QDateTime> ArgDate(sqlite3_value* v) {
    return ParseDate(ArgText(v));
}

void FnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const auto date = ArgDate(argv[2]);
    if (!date)
        return sqlite3_result_error(ctx, "DATEADD: not a date", -1);
    const auto r = DateAdd(ArgText(argv[0]), sqlite3_value_double(argv[1]), *date);
    if (!r)
        return sqlite3_result_error(ctx, "DATEADD: unknown interval", -1);
    ResultText(ctx, FormatDate(*r));
}

void FnDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(2, argv))
        return sqlite3_result_null(ctx);
    (void)argc;
    const auto date = ArgDate(argv[1]);
    if (!date)
        return sqlite3_result_error(ctx, "DATEPART: not a date", -1);
    const auto r = DatePart(ArgText(argv[0]), *date);
    if (!r)
        return sqlite3_result_error(ctx, "DATEPART: unknown interval", -1);
    sqlite3_result_int(ctx, *r);
}

void FnCvDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const auto date = ArgDate(argv[0]);
    if (!date)
        return sqlite3_result_error(ctx, "CVDATE: not a date", -1);
    ResultText(ctx, FormatDate(*date));
}

void FnNow(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultText(ctx, FormatDate(QDateTime::currentDateTime()));
}

// "YYYY-MM-DD HH:MM:SS" by its digits and separators: already in the stored form, or a
// date that cannot be read and stays as it is.
bool LooksStored(const unsigned char* s, int n) {
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    if (n != 19)
        return false;
    for (int i = 0; i < 19; ++i)
        if (shape[i] == 'd' ? (s[i] < '0' || s[i] > '9') : s[i] != static_cast<unsigned char>(shape[i]))
            return false;
    return true;
}

void FnNormDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT ||
        LooksStored(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0])))
        return sqlite3_result_value(ctx, argv[0]);
    ResultText(ctx, NormalizeDate(ArgText(argv[0])));
}

void FnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    QChar escape;
    if (argc == 3) {
        const QString e = ArgText(argv[2]);
        if (e.size() != 1)
            return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
        escape = e[0];
    }
    sqlite3_result_int(ctx, Like(ArgText(argv[0]), ArgText(argv[1]), escape) ? 1 : 0);
}

} // namespace

bool RegisterFunctions(sqlite3* db) {
    const int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    bool ok = true;
    ok &= sqlite3_create_function(db, "DATEADD", 3, det, nullptr, FnDateAdd, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "DATEPART", 2, det, nullptr, FnDatePart, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "DATEPART", 3, det, nullptr, FnDatePart, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "DATEPART", 4, det, nullptr, FnDatePart, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "CVDATE", 1, det, nullptr, FnCvDate, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "NOW", 0, SQLITE_UTF8, nullptr, FnNow, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "JET_NORMDATE", 1, det, nullptr, FnNormDate, nullptr, nullptr) ==
          SQLITE_OK;
    ok &= sqlite3_create_function(db, "like", 2, det, nullptr, FnLike, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function(db, "like", 3, det, nullptr, FnLike, nullptr, nullptr) == SQLITE_OK;
    return ok;
}

} // namespace Jet
