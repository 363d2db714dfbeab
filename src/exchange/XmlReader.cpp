#include "exchange/XmlReader.h"

#include <QFile>
#include <cstring>
#include <iconv.h>
#include <new>
#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

namespace {

constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi;

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

// Length of a valid UTF-8 sequence at p, or 0 for an invalid one.
int Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int n = 0;
    char32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (end - p < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

// Converts all of `in` from a named encoding to UTF-8; false at the first byte sequence
// that is not valid in that encoding, or when the encoding is unknown.
bool ConvertToUtf8(const char* from, const QByteArray& in, QByteArray& out, bool& known) {
    known = true;
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == iconv_t(-1)) {
        known = false;
        return false;
    }
    std::vector<char> buffer(std::size_t(in.size()) * 4 + 16);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = size_t(in.size());
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) &&
                    iconv(cd, nullptr, nullptr, &dst, &dstLeft) != size_t(-1);
    iconv_close(cd);
    out = QByteArray(buffer.data(), qsizetype(buffer.size() - dstLeft));
    return ok;
}

// The encoding that the XML declaration names, lowered; empty when none is named.
QByteArray DeclaredEncoding(const QByteArray& data) {
    if (!data.startsWith("<?xml"))
        return QByteArray();
    const qsizetype declEnd = data.indexOf("?>");
    if (declEnd < 0)
        return QByteArray();
    const QByteArray decl = data.left(declEnd).toLower();
    const qsizetype at = decl.indexOf("encoding");
    if (at < 0)
        return QByteArray();
    qsizetype q = at + 8;
    while (q < decl.size() && (decl[q] == ' ' || decl[q] == '=' || decl[q] == '\t'))
        ++q;
    if (q >= decl.size() || (decl[q] != '"' && decl[q] != '\''))
        return QByteArray();
    const qsizetype close = decl.indexOf(decl[q], q + 1);
    return close < 0 ? QByteArray() : decl.mid(q + 1, close - q - 1).trimmed();
}

// Brings a document to UTF-8: a byte order mark or the declaration names its encoding
// (UTF-16 and the legacy code pages a declaration may name); without either it must be
// UTF-8 already, which CheckDocumentBytes sees to. Returns the reason when it cannot.
QString DecodeDocument(QByteArray& data) {
    const char* from = nullptr;
    QByteArray declared;
    if (data.startsWith("\xEF\xBB\xBF")) {
        data.remove(0, 3);
        return QString();
    }
    if (data.startsWith(QByteArray("\xFF\xFE\0\0", 4)) || data.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        from = "UTF-32";
    else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        from = "UTF-16";
    else if (data.startsWith(QByteArray("<\0?\0", 4)))
        from = "UTF-16LE";
    else if (data.startsWith(QByteArray("\0<\0?", 4)))
        from = "UTF-16BE";
    else {
        declared = DeclaredEncoding(data);
        if (declared.isEmpty() || declared == "utf-8" || declared == "utf8")
            return QString();
        from = declared.constData();
    }
    QByteArray converted;
    bool known = true;
    if (!ConvertToUtf8(from, data, converted, known)) {
        if (!known)
            return QStringLiteral("The document declares the encoding \"%1\", which cannot be read here.")
                .arg(QString::fromLatin1(declared));
        return QStringLiteral("The document is not valid %1 (near byte %2).")
            .arg(QString::fromLatin1(from).toUpper())
            .arg(converted.size());
    }
    // iconv keeps a UTF-16 byte order mark as U+FEFF.
    if (converted.startsWith("\xEF\xBB\xBF"))
        converted.remove(0, 3);
    data = std::move(converted);
    return QString();
}

// The checks a document passes before it is parsed: UTF-8 (a document in a legacy code
// page that does not say so would be read with its accented letters garbled) and no NUL
// bytes. Line lengths are the writer's and the tester's concern: another tool may write a
// well-formed document on one line. Returns an empty text when the bytes are acceptable.
QString CheckDocumentBytes(const QByteArray& data) {
    const auto* begin = reinterpret_cast<const unsigned char*>(data.constData());
    const auto* end = begin + data.size();
    for (const unsigned char* p = begin; p < end;) {
        if (*p == 0)
            return QStringLiteral("The document holds a NUL byte at offset %1.").arg(p - begin);
        const int n = Utf8SequenceLength(p, end);
        if (n == 0)
            return QStringLiteral(
                       "The document is not valid UTF-8 (offset %1); it may be in a legacy encoding.")
                .arg(p - begin);
        p += n;
    }
    return QString();
}

// A character reference to NUL ("&#0;", "&#x00;") would be decoded into a byte that ends
// the value early, so "a&#0;b" would be read as "a". Each one is turned into a reference
// to U+FFFF, a character no XML text may hold either, which GetAttribute refuses.
void MarkNulReferences(QByteArray& data) {
    qsizetype at = data.indexOf("&#");
    if (at < 0)
        return;
    QByteArray out;
    out.reserve(data.size());
    qsizetype from = 0;
    for (; at >= 0; at = data.indexOf("&#", at + 2)) {
        qsizetype q = at + 2;
        const bool hex = q < data.size() && (data[q] == 'x' || data[q] == 'X');
        q += hex;
        const qsizetype digits = q;
        while (q < data.size() && data[q] == '0')
            ++q;
        if (q == digits || q >= data.size() || data[q] != ';')
            continue;
        out += QByteArrayView(data.constData() + from, at - from);
        out += "&#xFFFF;";
        from = q + 1;
    }
    if (from == 0)
        return;
    out += QByteArrayView(data.constData() + from, data.size() - from);
    data = std::move(out);
}

} // namespace

struct CXmlReader::Dom {
    pugi::xml_document doc;
    bool indexed[2] = {false, false};
    std::unordered_map<std::string, pugi::xml_node_struct*> byKey[2]; // 0: Name, 1: GUID
};

CXmlReader::CXmlReader() = default;
CXmlReader::~CXmlReader() = default;

QString CXmlReader::Unescape(const QByteArray& utf8) {
    if (!utf8.contains('&'))
        return QString::fromUtf8(utf8);
    QByteArray out;
    out.reserve(utf8.size());
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = utf8[i];
        if (c != '&') {
            out += c;
            continue;
        }
        const qsizetype semi = utf8.indexOf(';', i + 1);
        if (semi < 0 || semi - i > 12) {
            out += c;
            continue;
        }
        const QByteArray entity = utf8.mid(i + 1, semi - i - 1);
        QByteArray decoded;
        if (entity == "amp")
            decoded = "&";
        else if (entity == "lt")
            decoded = "<";
        else if (entity == "gt")
            decoded = ">";
        else if (entity == "quot")
            decoded = "\"";
        else if (entity == "apos")
            decoded = "'";
        else if (entity.size() > 1 && entity[0] == '#') {
            bool ok = false;
            const uint cp = (entity[1] == 'x' || entity[1] == 'X') ? entity.mid(2).toUInt(&ok, 16)
                                                                   : entity.mid(1).toUInt(&ok, 10);
            if (ok && cp > 0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                const char32_t u = cp;
                decoded = QString::fromUcs4(&u, 1).toUtf8();
            }
        }
        if (decoded.isEmpty()) {
            out += c;
            continue;
        }
        out += decoded;
        i = semi;
    }
    return QString::fromUtf8(out);
}

QString CXmlReader::XPathLiteral(const QString& text) {
    if (!text.contains(QLatin1Char('\'')))
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    if (!text.contains(QLatin1Char('"')))
        return QLatin1Char('"') + text + QLatin1Char('"');
    // Both quote characters: XPath 1.0 has no escape, so the value is assembled.
    QStringList parts;
    for (const QString& piece : text.split(QLatin1Char('\''))) {
        if (!piece.isEmpty())
            parts << QLatin1Char('\'') + piece + QLatin1Char('\'');
        parts << QStringLiteral("\"'\"");
    }
    parts.removeLast();
    if (parts.size() == 1)
        return parts.first();
    return QStringLiteral("concat(%1)").arg(parts.join(QLatin1Char(',')));
}

bool CXmlReader::Fail(qint32 number) {
    m_lastError = number;
    return false;
}

bool CXmlReader::Load(const QString& path) {
    Close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_nodeText = QStringLiteral("%1: %2").arg(path, file.errorString()).toStdString();
        return Fail(XmlError::Load);
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_nodeText = QStringLiteral("%1: %2").arg(path, file.errorString()).toStdString();
        return Fail(XmlError::Load);
    }
    return LoadBytes(std::move(data));
}

bool CXmlReader::LoadBuffer(const QByteArray& data) {
    Close();
    return LoadBytes(data);
}

bool CXmlReader::LoadBytes(QByteArray data) {
    try {
        m_dom = std::make_unique<Dom>();
    } catch (const std::bad_alloc&) {
        return Fail(XmlError::CreateDocument);
    }
    QString refused = DecodeDocument(data);
    if (refused.isEmpty())
        refused = CheckDocumentBytes(data);
    if (!refused.isEmpty()) {
        m_dom.reset();
        m_nodeText = refused.toStdString();
        return Fail(XmlError::Load);
    }
    MarkNulReferences(data);
    const pugi::xml_parse_result result =
        m_dom->doc.load_buffer(data.constData(), size_t(data.size()), kParseFlags, pugi::encoding_utf8);
    QString reason;
    if (!result) {
        reason = QStringLiteral("%1 (offset %2)")
                     .arg(QLatin1String(result.description()), QString::number(result.offset));
    } else {
        int elements = 0;
        for (pugi::xml_node n = m_dom->doc.first_child(); n; n = n.next_sibling())
            elements += n.type() == pugi::node_element;
        if (elements != 1)
            reason = QStringLiteral("The document must have exactly one root element.");
    }
    if (!reason.isEmpty()) {
        m_dom.reset();
        m_nodeText = reason.toStdString();
        return Fail(XmlError::Load);
    }
    m_loaded = true;
    m_version = 1;
    const pugi::xml_node first = m_dom->doc.first_child();
    const pugi::xml_node second = first ? first.next_sibling() : pugi::xml_node();
    if (second && second.type() == pugi::node_comment &&
        QString::fromUtf8(second.value()).toLower().contains(QLatin1String("database protocol 2.0")))
        m_version = 2;
    m_lastError = XmlError::None;
    return true;
}

void CXmlReader::Close() {
    ReleaseNodes();
    m_record = nullptr;
    m_loaded = false;
    m_dom.reset();
}

void CXmlReader::ReleaseNodes() {
    m_nodes.clear();
    m_index = 0;
    m_nodeText.clear();
}

void CXmlReader::SetCurrent(std::size_t index) {
    m_index = index;
    StringWriter writer;
    pugi::xml_node(m_nodes[index]).print(writer, "", pugi::format_raw);
    m_nodeText = std::move(writer.out);
}

bool CXmlReader::SelectNode(const QString& query) {
    m_query = query;
    ReleaseNodes();
    if (!m_loaded)
        return Fail(XmlError::NotLoaded);
    pugi::xml_node node;
    try {
        node = m_dom->doc.select_node(query.toUtf8().constData()).node();
    } catch (const pugi::xpath_exception&) {
        return Fail(XmlError::NoNode);
    }
    if (!node)
        return Fail(XmlError::NoNode);
    m_nodes.push_back(node.internal_object());
    SetCurrent(0);
    return true;
}

bool CXmlReader::SelectNodes(const QString& query) {
    m_query = query;
    ReleaseNodes();
    if (!m_loaded)
        return Fail(XmlError::NotLoaded);
    pugi::xpath_node_set set;
    try {
        set = m_dom->doc.select_nodes(query.toUtf8().constData());
    } catch (const pugi::xpath_exception&) {
        return Fail(XmlError::SelectNodes);
    }
    for (const pugi::xpath_node& n : set)
        if (n.node())
            m_nodes.push_back(n.node().internal_object());
    if (m_nodes.empty())
        return Fail(XmlError::NoNode);
    SetCurrent(0);
    return true;
}

bool CXmlReader::NextNode() {
    if (m_index + 1 >= m_nodes.size()) {
        m_index = m_nodes.size();
        m_nodeText.clear();
        return Fail(XmlError::NoNode);
    }
    SetCurrent(m_index + 1);
    return true;
}

bool CXmlReader::GetAttribute(const QString& name, QString& value) {
    value.clear();
    m_attributeRefused = false;
    const std::string probe = " " + name.toStdString() + "=\"";
    const std::size_t at = m_nodeText.find(probe);
    if (at == std::string::npos)
        return Fail(XmlError::Attribute);
    const std::size_t start = at + probe.size();
    const std::size_t end = m_nodeText.find('"', start);
    if (end == std::string::npos)
        return Fail(XmlError::Attribute);
    value = Unescape(QByteArray::fromRawData(m_nodeText.data() + start, qsizetype(end - start)));
    if (value.contains(QChar(0xFFFF))) {
        // A NUL (see MarkNulReferences) or U+FFFF: no text may hold either.
        value.replace(QChar(0xFFFF), QLatin1String("&#0;"));
        m_attributeRefused = true;
        return Fail(XmlError::Attribute);
    }
    return true;
}

bool CXmlReader::SelectIndexed(bool specification, const QString& key) {
    const int slot = specification ? 0 : 1;
    m_query = specification
                  ? QStringLiteral("/Tables/Specifications/Specification[@Name=%1]").arg(XPathLiteral(key))
                  : QStringLiteral("/Tables/Protocols/Protocol[@GUID=%1]").arg(XPathLiteral(key));
    ReleaseNodes();
    m_record = nullptr;
    if (!m_loaded)
        return Fail(XmlError::NotLoaded);
    if (!m_dom->indexed[slot]) {
        const char* section = specification ? "Specifications" : "Protocols";
        const char* element = specification ? "Specification" : "Protocol";
        const char* attribute = specification ? "Name" : "GUID";
        const pugi::xml_node tables = m_dom->doc.document_element();
        if (std::strcmp(tables.name(), "Tables") == 0) {
            for (pugi::xml_node sec = tables.child(section); sec; sec = sec.next_sibling(section))
                for (pugi::xml_node rec = sec.child(element); rec; rec = rec.next_sibling(element))
                    if (const pugi::xml_attribute a = rec.attribute(attribute))
                        m_dom->byKey[slot].emplace(a.value(), rec.internal_object()); // first one wins
        }
        m_dom->indexed[slot] = true;
    }
    const auto it = m_dom->byKey[slot].find(key.toStdString());
    if (it == m_dom->byKey[slot].end())
        return Fail(XmlError::NoNode);
    m_record = it->second;
    m_nodes.push_back(m_record);
    SetCurrent(0);
    return true;
}

bool CXmlReader::SelectSpecification(const QString& name) {
    return SelectIndexed(true, name);
}

bool CXmlReader::SelectProtocol(const QString& guid) {
    return SelectIndexed(false, guid);
}

bool CXmlReader::SelectProtocol(const QString& guid, const QString& testDate, const QString& testTime) {
    if (!SelectIndexed(false, guid))
        return false;
    const std::string date = testDate.toStdString(), time = testTime.toStdString();
    const auto tested = [&](pugi::xml_node rec) {
        return date == rec.attribute("TestDate").value() && time == rec.attribute("TestTime").value();
    };
    if (tested(pugi::xml_node(m_record)))
        return true;
    const std::string key = guid.toStdString();
    const pugi::xml_node tables = m_dom->doc.document_element();
    for (pugi::xml_node sec = tables.child("Protocols"); sec; sec = sec.next_sibling("Protocols"))
        for (pugi::xml_node rec = sec.child("Protocol"); rec; rec = rec.next_sibling("Protocol"))
            if (key == rec.attribute("GUID").value() && tested(rec)) {
                m_record = rec.internal_object();
                m_nodes.assign(1, m_record);
                SetCurrent(0);
                return true;
            }
    return true;
}

bool CXmlReader::SelectItems(const char* group, const char* item) {
    ReleaseNodes();
    if (!m_loaded)
        return Fail(XmlError::NotLoaded);
    if (!m_record)
        return Fail(XmlError::NoNode);
    const pugi::xml_node record(m_record);
    for (pugi::xml_node g = record.child(group); g; g = g.next_sibling(group))
        for (pugi::xml_node i = g.child(item); i; i = i.next_sibling(item))
            m_nodes.push_back(i.internal_object());
    if (m_nodes.empty())
        return Fail(XmlError::NoNode);
    SetCurrent(0);
    return true;
}
