#pragma once

#include <QPainter>
#include <QString>
#include <memory>

class QPagedPaintDevice;
class QPaintDevice;
class QPdfWriter;

// Job messages: each a TextID with its fixed English text.
namespace PrintError {
enum : qint32 {
    None = 0,
    NoDefaultPrinter = 30426, // "Default printer offline, or not yet defined"
    GetPrinterDC = 30427,     // "Error: GetPrinterDC"
    Attach = 30428,           // "Error: Printer.Attach(HDC)"
    StartDoc = 30429,         // "Error: Printer.StartDoc()"
    StartPage = 30430,        // "Error: Printer.StartPage()"
};
QString Fallback(qint32 error);
} // namespace PrintError

// Where the pages of a print job go: a printer, a PDF file or any paint device. A report
// begins a job, draws, asks for new pages and ends the job; failures come back as job
// messages (with a detail text where the system says more).
class CPrintSurface {
public:
    virtual ~CPrintSurface() = default;

    // Starts a job named docName with its first page. False with the job message.
    virtual bool BeginJob(const QString& docName) = 0;
    // Ends the page and starts the next one. False with the job message.
    virtual bool NewPage() = 0;
    // Ends the job; with ok false the job is given up (nothing of it is kept where the
    // surface can undo it). True when the job's output is complete.
    virtual bool EndJob(bool ok) = 0;

    // The painter of the running job.
    QPainter& Painter() { return m_painter; }
    // False for a device without pages (each page is drawn below the one before).
    virtual bool Paged() const { return true; }

    qint32 Error() const { return m_error; }
    const QString& ErrorDetail() const { return m_detail; }

protected:
    bool Fail(qint32 error, const QString& detail = QString()) {
        m_error = error;
        m_detail = detail;
        return false;
    }

    QPainter m_painter;
    qint32 m_error = 0;
    QString m_detail;
};

// A paged device the caller owns (a printer of the print dialog or the preview): each job
// starts the painter on it.
class CPagedDeviceSurface : public CPrintSurface {
public:
    explicit CPagedDeviceSurface(QPagedPaintDevice& device) : m_device(device) {}
    bool BeginJob(const QString& docName) override;
    bool NewPage() override;
    bool EndJob(bool ok) override;

protected:
    QPagedPaintDevice& m_device;
};

// Any paint device without pages (an image): pages are drawn one below the other.
class CPlainDeviceSurface : public CPrintSurface {
public:
    explicit CPlainDeviceSurface(QPaintDevice& device) : m_device(device) {}
    bool BeginJob(const QString& docName) override;
    bool NewPage() override { return true; }
    bool EndJob(bool ok) override;
    bool Paged() const override { return false; }

private:
    QPaintDevice& m_device;
};

// A PDF file. Every job of the surface goes into the one file, each starting on a new
// page. The file is written beside its target and takes its name only at Finish, so
// that a failed job leaves no PDF and an older file of that name stays as it was.
class CPdfSurface : public CPrintSurface {
public:
    explicit CPdfSurface(QString path);
    ~CPdfSurface() override;

    bool BeginJob(const QString& docName) override;
    bool NewPage() override;
    bool EndJob(bool ok) override;

    // Closes the file and gives it its name; false (and no file) when a job failed or
    // nothing was printed.
    bool Finish();
    // Gives the file up.
    void Abandon();
    const QString& Path() const { return m_path; }

private:
    QString m_path;
    QString m_partPath;
    std::unique_ptr<QPdfWriter> m_writer;
    bool m_failed = false;
    int m_jobs = 0;
};
