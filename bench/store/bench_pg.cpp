// The user database on a PostgreSQL server, through CAdoDatabase against bare libpq:
// - writes: protocols imported one transaction each (the master row, its new id, three
//   measurement rows), the layer's ExecuteBound against statements prepared once with
//   untyped parameters; target: the layer at no less than half the bare rate (time
//   ratio at most 2);
// - reads: the protocol directory's default list, every column read, against the bare
//   SELECT reading every value; target: time ratio at most 1.5.
// Both sides alternate in this process (median of the pairs). The server is a throwaway
// cluster on a Unix socket (scripts/pg-test-cluster.sh) unless VELMOR_PG_BENCH names an
// empty database.
//
// - the XML import: PROTOCOLS protocols over 100 specifications from a folder (preview
//   list, every row marked, as the dialog runs it) into the emptied server database,
//   against the same rows through bare libpq (statements prepared once, untyped text
//   parameters, one transaction per record); target: the import at no less than half the
//   bare rate (raw time / import time at least 0.5).
//
// bench_pg [PROTOCOLS] [PAIRS] [LIST_ROWS]   (defaults 10000, 9 and the imported rows): with
// LIST_ROWS the list is read after the imported protocols were copied up to that many rows
// (new GUIDs, in one statement on the server), for the directory of 100,000 protocols.
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlSource.h"
#include "store/AdoDatabase.h"
#include "store/DataLocation.h"
#include "store/UserSchema.h"
#include "store/pg/PgBackend.h"
#include "store/pg/PgSchema.h"
#include "support/ExchangeData.h"
#include "support/PairedRatio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <libpq-fe.h>

namespace {

const char* const kDefaultQuery =
    "SELECT GeraeteTab.id, GeraeteTab.Device, GeraeteTab.TestResultID, GeraeteTab.Description, "
    "GeraeteTab.Client, GeraeteTab.TestDate, GeraeteTab.NextTestDate, GeraeteTab.History, TypenTab.Name, "
    "TypenTab.IconSymbol FROM TypenTab INNER JOIN GeraeteTab ON TypenTab.Name = GeraeteTab.SpecificationName "
    "WHERE GeraeteTab.History = 0 ORDER BY GeraeteTab.NextTestDate ASC";

const char* const kInsertDevice =
    "INSERT INTO GeraeteTab (SpecificationName, Device, TestDate, TestResultID, Description, Client, "
    "NextTestDate, History, myGUID, Serial) VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, ?)";
const char* const kInsertValue =
    "INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) VALUES (?, ?, ?, 1, ?)";
// The same statements as the server runs them after the layer's rewriting.
const char* const kInsertDevicePg =
    "INSERT INTO geraetetab (specificationname, device, testdate, testresultid, description, client, "
    "nexttestdate, history, myguid, serial) VALUES ($1, $2, $3, $4, $5, $6, $7, 0, $8, $9)";
const char* const kInsertValuePg = "INSERT INTO geraetprottab (geraetetabid, refno, measvalue, result, "
                                   "firstvalue) VALUES ($1, $2, $3, 1, $4)";

constexpr int kSpecifications = 100;

struct Protocol {
    QByteArray spec, device, test, result, description, client, next, guid, serial;
};

Protocol Make(int i, const char* tag) {
    Protocol p;
    p.spec = QByteArray("Spec ") + QByteArray::number(i % kSpecifications).rightJustified(3, '0');
    p.device = QByteArray(tag) + " device " + QByteArray::number(i);
    p.test = QString::asprintf("20%02d-%02d-%02d 14:07:09", 10 + i % 15, 1 + i % 12, 1 + i % 28).toLatin1();
    p.result = QByteArray::number(30801 + i % 3);
    p.description = "Drill hammer " + QByteArray::number(i % 997);
    p.client = "Client " + QByteArray::number(i % 50);
    p.next = QString::asprintf("20%02d-%02d-%02d 00:00:00", 11 + i % 15, 1 + (i / 12) % 12, 1 + (i / 7) % 28)
                 .toLatin1();
    p.guid = QByteArray("{") + tag + "-" + QByteArray::number(i) + "}";
    p.serial = "SN" + QByteArray::number(i);
    return p;
}

bool ImportThroughAdo(CAdoDatabase& db, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        const Protocol p = Make(i, "ado");
        CTransaction trans(db);
        if (!db.ExecuteBound(
                QString::fromLatin1(kInsertDevice),
                {QString::fromLatin1(p.spec), QString::fromLatin1(p.device), QString::fromLatin1(p.test),
                 p.result.toInt(), QString::fromLatin1(p.description), QString::fromLatin1(p.client),
                 QString::fromLatin1(p.next), QString::fromLatin1(p.guid), QString::fromLatin1(p.serial)}))
            return false;
        qint32 id = 0;
        if (!db.GetNewId(id))
            return false;
        for (int r = 1; r <= 3; ++r)
            if (!db.ExecuteBound(QString::fromLatin1(kInsertValue), {id, r, 0.25 * r, 0.2 * r}))
                return false;
        if (!trans.Commit())
            return false;
    }
    return true;
}

bool Ok(PGresult* res, ExecStatusType want = PGRES_COMMAND_OK) {
    const bool ok = res && PQresultStatus(res) == want;
    if (!ok)
        std::fprintf(stderr, "bench_pg: %s", res ? PQresultErrorMessage(res) : "no result\n");
    PQclear(res);
    return ok;
}

bool ImportThroughLibpq(PGconn* conn, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        const Protocol p = Make(i, "pq");
        if (!Ok(PQexec(conn, "BEGIN")))
            return false;
        const char* device[] = {p.spec.constData(),   p.device.constData(),      p.test.constData(),
                                p.result.constData(), p.description.constData(), p.client.constData(),
                                p.next.constData(),   p.guid.constData(),        p.serial.constData()};
        if (!Ok(PQexecPrepared(conn, "device", 9, device, nullptr, nullptr, 0)))
            return false;
        PGresult* res = PQexecPrepared(conn, "lastval", 0, nullptr, nullptr, nullptr, 0);
        const QByteArray id =
            res && PQresultStatus(res) == PGRES_TUPLES_OK ? QByteArray(PQgetvalue(res, 0, 0)) : "";
        PQclear(res);
        if (id.isEmpty())
            return false;
        for (int r = 1; r <= 3; ++r) {
            const QByteArray ref = QByteArray::number(r), value = QByteArray::number(0.25 * r, 'g', 17),
                             first = QByteArray::number(0.2 * r, 'g', 17);
            const char* row[] = {id.constData(), ref.constData(), value.constData(), first.constData()};
            if (!Ok(PQexecPrepared(conn, "value", 4, row, nullptr, nullptr, 0)))
                return false;
        }
        if (!Ok(PQexec(conn, "COMMIT")))
            return false;
    }
    return true;
}

// Untyped text parameters of one prepared statement, kept alive until it ran.
struct PgParams {
    std::vector<QByteArray> values;
    PgParams& T(const QString& v) {
        values.push_back(v.toUtf8());
        return *this;
    }
    PgParams& B(const QByteArray& v) {
        values.push_back(v);
        return *this;
    }
    PgParams& I(qint64 v) {
        values.push_back(QByteArray::number(v));
        return *this;
    }
    PgParams& R(double v) {
        values.push_back(QByteArray::number(v, 'g', 17));
        return *this;
    }
    // Runs the statement; the new row's id when it returns one.
    bool Run(PGconn* conn, const char* name, QByteArray* id = nullptr) {
        std::vector<const char*> raw;
        for (const QByteArray& v : values)
            raw.push_back(v.constData());
        PGresult* res = PQexecPrepared(conn, name, int(raw.size()), raw.data(), nullptr, nullptr, 0);
        values.clear();
        if (!id)
            return Ok(res);
        const bool ok = res && PQresultStatus(res) == PGRES_TUPLES_OK;
        if (ok)
            *id = PQgetvalue(res, 0, 0);
        else
            std::fprintf(stderr, "bench_pg: %s", res ? PQresultErrorMessage(res) : "no result\n");
        PQclear(res);
        return ok;
    }
};

// The statements of the raw baseline of the XML import: the rows an import stores, with
// the columns the import writes, as the server runs them.
const struct {
    const char* name;
    const char* sql;
} kRawStatements[] = {
    {"spec",
     "INSERT INTO typentab (run, parameter, iconsymbol, bitmap, standardid, classid, name, "
     "manufacturer, description, typid, cordlength, nominalpower, allpe, isomeas, mainsseparation, "
     "measmethodeid, testsequenceid, powerphase, warningnotice, partsused, reviewperiod, exportimport, "
     "externaluse, createdate, myguid, voltageaccessiblepart, functionearth, voltagesignalio, "
     "accessibleparts, phasereverseenable, totalpabl, useextrapolation) VALUES ($1, $2, $3, $4, $5, "
     "$6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21, 2, $22, $23, $24, "
     "$25, $26, $27, $28, $29, $30, $31) RETURNING id"},
    {"part",
     "INSERT INTO typpartstab (typentabid, groupno, appliedpartid, jacks, description) VALUES ($1, $2, "
     "$3, $4, $5)"},
    {"visual", "INSERT INTO typsichtprftab (typentabid, refno, textid, mytext) VALUES ($1, $2, $3, $4)"},
    {"step",
     "INSERT INTO typteststeptab (typentabid, refno, measno, mainorder, typorder, groupno, \"limit\", "
     "jacks) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)"},
    {"fkt", "INSERT INTO typfktsteptab (typentabid, refno, mytext, uselimitsid, lowlimit, highlimit) VALUES "
            "($1, $2, $3, $4, $5, $6)"},
    {"master",
     "INSERT INTO geraetetab (specificationname, device, nominalvoltage, testdate, testresultid, "
     "operator, serial, manufacturer, description, client, location, department, room, costs, "
     "comment, firsttestdate, nexttestdate, externaluse, exportimport, testername, testerserial, "
     "testersw, history, myguid, city, street, reviewperiod, dutclass, useextrapolation) VALUES ($1, "
     "$2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, 2, $19, $20, $21, "
     "0, $22, $23, $24, $25, $26, $27) RETURNING id"},
    {"sicht", "INSERT INTO geraetsichtprottab (geraetetabid, refno, result) VALUES ($1, $2, $3)"},
    {"prot", "INSERT INTO geraetprottab (geraetetabid, refno, measvalue, result, firstvalue) VALUES ($1, $2, "
             "$3, $4, $5)"},
    {"fprot", "INSERT INTO geraetfktprottab (geraetetabid, refno, measvalue, result, firstvalue) VALUES ($1, "
              "$2, $3, $4, $5)"},
};

bool PrepareRawStatements(PGconn* conn) {
    for (const auto& st : kRawStatements)
        if (!Ok(PQprepare(conn, st.name, st.sql, 0, nullptr)))
            return false;
    return true;
}

// The rows an import of the folder stores, through bare libpq: one transaction per record.
bool RawInsertPg(PGconn* conn, const std::vector<XmlSpecificationRecord>& specs,
                 const std::vector<XmlProtocolRecord>& protocols) {
    using BenchData::Stored;
    PgParams p;
    QByteArray id;
    for (const XmlSpecificationRecord& r : specs) {
        const XmlSpecification& m = r.master;
        bool ok = Ok(PQexec(conn, "BEGIN")) && p.T(m.run)
                                                   .T(m.parameter)
                                                   .T(m.iconSymbol)
                                                   .T(m.bitmap)
                                                   .I(m.standardId)
                                                   .I(m.classId)
                                                   .T(m.name)
                                                   .T(m.manufacturer)
                                                   .T(m.description)
                                                   .I(m.typId)
                                                   .R(m.cordLength)
                                                   .I(m.nominalPower)
                                                   .I(m.allPe)
                                                   .I(m.isoMeas)
                                                   .I(m.mainsSeparation)
                                                   .I(m.measMethodId)
                                                   .I(m.testSequenceId)
                                                   .I(m.powerPhase)
                                                   .I(m.warningNotice)
                                                   .I(m.partsUsed ? -1 : 0)
                                                   .I(m.reviewPeriod)
                                                   .T(m.externalUse)
                                                   .B(Stored(m.createDate, m.createTime))
                                                   .T(m.guid)
                                                   .I(m.voltageAccessiblePart)
                                                   .I(m.functionEarth)
                                                   .I(m.voltageSignalIO)
                                                   .I(m.accessibleParts)
                                                   .I(m.phaseReverseEnable)
                                                   .I(m.totalPabl)
                                                   .I(m.useExtraPolation)
                                                   .Run(conn, "spec", &id);
        for (const auto& x : r.parts)
            ok = ok && p.B(id).I(x.groupNo).I(x.appliedPartId).I(x.jacks).T(x.description).Run(conn, "part");
        for (const auto& v : r.visual)
            ok = ok && p.B(id).I(v.refNo).I(v.textId).T(v.text).Run(conn, "visual");
        for (const auto& t : r.tests)
            ok = ok && p.B(id)
                           .I(t.refNo)
                           .I(t.measNo)
                           .I(t.mainOrder)
                           .I(t.typOrder)
                           .I(t.groupNo)
                           .R(t.limit)
                           .I(t.jacks)
                           .Run(conn, "step");
        for (const auto& f : r.functional)
            ok = ok &&
                 p.B(id).I(f.refNo).T(f.text).I(f.useLimitsId).R(f.lowLimit).R(f.highLimit).Run(conn, "fkt");
        if (!ok || !Ok(PQexec(conn, "COMMIT")))
            return false;
    }
    for (const XmlProtocolRecord& r : protocols) {
        const XmlProtocol& m = r.master;
        bool ok = Ok(PQexec(conn, "BEGIN")) && p.T(m.specificationName)
                                                   .T(m.device)
                                                   .T(m.nominalVoltage)
                                                   .B(Stored(m.testDate, m.testTime))
                                                   .I(m.testResultId)
                                                   .T(m.op)
                                                   .T(m.serial)
                                                   .T(m.manufacturer)
                                                   .T(m.description)
                                                   .T(m.client)
                                                   .T(m.location)
                                                   .T(m.department)
                                                   .T(m.room)
                                                   .T(m.costs)
                                                   .T(m.comment)
                                                   .B(Stored(m.firstTestDate, m.testTime))
                                                   .B(Stored(m.nextTestDate, m.testTime))
                                                   .T(m.externalUse)
                                                   .T(m.testerName)
                                                   .T(m.testerSerial)
                                                   .T(m.testerSW)
                                                   .T(m.guid)
                                                   .T(m.city)
                                                   .T(m.street)
                                                   .I(m.reviewPeriod)
                                                   .T(m.dutClass)
                                                   .I(m.useExtraPolation)
                                                   .Run(conn, "master", &id);
        for (const auto& v : r.visual)
            ok = ok && p.B(id).I(v.refNo).I(v.result).Run(conn, "sicht");
        for (const auto& t : r.tests)
            ok = ok && p.B(id).I(t.refNo).R(t.measValue).I(t.result).R(t.firstValue).Run(conn, "prot");
        for (const auto& f : r.functional)
            ok = ok && p.B(id).I(f.refNo).R(f.measValue).I(f.result).R(f.firstValue).Run(conn, "fprot");
        if (!ok || !Ok(PQexec(conn, "COMMIT")))
            return false;
    }
    return true;
}

// Empties the tables an import fills, so that each side starts on the same empty database.
bool EmptyTables(PGconn* conn) {
    return Ok(PQexec(conn, "TRUNCATE typentab, typpartstab, typsichtprftab, typteststeptab, typfktsteptab, "
                           "geraetetab, geraetsichtprottab, geraetprottab, geraetfktprottab RESTART IDENTITY "
                           "CASCADE"));
}

// The XML import as the dialog runs it, into the server the layer is pointed at.
bool ImportXml(const QString& docs, const QString& data, int expected) {
    CFolderXmlSource source(docs);
    CImportWorkflow workflow(source, data);
    PreviewList list;
    qint32 error = 0;
    QString text;
    if (!workflow.Preview(ExchangeKind::Protocols, false, list, error, text))
        return false;
    const CImportWorkflow::Result r = workflow.Import(ExchangeKind::Protocols, list.rows);
    if (!r.ok || r.protocolsInserted != expected) {
        std::fprintf(stderr, "bench_pg: the XML import failed: %d %s\n", r.error, qPrintable(r.errorText));
        return false;
    }
    return true;
}

qint64 ReadThroughAdo(qint64& rows) {
    CAdoDatabase db;
    qint64 sum = 0;
    rows = 0;
    if (!db.Open(QString(), UserSchema::FileName()) || !db.OpenQuery(QString::fromLatin1(kDefaultQuery)))
        return -1;
    QString text;
    qint32 number = 0;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        db.GetLong(QStringLiteral("id"), number);
        sum += number;
        for (const char* c : {"Device", "Description", "Client", "Name", "IconSymbol"}) {
            db.GetString(QLatin1String(c), text);
            sum += text.size();
        }
        db.GetLong(QStringLiteral("TestResultID"), number);
        sum += number;
        db.GetDateText(QStringLiteral("TestDate"), text);
        sum += text.size();
        db.GetDateText(QStringLiteral("NextTestDate"), text);
        sum += text.size();
        db.GetLong(QStringLiteral("History"), number);
        sum += number;
        ++rows;
    }
    return sum;
}

qint64 ReadThroughLibpq(const QString& conninfo, qint64& rows) {
    PGconn* conn = PQconnectdb(conninfo.toUtf8().constData());
    qint64 sum = 0;
    rows = 0;
    PGresult* res = PQexec(
        conn, "SELECT g.id, g.device, g.testresultid, g.description, g.client, g.testdate, "
              "g.nexttestdate, g.history, t.name, t.iconsymbol FROM typentab t JOIN geraetetab g "
              "ON t.name = g.specificationname WHERE g.history = 0 ORDER BY g.nexttestdate NULLS FIRST");
    if (PQresultStatus(res) != PGRES_TUPLES_OK) {
        PQclear(res);
        PQfinish(conn);
        return -1;
    }
    const int n = PQnfields(res);
    rows = PQntuples(res);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < n; ++c)
            sum += PQgetlength(res, r, c) + PQgetvalue(res, r, c)[0];
    PQclear(res);
    PQfinish(conn);
    return sum;
}

double Seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int protocols = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const long long listRows = argc > 3 ? std::max(0, std::atoi(argv[3])) : 0;

    QTemporaryDir clusterDir(QStringLiteral("/tmp/bench_pg-XXXXXX"));
    QString conninfo = qEnvironmentVariable("VELMOR_PG_BENCH");
    const QString script = QStringLiteral(V740_SOURCE_DIR "/scripts/pg-test-cluster.sh");
    if (conninfo.isEmpty()) {
        clusterDir.setAutoRemove(false); // the script removes it when it stops the server
        QFile::setPermissions(clusterDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                     QFileDevice::ExeOther);
        QProcess start;
        start.start(script, {QStringLiteral("start"), clusterDir.path() + QStringLiteral("/c")});
        start.waitForFinished(120000);
        const QString socket = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
        if (start.exitCode() != 0 || !socket.endsWith(QLatin1String("/socket"))) {
            std::fprintf(stderr, "bench_pg: no server: %s\n", qPrintable(socket));
            return 1;
        }
        CPgBackend admin;
        if (!admin.Open(QStringLiteral("host=%1 user=postgres dbname=postgres").arg(socket)) ||
            !admin.RunNative(QStringLiteral("CREATE DATABASE bench")))
            return 1;
        conninfo = QStringLiteral("host=%1 user=postgres dbname=bench").arg(socket);
    }
    auto stop = [&] {
        if (qEnvironmentVariable("VELMOR_PG_BENCH").isEmpty()) {
            QProcess::execute(script, {QStringLiteral("stop"), clusterDir.path() + QStringLiteral("/c")});
            QDir().rmdir(clusterDir.path());
        }
    };
    QString message;
    if (!PgSchema::InitServer(conninfo, QString(), {}, message)) {
        std::fprintf(stderr, "bench_pg: %s\n", qPrintable(message));
        stop();
        return 1;
    }
    DataLocation::SetServer(conninfo);
    {
        CAdoDatabase db;
        if (!db.Open(QString(), UserSchema::FileName()))
            return 1;
        for (int s = 0; s < kSpecifications; ++s)
            db.Execute(
                QStringLiteral("INSERT INTO TypenTab (Name, IconSymbol, Description, StandardID) VALUES "
                               "('Spec %1', 'IDB_TYP%2', 'Type %1', 5800)")
                    .arg(s, 3, 10, QLatin1Char('0'))
                    .arg(s % 4));
    }
    std::printf("PostgreSQL: %s\n", qPrintable(CPgBackend::Describe(conninfo)));

    // Writes: each side imports its share in interleaved batches.
    CAdoDatabase db;
    PGconn* conn = PQconnectdb(conninfo.toUtf8().constData());
    if (!db.Open(QString(), UserSchema::FileName()) || PQstatus(conn) != CONNECTION_OK ||
        !Ok(PQprepare(conn, "device", kInsertDevicePg, 9, nullptr)) ||
        !Ok(PQprepare(conn, "value", kInsertValuePg, 4, nullptr)) ||
        !Ok(PQprepare(conn, "lastval", "SELECT lastval()", 0, nullptr))) {
        stop();
        return 1;
    }
    const int batch = std::max(1, protocols / pairs);
    std::vector<double> writeRatios;
    double adoWrite = 0, pqWrite = 0;
    for (int i = 0; i < pairs; ++i) {
        QElapsedTimer t;
        double times[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const int side = (i + k) % 2;
            t.start();
            const bool ok =
                side ? ImportThroughAdo(db, i * batch, batch) : ImportThroughLibpq(conn, i * batch, batch);
            times[side] = Seconds(t);
            if (!ok) {
                std::fprintf(stderr, "bench_pg: the import failed\n");
                stop();
                return 1;
            }
        }
        adoWrite += times[1];
        pqWrite += times[0];
        writeRatios.push_back(times[1] / times[0]);
    }
    PQfinish(conn);
    std::printf(
        "import, one transaction per protocol: CAdoDatabase %.0f protocols/s, libpq %.0f protocols/s\n",
        batch * pairs / adoWrite, batch * pairs / pqWrite);
    Bench::PrintRatio("import time CAdoDatabase / libpq", writeRatios, 2.0);

    // Reads: the directory's list over both sides' protocols, topped up to LIST_ROWS.
    if (listRows > 0) {
        PGconn* fill = PQconnectdb(conninfo.toUtf8().constData());
        PGresult* cols = PQexec(fill, "SELECT string_agg(column_name, ', ' ORDER BY ordinal_position) FROM "
                                      "information_schema.columns WHERE table_name = 'geraetetab' AND "
                                      "column_name <> 'id'");
        const QString columns = QString::fromUtf8(PQgetvalue(cols, 0, 0));
        PQclear(cols);
        PGresult* count = PQexec(fill, "SELECT count(*) FROM GeraeteTab");
        const long long have = std::atoll(PQgetvalue(count, 0, 0));
        PQclear(count);
        if (have > 0 && have < listRows) {
            QString selected = columns;
            selected.replace(QStringLiteral("myguid"), QStringLiteral("myguid || '-' || g"));
            const QString sql = QStringLiteral("INSERT INTO GeraeteTab (%1) SELECT %2 FROM GeraeteTab, "
                                               "generate_series(1, %3) AS g")
                                    .arg(columns, selected)
                                    .arg((listRows - have + have - 1) / have);
            PGresult* r = PQexec(fill, sql.toUtf8().constData());
            if (PQresultStatus(r) != PGRES_COMMAND_OK)
                std::fprintf(stderr, "bench_pg: topping up the list failed: %s\n", PQerrorMessage(fill));
            PQclear(r);
            PQclear(PQexec(fill, "ANALYZE GeraeteTab"));
        }
        PQfinish(fill);
    }
    std::vector<double> readRatios;
    qint64 rows = 0;
    for (int i = 0; i < pairs; ++i) {
        QElapsedTimer t;
        double times[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const int side = (i + k) % 2;
            t.start();
            const qint64 sum = side ? ReadThroughAdo(rows) : ReadThroughLibpq(conninfo, rows);
            times[side] = Seconds(t);
            if (sum < 0) {
                std::fprintf(stderr, "bench_pg: the list failed\n");
                stop();
                return 1;
            }
        }
        readRatios.push_back(times[1] / times[0]);
    }
    std::printf("default protocol list: %lld rows\n", rows);
    Bench::PrintRatio("list time CAdoDatabase / libpq", readRatios, 1.5);

    // The XML import against bare libpq inserts of the same rows, each on emptied tables.
    QTemporaryDir work(QString::fromStdString(Bench::RamFolder()) + QStringLiteral("/bench_pg-XXXXXX"));
    const QString docs = work.filePath(QStringLiteral("docs"));
    const QString data = work.filePath(QStringLiteral("data"));
    QDir().mkpath(data);
    std::vector<XmlSpecificationRecord> specs;
    for (int i = 0; i < BenchData::kSpecifications; ++i)
        specs.push_back(BenchData::Specification(i));
    std::vector<XmlProtocolRecord> records;
    for (int i = 0; i < protocols; ++i)
        records.push_back(BenchData::Protocol(i));
    PGconn* raw = PQconnectdb(conninfo.toUtf8().constData());
    if (!work.isValid() || !BenchData::WriteFolder(docs, protocols) || PQstatus(raw) != CONNECTION_OK ||
        !PrepareRawStatements(raw)) {
        std::fprintf(stderr, "bench_pg: the import comparison cannot start\n");
        PQfinish(raw);
        stop();
        return 1;
    }
    std::vector<double> importRates;
    for (int i = 0; i < pairs; ++i) {
        QElapsedTimer t;
        double times[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const int side = (i + k) % 2;
            if (!EmptyTables(raw)) {
                PQfinish(raw);
                stop();
                return 1;
            }
            t.start();
            const bool ok = side ? ImportXml(docs, data, protocols) : RawInsertPg(raw, specs, records);
            times[side] = Seconds(t);
            if (!ok) {
                std::fprintf(stderr, "bench_pg: the %s failed\n", side ? "XML import" : "raw insert");
                PQfinish(raw);
                stop();
                return 1;
            }
        }
        importRates.push_back(times[0] / times[1]);
        std::printf("pair %d: raw %.2f s, XML import %.2f s\n", i + 1, times[0], times[1]);
        std::fflush(stdout);
    }
    PQfinish(raw);
    const Bench::Spread spread = Bench::SpreadOf(importRates);
    std::printf("XML import rate, raw libpq time / import time: median %.2f (min %.2f, max %.2f) over %zu "
                "pairs, target at least 0.50%s\n",
                spread.median, spread.min, spread.max, importRates.size(),
                spread.median >= 0.5 ? "" : "  ** below target **");
    stop();
    return 0;
}
