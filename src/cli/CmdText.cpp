#include "cli/Commands.h"

#include "platform/SettingsFile.h"
#include "store/TextCatalog.h"

#include <cstdio>

namespace Cli {

QString Language(const GlobalOptions& options) {
    if (!options.language.isEmpty())
        return options.language;
    return CSettingsFile(DataFolder(options)).Language();
}

namespace {

int CmdText(const GlobalOptions& options, const QStringList& args) {
    if (args.isEmpty()) {
        Err(QStringLiteral("text: name at least one TextID"));
        return 2;
    }
    const QString language = Language(options);
    if (!CTextCatalog::Languages().contains(language)) {
        Err(QStringLiteral("text: unknown language '%1' (known: %2)")
                .arg(language, CTextCatalog::Languages().join(QStringLiteral(", "))));
        return 2;
    }
    CTextCatalog catalog;
    if (!catalog.Open())
        return 1;
    int status = 0;
    for (const QString& arg : args) {
        bool ok = false;
        const qint32 id = arg.toInt(&ok);
        QString text;
        if (!ok) {
            Err(QStringLiteral("text: '%1' is not a TextID").arg(arg));
            status = 1;
        } else if (!catalog.SeekText(id, language, text)) {
            Err(QStringLiteral("text: no %1 text for TextID %2").arg(language, QString::number(id)));
            status = 1;
        }
        std::printf("%s\n", text.toUtf8().constData());
    }
    return status;
}

const CommandRegistration
    kText("text", "text ID...                print the texts of the TextIDs in the language", CmdText);

} // namespace
} // namespace Cli
