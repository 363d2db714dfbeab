#include "print/ui/PrinterSurface.h"

#include <QPrinter>
#include <QPrinterInfo>

CPrinterChoice& CPrinterChoice::Current() {
    static CPrinterChoice choice;
    return choice;
}

CPrinterSurface::CPrinterSurface(const QString& printerName, const QPageLayout* layout)
    : m_name(printerName) {
    QPrinterInfo info;
    if (printerName.isEmpty()) {
        info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            m_lookupError = PrintError::NoDefaultPrinter;
            return;
        }
    } else {
        info = QPrinterInfo::printerInfo(printerName);
        if (info.isNull()) {
            m_lookupError = PrintError::GetPrinterDC;
            return;
        }
    }
    m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!m_printer->isValid()) {
        m_printer.reset();
        m_lookupError = PrintError::Attach;
        return;
    }
    m_name = info.printerName();
    if (layout)
        m_printer->setPageLayout(*layout);
}

CPrinterSurface::~CPrinterSurface() {
    if (m_painter.isActive())
        m_painter.end();
}

QString CPrinterSurface::PrinterName() const {
    return m_name;
}

bool CPrinterSurface::BeginJob(const QString& docName) {
    m_error = 0;
    m_detail.clear();
    if (!m_printer)
        return Fail(m_lookupError, m_name);
    m_printer->setDocName(docName);
    if (!m_painter.begin(m_printer.get()))
        return Fail(PrintError::StartDoc, m_name);
    return true;
}

bool CPrinterSurface::NewPage() {
    if (!m_printer || !m_printer->newPage()) {
        if (m_printer)
            m_printer->abort();
        return Fail(PrintError::StartPage, m_name);
    }
    return true;
}

bool CPrinterSurface::EndJob(bool ok) {
    if (!m_printer)
        return false;
    if (!ok) {
        m_printer->abort();
        if (m_painter.isActive())
            m_painter.end();
        return false;
    }
    const bool ended = m_painter.isActive() ? m_painter.end() : true;
    // A printer that went away during the job leaves the printer in the error state.
    if (!ended || m_printer->printerState() == QPrinter::Error)
        return Fail(PrintError::StartPage, m_name);
    return true;
}
