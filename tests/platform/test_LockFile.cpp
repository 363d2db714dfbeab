#include "platform/LockFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Bom() {
    return QByteArray("\xEF\xBB\xBF", 3);
}

// A child process that takes the lock, reports on a pipe and waits to be killed: a
// second workstation's program holding the shared folder.
class HolderProcess {
public:
    HolderProcess(const QString& path, const QString& name) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            CLockFile lock;
            const char ok = lock.Acquire(path, name) == CLockFile::Result::Locked ? '1' : '0';
            (void)!::write(fds[1], &ok, 1);
            for (;;)
                ::pause();
        }
        ::close(fds[1]);
        char ok = 0;
        m_locked = ::read(fds[0], &ok, 1) == 1 && ok == '1';
        ::close(fds[0]);
    }
    ~HolderProcess() { Kill(); }
    bool Locked() const { return m_locked; }
    void Kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    bool m_locked = false;
};

} // namespace

TEST(LockFile, HolderWritesMarkAndNameAndASecondHolderIsRefusedWithThatName) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user2.log"));
    const QString first = QStringLiteral("Jiří Nováková");

    CLockFile a;
    ASSERT_EQ(a.Acquire(path, first), CLockFile::Result::Locked);
    EXPECT_TRUE(a.IsHeld());
    EXPECT_EQ(FileBytes(path), Bom() + first.toUtf8());

    // Another open file description in the same process conflicts like another program.
    CLockFile b;
    EXPECT_EQ(b.Acquire(path, QStringLiteral("second")), CLockFile::Result::InUse);
    EXPECT_FALSE(b.IsHeld());
    EXPECT_EQ(b.HolderName(), first);
    EXPECT_EQ(FileBytes(path), Bom() + first.toUtf8()) << "the refused program must not touch the file";

    a.Release();
    ASSERT_EQ(b.Acquire(path, QStringLiteral("second")), CLockFile::Result::Locked);
    EXPECT_EQ(FileBytes(path), Bom() + QByteArray("second"));
}

TEST(LockFile, AFileLeftByACrashedHolderIsTakenOverAndRewritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user2.log"));
    {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(Bom() + QByteArray(600, 'x'));
    }
    CLockFile lock;
    ASSERT_EQ(lock.Acquire(path, QStringLiteral("me")), CLockFile::Result::Locked);
    EXPECT_EQ(FileBytes(path), Bom() + QByteArray("me"));
}

TEST(LockFile, ALockHeldByAnotherProcessEndsWithThatProcess) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user2.log"));
    HolderProcess holder(path, QStringLiteral("workstation-1"));
    ASSERT_TRUE(holder.Locked());

    CLockFile lock;
    EXPECT_EQ(lock.Acquire(path, QStringLiteral("workstation-2")), CLockFile::Result::InUse);
    EXPECT_EQ(lock.HolderName(), QStringLiteral("workstation-1"));

    holder.Kill();
    EXPECT_EQ(lock.Acquire(path, QStringLiteral("workstation-2")), CLockFile::Result::Locked);
    EXPECT_EQ(CLockFile::ReadHolderName(path), QStringLiteral("workstation-2"));
}

TEST(LockFile, NamesAreCutToTheirByteLimitsOnCharacterBoundaries) {
    struct Case {
        const char* what;
        QString name;
        int expectedBytes;
    };
    const QString euro(QChar(0x20AC)); // three bytes in UTF-8
    const Case cases[] = {
        {"ascii at the limit", QString(1020, QLatin1Char('a')), 1020},
        {"ascii above the limit", QString(1021, QLatin1Char('a')), 1020},
        {"multibyte straddling the limit", QString(1019, QLatin1Char('a')) + euro, 1019},
        {"multibyte ending at the limit", QString(1017, QLatin1Char('a')) + euro, 1020},
        {"empty", QString(), 0},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("user2.log"));
        CLockFile lock;
        ASSERT_EQ(lock.Acquire(path, c.name), CLockFile::Result::Locked) << c.what;
        const QByteArray bytes = FileBytes(path);
        EXPECT_EQ(bytes.size(), 3 + c.expectedBytes) << c.what;
        EXPECT_EQ(CLockFile::ReadHolderName(path), QString::fromUtf8(c.name.toUtf8().left(c.expectedBytes)))
            << c.what;
    }
}

TEST(LockFile, ReadingTheHolderTakesAtMost1023BytesAndToleratesAMissingMark) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user2.log"));
    struct Case {
        const char* what;
        QByteArray content;
        QString expected;
    };
    const Case cases[] = {
        {"long foreign file", Bom() + QByteArray(2000, 'n'), QString(1020, QLatin1Char('n'))},
        {"no mark", QByteArray("plain"), QStringLiteral("plain")},
        {"only the mark", Bom(), QString()},
        {"empty file", QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.content);
        f.close();
        EXPECT_EQ(CLockFile::ReadHolderName(path), c.expected) << c.what;
    }
    EXPECT_EQ(CLockFile::ReadHolderName(dir.filePath(QStringLiteral("missing.log"))), QString());
}

TEST(LockFile, FailuresOtherThanASharingViolationReportTheirCause) {
    QTemporaryDir dir;
    CLockFile lock;
    EXPECT_EQ(lock.Acquire(dir.filePath(QStringLiteral("no such folder/user2.log")), QStringLiteral("me")),
              CLockFile::Result::Failed);
    EXPECT_EQ(lock.Error(), ENOENT);
    EXPECT_EQ(CLockFile::FileExceptionCause(lock.Error()), 3);

    EXPECT_EQ(lock.Acquire(dir.path(), QStringLiteral("me")), CLockFile::Result::Failed) << "a folder";
    EXPECT_EQ(CLockFile::FileExceptionCause(lock.Error()), 5);

    if (::geteuid() != 0) {
        const QString ro = dir.filePath(QStringLiteral("ro"));
        ASSERT_TRUE(QDir().mkpath(ro));
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(lock.Acquire(ro + QStringLiteral("/user2.log"), QStringLiteral("me")),
                  CLockFile::Result::Failed);
        EXPECT_EQ(lock.Error(), EACCES);
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    const std::pair<int, int> causes[] = {{ENOSPC, 13}, {EMFILE, 4}, {EIO, 10}, {ENOLCK, 12}, {EINVAL, 1}};
    for (const auto& [error, cause] : causes)
        EXPECT_EQ(CLockFile::FileExceptionCause(error), cause) << error;
}

namespace {

// Acquire as another user of the machine, in a child process: what it got, and the name.
std::pair<CLockFile::Result, QString> AcquireAsOtherUser(const QString& path, uid_t uid) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {CLockFile::Result::Failed, QStringLiteral("no pipe")};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        char answer[256] = {'F'};
        if (::setgid(uid) == 0 && ::setuid(uid) == 0) {
            CLockFile lock;
            const CLockFile::Result r = lock.Acquire(path, QStringLiteral("other"));
            answer[0] = r == CLockFile::Result::Locked ? 'L' : r == CLockFile::Result::InUse ? 'U' : 'F';
            const QByteArray name = lock.HolderName().toUtf8().left(250);
            std::memcpy(answer + 1, name.constData(), size_t(name.size()));
            (void)!::write(fds[1], answer, size_t(1 + name.size()));
        } else {
            (void)!::write(fds[1], "X", 1);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    char buffer[256];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    if (n < 1 || buffer[0] == 'X')
        return {CLockFile::Result::Failed, QStringLiteral("no user switch")};
    const QString name = QString::fromUtf8(buffer + 1, int(n - 1));
    switch (buffer[0]) {
    case 'L':
        return {CLockFile::Result::Locked, name};
    case 'U':
        return {CLockFile::Result::InUse, name};
    default:
        return {CLockFile::Result::Failed, name};
    }
}

} // namespace

TEST(LockFile, AnotherUserOfTheMachineIsToldWhoHoldsTheFolderAndTakesItLater) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    constexpr uid_t kOther = 65534;
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::WriteOther | QFileDevice::ExeOther);
    const QString path = dir.filePath(QStringLiteral("user2.log"));

    // However strict the first user's umask, the lock file stays open to the others.
    const mode_t mask = ::umask(077);
    CLockFile first;
    const CLockFile::Result taken = first.Acquire(path, QStringLiteral("erster"));
    ::umask(mask);
    ASSERT_EQ(taken, CLockFile::Result::Locked);
    EXPECT_EQ(AcquireAsOtherUser(path, kOther),
              std::make_pair(CLockFile::Result::InUse, QStringLiteral("erster")));
    first.Release();
    EXPECT_EQ(AcquireAsOtherUser(path, kOther).first, CLockFile::Result::Locked);

    // A lock file this user may not write (left by an older program): while it is held the
    // folder is in use; once free, the file's rights are the problem.
    ASSERT_EQ(first.Acquire(path, QStringLiteral("erster")), CLockFile::Result::Locked);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadOther));
    EXPECT_EQ(AcquireAsOtherUser(path, kOther),
              std::make_pair(CLockFile::Result::InUse, QStringLiteral("erster")));
    first.Release();
    EXPECT_EQ(AcquireAsOtherUser(path, kOther).first, CLockFile::Result::Failed);
}
