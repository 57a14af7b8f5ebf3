#pragma once

#include <stdexcept>
#include <string>

namespace routalo {

// Every failure inside a conversion is one of these. The messages are short,
// lower-case and meant for developers; the conversion run turns any of them
// into the one Dutch message of the phase it happens in.
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, created, read, written or closed.
class FileError : public ConversionError {
  public:
    using ConversionError::ConversionError;
};

// A track log line lacks a separator or has one too far along the line.
class TrackLogError : public ConversionError {
  public:
    using ConversionError::ConversionError;
};

// A speed is no number, lies outside -32768..32767 or rounds below zero.
class SpeedError : public ConversionError {
  public:
    using ConversionError::ConversionError;
};

}  // namespace routalo
