#include "print/PrintSurface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace PrintError {
QString Fallback(qint32 error) {
    switch (error) {
    case NoDefaultPrinter:
        return QStringLiteral("Default printer offline, or not yet defined");
    case GetPrinterDC:
        return QStringLiteral("Error: GetPrinterDC");
    case Attach:
        return QStringLiteral("Error: Printer.Attach(HDC)");
    case StartDoc:
        return QStringLiteral("Error: Printer.StartDoc()");
    case StartPage:
        return QStringLiteral("Error: Printer.StartPage()");
    default:
        return QString();
    }
}
} // namespace PrintError

bool CPagedDeviceSurface::BeginJob(const QString&) {
    m_error = 0;
    m_detail.clear();
    if (!m_painter.begin(&m_device))
        return Fail(PrintError::StartDoc);
    return true;
}

bool CPagedDeviceSurface::NewPage() {
    if (!m_device.newPage())
        return Fail(PrintError::StartPage);
    return true;
}

bool CPagedDeviceSurface::EndJob(bool ok) {
    if (m_painter.isActive())
        return m_painter.end() && ok;
    return ok;
}

bool CPlainDeviceSurface::BeginJob(const QString&) {
    m_error = 0;
    m_detail.clear();
    if (!m_painter.begin(&m_device))
        return Fail(PrintError::StartDoc);
    return true;
}

bool CPlainDeviceSurface::EndJob(bool ok) {
    if (m_painter.isActive())
        m_painter.end();
    return ok;
}

CPdfSurface::CPdfSurface(QString path) : m_path(std::move(path)) {}

CPdfSurface::~CPdfSurface() {
    Abandon();
}

bool CPdfSurface::BeginJob(const QString& docName) {
    m_error = 0;
    m_detail.clear();
    if (m_failed)
        return Fail(PrintError::StartDoc, m_path);
    if (m_writer) {
        // A further report in the same file starts on a page of its own.
        ++m_jobs;
        return NewPage();
    }
    const QFileInfo target(m_path);
    if (!target.dir().exists()) {
        m_failed = true;
        return Fail(PrintError::StartDoc,
                    QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(m_path),
                                                 QString::fromLocal8Bit(std::strerror(ENOENT))));
    }
    if (target.isDir()) {
        m_failed = true;
        return Fail(PrintError::StartDoc,
                    QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(m_path),
                                                 QString::fromLocal8Bit(std::strerror(EISDIR))));
    }
    m_partPath = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part");
    {
        // QPdfWriter says nothing about a file it cannot create; ask the system first.
        QFile probe(m_partPath);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_failed = true;
            return Fail(PrintError::StartDoc,
                        QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(m_path), probe.errorString()));
        }
    }
    m_writer = std::make_unique<QPdfWriter>(m_partPath);
    m_writer->setResolution(600);
    m_writer->setTitle(docName);
    m_writer->setCreator(QStringLiteral("V740Control " V740_VERSION));
    m_writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    if (!m_painter.begin(m_writer.get())) {
        m_failed = true;
        return Fail(PrintError::StartDoc, QDir::toNativeSeparators(m_path));
    }
    ++m_jobs;
    return true;
}

bool CPdfSurface::NewPage() {
    if (!m_writer || !m_writer->newPage()) {
        m_failed = true;
        return Fail(PrintError::StartPage);
    }
    return true;
}

bool CPdfSurface::EndJob(bool ok) {
    if (!ok)
        m_failed = true;
    return ok && !m_failed;
}

bool CPdfSurface::Finish() {
    if (m_painter.isActive())
        m_painter.end();
    m_writer.reset();
    if (m_failed || m_jobs == 0) {
        if (!m_partPath.isEmpty())
            QFile::remove(m_partPath);
        m_partPath.clear();
        return false;
    }
    // rename() replaces an older file of the name in one step.
    if (std::rename(QFile::encodeName(m_partPath).constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int cause = errno;
        QFile::remove(m_partPath);
        m_partPath.clear();
        m_failed = true;
        return Fail(PrintError::StartDoc,
                    QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(m_path),
                                                 QString::fromLocal8Bit(std::strerror(cause))));
    }
    m_partPath.clear();
    return true;
}

void CPdfSurface::Abandon() {
    if (m_painter.isActive())
        m_painter.end();
    m_writer.reset();
    if (!m_partPath.isEmpty())
        QFile::remove(m_partPath);
    m_partPath.clear();
}
