// Every statement the program sent to its user database during a logged run of the test
// suite (tests/pg/data/replay.tsv, made by scripts/make-replay-corpus.py), run on a SQLite
// file and on the same data copied to the server: the same rows, the same success, the
// same number of changed rows. Writes are rolled back on both sides.
#include "PgTestServer.h"

#include "exchange/ExchangeFixture.h"
#include "store/SqliteBackend.h"
#include "store/StatementLog.h"
#include "store/pg/PgBackend.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// One value as text that both engines give alike: numbers by value, dates with their time.
QString CellText(const CRecordStore::Cell& cell, int kind) {
    switch (cell.type) {
    case CRecordStore::kNull:
        return QStringLiteral("<null>");
    case CRecordStore::kInteger:
        return QString::number(double(cell.i), 'g', 15);
    case CRecordStore::kFloat:
        return QString::number(cell.d, 'g', 15);
    default:
        break;
    }
    QString text = cell.Text();
    if (kind == DbKind::Date && text.size() == 10)
        text += QStringLiteral(" 00:00:00");
    bool number = false;
    const double value = text.toDouble(&number);
    if (number && kind != DbKind::Text)
        return QString::number(value, 'g', 15);
    return text;
}

struct Outcome {
    bool ok = false;
    QStringList names; // lower case: the layer finds columns without regard to case
    std::vector<QStringList> rows;
    int changed = 0;
};

Outcome RunOn(CDbBackend& backend, const QString& sql, const QVariantList& values, bool write) {
    Outcome o;
    DbRows rows;
    if (write && !backend.Begin())
        return o;
    o.ok = values.isEmpty() ? backend.Run(sql, rows) : backend.RunBound(sql, values, &rows);
    o.changed = write && o.ok ? backend.ChangedRows() : 0;
    if (write)
        backend.Rollback();
    if (!o.ok)
        return o;
    for (const QString& n : std::as_const(rows.names))
        o.names << n.toLower();
    for (qsizetype r = 0; r < rows.rows.RowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < rows.rows.ColumnCount(); ++c)
            row << CellText(rows.rows.At(r, c), c < int(rows.kinds.size()) ? rows.kinds[std::size_t(c)] : 0);
        o.rows.push_back(row);
    }
    return o;
}

// The columns of the statement's last ORDER BY that the result has, as indexes; empty when
// there is no ORDER BY or one of its columns is not in the result.
std::vector<int> OrderColumns(const QString& sql, const QStringList& names) {
    const qsizetype at = sql.lastIndexOf(QLatin1String("ORDER BY"), -1, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    std::vector<int> columns;
    for (QString part : sql.mid(at + 8).split(QLatin1Char(','))) {
        part = part.trimmed();
        part.remove(QRegularExpression(QStringLiteral("\\s+(ASC|DESC)\\b.*$"),
                                       QRegularExpression::CaseInsensitiveOption));
        part = part.section(QLatin1Char('.'), -1).remove(QLatin1Char('[')).remove(QLatin1Char(']')).toLower();
        const int index = int(names.indexOf(part));
        if (index < 0)
            return {};
        columns.push_back(index);
    }
    return columns;
}

QString Describe(const Outcome& o) {
    if (!o.ok)
        return QStringLiteral("failed");
    QStringList lines{QStringLiteral("%1 row(s), %2 changed: %3")
                          .arg(o.rows.size())
                          .arg(o.changed)
                          .arg(o.names.join(QLatin1Char(',')))};
    for (std::size_t r = 0; r < o.rows.size() && r < 3; ++r)
        lines << o.rows[r].join(QLatin1Char('|'));
    return lines.join(QStringLiteral("\n    "));
}

// Empty when both sides agree, else what differs.
QString Compare(const QString& sql, const Outcome& lite, const Outcome& server) {
    // An expression without a name is "?column?" on the server; the program names every
    // column it reads.
    bool sameNames = lite.names.size() == server.names.size();
    for (qsizetype c = 0; sameNames && c < lite.names.size(); ++c)
        sameNames = lite.names[c] == server.names[c] || server.names[c] == QLatin1String("?column?");
    if (lite.ok != server.ok || lite.changed != server.changed || !sameNames ||
        lite.rows.size() != server.rows.size())
        return QStringLiteral("SQLite: %1\n  server: %2").arg(Describe(lite), Describe(server));
    std::vector<QStringList> a = lite.rows, b = server.rows;
    // Rows in the statement's order where it names one (ties may come in either order),
    // else as a set.
    const std::vector<int> order = OrderColumns(sql, lite.names);
    if (!order.empty()) {
        for (std::size_t r = 0; r < a.size(); ++r)
            for (int c : order)
                if (a[r][c] != b[r][c])
                    return QStringLiteral("order differs at row %1 column %2: %3 / %4")
                        .arg(r)
                        .arg(lite.names[c], a[r][c], b[r][c]);
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    for (std::size_t r = 0; r < a.size(); ++r)
        if (a[r] != b[r])
            return QStringLiteral("rows differ: %1 / %2")
                .arg(a[r].join(QLatin1Char('|')), b[r].join(QLatin1Char('|')));
    return QString();
}

class PgReplayTest : public ExchangeFixture {
protected:
    void SetUp() override {
        if (PgTestServer::Socket().isEmpty())
            GTEST_SKIP() << PgTestServer::SkipReason().toStdString();
        ExchangeFixture::SetUp();
        conninfo = PgTestServer::FreshDatabase(QStringLiteral("v740replay"));
        ASSERT_FALSE(conninfo.isEmpty());
    }
    ProcessResult Ctl(const QStringList& args) {
        return RunProgram(QStringLiteral("v740ctl"),
                          QStringList{QStringLiteral("--lang"), QStringLiteral("English"),
                                      QStringLiteral("--data"), DataDir()} +
                              args);
    }
    QString conninfo;
};

} // namespace

TEST_F(PgReplayTest, EveryLoggedStatementGivesTheSameResultOnBothBackends) {
    // Data that the logged statements find: test specifications with quotes and accents,
    // devices with a history, protocols without a next test date.
    const QStringList names{QStringLiteral("Drill"), QStringLiteral("Saw"), QStringLiteral("Kettle"),
                            QStringLiteral("O'Brien's saw"), QStringLiteral("Bürogerät")};
    std::vector<XmlSpecificationRecord> specs;
    for (int i = 0; i < names.size(); ++i)
        specs.push_back(MakeSpecification(names[i], QStringLiteral("{S-%1}").arg(i)));
    std::vector<XmlProtocolRecord> protocols;
    for (int i = 0; i < 14; ++i) {
        const int spec = i % int(names.size());
        XmlProtocolRecord p =
            MakeProtocol(QStringLiteral("Dev %1").arg(i % 8 + 1),
                         i % 3 ? QStringLiteral("acme") : QStringLiteral("Müller"),
                         QStringLiteral("{G%1}").arg(i % 8), names[spec], QStringLiteral("{S-%1}").arg(spec),
                         QStringLiteral("%1.0%2.20%3").arg(10 + i).arg(1 + i % 9).arg(10 + i / 8));
        protocols.push_back(p);
    }
    const QString usb = dir.filePath(QStringLiteral("usb"));
    ASSERT_TRUE(QDir().mkpath(usb + QStringLiteral("/XmlData")));
    WriteDocument(usb + QStringLiteral("/XmlData/PV.xml"), SpecificationDocument(specs));
    WriteDocument(usb + QStringLiteral("/XmlData/GP.xml"), ProtocolDocument(protocols));
    ProcessResult r = Ctl({"import", "--source", "drive", "--path", usb, "--kind", "protocols", "--all"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Protocols without a next test date sort first on both engines.
    ASSERT_TRUE(
        db.Execute(QStringLiteral("UPDATE GeraeteTab SET NextTestDate = NULL WHERE Device = 'Dev 6'")));
    ASSERT_EQ(db.ChangedRows(), 2);
    ASSERT_EQ(Ctl({"server-init", conninfo}).exitCode, 0);
    r = Ctl({"migrate", "--to", conninfo});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    QFile corpus(QStringLiteral(V740_REPLAY_CORPUS));
    ASSERT_TRUE(corpus.open(QIODevice::ReadOnly | QIODevice::Text));
    CSqliteBackend lite;
    CPgBackend server;
    ASSERT_TRUE(lite.Open(DataDir() + QStringLiteral("/user2.db"), false));
    ASSERT_TRUE(server.Open(conninfo));

    int statements = 0, withRows = 0, writes = 0;
    QStringList differences;
    while (!corpus.atEnd()) {
        const QString line = QString::fromUtf8(corpus.readLine()).chopped(1);
        QString sql;
        QVariantList values;
        ASSERT_TRUE(StatementLog::Decode(line, sql, values)) << line.toStdString();
        const bool write = !sql.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
        const Outcome a = RunOn(lite, sql, values, write);
        const Outcome b = RunOn(server, sql, values, write);
        const QString difference = Compare(sql, a, b);
        if (!difference.isEmpty())
            differences << sql + QStringLiteral("\n  ") + difference;
        ++statements;
        withRows += a.rows.empty() ? 0 : 1;
        writes += a.changed > 0 ? 1 : 0;
    }
    // The comparison means something only where the statements find and change rows.
    EXPECT_GT(statements, 1000);
    EXPECT_GT(withRows, 200) << withRows;
    EXPECT_GT(writes, 100) << writes;
    std::printf("%d statements, %d with rows, %d changing rows\n", statements, withRows, writes);
    EXPECT_TRUE(differences.isEmpty())
        << differences.size() << " of " << statements << " statements differ:\n"
        << differences.join(QStringLiteral("\n")).toStdString();
}
