#pragma once

#include "store/DbBackend.h"

#include <QHash>
#include <QSet>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

// A user database on a PostgreSQL server through libpq: the program's Jet statements are
// rewritten (PgSql::Translate), parameters go out untyped as real bind parameters, rows
// come back one at a time into the same compact store the SQLite backend fills.
class CPgBackend final : public CDbBackend {
public:
    CPgBackend() = default;
    ~CPgBackend() override;

    // Connects with a libpq connection string, which must not carry a password, and sets
    // the session up: the workstation's time zone (NOW is its wall-clock time), the lock
    // time-out, ISO dates. Reads the columns' declared types for the strict getters.
    bool Open(const QString& conninfo);

    // The connection string without anything secret, for messages.
    static QString Describe(const QString& conninfo);
    // Why a connection string is refused before connecting (a password in it, bad syntax);
    // empty when it may be used.
    static QString CheckConninfo(const QString& conninfo);

    QString Source() const override;
    bool IsServer() const override { return true; }
    bool Run(const QString& sql, DbRows& out) override;
    bool RunBound(const QString& sql, const QVariantList& values, DbRows* out) override;
    bool LastInsertId(qint64& id) override;
    int ChangedRows() const override { return m_changed; }
    bool Begin() override;
    bool Commit() override;
    bool Rollback() override;
    bool InTransaction() const override;
    QString TableQuery(const QString& table) const override;
    QString SeekQuery(const QString& table, const QString& column, const QString& key) const override;
    bool IndexColumn(const QString& table, const QString& index, QString& column) override;

    PGconn* Connection() const { return m_conn; }
    // Runs server SQL as it stands (no rewriting), for setup and the backend's own queries.
    bool RunNative(const QString& sql, DbRows* out = nullptr);

private:
    bool SetUpSession();
    bool LoadCatalog();
    // Sends nothing; reads the results of the statement just sent, one row at a time.
    bool Collect(DbRows* out, const QString& sql);
    bool FailFromResult(const PGresult* res, const QString& sql);
    bool FailConnection();
    // A broken connection is made again before the next statement outside a transaction.
    bool EnsureConnected();
    // The ORDER BY key that reads a table in its stored order.
    QString OrderOf(const QString& table) const;

    PGconn* m_conn = nullptr;
    QString m_conninfo;
    QSet<QString> m_known;                   // lower-case table and column names
    QHash<QString, QSet<QString>> m_columns; // table -> its columns, lower case
    QHash<quint64, int> m_kinds;             // (table oid << 16 | column number) -> DbKind
    QHash<QString, QByteArray> m_prepared;   // Jet text -> server statement name
    int m_changed = 0;
    bool m_lostInTransaction = false;
};
