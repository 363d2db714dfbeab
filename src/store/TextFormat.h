#pragma once

#include <QList>
#include <QString>
#include <variant>

// Catalogue texts are printf formats that come from data. They are never handed to
// printf: FormatText fills only the placeholders the caller supplies, and a text whose
// placeholders do not match the arguments is shown as it stands.
using TextArg = std::variant<qint64, double, QString>;

QString FormatTextList(const QString& format, const QList<TextArg>& args);

namespace TextFormatDetail {
inline TextArg ToArg(int v) {
    return qint64(v);
}
inline TextArg ToArg(unsigned v) {
    return qint64(v);
}
inline TextArg ToArg(long v) {
    return qint64(v);
}
inline TextArg ToArg(long long v) {
    return qint64(v);
}
inline TextArg ToArg(unsigned long v) {
    return qint64(v);
}
inline TextArg ToArg(double v) {
    return v;
}
inline TextArg ToArg(const QString& v) {
    return v;
}
inline TextArg ToArg(const char* v) {
    return QString::fromUtf8(v);
}
} // namespace TextFormatDetail

template <typename... Args> QString FormatText(const QString& format, const Args&... args) {
    return FormatTextList(format, QList<TextArg>{TextFormatDetail::ToArg(args)...});
}

// The conversions of a format in order, e.g. "%s %d" for "Device %s, %d tests".
QString FormatPlaceholders(const QString& format);
