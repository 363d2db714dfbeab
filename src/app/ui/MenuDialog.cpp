#include "app/ui/MenuDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CMenuDialog::CMenuDialog(const QString& title, const QString& header, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    m_header = new QLineEdit(header, this);
    m_header->setReadOnly(true);
    m_header->setObjectName(QStringLiteral("header"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("entries"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setReadOnly(true);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    m_description->setFont(font);
    m_description->setMaximumHeight(80);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_header);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_description);
    layout->addWidget(buttons);
    resize(420, 380);

    connect(m_list, &QListWidget::currentRowChanged, this, &CMenuDialog::ShowDescription);
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { Choose(m_list->row(item)); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { Choose(m_list->currentRow()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &CMenuDialog::reject);
}

CMenuDialog::~CMenuDialog() = default;

void CMenuDialog::AddEntry(const QString& title, const QString& description, qint32 command) {
    m_entries.push_back({title, description, command});
    m_list->addItem(title);
}

int CMenuDialog::exec() {
    if (m_entries.empty())
        return -1;
    m_list->setCurrentRow(0);
    ShowDescription(0);
    m_list->setFocus();
    return QDialog::exec();
}

QString CMenuDialog::Description() const {
    return m_description->toPlainText();
}

QString CMenuDialog::Header() const {
    return m_header->text();
}

void CMenuDialog::ShowDescription(int row) {
    if (row >= 0 && row < int(m_entries.size()))
        m_description->setPlainText(m_entries[size_t(row)].description);
}

void CMenuDialog::Choose(int row) {
    if (row < 0 || row >= int(m_entries.size()))
        done(1);
    else
        done(m_entries[size_t(row)].command);
}
