// v740sim: a VELMOR 740/750ST tester on a pseudo-terminal, for tests, benchmarks and
// demonstrations of the tester link.
#include "sim/SimCatalog.h"
#include "sim/SimPty.h"
#include "sim/SimTester.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

int IntOption(const QCommandLineParser& p, const QString& name, int fallback, bool& ok) {
    if (!p.isSet(name))
        return fallback;
    bool good = false;
    const int v = p.value(name).toInt(&good);
    if (!good || v < 0) {
        std::fprintf(stderr, "v740sim: --%s needs a number\n", name.toLocal8Bit().constData());
        ok = false;
    }
    return v;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("v740sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(V740_VERSION));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulates a VELMOR 740/750ST tester on a pseudo-terminal. "
                                               "The program under test opens the path given "
                                               "with --link as its serial port. Runs until interrupted."));
    p.addHelpOption();
    p.addVersionOption();
    const QList<QCommandLineOption> options{
        {QStringLiteral("link"), QStringLiteral("Symbolic link to the slave side (replaced when it exists)."),
         QStringLiteral("PATH")},
        {QStringLiteral("catalog"),
         QStringLiteral("Folder that keeps the catalogue and the \\%SYSTEM%\\ files between runs."),
         QStringLiteral("DIR")},
        {QStringLiteral("demo"),
         QStringLiteral("Seed N device protocols over a handful of test specifications."),
         QStringLiteral("N")},
        {QStringLiteral("baud"), QStringLiteral("Line speed in remote mode (default 115200)."),
         QStringLiteral("B")},
        {QStringLiteral("databits"), QStringLiteral("Word length of the tester, 7 or 8 (default 8)."),
         QStringLiteral("N")},
        {QStringLiteral("software-version"), QStringLiteral("Tester software version (default 4.4.0)."),
         QStringLiteral("V")},
        {QStringLiteral("firmware-version"), QStringLiteral("Firmware version (default 2.10)."),
         QStringLiteral("V")},
        {QStringLiteral("remote-version"),
         QStringLiteral("Version of the remote component (default 1.0.7.0)."), QStringLiteral("V")},
        {QStringLiteral("name"), QStringLiteral("Tester name (default \"VELMOR 740ST\")."),
         QStringLiteral("TEXT")},
        {QStringLiteral("serial"), QStringLiteral("Serial number (default 740-000123)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("busy"), QStringLiteral("Fault: answer #inuse# to every connection attempt.")},
        {QStringLiteral("initfail"), QStringLiteral("Fault: answer #initfail# when entering remote mode.")},
        {QStringLiteral("refuse-remote-version"),
         QStringLiteral("Fault: refuse the version query of the remote component (\\%SYSTEM%\\Remote.dll).")},
        {QStringLiteral("refuse"),
         QStringLiteral("Fault: refuse the check of this specification name or device "
                        "(may be repeated)."),
         QStringLiteral("NAME-OR-DEVICE")},
        {QStringLiteral("silent-after"), QStringLiteral("Fault: stop answering after N received lines."),
         QStringLiteral("N")},
        {QStringLiteral("corrupt-checksum"),
         QStringLiteral("Fault: send wrong line checksums in checksum mode.")},
        {QStringLiteral("drop-byte-every"), QStringLiteral("Fault: lose every Nth byte sent."),
         QStringLiteral("N")},
        {QStringLiteral("slow"), QStringLiteral("Fault: wait MS milliseconds before every reply."),
         QStringLiteral("MS")},
        {QStringLiteral("pace"),
         QStringLiteral("Pace bytes in both directions at the line speed (8E1, 11 bits a byte); with --log, "
                        "log each uploaded block's line time and cycle time.")},
        {QStringLiteral("refuse-file"),
         QStringLiteral("Fault: refuse the file whose tester path ends with PATH (may be repeated)."),
         QStringLiteral("PATH")},
        {QStringLiteral("corrupt-block"), QStringLiteral("Fault: block N of every file arrives damaged."),
         QStringLiteral("N")},
        {QStringLiteral("full-after"),
         QStringLiteral("Fault: refuse blocks that make a file longer than BYTES (\"#ERROR# memory full\")."),
         QStringLiteral("BYTES")},
        {QStringLiteral("log"), QStringLiteral("Log the traffic to FILE."), QStringLiteral("FILE")},
    };
    p.addOptions(options);
    p.process(app);

    SimOptions o;
    bool ok = true;
    o.link = p.value(QStringLiteral("link"));
    o.catalog = p.value(QStringLiteral("catalog"));
    o.log = p.value(QStringLiteral("log"));
    o.demo = IntOption(p, QStringLiteral("demo"), 0, ok);
    o.baud = unsigned(IntOption(p, QStringLiteral("baud"), 115200, ok));
    o.dataBits = IntOption(p, QStringLiteral("databits"), 8, ok);
    if (ok && o.dataBits != 7 && o.dataBits != 8) {
        std::fprintf(stderr, "v740sim: --databits is 7 or 8\n");
        ok = false;
    }
    if (p.isSet(QStringLiteral("software-version")))
        o.software = p.value(QStringLiteral("software-version"));
    if (p.isSet(QStringLiteral("firmware-version")))
        o.firmware = p.value(QStringLiteral("firmware-version"));
    if (p.isSet(QStringLiteral("remote-version")))
        o.remote = p.value(QStringLiteral("remote-version"));
    if (p.isSet(QStringLiteral("name")))
        o.name = p.value(QStringLiteral("name"));
    if (p.isSet(QStringLiteral("serial")))
        o.serial = p.value(QStringLiteral("serial"));
    o.busy = p.isSet(QStringLiteral("busy"));
    o.initFail = p.isSet(QStringLiteral("initfail"));
    o.refuseRemoteVersion = p.isSet(QStringLiteral("refuse-remote-version"));
    o.refuse = p.values(QStringLiteral("refuse"));
    o.silentAfter = IntOption(p, QStringLiteral("silent-after"), -1, ok);
    o.corruptChecksum = p.isSet(QStringLiteral("corrupt-checksum"));
    o.dropEvery = IntOption(p, QStringLiteral("drop-byte-every"), 0, ok);
    o.slowMs = IntOption(p, QStringLiteral("slow"), 0, ok);
    o.pace = p.isSet(QStringLiteral("pace"));
    o.refuseFiles = p.values(QStringLiteral("refuse-file"));
    o.corruptBlock = IntOption(p, QStringLiteral("corrupt-block"), -1, ok);
    o.fullAfter = IntOption(p, QStringLiteral("full-after"), -1, ok);
    if (ok && o.baud == 0) {
        std::fprintf(stderr, "v740sim: --baud needs a speed above 0\n");
        ok = false;
    }
    if (!ok)
        return 2;
    if (o.link.isEmpty()) {
        std::fprintf(stderr, "v740sim: --link PATH is needed\n");
        return 2;
    }

    CSimCatalog catalog;
    catalog.SetFolder(o.catalog);
    catalog.Load();
    if (o.demo > 0)
        catalog.SeedDemo(o.demo, o.name, o.serial, o.software);

    CSimPty pty;
    QString error;
    if (!pty.Open(o.link, o.baud, error)) {
        std::fprintf(stderr, "v740sim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    pty.SetPace(o.pace);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("v740sim: %s -> %s at %u baud, %d specifications, %d protocols\n",
                o.link.toLocal8Bit().constData(), pty.SlavePath().toLocal8Bit().constData(), o.baud,
                catalog.SpecificationCount(), catalog.ProtocolCount());
    std::fflush(stdout);

    CSimTester tester(o, pty, catalog);
    tester.Run(g_stop);
    return 0;
}
