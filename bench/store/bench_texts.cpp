// Prints how many catalogue lookups per second the text catalogue serves once warm, and
// how long a language change (loading a column) takes. Target: at least 1,000,000/s.
#include "store/TextCatalog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CTextCatalog catalog;
    if (!catalog.Open(QStringLiteral(V740_BIN_DIR)))
        return 1;
    CAdoDatabase db;
    db.Open(QStringLiteral(V740_BIN_DIR), QStringLiteral("velmor.db"));
    db.OpenQuery(QStringLiteral("SELECT TextID FROM TexteTab"));
    QList<qint32> ids;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        qint32 id = 0;
        db.GetLong(QStringLiteral("TextID"), id);
        ids << id;
    }

    QElapsedTimer timer;
    timer.start();
    QString text;
    for (const QString& language : CTextCatalog::Languages())
        catalog.SeekText(ids.first(), language, text);
    const double switchMs = timer.nsecsElapsed() / 1e6 / CTextCatalog::Languages().size();

    const QString language = QStringLiteral("Deutsch");
    catalog.SeekText(ids.first(), language, text);
    qint64 lookups = 0;
    qsizetype chars = 0;
    timer.restart();
    while (timer.elapsed() < 1000) {
        for (const qint32 id : ids) {
            catalog.SeekText(id, language, text);
            chars += text.size();
        }
        lookups += ids.size();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("text catalogue: %zd texts, language change %.2f ms, warm lookups %.0f per second (target "
                "1000000)%s\n",
                size_t(ids.size()), switchMs, lookups / seconds, chars ? "" : " ?");
    return 0;
}
