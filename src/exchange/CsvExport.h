#pragma once

#include "exchange/ExchangeTexts.h"
#include "exchange/XmlExport.h"
#include "store/TextCatalog.h"

#include <QList>
#include <QLocale>
#include <QString>

class CAdoDatabase;
struct ProtocolReportData;

// Export target kind of the CSV export (device protocols to a drive).
namespace ExportTarget {
enum : int { DriveCsv = 5 };
}

// The CSV export of device protocols: one tab-separated report per protocol in
// <drive>/CsvData/<client>/, in the user's language and number and date formats.
// Run is the export worker: it prepares CsvData (asking before it is reused), runs the
// export in one transaction on user2.db and commits it; a failure rolls the exported
// marks back. Messages and the question go through the notifier.
class CCsvExport {
public:
    // referenceFolder holds velmor.db (empty: the program's reference folder); language is
    // the catalogue column the labels come from.
    CCsvExport(QString dataFolder, QString referenceFolder, QString language,
               QLocale locale = QLocale::system());

    void SetCallbacks(ExportCallbacks callbacks) { m_cb = std::move(callbacks); }
    void SetTextLookup(TextLookup lookup) { m_lookup = std::move(lookup); }

    // driveRoot: the mount point of the drive. True when the export ended committed, also
    // after a cancel.
    bool Run(const QString& driveRoot, const QList<qint32>& ids);

    // Writes one file per protocol below csvFolder and sets bit 1 of ExportImport on db,
    // which carries the caller's transaction. Shows its own message and returns false on
    // failure; the file being written is removed then.
    bool ExportProtocolsCsv(CAdoDatabase& db, const QString& csvFolder, const QList<qint32>& ids);

    static QString CsvFolder(const QString& driveRoot);
    // "1-3,5" for jacks 1, 2, 3 and 5 (bit 0 is jack 1); see ProtocolReport::JackList.
    static QString JackList(quint32 jacks);
    // The voltage that the measured values were extrapolated to: the nominal voltage scaled by
    // the standard's calculation factor (NormenTab.CalcFactor of ref, in percent) and rounded.
    // False without a factor or a readable voltage: there is no note then.
    static bool ExtrapolationVoltage(CAdoDatabase& ref, qint32 standardId, const QString& nominalVoltage,
                                     double& volts);
    // A client folder or file name part: characters that a drive's file names cannot hold
    // become "%".
    static QString FileNamePart(const QString& text);

    bool WasCancelled() const { return m_cancelled; }
    int Exported() const { return m_exported; }
    // The files written by the last run, in order (a replaced name appears again).
    const QStringList& WrittenFiles() const { return m_written; }

private:
    bool Prepare(const QString& csvFolder);
    // One protocol: read it (ProtocolReport::Read), format it (CsvReportLines), write it.
    bool ExportOne(CAdoDatabase& db, CAdoDatabase& ref, const QString& csvFolder, qint32 id);
    // Writes the report into its client folder and marks the protocol exported.
    bool WriteReport(CAdoDatabase& db, const QString& csvFolder, const ProtocolReportData& data,
                     const QStringList& lines);
    QString T(qint32 textId);
    void Message(qint32 textId, const QString& detail = QString()) const;
    void MessageFormatted(qint32 textId, const QString& arg) const;
    bool Cancelled() const { return m_cb.cancelled && m_cb.cancelled(); }

    QString m_dataFolder;
    QString m_referenceFolder;
    QString m_language;
    QLocale m_locale;
    ExportCallbacks m_cb;
    TextLookup m_lookup;
    CTextCatalog m_catalog;
    bool m_cancelled = false;
    int m_exported = 0;
    int m_position = 0;
    QStringList m_written;
};
