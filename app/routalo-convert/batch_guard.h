#pragma once

#include <optional>
#include <string>
#include <vector>

#include "conversion/files/file_identity.h"

namespace routalo {

// What one command's batch of conversions keeps from being written over:
// every LOG it was given, and every document that one of its runs made, so
// that no run destroys another's input or output ("x.csv x.kml", or
// CSV logs "track_001 track_002", which both give "track_kml", or "ride.gpx
// ride.nmea", which both give "ride.kml", or with --kmz "ride.kmz"). A KMZ
// archive is kept as a document is. Files are told apart by device and
// inode, so links count as the file they lead to.
class BatchGuard {
  public:
    // `logs` must outlive the guard.
    explicit BatchGuard(const std::vector<std::string>& logs);

    // Keeps the document that the run of `log`, one of the guard's logs,
    // made. Needs no memory, so that a document just made whole is never
    // reported as a failure for want of it.
    void KeepDocument(const FileIdentity& document, const std::string& log) noexcept;

    // Why the file `identity` must not be written over, or nothing.
    [[nodiscard]] std::optional<std::string> ReasonToKeep(const FileIdentity& identity) const;

  private:
    struct Kept {
        FileIdentity file;
        const std::string* log;  // the LOG it is, or whose document it is
        bool document;
    };
    std::vector<Kept> kept_;  // room for every log and every document
};

}  // namespace routalo
