#include "exchange/XmlWriter.h"

#include <QIODevice>
#include <charconv>

namespace {

const QString kDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
const QString kComment = QStringLiteral("<!-- VELMOR 740ST Database Protocol 2.0 -->");

// Appends ` name="value"` with the value escaped.
void Attr(QString& line, const char* name, const QString& value) {
    line += QLatin1Char(' ');
    line += QLatin1String(name);
    line += QLatin1String("=\"");
    line += CXmlWriter::Escape(value);
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
    line += CXmlWriter::Fixed(value, decimals);
    line += QLatin1Char('"');
}

} // namespace

void CXmlWriter::ClearLines() {
    m_lines.clear();
    m_cursor = 0;
}

void CXmlWriter::AddHeader() {
    m_lines << kDeclaration << kComment << QStringLiteral("<Tables>");
}

void CXmlWriter::AddFooter() {
    m_lines << QStringLiteral("</Tables>");
}

void CXmlWriter::BeginSpecifications() {
    m_lines << QStringLiteral(" <Specifications>");
}
void CXmlWriter::EndSpecifications() {
    m_lines << QStringLiteral(" </Specifications>");
}
void CXmlWriter::EndSpecification() {
    m_lines << QStringLiteral("  </Specification>");
}
void CXmlWriter::BeginAppliedParts() {
    m_lines << QStringLiteral("   <AppliedParts>");
}
void CXmlWriter::EndAppliedParts() {
    m_lines << QStringLiteral("   </AppliedParts>");
}
void CXmlWriter::BeginVisualSteps() {
    m_lines << QStringLiteral("   <VisualSteps>");
}
void CXmlWriter::EndVisualSteps() {
    m_lines << QStringLiteral("   </VisualSteps>");
}
void CXmlWriter::BeginTestSteps() {
    m_lines << QStringLiteral("   <TestSteps>");
}
void CXmlWriter::EndTestSteps() {
    m_lines << QStringLiteral("   </TestSteps>");
}
void CXmlWriter::BeginFunctionalSteps() {
    m_lines << QStringLiteral("   <FunctionalSteps>");
}
void CXmlWriter::EndFunctionalSteps() {
    m_lines << QStringLiteral("   </FunctionalSteps>");
}
void CXmlWriter::BeginProtocols() {
    m_lines << QStringLiteral(" <Protocols>");
}
void CXmlWriter::EndProtocols() {
    m_lines << QStringLiteral(" </Protocols>");
}
void CXmlWriter::EndProtocol() {
    m_lines << QStringLiteral("  </Protocol>");
}
void CXmlWriter::BeginVisualRefs() {
    m_lines << QStringLiteral("   <VisualRefs>");
}
void CXmlWriter::EndVisualRefs() {
    m_lines << QStringLiteral("   </VisualRefs>");
}
void CXmlWriter::BeginTestRefs() {
    m_lines << QStringLiteral("   <TestRefs>");
}
void CXmlWriter::EndTestRefs() {
    m_lines << QStringLiteral("   </TestRefs>");
}
void CXmlWriter::BeginFunctionalRefs() {
    m_lines << QStringLiteral("   <FunctionalRefs>");
}
void CXmlWriter::EndFunctionalRefs() {
    m_lines << QStringLiteral("   </FunctionalRefs>");
}

void CXmlWriter::AddSpecification(const XmlSpecification& s) {
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

void CXmlWriter::AddAppliedPart(qint32 groupNo, qint32 appliedPartId, qint32 jacks,
                                const QString& description) {
    QString line = QStringLiteral("    <AppliedPart");
    Attr(line, "GroupNo", groupNo);
    Attr(line, "AppliedPartID", appliedPartId);
    Attr(line, "Jacks", jacks);
    Attr(line, "Description", description);
    line += QLatin1String("></AppliedPart>");
    m_lines << line;
}

void CXmlWriter::AddVisualStep(qint32 refNo, qint32 textId, const QString& text) {
    QString line = QStringLiteral("    <VisualStep");
    Attr(line, "RefNo", refNo);
    Attr(line, "TextID", textId);
    Attr(line, "Text", text);
    line += QLatin1String("></VisualStep>");
    m_lines << line;
}

void CXmlWriter::AddTestStep(qint32 refNo, qint32 measNo, qint32 mainOrder, qint32 typOrder, qint32 groupNo,
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

void CXmlWriter::AddFunctionalStep(qint32 refNo, const QString& text, qint32 useLimitsId, double lowLimit,
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
void CXmlWriter::AddProtocolWithSpecification(const XmlProtocol& p) {
    m_lines << ProtocolLine(p, true);
}

void CXmlWriter::AddProtocol(const XmlProtocol& p) {
    m_lines << ProtocolLine(p, false);
}

void CXmlWriter::AddVisualRef(qint32 refNo, qint32 result) {
    QString line = QStringLiteral("    <VisualRef");
    Attr(line, "RefNo", refNo);
    Attr(line, "Result", result);
    line += QLatin1String("></VisualRef>");
    m_lines << line;
}

void CXmlWriter::AddTestRef(qint32 refNo, double measValue, qint32 result, double firstValue) {
    m_lines << ResultLine("TestRef", refNo, measValue, result, firstValue);
}

void CXmlWriter::AddFunctionalRef(qint32 refNo, double measValue, qint32 result, double firstValue) {
    m_lines << ResultLine("FunctionalRef", refNo, measValue, result, firstValue);
}

void CXmlWriter::AddSpecificationEntry(const QString& name, const QString& standard,
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

void CXmlWriter::AddProtocolEntry(const QString& device, const QString& specificationName,
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

bool CXmlWriter::NextLine(QString& line) {
    if (m_cursor >= m_lines.size()) {
        line = QStringLiteral("#EOF#");
        return false;
    }
    line = m_lines[m_cursor++];
    return true;
}

bool CXmlWriter::LinesFit(int* badLine, int* badBytes) const {
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

bool CXmlWriter::EncodeLine(const QString& line, QByteArray& out) {
    out = line.toUtf8();
    if (out.size() > kXmlMaxLineBytes) {
        out.clear();
        return false;
    }
    out += "\r\n";
    return true;
}

bool CXmlWriter::WriteLine(QIODevice& file, const QString& line) {
    QByteArray bytes;
    if (!EncodeLine(line, bytes))
        return false;
    return file.write(bytes) == bytes.size();
}

const QByteArray& CXmlWriter::ByteOrderMark() {
    static const QByteArray bom("\xEF\xBB\xBF");
    return bom;
}

QString CXmlWriter::Escape(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == '&' || c == '<' || c == '>' || c == '"' || c < 0x20)
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
            // Other control characters are not allowed in XML at all; every reader, the
            // tester's included, would refuse the whole document.
            out += c.unicode() < 0x20 ? QChar(QLatin1Char(' ')) : c;
        }
    }
    return out;
}

QString CXmlWriter::Fixed(double value, int decimals) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QString::asprintf("%.*f", decimals, value);
    return QString::fromLatin1(buf, r.ptr - buf);
}
