#pragma once

#include <QString>
#include <QStringList>

typedef struct pg_conn PGconn;

// Tells which tables other workstations changed: server-init gives each table a statement
// trigger that notifies the channel "v740_changes" with the table's name when a change
// commits. The listener keeps a connection of its own; the program watches Socket() (a
// QSocketNotifier) and calls TakeChanges() when it is readable.
class CPgChangeListener {
public:
    static constexpr const char* kChannel = "v740_changes";

    CPgChangeListener() = default;
    ~CPgChangeListener();
    CPgChangeListener(const CPgChangeListener&) = delete;
    CPgChangeListener& operator=(const CPgChangeListener&) = delete;

    // Connects and listens; false with the reason in Error().
    bool Start(const QString& conninfo);
    // The connection's socket, -1 when not connected.
    int Socket() const;
    // Tables changed since the last call, each once, in lower case. After a lost connection
    // it connects again and returns "*": everything may have changed meanwhile.
    QStringList TakeChanges();
    // Waits up to timeoutMs for a change; the tables as TakeChanges gives them.
    QStringList WaitForChanges(int timeoutMs);
    QString Error() const { return m_error; }

private:
    bool Listen();

    PGconn* m_conn = nullptr;
    QString m_conninfo;
    QString m_error;
};
