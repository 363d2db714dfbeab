// The other side of bench_startup: the least a Qt Widgets program does to show a window,
// an empty QMainWindow, with the same start-up probe as V740Control (one line with the
// process's CPU time after the first paint, then quit).
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <cstdio>
#include <sys/resource.h>

namespace {

class CFirstPaint : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QMetaObject::invokeMethod(
                watched,
                [] {
                    rusage usage{};
                    ::getrusage(RUSAGE_SELF, &usage);
                    const long long cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
                                          usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
                    std::printf("startup-probe cpu-us=%lld\n", cpu);
                    std::fflush(stdout);
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    CFirstPaint probe;
    window.installEventFilter(&probe);
    window.resize(800, 600);
    window.show();
    return app.exec();
}
