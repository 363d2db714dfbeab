#include "app/ui/Artwork.h"

#include <QPixmapCache>

namespace Artwork {

namespace {

QPixmap Cached(const QString& path) {
    QPixmap pixmap;
    if (!QPixmapCache::find(path, &pixmap)) {
        pixmap.load(path);
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

} // namespace

QPixmap Bitmap(const QString& name) {
    if (name.isEmpty())
        return QPixmap();
    return Cached(QStringLiteral(":/bitmaps/%1.png").arg(name));
}

QPixmap StatusIcon(int number) {
    return Cached(QStringLiteral(":/icons/status_%1.png").arg(number));
}

QIcon ToolIcon(const QString& name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/tool_%1.png").arg(name));
    return icon;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/app_%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace Artwork
