#pragma once

#include <QString>

class CVELMOR740PCRemoteDoc;
class QWidget;

// What both sheets do around their pages: the question before a save, the message after
// a failed one, and the modal run that saves after OK.
namespace SheetSupport {

// Text 100 with OK and Cancel; true for OK.
bool ConfirmSave(CVELMOR740PCRemoteDoc& doc);
// The failure of a load or save: message, or text 50054 without one.
void ShowFailure(CVELMOR740PCRemoteDoc& doc, const QString& message = QString());

// Shows the sheet of record id modally and saves after OK; true when a change was saved.
template <class Sheet> bool Run(CVELMOR740PCRemoteDoc& doc, qint32 id, QWidget* parent) {
    Sheet sheet(doc, id, parent);
    if (!sheet.IsLoaded()) {
        ShowFailure(doc);
        return false;
    }
    if (sheet.exec() != Sheet::Accepted)
        return false;
    return sheet.SaveAfterOk();
}

} // namespace SheetSupport
