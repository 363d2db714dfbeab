#pragma once

#include <QDialog>

class QPlainTextEdit;

// The tester's last reply in full, with a title and a close button.
class CAntwortDlg : public QDialog {
    Q_OBJECT
public:
    CAntwortDlg(const QString& title, const QString& reply, const QString& closeText,
                QWidget* parent = nullptr);
    QString Reply() const;

private:
    QPlainTextEdit* m_text = nullptr;
};
