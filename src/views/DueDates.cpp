#include "views/DueDates.h"

#include "store/AdoDatabase.h"

namespace DueDates {
namespace {

const QDate kNoDate(1900, 1, 1);

QString SqlDate(const QDate& d) {
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

// Rows whose stored text sorts before the limit; the exact date test follows in Classify,
// which also drops what is not a date.
QString Select(const QDate& limit) {
    return QStringLiteral(
               "SELECT GeraeteTab.id, GeraeteTab.Device, GeraeteTab.NextTestDate, "
               "GeraeteTab.SpecificationName, GeraeteTab.Client FROM GeraeteTab "
               "WHERE GeraeteTab.History = 0 AND GeraeteTab.NextTestDate IS NOT NULL "
               "AND GeraeteTab.NextTestDate < '%1' ORDER BY GeraeteTab.NextTestDate, GeraeteTab.id")
        .arg(SqlDate(limit));
}

} // namespace

QDate Today() {
    const QString forced = qEnvironmentVariable("VELMOR_TODAY");
    if (!forced.isEmpty()) {
        const QDate d = QDate::fromString(forced, QStringLiteral("yyyy-MM-dd"));
        if (d.isValid())
            return d;
    }
    return QDate::currentDate();
}

QDate NextTestDate(const QString& stored) {
    const QDate d = QDate::fromString(stored.trimmed().left(10), QStringLiteral("yyyy-MM-dd"));
    return d == kNoDate ? QDate() : d;
}

State Classify(const QDate& next, const QDate& today, int windowDays) {
    if (!next.isValid() || !today.isValid())
        return State::None;
    if (next < today)
        return State::Overdue;
    if (windowDays >= 0 && next <= today.addDays(windowDays))
        return State::Due;
    return State::None;
}

bool List(CAdoDatabase& db, const QDate& today, int windowDays, std::vector<Entry>& out) {
    out.clear();
    const QDate limit = windowDays >= 0 ? today.addDays(windowDays + 1) : today;
    if (!db.OpenQuery(Select(limit)))
        return false;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        Entry e;
        QDate next;
        if (!db.GetLong(QStringLiteral("id"), e.id) || !db.GetDay(QStringLiteral("NextTestDate"), next))
            continue; // text that is no date
        e.next = next == kNoDate ? QDate() : next;
        e.state = Classify(e.next, today, windowDays);
        if (e.state == State::None)
            continue;
        if (!db.IsNull(QStringLiteral("Device")))
            db.GetString(QStringLiteral("Device"), e.device);
        if (!db.IsNull(QStringLiteral("SpecificationName")))
            db.GetString(QStringLiteral("SpecificationName"), e.specification);
        if (!db.IsNull(QStringLiteral("Client")))
            db.GetString(QStringLiteral("Client"), e.client);
        out.push_back(std::move(e));
    }
    db.CloseRecordset();
    return true;
}

int CountOverdue(CAdoDatabase& db, const QDate& today) {
    // Counted by the database: the status bar asks at every list load, and a large directory
    // may hold many overdue protocols. The days after the no-date day up to yesterday.
    if (!db.OpenQuery(QStringLiteral("SELECT COUNT(*) AS n FROM GeraeteTab WHERE GeraeteTab.History = 0 "
                                     "AND GeraeteTab.NextTestDate >= '%1' AND GeraeteTab.NextTestDate < '%2'")
                          .arg(SqlDate(kNoDate.addDays(1)), SqlDate(today))))
        return -1;
    qint32 n = -1;
    if (!db.MoveFirst() || !db.GetLong(QStringLiteral("n"), n))
        n = -1;
    db.CloseRecordset();
    return n;
}

} // namespace DueDates
