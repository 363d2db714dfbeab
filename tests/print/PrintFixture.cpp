#include "PrintFixture.h"

#include "store/UserSchema.h"

#include <QDir>
#include <QProcess>
#include <cstdio>

void PrintFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    // To look at the PDFs of a run: V740_KEEP_TEST_FILES=1.
    if (qEnvironmentVariableIsSet("V740_KEEP_TEST_FILES")) {
        dir.setAutoRemove(false);
        std::fprintf(stderr, "test files in %s\n", qPrintable(dir.path()));
    }
    ASSERT_TRUE(QDir().mkpath(DataDir()));
    ASSERT_TRUE(
        UserSchema::CreateUserDatabase(DataDir(), UserSchema::CurrentVersion(), QStringLiteral("English")));
    ASSERT_TRUE(db.Open(DataDir(), UserSchema::FileName()));
    // Parameters stay NULL (not set), so that no mark but the steps' is printed.
    ASSERT_TRUE(db.ExecuteAll({
        "INSERT INTO TypenTab (Name, StandardID, ClassID, Manufacturer, Description, ReviewPeriod, "
        "CreateDate, "
        "IconSymbol, PartsUsed, NominalPower, CordLength, TypID) VALUES ('Drill', 5800, 5001, 'Bosch', "
        "'Hand drill', 12, '2009-03-05 14:07:09', 'IDB_TYP', 0, 6510, 3, 0)",
        "INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (1, 1, 0, 'Housing intact')",
        // 101: a maximum (compare mode 0); 201: a minimum (compare mode 1).
        "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, MainOrder, TypOrder, GroupNo, Limit, Jacks) "
        "VALUES (1, 1, 101, 1, 1, 0, 0.5, 0), (1, 2, 201, 1, 2, 0, 0.5, 0), (1, 3, 403, 1, 3, 0, 0, 0)",
        "INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, HighLimit) VALUES "
        "(1, 1, 'Motor runs', 0, 0, 0), (1, 2, 'Speed', 2, 1000, 2000)",
    }));
    notes.recorder.Clear();
}

qint32 PrintFixture::AddProtocol(const QString& device, const QString& spec, qint32 testResultId) {
    EXPECT_TRUE(db.Execute(
        QStringLiteral(
            "INSERT INTO GeraeteTab (SpecificationName, Device, NominalVoltage, TestDate, TestResultID, "
            "Operator, Serial, Manufacturer, Description, Client, FirstTestDate, NextTestDate, "
            "ExportImport, TesterName, TesterSerial, TesterSW, History, myGUID) VALUES (%1, %2, '230', "
            "'2009-03-05 14:07:09', %3, 'Smith', 'SN-42', 'Acme', 'Pump', 'Miller', "
            "'2008-03-05 00:00:00', '2010-03-05 00:00:00', 0, 'V750', 'T-1234', '1.4.2', 0, %4)")
            .arg(SqlLiteral(spec), SqlLiteral(device))
            .arg(testResultId)
            .arg(SqlLiteral(QStringLiteral("{") + device + QStringLiteral("}")))));
    qint32 id = 0;
    EXPECT_TRUE(db.GetNewId(id));
    return id;
}

void PrintFixture::AddMeasurement(qint32 protocol, int refNo, double value, double firstValue, int result) {
    EXPECT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, "
                                  "FirstValue) VALUES (%1, %2, %3, %4, %5)")
                       .arg(protocol)
                       .arg(refNo)
                       .arg(value)
                       .arg(result)
                       .arg(firstValue)));
}

void PrintFixture::AddVisual(qint32 protocol, int refNo, int result) {
    EXPECT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo, Result) VALUES "
                                  "(%1, %2, %3)")
                       .arg(protocol)
                       .arg(refNo)
                       .arg(result)));
}

void PrintFixture::AddFunctional(qint32 protocol, int refNo, double value, double firstValue, int result) {
    EXPECT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, MeasValue, Result, "
                                  "FirstValue) VALUES (%1, %2, %3, %4, %5)")
                       .arg(protocol)
                       .arg(refNo)
                       .arg(value)
                       .arg(result)
                       .arg(firstValue)));
}

std::unique_ptr<CPrintOut> PrintFixture::Writer() const {
    return std::make_unique<CPrintOut>(DataDir(), QStringLiteral("English"), QStringLiteral(V740_BIN_DIR),
                                       QLocale(QLocale::English, QLocale::UnitedStates));
}

QString PrintFixture::PdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    // Ligatures ("fi") come back as one character; compare the letters.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

int PrintFixture::PdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return -1;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

QImage PrintFixture::PdfPage(const QString& path, int page) {
    QTemporaryDir out;
    QProcess p;
    const QString prefix = out.filePath(QStringLiteral("page"));
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"),
                                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                         QString::number(page), QStringLiteral("-singlefile"), path, prefix});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QImage();
    return QImage(prefix + QStringLiteral(".png"));
}

int PrintFixture::CountColor(const QImage& image, const QColor& color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            // Edges of thin strokes blend with the paper; the hue decides.
            const QColor c = image.pixelColor(x, y);
            const int r = c.red(), g = c.green(), b = c.blue();
            const bool green = color.green() > color.red() && g > r + 50 && g > b + 50;
            const bool red = color.red() > color.green() && r > g + 60 && r > b + 60 && r < 200;
            if (green || red)
                ++n;
        }
    return n;
}

QString PrintFixture::LineWith(const QString& text, const QString& needle) {
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.contains(needle))
            return line;
    return QString();
}
