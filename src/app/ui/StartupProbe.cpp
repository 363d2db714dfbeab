#include "app/ui/StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <sys/resource.h>

namespace StartupProbe {

namespace {

class CFirstPaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Queued, so that the line comes after every child is painted and the window
            // is flushed to the screen.
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

bool Requested() {
    return qEnvironmentVariableIsSet("VELMOR_STARTUP_PROBE");
}

void Install(QWidget* mainWindow) {
    if (!mainWindow || !Requested())
        return;
    mainWindow->installEventFilter(new CFirstPaint(mainWindow));
}

} // namespace StartupProbe
