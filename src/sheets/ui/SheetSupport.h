#pragma once

#include <QString>
#include <functional>

class CVELMOR740PCRemoteDoc;
class QTreeWidget;
class QWidget;

// What both sheets do around their pages: the question before a save, the message after
// a failed one, and the modal run that saves after OK.
namespace SheetSupport {

// The document's catalogue texts, as the sheets' data classes look them up.
std::function<QString(qint32 textId, const QString& fallback)> DocTexts(CVELMOR740PCRemoteDoc& doc);
// A flat single-selection list of a page, with room above capitals for their accents.
QTreeWidget* NewList(QWidget* parent);

// Text 100 with OK and Cancel; true for OK.
bool ConfirmSave(CVELMOR740PCRemoteDoc& doc);
// The failure of a load or save: message, or text 50054 without one.
void ShowFailure(CVELMOR740PCRemoteDoc& doc, const QString& message = QString());

// A save refused because another workstation changed the record: the question (Yes/No)
// whether to show the record again as it is now; true for Yes.
bool AskReload(const QString& message);

// Shows the sheet of record id modally and saves after OK; true when a change was saved.
// When another workstation changed the record while the sheet was open, nothing is
// written and the user may open it again with that workstation's values.
template <class Sheet> bool Run(CVELMOR740PCRemoteDoc& doc, qint32 id, QWidget* parent) {
    for (;;) {
        Sheet sheet(doc, id, parent);
        if (!sheet.IsLoaded()) {
            ShowFailure(doc);
            return false;
        }
        if (sheet.exec() != Sheet::Accepted)
            return false;
        if (sheet.SaveAfterOk())
            return true;
        if (!sheet.ChangedElsewhere() || !AskReload(sheet.FailureMessage()))
            return false;
    }
}

} // namespace SheetSupport
