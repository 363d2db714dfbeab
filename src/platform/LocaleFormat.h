#pragma once

#include <QDate>
#include <QString>

// Dates and numbers as the user's locale writes them.
namespace LocaleFormat {

// The locale's short date with a four-digit year ("24.12.2019" in German).
QString ShortDate(const QDate& date);
// The locale's short date pattern with a four-digit year ("dd.MM.yyyy").
QString ShortDatePattern();
// A number with the locale's decimal separator and the given number of decimals.
QString Number(double value, int decimals);

} // namespace LocaleFormat
