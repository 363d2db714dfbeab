// The device protocol directory of a large user database in the program's own main window
// (offscreen platform): PROTOCOLS current device protocols (default 100,000) with as many
// history rows, on a RAM file system.
//
// Figures and targets:
// - list open (the directory's list load until every row is in the list's model; painting
//   excluded) against the same default query stepped through CAdoDatabase (at most 1.5) and
//   against the bare SQLite C API reading every column (at most 2.5); medians of interleaved
//   pairs;
// - peak resident size of the process with the list shown (under 150 MB);
// - the slowest choice list of the filter dialog, both directories (under 1 s);
// - deleting DELETES devices (default 10,000) in directory mode as the list's Delete does:
//   total time, and the longest stretch in which the window handled no events (a timer
//   ticking every 10 ms measures it).
//
// bench_data_directories [PROTOCOLS] [PAIRS] [DELETES]   (defaults 100000, 9, 10000)
#include "app/DataDirectories.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/MainFrame.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/PairedRatio.h"
#include "views/DirectoryRecords.h"
#include "views/FilterModel.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr int kSpecifications = 100;

// Protocols of PROTOCOLS devices: one current, one older in the history, each with one
// visual and one measured result row, as an import leaves them.
bool Fill(const QString& folder, int devices) {
    if (!UserSchema::CreateUserDatabase(folder, UserSchema::CurrentVersion()))
        return false;
    CAdoDatabase db;
    if (!db.Open(folder, UserSchema::FileName()))
        return false;
    CTransaction trans(db);
    for (int s = 0; s < kSpecifications; ++s)
        if (!db.Execute(
                QStringLiteral("INSERT INTO TypenTab (Name, IconSymbol, Description, StandardID, TypID, "
                               "CordLength, CreateDate, myGUID, ExportImport) VALUES ('Spec %1', "
                               "'IDB_TYP%2', 'Type %1', %3, %4, %5, '2009-03-05 14:07:09', "
                               "'{SPEC-%1}', 2)")
                    .arg(s, 3, 10, QLatin1Char('0'))
                    .arg(s % 4)
                    .arg(5800 + 200 * (s % 8))
                    .arg(5000 + 2 * (s % 20))
                    .arg(0.5 * (s % 10))))
            return false;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* visual = nullptr;
    sqlite3_stmt* measured = nullptr;
    const char* sql =
        "INSERT INTO GeraeteTab (SpecificationName, Device, TestDate, TestResultID, Description, Client, "
        "FirstTestDate, NextTestDate, History, myGUID, Operator, Serial, Comment, Manufacturer, "
        "ExportImport) "
        "VALUES (?, ?, ?, ?, ?, ?, '2008-01-01 00:00:00', ?, ?, ?, ?, ?, 'routine test', ?, 2)";
    if (sqlite3_prepare_v2(db.Handle(), sql, -1, &insert, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db.Handle(),
                           "INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo, Result) VALUES (?, 1, 1)",
                           -1, &visual, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db.Handle(),
                           "INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                           "VALUES (?, 1, 0.05, 1, 0.05)",
                           -1, &measured, nullptr) != SQLITE_OK)
        return false;
    bool ok = true;
    for (int i = 0; i < devices && ok; ++i) {
        for (int history = 1; history >= 0 && ok; --history) {
            char spec[16], device[32], test[32], next[32], description[32], client[32], guid[40], serial[24],
                op[24], maker[24];
            std::snprintf(spec, sizeof spec, "Spec %03d", i % kSpecifications);
            std::snprintf(device, sizeof device, "Device %06d", i);
            std::snprintf(test, sizeof test, "20%02d-%02d-%02d 14:07:09", 10 + i % 14 - history, 1 + i % 12,
                          1 + i % 28);
            std::snprintf(next, sizeof next, "20%02d-%02d-%02d 00:00:00", 11 + i % 15, 1 + (i / 12) % 12,
                          1 + (i / 7) % 28);
            std::snprintf(description, sizeof description, "Drill hammer %d", i % 997);
            std::snprintf(client, sizeof client, "Client %d", i % 50);
            std::snprintf(guid, sizeof guid, "{DEV-%010d}", i);
            std::snprintf(serial, sizeof serial, "SN%d", i);
            std::snprintf(op, sizeof op, "Operator %d", i % 20);
            std::snprintf(maker, sizeof maker, "Maker %d", i % 200);
            const char* texts[] = {spec, device,  test, nullptr, description, client,
                                   next, nullptr, guid, op,      serial,      maker};
            for (int c = 0; c < 12; ++c)
                if (c == 3)
                    sqlite3_bind_int(insert, 4, 30801 + i % 3);
                else if (c == 7)
                    sqlite3_bind_int(insert, 8, history);
                else
                    sqlite3_bind_text(insert, c + 1, texts[c], -1, SQLITE_STATIC);
            ok = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
            const sqlite3_int64 id = sqlite3_last_insert_rowid(db.Handle());
            for (sqlite3_stmt* rows : {visual, measured}) {
                sqlite3_bind_int64(rows, 1, id);
                ok = ok && sqlite3_step(rows) == SQLITE_DONE;
                sqlite3_reset(rows);
            }
        }
    }
    sqlite3_finalize(insert);
    sqlite3_finalize(visual);
    sqlite3_finalize(measured);
    return ok && trans.Commit();
}

// The default query stepped through the database layer, no column read.
qint64 StepThroughAdo(const QString& folder) {
    CAdoDatabase db;
    qint64 rows = 0;
    if (!db.Open(folder, UserSchema::FileName()) ||
        !db.OpenQuery(DirectoryRecords::DefaultQuery(DirectoryRecords::Kind::Protocols)))
        return -1;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext())
        ++rows;
    db.CloseRecordset();
    return rows;
}

// The baseline: the same statement through the C API, every column of every row read once.
qint64 ReadThroughC(const QString& folder) {
    sqlite3* db = nullptr;
    qint64 rows = 0, sum = 0;
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + UserSchema::FileName());
    const QByteArray sql = DirectoryRecords::DefaultQuery(DirectoryRecords::Kind::Protocols).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return -1;
    }
    const int n = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_INTEGER)
                sum += sqlite3_column_int64(stmt, c);
            else if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                sum += sqlite3_column_text(stmt, c)[0] + sqlite3_column_bytes(stmt, c);
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    return sum > 0 ? rows : -1;
}

double Seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

// Answers every question with OK, so that the delete runs as after the user's OK.
class CYesNotifier : public CNotifier {
public:
    void ShowMessage(const QString& text, const QString&, Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    Answer Ask(const QString&, const QString&, Buttons, Icon) override { return Answer::Ok; }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int devices = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const int deletes = argc > 3 ? std::atoi(argv[3]) : 10000;

    QTemporaryDir root(QString::fromStdString(Bench::RamFolder()) +
                       QStringLiteral("/bench_directories-XXXXXX"));
    const QString folder = root.filePath(QStringLiteral("common/VELMOR 740ST - Roziraz Uvurad"));
    if (!root.isValid() || !QDir().mkpath(folder))
        return 1;
    qputenv("VELMOR_COMMON_APPDATA", root.filePath(QStringLiteral("common")).toUtf8());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toUtf8());
    qputenv("VELMOR_PROGRAM_FILES", QByteArray(V740_BIN_DIR));

    QElapsedTimer t;
    t.start();
    if (!Fill(folder, devices)) {
        std::fprintf(stderr, "bench_data_directories: cannot build the database in %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("%d current device protocols and %d history rows in %s (built in %.1f s)\n", devices, devices,
                qPrintable(folder), Seconds(t));
    std::fflush(stdout);

    QApplication app(argc, argv);
    CYesNotifier yes;
    CScopedNotifier scope(&yes);
    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    if (!doc.OnNewDocument())
        return 1;
    CMainFrame frame(doc, messages);
    frame.show();
    app.processEvents();
    CVELMOR740PCRemoteView& view = *frame.View();
    CBaseClass& directory = view.Directory(DirectoryKind::GeraeteObject);

    // Peak resident size with the list open and painted, before anything else grows it.
    t.restart();
    directory.DoDoubleClickFunction(view, doc);
    const double firstOpen = Seconds(t);
    view.RedrawAll();
    for (int i = 0; i < 5; ++i)
        app.processEvents();
    const int listed = view.List().ItemCount();
    const long peakKb = Bench::StatusKb("VmHWM");
    std::printf("list shown: %d rows, first open %.3f s\n", listed, firstOpen);
    std::printf("peak resident size with the list shown: %.1f MB, target under 150 MB%s\n", peakKb / 1024.0,
                peakKb < 150 * 1024 ? "" : "  ** above target **");
    std::fflush(stdout);
    if (listed != devices)
        return 1;

    // Where the list open spends its time: reading the rows, filling the list.
    {
        CAdoDatabase db;
        db.Open(folder, UserSchema::FileName());
        t.restart();
        DirectoryRecords::ListResult rows =
            DirectoryRecords::LoadList(db, DirectoryRecords::Kind::Protocols, UserSchema::FileName(), folder,
                                       [&doc](qint32 id) { return doc.Text(id); });
        const double read = Seconds(t);
        view.List().Clear();
        t.restart();
        FillDirectoryList(view, doc, DirectoryRecords::Kind::Protocols, std::move(rows.rows), false);
        std::printf("of which reading the rows %.3f s, filling the list %.3f s\n", read, Seconds(t));
    }

    // List open against the bare SELECT, interleaved: list, database layer, C API in turn.
    std::vector<double> toAdo, toC, listTimes, adoTimes, cTimes;
    for (int i = 0; i < pairs; ++i) {
        double times[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            const int side = (i + k) % 3;
            t.restart();
            qint64 rows = 0;
            if (side == 0) {
                directory.DoDoubleClickFunction(view, doc);
                rows = view.List().ItemCount();
            } else if (side == 1) {
                rows = StepThroughAdo(folder);
            } else {
                rows = ReadThroughC(folder);
            }
            times[side] = Seconds(t);
            if (rows != devices) {
                std::fprintf(stderr, "bench_data_directories: run %d side %d gave %lld rows\n", i, side,
                             rows);
                return 1;
            }
            if (side == 0)
                app.processEvents(); // paint outside the measured time
        }
        listTimes.push_back(times[0]);
        adoTimes.push_back(times[1]);
        cTimes.push_back(times[2]);
        toAdo.push_back(times[0] / times[1]);
        toC.push_back(times[0] / times[2]);
    }
    const Bench::Spread l = Bench::SpreadOf(listTimes), a = Bench::SpreadOf(adoTimes),
                        c = Bench::SpreadOf(cTimes);
    std::printf(
        "list open: median %.3f s (min %.3f, max %.3f); SELECT stepped through CAdoDatabase: median %.3f "
        "s; C API: median %.3f s\n",
        l.median, l.min, l.max, a.median, c.median);
    Bench::PrintRatio("list open / SELECT through CAdoDatabase", toAdo, 1.5);
    Bench::PrintRatio("list open / SELECT through the C API", toC, 2.5);

    // The filter dialog's choice lists, each filled on a fresh model as the dialog does.
    double slowest = 0;
    QString slowestField;
    for (DirectoryRecords::Kind kind :
         {DirectoryRecords::Kind::Protocols, DirectoryRecords::Kind::Specifications}) {
        CFilterModel probe(
            DirectoryRecords::FilterKey(kind), DirectoryRecords::BaseQuery(kind),
            [&doc](qint32 id, QString& text) { return doc.SeekText(id, text); }, UserSchema::FileName(),
            folder);
        for (int field : probe.ConditionFields()) {
            if (probe.Field(field).inputType != 1)
                continue;
            CFilterModel model(
                DirectoryRecords::FilterKey(kind), DirectoryRecords::BaseQuery(kind),
                [&doc](qint32 id, QString& text) { return doc.SeekText(id, text); }, UserSchema::FileName(),
                folder);
            t.restart();
            const int choices = int(model.VisibleChoices(field).size());
            const double s = Seconds(t);
            if (s > slowest) {
                slowest = s;
                slowestField = QStringLiteral("%1 #%2 %3 (%4 choices)")
                                   .arg(DirectoryRecords::FilterKey(kind))
                                   .arg(model.Field(field).row)
                                   .arg(model.Field(field).caption)
                                   .arg(choices);
            }
        }
    }
    std::printf("slowest choice list: %.3f s, %s, target under 1 s%s\n", slowest, qPrintable(slowestField),
                slowest < 1.0 ? "" : "  ** above target **");
    std::fflush(stdout);

    // Delete in directory mode: the first DELETES rows selected, as the user's Delete does.
    if (deletes > 0) {
        directory.DoDoubleClickFunction(view, doc);
        app.processEvents();
        QList<int> rows;
        for (int i = 0; i < std::min(deletes, view.List().ItemCount()); ++i)
            rows << i;
        view.List().ReplaceSelection(rows);
        QElapsedTimer sinceTick;
        double longest = 0;
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, Seconds(sinceTick));
            sinceTick.restart();
            ++ticks;
        });
        auto& table = static_cast<CDataTable&>(view.Directory(DirectoryKind::GeraetTable));
        ticker.start();
        sinceTick.start();
        t.restart();
        const bool deleted = table.Delete(view, doc);
        const double total = Seconds(t);
        // From the last tick to the end: the commit and the reload of the list.
        const double reload = Seconds(sinceTick);
        ticker.stop();
        const int left = view.List().ItemCount();
        std::printf("delete of %d devices with their history (directory mode): %s in %.2f s, list reloaded "
                    "with %d rows\n",
                    int(rows.size()), deleted ? "done" : "FAILED", total, left);
        std::printf(
            "longest time without events while deleting: %.0f ms (%d timer ticks of 10 ms); commit and "
            "reload at the end: %.0f ms\n",
            longest * 1000, ticks, reload * 1000);
    }
    return 0;
}
