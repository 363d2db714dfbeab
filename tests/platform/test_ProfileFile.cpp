#include "platform/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void WriteRaw(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}
} // namespace

TEST(ProfileFile, ReadsLikeThePrivateProfileFunctions) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("V740Control.ini"));
    CProfileFile ini(path);
    // A missing file yields every default.
    EXPECT_EQ(
        ini.GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QStringLiteral("Deutsch"), 31),
        QStringLiteral("Deutsch"));
    EXPECT_EQ(ini.GetInt(QStringLiteral("Import"), QStringLiteral("PV"), 1), 1);

    WriteRaw(path, "\xEF\xBB\xBF; settings\r\n[ANSICHT]\r\n  sprache = English  \r\n"
                   "[Import]\r\nPV=abc\r\nInterface=2\r\nFilter=\r\nFolder=\"/media/usb stick\"\r\n"
                   "Disk=" +
                       QByteArray(40, 'x') + "\r\n[RS232]\r\nPort=/dev/ttyUSB0\r\n");
    EXPECT_EQ(
        ini.GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QStringLiteral("Deutsch"), 31),
        QStringLiteral("English"));
    EXPECT_EQ(ini.GetInt(QStringLiteral("Import"), QStringLiteral("PV"), 1), 1) << "garbage falls back";
    EXPECT_EQ(ini.GetInt(QStringLiteral("Import"), QStringLiteral("Filter"), 0), 0);
    EXPECT_EQ(ini.GetInt(QStringLiteral("import"), QStringLiteral("INTERFACE"), 0), 2);
    EXPECT_EQ(ini.GetString(QStringLiteral("Import"), QStringLiteral("Folder"), QString(), 259),
              QStringLiteral("/media/usb stick"));
    EXPECT_EQ(ini.GetString(QStringLiteral("Import"), QStringLiteral("Disk"), QString(), 31),
              QString(31, QLatin1Char('x')));
    EXPECT_EQ(
        ini.GetString(QStringLiteral("RS232"), QStringLiteral("Baudrate"), QStringLiteral("115200"), 31),
        QStringLiteral("115200"));
}

TEST(ProfileFile, WritingKeepsTheRestOfTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("V740Control.ini"));
    WriteRaw(path, "; keep me\n[Ansicht]\nSprache=Deutsch\n\n[RS232]\nPort=COM1:\n");
    CProfileFile ini(path);
    ASSERT_TRUE(
        ini.WriteString(QStringLiteral("ansicht"), QStringLiteral("SPRACHE"), QStringLiteral("Česky")));
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Ansicht"), QStringLiteral("Extra"), QStringLiteral("1")));
    ASSERT_TRUE(
        ini.WriteString(QStringLiteral("LastEdit"), QStringLiteral("Client"), QStringLiteral("O'Brien")));
    ASSERT_TRUE(ini.WriteInt(QStringLiteral("RS232"), QStringLiteral("Databits"), 7));

    EXPECT_EQ(ini.GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QString()),
              QStringLiteral("Česky"));
    EXPECT_EQ(ini.GetString(QStringLiteral("Ansicht"), QStringLiteral("Extra"), QString()),
              QStringLiteral("1"));
    EXPECT_EQ(ini.GetString(QStringLiteral("RS232"), QStringLiteral("Port"), QString()),
              QStringLiteral("COM1:"));
    EXPECT_EQ(ini.GetInt(QStringLiteral("RS232"), QStringLiteral("Databits"), 8), 7);
    EXPECT_EQ(ini.GetString(QStringLiteral("LastEdit"), QStringLiteral("Client"), QString()),
              QStringLiteral("O'Brien"));

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("; keep me"))) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("[Ansicht]")), 1);
    EXPECT_LT(text.indexOf(QStringLiteral("Extra=1")), text.indexOf(QStringLiteral("[RS232]")))
        << "a new key joins its own section";
}
