#pragma once

#include "views/FilterModel.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QPushButton;
class QWidget;

// The filter and sort dialog: three condition rows (a field chooser and, below it, the value
// control the field's input type needs, with an operator choice beside date and value
// comparisons), two sort choosers, "Filter active" and "Clear all items". A thin shell over
// CFilterModel, which it changes as the user works; OK leaves the result in Result().
class CFilterDlg : public QDialog {
    Q_OBJECT
public:
    // Texts of the dialog itself: TextID with the fixed text used when the lookup fails.
    using Texts = std::function<QString(qint32, const QString&)>;
    CFilterDlg(CFilterModel& model, Texts texts, QWidget* parent = nullptr);

    const CFilterModel::Result& Result() const { return m_result; }

    // The controls, for the keyboard and for tests.
    QComboBox* FieldChooser(int slot) const { return m_rows[size_t(slot)].chooser; }
    QWidget* ValueControl(int slot) const { return m_rows[size_t(slot)].value; }
    QComboBox* OperatorChoice(int slot) const { return m_rows[size_t(slot)].op; }
    QComboBox* SortChooser(int priority) const { return m_sorts[size_t(priority)]; }
    QCheckBox* FilterActive() const { return m_active; }
    QPushButton* ClearButton() const { return m_clear; }
    QPushButton* OkButton() const { return m_ok; }

    void accept() override;

private:
    struct Row {
        QComboBox* chooser = nullptr;
        QWidget* valueArea = nullptr; // holds the value control and the operator choice
        QWidget* value = nullptr;
        QComboBox* op = nullptr;
    };
    void ChooseField(int slot, int chooserIndex);
    // Builds the value control of a slot from the model's slot.
    void BuildValueControl(int slot);
    // Shows the model's state in every control.
    void ShowModel();
    void EnableControls();

    CFilterModel& m_model;
    Texts m_texts;
    std::array<Row, CFilterModel::kConditions> m_rows;
    std::array<QComboBox*, CFilterModel::kSorts> m_sorts{};
    QCheckBox* m_active = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_showing = false; // controls are being set from the model
    CFilterModel::Result m_result;
};
