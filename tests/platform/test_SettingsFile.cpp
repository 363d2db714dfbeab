#include "platform/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(SettingsFileTest, AMissingFileGivesEveryDefault) {
    QTemporaryDir tmp;
    const CSettingsValues v = CSettingsFile(tmp.path()).Read();
    EXPECT_EQ(v.language, QStringLiteral("Deutsch"));
    EXPECT_EQ(v.importInterface, 0);
    EXPECT_EQ(v.importPV, 1);
    EXPECT_EQ(v.importFilter, 0);
    EXPECT_EQ(v.importDisk, QString());
    EXPECT_EQ(v.importFolder, QString());
    EXPECT_EQ(v.port, QStringLiteral("COM1:"));
    EXPECT_EQ(v.baudRate, QStringLiteral("115200"));
    EXPECT_EQ(v.dataBits, QStringLiteral("8"));
    EXPECT_EQ(v.signBitmap, QString());
    EXPECT_FALSE(QFile::exists(tmp.filePath(QStringLiteral("V740Control.ini")))) << "reading creates nothing";
}

// What one writer writes, a second reader of the same folder reads back; the keys land
// under the sections and names the file has always used.
TEST(SettingsFileTest, EveryWriteIsReadBackAndLandsUnderItsSectionAndKey) {
    QTemporaryDir tmp;
    CSettingsFile w(tmp.path());
    const QString disk = QStringLiteral("/run/media/bernadette.kowalczyk/INTENSO_USB_STICK_64GB_2019/");
    const QString port = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ASSERT_TRUE(w.WriteLanguage(QStringLiteral("Français")));
    ASSERT_TRUE(w.WriteImportInterface(2));
    ASSERT_TRUE(w.WriteImportPV(0));
    ASSERT_TRUE(w.WriteImportFilter(1));
    ASSERT_TRUE(w.WriteImportDisk(disk));
    ASSERT_TRUE(w.WriteImportFolder(QStringLiteral("/home/b/Prüfungen")));
    ASSERT_TRUE(w.WriteSerial(port, QStringLiteral("57600"), QStringLiteral("7")));
    ASSERT_TRUE(w.WriteSignBitmap(QStringLiteral("sign.bmp")));
    ASSERT_TRUE(w.WriteLastEdit(QStringLiteral("Client"), QStringLiteral("Stadtwerke")));

    const CSettingsFile r(tmp.path());
    const CSettingsValues v = r.Read();
    EXPECT_EQ(v.language, QStringLiteral("Français"));
    EXPECT_EQ(v.importInterface, 2);
    EXPECT_EQ(v.importPV, 0);
    EXPECT_EQ(v.importFilter, 1);
    EXPECT_EQ(v.importDisk, disk) << "a mount point is kept whole";
    EXPECT_EQ(v.importFolder, QStringLiteral("/home/b/Prüfungen"));
    EXPECT_EQ(v.port, port);
    EXPECT_EQ(v.baudRate, QStringLiteral("57600"));
    EXPECT_EQ(v.dataBits, QStringLiteral("7"));
    EXPECT_EQ(v.signBitmap, QStringLiteral("sign.bmp"));
    EXPECT_EQ(r.LastEdit(QStringLiteral("client")), QStringLiteral("Stadtwerke"));

    const QString text = QString::fromUtf8(ReadAll(r.Path()));
    EXPECT_EQ(r.Path(), tmp.filePath(QStringLiteral("V740Control.ini")));
    for (const char* line : {"[Ansicht]", "Sprache=Français", "[Import]", "Interface=2", "PV=0", "Filter=1",
                             "[RS232]", "Port=/dev/serial", "Baudrate=57600", "Databits=7", "[SignBitmap]",
                             "Sign=sign.bmp", "[LastEdit]", "Client=Stadtwerke"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line << " in\n" << text.toStdString();
}

TEST(SettingsFileTest, LimitsAndTheLanguageAreAppliedOnReading) {
    struct Case {
        const char* what;
        QByteArray ini;
        std::function<void(const CSettingsFile&)> check;
    };
    const Case cases[] = {
        {"language in any case becomes the catalogue's column", "[Ansicht]\nSprache=česky\n",
         [](const CSettingsFile& f) { EXPECT_EQ(f.Language(), QStringLiteral("Česky")); }},
        {"an unknown language falls back", "[Ansicht]\nSprache=Klingon\n",
         [](const CSettingsFile& f) { EXPECT_EQ(f.Language(), QStringLiteral("Deutsch")); }},
        {"paths are cut at 259, short values at 31",
         "[Import]\nDisk=" + QByteArray(300, 'd') + "\n[RS232]\nPort=" + QByteArray(300, 'p') +
             "\nBaudrate=" + QByteArray(40, '1') + "\n",
         [](const CSettingsFile& f) {
             const CSettingsValues v = f.Read();
             EXPECT_EQ(v.importDisk.size(), 259);
             EXPECT_EQ(v.port.size(), 259);
             EXPECT_EQ(v.baudRate.size(), 31);
         }},
        {"a last value is read back up to 254 characters", "[LastEdit]\nRoom=" + QByteArray(300, 'r') + "\n",
         [](const CSettingsFile& f) { EXPECT_EQ(f.LastEdit(QStringLiteral("Room")).size(), 254); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir tmp;
        QFile f(tmp.filePath(QStringLiteral("V740Control.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.ini);
        f.close();
        c.check(CSettingsFile(tmp.path()));
    }
}
