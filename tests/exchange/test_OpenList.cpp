// A list kept open in the user-interface thread must never hold up an import in a worker:
// the user may leave the device protocol directory open for hours.
#include "exchange/ExchangeFixture.h"

#include <QElapsedTimer>
#include <atomic>
#include <thread>

namespace {

const QString kDefaultQuery = QStringLiteral(
    "SELECT GeraeteTab.id, GeraeteTab.Device, GeraeteTab.TestResultID, GeraeteTab.Description, "
    "GeraeteTab.Client, GeraeteTab.TestDate, GeraeteTab.NextTestDate, GeraeteTab.History, TypenTab.Name, "
    "TypenTab.IconSymbol FROM TypenTab INNER JOIN GeraeteTab ON TypenTab.Name = GeraeteTab.SpecificationName "
    "WHERE GeraeteTab.History = 0 ORDER BY GeraeteTab.NextTestDate ASC");

std::vector<XmlProtocolRecord> Protocols(int from, int count) {
    std::vector<XmlProtocolRecord> out;
    for (int i = from; i < from + count; ++i)
        out.push_back(MakeProtocol(QStringLiteral("Dev %1").arg(i, 4, 10, QLatin1Char('0')),
                                   QStringLiteral("ACME"), QStringLiteral("{G%1}").arg(i),
                                   QStringLiteral("Drill"), QStringLiteral("{S}")));
    return out;
}

// Every Device of the list, read with the loop idiom.
QStringList Devices(CAdoDatabase& list) {
    QStringList out;
    for (bool ok = list.MoveFirst(); ok && list.HasRow(); ok = list.MoveNext()) {
        QString device;
        EXPECT_TRUE(list.GetString(QStringLiteral("Device"), device));
        out << device;
    }
    return out;
}

} // namespace

TEST_F(ExchangeFixture, AnOpenListNeverHoldsUpAnImport) {
    const QStringList spec =
        SpecificationDocument({MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S}"))});
    // Folder 0 fills the database; folders 1 and 2 are imported while a list is open.
    QStringList folders;
    for (int f = 0; f < 3; ++f) {
        folders << dir.filePath(QStringLiteral("import%1").arg(f));
        QDir().mkpath(folders.back());
        WriteDocument(folders.back() + QStringLiteral("/PV.xml"), spec);
        WriteDocument(folders.back() + QStringLiteral("/GP.xml"),
                      ProtocolDocument(f == 0 ? Protocols(0, 120) : Protocols(120 + 20 * (f - 1), 20)));
    }
    ASSERT_TRUE(ImportAll(folders[0], true));

    // No busy time-out: a writer that met a lock would fail at once instead of waiting.
    qputenv("VELMOR_DB_BUSY_TIMEOUT_MS", "0");
    struct Restore {
        ~Restore() { qunsetenv("VELMOR_DB_BUSY_TIMEOUT_MS"); }
    } restore;

    int expected = 120;
    for (const bool scrollWhileImporting : {false, true}) {
        SCOPED_TRACE(scrollWhileImporting ? "scrolling while the import runs" : "list left still");
        CAdoDatabase list;
        ASSERT_TRUE(list.Open(DataDir(), QStringLiteral("user2.db")));
        ASSERT_TRUE(list.OpenQuery(kDefaultQuery));
        const QStringList before = Devices(list);
        ASSERT_EQ(before.size(), expected);
        // The user has scrolled halfway down and stays there.
        ASSERT_TRUE(list.MoveFirst());
        for (int i = 0; i < 60; ++i)
            ASSERT_TRUE(list.MoveNext());

        std::atomic<bool> done{false};
        bool imported = false;
        QElapsedTimer timer;
        timer.start();
        std::thread worker([&] {
            imported = ImportAll(folders[scrollWhileImporting ? 2 : 1], true);
            done = true;
        });
        int reads = 0;
        while (scrollWhileImporting && !done) {
            QString device;
            if (!list.HasRow())
                list.MoveFirst();
            EXPECT_TRUE(list.GetString(QStringLiteral("Device"), device));
            list.MoveNext();
            ++reads;
        }
        worker.join();
        EXPECT_TRUE(imported);
        EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
        if (scrollWhileImporting) {
            EXPECT_GT(reads, 0);
        }

        // The open list is the snapshot it was; the next list shows the import.
        EXPECT_EQ(Devices(list), before);
        CAdoDatabase next;
        ASSERT_TRUE(next.Open(DataDir(), QStringLiteral("user2.db")));
        ASSERT_TRUE(next.OpenQuery(kDefaultQuery));
        expected += 20;
        EXPECT_EQ(Devices(next).size(), expected);
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM GeraeteTab")), expected);
    }
}
