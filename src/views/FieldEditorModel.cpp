#include "views/FieldEditorModel.h"

#include "platform/ProfileFile.h"
#include "store/AdoDatabase.h"

namespace FieldEditorModel {
namespace {

// Column and table names come from the program's own property rows, never from the user;
// anything else is refused rather than pasted into the statement.
bool IsPlainName(const QString& name) {
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 127)
            return false;
    }
    return true;
}

} // namespace

QString Separator(int maxLength) {
    return QString(qMax(1, maxLength), QLatin1Char('-'));
}

QString Last(const CProfileFile& profile, const QString& column) {
    return profile.GetString(kLastEditSection, column, QString());
}

QStringList Choices(const QString& current, const QString& column, const QString& table, int maxLength,
                    const CProfileFile& profile, CAdoDatabase* db) {
    QStringList list{current};
    const QString last = Last(profile, column);
    if (!last.isEmpty())
        list << last;
    list << Separator(maxLength);
    if (!db || !db->IsOpen() || !IsPlainName(column) || !IsPlainName(table))
        return list;
    const QString sql = QStringLiteral("SELECT %1 FROM %2 GROUP BY %1 ORDER BY %1").arg(column, table);
    if (!db->OpenQuery(sql))
        return list;
    const bool number = column.compare(QLatin1String("ReviewPeriod"), Qt::CaseInsensitive) == 0;
    for (bool ok = db->MoveFirst(); ok && db->HasRow(); ok = db->MoveNext()) {
        if (db->IsNull(column))
            continue;
        QString value;
        if (number) {
            qint32 n = 0;
            if (!db->GetLong(column, n))
                continue;
            value = QString::number(n);
        } else if (!db->GetString(column, value)) {
            continue;
        }
        list << value;
    }
    db->CloseRecordset();
    return list;
}

bool StripForbidden(QString& text) {
    const qsizetype before = text.size();
    text.remove(QLatin1Char('\\'));
    text.remove(QLatin1Char('\''));
    return text.size() != before;
}

QString Accept(const QString& text, int maxLength) {
    QString value = text;
    StripForbidden(value);
    if (maxLength > 0 && value.size() > maxLength)
        value.truncate(maxLength);
    while (!value.isEmpty() && value.back().isSpace())
        value.chop(1);
    return value;
}

void StoreLast(CProfileFile& profile, const QString& column, const QString& value) {
    profile.WriteString(kLastEditSection, column, value);
}

} // namespace FieldEditorModel
