#include "app/ui/MessageBoxNotifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {

QMessageBox::Icon BoxIcon(CNotifier::Icon icon) {
    switch (icon) {
    case CNotifier::Icon::Information:
        return QMessageBox::Information;
    case CNotifier::Icon::Warning:
        return QMessageBox::Warning;
    case CNotifier::Icon::Error:
        return QMessageBox::Critical;
    case CNotifier::Icon::Question:
        return QMessageBox::Question;
    case CNotifier::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(CNotifier::Buttons buttons) {
    switch (buttons) {
    case CNotifier::Buttons::Ok:
        return QMessageBox::Ok;
    case CNotifier::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case CNotifier::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case CNotifier::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

} // namespace

void CMessageBoxNotifier::ShowMessage(const QString& text, const QString& caption, Icon icon) {
    Run(text, caption, Buttons::Ok, icon);
}

CNotifier::Answer CMessageBoxNotifier::Ask(const QString& text, const QString& caption, Buttons buttons,
                                           Icon icon) {
    return Run(text, caption, buttons, icon);
}

CNotifier::Answer CMessageBoxNotifier::Run(const QString& text, const QString& caption, Buttons buttons,
                                           Icon icon) {
    if (QThread::currentThread() != thread()) {
        Answer answer = Answer::Cancel;
        QMetaObject::invokeMethod(
            this, [&] { answer = Run(text, caption, buttons, icon); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    QMessageBox box(BoxIcon(icon), caption.isEmpty() ? QApplication::applicationDisplayName() : caption, text,
                    BoxButtons(buttons), QApplication::activeWindow());
    // Texts come from data; they are shown as they stand, never as markup.
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}
