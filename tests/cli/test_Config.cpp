#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(CliConfig, WritesAndReadsSettingsLikeTheDialogs) {
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("new folder"));
    auto run = [&](const QStringList& args) {
        return RunProgram(QStringLiteral("v740ctl"),
                          QStringList{QStringLiteral("--data"), data, QStringLiteral("config")} + args);
    };
    EXPECT_EQ(run({QStringLiteral("RS232"), QStringLiteral("Port")}).out, QStringLiteral("\n"));
    EXPECT_EQ(run({QStringLiteral("RS232"), QStringLiteral("Port"), QStringLiteral("/dev/ttyUSB0")}).exitCode,
              0);
    EXPECT_EQ(run({QStringLiteral("rs232"), QStringLiteral("PORT")}).out, QStringLiteral("/dev/ttyUSB0\n"));
    EXPECT_EQ(run({QStringLiteral("RS232")}).exitCode, 2);
    QFile ini(data + QStringLiteral("/V740Control.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), QByteArray("[RS232]\r\nPort=/dev/ttyUSB0\r\n"));
}
