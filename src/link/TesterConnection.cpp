#include "link/TesterConnection.h"

#include "link/LinkErrors.h"
#include "link/RS232.h"

CTesterConnection::CTesterConnection(CRS232& link, const QString& dataFolder, const CSerialProfile& serial)
    : m_link(link), m_dataFolder(dataFolder), m_serial(serial) {}

bool CTesterConnection::Scan() {
    bool found = false;
    const bool ok = m_link.ScanPorts(found);
    if (found) {
        m_foundByScan = true;
        m_serial.port = m_link.GetPort();
        m_serial.baudRate = m_link.GetBaudRate();
        m_serial.dataBits = m_link.GetDataBits();
        // Without a data folder the caller keeps the settings itself.
        const bool written = !m_dataFolder.isEmpty() && m_serial.Write(m_dataFolder);
        if (m_onFound)
            m_onFound(m_serial, written);
    }
    return ok;
}

bool CTesterConnection::Connect(QString& reply) {
    m_foundByScan = false;
    if (m_link.Connect(reply, m_serial.port, m_serial.baudRate, m_serial.dataBits))
        return true;
    const qint32 error = m_link.GetErrorCode();
    if (error == LinkError::InUse || error == LinkError::InitFail)
        return false;
    return Scan();
}

bool CTesterConnection::BeginTransfer(QString& reply) {
    m_foundByScan = false;
    if (m_link.BeginTransfer(reply, m_serial.port, m_serial.baudRate, m_serial.dataBits, true))
        return true;
    if (m_link.GetErrorCode() == LinkError::InUse)
        return false;
    const bool scanned = Scan();
    if (!scanned && m_link.GetErrorCode() != LinkError::InitFail)
        return false;
    return m_link.BeginTransfer(reply, m_link.GetPort(), m_link.GetBaudRate(), m_link.GetDataBits(), false);
}
