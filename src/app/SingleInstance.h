#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

// One program per user and desktop. The first instance listens on a Unix-domain socket
// named after the user and the display, in the temporary folder; a second start asks it to
// raise its window and ends. Plain sockets: the program needs no network library for this.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        First,  // no other instance: this one listens now
        Handed, // another instance answered and raised its window
        Failed  // the socket could not be set up
    };

    explicit CSingleInstance(QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket's name for this user and display.
    static QString ServerName();
    // Its path: the name in the temporary folder.
    static QString ServerPath();

    // Asks a running instance to raise its window, else starts listening. reply receives
    // the running instance's answer.
    Outcome Start(QString* reply = nullptr, int timeoutMs = 5000);

    // What the first instance answers after raising its window (its state, for the log).
    void SetReplyProvider(std::function<QString()> provider) { m_reply = std::move(provider); }

signals:
    // Another start asked this instance to show its window.
    void activationRequested();

private:
    struct Client {
        int fd = -1;
        QByteArray received;
        std::unique_ptr<QSocketNotifier> notifier;
    };
    bool Listen(const QString& path);
    void OnNewConnection();
    void OnClientReadable(int fd);
    void Drop(int fd);

    int m_listenFd = -1;
    QString m_path;
    std::unique_ptr<QSocketNotifier> m_listener;
    std::map<int, Client> m_clients;
    std::function<QString()> m_reply;
};
