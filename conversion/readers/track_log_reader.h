#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/cr_line_input.h"
#include "conversion/readers/point_reader.h"
#include "conversion/track_point.h"

namespace routalo {

// The line a track log must start with.
inline constexpr std::string_view kTrackLogHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)";

// Reads the first line of a track log and compares it with kTrackLogHeader,
// byte for byte. Returns nothing when it matches, otherwise what is known of
// why not (the empty text when nothing is). Only one byte more than the
// header is kept, so a log of one endless line is no burden. Throws
// FileRefused for an empty log.
[[nodiscard]] std::optional<std::string> TrackLogHeaderProblem(CrLineInput& log);

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
TrackPoint ReadTrackPoint(CrLineInput& log);

// The same into `point`, whose texts keep their memory from the point read
// before: for a loop over a whole log.
void ReadTrackPoint(CrLineInput& log, TrackPoint& point);

// A track log from its first line: HeaderProblem() reads and checks its
// header, which comes first; Next every line behind it through
// ReadTrackPoint, skip points left out, all in one chain. A log without a
// line behind its header fails. The header and the points are read through
// the reader's one line input, so that the LF of a header's CR LF that
// comes after its CR, in a log still being written, ends the header.
// Final, and Next inline: the conversion's loop over a CSV log calls it
// directly and without a call per point, so that this, the commonest kind of
// log, pays nothing for the others.
class TrackLogPointReader final : public PointReader {
  public:
    explicit TrackLogPointReader(TextInputFile& log) : lines_(log) {}

    // TrackLogHeaderProblem of the log's first line.
    [[nodiscard]] std::optional<std::string> HeaderProblem() {
        return TrackLogHeaderProblem(lines_);
    }

    PointStep Next(TrackPoint& point) override {
        if (first_ && lines_.AtEnd()) {
            throw ConversionError("the log has no line after its header");
        }
        while (!lines_.AtEnd()) {
            ++line_;
            ReadTrackPoint(lines_, point);
            if (!IsSkipPoint(point)) {
                return std::exchange(first_, false) ? PointStep::kNewChain : PointStep::kNextPoint;
            }
        }
        return PointStep::kEnd;
    }
    [[nodiscard]] std::size_t Line() const override { return line_; }
    // A track log's document is made before its first line is read: one
    // without a line behind its header fails in Next, one whose lines hold
    // no point gives an empty document, as it always did.
    [[nodiscard]] std::string_view NoPointCause() const override { return {}; }

  private:
    CrLineInput lines_;
    std::size_t line_ = 1;  // the header is line 1
    bool first_ = true;
};

}  // namespace routalo
