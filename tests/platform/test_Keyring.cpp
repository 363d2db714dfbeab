// The desktop keyring through secret-tool, on a keyring of the test's own.
#include "platform/Keyring.h"
#include "support/TestKeyring.h"

#include <gtest/gtest.h>

TEST(Keyring, KeepsAPasswordPerLoginAndGivesItBackAsTyped) {
    CTestKeyring keyring;
    if (!keyring.Problem().isEmpty())
        GTEST_SKIP() << keyring.Problem().toStdString();
    const Keyring::Account anna{QStringLiteral("db.example.org"), QStringLiteral("5432"),
                                QStringLiteral("v740"), QStringLiteral("anna")};
    Keyring::Account ben = anna;
    ben.user = QStringLiteral("ben");
    QString error;
    EXPECT_TRUE(Keyring::Lookup(anna, &error).isEmpty());
    EXPECT_TRUE(error.isEmpty()) << "nothing kept is no failure: " << error.toStdString();

    // Spaces, quotes, a backslash and letters beyond ASCII come back unchanged.
    const QString word = QStringLiteral(" Pässwort \"mit\" \\ Zeichen ");
    ASSERT_TRUE(Keyring::Store(anna, word, &error)) << error.toStdString();
    EXPECT_EQ(Keyring::Lookup(anna), word);
    EXPECT_TRUE(Keyring::Lookup(ben).isEmpty()) << "another login of the same database has its own";
    Keyring::Account otherPort = anna;
    otherPort.port = QStringLiteral("5433");
    EXPECT_TRUE(Keyring::Lookup(otherPort).isEmpty());

    // A second store replaces the first; clear removes it.
    ASSERT_TRUE(Keyring::Store(anna, QStringLiteral("new"), &error)) << error.toStdString();
    EXPECT_EQ(Keyring::Lookup(anna), QStringLiteral("new"));
    EXPECT_FALSE(Keyring::Store(anna, QString(), &error));
    EXPECT_EQ(Keyring::Lookup(anna), QStringLiteral("new"));
    ASSERT_TRUE(Keyring::Clear(anna, &error)) << error.toStdString();
    EXPECT_TRUE(Keyring::Lookup(anna).isEmpty());
}

TEST(Keyring, NoKeyringServiceIsToldNotHung) {
    // A session bus address that leads nowhere: the lookup fails at once with a reason.
    if (!Keyring::Available())
        GTEST_SKIP() << "secret-tool is not installed";
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const bool had = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    QString error;
    EXPECT_TRUE(
        Keyring::Lookup({QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("d"), QStringLiteral("u")},
                        &error)
            .isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(
        Keyring::Store({QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("d"), QStringLiteral("u")},
                       QStringLiteral("x"), &error));
    EXPECT_FALSE(error.isEmpty());
    if (had)
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}
