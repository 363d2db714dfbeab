#include "store/AdoDatabase.h"

#include "platform/LocaleFormat.h"
#include "platform/Notifier.h"
#include "store/DataLocation.h"
#include "store/DbBackend.h"
#include "store/JetFunctions.h"
#include "store/SqliteBackend.h"
#include "store/StatementLog.h"
#include "store/pg/PgBackend.h"

#include <QByteArray>
#include <QLocale>
#include <cmath>
#include <limits>
#include <sqlite3.h>
#include <string_view>
#include <unordered_map>

namespace DbKind {

int OfDeclType(const char* decl) {
    if (!decl || !*decl)
        return None;
    QByteArray t = QByteArray(decl).toUpper();
    if (t.startsWith("JET."))
        t = t.mid(4);
    if (t.contains("CHAR") || t.contains("TEXT") || t.contains("MEMO") || t.contains("CLOB"))
        return Text;
    if (t.startsWith("YESNO") || t.startsWith("BIT") || t.startsWith("BOOL") || t.startsWith("LOGICAL"))
        return Bool;
    if (t.startsWith("DATE") || t.startsWith("TIMESTAMP"))
        return Date;
    if (t.startsWith("SMALLINT") || t.startsWith("SHORT") || t.startsWith("BYTE") || t.startsWith("TINYINT"))
        return Short;
    if (t.startsWith("COUNTER") || t.startsWith("LONG") || t.startsWith("INT") ||
        t.startsWith("AUTOINCREMENT"))
        return Long;
    if (t.startsWith("DECIMAL") || t.startsWith("NUMERIC") || t.startsWith("DOUBLE") ||
        t.startsWith("REAL") || t.startsWith("FLOAT") || t.startsWith("CURRENCY") || t.startsWith("SINGLE"))
        return Decimal;
    return None;
}

} // namespace DbKind

namespace {
using namespace DbKind;
const int KindNone = None, KindText = Text, KindLong = Long, KindBool = Bool, KindDate = Date,
          KindDecimal = Decimal;

// Statements on the user database file go to the statement log when one is asked for.
void LogStatement(const CDbBackend& backend, const QString& path, const QString& sql,
                  const QVariantList& values = {}) {
    if (StatementLog::Enabled() && !backend.IsServer() && path.endsWith(QLatin1String("/user2.db")))
        StatementLog::Record(sql, values);
}
} // namespace

struct CAdoDatabase::Value : CRecordStore::Cell {};

struct CAdoDatabase::Recordset {
    QString table;       // set for a table opened with OpenTable
    QString indexColumn; // column of the index chosen with SetIndex
    DbRows data;
    QStringList lowerNames;
    CRecordStore& rows = data.rows;
    std::vector<int>& kinds = data.kinds;
    qsizetype pos = 0;
    bool open = true;

    // Callers ask for the same few column names row after row: remember where each
    // spelling was found, so that a lookup is a plain comparison.
    mutable std::vector<std::pair<QString, int>> asked;
    mutable Value current;
    // Many rows share a day: each day's text is formatted once per list.
    QString dayPattern;
    QHash<qint64, QString> dayTexts;
    // Many rows share a text in some columns (a client, a test specification's name): each
    // such text is decoded once per list and shared. A column whose texts turn out to be
    // mostly different is no longer pooled.
    struct TextPool {
        std::unordered_map<std::string_view, QString> texts;
        int asked = 0;
        bool off = false;
    };
    std::vector<TextPool> pools;
    QString PooledText(int column, const CRecordStore::Cell& cell);

    bool HasRow() const { return open && pos >= 0 && pos < rows.RowCount(); }
    // The first column whose name equals the given one, ignoring case; -1 when none does.
    int Find(const QString& column) const;
    // Fills lowerNames from the column names the backend gave.
    void Named();
};

QString CAdoDatabase::Recordset::PooledText(int column, const CRecordStore::Cell& cell) {
    if (pools.empty())
        pools.resize(std::size_t(rows.ColumnCount()));
    TextPool& pool = pools[std::size_t(column)];
    if (pool.off || cell.type != SQLITE_TEXT)
        return cell.Text();
    // Judged on the first rows: a pool that keeps growing costs more than it saves.
    if (++pool.asked == 512 && pool.texts.size() > 256) {
        pool.off = true;
        pool.texts = {};
        return cell.Text();
    }
    const std::string_view bytes(cell.p, cell.bytes);
    auto it = pool.texts.find(bytes);
    if (it == pool.texts.end())
        it = pool.texts.emplace(bytes, cell.Text()).first;
    return it->second;
}

int CAdoDatabase::Recordset::Find(const QString& column) const {
    // A name written as a literal at the caller comes with the same characters every time.
    for (const auto& [spelling, index] : asked)
        if (spelling.constData() == column.constData() && spelling.size() == column.size())
            return index;
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
    m_backend.reset();
}

bool CAdoDatabase::Fail(qint32 number) {
    m_lastError = number;
    return false;
}

bool CAdoDatabase::FailFor(const DbFailure& failure, qint32 number) {
    using Cause = DbFailure::Cause;
    switch (failure.cause) {
    case Cause::Busy:
        return Fail(DbError::Busy);
    case Cause::ReadOnly:
        return Fail(DbError::ReadOnly);
    case Cause::CantOpen:
        // The journal cannot be made beside a file that exists: the folder is read-only.
        return Fail(number == DbError::OpenConnection ? number : DbError::ReadOnly);
    case Cause::LockTimeout:
        return Fail(DbError::RecordLocked);
    case Cause::Conflict:
        return Fail(DbError::Conflict);
    case Cause::ConnectionLost:
        return Fail(DbError::ConnectionLost);
    default:
        return Fail(number);
    }
}

bool CAdoDatabase::BackendFailed(qint32 number) {
    const DbFailure& f = m_backend->Failure();
    if (!(m_constraintsHandled && f.cause == DbFailure::Cause::Constraint))
        ShowError(m_backend->Source(), f.description, f.code, f.meaning);
    return FailFor(f, number);
}

void CAdoDatabase::DriverError(int code, const QString& description) {
    ShowError(m_backend ? m_backend->Source()
                        : QStringLiteral("SQLite %1").arg(QLatin1String(sqlite3_libversion())),
              description, quint32(code), QString::fromUtf8(sqlite3_errstr(code)));
}

void CAdoDatabase::ShowError(const QString& source, const QString& description, quint32 code,
                             const QString& meaning) {
    QString text;
    text += QStringLiteral("Source\t\t = %1\n\n").arg(source);
    text += QStringLiteral("Description\t = %1\n\n").arg(description);
    text += QString::asprintf("Code\t\t = %08lx\n\n", static_cast<unsigned long>(code));
    text += QStringLiteral("Meaning\t\t = %1\n\n").arg(meaning);
    Notifier().ShowMessage(text, QString(), CNotifier::Icon::Error);
}

bool CAdoDatabase::Connect(const QString& path, bool create) {
    const QString server = create ? QString() : DataLocation::ServerFor(path);
    if (!server.isEmpty())
        return ConnectServer(server);
    Close();
    m_path = path;
    auto lite = std::make_unique<CSqliteBackend>();
    if (!lite->Open(path, create))
        return ConnectFailed(*lite);
    m_backend = std::move(lite);
    return true;
}

bool CAdoDatabase::ConnectServer(const QString& conninfo) {
    Close();
    m_path = CPgBackend::Describe(conninfo);
    auto pg = std::make_unique<CPgBackend>();
    if (!pg->Open(conninfo))
        return ConnectFailed(*pg);
    m_backend = std::move(pg);
    return true;
}

bool CAdoDatabase::OpenServer(const QString& conninfo) {
    return ConnectServer(conninfo);
}

bool CAdoDatabase::ConnectFailed(const CDbBackend& backend) {
    const DbFailure& f = backend.Failure();
    if (f.silent)
        return Fail(DbError::CreateConnection);
    ShowError(backend.Source(), f.description, f.code, f.meaning);
    return FailFor(f, DbError::OpenConnection);
}

bool CAdoDatabase::Open(const QString& folder, const QString& fileName) {
    return Connect(folder.isEmpty() ? fileName : folder + QLatin1Char('/') + fileName, false);
}

bool CAdoDatabase::Create(const QString& folder, const QString& fileName) {
    return Connect(folder.isEmpty() ? fileName : folder + QLatin1Char('/') + fileName, true);
}

bool CAdoDatabase::NeedConnection() {
    if (!m_backend)
        return Fail(DbError::NoConnection);
    return true;
}

bool CAdoDatabase::NeedRow() {
    if (!m_rs || !m_rs->open)
        return Fail(DbError::NoRecordset);
    return true;
}

void CAdoDatabase::Recordset::Named() {
    lowerNames.reserve(data.names.size());
    for (const QString& name : std::as_const(data.names))
        lowerNames << name.toLower();
}

// Runs one statement, collecting every row it returns.
bool CAdoDatabase::RunStatement(const QString& sql, std::unique_ptr<Recordset>& result, qint32 failNumber) {
    auto rs = std::make_unique<Recordset>();
    if (!m_backend->Run(sql, rs->data))
        return BackendFailed(failNumber);
    rs->Named();
    result = std::move(rs);
    return true;
}

bool CAdoDatabase::OpenTable(const QString& tableName) {
    if (!NeedConnection())
        return false;
    std::unique_ptr<Recordset> rs;
    m_rs.reset();
    LogStatement(*m_backend, m_path, QStringLiteral("SELECT * FROM ") + tableName);
    if (!RunStatement(m_backend->TableQuery(tableName), rs, DbError::OpenRecordset))
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
    LogStatement(*m_backend, m_path, sql);
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
    const QString table = m_rs->table;
    QString column;
    if (!m_backend->IndexColumn(table, indexName, column))
        return BackendFailed(DbError::SetIndex);
    if (column.isEmpty()) {
        DriverError(SQLITE_ERROR, QStringLiteral("Table '%1' has no index '%2'.").arg(table, indexName));
        return Fail(DbError::SetIndex);
    }
    m_rs->indexColumn = column;
    return true;
}

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
    if (!RunStatement(m_backend->SeekQuery(table, column, key), rs, DbError::Seek))
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
    const int index = m_rs->Find(column);
    if (index < 0) {
        DriverError(SQLITE_ERROR, QStringLiteral("Item '%1' cannot be found in the collection.").arg(column));
        return Fail(DbError::GetString);
    }
    const int kind = m_rs->kinds[static_cast<size_t>(index)];
    const CRecordStore::Cell& cell = m_rs->rows.At(m_rs->pos, index);
    if (cell.type == SQLITE_NULL)
        return Fail(DbError::GetString);
    if (kind == KindText || (kind == KindNone && cell.type == SQLITE_TEXT)) {
        value = m_rs->PooledText(index, cell);
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
    LogStatement(*m_backend, m_path, sql);
    if (!RunStatement(sql, rs, DbError::Execute))
        return false;
    m_rs = std::move(rs);
    return true;
}

bool CAdoDatabase::ExecuteBound(const QString& sql, const QVariantList& values) {
    if (!NeedConnection())
        return false;
    m_rs.reset();
    LogStatement(*m_backend, m_path, sql, values);
    if (!m_backend->RunBound(sql, values, nullptr))
        return BackendFailed(DbError::Execute);
    return true;
}

bool CAdoDatabase::OpenQueryBound(const QString& sql, const QVariantList& values) {
    if (!NeedConnection())
        return false;
    m_rs.reset();
    auto rs = std::make_unique<Recordset>();
    LogStatement(*m_backend, m_path, sql, values);
    if (!m_backend->RunBound(sql, values, &rs->data))
        return BackendFailed(DbError::OpenRecordset);
    rs->Named();
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
    qint64 value = 0;
    if (!m_backend->LastInsertId(value))
        return BackendFailed(DbError::OpenRecordset);
    id = static_cast<qint32>(value);
    return true;
}

int CAdoDatabase::ChangedRows() const {
    return m_backend ? m_backend->ChangedRows() : 0;
}

bool CAdoDatabase::BeginTrans() {
    if (!NeedConnection())
        return false;
    return m_backend->Begin() ? true : BackendFailed(DbError::BeginTrans);
}

bool CAdoDatabase::CommitTrans() {
    if (!NeedConnection())
        return false;
    return m_backend->Commit() ? true : BackendFailed(DbError::CommitTrans);
}

bool CAdoDatabase::RollbackTrans() {
    if (!NeedConnection())
        return false;
    if (m_backend->Rollback())
        return true;
    BackendFailed(DbError::RollbackTrans);
    return Fail(DbError::RollbackTrans);
}

bool CAdoDatabase::InTransaction() const {
    return m_backend && m_backend->InTransaction();
}

bool CAdoDatabase::IsServer() const {
    return m_backend && m_backend->IsServer();
}

bool CAdoDatabase::LastFailureWasConstraint() const {
    return m_backend && m_backend->Failure().cause == DbFailure::Cause::Constraint;
}

sqlite3* CAdoDatabase::Handle() const {
    return m_backend ? m_backend->SqliteHandle() : nullptr;
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
