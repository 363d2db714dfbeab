#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

// The statements the program sends to its user database, written one per line to the file
// VELMOR_SQL_LOG names (nothing is written without it). A logged run of the test suite is
// the corpus that the server tests replay on PostgreSQL and compare with SQLite.
//
// A line is the statement, then its bound values, separated by tabs; a value is "i:" with
// an integer, "d:" with a double, "s:" with a text or "n:" for NULL. Backslash, tab, line
// feed and carriage return are written as \\, \t, \n and \r.
namespace StatementLog {

bool Enabled();
void Record(const QString& sql, const QVariantList& values = {});

// One line as Record writes it, and back; false for a line that is not one.
QString Encode(const QString& sql, const QVariantList& values);
bool Decode(const QString& line, QString& sql, QVariantList& values);

} // namespace StatementLog
