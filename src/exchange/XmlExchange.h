#pragma once

#include "exchange/XmlSource.h"
#include "exchange/XmlSupport.h"

#include <QDateTime>
#include <QString>

class CAdoDatabase;

// The decision of an import check.
namespace ImportDecision {
enum : int {
    Conflict = 0, // ImportConflict: stops the import
    Update = 1,   // ImportUpdate
    Insert = 2,   // ImportInsert
    NewTest = 4,  // ImportNewTest: a new protocol of a known device; the old one is retired
};
}

// The test date and time of an incoming protocol, as the preview list read them.
struct ImportDateTime {
    quint16 day = 0;
    quint16 month = 0;
    quint16 year = 0;
    quint16 hour = 0;
    quint16 minute = 0;
    quint16 second = 0;
};

// Size and times of a file, to see whether a kept document changed on disk.
struct FileStamp {
    bool valid = false;
    qint64 size = -1;
    quint64 inode = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// Merges test specifications and device protocols from exchange documents into the user
// database. The checks compare one list entry with the database; the record operations
// fetch the record's document from the source and insert or update it with all its
// rows, each record in one transaction.
//
// A document that holds every record (drive, folder) is loaded once and kept, indexed by
// Name and GUID, until its file changes or Close is called; one per kind.
class CXmlExchange {
public:
    explicit CXmlExchange(CXmlSource& source);
    ~CXmlExchange();

    bool CheckSpecification(CAdoDatabase& db, const QString& name, const QString& guid, int& decision);
    bool CheckProtocol(CAdoDatabase& db, const QString& device, const QString& client, const QString& guid,
                       const QString& specificationName, const ImportDateTime& tested, int& decision,
                       qint32& id);

    // `error` receives the failing layer's number (reader, database, link); `text` the
    // document path when it cannot be loaded, the name for 50169, or the attribute that is
    // missing or unusable.
    bool InsertSpecification(CAdoDatabase& db, const QString& name, qint32& error, QString& text);
    bool UpdateSpecification(CAdoDatabase& db, const QString& name, const QString& guid, qint32& error,
                             QString& text);
    // `testDate` and `testTime` (as the list entry has them) pick the record where the
    // document holds several tests under one GUID.
    bool InsertProtocol(CAdoDatabase& db, const QString& guid, bool retire, qint32 oldId, qint32& error,
                        QString& text, const QString& testDate = QString(),
                        const QString& testTime = QString());
    bool UpdateProtocol(CAdoDatabase& db, const QString& guid, qint32 id, qint32& error, QString& text,
                        const QString& testDate = QString(), const QString& testTime = QString());

    // The import of one list entry: `decision` (as the earlier check found it) is made again
    // against the committed state inside the write transaction that stores the record, so
    // two imports at once cannot both store it. When the state differs the decision is made
    // anew. A write that lost a race with another import (the other one stored the record
    // or a protocol of the device first) is decided again at most kDecisionReruns times;
    // then the import fails with kErrorDatabaseChanged and the name or device as `text`.
    // A conflict returns false with `decision` Conflict and `error` 0.
    bool ImportSpecification(CAdoDatabase& db, const QString& name, const QString& guid, int& decision,
                             qint32& error, QString& text);
    struct ProtocolEntry {
        QString device, client, guid, specificationName;
        ImportDateTime tested;
        QString testDate, testTime; // as the list has them, to pick the record
    };
    bool ImportProtocol(CAdoDatabase& db, const ProtocolEntry& entry, int& decision, qint32& id,
                        qint32& error, QString& text);
    static constexpr int kDecisionReruns = 3;
    // Passes that lost nothing (the decision changed before writing, the record must be
    // read again in full) do not count as re-runs; this bounds them all the same.
    static constexpr int kImportPasses = 2 * (kDecisionReruns + 1) + 1;
    static constexpr qint32 kErrorDatabaseChanged = 60020;

    // Releases the kept document.
    void Close();

    // How often a document was loaded (for tests and measurements).
    int DocumentLoads() const { return m_loads; }
    CXmlSource& Source() { return m_source; }

private:
    struct Protocol;
    struct Specification;
    bool LoadSpecification(bool full, const QString& name, const QString& checkedGuid, Specification& spec,
                           qint32& error, QString& text);
    bool ReadSpecificationUpdate(const QString& name, const QString& checkedGuid, Specification& spec,
                                 qint32& error, QString& text);
    static bool WriteSpecification(CAdoDatabase& db, const Specification& spec);
    bool LoadProtocol(bool full, const QString& guid, const QString& testDate, const QString& testTime,
                      Protocol& p, qint32& error, QString& text);
    static bool WriteNewProtocol(CAdoDatabase& db, const Protocol& p, bool retire, qint32 oldId);
    static bool WriteProtocolUpdate(CAdoDatabase& db, const Protocol& p, qint32 id);
    bool FetchAndSelect(ExchangeKind kind, const QString& key, qint32& error, QString& text,
                        const QString& testDate = QString(), const QString& testTime = QString());
    bool ReadProtocol(bool full, Protocol& p, qint32& error, QString& text);

    CXmlSource& m_source;
    // One kept document per kind, so that alternating kinds does not reload them.
    struct Cached {
        CXmlSupport xml;
        QString path;
        FileStamp stamp;
    };
    Cached m_cache[2];
    CXmlSupport* m_xml = &m_cache[0].xml; // the document of the record being read
    int m_loads = 0;
};

// The column widths that imported texts are cut to.
namespace ImportWidth {
// Cuts to `width` characters without splitting a surrogate pair.
QString Cut(const QString& text, int width);
} // namespace ImportWidth

namespace ImportKey {
// The condition that finds the test specification that an import of `name` would meet:
// the name cut to its column's width, compared as the database compares names. The one
// place that says when two specification names are the same.
QString SpecificationNameCondition(const QString& name);
// The same equality as a key for an in-memory lookup.
QString SpecificationName(const QString& name);
// A device protocol's GUID as the protocol check compares it: cut to its column's width,
// without regard to case.
QString ProtocolGuid(const QString& guid);
} // namespace ImportKey

namespace ImportNumber {
// An integer attribute: digits with an optional sign; an empty value is 0, and a zero
// fraction ("5050.0") is the integer. False for text without digits, another fraction or
// a value beyond 32 bits.
bool ParseInt(const QString& text, qint32& value);
} // namespace ImportNumber
