// The tester link on the command line: the connection test (rs232), file upload, and
// the catalogue exchange with the tester (send, import --source tester).
#include "Commands.h"

#include "LinkErrors.h"
#include "ProfileFile.h"
#include "RS232.h"
#include "SerialProfile.h"
#include "Texte.h"

#include <QFileInfo>
#include <cstdio>

namespace Cli {
namespace {

QString LinkLanguage(const GlobalOptions& options) {
    if (!options.language.isEmpty())
        return options.language;
    const CProfileFile ini(CSerialProfile::SettingsFile(DataFolder(options)));
    return ini.GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QStringLiteral("Deutsch"), 31);
}

// The text of an error TextID; the number when the catalogue has none.
QString ErrorText(const GlobalOptions& options, qint32 code) {
    static CTextCatalog catalog;
    static const bool open = catalog.Open();
    QString text;
    if (open && catalog.SeekText(code, LinkLanguage(options), text) && !text.isEmpty())
        return text;
    return QStringLiteral("error %1").arg(code);
}

int ReportFailure(const GlobalOptions& options, qint32 code, const QString& detail = QString()) {
    const QString text = ErrorText(options, code);
    Err(detail.isEmpty() ? text : QStringLiteral("%1\n%2").arg(text, detail));
    return 1;
}

// The serial settings: the global options, else the data folder's settings file.
CSerialProfile Settings(const GlobalOptions& options) {
    CSerialProfile p = CSerialProfile::Read(DataFolder(options));
    if (!options.port.isEmpty())
        p.port = options.port;
    if (!options.baud.isEmpty())
        p.baudRate = options.baud;
    if (!options.dataBits.isEmpty())
        p.dataBits = options.dataBits;
    return p;
}

// After a scan found the tester its settings are kept, as the dialogs keep them.
void KeepFoundSettings(const GlobalOptions& options, const CRS232& link) {
    CSerialProfile p;
    p.port = link.GetPort();
    p.baudRate = link.GetBaudRate();
    p.dataBits = link.GetDataBits();
    std::fprintf(stderr, "v740ctl: tester found on %s at %s baud, %s data bits\n",
                 p.port.toLocal8Bit().constData(), p.baudRate.toLocal8Bit().constData(),
                 p.dataBits.toLocal8Bit().constData());
    if (!p.Write(DataFolder(options)))
        Err(QStringLiteral("could not write the serial settings to %1")
                .arg(CSerialProfile::SettingsFile(DataFolder(options))));
}

void PrintLine(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

int CmdRs232(const GlobalOptions& options, const QStringList& args) {
    const CSerialProfile settings = Settings(options);
    CRS232 link;
    QString reply;
    bool found = false;
    bool ok = link.Connect(reply, settings.port, settings.baudRate, settings.dataBits);
    // A busy or not initialised tester is reported as it is, without a scan.
    if (!ok && link.GetErrorCode() != LinkError::InUse && link.GetErrorCode() != LinkError::InitFail)
        ok = link.ScanPorts(found);
    if (found)
        KeepFoundSettings(options, link);
    qint32 error = ok ? 0 : link.GetErrorCode();
    if (ok) {
        link.NotifyLinkStatus(LinkIcon::Connected);
        link.SetReadTimeout(15000);
        for (const QString& command : args) {
            // Case-sensitive, as in the connection test dialog.
            if (command.contains(QLatin1String("ENCS")))
                ok = link.EnableChecksums(reply);
            else if (command.contains(QLatin1String("DISCS")))
                ok = link.DisableChecksums(reply);
            else
                ok = link.SendCommand(command) && link.ReadReply(reply);
            if (!ok) {
                error = link.GetErrorCode();
                link.NotifyLinkStatus(LinkIcon::Failed);
                break;
            }
            PrintLine(reply);
        }
    }
    link.Disconnect();
    return error == 0 && ok ? 0 : ReportFailure(options, error);
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
    const CSerialProfile settings = Settings(options);
    CRS232 link;
    QString reply;
    bool ok = link.BeginTransfer(reply, settings.port, settings.baudRate, settings.dataBits, true);
    if (!ok && link.GetErrorCode() != LinkError::InUse) {
        bool found = false;
        const bool scanned = link.ScanPorts(found);
        if (found)
            KeepFoundSettings(options, link);
        if (scanned || link.GetErrorCode() == LinkError::InitFail)
            ok = link.BeginTransfer(reply, link.GetPort(), link.GetBaudRate(), link.GetDataBits(), false);
    }
    qint32 error = ok ? 0 : link.GetErrorCode();
    if (ok) {
        for (int i = 0; i < args.size(); i += 2) {
            if (!link.SendFile(args[i], args[i + 1])) {
                ok = false;
                error = link.GetErrorCode();
                break;
            }
            PrintLine(QStringLiteral("%1 -> %2: %3 bytes")
                          .arg(args[i], args[i + 1])
                          .arg(QFileInfo(args[i]).size()));
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

const CommandRegistration
    kRs232("rs232",
           "rs232 [CMD...]            connection test: connect (scan if needed), send each "
           "command, print each reply",
           CmdRs232);
const CommandRegistration
    kUpload("upload", "upload LOCAL-FILE TESTER-PATH...   copy files onto the tester in transfer mode",
            CmdUpload);

} // namespace
} // namespace Cli
