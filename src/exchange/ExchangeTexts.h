#pragma once

#include <QString>
#include <functional>

// Looks a TextID up in the user's language; an empty text when the catalogue has none.
// The program and v740ctl hand the exchange workflows one; without it the fixed English
// texts are used.
using TextLookup = std::function<QString(qint32 textId)>;

namespace ExchangeText {

// The fixed English text of a TextID that the exchange shows, or an empty text.
QString Fallback(qint32 textId);

// The catalogue text, else the fixed English text, else an empty text.
QString Resolve(const TextLookup& lookup, qint32 textId);

// Two catalogue texts joined by "%s %s", as the refusal and information texts are built.
QString Joined(const TextLookup& lookup, qint32 first, qint32 second);

} // namespace ExchangeText
