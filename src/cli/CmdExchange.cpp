// The XML exchange on the command line: import from a drive, a folder or any source another
// file registers (the tester: CmdLink.cpp), export to a drive or a folder.
#include "cli/CmdExchange.h"

#include "exchange/CsvExport.h"
#include "exchange/ExportWorkflow.h"
#include "exchange/ImportWorkflow.h"
#include "exchange/XmlSupport.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"

#include <QFileInfo>
#include <QMap>
#include <cstdio>

namespace Cli {

namespace {

QMap<QString, ImportSourceFactory>& Sources() {
    static QMap<QString, ImportSourceFactory> sources;
    return sources;
}

// The catalogue texts in the command's language; without velmor.db every lookup is empty
// and the callers fall back to fixed texts or numbers.
class CliTexts {
public:
    explicit CliTexts(const GlobalOptions& options) : m_language(Language(options)) {
        if (QFileInfo::exists(Folders::ReferenceDatabaseFolder() + QStringLiteral("/velmor.db")))
            m_open = m_catalog.Open();
    }
    TextLookup Lookup() {
        return [this](qint32 id) {
            QString text;
            if (!m_open || !m_catalog.SeekText(id, m_language, text))
                return QString();
            return text;
        };
    }
    // The text of an error number, or the number itself.
    QString Error(qint32 code, const QString& detail) {
        QString text = Lookup()(code);
        if (text.isEmpty())
            text = ExchangeText::Fallback(code);
        if (text.isEmpty())
            text = QStringLiteral("error %1").arg(code);
        return detail.isEmpty() ? text : QStringLiteral("%1\n%2").arg(text, detail);
    }

private:
    CTextCatalog m_catalog;
    bool m_open = false;
    QString m_language;
};

void Print(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// Options of the form --name VALUE and --flag; repeated values are collected.
struct Options {
    QMap<QString, QStringList> values;
    QStringList flags;
    QString error;
};

Options Parse(const QString& command, const QStringList& args, const QStringList& withValue,
              const QStringList& flags) {
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (withValue.contains(a)) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("%1: %2 needs a value").arg(command, a);
                return o;
            }
            o.values[a] << args[++i];
        } else if (flags.contains(a)) {
            o.flags << a;
        } else {
            o.error = QStringLiteral("%1: unexpected argument '%2'").arg(command, a);
            return o;
        }
    }
    return o;
}

int CmdImport(const GlobalOptions& options, const QStringList& args) {
    const Options o = Parse(QStringLiteral("import"), args,
                            {QStringLiteral("--source"), QStringLiteral("--path"), QStringLiteral("--kind"),
                             QStringLiteral("--select")},
                            {QStringLiteral("--all"), QStringLiteral("--use-query")});
    if (!o.error.isEmpty()) {
        Err(o.error);
        return 2;
    }
    const QString sourceName = o.values.value(QStringLiteral("--source")).value(0);
    ExchangeKind kind = ExchangeKind::Specifications;
    if (!ParseKind(o.values.value(QStringLiteral("--kind")).value(0), kind)) {
        Err(QStringLiteral("import: --kind must be specs or protocols"));
        return 2;
    }
    const auto factory = Sources().constFind(sourceName);
    if (factory == Sources().cend()) {
        Err(QStringLiteral("import: --source must be one of %1")
                .arg(Sources().keys().join(QLatin1Char('|'))));
        return 2;
    }
    QString sourceError;
    const std::unique_ptr<CXmlSource> source =
        (*factory)(options, o.values.value(QStringLiteral("--path")).value(0), sourceError);
    if (!source) {
        Err(QStringLiteral("import: %1").arg(sourceError));
        return sourceError.startsWith(QLatin1String("--")) ? 2 : 1;
    }

    CliTexts texts(options);
    qint32 error = 0;
    QString errorText;
    if (!source->Open(error, errorText)) {
        Err(texts.Error(error, errorText));
        return 1;
    }
    CImportWorkflow workflow(*source, DataFolder(options));
    workflow.SetTextLookup(texts.Lookup());
    // The steps on standard error, as the import window shows them above its progress bar.
    CImportWorkflow::Callbacks cb;
    cb.step = [&texts](qint32 id, const QString& arg) {
        const QString text = texts.Lookup()(id);
        if (!text.isEmpty())
            std::fprintf(stderr, "%s\n",
                         (arg.isEmpty() ? text : FormatText(text, arg)).toLocal8Bit().constData());
    };
    workflow.SetCallbacks(cb);
    PreviewList list;
    if (!workflow.Preview(kind, o.flags.contains(QStringLiteral("--use-query")), list, error, errorText)) {
        Err(texts.Error(error, errorText));
        return 1;
    }

    const QStringList selected = o.values.value(QStringLiteral("--select"));
    const bool all = o.flags.contains(QStringLiteral("--all"));
    if (selected.isEmpty() && !all) {
        // The key that --select takes comes last.
        for (const PreviewRow& row : list.rows)
            Print((Preview::Columns(row, kind, texts.Lookup()) << Preview::Key(row, kind))
                      .join(QLatin1Char('\t')));
        if (list.leftOut > 0) {
            const QString info = ExchangeText::Joined(texts.Lookup(), 50171, 50172);
            Err(info.isEmpty()
                    ? QStringLiteral("%1 device protocol(s) with the result 30803 are not offered for import")
                          .arg(list.leftOut)
                    : info);
        }
        return 0;
    }

    // A specification is selected by its Name, a protocol by its GUID, each compared as the
    // import compares them with the database.
    const bool specs = kind == ExchangeKind::Specifications;
    QStringList unknown;
    const std::vector<PreviewRow> marked = Preview::Select(list, selected, all, unknown);
    if (!unknown.isEmpty()) {
        Err(QStringLiteral("import: the list holds no %1 '%2'")
                .arg(specs ? QStringLiteral("test specification named")
                           : QStringLiteral("device protocol with GUID"),
                     unknown.first()));
        return 1;
    }

    const CImportWorkflow::Result r = workflow.Import(kind, marked);
    if (!r.ok) {
        Err(texts.Error(r.error, r.errorText));
        return 1;
    }
    Print(QStringLiteral("test specifications: %1 inserted, %2 updated")
              .arg(r.specificationsInserted)
              .arg(r.specificationsUpdated));
    if (!specs)
        Print(QStringLiteral("device protocols: %1 inserted, %2 updated, %3 retired to the history")
                  .arg(r.protocolsInserted)
                  .arg(r.protocolsUpdated)
                  .arg(r.protocolsRetired));
    return 0;
}

// The CSV export to a drive root; one line per file written.
int ExportCsv(const GlobalOptions& options, CliTexts& texts, QString driveRoot, const QList<qint32>& ids,
              bool overwrite) {
    if (!driveRoot.endsWith(QLatin1Char('/')))
        driveRoot += QLatin1Char('/');
    if (!QFileInfo(driveRoot).isDir()) {
        Err(QStringLiteral("export: %1 is not a folder").arg(driveRoot));
        return 1;
    }
    const QString csvFolder = CCsvExport::CsvFolder(driveRoot);
    const bool existed = QFileInfo(csvFolder).isDir();
    CCsvExport csv(DataFolder(options), QString(), Language(options));
    csv.SetTextLookup(texts.Lookup());
    if (!csv.Run(driveRoot, ids)) {
        if (existed && !overwrite)
            Err(QStringLiteral("export: %1 exists; nothing was exported (--overwrite replaces its files)")
                    .arg(csvFolder));
        return 1;
    }
    for (const QString& file : csv.WrittenFiles())
        Print(file);
    if (csv.WasCancelled())
        Err(QStringLiteral("export: cancelled after %1 file(s)").arg(csv.Exported()));
    return 0;
}

int CmdExport(const GlobalOptions& options, const QStringList& args) {
    const Options o = Parse(QStringLiteral("export"), args,
                            {QStringLiteral("--target"), QStringLiteral("--path"), QStringLiteral("--kind"),
                             QStringLiteral("--ids")},
                            {QStringLiteral("--overwrite")});
    if (!o.error.isEmpty()) {
        Err(o.error);
        return 2;
    }
    const QString targetName = o.values.value(QStringLiteral("--target")).value(0);
    int target = 0;
    if (targetName == QLatin1String("drive"))
        target = ExportTarget::Drive;
    else if (targetName == QLatin1String("folder"))
        target = ExportTarget::Folder;
    else if (targetName == QLatin1String("csv"))
        target = ExportTarget::DriveCsv;
    else {
        Err(QStringLiteral("export: --target must be drive, folder or csv"));
        return 2;
    }
    ExchangeKind kind = ExchangeKind::Specifications;
    const QString kindName = o.values.value(QStringLiteral("--kind")).value(0);
    // The CSV export knows device protocols only, so their kind goes without saying.
    if (target == ExportTarget::DriveCsv && kindName.isEmpty())
        kind = ExchangeKind::Protocols;
    else if (!ParseKind(kindName, kind)) {
        Err(QStringLiteral("export: --kind must be specs or protocols"));
        return 2;
    }
    if (target == ExportTarget::DriveCsv && kind != ExchangeKind::Protocols) {
        Err(QStringLiteral("export: --target csv exports device protocols only"));
        return 2;
    }
    const QString path = o.values.value(QStringLiteral("--path")).value(0);
    if (path.isEmpty()) {
        Err(QStringLiteral("export: --path is needed"));
        return 2;
    }
    QList<qint32> ids;
    for (const QString& list : o.values.value(QStringLiteral("--ids"))) {
        for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const qint32 id = item.trimmed().toInt(&ok);
            if (!ok || id <= 0) {
                Err(QStringLiteral("export: '%1' is not a record id").arg(item));
                return 2;
            }
            ids << id;
        }
    }
    if (ids.isEmpty()) {
        Err(QStringLiteral("export: --ids names no record"));
        return 2;
    }

    // The overwrite question is answered by the command line.
    const bool overwrite = o.flags.contains(QStringLiteral("--overwrite"));
    CStderrNotifier notifier(overwrite ? CNotifier::Answer::Ok : CNotifier::Answer::Cancel);
    CScopedNotifier scope(&notifier);

    CliTexts texts(options);
    if (target == ExportTarget::DriveCsv)
        return ExportCsv(options, texts, QFileInfo(path).absoluteFilePath(), ids, overwrite);
    CExportWorkflow workflow(DataFolder(options));
    workflow.SetTextLookup(texts.Lookup());
    const QString folder = CExportWorkflow::TargetFolder(target, QFileInfo(path).absoluteFilePath());
    const bool hadFiles = !CExportWorkflow::ExchangeFiles(folder).isEmpty();
    if (!workflow.Run(kind, target, QFileInfo(path).absoluteFilePath(), ids)) {
        if (hadFiles && !overwrite && !CExportWorkflow::ExchangeFiles(folder).isEmpty())
            Err(QStringLiteral(
                    "export: %1 holds exchange files; nothing was exported (--overwrite replaces them)")
                    .arg(folder));
        return 1;
    }
    Print(QStringLiteral("%1 record(s) exported to %2%3")
              .arg(workflow.Exported())
              .arg(folder, workflow.WasCancelled() ? QStringLiteral(" (cancelled)") : QString()));
    return 0;
}

std::unique_ptr<CXmlSource> FileSource(bool drive, const QString& path, QString& error) {
    if (path.isEmpty()) {
        error = QStringLiteral("--path is needed");
        return nullptr;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(absolute).isDir()) {
        error = QStringLiteral("%1 is not a folder").arg(absolute);
        return nullptr;
    }
    if (drive)
        return std::make_unique<CDriveXmlSource>(absolute);
    return std::make_unique<CFolderXmlSource>(absolute);
}

const ImportSourceRegistration kDrive("drive", [](const GlobalOptions&, const QString& path, QString& error) {
    return FileSource(true, path, error);
});
const ImportSourceRegistration kFolder("folder",
                                       [](const GlobalOptions&, const QString& path, QString& error) {
                                           return FileSource(false, path, error);
                                       });

const CommandRegistration kImport(
    "import",
    "import --source drive|folder|tester [--path P] --kind specs|protocols [--select KEY]... [--all] "
    "[--use-query]\n"
    "                            preview (no --select, no --all; each row ends with its KEY) or import\n"
    "                            test specifications (KEY: Name) or device protocols (KEY: GUID), keys\n"
    "                            compared as the import compares them; drive: P/XmlData; tester: no --path",
    CmdImport);
const CommandRegistration kExport(
    "export",
    "export --target drive|folder|csv --path P --kind specs|protocols --ids N[,N...] [--overwrite]\n"
    "                            XML export of records by id; protocols bring their specifications;\n"
    "                            drive: P/XmlData; without --overwrite existing exchange files are kept;\n"
    "                            csv: device protocols (--kind may be omitted) as reports in\n"
    "                            P/CsvData/<client>/, one output line per file written",
    CmdExport);

} // namespace

void RegisterImportSource(const QString& name, ImportSourceFactory factory) {
    Sources().insert(name, std::move(factory));
}

bool ParseKind(const QString& text, ExchangeKind& kind) {
    if (text == QLatin1String("specs"))
        kind = ExchangeKind::Specifications;
    else if (text == QLatin1String("protocols"))
        kind = ExchangeKind::Protocols;
    else
        return false;
    return true;
}

} // namespace Cli
