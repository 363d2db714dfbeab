// The removable drives: which mounts count, the list that replaces them, and the watcher
// that tells an open dialog about arrivals and removals.
#include "platform/RemovableDrives.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A block device below a fake /sys: class/block/<name> links to its device folder.
void AddBlock(const QString& sys, const QString& name, const QString& devicePath, const char* removable,
              bool partition = false) {
    const QString folder = sys + QStringLiteral("/devices/") + devicePath;
    ASSERT_TRUE(QDir().mkpath(folder));
    if (partition) {
        QFile f(folder + QStringLiteral("/partition"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    } else {
        QFile f(folder + QStringLiteral("/removable"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(removable);
    }
    ASSERT_TRUE(QDir().mkpath(sys + QStringLiteral("/class/block")));
    ASSERT_TRUE(QFile::link(folder, sys + QStringLiteral("/class/block/") + name));
}

} // namespace

TEST(RemovableDrives, MountTableKeepsRemovableUsbAndMediaVolumesInOrder) {
    QTemporaryDir dir;
    const QString sys = dir.path();
    AddBlock(sys, QStringLiteral("sda"), QStringLiteral("pci0/ata1/block/sda"), "0\n");
    AddBlock(sys, QStringLiteral("sda1"), QStringLiteral("pci0/ata1/block/sda/sda1"), "", true);
    // A card reader: the flag sits on the disk, the mount is on its partition.
    AddBlock(sys, QStringLiteral("mmcblk0"), QStringLiteral("pci0/mmc0/block/mmcblk0"), "1\n");
    AddBlock(sys, QStringLiteral("mmcblk0p1"), QStringLiteral("pci0/mmc0/block/mmcblk0/mmcblk0p1"), "", true);
    // A USB disk that calls itself fixed.
    AddBlock(sys, QStringLiteral("sdb"), QStringLiteral("pci0/usb2/2-1/block/sdb"), "0\n");
    AddBlock(sys, QStringLiteral("sdb1"), QStringLiteral("pci0/usb2/2-1/block/sdb/sdb1"), "", true);
    const QByteArray table = "/dev/sda1 / ext4 rw 0 0\n"
                             "proc /proc proc rw 0 0\n"
                             "tmpfs /media/ram tmpfs rw 0 0\n"
                             "/dev/mmcblk0p1 /mnt/card vfat rw 0 0\n"
                             "/dev/sdb1 /srv/backup\\040disk ext4 rw 0 0\n"
                             "/dev/sdc1 /media/anna/STICK vfat rw 0 0\n"
                             "/dev/sdd1 /run/media/bob/Data\\040Stick vfat rw 0 0\n"
                             "server:/export /mnt/nfs nfs rw 0 0\n"
                             "/dev/sdc1 /media/anna/STICK vfat rw 0 0\n";
    EXPECT_EQ(
        CSystemDrives::FromMountTable(table, sys),
        (QStringList{QStringLiteral("/mnt/card/"), QStringLiteral("/srv/backup disk/"),
                     QStringLiteral("/media/anna/STICK/"), QStringLiteral("/run/media/bob/Data Stick/")}));
}

TEST(RemovableDrives, ListedFoldersCountOnlyWhileTheyExist) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("stick \"A\" Ölpumpe"));
    const QString b = dir.filePath(QStringLiteral("b"));
    ASSERT_TRUE(QDir().mkpath(a));
    const QString list = QStringLiteral(" %1 ,%2,%1/,,").arg(a, b);
    EXPECT_EQ(CSystemDrives::FromList(list), QStringList{a + QLatin1Char('/')});
    ASSERT_TRUE(QDir().mkpath(b));
    EXPECT_EQ(CSystemDrives::FromList(list), (QStringList{a + QLatin1Char('/'), b + QLatin1Char('/')}));
    EXPECT_EQ(DriveRoot(QStringLiteral("/media/x//")), QStringLiteral("/media/x/"));
}

TEST(RemovableDrives, WatcherSeesAListedFolderArriveAndLeave) {
    QTemporaryDir dir;
    const QString stick = dir.filePath(QStringLiteral("stick"));
    qputenv("VELMOR_REMOVABLE_DRIVES", QFile::encodeName(stick));
    CDriveWatcher watcher;
    EXPECT_TRUE(watcher.Drives().isEmpty());
    QList<QStringList> seen;
    QObject::connect(&watcher, &CDriveWatcher::drivesChanged, [&](const QStringList& d) { seen << d; });
    const auto waitFor = [&](qsizetype n) {
        QElapsedTimer t;
        t.start();
        while (seen.size() < n && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    ASSERT_TRUE(QDir().mkpath(stick));
    waitFor(1);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0], QStringList{stick + QLatin1Char('/')});
    ASSERT_TRUE(QDir(stick).removeRecursively());
    waitFor(2);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[1].isEmpty());
    qunsetenv("VELMOR_REMOVABLE_DRIVES");
}

TEST(RemovableDrives, FreeSpaceOfAFolderAndOfNothing) {
    QTemporaryDir dir;
    quint64 bytes = 0;
    EXPECT_TRUE(RemovableDrives().FreeSpace(dir.path(), bytes));
    EXPECT_GT(bytes, 0u);
    EXPECT_FALSE(RemovableDrives().FreeSpace(dir.filePath(QStringLiteral("gone")), bytes));
    EXPECT_FALSE(RemovableDrives().FreeSpace(QString(), bytes));
}
