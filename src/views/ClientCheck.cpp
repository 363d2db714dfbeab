#include "views/ClientCheck.h"

#include "store/AdoDatabase.h"

namespace ClientCheck {

Result Check(CAdoDatabase& db, const QString& device, const QString& client, const QString& guid) {
    const QString sql =
        QStringLiteral("SELECT GeraeteTab.myGUID, GeraeteTab.id, GeraeteTab.Client FROM GeraeteTab "
                       "WHERE Device = %1 AND Client = %2")
            .arg(SqlLiteral(device), SqlLiteral(client));
    if (!db.OpenQuery(sql))
        return Result::DatabaseError;
    Result result = Result::Accepted;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QString other;
        if (!db.IsNull(QStringLiteral("myGUID")))
            db.GetString(QStringLiteral("myGUID"), other);
        if (other != guid) { // exact comparison: GUIDs are written by the tester as they are
            result = Result::Duplicate;
            break;
        }
    }
    db.CloseRecordset();
    return result;
}

} // namespace ClientCheck
