#pragma once

#include <csignal>
#include <stdexcept>
#include <string>

namespace routalo {

// Every failure inside a conversion is one of these. The conversion run turns
// any of them into the one Dutch message of the phase it happens in; what()
// is the cause, short and in English, which the command line shows beside
// that message ("No such file or directory", "line 7: missing separator ':'").
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, created, read, written or closed. Carries the
// system's error number, or 0 for a refusal of our own.
class FileError : public ConversionError {
  public:
    // The cause is `doing` and the system's reason for `error`, as in
    // "write failed: No space left on device"; with `doing` empty, the
    // reason alone.
    FileError(const std::string& doing, int error);
    // A refusal that is no system call's failure.
    explicit FileError(const std::string& cause) : ConversionError(cause) {}

    [[nodiscard]] int Error() const { return error_; }

  private:
    int error_ = 0;
};

// Something wrong with one line of the log; the run says which line.
class LogLineError : public ConversionError {
  public:
    using ConversionError::ConversionError;
};

// A track log line lacks a separator or has one too far along the line.
class TrackLogError : public LogLineError {
  public:
    using LogLineError::LogLineError;
};

// A speed is no number, lies outside -32768..32767 or rounds below zero.
class SpeedError : public LogLineError {
  public:
    using LogLineError::LogLineError;
};

// The run was asked to stop by the signal `Signal()` and stopped at a line's end.
class StopRequested : public ConversionError {
  public:
    explicit StopRequested(int signal);

    [[nodiscard]] int Signal() const { return signal_; }

  private:
    int signal_;
};

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N" for another.
[[nodiscard]] std::string SignalName(int signal);

}  // namespace routalo
