// The tester link on the command line: file upload, sending records to the tester, and
// the tester as a source of `import`.
#include "cli/CmdExchange.h"
#include "cli/Commands.h"

#include "link/CatalogueExchange.h"
#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "link/TesterConnection.h"
#include "link/TesterLinkSource.h"
#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"

#include <QFileInfo>
#include <cstdio>

namespace Cli {
namespace {

int ReportFailure(const GlobalOptions& options, qint32 code, const QString& detail = QString()) {
    const QString text = TextOrError(options, code);
    Err(detail.isEmpty() ? text : QStringLiteral("%1\n%2").arg(text, detail));
    return 1;
}

int CmdUpload(const GlobalOptions& options, const QStringList& args) {
    if (args.isEmpty() || args.size() % 2 != 0) {
        Err(QStringLiteral("upload: give pairs of LOCAL-FILE TESTER-PATH"));
        return 2;
    }
    for (int i = 0; i < args.size(); i += 2) {
        if (!QFileInfo(args[i]).isFile()) {
            Err(QStringLiteral("upload: %1 is not a file").arg(args[i]));
            return 2;
        }
    }
    CRS232 link;
    CTesterConnection connection(link, DataFolder(options), SerialSettings(options));
    connection.SetFoundHandler(FoundReporter(options));
    QString reply;
    bool ok = connection.BeginTransfer(reply);
    qint32 error = ok ? 0 : link.GetErrorCode();
    if (ok) {
        for (int i = 0; i < args.size(); i += 2) {
            if (!link.SendFile(args[i], args[i + 1])) {
                ok = false;
                error = link.GetErrorCode();
                break;
            }
            PrintLine(QStringLiteral("%1 -> %2: %3 bytes")
                          .arg(args[i], args[i + 1], QString::number(QFileInfo(args[i]).size())));
        }
    }
    if (!link.EndTransfer() && ok) {
        ok = false;
        error = link.GetErrorCode();
    }
    // A tester that did not confirm leaving transfer mode leaves the port open.
    link.ClosePort();
    return ok && error == 0 ? 0 : ReportFailure(options, error);
}

TextLookup Lookup(const GlobalOptions& options) {
    return [options](qint32 id) {
        const QString text = TextOrError(options, id);
        return text.startsWith(QLatin1String("error ")) ? QString() : text;
    };
}

void PrintStep(const GlobalOptions& options, qint32 id, const QString& arg) {
    const QString text = TextOrError(options, id);
    std::fprintf(stderr, "%s\n", (arg.isEmpty() ? text : FormatText(text, arg)).toLocal8Bit().constData());
}

int CmdSend(const GlobalOptions& options, const QStringList& args) {
    ExchangeKind kind = ExchangeKind::Specifications;
    bool haveKind = false;
    std::vector<qint32> ids;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--kind") && i + 1 < args.size() && ParseKind(args[i + 1], kind)) {
            haveKind = true;
            ++i;
        } else if (args[i] == QLatin1String("--ids") && i + 1 < args.size()) {
            for (const QString& n : args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                bool ok = false;
                ids.push_back(n.trimmed().toInt(&ok));
                if (!ok) {
                    Err(QStringLiteral("send: '%1' is not a record id").arg(n));
                    return 2;
                }
            }
        } else {
            Err(QStringLiteral("send: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    if (!haveKind || ids.empty()) {
        Err(QStringLiteral("send: give --kind specs|protocols and --ids N[,N...]"));
        return 2;
    }
    const QString folder = DataFolder(options);
    CAdoDatabase db;
    if (!db.Open(folder, UserSchema::FileName()))
        return ReportFailure(options, db.GetErrorNumber());
    const std::vector<Catalogue::CSendWorker::Row> rows = Catalogue::CSendWorker::RowsById(db, kind, ids);
    CRS232 link;
    Catalogue::LinkContext context{link, folder, SerialSettings(options)};
    context.onFound = FoundReporter(options);
    Catalogue::CSendWorker worker(context, db);
    worker.SetTextLookup(Lookup(options));
    Catalogue::CSendWorker::Callbacks cb;
    cb.step = [&](qint32 id, const QString& arg) { PrintStep(options, id, arg); };
    worker.SetCallbacks(cb);
    const auto r =
        kind == ExchangeKind::Specifications ? worker.SendSpecifications(rows) : worker.SendProtocols(rows);
    if (!r.ok)
        return ReportFailure(options, r.error, r.errorText);
    PrintLine(QStringLiteral("sent %1 test specifications, %2 device protocols")
                  .arg(r.specificationsSent)
                  .arg(r.protocolsSent));
    return 0;
}

// import --source tester: the tester's link as the source of the one import command.
const ImportSourceRegistration kTester(
    "tester",
    [](const GlobalOptions& options, const QString& path, QString& error) -> std::unique_ptr<CXmlSource> {
        if (!path.isEmpty()) {
            error = QStringLiteral("--path is not used with --source tester");
            return nullptr;
        }
        auto source = std::make_unique<CTesterLinkSource>(DataFolder(options), SerialSettings(options));
        source->SetFoundHandler(FoundReporter(options));
        source->SetTextLookup(Lookup(options));
        return source;
    });

const CommandRegistration
    kSend("send", "send --kind specs|protocols --ids N[,N...]   send records to the tester (checks first)",
          CmdSend);
const CommandRegistration
    kUpload("upload", "upload LOCAL-FILE TESTER-PATH...   copy files onto the tester in transfer mode",
            CmdUpload);

} // namespace

CSerialProfile SerialSettings(const GlobalOptions& options) {
    CSerialProfile p = CSerialProfile::Read(DataFolder(options));
    if (!options.port.isEmpty())
        p.port = options.port;
    if (!options.baud.isEmpty())
        p.baudRate = options.baud;
    if (!options.dataBits.isEmpty())
        p.dataBits = options.dataBits;
    return p;
}

namespace {

void ReportFound(const GlobalOptions& options, const CSerialProfile& p, bool written) {
    std::fprintf(stderr, "v740ctl: tester found on %s at %s baud, %s data bits\n",
                 p.port.toLocal8Bit().constData(), p.baudRate.toLocal8Bit().constData(),
                 p.dataBits.toLocal8Bit().constData());
    if (!written)
        Err(QStringLiteral("could not write the serial settings to %1")
                .arg(CSerialProfile::SettingsFile(DataFolder(options))));
}

} // namespace

CTesterConnection::FoundHandler FoundReporter(const GlobalOptions& options) {
    return [options](const CSerialProfile& p, bool written) { ReportFound(options, p, written); };
}

} // namespace Cli
