#pragma once

#include "link/RS232.h"
#include "maintenance/ConnectionTest.h"

#include <QDialog>
#include <QLabel>
#include <QTimer>

class CVELMOR740PCRemoteDoc;
class QCheckBox;
class QComboBox;

class QPushButton;
class QTableWidget;
class QThread;

// The reply text: a label that opens the answer dialog when clicked.
class CReplyLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The RS232 connection test: connects when it opens, shows the identity, sends single
// commands once or every 100 ms. Each exchange runs on a worker thread so that a silent
// tester does not freeze the window; timer ticks that come while one runs are skipped.
class CRS232TestDialog : public QDialog {
    Q_OBJECT
public:
    explicit CRS232TestDialog(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    ~CRS232TestDialog() override;

    bool FoundByScan() const { return m_test.FoundByScan(); }
    bool Busy() const { return m_worker != nullptr; }
    QString LastReply() const { return m_lastReply; }

    QComboBox* CommandList() const { return m_command; }
    QPushButton* SendButton() const { return m_send; }
    QCheckBox* RepeatBox() const { return m_repeat; }
    QLabel* ReplyText() const { return m_reply; }
    QLabel* StatusLabel() const { return m_status; }
    QPushButton* CloseButton() const { return m_close; }
    QTableWidget* IdentityList() const { return m_identity; }
    bool Repeating() const { return m_timer.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void OnConnected(bool ok);
    void OnSend();
    void OnTick();
    void SendNow(bool repeating);
    void OnRepeat(bool on);
    void OnReplyClicked();

    CVELMOR740PCRemoteDoc& m_doc;
    CRS232 m_link;
    CConnectionTest m_test;
    QTimer m_timer;
    QThread* m_worker = nullptr;
    bool m_started = false;
    bool m_closeWanted = false;
    QString m_lastReply;

    QTableWidget* m_identity = nullptr;
    QLabel* m_status = nullptr;
    QComboBox* m_command = nullptr;
    QPushButton* m_send = nullptr;
    QCheckBox* m_repeat = nullptr;
    CReplyLabel* m_reply = nullptr;
    QPushButton* m_close = nullptr;
};
