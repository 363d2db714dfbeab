#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class CAdoDatabase;

// Copies a user database between a SQLite file and a PostgreSQL server (either way)
// through CAdoDatabase: the source read in one transaction (one consistent snapshot), the
// target written in one transaction, each table then checked by row count and a content
// hash that both sides compute alike from the values as the layer reads them.
namespace Migrate {

// A row the target would refuse, or that would not arrive as it is.
struct Problem {
    QString table;
    qint32 id = 0; // 0 where the table has no id
    QString what;
};

// Every row of the source that the target would refuse: names of specifications that
// differ only in case, two current protocols of one device, text in date columns.
QList<Problem> FindProblems(CAdoDatabase& source);

// Row count and content hash of each table, "Table\tcount\thash" per line.
QStringList Summary(CAdoDatabase& db);

// Copies every table of `source` into the empty `target`; false with the reason in
// `message` (nothing stays in the target then). `progress` gets one line per table.
bool Copy(CAdoDatabase& source, CAdoDatabase& target, QString& message,
          const std::function<void(const QString&)>& progress = {});

} // namespace Migrate
