#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

// Hears the changes other workstations commit to a user database on a server and tells
// the window, so the list it shows can follow them. The listening connection lives in a
// thread of its own: connecting to a distant server, or finding it gone, never holds up
// the window. After a lost connection the watch connects again by itself and reports "*"
// (anything may have changed meanwhile).
class CServerChangeWatch : public QObject {
    Q_OBJECT
public:
    explicit CServerChangeWatch(QObject* parent = nullptr);
    ~CServerChangeWatch() override;

    // Starts listening on the server of conninfo; a second call does nothing.
    void Start(const QString& conninfo);
    // True once the first connection was made and its LISTEN is in force.
    bool IsListening() const;

    // Whether a change to one of these tables concerns a list of device protocols or test specifications.
    static bool ConcernsDirectories(const QStringList& tables);

    // What the watch shares with its listening thread.
    struct Shared;

signals:
    // Table names in lower case, each once, or "*" for everything.
    void changed(const QStringList& tables);

private:
    std::shared_ptr<Shared> m_shared;
};
