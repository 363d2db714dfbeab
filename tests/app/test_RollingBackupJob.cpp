#include "app/RollingBackupJob.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"
#include "upgrade/DatabaseBackup.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    bool arrived = false, ok = false, made = false;
    QString detail;
};

Outcome RunJob(const QString& folder, int keep) {
    Outcome out;
    CRollingBackupJob job;
    QEventLoop loop;
    QObject::connect(&job, &CRollingBackupJob::finished, &loop,
                     [&](bool ok, bool made, const QString& detail) {
                         out = {true, ok, made, detail};
                         loop.quit();
                     });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    job.Start(folder, keep);
    loop.exec();
    return out;
}

TEST(RollingBackupJob, CopiesOnItsOwnThreadAndReportsOnTheOwners) {
    int argc = 1;
    char name[] = "app_core_tests";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    CNotifierScope notes;
    QTemporaryDir tmp;
    ASSERT_TRUE(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));

    Outcome first = RunJob(tmp.path(), 7);
    ASSERT_TRUE(first.arrived);
    EXPECT_TRUE(first.ok) << first.detail.toStdString();
    EXPECT_TRUE(first.made);
    EXPECT_TRUE(DatabaseBackup::Check(first.detail).ok);

    // The same day again: nothing to do, and the signal says so.
    Outcome second = RunJob(tmp.path(), 7);
    ASSERT_TRUE(second.arrived);
    EXPECT_TRUE(second.ok);
    EXPECT_FALSE(second.made);
    EXPECT_EQ(DatabaseBackup::RollingBackups(tmp.path()).size(), 1);

    // A data folder without a database reports a failure with its cause.
    QTemporaryDir empty;
    Outcome failed = RunJob(empty.path(), 7);
    ASSERT_TRUE(failed.arrived);
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.detail.isEmpty());
}

} // namespace
