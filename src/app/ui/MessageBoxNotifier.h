#pragma once

#include "platform/Notifier.h"

#include <QObject>

// The program's notifier: message boxes on the user-interface thread. Workers that call
// it wait until the user has answered.
class CMessageBoxNotifier : public QObject, public CNotifier {
    Q_OBJECT
public:
    using QObject::QObject;
    void ShowMessage(const QString& text, const QString& caption, Icon icon) override;
    Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;

private:
    Answer Run(const QString& text, const QString& caption, Buttons buttons, Icon icon);
};
