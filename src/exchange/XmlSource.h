#pragma once

#include <QString>
#include <functional>

// What an exchange document carries.
enum class ExchangeKind {
    Specifications, // PV.xml, PVs.xml
    Protocols,      // GP.xml, GPs.xml
};

// Import source numbers as the settings file stores them ([Import] Interface).
namespace ImportSource {
enum : int { Tester = 0, Drive = 1, Folder = 2 };
}

// "PV.xml" or "GP.xml".
QString DocumentFileName(ExchangeKind kind);
// "PVs.xml" or "GPs.xml".
QString ListFileName(ExchangeKind kind);
// The folder of the exchange documents on a drive: the drive root and "XmlData".
QString DriveXmlFolder(const QString& driveRoot);

// Where the import gets its documents from. A fetch leaves a document file on the local
// disk and names it; the import reads that file. Errors are TextIDs (the link's codes
// for the tester); a document that is missing or unreadable is found by the reader.
class CXmlSource {
public:
    virtual ~CXmlSource() = default;

    // ImportSource::Tester, Drive or Folder.
    virtual int SourceNumber() const = 0;

    // Makes the source ready before the first fetch: a source with a link of its own
    // connects here. False with the error (a TextID) and a detail when it cannot.
    virtual bool Open(qint32& error, QString& errorText) {
        error = 0;
        errorText.clear();
        return true;
    }

    // The list document of the kind. Drives and folders hand out the full document, which
    // stands in for a list; the tester sends its list, with its query option when asked.
    virtual bool FetchList(ExchangeKind kind, bool useQuery, QString& documentPath, qint32& error) = 0;

    // A document that holds the record: a test specification by its Name, a device
    // protocol by its GUID.
    virtual bool FetchRecord(ExchangeKind kind, const QString& key, QString& documentPath, qint32& error) = 0;

    // True when FetchRecord hands out one document per kind that holds every record and
    // does not change during a run, so the import may keep it loaded between records.
    // The import still reloads it when the file on disk changes.
    virtual bool DocumentsHoldAllRecords() const { return false; }

    // The tester's name, serial number and software version, for device protocols that
    // lack them. Sources that cannot ask return false from CanQueryTesterIdentity; the
    // three attributes are then required in the document.
    virtual bool CanQueryTesterIdentity() const { return false; }
    virtual bool QueryTesterIdentity(QString& name, QString& serial, QString& software, qint32& error);

    // Polled by long fetches; a source that honours it ends the fetch with a failure.
    void SetCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }

protected:
    bool Cancelled() const { return m_cancelled && m_cancelled(); }

private:
    std::function<bool()> m_cancelled;
};

// A folder that the user picked: folder/PV.xml and folder/GP.xml.
class CFolderXmlSource : public CXmlSource {
public:
    explicit CFolderXmlSource(QString folder) : m_folder(std::move(folder)) {}
    int SourceNumber() const override { return ImportSource::Folder; }
    bool FetchList(ExchangeKind kind, bool useQuery, QString& documentPath, qint32& error) override;
    bool FetchRecord(ExchangeKind kind, const QString& key, QString& documentPath, qint32& error) override;
    bool DocumentsHoldAllRecords() const override { return true; }
    const QString& Folder() const { return m_folder; }

protected:
    QString DocumentPath(ExchangeKind kind) const;
    QString m_folder;
};

// A removable drive: root/XmlData/PV.xml and root/XmlData/GP.xml.
class CDriveXmlSource : public CFolderXmlSource {
public:
    explicit CDriveXmlSource(const QString& driveRoot) : CFolderXmlSource(DriveXmlFolder(driveRoot)) {}
    int SourceNumber() const override { return ImportSource::Drive; }
};
