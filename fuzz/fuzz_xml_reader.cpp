// libFuzzer target for the exchange document reader: loading, version detection, the
// node lists, the attribute search with its entity decoding and the indexed record
// lookups. Any input must end in a clean failure or a readable document, never a crash.
#include "exchange/XmlSupport.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXmlSupport xml;
    if (!xml.LoadBuffer(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))) {
        (void)xml.GetNodeText();
        return 0;
    }
    (void)xml.GetVersion();
    static const char* const attributes[] = {"Name",     "GUID",     "Device",       "Description",
                                             "TestDate", "TestTime", "TestResultID", "SpecificationGUID",
                                             "RefNo",    "Text",     "Limit",        "X"};
    static const char* const groups[][2] = {
        {"AppliedParts", "AppliedPart"},       {"VisualSteps", "VisualStep"}, {"TestSteps", "TestStep"},
        {"FunctionalSteps", "FunctionalStep"}, {"VisualRefs", "VisualRef"},   {"TestRefs", "TestRef"},
        {"FunctionalRefs", "FunctionalRef"}};
    for (const bool specifications : {true, false}) {
        const QString list = specifications ? QStringLiteral("/Tables/Specifications/Specification")
                                            : QStringLiteral("/Tables/Protocols/Protocol");
        if (!xml.SelectNodes(list))
            continue;
        QStringList keys;
        int nodes = 0;
        do {
            QString value;
            for (const char* name : attributes)
                xml.GetAttribute(QLatin1String(name), value);
            if (xml.GetAttribute(specifications ? QStringLiteral("Name") : QStringLiteral("GUID"), value))
                keys << value;
        } while (xml.NextNode() && ++nodes < 64);
        xml.ReleaseNodes();
        for (const QString& key : keys) {
            const bool found = specifications ? xml.SelectSpecification(key) : xml.SelectProtocol(key);
            if (!found)
                continue;
            for (const auto& g : groups) {
                if (!xml.SelectItems(g[0], g[1]))
                    continue;
                QString value;
                do {
                    xml.GetAttribute(QStringLiteral("RefNo"), value);
                } while (xml.NextNode());
            }
            // The XPath form of the same lookup, whatever quotes the key holds.
            xml.SelectNode(list + QStringLiteral("[@%1=%2]")
                                      .arg(specifications ? QStringLiteral("Name") : QStringLiteral("GUID"),
                                           CXmlSupport::XPathLiteral(key)));
        }
    }
    xml.Close();
    return 0;
}
