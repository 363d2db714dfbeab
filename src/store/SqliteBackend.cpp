#include "store/SqliteBackend.h"

#include "platform/DataFolderLock.h"
#include "store/JetFunctions.h"
#include "store/NameOrder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

bool IsJetFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(32);
    return head.contains("Standard Jet DB") || head.contains("Standard ACE DB");
}

DbFailure::Cause CauseOf(int code) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbFailure::Cause::Busy;
    case SQLITE_READONLY:
        return DbFailure::Cause::ReadOnly;
    case SQLITE_CANTOPEN:
        return DbFailure::Cause::CantOpen;
    case SQLITE_CONSTRAINT:
        return DbFailure::Cause::Constraint;
    default:
        return DbFailure::Cause::Other;
    }
}

QString QuoteIdent(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString Literal(const QString& text) {
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

} // namespace

CSqliteBackend::~CSqliteBackend() {
    Close();
}

void CSqliteBackend::Close() {
    for (sqlite3_stmt* stmt : std::as_const(m_prepared))
        sqlite3_finalize(stmt);
    m_prepared.clear();
    if (m_db) {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

QString CSqliteBackend::Source() const {
    return QStringLiteral("SQLite %1").arg(QLatin1String(sqlite3_libversion()));
}

bool CSqliteBackend::FailCode(int code, const QString& description) {
    const QString desc =
        description.isEmpty() && m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : description;
    return Failed(CauseOf(code), desc, quint32(code), QString::fromUtf8(sqlite3_errstr(code)));
}

bool CSqliteBackend::Open(const QString& path, bool create) {
    Close();
    const QFileInfo info(path);
    if (!create && !info.exists()) {
        QString description =
            QStringLiteral("The database file '%1' does not exist.").arg(QDir::toNativeSeparators(path));
        const QString jetTwin =
            info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".mdb");
        if (info.suffix().compare(QLatin1String("db"), Qt::CaseInsensitive) == 0 &&
            QFileInfo::exists(jetTwin))
            description +=
                QStringLiteral(" The folder holds '%1', an Access (Jet) database of the Windows program; "
                               "this program reads SQLite databases only.")
                    .arg(info.completeBaseName() + QStringLiteral(".mdb"));
        return FailCode(SQLITE_CANTOPEN, description);
    }
    if (create && info.exists())
        return FailCode(SQLITE_CANTOPEN, QStringLiteral("The database file '%1' exists already.").arg(path));
    if (!create && IsJetFile(path))
        return FailCode(SQLITE_NOTADB,
                        QStringLiteral("'%1' is an Access (Jet) database of the Windows program; "
                                       "this program reads SQLite databases only.")
                            .arg(QDir::toNativeSeparators(path)));
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        if (db)
            sqlite3_close_v2(db);
        if (!db) {
            FailCode(rc);
            m_failure.silent = true;
            return false;
        }
        return FailCode(rc, QStringLiteral("%1 (%2)").arg(msg, path));
    }
    m_db = db;
    if (create) {
        // SQLite creates the file 0644; the data folder's group must be able to write it (the
        // journal then gets the same rights).
        const QByteArray name = QFile::encodeName(path);
        struct stat st {};
        if (::stat(name.constData(), &st) == 0)
            ::chmod(name.constData(), (st.st_mode & 07777) | S_IRGRP | S_IWGRP);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs());
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
    if (!Jet::RegisterFunctions(m_db)) {
        // Told as a failure to open, whatever SQLite's code says.
        FailCode(sqlite3_errcode(m_db));
        m_failure.cause = DbFailure::Cause::Other;
        Close();
        return false;
    }
    // Reading the schema makes SQLite look at the file, so a foreign or damaged file fails
    // here and not at the first statement.
    char* err = nullptr;
    rc = sqlite3_exec(m_db, "PRAGMA foreign_keys = ON; SELECT count(*) FROM sqlite_master;", nullptr, nullptr,
                      &err);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(m_db));
        sqlite3_free(err);
        FailCode(rc, QStringLiteral("%1 (%2)").arg(msg, path));
        Close();
        return false;
    }
    if (!NameOrder::PrepareConnection(m_db)) {
        FailCode(sqlite3_errcode(m_db));
        m_failure.cause = DbFailure::Cause::Other;
        Close();
        return false;
    }
    return true;
}

void CSqliteBackend::ReadColumns(sqlite3_stmt* stmt, DbRows& out) {
    const int n = sqlite3_column_count(stmt);
    for (int c = 0; c < n; ++c) {
        out.names << QString::fromUtf8(sqlite3_column_name(stmt, c));
        out.kinds.push_back(DbKind::OfDeclType(sqlite3_column_decltype(stmt, c)));
    }
}

bool CSqliteBackend::Run(const QString& sqlIn, DbRows& out) {
    const QByteArray sql = Jet::TranslateStatement(sqlIn).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        return FailCode(rc);
    if (!stmt) // only blanks or a comment
        return true;
    ReadColumns(stmt, out);
    // Every row in one pass, then the statement is finished: no statement and no read
    // transaction outlives this call, so a list kept open never holds up a writer.
    rc = out.rows.ReadAll(stmt);
    if (rc != SQLITE_DONE) {
        FailCode(rc);
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    // A second statement in one text is not run; Jet would refuse it as well.
    while (tail && *tail && (*tail == ' ' || *tail == ';' || *tail == '\n' || *tail == '\r' || *tail == '\t'))
        ++tail;
    if (tail && *tail)
        return Failed(DbFailure::Cause::Other, QStringLiteral("Characters found after end of SQL statement."),
                      SQLITE_ERROR, QString::fromUtf8(sqlite3_errstr(SQLITE_ERROR)));
    return true;
}

sqlite3_stmt* CSqliteBackend::Prepared(const QString& sql) {
    sqlite3_stmt*& stmt = m_prepared[sql];
    if (!stmt) {
        const QByteArray text = Jet::TranslateStatement(sql).toUtf8();
        const int rc = sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT,
                                          &stmt, nullptr);
        if (rc != SQLITE_OK || !stmt) {
            m_prepared.remove(sql);
            FailCode(rc);
            return nullptr;
        }
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return stmt;
}

bool CSqliteBackend::Bind(sqlite3_stmt* stmt, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        int rc = SQLITE_OK;
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(stmt, i + 1);
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
            break;
        default: {
            const QByteArray b = v.toString().toUtf8();
            rc = sqlite3_bind_text(stmt, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        }
        }
        if (rc != SQLITE_OK)
            return FailCode(rc);
    }
    return true;
}

bool CSqliteBackend::RunBound(const QString& sql, const QVariantList& values, DbRows* out) {
    sqlite3_stmt* stmt = Prepared(sql);
    if (!stmt || !Bind(stmt, values))
        return false;
    if (out) {
        ReadColumns(stmt, *out);
        // As every other recordset: all rows now, and the statement reset, so nothing stays open.
        const int rc = out->rows.ReadAll(stmt);
        sqlite3_reset(stmt);
        return rc == SQLITE_DONE ? true : FailCode(rc);
    }
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        FailCode(rc);
        sqlite3_reset(stmt);
        return false;
    }
    sqlite3_reset(stmt);
    return true;
}

bool CSqliteBackend::LastInsertId(qint64& id) {
    id = sqlite3_last_insert_rowid(m_db);
    return true;
}

int CSqliteBackend::ChangedRows() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}

bool CSqliteBackend::Begin() {
    // Take the write lock at once, so that two writers wait for each other instead of
    // one of them failing halfway through its work.
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? true : FailCode(rc);
}

bool CSqliteBackend::Commit() {
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? true : FailCode(rc);
}

bool CSqliteBackend::Rollback() {
    const int rc = sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? true : FailCode(rc);
}

bool CSqliteBackend::InTransaction() const {
    return m_db && !sqlite3_get_autocommit(m_db);
}

QString CSqliteBackend::TableQuery(const QString& table) const {
    return QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QuoteIdent(table));
}

QString CSqliteBackend::SeekQuery(const QString& table, const QString& column, const QString& key) const {
    return QStringLiteral("SELECT * FROM %1 WHERE %2 = %3 ORDER BY rowid")
        .arg(QuoteIdent(table), QuoteIdent(column), Literal(key));
}

bool CSqliteBackend::IndexColumn(const QString& table, const QString& index, QString& column) {
    column.clear();
    // Index names are per table in the original files but per database in SQLite, so an
    // index is stored as "<table>_<name>"; the bare name is accepted as well.
    const QStringList candidates{table + QLatin1Char('_') + index, index};
    for (const QString& candidate : candidates) {
        DbRows owner;
        if (!Run(QStringLiteral("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = %1")
                     .arg(Literal(candidate)),
                 owner))
            return false;
        if (owner.rows.RowCount() == 0 || owner.rows.At(0, 0).Text().compare(table, Qt::CaseInsensitive) != 0)
            continue;
        DbRows info;
        if (!Run(QStringLiteral("SELECT name FROM pragma_index_info(%1)").arg(Literal(candidate)), info))
            return false;
        if (info.rows.RowCount() == 0)
            continue;
        column = info.rows.At(0, 0).Text();
        return true;
    }
    return true;
}
