#pragma once

#include "exchange/ExchangeTexts.h"
#include "exchange/XmlExchange.h"
#include "exchange/XmlSource.h"
#include "platform/WorkflowCallbacks.h"

#include <QStringList>
#include <functional>
#include <vector>

class CXmlSupport;

// One row of the import preview with the data the import needs.
struct PreviewRow {
    // Test specification rows.
    QString name;
    QString standard;      // the list's Standard text; empty when it gave StandardID
    qint32 standardId = 0; // TextID of the standard when Standard was missing
    QString createDate;    // as the document has it
    // Device protocol rows.
    QString device;
    QString client;
    QString testDate; // as the document has it
    QString testTime;
    qint32 testResultId = 0; // TextID of the result; 0 when the list gave TestResult
    QString testResult;
    QString specificationName;
    QString specificationGuid;
    ImportDateTime tested;
    // Both.
    QString description;
    QString guid;
};

struct PreviewList {
    ExchangeKind kind = ExchangeKind::Specifications;
    std::vector<PreviewRow> rows;
    int leftOut = 0; // protocols with the third result (30803), not offered
};

namespace Preview {

// The TestResultID of protocols that are not offered for import.
inline constexpr qint32 kHiddenResult = 30803;
// Error of a list entry that lacks an attribute.
inline constexpr qint32 kMissingAttribute = 50135;

// Reads a list document (or a full document standing in for one). On failure the error
// is the reader's number (with the path as text) or 50135; rows read before a missing
// attribute stay in the list.
bool ReadList(CXmlSupport& xml, const QString& path, ExchangeKind kind, PreviewList& list, qint32& error,
              QString& errorText);

// A date of exactly ten characters (dd.mm.yyyy) in the user's short date format; any
// other text as it stands.
QString DisplayDate(const QString& text);

// The test date and time of a list entry as six numbers; zeros for a date that is not
// ten characters long, zero time for a time that is not eight.
ImportDateTime ParseDateTime(const QString& date, const QString& time);

// The preview's columns: Name, Description, standard, CreateDate for test
// specifications; Device, result, Description, Client, TestDate for device protocols.
// TextIDs (standard, result) are looked up; without a text their number is shown.
QStringList Columns(const PreviewRow& row, ExchangeKind kind, const TextLookup& lookup);

// The key that picks a row for the import: a test specification's Name, a device
// protocol's GUID. Two rows with the same key meet the same record in the import's checks.
QString Key(const PreviewRow& row, ExchangeKind kind);

// The rows whose key equals one of `keys` as the import's checks compare them (names and
// GUIDs cut to their columns' widths, without regard to case), or every row with `all`.
// Keys that pick no row are added to `unknown`.
std::vector<PreviewRow> Select(const PreviewList& list, const QStringList& keys, bool all,
                               QStringList& unknown);

} // namespace Preview

// The import worker: checks every marked entry, then imports the test specifications and
// the device protocols, each record in its own transaction. Progress, step texts and the
// cancel question go through callbacks; the caller shows the result.
class CImportWorkflow {
public:
    // error: 415, 417, 419, 424, 60020, a reader, database or link number.
    struct Result : WorkflowResult {
        int specificationsInserted = 0;
        int specificationsUpdated = 0;
        int protocolsInserted = 0;
        int protocolsUpdated = 0;
        int protocolsRetired = 0;
    };

    // `finished` is called at the end of a preview and of an import; after an import the
    // result is a Result.
    using Callbacks = WorkflowCallbacks;

    CImportWorkflow(CXmlSource& source, QString dataFolder);

    void SetCallbacks(Callbacks callbacks) { m_cb = std::move(callbacks); }
    void SetTextLookup(TextLookup lookup) { m_lookup = std::move(lookup); }

    // Fetches the list of the kind from the source and reads it.
    bool Preview(ExchangeKind kind, bool useQuery, PreviewList& list, qint32& error, QString& errorText);

    // Imports the marked rows of a preview of the kind.
    Result Import(ExchangeKind kind, const std::vector<PreviewRow>& marked);

    CXmlExchange& Exchange() { return m_exchange; }

private:
    struct SpecEntry {
        QString name;
        QString guid;
        int decision = -1;
    };
    bool RunPreview(ExchangeKind kind, bool useQuery, PreviewList& list, qint32& error, QString& errorText);
    Result RunImport(ExchangeKind kind, const std::vector<PreviewRow>& marked);
    bool ImportSpecifications(class CAdoDatabase& db, std::vector<SpecEntry>& specs, int& position,
                              Result& r);
    bool Cancelled() const { return m_cb.cancelled && m_cb.cancelled(); }
    void RefuseSpecification(const QString& name, Result& r) const;
    void Title(qint32 id) const;
    void Range(int n) const;
    void Position(int n) const;
    void Step(qint32 id, const QString& arg = QString()) const;

    CXmlSource& m_source;
    QString m_dataFolder;
    CXmlExchange m_exchange;
    Callbacks m_cb;
    TextLookup m_lookup;
};
