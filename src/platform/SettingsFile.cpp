#include "platform/SettingsFile.h"

#include <QStringList>

namespace {

const QString kAnsicht = QStringLiteral("Ansicht");
const QString kImport = QStringLiteral("Import");
const QString kRs232 = QStringLiteral("RS232");
const QString kSignBitmap = QStringLiteral("SignBitmap");
const QString kLastEdit = QStringLiteral("LastEdit");

} // namespace

const QStringList& CSettingsFile::Languages() {
    static const QStringList names{QStringLiteral("Castellano"),    QStringLiteral("Česky"),
                                   QStringLiteral("Deutsch"),       QStringLiteral("English"),
                                   QStringLiteral("Français"),      QStringLiteral("Italiano"),
                                   QStringLiteral("Österreichisch")};
    return names;
}

QString CSettingsFile::PathIn(const QString& dataFolder) {
    return dataFolder + QLatin1Char('/') + FileName();
}

CSettingsFile::CSettingsFile(const QString& dataFolder) : m_profile(PathIn(dataFolder)) {}

int CSettingsFile::RangeValue(const QString& section, const QString& key, int def, int low, int high) const {
    const int v = m_profile.GetInt(section, key, def);
    return v < low || v > high ? def : v;
}

QString CSettingsFile::Language() const {
    const CSettingsValues defaults;
    const QString stored =
        m_profile.GetString(kAnsicht, QStringLiteral("Sprache"), defaults.language, kShortChars);
    for (const QString& known : Languages())
        if (known.compare(stored, Qt::CaseInsensitive) == 0)
            return known;
    return defaults.language;
}

CSettingsValues CSettingsFile::Read() const {
    CSettingsValues v;
    v.language = Language();
    v.importInterface = RangeValue(kImport, QStringLiteral("Interface"), v.importInterface, 0, 2);
    // Mount points of removable drives (/run/media/<user>/<label>/) are paths, kept whole.
    v.importDisk = m_profile.GetString(kImport, QStringLiteral("Disk"), v.importDisk, kPathChars);
    v.importFolder = m_profile.GetString(kImport, QStringLiteral("Folder"), v.importFolder, kPathChars);
    v.importPV = RangeValue(kImport, QStringLiteral("PV"), v.importPV, 0, 1);
    v.importFilter = RangeValue(kImport, QStringLiteral("Filter"), v.importFilter, 0, 1);
    ReadSerial(v.port, v.baudRate, v.dataBits);
    v.signBitmap = m_profile.GetString(kSignBitmap, QStringLiteral("Sign"), v.signBitmap);
    return v;
}

bool CSettingsFile::WriteLanguage(const QString& language) {
    return m_profile.WriteString(kAnsicht, QStringLiteral("Sprache"), language);
}

void CSettingsFile::ReadSerial(QString& port, QString& baudRate, QString& dataBits) const {
    const CSettingsValues d;
    // Ports are device paths here; the stable names of USB adapters (/dev/serial/by-id/...)
    // are far longer than "COMn:", and a cut one names no port.
    port = m_profile.GetString(kRs232, QStringLiteral("Port"), d.port, kPathChars);
    baudRate = m_profile.GetString(kRs232, QStringLiteral("Baudrate"), d.baudRate, kShortChars);
    dataBits = m_profile.GetString(kRs232, QStringLiteral("Databits"), d.dataBits, kShortChars);
}

bool CSettingsFile::WriteSerial(const QString& port, const QString& baudRate, const QString& dataBits) {
    bool ok = m_profile.WriteString(kRs232, QStringLiteral("Port"), port);
    ok = m_profile.WriteString(kRs232, QStringLiteral("Baudrate"), baudRate) && ok;
    return m_profile.WriteString(kRs232, QStringLiteral("Databits"), dataBits) && ok;
}

bool CSettingsFile::WriteImportInterface(int value) {
    return m_profile.WriteInt(kImport, QStringLiteral("Interface"), value);
}

bool CSettingsFile::WriteImportFilter(int value) {
    return m_profile.WriteInt(kImport, QStringLiteral("Filter"), value);
}

bool CSettingsFile::WriteImportPV(int value) {
    return m_profile.WriteInt(kImport, QStringLiteral("PV"), value);
}

bool CSettingsFile::WriteImportDisk(const QString& value) {
    return m_profile.WriteString(kImport, QStringLiteral("Disk"), value);
}

bool CSettingsFile::WriteImportFolder(const QString& value) {
    return m_profile.WriteString(kImport, QStringLiteral("Folder"), value);
}

bool CSettingsFile::WriteSignBitmap(const QString& value) {
    return m_profile.WriteString(kSignBitmap, QStringLiteral("Sign"), value);
}

QString CSettingsFile::LastEdit(const QString& column) const {
    return m_profile.GetString(kLastEdit, column, QString(), kLastEditChars);
}

bool CSettingsFile::WriteLastEdit(const QString& column, const QString& value) {
    return m_profile.WriteString(kLastEdit, column, value);
}
