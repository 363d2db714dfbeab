#include "views/DirectoryRecords.h"

#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/UserSetUpInfo.h"

namespace DirectoryRecords {

namespace {
const QString kProtocolColumns = QStringLiteral(
    "SELECT GeraeteTab.id, GeraeteTab.Device, GeraeteTab.TestResultID, GeraeteTab.Description, "
    "GeraeteTab.Client, GeraeteTab.TestDate, GeraeteTab.NextTestDate, GeraeteTab.History, TypenTab.Name, "
    "TypenTab.IconSymbol FROM TypenTab INNER JOIN GeraeteTab ON TypenTab.Name = "
    "GeraeteTab.SpecificationName ");

// Catalogue texts repeat across rows (a handful of results and standards): look each up once.
class CachedText {
public:
    explicit CachedText(const TextLookup& text) : m_text(text) {}
    QString operator()(qint32 id) {
        auto it = m_cache.constFind(id);
        if (it != m_cache.constEnd())
            return *it;
        const QString value = m_text ? m_text(id) : QString();
        m_cache.insert(id, value);
        return value;
    }

private:
    const TextLookup& m_text;
    QHash<qint32, QString> m_cache;
};
} // namespace

const QList<Column>& Columns(Kind kind) {
    static const QList<Column> specs{{19, 147}, {10005, 147}, {20, 165}, {125, 87}};
    static const QList<Column> protocols{{26, 147},   {22, 135},    {10005, 147}, {30859, 147},
                                         {30435, 87}, {30438, 110}, {30432, 147}};
    return kind == Kind::Specifications ? specs : protocols;
}

int SettingsDirectory(Kind kind) {
    return kind == Kind::Specifications ? kDirectorySpecifications : kDirectoryProtocols;
}

QString FilterKey(Kind kind) {
    return kind == Kind::Specifications ? QStringLiteral("TYPE") : QStringLiteral("GERAETE");
}

QString BaseQuery(Kind kind) {
    if (kind == Kind::Specifications)
        return QStringLiteral("SELECT * FROM TypenTab ");
    return QStringLiteral(
        "SELECT GeraeteTab.id, GeraeteTab.SpecificationName, GeraeteTab.Device, GeraeteTab.NominalVoltage, "
        "GeraeteTab.TestDate, GeraeteTab.TestResultID, GeraeteTab.Operator, GeraeteTab.Serial, "
        "GeraeteTab.Location, GeraeteTab.Room, GeraeteTab.Department, GeraeteTab.Costs, GeraeteTab.Comment, "
        "GeraeteTab.Manufacturer, GeraeteTab.Description, GeraeteTab.Client, GeraeteTab.ExportImport, "
        "GeraeteTab.FirstTestDate, GeraeteTab.NextTestDate, TypenTab.StandardID, TypenTab.Name, "
        "TypenTab.TypID, TypenTab.IconSymbol FROM TypenTab INNER JOIN GeraeteTab ON "
        "TypenTab.Name=GeraeteTab.SpecificationName");
}

QString DefaultQuery(Kind kind) {
    if (kind == Kind::Specifications)
        return QStringLiteral("Select * From TypenTab ORDER BY Name ASC");
    return kProtocolColumns +
           QStringLiteral("WHERE GeraeteTab.History = 0 ORDER BY GeraeteTab.NextTestDate ASC");
}

QString HistoryQuery(const QString& guid) {
    return kProtocolColumns + QStringLiteral("WHERE GeraeteTab.myGUID = ") + SqlLiteral(guid) +
           QStringLiteral(" ORDER BY GeraeteTab.TestDate DESC");
}

bool ReadRows(CAdoDatabase& db, Kind kind, const QString& sql, const TextLookup& text,
              std::vector<Row>& rows) {
    rows.clear();
    if (!db.OpenQuery(sql))
        return false;
    CachedText cached(text);
    const bool specs = kind == Kind::Specifications;
    QString s;
    qint32 n = 0;
    for (bool more = db.MoveFirst(); more && db.HasRow(); more = db.MoveNext()) {
        Row row;
        db.GetLong(QStringLiteral("id"), row.id);
        row.cells.reserve(specs ? 4 : 7);
        if (specs) {
            db.GetString(QStringLiteral("Name"), s);
            row.cells << s;
            db.GetString(QStringLiteral("Description"), s);
            row.cells << s;
            n = 0;
            db.GetLong(QStringLiteral("StandardID"), n);
            row.cells << cached(n);
            db.GetDateText(QStringLiteral("CreateDate"), s);
            row.cells << s;
        } else {
            db.GetString(QStringLiteral("Device"), s);
            row.cells << s;
            n = 0;
            db.GetLong(QStringLiteral("TestResultID"), n);
            row.cells << cached(n);
            db.GetString(QStringLiteral("Description"), s);
            row.cells << s;
            db.GetString(QStringLiteral("Client"), s);
            row.cells << s;
            db.GetDateText(QStringLiteral("TestDate"), s);
            row.cells << s;
            db.GetDateText(QStringLiteral("NextTestDate"), s);
            row.cells << s;
            if (!s.isEmpty()) {
                QDate next;
                if (db.GetDay(QStringLiteral("NextTestDate"), next) && next != QDate(1900, 1, 1))
                    row.nextTest = next;
            }
            db.GetString(QStringLiteral("Name"), s);
            row.cells << s;
            // A filter query need not carry History: it keeps to current protocols anyway.
            n = 0;
            if (db.GetLong(QStringLiteral("History"), n))
                row.current = n == 0;
        }
        rows.push_back(std::move(row));
    }
    db.CloseRecordset();
    return true;
}

ListResult LoadList(CAdoDatabase& db, Kind kind, const QString& databaseFile, const QString& dataFolder,
                    const TextLookup& text, bool storeSwitchOff) {
    ListResult result;
    CUserSetUpInfo settings(databaseFile, dataFolder);
    const int directory = SettingsDirectory(kind);
    int filterOn = 0;
    QString query;
    // Read through the list's own connection: a list open needs no second one.
    CUserSetUpInfo::ReadFilter(db, directory, filterOn, query);
    result.storedFilterOn = filterOn;
    result.storedQuery = query;
    if (filterOn != 0 && !query.trimmed().isEmpty()) {
        // A stored query that no longer runs is no error the user must acknowledge.
        class CSilent : public CNotifier {
        public:
            void ShowMessage(const QString&, const QString&, Icon) override {}
            Answer Ask(const QString&, const QString&, Buttons, Icon) override { return Answer::Cancel; }
        } silent;
        bool ran = false;
        {
            CScopedNotifier quiet(&silent);
            ran = ReadRows(db, kind, query, text, result.rows);
        }
        if (ran) {
            result.ok = true;
            result.filtered = true;
            return result;
        }
        // A stored query that no longer runs is switched off silently; the query is kept.
        if (storeSwitchOff) {
            settings.SetFilter(directory, 0, query);
            result.storedFilterOn = 0;
        }
        result.filterSwitchedOff = true;
    }
    result.ok = ReadRows(db, kind, DefaultQuery(kind), text, result.rows);
    return result;
}

bool LoadHistory(CAdoDatabase& db, const QString& guid, const TextLookup& text, std::vector<Row>& rows) {
    rows.clear();
    if (guid.isEmpty())
        return true;
    return ReadRows(db, Kind::Protocols, HistoryQuery(guid), text, rows);
}

bool RecordText(CAdoDatabase& db, Kind kind, qint32 id, const QString& column, QString& value) {
    value.clear();
    const QString table =
        kind == Kind::Specifications ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab");
    if (!db.OpenQuery(QStringLiteral("SELECT %1 FROM %2 WHERE id = %3").arg(column, table).arg(id)))
        return false;
    const bool found = db.MoveFirst() && db.HasRow() && db.GetString(column, value);
    db.CloseRecordset();
    return found;
}

bool GuidOf(CAdoDatabase& db, qint32 id, QString& guid) {
    return RecordText(db, Kind::Protocols, id, QStringLiteral("myGUID"), guid);
}

namespace {
bool MakeCurrent(CAdoDatabase& db, const QString& guid, qint32 id) {
    return db.Execute(QStringLiteral("UPDATE GeraeteTab Set History=1 WHERE myGUID = ") + SqlLiteral(guid)) &&
           db.Execute(QStringLiteral("UPDATE GeraeteTab Set History=0 WHERE id = %1").arg(id));
}
} // namespace

bool SelectAsCurrent(CAdoDatabase& db, qint32 id) {
    QString guid;
    if (!GuidOf(db, id, guid))
        return false;
    CTransaction trans(db);
    if (!trans.IsActive() || !MakeCurrent(db, guid, id))
        return false;
    return trans.Commit();
}

DeleteResult Delete(CAdoDatabase& db, Kind kind, const QList<qint32>& ids, bool historyMode,
                    const DeleteCallbacks& callbacks) {
    DeleteResult result;
    CTransaction trans(db);
    if (!trans.IsActive())
        return result;
    bool allWell = true;
    QStringList promoteGuids; // devices whose current protocol went (history mode)
    const int total = int(ids.size());
    for (int i = 0; i < total && allWell; ++i) {
        if (callbacks.cancelled && callbacks.cancelled()) {
            result.cancelled = true;
            break;
        }
        const qint32 id = ids[i];
        if (kind == Kind::Specifications) {
            QString name;
            if (!RecordText(db, kind, id, QStringLiteral("Name"), name)) {
                // Already gone (another user, an earlier row of the same list): nothing to do.
                ++result.deleted;
                continue;
            }
            if (callbacks.progress)
                callbacks.progress(name, i, total);
            allWell = db.Execute(QStringLiteral("DELETE FROM TypenTab WHERE id = %1").arg(id)) &&
                      db.Execute(QStringLiteral("DELETE FROM GeraeteTab WHERE SpecificationName = ") +
                                 SqlLiteral(name));
            if (!allWell)
                result.failedName = name;
        } else if (!historyMode) {
            QString guid, device;
            if (!GuidOf(db, id, guid)) {
                ++result.deleted;
                continue;
            }
            RecordText(db, kind, id, QStringLiteral("Device"), device);
            if (callbacks.progress)
                callbacks.progress(device, i, total);
            allWell = db.Execute(QStringLiteral("DELETE FROM GeraeteTab WHERE myGUID = ") + SqlLiteral(guid));
            if (!allWell)
                result.failedName = device;
        } else {
            QString guid;
            qint32 history = 1;
            if (!GuidOf(db, id, guid)) {
                ++result.deleted;
                continue;
            }
            if (db.OpenQuery(QStringLiteral("SELECT History FROM GeraeteTab WHERE id = %1").arg(id)) &&
                db.MoveFirst() && db.HasRow())
                db.GetLong(QStringLiteral("History"), history);
            db.CloseRecordset();
            if (history == 0 && !promoteGuids.contains(guid))
                promoteGuids << guid;
            if (callbacks.progress)
                callbacks.progress(QString::number(id), i, total);
            allWell = db.Execute(QStringLiteral("DELETE FROM GeraeteTab WHERE id = %1").arg(id));
        }
        if (allWell)
            ++result.deleted;
    }
    // The newest remaining protocol of a device whose current one went becomes current.
    for (const QString& guid : promoteGuids) {
        if (!allWell)
            break;
        if (!db.OpenQuery(
                QStringLiteral("SELECT GeraeteTab.id, GeraeteTab.TestDate FROM GeraeteTab WHERE myGUID = ") +
                SqlLiteral(guid) + QStringLiteral(" ORDER BY GeraeteTab.TestDate DESC"))) {
            allWell = false;
            break;
        }
        qint32 newest = 0;
        const bool remains = db.MoveFirst() && db.HasRow() && db.GetLong(QStringLiteral("id"), newest);
        db.CloseRecordset();
        if (remains) {
            allWell = MakeCurrent(db, guid, newest);
            result.promotedId = newest;
        }
    }
    if (!allWell) {
        trans.Rollback();
        result.deleted = 0;
        result.promotedId = 0;
        return result;
    }
    result.ok = trans.Commit();
    if (!result.ok) {
        result.deleted = 0;
        result.promotedId = 0;
    }
    return result;
}

} // namespace DirectoryRecords
