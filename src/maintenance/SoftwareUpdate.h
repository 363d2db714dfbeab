#pragma once

#include "exchange/ExchangeTexts.h"
#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "link/TesterConnection.h"
#include "maintenance/CopyListReader.h"

#include <QString>
#include <functional>
#include <vector>

// Colour class of a status text of the maintenance dialogs.
enum class StatusColour { Working, Success, Error };

// What the tester says about itself: the rows of the identity list.
struct TesterIdentity {
    QString name;
    QString software;
    QString firmware;
    QString serial;
};

// The software update of the tester from the update package: connect in transfer mode,
// identity and versions, the package and its copy list, the version checks, the copy of
// every selected file in blocks. The dialog and v740ctl are shells over it; questions and
// ending messages go through the notifier.
class CSoftwareUpdate {
public:
    struct Callbacks {
        std::function<void(const QString& text, StatusColour colour)> status;
        std::function<void(const QString& testerPath)> fileLabel;     // empty: no file
        std::function<void(int blocksDone, int blocks)> progress;     // 0, 0: reset
        std::function<void(int files, const QString& duration)> left; // still to copy
        std::function<void(int icon)> linkStatus;                     // LinkIcon
    };
    struct FileRow {
        QString file;
        QString size;
        QString packageVersion;
        QString testerVersion;
    };

    static QString PackageVersionFile() { return QStringLiteral("Velmor740SoftwareVersion.dll"); }

    // A scan's settings are written to dataFolder's settings file (empty: kept nowhere).
    CSoftwareUpdate(CRS232& link, const QString& updateFolder, const QString& dataFolder, TextLookup texts);
    void SetCallbacks(Callbacks callbacks) { m_cb = std::move(callbacks); }
    // Told once a scan found the tester (see CTesterConnection).
    void SetFoundHandler(CTesterConnection::FoundHandler handler) { m_onFound = std::move(handler); }

    // ---- Opening (the connect worker, then the handler).
    // Transfer mode with the settings, else by a scan; then the identity (on the thread
    // that connects, so a window stays responsive).
    bool Connect(const CSerialProfile& settings);
    bool FoundByScan() const { return m_foundByScan; }
    // Status and link icon of the connection attempt; the read time-out for the update.
    void ReportConnection();
    bool IsConnected() const { return m_connected; }
    const TesterIdentity& Identity() const { return m_identity; }
    // Package version and copy list; false when the copy list is missing or names a
    // missing file.
    bool ReadPackage();
    bool PackageReady() const { return m_packageReady; }
    // The two lines that describe the package's state (ready, or incomplete).
    QString PackageText() const;
    const CCopyListReader& CopyList() const { return m_copyList; }
    const QString& PackageSoftwareVersion() const { return m_packageSoftware; }
    const QString& MinimumVersion() const { return m_minimumVersion; }
    const QString& PackageFirmwareVersion() const { return m_packageFirmware; }
    QString ExpectedDuration(qint64 bytes) const;

    // ---- Information button.
    std::vector<FileRow> FileList();
    QString FileListHeadline() const;

    // ---- Start button.
    // The version questions; false when the user said no or the tester is too old.
    bool ConfirmVersions();
    // Copies every entry; the ending message is shown. False on any failure.
    bool Copy();
    qint32 ErrorCode() const { return m_error; }
    QString ErrorText() const { return m_errorText; }

    // ---- Close button.
    bool Close();

    // The duration text for bytes at a transfer rate, with the formats given.
    static QString Duration(qint64 bytes, qint32 bytesPerSecond, const QString& minutesFormat,
                            const QString& secondsFormat);
    // The tester path of a file for the version query.
    static QString TesterVersionPath(const CopyEntry& entry);
    // The reply text of a refused block header: after the first "# " from the second
    // character on.
    static QString TesterDetail(const QString& reply);

private:
    QString T(qint32 id) const { return m_texts ? m_texts(id) : QString(); }
    void Status(const QString& text, StatusColour colour);
    // Error status: link icon failed, the text in red.
    void ErrorStatus();
    bool Fail(qint32 code, const QString& detail = QString());
    bool LinkFailure();
    bool CopyOne(const CopyEntry& entry, const QString& localPath);

    CRS232& m_link;
    QString m_folder;
    QString m_dataFolder;
    CTesterConnection::FoundHandler m_onFound;
    TextLookup m_texts;
    Callbacks m_cb;
    bool m_connected = false;
    bool m_foundByScan = false;
    bool m_packageReady = false;
    TesterIdentity m_identity;
    CCopyListReader m_copyList;
    QString m_packageSoftware;
    QString m_minimumVersion;
    QString m_packageFirmware;
    qint32 m_connectError = 0;
    qint32 m_error = 0;
    QString m_errorText;
};
