#pragma once

#include "app/BaseClass.h"

#include <QDialog>
#include <atomic>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The modeless progress window of a delete: title, one line of text, a bar and Cancel.
class CDeleteDLG : public QDialog, public CDirectoryProgress {
    Q_OBJECT
public:
    CDeleteDLG(const QString& title, const QString& button, const QString& text, int range, QWidget* parent);
    void SetText(const QString& text) override;
    void SetPosition(int position) override;
    bool Cancelled() override;

    QPushButton* CancelButton() const { return m_cancel; }

private:
    QLabel* m_text = nullptr;
    QLabel* m_name = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelled = false;
};

// The modeless window of a transfer to the tester: a small animation of files moving from
// the computer to the tester, the step text, a bar and Cancel.
class CDlgTransmit : public QDialog {
    Q_OBJECT
public:
    CDlgTransmit(const QString& title, const QString& button, QWidget* parent);
    void SetStep(const QString& text);
    void SetRange(int range);
    void SetPosition(int position);
    // Set by Cancel; the worker polls it.
    std::shared_ptr<std::atomic_bool> CancelFlag() const { return m_cancel; }
    int Frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

private:
    QLabel* m_step = nullptr;
    QProgressBar* m_bar = nullptr;
    QTimer* m_timer = nullptr;
    int m_frame = 0;
    std::shared_ptr<std::atomic_bool> m_cancel = std::make_shared<std::atomic_bool>(false);
};

namespace DirectoryDialogs {

// The filter and sort dialog over the request; true on OK.
bool RunFilter(QWidget* parent, CVELMOR740PCRemoteDoc& doc, CFilterRequest& request);
// Locks the main window, shows the transfer window and runs the send worker on its own
// thread with its own connections; the end comes back as the transfer-ended message.
void StartSend(QWidget* parent, CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, bool specifications,
               const QList<qint32>& ids);

} // namespace DirectoryDialogs
