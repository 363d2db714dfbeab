// Start-up of V740Control until its main window is painted the first time, with the
// catalogue filled, the status texts set and the user database checked, against a
// minimal Qt Widgets program showing an empty QMainWindow (startup_empty_window). Both
// programs print their CPU time at that moment (VELMOR_STARTUP_PROBE) and quit; the wall
// time runs from the spawn to that line. The two run alternately, on one data folder on a
// RAM file system. Targets (median of the pairs): wall time at most 1.5 times, CPU time at
// most 1.3 times the empty window's.
//
// bench_startup [PAIRS]   (default 11). The display is the environment's (QT_QPA_PLATFORM,
// DISPLAY); without one the programs run on the offscreen platform.
#include "store/UserSchema.h"
#include "support/PairedRatio.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Run {
    bool ok = false;
    double wallMs = 0;
    double cpuMs = 0;
};

// Runs the program until it reports its start; its standard error goes to errors.
Run Start(const std::string& program, const std::vector<std::string>& env, const std::string& errors) {
    Run run;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return run;
    }
    std::string text;
    char buffer[512];
    while (text.find('\n', text.find("startup-probe")) == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 30000) <= 0)
            break;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    const auto end = std::chrono::steady_clock::now();
    const std::size_t at = text.find("startup-probe cpu-us=");
    if (at != std::string::npos) {
        run.ok = true;
        run.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
        run.cpuMs = std::atof(text.c_str() + at + std::strlen("startup-probe cpu-us=")) / 1000.0;
    } else {
        ::kill(pid, SIGKILL);
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const QString bin = QCoreApplication::applicationDirPath();
    const std::string programs[2] = {
        QDir::cleanPath(bin + QStringLiteral("/startup_empty_window")).toStdString(),
        QDir::cleanPath(bin + QStringLiteral("/../bin/V740Control")).toStdString()};

    QTemporaryDir dir(QString::fromStdString(Bench::RamFolder()) + QStringLiteral("/bench_startup-XXXXXX"));
    const QString common = dir.filePath(QStringLiteral("common"));
    const QString data = common + QStringLiteral("/VELMOR 740ST - Roziraz Uvurad");
    const QString desktop = dir.filePath(QStringLiteral("desktop"));
    QDir().mkpath(data);
    QDir().mkpath(desktop);
    QFile::setPermissions(desktop, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const std::string errors = dir.filePath(QStringLiteral("stderr.txt")).toStdString();
    auto failed = [&errors](const std::string& program) {
        std::fprintf(stderr, "bench_startup: %s did not report its start; its messages:\n", program.c_str());
        std::fflush(stderr);
        QFile log(QString::fromStdString(errors));
        if (log.open(QIODevice::ReadOnly))
            std::fputs(log.readAll().constData(), stderr);
        return 1;
    };
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    if (!UserSchema::CreateUserDatabase(data, UserSchema::CurrentVersion()))
        return 1;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string kv(*e);
        // The programs' own settings come from this run's folders only.
        if (kv.rfind("VELMOR_", 0) == 0 || kv.rfind("TMPDIR=", 0) == 0 ||
            kv.rfind("XDG_RUNTIME_DIR=", 0) == 0 || kv.rfind("XDG_CONFIG_HOME=", 0) == 0)
            continue;
        env.push_back(kv);
    }
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        platform = "offscreen";
        env.push_back("QT_QPA_PLATFORM=offscreen");
    }
    // Its own temporary folder keeps the single-instance socket apart from any other
    // V740Control running on this machine.
    env.push_back("TMPDIR=" + desktop.toStdString());
    env.push_back("XDG_RUNTIME_DIR=" + desktop.toStdString());
    env.push_back("VELMOR_COMMON_APPDATA=" + common.toStdString());
    env.push_back("XDG_CONFIG_HOME=" + dir.filePath(QStringLiteral("config")).toStdString());
    env.push_back("VELMOR_MESSAGES_TO_STDERR=1");
    env.push_back("VELMOR_STARTUP_PROBE=1");

    std::printf("start-up until the main window is painted, %d pairs, platform %s, data in %s\n", pairs,
                platform.isEmpty() ? "(display)" : platform.constData(), qPrintable(dir.path()));
    // The first start of each makes the settings and warms the caches; it is not counted.
    for (const std::string& program : programs)
        if (!Start(program, env, errors).ok)
            return failed(program);

    std::vector<double> wallRatios, cpuRatios, wall[2], cpu[2];
    for (int i = 0; i < pairs; ++i) {
        Run runs[2];
        for (int k = 0; k < 2; ++k) {
            const int side = (i + k) % 2;
            runs[side] = Start(programs[side], env, errors);
            if (!runs[side].ok)
                return failed(programs[side]);
            wall[side].push_back(runs[side].wallMs);
            cpu[side].push_back(runs[side].cpuMs);
        }
        wallRatios.push_back(runs[1].wallMs / runs[0].wallMs);
        cpuRatios.push_back(runs[1].cpuMs / runs[0].cpuMs);
    }
    const char* names[2] = {"empty QMainWindow", "V740Control"};
    for (int side = 0; side < 2; ++side) {
        const Bench::Spread w = Bench::SpreadOf(wall[side]), c = Bench::SpreadOf(cpu[side]);
        std::printf(
            "%-18s wall median %.1f ms (min %.1f, max %.1f), CPU median %.1f ms (min %.1f, max %.1f)\n",
            names[side], w.median, w.min, w.max, c.median, c.min, c.max);
    }
    Bench::PrintRatio("start-up wall time, V740Control / empty QMainWindow", wallRatios, 1.5);
    Bench::PrintRatio("start-up CPU time, V740Control / empty QMainWindow", cpuRatios, 1.3);
    return 0;
}
