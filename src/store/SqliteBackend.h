#pragma once

#include "store/DbBackend.h"

#include <QHash>

struct sqlite3_stmt;

// A database file through SQLite's C API, with the Jet functions, the Unicode LIKE and
// the name order registered on the connection.
class CSqliteBackend final : public CDbBackend {
public:
    CSqliteBackend() = default;
    ~CSqliteBackend() override;

    // Opens the file, or creates it when `create` (then it must not exist).
    bool Open(const QString& path, bool create);

    QString Source() const override;
    bool IsServer() const override { return false; }
    bool Run(const QString& sql, DbRows& out) override;
    bool RunBound(const QString& sql, const QVariantList& values, DbRows* out) override;
    bool LastInsertId(qint64& id) override;
    int ChangedRows() const override;
    bool Begin() override;
    bool Commit() override;
    bool Rollback() override;
    bool InTransaction() const override;
    QString TableQuery(const QString& table) const override;
    QString SeekQuery(const QString& table, const QString& column, const QString& key) const override;
    bool IndexColumn(const QString& table, const QString& index, QString& column) override;
    sqlite3* SqliteHandle() const override { return m_db; }

private:
    void Close();
    // Records the failure from SQLite's result code, with its own message unless one is given.
    bool FailCode(int code, const QString& description = QString());
    sqlite3_stmt* Prepared(const QString& sql);
    bool Bind(sqlite3_stmt* stmt, const QVariantList& values);
    static void ReadColumns(sqlite3_stmt* stmt, DbRows& out);

    sqlite3* m_db = nullptr;
    QHash<QString, sqlite3_stmt*> m_prepared; // the bound statements, kept prepared
};
