#pragma once

#include <QString>
#include <functional>

// How every workflow ends (import, export, CSV export, sending to the tester): a workflow's
// own result type extends it with its counts.
struct WorkflowResult {
    bool ok = false;
    bool cancelled = false;
    qint32 error = 0;  // a TextID: the workflow's own, a reader, database or link number
    QString errorText; // shown below the error's text
};

// The one callback structure of every workflow. The dialog and v740ctl set what they show;
// a workflow calls only what is set, from its own thread.
struct WorkflowCallbacks {
    std::function<void(qint32 titleTextId)> title;                   // the progress window's title
    std::function<void(int range)> range;                            // steps of the progress bar
    std::function<void(int position)> position;                      // the step reached
    std::function<void(qint32 stepTextId, const QString& arg)> step; // a catalogue text and its argument
    std::function<void(const QString& text)> status;                 // a status line, formatted
    std::function<void()> recordWritten;                             // e.g. to refresh the free space
    std::function<bool()> cancelled;                                 // polled between records
    std::function<void(const WorkflowResult& result)> finished;      // the end of each run

    void Title(qint32 id) const {
        if (title)
            title(id);
    }
    void Range(int n) const {
        if (range)
            range(n);
    }
    void Position(int n) const {
        if (position)
            position(n);
    }
    void Step(qint32 id, const QString& arg = QString()) const {
        if (step)
            step(id, arg);
    }
    void Status(const QString& text) const {
        if (status)
            status(text);
    }
    void RecordWritten() const {
        if (recordWritten)
            recordWritten();
    }
    bool Cancelled() const { return cancelled && cancelled(); }
    void Finished(const WorkflowResult& result) const {
        if (finished)
            finished(result);
    }
};
