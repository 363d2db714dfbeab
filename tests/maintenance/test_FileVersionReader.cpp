// The version resource of PE files: where the value is looked up, the failure markers,
// and hostile files that must end in a marker without reading outside their bytes.
#include "maintenance/FileVersionReader.h"
#include "mkupdate/PeImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

QString Value(const QByteArray& file, const char* key = "FileVersion") {
    QString text;
    FileVersion::ReadVersionValue(file, QString::fromLatin1(key), text);
    return text;
}

PeImage::Spec Spec(const char* file, const char* product) {
    PeImage::Spec s;
    s.fileVersion = QString::fromLatin1(file);
    s.productVersion = QString::fromLatin1(product);
    return s;
}

} // namespace

TEST(FileVersionReader, ValuesComeFromTheGermanBlockElseTheFirstTranslation) {
    struct Case {
        const char* what;
        PeImage::Spec spec;
        const char* key;
        QString expected;
    } cases[] = {
        {"040704b0 block", Spec("4.5.0.0", "4.5"), "FileVersion", "4.5.0.0"},
        {"product version", Spec("4.5.0.0", "4.5 Beta"), "ProductVersion", "4.5 Beta"},
        {"key without case", Spec("1,0,7,2", "1"), "fileversion", "1,0,7,2"},
        {"missing value", Spec("1", "1"), "Comments", "Info ?"},
    };
    for (Case& c : cases)
        EXPECT_EQ(Value(PeImage::Build(c.spec), c.key), c.expected) << c.what;

    PeImage::Spec english = Spec("2.1.0.0", "2.1");
    english.block = QStringLiteral("040904b0");
    english.language = 0x0409;
    EXPECT_EQ(Value(PeImage::Build(english)), QStringLiteral("2.1.0.0"));
    english.withTranslation = false; // no translation: the German block only
    EXPECT_EQ(Value(PeImage::Build(english)), QStringLiteral("Info ?"));
    english.withTranslation = true;
    english.language = 0x0407; // a translation that names another block
    EXPECT_EQ(Value(PeImage::Build(english)), QStringLiteral("Info ?"));

    PeImage::Spec wide = Spec("10.0.1.2", "10");
    wide.pe32plus = true;
    EXPECT_EQ(Value(PeImage::Build(wide)), QStringLiteral("10.0.1.2"));
    PeImage::Spec noStrings = Spec("1", "1");
    noStrings.withStrings = false;
    EXPECT_EQ(Value(PeImage::Build(noStrings)), QStringLiteral("Info ?"));
}

TEST(FileVersionReader, FilesWithoutAVersionResourceGiveInfoSize) {
    PeImage::Spec none = Spec("1", "1");
    none.withResource = false;
    for (const QByteArray& file : {PeImage::Build(none), QByteArray("MZ"), QByteArray("plain text\r\n"),
                                   QByteArray(4096, '\0'), QByteArray()})
        EXPECT_EQ(Value(file), QStringLiteral("InfoSize ?"));

    QTemporaryDir dir;
    QString text;
    EXPECT_FALSE(FileVersion::ReadFileVersion(dir.filePath(QStringLiteral("missing.dll")), text));
    EXPECT_EQ(text, QStringLiteral("InfoSize ?"));
    const QString path = dir.filePath(QStringLiteral("Velmor740.exe"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(PeImage::Build(Spec("4.3.3.0", "4.3.3")));
    f.close();
    EXPECT_TRUE(FileVersion::ReadFileVersion(path, text));
    EXPECT_EQ(text, QStringLiteral("4.3.3.0"));
    EXPECT_TRUE(FileVersion::ReadProductVersion(path, text));
    EXPECT_EQ(text, QStringLiteral("4.3.3"));
}

TEST(FileVersionReader, HostileFilesEndInAMarker) {
    const QByteArray good = PeImage::Build(Spec("4.5.0.0", "4.5"));
    const qsizetype rsrc = 0x200;
    auto patched = [&](qsizetype at, quint32 value) {
        QByteArray b = good;
        qToLittleEndian(value, b.data() + at);
        return b;
    };
    struct Case {
        const char* what;
        QByteArray file;
        QString expected;
    } cases[] = {
        {"data entry outside the file", patched(rsrc + 0x48, 0x7FFFFFF0u), "VersionInfo ?"},
        {"data size beyond the section", patched(rsrc + 0x4C, 0x00FFFFFFu), "VersionInfo ?"},
        {"name directory pointing back at the root", patched(rsrc + 20, 0x80000000u), "InfoSize ?"},
        {"language level pointing back at the root", patched(rsrc + 0x18 + 20, 0x80000000u), "InfoSize ?"},
        {"directory offset out of range", patched(rsrc + 20, 0x8FFFFFF0u), "InfoSize ?"},
        {"entry count far beyond the tree, read while the entries lie in it", patched(rsrc + 12, 0xFFFF0000u),
         "4.5.0.0"},
        {"no version type among entries running past the tree",
         [&] {
             QByteArray b = patched(rsrc + 12, 0xFFFF0000u);
             qToLittleEndian(quint32(17), b.data() + rsrc + 16);
             return b;
         }(),
         "InfoSize ?"},
        {"e_lfanew out of range", patched(0x3C, 0xFFFFFFF0u), "InfoSize ?"},
        {"section pointer out of range", patched(0x40 + 24 + 224 + 20, 0xFFFFFF00u), "InfoSize ?"},
        {"version block longer than its resource", patched(rsrc + 0x58, 0xFFFFu), "VersionInfo ?"},
        {"version block of length zero", patched(rsrc + 0x58, 0u), "VersionInfo ?"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Value(c.file), c.expected) << c.what;

    // Every truncation, and bytes flipped one at a time, end in a value or a marker.
    for (qsizetype n = 0; n < good.size(); n += 7) {
        const QString v = Value(good.left(n));
        EXPECT_TRUE(v == QLatin1String("4.5.0.0") || v.endsWith(QLatin1String(" ?"))) << n;
    }
    quint32 x = 12345;
    for (int i = 0; i < 4000; ++i) {
        QByteArray b = good;
        x = x * 1103515245u + 12345u;
        b[qsizetype(x % quint32(b.size()))] = char(x >> 24);
        (void)Value(b);
    }
}
