#pragma once

#include <QByteArray>
#include <QString>

// Traffic log of the tester link: with VELMOR_LINK_LOG naming a file, every line sent
// and received is appended to it, escaped, with the time and the direction.
namespace LinkLog {

bool Enabled();
// direction: '>' sent, '<' received, '!' a note (time-out, purge, speed change).
void Line(const QString& port, char direction, const QByteArray& bytes);
void Note(const QString& port, const QString& text);

// Printable ASCII as it is, "\\" doubled, everything else as \r, \n or \xNN.
QByteArray Escape(const QByteArray& bytes);

} // namespace LinkLog
