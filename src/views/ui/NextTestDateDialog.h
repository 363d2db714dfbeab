#pragma once

#include "views/NextTestDateModel.h"

#include <QDialog>
#include <QSpinBox>

class CVELMOR740PCRemoteDoc;
class QCheckBox;
class QDateEdit;
class QRadioButton;

// A months field that shows "*" characters while the specification's interval applies.
class CMaskedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    void SetMasked(bool masked);
    bool IsMasked() const { return m_masked; }
    // Shows the value again (masked or not).
    void Refresh();

protected:
    QString textFromValue(int value) const override;

private:
    bool m_masked = false;
};

// Sets a device protocol's device-specific test interval and its next test date.
class CNextTestDateDialog : public QDialog {
    Q_OBJECT
public:
    // deviceInterval 0: the specification's interval applies.
    CNextTestDateDialog(CVELMOR740PCRemoteDoc* doc, qint32 protocolId, int deviceInterval,
                        int specificationInterval, const QDate& current, QWidget* parent = nullptr);

    // The results after OK: 0 when the specification's interval applies.
    int DeviceInterval() const { return m_model.DeviceInterval(); }
    QDate NextTestDate() const { return m_model.Date(); }

    CMaskedSpinBox* MonthsField() const { return m_months; }
    QRadioButton* SpecificationChoice() const { return m_fromSpec; }
    QRadioButton* DeviceChoice() const { return m_device; }
    QCheckBox* MatchOption() const { return m_match; }
    QDateEdit* DateField() const { return m_date; }

private:
    void Show();

    CNextTestDateModel m_model;
    CMaskedSpinBox* m_months = nullptr;
    QRadioButton* m_fromSpec = nullptr;
    QRadioButton* m_device = nullptr;
    QCheckBox* m_match = nullptr;
    QDateEdit* m_date = nullptr;
    bool m_updating = false;
};
