#include "link/TesterLinkSource.h"

CTesterLinkSource::CTesterLinkSource(const QString& dataFolder, const CSerialProfile& serial)
    : m_context{m_link, dataFolder, serial}, m_source(m_link, dataFolder) {
    // Long fetches of the inner source ask this source's cancel check.
    m_source.SetCancelCheck([this] { return Cancelled(); });
}

CTesterLinkSource::~CTesterLinkSource() {
    if (!m_open)
        return;
    // A tester that stopped answering should not hold the caller for whole time-outs.
    m_link.SetReadTimeout(250);
    Catalogue::CloseLink(m_link);
}

bool CTesterLinkSource::Open(qint32& error, QString& errorText) {
    m_open = true;
    if (Catalogue::OpenLink(m_context, error, errorText, m_lookup))
        return true;
    // Whatever the connection reached (remote mode, checksums) is undone at once.
    Catalogue::CloseLink(m_link);
    m_open = false;
    return false;
}

bool CTesterLinkSource::FetchList(ExchangeKind kind, bool useQuery, QString& documentPath, qint32& error) {
    return m_source.FetchList(kind, useQuery, documentPath, error);
}

bool CTesterLinkSource::FetchRecord(ExchangeKind kind, const QString& key, QString& documentPath,
                                    qint32& error) {
    return m_source.FetchRecord(kind, key, documentPath, error);
}

bool CTesterLinkSource::QueryTesterIdentity(QString& name, QString& serial, QString& software,
                                            qint32& error) {
    return m_source.QueryTesterIdentity(name, serial, software, error);
}
