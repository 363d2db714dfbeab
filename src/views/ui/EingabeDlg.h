#pragma once

#include "app/BaseEntry.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The field editor of property rows: the caption, and an editable drop-down list with the
// current value, the column's last value, a separator line and the column's stored values.
class CEingabeDlg : public QDialog {
    Q_OBJECT
public:
    CEingabeDlg(const CFieldEditRequest& request, QWidget* parent = nullptr);

    // The accepted value (filtered, trailing blanks removed); valid after OK.
    QString Value() const { return m_value; }
    QComboBox* Combo() const { return m_combo; }

    void accept() override;

private:
    void OnTextEdited(const QString& text);

    CFieldEditRequest m_request;
    QComboBox* m_combo = nullptr;
    QString m_value;
};

// The program's field editor: runs CEingabeDlg modally over the active window.
class CFieldEditorDialog : public CFieldEditor {
public:
    bool Edit(const CFieldEditRequest& request, QString& value) override;
};
