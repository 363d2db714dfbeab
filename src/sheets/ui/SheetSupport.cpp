#include "sheets/ui/SheetSupport.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"
#include "store/TextIds.h"

namespace SheetSupport {

bool ConfirmSave(CVELMOR740PCRemoteDoc& doc) {
    return Notifier().Ask(doc.Text(100, QStringLiteral("Do you want to save the changes?")),
                          CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Buttons::OkCancel,
                          CNotifier::Icon::Question) == CNotifier::Answer::Ok;
}

void ShowFailure(CVELMOR740PCRemoteDoc& doc, const QString& message) {
    Notifier().ShowMessage(
        message.isEmpty()
            ? doc.Text(TextId::kUpdateNotPossible, QStringLiteral("Database error: Update not possible!"))
            : message,
        CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Error);
}

} // namespace SheetSupport
