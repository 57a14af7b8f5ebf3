#include "conversion/errors.h"

#include <cstring>

namespace routalo {

FileError::FileError(const std::string& doing, int error)
    : ConversionError(doing.empty() ? std::string(std::strerror(error))
                                    : doing + ": " + std::strerror(error)),
      error_(error) {}

StopRequested::StopRequested(int signal)
    : ConversionError("interrupted by " + SignalName(signal)), signal_(signal) {}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifdef SIGHUP
        case SIGHUP:
            return "SIGHUP";
#endif
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace routalo
