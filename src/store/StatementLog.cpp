#include "store/StatementLog.h"

#include <fcntl.h>
#include <unistd.h>

namespace StatementLog {

namespace {

QString Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool Unescape(const QString& text, QString& out) {
    out.clear();
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text[i].unicode()) {
        case '\\':
            out += QLatin1Char('\\');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        default:
            return false;
        }
    }
    return true;
}

int LogFd() {
    // Opened once per process; every line goes out in one write() to a file opened for
    // appending, so the lines of programs that run at the same time do not mix.
    static const int fd = [] {
        const QByteArray path = qgetenv("VELMOR_SQL_LOG");
        if (path.isEmpty())
            return -1;
        return ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }();
    return fd;
}

} // namespace

bool Enabled() {
    return LogFd() >= 0;
}

void Record(const QString& sql, const QVariantList& values) {
    const int fd = LogFd();
    if (fd < 0)
        return;
    const QByteArray line = (Encode(sql, values) + QLatin1Char('\n')).toUtf8();
    [[maybe_unused]] const ssize_t written = ::write(fd, line.constData(), size_t(line.size()));
}

QString Encode(const QString& sql, const QVariantList& values) {
    QString line = Escape(sql);
    for (const QVariant& v : values) {
        line += QLatin1Char('\t');
        if (v.isNull()) {
            line += QLatin1String("n:");
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            line += QLatin1String("i:") + QString::number(v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            line += QLatin1String("d:") + QString::number(v.toDouble(), 'g', 17);
            break;
        default:
            line += QLatin1String("s:") + Escape(v.toString());
        }
    }
    return line;
}

bool Decode(const QString& line, QString& sql, QVariantList& values) {
    values.clear();
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.isEmpty() || !Unescape(fields[0], sql) || sql.isEmpty())
        return false;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString& f = fields[i];
        const QString body = f.mid(2);
        if (f.startsWith(QLatin1String("n:"))) {
            values << QVariant();
        } else if (f.startsWith(QLatin1String("i:"))) {
            bool ok = false;
            values << body.toLongLong(&ok);
            if (!ok)
                return false;
        } else if (f.startsWith(QLatin1String("d:"))) {
            bool ok = false;
            values << body.toDouble(&ok);
            if (!ok)
                return false;
        } else if (f.startsWith(QLatin1String("s:"))) {
            QString text;
            if (!Unescape(body, text))
                return false;
            values << text;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace StatementLog
