#include "exchange/XmlSupport.h"

#include <QFile>
#include <QIODevice>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <pugixml.hpp>
#include <unordered_map>

namespace {

const QString kDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
const QString kComment = QStringLiteral("<!-- VELMOR 740ST Database Protocol 2.0 -->");

constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi;

// Appends ` name="value"` with the value escaped.
void Attr(QString& line, const char* name, const QString& value) {
    line += QLatin1Char(' ');
    line += QLatin1String(name);
    line += QLatin1String("=\"");
    line += CXmlSupport::Escape(value);
    line += QLatin1Char('"');
}

void Attr(QString& line, const char* name, qint32 value) {
    line += QLatin1Char(' ');
    line += QLatin1String(name);
    line += QLatin1String("=\"");
    line += QString::number(value);
    line += QLatin1Char('"');
}

void Attr(QString& line, const char* name, double value, int decimals) {
    line += QLatin1Char(' ');
    line += QLatin1String(name);
    line += QLatin1String("=\"");
    line += CXmlSupport::Fixed(value, decimals);
    line += QLatin1Char('"');
}

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

// The checks a document passes before it is parsed: UTF-8 only (a document in a legacy
// code page would otherwise be read with its accented letters garbled), no NUL bytes,
// and no line over the limit. Returns an empty text when the bytes are acceptable.
QString CheckDocumentBytes(const QByteArray& data) {
    const auto* begin = reinterpret_cast<const unsigned char*>(data.constData());
    const auto* end = begin + data.size();
    if (data.startsWith("\xFE\xFF") || data.startsWith("\xFF\xFE") ||
        data.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        return QStringLiteral("The document is not encoded in UTF-8.");
    bool nonAscii = false;
    int line = 1;
    const unsigned char* lineStart = begin;
    for (const unsigned char* p = begin; p < end;) {
        if (*p == 0)
            return QStringLiteral("The document holds a NUL byte at offset %1.").arg(p - begin);
        if (*p == '\n') {
            qsizetype bytes = p - lineStart;
            if (bytes > 0 && p[-1] == '\r')
                --bytes;
            if (bytes > kXmlMaxLineBytes)
                return QStringLiteral("Line %1 is %2 bytes long; a line may hold at most %3 bytes.")
                    .arg(line)
                    .arg(bytes)
                    .arg(kXmlMaxLineBytes);
            ++line;
            lineStart = ++p;
            continue;
        }
        const int n = Utf8SequenceLength(p, end);
        if (n == 0)
            return QStringLiteral(
                       "The document is not valid UTF-8 (offset %1); it may be in a legacy encoding.")
                .arg(p - begin);
        nonAscii |= n > 1;
        p += n;
    }
    qsizetype bytes = end - lineStart;
    if (bytes > 0 && end[-1] == '\r')
        --bytes;
    if (bytes > kXmlMaxLineBytes)
        return QStringLiteral("Line %1 is %2 bytes long; a line may hold at most %3 bytes.")
            .arg(line)
            .arg(bytes)
            .arg(kXmlMaxLineBytes);
    if (nonAscii) {
        // Plain ASCII reads the same in every code page; anything else must be UTF-8.
        const qsizetype declEnd = data.indexOf("?>");
        if (data.startsWith("<?xml") && declEnd > 0) {
            const QByteArray decl = data.left(declEnd).toLower();
            const qsizetype at = decl.indexOf("encoding");
            if (at >= 0) {
                qsizetype q = at + 8;
                while (q < decl.size() && (decl[q] == ' ' || decl[q] == '=' || decl[q] == '\t'))
                    ++q;
                if (q < decl.size() && (decl[q] == '"' || decl[q] == '\'')) {
                    const char quote = decl[q];
                    const qsizetype close = decl.indexOf(quote, q + 1);
                    const QByteArray name = decl.mid(q + 1, close - q - 1);
                    if (name != "utf-8" && name != "utf8")
                        return QStringLiteral(
                                   "The document declares the encoding \"%1\"; only UTF-8 is read.")
                            .arg(QString::fromLatin1(name));
                }
            }
        }
    }
    return QString();
}

} // namespace

struct CXmlSupport::Dom {
    pugi::xml_document doc;
    bool indexed[2] = {false, false};
    std::unordered_map<std::string, pugi::xml_node_struct*> byKey[2]; // 0: Name, 1: GUID
};

CXmlSupport::CXmlSupport() = default;
CXmlSupport::~CXmlSupport() = default;

// ---------------------------------------------------------------- writer

void CXmlSupport::ClearLines() {
    m_lines.clear();
    m_cursor = 0;
}

void CXmlSupport::AddHeader() {
    m_lines << kDeclaration << kComment << QStringLiteral("<Tables>");
}

void CXmlSupport::AddFooter() {
    m_lines << QStringLiteral("</Tables>");
}

void CXmlSupport::BeginSpecifications() {
    m_lines << QStringLiteral(" <Specifications>");
}
void CXmlSupport::EndSpecifications() {
    m_lines << QStringLiteral(" </Specifications>");
}
void CXmlSupport::EndSpecification() {
    m_lines << QStringLiteral("  </Specification>");
}
void CXmlSupport::BeginAppliedParts() {
    m_lines << QStringLiteral("   <AppliedParts>");
}
void CXmlSupport::EndAppliedParts() {
    m_lines << QStringLiteral("   </AppliedParts>");
}
void CXmlSupport::BeginVisualSteps() {
    m_lines << QStringLiteral("   <VisualSteps>");
}
void CXmlSupport::EndVisualSteps() {
    m_lines << QStringLiteral("   </VisualSteps>");
}
void CXmlSupport::BeginTestSteps() {
    m_lines << QStringLiteral("   <TestSteps>");
}
void CXmlSupport::EndTestSteps() {
    m_lines << QStringLiteral("   </TestSteps>");
}
void CXmlSupport::BeginFunctionalSteps() {
    m_lines << QStringLiteral("   <FunctionalSteps>");
}
void CXmlSupport::EndFunctionalSteps() {
    m_lines << QStringLiteral("   </FunctionalSteps>");
}
void CXmlSupport::BeginProtocols() {
    m_lines << QStringLiteral(" <Protocols>");
}
void CXmlSupport::EndProtocols() {
    m_lines << QStringLiteral(" </Protocols>");
}
void CXmlSupport::EndProtocol() {
    m_lines << QStringLiteral("  </Protocol>");
}
void CXmlSupport::BeginVisualRefs() {
    m_lines << QStringLiteral("   <VisualRefs>");
}
void CXmlSupport::EndVisualRefs() {
    m_lines << QStringLiteral("   </VisualRefs>");
}
void CXmlSupport::BeginTestRefs() {
    m_lines << QStringLiteral("   <TestRefs>");
}
void CXmlSupport::EndTestRefs() {
    m_lines << QStringLiteral("   </TestRefs>");
}
void CXmlSupport::BeginFunctionalRefs() {
    m_lines << QStringLiteral("   <FunctionalRefs>");
}
void CXmlSupport::EndFunctionalRefs() {
    m_lines << QStringLiteral("   </FunctionalRefs>");
}

void CXmlSupport::AddSpecification(const XmlSpecification& s) {
    QString line;
    line.reserve(1024);
    line += QLatin1String("  <Specification");
    Attr(line, "Name", s.name);
    Attr(line, "StandardID", s.standardId);
    Attr(line, "ClassID", s.classId);
    Attr(line, "Manufacturer", s.manufacturer);
    Attr(line, "Description", s.description);
    Attr(line, "ReviewPeriod", s.reviewPeriod);
    Attr(line, "TypID", s.typId);
    Attr(line, "MeasMethodID", s.measMethodId);
    Attr(line, "TestSequenceID", s.testSequenceId);
    Attr(line, "CordLength", s.cordLength, 1);
    Attr(line, "NominalPower", s.nominalPower);
    Attr(line, "AllPe", s.allPe);
    Attr(line, "IsoMeas", s.isoMeas);
    Attr(line, "MainsSeparation", s.mainsSeparation);
    Attr(line, "PowerPhase", s.powerPhase);
    Attr(line, "WarningNotice", s.warningNotice);
    Attr(line, "PartsUsed", s.partsUsed < 0 ? -s.partsUsed : s.partsUsed);
    Attr(line, "Run", s.run);
    Attr(line, "Parameter", s.parameter);
    Attr(line, "IconSymbol", s.iconSymbol);
    Attr(line, "Bitmap", s.bitmap);
    Attr(line, "ExportImport", s.exportImport);
    Attr(line, "ExternalUse", s.externalUse);
    Attr(line, "CreateDate", s.createDate);
    Attr(line, "CreateTime", s.createTime);
    Attr(line, "GUID", s.guid);
    Attr(line, "VoltageAccessiblePart", s.voltageAccessiblePart);
    Attr(line, "FunctionEarth", s.functionEarth);
    Attr(line, "VoltageSignalIO", s.voltageSignalIO);
    Attr(line, "AccessibleParts", s.accessibleParts);
    Attr(line, "PhaseReverseEnable", s.phaseReverseEnable);
    Attr(line, "TotalPabl", s.totalPabl);
    Attr(line, "UseExtraPolation", s.useExtraPolation);
    line += QLatin1Char('>');
    m_lines << line;
}

void CXmlSupport::AddAppliedPart(qint32 groupNo, qint32 appliedPartId, qint32 jacks,
                                 const QString& description) {
    QString line = QStringLiteral("    <AppliedPart");
    Attr(line, "GroupNo", groupNo);
    Attr(line, "AppliedPartID", appliedPartId);
    Attr(line, "Jacks", jacks);
    Attr(line, "Description", description);
    line += QLatin1String("></AppliedPart>");
    m_lines << line;
}

void CXmlSupport::AddVisualStep(qint32 refNo, qint32 textId, const QString& text) {
    QString line = QStringLiteral("    <VisualStep");
    Attr(line, "RefNo", refNo);
    Attr(line, "TextID", textId);
    Attr(line, "Text", text);
    line += QLatin1String("></VisualStep>");
    m_lines << line;
}

void CXmlSupport::AddTestStep(qint32 refNo, qint32 measNo, qint32 mainOrder, qint32 typOrder, qint32 groupNo,
                              double limit, qint32 jacks) {
    QString line = QStringLiteral("    <TestStep");
    Attr(line, "RefNo", refNo);
    Attr(line, "MeasNo", measNo);
    Attr(line, "MainOrder", mainOrder);
    Attr(line, "TypOrder", typOrder);
    Attr(line, "GroupNo", groupNo);
    Attr(line, "Limit", limit, 4);
    Attr(line, "Jacks", jacks);
    line += QLatin1String("></TestStep>");
    m_lines << line;
}

void CXmlSupport::AddFunctionalStep(qint32 refNo, const QString& text, qint32 useLimitsId, double lowLimit,
                                    double highLimit) {
    QString line = QStringLiteral("    <FunctionalStep");
    Attr(line, "RefNo", refNo);
    Attr(line, "Text", text);
    Attr(line, "UseLimitsID", useLimitsId);
    Attr(line, "LowLimit", lowLimit, 4);
    Attr(line, "HighLimit", highLimit, 4);
    line += QLatin1String("></FunctionalStep>");
    m_lines << line;
}

namespace {
QString ProtocolLine(const XmlProtocol& p, bool withSpecification) {
    QString line;
    line.reserve(1024);
    line += QLatin1String("  <Protocol");
    Attr(line, "Device", p.device);
    Attr(line, "SpecificationName", p.specificationName);
    if (withSpecification)
        Attr(line, "SpecificationGUID", p.specificationGuid);
    Attr(line, "TestResultID", p.testResultId);
    Attr(line, "TestDate", p.testDate);
    Attr(line, "TestTime", p.testTime);
    Attr(line, "FirstTestDate", p.firstTestDate);
    Attr(line, "NextTestDate", p.nextTestDate);
    Attr(line, "Operator", p.op);
    Attr(line, "NominalVoltage", p.nominalVoltage);
    Attr(line, "Manufacturer", p.manufacturer);
    Attr(line, "Description", p.description);
    Attr(line, "Serial", p.serial);
    Attr(line, "Client", p.client);
    Attr(line, "Location", p.location);
    Attr(line, "Department", p.department);
    Attr(line, "Room", p.room);
    Attr(line, "Costs", p.costs);
    Attr(line, "Comment", p.comment);
    Attr(line, "ExportImport", p.exportImport);
    Attr(line, "ExternalUse", p.externalUse);
    Attr(line, "TesterName", p.testerName);
    Attr(line, "TesterSerial", p.testerSerial);
    Attr(line, "TesterSW", p.testerSW);
    Attr(line, "GUID", p.guid);
    Attr(line, "City", p.city);
    Attr(line, "Street", p.street);
    Attr(line, "ReviewPeriod", p.reviewPeriod);
    Attr(line, "DutClass", p.dutClass);
    Attr(line, "UseExtraPolation", p.useExtraPolation);
    line += QLatin1Char('>');
    return line;
}

QString ResultLine(const char* element, qint32 refNo, double measValue, qint32 result, double firstValue) {
    QString line = QStringLiteral("    <") + QLatin1String(element);
    Attr(line, "RefNo", refNo);
    Attr(line, "MeasValue", measValue, 4);
    Attr(line, "Result", result);
    Attr(line, "FirstValue", firstValue, 4);
    line += QLatin1String("></") + QLatin1String(element) + QLatin1Char('>');
    return line;
}
} // namespace

void CXmlSupport::AddProtocolWithSpecification(const XmlProtocol& p) {
    m_lines << ProtocolLine(p, true);
}

void CXmlSupport::AddProtocol(const XmlProtocol& p) {
    m_lines << ProtocolLine(p, false);
}

void CXmlSupport::AddVisualRef(qint32 refNo, qint32 result) {
    QString line = QStringLiteral("    <VisualRef");
    Attr(line, "RefNo", refNo);
    Attr(line, "Result", result);
    line += QLatin1String("></VisualRef>");
    m_lines << line;
}

void CXmlSupport::AddTestRef(qint32 refNo, double measValue, qint32 result, double firstValue) {
    m_lines << ResultLine("TestRef", refNo, measValue, result, firstValue);
}

void CXmlSupport::AddFunctionalRef(qint32 refNo, double measValue, qint32 result, double firstValue) {
    m_lines << ResultLine("FunctionalRef", refNo, measValue, result, firstValue);
}

void CXmlSupport::AddSpecificationEntry(const QString& name, const QString& standard,
                                        const QString& description, const QString& createDate,
                                        const QString& createTime, const QString& guid) {
    QString line = QStringLiteral("  <Specification");
    Attr(line, "Name", name);
    Attr(line, "Standard", standard);
    Attr(line, "Description", description);
    Attr(line, "CreateDate", createDate);
    Attr(line, "CreateTime", createTime);
    Attr(line, "GUID", guid);
    line += QLatin1String("></Specification>");
    m_lines << line;
}

void CXmlSupport::AddProtocolEntry(const QString& device, const QString& specificationName,
                                   const QString& description, const QString& client, const QString& testDate,
                                   const QString& testTime, const QString& testResult, const QString& guid) {
    QString line = QStringLiteral("  <Protocol");
    Attr(line, "Device", device);
    Attr(line, "SpecificationName", specificationName);
    Attr(line, "Description", description);
    Attr(line, "Client", client);
    Attr(line, "TestDate", testDate);
    Attr(line, "TestTime", testTime);
    Attr(line, "TestResult", testResult);
    Attr(line, "GUID", guid);
    line += QLatin1String("></Protocol>");
    m_lines << line;
}

bool CXmlSupport::NextLine(QString& line) {
    if (m_cursor >= m_lines.size()) {
        line = QStringLiteral("#EOF#");
        return false;
    }
    line = m_lines[m_cursor++];
    return true;
}

bool CXmlSupport::LinesFit(int* badLine, int* badBytes) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines[i];
        // Three bytes per UTF-16 unit is the most UTF-8 needs; only long lines are converted.
        if (line.size() * 3 <= kXmlMaxLineBytes)
            continue;
        const qsizetype bytes = line.toUtf8().size();
        if (bytes > kXmlMaxLineBytes) {
            if (badLine)
                *badLine = i;
            if (badBytes)
                *badBytes = int(bytes);
            return false;
        }
    }
    return true;
}

bool CXmlSupport::EncodeLine(const QString& line, QByteArray& out) {
    out = line.toUtf8();
    if (out.size() > kXmlMaxLineBytes) {
        out.clear();
        return false;
    }
    out += "\r\n";
    return true;
}

bool CXmlSupport::WriteLine(QIODevice& file, const QString& line) {
    QByteArray bytes;
    if (!EncodeLine(line, bytes))
        return false;
    return file.write(bytes) == bytes.size();
}

const QByteArray& CXmlSupport::ByteOrderMark() {
    static const QByteArray bom("\xEF\xBB\xBF");
    return bom;
}

QString CXmlSupport::Escape(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\t' || c == '\n' || c == '\r')
            break;
    }
    if (i == n)
        return text;
    QString out = text.left(i);
    out.reserve(n + 16);
    for (; i < n; ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        // The parser folds raw line breaks and tabs in attribute values into blanks.
        case '\t':
            out += QLatin1String("&#9;");
            break;
        case '\n':
            out += QLatin1String("&#10;");
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString CXmlSupport::Unescape(const QByteArray& utf8) {
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

QString CXmlSupport::Fixed(double value, int decimals) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QString::asprintf("%.*f", decimals, value);
    return QString::fromLatin1(buf, r.ptr - buf);
}

QString CXmlSupport::XPathLiteral(const QString& text) {
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

// ---------------------------------------------------------------- reader

bool CXmlSupport::Fail(qint32 number) {
    m_lastError = number;
    return false;
}

bool CXmlSupport::Load(const QString& path) {
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

bool CXmlSupport::LoadBuffer(const QByteArray& data) {
    Close();
    return LoadBytes(data);
}

bool CXmlSupport::LoadBytes(QByteArray data) {
    try {
        m_dom = std::make_unique<Dom>();
    } catch (const std::bad_alloc&) {
        return Fail(XmlError::CreateDocument);
    }
    if (data.startsWith(ByteOrderMark()))
        data.remove(0, 3);
    const QString refused = CheckDocumentBytes(data);
    if (!refused.isEmpty()) {
        m_dom.reset();
        m_nodeText = refused.toStdString();
        return Fail(XmlError::Load);
    }
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

void CXmlSupport::Close() {
    ReleaseNodes();
    m_record = nullptr;
    m_loaded = false;
    m_dom.reset();
}

void CXmlSupport::ReleaseNodes() {
    m_nodes.clear();
    m_index = 0;
    m_nodeText.clear();
}

void CXmlSupport::SetCurrent(std::size_t index) {
    m_index = index;
    StringWriter writer;
    pugi::xml_node(m_nodes[index]).print(writer, "", pugi::format_raw);
    m_nodeText = std::move(writer.out);
}

bool CXmlSupport::SelectNode(const QString& query) {
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

bool CXmlSupport::SelectNodes(const QString& query) {
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

bool CXmlSupport::NextNode() {
    if (m_index + 1 >= m_nodes.size()) {
        m_index = m_nodes.size();
        m_nodeText.clear();
        return Fail(XmlError::NoNode);
    }
    SetCurrent(m_index + 1);
    return true;
}

bool CXmlSupport::GetAttribute(const QString& name, QString& value) {
    value.clear();
    const std::string probe = " " + name.toStdString() + "=\"";
    const std::size_t at = m_nodeText.find(probe);
    if (at == std::string::npos)
        return Fail(XmlError::Attribute);
    const std::size_t start = at + probe.size();
    const std::size_t end = m_nodeText.find('"', start);
    if (end == std::string::npos)
        return Fail(XmlError::Attribute);
    value = Unescape(QByteArray::fromRawData(m_nodeText.data() + start, qsizetype(end - start)));
    return true;
}

bool CXmlSupport::SelectIndexed(bool specification, const QString& key) {
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

bool CXmlSupport::SelectSpecification(const QString& name) {
    return SelectIndexed(true, name);
}

bool CXmlSupport::SelectProtocol(const QString& guid) {
    return SelectIndexed(false, guid);
}

bool CXmlSupport::SelectProtocol(const QString& guid, const QString& testDate, const QString& testTime) {
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

bool CXmlSupport::SelectItems(const char* group, const char* item) {
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
