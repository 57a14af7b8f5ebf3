#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "conversion/track_point.h"

namespace routalo {

// What a reader's call handed back.
enum class PointStep : std::uint8_t {
    kEnd,        // the log has no point left; nothing was read into the point
    kNextPoint,  // a point that continues the chain of the one before
    kNewChain,   // a point that starts a chain: no line joins it to the one before
};

// A track log of one kind, read one point per call: the conversion run asks
// for the next point until there is none. Each kind of log is one more
// reader behind the same call.
class PointReader {
  public:
    PointReader() = default;
    virtual ~PointReader() = default;
    PointReader(const PointReader&) = delete;
    PointReader& operator=(const PointReader&) = delete;

    // Reads the next point into `point`, whose texts keep their memory from
    // the point read before. A failure throws a ConversionError; a
    // LogLineError is about Line(). A reader checks for no stop itself: the
    // run does between two points, and every read of the log does
    // (TextInputFile), so that a stretch without a point stops too.
    virtual PointStep Next(TrackPoint& point) = 0;

    // Why a log whose first call gave kEnd fails: the run says so, for
    // every kind of log, with this cause.
    [[nodiscard]] virtual std::string_view NoPointCause() const = 0;

    // The log's line that the last point came from, counted from 1.
    [[nodiscard]] virtual std::size_t Line() const = 0;

    // The name that the log gives its track, as far as it has been read:
    // the document's name when the user gives none. Empty for a log that
    // names nothing.
    [[nodiscard]] virtual std::string_view TrackName() const { return {}; }
};

}  // namespace routalo
