#include "exchange/XmlExport.h"

#include "exchange/XmlFile.h"
#include "exchange/XmlRecords.h"
#include "exchange/XmlSource.h"
#include "exchange/XmlSupport.h"
#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcExport, "v740.exchange.export", QtWarningMsg)

constexpr qint32 kTextRecordNotFound = 168;
constexpr qint32 kTextRecordUnreadable = 169;
} // namespace

CXmlExport::CXmlExport(QString targetFolder, TextLookup lookup, ExportCallbacks callbacks)
    : m_folder(std::move(targetFolder)), m_lookup(std::move(lookup)), m_cb(std::move(callbacks)) {}

QString CXmlExport::FileErrorText(int cause, const TextLookup& lookup) {
    switch (cause) {
    case CXmlFile::Generic:
        return ExchangeText::Resolve(lookup, 50046);
    case CXmlFile::FileNotFound:
        return ExchangeText::Resolve(lookup, 50047);
    case CXmlFile::BadPath:
        return ExchangeText::Resolve(lookup, 50048);
    case CXmlFile::AccessDenied:
        return ExchangeText::Resolve(lookup, 50049);
    case CXmlFile::DirectoryFull:
        return ExchangeText::Resolve(lookup, 50050);
    case CXmlFile::DiskFull:
        return ExchangeText::Resolve(lookup, 50051);
    case CXmlFile::EndOfFile:
        return ExchangeText::Resolve(lookup, 50052);
    default:
        return FormatText(ExchangeText::Resolve(lookup, 50053), cause);
    }
}

void CXmlExport::Message(qint32 textId, const QString& detail) const {
    QString text = ExchangeText::Resolve(m_lookup, textId);
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    Notifier().ShowMessage(text, QString(), CNotifier::Icon::Error);
}

template <typename Record, typename Read, typename Mark, typename Append>
bool CXmlExport::Export(CAdoDatabase& db, const QList<qint32>& ids, bool specifications, Read read, Mark mark,
                        Append append) {
    m_cancelled = false;
    if (!db.IsOpen()) {
        Message(TextId::kOpenDatabase);
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    const ExchangeKind kind = specifications ? ExchangeKind::Specifications : ExchangeKind::Protocols;
    CXmlFile file;
    const auto failFile = [&]() {
        Notifier().ShowMessage(FileErrorText(file.GetCause(), m_lookup) + QLatin1Char('\n') + file.Path(),
                               QString(), CNotifier::Icon::Error);
        return false;
    };
    if (!file.Create(m_folder + QLatin1Char('/') + DocumentFileName(kind)))
        return failFile();
    CXmlSupport xml;
    xml.AddHeader();
    if (specifications)
        xml.BeginSpecifications();
    else
        xml.BeginProtocols();
    for (const QString& line : xml.Lines())
        if (!file.WriteLine(line))
            return failFile();

    for (const qint32 id : ids) {
        if (Cancelled()) {
            m_cancelled = true;
            break;
        }
        xml.ClearLines();
        Record record;
        XmlRecords::ReadFailure failure = XmlRecords::ReadFailure::None;
        if (!read(db, id, record, failure)) {
            const qint32 cause = db.GetErrorNumber();
            Message(cause == DbError::Busy || cause == DbError::ReadOnly ? cause
                    : failure == XmlRecords::ReadFailure::NotOpened      ? TextId::kOpenDatabase
                    : failure == XmlRecords::ReadFailure::NotFound       ? kTextRecordNotFound
                                                                         : kTextRecordUnreadable);
            return false;
        }
        if (!mark(db, record)) {
            // Marking writes: its failure is told by the database's cause (write-protected,
            // in use), never as a record that could not be read.
            Message(db.GetErrorNumber() ? db.GetErrorNumber() : kTextRecordUnreadable);
            return false;
        }
        append(xml, record);
        int badLine = -1, badBytes = 0;
        if (!xml.LinesFit(&badLine, &badBytes)) {
            // A longer line breaks the tester's line buffer; the record is refused, not cut.
            Message(kTextRecordUnreadable, QStringLiteral("id %1: a line of %2 bytes; the limit is %3 bytes.")
                                               .arg(id)
                                               .arg(badBytes)
                                               .arg(kXmlMaxLineBytes));
            return false;
        }
        for (const QString& line : xml.Lines())
            if (!file.WriteLine(line))
                return failFile();
        ++m_position;
        if (m_cb.position)
            m_cb.position(m_position);
        if (m_cb.recordWritten)
            m_cb.recordWritten();
    }
    xml.ClearLines();
    if (specifications)
        xml.EndSpecifications();
    else
        xml.EndProtocols();
    xml.AddFooter();
    for (const QString& line : xml.Lines())
        if (!file.WriteLine(line))
            return failFile();
    if (!file.Close())
        return failFile();
    qCDebug(lcExport, "Export XML-%s: %d [ms]", specifications ? "PVs" : "GPs", int(timer.elapsed()));
    return true;
}

bool CXmlExport::ExportSpecifications(CAdoDatabase& db, const QList<qint32>& ids) {
    return Export<XmlSpecificationRecord>(
        db, ids, true, XmlRecords::ReadSpecification,
        [this](CAdoDatabase& d, XmlSpecificationRecord& r) {
            if (m_cb.status)
                m_cb.status(FormatText(ExchangeText::Resolve(m_lookup, 178), r.master.name));
            r.master.exportImport |= 1;
            return d.Execute(QStringLiteral("UPDATE TypenTab SET ExportImport = %1 WHERE id= %2")
                                 .arg(r.master.exportImport)
                                 .arg(r.id));
        },
        [](CXmlSupport& x, const XmlSpecificationRecord& r) { XmlRecords::AppendSpecification(x, r); });
}

bool CXmlExport::ExportProtocols(CAdoDatabase& db, const QList<qint32>& ids) {
    return Export<XmlProtocolRecord>(
        db, ids, false, XmlRecords::ReadProtocol,
        [this](CAdoDatabase& d, XmlProtocolRecord& r) {
            if (m_cb.status)
                m_cb.status(FormatText(ExchangeText::Resolve(m_lookup, 179), r.master.device));
            r.master.exportImport |= 1;
            return d.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = %1 WHERE id = %2")
                                 .arg(r.master.exportImport)
                                 .arg(r.id));
        },
        [](CXmlSupport& x, const XmlProtocolRecord& r) { XmlRecords::AppendProtocol(x, r, true); });
}

bool CXmlExport::FindProtocolSpecifications(CAdoDatabase& db, const QList<qint32>& protocolIds,
                                            QList<qint32>& specificationIds) {
    specificationIds.clear();
    if (!db.IsOpen()) {
        Message(TextId::kOpenDatabase);
        return false;
    }
    QStringList names;
    for (const qint32 id : protocolIds) {
        QString name;
        if (!db.OpenQueryBound(QStringLiteral("SELECT SpecificationName FROM GeraeteTab WHERE id = ?"),
                               {id}) ||
            !db.HasRow() ||
            (!db.IsNull(QStringLiteral("SpecificationName")) &&
             !db.GetString(QStringLiteral("SpecificationName"), name))) {
            Message(kTextRecordUnreadable);
            return false;
        }
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    for (const QString& name : names) {
        qint32 id = 0;
        if (!db.OpenQueryBound(QStringLiteral("SELECT id FROM TypenTab WHERE Name = ?"), {name}) ||
            !db.HasRow() || !db.GetLong(QStringLiteral("id"), id)) {
            Message(kTextRecordUnreadable, name);
            return false;
        }
        specificationIds << id;
    }
    return true;
}
