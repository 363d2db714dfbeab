#include "sheets/ui/SheetSupport.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"
#include "store/TextIds.h"

#include <QTreeWidget>

namespace SheetSupport {

std::function<QString(qint32, const QString&)> DocTexts(CVELMOR740PCRemoteDoc& doc) {
    return [&doc](qint32 id, const QString& fallback) { return doc.Text(id, fallback); };
}

QTreeWidget* NewList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Room above capitals, so that the accents of "Ö" or "Č" are not cut off.
    list->setStyleSheet(QStringLiteral("QTreeView::item { padding-top: 2px; padding-bottom: 1px; }"));
    return list;
}

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

bool AskReload(const QString& message) {
    return Notifier().Ask(message, CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Buttons::YesNo,
                          CNotifier::Icon::Question) == CNotifier::Answer::Yes;
}

} // namespace SheetSupport
