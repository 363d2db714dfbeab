#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace QtTranslations {

QString LocaleName(const QString& catalogueLanguage) {
    static const struct {
        const char* language;
        const char* locale;
    } kLocales[] = {{"Castellano", "es"}, {"Česky", "cs"},    {"Deutsch", "de"},       {"English", "en"},
                    {"Français", "fr"},   {"Italiano", "it"}, {"Österreichisch", "de"}};
    for (const auto& l : kLocales)
        if (catalogueLanguage == QString::fromUtf8(l.language))
            return QString::fromLatin1(l.locale);
    return QStringLiteral("en");
}

bool Apply(const QString& catalogueLanguage) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const QString locale = LocaleName(catalogueLanguage);
    if (locale == QLatin1String("en"))
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + locale,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

} // namespace QtTranslations
