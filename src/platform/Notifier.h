#pragma once

#include <QString>

// How the core talks to the user without knowing whether a window, a terminal or a
// test is listening. The program shows message boxes, v740ctl writes to standard error
// and answers questions with a preset answer, tests record what was said.
class CNotifier {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~CNotifier() = default;

    // A message the user acknowledges.
    virtual void ShowMessage(const QString& text, const QString& caption, Icon icon) = 0;
    // A question; the implementation decides how it is answered.
    virtual Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) = 0;
};

// The process-wide notifier. Never null: until one is installed, messages go to stderr
// and questions are answered with their negative choice.
CNotifier& Notifier();
// Installs a notifier (not owned) and returns the previous one; null restores the default.
CNotifier* SetNotifier(CNotifier* notifier);

// Writes messages to standard error; questions get a fixed answer.
class CStderrNotifier : public CNotifier {
public:
    explicit CStderrNotifier(Answer answer = Answer::Cancel) : m_answer(answer) {}
    void ShowMessage(const QString& text, const QString& caption, Icon icon) override;
    Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;
    void SetAnswer(Answer answer) { m_answer = answer; }

private:
    Answer m_answer;
};

// Installs a notifier for the lifetime of the guard.
class CScopedNotifier {
public:
    explicit CScopedNotifier(CNotifier* notifier) : m_previous(SetNotifier(notifier)) {}
    ~CScopedNotifier() { SetNotifier(m_previous); }
    CScopedNotifier(const CScopedNotifier&) = delete;
    CScopedNotifier& operator=(const CScopedNotifier&) = delete;

private:
    CNotifier* m_previous;
};
