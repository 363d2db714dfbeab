#pragma once

#include <QDateTime>
#include <QString>

class CAdoDatabase;

// Column values of the current row as the sheets show them: NULL or an unreadable value
// reads as nothing (0, an empty text, no date), because a page shows what it can.
namespace RecordValues {

qint32 Long(CAdoDatabase& db, const char* column, qint32 fallback = 0);
double Real(CAdoDatabase& db, const char* column);
// A text column; a number stored in one (the reference data has some) reads as its text.
QString Text(CAdoDatabase& db, const char* column);
// A date; 1 January 1900 stands for no date.
QDateTime Date(CAdoDatabase& db, const char* column);

} // namespace RecordValues
