// V740Control as real processes: the single-instance handover on one desktop, the
// shared-folder lock between two workstations, and start-up failures as exit codes.
#include "platform/LockFile.h"
#include "platform/RegistryKey.h"
#include "platform/UserName.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        common = tmp.filePath(QStringLiteral("common"));
        local = common + QStringLiteral("/VELMOR 740ST - Roziraz Uvurad");
        ASSERT_TRUE(QDir().mkpath(local));
        ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("desktop1"))));
        ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("desktop2"))));
        ASSERT_TRUE(GetUserName(me));
    }
    void TearDown() override {
        for (QProcess* p : running) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
    }

    // The environment of a program on a desktop: its own temporary folder holds the
    // single-instance socket, so two desktops do not see each other.
    QStringList Env(const QString& desktop) const {
        const QString dir = tmp.filePath(desktop);
        return {QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                QStringLiteral("TMPDIR=") + dir,
                QStringLiteral("XDG_RUNTIME_DIR=") + dir,
                QStringLiteral("VELMOR_COMMON_APPDATA=") + common,
                QStringLiteral("XDG_CONFIG_HOME=") + tmp.filePath(QStringLiteral("config")),
                QStringLiteral("VELMOR_MESSAGES_TO_STDERR=1")};
    }
    QProcess* Launch(const QString& desktop) {
        auto* p = new QProcess;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString& kv : Env(desktop))
            e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
        p->setProcessEnvironment(e);
        p->start(BinPath(QStringLiteral("V740Control")), {});
        running << p;
        return p;
    }
    // Waits until a program on the desktop accepts connections on its socket; a start
    // before that would take the desktop over itself.
    bool WaitUntilListening(const QString& desktop) {
        QElapsedTimer clock;
        clock.start();
        const QDir dir(tmp.filePath(desktop));
        while (clock.elapsed() < 20000) {
            for (const QString& name :
                 dir.entryList({QStringLiteral("VELMOR_CONTROL_CENTER-*")}, QDir::System)) {
                QLocalSocket socket;
                socket.connectToServer(dir.filePath(name));
                if (socket.waitForConnected(1000))
                    return true;
            }
            QThread::msleep(50);
        }
        return false;
    }
    void UseSharedFolder(const QString& folder) {
        qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toUtf8());
        CRegistryKey key;
        bool created = false;
        int err = 0;
        ASSERT_TRUE(key.Open(true, &created, &err));
        ASSERT_TRUE(key.SetSz(QStringLiteral("ExternalDataPath"), folder, &err));
        ASSERT_TRUE(key.SetDword(QStringLiteral("ExternalPathEnable"), 1, &err));
        qunsetenv("XDG_CONFIG_HOME");
    }

    QTemporaryDir tmp;
    QString common, local, me;
    QList<QProcess*> running;
};

} // namespace

TEST_F(ProcessTest, ASecondStartHandsOverToTheFirstAndEnds) {
    ASSERT_TRUE(UserSchema::CreateUserDatabase(local, QStringLiteral("3.2")));
    QProcess* first = Launch(QStringLiteral("desktop1"));
    ASSERT_TRUE(first->waitForStarted());
    ASSERT_TRUE(WaitUntilListening(QStringLiteral("desktop1")));

    // Until the first window is up the first instance answers "starting".
    ProcessResult second;
    QElapsedTimer clock;
    clock.start();
    do {
        second = RunProgram(QStringLiteral("V740Control"), {}, Env(QStringLiteral("desktop1")), 20000);
        ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
        ASSERT_EQ(first->state(), QProcess::Running) << first->readAllStandardError().toStdString();
    } while (!second.err.contains(QStringLiteral("visible=1")) && clock.elapsed() < 30000);
    EXPECT_TRUE(second.err.contains(QStringLiteral("visible=1 minimized=0 pid=%1").arg(first->processId())))
        << second.err.toStdString();

    // A killed first instance leaves its socket behind; the next start takes over.
    first->kill();
    first->waitForFinished();
    QProcess* next = Launch(QStringLiteral("desktop1"));
    ASSERT_TRUE(next->waitForStarted());
    ASSERT_TRUE(WaitUntilListening(QStringLiteral("desktop1")));
    clock.restart();
    do {
        second = RunProgram(QStringLiteral("V740Control"), {}, Env(QStringLiteral("desktop1")), 20000);
        ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    } while (!second.err.contains(QStringLiteral("pid=%1").arg(next->processId())) &&
             clock.elapsed() < 30000);
    EXPECT_TRUE(second.err.contains(QStringLiteral("pid=%1").arg(next->processId())))
        << second.err.toStdString();
    EXPECT_EQ(next->state(), QProcess::Running);
}

TEST_F(ProcessTest, ASecondWorkstationOnTheSharedFolderIsRefusedWithTheFirstUsersName) {
    const QString shared = tmp.filePath(QStringLiteral("share"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_TRUE(UserSchema::CreateUserDatabase(shared, QStringLiteral("3.2")));
    UseSharedFolder(shared);
    const QString lock = shared + QStringLiteral("/user2.log");

    QProcess* first = Launch(QStringLiteral("desktop1"));
    ASSERT_TRUE(first->waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (CLockFile::ReadHolderName(lock) != me && clock.elapsed() < 20000)
        QThread::msleep(50);
    ASSERT_EQ(CLockFile::ReadHolderName(lock), me);

    const ProcessResult second =
        RunProgram(QStringLiteral("V740Control"), {}, Env(QStringLiteral("desktop2")), 20000);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains(
        QStringLiteral("VELMOR - Roziraz Uvurad wird bereits von Benutzer %1 verwendet!").arg(me)))
        << second.err.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);

    // After the first exits, the second workstation starts and holds the folder.
    first->kill();
    first->waitForFinished();
    QProcess* again = Launch(QStringLiteral("desktop2"));
    ASSERT_TRUE(again->waitForStarted());
    CLockFile probe;
    clock.restart();
    while (probe.Acquire(lock, QStringLiteral("probe")) == CLockFile::Result::Locked &&
           clock.elapsed() < 20000) {
        probe.Release();
        QThread::msleep(50);
    }
    EXPECT_EQ(probe.Acquire(lock, QStringLiteral("probe")), CLockFile::Result::InUse);
    EXPECT_EQ(probe.HolderName(), me);
    EXPECT_EQ(again->state(), QProcess::Running) << again->readAllStandardError().toStdString();
}

TEST_F(ProcessTest, StartUpFailuresEndTheProgramBeforeItsWindowWithExitCodeOne) {
    struct Case {
        const char* what;
        QString version; // empty: no user database
        QString expected;
    };
    const QList<Case> cases{
        {"older database", QStringLiteral("3.1"),
         QStringLiteral("Benötigte Version: 3.2, gefundene Version: 3.1")},
        {"no database", QString(), QStringLiteral("user2.db")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(local + QStringLiteral("/user2.db"));
        if (!c.version.isEmpty()) {
            ASSERT_TRUE(UserSchema::CreateUserDatabase(local, c.version));
        }
        const ProcessResult r =
            RunProgram(QStringLiteral("V740Control"), {}, Env(QStringLiteral("desktop1")), 20000);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(c.expected)) << r.err.toStdString();
    }
}

TEST_F(ProcessTest, AnInstalledLayoutRunsWithItsOwnReferenceDatabase) {
    const QString prefix = tmp.filePath(QStringLiteral("prefix"));
    QProcess install;
    install.start(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(V740_BUILD_DIR),
                                            QStringLiteral("--prefix"), prefix});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    for (const char* file : {"bin/V740Control", "bin/v740ctl", "share/velmor740st/velmor.db",
                             "share/applications/velmor740control.desktop",
                             "share/icons/hicolor/256x256/apps/velmor740control.png",
                             "share/icons/hicolor/48x48/apps/velmor740control.png"})
        EXPECT_TRUE(QFileInfo::exists(prefix + QLatin1Char('/') + QLatin1String(file))) << file;
    QFile desktop(prefix + QStringLiteral("/share/applications/velmor740control.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(desktop.readAll());
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=V740Control\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nIcon=velmor740control\n")));

    // The installed program finds velmor.db in its share folder, not beside itself.
    ASSERT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/velmor.db")));
    QProcess init;
    init.start(prefix + QStringLiteral("/bin/v740ctl"),
               {QStringLiteral("--data"), local, QStringLiteral("init")});
    ASSERT_TRUE(init.waitForFinished(30000));
    ASSERT_EQ(init.exitCode(), 0) << init.readAllStandardError().toStdString();
    auto* program = new QProcess;
    running << program;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : Env(QStringLiteral("desktop1")))
        e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    e.remove(QStringLiteral("VELMOR_PROGRAM_FILES"));
    program->setProcessEnvironment(e);
    program->start(prefix + QStringLiteral("/bin/V740Control"), {});
    ASSERT_TRUE(program->waitForStarted());
    ASSERT_TRUE(WaitUntilListening(QStringLiteral("desktop1")));
    ProcessResult second;
    QElapsedTimer clock;
    clock.start();
    do {
        second = RunProgram(QStringLiteral("V740Control"), {}, Env(QStringLiteral("desktop1")), 20000);
        ASSERT_EQ(program->state(), QProcess::Running) << program->readAllStandardError().toStdString();
    } while (!second.err.contains(QStringLiteral("visible=1")) && clock.elapsed() < 30000);
    EXPECT_TRUE(second.err.contains(QStringLiteral("pid=%1").arg(program->processId())))
        << second.err.toStdString();
}
