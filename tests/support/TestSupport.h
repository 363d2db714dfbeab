#pragma once

#include "platform/Notifier.h"

#include <QStringList>
#include <QTemporaryDir>
#include <mutex>
#include <ostream>

// Records everything the core tells the user; questions get a preset answer.
class CRecordingNotifier : public CNotifier {
public:
    void ShowMessage(const QString& text, const QString& caption, Icon icon) override {
        std::lock_guard lock(m_mutex);
        messages << text;
        captions << caption;
        icons.push_back(icon);
    }
    Answer Ask(const QString& text, const QString& caption, Buttons, Icon icon) override {
        ShowMessage(text, caption, icon);
        return answer;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        messages.clear();
        captions.clear();
        icons.clear();
    }
    QString Last() const { return messages.isEmpty() ? QString() : messages.last(); }

    QStringList messages;
    QStringList captions;
    std::vector<Icon> icons;
    Answer answer = Answer::Cancel;

private:
    std::mutex m_mutex;
};

// A recorder installed for the lifetime of a test.
struct CNotifierScope {
    CRecordingNotifier recorder;
    CScopedNotifier scope{&recorder};
};

// Path of a built program in build/bin.
QString BinPath(const QString& program);

struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};
// Runs a program with extra environment entries ("NAME=value") and `input` on its standard
// input (then closed), and waits for it.
ProcessResult RunProgram(const QString& program, const QStringList& args, const QStringList& env = {},
                         int timeoutMs = 60000, const QByteArray& input = {});

// Lets GoogleTest print QStrings readably in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
