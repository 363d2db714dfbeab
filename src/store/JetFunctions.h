#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

struct sqlite3;

// The date and text functions of the Jet engine that stored statements and filter
// queries rely on, as plain functions and as SQLite functions on a connection.
namespace Jet {

// Reads a date as Jet would: "2019-12-24", "2019-12-24 08:05:00", "24.12.2019",
// "24.12.2019 08:05", "12/24/2019"; parts need not be zero-filled.
std::optional<QDateTime> ParseDate(const QString& text);

// The stored form "YYYY-MM-DD HH:MM:SS", or "YYYY-MM-DD" alone, as UTF-8, read without
// the general parser; false for any other text and for a day or time that does not
// exist, which ParseDate then decides.
bool ParseStoredDate(const char* text, qsizetype size, QDate& date, QTime& time);

// The stored form: "YYYY-MM-DD HH:MM:SS".
QString FormatDate(const QDateTime& value);

// Normalises any date text ParseDate accepts to the stored form; other text unchanged.
QString NormalizeDate(const QString& text);

// DateAdd and DatePart with Jet's interval codes (yyyy, q, m, y, d, w, ww, h, n, s).
std::optional<QDateTime> DateAdd(const QString& interval, double number, const QDateTime& date);
std::optional<int> DatePart(const QString& interval, const QDateTime& date);

// Case-insensitive LIKE on whole Unicode text, with % and _ and an optional escape.
bool Like(const QString& pattern, const QString& text, QChar escape = QChar());

// Rewrites Jet-only tokens outside string literals for SQLite: @@IDENTITY and the
// column name Limit.
QString TranslateStatement(const QString& sql);

// Registers DATEADD, DATEPART, CVDATE, NOW, JET_NORMDATE and the Unicode LIKE.
bool RegisterFunctions(sqlite3* db);

} // namespace Jet
