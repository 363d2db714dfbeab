#pragma once

#include <QByteArray>
#include <QString>

// Checks that bytes are a Windows bitmap file the tester and the reports can draw: a
// "BM" file header of 14 bytes, an information header the bitmap readers know, at most
// 8 bits per pixel with its colour table, and pixel data that lies within the file.
namespace BitmapCheck {

enum class Result {
    Ok,
    Unreadable,     // the file cannot be opened or read
    NotBitmap,      // no "BM" file header (a PNG named .bmp, a text file, an empty file)
    Unsupported,    // an information header, compression or size no reader takes
    TooManyColours, // more than 8 bits per pixel
    Truncated       // the headers, the colour table or the pixels end beyond the file
};

struct Info {
    int width = 0;
    int height = 0; // positive; the sign of the stored height only gives the row order
    int bitsPerPixel = 0;
    int colours = 0; // entries of the colour table
};

Result Check(const QByteArray& bytes, Info* info = nullptr);
// Reads the whole file into bytes (when given) and checks it.
Result CheckFile(const QString& path, QByteArray* bytes = nullptr, Info* info = nullptr);

// A short English reason for logs and the command line.
const char* Describe(Result r);

} // namespace BitmapCheck
