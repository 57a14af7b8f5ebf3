#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/track_point.h"

// A plain, slow model of how a track log is read and converted, written
// straight from the rules with none of the engine's buffering, windows or
// streaming. The fuzz targets hold the engine to what it predicts.
namespace routalo::fuzz {

// The lines of a file: a line ends at CR or CR LF; a bare LF belongs to the
// line; the last line may lack a line end.
std::vector<std::string_view> SplitLines(std::string_view bytes);

// The point that a data line gives, or nothing when reading it must fail.
std::optional<TrackPoint> ExpectedPoint(std::string_view line);

// What converting a log must come to.
struct ExpectedRun {
    std::optional<std::string> message;  // nothing for a run that succeeds
    bool documentCreated = false;
    int segments = 0;  // segment lines in the document
};

ExpectedRun ExpectedConversion(std::string_view log, const std::string& sourcePath);

}  // namespace routalo::fuzz
