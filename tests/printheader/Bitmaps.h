#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Windows bitmap files written byte by byte, so that the tests know exactly what the
// checks see: a width by height picture of bpp bits per pixel with a full colour table.
inline QByteArray MakeBitmap(int width, int height, int bpp, quint8 seed = 0) {
    auto put32 = [](QByteArray& b, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b.append(char(v >> (8 * i)));
    };
    auto put16 = [](QByteArray& b, quint16 v) {
        b.append(char(v));
        b.append(char(v >> 8));
    };
    const int colours = bpp <= 8 ? 1 << bpp : 0;
    const int stride = (width * bpp + 31) / 32 * 4;
    const quint32 offset = 14 + 40 + 4 * colours;
    const quint32 size = offset + quint32(stride * height);
    QByteArray b;
    b.append("BM");
    put32(b, size);
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, quint32(width));
    put32(b, quint32(height));
    put16(b, 1);
    put16(b, quint16(bpp));
    put32(b, 0);
    put32(b, quint32(stride * height));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int i = 0; i < colours; ++i)
        put32(b, quint32(i * 0x010101 * (255 / qMax(1, colours - 1))));
    for (int i = 0; i < stride * height; ++i)
        b.append(char((i * 7 + seed) & 0xff));
    return b;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The signature of a PNG file, as a picture saved under a .bmp name starts.
inline QByteArray PngBytes() {
    return QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000100000001008060000001ff3ff61");
}
