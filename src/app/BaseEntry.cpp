#include "app/BaseEntry.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"

#include <atomic>

namespace {

std::atomic<CFieldEditor*> g_editor{nullptr};

void Tell(const QString& text, CNotifier::Icon icon = CNotifier::Icon::Information) {
    Notifier().ShowMessage(text, CVELMOR740PCRemoteDoc::AppTitle(), icon);
}

} // namespace

CFieldEditor* FieldEditor() {
    return g_editor.load();
}

CFieldEditor* SetFieldEditor(CFieldEditor* editor) {
    return g_editor.exchange(editor);
}

void CBaseEntry::Doubleclickfunction(int, CEntryPage&) {
    Tell(QStringLiteral("CBaseEntry::Doubleclickfunction no Function override found!"),
         CNotifier::Icon::Warning);
}

void CBaseEntry::Doubleclickfunction2(int, CEntryPage&) {
    Tell(QStringLiteral("CBaseEntry::Doubleclickfunction no Function override found!"),
         CNotifier::Icon::Warning);
}

bool CBaseEntry::FormatAssignment(const QString& value) {
    const QString placeholders = FormatPlaceholders(m_AssignmentFormat);
    if (placeholders.isEmpty()) {
        // A fixed assignment ("TestSequenceID = 10601") stays as it is.
        m_Assignment = m_AssignmentFormat;
        return true;
    }
    if (placeholders.contains(QLatin1Char(' ')))
        return false; // more than one placeholder: not an assignment of one column
    const QChar conv = placeholders.at(1);
    if (conv == QLatin1Char('s') || conv == QLatin1Char('S')) {
        m_Assignment = FormatText(m_AssignmentFormat, SqlQuote(value));
        return true;
    }
    if (QStringLiteral("diu").contains(conv)) {
        bool ok = false;
        const qint64 number = value.trimmed().toLongLong(&ok);
        if (!ok)
            return false;
        m_Assignment = FormatText(m_AssignmentFormat, number);
        return true;
    }
    return false;
}

void CEditEntry::Doubleclickfunction(int row, CEntryPage& page) {
    Edit(row, page, QStringLiteral("GeraeteTab"), 1, true);
}

void CEditEntry::Doubleclickfunction2(int row, CEntryPage& page) {
    Edit(row, page, QStringLiteral("TypenTab"), 2, false);
}

void CEditEntry::Edit(int row, CEntryPage& page, const QString& table, int valueColumn, bool first) {
    if (!m_Editable) {
        page.SetHelpText(m_Help);
        return;
    }
    CFieldEditor* editor = FieldEditor();
    if (!editor) {
        Tell(QStringLiteral("The field editor is not in this build yet."));
        return;
    }
    CFieldEditRequest request;
    request.doc = page.Document();
    request.caption = m_Caption;
    request.value = m_Value;
    request.column = m_AssignmentFormat.section(QLatin1Char(' '), 0, 0);
    request.table = table;
    request.maxLength = m_Max;
    QString value = m_Value;
    if (!editor->Edit(request, value))
        return;
    if (first && m_AssignmentFormat.contains(QLatin1String("Client")) && !page.AcceptClient(value))
        return;
    const QString assignment = m_Assignment;
    // A number row with a minimum (a test interval) takes whole numbers from it up to as many
    // digits as its maximum length allows.
    bool inRange = true;
    if (m_Min > 0) {
        const qint64 number = value.trimmed().toLongLong(&inRange);
        inRange = inRange && number >= m_Min && (m_Max <= 0 || value.trimmed().size() <= m_Max);
    }
    if (!inRange || !FormatAssignment(value)) {
        Tell(QStringLiteral("\"%1\" is not a valid value for %2.").arg(value, m_Caption),
             CNotifier::Icon::Warning);
        m_Assignment = assignment;
        return;
    }
    page.SetRowText(row, valueColumn, value);
    if (first)
        page.SetHelpText(value);
    m_Value = value;
    page.SetChanged();
}

void CSelectEntry::Doubleclickfunction2(int row, CEntryPage& page) {
    if (!m_Editable) {
        page.SetHelpText(m_Help);
        return;
    }
    page.SetChanged();
    if (page.IsSingleChoice()) {
        for (int r = 0; r < page.EntryCount(); ++r) {
            if (CBaseEntry* entry = page.Entry(r))
                entry->m_Mark = r == row ? 1 : 0;
            page.SetRowText(r, 0, r == row ? page.CheckMarkText() : QString());
        }
        return;
    }
    m_Mark = m_Mark ? 0 : 1;
    page.SetRowText(row, 0, m_Mark ? page.CheckMarkText() : QString());
    FormatAssignment(m_Mark ? QStringLiteral("1") : QStringLiteral("0"));
}
