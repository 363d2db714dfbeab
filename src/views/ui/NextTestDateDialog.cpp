#include "views/ui/NextTestDateDialog.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

void CMaskedSpinBox::SetMasked(bool masked) {
    m_masked = masked;
    setReadOnly(masked);
    setButtonSymbols(masked ? QAbstractSpinBox::NoButtons : QAbstractSpinBox::UpDownArrows);
    Refresh();
}

void CMaskedSpinBox::Refresh() {
    lineEdit()->setText(textFromValue(value()));
}

QString CMaskedSpinBox::textFromValue(int value) const {
    const QString digits = QSpinBox::textFromValue(value);
    return m_masked ? QString(digits.size(), QLatin1Char('*')) : digits;
}

namespace {

CNextTestDateModel::DateFromInterval Computer(CVELMOR740PCRemoteDoc* doc, qint32 protocolId) {
    if (!doc)
        return {};
    const QString folder = doc->DataFolder();
    return [folder, protocolId](int months) {
        CAdoDatabase db;
        if (!db.Open(folder, UserSchema::FileName()))
            return QDate();
        return NextTestDateFromInterval(db, protocolId, months);
    };
}

} // namespace

CNextTestDateDialog::CNextTestDateDialog(CVELMOR740PCRemoteDoc* doc, qint32 protocolId, int deviceInterval,
                                         int specificationInterval, const QDate& current, QWidget* parent)
    : QDialog(parent), m_model(deviceInterval, specificationInterval, current, Computer(doc, protocolId)) {
    auto text = [doc](qint32 id, const char* fallback) {
        return doc ? doc->Text(id, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
    };
    setWindowTitle(text(221, "Change test date"));
    auto* layout = new QVBoxLayout(this);

    auto* interval = new QGroupBox(text(222, "Specify test interval"), this);
    auto* grid = new QGridLayout(interval);
    m_fromSpec = new QRadioButton(
        FormatText(text(223, "From test specification: %d month"), specificationInterval), interval);
    m_device = new QRadioButton(text(224, "Device-specific:"), interval);
    m_months = new CMaskedSpinBox(interval);
    // Typed values outside 1..60 are clamped, not refused, so the field takes them first.
    m_months->setRange(0, 99);
    auto* unit = new QLabel(text(134, "Months"), interval);
    auto* note = new QLabel(
        text(225, "After successful test, the re-test date will be updated by the respective test interval."),
        interval);
    note->setWordWrap(true);
    grid->addWidget(m_fromSpec, 0, 0, 1, 3);
    grid->addWidget(m_device, 1, 0);
    grid->addWidget(m_months, 1, 1);
    grid->addWidget(unit, 1, 2);
    grid->addWidget(note, 2, 0, 1, 3);
    layout->addWidget(interval);

    auto* dateBox = new QGroupBox(text(226, "Determine test date"), this);
    auto* dateGrid = new QGridLayout(dateBox);
    m_match = new QCheckBox(text(227, "Match Next test date with the test interval"), dateBox);
    auto* dateLabel = new QLabel(text(30438, "Next test"), dateBox);
    m_date = new QDateEdit(dateBox);
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    dateLabel->setBuddy(m_date);
    dateGrid->addWidget(m_match, 0, 0, 1, 2);
    dateGrid->addWidget(dateLabel, 1, 0);
    dateGrid->addWidget(m_date, 1, 1);
    layout->addWidget(dateBox);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(text(4512, "Accept"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(text(TextId::kCancel, "Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_fromSpec, &QRadioButton::toggled, this, [this](bool on) {
        if (m_updating || !on)
            return;
        m_model.ChooseSpecification();
        Show();
    });
    connect(m_device, &QRadioButton::toggled, this, [this](bool on) {
        if (m_updating || !on)
            return;
        m_model.ChooseDevice();
        Show();
    });
    connect(m_months, &QSpinBox::valueChanged, this, [this](int months) {
        if (m_updating)
            return;
        m_model.SetMonths(months);
        Show();
    });
    connect(m_match, &QCheckBox::toggled, this, [this](bool on) {
        if (m_updating)
            return;
        m_model.SetMatch(on);
        Show();
    });
    connect(m_date, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        if (m_updating)
            return;
        m_model.SetDateByHand(date);
        Show();
    });
    Show();
}

void CNextTestDateDialog::Show() {
    m_updating = true;
    const bool spec = m_model.UsesSpecification();
    m_fromSpec->setChecked(spec);
    m_device->setChecked(!spec);
    m_months->SetMasked(spec);
    m_months->setValue(m_model.Months());
    m_months->Refresh();
    m_match->setChecked(m_model.Match());
    if (m_model.Date().isValid())
        m_date->setDate(m_model.Date());
    m_updating = false;
}
