#pragma once

#include "print/PrintOut.h"
#include "store/AdoDatabase.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

// Lets a QString follow a failed expectation as its message.
inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}

// A data folder with a user database holding one test specification ("Drill", id 1) with
// a visual, two measurement and two functional steps, and the notifier recorded.
class PrintFixture : public ::testing::Test {
protected:
    void SetUp() override;

    QString DataDir() const { return dir.filePath(QStringLiteral("data")); }
    QString Pdf(const QString& name) const { return dir.filePath(name); }

    // A protocol of specification spec; returns its id.
    qint32 AddProtocol(const QString& device, const QString& spec = QStringLiteral("Drill"),
                       qint32 testResultId = 0);
    // A result row of each kind (RefNo of the specification's step).
    void AddMeasurement(qint32 protocol, int refNo, double value, double firstValue, int result);
    void AddVisual(qint32 protocol, int refNo, int result);
    void AddFunctional(qint32 protocol, int refNo, double value, double firstValue, int result);

    // A report writer in English with US number formats, velmor.db of the build.
    std::unique_ptr<CPrintOut> Writer() const;
    // pdftotext -layout of a file; empty when it cannot be read.
    static QString PdfText(const QString& path);
    static int PdfPages(const QString& path);
    // A page rendered at 150 dpi.
    static QImage PdfPage(const QString& path, int page = 1);
    // Pixels of the hue of a report colour (green or dark red).
    static int CountColor(const QImage& image, const QColor& color);
    // The layout line holding needle ("" when none).
    static QString LineWith(const QString& text, const QString& needle);

    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;
};
