#pragma once

#include <QByteArray>
#include <QString>

// Commands and replies travel in the legacy Windows code page of the user's locale:
// cp1250 for Central European languages, cp1252 otherwise. Documents stay UTF-8.
namespace CodePage {

// "CP1250" or "CP1252" for a locale name such as "cs_CZ.UTF-8" or "de_DE".
QByteArray ForLocaleName(const QString& locale);
// The code page of this process (LC_ALL, LC_CTYPE, LANG).
QByteArray Current();

// Text to bytes; false when a character has no byte in the code page.
bool Encode(const QString& text, QByteArray& out, const QByteArray& codePage = Current());
// Bytes to text; false when a byte has no character in the code page.
bool Decode(const QByteArray& bytes, QString& out, const QByteArray& codePage = Current());
// Bytes to text for matching only: a byte the code page lacks becomes U+0080 to U+00FF
// (as Windows' own conversion does) instead of failing, so UTF-8 document lines that
// contain such bytes can still be searched for reply tokens.
QString DecodeLenient(const QByteArray& bytes, const QByteArray& codePage = Current());

} // namespace CodePage
