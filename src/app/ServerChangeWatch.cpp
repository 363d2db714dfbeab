#include "app/ServerChangeWatch.h"

#include "store/pg/ChangeListener.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

// What the listening thread and the window share. The thread holds its own reference, so
// a watch destroyed while the thread waits for a distant server leaves nothing dangling.
struct CServerChangeWatch::Shared {
    std::mutex mutex;
    QPointer<CServerChangeWatch> owner; // cleared under the mutex when the watch goes
    std::atomic<bool> stop{false};
    std::atomic<bool> listening{false};
    int wake = -1; // eventfd that interrupts the thread's wait
    ~Shared() {
        if (wake >= 0)
            ::close(wake);
    }
};

namespace {

// How long the thread waits before it tries a server that could not be reached again.
constexpr int kRetryMs = 2000;

void Tell(const std::shared_ptr<CServerChangeWatch::Shared>& shared, const QStringList& tables);

} // namespace

CServerChangeWatch::CServerChangeWatch(QObject* parent) : QObject(parent) {}

CServerChangeWatch::~CServerChangeWatch() {
    if (!m_shared)
        return;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->owner = nullptr;
    m_shared->stop = true;
    const quint64 one = 1;
    if (m_shared->wake >= 0)
        (void)!::write(m_shared->wake, &one, sizeof one);
}

bool CServerChangeWatch::IsListening() const {
    return m_shared && m_shared->listening;
}

bool CServerChangeWatch::ConcernsDirectories(const QStringList& tables) {
    for (const QString& t : tables)
        if (t == QLatin1String("*") || t == QLatin1String("geraetetab") || t == QLatin1String("typentab"))
            return true;
    return false;
}

namespace {

void Tell(const std::shared_ptr<CServerChangeWatch::Shared>& shared, const QStringList& tables) {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->stop || !shared->owner)
        return;
    QPointer<CServerChangeWatch> owner = shared->owner;
    QMetaObject::invokeMethod(
        owner.data(),
        [owner, tables] {
            if (owner)
                emit owner->changed(tables);
        },
        Qt::QueuedConnection);
}

// Waits up to ms for the listener's socket or the wake-up; false when told to stop.
bool Wait(CServerChangeWatch::Shared& shared, int socket, int ms) {
    pollfd fds[2] = {{shared.wake, POLLIN, 0}, {socket, POLLIN, 0}};
    ::poll(fds, socket >= 0 ? 2 : 1, ms);
    return !shared.stop;
}

void Run(std::shared_ptr<CServerChangeWatch::Shared> shared, QString conninfo) {
    CPgChangeListener listener;
    bool everConnected = false;
    while (!shared->stop) {
        if (listener.Socket() < 0) {
            // Not (yet) connected: try, and on a later success everything may have changed.
            if (!listener.Start(conninfo)) {
                if (!Wait(*shared, -1, kRetryMs))
                    return;
                continue;
            }
            shared->listening = true;
            if (everConnected)
                Tell(shared, {QStringLiteral("*")});
            everConnected = true;
        }
        if (!Wait(*shared, listener.Socket(), kRetryMs))
            return;
        const QStringList tables = listener.TakeChanges();
        if (!tables.isEmpty())
            Tell(shared, tables);
    }
}

} // namespace

void CServerChangeWatch::Start(const QString& conninfo) {
    if (m_shared)
        return;
    m_shared = std::make_shared<Shared>();
    m_shared->owner = this;
    m_shared->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Detached: at the end of the program a thread still connecting to an unreachable
    // server must not hold the window open; it finds stop set and ends on its own.
    std::thread(Run, m_shared, conninfo).detach();
}
