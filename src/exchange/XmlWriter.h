#pragma once

#include "exchange/XmlRecords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

// One document line may hold at most this many bytes of UTF-8 (CR LF not counted).
inline constexpr int kXmlMaxLineBytes = 3070;

// Builds exchange documents line by line: the file export writes the lines to a file,
// the tester link sends them one by one.
//
// Text values are escaped (&, <, >, " and the line breaks and tabs that would otherwise be
// folded by a parser), so a stored text survives a round trip. Other control characters,
// which XML does not allow, are written as blanks. A document without such characters is
// written exactly as the format's fixed lines show.
class CXmlWriter {
public:
    // Every call appends one line unless noted.
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

    // Text escaped for an attribute value.
    static QString Escape(const QString& text);
    // Number pictures of the format, independent of the locale: "%2.1lf", "%3.4lf".
    static QString Fixed(double value, int decimals);

private:
    QStringList m_lines;
    int m_cursor = 0;
};
