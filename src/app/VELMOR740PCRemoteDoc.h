#pragma once

#include "platform/LockFile.h"
#include "platform/ProfileFile.h"
#include "platform/RegistrySettings.h"
#include "platform/SettingsFile.h"
#include "store/TextCatalog.h"
#include "store/UserSchema.h"

#include <QString>
#include <array>
#include <memory>

class CWindowMessages;

// What the information pane shows and which commands the view enables. The directories
// write it; the information pane draws it and the view reads the three flags.
struct CInfoPaneState {
    QString bannerBitmap;
    QString title;
    QString hint;
    bool showDetails = false;
    std::array<QString, 4> details;
    bool backEnabled = false;
    bool actionEnabled = false;
    bool filterEnabled = false;
};

// The process-wide settings object: data folder, settings file, serial and import
// settings, language, the reference database with its texts, the shared-folder lock and
// the information-pane state. Every view, dialog and worker reaches it through the view.
class CVELMOR740PCRemoteDoc {
public:
    CVELMOR740PCRemoteDoc();
    ~CVELMOR740PCRemoteDoc();
    CVELMOR740PCRemoteDoc(const CVELMOR740PCRemoteDoc&) = delete;
    CVELMOR740PCRemoteDoc& operator=(const CVELMOR740PCRemoteDoc&) = delete;

    // The start-up: registry, folders, lock, settings, reference database, user database
    // version. Every failure is told through the notifier; false ends the program.
    bool OnNewDocument();

    // The title of the program's window and of its message boxes.
    static QString AppTitle() { return QStringLiteral("VELMOR - Roziraz Uvurad"); }
    static QString RequiredDatabaseVersion() { return UserSchema::CurrentVersion(); }
    static QString SettingsFileName() { return CSettingsFile::FileName(); }
    static QString LockFileName() { return QStringLiteral("user2.log"); }
    // The local folder's lock of our own: nobody replaces the database (v740ctl restore)
    // or works on it from another program while this one has it open.
    static QString LocalLockFileName() { return QStringLiteral("V740Control.lock"); }
    // Written as ExternalDataPath when the registry key is created.
    static QString PlaceholderDataPath() { return CRegistrySettings::PlaceholderDataPath(); }
    static QString RegistryComment() { return CRegistrySettings::DefaultComment(); }

    // Text of a TextID in the current language, or the fallback when the lookup fails.
    QString Text(qint32 textId, const QString& fallback = QString());
    bool SeekText(qint32 textId, QString& text);
    CTextCatalog& Texte() { return m_Texte; }
    bool TexteOpen() const { return m_TexteOpen; }

    // Switches the stored filters of both data directories off (their queries may hold
    // texts of the old language), stores the language and writes [Ansicht] Sprache.
    bool ChangeLanguage(const QString& language);

    // The settings file of the data folder; every read and write goes through it.
    CSettingsFile Settings() const { return CSettingsFile(m_DataFolder); }
    // The values read at start-up, as changed since.
    const CSettingsValues& SettingsValues() const { return m_Settings; }
    CProfileFile Profile() const { return CProfileFile(m_SettingsFile); }
    // Writes [RS232] Port, Baudrate and Databits with the values in use.
    bool WriteSerialSettings();

    const QString& SignBitmap() const { return m_Settings.signBitmap; }
    void SetSignBitmap(const QString& v) { m_Settings.signBitmap = v; }
    int ImportInterface() const { return m_Settings.importInterface; }
    void SetImportInterface(int v) { m_Settings.importInterface = v; }
    int ImportFilter() const { return m_Settings.importFilter; }
    void SetImportFilter(int v) { m_Settings.importFilter = v; }
    int ImportPV() const { return m_Settings.importPV; }
    void SetImportPV(int v) { m_Settings.importPV = v; }
    const QString& LastDrive() const { return m_Settings.importDisk; }
    void SetLastDrive(const QString& v) { m_Settings.importDisk = v; }
    const QString& LastFolder() const { return m_Settings.importFolder; }
    void SetLastFolder(const QString& v) { m_Settings.importFolder = v; }
    const QString& ProgramFolder() const { return m_ProgramFolder; }
    quint32 ExternalPathEnable() const { return m_ExternalPathEnable; }
    const QString& ExternalDataPath() const { return m_ExternalDataPath; }
    const QString& SerialPort() const { return m_Settings.port; }
    void SetSerialPort(const QString& v) { m_Settings.port = v; }
    const QString& BaudRate() const { return m_Settings.baudRate; }
    void SetBaudRate(const QString& v) { m_Settings.baudRate = v; }
    const QString& DataBits() const { return m_Settings.dataBits; }
    void SetDataBits(const QString& v) { m_Settings.dataBits = v; }
    const QString& UpdateFolder() const { return m_UpdateFolder; }
    const QString& DataFolder() const { return m_DataFolder; }
    const QString& SettingsFile() const { return m_SettingsFile; }
    const QString& Language() const { return m_Settings.language; }
    const QString& MinRemoteVersion() const { return m_MinRemoteVersion; }
    bool HoldsLock() const { return m_LockFile.IsHeld(); }
    bool HoldsLocalLock() const { return m_LocalLock.IsHeld(); }

    CInfoPaneState& InfoPane() { return m_InfoPane; }
    const CInfoPaneState& InfoPane() const { return m_InfoPane; }

    // Where workers and directories send their window messages; set by the program.
    CWindowMessages* Messages() const { return m_Messages; }
    void SetMessages(CWindowMessages* messages) { m_Messages = messages; }

private:
    void ReadRegistry();
    bool ResolveFolders();
    bool TakeLock();
    void TakeLocalLock();
    void ReadSettings();
    bool CheckUserDatabase();
    void Show(const QString& text, int icon);

    QString m_ProgramFolder;
    CLockFile m_LockFile;
    CLockFile m_LocalLock;
    quint32 m_ExternalPathEnable = 0;
    QString m_ExternalDataPath;
    QString m_UpdateFolder;
    QString m_DataFolder;
    QString m_SettingsFile;
    CSettingsValues m_Settings;
    CTextCatalog m_Texte;
    bool m_TexteOpen = false;
    QString m_MinRemoteVersion;

    bool m_LockForeign = false;
    QString m_UserName;
    QString m_OtherUser;
    CInfoPaneState m_InfoPane;
    CWindowMessages* m_Messages = nullptr;
};
