#include "store/RowVersion.h"

#include "store/AdoDatabase.h"

namespace RowVersion {

QString Read(CAdoDatabase& db, const QString& table, qint32 id, bool lock) {
    if (!db.IsServer())
        return QString();
    QString sql = QStringLiteral("SELECT CAST(xmin AS text) AS v FROM %1 WHERE id = %2").arg(table).arg(id);
    if (lock)
        sql += QStringLiteral(" FOR UPDATE");
    QString version = QStringLiteral("none");
    if (db.OpenQuery(sql) && db.HasRow())
        db.GetString(QStringLiteral("v"), version);
    db.CloseRecordset();
    return version;
}

} // namespace RowVersion
