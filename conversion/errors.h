#pragma once

#include <csignal>
#include <stdexcept>
#include <string>
#include <system_error>

namespace routalo {

// Every failure inside a conversion is one of these. The conversion run turns
// any of them into the one Dutch message of the phase it happens in; Cause()
// is the cause, short and in English, which the command line shows beside
// that message ("No such file or directory", "line 7: missing separator ':'").
// It keeps every byte of a value it quotes from the log, a NUL too, where
// what() ends at the first NUL.
class ConversionError : public std::runtime_error {
  public:
    explicit ConversionError(const std::string& cause) : std::runtime_error(cause), cause_(cause) {}

    [[nodiscard]] const std::string& Cause() const noexcept { return cause_; }

  private:
    std::string cause_;
};

// A system call on a file failed: opening, creating, reading, writing or
// closing it. Carries the system's code; what() is `doing` and the
// system's reason, as in "write failed: No space left on device", or the
// reason alone.
class FileError : public std::system_error {
  public:
    explicit FileError(std::error_code code) : std::system_error(code) {}
    FileError(std::error_code code, const std::string& doing) : std::system_error(code, doing) {}
};

// A file that the conversion will not take, for a reason of its own: it is
// the log itself, another conversion writes it, it has no line left.
class FileRefused : public ConversionError {
  public:
    using ConversionError::ConversionError;
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

// The run was asked to stop (stop_request.h) on behalf of `Signal()`, and
// stopped at a line's end or in a wait.
class StopRequested : public ConversionError {
  public:
    explicit StopRequested(int signal);

    [[nodiscard]] int Signal() const { return signal_; }

  private:
    int signal_;
};

}  // namespace routalo
