#pragma once

#include <QString>
#include <QStringList>

class CAdoDatabase;
class CSettingsFile;

// What the field editor of a property row offers and accepts: one value, typed or picked
// from the values the column already holds, with a memory of the last value per column.
// Backslashes and apostrophes never get through, because the value ends up in SQL.
namespace FieldEditorModel {

// The drop-down list: the current value; the last value stored for the column (when not
// empty); a separator line of maxLength "-"; then the distinct values of the column
// (db may be null or closed: no database values then). ReviewPeriod is listed as numbers.
QStringList Choices(const QString& current, const QString& column, const QString& table, int maxLength,
                    const CSettingsFile& settings, CAdoDatabase* db);

// The separator line of the list; picking it is not a value.
QString Separator(int maxLength);

// Removes every backslash and apostrophe; true when one was removed.
bool StripForbidden(QString& text);

// The value OK hands back: filtered again, trailing blanks removed, cut to maxLength.
QString Accept(const QString& text, int maxLength);

// Remembers value as the column's last value (the settings file's [LastEdit]).
void StoreLast(CSettingsFile& settings, const QString& column, const QString& value);
QString Last(const CSettingsFile& settings, const QString& column);

} // namespace FieldEditorModel
