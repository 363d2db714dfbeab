#include "maintenance/ui/AntwortDlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CAntwortDlg::CAntwortDlg(const QString& title, const QString& reply, const QString& closeText,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setPlainText(reply);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(closeText, QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    resize(460, 240);
}

QString CAntwortDlg::Reply() const {
    return m_text->toPlainText();
}
