#include "store/TextFormat.h"

#include <cstdio>

namespace {

struct Spec {
    qsizetype start = 0, end = 0; // [start, end) in the format
    QString flags;
    int width = -1;
    int precision = -1;
    QChar conv;
};

// Parses one conversion at format[i] == '%'. Returns false for a malformed one.
bool ParseSpec(const QString& f, qsizetype i, Spec& s) {
    s.start = i++;
    while (i < f.size() && QStringLiteral("-+ #0").contains(f[i]))
        s.flags += f[i++];
    if (i < f.size() && f[i].isDigit()) {
        s.width = 0;
        while (i < f.size() && f[i].isDigit())
            s.width = s.width * 10 + f[i++].digitValue();
    }
    if (i < f.size() && f[i] == QLatin1Char('.')) {
        ++i;
        s.precision = 0;
        while (i < f.size() && f[i].isDigit())
            s.precision = s.precision * 10 + f[i++].digitValue();
    }
    while (i < f.size() && (f[i] == QLatin1Char('l') || f[i] == QLatin1Char('h') || f[i] == QLatin1Char('I')))
        ++i;
    if (i >= f.size())
        return false;
    s.conv = f[i];
    s.end = i + 1;
    return QStringLiteral("diuxXocsSfFeEgG").contains(s.conv);
}

// The C library's own conversion, so that numbers round exactly as printf rounds them.
template <typename T> QString CFormat(const QByteArray& spec, T value) {
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, spec.constData(), value);
    return n < 0 ? QString() : QString::fromLatin1(buffer, qMin(n, int(sizeof buffer) - 1));
}

QString Pad(const QString& text, const Spec& s) {
    if (s.width < 0 || text.size() >= s.width)
        return text;
    const QString fill(s.width - text.size(), QLatin1Char(' '));
    return s.flags.contains(QLatin1Char('-')) ? text + fill : fill + text;
}

bool Apply(const Spec& s, const TextArg& arg, QString& out) {
    const char conv = s.conv.toLatin1();
    QByteArray spec = "%" + s.flags.toLatin1();
    if (s.width >= 0)
        spec += QByteArray::number(s.width);
    if (s.precision >= 0)
        spec += "." + QByteArray::number(s.precision);
    switch (conv) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        if (!std::holds_alternative<qint64>(arg))
            return false;
        spec += "ll";
        spec += conv;
        out += CFormat(spec, static_cast<long long>(std::get<qint64>(arg)));
        return true;
    }
    case 'c': {
        if (!std::holds_alternative<qint64>(arg))
            return false;
        out += Pad(QString(QChar(char16_t(std::get<qint64>(arg)))), s);
        return true;
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G': {
        if (!std::holds_alternative<double>(arg))
            return false;
        spec += conv;
        out += CFormat(spec, std::get<double>(arg));
        return true;
    }
    case 's':
    case 'S': {
        if (!std::holds_alternative<QString>(arg))
            return false;
        QString text = std::get<QString>(arg);
        if (s.precision >= 0 && text.size() > s.precision)
            text.truncate(s.precision);
        out += Pad(text, s);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

QString FormatTextList(const QString& format, const QList<TextArg>& args) {
    QString out;
    out.reserve(format.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        Spec s;
        if (!ParseSpec(format, i, s) || next >= args.size() || !Apply(s, args[next], out))
            return format;
        ++next;
        i = s.end - 1;
    }
    return next == args.size() ? out : format;
}

QString FormatPlaceholders(const QString& format) {
    QStringList convs;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('%'))
            continue;
        if (i + 1 < format.size() && format[i + 1] == QLatin1Char('%')) {
            ++i;
            continue;
        }
        Spec s;
        if (ParseSpec(format, i, s)) {
            convs << QStringLiteral("%") + s.conv;
            i = s.end - 1;
        } else {
            convs << QStringLiteral("%?");
        }
    }
    return convs.join(QLatin1Char(' '));
}
