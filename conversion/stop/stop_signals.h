#pragma once

#include <string>

// How the stop that the user or the system asks for reaches the programs:
// signals on POSIX systems, the console's Ctrl-C, Ctrl-Break and close on
// Windows, and the nudges that keep ending waits once it has. Each system
// has its implementation beside this header.
namespace routalo {

// Makes SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and
// closing the console) ask for a stop (stop_request.h) instead of ending the
// program: a conversion then stops at the end of its line, and a wait in an
// open, a read or a write ends. Further signals change nothing.
void CatchStopSignals();

// Ends the nudges that, once a stop was asked for, keep interrupting the
// program's waits. Called once no conversion runs any more: signals that
// keep coming would upset what runs at the end (LeakSanitizer's scan stops
// every thread and waits for each signal it sees).
void StopNudging();

// The stop `signal` as the user knows it: "SIGINT", "SIGTERM", "SIGHUP";
// on Windows "Ctrl-C", "Ctrl-Break", "closing the console".
[[nodiscard]] std::string StopName(int signal);

// The exit status of a program that the stop `signal` ended: 128 + the
// signal's number on POSIX systems, as shells expect; on Windows the status
// that the system gives a program ended by Ctrl-C, STATUS_CONTROL_C_EXIT.
[[nodiscard]] int ExitStatusAfterStop(int signal);

}  // namespace routalo
