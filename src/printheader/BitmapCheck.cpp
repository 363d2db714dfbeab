#include "printheader/BitmapCheck.h"

#include <QFile>

namespace BitmapCheck {

namespace {

constexpr qint64 kFileHeader = 14;
// Larger pictures are no logo or signature and would only exhaust memory when drawn.
constexpr qint64 kMaxSide = 32768;
constexpr qint64 kMaxPixels = qint64(64) * 1024 * 1024;

quint32 U32(const QByteArray& b, qint64 at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 U16(const QByteArray& b, qint64 at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return quint16(p[0] | p[1] << 8);
}

} // namespace

Result Check(const QByteArray& bytes, Info* info) {
    const qint64 size = bytes.size();
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return Result::NotBitmap;
    if (size < kFileHeader + 4)
        return Result::Truncated;
    const qint64 dibSize = U32(bytes, kFileHeader);
    const bool core = dibSize == 12;
    if (!core && dibSize != 40 && dibSize != 52 && dibSize != 56 && dibSize != 108 && dibSize != 124)
        return Result::Unsupported;
    if (size < kFileHeader + dibSize)
        return Result::Truncated;
    const qint64 offBits = U32(bytes, 10);

    qint64 width = 0;
    qint64 height = 0;
    int planes = 0;
    int bpp = 0;
    quint32 compression = 0;
    qint64 sizeImage = 0;
    qint64 colourCount = 0;
    if (core) {
        width = U16(bytes, 18);
        height = U16(bytes, 20);
        planes = U16(bytes, 22);
        bpp = U16(bytes, 24);
    } else {
        width = qint32(U32(bytes, 18));
        height = qint32(U32(bytes, 22));
        planes = U16(bytes, 26);
        bpp = U16(bytes, 28);
        compression = U32(bytes, 30);
        sizeImage = U32(bytes, 34);
        colourCount = U32(bytes, 46);
    }
    if (bpp > 8)
        return Result::TooManyColours;
    if (planes != 1 || (bpp != 1 && bpp != 4 && bpp != 8))
        return Result::Unsupported;
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return Result::Unsupported;
    const bool rle = compression == 1 || compression == 2;
    if (compression > 2 || (compression == 1 && bpp != 8) || (compression == 2 && bpp != 4) ||
        (rle && topDown))
        return Result::Unsupported;

    const qint64 maxColours = qint64(1) << bpp;
    if (colourCount == 0)
        colourCount = maxColours;
    if (colourCount > maxColours)
        return Result::Unsupported;
    const qint64 tableEnd = kFileHeader + dibSize + colourCount * (core ? 3 : 4);
    if (tableEnd > size)
        return Result::Truncated;
    if (offBits < kFileHeader + dibSize)
        return Result::Unsupported;

    qint64 pixelBytes = 0;
    if (rle) {
        if (sizeImage == 0)
            return Result::Unsupported;
        pixelBytes = sizeImage;
    } else {
        pixelBytes = (width * bpp + 31) / 32 * 4 * height;
    }
    if (offBits + pixelBytes > size)
        return Result::Truncated;

    if (info) {
        info->width = int(width);
        info->height = int(height);
        info->bitsPerPixel = bpp;
        info->colours = int(colourCount);
    }
    return Result::Ok;
}

Result CheckFile(const QString& path, QByteArray* bytes, Info* info) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result::Unreadable;
    // A bitmap of the largest accepted size with its headers; anything longer is not ours.
    if (f.size() > kMaxPixels + 65536)
        return Result::Unsupported;
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return Result::Unreadable;
    const Result r = Check(data, info);
    if (bytes)
        *bytes = data;
    return r;
}

const char* Describe(Result r) {
    switch (r) {
    case Result::Ok:
        return "a Windows bitmap";
    case Result::Unreadable:
        return "the file cannot be read";
    case Result::NotBitmap:
        return "not a Windows bitmap file";
    case Result::Unsupported:
        return "a bitmap of a kind that cannot be drawn";
    case Result::TooManyColours:
        return "more than 8 bits per pixel";
    case Result::Truncated:
        return "the bitmap file is cut short";
    }
    return "";
}

} // namespace BitmapCheck
