#pragma once

#include <functional>

class QWidget;

// The end of the start-up: the first paint of the main window. Work that can wait (the
// day's backup) starts from there, so the window is never late for it.
//
// Start-up measurement: with VELMOR_STARTUP_PROBE set, the program writes one line to
// standard output at that moment and quits instead of going on:
//   startup-probe cpu-us=<user plus system time of the process so far>
// The start-up benchmark reads that line.
namespace StartupProbe {

bool Requested();
// Runs then once the window has been painted the first time (children included and the
// window flushed), or after a few seconds when no paint comes, as on a desktop that
// starts the window minimised.
void AfterFirstPaint(QWidget* mainWindow, std::function<void()> then);
// The same moment for a window's own work that can wait (it never ends the probe's run).
void WhenPainted(QWidget* window, std::function<void()> then);

} // namespace StartupProbe
