#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/point_reader.h"
#include "conversion/stop/stop_request.h"
#include "conversion/track_point.h"

namespace routalo {

// The line a track log must start with.
inline constexpr std::string_view kTrackLogHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)";

// Reads the next line of an open track log and returns it as a TrackPoint.
//
//   "5.123456,52.654321,12,7/6/2007,9:05:03,120"
//     -> Latitude "52.654321", Longitude "5.123456", Speed "12",
//        Date "2007-06-07", Time "09:05:03"
//
// The line is cut at ",", ",", ",", "/", "/", ",", ":", ":", ",", each looked
// for from where the previous cut left off. Spaces are taken off the line and
// the first three values; the date and time pieces are used as cut, and a
// piece of one character is widened with a leading "0". Everything behind
// the ninth separator is dropped. A line without "," gives a skip point.
//
// Throws FileRefused at the end of the log, TrackLogError when a separator is
// missing or stands 32767 bytes or more behind the previous one.
TrackPoint ReadTrackPoint(TextInputFile& log);

// The same into `point`, whose texts keep their memory from the point read
// before: for a loop over a whole log.
void ReadTrackPoint(TextInputFile& log, TrackPoint& point);

// The track log behind the reader's call, its header already read: every
// line through ReadTrackPoint, skip points left out, all in one chain. A log
// without a line behind its header fails.
// Final, and Next inline: the conversion's loop over a CSV log calls it
// directly and without a call per point, so that this, the commonest kind of
// log, pays nothing for the others.
class TrackLogPointReader final : public PointReader {
  public:
    explicit TrackLogPointReader(TextInputFile& log) : log_(log) {}

    PointStep Next(TrackPoint& point) override {
        if (first_ && log_.AtEnd()) {
            throw ConversionError("the log has no line after its header");
        }
        while (!log_.AtEnd()) {
            ThrowIfStopRequested();  // between two lines
            ++line_;
            ReadTrackPoint(log_, point);
            if (!IsSkipPoint(point)) {
                return std::exchange(first_, false) ? PointStep::kNewChain : PointStep::kNextPoint;
            }
        }
        return PointStep::kEnd;
    }
    [[nodiscard]] std::size_t Line() const override { return line_; }

  private:
    TextInputFile& log_;
    std::size_t line_ = 1;  // the header is line 1
    bool first_ = true;
};

}  // namespace routalo
