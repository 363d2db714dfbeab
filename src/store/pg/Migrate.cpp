#include "store/pg/Migrate.h"

#include "store/AdoDatabase.h"
#include "store/JetFunctions.h"
#include "store/UserSchema.h"

#include <QCryptographicHash>
#include <QVariant>

namespace Migrate {

namespace {

// One value as the layer reads it: the parameter for the copy and its text for the hash.
bool ReadValue(CAdoDatabase& db, const QString& column, const QString& type, QVariant& value, QString& text) {
    if (db.IsNull(column)) {
        value = QVariant();
        text = QStringLiteral("\\N");
        return true;
    }
    if (type == QLatin1String("COUNTER") || type == QLatin1String("LONG")) {
        qint32 n = 0;
        if (!db.GetLong(column, n))
            return false;
        value = n;
        text = QString::number(n);
    } else if (type == QLatin1String("YESNO")) {
        int b = 0;
        if (!db.GetBool(column, b))
            return false;
        value = b;
        text = QString::number(b);
    } else if (type == QLatin1String("DATETIME")) {
        QDateTime d;
        if (!db.GetDate(column, d))
            return false;
        text = Jet::FormatDate(d);
        value = text;
    } else if (type == QLatin1String("DECIMAL")) {
        double d = 0;
        if (!db.GetDouble(column, d))
            return false;
        value = d;
        text = QString::number(d, 'g', 17);
    } else {
        QString s;
        if (!db.GetString(column, s))
            return false;
        value = s;
        text = s;
    }
    return true;
}

QString SelectAll(const UserSchema::TableColumns& t) {
    QStringList columns;
    for (const QString& c : t.columns)
        columns << QLatin1Char('[') + c + QLatin1Char(']');
    return QStringLiteral("SELECT %1 FROM [%2]%3")
        .arg(columns.join(QStringLiteral(", ")), t.table,
             t.columns.contains(QStringLiteral("id")) ? QStringLiteral(" ORDER BY [id]") : QString());
}

// Calls row() for every row of the table with its values; false when a value cannot be read.
bool ReadTable(CAdoDatabase& db, const UserSchema::TableColumns& t,
               const std::function<bool(const QVariantList&, const QStringList&)>& row, QString& message) {
    if (!db.OpenQuery(SelectAll(t))) {
        message = QStringLiteral("%1 cannot be read (error %2)").arg(t.table).arg(db.GetErrorNumber());
        return false;
    }
    QVariantList values;
    QStringList texts;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        values.clear();
        texts.clear();
        for (qsizetype c = 0; c < t.columns.size(); ++c) {
            QVariant v;
            QString s;
            if (!ReadValue(db, t.columns[c], t.types[c], v, s)) {
                message = QStringLiteral("%1.%2: a value of another type than the column's")
                              .arg(t.table, t.columns[c]);
                return false;
            }
            values << v;
            texts << s;
        }
        if (!row(values, texts))
            return false;
    }
    db.CloseRecordset();
    return true;
}

bool Count(CAdoDatabase& db, const QString& table, qint32& n) {
    n = 0;
    return db.OpenQuery(QStringLiteral("SELECT count(*) AS n FROM [%1]").arg(table)) && db.MoveFirst() &&
           db.GetLong(QStringLiteral("n"), n);
}

} // namespace

QList<Problem> FindProblems(CAdoDatabase& source) {
    QList<Problem> problems;
    for (const NameOrder::Clash& c : UserSchema::FindNameClashes(source))
        problems << Problem{QStringLiteral("TypenTab"), c.otherId,
                            QStringLiteral("the name \"%1\" differs only in case from \"%2\" (id %3)")
                                .arg(c.otherName, c.firstName)
                                .arg(c.firstId)};
    if (source.OpenQuery(
            QStringLiteral("SELECT a.id, a.myGUID FROM GeraeteTab a WHERE a.History = 0 AND EXISTS "
                           "(SELECT 1 FROM GeraeteTab b WHERE b.History = 0 AND b.myGUID = a.myGUID "
                           "AND b.id < a.id) ORDER BY a.id"))) {
        for (bool ok = source.MoveFirst(); ok && source.HasRow(); ok = source.MoveNext()) {
            qint32 id = 0;
            QString guid;
            source.GetLong(QStringLiteral("id"), id);
            source.GetString(QStringLiteral("myGUID"), guid);
            problems << Problem{QStringLiteral("GeraeteTab"), id,
                                QStringLiteral("a second current protocol of the device %1").arg(guid)};
        }
    }
    for (const UserSchema::TableColumns& t : UserSchema::CurrentTables()) {
        const bool hasId = t.columns.contains(QStringLiteral("id"));
        for (qsizetype c = 0; c < t.columns.size(); ++c) {
            if (t.types[c] != QLatin1String("DATETIME"))
                continue;
            if (!source.OpenQuery(
                    QStringLiteral("SELECT %1[%2], '' || [%2] AS shown FROM [%3] WHERE [%2] IS NOT NULL")
                        .arg(hasId ? QStringLiteral("[id], ") : QString(), t.columns[c], t.table)))
                continue;
            for (bool ok = source.MoveFirst(); ok && source.HasRow(); ok = source.MoveNext()) {
                QDateTime d;
                if (source.GetDate(t.columns[c], d))
                    continue;
                qint32 id = 0;
                if (hasId)
                    source.GetLong(QStringLiteral("id"), id);
                QString text;
                source.GetString(QStringLiteral("shown"), text);
                problems << Problem{t.table, id,
                                    QStringLiteral("%1 holds \"%2\", not a date").arg(t.columns[c], text)};
            }
        }
    }
    source.CloseRecordset();
    return problems;
}

QStringList Summary(CAdoDatabase& db) {
    QStringList out;
    for (const UserSchema::TableColumns& t : UserSchema::CurrentTables()) {
        QStringList rows;
        QString message;
        const bool ok = ReadTable(
            db, t,
            [&](const QVariantList&, const QStringList& texts) {
                rows << texts.join(QChar(0x1f));
                return true;
            },
            message);
        if (!ok) {
            out << QStringLiteral("%1\t-\t%2").arg(t.table, message);
            continue;
        }
        // Rows in one order on both sides, whatever order a table without a key comes in.
        rows.sort();
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const QString& r : rows) {
            hash.addData(r.toUtf8());
            hash.addData(QByteArrayView("\n"));
        }
        out << QStringLiteral("%1\t%2\t%3")
                   .arg(t.table)
                   .arg(rows.size())
                   .arg(QString::fromLatin1(hash.result().toHex()));
    }
    return out;
}

bool Copy(CAdoDatabase& source, CAdoDatabase& target, QString& message,
          const std::function<void(const QString&)>& progress) {
    message.clear();
    // The source in one snapshot: a write lock on a file, a repeatable read on a server.
    CTransaction read(source);
    if (!read.IsActive() || (source.IsServer() && !source.Execute(QStringLiteral(
                                                      "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ")))) {
        message = QStringLiteral("the source cannot be read in one snapshot (error %1)")
                      .arg(source.GetErrorNumber());
        return false;
    }
    const QList<Problem> problems = FindProblems(source);
    if (!problems.isEmpty()) {
        QStringList lines;
        for (const Problem& p : problems)
            lines << (p.id ? QStringLiteral("%1 id %2: %3").arg(p.table).arg(p.id).arg(p.what)
                           : QStringLiteral("%1: %2").arg(p.table, p.what));
        message = QStringLiteral("%1 row(s) the target would refuse; nothing was copied:\n%2")
                      .arg(problems.size())
                      .arg(lines.join(QLatin1Char('\n')));
        return false;
    }
    CTransaction write(target);
    if (!write.IsActive()) {
        message = QStringLiteral("the target cannot be written (error %1)").arg(target.GetErrorNumber());
        return false;
    }
    // The target is new: only the rows its creation wrote may be there, and they are replaced.
    for (const UserSchema::TableColumns& t : UserSchema::CurrentTables()) {
        qint32 n = 0;
        if (!Count(target, t.table, n)) {
            message = QStringLiteral("the target has no table %1 of this version").arg(t.table);
            return false;
        }
        const bool made = t.table == QLatin1String("VersionTab") || t.table == QLatin1String("LanguageTab");
        if (n > 0 && !made) {
            message = QStringLiteral("the target is not empty: %1 holds %2 row(s)").arg(t.table).arg(n);
            return false;
        }
        if (n > 0 && !target.Execute(QStringLiteral("DELETE FROM [%1]").arg(t.table))) {
            message = QStringLiteral("%1 of the target cannot be emptied").arg(t.table);
            return false;
        }
    }
    for (const UserSchema::TableColumns& t : UserSchema::CurrentTables()) {
        QStringList columns, marks;
        for (const QString& c : t.columns) {
            columns << QLatin1Char('[') + c + QLatin1Char(']');
            marks << QStringLiteral("?");
        }
        const QString insert =
            QStringLiteral("INSERT INTO [%1] (%2) VALUES (%3)")
                .arg(t.table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        qint64 rows = 0;
        // Rows are gathered first: the source's recordset is replaced by nothing else meanwhile,
        // but the target's statements must not wait on a half-read source.
        std::vector<QVariantList> all;
        if (!ReadTable(
                source, t,
                [&](const QVariantList& values, const QStringList&) {
                    all.push_back(values);
                    return true;
                },
                message))
            return false;
        for (const QVariantList& values : all) {
            if (!target.ExecuteBound(insert, values)) {
                message = QStringLiteral("%1: row %2 was refused (error %3)")
                              .arg(t.table)
                              .arg(rows + 1)
                              .arg(target.GetErrorNumber());
                return false;
            }
            ++rows;
        }
        // A server's key sequence continues after the copied keys.
        if (target.IsServer() && t.columns.contains(QStringLiteral("id")) && rows > 0 &&
            !target.Execute(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), "
                                           "(SELECT max(id) FROM [%2]))")
                                .arg(t.table.toLower(), t.table))) {
            message = QStringLiteral("%1: the key sequence cannot be set").arg(t.table);
            return false;
        }
        if (progress)
            progress(QStringLiteral("%1: %2 row(s)").arg(t.table).arg(rows));
    }
    const QStringList from = Summary(source);
    const QStringList to = Summary(target);
    if (from != to) {
        QStringList differ;
        for (qsizetype i = 0; i < from.size(); ++i)
            if (i >= to.size() || from[i] != to[i])
                differ << QStringLiteral("source %1 / target %2")
                              .arg(from[i], i < to.size() ? to[i] : QString());
        message = QStringLiteral("the copy differs from the source; nothing was kept:\n%1")
                      .arg(differ.join(QLatin1Char('\n')));
        return false;
    }
    if (!write.Commit()) {
        message = QStringLiteral("the target could not commit (error %1)").arg(target.GetErrorNumber());
        return false;
    }
    return true;
}

} // namespace Migrate
