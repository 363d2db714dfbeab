#pragma once

#include "print/ReportData.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <memory>

class CPrintSurface;

// The reports of test specifications and device protocols: the single reports, the
// first-test view of a protocol and the two outline lists. Pages are laid out in tenths
// of an inch of the device they are drawn on, so a printer, a PDF file, the preview and an
// image all get the same page. Every text but the data comes from the text catalogue in
// the given language. Failures are told through the notifier; each print operation
// returns true when its job was printed.
class CPrintOut {
public:
    enum class Kind { Specification, Protocol, FirstProtocol, SpecificationList, ProtocolList };

    // referenceFolder holds velmor.db (empty: the program's reference folder).
    CPrintOut(QString dataFolder, QString language, QString referenceFolder = QString(),
              QLocale locale = QLocale::system());
    ~CPrintOut();
    CPrintOut(const CPrintOut&) = delete;
    CPrintOut& operator=(const CPrintOut&) = delete;

    // The three header lines and the signature option. Unless set, each job reads them
    // from the data folder's header.txt (logo.bmp and the signatures always come from it).
    void SetHeader(const QStringList& lines, int signatureOption);
    // The current signature (the settings file's [SignBitmap] Sign), printed with option 2.
    // Unless set, the data folder's settings file names it.
    void SetSignatureName(const QString& name) {
        m_signatureName = name;
        m_signatureSet = true;
    }

    bool PrintSpecification(CPrintSurface& surface, qint32 id);
    bool PrintProtocol(CPrintSurface& surface, qint32 id);
    bool PrintFirstProtocol(CPrintSurface& surface, qint32 id);
    bool PrintSpecificationList(CPrintSurface& surface, const QList<qint32>& ids);
    bool PrintProtocolList(CPrintSurface& surface, const QList<qint32>& ids);
    // The report of a kind: the single kinds print the first id.
    bool Print(Kind kind, CPrintSurface& surface, const QList<qint32>& ids);

    // Pages of the last job.
    int Pages() const { return m_pageNo; }
    // The Device or Name of a record for progress texts; empty when it cannot be read.
    QString RecordName(bool specification, qint32 id);
    bool RecordExists(bool specification, qint32 id);
    // A catalogue text in the report's language (empty when missing).
    QString Text(qint32 id) { return T(id); }

    // The texts the reports print for numbers: the locale's format with the given
    // decimals; a measured value at or beyond its range gets "< " or "> "; a zero limit
    // and a yes/no value print as "     -".
    QString Number(double value, int digits) const;
    QString MeasuredValue(double value, const Report::Measurement& definition) const;
    QString Limit(double limit, const Report::Measurement& definition) const;
    static QString PassMark();
    static QString MissingNumber();
    static QColor ResultColor(qint32 testResultId);
    // The document name of a job: its TextID formatted with the record's name, or the
    // fixed text of the kind.
    QString DocumentName(Kind kind, const QString& name);

    // Shortens text until it fits width (device pixels) in the font's metrics: its last
    // three characters become "..." as often as needed.
    static QString Shorten(const QString& text, const class QFontMetrics& metrics, int width);

private:
    struct Page;
    struct Cell {
        double x = 0;     // units from the left margin
        double width = 0; // units
        QString text;
        Qt::Alignment align = Qt::AlignLeft;
        QColor color = Qt::black;
        bool bold = false;
    };
    static Cell Mark(double x, bool passed);

    QString T(qint32 id);
    QString TextOr(qint32 id, const QString& fallback);
    bool OpenCatalogue();
    void LoadHeader();
    void JobMessage(qint32 error, const QString& detail);

    bool BeginJob(CPrintSurface& surface, Kind kind, const QString& name, const QString& title);
    bool EndJob(bool ok);
    bool PageBreak();
    void DrawFrame();
    QImage Logo();
    static QImage BitmapImage(const QString& path);
    QImage SignatureImage();
    bool PrintProtocolReport(CPrintSurface& surface, qint32 id, bool first);
    bool PrintList(CPrintSurface& surface, bool specifications, const QList<qint32>& ids);

    // Layout helpers working at the current position.
    int U(double units) const; // x units in device pixels
    int V(double units) const; // y units in device pixels
    void SetFont(const QFont& font);
    int LineHeight() const;
    void NewLine(int height = -1);
    void Gap(double units);
    void BlockCheck();
    bool Room(int height) const;
    void Title(const QString& text);
    void Heading(const QString& text);
    void Row(const QList<Cell>& cells);
    void WrappedRow(double x, double width, const QString& text, const QList<Cell>& before = {});
    void Pair(const QString& label, const QString& value, int column = 0, const QColor& color = Qt::black);
    void Pairs(const QList<std::pair<QString, QString>>& pairs);

    // Sections.
    void SpecificationMasterData(const Report::Specification& s, qint32 titleTextId);
    void SpecificationParameters(const Report::Specification& s);
    QString GroupText(const Report::Specification& s, const Report::MeasurementStep& m) const;
    QString AppliedPartText(const Report::Specification& s, const Report::MeasurementStep& m);
    QString MeasurementName(const Report::MeasurementStep& m);
    void ProtocolBody(const Report::Protocol& p, bool first);
    void ListHeadings(bool specifications);

    QString m_dataFolder;
    QString m_language;
    QString m_referenceFolder;
    QLocale m_locale;
    std::unique_ptr<class CTextCatalog> m_catalog;
    bool m_catalogOpen = false;
    bool m_catalogTried = false;

    bool m_headerSet = false;
    QStringList m_headerLines;
    int m_signatureOption = 0;
    QString m_signatureName;
    bool m_signatureSet = false;
    QImage m_logo;

    // The running job.
    std::unique_ptr<Page> m_page;
    CPrintSurface* m_surface = nullptr;
    int m_pageNo = 0;
    bool m_failed = false;
    bool m_protocolFooter = false;
    QString m_footerTitle;
    QString m_testerName, m_testerSw, m_testerSerial;
    QList<Cell> m_listHeads; // repeated at the top of every list page
};
