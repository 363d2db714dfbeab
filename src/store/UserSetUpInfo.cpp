#include "store/UserSetUpInfo.h"

#include "store/AdoDatabase.h"

bool CUserSetUpInfo::RowExists(CAdoDatabase& db, int directory) {
    if (!db.OpenTable(QStringLiteral("UserSetup")) || !db.SetIndex(QStringLiteral("IX_DirectoryTabID")))
        return false;
    const bool found = db.Seek(qint32(directory));
    db.CloseRecordset();
    return found;
}

bool CUserSetUpInfo::GetFilter(int directory, int& filterOn, QString& query) {
    filterOn = 0;
    query.clear();
    CAdoDatabase db;
    return db.Open(m_dataFolder, m_databaseFile) && ReadFilter(db, directory, filterOn, query);
}

bool CUserSetUpInfo::ReadFilter(CAdoDatabase& db, int directory, int& filterOn, QString& query) {
    filterOn = 0;
    query.clear();
    if (!db.OpenTable(QStringLiteral("UserSetup")) || !db.SetIndex(QStringLiteral("IX_DirectoryTabID")) ||
        !db.Seek(qint32(directory)))
        return false;
    const bool ok = db.GetString(QStringLiteral("SqlFilterQuery"), query) &&
                    db.GetBool(QStringLiteral("FilterOn"), filterOn);
    db.CloseRecordset();
    return ok;
}

bool CUserSetUpInfo::SetFilter(int directory, int filterOn, const QString& query) {
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, m_databaseFile))
        return false;
    const QString quoted = SqlQuote(query);
    if (RowExists(db, directory))
        return db.Execute(
            QStringLiteral(
                "UPDATE UserSetup SET FilterOn = %1, SqlFilterQuery = '%2' WHERE DirectoryTabID = %3")
                .arg(QString::number(filterOn), quoted, QString::number(directory)));
    return db.Execute(
        QStringLiteral("INSERT INTO UserSetup (DirectoryTabID, IconView, FilterOn, SqlFilterQuery) "
                       "VALUES (%1, %2, %3, '%4')")
            .arg(QString::number(directory), QString::number(0), QString::number(filterOn), quoted));
}
