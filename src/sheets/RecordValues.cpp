#include "sheets/RecordValues.h"

#include "store/AdoDatabase.h"

namespace RecordValues {

qint32 Long(CAdoDatabase& db, const char* column, qint32 fallback) {
    qint32 v = fallback;
    const QString name = QString::fromLatin1(column);
    if (db.IsNull(name) || !db.GetLong(name, v))
        return fallback;
    return v;
}

double Real(CAdoDatabase& db, const char* column) {
    double v = 0;
    const QString name = QString::fromLatin1(column);
    if (db.IsNull(name) || !db.GetDouble(name, v))
        return 0;
    return v;
}

QString Text(CAdoDatabase& db, const char* column) {
    QString v;
    const QString name = QString::fromLatin1(column);
    if (!db.IsNull(name) && !db.GetString(name, v)) {
        double d = 0;
        if (db.GetDouble(name, d))
            v = QString::number(d);
    }
    return v;
}

QDateTime Date(CAdoDatabase& db, const char* column) {
    QDateTime value;
    const QString name = QString::fromLatin1(column);
    if (db.IsNull(name) || !db.GetDate(name, value) || value.date() == QDate(1900, 1, 1))
        return QDateTime();
    return value;
}

} // namespace RecordValues
