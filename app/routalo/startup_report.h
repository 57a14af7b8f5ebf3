#pragma once

class QWidget;

namespace routalo {

// The environment variable that asks the program to report its start-up.
inline constexpr const char* kReportStartupVariable = "ROUTALO_REPORT_STARTUP";

// When ROUTALO_REPORT_STARTUP is set: once `window` has been painted for the
// first time, prints "first-paint-epoch-ms N" (wall-clock milliseconds since
// 1970) to standard output and quits the program. tools/screenshot starts the
// program this way to measure the time from start to the window on screen.
void ReportFirstPaintIfAsked(QWidget& window);

}  // namespace routalo
