#pragma once

#include <QObject>
#include <QString>

// The messages that workers and directories send to the main frame and the main view.
// The object lives on the user-interface thread; the Send and Post operations may be
// called from any thread. A sent message is delivered before the call returns (directly
// on the user-interface thread, otherwise through a blocking queued call); a posted one
// is queued. Frame and view connect to the signals.
class CWindowMessages : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Link status icon numbers of the status bar.
    enum LinkIcon : int { LinkConnecting = 168, LinkClosed = 169, LinkConnected = 170, LinkFailed = 171 };

    // Posted by the tester link: the port, baud rate and data bits in use (each cut to
    // 128 characters) and the status icon.
    void PostLinkStatus(const QString& port, const QString& baudRate, const QString& dataBits, int icon);
    // Sent by a directory: the number of items now in the list.
    void SendItemCount(int count);
    // Sent by a worker: a progress text with the busy icon (busy true) or the idle state.
    void SendProgress(bool busy, const QString& text = QString());
    // Sent by a worker when a transfer or an export ended.
    void SendTransferEnded(bool success);
    // Sent by a print worker when its job ended.
    void SendPrintEnded(bool success);
    // Sent by the frame before it closes: the view frees its list.
    void SendClearList();

signals:
    void linkStatusChanged(const QString& port, const QString& baudRate, const QString& dataBits, int icon);
    void itemCountChanged(int count);
    void progressChanged(bool busy, const QString& text);
    void transferEnded(bool success);
    void printEnded(bool success);
    void clearListRequested();

private:
    template <typename F> void Send(F emitter);
};
