// Reports and outline lists on the command line: into one PDF file or on a printer.
#include "cli/Commands.h"

#include "print/PrintOut.h"
#include "print/PrintSurface.h"
#include "print/ui/PrinterSurface.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace Cli {

namespace {

void Print(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

int CmdPrint(const GlobalOptions& options, const QStringList& args) {
    QString kindName, idList, pdf, printer;
    bool outline = false, hasPdf = false, hasPrinter = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString* target = nullptr;
        if (a == QLatin1String("--kind"))
            target = &kindName;
        else if (a == QLatin1String("--ids"))
            target = &idList;
        else if (a == QLatin1String("--pdf"))
            target = &pdf, hasPdf = true;
        else if (a == QLatin1String("--printer"))
            target = &printer, hasPrinter = true;
        else if (a == QLatin1String("--outline")) {
            outline = true;
            continue;
        } else {
            Err(QStringLiteral("print: unexpected argument '%1'").arg(a));
            return 2;
        }
        if (i + 1 >= args.size()) {
            Err(QStringLiteral("print: %1 needs a value").arg(a));
            return 2;
        }
        *target = args[++i];
    }
    if (kindName != QLatin1String("specs") && kindName != QLatin1String("protocols") &&
        kindName != QLatin1String("first")) {
        Err(QStringLiteral("print: --kind must be specs, protocols or first"));
        return 2;
    }
    const bool specs = kindName == QLatin1String("specs");
    const bool first = kindName == QLatin1String("first");
    if (first && outline) {
        Err(QStringLiteral(
            "print: the first-test report has no outline (--outline goes with specs or protocols)"));
        return 2;
    }
    if (hasPdf == hasPrinter) {
        Err(QStringLiteral("print: give either --pdf FILE or --printer NAME"));
        return 2;
    }
    if (hasPdf && pdf.isEmpty()) {
        Err(QStringLiteral("print: --pdf needs a file name"));
        return 2;
    }
    QList<qint32> ids;
    for (const QString& item : idList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint32 id = item.trimmed().toInt(&ok);
        if (!ok || id <= 0) {
            Err(QStringLiteral("print: '%1' is not a record id").arg(item));
            return 2;
        }
        ids << id;
    }
    if (ids.isEmpty()) {
        Err(QStringLiteral("print: --ids names no record"));
        return 2;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        Err(QStringLiteral("print: no graphical application object to draw with"));
        return 1;
    }
    const QString folder = DataFolder(options);
    if (!QFileInfo::exists(folder + QStringLiteral("/user2.db"))) {
        Err(QStringLiteral("print: %1 holds no user database").arg(folder));
        return 1;
    }

    CPrintOut out(folder, Language(options));
    using Kind = CPrintOut::Kind;
    const Kind kind = outline
                          ? (specs ? Kind::SpecificationList : Kind::ProtocolList)
                          : (specs ? Kind::Specification : (first ? Kind::FirstProtocol : Kind::Protocol));
    // One job per report: the outline is one job over all ids, the reports one each.
    QList<QList<qint32>> jobs;
    if (outline)
        jobs << ids;
    else
        for (const qint32 id : ids)
            jobs << QList<qint32>{id};

    const auto explain = [&](const QList<qint32>& job) {
        if (outline)
            return;
        if (!out.RecordExists(specs, job.first()))
            Err(QStringLiteral("print: %1 %2 does not exist")
                    .arg(specs ? QStringLiteral("test specification") : QStringLiteral("device protocol"))
                    .arg(job.first()));
    };
    const auto report = [&](const QList<qint32>& job) {
        if (outline)
            Print(QStringLiteral("outline\t%1\t%2").arg(job.size()).arg(out.Pages()));
        else
            Print(QStringLiteral("%1\t%2\t%3")
                      .arg(job.first())
                      .arg(out.RecordName(specs, job.first()))
                      .arg(out.Pages()));
    };

    if (hasPdf) {
        CPdfSurface surface(QFileInfo(pdf).absoluteFilePath());
        for (const QList<qint32>& job : jobs) {
            if (!out.Print(kind, surface, job)) {
                explain(job);
                surface.Abandon();
                return 1;
            }
            report(job);
        }
        if (!surface.Finish()) {
            Err(QStringLiteral("print: %1 could not be written: %2").arg(pdf, surface.ErrorDetail()));
            return 1;
        }
        return 0;
    }
    for (const QList<qint32>& job : jobs) {
        CPrinterSurface surface(printer);
        if (!out.Print(kind, surface, job)) {
            explain(job);
            return 1;
        }
        report(job);
    }
    return 0;
}

const CommandRegistration kPrint(
    "print",
    "print --kind specs|protocols|first --ids N[,N...] [--outline] (--pdf FILE | --printer NAME)\n"
    "                            reports (one per id) or the outline list of the ids; --pdf: one file,\n"
    "                            each report on new pages; first: the first-test report of protocols;\n"
    "                            one line per report: id, name, pages (outline: count, pages)",
    CmdPrint);

} // namespace

} // namespace Cli
