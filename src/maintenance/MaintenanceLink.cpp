#include "maintenance/MaintenanceLink.h"

namespace MaintenanceLink {

bool ConnectForTransfer(CRS232& link, const CSerialProfile& settings, bool& foundByScan) {
    foundByScan = false;
    QString reply;
    if (link.BeginTransfer(reply, settings.port, settings.baudRate, settings.dataBits, true))
        return true;
    if (link.GetErrorCode() == LinkError::InUse)
        return false;
    // A transfer that failed after the connection leaves the tester in remote mode; the
    // scan starts by sending it back to local mode at every speed.
    link.ScanPorts(foundByScan);
    if (!foundByScan)
        return false;
    return link.BeginTransfer(reply, link.GetPort(), link.GetBaudRate(), link.GetDataBits(), false);
}

bool ConnectForTest(CRS232& link, const CSerialProfile& settings, bool& foundByScan) {
    foundByScan = false;
    QString reply;
    if (link.Connect(reply, settings.port, settings.baudRate, settings.dataBits))
        return true;
    const qint32 code = link.GetErrorCode();
    if (code == LinkError::InUse || code == LinkError::InitFail)
        return false;
    return link.ScanPorts(foundByScan);
}

CSerialProfile CurrentSettings(const CRS232& link) {
    CSerialProfile p;
    p.port = link.GetPort();
    p.baudRate = link.GetBaudRate();
    p.dataBits = link.GetDataBits();
    return p;
}

} // namespace MaintenanceLink
