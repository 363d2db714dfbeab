#pragma once

#include "platform/SettingsFile.h"

#include <QString>

// The serial settings of the data folder's settings file, section RS232.
struct CSerialProfile {
    QString port = CSettingsValues().port;
    QString baudRate = CSettingsValues().baudRate;
    QString dataBits = CSettingsValues().dataBits;

    // The longest port path kept; baud rate and data bits keep at most 31 characters.
    static constexpr int kMaxPortChars = CSettingsFile::kPathChars;

    // Reads Port, Baudrate and Databits with their defaults.
    static CSerialProfile Read(const QString& dataFolder);
    // Writes the three keys back, as the dialogs do after a scan found the tester.
    bool Write(const QString& dataFolder) const;
    static QString SettingsFile(const QString& dataFolder);
};
