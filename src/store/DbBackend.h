#pragma once

#include "store/RecordStore.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

struct sqlite3;

// How the layer reads a column, decided by its declared type.
namespace DbKind {
enum : int { None, Text, Long, Short, Bool, Date, Decimal };
// The kind of a declared type: Jet names (COUNTER, LONG, TEXT(n), YESNO, DATETIME, DECIMAL),
// SQLite's and PostgreSQL's (integer, citext, timestamp, double precision, jet.yesno).
int OfDeclType(const char* decl);
} // namespace DbKind

// Why the last call of a backend failed, in the terms the layer reports it.
struct DbFailure {
    enum class Cause {
        Other,
        Busy,           // still locked by another connection after the busy time-out
        ReadOnly,       // the file, its folder or the role may not be written
        CantOpen,       // a file could not be opened or made
        Constraint,     // a unique, foreign-key or check constraint refused the change
        Conflict,       // serialisation failure or deadlock on the server
        LockTimeout,    // a row stayed locked by another workstation past the lock time-out
        ConnectionLost, // the server went away
        Refused,        // the connection was refused before any statement ran
    };
    Cause cause = Cause::Other;
    QString description;
    quint32 code = 0;    // the driver's own number (SQLite result code, SQLSTATE packed)
    QString meaning;     // the driver's text for the code
    bool silent = false; // nothing worth a message box (the connection object itself failed)
};

// The rows of one statement with each column's name and kind.
struct DbRows {
    QStringList names;
    std::vector<int> kinds;
    CRecordStore rows;
};

// One connection to one database; CAdoDatabase is the only user. SQL comes in the Jet
// dialect the program writes; each backend translates it for its engine.
class CDbBackend {
public:
    virtual ~CDbBackend() = default;

    // "SQLite 3.40.1", "PostgreSQL 15.18": the first line of the driver error box.
    virtual QString Source() const = 0;
    virtual bool IsServer() const = 0;

    // Runs one statement and keeps every row it returns.
    virtual bool Run(const QString& sql, DbRows& out) = 0;
    // Runs a statement with "?" parameters, prepared once per connection and kept.
    virtual bool RunBound(const QString& sql, const QVariantList& values, DbRows* out) = 0;
    virtual bool LastInsertId(qint64& id) = 0;
    virtual int ChangedRows() const = 0;

    virtual bool Begin() = 0;
    virtual bool Commit() = 0;
    virtual bool Rollback() = 0;
    virtual bool InTransaction() const = 0;

    // The statement that reads a whole table in its stored order, and the one that reads
    // the rows whose column equals key (as a literal).
    virtual QString TableQuery(const QString& table) const = 0;
    virtual QString SeekQuery(const QString& table, const QString& column, const QString& key) const = 0;
    // The first column of the table's index, tried as "<table>_<index>" and as the bare
    // name; empty with a true result when there is no such index.
    virtual bool IndexColumn(const QString& table, const QString& index, QString& column) = 0;

    // SQLite's handle for the code that works on the file itself; null for a server.
    virtual sqlite3* SqliteHandle() const { return nullptr; }

    const DbFailure& Failure() const { return m_failure; }

protected:
    bool Failed(DbFailure::Cause cause, const QString& description, quint32 code, const QString& meaning) {
        m_failure = DbFailure{cause, description, code, meaning, false};
        return false;
    }
    DbFailure m_failure;
};
