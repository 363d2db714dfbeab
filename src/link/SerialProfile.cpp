#include "link/SerialProfile.h"

#include "platform/ProfileFile.h"

QString CSerialProfile::SettingsFile(const QString& dataFolder) {
    return dataFolder + QStringLiteral("/V740Control.ini");
}

CSerialProfile CSerialProfile::Read(const QString& dataFolder) {
    const CProfileFile ini(SettingsFile(dataFolder));
    CSerialProfile p;
    const QString section = QStringLiteral("RS232");
    // Ports are device paths here, and the stable names of USB adapters
    // (/dev/serial/by-id/...) are far longer than a "COMn:" name: a path is kept whole.
    p.port = ini.GetString(section, QStringLiteral("Port"), p.port, kMaxPortChars);
    p.baudRate = ini.GetString(section, QStringLiteral("Baudrate"), p.baudRate, 31);
    p.dataBits = ini.GetString(section, QStringLiteral("Databits"), p.dataBits, 31);
    return p;
}

bool CSerialProfile::Write(const QString& dataFolder) const {
    CProfileFile ini(SettingsFile(dataFolder));
    const QString section = QStringLiteral("RS232");
    return ini.WriteString(section, QStringLiteral("Port"), port) &&
           ini.WriteString(section, QStringLiteral("Baudrate"), baudRate) &&
           ini.WriteString(section, QStringLiteral("Databits"), dataBits);
}
