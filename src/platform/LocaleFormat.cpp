#include "platform/LocaleFormat.h"

#include <QLocale>
#include <QRegularExpression>

namespace LocaleFormat {

QString ShortDatePattern() {
    QString pattern = QLocale::system().dateFormat(QLocale::ShortFormat);
    // Qt's short formats often carry two-digit years; reports and lists want all four.
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    pattern.replace(twoDigitYear, QStringLiteral("yyyy"));
    return pattern;
}

QString ShortDate(const QDate& date) {
    return QLocale::system().toString(date, ShortDatePattern());
}

QString Number(double value, int decimals) {
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

} // namespace LocaleFormat
