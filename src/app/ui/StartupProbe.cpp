#include "app/ui/StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <sys/resource.h>

namespace StartupProbe {

namespace {

constexpr int kNoPaintMs = 3000;

class CFirstPaint : public QObject {
public:
    CFirstPaint(QWidget* window, std::function<void()> then, bool probe)
        : QObject(window), m_then(std::move(then)), m_probe(probe) {
        window->installEventFilter(this);
        QTimer::singleShot(kNoPaintMs, this, [this] { Done(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // Queued, so that it runs after every child is painted and the window is flushed.
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            QMetaObject::invokeMethod(
                this, [this] { Done(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void Done() {
        if (m_done)
            return;
        m_done = true;
        if (m_probe && Requested()) {
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            const long long cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
                                  usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
            std::printf("startup-probe cpu-us=%lld%s\n", cpu, m_painted ? "" : " (no paint)");
            std::fflush(stdout);
            QCoreApplication::quit();
            return;
        }
        if (m_then)
            m_then();
    }

    std::function<void()> m_then;
    bool m_probe = false;
    bool m_painted = false;
    bool m_done = false;
};

} // namespace

bool Requested() {
    return qEnvironmentVariableIsSet("VELMOR_STARTUP_PROBE");
}

void AfterFirstPaint(QWidget* mainWindow, std::function<void()> then) {
    if (mainWindow)
        new CFirstPaint(mainWindow, std::move(then), true);
}

void WhenPainted(QWidget* window, std::function<void()> then) {
    if (window)
        new CFirstPaint(window, std::move(then), false);
}

} // namespace StartupProbe
