#include "link/LinkLog.h"

#include <QDateTime>
#include <QFile>
#include <mutex>

namespace LinkLog {

namespace {

struct Sink {
    std::mutex mutex;
    QFile file;
    bool tried = false;
};

Sink& TheSink() {
    static Sink sink;
    return sink;
}

void Write(const QByteArray& text) {
    Sink& s = TheSink();
    std::lock_guard lock(s.mutex);
    if (!s.tried) {
        s.tried = true;
        const QString path = qEnvironmentVariable("VELMOR_LINK_LOG");
        if (!path.isEmpty()) {
            s.file.setFileName(path);
            s.file.open(QIODevice::WriteOnly | QIODevice::Append);
        }
    }
    if (s.file.isOpen()) {
        s.file.write(text);
        s.file.flush();
    }
}

QByteArray Stamp(const QString& port, char direction) {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toLatin1() + ' ' +
           port.toLocal8Bit() + ' ' + direction + ' ';
}

} // namespace

bool Enabled() {
    static const bool enabled = !qEnvironmentVariable("VELMOR_LINK_LOG").isEmpty();
    return enabled;
}

QByteArray Escape(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = quint8(ch);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c >= 0x20 && c < 0x7F)
            out += char(c);
        else
            out += "\\x" + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

void Line(const QString& port, char direction, const QByteArray& bytes) {
    if (Enabled())
        Write(Stamp(port, direction) + Escape(bytes) + '\n');
}

void Note(const QString& port, const QString& text) {
    if (Enabled())
        Write(Stamp(port, '!') + text.toUtf8() + '\n');
}

} // namespace LinkLog
