#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
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

// Where in a log a failure stands: a line, a line and a column (counted
// from 1), or, in a binary log, the offset of a byte (counted from 0).
struct LogPlace {
    enum class Kind : std::uint8_t { kLine, kLineAndColumn, kByte };
    Kind kind = Kind::kLine;
    std::size_t at = 0;  // the line, or the byte's offset
    std::size_t column = 0;

    [[nodiscard]] static LogPlace Line(std::size_t line) { return {Kind::kLine, line, 0}; }
    [[nodiscard]] static LogPlace LineAndColumn(std::size_t line, std::size_t column) {
        return {Kind::kLineAndColumn, line, column};
    }
    [[nodiscard]] static LogPlace Byte(std::size_t offset) { return {Kind::kByte, offset, 0}; }
};

// "line 7", "line 7, column 12", "byte 4096": as every failure names its place.
[[nodiscard]] std::string PlaceText(const LogPlace& place);

// Something wrong with what a log holds at a place that the reader knows.
// Cause() is the problem alone; the run puts the place in front of it, the
// same way for every kind of log.
class LogError : public ConversionError {
  public:
    LogError(const LogPlace& place, const std::string& problem)
        : ConversionError(problem), place_(place) {}

    [[nodiscard]] const LogPlace& Place() const { return place_; }

  private:
    LogPlace place_;
};

// A failure's cause as the run shows it: a LogError's place in front of its
// problem ("line 2, column 14: the track point has no lon"), any other
// failure's cause as it is.
[[nodiscard]] std::string CauseWithPlace(const ConversionError& error);

// Something wrong with one line of the log, found where the line is not
// known; the run asks the reader which line it was.
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
