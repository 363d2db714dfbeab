#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class CAdoDatabase;

// The steps that bring a user database from schema 2.0 to 3.2, in their SQLite form.
namespace DatabaseUpgrade {

struct Step {
    QString version;        // the version the step leads to
    QStringList statements; // the VersionTab row first, then the schema changes
};

// All four steps, 2.1 to 3.2, in order.
const QList<Step>& Steps();

// The steps that run for a database of this version ("2.0" runs all four; "3.2" and any
// unknown text run none).
QList<Step> Chain(const QString& currentVersion);

// One step in a transaction of its own; a failure rolls the step back whole.
bool RunStep(CAdoDatabase& db, const Step& step, qint32* errorNumber = nullptr);

// Runs the chain; stops at the first failing step, keeping the steps before it.
bool RunChain(CAdoDatabase& db, const QString& currentVersion);

// Reads the current version: the DatabaseVersion of VersionTab's last row.
bool ReadVersion(CAdoDatabase& db, QString& version);

} // namespace DatabaseUpgrade
