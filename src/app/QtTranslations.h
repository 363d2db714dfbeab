#pragma once

#include <QString>

// Qt's own texts (the buttons of the file and message dialogs, the print dialog) in the
// language of the text catalogue, from the translations Qt installs (qt6-translations-l10n).
namespace QtTranslations {

// The Qt locale name of a catalogue language ("Česky" -> "cs"); "en" for English and for
// names it does not know.
QString LocaleName(const QString& catalogueLanguage);
// Replaces the translator installed by the last call; false when Qt has no translation for
// the language (English needs none), and Qt's own English texts are shown.
bool Apply(const QString& catalogueLanguage);

} // namespace QtTranslations
