#include "exchange/XmlSource.h"

#include "exchange/XmlSupport.h"

QString DocumentFileName(ExchangeKind kind) {
    return kind == ExchangeKind::Specifications ? QStringLiteral("PV.xml") : QStringLiteral("GP.xml");
}

QString ListFileName(ExchangeKind kind) {
    return kind == ExchangeKind::Specifications ? QStringLiteral("PVs.xml") : QStringLiteral("GPs.xml");
}

QString DriveXmlFolder(const QString& driveRoot) {
    QString root = driveRoot;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root + QStringLiteral("XmlData");
}

bool CXmlSource::QueryTesterIdentity(QString& name, QString& serial, QString& software, qint32& error) {
    name.clear();
    serial.clear();
    software.clear();
    error = XmlError::Attribute;
    return false;
}

QString CFolderXmlSource::DocumentPath(ExchangeKind kind) const {
    return m_folder + QLatin1Char('/') + DocumentFileName(kind);
}

bool CFolderXmlSource::FetchList(ExchangeKind kind, bool, QString& documentPath, qint32& error) {
    documentPath = DocumentPath(kind);
    error = 0;
    return true;
}

bool CFolderXmlSource::FetchRecord(ExchangeKind kind, const QString&, QString& documentPath, qint32& error) {
    documentPath = DocumentPath(kind);
    error = 0;
    return true;
}
