#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/class_rule.h"
#include "conversion/readers/great_circle.h"
#include "conversion/speed_class.h"
#include "conversion/speed_scheme.h"
#include "conversion/track_point.h"

namespace routalo {

// A moment in whole microseconds since 1970-01-01T00:00:00Z, or kNoMoment
// for a point whose time is not known.
inline constexpr std::int64_t kNoMoment = std::numeric_limits<std::int64_t>::min();

// Reads the moments of a log's points one after the other. The day of the
// last date read is kept: a log's points share their date for hours, and
// then only the time is read.
class PointClock {
  public:
    // The moment of the point's date ("2007-06-15") and time ("09:05:08.5"),
    // or kNoMoment when either is missing or no valid date or time of day.
    // A year of one or two digits, as a CSV log writes its YY, is 20yy; a
    // fraction's digits beyond the sixth are cut. 23:59:60 and 24:00:00 are
    // the next day's 00:00:00.
    [[nodiscard]] std::int64_t MomentOf(const TrackPoint& point);

  private:
    std::string date_;
    std::int64_t dayStart_ = kNoMoment;
    bool dateRead_ = false;
};

// A segment counts as moving at 1.8 km/h (0.5 m/s) or faster: below that it
// is a stop, however the receiver's position wanders.
inline constexpr std::string_view kMovingSpeed = "1.8";

// The time spent moving at each speed, in steps of 5 km/h, for a top speed
// that fits the trip. Constant memory, whatever the log's length.
class MovingTimeBySpeed {
  public:
    // Counts a segment of `microseconds` at `speed` (the text a reader
    // gave); a stop, or a speed that is no number, is not counted.
    void Add(std::string_view speed, std::int64_t microseconds);

    // The speed below which 99% of the moving time was spent, rounded up to
    // a multiple of 5 km/h: from 5 to 1000 km/h, the range that --top-speed
    // takes. Nothing when no moving time was counted.
    [[nodiscard]] std::optional<int> TopSpeedKmh() const;

  private:
    static constexpr int kStep = 5;
    static constexpr int kHighest = 1000;
    // Bin k holds the speeds above 5(k - 1) and up to 5k km/h; the last
    // those above 1000 km/h.
    std::array<std::int64_t, kHighest / kStep + 2> bins_{};
};

// A trip's figures, kept in whole units so that sums are exact: the parts
// add up to the whole, on every system.
struct TripFigures {
    // By class: the distance of every segment, and the time of the moving
    // segments whose both points have a time.
    std::array<std::int64_t, kSpeedClassCount> micrometres{};
    std::array<std::int64_t, kSpeedClassCount> movingMicroseconds{};
    // The distance of those moving segments, for the average speed.
    std::int64_t movingMicrometres = 0;
    // Some segment had a time: moving time, per-class times and top speed
    // are known.
    bool timed = false;
    // From the first point with a time to the last; nothing without one,
    // or when the last is earlier than the first.
    std::optional<std::int64_t> elapsedMicroseconds;
    // The highest speed of a segment with a time, exactly as the log gives
    // it: its whole km/h and its fraction's digits, when topKnown.
    bool topKnown = false;
    std::int64_t topWhole = 0;
    std::string topFraction;
};

// Takes the same points that the document is made of, one by one, and keeps
// the trip's figures. A segment's speed and class are its end point's, as
// the document colours it; its distance is the great-circle distance that
// the readers use.
class TripStats {
  public:
    // The classes as the document has them.
    explicit TripStats(ClassRule rule) : rule_(std::move(rule)) {}

    // Takes the next point, read at `moment`, after `previous`, the point
    // of the call before; `continuesChain` when a segment joins the two. A
    // point without a position that can be read adds no distance.
    void Add(const TrackPoint& point, const TrackPoint& previous, std::int64_t moment,
             bool continuesChain);

    // The figures of the points taken so far.
    [[nodiscard]] TripFigures Figures();

  private:
    // A segment whose distance is still to be measured. The distances are
    // measured some at a time, each on its own, so that the processor works
    // on several at once instead of waiting for each square root in turn.
    struct Segment {
        GreatCirclePlace from;
        GreatCirclePlace to;
        int speedClass = 0;
        bool moving = false;
    };
    void MeasurePending();

    std::array<Segment, 64> pending_{};
    std::size_t pendingCount_ = 0;
    ClassRule rule_;
    TripFigures figures_;
    std::int64_t firstMoment_ = kNoMoment;
    std::int64_t lastMoment_ = kNoMoment;
    std::int64_t previousMoment_ = kNoMoment;
    GreatCirclePlace previous_;
    LatitudeCosines cosines_;
    // The latitude and cosine of the end of the segment measured last.
    double lastLatitude_ = std::numeric_limits<double>::quiet_NaN();
    double lastCosine_ = 1;
    bool previousPlaced_ = false;
    bool started_ = false;
    std::string room_;  // a speed written with an exponent, as plain digits
};

// The figures as lines of text, "LABEL: VALUE UNIT\n", one value per line,
// for standard output and the document: distance, elapsed and moving time,
// average moving speed, top speed, the top of the range `rangeTopKmh` where
// the trip chose it, then for each row of the legend of `rule` (LegendRows)
// its moving time and distance, "time in colour ff0000ff (20 km/h and
// faster): 12 s". Times are seconds, distances kilometres to the metre,
// speeds km/h to two decimals; the whole distance is the sum of the rows'
// as printed, the moving time that of their times. What the log cannot tell
// is left out.
[[nodiscard]] std::string TripFiguresText(const TripFigures& figures, const ClassRule& rule,
                                          std::optional<int> rangeTopKmh = std::nullopt);

// The lines of TripFiguresText as an HTML table for a document's
// description: a row of two cells, label and value, for each.
[[nodiscard]] std::string TripFiguresHtml(std::string_view text);

}  // namespace routalo
