#pragma once

#include <QString>
#include <QtGlobal>

class CAdoDatabase;

// The version of one row, for the sheets that read a record, let the user edit it and
// write it back later. On a server the row's transaction stamp (xmin) changes with every
// committed change of the row, whoever made it; a sheet compares it before its save and
// refuses to write over another workstation's change. A database file is written by one
// program at a time, so nothing changes a row under an open sheet: the version is empty.
namespace RowVersion {

// The TextID of the question a refused save asks: "changed on another workstation, reload?"
inline constexpr qint32 kChangedElsewhere = 60203;

// The row's version: empty on a database file; on a server its stamp, or "none" when the
// row is gone. With lock set (inside a write transaction) the row is locked until the
// transaction ends, so no other workstation can change it between the check and the save.
QString Read(CAdoDatabase& db, const QString& table, qint32 id, bool lock = false);

} // namespace RowVersion
