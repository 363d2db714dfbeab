#pragma once

#include "exchange/ExchangeTexts.h"
#include "platform/WorkflowCallbacks.h"

#include <QList>
#include <QString>
#include <functional>

class CAdoDatabase;

// An export reports through the workflows' callbacks: status lines, range and position,
// recordWritten (the dialog refreshes the free space), cancelled (read before each record)
// and finished.
using ExportCallbacks = WorkflowCallbacks;

// Writes selected test specifications to PV.xml and device protocols to GP.xml in a target
// folder and marks every exported record (bit 0 of ExportImport) on the connection that
// carries the caller's transaction. Each operation shows its own message on failure and
// returns false; the caller rolls back and deletes the partial files.
class CXmlExport {
public:
    CXmlExport(QString targetFolder, TextLookup lookup = {}, ExportCallbacks callbacks = {});

    bool ExportSpecifications(CAdoDatabase& db, const QList<qint32>& ids);
    bool ExportProtocols(CAdoDatabase& db, const QList<qint32>& ids);
    // The test specifications that the protocols name, each once (names ignore case), in
    // the order in which the protocols name them.
    bool FindProtocolSpecifications(CAdoDatabase& db, const QList<qint32>& protocolIds,
                                    QList<qint32>& specificationIds);

    // The progress position the next record advances from.
    void SetPosition(int position) { m_position = position; }
    int Position() const { return m_position; }
    // True when the last operation stopped early because of the cancel flag.
    bool WasCancelled() const { return m_cancelled; }

    // The message of a file error cause (texts 50046 to 50053).
    static QString FileErrorText(int cause, const TextLookup& lookup);

private:
    template <typename Record, typename Read, typename Mark, typename Append>
    bool Export(CAdoDatabase& db, const QList<qint32>& ids, bool specifications, Read read, Mark mark,
                Append append);
    void Message(qint32 textId, const QString& detail = QString()) const;
    bool Cancelled() const { return m_cb.cancelled && m_cb.cancelled(); }

    QString m_folder;
    TextLookup m_lookup;
    ExportCallbacks m_cb;
    int m_position = 0;
    bool m_cancelled = false;
};
