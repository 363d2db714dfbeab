#pragma once

#include <QLocalServer>
#include <QObject>
#include <functional>

// One program per user and desktop. The first instance listens on a local socket named
// after the user and the display; a second start asks it to raise its window and ends.
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

    // Asks a running instance to raise its window, else starts listening. reply receives
    // the running instance's answer.
    Outcome Start(QString* reply = nullptr, int timeoutMs = 5000);

    // What the first instance answers after raising its window (its state, for the log).
    void SetReplyProvider(std::function<QString()> provider) { m_reply = std::move(provider); }

signals:
    // Another start asked this instance to show its window.
    void activationRequested();

private:
    void OnNewConnection();

    QLocalServer m_server;
    std::function<QString()> m_reply;
};
