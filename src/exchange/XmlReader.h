#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <vector>

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

// Reads exchange documents through a DOM with XPath. A document is read in the encoding
// its byte order mark or declaration names (UTF-8 otherwise), whatever its line lengths;
// entities in values are decoded.
class CXmlReader {
public:
    CXmlReader();
    ~CXmlReader();
    CXmlReader(const CXmlReader&) = delete;
    CXmlReader& operator=(const CXmlReader&) = delete;

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
    // Decodes the entities of an attribute value.
    static QString Unescape(const QByteArray& utf8);

private:
    struct Dom;
    bool Fail(qint32 number);
    bool LoadBytes(QByteArray data);
    void SetCurrent(std::size_t index);
    bool SelectIndexed(bool specification, const QString& key);

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
