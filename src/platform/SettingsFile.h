#pragma once

#include "platform/ProfileFile.h"

#include <QStringList>

// The values of the data folder's settings file V740Control.ini, typed, with their
// defaults. Sections Ansicht, Import, RS232 and SignBitmap are read at once; LastEdit
// holds one key per column and is read and written key by key.
struct CSettingsValues {
    QString language = QStringLiteral("Deutsch"); // [Ansicht] Sprache
    int importInterface = 0;                      // [Import] Interface: 0 tester, 1 drive, 2 folder
    QString importDisk;                           // [Import] Disk
    QString importFolder;                         // [Import] Folder
    int importPV = 1;                             // [Import] PV: 1 specifications, 0 protocols
    int importFilter = 0;                         // [Import] Filter: use-query option
    QString port = QStringLiteral("COM1:");       // [RS232] Port
    QString baudRate = QStringLiteral("115200");  // [RS232] Baudrate
    QString dataBits = QStringLiteral("8");       // [RS232] Databits
    QString signBitmap;                           // [SignBitmap] Sign
};

// The one reader and writer of V740Control.ini: the program, the tester link, v740ctl
// and Permidor spell its name, sections, keys, defaults and limits only through it.
class CSettingsFile {
public:
    static QString FileName() { return QStringLiteral("V740Control.ini"); }
    // The settings file of a data folder.
    static QString PathIn(const QString& dataFolder);

    // Limits of the values read, in characters.
    static constexpr int kShortChars = 31; // language, baud rate, data bits
    static constexpr int kPathChars = 259; // port, import disk and folder
    static constexpr int kLastEditChars = 254;

    // The seven languages, each the name of a column of the text catalogue. A stored name
    // that is none of them would leave every text of the program empty.
    static const QStringList& Languages();

    explicit CSettingsFile(const QString& dataFolder);
    const QString& Path() const { return m_profile.Path(); }
    // The raw file, for v740ctl's config command and the sections of other owners.
    CProfileFile& Profile() { return m_profile; }
    const CProfileFile& Profile() const { return m_profile; }

    // Every value, with the default for what is missing, garbage or out of range.
    CSettingsValues Read() const;

    // The language as stored, one of the seven catalogue columns; "Deutsch" otherwise.
    QString Language() const;
    bool WriteLanguage(const QString& language);

    // [RS232] Port, Baudrate and Databits.
    void ReadSerial(QString& port, QString& baudRate, QString& dataBits) const;
    bool WriteSerial(const QString& port, const QString& baudRate, const QString& dataBits);

    // [Import] keys, each written only by the caller that changed it.
    bool WriteImportInterface(int value);
    bool WriteImportFilter(int value);
    bool WriteImportPV(int value);
    bool WriteImportDisk(const QString& value);
    bool WriteImportFolder(const QString& value);

    bool WriteSignBitmap(const QString& value);

    // [LastEdit], one key per database column.
    QString LastEdit(const QString& column) const;
    bool WriteLastEdit(const QString& column, const QString& value);

private:
    int RangeValue(const QString& section, const QString& key, int def, int low, int high) const;
    CProfileFile m_profile;
};
