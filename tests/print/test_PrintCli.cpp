#include "PrintFixture.h"

#include "print/ui/PrinterSurface.h"

#include <QFileInfo>
#include <QPrinterInfo>

namespace {

class PrintCliTest : public PrintFixture {
protected:
    ProcessResult Ctl(const QStringList& args) {
        QStringList all{QStringLiteral("--data"), DataDir(), QStringLiteral("--lang"),
                        QStringLiteral("English")};
        all << QStringLiteral("print") << args;
        // No display: the command brings its own offscreen platform.
        return RunProgram(QStringLiteral("v740ctl"), all,
                          {QStringLiteral("QT_QPA_PLATFORM="), QStringLiteral("DISPLAY="),
                           QStringLiteral("LC_ALL=en_US.UTF-8")});
    }
};

TEST_F(PrintCliTest, ReportsGoIntoOnePdfEachNumberedFromOne) {
    const qint32 a = AddProtocol(QStringLiteral("Pump A"));
    const qint32 b = AddProtocol(QStringLiteral("Pump B"));
    AddMeasurement(a, 1, 0.1, 0, 1);
    AddMeasurement(b, 1, 0.2, 0, 1);
    const QString pdf = Pdf(QStringLiteral("two.pdf"));
    const ProcessResult r =
        Ctl({QStringLiteral("--kind"), QStringLiteral("protocols"), QStringLiteral("--ids"),
             QStringLiteral("%1,%2").arg(a).arg(b), QStringLiteral("--pdf"), pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("%1\tPump A\t1\n%2\tPump B\t1\n").arg(a).arg(b));
    EXPECT_EQ(PdfPages(pdf), 2);
    const QString text = PdfText(pdf);
    EXPECT_EQ(text.count(QStringLiteral("Page 1")), 2);
    EXPECT_FALSE(text.contains(QStringLiteral("Page 2")));
    EXPECT_TRUE(text.contains(QStringLiteral("Device : Pump A")));
    EXPECT_TRUE(text.contains(QStringLiteral("Device : Pump B")));

    const ProcessResult outline =
        Ctl({QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"), QStringLiteral("1"),
             QStringLiteral("--outline"), QStringLiteral("--pdf"), Pdf(QStringLiteral("list.pdf"))});
    ASSERT_EQ(outline.exitCode, 0) << outline.err.toStdString();
    EXPECT_EQ(outline.out, QStringLiteral("outline\t1\t1\n"));
    EXPECT_TRUE(
        PdfText(Pdf(QStringLiteral("list.pdf"))).contains(QStringLiteral("List of test specifications")));
}

TEST_F(PrintCliTest, FirstFailureLeavesNoPdf) {
    const qint32 a = AddProtocol(QStringLiteral("Pump A"));
    const qint32 orphan = AddProtocol(QStringLiteral("Orphan"), QStringLiteral("Gone"));
    const QString pdf = Pdf(QStringLiteral("fail.pdf"));
    ProcessResult r = Ctl({QStringLiteral("--kind"), QStringLiteral("protocols"), QStringLiteral("--ids"),
                           QStringLiteral("%1,%2").arg(a).arg(orphan), QStringLiteral("--pdf"), pdf});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("The test specification Gone is not installed!")))
        << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(pdf));

    r = Ctl({QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"),
             QStringLiteral("1,77"), QStringLiteral("--pdf"), pdf});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("77 does not exist"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(pdf));

    r = Ctl({QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"), QStringLiteral("1"),
             QStringLiteral("--pdf"), Pdf(QStringLiteral("missing/r.pdf"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Error: Printer.StartDoc()"))) << r.err.toStdString();
}

TEST_F(PrintCliTest, BadArgumentsExitTwo) {
    const QList<QStringList> cases = {
        {QStringLiteral("--kind"), QStringLiteral("first"), QStringLiteral("--ids"), QStringLiteral("1"),
         QStringLiteral("--outline"), QStringLiteral("--pdf"), QStringLiteral("x.pdf")},
        {QStringLiteral("--kind"), QStringLiteral("all"), QStringLiteral("--ids"), QStringLiteral("1"),
         QStringLiteral("--pdf"), QStringLiteral("x.pdf")},
        {QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"), QStringLiteral("1,x"),
         QStringLiteral("--pdf"), QStringLiteral("x.pdf")},
        {QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"), QStringLiteral("1")},
        {QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"), QStringLiteral("1"),
         QStringLiteral("--pdf"), QStringLiteral("x.pdf"), QStringLiteral("--printer"), QStringLiteral("P")},
    };
    for (const QStringList& args : cases) {
        const ProcessResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("x.pdf")));
}

TEST_F(PrintCliTest, MissingPrintersGiveTheirJobMessages) {
    // Only meaningful where no printer is set up (no CUPS on the build machines).
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    CPrinterSurface surface{QString()};
    EXPECT_FALSE(surface.IsAvailable());
    EXPECT_EQ(surface.LookupError(), 30426);
    auto out = Writer();
    EXPECT_FALSE(out->PrintSpecification(surface, 1));
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_EQ(notes.recorder.Last(), QStringLiteral("Default printer offline, or not yet defined"));

    const ProcessResult r =
        Ctl({QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--ids"), QStringLiteral("1"),
             QStringLiteral("--printer"), QStringLiteral("NoSuchPrinter")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Error: GetPrinterDC"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("NoSuchPrinter"))) << r.err.toStdString();
}

} // namespace
