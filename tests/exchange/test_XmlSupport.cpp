#include "exchange/XmlSupport.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QLocale>
#include <QXmlStreamReader>
#include <clocale>
#include <functional>
#include <gtest/gtest.h>

namespace {

XmlSpecification SampleSpecification() {
    XmlSpecification s;
    s.name = QStringLiteral("Drill 230V");
    s.standardId = 5800;
    s.classId = 2;
    s.manufacturer = QStringLiteral("Bosch");
    s.description = QStringLiteral("Hand drill");
    s.reviewPeriod = 12;
    s.typId = 7;
    s.measMethodId = 1;
    s.testSequenceId = 3;
    s.cordLength = 2.5;
    s.nominalPower = 750;
    s.allPe = 0;
    s.isoMeas = 1;
    s.mainsSeparation = 0;
    s.powerPhase = 1;
    s.warningNotice = 0;
    s.partsUsed = -1;
    s.run = QStringLiteral("R1");
    s.parameter = QStringLiteral("P");
    s.iconSymbol = QStringLiteral("I");
    s.bitmap = QStringLiteral("drill.bmp");
    s.exportImport = 3;
    s.externalUse = QString();
    s.createDate = QStringLiteral("05.03.2009");
    s.createTime = QStringLiteral("14:07:09");
    s.guid = QStringLiteral("{A1B2}");
    s.voltageAccessiblePart = 4;
    s.functionEarth = 5;
    s.voltageSignalIO = 6;
    s.accessibleParts = 7;
    s.phaseReverseEnable = 8;
    s.totalPabl = 9;
    s.useExtraPolation = 1;
    return s;
}

XmlProtocol SampleProtocol() {
    XmlProtocol p;
    p.device = QStringLiteral("D-1");
    p.specificationName = QStringLiteral("Drill 230V");
    p.specificationGuid = QStringLiteral("{A1B2}");
    p.testResultId = 30801;
    p.testDate = QStringLiteral("05.03.2009");
    p.testTime = QStringLiteral("14:07:09");
    p.firstTestDate = QStringLiteral("01.01.2008");
    p.nextTestDate = QStringLiteral("05.03.2010");
    p.op = QStringLiteral("Op");
    p.nominalVoltage = QStringLiteral("230");
    p.manufacturer = QStringLiteral("M");
    p.description = QStringLiteral("Desc");
    p.serial = QStringLiteral("S1");
    p.client = QStringLiteral("ACME");
    p.location = QStringLiteral("L");
    p.department = QStringLiteral("Dep");
    p.room = QStringLiteral("R");
    p.costs = QStringLiteral("C");
    p.comment = QStringLiteral("none");
    p.exportImport = 1;
    p.externalUse = QStringLiteral("x");
    p.testerName = QStringLiteral("V740");
    p.testerSerial = QStringLiteral("123");
    p.testerSW = QStringLiteral("4.1");
    p.guid = QStringLiteral("{G1}");
    p.city = QStringLiteral("Town");
    p.street = QStringLiteral("Main St");
    p.reviewPeriod = 12;
    p.dutClass = QStringLiteral("I");
    p.useExtraPolation = 0;
    return p;
}

QByteArray Document(const QStringList& lines) {
    QByteArray out = CXmlSupport::ByteOrderMark();
    for (const QString& l : lines)
        out += l.toUtf8() + "\r\n";
    return out;
}

} // namespace

TEST(XmlSupportWriter, LinesAreByteExact) {
    struct Case {
        std::function<void(CXmlSupport&)> write;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {[](CXmlSupport& x) { x.AddHeader(); },
         {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<!-- VELMOR 740ST Database Protocol 2.0 -->",
          "<Tables>"}},
        {[](CXmlSupport& x) { x.AddFooter(); }, {"</Tables>"}},
        {[](CXmlSupport& x) {
             x.BeginSpecifications();
             x.BeginAppliedParts();
             x.EndAppliedParts();
             x.BeginVisualSteps();
             x.EndVisualSteps();
             x.BeginTestSteps();
             x.EndTestSteps();
             x.BeginFunctionalSteps();
             x.EndFunctionalSteps();
             x.EndSpecification();
             x.EndSpecifications();
         },
         {" <Specifications>", "   <AppliedParts>", "   </AppliedParts>", "   <VisualSteps>",
          "   </VisualSteps>", "   <TestSteps>", "   </TestSteps>", "   <FunctionalSteps>",
          "   </FunctionalSteps>", "  </Specification>", " </Specifications>"}},
        {[](CXmlSupport& x) {
             x.BeginProtocols();
             x.BeginVisualRefs();
             x.EndVisualRefs();
             x.BeginTestRefs();
             x.EndTestRefs();
             x.BeginFunctionalRefs();
             x.EndFunctionalRefs();
             x.EndProtocol();
             x.EndProtocols();
         },
         {" <Protocols>", "   <VisualRefs>", "   </VisualRefs>", "   <TestRefs>", "   </TestRefs>",
          "   <FunctionalRefs>", "   </FunctionalRefs>", "  </Protocol>", " </Protocols>"}},
        {[](CXmlSupport& x) { x.AddAppliedPart(1, 2, 12, QStringLiteral("Probe")); },
         {"    <AppliedPart GroupNo=\"1\" AppliedPartID=\"2\" Jacks=\"12\" "
          "Description=\"Probe\"></AppliedPart>"}},
        {[](CXmlSupport& x) { x.AddVisualStep(3, 30500, QStringLiteral("Housing intact")); },
         {"    <VisualStep RefNo=\"3\" TextID=\"30500\" Text=\"Housing intact\"></VisualStep>"}},
        {[](CXmlSupport& x) { x.AddTestStep(4, 11, 1, 2, 0, 0.3, 6); },
         {"    <TestStep RefNo=\"4\" MeasNo=\"11\" MainOrder=\"1\" TypOrder=\"2\" GroupNo=\"0\" "
          "Limit=\"0.3000\" "
          "Jacks=\"6\"></TestStep>"}},
        {[](CXmlSupport& x) { x.AddTestStep(4, 11, 1, 2, 0, 250, 6); },
         {"    <TestStep RefNo=\"4\" MeasNo=\"11\" MainOrder=\"1\" TypOrder=\"2\" GroupNo=\"0\" "
          "Limit=\"250.0000\" "
          "Jacks=\"6\"></TestStep>"}},
        {[](CXmlSupport& x) { x.AddFunctionalStep(5, QStringLiteral("Motor runs"), 1, -0.5, 1.25); },
         {"    <FunctionalStep RefNo=\"5\" Text=\"Motor runs\" UseLimitsID=\"1\" LowLimit=\"-0.5000\" "
          "HighLimit=\"1.2500\"></FunctionalStep>"}},
        {[](CXmlSupport& x) { x.AddVisualRef(1, 30801); },
         {"    <VisualRef RefNo=\"1\" Result=\"30801\"></VisualRef>"}},
        {[](CXmlSupport& x) { x.AddTestRef(2, 0.12345, 30801, 0.1); },
         {"    <TestRef RefNo=\"2\" MeasValue=\"0.1235\" Result=\"30801\" FirstValue=\"0.1000\"></TestRef>"}},
        {[](CXmlSupport& x) { x.AddFunctionalRef(3, 1000000, 30802, 0); },
         {"    <FunctionalRef RefNo=\"3\" MeasValue=\"1000000.0000\" Result=\"30802\" "
          "FirstValue=\"0.0000\"></FunctionalRef>"}},
        {[](CXmlSupport& x) { x.AddSpecification(SampleSpecification()); },
         {"  <Specification Name=\"Drill 230V\" StandardID=\"5800\" ClassID=\"2\" Manufacturer=\"Bosch\" "
          "Description=\"Hand drill\" ReviewPeriod=\"12\" TypID=\"7\" MeasMethodID=\"1\" "
          "TestSequenceID=\"3\" "
          "CordLength=\"2.5\" NominalPower=\"750\" AllPe=\"0\" IsoMeas=\"1\" MainsSeparation=\"0\" "
          "PowerPhase=\"1\" "
          "WarningNotice=\"0\" PartsUsed=\"1\" Run=\"R1\" Parameter=\"P\" IconSymbol=\"I\" "
          "Bitmap=\"drill.bmp\" "
          "ExportImport=\"3\" ExternalUse=\"\" CreateDate=\"05.03.2009\" CreateTime=\"14:07:09\" "
          "GUID=\"{A1B2}\" "
          "VoltageAccessiblePart=\"4\" FunctionEarth=\"5\" VoltageSignalIO=\"6\" AccessibleParts=\"7\" "
          "PhaseReverseEnable=\"8\" TotalPabl=\"9\" UseExtraPolation=\"1\">"}},
        {[](CXmlSupport& x) { x.AddProtocolWithSpecification(SampleProtocol()); },
         {"  <Protocol Device=\"D-1\" SpecificationName=\"Drill 230V\" SpecificationGUID=\"{A1B2}\" "
          "TestResultID=\"30801\" TestDate=\"05.03.2009\" TestTime=\"14:07:09\" FirstTestDate=\"01.01.2008\" "
          "NextTestDate=\"05.03.2010\" Operator=\"Op\" NominalVoltage=\"230\" Manufacturer=\"M\" "
          "Description=\"Desc\" "
          "Serial=\"S1\" Client=\"ACME\" Location=\"L\" Department=\"Dep\" Room=\"R\" Costs=\"C\" "
          "Comment=\"none\" "
          "ExportImport=\"1\" ExternalUse=\"x\" TesterName=\"V740\" TesterSerial=\"123\" TesterSW=\"4.1\" "
          "GUID=\"{G1}\" City=\"Town\" Street=\"Main St\" ReviewPeriod=\"12\" DutClass=\"I\" "
          "UseExtraPolation=\"0\">"}},
        {[](CXmlSupport& x) { x.AddProtocol(SampleProtocol()); },
         {"  <Protocol Device=\"D-1\" SpecificationName=\"Drill 230V\" "
          "TestResultID=\"30801\" TestDate=\"05.03.2009\" TestTime=\"14:07:09\" FirstTestDate=\"01.01.2008\" "
          "NextTestDate=\"05.03.2010\" Operator=\"Op\" NominalVoltage=\"230\" Manufacturer=\"M\" "
          "Description=\"Desc\" "
          "Serial=\"S1\" Client=\"ACME\" Location=\"L\" Department=\"Dep\" Room=\"R\" Costs=\"C\" "
          "Comment=\"none\" "
          "ExportImport=\"1\" ExternalUse=\"x\" TesterName=\"V740\" TesterSerial=\"123\" TesterSW=\"4.1\" "
          "GUID=\"{G1}\" City=\"Town\" Street=\"Main St\" ReviewPeriod=\"12\" DutClass=\"I\" "
          "UseExtraPolation=\"0\">"}},
    };
    for (const Case& c : cases) {
        CXmlSupport x;
        x.AddFooter(); // ClearLines must drop whatever came before
        x.ClearLines();
        c.write(x);
        EXPECT_EQ(x.Lines(), c.lines);
    }
}

TEST(XmlSupportWriter, NumbersIgnoreTheLocale) {
    // A German locale would write a decimal comma with printf or QLocale.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German));
    struct Case {
        double value;
        int decimals;
        const char* text;
    } const cases[] = {{2.5, 1, "2.5"},        {10, 1, "10.0"},    {0.3, 4, "0.3000"},
                       {250, 4, "250.0000"},   {-0.05, 1, "-0.1"}, {1234567.0, 1, "1234567.0"},
                       {0.00005, 4, "0.0001"}, {0, 1, "0.0"},      {-0.0, 4, "-0.0000"},
                       {1e-9, 4, "0.0000"}};
    for (const Case& c : cases)
        EXPECT_EQ(CXmlSupport::Fixed(c.value, c.decimals), QLatin1String(c.text)) << c.value;
    CXmlSupport x;
    x.AddTestStep(1, 1, 1, 1, 1, 1234.5, 0);
    EXPECT_TRUE(x.Lines().first().contains(QLatin1String("Limit=\"1234.5000\"")));
    std::setlocale(LC_NUMERIC, saved.c_str());
    QLocale::setDefault(QLocale::c());
}

TEST(XmlSupportWriter, NextLineHandsOutEveryLineThenEof) {
    CXmlSupport x;
    QString line = QStringLiteral("stale");
    EXPECT_FALSE(x.NextLine(line));
    EXPECT_EQ(line, QStringLiteral("#EOF#"));
    x.AddHeader();
    x.AddFooter();
    QStringList got;
    while (x.NextLine(line))
        got << line;
    EXPECT_EQ(got, x.Lines());
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(x.NextLine(line));
        EXPECT_EQ(line, QStringLiteral("#EOF#"));
    }
    x.ClearLines();
    x.AddFooter();
    EXPECT_TRUE(x.NextLine(line));
    EXPECT_EQ(line, QStringLiteral("</Tables>"));
}

TEST(XmlSupportWriter, LineLimitRefusesRatherThanCuts) {
    const QString euro(QChar(0x20AC)); // three bytes in UTF-8
    struct Case {
        QString line;
        bool fits;
    } const cases[] = {
        {QString(kXmlMaxLineBytes, QLatin1Char('a')), true},
        {QString(kXmlMaxLineBytes + 1, QLatin1Char('a')), false},
        {euro.repeated(1023) + QLatin1Char('a'), true}, // 3070 bytes in 1024 characters
        {euro.repeated(1023) + QLatin1String("ab"), false},
        {euro.repeated(1024), false},
        {QString(), true},
    };
    for (const Case& c : cases) {
        QByteArray bytes;
        EXPECT_EQ(CXmlSupport::EncodeLine(c.line, bytes), c.fits) << c.line.size();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_EQ(CXmlSupport::WriteLine(buffer, c.line), c.fits);
        if (c.fits) {
            EXPECT_EQ(buffer.data(), c.line.toUtf8() + "\r\n");
        } else {
            EXPECT_TRUE(buffer.data().isEmpty());
        }
        CXmlSupport x;
        x.AddHeader();
        x.AppendLine(c.line);
        int bad = -1, badBytes = 0;
        EXPECT_EQ(x.LinesFit(&bad, &badBytes), c.fits);
        if (!c.fits) {
            EXPECT_EQ(bad, 3);
            EXPECT_GT(badBytes, kXmlMaxLineBytes);
        }
    }
}

TEST(XmlSupportWriter, SpecialCharactersSurviveWriteAndRead) {
    const QStringList texts = {
        QStringLiteral("a & b"),
        QStringLiteral("<tag>"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("O'Brien"),
        QStringLiteral("&amp; stays"),
        QStringLiteral("tab\there"),
        QStringLiteral("two\nlines"),
        QStringLiteral("cr\r\nlf"),
        QStringLiteral("  spaced  "),
        QStringLiteral("Übung ÄÖÜ ß €"),
        QStringLiteral(" Name=\"x\""),
        QString(),
        QString::fromUcs4(U"\U0001F600 emoji"),
    };
    QTemporaryDir dir;
    for (const QString& text : texts) {
        CXmlSupport x;
        x.AddHeader();
        x.BeginSpecifications();
        XmlSpecification s = SampleSpecification();
        s.name = text;
        s.description = text;
        x.AddSpecification(s);
        x.BeginVisualSteps();
        x.AddVisualStep(1, 2, text);
        x.EndVisualSteps();
        x.EndSpecification();
        x.EndSpecifications();
        x.AddFooter();
        for (const QString& line : x.Lines())
            EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << "a line break inside a line breaks the format";
        const QString path = dir.filePath(QStringLiteral("PV.xml"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(CXmlSupport::ByteOrderMark());
        for (const QString& line : x.Lines())
            ASSERT_TRUE(CXmlSupport::WriteLine(f, line));
        f.close();

        CXmlSupport r;
        ASSERT_TRUE(r.Load(path)) << r.GetNodeText().toStdString();
        ASSERT_TRUE(r.SelectSpecification(text));
        QString value;
        ASSERT_TRUE(r.GetAttribute(QStringLiteral("Description"), value));
        EXPECT_EQ(value, text);
        ASSERT_TRUE(r.GetAttribute(QStringLiteral("Name"), value));
        EXPECT_EQ(value, text);
        ASSERT_TRUE(r.SelectItems("VisualSteps", "VisualStep"));
        ASSERT_TRUE(r.GetAttribute(QStringLiteral("Text"), value));
        EXPECT_EQ(value, text);
        // The XPath form finds the same record, whatever quotes the key holds.
        EXPECT_TRUE(r.SelectNode(QStringLiteral("/Tables/Specifications/Specification[@Name=%1]")
                                     .arg(CXmlSupport::XPathLiteral(text))))
            << r.GetQuery().toStdString();
    }
}

TEST(XmlSupportReader, VersionComesFromTheCommentAfterTheDeclaration) {
    const QString decl = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    struct Case {
        QStringList lines;
        int version;
    } const cases[] = {
        {{decl, "<!-- VELMOR 740ST Database Protocol 2.0 -->", "<Tables/>"}, 2},
        {{decl, "<!--database PROTOCOL 2.0-->", "<Tables/>"}, 2},
        {{decl, "<!-- made by hand: DataBase Protocol 2.0 (copy) -->", "<Tables/>"}, 2},
        {{decl, "<!-- VELMOR 740ST Database Protocol 1.0 -->", "<Tables/>"}, 1},
        {{decl, "<Tables/>"}, 1},
        {{decl, "<Tables/>", "<!-- VELMOR 740ST Database Protocol 2.0 -->"}, 1},
        {{"<!-- VELMOR 740ST Database Protocol 2.0 -->", "<Tables/>"}, 1},
        {{decl, "<?pi database protocol 2.0?>", "<Tables/>"}, 1},
        {{"<Tables/>"}, 1},
    };
    for (const Case& c : cases) {
        CXmlSupport x;
        EXPECT_EQ(x.GetVersion(), 0);
        ASSERT_TRUE(x.LoadBuffer(Document(c.lines))) << x.GetNodeText().toStdString();
        EXPECT_EQ(x.GetVersion(), c.version) << c.lines.join(QLatin1Char('|')).toStdString();
    }
}

TEST(XmlSupportReader, BadDocumentsFailWithTheLoadError) {
    const QByteArray good =
        Document({"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<!-- VELMOR 740ST Database Protocol 2.0 -->",
                  "<Tables>", " <Protocols>", "  <Protocol Device=\"D\" GUID=\"G\"></Protocol>",
                  " </Protocols>", "</Tables>"});
    struct Case {
        const char* what;
        QByteArray data;
    };
    std::vector<Case> cases = {
        {"empty", QByteArray()},
        {"not XML", "this is not a document\r\n"},
        {"two roots", "<Tables></Tables><Tables></Tables>"},
        {"cp1252 letters", "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tables Name=\"M\xFC"
                           "ller\"></Tables>"},
        {"NUL byte", QByteArray("<Tables>\0</Tables>", 18)},
        {"overlong UTF-8", "<Tables Name=\"\xC0\xAF\"/>"},
        {"surrogate in UTF-8", "<Tables Name=\"\xED\xA0\x80\"/>"},
        {"raw quote in value", "<Tables><Protocol GUID=\"a\"b\"></Protocol></Tables>"},
        {"undeclared latin-1 letters", "<Tables Name=\"M\xFCller\"/>"},
        {"unknown declared encoding",
         "<?xml version=\"1.0\" encoding=\"x-no-such-code-page\"?><Tables Name=\"M\xFCller\"/>"},
        {"UTF-16 cut inside a character", QByteArray("\xFF\xFE<\0T\0/\0>", 9)},
        {"UTF-16 with a lone surrogate", QByteArray("\xFF\xFE<\0T\0 \0a\0=\0\"\0\x00\xD8\"\0/\0>\0", 22)},
    };
    // Every cut through the document, except after its root closed.
    const int rootEnd = int(good.indexOf("</Tables>")) + 9;
    for (int cut = 0; cut < rootEnd; ++cut)
        cases.push_back({"truncated", good.left(cut)});
    for (const Case& c : cases) {
        CXmlSupport x;
        EXPECT_FALSE(x.LoadBuffer(c.data)) << c.what << " " << c.data.size();
        EXPECT_EQ(x.GetLastError(), XmlError::Load) << c.what;
        EXPECT_FALSE(x.IsLoaded());
        EXPECT_FALSE(x.GetNodeText().isEmpty()) << "the parser's reason is kept: " << c.what;
        EXPECT_FALSE(x.SelectNodes(QStringLiteral("/Tables/Protocols/Protocol")));
        EXPECT_EQ(x.GetLastError(), XmlError::NotLoaded);
    }
    CXmlSupport x;
    EXPECT_TRUE(x.LoadBuffer(good.left(rootEnd)));
    EXPECT_TRUE(x.LoadBuffer("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Tables Name=\"plain\"/>"));
    EXPECT_TRUE(x.LoadBuffer("<Tables Name=\"" + QByteArray(kXmlMaxLineBytes - 17, 'x') + "\"/>\r\n"));
    // A bare ampersand is read as the character itself rather than refused.
    ASSERT_TRUE(x.LoadBuffer("<Tables><Protocols><Protocol GUID=\"a&b\"/></Protocols></Tables>"));
    QString guid;
    ASSERT_TRUE(x.SelectProtocol(QStringLiteral("a&b")));
    ASSERT_TRUE(x.GetAttribute(QStringLiteral("GUID"), guid));
    EXPECT_EQ(guid, QStringLiteral("a&b"));
    EXPECT_FALSE(x.Load(QStringLiteral("/nonexistent/PV.xml")));
    EXPECT_EQ(x.GetLastError(), XmlError::Load);
    EXPECT_TRUE(x.GetNodeText().contains(QLatin1String("/nonexistent/PV.xml")));
}

TEST(XmlSupportReader, SelectionAndAttributeErrors) {
    CXmlSupport x;
    QString v = QStringLiteral("stale");
    EXPECT_FALSE(x.SelectNode(QStringLiteral("/Tables")));
    EXPECT_EQ(x.GetLastError(), XmlError::NotLoaded);
    EXPECT_FALSE(x.GetAttribute(QStringLiteral("Name"), v));
    EXPECT_EQ(x.GetLastError(), XmlError::Attribute);
    EXPECT_TRUE(v.isEmpty());

    ASSERT_TRUE(x.LoadBuffer(Document({
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        "<!-- VELMOR 740ST Database Protocol 2.0 -->",
        "<Tables>",
        " <Specifications>",
        "  <Specification Name=\"S1\" GUID=\"g1\">",
        "   <AppliedParts>",
        "    <AppliedPart GroupNo=\"1\" Description=\"from the part\"></AppliedPart>",
        "   </AppliedParts>",
        "  </Specification>",
        "  <Specification Name=\"S2\" Description=\"own\" GUID=\"g2\"></Specification>",
        "  <Specification Name=\"S1\" Description=\"second S1\" GUID=\"g3\"></Specification>",
        " </Specifications>",
        " <Protocols>",
        "  <Protocol SpecificationName=\"S1\" GUID=\"p1\"></Protocol>",
        " </Protocols>",
        "</Tables>",
    })));

    struct Case {
        const char* query;
        bool single;
        bool ok;
        qint32 error;
    } const cases[] = {
        {"/Tables/Specifications/Specification", false, true, 0},
        {"/Tables/Nothing", false, false, XmlError::NoNode},
        {"/Tables/Nothing", true, false, XmlError::NoNode},
        {"/Tables/[", false, false, XmlError::SelectNodes},
        {"/Tables/[", true, false, XmlError::NoNode},
        {"/Tables/Specifications/Specification[@Name='S2']", true, true, 0},
    };
    for (const Case& c : cases) {
        const QString q = QLatin1String(c.query);
        const bool ok = c.single ? x.SelectNode(q) : x.SelectNodes(q);
        EXPECT_EQ(ok, c.ok) << c.query;
        if (!c.ok) {
            EXPECT_EQ(x.GetLastError(), c.error) << c.query;
        }
        EXPECT_EQ(x.GetQuery(), q);
    }

    // A list: node 0 is current, NextNode walks on and empties the text after the last.
    ASSERT_TRUE(x.SelectNodes(QStringLiteral("/Tables/Specifications/Specification")));
    EXPECT_EQ(x.NodeCount(), 3);
    QStringList names;
    do {
        ASSERT_TRUE(x.GetAttribute(QStringLiteral("Name"), v));
        names << v;
    } while (x.NextNode());
    EXPECT_EQ(names, QStringList({"S1", "S2", "S1"}));
    EXPECT_TRUE(x.GetNodeText().isEmpty());
    EXPECT_FALSE(x.NextNode());
    EXPECT_FALSE(x.GetAttribute(QStringLiteral("Name"), v));

    // The descendant quirk: an attribute the node lacks comes from its first descendant.
    ASSERT_TRUE(x.SelectSpecification(QStringLiteral("S1")));
    ASSERT_TRUE(x.GetAttribute(QStringLiteral("Description"), v));
    EXPECT_EQ(v, QStringLiteral("from the part"));
    EXPECT_TRUE(x.GetAttribute(QStringLiteral("GUID"), v));
    EXPECT_EQ(v, QStringLiteral("g1")) << "the first record of a name wins";
    EXPECT_FALSE(x.GetAttribute(QStringLiteral("Jacks"), v));
    EXPECT_EQ(x.GetLastError(), XmlError::Attribute);

    // The probe's leading blank keeps Name from matching inside SpecificationName.
    ASSERT_TRUE(x.SelectProtocol(QStringLiteral("p1")));
    EXPECT_FALSE(x.GetAttribute(QStringLiteral("Name"), v));
    EXPECT_EQ(x.GetLastError(), XmlError::Attribute);
    EXPECT_TRUE(v.isEmpty());

    EXPECT_FALSE(x.SelectProtocol(QStringLiteral("P1"))) << "keys compare exactly";
    EXPECT_EQ(x.GetLastError(), XmlError::NoNode);
    EXPECT_FALSE(x.SelectItems("VisualRefs", "VisualRef"));
    EXPECT_EQ(x.GetLastError(), XmlError::NoNode);

    ASSERT_TRUE(x.SelectSpecification(QStringLiteral("S1")));
    ASSERT_TRUE(x.SelectItems("AppliedParts", "AppliedPart"));
    EXPECT_EQ(x.NodeCount(), 1);
    EXPECT_FALSE(x.SelectItems("TestSteps", "TestStep"));

    x.Close();
    EXPECT_FALSE(x.SelectSpecification(QStringLiteral("S1")));
    EXPECT_EQ(x.GetLastError(), XmlError::NotLoaded);
}

TEST(XmlSupportReader, UnescapeHandlesEveryEntityForm) {
    struct Case {
        const char* in;
        QString out;
    } const cases[] = {
        {"a&amp;b", "a&b"},
        {"&lt;&gt;&quot;&apos;", "<>\"'"},
        {"&#65;&#x42;&#X43;", "ABC"},
        {"&#09;&#10;", "\t\n"},
        {"&unknown;", "&unknown;"},
        {"& alone", "& alone"},
        {"&#0;", "&#0;"},
        {"&#xD800;", "&#xD800;"},
        {"&#x1F600;", QString::fromUcs4(U"\U0001F600")},
        {"&amp;amp;", "&amp;"},
        {"tail&", "tail&"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXmlSupport::Unescape(c.in), c.out) << c.in;
}

namespace {
QByteArray Utf16(const QString& text, bool bigEndian, bool bom) {
    QByteArray out;
    if (bom)
        out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}
} // namespace

// Well-formed documents that other tools write are read: any line length, UTF-16, and the
// encoding their declaration names.
TEST(XmlSupportReader, DeclaredEncodingsAndLongLinesAreRead) {
    const QString doc =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><Tables><Protocols><Protocol GUID=\"g\" "
                       "Client=\"Müller €\"></Protocol></Protocols></Tables>");
    struct Case {
        const char* what;
        QByteArray data;
        QString client;
    } const cases[] = {
        {"UTF-16LE with byte order mark", Utf16(doc, false, true), QStringLiteral("Müller €")},
        {"UTF-16BE with byte order mark", Utf16(doc, true, true), QStringLiteral("Müller €")},
        {"UTF-16LE declared, no byte order mark", Utf16(doc, false, false), QStringLiteral("Müller €")},
        {"ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Tables><Protocols><Protocol GUID=\"g\" "
         "Client=\"M\xFCller\"/></Protocols></Tables>",
         QStringLiteral("Müller")},
        {"windows-1252",
         "<?xml version='1.0' encoding='windows-1252'?><Tables><Protocols><Protocol GUID=\"g\" "
         "Client=\"M\xFCller \x80\"/></Protocols></Tables>",
         QStringLiteral("Müller €")},
        // The declaration is what counts, even when the bytes look like UTF-8.
        {"ISO-8859-1 declared over UTF-8 bytes",
         "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Tables><Protocols><Protocol GUID=\"g\" "
         "Client=\"M\xC3\xBCller\"/></Protocols></Tables>",
         QString::fromUtf8("M\xC3\x83\xC2\xBCller")},
        {"one line over 3070 bytes",
         "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tables><Protocols><Protocol GUID=\"g\" Client=\"" +
             QByteArray(5000, 'x') + "\"/></Protocols></Tables>",
         QString(5000, QLatin1Char('x'))},
    };
    for (const Case& c : cases) {
        CXmlSupport x;
        ASSERT_TRUE(x.LoadBuffer(c.data)) << c.what << ": " << x.GetNodeText().toStdString();
        ASSERT_TRUE(x.SelectProtocol(QStringLiteral("g"))) << c.what;
        QString client;
        ASSERT_TRUE(x.GetAttribute(QStringLiteral("Client"), client)) << c.what;
        EXPECT_EQ(client, c.client) << c.what;
    }
}

// A character reference to NUL would cut the text; the value is refused, naming itself.
TEST(XmlSupportReader, NulReferencesAreRefused) {
    for (const char* ref : {"&#0;", "&#x0;", "&#00;", "&#X000;"}) {
        CXmlSupport x;
        const QByteArray data = QByteArray("<Tables><Protocols><Protocol GUID=\"g\" Client=\"a") + ref +
                                "b\" Room=\"r&#10;&#48;\"/></Protocols></Tables>";
        ASSERT_TRUE(x.LoadBuffer(data)) << ref;
        ASSERT_TRUE(x.SelectProtocol(QStringLiteral("g")));
        QString value;
        EXPECT_FALSE(x.GetAttribute(QStringLiteral("Client"), value)) << ref;
        EXPECT_EQ(x.GetLastError(), XmlError::Attribute);
        EXPECT_TRUE(x.AttributeRefused());
        EXPECT_EQ(value, QStringLiteral("a&#0;b")) << ref;
        // Other references in the document are untouched.
        ASSERT_TRUE(x.GetAttribute(QStringLiteral("Room"), value));
        EXPECT_FALSE(x.AttributeRefused());
        EXPECT_EQ(value, QStringLiteral("r\n0"));
    }
}

// Control characters have no place in XML; they are written as blanks and the document
// stays readable by a strict parser, while tab and line breaks survive.
TEST(XmlSupportWriter, ControlCharactersAreWrittenAsBlanks) {
    QString text = QStringLiteral("a");
    for (char16_t c = 1; c < 0x20; ++c)
        text += QChar(c);
    text += QStringLiteral("z");
    CXmlSupport x;
    x.AddHeader();
    x.BeginSpecifications();
    XmlSpecification s = SampleSpecification();
    s.description = text;
    x.AddSpecification(s);
    x.BeginVisualSteps();
    x.AddVisualStep(1, 2, text);
    x.EndVisualSteps();
    x.EndSpecification();
    x.EndSpecifications();
    x.AddFooter();
    QByteArray bytes = CXmlSupport::ByteOrderMark();
    for (const QString& line : x.Lines()) {
        QByteArray encoded;
        ASSERT_TRUE(CXmlSupport::EncodeLine(line, encoded));
        bytes += encoded;
    }
    QXmlStreamReader strict(bytes);
    while (!strict.atEnd())
        strict.readNext();
    EXPECT_FALSE(strict.hasError()) << strict.errorString().toStdString();

    QString expected = QStringLiteral("a");
    for (char16_t c = 1; c < 0x20; ++c)
        expected += (c == '\t' || c == '\n' || c == '\r') ? QChar(c) : QChar(QLatin1Char(' '));
    expected += QStringLiteral("z");
    CXmlSupport r;
    ASSERT_TRUE(r.LoadBuffer(bytes)) << r.GetNodeText().toStdString();
    ASSERT_TRUE(r.SelectSpecification(s.name));
    QString value;
    ASSERT_TRUE(r.GetAttribute(QStringLiteral("Description"), value));
    EXPECT_EQ(value, expected);
    ASSERT_TRUE(r.SelectItems("VisualSteps", "VisualStep"));
    ASSERT_TRUE(r.GetAttribute(QStringLiteral("Text"), value));
    EXPECT_EQ(value, expected);
}
