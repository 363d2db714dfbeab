// The device protocol directory's default query over a database of N protocols (default
// 100,000), read through CAdoDatabase the way the directory reads it (every column with
// its getter, dates as date texts), against the same statement through the bare SQLite C
// API reading every column. Both sides open their own connection to the same file on a
// RAM file system and run alternately in this process.
// Targets: time ratio at most 2 (median of the pairs); at most 60 MB resident added while
// the list is read.
//
// bench_protocol_query [PROTOCOLS] [PAIRS]   (defaults 100000 and 9)
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/PairedRatio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>
#include <sqlite3.h>

namespace {

const char* const kDefaultQuery =
    "SELECT GeraeteTab.id, GeraeteTab.Device, GeraeteTab.TestResultID, GeraeteTab.Description, "
    "GeraeteTab.Client, GeraeteTab.TestDate, GeraeteTab.NextTestDate, GeraeteTab.History, TypenTab.Name, "
    "TypenTab.IconSymbol FROM TypenTab INNER JOIN GeraeteTab ON TypenTab.Name = GeraeteTab.SpecificationName "
    "WHERE GeraeteTab.History = 0 ORDER BY GeraeteTab.NextTestDate ASC";

constexpr int kSpecifications = 100;

bool Fill(const QString& folder, int protocols) {
    if (!UserSchema::CreateUserDatabase(folder, UserSchema::CurrentVersion()))
        return false;
    CAdoDatabase db;
    if (!db.Open(folder, UserSchema::FileName()))
        return false;
    CTransaction trans(db);
    for (int s = 0; s < kSpecifications; ++s)
        if (!db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, IconSymbol, Description, StandardID, "
                                       "CreateDate, myGUID) VALUES ('Spec %1', 'IDB_TYP%2', 'Type %1', 5800, "
                                       "'2009-03-05 14:07:09', '{SPEC-%1}')")
                            .arg(s, 3, 10, QLatin1Char('0'))
                            .arg(s % 4)))
            return false;
    sqlite3_stmt* insert = nullptr;
    const char* sql =
        "INSERT INTO GeraeteTab (SpecificationName, Device, TestDate, TestResultID, Description, "
        "Client, FirstTestDate, NextTestDate, History, myGUID, Operator, Serial, Comment) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, ?, 'Operator', ?, 'routine test')";
    if (sqlite3_prepare_v2(db.Handle(), sql, -1, &insert, nullptr) != SQLITE_OK)
        return false;
    bool ok = true;
    for (int i = 0; i < protocols && ok; ++i) {
        char spec[16], device[32], test[32], next[32], description[32], client[32], guid[40], serial[24];
        std::snprintf(spec, sizeof spec, "Spec %03d", i % kSpecifications);
        std::snprintf(device, sizeof device, "Device %06d", i);
        std::snprintf(test, sizeof test, "20%02d-%02d-%02d 14:07:09", 10 + i % 15, 1 + i % 12, 1 + i % 28);
        std::snprintf(next, sizeof next, "20%02d-%02d-%02d 00:00:00", 11 + i % 15, 1 + (i / 12) % 12,
                      1 + (i / 7) % 28);
        std::snprintf(description, sizeof description, "Drill hammer %d", i % 997);
        std::snprintf(client, sizeof client, "Client %d", i % 50);
        std::snprintf(guid, sizeof guid, "{DEV-%010d}", i);
        std::snprintf(serial, sizeof serial, "SN%d", i);
        const char* texts[] = {spec, device, test,  nullptr, description, client, "2008-01-01 00:00:00",
                               next, guid,   serial};
        for (int c = 0; c < 10; ++c)
            if (c == 3)
                sqlite3_bind_int(insert, 4, 30801 + i % 3);
            else
                sqlite3_bind_text(insert, c + 1, texts[c], -1, SQLITE_STATIC);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return ok && trans.Commit();
}

// What the directory does: one connection, the default query, every row read by column name.
qint64 ReadThroughAdo(const QString& folder, qint64& rows) {
    CAdoDatabase db;
    qint64 sum = 0;
    rows = 0;
    if (!db.Open(folder, UserSchema::FileName()) || !db.OpenQuery(QString::fromLatin1(kDefaultQuery)))
        return -1;
    QString text;
    qint32 number = 0;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        db.GetLong(QStringLiteral("id"), number);
        sum += number;
        db.GetString(QStringLiteral("Device"), text);
        sum += text.size();
        db.GetLong(QStringLiteral("TestResultID"), number);
        sum += number;
        db.GetString(QStringLiteral("Description"), text);
        sum += text.size();
        db.GetString(QStringLiteral("Client"), text);
        sum += text.size();
        db.GetDateText(QStringLiteral("TestDate"), text);
        sum += text.size();
        db.GetDateText(QStringLiteral("NextTestDate"), text);
        sum += text.size();
        db.GetLong(QStringLiteral("History"), number);
        sum += number;
        db.GetString(QStringLiteral("Name"), text);
        sum += text.size();
        db.GetString(QStringLiteral("IconSymbol"), text);
        sum += text.size();
        ++rows;
    }
    db.CloseRecordset();
    return sum;
}

// The baseline: the same statement, every column of every row read once.
qint64 ReadThroughC(const QString& folder, qint64& rows) {
    sqlite3* db = nullptr;
    qint64 sum = 0;
    rows = 0;
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + UserSchema::FileName());
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return -1;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, kDefaultQuery, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return -1;
    }
    const int n = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                sum += sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_TEXT:
                sum += sqlite3_column_text(stmt, c)[0];
                sum += sqlite3_column_bytes(stmt, c);
                break;
            default:
                break;
            }
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    return sum;
}

double Seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int protocols = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;

    QTemporaryDir dir(QString::fromStdString(Bench::RamFolder()) +
                      QStringLiteral("/bench_protocol_query-XXXXXX"));
    const QString folder = dir.path();
    QElapsedTimer t;
    t.start();
    if (!dir.isValid() || !Fill(folder, protocols)) {
        std::fprintf(stderr, "bench_protocol_query: cannot build the database in %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("default device protocol query, %d protocols in %s (built in %.1f s)\n", protocols,
                qPrintable(folder), Seconds(t));

    // Memory first, each side from a trimmed heap, so that neither reuses the other's pages.
    qint64 rows = 0;
    long addedKb[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        malloc_trim(0);
        const long before = Bench::StatusKb("VmRSS");
        Bench::ResetPeakResident();
        const qint64 sum = side ? ReadThroughAdo(folder, rows) : ReadThroughC(folder, rows);
        addedKb[side] = Bench::StatusKb("VmHWM") - before;
        if (sum < 0) {
            std::fprintf(stderr, "bench_protocol_query: the query failed\n");
            return 1;
        }
    }
    malloc_trim(0);
    std::printf("rows listed: %lld\n", rows);
    std::printf(
        "resident memory added while reading: CAdoDatabase %.1f MB, C API %.1f MB, target under 60 MB "
        "for CAdoDatabase%s\n",
        addedKb[1] / 1024.0, addedKb[0] / 1024.0, addedKb[1] < 60 * 1024 ? "" : "  ** above target **");

    std::vector<double> ratios, adoTimes, cTimes;
    for (int i = 0; i < pairs; ++i) {
        // Alternate which side goes first, so that neither always runs on a warmer cache.
        double times[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const int side = (i + k) % 2;
            qint64 n = 0;
            t.restart();
            const qint64 sum = side ? ReadThroughAdo(folder, n) : ReadThroughC(folder, n);
            times[side] = Seconds(t);
            if (sum < 0 || n != rows) {
                std::fprintf(stderr, "bench_protocol_query: run %d read %lld rows\n", i, n);
                return 1;
            }
        }
        cTimes.push_back(times[0]);
        adoTimes.push_back(times[1]);
        ratios.push_back(times[1] / times[0]);
    }
    const Bench::Spread a = Bench::SpreadOf(adoTimes), c = Bench::SpreadOf(cTimes);
    std::printf(
        "CAdoDatabase: median %.3f s (min %.3f, max %.3f); C API: median %.3f s (min %.3f, max %.3f)\n",
        a.median, a.min, a.max, c.median, c.min, c.max);
    Bench::PrintRatio("default query, CAdoDatabase / C API", ratios, 2.0);
    return 0;
}
