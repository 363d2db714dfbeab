#include "print/ui/PrintCommands.h"

#include "app/BaseClass.h"
#include "app/DirectoryCommands.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "platform/Notifier.h"
#include "print/PrintOut.h"
#include "print/PrintSurface.h"
#include "print/ui/PrinterSurface.h"
#include "store/TextFormat.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QPageSetupDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <memory>
#include <thread>

namespace PrintCommands {

namespace {

constexpr qint32 kTextUsePdf = 60700;
constexpr qint32 kTextSaveAsPdf = 60701;
constexpr qint32 kTextPdfFilter = 60702;
constexpr qint32 kTextPrinter = 60703;
constexpr qint32 kTextPageSetup = 60704;

QString T(CVELMOR740PCRemoteDoc& doc, qint32 id, const char* fallback) {
    return doc.Text(id, QString::fromUtf8(fallback));
}

QString LastPdfFolder() {
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder;
}

QString& PdfFolder() {
    static QString folder = LastPdfFolder();
    return folder;
}

// A file name from a record name: what a file system cannot hold becomes "_".
QString FileNamePart(const QString& name) {
    QString part = name.trimmed();
    static const QRegularExpression bad(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]"));
    part.replace(bad, QStringLiteral("_"));
    return part.isEmpty() ? QStringLiteral("report") : part;
}

std::unique_ptr<CPrintSurface> AskPdf(QWidget* parent, CVELMOR740PCRemoteDoc& doc,
                                      const QString& suggestedName) {
    QString path = QFileDialog::getSaveFileName(
        parent, T(doc, kTextSaveAsPdf, "Save as PDF"),
        QDir(PdfFolder()).filePath(FileNamePart(suggestedName) + QStringLiteral(".pdf")),
        T(doc, kTextPdfFilter, "PDF files (*.pdf)"));
    if (path.isEmpty())
        return nullptr;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    PdfFolder() = QFileInfo(path).absolutePath();
    return std::make_unique<CPdfSurface>(path);
}

QList<qint32> IdsOrEmpty(const CDirectoryCommandContext& c) {
    return c.doc ? c.ids : QList<qint32>();
}

// The print workers: each report (or the outline) in its own job on the worker's own
// connections; progress texts go to the status bar, the end to the view.
bool StartPrint(CDirectoryCommandContext& c, bool outline) {
    const QList<qint32> ids = IdsOrEmpty(c);
    CWindowMessages* messages = c.doc ? c.doc->Messages() : nullptr;
    if (ids.isEmpty() || !messages)
        return false;
    QWidget* parent = QApplication::activeWindow();
    std::shared_ptr<CPrintSurface> surface(ChooseSurface(parent, *c.doc, c.header));
    if (!surface)
        return false;
    if (c.view)
        c.view->LockMainWindow();
    const QString folder = c.doc->DataFolder();
    const QString language = c.doc->Language();
    const QString sign = c.doc->SignBitmap();
    const bool specs = c.specifications;
    std::thread([=] {
        CPrintOut out(folder, language);
        out.SetSignatureName(sign);
        bool ok = true;
        if (outline) {
            messages->SendProgress(true, out.Text(specs ? 50032 : 50033));
            ok = specs ? out.PrintSpecificationList(*surface, ids) : out.PrintProtocolList(*surface, ids);
        } else {
            for (const qint32 id : ids) {
                messages->SendProgress(
                    true, FormatText(out.Text(specs ? 50030 : 50031), out.RecordName(specs, id)));
                ok = specs ? out.PrintSpecification(*surface, id) : out.PrintProtocol(*surface, id);
                if (!ok)
                    break;
            }
        }
        if (auto* pdf = dynamic_cast<CPdfSurface*>(surface.get())) {
            if (ok && !pdf->Finish()) {
                ok = false;
                Notifier().ShowMessage(
                    FormatText(QStringLiteral("%s\n%s"), out.Text(pdf->Error()), pdf->ErrorDetail()),
                    QString(), CNotifier::Icon::Error);
            } else if (!ok) {
                pdf->Abandon();
            }
        }
        messages->SendProgress(false);
        messages->SendPrintEnded(ok);
    }).detach();
    return false;
}

} // namespace

std::unique_ptr<CPrintSurface> ChooseSurface(QWidget* parent, CVELMOR740PCRemoteDoc& doc,
                                             const QString& suggestedName) {
    CPrinterChoice& choice = CPrinterChoice::Current();
    if (choice.pdf)
        return AskPdf(parent, doc, suggestedName);
    auto printer =
        std::make_unique<CPrinterSurface>(choice.printerName, choice.hasLayout ? &choice.layout : nullptr);
    if (printer->IsAvailable())
        return printer;
    // Many technicians mail their certificates: without a printer a PDF file will do.
    const qint32 error = printer->LookupError();
    QString text = doc.Text(error, PrintError::Fallback(error));
    if (!choice.printerName.isEmpty())
        text = FormatText(QStringLiteral("%s\n%s"), text, choice.printerName);
    text = FormatText(QStringLiteral("%s\n\n%s"), text,
                      T(doc, kTextUsePdf, "No printer can be used. Save the report as a PDF file instead?"));
    if (Notifier().Ask(text, CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Buttons::YesNo,
                       CNotifier::Icon::Question) != CNotifier::Answer::Yes)
        return nullptr;
    return AskPdf(parent, doc, suggestedName);
}

void RunPreview(QWidget* parent, CVELMOR740PCRemoteDoc& doc, bool specifications, const QList<qint32>& ids,
                const QString& title) {
    if (ids.isEmpty())
        return;
    CPrinterChoice& choice = CPrinterChoice::Current();
    QPrinter printer(QPrinter::HighResolution);
    if (!choice.pdf && !choice.printerName.isEmpty()) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(choice.printerName);
        if (!info.isNull())
            printer.setPrinterName(info.printerName());
    }
    if (choice.hasLayout)
        printer.setPageLayout(choice.layout);
    CPrintOut out(doc.DataFolder(), doc.Language());
    out.SetSignatureName(doc.SignBitmap());
    using Kind = CPrintOut::Kind;
    const Kind kind = ids.size() == 1 ? (specifications ? Kind::Specification : Kind::Protocol)
                                      : (specifications ? Kind::SpecificationList : Kind::ProtocolList);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(title.isEmpty() ? CVELMOR740PCRemoteDoc::AppTitle() : title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* target) {
        CPagedDeviceSurface surface(*target);
        out.Print(kind, surface, ids);
    });
    dialog.resize(900, 1000);
    dialog.exec();
}

void RunPrintSetup(QWidget* parent, CVELMOR740PCRemoteDoc& doc) {
    CPrinterChoice& choice = CPrinterChoice::Current();
    QDialog dialog(parent);
    QString title = doc.Text(50034, QStringLiteral("Print setup"));
    title.remove(QStringLiteral("..."));
    title.remove(QLatin1Char('&'));
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    auto* printers = new QComboBox(&dialog);
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        printers->addItem(name == defaultName ? QStringLiteral("%1 *").arg(name) : name, name);
    printers->addItem(T(doc, kTextSaveAsPdf, "Save as PDF"), QString());
    const int pdfIndex = printers->count() - 1;
    int current = pdfIndex;
    if (!choice.pdf) {
        const QString wanted = choice.printerName.isEmpty() ? defaultName : choice.printerName;
        const int found = wanted.isEmpty() ? -1 : printers->findData(wanted);
        if (found >= 0)
            current = found;
    }
    printers->setCurrentIndex(current);
    form->addRow(T(doc, kTextPrinter, "Printer"), printers);
    QPageLayout layout = choice.hasLayout ? choice.layout
                                          : QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                        QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    bool layoutChanged = false;
    auto* pageSetup = new QPushButton(T(doc, kTextPageSetup, "Page setup..."), &dialog);
    QObject::connect(pageSetup, &QPushButton::clicked, &dialog, [&] {
        QPrinter printer(QPrinter::HighResolution);
        const QString name = printers->currentData().toString();
        if (name.isEmpty())
            printer.setOutputFormat(QPrinter::PdfFormat);
        else
            printer.setPrinterName(name);
        printer.setPageLayout(layout);
        QPageSetupDialog setup(&printer, &dialog);
        if (setup.exec() == QDialog::Accepted) {
            layout = printer.pageLayout();
            layoutChanged = true;
        }
    });
    form->addRow(QString(), pageSetup);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(doc.Text(4505, QStringLiteral("OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(doc.Text(4502, QStringLiteral("Cancel")));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    choice.pdf = printers->currentIndex() == pdfIndex;
    choice.printerName = choice.pdf ? QString() : printers->currentData().toString();
    if (layoutChanged) {
        choice.layout = layout;
        choice.hasLayout = true;
    }
}

void Install() {
    DirectoryCommands::Install(DirectoryCommand::Print,
                               [](CDirectoryCommandContext& c) { return StartPrint(c, false); });
    DirectoryCommands::Install(DirectoryCommand::PrintOutline,
                               [](CDirectoryCommandContext& c) { return StartPrint(c, true); });
    DirectoryCommands::Install(DirectoryCommand::PrintPreview, [](CDirectoryCommandContext& c) {
        if (c.doc)
            RunPreview(QApplication::activeWindow(), *c.doc, c.specifications, c.ids, c.header);
        return false;
    });
}

} // namespace PrintCommands
