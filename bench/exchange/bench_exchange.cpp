// The XML import and export against fixed baselines, as paired ratios (median of
// interleaved pairs in one process, both sides on the same RAM folder):
//   import rate  = raw inserts time / import time for N protocols (target at least 0.50);
//   scaling      = (import N / import N/10) / (raw N / raw N/10)   (target at most 1.10);
//   export       = export time / reading the same rows              (target at most 4).
// The raw baseline (RawInsert) and the reading baseline (RawRead) are fixed code: the SQLite
// C API with statements prepared once, on a database of the same schema (indexes, foreign
// keys, the import's lookup indexes), one transaction per record.
//
// bench_exchange [PAIRS] [N]   (default: 9 pairs, 10000 protocols over 100 specifications)
#include "exchange/ExportWorkflow.h"
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlRecords.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/ExchangeData.h"
#include "support/PairedRatio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

using namespace BenchData;

bool NewDatabase(const QString& folder) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    if (!UserSchema::CreateUserDatabase(folder, QStringLiteral("3.2")))
        return false;
    CAdoDatabase db;
    return db.Open(folder, UserSchema::FileName()) && UserSchema::EnsureLookupIndexes(db);
}

struct Statement {
    sqlite3_stmt* s = nullptr;
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(s); }
    Statement& Text(int i, const QString& v) {
        const QByteArray b = v.toUtf8();
        sqlite3_bind_text(s, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bytes(int i, const QByteArray& b) {
        sqlite3_bind_text(s, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Int(int i, qint64 v) {
        sqlite3_bind_int64(s, i, v);
        return *this;
    }
    Statement& Real(int i, double v) {
        sqlite3_bind_double(s, i, v);
        return *this;
    }
    bool Run() {
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        return rc == SQLITE_DONE;
    }
};

// The rows an import of the folder stores, through the bare C API.
bool RawInsert(const QString& folder, const std::vector<XmlSpecificationRecord>& specs,
               const std::vector<XmlProtocolRecord>& protocols) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(folder + QStringLiteral("/user2.db")).constData(), &db,
                        SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return false;
    sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    bool ok = true;
    {
        Statement spec(
            db, "INSERT INTO TypenTab (Run, Parameter, IconSymbol, Bitmap, StandardID, ClassID, Name, "
                "Manufacturer, Description, TypID, CordLength, NominalPower, AllPe, IsoMeas, "
                "MainsSeparation, MeasMethodeID, TestSequenceID, PowerPhase, WarningNotice, PartsUsed, "
                "ReviewPeriod, ExportImport, ExternalUse, CreateDate, myGuid, VoltageAccessiblePart, "
                "FunctionEarth, VoltageSignalIO, AccessibleParts, PhaseReverseEnable, TotalPabl, "
                "UseExtraPolation) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,2,?,?,?,?,?,?,?,"
                "?,?,?)");
        Statement part(db, "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks, Description) "
                           "VALUES (?,?,?,?,?)");
        Statement visual(db,
                         "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (?,?,?,?)");
        Statement step(db,
                       "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, MainOrder, TypOrder, GroupNo, "
                       "\"Limit\", Jacks) VALUES (?,?,?,?,?,?,?,?)");
        Statement fkt(db, "INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, "
                          "HighLimit) VALUES (?,?,?,?,?,?)");
        Statement master(
            db, "INSERT INTO GeraeteTab (SpecificationName, Device, NominalVoltage, TestDate, "
                "TestResultID, Operator, Serial, Manufacturer, Description, Client, Location, "
                "Department, Room, Costs, Comment, FirstTestDate, NextTestDate, ExternalUse, "
                "ExportImport, TesterName, TesterSerial, TesterSW, History, myGUID, City, Street, "
                "ReviewPeriod, DutClass, UseExtraPolation) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
                "?,2,?,?,?,0,?,?,?,?,?,?)");
        Statement sicht(db, "INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo, Result) VALUES (?,?,?)");
        Statement prot(db, "INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                           "VALUES (?,?,?,?,?)");
        Statement fprot(db,
                        "INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                        "VALUES (?,?,?,?,?)");
        for (const XmlSpecificationRecord& r : specs) {
            const XmlSpecification& m = r.master;
            ok = ok && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
            ok = ok && spec.Text(1, m.run)
                           .Text(2, m.parameter)
                           .Text(3, m.iconSymbol)
                           .Text(4, m.bitmap)
                           .Int(5, m.standardId)
                           .Int(6, m.classId)
                           .Text(7, m.name)
                           .Text(8, m.manufacturer)
                           .Text(9, m.description)
                           .Int(10, m.typId)
                           .Real(11, m.cordLength)
                           .Int(12, m.nominalPower)
                           .Int(13, m.allPe)
                           .Int(14, m.isoMeas)
                           .Int(15, m.mainsSeparation)
                           .Int(16, m.measMethodId)
                           .Int(17, m.testSequenceId)
                           .Int(18, m.powerPhase)
                           .Int(19, m.warningNotice)
                           .Int(20, m.partsUsed ? -1 : 0)
                           .Int(21, m.reviewPeriod)
                           .Text(22, m.externalUse)
                           .Bytes(23, Stored(m.createDate, m.createTime))
                           .Text(24, m.guid)
                           .Int(25, m.voltageAccessiblePart)
                           .Int(26, m.functionEarth)
                           .Int(27, m.voltageSignalIO)
                           .Int(28, m.accessibleParts)
                           .Int(29, m.phaseReverseEnable)
                           .Int(30, m.totalPabl)
                           .Int(31, m.useExtraPolation)
                           .Run();
            const qint64 id = sqlite3_last_insert_rowid(db);
            for (const auto& p : r.parts)
                ok = ok && part.Int(1, id)
                               .Int(2, p.groupNo)
                               .Int(3, p.appliedPartId)
                               .Int(4, p.jacks)
                               .Text(5, p.description)
                               .Run();
            for (const auto& v : r.visual)
                ok = ok && visual.Int(1, id).Int(2, v.refNo).Int(3, v.textId).Text(4, v.text).Run();
            for (const auto& t : r.tests)
                ok = ok && step.Int(1, id)
                               .Int(2, t.refNo)
                               .Int(3, t.measNo)
                               .Int(4, t.mainOrder)
                               .Int(5, t.typOrder)
                               .Int(6, t.groupNo)
                               .Real(7, t.limit)
                               .Int(8, t.jacks)
                               .Run();
            for (const auto& f : r.functional)
                ok = ok && fkt.Int(1, id)
                               .Int(2, f.refNo)
                               .Text(3, f.text)
                               .Int(4, f.useLimitsId)
                               .Real(5, f.lowLimit)
                               .Real(6, f.highLimit)
                               .Run();
            ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        for (const XmlProtocolRecord& r : protocols) {
            const XmlProtocol& m = r.master;
            ok = ok && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
            ok = ok && master.Text(1, m.specificationName)
                           .Text(2, m.device)
                           .Text(3, m.nominalVoltage)
                           .Bytes(4, Stored(m.testDate, m.testTime))
                           .Int(5, m.testResultId)
                           .Text(6, m.op)
                           .Text(7, m.serial)
                           .Text(8, m.manufacturer)
                           .Text(9, m.description)
                           .Text(10, m.client)
                           .Text(11, m.location)
                           .Text(12, m.department)
                           .Text(13, m.room)
                           .Text(14, m.costs)
                           .Text(15, m.comment)
                           .Bytes(16, Stored(m.firstTestDate, m.testTime))
                           .Bytes(17, Stored(m.nextTestDate, m.testTime))
                           .Text(18, m.externalUse)
                           .Text(19, m.testerName)
                           .Text(20, m.testerSerial)
                           .Text(21, m.testerSW)
                           .Text(22, m.guid)
                           .Text(23, m.city)
                           .Text(24, m.street)
                           .Int(25, m.reviewPeriod)
                           .Text(26, m.dutClass)
                           .Int(27, m.useExtraPolation)
                           .Run();
            const qint64 id = sqlite3_last_insert_rowid(db);
            for (const auto& v : r.visual)
                ok = ok && sicht.Int(1, id).Int(2, v.refNo).Int(3, v.result).Run();
            for (const auto& t : r.tests)
                ok = ok && prot.Int(1, id)
                               .Int(2, t.refNo)
                               .Real(3, t.measValue)
                               .Int(4, t.result)
                               .Real(5, t.firstValue)
                               .Run();
            for (const auto& f : r.functional)
                ok = ok && fprot.Int(1, id)
                               .Int(2, f.refNo)
                               .Real(3, f.measValue)
                               .Int(4, f.result)
                               .Real(5, f.firstValue)
                               .Run();
            ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        }
    }
    if (!ok)
        std::fprintf(stderr, "raw inserts failed: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return ok;
}

// Every column of the protocols with their results and their specifications, through the
// bare C API: what an export has to read.
bool RawRead(const QString& folder, int protocols, qint64& cells) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(folder + QStringLiteral("/user2.db")).constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    cells = 0;
    {
        Statement master(db, "SELECT * FROM GeraeteTab WHERE id = ?");
        Statement spec(db, "SELECT myGUID FROM TypenTab WHERE Name = ?");
        Statement results[3] = {{db, "SELECT * FROM GeraetSichtProtTab WHERE GeraeteTabID = ?"},
                                {db, "SELECT * FROM GeraetProtTab WHERE GeraeteTabID = ?"},
                                {db, "SELECT * FROM GeraetFktProtTab WHERE GeraeteTabID = ?"}};
        const auto readAll = [&cells](sqlite3_stmt* s) {
            while (sqlite3_step(s) == SQLITE_ROW)
                for (int c = 0, n = sqlite3_column_count(s); c < n; ++c) {
                    sqlite3_column_text(s, c);
                    ++cells;
                }
            sqlite3_reset(s);
        };
        for (int id = 1; id <= protocols; ++id) {
            sqlite3_bind_int(master.s, 1, id);
            QByteArray name;
            if (sqlite3_step(master.s) == SQLITE_ROW) {
                for (int c = 0, n = sqlite3_column_count(master.s); c < n; ++c) {
                    sqlite3_column_text(master.s, c);
                    ++cells;
                    if (qstrcmp(sqlite3_column_name(master.s, c), "SpecificationName") == 0)
                        name = reinterpret_cast<const char*>(sqlite3_column_text(master.s, c));
                }
            }
            sqlite3_reset(master.s);
            sqlite3_bind_text(spec.s, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            readAll(spec.s);
            for (Statement& r : results) {
                sqlite3_bind_int(r.s, 1, id);
                readAll(r.s);
            }
        }
    }
    sqlite3_close(db);
    return true;
}

double Seconds(QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e9;
}

// The import as the dialog runs it: the preview list, then every row marked.
bool Import(const QString& docs, const QString& data, int expected) {
    CFolderXmlSource source(docs);
    CImportWorkflow workflow(source, data);
    PreviewList list;
    qint32 error = 0;
    QString text;
    if (!workflow.Preview(ExchangeKind::Protocols, false, list, error, text))
        return false;
    const CImportWorkflow::Result r = workflow.Import(ExchangeKind::Protocols, list.rows);
    if (!r.ok || r.protocolsInserted != expected) {
        std::fprintf(stderr, "import failed: %d %s\n", r.error, r.errorText.toUtf8().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int pairs = args.size() > 1 ? args[1].toInt() : 9;
    const int large = args.size() > 2 ? args[2].toInt() : 10000;
    const int small = large / 10;
    QTemporaryDir dir(QString::fromStdString(Bench::RamFolder()) + QStringLiteral("/bench_exchange-XXXXXX"));
    if (!dir.isValid() || pairs < 1 || small < 1)
        return 2;
    std::printf("XML import and export on %s: %d pairs, %d and %d protocols over %d test specifications\n",
                qPrintable(dir.path()), pairs, small, large, kSpecifications);
    std::fflush(stdout);
    const QString docsSmall = dir.filePath(QStringLiteral("docs-small"));
    const QString docsLarge = dir.filePath(QStringLiteral("docs-large"));
    if (!WriteFolder(docsSmall, small) || !WriteFolder(docsLarge, large)) {
        std::fprintf(stderr, "the documents cannot be written\n");
        return 1;
    }
    std::vector<XmlSpecificationRecord> specs;
    for (int i = 0; i < kSpecifications; ++i)
        specs.push_back(Specification(i));
    std::vector<XmlProtocolRecord> smallRows, largeRows;
    for (int i = 0; i < large; ++i)
        (i < small ? smallRows : largeRows).push_back(Protocol(i));
    largeRows.insert(largeRows.begin(), smallRows.begin(), smallRows.end());

    std::vector<double> rate, scaling, exportRatio;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString out = dir.filePath(QStringLiteral("out"));
    for (int pair = 0; pair < pairs; ++pair) {
        QElapsedTimer t;
        double rawSmall = 0, rawLarge = 0, importSmall = 0, importLarge = 0;
        // Alternate which side goes first, so that neither always meets a warmer cache.
        const bool rawFirst = pair % 2 == 0;
        for (int side = 0; side < 2; ++side) {
            const bool raw = (side == 0) == rawFirst;
            if (!NewDatabase(data)) {
                std::fprintf(stderr, "no database in %s\n", qPrintable(data));
                return 1;
            }
            t.start();
            if (raw ? !RawInsert(data, specs, smallRows) : !Import(docsSmall, data, small))
                return 1;
            (raw ? rawSmall : importSmall) = Seconds(t);
        }
        for (int side = 0; side < 2; ++side) {
            const bool raw = (side == 0) == rawFirst;
            if (!NewDatabase(data)) {
                std::fprintf(stderr, "no database in %s\n", qPrintable(data));
                return 1;
            }
            t.start();
            if (raw ? !RawInsert(data, specs, largeRows) : !Import(docsLarge, data, large))
                return 1;
            (raw ? rawLarge : importLarge) = Seconds(t);
        }
        // The last database is the import's of the large folder (or the raw one: same rows).
        double read = 0, exported = 0;
        QList<qint32> ids;
        for (int i = 1; i <= large; ++i)
            ids << i;
        for (int side = 0; side < 2; ++side) {
            const bool readSide = (side == 0) == rawFirst;
            t.start();
            if (readSide) {
                qint64 cells = 0;
                if (!RawRead(data, large, cells))
                    return 1;
                read = Seconds(t);
            } else {
                QDir(out).removeRecursively();
                QDir().mkpath(out);
                CExportWorkflow exporter(data);
                if (!exporter.Run(ExchangeKind::Protocols, ExportTarget::Folder, out, ids) ||
                    exporter.Exported() != large + kSpecifications)
                    return 1;
                exported = Seconds(t);
            }
        }
        rate.push_back(rawLarge / importLarge);
        scaling.push_back((importLarge / importSmall) / (rawLarge / rawSmall));
        exportRatio.push_back(exported / read);
        std::printf("pair %d: raw %.2f / %.2f s, import %.2f / %.2f s, read %.3f s, export %.2f s\n",
                    pair + 1, rawSmall, rawLarge, importSmall, importLarge, read, exported);
        std::fflush(stdout);
    }
    const auto atLeast = [](const char* label, std::vector<double> values, double target) {
        const Bench::Spread s = Bench::SpreadOf(values);
        std::printf("%s: median %.2f (min %.2f, max %.2f) over %zu pairs, target at least %.2f%s\n", label,
                    s.median, s.min, s.max, values.size(), target,
                    s.median >= target ? "" : "  ** below target **");
    };
    atLeast("import rate, raw inserts time / import time", rate, 0.50);
    Bench::PrintRatio("import scaling, (import large/small) / (raw large/small)", scaling, 1.10);
    Bench::PrintRatio("export time / reading the same rows", exportRatio, 4.0);
    return 0;
}
