#include "views/ui/EingabeDlg.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/ProfileFile.h"
#include "store/AdoDatabase.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"
#include "views/FieldEditorModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QVBoxLayout>

CEingabeDlg::CEingabeDlg(const CFieldEditRequest& request, QWidget* parent)
    : QDialog(parent), m_request(request) {
    CVELMOR740PCRemoteDoc* doc = request.doc;
    auto text = [doc](qint32 id, const char* fallback) {
        return doc ? doc->Text(id, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
    };
    setWindowTitle(text(4518, "Edit"));

    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(request.caption, this);
    layout->addWidget(caption);

    m_combo = new QComboBox(this);
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    if (request.maxLength > 0)
        m_combo->lineEdit()->setMaxLength(request.maxLength);
    caption->setBuddy(m_combo);

    QStringList choices;
    if (doc) {
        CAdoDatabase db;
        const bool open = !doc->DataFolder().isEmpty() && db.Open(doc->DataFolder(), UserSchema::FileName());
        choices = FieldEditorModel::Choices(request.value, request.column, request.table, request.maxLength,
                                            doc->Settings(), open ? &db : nullptr);
    } else {
        choices = {request.value, FieldEditorModel::Separator(request.maxLength)};
    }
    const QString separator = FieldEditorModel::Separator(request.maxLength);
    m_combo->addItems(choices);
    // The separator only parts the lists; it cannot be picked.
    if (auto* model = qobject_cast<QStandardItemModel*>(m_combo->model())) {
        for (int i = 0; i < model->rowCount(); ++i) {
            if (model->item(i)->text() == separator)
                model->item(i)->setFlags(Qt::NoItemFlags);
        }
    }
    m_combo->setCurrentIndex(0);
    m_combo->setEditText(request.value);
    int widest = 0;
    const QFontMetrics fm(m_combo->font());
    for (const QString& c : choices)
        widest = qMax(widest, fm.horizontalAdvance(c));
    m_combo->view()->setMinimumWidth(widest + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                     2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
    m_combo->setMinimumWidth(qMin(widest + 40, 480));
    connect(m_combo->lineEdit(), &QLineEdit::textEdited, this, &CEingabeDlg::OnTextEdited);
    layout->addWidget(m_combo);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(text(4512, "Apply"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(text(TextId::kCancel, "Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CEingabeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CEingabeDlg::reject);
    layout->addWidget(buttons);
    m_combo->setFocus();
    m_combo->lineEdit()->selectAll();
}

void CEingabeDlg::OnTextEdited(const QString& text) {
    QString filtered = text;
    if (!FieldEditorModel::StripForbidden(filtered))
        return;
    QLineEdit* edit = m_combo->lineEdit();
    const int caret = edit->cursorPosition();
    edit->setText(filtered);
    edit->setCursorPosition(qMax(0, caret - 1));
    QApplication::beep();
}

void CEingabeDlg::accept() {
    m_value = FieldEditorModel::Accept(m_combo->currentText(), m_request.maxLength);
    if (m_request.doc && !m_request.column.isEmpty()) {
        CSettingsFile settings = m_request.doc->Settings();
        FieldEditorModel::StoreLast(settings, m_request.column, m_value);
    }
    QDialog::accept();
}

bool CFieldEditorDialog::Edit(const CFieldEditRequest& request, QString& value) {
    CEingabeDlg dlg(request, QApplication::activeWindow());
    if (dlg.exec() != QDialog::Accepted)
        return false;
    value = dlg.Value();
    return true;
}
