#include "platform/Notifier.h"

#include <atomic>
#include <cstdio>

namespace {

CStderrNotifier& DefaultNotifier() {
    static CStderrNotifier notifier;
    return notifier;
}

std::atomic<CNotifier*> g_notifier{nullptr};

const char* IconWord(CNotifier::Icon icon) {
    switch (icon) {
    case CNotifier::Icon::Error:
        return "error";
    case CNotifier::Icon::Warning:
        return "warning";
    case CNotifier::Icon::Question:
        return "question";
    default:
        return nullptr;
    }
}

} // namespace

CNotifier& Notifier() {
    CNotifier* n = g_notifier.load();
    return n ? *n : DefaultNotifier();
}

CNotifier* SetNotifier(CNotifier* notifier) {
    return g_notifier.exchange(notifier);
}

void CStderrNotifier::ShowMessage(const QString& text, const QString& caption, Icon icon) {
    QByteArray out;
    if (const char* word = IconWord(icon)) {
        out += word;
        out += ": ";
    }
    if (!caption.isEmpty())
        out += caption.toUtf8() + ": ";
    out += text.trimmed().toUtf8();
    std::fprintf(stderr, "%s\n", out.constData());
    std::fflush(stderr);
}

CNotifier::Answer CStderrNotifier::Ask(const QString& text, const QString& caption, Buttons buttons,
                                       Icon icon) {
    Answer answer = m_answer;
    // Keep the answer within the buttons the question offers.
    if (buttons == Buttons::YesNo && answer == Answer::Cancel)
        answer = Answer::No;
    if (buttons == Buttons::Ok)
        answer = Answer::Ok;
    if (buttons == Buttons::OkCancel && (answer == Answer::Yes || answer == Answer::No))
        answer = answer == Answer::Yes ? Answer::Ok : Answer::Cancel;
    const char* names[] = {"OK", "Cancel", "Yes", "No"};
    ShowMessage(text + QStringLiteral(" [answered: %1]").arg(QLatin1String(names[int(answer)])), caption,
                icon);
    return answer;
}
