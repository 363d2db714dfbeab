#pragma once

#include "exchange/ExchangeTexts.h"
#include "exchange/XmlExport.h"
#include "exchange/XmlSource.h"

#include <QList>
#include <QString>

// Export target kinds as the directories pass them (5, the CSV export, is not XML).
namespace ExportTarget {
enum : int { Drive = 3, Folder = 4 };
}

// The export worker: prepares the target folder (creates it, asks before old exchange
// files are replaced and deletes them), runs the export in one transaction and commits
// it; after a failure it deletes the partial documents and rolls the marks back.
// Messages and the overwrite question go through the notifier.
class CExportWorkflow {
public:
    explicit CExportWorkflow(QString dataFolder);

    void SetCallbacks(ExportCallbacks callbacks) { m_cb = std::move(callbacks); }
    void SetTextLookup(TextLookup lookup) { m_lookup = std::move(lookup); }

    // target: ExportTarget::Drive (path is the drive root, documents go to XmlData) or
    // ExportTarget::Folder. True when the export ended with its transaction committed,
    // also after a cancel.
    bool Run(ExchangeKind kind, int target, const QString& path, const QList<qint32>& ids);

    // The folder that receives the documents.
    static QString TargetFolder(int target, const QString& path);
    // The exchange documents ("*.xml", any letter case) in a folder.
    static QStringList ExchangeFiles(const QString& folder);

    bool WasCancelled() const { return m_cancelled; }
    // Records written (specifications and protocols).
    int Exported() const { return m_exported; }

private:
    bool RunExport(ExchangeKind kind, int target, const QString& path, const QList<qint32>& ids);
    bool Prepare(int target, const QString& folder);
    bool DeleteExchangeFiles(const QString& folder, bool report);
    void Message(qint32 textId, const QString& arg = QString()) const;

    QString m_dataFolder;
    ExportCallbacks m_cb;
    TextLookup m_lookup;
    bool m_cancelled = false;
    int m_exported = 0;
};
