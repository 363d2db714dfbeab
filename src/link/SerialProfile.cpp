#include "link/SerialProfile.h"

#include "platform/SettingsFile.h"

QString CSerialProfile::SettingsFile(const QString& dataFolder) {
    return CSettingsFile::PathIn(dataFolder);
}

CSerialProfile CSerialProfile::Read(const QString& dataFolder) {
    CSerialProfile p;
    CSettingsFile(dataFolder).ReadSerial(p.port, p.baudRate, p.dataBits);
    return p;
}

bool CSerialProfile::Write(const QString& dataFolder) const {
    return CSettingsFile(dataFolder).WriteSerial(port, baudRate, dataBits);
}
