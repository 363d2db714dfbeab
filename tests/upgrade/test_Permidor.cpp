#include "platform/RegistryKey.h"
#include "platform/RegistrySettings.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"
#include "upgrade/DatabaseUpgrade.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kApp = QStringLiteral("VELMOR 740ST - Roziraz Uvurad");

// A machine of its own: data root, registry folder, and the local data folder.
class PermidorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        local = tmp.filePath(QStringLiteral("common/") + kApp);
        ASSERT_TRUE(QDir().mkpath(local));
    }
    QStringList Env() const {
        return {QStringLiteral("VELMOR_COMMON_APPDATA=") + tmp.filePath(QStringLiteral("common")),
                QStringLiteral("XDG_CONFIG_HOME=") + tmp.filePath(QStringLiteral("config")),
                QStringLiteral("VELMOR_DB_BUSY_TIMEOUT_MS=200"), QStringLiteral("VELMOR_GROUP=users")};
    }
    ProcessResult Permidor(const QStringList& extraEnv = {}) const {
        return RunProgram(QStringLiteral("Permidor"), {}, Env() + extraEnv);
    }
    void Init(const QString& folder, const QString& version) const {
        const auto r =
            RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), folder, QStringLiteral("init"),
                                                   QStringLiteral("--schema"), version});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    void WriteRegistry(quint32 enable, const QString& path) const {
        qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toUtf8());
        CRegistryKey key;
        bool created = false;
        int err = 0;
        ASSERT_TRUE(key.Open(true, &created, &err));
        ASSERT_TRUE(key.SetSz(QStringLiteral("ExternalDataPath"), path, &err));
        ASSERT_TRUE(key.SetDword(QStringLiteral("ExternalPathEnable"), enable, &err));
        qunsetenv("XDG_CONFIG_HOME");
    }

    QTemporaryDir tmp;
    QString local;
};

QStringList Versions(const QString& folder) {
    CAdoDatabase db;
    QStringList out;
    if (!db.Open(folder, QStringLiteral("user2.db")) || !db.OpenTable(QStringLiteral("VersionTab")))
        return {QStringLiteral("<unreadable>")};
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QString v;
        db.GetString(QStringLiteral("DatabaseVersion"), v);
        out << v;
    }
    return out;
}

// Tables, columns (by kind of type), keys, indexes and triggers: what makes two schemas
// the same for the program, whatever width a text column was declared with.
QStringList Schema(const QString& folder) {
    CAdoDatabase db;
    EXPECT_TRUE(db.Open(folder, QStringLiteral("user2.db")));
    QStringList out;
    auto rows = [&](const QString& sql, const QStringList& cols) {
        QStringList r;
        EXPECT_TRUE(db.OpenQuery(sql)) << sql.toStdString();
        for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
            QStringList vals;
            for (const QString& c : cols) {
                QString s;
                qint32 n = 0;
                if (db.GetString(c, s))
                    vals << s;
                else if (db.GetLong(c, n))
                    vals << QString::number(n);
                else
                    vals << QStringLiteral("NULL");
            }
            r << vals.join(QLatin1Char(' '));
        }
        return r;
    };
    const QStringList tables = rows(
        QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name"),
        {QStringLiteral("name")});
    for (const QString& t : tables) {
        for (QString c : rows(QStringLiteral("SELECT name, upper(type) AS type, \"notnull\" AS nn, pk FROM "
                                             "pragma_table_info('%1') ORDER BY name")
                                  .arg(t),
                              {QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("nn"),
                               QStringLiteral("pk")})) {
            for (const auto& [from, to] : {std::pair{"NVARCHAR", "TEXT"}, {"INTEGER", "LONG"}})
                c.replace(QLatin1String(from), QLatin1String(to));
            c.replace(QRegularExpression(QStringLiteral(R"(TEXT ?\(\d+\))")), QStringLiteral("TEXT"));
            out << t + QLatin1Char('.') + c;
        }
        out << rows(QStringLiteral("SELECT \"table\" || ' ' || \"from\" || ' ' || on_delete AS fk FROM "
                                   "pragma_foreign_key_list('%1')")
                        .arg(t),
                    {QStringLiteral("fk")});
        out << rows(QStringLiteral("SELECT l.name || ' ' || l.\"unique\" || ' ' || (SELECT "
                                   "group_concat(name) FROM pragma_index_info(l.name)) AS ix "
                                   "FROM pragma_index_list('%1') l ORDER BY l.name")
                        .arg(t),
                    {QStringLiteral("ix")});
    }
    out << rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' ORDER BY name"),
                {QStringLiteral("name")});
    return out;
}

mode_t Mode(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST_F(PermidorTest, AVersion20DatabaseEndsAt32LikeAFreshOneWithItsDataKept) {
    Init(local, QStringLiteral("2.0"));
    {
        CNotifierScope notes;
        CAdoDatabase db;
        ASSERT_TRUE(db.Open(local, QStringLiteral("user2.db")));
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('Drill')")));
        ASSERT_TRUE(
            db.Execute(QStringLiteral("INSERT INTO TypPartsTab (TypenTabID, GroupNo) VALUES (1, 1)")));
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, myGUID, TestDate) "
                                              "VALUES ('Drill', '{a}', '2019-12-24')")));
        ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO UserSetup (DirectoryTabID, IconView, FilterOn, "
                                              "SqlFilterQuery) VALUES (60, 0, -1, 'SELECT 1')")));
    }
    const auto r = Permidor();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("current user: "))) << r.out.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Fail"))) << r.err.toStdString();
    EXPECT_EQ(Versions(local),
              (QStringList{QStringLiteral("2.0"), QStringLiteral("2.1"), QStringLiteral("3.0"),
                           QStringLiteral("3.1"), QStringLiteral("3.2")}));

    const QString fresh = tmp.filePath(QStringLiteral("fresh"));
    Init(fresh, QStringLiteral("3.2"));
    EXPECT_EQ(Schema(local), Schema(fresh));

    CAdoDatabase db;
    ASSERT_TRUE(db.Open(local, QStringLiteral("user2.db")));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab")));
    ASSERT_TRUE(db.MoveFirst());
    qint32 history = -5, review = -5;
    QString city = QStringLiteral("x");
    EXPECT_TRUE(db.GetLong(QStringLiteral("History"), history));
    EXPECT_EQ(history, 0);
    EXPECT_TRUE(db.GetLong(QStringLiteral("ReviewPeriod"), review));
    EXPECT_EQ(review, 0);
    EXPECT_TRUE(db.GetString(QStringLiteral("City"), city));
    EXPECT_EQ(city, QString());
    EXPECT_TRUE(db.IsNull(QStringLiteral("UseExtraPolation")));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT TotalPabl, (SELECT Description FROM TypPartsTab) AS d, "
                                            "(SELECT FilterOn FROM UserSetup) AS f FROM TypenTab")));
    ASSERT_TRUE(db.MoveFirst());
    qint32 n = 0;
    EXPECT_TRUE(db.GetLong(QStringLiteral("TotalPabl"), n));
    EXPECT_EQ(n, -1);
    int on = -1;
    EXPECT_TRUE(db.GetBool(QStringLiteral("f"), on));
    EXPECT_EQ(on, 0) << "stored filters are switched off";
    // Each step wrote its own row with its own comment, the 2.1 step's with its umlauts.
    ASSERT_TRUE(db.OpenQuery(QStringLiteral(
        "SELECT Comment, RequiredSoftwareRelease FROM VersionTab WHERE DatabaseVersion = '2.1'")));
    ASSERT_TRUE(db.MoveFirst());
    QString comment;
    db.GetString(QStringLiteral("Comment"), comment);
    EXPECT_EQ(comment, QStringLiteral("Update auf 2.1 für Gerätehistorie"));

    // A second run on 3.2 changes nothing.
    const QStringList before = Versions(local);
    EXPECT_EQ(Permidor().err, QString());
    EXPECT_EQ(Versions(local), before);
}

TEST_F(PermidorTest, AFailingStepIsRolledBackWholeAndTheFolderIsNamed) {
    Init(local, QStringLiteral("3.0"));
    // Another program holds the write lock, so the 3.1 step cannot begin.
    CNotifierScope notes;
    CAdoDatabase holder;
    ASSERT_TRUE(holder.Open(local, QStringLiteral("user2.db")));
    ASSERT_TRUE(holder.BeginTrans());
    ASSERT_TRUE(holder.Execute(QStringLiteral("INSERT INTO UserSetup (DirectoryTabID) VALUES (1)")));
    const auto r = Permidor();
    holder.RollbackTrans();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Database Update Fail!"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(local + QStringLiteral("/user2.db not possible!"))) << r.err.toStdString();
    EXPECT_EQ(Versions(local),
              (QStringList{QStringLiteral("2.0"), QStringLiteral("2.1"), QStringLiteral("3.0")}));

    // A step that fails in its middle leaves none of its statements behind.
    ASSERT_TRUE(holder.Execute(QStringLiteral("CREATE TABLE Conflict (x LONG)")));
    CAdoDatabase db;
    ASSERT_TRUE(db.Open(local, QStringLiteral("user2.db")));
    DatabaseUpgrade::Step step{QStringLiteral("3.1"),
                               DatabaseUpgrade::Steps()[2].statements +
                                   QStringList{QStringLiteral("CREATE TABLE Conflict (y LONG)")}};
    qint32 error = 0;
    EXPECT_FALSE(DatabaseUpgrade::RunStep(db, step, &error));
    EXPECT_EQ(error, 30145);
    EXPECT_EQ(Versions(local).size(), 3);
    EXPECT_FALSE(db.InTransaction());
}

TEST_F(PermidorTest, UnknownVersionsAndBrokenDatabases) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> prepare;
        bool failMessage;
        bool driverMessage = false; // the driver reports the fault before the failure message
    };
    const auto setVersion = [](const QString& v) {
        return [v](const QString& folder) {
            CAdoDatabase db;
            ASSERT_TRUE(db.Open(folder, QStringLiteral("user2.db")));
            ASSERT_TRUE(
                db.Execute(QStringLiteral("UPDATE VersionTab SET DatabaseVersion = %1").arg(SqlLiteral(v))));
        };
    };
    const QList<Case> cases = {
        {"1.9", setVersion(QStringLiteral("1.9")), false},
        {"3.3", setVersion(QStringLiteral("3.3")), false},
        {"empty text", setVersion(QString()), false},
        {"empty VersionTab",
         [](const QString& folder) {
             CAdoDatabase db;
             ASSERT_TRUE(db.Open(folder, QStringLiteral("user2.db")));
             ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM VersionTab")));
         },
         true, false},
        {"no VersionTab",
         [](const QString& folder) {
             CAdoDatabase db;
             ASSERT_TRUE(db.Open(folder, QStringLiteral("user2.db")));
             ASSERT_TRUE(db.Execute(QStringLiteral("DROP TABLE VersionTab")));
         },
         true, true},
        {"missing file", [](const QString& folder) { QFile::remove(folder + QStringLiteral("/user2.db")); },
         true, true},
        {"Jet file",
         [](const QString& folder) {
             QFile::remove(folder + QStringLiteral("/user2.db"));
             QFile f(folder + QStringLiteral("/user2.db"));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2048, '\0'));
         },
         true, true},
    };
    for (const Case& c : cases) {
        QDir(local).removeRecursively();
        QDir().mkpath(local);
        Init(local, QStringLiteral("3.0"));
        c.prepare(local);
        const QStringList before =
            QFile::exists(local + QStringLiteral("/user2.db")) ? Versions(local) : QStringList();
        const auto r = Permidor();
        EXPECT_EQ(r.exitCode, 0) << c.name;
        EXPECT_EQ(r.err.contains(QStringLiteral("Database Update Fail!")), c.failMessage)
            << c.name << r.err.toStdString();
        if (c.failMessage) {
            EXPECT_TRUE(r.err.contains(local)) << c.name;
            EXPECT_EQ(r.err.contains(QStringLiteral("Description")), c.driverMessage)
                << c.name << r.err.toStdString();
        } else {
            EXPECT_EQ(Versions(local), before) << c.name;
        }
    }
}

TEST_F(PermidorTest, FirstRunCreatesTheRegistryKeyAndWidensFileRights) {
    Init(local, QStringLiteral("3.1"));
    ::chmod(QFile::encodeName(local + QStringLiteral("/user2.db")).constData(), 0600);
    for (const char* name : {"V740Control.ini", "header.txt", "GPs.xml"}) {
        QFile f(local + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        ::chmod(QFile::encodeName(f.fileName()).constData(), 0644);
    }
    const auto r = Permidor();
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(Versions(local).last(), QStringLiteral("3.2"));
    EXPECT_EQ(Mode(local + QStringLiteral("/user2.db")), 0660u);
    EXPECT_EQ(Mode(local + QStringLiteral("/header.txt")), 0664u);
    EXPECT_EQ(Mode(local + QStringLiteral("/GPs.xml")), 0664u);
    EXPECT_FALSE(QFile::exists(local + QStringLiteral("/PV.xml"))) << "missing files stay missing";

    qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toUtf8());
    CRegistryKey key;
    bool created = true;
    int err = 0;
    ASSERT_TRUE(key.Open(false, &created, &err));
    quint32 enable = 9;
    QString path, comment;
    EXPECT_TRUE(key.QueryDword(QStringLiteral("ExternalPathEnable"), enable, &err));
    EXPECT_EQ(enable, 0u);
    EXPECT_TRUE(key.QuerySz(QStringLiteral("ExternalDataPath"), path, 520, &err));
    // The same key the program writes on its first start.
    EXPECT_EQ(path, CRegistrySettings::PlaceholderDataPath());
    EXPECT_TRUE(key.QuerySz(QStringLiteral("Comment"), comment, 1024, &err));
    EXPECT_EQ(comment, CRegistrySettings::DefaultComment());
    qunsetenv("XDG_CONFIG_HOME");

    // Without a user name the run goes on.
    const auto anonymous = Permidor({QStringLiteral("VELMOR_NO_USER_NAME=1")});
    EXPECT_TRUE(anonymous.out.startsWith(QStringLiteral("unkown user"))) << anonymous.out.toStdString();
}

TEST_F(PermidorTest, ASharedFolderIsUpgradedAndGetsTheSettingsFile) {
    const QString share = tmp.filePath(QStringLiteral("share"));
    Init(share, QStringLiteral("2.1"));
    Init(local, QStringLiteral("2.1"));
    QFile ini(local + QStringLiteral("/V740Control.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Ansicht]\r\nSprache=English\r\n");
    ini.close();
    ::chmod(QFile::encodeName(ini.fileName()).constData(), 0600);
    WriteRegistry(1, share);

    const auto r = Permidor();
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(Versions(share).last(), QStringLiteral("3.2"));
    EXPECT_EQ(Versions(local).last(), QStringLiteral("2.1")) << "only the shared database is upgraded";
    QFile copied(share + QStringLiteral("/V740Control.ini"));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("[Ansicht]\r\nSprache=English\r\n"));
    EXPECT_EQ(Mode(ini.fileName()), 0660u) << "rights are granted in the local folder";

    // ExternalPathEnable 2 is not 1: the local database is the one upgraded.
    WriteRegistry(2, share);
    Permidor();
    EXPECT_EQ(Versions(local).last(), QStringLiteral("3.2"));
}

// The program reads an ExternalDataPath of up to 259 characters; Permidor must upgrade the
// same share, or the program refuses to start on it.
TEST_F(PermidorTest, AShareWithAPathOfUpTo259CharactersIsUpgraded) {
    QString share = tmp.filePath(QStringLiteral("s"));
    while (share.size() < 259)
        share += QStringLiteral("/d");
    share.truncate(259);
    if (share.endsWith(QLatin1Char('/')))
        share.chop(1);
    ASSERT_GT(share.size(), 129);
    Init(share, QStringLiteral("2.1"));
    WriteRegistry(1, share);
    Permidor();
    EXPECT_EQ(Versions(share).last(), QStringLiteral("3.2"));
}

namespace {

struct stat StatOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// Runs a program of build/bin as another user with the given supplementary group and umask.
ProcessResult RunAs(uid_t uid, gid_t group, const QString& program, const QStringList& args,
                    const QStringList& env) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : env)
        e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    const QString script =
        QStringLiteral("umask 077; exec setpriv --reuid=%1 --regid=65534 --groups=%2 \"$0\" \"$@\"")
            .arg(QString::number(uid), QString::number(group));
    p.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), script, BinPath(program)} + args);
    ProcessResult r;
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

// Once the folder is group-writable, anyone in the group can plant names there; Permidor
// runs as root and must not widen the rights of what such a name points at.
TEST_F(PermidorTest, LinksAndForeignFilesPlantedInTheFolderAreLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, as the installer runs it";
    Init(local, QStringLiteral("3.2"));
    const QString outside = tmp.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkpath(outside));
    struct Planted {
        const char* name;
        const char* target;
        bool hardLink;
    };
    const Planted planted[] = {{"GP.xml", "shadow", false}, {"PV.xml", "passwd", true}};
    for (const Planted& p : planted) {
        const QString target = outside + QLatin1Char('/') + QLatin1String(p.target);
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        ::chmod(QFile::encodeName(target).constData(), 0600);
        const QByteArray at = QFile::encodeName(local + QLatin1Char('/') + QLatin1String(p.name));
        ASSERT_EQ(p.hardLink ? ::link(QFile::encodeName(target).constData(), at.constData())
                             : ::symlink(QFile::encodeName(target).constData(), at.constData()),
                  0);
    }
    // A FIFO must neither block the run nor change.
    ASSERT_EQ(::mkfifo(QFile::encodeName(local + QStringLiteral("/PVs.xml")).constData(), 0600), 0);

    const auto r = Permidor();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const Planted& p : planted) {
        const struct stat st = StatOf(outside + QLatin1Char('/') + QLatin1String(p.target));
        EXPECT_EQ(st.st_mode & 07777, 0600u) << p.target;
        EXPECT_EQ(st.st_gid, 0u) << p.target;
        EXPECT_TRUE(r.out.contains(QLatin1String(p.name))) << r.out.toStdString();
    }
    EXPECT_EQ(StatOf(local + QStringLiteral("/PVs.xml")).st_mode & 07777, 0600u);
    const struct stat folder = StatOf(local);
    EXPECT_EQ(folder.st_mode & 07777, 02775u);
    EXPECT_EQ(folder.st_gid, 100u);
    const struct stat db = StatOf(local + QStringLiteral("/user2.db"));
    EXPECT_EQ(db.st_gid, 100u);
    EXPECT_EQ(db.st_mode & 0060, 0060u);
}

// After Permidor, a second member of the group works on what the first one wrote, even with
// a umask that would keep the group out.
TEST_F(PermidorTest, AnotherMemberOfTheGroupCanWriteAfterTheRun) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    Init(local, QStringLiteral("3.2"));
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0755);
    ::chmod(QFile::encodeName(tmp.filePath(QStringLiteral("common"))).constData(), 0755);
    ASSERT_EQ(Permidor().exitCode, 0);
    const QStringList env = Env();
    const QStringList data{QStringLiteral("--data"), local};
    auto first = RunAs(65534, 100, QStringLiteral("v740ctl"),
                       data + QStringList{QStringLiteral("config"), QStringLiteral("Import"),
                                          QStringLiteral("Disk"), QStringLiteral("/media/a/")},
                       env);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const struct stat ini = StatOf(local + QStringLiteral("/V740Control.ini"));
    EXPECT_EQ(ini.st_gid, 100u) << "the folder hands its group on";
    EXPECT_EQ(ini.st_mode & 0060, 0060u);
    auto second = RunAs(1, 100, QStringLiteral("v740ctl"),
                        data + QStringList{QStringLiteral("config"), QStringLiteral("Import"),
                                           QStringLiteral("Disk"), QStringLiteral("/media/b/")},
                        env);
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    auto read = RunAs(
        1, 100, QStringLiteral("v740ctl"),
        data + QStringList{QStringLiteral("config"), QStringLiteral("Import"), QStringLiteral("Disk")}, env);
    EXPECT_EQ(read.out.trimmed(), QStringLiteral("/media/b/"));
}

// The share keeps its settings file when the new one cannot be copied.
TEST_F(PermidorTest, AFailedCopyLeavesTheSharesSettingsFileAsItWas) {
    const QString share = tmp.filePath(QStringLiteral("share"));
    Init(share, QStringLiteral("3.2"));
    QFile old(share + QStringLiteral("/V740Control.ini"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[RS232]\r\nPort=COM2:\r\n");
    old.close();
    // A folder of that name exists locally but cannot be copied.
    ASSERT_TRUE(QDir().mkpath(local + QStringLiteral("/V740Control.ini")));
    WriteRegistry(1, share);
    Permidor();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("[RS232]\r\nPort=COM2:\r\n"));
    old.close();
    EXPECT_EQ(QDir(share).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no temporary file is left";
}

// A 3.2 file of an earlier build, with date triggers that call the program's function and two
// names equal but for case: Permidor completes it without failing and names the pair.
TEST_F(PermidorTest, A32FileOfAnEarlierBuildIsCompletedAndItsNamePairNamed) {
    Init(local, QStringLiteral("3.2"));
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {local + QStringLiteral("/user2.db")});
    sqlite.write(
        "DROP INDEX TypenTab_IX_NameKey; ALTER TABLE TypenTab DROP COLUMN NameKey; DROP TABLE LanguageTab;"
        "INSERT INTO TypenTab (Name) VALUES ('Élan'), ('élan');"
        "CREATE TRIGGER t AFTER INSERT ON GeraeteTab WHEN NEW.TestDate IS NOT JET_NORMDATE(NEW.TestDate) "
        "BEGIN UPDATE GeraeteTab SET TestDate = JET_NORMDATE(NEW.TestDate) WHERE rowid = NEW.rowid; END;\n");
    sqlite.closeWriteChannel();
    ASSERT_TRUE(sqlite.waitForFinished(30000));
    ASSERT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();

    const auto r = Permidor({QStringLiteral("LC_ALL=C.UTF-8")});
    EXPECT_EQ(r.err, QString());
    EXPECT_TRUE(r.out.contains(QStringLiteral("differ only in case: 1 \"Élan\" and 2 \"élan\"")))
        << r.out.toStdString();
    sqlite.start(QStringLiteral("sqlite3"), {local + QStringLiteral("/user2.db")});
    sqlite.write(
        "INSERT INTO GeraeteTab (TestDate) VALUES ('2020-01-01 00:00:00'); PRAGMA integrity_check;\n");
    sqlite.closeWriteChannel();
    ASSERT_TRUE(sqlite.waitForFinished(30000));
    EXPECT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();
    EXPECT_EQ(sqlite.readAllStandardOutput(), QByteArray("ok\n"));
}
