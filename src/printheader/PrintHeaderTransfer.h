#pragma once

#include "link/SerialProfile.h"
#include "platform/WorkflowCallbacks.h"
#include "printheader/PrintHeaderText.h"

#include <QString>
#include <QStringList>
#include <functional>

class CRS232;

// Saves the print header and sends it to the tester: "header.txt" is written to the data
// folder first (a failed send leaves it saved), then transfer mode is entered on the
// stored settings (or on the settings a port scan finds, which are written back to the
// settings file), and "header.txt", "logo.bmp" and every signature go to the tester's
// "\%SYSTEM%" folder. The dialog and "v740ctl header --send" run the same class; it calls
// the status, range and position callbacks from the thread it runs on.
class CPrintHeaderTransfer {
public:
    using TextFunction = std::function<QString(qint32 textId)>;

    static constexpr int kReadTimeout = 2500;
    static constexpr int kPauseMs = 500;
    // Own error numbers (TextIDs) of the save.
    static constexpr qint32 kUnmappable = 60750; // "%s": the character
    static constexpr qint32 kSaveFailed = 60751; // detail: the file's path

    CPrintHeaderTransfer(CRS232& link, const QString& dataFolder, const CSerialProfile& serial);
    void SetTexts(TextFunction texts) { m_texts = std::move(texts); }
    // status (formatted text), range and position are used.
    void SetCallbacks(WorkflowCallbacks callbacks) { m_cb = std::move(callbacks); }
    // Told once a scan found the tester, with whether the settings file took the settings.
    void SetFoundHandler(std::function<void(const CSerialProfile&, bool written)> handler) {
        m_onFound = std::move(handler);
    }
    // The pauses that let the user read the status lines; tests may shorten them.
    void SetPause(int milliseconds) { m_pauseMs = milliseconds; }

    // The progress range of a send with this many signatures.
    static int Range(int signatures) { return signatures + 4; }

    // Saves header and sends it with the logo and the signatures, in the order given. False
    // on the first failure, with ErrorCode() and ErrorDetail().
    bool Run(const CPrintHeaderText& header, const QStringList& signatures);

    bool Saved() const { return m_saved; }
    qint32 ErrorCode() const { return m_error; }
    QString ErrorDetail() const { return m_detail; }
    bool FoundByScan() const { return m_foundByScan; }
    // The settings the tester was reached with (those given, or the scan's).
    const CSerialProfile& Settings() const { return m_serial; }
    // The tester paths sent, in order.
    const QStringList& Sent() const { return m_sent; }

private:
    QString T(qint32 id) const { return m_texts ? m_texts(id) : QString(); }
    void Status(const QString& text) const { m_cb.Status(text); }
    void Pause() const;
    bool Send(const QString& localPath, const QString& testerPath);

    CRS232& m_link;
    QString m_folder;
    CSerialProfile m_serial;
    TextFunction m_texts;
    WorkflowCallbacks m_cb;
    std::function<void(const CSerialProfile&, bool)> m_onFound;
    int m_pauseMs = kPauseMs;
    bool m_saved = false;
    bool m_foundByScan = false;
    qint32 m_error = 0;
    QString m_detail;
    QStringList m_sent;
};
