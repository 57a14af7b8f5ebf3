#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/readers/utc_time.h"
#include "conversion/readers/xml_node_source.h"
#include "conversion/track_point.h"

namespace routalo {

// The values of a track point that an XML log (GPX, TCX) holds in its
// elements and attributes, kept and checked alike by each reader of one.

// Texts longer than this are no value that a point can hold; only their
// start is kept, to be named in the failure.
inline constexpr std::size_t kLongestValue = 64;

// How much of a time's text is fetched at a time.
inline constexpr std::size_t kTimePiece = 4096;

// The length of the longest start of `text` of at most `most` bytes that
// ends at a character.
[[nodiscard]] std::size_t WholeCharacters(std::string_view text, std::size_t most);

// The value of an element, as far as it is kept: the first such element of
// a point counts.
struct ElementText {
    std::string text;
    bool present = false;
    bool tooLong = false;
    bool closed = false;  // its element has ended: a second one is not read

    void Clear();
    // Takes the text node just read: one more byte than there is room for
    // tells a value too long.
    void Take(XmlNodeSource& source);
    void Append(std::string_view piece);
    // The text as it was written, cut short when long, for a failure.
    [[nodiscard]] std::string Shown() const { return text + (tooLong ? "..." : ""); }
};

// The time and speed of each point of an XML log, from the texts of its
// elements, and what the next point of its chain needs of it. The time's
// texts are read in place and handed to the point, and the texts kept for
// the next point keep their room, so that a point costs no allocation.
class ChainedTimeAndSpeed {
  public:
    // Writes the Date, Time and Speed of `point`, whose coordinates are
    // set, from `time` and `speed` (in m/s): the speed as given (km/h,
    // exact, capped), else derived from the point before in the chain and
    // both times, else the speed of the point before (0 at a chain's
    // start). `chainStarts` when the point starts a chain. The cause of a
    // failure where a time or a speed does not read; nothing else.
    [[nodiscard]] std::optional<std::string> Write(TrackPoint& point, const DateTimeText& time,
                                                   const ElementText& speed, bool chainStarts);

  private:
    // The time of the point before, when it had one; the point's own,
    // whose texts go to the point.
    UtcTime previousTime_;
    bool previousTimed_ = false;
    UtcTime stamp_;
    std::string previousLatitude_;
    std::string previousLongitude_;
    std::string previousSpeed_ = "0";
};

// Whether `text`, trimmed, is a coordinate from -limit to limit that reads
// as a number: one whose fraction begins with more than 300 zeros lies below
// 10^-300, where reading it as a double may underflow, and only such a one
// is read here.
[[nodiscard]] bool IsCoordinateWithin(std::string_view text, int limit);

}  // namespace routalo
