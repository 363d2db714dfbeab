#include "store/UserSetUpDetails.h"

#include "store/AdoDatabase.h"

bool CUserSetUpDetails::LoadDetails(int directory, QStringList& list1, QStringList& list2,
                                    QStringList& list3) {
    list1.clear();
    list2.clear();
    list3.clear();
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, m_databaseFile))
        return false;
    QStringList* lists[] = {&list1, &list2, &list3};
    for (int useFor = 1; useFor <= 3; ++useFor) {
        const QString sql =
            QStringLiteral(
                "SELECT * FROM UserSetupDetails WHERE DirectoryTabID = %1 AND UseFor = %2 ORDER BY SortOrder")
                .arg(QString::number(directory), QString::number(useFor));
        bool ok = db.OpenQuery(sql);
        if (ok && db.MoveFirst()) {
            do {
                QString value;
                ok = db.GetString(QStringLiteral("StringValue"), value);
                if (!ok)
                    break;
                lists[useFor - 1]->append(value);
            } while (db.MoveNext());
        }
        if (!ok) {
            list1.clear();
            list2.clear();
            list3.clear();
            return false;
        }
    }
    return true;
}

bool CUserSetUpDetails::SaveDetails(int directory, const QStringList& list1, const QStringList& list2,
                                    const QStringList& list3) {
    QStringList statements;
    statements << QStringLiteral("DELETE FROM UserSetupDetails WHERE DirectoryTabID = %1").arg(directory);
    const QStringList* lists[] = {&list1, &list2, &list3};
    for (int useFor = 1; useFor <= 3; ++useFor) {
        const QStringList& list = *lists[useFor - 1];
        for (int i = 0; i < list.size(); ++i)
            // Values are typed by the user and may hold apostrophes.
            statements << QStringLiteral(
                              "INSERT INTO UserSetupDetails (DirectoryTabID, SortOrder, UseFor, StringValue) "
                              "VALUES (%1, %2, %3, '%4')")
                              .arg(QString::number(directory), QString::number(i), QString::number(useFor),
                                   SqlQuote(list[i]));
    }
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, m_databaseFile))
        return false;
    // All or nothing: a half-written list set would restore a filter the user never made.
    CTransaction trans(db);
    return trans.IsActive() && db.ExecuteAll(statements) && trans.Commit();
}
