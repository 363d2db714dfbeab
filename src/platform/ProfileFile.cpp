#include "platform/ProfileFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = f.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QString text = QString::fromUtf8(data);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.split(QLatin1Char('\n'));
}

bool IsSection(const QString& line, QString* name) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype end = t.indexOf(QLatin1Char(']'));
    if (end < 0)
        return false;
    *name = t.mid(1, end - 1).trimmed();
    return true;
}

bool IsKey(const QString& line, QString* key, QString* value) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = t.left(eq).trimmed();
    *value = t.mid(eq + 1).trimmed();
    return true;
}

} // namespace

QString CProfileFile::GetString(const QString& section, const QString& key, const QString& defaultValue,
                                int maxChars) const {
    QString current;
    bool inSection = false;
    QString result = defaultValue;
    for (const QString& line : ReadLines(m_path)) {
        QString name, k, v;
        if (IsSection(line, &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && IsKey(line, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            if (v.size() >= 2 && ((v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'))) ||
                                  (v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))))
                v = v.mid(1, v.size() - 2);
            result = v;
            break;
        }
    }
    if (maxChars >= 0 && result.size() > maxChars)
        result.truncate(maxChars);
    return result;
}

int CProfileFile::GetInt(const QString& section, const QString& key, int defaultValue) const {
    const QString text = GetString(section, key, QString());
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : defaultValue;
}

bool CProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
    QStringList lines = ReadLines(m_path);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    QString flat = value;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString entry = key + QLatin1Char('=') + flat;

    qsizetype sectionAt = -1, insertAt = -1;
    bool inSection = false, done = false;
    for (qsizetype i = 0; i < lines.size() && !done; ++i) {
        QString name, k, v;
        if (IsSection(lines[i], &name)) {
            if (inSection)
                break;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) {
                sectionAt = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
        if (IsKey(lines[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (sectionAt < 0) {
            if (!lines.isEmpty())
                lines << QString();
            lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
        } else {
            lines.insert(insertAt, entry);
        }
    }
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    return out.commit();
}
