#include <windows.h>

#include <atomic>
#include <csignal>

#include "conversion/stop/stop_request.h"
#include "conversion/stop/stop_signals.h"
#include "conversion/stop/stoppable_waits.h"

namespace routalo {
namespace {

// How often, once a stop was asked for, the waits of the program's threads
// are ended again: one that had not begun when the stop came is ended too.
constexpr DWORD kNudgeMilliseconds = 50;

// Cleared by StopNudging, once no conversion runs any more.
std::atomic<bool> nudging = true;

// Runs on a thread of its own that the console starts for each event, and
// keeps ending waits until StopNudging: the program stops at the end of a
// line and ends.
BOOL WINAPI AskToStop(DWORD event) {
    int signal = 0;
    switch (event) {
        case CTRL_C_EVENT:
            signal = SIGINT;
            break;
        case CTRL_BREAK_EVENT:
            signal = SIGBREAK;
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            signal = SIGTERM;
            break;
        default:
            return FALSE;
    }
    RequestStop(signal);
    while (nudging) {
        WakeStoppableWaits();
        ::Sleep(kNudgeMilliseconds);
    }
    return TRUE;
}

}  // namespace

void CatchStopSignals() {
    PrepareStoppableWaits();
    ::SetConsoleCtrlHandler(AskToStop, TRUE);
}

std::string StopName(int signal) {
    switch (signal) {
        case SIGINT:
            return "Ctrl-C";
        case SIGBREAK:
            return "Ctrl-Break";
        case SIGTERM:
            return "closing the console";
        default:
            return "signal " + std::to_string(signal);
    }
}

int ExitStatusAfterStop(int /*signal*/) {
    return static_cast<int>(STATUS_CONTROL_C_EXIT);
}

void StopNudging() {
    nudging = false;
}

}  // namespace routalo
