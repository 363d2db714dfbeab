#pragma once

#include "link/RS232.h"
#include "link/SerialProfile.h"

// How the maintenance dialogs and v740ctl reach the tester: connect with the stored
// settings, scan the ports when that fails, and report whether the scan found it. Kept in
// one place so that the dialogs and the command line connect alike.
namespace MaintenanceLink {

// Software update: transfer mode, connecting first. A busy tester is not scanned for; a
// scan that found it enters transfer mode over the connection the scan made.
bool ConnectForTransfer(CRS232& link, const CSerialProfile& settings, bool& foundByScan);

// Connection test: remote mode only. "#initfail#" is a failure here, and neither it nor
// "#inuse#" starts a scan.
bool ConnectForTest(CRS232& link, const CSerialProfile& settings, bool& foundByScan);

// The settings the link is using now (what a scan found).
CSerialProfile CurrentSettings(const CRS232& link);

} // namespace MaintenanceLink
