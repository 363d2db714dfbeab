#include "views/ui/FilterDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {
const char* kDateFormat = "yyyy-MM-dd";
// The value control is narrower by this much where an operator choice stands beside it.
constexpr int kOperatorWidth = 30;
} // namespace

CFilterDlg::CFilterDlg(CFilterModel& model, Texts texts, QWidget* parent)
    : QDialog(parent), m_model(model), m_texts(std::move(texts)) {
    auto text = [this](qint32 id, const char* fallback) {
        return m_texts ? m_texts(id, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
    };
    setWindowTitle(text(32600, "Filter Dialog"));
    auto* layout = new QVBoxLayout(this);

    auto* filterGroup = new QGroupBox(text(32601, "Filter"), this);
    auto* grid = new QGridLayout(filterGroup);
    for (int slot = 0; slot < CFilterModel::kConditions; ++slot) {
        Row& row = m_rows[size_t(slot)];
        row.chooser = new QComboBox(filterGroup);
        row.chooser->setObjectName(QStringLiteral("field%1").arg(slot));
        row.chooser->addItem(CFilterModel::kNoEntry, -1);
        for (int field : m_model.ConditionFields()) {
            const CTextItem& item = m_model.Field(field);
            row.chooser->addItem(item.caption, field);
            row.chooser->setItemData(row.chooser->count() - 1, item.prompt, Qt::ToolTipRole);
        }
        row.chooser->setMinimumContentsLength(36);
        row.valueArea = new QWidget(filterGroup);
        auto* area = new QHBoxLayout(row.valueArea);
        area->setContentsMargins(0, 0, 0, 0);
        grid->addWidget(row.chooser, slot * 2, 0);
        grid->addWidget(row.valueArea, slot * 2 + 1, 0);
        connect(row.chooser, &QComboBox::currentIndexChanged, this,
                [this, slot](int index) { ChooseField(slot, index); });
    }
    layout->addWidget(filterGroup);

    auto* sortGroup = new QGroupBox(text(32602, "Sort view after priority 1 and priority 2"), this);
    auto* sortGrid = new QGridLayout(sortGroup);
    const QString labels[] = {text(32603, "Priority 1"), text(32604, "Priority 2")};
    for (int priority = 0; priority < CFilterModel::kSorts; ++priority) {
        auto* chooser = new QComboBox(sortGroup);
        chooser->setObjectName(QStringLiteral("sort%1").arg(priority));
        chooser->addItems(m_model.SortTexts());
        auto* label = new QLabel(labels[priority], sortGroup);
        label->setBuddy(chooser);
        sortGrid->addWidget(label, priority, 0);
        sortGrid->addWidget(chooser, priority, 1);
        m_sorts[size_t(priority)] = chooser;
        connect(chooser, &QComboBox::currentIndexChanged, this, [this, priority, chooser](int index) {
            if (!m_showing)
                m_model.SetSort(priority,
                                index <= 0 ? QString() : m_model.SortColumnOf(chooser->itemText(index)));
        });
    }
    layout->addWidget(sortGroup);

    auto* bottom = new QHBoxLayout;
    m_active = new QCheckBox(text(32785, "Filter active"), this);
    m_active->setObjectName(QStringLiteral("filterActive"));
    m_clear = new QPushButton(text(32783, "Clear all items"), this);
    m_clear->setObjectName(QStringLiteral("clearAll"));
    m_clear->setAutoDefault(false);
    bottom->addWidget(m_active);
    bottom->addStretch();
    bottom->addWidget(m_clear);
    layout->addLayout(bottom);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(text(4512, "Apply"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(text(4502, "Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_active, &QCheckBox::toggled, this, [this](bool on) {
        m_model.SetFilterOn(on);
        EnableControls();
    });
    connect(m_clear, &QPushButton::clicked, this, [this] {
        if (m_model.ClearAll())
            ShowModel();
    });
    ShowModel();
}

void CFilterDlg::ShowModel() {
    m_showing = true;
    for (int slot = 0; slot < CFilterModel::kConditions; ++slot) {
        Row& row = m_rows[size_t(slot)];
        const int index = row.chooser->findData(m_model.Condition(slot).field);
        row.chooser->setCurrentIndex(index < 0 ? 0 : index);
        BuildValueControl(slot);
    }
    for (int priority = 0; priority < CFilterModel::kSorts; ++priority) {
        const QString column = m_model.Sort(priority);
        const int index =
            column.isEmpty() ? 0 : m_sorts[size_t(priority)]->findText(m_model.SortTextOf(column));
        m_sorts[size_t(priority)]->setCurrentIndex(index < 0 ? 0 : index);
    }
    m_active->setChecked(m_model.FilterOn());
    m_showing = false;
    EnableControls();
}

void CFilterDlg::EnableControls() {
    const bool on = m_model.FilterOn();
    for (Row& row : m_rows) {
        row.chooser->setEnabled(on);
        row.valueArea->setEnabled(on);
    }
    for (QComboBox* sort : m_sorts)
        sort->setEnabled(on);
    m_clear->setEnabled(on);
}

void CFilterDlg::ChooseField(int slot, int chooserIndex) {
    if (m_showing)
        return;
    const int field = m_rows[size_t(slot)].chooser->itemData(chooserIndex).toInt();
    m_model.SetField(slot, field);
    BuildValueControl(slot);
}

void CFilterDlg::BuildValueControl(int slot) {
    Row& row = m_rows[size_t(slot)];
    auto* area = static_cast<QHBoxLayout*>(row.valueArea->layout());
    while (QLayoutItem* item = area->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    row.value = nullptr;
    row.op = nullptr;
    CFilterSlot& s = m_model.Condition(slot);
    if (s.field < 0)
        return;
    const CTextItem& item = m_model.Field(s.field);
    const int width = row.chooser->sizeHint().width();
    const bool restoring = m_showing;
    switch (item.inputType) {
    case 1: {
        auto* list = new QComboBox(row.valueArea);
        list->addItem(CFilterModel::kNoEntry);
        list->addItems(m_model.VisibleChoices(s.field));
        int index = s.value.isEmpty() ? 0 : list->findText(s.value, Qt::MatchFixedString);
        list->setCurrentIndex(index < 0 ? 0 : index);
        if (index <= 0)
            s.value.clear();
        connect(list, &QComboBox::currentIndexChanged, this, [this, slot, list](int i) {
            m_model.Condition(slot).value = i <= 0 ? QString() : list->itemText(i);
        });
        row.value = list;
        break;
    }
    case 2:
    case 3: {
        auto* edit = new QLineEdit(s.value, row.valueArea);
        edit->setPlaceholderText(item.notSpecified);
        if (item.inputType == 3) {
            static const QRegularExpression number(QStringLiteral("-?[0-9]*([.,][0-9]*)?"));
            edit->setValidator(new QRegularExpressionValidator(number, edit));
        }
        connect(edit, &QLineEdit::textChanged, this,
                [this, slot](const QString& t) { m_model.Condition(slot).value = t; });
        row.value = edit;
        break;
    }
    case 4: {
        auto* date = new QDateEdit(row.valueArea);
        date->setDisplayFormat(QString::fromLatin1(kDateFormat));
        date->setCalendarPopup(true);
        QDate d = QDate::fromString(s.value, QString::fromLatin1(kDateFormat));
        if (!d.isValid())
            d = QDate::currentDate();
        date->setDate(d);
        // A date field always holds a date: a new one starts with today.
        s.value = d.toString(QString::fromLatin1(kDateFormat));
        connect(date, &QDateEdit::dateChanged, this, [this, slot](const QDate& day) {
            m_model.Condition(slot).value = day.toString(QString::fromLatin1(kDateFormat));
        });
        row.value = date;
        break;
    }
    default:
        return;
    }
    row.value->setObjectName(QStringLiteral("value%1").arg(slot));
    row.value->setToolTip(item.prompt);
    area->addWidget(row.value);
    if (item.HasOperator()) {
        row.value->setFixedWidth(std::max(width - kOperatorWidth - area->spacing(), 60));
        row.op = new QComboBox(row.valueArea);
        row.op->setObjectName(QStringLiteral("operator%1").arg(slot));
        row.op->setToolTip(item.prompt);
        for (const QString& op : CFilterModel::Operators())
            row.op->addItem(m_model.OperatorText(op), op);
        const int index = row.op->findData(s.op.isEmpty() ? item.defaultOperator : s.op);
        row.op->setCurrentIndex(index < 0 ? 0 : index);
        s.op = row.op->currentData().toString();
        connect(row.op, &QComboBox::currentIndexChanged, this, [this, slot](int) {
            m_model.Condition(slot).op = m_rows[size_t(slot)].op->currentData().toString();
        });
        area->addWidget(row.op);
    } else {
        row.value->setFixedWidth(width);
    }
    area->addStretch();
    // Tab from the chooser reaches the new controls, then the next row.
    setTabOrder(row.chooser, row.value);
    QWidget* last = row.value;
    if (row.op) {
        setTabOrder(row.value, row.op);
        last = row.op;
    }
    QWidget* next = slot + 1 < CFilterModel::kConditions
                        ? static_cast<QWidget*>(m_rows[size_t(slot) + 1].chooser)
                        : static_cast<QWidget*>(m_sorts[0]);
    if (next)
        setTabOrder(last, next);
    if (!restoring && isVisible())
        row.value->setFocus();
}

void CFilterDlg::accept() {
    m_result = m_model.Apply();
    QDialog::accept();
}
