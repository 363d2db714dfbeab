#include "platform/RegistryKey.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {
class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", dir.path().toUtf8()); }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    QTemporaryDir dir;
};
} // namespace

TEST_F(RegistryKeyTest, ValuesKeepTheirTypesAcrossOpens) {
    CRegistryKey key;
    bool created = false;
    int err = 0;
    EXPECT_FALSE(key.Open(false, &created, &err));
    EXPECT_EQ(err, ENOENT);
    ASSERT_TRUE(key.Open(true, &created, &err));
    EXPECT_TRUE(created);
    ASSERT_TRUE(key.SetDword(QStringLiteral("ExternalPathEnable"), 1, &err));
    ASSERT_TRUE(key.SetSz(QStringLiteral("ExternalDataPath"), QStringLiteral("\\\\server\\share\nx"), &err));

    CRegistryKey again;
    ASSERT_TRUE(again.Open(true, &created, &err));
    EXPECT_FALSE(created);
    quint32 n = 0;
    QString s;
    EXPECT_TRUE(again.QueryDword(QStringLiteral("externalpathenable"), n, &err));
    EXPECT_EQ(n, 1u);
    EXPECT_TRUE(again.QuerySz(QStringLiteral("ExternalDataPath"), s, 520, &err));
    EXPECT_EQ(s, QStringLiteral("\\\\server\\share\nx"));

    // The wrong type, a missing value and a text too long for the reader's buffer.
    EXPECT_FALSE(again.QuerySz(QStringLiteral("ExternalPathEnable"), s, 520, &err));
    EXPECT_EQ(err, EINVAL);
    EXPECT_FALSE(again.QueryDword(QStringLiteral("Comment"), n, &err));
    EXPECT_EQ(err, ENOENT);
    ASSERT_TRUE(again.SetSz(QStringLiteral("Comment"), QString(259, QLatin1Char('c')), &err));
    EXPECT_TRUE(again.QuerySz(QStringLiteral("Comment"), s, 520, &err));
    ASSERT_TRUE(again.SetSz(QStringLiteral("Comment"), QString(260, QLatin1Char('c')), &err));
    EXPECT_FALSE(again.QuerySz(QStringLiteral("Comment"), s, 520, &err));
    EXPECT_EQ(err, EOVERFLOW);
    EXPECT_TRUE(CRegistryKey::ErrorText(EINVAL).endsWith(QLatin1Char('\n')));
}

TEST_F(RegistryKeyTest, AKeyThatCannotBeCreatedReportsTheSystemError) {
    // The key's folder name is taken by a plain file.
    QFile blocker(dir.filePath(QStringLiteral("VELMOR 740ST - Roziraz Uvurad")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CRegistryKey key;
    bool created = true;
    int err = 0;
    EXPECT_FALSE(key.Open(true, &created, &err));
    EXPECT_FALSE(created);
    EXPECT_NE(err, 0);
}

// Value names come from the key file, which an administrator edits; a "%1" in one must not
// be taken for a placeholder when the file is written back.
TEST_F(RegistryKeyTest, NamesWithPercentDigitsSurviveASave) {
    CRegistryKey key;
    bool created = false;
    int err = 0;
    ASSERT_TRUE(key.Open(true, &created, &err));
    ASSERT_TRUE(key.SetDword(QStringLiteral("Count%1"), 7, &err));
    ASSERT_TRUE(key.SetDword(QStringLiteral("%2Size"), 9, &err));
    CRegistryKey again;
    ASSERT_TRUE(again.Open(false, &created, &err));
    quint32 n = 0;
    EXPECT_TRUE(again.QueryDword(QStringLiteral("Count%1"), n, &err));
    EXPECT_EQ(n, 7u);
    EXPECT_TRUE(again.QueryDword(QStringLiteral("%2Size"), n, &err));
    EXPECT_EQ(n, 9u);
}
