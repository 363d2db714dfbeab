#pragma once

class QWidget;

// Start-up measurement: with VELMOR_STARTUP_PROBE set, the program writes one line to
// standard output once its main window has been painted the first time, then quits:
//   startup-probe cpu-us=<user plus system time of the process so far>
// The start-up benchmark reads that line; nothing happens without the variable.
namespace StartupProbe {

bool Requested();
void Install(QWidget* mainWindow);

} // namespace StartupProbe
