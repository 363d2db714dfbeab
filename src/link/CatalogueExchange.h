#pragma once

#include "exchange/ExchangeTexts.h"
#include "exchange/XmlSource.h"
#include "link/SerialProfile.h"
#include "platform/WorkflowCallbacks.h"

#include <QString>
#include <functional>
#include <vector>

class CAdoDatabase;
class CRS232;
class CXmlSupport;

// The catalogue conversations with the tester: checks, sending records as documents,
// fetching lists and records, and the tester's identity. Errors are TextIDs.
namespace Catalogue {

// Check results.
inline constexpr int kCheckAccepted = 3;
inline constexpr int kCheckRefused = 0;

// The link as the catalogue view and the import open it: connect (scan unless busy),
// 8 data bits, remote component version, checksums on; the connection is a
// CTesterConnection, so a scan that found the tester stores its settings.
struct LinkContext {
    CRS232& link;
    QString dataFolder;
    CSerialProfile serial;
    QString minimumRemoteVersion = QStringLiteral("1,0,6,50616");
    bool foundByScan = false;
    // Told when a scan found the tester (see CTesterConnection).
    std::function<void(const CSerialProfile& found, bool written)> onFound = nullptr;
};
bool OpenLink(LinkContext& context, qint32& error, QString& errorText, const TextLookup& lookup = {});
// Checksums off, then leave remote mode, whatever happens.
void CloseLink(CRS232& link);

// The detail shown below an error: a reply that is only a token of the tester ("#next#")
// becomes a sentence naming what it means; a detail in words stays as it is.
QString DescribeReply(const QString& detail, const TextLookup& lookup);

bool CheckSpecificationById(CRS232& link, CAdoDatabase& db, qint32 id, int& check, qint32& error);
bool CheckSpecificationByName(CRS232& link, CAdoDatabase& db, const QString& name, qint32& id, int& check,
                              qint32& error);
bool CheckDeviceProtocol(CRS232& link, CAdoDatabase& db, qint32 id, int& check, qint32& error);

// One record as the tester gets it; failure 50132.
bool BuildSpecificationDocument(CAdoDatabase& db, CXmlSupport& xml, qint32 id, qint32& exportImport,
                                qint32& error);
bool BuildProtocolDocument(CAdoDatabase& db, CXmlSupport& xml, qint32 id, qint32& exportImport,
                           qint32& error);
// Sets bit 0 of ExportImport, keeping the other bits.
bool MarkSent(CAdoDatabase& db, const QString& table, qint32 id, qint32 exportImport, qint32& error);
// Builds, sends and marks one record.
bool SendRecord(CRS232& link, CAdoDatabase& db, CXmlSupport& xml, ExchangeKind kind, qint32 id, qint32& error,
                QString& detail);

// The list document of the kind into dataFolder/PVs.xml or GPs.xml.
bool FetchList(CRS232& link, ExchangeKind kind, bool useQuery, const QString& dataFolder, QString& path,
               QString& detail, const std::function<bool()>& cancelled = {});
// One record's document into dataFolder/PV.xml or GP.xml.
bool FetchSpecification(CRS232& link, const QString& name, const QString& dataFolder, QString& path);
bool FetchDeviceProtocol(CRS232& link, const QString& guid, const QString& dataFolder, QString& path);
// Name, serial number and software version; a failed send ends with the link's error,
// a failed read leaves that value empty.
bool QueryTesterIdentity(CRS232& link, QString& name, QString& serial, QString& software);

// The send workers of the two directories.
class CSendWorker {
public:
    struct Row {
        qint32 id = 0;
        QString column0; // name or device
        QString column3; // client (device protocols)
    };
    using Callbacks = WorkflowCallbacks;
    struct Result : WorkflowResult {
        int specificationsSent = 0;
        int protocolsSent = 0;
    };

    CSendWorker(LinkContext& context, CAdoDatabase& db) : m_context(context), m_db(db) {}

    // The rows of the records as their directory lists them (name, or device and client).
    // A record that is not there keeps its id and empty texts; the send then fails on it.
    static std::vector<Row> RowsById(CAdoDatabase& db, ExchangeKind kind, const std::vector<qint32>& ids);
    void SetCallbacks(Callbacks callbacks) { m_cb = std::move(callbacks); }
    void SetTextLookup(TextLookup lookup) { m_lookup = std::move(lookup); }

    Result SendSpecifications(const std::vector<Row>& rows);
    Result SendProtocols(const std::vector<Row>& rows);

private:
    Result RunSpecifications(const std::vector<Row>& rows);
    Result RunProtocols(const std::vector<Row>& rows);
    bool Cancelled() const { return m_cb.cancelled && m_cb.cancelled(); }
    void Step(qint32 id, const QString& arg = QString()) const;
    void Advance();

    LinkContext& m_context;
    CAdoDatabase& m_db;
    Callbacks m_cb;
    TextLookup m_lookup;
    int m_position = 0;
};

} // namespace Catalogue

// The tester as a source of the import: lists and records are fetched into the data
// folder; device protocols that lack the tester's identity get it from the tester.
class CTesterXmlSource : public CXmlSource {
public:
    CTesterXmlSource(CRS232& link, QString dataFolder) : m_link(link), m_dataFolder(std::move(dataFolder)) {}
    int SourceNumber() const override { return ImportSource::Tester; }
    bool FetchList(ExchangeKind kind, bool useQuery, QString& documentPath, qint32& error) override;
    bool FetchRecord(ExchangeKind kind, const QString& key, QString& documentPath, qint32& error) override;
    bool CanQueryTesterIdentity() const override { return true; }
    bool QueryTesterIdentity(QString& name, QString& serial, QString& software, qint32& error) override;

private:
    CRS232& m_link;
    QString m_dataFolder;
};
