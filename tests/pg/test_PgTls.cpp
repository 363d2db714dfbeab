// A server on the network: TLS with the server's certificate verified, scram-sha-256
// passwords from ~/.pgpass, plain connections refused (scripts/pg-test-cluster.sh start-tls).
#include "PgTestServer.h"

#include "platform/Keyring.h"
#include "store/pg/PgConnect.h"
#include "support/TestKeyring.h"
#include "support/TestSupport.h"
#include "upgrade/ServerSetup.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PgTlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString folder = PgTestServer::TlsFolder();
        if (folder.isEmpty() || !QFile::exists(folder + QStringLiteral("/port")))
            GTEST_SKIP()
                << "no TLS test server (scripts/pg-test-cluster.sh start-tls found no server binaries "
                   "or no openssl)";
        port = QString::fromUtf8(ReadAll(folder + QStringLiteral("/port"))).trimmed();
        password = QString::fromUtf8(ReadAll(folder + QStringLiteral("/password"))).trimmed();
        certificate = folder + QStringLiteral("/server.crt");
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
        UsePassword(password);
    }
    void TearDown() override {
        qunsetenv("PGPASSFILE");
        PgConnect::ForgetRemembered();
    }

    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The password as ~/.pgpass would hold it (libpq reads PGPASSFILE instead).
    void UsePassword(const QString& word) {
        const QString path = dir.filePath(QStringLiteral("pgpass"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("*:%1:v740tls:v740tls:%2\n").arg(port, word).toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGPASSFILE", path.toUtf8());
    }
    QString Conninfo(const QString& host, const QString& security) const {
        return QStringLiteral("host=%1 port=%2 dbname=v740tls user=v740tls %3").arg(host, port, security);
    }
    // Past TLS and the password: the empty database has no schema yet, which is what the
    // check then finds.
    static bool GotIn(const ServerSetup::Check& check) {
        return !check.ok && check.message.contains(QLatin1String("server-init"));
    }

    QTemporaryDir dir;
    CNotifierScope notes;
    QString port, password, certificate;
};

} // namespace

TEST_F(PgTlsTest, OnlyAnEncryptedConnectionWithTheRightPasswordGetsIn) {
    ServerSetup::Check check =
        ServerSetup::Test(Conninfo(QStringLiteral("localhost"), QStringLiteral("sslmode=disable")));
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("no encryption"))) << check.message.toStdString();

    check = ServerSetup::Test(Conninfo(QStringLiteral("localhost"), QStringLiteral("sslmode=require")));
    EXPECT_TRUE(GotIn(check)) << check.message.toStdString();

    UsePassword(QStringLiteral("not-the-password"));
    check = ServerSetup::Test(Conninfo(QStringLiteral("localhost"), QStringLiteral("sslmode=require")));
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("password authentication failed")))
        << check.message.toStdString();
    // Whatever failed, the password never shows.
    EXPECT_FALSE(check.message.contains(password));

    // A password in the connection string is refused before anything is sent.
    check = ServerSetup::Test(
        Conninfo(QStringLiteral("localhost"), QStringLiteral("sslmode=require password=") + password));
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("~/.pgpass"))) << check.message.toStdString();
}

TEST_F(PgTlsTest, TheCertificateTakenOnceIsVerifiedOnEveryConnection) {
    // Without the server's certificate a verified connection cannot be made.
    ServerSetup::Check check = ServerSetup::Test(
        Conninfo(QStringLiteral("localhost"),
                 QStringLiteral("sslmode=verify-full sslrootcert=") + dir.filePath("none.crt")));
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("root certificate"))) << check.message.toStdString();

    const ServerSetup::Certificate c = ServerSetup::Fetch(QStringLiteral("localhost"), port);
    ASSERT_TRUE(c.ok) << c.message.toStdString();
    EXPECT_TRUE(c.selfSigned);
    EXPECT_EQ(c.subject, QStringLiteral("CN=localhost"));
    EXPECT_EQ(c.pem.trimmed(), QString::fromLatin1(ReadAll(certificate)).trimmed());
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
                   QStringLiteral("-sha256"), QStringLiteral("-in"), certificate});
    ASSERT_TRUE(openssl.waitForFinished(10000));
    EXPECT_TRUE(QString::fromLatin1(openssl.readAllStandardOutput()).contains(c.fingerprint))
        << c.fingerprint.toStdString();

    QString message;
    const QString trusted = ServerSetup::Trust(c, QStringLiteral("localhost"), message);
    ASSERT_FALSE(trusted.isEmpty()) << message.toStdString();
    EXPECT_TRUE(trusted.startsWith(dir.filePath(QStringLiteral("config"))));

    ServerSetup::Parts parts = ServerSetup::Split(Conninfo(QStringLiteral("localhost"), QString()));
    parts.sslmode = QStringLiteral("verify-full");
    parts.sslrootcert = trusted;
    check = ServerSetup::Test(ServerSetup::Join(parts));
    EXPECT_TRUE(GotIn(check)) << check.message.toStdString();

    // Reached by its address, the server's certificate (made out to "localhost") does not
    // match under verify-full; verify-ca checks the signature alone.
    parts.host = QStringLiteral("127.0.0.1");
    check = ServerSetup::Test(ServerSetup::Join(parts));
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("does not match"))) << check.message.toStdString();
    parts.sslmode = QStringLiteral("verify-ca");
    check = ServerSetup::Test(ServerSetup::Join(parts));
    EXPECT_TRUE(GotIn(check)) << check.message.toStdString();
}

TEST_F(PgTlsTest, APasswordFromTheDesktopKeyringOrTypedOnceGetsIn) {
    CTestKeyring keyring;
    if (!keyring.Problem().isEmpty())
        GTEST_SKIP() << keyring.Problem().toStdString();
    qputenv("PGPASSFILE", dir.filePath(QStringLiteral("no-pgpass")).toUtf8());
    const QString conninfo = Conninfo(QStringLiteral("localhost"), QStringLiteral("sslmode=require"));
    const Keyring::Account login{QStringLiteral("localhost"), port, QStringLiteral("v740tls"),
                                 QStringLiteral("v740tls")};

    // No password anywhere: the message says where one belongs.
    ServerSetup::Check check = ServerSetup::Test(conninfo);
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("desktop keyring"))) << check.message.toStdString();

    // v740ctl keeps a password only once the server took it; it is read from standard input.
    const QStringList env{keyring.Environment(), QStringLiteral("PGPASSFILE=") + dir.filePath("no-pgpass")};
    ProcessResult r = RunProgram(QStringLiteral("v740ctl"), {"server-password", conninfo}, env, 60000,
                                 "not-the-password\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("password authentication failed"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QLatin1String("not-the-password")));
    EXPECT_TRUE(Keyring::Lookup(login).isEmpty());
    r = RunProgram(QStringLiteral("v740ctl"), {"server-password", conninfo}, env, 60000,
                   (password + QStringLiteral("\n")).toUtf8());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("kept in the desktop keyring"))) << r.out.toStdString();
    EXPECT_EQ(Keyring::Lookup(login), password);

    // Every connection now finds it there, this program's as well.
    check = ServerSetup::Test(conninfo);
    EXPECT_TRUE(GotIn(check)) << check.message.toStdString();
    r = RunProgram(QStringLiteral("v740ctl"), {"server-use", conninfo},
                   env + QStringList{QStringLiteral("XDG_CONFIG_HOME=") + dir.filePath("config")});
    EXPECT_TRUE(r.err.contains(QLatin1String("server-init")))
        << "got in, found no schema: " << r.err.toStdString();

    // A password changed on the server: the keyring's old one is refused with the server's words.
    ASSERT_TRUE(Keyring::Store(login, QStringLiteral("outdated")));
    PgConnect::ForgetRemembered();
    check = ServerSetup::Test(conninfo);
    EXPECT_FALSE(check.ok);
    EXPECT_TRUE(check.message.contains(QLatin1String("password authentication failed")))
        << check.message.toStdString();

    // A password typed for the connection (the dialog's field) is the one tried, and kept
    // once it worked.
    PgConnect::Offer(conninfo, QStringLiteral("typo"));
    check = ServerSetup::Test(conninfo);
    EXPECT_FALSE(check.ok);
    QString message;
    EXPECT_FALSE(PgConnect::KeepOffered(conninfo, message));
    EXPECT_EQ(Keyring::Lookup(login), QStringLiteral("outdated"));
    PgConnect::Offer(conninfo, password);
    check = ServerSetup::Test(conninfo);
    EXPECT_TRUE(GotIn(check)) << check.message.toStdString();
    ASSERT_TRUE(PgConnect::KeepOffered(conninfo, message)) << message.toStdString();
    EXPECT_EQ(Keyring::Lookup(login), password);
}

TEST(ServerSetupParts, ConnectionStringsSplitAndJoinWithTheirQuotes) {
    ServerSetup::Parts parts;
    parts.host = QStringLiteral("db.example.org");
    parts.port = QStringLiteral("5433");
    parts.dbname = QStringLiteral("v740 main");
    parts.user = QStringLiteral("o'brien");
    parts.sslmode = QStringLiteral("verify-full");
    const QString joined = ServerSetup::Join(parts);
    EXPECT_EQ(joined, QStringLiteral("host=db.example.org port=5433 dbname='v740 main' user='o\\'brien' "
                                     "sslmode=verify-full"));
    const ServerSetup::Parts back = ServerSetup::Split(joined);
    EXPECT_EQ(back.dbname, parts.dbname);
    EXPECT_EQ(back.user, parts.user);
    EXPECT_EQ(back.port, parts.port);
    EXPECT_TRUE(back.sslrootcert.isEmpty());
}
