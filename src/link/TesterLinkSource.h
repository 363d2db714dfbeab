#pragma once

#include "link/CatalogueExchange.h"
#include "link/RS232.h"
#include "link/TesterConnection.h"

#include <QString>

// The tester as an import source that holds its own link: Open connects as the import
// window does (scan when needed, the settings found kept), the destructor switches the
// checksums off and leaves remote mode. For callers without a window of their own, such as
// v740ctl; the import window keeps its link between runs and uses CTesterXmlSource.
class CTesterLinkSource : public CXmlSource {
public:
    CTesterLinkSource(const QString& dataFolder, const CSerialProfile& serial);
    ~CTesterLinkSource() override;
    CTesterLinkSource(const CTesterLinkSource&) = delete;
    CTesterLinkSource& operator=(const CTesterLinkSource&) = delete;

    // Told when a scan found the tester (see CTesterConnection).
    void SetFoundHandler(CTesterConnection::FoundHandler handler) { m_context.onFound = std::move(handler); }
    // Texts for the detail of a failed connection.
    void SetTextLookup(TextLookup lookup) { m_lookup = std::move(lookup); }

    int SourceNumber() const override { return ImportSource::Tester; }
    bool Open(qint32& error, QString& errorText) override;
    bool FetchList(ExchangeKind kind, bool useQuery, QString& documentPath, qint32& error) override;
    bool FetchRecord(ExchangeKind kind, const QString& key, QString& documentPath, qint32& error) override;
    bool CanQueryTesterIdentity() const override { return true; }
    bool QueryTesterIdentity(QString& name, QString& serial, QString& software, qint32& error) override;

    CRS232& Link() { return m_link; }

private:
    CRS232 m_link;
    Catalogue::LinkContext m_context;
    CTesterXmlSource m_source;
    TextLookup m_lookup;
    bool m_open = false;
};
