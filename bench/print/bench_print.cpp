// bench_print [N]: the outline list of N (10,000) device protocols rendered to a PDF file
// as the print-outline command does it; prints the total time, the pages and the time per
// page. Works on a RAM folder (/dev/shm when there is one).
#include "print/PrintOut.h"
#include "print/PrintSurface.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const QString base =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/bench_print-XXXXXX"));
    const QString data = dir.filePath(QStringLiteral("data"));
    QDir().mkpath(data);
    if (!UserSchema::CreateUserDatabase(data, UserSchema::CurrentVersion(), QStringLiteral("English"))) {
        std::fprintf(stderr, "cannot create the database\n");
        return 1;
    }
    QList<qint32> ids;
    {
        CAdoDatabase db;
        db.Open(data, UserSchema::FileName());
        CTransaction t(db);
        db.Execute(
            QStringLiteral("INSERT INTO TypenTab (Name, StandardID, ClassID, Description, CreateDate) VALUES "
                           "('Drill', 5800, 5001, 'Hand drill', '2009-03-05 00:00:00')"));
        for (int i = 0; i < n; ++i) {
            db.ExecuteBound(
                QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, Description, Client, "
                               "TestDate, NextTestDate, TestResultID, History, myGUID) VALUES "
                               "('Drill', ?, ?, ?, '2009-03-05 14:07:09', '2010-03-05 00:00:00', ?, 0, ?)"),
                {QStringLiteral("Device %1 with a longer name").arg(i), QStringLiteral("Pump %1").arg(i % 97),
                 QStringLiteral("Client %1").arg(i % 13), i % 7 == 0 ? 30801 : 30800,
                 QStringLiteral("{%1}").arg(i)});
            ids << i + 1;
        }
        t.Commit();
    }
    // velmor.db is built beside the programs in bin/.
    CPrintOut out(data, QStringLiteral("English"),
                  QCoreApplication::applicationDirPath() + QStringLiteral("/../bin"));
    CPdfSurface surface(dir.filePath(QStringLiteral("list.pdf")));
    QElapsedTimer timer;
    timer.start();
    const bool ok = out.PrintProtocolList(surface, ids) && surface.Finish();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "printing failed\n");
        return 1;
    }
    const int pages = out.Pages();
    std::printf("outline list of %d device protocols to PDF: %.2f s, %d pages, %.1f ms per page (target: "
                "under 20 s)\n",
                n, seconds, pages, 1000.0 * seconds / std::max(1, pages));
    std::printf("PDF size: %lld bytes\n", QFileInfo(dir.filePath(QStringLiteral("list.pdf"))).size());
    return 0;
}
