// The print header on the command line: show it, change its lines, option, logo and
// signatures, and save and send it to the tester, over the classes the dialog uses.
#include "cli/Commands.h"

#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "platform/SettingsFile.h"
#include "printheader/BitmapCheck.h"
#include "printheader/PrintHeaderText.h"
#include "printheader/PrintHeaderTransfer.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace Cli {
namespace {

struct HeaderArgs {
    std::optional<QString> lines[CPrintHeaderText::kLineCount];
    std::optional<int> option;
    QString logo;
    QStringList add;
    QStringList remove;
    std::optional<QString> select;
    bool send = false;
    bool any = false;
};

// Parses the options; 0 when they are usable, else the exit status (2).
int Parse(const QStringList& args, HeaderArgs& a) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& opt = args[i];
        if (opt == QLatin1String("--send")) {
            a.send = a.any = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            Err(QStringLiteral("header: unknown or incomplete option '%1'").arg(opt));
            return 2;
        }
        const QString value = args[++i];
        a.any = true;
        if (opt == QLatin1String("--line1")) {
            a.lines[0] = value;
        } else if (opt == QLatin1String("--line2")) {
            a.lines[1] = value;
        } else if (opt == QLatin1String("--line3")) {
            a.lines[2] = value;
        } else if (opt == QLatin1String("--option")) {
            bool ok = false;
            const int n = value.trimmed().toInt(&ok);
            if (!ok || n < 0 || n >= CPrintHeaderText::kOptionCount) {
                Err(QStringLiteral("header: --option takes 0, 1 or 2, not '%1'").arg(value));
                return 2;
            }
            a.option = n;
        } else if (opt == QLatin1String("--logo")) {
            a.logo = value;
        } else if (opt == QLatin1String("--add-sign")) {
            a.add << value;
        } else if (opt == QLatin1String("--delete-sign")) {
            a.remove << value;
        } else if (opt == QLatin1String("--select-sign")) {
            a.select = value;
        } else {
            Err(QStringLiteral("header: unknown option '%1'").arg(opt));
            return 2;
        }
    }
    return 0;
}

void Show(const QString& folder) {
    CPrintHeaderText header;
    if (!header.Read(folder))
        Err(QStringLiteral("header: no readable %1 in %2").arg(CPrintHeaderText::HeaderFileName(), folder));
    for (int i = 0; i < CPrintHeaderText::kLineCount; ++i)
        PrintLine(QStringLiteral("line%1\t%2").arg(i + 1).arg(header.Line(i)));
    PrintLine(QStringLiteral("option\t%1").arg(header.Option()));
    const QString current = CSettingsFile(folder).Read().signBitmap;
    for (const QString& name : CPrintHeaderText::SignatureNames(folder))
        PrintLine(name == current ? QStringLiteral("signature\t%1\tcurrent").arg(name)
                                  : QStringLiteral("signature\t%1").arg(name));
}

int Refuse(const GlobalOptions& options, qint32 id, const QString& detail) {
    Err(QStringLiteral("%1\n%2").arg(TextOrError(options, id), detail));
    return 1;
}

int CmdHeader(const GlobalOptions& options, const QStringList& args) {
    HeaderArgs a;
    if (const int status = Parse(args, a))
        return status;
    const QString folder = DataFolder(options);
    if (!a.any) {
        Show(folder);
        return 0;
    }
    if (!QFileInfo(folder).isDir()) {
        Err(QStringLiteral("header: the data folder %1 does not exist").arg(folder));
        return 1;
    }

    // Everything is checked before anything is changed: a refused bitmap, character or
    // signature name leaves the print header as it was.
    CPrintHeaderText header;
    header.Read(folder);
    const bool headerChanged = a.option || a.lines[0] || a.lines[1] || a.lines[2];
    for (int i = 0; i < CPrintHeaderText::kLineCount; ++i) {
        if (!a.lines[i])
            continue;
        QString bad;
        if (!header.SetLine(i, *a.lines[i], &bad)) {
            Err(FormatText(TextOrError(options, CPrintHeaderTransfer::kUnmappable), bad));
            return 1;
        }
        if (a.lines[i]->normalized(QString::NormalizationForm_C).size() > CPrintHeaderText::kLineLength)
            Err(QStringLiteral("header: line %1 stored as its first %2 characters")
                    .arg(i + 1)
                    .arg(CPrintHeaderText::kLineLength));
    }
    if (a.option)
        header.SetOption(*a.option);
    QStringList bitmaps = a.add;
    if (!a.logo.isEmpty())
        bitmaps.prepend(a.logo);
    for (const QString& path : bitmaps) {
        const BitmapCheck::Result r = BitmapCheck::CheckFile(path);
        if (r != BitmapCheck::Result::Ok)
            return Refuse(options, CPrintHeaderText::kBitmapRefused,
                          QStringLiteral("%1 (%2)").arg(path, QString::fromLatin1(BitmapCheck::Describe(r))));
    }
    QStringList names = CPrintHeaderText::SignatureNames(folder);
    for (const QString& path : a.add)
        if (!names.contains(CPrintHeaderText::SignatureName(path)))
            names << CPrintHeaderText::SignatureName(path);
    for (const QString& name : a.remove) {
        if (!names.removeOne(name)) {
            Err(QStringLiteral("header: there is no signature '%1'").arg(name));
            return 1;
        }
    }
    if (a.select && !a.select->isEmpty() && !names.contains(*a.select)) {
        Err(QStringLiteral("header: there is no signature '%1'").arg(*a.select));
        return 1;
    }

    if (headerChanged) {
        if (!header.Write(folder))
            return Refuse(options, CPrintHeaderTransfer::kSaveFailed,
                          QDir(folder).filePath(CPrintHeaderText::HeaderFileName()));
        PrintLine(QStringLiteral("saved\t%1").arg(QDir(folder).filePath(CPrintHeaderText::HeaderFileName())));
    }
    if (!a.logo.isEmpty()) {
        if (const int error = CPrintHeaderText::StoreLogo(folder, a.logo))
            return Refuse(options, error, a.logo);
        PrintLine(QStringLiteral("logo\t%1").arg(QDir(folder).filePath(CPrintHeaderText::LogoFileName())));
    }
    CSettingsFile settings(folder);
    QString current;
    for (const QString& path : a.add) {
        if (const int error = CPrintHeaderText::StoreSignature(folder, path, &current))
            return Refuse(options, error, path);
        PrintLine(QStringLiteral("added\t%1").arg(current));
    }
    for (const QString& name : a.remove) {
        if (!CPrintHeaderText::DeleteSignature(folder, name))
            return Refuse(options, CPrintHeaderText::kStoreFailed, name);
        PrintLine(QStringLiteral("deleted\t%1").arg(name));
        if (current == name)
            current.clear();
    }
    // An added signature becomes the current one, as in the dialog; --select-sign decides.
    if (a.select)
        current = *a.select;
    if (a.select || !current.isEmpty()) {
        if (!settings.WriteSignBitmap(current)) {
            Err(QStringLiteral("header: could not write the settings file %1")
                    .arg(CSettingsFile::FileName()));
            return 1;
        }
        PrintLine(QStringLiteral("selected\t%1").arg(current));
    }
    if (!a.send)
        return 0;

    CRS232 link;
    CPrintHeaderTransfer transfer(link, folder, SerialSettings(options));
    transfer.SetTexts([options](qint32 id) { return TextOrError(options, id); });
    WorkflowCallbacks cb;
    cb.status = [](const QString& text) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    };
    transfer.SetCallbacks(cb);
    transfer.SetFoundHandler(FoundReporter(options));
    CPrintHeaderText saved;
    saved.Read(folder);
    const bool ok = transfer.Run(saved, CPrintHeaderText::SignatureNames(folder));
    for (const QString& path : transfer.Sent())
        PrintLine(QStringLiteral("sent\t%1").arg(path));
    if (ok)
        return 0;
    const QString text = FormatText(TextOrError(options, transfer.ErrorCode()), transfer.ErrorDetail());
    Err(transfer.ErrorDetail().isEmpty() || text.contains(transfer.ErrorDetail())
            ? text
            : QStringLiteral("%1\n%2").arg(text, transfer.ErrorDetail()));
    return 1;
}

const CommandRegistration kHeader(
    "header",
    "header [--line1 T] [--line2 T] [--line3 T] [--option 0|1|2] [--logo BMP] [--add-sign BMP]... "
    "[--delete-sign NAME]... [--select-sign NAME] [--send]   show or change the print header; --send saves "
    "it and copies it with the logo and the signatures to the tester",
    CmdHeader);

} // namespace
} // namespace Cli
