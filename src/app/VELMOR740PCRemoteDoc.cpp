#include "app/VELMOR740PCRemoteDoc.h"

#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "platform/RegistryKey.h"
#include "platform/UserName.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"
#include "store/UserSetUpInfo.h"

#include <QFileInfo>
#include <clocale>

namespace {

const QString kExternalPathEnable = QStringLiteral("ExternalPathEnable");
const QString kExternalDataPath = QStringLiteral("ExternalDataPath");
const QString kComment = QStringLiteral("Comment");

// Reader buffers of the registry values, in bytes of UTF-16.
constexpr int kDataPathBufferBytes = 520;
constexpr int kCommentBufferBytes = 1024;

// Character limits of the settings.
constexpr int kShortSetting = 31;
constexpr int kPathSetting = 259;

// A number setting: the default when missing, garbage or outside the values it may take.
int RangeSetting(const CProfileFile& ini, const char* section, const char* key, int def, int low, int high) {
    const int v = ini.GetInt(QLatin1String(section), QLatin1String(key), def);
    return v < low || v > high ? def : v;
}

} // namespace

CVELMOR740PCRemoteDoc::CVELMOR740PCRemoteDoc() = default;

CVELMOR740PCRemoteDoc::~CVELMOR740PCRemoteDoc() {
    if (m_TexteOpen)
        m_Texte.Close();
    m_TexteOpen = false;
    m_LockFile.Release();
}

QString CVELMOR740PCRemoteDoc::RegistryComment() {
    return QStringLiteral(
        "Set the path to the user2.db in ExternalDataPath. Enable the path with ExternalPathEnable=1");
}

void CVELMOR740PCRemoteDoc::Show(const QString& text, int icon) {
    Notifier().ShowMessage(text, AppTitle(), static_cast<CNotifier::Icon>(icon));
}

bool CVELMOR740PCRemoteDoc::OnNewDocument() {
    // Multibyte conversions of the runtime follow the user's locale.
    std::setlocale(LC_CTYPE, "");
    m_MinRemoteVersion = QStringLiteral("1,0,6,50616");

    ReadRegistry();
    if (!ResolveFolders())
        return false;
    if (m_ExternalPathEnable != 0 && !TakeLock())
        return false;
    ReadSettings();

    m_TexteOpen = m_Texte.Open(Folders::ReferenceDatabaseFolder());
    if (!m_TexteOpen)
        return false; // the data store has shown why

    if (m_LockForeign) {
        const QString format =
            Text(50020, QStringLiteral("VELMOR - Roziraz Uvurad is already in use by user: %s!"));
        Show(FormatText(format, m_OtherUser), int(CNotifier::Icon::Warning));
        return false;
    }
    return CheckUserDatabase();
}

void CVELMOR740PCRemoteDoc::ReadRegistry() {
    m_ExternalPathEnable = 0;
    CRegistryKey key;
    bool created = false;
    int error = 0;
    if (!key.Open(true, &created, &error)) {
        Show(QStringLiteral("Error to access VELMOR Roziraz Uvurad registry settings: ") +
                 CRegistryKey::ErrorText(error) + QStringLiteral("Use default settings now"),
             int(CNotifier::Icon::None));
        return;
    }
    QString prefix;
    if (created) {
        if (!key.SetDword(kExternalPathEnable, 0, &error))
            prefix = QStringLiteral("Error Registry Write ExternalPathEnable");
        else if (!key.SetSz(kExternalDataPath, PlaceholderDataPath(), &error))
            prefix = QStringLiteral("Error Registry Write ExternalDataPath");
        else if (!key.SetSz(kComment, RegistryComment(), &error))
            prefix = QStringLiteral("Error Registry Write Comment");
    } else {
        QString path;
        quint32 enable = 0;
        QString comment;
        CRegistryKey::Type type = CRegistryKey::Type::Sz;
        if (!key.QuerySz(kExternalDataPath, path, kDataPathBufferBytes, &error)) {
            prefix = QStringLiteral("Error Registry Read ExternalDataPath");
        } else {
            m_ExternalDataPath = path;
            if (!key.QueryDword(kExternalPathEnable, enable, &error)) {
                prefix = QStringLiteral("Error Registry Read ExternalPathEnable");
            } else {
                m_ExternalPathEnable = enable;
                // The comment is never used; only a text too long for its buffer counts.
                if (key.HasValue(kComment, &type) && type == CRegistryKey::Type::Sz &&
                    !key.QuerySz(kComment, comment, kCommentBufferBytes, &error))
                    prefix = QStringLiteral("Error Registry Read Comment");
            }
        }
    }
    if (!prefix.isEmpty())
        Show(prefix + QStringLiteral(": ") + CRegistryKey::ErrorText(error) +
                 QStringLiteral("Use default settings now"),
             int(CNotifier::Icon::None));
}

bool CVELMOR740PCRemoteDoc::ResolveFolders() {
    const QString programFiles = Folders::ProgramFilesFolder();
    const QString commonAppData = Folders::CommonAppDataFolder();
    QString missing;
    if (programFiles.isEmpty())
        missing = QStringLiteral("VELMOR_PROGRAM_FILES");
    else if (!QFileInfo(commonAppData).isDir())
        missing = commonAppData;
    if (!missing.isEmpty()) {
        Show(QStringLiteral("Not supported Windows-Version! Function: SHGetSpecialFolderPath() failed\n%1")
                 .arg(QStringLiteral("Folder not found: ") + missing),
             int(CNotifier::Icon::Error));
        return false;
    }
    m_ProgramFolder = Folders::ProgramFolder();
    m_UpdateFolder = Folders::UpdateFolder();
    m_DataFolder = m_ExternalPathEnable == 1 ? m_ExternalDataPath : Folders::LocalDataFolder();
    m_SettingsFile = m_DataFolder + QLatin1Char('/') + SettingsFileName();
    return true;
}

bool CVELMOR740PCRemoteDoc::TakeLock() {
    if (!GetUserName(m_UserName)) {
        Show(QStringLiteral("WinAPI Function GetUserName() failed!"), int(CNotifier::Icon::Error));
        return false;
    }
    const QString path = m_DataFolder + QLatin1Char('/') + LockFileName();
    switch (m_LockFile.Acquire(path, m_UserName)) {
    case CLockFile::Result::Locked:
        return true;
    case CLockFile::Result::InUse:
        m_LockForeign = true;
        m_UserName.clear();
        m_OtherUser = m_LockFile.HolderName();
        return true; // told once the texts of the user's language are at hand
    case CLockFile::Result::Failed:
        break;
    }
    Show(QStringLiteral("CFileException Error:%1 open lock-file:%2")
             .arg(QString::number(CLockFile::FileExceptionCause(m_LockFile.Error())), path),
         int(CNotifier::Icon::Error));
    return false;
}

void CVELMOR740PCRemoteDoc::ReadSettings() {
    const CProfileFile ini = Profile();
    const QString language = ini.GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"),
                                           QStringLiteral("Deutsch"), kShortSetting);
    // A name that is none of the seven would leave every text of the program empty.
    m_Language = QStringLiteral("Deutsch");
    for (const QString& known : CTextCatalog::Languages())
        if (known.compare(language, Qt::CaseInsensitive) == 0)
            m_Language = known;
    m_ImportInterface = RangeSetting(ini, "Import", "Interface", 0, 0, 2);
    m_LastDrive = ini.GetString(QStringLiteral("Import"), QStringLiteral("Disk"), QString(), kShortSetting);
    m_LastFolder = ini.GetString(QStringLiteral("Import"), QStringLiteral("Folder"), QString(), kPathSetting);
    m_ImportPV = RangeSetting(ini, "Import", "PV", 1, 0, 1);
    m_ImportFilter = RangeSetting(ini, "Import", "Filter", 0, 0, 1);
    // Ports are device paths here; the stable names of USB adapters (/dev/serial/by-id/...)
    // are far longer than "COMn:", and a cut one names no port.
    m_SerialPort =
        ini.GetString(QStringLiteral("RS232"), QStringLiteral("Port"), QStringLiteral("COM1:"), kPathSetting);
    m_BaudRate = ini.GetString(QStringLiteral("RS232"), QStringLiteral("Baudrate"), QStringLiteral("115200"),
                               kShortSetting);
    m_DataBits = ini.GetString(QStringLiteral("RS232"), QStringLiteral("Databits"), QStringLiteral("8"),
                               kShortSetting);
    m_SignBitmap = ini.GetString(QStringLiteral("SignBitmap"), QStringLiteral("Sign"), QString());
}

bool CVELMOR740PCRemoteDoc::CheckUserDatabase() {
    CAdoDatabase db;
    if (!db.Open(m_DataFolder, UserSchema::FileName()) || !db.OpenTable(QStringLiteral("VersionTab")))
        return false; // the data store has shown why
    const QString column = QStringLiteral("DatabaseVersion");
    QString version;
    // An empty VersionTab or an empty version would otherwise end the program without a
    // word; it is told like any other version this program cannot use.
    if (db.MoveLast() && !db.IsNull(column) && !db.GetString(column, version))
        return false;
    db.CloseRecordset();
    if (version == RequiredDatabaseVersion()) {
        // A file of an earlier build gets the name keys and loses triggers the stock
        // sqlite3 tool cannot run; the program works on without them if that fails.
        UserSchema::CompleteSchema(db, m_Language);
        return true;
    }
    const QString text = FormatText(QStringLiteral("%s\n%s\n%s"), Text(50056),
                                    FormatText(Text(50058), RequiredDatabaseVersion(), version),
                                    FormatText(Text(50059), m_ProgramFolder));
    Show(text, int(CNotifier::Icon::Error));
    return false;
}

bool CVELMOR740PCRemoteDoc::SeekText(qint32 textId, QString& text) {
    return m_TexteOpen && m_Texte.SeekText(textId, m_Language, text);
}

QString CVELMOR740PCRemoteDoc::Text(qint32 textId, const QString& fallback) {
    QString text;
    return SeekText(textId, text) ? text : fallback;
}

bool CVELMOR740PCRemoteDoc::ChangeLanguage(const QString& language) {
    CUserSetUpInfo setUp(UserSchema::FileName(), m_DataFolder);
    bool ok = setUp.SetFilter(kDirectorySpecifications, 0, QString());
    ok = setUp.SetFilter(kDirectoryProtocols, 0, QString()) && ok;
    m_Language = language;
    return Profile().WriteString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), language) && ok;
}

bool CVELMOR740PCRemoteDoc::WriteSerialSettings() {
    CProfileFile ini = Profile();
    bool ok = ini.WriteString(QStringLiteral("RS232"), QStringLiteral("Port"), m_SerialPort);
    ok = ini.WriteString(QStringLiteral("RS232"), QStringLiteral("Baudrate"), m_BaudRate) && ok;
    return ini.WriteString(QStringLiteral("RS232"), QStringLiteral("Databits"), m_DataBits) && ok;
}
