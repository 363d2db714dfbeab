#include "app/WindowMessages.h"

#include <QThread>

template <typename F> void CWindowMessages::Send(F emitter) {
    if (QThread::currentThread() == thread())
        emitter();
    else
        QMetaObject::invokeMethod(this, emitter, Qt::BlockingQueuedConnection);
}

void CWindowMessages::PostLinkStatus(const QString& port, const QString& baudRate, const QString& dataBits,
                                     int icon) {
    constexpr int kMax = 128;
    QMetaObject::invokeMethod(
        this,
        [this, p = port.left(kMax), b = baudRate.left(kMax), d = dataBits.left(kMax), icon] {
            emit linkStatusChanged(p, b, d, icon);
        },
        Qt::QueuedConnection);
}

void CWindowMessages::SendItemCount(int count) {
    Send([this, count] { emit itemCountChanged(count); });
}

void CWindowMessages::SendProgress(bool busy, const QString& text) {
    Send([this, busy, text] { emit progressChanged(busy, busy ? text : QString()); });
}

void CWindowMessages::SendTransferEnded(bool success) {
    Send([this, success] { emit transferEnded(success); });
}

void CWindowMessages::SendPrintEnded(bool success) {
    Send([this, success] { emit printEnded(success); });
}

void CWindowMessages::SendClearList() {
    Send([this] { emit clearListRequested(); });
}
