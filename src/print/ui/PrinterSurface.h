#pragma once

#include "print/PrintSurface.h"

#include <QPageLayout>
#include <QString>
#include <memory>

class QPrinter;

// The printer chosen in the print setup of the main menu: a printer by name (empty for
// the system's default printer) or a PDF file asked for at each print.
struct CPrinterChoice {
    bool pdf = false;
    QString printerName;
    bool hasLayout = false;
    QPageLayout layout;

    // The process-wide choice of the print setup.
    static CPrinterChoice& Current();
};

// A printer as a print surface. The printer is looked up when the surface is made (on the
// user-interface thread); a missing printer makes every job fail with its job message:
// 30426 when no printer is named and there is no default printer, 30427 when the named
// printer is not there.
class CPrinterSurface : public CPrintSurface {
public:
    explicit CPrinterSurface(const QString& printerName, const QPageLayout* layout = nullptr);
    ~CPrinterSurface() override;

    // False with the job message when there is no printer to print on.
    bool IsAvailable() const { return m_printer != nullptr; }
    qint32 LookupError() const { return m_lookupError; }
    QString PrinterName() const;

    bool BeginJob(const QString& docName) override;
    bool NewPage() override;
    bool EndJob(bool ok) override;

private:
    std::unique_ptr<QPrinter> m_printer;
    qint32 m_lookupError = 0;
    QString m_name;
};
