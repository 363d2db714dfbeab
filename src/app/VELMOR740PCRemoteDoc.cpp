#include "app/VELMOR740PCRemoteDoc.h"

#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "platform/RegistryKey.h"
#include "platform/RegistrySettings.h"
#include "platform/UserName.h"
#include "store/AdoDatabase.h"
#include "store/DataLocation.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"
#include "store/UserSetUpInfo.h"

#include <QFileInfo>
#include <clocale>

CVELMOR740PCRemoteDoc::CVELMOR740PCRemoteDoc() = default;

CVELMOR740PCRemoteDoc::~CVELMOR740PCRemoteDoc() {
    if (m_TexteOpen)
        m_Texte.Close();
    m_TexteOpen = false;
    m_LockFile.Release();
    m_LocalLock.Release();
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
    // With the user database on a server the shared folder only holds the settings: the
    // server keeps several workstations apart record by record, so the folder's one-user
    // lock is not taken.
    const bool onServer =
        !DataLocation::ServerFor(m_DataFolder + QLatin1Char('/') + UserSchema::FileName()).isEmpty();
    if (m_ExternalPathEnable != 0 && !onServer && !TakeLock())
        return false;
    if (m_ExternalPathEnable == 0)
        TakeLocalLock();
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
    QString problem;
    int error = 0;
    const CRegistrySettings registry = CRegistrySettings::Read(&problem, &error);
    m_ExternalPathEnable = registry.externalPathEnable;
    m_ExternalDataPath = registry.externalDataPath;
    if (!problem.isEmpty())
        Show(problem + QStringLiteral(": ") + CRegistryKey::ErrorText(error) +
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
    m_SettingsFile = CSettingsFile::PathIn(m_DataFolder);
    return true;
}

void CVELMOR740PCRemoteDoc::TakeLocalLock() {
    QString user;
    GetUserName(user);
    // Only a guard against a restore under the running program: a folder that cannot take
    // the lock (read-only, say) still opens as before.
    m_LocalLock.Acquire(m_DataFolder + QLatin1Char('/') + LocalLockFileName(), user);
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
    m_Settings = Settings().Read();
}

bool CVELMOR740PCRemoteDoc::CheckUserDatabase() {
    CAdoDatabase db;
    if (!db.Open(m_DataFolder, UserSchema::FileName()))
        return false; // the data store has shown why
    QString message;
    if (UserSchema::CheckVersion(
            db, [this](qint32 id) { return Text(id); }, m_ProgramFolder, message)) {
        // A file of an earlier build gets the name keys and loses triggers the stock
        // sqlite3 tool cannot run; the program works on without them if that fails.
        UserSchema::CompleteSchema(db, m_Settings.language);
        return true;
    }
    if (!message.isEmpty())
        Show(message, int(CNotifier::Icon::Error));
    return false;
}

bool CVELMOR740PCRemoteDoc::SeekText(qint32 textId, QString& text) {
    return m_TexteOpen && m_Texte.SeekText(textId, m_Settings.language, text);
}

QString CVELMOR740PCRemoteDoc::Text(qint32 textId, const QString& fallback) {
    QString text;
    return SeekText(textId, text) ? text : fallback;
}

bool CVELMOR740PCRemoteDoc::ChangeLanguage(const QString& language) {
    CUserSetUpInfo setUp(UserSchema::FileName(), m_DataFolder);
    bool ok = setUp.SetFilter(kDirectorySpecifications, 0, QString());
    ok = setUp.SetFilter(kDirectoryProtocols, 0, QString()) && ok;
    m_Settings.language = language;
    return Settings().WriteLanguage(language) && ok;
}

bool CVELMOR740PCRemoteDoc::WriteSerialSettings() {
    return Settings().WriteSerial(m_Settings.port, m_Settings.baudRate, m_Settings.dataBits);
}
