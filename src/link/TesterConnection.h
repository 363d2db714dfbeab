#pragma once

#include "link/SerialProfile.h"

#include <QString>
#include <functional>

class CRS232;

// "Connect, scan if needed, keep the settings found": how every dialog and v740ctl
// reach the tester. The settings come from the data folder's settings file (or the
// caller); when the tester answers only after a port scan, the settings it was found
// with are written back so that the next connection needs no scan.
class CTesterConnection {
public:
    // Told once a scan found the tester; written is false when the settings file could
    // not be written or no data folder was given.
    using FoundHandler = std::function<void(const CSerialProfile& found, bool written)>;

    CTesterConnection(CRS232& link, const QString& dataFolder, const CSerialProfile& serial);
    void SetFoundHandler(FoundHandler handler) { m_onFound = std::move(handler); }

    // Remote mode on the settings; a scan follows unless the tester is busy (#inuse#) or
    // not ready (#initfail#), which are reported as they are.
    bool Connect(QString& reply);
    // Transfer mode on the settings; unless the tester is busy, a scan follows and transfer
    // mode is entered on the port the scan left open.
    bool BeginTransfer(QString& reply);

    bool FoundByScan() const { return m_foundByScan; }
    // The settings in use: the ones given, or the ones the scan found.
    const CSerialProfile& Settings() const { return m_serial; }
    CRS232& Link() { return m_link; }

private:
    bool Scan();

    CRS232& m_link;
    QString m_dataFolder;
    CSerialProfile m_serial;
    bool m_foundByScan = false;
    FoundHandler m_onFound;
};
