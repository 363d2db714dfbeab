#pragma once

#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "link/TesterConnection.h"
#include "maintenance/SoftwareUpdate.h"

#include <QStringList>

// The RS232 connection test: connect (scanning when the settings are wrong), the tester's
// identity, and single commands with their reply line as the tester sent it. The dialog
// and v740ctl rs232 are shells over it.
class CConnectionTest {
public:
    // A scan's settings are written to dataFolder's settings file (empty: kept nowhere).
    CConnectionTest(CRS232& link, const QString& dataFolder) : m_link(link), m_dataFolder(dataFolder) {}
    // Told once a scan found the tester (see CTesterConnection).
    void SetFoundHandler(CTesterConnection::FoundHandler handler) { m_onFound = std::move(handler); }

    // The commands the command list offers, in order.
    static const QStringList& Commands();

    // Remote mode with the settings, else by a scan ("#inuse#" and "#initfail#" are
    // failures without a scan); then the identity and the long read time-out.
    bool Connect(const CSerialProfile& settings);
    bool FoundByScan() const { return m_foundByScan; }
    const TesterIdentity& Identity() const { return m_identity; }

    // Sends one command and reads its reply. A command containing "ENCS" (exact case)
    // switches checksums on, one containing "DISCS" off; anything else goes as typed.
    bool Send(const QString& command, QString& reply);

    qint32 ErrorCode() const { return m_link.GetErrorCode(); }
    // Leaves remote mode and closes the port.
    void Close();

private:
    CRS232& m_link;
    QString m_dataFolder;
    CTesterConnection::FoundHandler m_onFound;
    bool m_foundByScan = false;
    TesterIdentity m_identity;
};
