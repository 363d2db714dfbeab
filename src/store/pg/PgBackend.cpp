#include "store/pg/PgBackend.h"

#include "platform/DataFolderLock.h"
#include "store/pg/PgConnect.h"
#include "store/pg/PgSql.h"

#include <QDateTime>
#include <QTimeZone>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <vector>

namespace {

// libpq's type numbers of the built-in types the layer reads as numbers.
enum : Oid {
    kBool = 16,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kNumeric = 1700
};

// The SQLSTATE as the server packs it (six bits per character), for the code line of the box.
quint32 PackState(const char* state) {
    quint32 code = 0;
    for (int i = 0; i < 5 && state && state[i]; ++i)
        code |= quint32((state[i] - '0') & 0x3F) << (6 * i);
    return code;
}

DbFailure::Cause CauseOfState(const QByteArray& state) {
    if (state.startsWith("23"))
        return DbFailure::Cause::Constraint;
    if (state == "40001" || state == "40P01")
        return DbFailure::Cause::Conflict;
    if (state == "55P03")
        return DbFailure::Cause::LockTimeout;
    if (state.startsWith("08") || state == "57P01" || state == "57P02" || state == "57P03")
        return DbFailure::Cause::ConnectionLost;
    if (state == "25006" || state == "42501")
        return DbFailure::Cause::ReadOnly;
    if (state.startsWith("28") || state == "3D000")
        return DbFailure::Cause::Refused;
    return DbFailure::Cause::Other;
}

QString Text(const char* p) {
    return p ? QString::fromUtf8(p).trimmed() : QString();
}

struct Result {
    PGresult* res = nullptr;
    explicit Result(PGresult* r) : res(r) {}
    ~Result() {
        if (res)
            PQclear(res);
    }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
};

QString Literal(const QString& text) {
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The box's meaning line: the SQLSTATE and what it means for the user, as SQLite's own
// result texts tell it for the file.
QString MeaningOf(DbFailure::Cause cause, const QString& state) {
    const char* words = nullptr;
    switch (cause) {
    case DbFailure::Cause::ConnectionLost:
        words = "the connection to the server is broken";
        break;
    case DbFailure::Cause::LockTimeout:
        words = "the record is being changed on another workstation";
        break;
    case DbFailure::Cause::Conflict:
        words = "another workstation changed the same records at the same time";
        break;
    case DbFailure::Cause::Constraint:
        words = "constraint failed";
        break;
    case DbFailure::Cause::ReadOnly:
        words = "this login may not change the database";
        break;
    case DbFailure::Cause::Refused:
        words = "the connection was refused";
        break;
    default:
        break;
    }
    return words ? QStringLiteral("SQLSTATE %1: %2").arg(state, QLatin1String(words))
                 : QStringLiteral("SQLSTATE %1").arg(state);
}

} // namespace

CPgBackend::~CPgBackend() {
    if (m_conn)
        PQfinish(m_conn);
}

QString CPgBackend::CheckConninfo(const QString& conninfo) {
    char* err = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &err);
    if (!options) {
        const QString why = err ? Text(err) : QStringLiteral("out of memory");
        PQfreemem(err);
        return QStringLiteral("The connection string \"%1\" cannot be read: %2").arg(conninfo, why);
    }
    QString refusal;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (std::strcmp(o->keyword, "password") == 0 && o->val && *o->val)
            refusal =
                QStringLiteral("The connection string carries a password. Passwords belong in ~/.pgpass "
                               "(or the desktop keyring), never in the settings or on a command line.");
    PQconninfoFree(options);
    return refusal;
}

QString CPgBackend::Describe(const QString& conninfo) {
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), nullptr);
    if (!options)
        return QStringLiteral("PostgreSQL");
    QStringList parts;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val || !*o->val || std::strcmp(o->keyword, "password") == 0)
            continue;
        if (!std::strcmp(o->keyword, "host") || !std::strcmp(o->keyword, "hostaddr") ||
            !std::strcmp(o->keyword, "port") || !std::strcmp(o->keyword, "dbname") ||
            !std::strcmp(o->keyword, "user"))
            parts << QStringLiteral("%1=%2").arg(QLatin1String(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return QStringLiteral("PostgreSQL %1").arg(parts.join(QLatin1Char(' ')));
}

QString CPgBackend::Source() const {
    if (m_conn && PQserverVersion(m_conn) > 0) {
        const int v = PQserverVersion(m_conn);
        return QStringLiteral("PostgreSQL %1.%2").arg(v / 10000).arg(v % 10000);
    }
    return QStringLiteral("PostgreSQL (libpq %1)").arg(PQlibVersion());
}

bool CPgBackend::FailConnection() {
    const QString message = m_conn ? Text(PQerrorMessage(m_conn)) : QStringLiteral("out of memory");
    return Failed(DbFailure::Cause::ConnectionLost, message, PackState("08006"),
                  QStringLiteral("SQLSTATE 08006: the connection to the server is broken"));
}

bool CPgBackend::Open(const QString& conninfo) {
    const QString refusal = CheckConninfo(conninfo);
    if (!refusal.isEmpty())
        return Failed(DbFailure::Cause::Refused, refusal, PackState("28P01"),
                      QStringLiteral("SQLSTATE 28P01: the connection was refused"));
    m_conninfo = conninfo;
    // The connection string's own settings win over these defaults.
    m_conn = PgConnect::Connect(conninfo,
                                {{"connect_timeout", QByteArray::number(qMax(2, BusyTimeoutMs() / 1000))},
                                 {"application_name", "V740Control"},
                                 {"client_encoding", "UTF8"}});
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        const QString message = PgConnect::FailureText(m_conn);
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
        return Failed(
            DbFailure::Cause::Refused, QStringLiteral("%1 (%2)").arg(message, Describe(conninfo)),
            PackState("08001"),
            QStringLiteral("SQLSTATE 08001: the server cannot be reached or refused the connection"));
    }
    return SetUpSession() && LoadCatalog();
}

namespace {
// Notices ("does not exist, skipping") are for people at a psql prompt, not for this program's users.
void IgnoreNotice(void*, const char*) {}
} // namespace

bool CPgBackend::SetUpSession() {
    PQsetNoticeProcessor(m_conn, IgnoreNotice, nullptr);
    // NOW and the stored dates are the workstation's wall-clock time, whatever the server's zone.
    QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (zone.isEmpty() || !QTimeZone(zone.toUtf8()).isValid())
        zone = QStringLiteral("UTC");
    if (!RunNative(QStringLiteral("SET TIME ZONE %1").arg(Literal(zone)))) {
        // A server without that zone's name still gets the right offset for now.
        const int offset = QDateTime::currentDateTime().offsetFromUtc();
        if (!RunNative(QStringLiteral("SET TIME ZONE INTERVAL '%1%2:%3' HOUR TO MINUTE")
                           .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                           .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                           .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'))))
            return false;
    }
    return RunNative(QStringLiteral("SET lock_timeout = %1").arg(BusyTimeoutMs())) &&
           RunNative(QStringLiteral("SET DateStyle = 'ISO, DMY'")) &&
           RunNative(QStringLiteral("SET standard_conforming_strings = on"));
}

bool CPgBackend::LoadCatalog() {
    DbRows rows;
    if (!RunNative(
            QStringLiteral("SELECT c.oid::bigint, a.attnum::integer, c.relname::text, a.attname::text, "
                           "format_type(a.atttypid, NULL) FROM pg_attribute a "
                           "JOIN pg_class c ON c.oid = a.attrelid "
                           "JOIN pg_namespace n ON n.oid = c.relnamespace "
                           "WHERE n.nspname = 'public' AND c.relkind IN ('r', 'v', 'p') "
                           "AND a.attnum > 0 AND NOT a.attisdropped"),
            &rows))
        return false;
    m_known.clear();
    m_kinds.clear();
    m_columns.clear();
    for (qsizetype r = 0; r < rows.rows.RowCount(); ++r) {
        const quint64 table = quint64(rows.rows.At(r, 0).i);
        const quint64 column = quint64(rows.rows.At(r, 1).i);
        const QString tableName = rows.rows.At(r, 2).Text().toLower();
        const QString columnName = rows.rows.At(r, 3).Text().toLower();
        m_known.insert(tableName);
        m_known.insert(columnName);
        m_columns[tableName].insert(columnName);
        m_kinds.insert(table << 16 | column,
                       DbKind::OfDeclType(rows.rows.At(r, 4).Text().toUtf8().constData()));
    }
    return true;
}

bool CPgBackend::EnsureConnected() {
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return true;
    if (!m_conn)
        return FailConnection();
    // Statements of a transaction that broke off are gone with it; only a fresh start may reconnect.
    if (m_lostInTransaction)
        return FailConnection();
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        return FailConnection();
    m_prepared.clear();
    return SetUpSession() && LoadCatalog();
}

bool CPgBackend::FailFromResult(const PGresult* res, const QString& sql) {
    if (!res || PQstatus(m_conn) != CONNECTION_OK) {
        if (PQtransactionStatus(m_conn) != PQTRANS_IDLE || PQstatus(m_conn) != CONNECTION_OK)
            m_lostInTransaction = InTransaction();
        return FailConnection();
    }
    const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
    const QByteArray code = state ? QByteArray(state) : QByteArray("XX000");
    QString description = Text(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY));
    if (description.isEmpty())
        description = Text(PQresultErrorMessage(res));
    const QString detail = Text(PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL));
    if (!detail.isEmpty())
        description += QStringLiteral(" (%1)").arg(detail);
    const QString constraint = Text(PQresultErrorField(res, PG_DIAG_CONSTRAINT_NAME));
    if (!constraint.isEmpty())
        description += QStringLiteral(" [%1]").arg(constraint);
    if (!sql.isEmpty())
        description += QStringLiteral("\n%1").arg(sql);
    const DbFailure::Cause cause = CauseOfState(code);
    return Failed(cause, description, PackState(code.constData()),
                  MeaningOf(cause, QString::fromLatin1(code)));
}

// Rows arrive one per result (single-row mode), so a long list never sits twice in memory.
bool CPgBackend::Collect(DbRows* out, const QString& sql) {
    if (out)
        PQsetSingleRowMode(m_conn);
    bool ok = true;
    bool described = false;
    std::vector<int> classes; // per column: 0 text, 1 integer, 2 float, 3 bool
    while (PGresult* raw = PQgetResult(m_conn)) {
        Result res(raw);
        if (!ok)
            continue; // drain what follows a failure
        const ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_COMMAND_OK) {
            // As SQLite's count: only INSERT, UPDATE and DELETE set it.
            if (*PQcmdTuples(raw))
                m_changed = std::atoi(PQcmdTuples(raw));
            continue;
        }
        if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
            ok = FailFromResult(raw, sql);
            continue;
        }
        if (!out)
            continue;
        const int columns = PQnfields(raw);
        if (!described) {
            described = true;
            out->rows.Start(columns);
            for (int c = 0; c < columns; ++c) {
                out->names << QString::fromUtf8(PQfname(raw, c));
                const Oid table = PQftable(raw, c);
                const int kind =
                    table == InvalidOid
                        ? DbKind::None
                        : m_kinds.value(quint64(table) << 16 | quint64(PQftablecol(raw, c)), DbKind::None);
                out->kinds.push_back(kind);
                switch (PQftype(raw, c)) {
                case kInt2:
                case kInt4:
                case kInt8:
                case kOid:
                    classes.push_back(1);
                    break;
                case kFloat4:
                case kFloat8:
                case kNumeric:
                    classes.push_back(2);
                    break;
                case kBool:
                    classes.push_back(3);
                    break;
                default:
                    classes.push_back(0);
                }
            }
        }
        const int rows = PQntuples(raw);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(raw, r, c)) {
                    out->rows.AddNull();
                    continue;
                }
                const char* v = PQgetvalue(raw, r, c);
                switch (classes[size_t(c)]) {
                case 1:
                    out->rows.AddInteger(std::strtoll(v, nullptr, 10));
                    break;
                case 2:
                    out->rows.AddFloat(std::strtod(v, nullptr));
                    break;
                case 3:
                    out->rows.AddInteger(*v == 't' ? 1 : 0);
                    break;
                default:
                    out->rows.AddText(v, quint32(PQgetlength(raw, r, c)));
                }
            }
            out->rows.EndRow();
        }
    }
    if (ok && PQstatus(m_conn) != CONNECTION_OK)
        return FailConnection();
    return ok;
}

bool CPgBackend::RunNative(const QString& sql, DbRows* out) {
    if (!EnsureConnected())
        return false;
    const QByteArray text = sql.toUtf8();
    if (!PQsendQueryParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
        return FailFromResult(nullptr, sql);
    if (!Collect(out, sql))
        return false;
    // Tables made or changed by this statement are known to the rewriter from now on.
    const QString head = sql.trimmed().left(6).toUpper();
    if (head.startsWith(QLatin1String("CREATE")) || head.startsWith(QLatin1String("ALTER")) ||
        head.startsWith(QLatin1String("DROP")))
        return LoadCatalog();
    return true;
}

bool CPgBackend::Run(const QString& sql, DbRows& out) {
    const QString text = PgSql::Translate(sql, m_known);
    // Outside a transaction a statement the server undid for a collision runs again.
    for (int attempt = 0;; ++attempt) {
        out.names.clear();
        out.kinds.clear();
        out.rows.Clear();
        if (RunNative(text, &out))
            return true;
        if (m_failure.cause != DbFailure::Cause::Conflict || InTransaction() || attempt == 2)
            return false;
    }
}

bool CPgBackend::RunBound(const QString& sql, const QVariantList& values, DbRows* out) {
    if (!EnsureConnected())
        return false;
    auto it = m_prepared.constFind(sql);
    if (it == m_prepared.constEnd()) {
        int count = 0;
        const QByteArray text = PgSql::Translate(sql, m_known, &count).toUtf8();
        const QByteArray name = "v740_" + QByteArray::number(m_prepared.size() + 1);
        // Parameters go out untyped: the server infers each from where it stands.
        Result res(PQprepare(m_conn, name.constData(), text.constData(), count, nullptr));
        if (!res.res || PQresultStatus(res.res) != PGRES_COMMAND_OK)
            return FailFromResult(res.res, QString::fromUtf8(text));
        it = m_prepared.insert(sql, name);
    }
    std::vector<QByteArray> texts(size_t(values.size()));
    std::vector<const char*> params(size_t(values.size()), nullptr);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            continue; // NULL
        case QMetaType::Bool:
            texts[size_t(i)] = v.toBool() ? "1" : "0";
            break;
        case QMetaType::Double:
            texts[size_t(i)] = QByteArray::number(v.toDouble(), 'g', 17);
            break;
        default:
            if (v.isNull() && v.typeId() != QMetaType::QString)
                continue;
            texts[size_t(i)] = v.toString().toUtf8();
        }
        params[size_t(i)] = texts[size_t(i)].constData();
    }
    for (int attempt = 0;; ++attempt) {
        if (out) {
            out->names.clear();
            out->kinds.clear();
            out->rows.Clear();
        }
        if (!PQsendQueryPrepared(m_conn, it.value().constData(), int(params.size()), params.data(), nullptr,
                                 nullptr, 0))
            return FailFromResult(nullptr, sql);
        if (Collect(out, sql))
            return true;
        if (m_failure.cause != DbFailure::Cause::Conflict || InTransaction() || attempt == 2)
            return false;
    }
}

bool CPgBackend::LastInsertId(qint64& id) {
    DbRows rows;
    if (!RunNative(QStringLiteral("SELECT lastval()"), &rows))
        return false;
    id = rows.rows.RowCount() ? rows.rows.At(0, 0).i : 0;
    return true;
}

bool CPgBackend::Begin() {
    m_lostInTransaction = false;
    return RunNative(QStringLiteral("BEGIN"));
}

bool CPgBackend::Commit() {
    if (!EnsureConnected())
        return false;
    Result res(PQexec(m_conn, "COMMIT"));
    if (!res.res || PQresultStatus(res.res) != PGRES_COMMAND_OK)
        return FailFromResult(res.res, QStringLiteral("COMMIT"));
    // A transaction that had failed is rolled back by COMMIT, which still "succeeds".
    if (std::strcmp(PQcmdStatus(res.res), "COMMIT") != 0)
        return Failed(DbFailure::Cause::Other,
                      QStringLiteral("The transaction had failed; the server rolled it back instead of "
                                     "committing it."),
                      PackState("25P02"), QStringLiteral("SQLSTATE 25P02"));
    return true;
}

bool CPgBackend::Rollback() {
    if (m_conn && PQstatus(m_conn) != CONNECTION_OK) {
        // The server has undone the transaction with the connection; nothing to roll back.
        m_lostInTransaction = false;
        return true;
    }
    return RunNative(QStringLiteral("ROLLBACK"));
}

bool CPgBackend::InTransaction() const {
    if (!m_conn)
        return false;
    const PGTransactionStatusType s = PQtransactionStatus(m_conn);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

QString CPgBackend::OrderOf(const QString& table) const {
    // Tables with an AutoNumber key keep it as their order; the others their physical order,
    // which is the order of insertion for the append-only tables read this way (VersionTab).
    return m_columns.value(table.toLower()).contains(QStringLiteral("id")) ? QStringLiteral("[id]")
                                                                           : QStringLiteral("rowid");
}

QString CPgBackend::TableQuery(const QString& table) const {
    QString name = table;
    name.remove(QLatin1Char(']'));
    return QStringLiteral("SELECT * FROM [%1] ORDER BY %2").arg(name, OrderOf(table));
}

QString CPgBackend::SeekQuery(const QString& table, const QString& column, const QString& key) const {
    QString name = table, col = column;
    name.remove(QLatin1Char(']'));
    col.remove(QLatin1Char(']'));
    return QStringLiteral("SELECT * FROM [%1] WHERE [%2] = %3 ORDER BY %4")
        .arg(name, col, Literal(key), OrderOf(table));
}

bool CPgBackend::IndexColumn(const QString& table, const QString& index, QString& column) {
    column.clear();
    const QString t = table.toLower();
    for (const QString& candidate : {t + QLatin1Char('_') + index.toLower(), index.toLower()}) {
        DbRows rows;
        if (!RunNative(
                QStringLiteral("SELECT a.attname::text FROM pg_index x "
                               "JOIN pg_class i ON i.oid = x.indexrelid "
                               "JOIN pg_class t ON t.oid = x.indrelid "
                               "JOIN pg_namespace n ON n.oid = t.relnamespace AND n.nspname = 'public' "
                               "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = x.indkey[0] "
                               "WHERE t.relname = %1 AND i.relname = %2")
                    .arg(Literal(t), Literal(candidate)),
                &rows))
            return false;
        if (rows.rows.RowCount() > 0) {
            column = rows.rows.At(0, 0).Text();
            return true;
        }
    }
    return true;
}
