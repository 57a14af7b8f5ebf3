#include <windows.h>

#include <csignal>

#include "app/stop_signals.h"
#include "conversion/stop_request.h"
#include "conversion/system_file.h"

namespace routalo {
namespace {

// How often, once a stop was asked for, the waits of the program's threads
// are ended again: one that had not begun when the stop came is ended too.
constexpr DWORD kNudgeMilliseconds = 50;

// Runs on a thread of its own that the console starts for each event. It
// never returns: it keeps ending waits until the program, which stops at
// the end of a line, ends.
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
    while (true) {
        WakeWaitingWrites();
        ::Sleep(kNudgeMilliseconds);
    }
}

}  // namespace

void CatchStopSignals() {
    PrepareStopRequests();
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

void IgnoreWriteSignals() {}

}  // namespace routalo
