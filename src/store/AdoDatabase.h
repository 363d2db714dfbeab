#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

struct sqlite3;
class CDbBackend;
struct DbFailure;

// Last-error numbers of the database layer; each is also a TextID.
namespace DbError {
enum : qint32 {
    None = 0,
    CreateConnection = 30103,
    OpenConnection = 30104,
    CreateRecordset = 30106,
    OpenRecordset = 30108,
    SetIndex = 30114,
    Seek = 30115,
    GetString = 30119,
    GetLong = 30120,
    GetDouble = 30121,
    GetDate = 30122,
    Move = 30138,
    CreateCommand = 30139,
    NoConnection = 30140,
    NoRecordset = 30141,
    CloseRecordset = 30142,
    GetBool = 30143,
    ConvertDouble = 30144,
    Execute = 30145,
    EmptyList = 30146,
    BeginTrans = 30148,
    CommitTrans = 30149,
    RollbackTrans = 30150,
    DateToSql = 30151,
    // Our own: causes the numbers above would name wrongly ("may be damaged").
    Busy = 60013,           // still locked by another connection after the busy time-out
    ReadOnly = 60014,       // the file or its folder cannot be written
    RecordLocked = 60200,   // a row stayed locked by another workstation past the lock time-out
    Conflict = 60201,       // the server undid a change that collided with another workstation's
    ConnectionLost = 60202, // the connection to the database server broke off
};
}

// One connection to one database (a SQLite file, or a PostgreSQL server when the user
// database lives there: DataLocation) plus one current recordset. Values are read by
// column name with strict types; every driver failure is shown to the user through the
// notifier before the operation returns false. Recordsets are read-only snapshots, so
// an open list never holds a lock that would keep a writer in another thread waiting.
class CAdoDatabase {
public:
    CAdoDatabase();
    ~CAdoDatabase();
    CAdoDatabase(const CAdoDatabase&) = delete;
    CAdoDatabase& operator=(const CAdoDatabase&) = delete;

    // Opens folder/fileName, or fileName alone when the folder is empty. The file must exist.
    bool Open(const QString& folder, const QString& fileName);
    // Creates a new, empty database file and connects to it; fails if the file exists.
    bool Create(const QString& folder, const QString& fileName);
    // Connects to the user database on a PostgreSQL server (libpq connection string, no
    // password in it), whatever DataLocation says.
    bool OpenServer(const QString& conninfo);
    bool IsOpen() const { return m_backend != nullptr; }
    QString FilePath() const { return m_path; }

    bool OpenTable(const QString& tableName);
    bool OpenQuery(const QString& sql);
    bool CloseRecordset();

    bool MoveFirst();
    bool MoveLast();
    bool MoveNext();
    // True while a row of the current recordset is current.
    bool HasRow() const;

    bool SetIndex(const QString& indexName);
    bool Seek(qint32 key);
    bool Seek(const QString& key);

    bool GetString(const QString& column, QString& value);
    bool GetLong(const QString& column, qint32& value);
    bool GetBool(const QString& column, int& value);
    bool GetDateText(const QString& column, QString& value);
    bool GetDate(const QString& column, QDateTime& value);
    // The day alone: no local-time conversion, so a list of many dates reads fast.
    bool GetDay(const QString& column, QDate& day);
    bool GetDouble(const QString& column, double& value);
    // True if the current row has the column and its value is NULL.
    bool IsNull(const QString& column) const;

    bool SeekText(qint32 key, const QString& column, QString& value);

    bool Execute(const QString& sql);
    bool ExecuteAll(const QStringList& statements);
    // Runs one statement with "?" parameters bound to `values` (text, integers, doubles; a
    // null QVariant is NULL). It is prepared once per connection and kept for the next call
    // with the same text, so a run of inserts is not parsed anew for every row; values need
    // no quoting.
    bool ExecuteBound(const QString& sql, const QVariantList& values);
    // OpenQuery for a statement with "?" parameters, kept prepared like ExecuteBound's: the
    // lookups that an import or export runs once per record.
    bool OpenQueryBound(const QString& sql, const QVariantList& values);
    bool GetNewId(qint32& id);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int ChangedRows() const;

    bool BeginTrans();
    bool CommitTrans();
    bool RollbackTrans();
    bool InTransaction() const;

    qint32 GetErrorNumber() const { return m_lastError; }
    // True when the connection goes to a database server rather than a file.
    bool IsServer() const;
    // True when the last failure was a unique, foreign-key or check constraint.
    bool LastFailureWasConstraint() const;
    // While set, a constraint failure is left to the caller, which handles it (an import
    // that lost a race with another workstation decides again), without the driver box.
    void SetConstraintsHandled(bool handled) { m_constraintsHandled = handled; }
    bool ConstraintsHandled() const { return m_constraintsHandled; }

    // "24.12.2019" -> "2019-12-24"; the parts are taken as they stand.
    bool DateToSql(const QString& text, QString& sql);

    // SQLite's handle, for code that works on the file itself; null on a server.
    sqlite3* Handle() const;

    struct Value;
    struct Recordset;

private:
    bool Connect(const QString& path, bool create);
    bool ConnectServer(const QString& conninfo);
    bool ConnectFailed(const CDbBackend& backend);
    void Close();
    bool Fail(qint32 number);
    // Fail with the number of the operation, or with the layer's number for the cause
    // (Busy, ReadOnly, RecordLocked, Conflict, ConnectionLost).
    bool FailFor(const DbFailure& failure, qint32 number);
    // Shows the backend's last failure in the driver error box, then FailFor.
    bool BackendFailed(qint32 number);
    // The driver error box for a fault the layer itself finds, with SQLite's code for it.
    void DriverError(int code, const QString& description);
    static void ShowError(const QString& source, const QString& description, quint32 code,
                          const QString& meaning);
    bool NeedConnection();
    bool NeedRow();
    const Value* Column(const QString& column, int* kind) const;
    bool ReadDate(const QString& column, QDate& day, QTime& time);
    bool RunStatement(const QString& sql, std::unique_ptr<Recordset>& result, qint32 failNumber);

    std::unique_ptr<CDbBackend> m_backend;
    QString m_path;
    std::unique_ptr<Recordset> m_rs;
    qint32 m_lastError = 0;
    bool m_constraintsHandled = false;
};

// Text inside an SQL literal: every apostrophe doubled.
QString SqlQuote(const QString& text);
// The literal itself, apostrophes included.
QString SqlLiteral(const QString& text);
void AppendSqlLiteral(QString& sql, const QString& text);

// Leaves constraint failures to the caller for its lifetime.
class CConstraintsHandled {
public:
    explicit CConstraintsHandled(CAdoDatabase& db) : m_db(db), m_was(db.ConstraintsHandled()) {
        db.SetConstraintsHandled(true);
    }
    ~CConstraintsHandled() { m_db.SetConstraintsHandled(m_was); }
    CConstraintsHandled(const CConstraintsHandled&) = delete;
    CConstraintsHandled& operator=(const CConstraintsHandled&) = delete;

private:
    CAdoDatabase& m_db;
    bool m_was;
};

// Begins a transaction and rolls it back on destruction unless committed.
class CTransaction {
public:
    explicit CTransaction(CAdoDatabase& db) : m_db(db), m_active(db.BeginTrans()) {}
    ~CTransaction() {
        if (m_active)
            m_db.RollbackTrans();
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    bool IsActive() const { return m_active; }
    bool Commit() {
        if (!m_active)
            return false;
        m_active = false;
        return m_db.CommitTrans();
    }
    bool Rollback() {
        if (!m_active)
            return false;
        m_active = false;
        return m_db.RollbackTrans();
    }

private:
    CAdoDatabase& m_db;
    bool m_active;
};
