#include "PrintFixture.h"

#include "print/PrintSurface.h"
#include "printheader/Bitmaps.h"
#include "printheader/PrintHeaderText.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QColor kGreen(0, 128, 0);
const QColor kDarkRed(128, 0, 0);

// The body of a page rendered at 150 dpi, without the header and footer bands (their
// bitmaps have colours of their own).
QImage Body(const QImage& page) {
    return page.copy(0, 190, page.width(), page.height() - 190 - 170);
}

class PrintOutTest : public PrintFixture {
protected:
    // Prints one report into a new PDF; its text, or "" when the job failed.
    QString Report(CPrintOut::Kind kind, const QList<qint32>& ids,
                   const QString& name = QStringLiteral("r.pdf")) {
        auto out = Writer();
        CPdfSurface surface(Pdf(name));
        const bool ok = out->Print(kind, surface, ids);
        if (!ok) {
            surface.Abandon();
            return QString();
        }
        EXPECT_TRUE(surface.Finish());
        pages = out->Pages();
        return PdfText(Pdf(name));
    }
    int pages = 0;
};

TEST_F(PrintOutTest, SpecificationReportPrintsZeroLimitAsDashAndLimitsWithDigits) {
    const QString text = Report(CPrintOut::Kind::Specification, {1});
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.contains(QStringLiteral("Test specification : Drill")));
    EXPECT_TRUE(text.contains(QStringLiteral("Housing intact")));
    // 101 has two decimals, 201 two; 403 has a limit of 0.
    const QString earth = LineWith(text, QStringLiteral("101 "));
    EXPECT_TRUE(earth.contains(QStringLiteral("0.50"))) << earth;
    const QString leakage = LineWith(text, QStringLiteral("403 "));
    ASSERT_FALSE(leakage.isEmpty()) << text;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\s-\\s*$")).match(leakage).hasMatch()) << leakage;
    EXPECT_FALSE(leakage.contains(QStringLiteral("0.0"))) << leakage;
    EXPECT_TRUE(LineWith(text, QStringLiteral("Speed")).contains(QStringLiteral("1,000.00...2,000.00")));
    // Page frame: the program's identity and the page number.
    EXPECT_TRUE(text.contains(QStringLiteral("VELMOR 740/750ST")));
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1")));
    EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last();
}

TEST_F(PrintOutTest, ProtocolMarksStoredResultsWhateverTheirValues) {
    const qint32 id = AddProtocol(QStringLiteral("Pump 7"));
    AddVisual(id, 1, 1);
    AddMeasurement(id, 1, 0.10, 0, 0); // within its limit, but stored as failed
    AddMeasurement(id, 2, 350, 0, 1);  // at the range's end: "> "
    AddMeasurement(id, 3, 0.1, 0, 1);  // at the range's start: "< "
    AddFunctional(id, 2, 1500, 0, 1);
    const QString text = Report(CPrintOut::Kind::Protocol, {id});
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.contains(QStringLiteral("Device : Pump 7")));
    const QString earth = LineWith(text, QStringLiteral("101 "));
    EXPECT_TRUE(earth.trimmed().startsWith(QLatin1Char('X'))) << earth;
    EXPECT_TRUE(earth.contains(QStringLiteral("0.10"))) << earth;
    EXPECT_TRUE(LineWith(text, QStringLiteral("201 ")).contains(QStringLiteral("> 350.00")));
    EXPECT_TRUE(LineWith(text, QStringLiteral("403 ")).contains(QStringLiteral("< 0.1")));
    EXPECT_TRUE(LineWith(text, QStringLiteral("Housing intact")).contains(CPrintOut::PassMark()));
    // The footer names the tester that made the protocol.
    EXPECT_TRUE(text.contains(QStringLiteral("V750")));
    EXPECT_TRUE(text.contains(QStringLiteral("T-1234")));
    // The failed row is the only dark red on the page.
    const QImage body = Body(PdfPage(Pdf(QStringLiteral("r.pdf"))));
    EXPECT_GT(CountColor(body, kDarkRed), 5);
    EXPECT_GT(CountColor(body, kGreen), 5);
}

TEST_F(PrintOutTest, FirstProtocolJudgesFirstValuesByCompareMode) {
    // Limit 0.5, first value 0.7: a maximum (mode 0) fails, a minimum (mode 1) passes.
    const qint32 maxId = AddProtocol(QStringLiteral("Max"));
    AddMeasurement(maxId, 1, 0, 0.7, 1);
    const qint32 minId = AddProtocol(QStringLiteral("Min"));
    AddMeasurement(minId, 2, 0, 0.7, 0);
    AddVisual(minId, 1, 0); // the first-test report has no visual results

    const QString maxText = Report(CPrintOut::Kind::FirstProtocol, {maxId}, QStringLiteral("max.pdf"));
    const QString maxLine = LineWith(maxText, QStringLiteral("101 "));
    EXPECT_TRUE(maxLine.trimmed().startsWith(QLatin1Char('X'))) << maxLine;
    EXPECT_TRUE(maxLine.contains(QStringLiteral("0.70"))) << maxLine;
    const QImage maxBody = Body(PdfPage(Pdf(QStringLiteral("max.pdf"))));
    EXPECT_GT(CountColor(maxBody, kDarkRed), 5);
    EXPECT_EQ(CountColor(maxBody, kGreen), 0);
    EXPECT_TRUE(maxText.contains(QStringLiteral("First test")));
    EXPECT_FALSE(maxText.contains(QStringLiteral("Signature")));

    const QString minText = Report(CPrintOut::Kind::FirstProtocol, {minId}, QStringLiteral("min.pdf"));
    const QString minLine = LineWith(minText, QStringLiteral("201 "));
    EXPECT_TRUE(minLine.trimmed().startsWith(CPrintOut::PassMark())) << minLine;
    EXPECT_FALSE(minText.contains(QStringLiteral("Housing intact")));
    const QImage minBody = Body(PdfPage(Pdf(QStringLiteral("min.pdf"))));
    EXPECT_EQ(CountColor(minBody, kDarkRed), 0);
    EXPECT_GT(CountColor(minBody, kGreen), 5);
}

TEST_F(PrintOutTest, SignatureOptionDecidesTheSignatureArea) {
    const qint32 id = AddProtocol(QStringLiteral("Pump"));
    AddMeasurement(id, 1, 0.1, 0, 1);
    auto out = Writer();
    for (int option : {0, 1}) {
        out->SetHeader({QStringLiteral("Acme Testing Ltd"), QStringLiteral("1 Main Street"),
                        QStringLiteral("Springfield")},
                       option);
        const QString path = Pdf(QStringLiteral("sign%1.pdf").arg(option));
        CPdfSurface surface(path);
        ASSERT_TRUE(out->PrintProtocol(surface, id));
        ASSERT_TRUE(surface.Finish());
        const QString text = PdfText(path);
        EXPECT_TRUE(text.contains(QStringLiteral("Acme Testing Ltd")));
        EXPECT_TRUE(text.contains(QStringLiteral("Springfield")));
        const bool electronic = text.simplified().contains(
            QStringLiteral("This protocol was created electronically and is valid without signature."));
        EXPECT_EQ(electronic, option == 1) << option;
        EXPECT_EQ(text.contains(QStringLiteral("Signature")), option == 0) << option;
        EXPECT_TRUE(text.contains(QStringLiteral("Smith")));
    }
}

TEST_F(PrintOutTest, MissingSpecificationPrintsNothingAndNamesIt) {
    const qint32 id = AddProtocol(QStringLiteral("Orphan"), QStringLiteral("Gone"));
    auto out = Writer();
    CPdfSurface surface(Pdf(QStringLiteral("orphan.pdf")));
    EXPECT_FALSE(out->PrintProtocol(surface, id));
    EXPECT_FALSE(surface.Finish());
    EXPECT_FALSE(QFileInfo::exists(Pdf(QStringLiteral("orphan.pdf"))));
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_EQ(notes.recorder.Last(), QStringLiteral("The test specification Gone is not installed!"));
    EXPECT_EQ(notes.recorder.icons.back(), CNotifier::Icon::Error);
    // A record that does not exist prints nothing either.
    CPdfSurface none(Pdf(QStringLiteral("none.pdf")));
    EXPECT_FALSE(out->PrintProtocol(none, 999));
    EXPECT_FALSE(none.Finish());
    EXPECT_FALSE(QFileInfo::exists(Pdf(QStringLiteral("none.pdf"))));
}

TEST_F(PrintOutTest, PdfInMissingFolderFailsWithStartDocAndLeavesNothing) {
    const QString path = Pdf(QStringLiteral("no/such/folder/r.pdf"));
    auto out = Writer();
    CPdfSurface surface(path);
    EXPECT_FALSE(out->PrintSpecification(surface, 1));
    EXPECT_FALSE(surface.Finish());
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_TRUE(notes.recorder.Last().startsWith(QStringLiteral("Error: Printer.StartDoc()\n")))
        << notes.recorder.Last();
    EXPECT_TRUE(notes.recorder.Last().contains(path));
    EXPECT_FALSE(QFileInfo::exists(Pdf(QStringLiteral("no"))));
}

TEST_F(PrintOutTest, FailedJobKeepsAnOlderFileOfTheName) {
    const QString path = Pdf(QStringLiteral("keep.pdf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("older");
    }
    const qint32 orphan = AddProtocol(QStringLiteral("Orphan"), QStringLiteral("Gone"));
    auto out = Writer();
    CPdfSurface surface(path);
    ASSERT_TRUE(out->PrintSpecification(surface, 1));
    EXPECT_FALSE(out->PrintProtocol(surface, orphan));
    surface.Abandon();
    EXPECT_FALSE(surface.Finish());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("older"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".part")).size(),
              0);
}

TEST_F(PrintOutTest, ProtocolListBreaksPagesAndShortensLongTexts) {
    QList<qint32> ids;
    const QString longName = QStringLiteral("Very long device name that cannot fit its column");
    ids << AddProtocol(longName, QStringLiteral("Drill"), 30801);
    for (int i = 0; i < 150; ++i)
        ids << AddProtocol(QStringLiteral("Device %1").arg(i, 3, 10, QLatin1Char('0')),
                           QStringLiteral("Drill"), 30800);
    ids.insert(1, 9999); // no longer exists: an empty line
    const QString text = Report(CPrintOut::Kind::ProtocolList, ids);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GT(pages, 1);
    EXPECT_EQ(PdfPages(Pdf(QStringLiteral("r.pdf"))), pages);
    for (int p = 1; p <= pages; ++p)
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1").arg(p))) << p;
    EXPECT_FALSE(text.contains(longName));
    const QString first = LineWith(text, QStringLiteral("Very long"));
    EXPECT_TRUE(first.contains(QStringLiteral("..."))) << first;
    EXPECT_TRUE(first.contains(QLatin1Char('X'))) << first;
    EXPECT_TRUE(text.contains(QStringLiteral("Device 149")));
    // The line of the missing id stays empty: "2" is not numbered, "3" is the next device.
    EXPECT_TRUE(LineWith(text, QStringLiteral("Device 000")).trimmed().startsWith(QStringLiteral("3 ")));
    EXPECT_TRUE(text.contains(QStringLiteral("List of device protocols")));
}

TEST_F(PrintOutTest, ShortenReplacesTheEndByDotsUntilItFits) {
    const QFont font(QStringLiteral("DejaVu Sans"), 12);
    const QFontMetrics metrics(font);
    const QString text = QStringLiteral("Protective earth resistance");
    EXPECT_EQ(CPrintOut::Shorten(text, metrics, metrics.horizontalAdvance(text)), text);
    for (int width : {10, 40, 80, 120}) {
        const QString s = CPrintOut::Shorten(text, metrics, width);
        EXPECT_TRUE(s.endsWith(QStringLiteral("..."))) << width;
        EXPECT_TRUE(text.startsWith(s.left(s.size() - 3))) << width;
        if (s.size() > 3) {
            EXPECT_LE(metrics.horizontalAdvance(s), width) << width;
        }
        // One more character would not fit.
        if (s.size() - 3 < text.size()) {
            EXPECT_GT(metrics.horizontalAdvance(text.left(s.size() - 2) + QStringLiteral("...")), width)
                << width;
        }
    }
}

TEST_F(PrintOutTest, NumbersFollowTheLocale) {
    CPrintOut de(DataDir(), QStringLiteral("Deutsch"), QStringLiteral(V740_BIN_DIR),
                 QLocale(QLocale::German, QLocale::Germany));
    Report::Measurement m;
    m.digits = 2;
    m.minValue = QStringLiteral("0.01");
    m.maxValue = QStringLiteral("19.99");
    EXPECT_EQ(de.MeasuredValue(1234.5, m), QStringLiteral("> 1.234,50"));
    EXPECT_EQ(de.MeasuredValue(-0.5, m), QStringLiteral("< -0,50"));
    EXPECT_EQ(de.MeasuredValue(5, m), QStringLiteral("5,00"));
    EXPECT_EQ(de.Limit(0, m), QStringLiteral("     -"));
    m.compareMode = 2;
    EXPECT_EQ(de.MeasuredValue(1, m), QStringLiteral("     -"));
}

} // namespace

namespace {

// A bitmap of one colour: blue, as 8-bit palette entries or as 24-bit pixels.
QByteArray BlueBitmap(int bpp) {
    QByteArray b = MakeBitmap(60, 20, bpp);
    const int offset = 54;
    if (bpp <= 8) {
        for (int i = offset; i < offset + 4 * (1 << bpp); i += 4) {
            b[i] = char(255);
            b[i + 1] = 0;
            b[i + 2] = 0;
        }
    } else {
        for (int i = offset; i + 2 < b.size(); i += 3) {
            b[i] = char(255);
            b[i + 1] = 0;
            b[i + 2] = 0;
        }
    }
    return b;
}

int BluePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
                ++n;
        }
    return n;
}

TEST_F(PrintOutTest, HeaderLogoAndSignatureComeFromTheDataFolder) {
    const qint32 id = AddProtocol(QStringLiteral("Pump"));
    AddMeasurement(id, 1, 0.1, 0, 1);
    const QString bitmap = dir.filePath(QStringLiteral("Boss.bmp"));
    ASSERT_TRUE(WriteBytes(bitmap, BlueBitmap(8)));
    QString name;
    ASSERT_EQ(CPrintHeaderText::StoreSignature(DataDir(), bitmap, &name), 0);
    CPrintHeaderText header;
    ASSERT_TRUE(header.SetLine(0, QStringLiteral("Acme Testing Ltd")));
    ASSERT_TRUE(header.SetLine(2, QStringLiteral("Springfield")));
    ASSERT_TRUE(header.SetOption(2));
    ASSERT_TRUE(header.Write(DataDir()));

    // Option 2: the stored signature above the line; the logo is not a bitmap of ours yet.
    auto out = Writer();
    out->SetSignatureName(name);
    CPdfSurface surface(Pdf(QStringLiteral("signed.pdf")));
    ASSERT_TRUE(out->PrintProtocol(surface, id));
    ASSERT_TRUE(surface.Finish());
    const QString text = PdfText(Pdf(QStringLiteral("signed.pdf")));
    EXPECT_TRUE(text.contains(QStringLiteral("Acme Testing Ltd")));
    EXPECT_TRUE(text.contains(QStringLiteral("Springfield")));
    EXPECT_TRUE(text.contains(QStringLiteral("Signature")));
    const QImage page = PdfPage(Pdf(QStringLiteral("signed.pdf")));
    EXPECT_GT(BluePixels(Body(page)), 500);
    EXPECT_EQ(BluePixels(page.copy(0, 0, page.width(), 190)), 0);

    // A 24-bit logo is refused (the error logo stands in); an 8-bit one prints.
    ASSERT_TRUE(WriteBytes(DataDir() + QStringLiteral("/logo.bmp"), BlueBitmap(24)));
    CPdfSurface refused(Pdf(QStringLiteral("logo24.pdf")));
    ASSERT_TRUE(out->PrintSpecification(refused, 1));
    ASSERT_TRUE(refused.Finish());
    const QImage page24 = PdfPage(Pdf(QStringLiteral("logo24.pdf")));
    EXPECT_EQ(BluePixels(page24.copy(0, 0, page24.width(), 190)), 0);
    ASSERT_TRUE(WriteBytes(DataDir() + QStringLiteral("/logo.bmp"), BlueBitmap(8)));
    CPdfSurface taken(Pdf(QStringLiteral("logo8.pdf")));
    ASSERT_TRUE(out->PrintSpecification(taken, 1));
    ASSERT_TRUE(taken.Finish());
    const QImage page8 = PdfPage(Pdf(QStringLiteral("logo8.pdf")));
    EXPECT_GT(BluePixels(page8.copy(0, 0, page8.width(), 190)), 500);
}

TEST_F(PrintOutTest, UnreadableHeaderPrintsTheNoHeaderTexts) {
    auto out = Writer();
    CPdfSurface surface(Pdf(QStringLiteral("nohead.pdf")));
    ASSERT_TRUE(out->PrintSpecification(surface, 1));
    ASSERT_TRUE(surface.Finish());
    const QString text = PdfText(Pdf(QStringLiteral("nohead.pdf")));
    EXPECT_TRUE(text.contains(QStringLiteral("No print header defined")));
    EXPECT_TRUE(text.contains(QStringLiteral("Print header not yet defined")));
}

} // namespace
