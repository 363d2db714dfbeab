#include "store/AdoDatabase.h"

#include "platform/DataFolderLock.h"
#include "platform/LocaleFormat.h"
#include "platform/Notifier.h"
#include "store/JetFunctions.h"
#include "store/NameOrder.h"
#include "store/RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

enum Kind { KindNone, KindText, KindLong, KindShort, KindBool, KindDate, KindDecimal };

Kind KindOfDeclType(const char* decl) {
    if (!decl || !*decl)
        return KindNone;
    const QByteArray t = QByteArray(decl).toUpper();
    if (t.contains("CHAR") || t.contains("TEXT") || t.contains("MEMO") || t.contains("CLOB"))
        return KindText;
    if (t.startsWith("YESNO") || t.startsWith("BIT") || t.startsWith("BOOL") || t.startsWith("LOGICAL"))
        return KindBool;
    if (t.startsWith("DATE") || t.startsWith("TIMESTAMP"))
        return KindDate;
    if (t.startsWith("SMALLINT") || t.startsWith("SHORT") || t.startsWith("BYTE") || t.startsWith("TINYINT"))
        return KindShort;
    if (t.startsWith("COUNTER") || t.startsWith("LONG") || t.startsWith("INT") ||
        t.startsWith("AUTOINCREMENT"))
        return KindLong;
    if (t.startsWith("DECIMAL") || t.startsWith("NUMERIC") || t.startsWith("DOUBLE") ||
        t.startsWith("REAL") || t.startsWith("FLOAT") || t.startsWith("CURRENCY") || t.startsWith("SINGLE"))
        return KindDecimal;
    return KindNone;
}

bool IsJetFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(32);
    return head.contains("Standard Jet DB") || head.contains("Standard ACE DB");
}

} // namespace

struct CAdoDatabase::Value : CRecordStore::Cell {};

struct CAdoDatabase::Recordset {
    QString table;       // set for a table opened with OpenTable
    QString indexColumn; // column of the index chosen with SetIndex
    QStringList names;
    QStringList lowerNames;
    std::vector<int> kinds;
    CRecordStore rows;
    qsizetype pos = 0;
    bool open = true;

    // Callers ask for the same few column names row after row: remember where each
    // spelling was found, so that a lookup is a plain comparison.
    mutable std::vector<std::pair<QString, int>> asked;
    mutable Value current;
    // Many rows share a day: each day's text is formatted once per list.
    QString dayPattern;
    QHash<qint64, QString> dayTexts;

    bool HasRow() const { return open && pos >= 0 && pos < rows.RowCount(); }
    // The first column whose name equals the given one, ignoring case; -1 when none does.
    int Find(const QString& column) const;
};

int CAdoDatabase::Recordset::Find(const QString& column) const {
    for (const auto& [spelling, index] : asked)
        if (spelling == column)
            return index;
    const int index = int(lowerNames.indexOf(column.toLower()));
    if (index >= 0 && asked.size() < 64)
        asked.emplace_back(column, index);
    return index;
}

CAdoDatabase::CAdoDatabase() = default;

CAdoDatabase::~CAdoDatabase() {
    Close();
}

void CAdoDatabase::Close() {
    m_rs.reset();
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

bool CAdoDatabase::Fail(qint32 number) {
    m_lastError = number;
    return false;
}

bool CAdoDatabase::FailFor(int code, qint32 number) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Fail(DbError::Busy);
    case SQLITE_READONLY:
        return Fail(DbError::ReadOnly);
    case SQLITE_CANTOPEN:
        // The journal cannot be made beside a file that exists: the folder is read-only.
        if (number != DbError::OpenConnection)
            return Fail(DbError::ReadOnly);
        break;
    default:
        break;
    }
    return Fail(number);
}

void CAdoDatabase::DriverError(int code, const QString& description) {
    const QString desc =
        description.isEmpty() && m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : description;
    const QString meaning = QString::fromUtf8(sqlite3_errstr(code));
    QString text;
    text += QStringLiteral("Source\t\t = %1\n\n")
                .arg(QStringLiteral("SQLite %1").arg(QLatin1String(sqlite3_libversion())));
    text += QStringLiteral("Description\t = %1\n\n").arg(desc);
    text += QString::asprintf("Code\t\t = %08lx\n\n",
                              static_cast<unsigned long>(static_cast<unsigned int>(code)));
    text += QStringLiteral("Meaning\t\t = %1\n\n").arg(meaning);
    Notifier().ShowMessage(text, QString(), CNotifier::Icon::Error);
}

bool CAdoDatabase::Connect(const QString& path, bool create) {
    Close();
    m_path = path;
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
        DriverError(SQLITE_CANTOPEN, description);
        return Fail(DbError::OpenConnection);
    }
    if (create && info.exists()) {
        DriverError(SQLITE_CANTOPEN, QStringLiteral("The database file '%1' exists already.").arg(path));
        return Fail(DbError::OpenConnection);
    }
    if (!create && IsJetFile(path)) {
        DriverError(SQLITE_NOTADB, QStringLiteral("'%1' is an Access (Jet) database of the Windows program; "
                                                  "this program reads SQLite databases only.")
                                       .arg(QDir::toNativeSeparators(path)));
        return Fail(DbError::OpenConnection);
    }
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        if (db)
            sqlite3_close_v2(db);
        if (!db)
            return Fail(DbError::CreateConnection);
        DriverError(rc, QStringLiteral("%1 (%2)").arg(msg, path));
        return Fail(DbError::OpenConnection);
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
        DriverError(sqlite3_errcode(m_db));
        Close();
        return Fail(DbError::OpenConnection);
    }
    // Reading the schema makes SQLite look at the file, so a foreign or damaged file fails
    // here and not at the first statement.
    char* err = nullptr;
    rc = sqlite3_exec(m_db, "PRAGMA foreign_keys = ON; SELECT count(*) FROM sqlite_master;", nullptr, nullptr,
                      &err);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(m_db));
        sqlite3_free(err);
        DriverError(rc, QStringLiteral("%1 (%2)").arg(msg, path));
        Close();
        return FailFor(rc, DbError::OpenConnection);
    }
    if (!NameOrder::PrepareConnection(m_db)) {
        DriverError(sqlite3_errcode(m_db));
        Close();
        return Fail(DbError::OpenConnection);
    }
    return true;
}

bool CAdoDatabase::Open(const QString& folder, const QString& fileName) {
    return Connect(folder.isEmpty() ? fileName : folder + QLatin1Char('/') + fileName, false);
}

bool CAdoDatabase::Create(const QString& folder, const QString& fileName) {
    return Connect(folder.isEmpty() ? fileName : folder + QLatin1Char('/') + fileName, true);
}

bool CAdoDatabase::NeedConnection() {
    if (!m_db)
        return Fail(DbError::NoConnection);
    return true;
}

bool CAdoDatabase::NeedRow() {
    if (!m_rs || !m_rs->open)
        return Fail(DbError::NoRecordset);
    return true;
}

// Prepares and runs one statement, collecting every row it returns.
bool CAdoDatabase::RunStatement(const QString& sqlIn, std::unique_ptr<Recordset>& result, qint32 failNumber) {
    const QByteArray sql = Jet::TranslateStatement(sqlIn).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        DriverError(rc);
        return FailFor(rc, failNumber);
    }
    if (!stmt) { // only blanks or a comment
        result = std::make_unique<Recordset>();
        return true;
    }
    auto rs = std::make_unique<Recordset>();
    const int n = sqlite3_column_count(stmt);
    for (int c = 0; c < n; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, c));
        rs->names << name;
        rs->lowerNames << name.toLower();
        rs->kinds.push_back(KindOfDeclType(sqlite3_column_decltype(stmt, c)));
    }
    // Every row in one pass, then the statement is finished: no statement and no read
    // transaction outlives this call, so a list kept open never holds up a writer.
    rc = rs->rows.ReadAll(stmt);
    if (rc != SQLITE_DONE) {
        DriverError(rc);
        sqlite3_finalize(stmt);
        return FailFor(rc, failNumber);
    }
    sqlite3_finalize(stmt);
    // A second statement in one text is not run; Jet would refuse it as well.
    while (tail && *tail && (*tail == ' ' || *tail == ';' || *tail == '\n' || *tail == '\r' || *tail == '\t'))
        ++tail;
    if (tail && *tail) {
        DriverError(SQLITE_ERROR, QStringLiteral("Characters found after end of SQL statement."));
        return Fail(failNumber);
    }
    result = std::move(rs);
    return true;
}

bool CAdoDatabase::OpenTable(const QString& tableName) {
    if (!NeedConnection())
        return false;
    QString quoted = tableName;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    std::unique_ptr<Recordset> rs;
    m_rs.reset();
    if (!RunStatement(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(quoted), rs,
                      DbError::OpenRecordset))
        return false;
    rs->table = tableName;
    m_rs = std::move(rs);
    return true;
}

bool CAdoDatabase::OpenQuery(const QString& sql) {
    if (!NeedConnection())
        return false;
    std::unique_ptr<Recordset> rs;
    m_rs.reset();
    if (!RunStatement(sql, rs, DbError::OpenRecordset))
        return false;
    m_rs = std::move(rs);
    return true;
}

bool CAdoDatabase::CloseRecordset() {
    if (!m_rs)
        return Fail(DbError::NoRecordset);
    m_rs->open = false;
    m_rs->rows.Clear();
    return true;
}

bool CAdoDatabase::HasRow() const {
    return m_rs && m_rs->HasRow();
}

bool CAdoDatabase::MoveFirst() {
    if (!NeedRow())
        return false;
    m_rs->pos = 0;
    return m_rs->HasRow() ? true : Fail(DbError::Move);
}

bool CAdoDatabase::MoveLast() {
    if (!NeedRow())
        return false;
    m_rs->pos = m_rs->rows.RowCount() - 1;
    return m_rs->HasRow() ? true : Fail(DbError::Move);
}

bool CAdoDatabase::MoveNext() {
    if (!m_rs || !m_rs->HasRow())
        return false;
    ++m_rs->pos;
    return m_rs->HasRow();
}

bool CAdoDatabase::SetIndex(const QString& indexName) {
    if (!NeedConnection())
        return false;
    if (!m_rs || m_rs->table.isEmpty()) {
        DriverError(SQLITE_MISUSE, QStringLiteral("An index can only be set on a table opened as a table."));
        return Fail(DbError::SetIndex);
    }
    // Index names are per table in the original files but per database in SQLite, so an
    // index is stored as "<table>_<name>"; the bare name is accepted as well.
    const QString table = m_rs->table;
    const QStringList candidates{table + QLatin1Char('_') + indexName, indexName};
    for (const QString& candidate : candidates) {
        std::unique_ptr<Recordset> info;
        const QString sql =
            QStringLiteral("SELECT name FROM pragma_index_info(%1)").arg(SqlLiteral(candidate));
        std::unique_ptr<Recordset> owner;
        if (!RunStatement(
                QStringLiteral("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = %1")
                    .arg(SqlLiteral(candidate)),
                owner, DbError::SetIndex))
            return false;
        if (owner->rows.RowCount() == 0 ||
            owner->rows.At(0, 0).Text().compare(table, Qt::CaseInsensitive) != 0)
            continue;
        if (!RunStatement(sql, info, DbError::SetIndex))
            return false;
        if (info->rows.RowCount() == 0)
            continue;
        m_rs->indexColumn = info->rows.At(0, 0).Text();
        return true;
    }
    DriverError(SQLITE_ERROR, QStringLiteral("Table '%1' has no index '%2'.").arg(table, indexName));
    return Fail(DbError::SetIndex);
}

namespace {
QString QuoteIdent(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}
} // namespace

bool CAdoDatabase::Seek(qint32 key) {
    return Seek(QString::number(key));
}

bool CAdoDatabase::Seek(const QString& key) {
    if (!NeedConnection() || !NeedRow())
        return false;
    if (m_rs->table.isEmpty() || m_rs->indexColumn.isEmpty()) {
        DriverError(SQLITE_MISUSE, QStringLiteral("Seek needs a table with an index."));
        return Fail(DbError::Seek);
    }
    const QString table = m_rs->table;
    const QString column = m_rs->indexColumn;
    std::unique_ptr<Recordset> rs;
    const QString sql = QStringLiteral("SELECT * FROM %1 WHERE %2 = %3 ORDER BY rowid")
                            .arg(QuoteIdent(table), QuoteIdent(column), SqlLiteral(key));
    if (!RunStatement(sql, rs, DbError::Seek))
        return false;
    rs->table = table;
    rs->indexColumn = column;
    m_rs = std::move(rs);
    return m_rs->HasRow() ? true : Fail(DbError::Move);
}

const CAdoDatabase::Value* CAdoDatabase::Column(const QString& column, int* kind) const {
    const int index = m_rs->Find(column);
    if (index < 0)
        return nullptr;
    *kind = m_rs->kinds[static_cast<size_t>(index)];
    static_cast<CRecordStore::Cell&>(m_rs->current) = m_rs->rows.At(m_rs->pos, index);
    return &m_rs->current;
}

bool CAdoDatabase::IsNull(const QString& column) const {
    if (!HasRow())
        return false;
    int kind = KindNone;
    const Value* v = Column(column, &kind);
    return v && v->type == SQLITE_NULL;
}

bool CAdoDatabase::GetString(const QString& column, QString& value) {
    value.clear();
    if (!NeedRow())
        return false;
    if (!m_rs->HasRow()) {
        DriverError(SQLITE_MISUSE,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return Fail(DbError::GetString);
    }
    int kind = KindNone;
    const Value* v = Column(column, &kind);
    if (!v) {
        DriverError(SQLITE_ERROR, QStringLiteral("Item '%1' cannot be found in the collection.").arg(column));
        return Fail(DbError::GetString);
    }
    if (v->type == SQLITE_NULL)
        return Fail(DbError::GetString);
    if (kind == KindText || (kind == KindNone && v->type == SQLITE_TEXT)) {
        value = v->Text();
        return true;
    }
    return Fail(DbError::GetString);
}

bool CAdoDatabase::GetLong(const QString& column, qint32& value) {
    if (!NeedRow())
        return false;
    if (!m_rs->HasRow()) {
        DriverError(SQLITE_MISUSE,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return Fail(DbError::GetLong);
    }
    int kind = KindNone;
    const Value* v = Column(column, &kind);
    if (!v) {
        DriverError(SQLITE_ERROR, QStringLiteral("Item '%1' cannot be found in the collection.").arg(column));
        return Fail(DbError::GetLong);
    }
    const bool typeOk = kind == KindLong || (kind == KindNone && v->type == SQLITE_INTEGER);
    if (!typeOk || v->type != SQLITE_INTEGER || v->i < std::numeric_limits<qint32>::min() ||
        v->i > std::numeric_limits<qint32>::max())
        return Fail(DbError::GetLong);
    value = static_cast<qint32>(v->i);
    return true;
}

bool CAdoDatabase::GetBool(const QString& column, int& value) {
    value = 0;
    if (!NeedRow())
        return false;
    if (!m_rs->HasRow()) {
        DriverError(SQLITE_MISUSE,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return Fail(DbError::GetBool);
    }
    int kind = KindNone;
    const Value* v = Column(column, &kind);
    if (!v) {
        DriverError(SQLITE_ERROR, QStringLiteral("Item '%1' cannot be found in the collection.").arg(column));
        return Fail(DbError::GetBool);
    }
    if (kind != KindBool || v->type != SQLITE_INTEGER)
        return Fail(DbError::GetBool);
    value = v->i != 0 ? -1 : 0;
    return true;
}

bool CAdoDatabase::ReadDate(const QString& column, QDate& day, QTime& time) {
    if (!NeedRow())
        return false;
    if (!m_rs->HasRow()) {
        DriverError(SQLITE_MISUSE,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return Fail(DbError::GetDate);
    }
    int kind = KindNone;
    const Value* v = Column(column, &kind);
    if (!v) {
        DriverError(SQLITE_ERROR, QStringLiteral("Item '%1' cannot be found in the collection.").arg(column));
        return Fail(DbError::GetDate);
    }
    if ((kind != KindDate && kind != KindNone) || v->type != SQLITE_TEXT)
        return Fail(DbError::GetDate);
    if (Jet::ParseStoredDate(v->p, qsizetype(v->bytes), day, time))
        return true;
    const auto parsed = Jet::ParseDate(v->Text());
    if (!parsed)
        return Fail(DbError::GetDate);
    day = parsed->date();
    time = parsed->time();
    return true;
}

bool CAdoDatabase::GetDate(const QString& column, QDateTime& value) {
    QDate day;
    QTime time;
    if (!ReadDate(column, day, time))
        return false;
    value = QDateTime(day, time);
    return true;
}

bool CAdoDatabase::GetDay(const QString& column, QDate& day) {
    QTime time;
    day = QDate();
    return ReadDate(column, day, time);
}

bool CAdoDatabase::GetDateText(const QString& column, QString& value) {
    value.clear();
    QDate day;
    QTime time;
    if (!ReadDate(column, day, time))
        return false;
    // The same text as LocaleFormat::ShortDate, with the pattern worked out once per list.
    Recordset& rs = *m_rs;
    const auto known = rs.dayTexts.constFind(day.toJulianDay());
    if (known != rs.dayTexts.constEnd()) {
        value = *known;
        return true;
    }
    if (rs.dayPattern.isEmpty())
        rs.dayPattern = LocaleFormat::ShortDatePattern();
    value = QLocale::system().toString(day, rs.dayPattern);
    if (rs.dayTexts.size() < 4096)
        rs.dayTexts.insert(day.toJulianDay(), value);
    return true;
}

bool CAdoDatabase::GetDouble(const QString& column, double& value) {
    if (!NeedRow())
        return false;
    if (!m_rs->HasRow()) {
        DriverError(SQLITE_MISUSE,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
        return Fail(DbError::GetDouble);
    }
    int kind = KindNone;
    const Value* v = Column(column, &kind);
    if (!v) {
        DriverError(SQLITE_ERROR, QStringLiteral("Item '%1' cannot be found in the collection.").arg(column));
        return Fail(DbError::GetDouble);
    }
    const bool typeOk = kind == KindDecimal || (kind == KindNone && v->type == SQLITE_FLOAT);
    if (!typeOk || v->type == SQLITE_NULL)
        return Fail(DbError::GetDouble);
    if (v->type == SQLITE_INTEGER) {
        value = double(v->i);
        return true;
    }
    if (v->type == SQLITE_FLOAT) {
        value = v->d;
        return true;
    }
    bool ok = false;
    value = v->Text().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        value = 0;
        return Fail(DbError::ConvertDouble);
    }
    return true;
}

bool CAdoDatabase::SeekText(qint32 key, const QString& column, QString& value) {
    if (!Seek(key))
        return false;
    return GetString(column, value);
}

bool CAdoDatabase::Execute(const QString& sql) {
    if (!NeedConnection())
        return false;
    std::unique_ptr<Recordset> rs;
    m_rs.reset();
    if (!RunStatement(sql, rs, DbError::Execute))
        return false;
    m_rs = std::move(rs);
    return true;
}

sqlite3_stmt* CAdoDatabase::Prepared(const QString& sql, qint32 failNumber) {
    sqlite3_stmt*& stmt = m_prepared[sql];
    if (!stmt) {
        const QByteArray text = Jet::TranslateStatement(sql).toUtf8();
        const int rc = sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT,
                                          &stmt, nullptr);
        if (rc != SQLITE_OK || !stmt) {
            m_prepared.remove(sql);
            DriverError(rc);
            Fail(failNumber);
            return nullptr;
        }
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return stmt;
}

bool CAdoDatabase::Bind(sqlite3_stmt* stmt, const QVariantList& values, qint32 failNumber) {
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
        if (rc != SQLITE_OK) {
            DriverError(rc);
            return Fail(failNumber);
        }
    }
    return true;
}

bool CAdoDatabase::ExecuteBound(const QString& sql, const QVariantList& values) {
    if (!NeedConnection())
        return false;
    m_rs.reset();
    sqlite3_stmt* stmt = Prepared(sql, DbError::Execute);
    if (!stmt || !Bind(stmt, values, DbError::Execute))
        return false;
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        DriverError(rc);
        sqlite3_reset(stmt);
        return FailFor(rc, DbError::Execute);
    }
    sqlite3_reset(stmt);
    return true;
}

bool CAdoDatabase::OpenQueryBound(const QString& sql, const QVariantList& values) {
    if (!NeedConnection())
        return false;
    m_rs.reset();
    sqlite3_stmt* stmt = Prepared(sql, DbError::OpenRecordset);
    if (!stmt || !Bind(stmt, values, DbError::OpenRecordset))
        return false;
    auto rs = std::make_unique<Recordset>();
    const int n = sqlite3_column_count(stmt);
    for (int c = 0; c < n; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, c));
        rs->names << name;
        rs->lowerNames << name.toLower();
        rs->kinds.push_back(KindOfDeclType(sqlite3_column_decltype(stmt, c)));
    }
    // As every other recordset: all rows now, and the statement reset, so nothing stays open.
    const int rc = rs->rows.ReadAll(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        DriverError(rc);
        return FailFor(rc, DbError::OpenRecordset);
    }
    m_rs = std::move(rs);
    return true;
}

bool CAdoDatabase::ExecuteAll(const QStringList& statements) {
    if (statements.isEmpty())
        return Fail(DbError::EmptyList);
    bool ok = false;
    for (const QString& sql : statements) {
        ok = Execute(sql);
        if (!ok)
            break;
    }
    return ok;
}

bool CAdoDatabase::GetNewId(qint32& id) {
    if (!NeedConnection())
        return false;
    std::unique_ptr<Recordset> rs;
    if (!RunStatement(QStringLiteral("Select @@IDENTITY AS NewID"), rs, DbError::OpenRecordset))
        return false;
    if (rs->rows.RowCount() == 0 || rs->rows.At(0, 0).type != SQLITE_INTEGER)
        return Fail(DbError::GetLong);
    id = static_cast<qint32>(rs->rows.At(0, 0).i);
    return true;
}

int CAdoDatabase::ChangedRows() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}

bool CAdoDatabase::BeginTrans() {
    if (!NeedConnection())
        return false;
    // Take the write lock at once, so that two writers wait for each other instead of
    // one of them failing halfway through its work.
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        DriverError(rc);
        return FailFor(rc, DbError::BeginTrans);
    }
    return true;
}

bool CAdoDatabase::CommitTrans() {
    if (!NeedConnection())
        return false;
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        DriverError(rc);
        return FailFor(rc, DbError::CommitTrans);
    }
    return true;
}

bool CAdoDatabase::RollbackTrans() {
    if (!NeedConnection())
        return false;
    const int rc = sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        DriverError(rc);
        return Fail(DbError::RollbackTrans);
    }
    return true;
}

bool CAdoDatabase::InTransaction() const {
    return m_db && !sqlite3_get_autocommit(m_db);
}

bool CAdoDatabase::DateToSql(const QString& text, QString& sql) {
    sql.clear();
    const qsizetype first = text.indexOf(QLatin1Char('.'));
    const qsizetype second = first < 0 ? -1 : text.indexOf(QLatin1Char('.'), first + 1);
    if (second < 0)
        return Fail(DbError::DateToSql);
    const QString day = text.left(first);
    const QString month = text.mid(first + 1, second - first - 1);
    const QString rest = text.mid(second + 1);
    sql = rest + QLatin1Char('-') + month + QLatin1Char('-') + day;
    return true;
}

QString SqlQuote(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return out;
}

QString SqlLiteral(const QString& text) {
    return QLatin1Char('\'') + SqlQuote(text) + QLatin1Char('\'');
}

void AppendSqlLiteral(QString& sql, const QString& text) {
    sql += SqlLiteral(text);
}
