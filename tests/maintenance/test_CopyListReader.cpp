// The copy list: line ends, fields, the five commands and their decisions, the sizes and
// the files of the package.
#include "maintenance/CopyListReader.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sizes of a package without a folder: every name given exists with its size.
CCopyListReader::SizeOf Sizes(const QMap<QString, qint64>& files) {
    return [files](const QString& name) { return files.value(name, -1); };
}

QStringList Names(const CCopyListReader& r) {
    QStringList names;
    for (const CopyEntry& e : r.Entries())
        names << e.fileName;
    return names;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(CopyListReader, LinesEndAtLfWithTheCrRemovedAndAnUnendedLastLineIsNotRead) {
    struct Case {
        QByteArray bytes;
        std::vector<QByteArray> lines;
    } cases[] = {
        {"a\r\nb\nc", {"a", "b"}},
        {"copy a b\r\n", {"copy a b"}},
        {"a\rb\rc\r", {}}, // CR-only line ends: one unended line
        {"\n\r\n", {"", ""}},
        {"x\r\r\n", {"x\r"}}, // only the CR right before the LF belongs to the line end
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CCopyListReader::Lines(c.bytes), c.lines) << c.bytes.toStdString();
}

TEST(CopyListReader, FieldsSplitAtBlanksAndTabsAndTheThirdRunsToTheLineEnd) {
    struct Case {
        QByteArray line, f1, f2, f3;
    } cases[] = {
        {"copy a.dll \\%SYSTEM%\\a.dll", "copy", "a.dll", "\\%SYSTEM%\\a.dll"},
        {" \t copy\t \t a.dll \t\\Flash\\My Files\\a.dll  ", "copy", "a.dll", "\\Flash\\My Files\\a.dll  "},
        {"minversion 4.0.0", "minversion", "4.0.0", ""},
        {"firmware", "firmware", "", ""},
        {"", "", "", ""},
        {"copy a b\rc", "copy", "a", "b"}, // a stray CR never reaches a command line
    };
    for (const Case& c : cases) {
        QByteArray f1, f2, f3;
        CCopyListReader::SplitFields(c.line, f1, f2, f3);
        EXPECT_EQ(f1, c.f1) << c.line.toStdString();
        EXPECT_EQ(f2, c.f2) << c.line.toStdString();
        EXPECT_EQ(f3, c.f3) << c.line.toStdString();
    }
}

TEST(CopyListReader, CommandsDecideAgainstTheTesterVersionsInFileOrder) {
    const QMap<QString, qint64> files{{"a.dll", 10},
                                      {"Remote.dll", 20},
                                      {"Firmware_1.40.bin", 30},
                                      {"Firmware_V2.12.bin", 40},
                                      {"firmware_V2.12.bin", 50}};
    struct Case {
        const char* what;
        QString software, firmware;
        QByteArray list;
        QStringList copied;
        QString minimum, packageFirmware;
    } cases[] = {
        {"copy always copies, any letter case",
         "4.4",
         "V2.10",
         "COPY a.dll x\nCopy a.dll y\n",
         {"a.dll", "a.dll"},
         "",
         ""},
        {"a V2 firmware line against a 1. tester leaves the package firmware empty, so a 1. file copies",
         "4.4",
         "1.30",
         "firmware V2.12\ncopy_ifnotequal_firmware Firmware_1.40.bin x\n",
         {"Firmware_1.40.bin"},
         "",
         ""},
        {"equal firmware is not copied",
         "4.4",
         "V2.12",
         "firmware V2.12\ncopy_ifnotequal_firmware Firmware_V2.12.bin x\n",
         {},
         "",
         "V2.12"},
        {"other firmware of the family is copied",
         "4.4",
         "V2.10",
         "firmware V2.12\nCOPY_IFNOTEQUAL_FIRMWARE Firmware_V2.12.bin x\n",
         {"Firmware_V2.12.bin"},
         "",
         "V2.12"},
        {"prefixes are case-sensitive",
         "4.4",
         "V2.10",
         "firmware v2.12\ncopy_ifnotequal_firmware firmware_V2.12.bin x\ncopy_ifnotequal_firmware "
         "Firmware_1.40.bin x\n",
         {},
         "",
         ""},
        {"minversion before it: the empty minimum never copies",
         "1.0",
         "V2.10",
         "copy_iflessthen_minversion Remote.dll x\nminversion 4.0.0\n",
         {},
         "4.0.0",
         ""},
        {"lower than the minimum copies",
         "3.9.9",
         "V2.10",
         "minversion 4.0.0\ncopy_iflessthen_minversion Remote.dll x\n",
         {"Remote.dll"},
         "4.0.0",
         ""},
        {"equal to the minimum does not",
         "4,0,0,0",
         "V2.10",
         "minversion 4.0.0\ncopy_iflessthen_minversion Remote.dll x\n",
         {},
         "4.0.0",
         ""},
        {"unknown commands and empty lines are ignored",
         "4.4",
         "V2.10",
         "\n; comment\nremove a.dll\n\t\n",
         {},
         "",
         ""},
        {"the last line without LF is not read",
         "4.4",
         "V2.10",
         "copy a.dll x\ncopy Remote.dll y",
         {"a.dll"},
         "",
         ""},
    };
    for (const Case& c : cases) {
        CCopyListReader r;
        r.SetTesterVersions(c.software, c.firmware);
        EXPECT_TRUE(r.Parse(c.list, Sizes(files))) << c.what;
        EXPECT_EQ(Names(r), c.copied) << c.what;
        EXPECT_EQ(r.MinimumVersion(), c.minimum) << c.what;
        EXPECT_EQ(r.PackageFirmwareVersion(), c.packageFirmware) << c.what;
    }
}

TEST(CopyListReader, AMissingFileToCopyEndsTheReadingWithNoEntries) {
    CCopyListReader r;
    r.SetTesterVersions(QStringLiteral("4.4"), QStringLiteral("V2.10"));
    const auto sizes = Sizes({{"a.dll", 1000}, {"b.dll", 2000}});
    EXPECT_TRUE(r.Parse("copy a.dll x\ncopy b.dll y\n", sizes));
    EXPECT_EQ(r.EntryCount(), 2);
    EXPECT_EQ(r.TotalSize(), 3000);
    EXPECT_EQ(r.Entries()[1].testerPath, QStringLiteral("y"));
    EXPECT_FALSE(r.Parse("copy a.dll x\ncopy gone.dll y\ncopy b.dll z\n", sizes));
    EXPECT_EQ(r.EntryCount(), 0);
    EXPECT_EQ(r.MissingFile(), QStringLiteral("gone.dll"));
    // A conditional line that does not copy needs no file.
    EXPECT_TRUE(r.Parse("copy_iflessthen_minversion gone.dll y\n", sizes));
    // An empty list is a package with nothing to copy.
    EXPECT_TRUE(r.Parse("", sizes));
    EXPECT_EQ(r.EntryCount(), 0);
}

TEST(CopyListReader, PackageFilesResolveInsideTheFolderOnly) {
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("pkg/Texts/Languages.txt")), "abc");
    WriteFile(dir.filePath(QStringLiteral("pkg/Remote.dll")), "12345");
    WriteFile(dir.filePath(QStringLiteral("secret.txt")), "no");
    const QString pkg = dir.filePath(QStringLiteral("pkg"));
    struct Case {
        QString name;
        QString found; // relative to pkg, empty: not found
    } cases[] = {
        {"Texts\\Languages.txt", "Texts/Languages.txt"},
        {"texts\\LANGUAGES.TXT", "Texts/Languages.txt"},
        {"REMOTE.DLL", "Remote.dll"},
        {"..\\secret.txt", ""},
        {"Texts\\..\\..\\secret.txt", ""},
        {dir.filePath(QStringLiteral("secret.txt")), ""},
        {"\\secret.txt", ""},
        {"Texts", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CCopyListReader::ResolveFile(pkg, c.name),
                  c.found.isEmpty() ? QString() : pkg + "/" + c.found)
            << c.name.toStdString();

    WriteFile(pkg + QStringLiteral("/CopyList.txt"),
              "copy texts\\languages.txt \\%SYSTEM%\\Texts\\Languages.txt\r\ncopy Remote.dll "
              "\\%SYSTEM%\\Remote.dll\r\n");
    CCopyListReader r;
    ASSERT_TRUE(r.Open(pkg));
    ASSERT_EQ(r.EntryCount(), 2);
    EXPECT_EQ(r.Entries()[0].size, 3);
    EXPECT_EQ(r.Entries()[1].size, 5);
    WriteFile(pkg + QStringLiteral("/CopyList.txt"), "copy ..\\secret.txt x\r\n");
    EXPECT_FALSE(r.Open(pkg));
    EXPECT_FALSE(r.Open(dir.filePath(QStringLiteral("nowhere"))));
    EXPECT_EQ(r.MissingFile(), QStringLiteral("CopyList.txt"));
}

TEST(CopyListReader, LongListsAndHugeLinesAreReadWhole) {
    QByteArray list;
    for (int i = 0; i < 10000; ++i)
        list += (i % 2 ? "copy\ta.dll \\%SYSTEM%\\a" : "  COPY  a.dll\t\\%SYSTEM%\\b") +
                QByteArray::number(i) + "\r\n";
    list += "copy a.dll " + QByteArray(5 * 1024 * 1024, 'x') + "\n";
    CCopyListReader r;
    ASSERT_TRUE(r.Parse(list, Sizes({{"a.dll", 7}})));
    EXPECT_EQ(r.EntryCount(), 10001);
    EXPECT_EQ(r.TotalSize(), 70007);
    EXPECT_EQ(r.Entries()[9999].testerPath, QStringLiteral("\\%SYSTEM%\\a9999"));
    EXPECT_EQ(r.Entries()[10000].testerPath.size(), 5 * 1024 * 1024);
}
