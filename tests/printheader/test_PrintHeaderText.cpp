#include "Bitmaps.h"

#include "printheader/BitmapCheck.h"
#include "printheader/PrintHeaderText.h"
#include "printheader/SignatureKey.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using BitmapCheck::Result;

TEST(BitmapCheck, AcceptsPalettedAndRefusesEverythingElse) {
    BitmapCheck::Info info;
    for (int bpp : {1, 4, 8}) {
        EXPECT_EQ(BitmapCheck::Check(MakeBitmap(13, 5, bpp), &info), Result::Ok) << bpp;
        EXPECT_EQ(info.bitsPerPixel, bpp);
        EXPECT_EQ(info.width, 13);
        EXPECT_EQ(info.height, 5);
        EXPECT_EQ(info.colours, 1 << bpp);
    }
    EXPECT_EQ(BitmapCheck::Check(MakeBitmap(4, 4, 24)), Result::TooManyColours);
    EXPECT_EQ(BitmapCheck::Check(MakeBitmap(4, 4, 32)), Result::TooManyColours);
    EXPECT_EQ(BitmapCheck::Check(PngBytes()), Result::NotBitmap);
    EXPECT_EQ(BitmapCheck::Check(QByteArray()), Result::NotBitmap);
    EXPECT_EQ(BitmapCheck::Check("BM"), Result::Truncated);

    // Cut at every length: in the headers, in the colour table, in the last pixel row.
    const QByteArray good = MakeBitmap(9, 3, 8);
    for (qsizetype n = 2; n < good.size(); ++n)
        EXPECT_NE(BitmapCheck::Check(good.left(n)), Result::Ok) << "cut at " << n;

    QByteArray zeroWidth = MakeBitmap(4, 4, 8);
    zeroWidth[18] = 0;
    EXPECT_EQ(BitmapCheck::Check(zeroWidth), Result::Unsupported);
    QByteArray huge = MakeBitmap(4, 4, 1);
    huge[21] = char(0x7f); // a height of two thousand million rows in a tiny file
    EXPECT_NE(BitmapCheck::Check(huge), Result::Ok);
    QByteArray rle = MakeBitmap(4, 4, 8);
    rle[30] = 2; // RLE4 on an 8-bit picture
    EXPECT_EQ(BitmapCheck::Check(rle), Result::Unsupported);

    EXPECT_EQ(BitmapCheck::CheckFile(QStringLiteral("/nonexistent/x.bmp")), Result::Unreadable);
}

TEST(PrintHeaderText, ParsesLinesOptionAndLineEnds) {
    struct Case {
        QByteArray file;
        QString line1, line3;
        int option;
    } cases[] = {
        {"A\r\nB\r\nC\r\nsign=2\r\n", "A", "C", 2},
        {"A\nB\nC\nsign=1\n", "A", "C", 1},
        {"A\nB\nC\n", "A", "C", 0},         // three lines
        {"A\nB\nC\nsign=5\n", "A", "C", 0}, // option out of range
        {"A\nB\nC\nsign=-1\n", "A", "C", 0},
        {"A\nB\nC\nSIGN=2\n", "A", "C", 0}, // not "sign="
        {"A\nB\nC\noption=2\n", "A", "C", 0},
        {"A\nB\nC\nsign=1x\n", "A", "C", 1},
        {"A\nB", "A", "", 0},
        {"", "", "", 0},
        {"Firma \xc8"
         "ernik\r\n\r\n\r\nsign=1",
         QStringLiteral("Firma \u010cernik"), "", 1},
    };
    for (const Case& c : cases) {
        const CPrintHeaderText h = CPrintHeaderText::Parse(c.file, "CP1250");
        EXPECT_EQ(h.Line(0), c.line1) << c.file.toStdString();
        EXPECT_EQ(h.Line(2), c.line3) << c.file.toStdString();
        EXPECT_EQ(h.Option(), c.option) << c.file.toStdString();
    }
    // A line longer than 50 characters in the file is cut and does not spill into the next.
    const QByteArray longLine = QByteArray(60, 'x') + "\nsecond\nthird\nsign=2\n";
    const CPrintHeaderText h = CPrintHeaderText::Parse(longLine, "CP1252");
    EXPECT_EQ(h.Line(0), QString(50, QLatin1Char('x')));
    EXPECT_EQ(h.Line(1), QStringLiteral("second"));
    EXPECT_EQ(h.Option(), 2);
}

TEST(PrintHeaderText, StoresFiftyCharactersInTheCodePage) {
    QTemporaryDir dir;
    CPrintHeaderText h;
    // Sixty characters, each two bytes in UTF-8 but one in cp1252: fifty are kept.
    const QString sixty = QString(60, QChar(0x00e9));
    ASSERT_TRUE(h.SetLine(0, sixty));
    EXPECT_EQ(h.Line(0), QString(50, QChar(0x00e9)));
    // A decomposed accent counts as one character.
    ASSERT_TRUE(h.SetLine(1, QStringLiteral("Caf") + QStringLiteral("e\u0301")));
    EXPECT_EQ(h.Line(1), QStringLiteral("Caf\u00e9"));
    ASSERT_TRUE(h.SetLine(2, QStringLiteral("Line\r\nbreak")));
    EXPECT_EQ(h.Line(2), QStringLiteral("Line  break"));
    ASSERT_TRUE(h.SetOption(2));
    EXPECT_FALSE(h.SetOption(3));
    EXPECT_FALSE(h.SetOption(-1));
    EXPECT_EQ(h.Option(), 2);

    ASSERT_TRUE(h.Write(dir.path(), "CP1252"));
    const QByteArray bytes = ReadBytes(dir.filePath(QStringLiteral("header.txt")));
    EXPECT_EQ(bytes, QByteArray(50, '\xe9') + "\r\nCaf\xe9\r\nLine  break\r\nsign=2\r\n");
    CPrintHeaderText back;
    ASSERT_TRUE(back.Read(dir.path(), "CP1252"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(back.Line(i), h.Line(i));
    EXPECT_EQ(back.Option(), 2);
}

TEST(PrintHeaderText, RefusesCharactersTheCodePageLacks) {
    QTemporaryDir dir;
    CPrintHeaderText h;
    ASSERT_TRUE(h.SetLine(0, QStringLiteral("Kept")));
    QString bad;
    // U+4E2D is in neither code page; the line stays as it was.
    EXPECT_FALSE(h.SetLine(0, QStringLiteral("Firma \u4e2d"), &bad));
    EXPECT_EQ(bad, QStringLiteral("\u4e2d"));
    EXPECT_EQ(h.Line(0), QStringLiteral("Kept"));

    // A character of cp1250 that cp1252 lacks: written in one page, refused by the other,
    // and the old file stays.
    CPrintHeaderText czech;
    czech.SetOption(1);
    ASSERT_TRUE(czech.Write(dir.path(), "CP1250")); // nothing Czech yet
    const QByteArray before = ReadBytes(dir.filePath(QStringLiteral("header.txt")));
    CPrintHeaderText c2 = CPrintHeaderText::Parse("\xc8"
                                                  "eske\n",
                                                  "CP1250");
    bad.clear();
    EXPECT_FALSE(c2.Write(dir.path(), "CP1252", &bad));
    EXPECT_EQ(bad, QStringLiteral("\u010c"));
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("header.txt"))), before);
    EXPECT_TRUE(c2.Write(dir.path(), "CP1250"));
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("header.txt"))),
              QByteArray("\xc8"
                         "eske\r\n\r\n\r\nsign=0\r\n"));

    EXPECT_FALSE(CPrintHeaderText().Read(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(h.Write(dir.filePath(QStringLiteral("missing/folder"))));
}

TEST(PrintHeaderFiles, SignaturesAreScrambledReplacedAndListedByName) {
    QTemporaryDir dir;
    QTemporaryDir source;
    const QByteArray anna = MakeBitmap(31, 7, 1, 3);
    const QByteArray anna2 = MakeBitmap(20, 9, 4, 9);
    const QString annaPath = source.filePath(QStringLiteral("Anna.bmp"));
    ASSERT_TRUE(WriteBytes(annaPath, anna));
    ASSERT_TRUE(WriteBytes(source.filePath(QStringLiteral("bert.bmp.BMP")), MakeBitmap(8, 8, 8)));

    QString name;
    EXPECT_EQ(CPrintHeaderText::StoreSignature(dir.path(), annaPath, &name), 0);
    EXPECT_EQ(name, QStringLiteral("Anna"));
    const QByteArray stored = ReadBytes(dir.filePath(QStringLiteral("Anna.sign")));
    ASSERT_EQ(stored.size(), anna.size());
    for (qsizetype i = 0; i < stored.size(); ++i)
        ASSERT_EQ(quint8(stored[i]), quint8(anna[i]) ^ SignatureKey::kKey[std::size_t(i % 4)]) << i;
    QByteArray bitmap;
    ASSERT_TRUE(CPrintHeaderText::ReadSignature(dir.path(), QStringLiteral("Anna"), bitmap));
    EXPECT_EQ(bitmap, anna);

    // The same name again replaces the file (a shorter file leaves nothing of the longer).
    ASSERT_TRUE(WriteBytes(annaPath, anna2));
    EXPECT_EQ(CPrintHeaderText::StoreSignature(dir.path(), annaPath, &name), 0);
    ASSERT_TRUE(CPrintHeaderText::ReadSignature(dir.path(), QStringLiteral("Anna"), bitmap));
    EXPECT_EQ(bitmap, anna2);

    EXPECT_EQ(
        CPrintHeaderText::StoreSignature(dir.path(), source.filePath(QStringLiteral("bert.bmp.BMP")), &name),
        0);
    EXPECT_EQ(name, QStringLiteral("bert"));
    ASSERT_TRUE(WriteBytes(dir.filePath(QStringLiteral("notes.txt")), "x"));
    EXPECT_EQ(CPrintHeaderText::SignatureNames(dir.path()),
              (QStringList{QStringLiteral("Anna"), QStringLiteral("bert")}));

    EXPECT_FALSE(CPrintHeaderText::DeleteSignature(dir.path(), QStringLiteral("../Anna")));
    EXPECT_FALSE(CPrintHeaderText::DeleteSignature(dir.path(), QStringLiteral("nobody")));
    EXPECT_TRUE(CPrintHeaderText::DeleteSignature(dir.path(), QStringLiteral("Anna")));
    EXPECT_EQ(CPrintHeaderText::SignatureNames(dir.path()), QStringList{QStringLiteral("bert")});
}

TEST(PrintHeaderFiles, BadBitmapsChangeNothing) {
    QTemporaryDir dir;
    QTemporaryDir source;
    const QByteArray logo = MakeBitmap(40, 10, 8);
    const QString good = source.filePath(QStringLiteral("logo-source.bmp"));
    ASSERT_TRUE(WriteBytes(good, logo));
    ASSERT_EQ(CPrintHeaderText::StoreLogo(dir.path(), good), 0);
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("logo.bmp"))), logo);
    ASSERT_EQ(CPrintHeaderText::StoreSignature(dir.path(), good), 0);

    const QByteArray eightBit = MakeBitmap(40, 10, 8);
    const struct {
        const char* file;
        QByteArray bytes;
    } bad[] = {{"deep.bmp", MakeBitmap(4, 4, 24)},
               {"cut.bmp", eightBit.left(eightBit.size() - 1)},
               {"picture.bmp", PngBytes()},
               {"logo-source.bmp", QByteArray()}};
    const QStringList before = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    for (const auto& b : bad) {
        const QString path = source.filePath(QString::fromLatin1(b.file));
        ASSERT_TRUE(WriteBytes(path, b.bytes));
        EXPECT_EQ(CPrintHeaderText::StoreLogo(dir.path(), path), CPrintHeaderText::kBitmapRefused) << b.file;
        EXPECT_EQ(CPrintHeaderText::StoreSignature(dir.path(), path), CPrintHeaderText::kBitmapRefused)
            << b.file;
    }
    EXPECT_EQ(CPrintHeaderText::StoreLogo(dir.path(), source.filePath(QStringLiteral("none.bmp"))),
              CPrintHeaderText::kBitmapRefused);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name), before);
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("logo.bmp"))), logo);
    QByteArray sig;
    ASSERT_TRUE(CPrintHeaderText::ReadSignature(dir.path(), QStringLiteral("logo-source"), sig));
    EXPECT_EQ(sig, logo);

    // A data folder that cannot be written: the store fails as such.
    ASSERT_TRUE(WriteBytes(good, logo));
    ASSERT_EQ(CPrintHeaderText::StoreLogo(dir.filePath(QStringLiteral("missing")), good),
              CPrintHeaderText::kStoreFailed);
}

} // namespace
