// The end of V740Control's start-up, as the start-up benchmark sees it and as the work
// that waits for it does: the first paint of the main window.
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        common = tmp.filePath(QStringLiteral("common"));
        local = common + QStringLiteral("/VELMOR 740ST - Roziraz Uvurad");
        ASSERT_TRUE(QDir().mkpath(local));
        ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("desktop"))));
        ASSERT_TRUE(UserSchema::CreateUserDatabase(local, UserSchema::CurrentVersion()));
    }
    // Its own temporary folder keeps the single-instance socket apart from other tests.
    QStringList Env(bool probe) const {
        QStringList env{QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                        QStringLiteral("TMPDIR=") + tmp.filePath(QStringLiteral("desktop")),
                        QStringLiteral("XDG_RUNTIME_DIR=") + tmp.filePath(QStringLiteral("desktop")),
                        QStringLiteral("VELMOR_COMMON_APPDATA=") + common,
                        QStringLiteral("XDG_CONFIG_HOME=") + tmp.filePath(QStringLiteral("config")),
                        QStringLiteral("VELMOR_MESSAGES_TO_STDERR=1")};
        if (probe)
            env << QStringLiteral("VELMOR_STARTUP_PROBE=1");
        return env;
    }
    QStringList Backups() const {
        return QDir(local + QStringLiteral("/backup")).entryList({QStringLiteral("*.db")}, QDir::Files);
    }

    QTemporaryDir tmp;
    QString common;
    QString local;
};

} // namespace

TEST_F(StartupTest, ProbeReportsTheFirstPaintAndQuitsBeforeTheBackup) {
    const ProcessResult r = RunProgram(QStringLiteral("V740Control"), {}, Env(true), 30000);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto m = QRegularExpression(QStringLiteral("^startup-probe cpu-us=(\\d+)$"),
                                      QRegularExpression::MultilineOption)
                       .match(r.out);
    ASSERT_TRUE(m.hasMatch()) << r.out.toStdString();
    EXPECT_GT(m.captured(1).toLongLong(), 0);
    // The day's backup waits for the end of the start-up, which the probe ends.
    EXPECT_TRUE(Backups().isEmpty());
}

TEST_F(StartupTest, TheDaysBackupFollowsTheFirstPaint) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : Env(false))
        env.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    program.setProcessEnvironment(env);
    program.start(BinPath(QStringLiteral("V740Control")), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (Backups().isEmpty() && clock.elapsed() < 20000 && program.state() == QProcess::Running)
        QThread::msleep(50);
    EXPECT_EQ(Backups().size(), 1) << program.readAllStandardError().toStdString();
    program.kill();
    program.waitForFinished(5000);
}
