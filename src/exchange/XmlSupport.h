#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class QIODevice;
namespace pugi {
struct xml_node_struct;
}

// Reader error numbers; each is also a TextID.
namespace XmlError {
enum : qint32 {
    None = 0,
    CreateDocument = 31557,
    Load = 31558,
    NotLoaded = 31559,
    NoNode = 31560,
    SelectNodes = 31561,
    Attribute = 31563,
};
}

// One document line may hold at most this many bytes of UTF-8 (CR LF not counted).
inline constexpr int kXmlMaxLineBytes = 3070;

// The values of a full Specification start tag, in attribute order.
struct XmlSpecification {
    QString name;
    qint32 standardId = 0;
    qint32 classId = 0;
    QString manufacturer;
    QString description;
    qint32 reviewPeriod = 0;
    qint32 typId = 0;
    qint32 measMethodId = 0;
    qint32 testSequenceId = 0;
    double cordLength = 0;
    qint32 nominalPower = 0;
    qint32 allPe = 0;
    qint32 isoMeas = 0;
    qint32 mainsSeparation = 0;
    qint32 powerPhase = 0;
    qint32 warningNotice = 0;
    qint32 partsUsed = 0; // as stored (-1 for yes); written as its absolute value
    QString run;
    QString parameter;
    QString iconSymbol;
    QString bitmap;
    qint32 exportImport = 0;
    QString externalUse;
    QString createDate; // dd.MM.yyyy
    QString createTime; // hh:mm:ss
    QString guid;
    qint32 voltageAccessiblePart = 0;
    qint32 functionEarth = 0;
    qint32 voltageSignalIO = 0;
    qint32 accessibleParts = 0;
    qint32 phaseReverseEnable = 0;
    qint32 totalPabl = 0;
    qint32 useExtraPolation = 1;
};

// The values of a full Protocol start tag, in attribute order. specificationGuid is
// written only by AddProtocolWithSpecification (the file variant).
struct XmlProtocol {
    QString device;
    QString specificationName;
    QString specificationGuid;
    qint32 testResultId = 0;
    QString testDate; // dd.MM.yyyy
    QString testTime; // hh:mm:ss
    QString firstTestDate;
    QString nextTestDate;
    QString op; // Operator
    QString nominalVoltage;
    QString manufacturer;
    QString description;
    QString serial;
    QString client;
    QString location;
    QString department;
    QString room;
    QString costs;
    QString comment;
    qint32 exportImport = 0;
    QString externalUse;
    QString testerName;
    QString testerSerial;
    QString testerSW;
    QString guid;
    QString city;
    QString street;
    qint32 reviewPeriod = 0;
    QString dutClass;
    qint32 useExtraPolation = 1;
};

// Builds exchange documents line by line and reads them back through a DOM with XPath.
//
// Text values are escaped when written (&, <, >, " and the line breaks and tabs that
// would otherwise be folded by the parser) and decoded when read, so a stored text
// survives a round trip. Other control characters, which XML does not allow, are written
// as blanks. A document without such characters is written exactly as the
// format's fixed lines show.
class CXmlSupport {
public:
    CXmlSupport();
    ~CXmlSupport();
    CXmlSupport(const CXmlSupport&) = delete;
    CXmlSupport& operator=(const CXmlSupport&) = delete;

    // ---- Writer: every call appends one line unless noted.
    void ClearLines();
    void AddHeader(); // three lines: declaration, comment, <Tables>
    void AddFooter();

    void BeginSpecifications();
    void EndSpecifications();
    void EndSpecification();
    void BeginAppliedParts();
    void EndAppliedParts();
    void BeginVisualSteps();
    void EndVisualSteps();
    void BeginTestSteps();
    void EndTestSteps();
    void BeginFunctionalSteps();
    void EndFunctionalSteps();
    void BeginProtocols();
    void EndProtocols();
    void EndProtocol();
    void BeginVisualRefs();
    void EndVisualRefs();
    void BeginTestRefs();
    void EndTestRefs();
    void BeginFunctionalRefs();
    void EndFunctionalRefs();

    void AddSpecification(const XmlSpecification& s);
    void AddAppliedPart(qint32 groupNo, qint32 appliedPartId, qint32 jacks, const QString& description);
    void AddVisualStep(qint32 refNo, qint32 textId, const QString& text);
    void AddTestStep(qint32 refNo, qint32 measNo, qint32 mainOrder, qint32 typOrder, qint32 groupNo,
                     double limit, qint32 jacks);
    void AddFunctionalStep(qint32 refNo, const QString& text, qint32 useLimitsId, double lowLimit,
                           double highLimit);

    void AddProtocolWithSpecification(const XmlProtocol& p); // file variant, 30 attributes
    void AddProtocol(const XmlProtocol& p);                  // tester variant, 29 attributes
    void AddVisualRef(qint32 refNo, qint32 result);
    void AddTestRef(qint32 refNo, double measValue, qint32 result, double firstValue);
    void AddFunctionalRef(qint32 refNo, double measValue, qint32 result, double firstValue);

    // The closed list entries of the tester's list documents.
    void AddSpecificationEntry(const QString& name, const QString& standard, const QString& description,
                               const QString& createDate, const QString& createTime, const QString& guid);
    void AddProtocolEntry(const QString& device, const QString& specificationName, const QString& description,
                          const QString& client, const QString& testDate, const QString& testTime,
                          const QString& testResult, const QString& guid);

    // Appends a line as it stands (used by the tester link to collect a streamed document).
    void AppendLine(const QString& line) { m_lines << line; }

    // Hands out the line at the cursor; after the last line: "#EOF#" and false, for ever.
    bool NextLine(QString& line);
    const QStringList& Lines() const { return m_lines; }
    int LineCount() const { return int(m_lines.size()); }
    // True when every buffered line fits into kXmlMaxLineBytes; otherwise the index of the
    // first line that does not (and its size in bytes) is given.
    bool LinesFit(int* badLine = nullptr, int* badBytes = nullptr) const;

    // The UTF-8 bytes of one line followed by CR LF; false (nothing produced) when the line
    // is longer than the limit. A record is refused rather than cut.
    static bool EncodeLine(const QString& line, QByteArray& out);
    // Writes one line with CR LF to an open device; false when the line is over the limit
    // or the device fails. Writing the byte order mark is the caller's first step.
    static bool WriteLine(QIODevice& file, const QString& line);
    static const QByteArray& ByteOrderMark();

    // ---- Reader.
    bool Load(const QString& path);
    // Loads a document held in memory, with the same checks as Load.
    bool LoadBuffer(const QByteArray& data);
    void Close();
    bool IsLoaded() const { return m_loaded; }
    int GetVersion() const { return m_version; }
    qint32 GetLastError() const { return m_lastError; }

    bool SelectNode(const QString& query);
    bool SelectNodes(const QString& query);
    bool NextNode();
    void ReleaseNodes();
    int NodeCount() const { return int(m_nodes.size()); }

    // The value of attribute `name`, searched as " name=\"" in the current node's
    // serialized text: an attribute the node lacks is taken from its first descendant
    // that has it. Entities are decoded.
    // A value holding a NUL character (written "&#0;") is refused with 31563; `value` then
    // shows it with "&#0;" in its place and AttributeRefused() is true.
    bool GetAttribute(const QString& name, QString& value);
    bool AttributeRefused() const { return m_attributeRefused; }

    // The current node's serialized XML text, or the parser's reason after a failed load.
    QString GetNodeText() const { return QString::fromUtf8(m_nodeText); }
    // The last XPath query text.
    QString GetQuery() const { return m_query; }

    // Same results as "/Tables/Specifications/Specification[@Name='%s']" and
    // "/Tables/Protocols/Protocol[@GUID='%s']" for any key (quotes included), from an
    // index built once per load instead of a scan per lookup. The node becomes the
    // current node and the record whose items SelectItems lists.
    bool SelectSpecification(const QString& name);
    bool SelectProtocol(const QString& guid);
    // The same, but where the document holds several records of the GUID (earlier tests of
    // one device) the one with this TestDate and TestTime; the first when none has them.
    bool SelectProtocol(const QString& guid, const QString& testDate, const QString& testTime);
    // The items of a group of the selected record ("TestSteps", "TestStep"), as a node list.
    bool SelectItems(const char* group, const char* item);

    // An XPath string literal for any text.
    static QString XPathLiteral(const QString& text);
    // Text escaped for an attribute value, and decoded back.
    static QString Escape(const QString& text);
    static QString Unescape(const QByteArray& utf8);

    // Number pictures of the format, independent of the locale: "%2.1lf", "%3.4lf".
    static QString Fixed(double value, int decimals);

private:
    struct Dom;
    bool Fail(qint32 number);
    bool LoadBytes(QByteArray data);
    void SetCurrent(std::size_t index);
    bool SelectIndexed(bool specification, const QString& key);

    QStringList m_lines;
    int m_cursor = 0;

    std::unique_ptr<Dom> m_dom;
    bool m_loaded = false;
    int m_version = 0;
    std::vector<pugi::xml_node_struct*> m_nodes; // the current node list
    std::size_t m_index = 0;
    pugi::xml_node_struct* m_record = nullptr; // chosen by SelectSpecification/SelectProtocol
    std::string m_nodeText;
    QString m_query;
    qint32 m_lastError = 0;
    bool m_attributeRefused = false;
};
