#pragma once

#include "link/RS232.h"
#include "link/SerialProfile.h"
#include "maintenance/SoftwareUpdate.h"

#include <QStringList>

// The RS232 connection test: connect (scanning when the settings are wrong), the tester's
// identity, and single commands with their reply line as the tester sent it. The dialog
// and v740ctl rs232 are shells over it.
class CConnectionTest {
public:
    explicit CConnectionTest(CRS232& link) : m_link(link) {}

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
    bool m_foundByScan = false;
    TesterIdentity m_identity;
};
