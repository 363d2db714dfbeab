#include "app/TextFit.h"

QString ShortenToFit(const QString& text, int maxWidth, const std::function<int(const QString&)>& width) {
    if (width(text) <= maxWidth)
        return text;
    const QString dots = QStringLiteral("...");
    QString base = text.left(qMax<qsizetype>(0, text.size() - 3));
    for (;;) {
        const QString candidate = base + dots;
        if (width(candidate) <= maxWidth || base.isEmpty())
            return candidate;
        base.chop(1);
    }
}
