// The program's own share of each block cycle of a file upload at 115200 baud against
// v740sim --pace, which paces both directions by absolute deadlines at 11 bits a byte and
// logs per block the time the line took (header, its reply, the block, its reply) and the
// whole cycle. The rest of the cycle is the program's: reading the replies, building the
// next header, writing. Measured on a quiet machine and again with a CPU hog (a busy
// process this benchmark starts and ends). Target: at most 3 ms median, both ways.
//
// bench_pacing [BLOCKS]   (default 40 blocks of 1024 bytes)
#include "link/RS232.h"
#include "support/PairedRatio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Upload {
    bool ok = false;
    std::vector<double> hostMs;
    std::vector<double> wireMs;
    double seconds = 0;
};

Upload Run(const QString& folder, const QString& file, qint64 bytes) {
    Upload result;
    QDir().mkpath(folder);
    const QString port = folder + QStringLiteral("/tty");
    const QString log = folder + QStringLiteral("/sim.log");
    QProcess sim;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/v740sim");
    sim.start(QFileInfo::exists(program) ? program : QStringLiteral("v740sim"),
              {QStringLiteral("--link"), port, QStringLiteral("--pace"), QStringLiteral("--log"), log,
               QStringLiteral("--catalog"), folder + QStringLiteral("/catalog")});
    for (int i = 0; i < 100 && !sim.canReadLine(); ++i)
        sim.waitForReadyRead(100);
    if (QFileInfo::exists(port)) {
        CRS232 link;
        QString reply;
        if (link.BeginTransfer(reply, port, QStringLiteral("115200"), QStringLiteral("8"), true)) {
            const auto start = std::chrono::steady_clock::now();
            result.ok = link.SendFile(file, QStringLiteral("\\%SYSTEM%\\bench.bin"));
            result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            link.EndTransfer();
        }
    }
    sim.terminate();
    sim.waitForFinished(3000);
    QFile f(log);
    f.open(QIODevice::ReadOnly);
    static const QRegularExpression line(QStringLiteral("= block \\d+: wire (\\d+) us, cycle (\\d+) us"));
    for (const QByteArray& text : f.readAll().split('\n')) {
        const auto m = line.match(QString::fromLatin1(text));
        if (!m.hasMatch())
            continue;
        const double wire = m.captured(1).toDouble() / 1000, cycle = m.captured(2).toDouble() / 1000;
        result.wireMs.push_back(wire);
        result.hostMs.push_back(cycle - wire);
    }
    result.ok = result.ok && qint64(result.hostMs.size()) == (bytes + 1023) / 1024;
    return result;
}

void Print(const char* label, const Upload& u, qint64 bytes) {
    const Bench::Spread host = Bench::SpreadOf(u.hostMs), wire = Bench::SpreadOf(u.wireMs);
    const double ceiling = 1024.0 / (1107.0 * 11.0 / 115200.0);
    std::printf(
        "%s: host share of a block cycle median %.2f ms (min %.2f, max %.2f) over %zu blocks, target at "
        "most 3.00%s; line time of a full block %.3f ms (computed %.3f); %.0f bytes/s = %.3f of the "
        "stop-and-wait ceiling (%.0f bytes/s)\n",
        label, host.median, host.min, host.max, u.hostMs.size(),
        host.median <= 3.0 ? "" : "  ** above target **", wire.max, 1107.0 * 11.0 / 115200.0 * 1000,
        bytes / u.seconds, bytes / u.seconds / ceiling, ceiling);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int blocks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    const qint64 bytes = qint64(blocks) * 1024;
    QTemporaryDir dir(QString::fromStdString(Bench::RamFolder()) + QStringLiteral("/bench_pacing-XXXXXX"));
    const QString file = dir.filePath(QStringLiteral("upload.bin"));
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    QByteArray data(int(bytes), '\0');
    for (qint64 i = 0; i < bytes; ++i)
        data[i] = char(i * 31 + 7);
    f.write(data);
    f.close();

    std::printf("upload of %lld bytes (%d blocks) at 115200 baud against v740sim --pace\n", bytes, blocks);
    const Upload quiet = Run(dir.filePath(QStringLiteral("quiet")), file, bytes);
    if (!quiet.ok) {
        std::fprintf(stderr, "bench_pacing: the quiet upload failed\n");
        return 1;
    }
    Print("quiet", quiet, bytes);

    // One core kept busy for the second upload.
    const pid_t hog = ::fork();
    if (hog == 0) {
        volatile unsigned long spin = 0;
        for (;;)
            spin = spin + 1;
    }
    const Upload busy = Run(dir.filePath(QStringLiteral("busy")), file, bytes);
    ::kill(hog, SIGKILL);
    ::waitpid(hog, nullptr, 0);
    if (!busy.ok) {
        std::fprintf(stderr, "bench_pacing: the upload with the CPU hog failed\n");
        return 1;
    }
    Print("with a CPU hog", busy, bytes);
    return 0;
}
