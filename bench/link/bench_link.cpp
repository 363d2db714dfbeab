// Link throughput against v740sim --pace at 115200 baud: the upload rate of a file as
// a fraction of the line rate, and documents per second sending and fetching device
// protocols. Usage: bench_link [UPLOAD-BYTES] [PROTOCOLS]   (defaults 1048576, 200)
#include "exchange/ImportWorkflow.h"
#include "link/CatalogueExchange.h"
#include "link/RS232.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

struct Sim {
    QProcess process;
    QString port;
    bool Start(const QString& folder, const QStringList& extra) {
        QDir().mkpath(folder);
        port = folder + QStringLiteral("/tty");
        const QString sim = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/v740sim");
        process.start(QFileInfo::exists(sim) ? sim : QStringLiteral("v740sim"),
                      QStringList{QStringLiteral("--link"), port, QStringLiteral("--pace"),
                                  QStringLiteral("--catalog"), folder + QStringLiteral("/catalog")} +
                          extra);
        for (int i = 0; i < 100 && !process.canReadLine(); ++i)
            process.waitForReadyRead(100);
        return QFileInfo::exists(port);
    }
    ~Sim() {
        process.terminate();
        process.waitForFinished(3000);
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qint64 uploadBytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1048576;
    const int protocols = argc > 2 ? QByteArray(argv[2]).toInt() : 200;
    const double lineRate = 115200.0 / 11.0; // bytes per second: start, 8 data, parity, stop

    QTemporaryDir dir;
    // ---- Upload.
    {
        Sim sim;
        if (!sim.Start(dir.path() + QStringLiteral("/up"), {})) {
            std::fprintf(stderr, "bench_link: v740sim did not start\n");
            return 1;
        }
        const QString file = dir.filePath(QStringLiteral("upload.bin"));
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        QByteArray data(int(uploadBytes), '\0');
        for (qint64 i = 0; i < uploadBytes; ++i)
            data[i] = char(i * 31 + 7);
        f.write(data);
        f.close();
        CRS232 link;
        QString reply;
        if (!link.BeginTransfer(reply, sim.port, QStringLiteral("115200"), QStringLiteral("8"), true)) {
            std::fprintf(stderr, "bench_link: no transfer mode (%d)\n", link.GetErrorCode());
            return 1;
        }
        QElapsedTimer t;
        t.start();
        const bool ok = link.SendFile(file, QStringLiteral("\\%SYSTEM%\\upload.bin"));
        const double seconds = t.nsecsElapsed() / 1e9;
        link.EndTransfer();
        const double rate = uploadBytes / seconds;
        std::printf("upload %lld bytes at 115200 baud: %.1f s, %.0f bytes/s = %.3f of the line rate (%.0f "
                    "bytes/s)%s\n",
                    uploadBytes, seconds, rate, rate / lineRate, lineRate, ok ? "" : " FAILED");
    }
    // ---- Fetch and send device protocols.
    {
        Sim source;
        if (!source.Start(dir.path() + QStringLiteral("/from"),
                          {QStringLiteral("--demo"), QString::number(protocols)}))
            return 1;
        const QString data = dir.path() + QStringLiteral("/data");
        QDir().mkpath(data);
        UserSchema::CreateUserDatabase(data, UserSchema::CurrentVersion());
        CRS232 link;
        Catalogue::LinkContext context{link, data, {}};
        context.serial.port = source.port;
        qint32 error = 0;
        QString text;
        if (!Catalogue::OpenLink(context, error, text)) {
            std::fprintf(stderr, "bench_link: no link (%d)\n", error);
            return 1;
        }
        CTesterXmlSource tester(link, data);
        CImportWorkflow import(tester, data);
        PreviewList list;
        QElapsedTimer t;
        t.start();
        import.Preview(ExchangeKind::Protocols, false, list, error, text);
        const double listSeconds = t.nsecsElapsed() / 1e9;
        t.restart();
        const CImportWorkflow::Result r = import.Import(ExchangeKind::Protocols, list.rows);
        const double fetchSeconds = t.nsecsElapsed() / 1e9;
        Catalogue::CloseLink(link);
        std::printf(
            "fetch %d device protocols (with %d test specifications): list %.1f s, import %.1f s, %.1f "
            "protocols/s%s\n",
            r.protocolsInserted, r.specificationsInserted, listSeconds, fetchSeconds,
            r.protocolsInserted / fetchSeconds, r.ok ? "" : " FAILED");

        Sim target;
        if (!target.Start(dir.path() + QStringLiteral("/to"), {}))
            return 1;
        CAdoDatabase db;
        db.Open(data, UserSchema::FileName());
        std::vector<Catalogue::CSendWorker::Row> rows;
        db.OpenQuery(QStringLiteral("SELECT id, Device, Client FROM GeraeteTab ORDER BY id"));
        for (bool ok = db.MoveFirst(); ok; ok = db.MoveNext()) {
            Catalogue::CSendWorker::Row row;
            db.GetLong(QStringLiteral("id"), row.id);
            db.GetString(QStringLiteral("Device"), row.column0);
            db.GetString(QStringLiteral("Client"), row.column3);
            rows.push_back(row);
        }
        CRS232 out;
        Catalogue::LinkContext toContext{out, data, {}};
        toContext.serial.port = target.port;
        Catalogue::CSendWorker worker(toContext, db);
        t.restart();
        const auto s = worker.SendProtocols(rows);
        const double sendSeconds = t.nsecsElapsed() / 1e9;
        std::printf("send %d device protocols (with %d test specifications): %.1f s, %.1f protocols/s%s\n",
                    s.protocolsSent, s.specificationsSent, sendSeconds, s.protocolsSent / sendSeconds,
                    s.ok ? "" : " FAILED");
    }
    return 0;
}
