#pragma once

#include "store/AdoDatabase.h"

#include <QDateTime>
#include <QString>

// Column reads of one record; the first failure sticks. NULL reads as empty or 0, since
// columns added by a schema upgrade are NULL in older rows.
class CRowReader {
public:
    explicit CRowReader(CAdoDatabase& db) : m_db(db) {}
    bool Ok() const { return m_ok; }
    // The error number of the failed read.
    qint32 Error() const { return m_db.GetErrorNumber(); }

    QString Text(const char* column) {
        QString v;
        if (m_ok && !Null(column))
            m_ok = m_db.GetString(QLatin1String(column), v);
        return v;
    }
    qint32 Long(const char* column) {
        qint32 v = 0;
        if (m_ok && !Null(column))
            m_ok = m_db.GetLong(QLatin1String(column), v);
        return v;
    }
    double Double(const char* column) {
        double v = 0;
        if (m_ok && !Null(column))
            m_ok = m_db.GetDouble(QLatin1String(column), v);
        return v;
    }
    int Bool(const char* column) {
        int v = 0;
        if (m_ok && !Null(column))
            m_ok = m_db.GetBool(QLatin1String(column), v);
        return v;
    }
    QDateTime Date(const char* column) {
        QDateTime v;
        if (m_ok && !Null(column))
            m_ok = m_db.GetDate(QLatin1String(column), v);
        return v;
    }
    // A database from before the column existed still reads it as 1.
    qint32 UseExtraPolation(bool columnExists) {
        qint32 v = 1;
        if (!m_ok || !columnExists || Null("UseExtraPolation") ||
            !m_db.GetLong(QStringLiteral("UseExtraPolation"), v))
            return 1;
        return v;
    }

private:
    bool Null(const char* column) { return m_db.IsNull(QLatin1String(column)); }

    CAdoDatabase& m_db;
    bool m_ok = true;
};
