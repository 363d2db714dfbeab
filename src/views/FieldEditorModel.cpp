#include "views/FieldEditorModel.h"

#include "platform/SettingsFile.h"
#include "store/AdoDatabase.h"
#include "store/NameOrder.h"

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

QString Last(const CSettingsFile& settings, const QString& column) {
    return settings.LastEdit(column);
}

QStringList Choices(const QString& current, const QString& column, const QString& table, int maxLength,
                    const CSettingsFile& settings, CAdoDatabase* db) {
    QStringList list{current};
    const QString last = Last(settings, column);
    if (!last.isEmpty())
        list << last;
    list << Separator(maxLength);
    if (!db || !db->IsOpen() || !IsPlainName(column) || !IsPlainName(table))
        return list;
    // Stored values are names: they sort in the database's language, Ö beside O.
    const QString sql = QStringLiteral("SELECT %1 FROM %2 GROUP BY %1 ORDER BY %3")
                            .arg(column, table, NameOrder::OrderBy(column));
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

void StoreLast(CSettingsFile& settings, const QString& column, const QString& value) {
    settings.WriteLastEdit(column, value);
}

} // namespace FieldEditorModel
