#include "maintenance/SoftwareUpdate.h"

#include "link/LinkProtocol.h"
#include "maintenance/FileVersionReader.h"
#include "platform/Notifier.h"
#include "store/TextFormat.h"

#include <QFile>
#include <QThread>

namespace {

constexpr qint32 kCaption = 50085;
constexpr qint32 kConnecting = 50011;
constexpr qint32 kConnected = 50115;
constexpr qint32 kCopying = 50088;
constexpr qint32 kMissingEntry = 50105;
constexpr qint32 kAllCopied = 50106;
constexpr int kUpdateReadTimeout = 7500;

} // namespace

CSoftwareUpdate::CSoftwareUpdate(CRS232& link, const QString& updateFolder, const QString& dataFolder,
                                 TextLookup texts)
    : m_link(link), m_folder(updateFolder), m_dataFolder(dataFolder), m_texts(std::move(texts)) {}

void CSoftwareUpdate::Status(const QString& text, StatusColour colour) {
    if (m_cb.status)
        m_cb.status(text, colour);
}

void CSoftwareUpdate::ErrorStatus() {
    if (m_cb.linkStatus)
        m_cb.linkStatus(LinkIcon::Failed);
    Status(m_errorText.isEmpty() ? T(m_error) : m_errorText, StatusColour::Error);
}

bool CSoftwareUpdate::Fail(qint32 code, const QString& detail) {
    m_error = code;
    m_errorText = detail;
    ErrorStatus();
    return false;
}

bool CSoftwareUpdate::LinkFailure() {
    return Fail(m_link.GetErrorCode());
}

bool CSoftwareUpdate::Connect(const CSerialProfile& settings) {
    Status(T(kConnecting), StatusColour::Working);
    CTesterConnection connection(m_link, m_dataFolder, settings);
    connection.SetFoundHandler(m_onFound);
    QString reply;
    m_connected = connection.BeginTransfer(reply);
    m_foundByScan = connection.FoundByScan();
    m_connectError = m_connected ? 0 : m_link.GetErrorCode();
    m_identity = {};
    if (m_connected) {
        m_link.SendCommand(QStringLiteral(":IDNM?")) && m_link.ReadReply(m_identity.name);
        m_link.QuerySoftwareVersion(m_identity.software);
        m_link.SendCommand(QStringLiteral(":IDNF?")) && m_link.ReadReply(m_identity.firmware);
        m_link.SendCommand(QStringLiteral(":IDNS?")) && m_link.ReadReply(m_identity.serial);
        m_link.SetReadTimeout(kUpdateReadTimeout);
    }
    return m_connected;
}

void CSoftwareUpdate::ReportConnection() {
    if (m_connected) {
        if (m_cb.linkStatus)
            m_cb.linkStatus(LinkIcon::Connected);
        Status(T(kConnected), StatusColour::Success);
    } else {
        m_error = m_connectError;
        m_errorText.clear();
        ErrorStatus();
    }
}

bool CSoftwareUpdate::ReadPackage() {
    FileVersion::ReadFileVersion(m_folder + QLatin1Char('/') + PackageVersionFile(), m_packageSoftware);
    m_copyList.SetTesterVersions(m_identity.software, m_identity.firmware);
    m_packageReady = m_copyList.Open(m_folder);
    m_minimumVersion = m_copyList.MinimumVersion();
    m_packageFirmware = m_copyList.PackageFirmwareVersion();
    return m_packageReady;
}

QString CSoftwareUpdate::PackageText() const {
    return m_packageReady ? T(50103) + QLatin1Char('\n') + T(50104) : T(50090) + QLatin1Char('\n') + T(50091);
}

QString CSoftwareUpdate::Duration(qint64 bytes, qint32 bytesPerSecond, const QString& minutesFormat,
                                  const QString& secondsFormat) {
    const qint64 seconds = bytesPerSecond > 0 ? bytes / bytesPerSecond : 0;
    if (seconds >= 60)
        return FormatText(minutesFormat, qint64(seconds / 60), qint64(seconds % 60));
    return FormatText(secondsFormat, qint64(seconds));
}

QString CSoftwareUpdate::ExpectedDuration(qint64 bytes) const {
    return Duration(bytes, m_link.GetTransferRate(), T(50099), T(50102));
}

QString CSoftwareUpdate::TesterVersionPath(const CopyEntry& entry) {
    if (entry.testerPath.contains(QLatin1String("\\%SYSTEM%\\")))
        return QStringLiteral("\\%SYSTEM%\\") + entry.fileName;
    return entry.testerPath;
}

std::vector<CSoftwareUpdate::FileRow> CSoftwareUpdate::FileList() {
    std::vector<FileRow> rows;
    for (const CopyEntry& e : m_copyList.Entries()) {
        FileRow row;
        row.file = e.fileName;
        row.size = FormatText(T(50101), qint64(e.size / 1024 + 1));
        const QString afterFirst = e.fileName.mid(1);
        if (afterFirst.contains(QLatin1String(".dll"), Qt::CaseInsensitive) ||
            afterFirst.contains(QLatin1String(".exe"), Qt::CaseInsensitive)) {
            FileVersion::ReadFileVersion(CCopyListReader::ResolveFile(m_folder, e.fileName),
                                         row.packageVersion);
            if (m_connected && !m_link.QueryFileVersion(TesterVersionPath(e), row.testerVersion)) {
                m_connected = false;
                row.testerVersion.clear();
            }
        } else if (e.command.mid(1).contains(QLatin1String("firmware"), Qt::CaseInsensitive)) {
            row.packageVersion = m_packageFirmware;
            row.testerVersion = m_identity.firmware;
        } else {
            row.packageVersion = T(50095);
            if (m_connected)
                row.testerVersion = T(50095);
        }
        rows.push_back(row);
    }
    if (!m_connected && m_link.GetErrorCode() != 0) {
        m_error = m_link.GetErrorCode();
        m_errorText.clear();
        ErrorStatus();
    }
    return rows;
}

QString CSoftwareUpdate::FileListHeadline() const {
    return T(50112) + QLatin1Char(' ') + T(m_connected ? 50113 : 50114);
}

bool CSoftwareUpdate::ConfirmVersions() {
    const QString caption = T(kCaption);
    const QString& tester = m_identity.software;
    if (LinkProtocol::CompareVersionTexts(tester, m_packageSoftware) < 0) {
        const QString text = QStringLiteral("%1 %2 %3").arg(T(50035), T(50036), T(50037));
        if (Notifier().Ask(text, caption, CNotifier::Buttons::YesNo, CNotifier::Icon::Warning) !=
            CNotifier::Answer::Yes)
            return false;
    }
    if (LinkProtocol::CompareVersionTexts(tester, m_minimumVersion) > 0) {
        if (LinkProtocol::CompareVersionTexts(tester, QStringLiteral("2.0")) > 0) {
            Notifier().ShowMessage(T(4908), caption, CNotifier::Icon::Error);
            m_error = 4908;
            return false;
        }
        const QString text = FormatText(T(50120), m_packageSoftware) + QLatin1Char('\n') + T(50121) +
                             QStringLiteral("\n\n") +
                             FormatText(T(50123) + QLatin1Char(' ') + T(50124), tester);
        if (Notifier().Ask(text, caption, CNotifier::Buttons::YesNo, CNotifier::Icon::Question) !=
            CNotifier::Answer::Yes)
            return false;
    }
    return true;
}

QString CSoftwareUpdate::TesterDetail(const QString& reply) {
    const qsizetype at = reply.indexOf(QLatin1String("# "), 1);
    return at < 0 ? reply : reply.mid(at + 2);
}

bool CSoftwareUpdate::CopyOne(const CopyEntry& entry, const QString& localPath) {
    using namespace LinkProtocol;
    Status(T(kCopying), StatusColour::Working);
    if (m_cb.fileLabel)
        m_cb.fileLabel(entry.testerPath);
    QString reply;
    if (!m_link.SendCommand(QStringLiteral(":TRANSFER:FILE ") + entry.testerPath) || !m_link.ReadReply(reply))
        return LinkFailure();
    if (!IsNullReply(reply))
        return Fail(LinkError::ModeCommand);
    if (!m_link.SendCommand(QStringLiteral("PUT")) || !m_link.ReadReply(reply))
        return LinkFailure();
    if (!IsNullReply(reply))
        return Fail(LinkError::ModeCommand);

    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(LinkError::FileOpen);
    std::vector<qint32> blocks;
    try {
        blocks = BlockTable(file.size());
    } catch (const std::bad_alloc&) {
        return Fail(LinkError::BlockTable);
    }
    const int count = int(blocks.size());
    if (m_cb.progress)
        m_cb.progress(0, count);
    for (int i = 0; i < count; ++i) {
        const QByteArray data = file.read(blocks[std::size_t(i)]);
        // A file that changed since the list was read must not go out with a wrong header.
        if (data.size() != blocks[std::size_t(i)])
            return Fail(LinkError::FileOpen);
        if (!m_link.SendCommand(
                BlockHeader(quint32(count - 1), quint32(i), quint32(data.size()), BlockChecksum(data))))
            return LinkFailure();
        if (!m_link.ReadReply(reply))
            return Fail(LinkError::BlockNoReply);
        if (reply.compare(QLatin1String("#OK#"), Qt::CaseInsensitive) == 0) {
            if (!m_link.WriteRaw(data.constData(), int(data.size())))
                return LinkFailure();
            if (!m_link.ReadReply(reply))
                return Fail(LinkError::BlockNoReply);
            if (reply.compare(QLatin1String("#OK#"), Qt::CaseInsensitive) != 0)
                return Fail(LinkError::BlockNotAcked);
            if (m_cb.progress)
                m_cb.progress(i + 1, count);
            continue;
        }
        if (reply.contains(QLatin1String("#K0#")))
            return Fail(LinkError::BlockNotAcked);
        if (reply.contains(QLatin1String("#ERROR#")))
            return Fail(LinkError::Error, TesterDetail(reply));
        // Any other answer: the block did not arrive, and going on would leave a hole.
        return Fail(LinkError::BlockNotAcked);
    }
    QThread::msleep(100);
    if (m_cb.fileLabel)
        m_cb.fileLabel(QString());
    if (m_cb.progress)
        m_cb.progress(0, 0);
    return true;
}

bool CSoftwareUpdate::Copy() {
    m_error = 0;
    m_errorText.clear();
    const QString caption = T(kCaption);
    const std::vector<CopyEntry>& entries = m_copyList.Entries();
    int left = int(entries.size());
    qint64 total = m_copyList.TotalSize();
    if (m_cb.left)
        m_cb.left(left, ExpectedDuration(total));
    for (const CopyEntry& e : entries) {
        const QString local = CCopyListReader::ResolveFile(m_folder, e.fileName);
        if (local.isEmpty()) {
            m_error = LinkError::FileOpen;
            Status(T(kMissingEntry), StatusColour::Error);
            Notifier().ShowMessage(T(50111), caption, CNotifier::Icon::Error);
            return false;
        }
        if (!CopyOne(e, local)) {
            Notifier().ShowMessage(T(50109) + QLatin1Char('\n') + T(50110), caption, CNotifier::Icon::Error);
            return false;
        }
        total -= e.size;
        --left;
        if (m_cb.left)
            m_cb.left(left, ExpectedDuration(total));
    }
    Status(T(kAllCopied), StatusColour::Success);
    Notifier().ShowMessage(T(50107) + QLatin1Char('\n') + T(50108), caption, CNotifier::Icon::Information);
    return true;
}

bool CSoftwareUpdate::Close() {
    const bool ok = m_link.EndTransfer();
    // A tester that did not confirm leaving transfer mode leaves the port open.
    m_link.ClosePort();
    return ok;
}
