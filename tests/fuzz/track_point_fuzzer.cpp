// Fuzz target: reading one track log line into a TrackPoint.
//
// The input is what follows the header line of a log, usually one data line;
// CR LF is put behind it. An input of five bytes or more that starts with the
// byte 0xFF describes a long line in a few bytes, so that the 16-bit limit on
// separator positions is within reach: bytes 1 and 2 give a count of filler
// bytes (little-endian, in eights), byte 3 the filler, byte 4 how far into
// the rest of the input the filler goes.
//
// Properties: ReadTrackPoint gives the record that the reference model
// gives, fails with TrackLogError exactly where the model fails, marks it
// safe to write as it stands only when every text is unchanged as XML text,
// and consumes exactly one line. The trip's figures take the point: its
// moment, when it has one, lies in the years 1 to 9999, and a segment from
// the point to itself a second later adds no distance, and to the moving
// time that second or nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/cr_line_input.h"
#include "conversion/readers/track_log_reader.h"
#include "conversion/stats/trip_stats.h"
#include "conversion/xml_text.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_file.h"
#include "tests/fuzz/reference_log.h"

namespace routalo::fuzz {
namespace {

constexpr unsigned char kLongLineMark = 0xFF;
constexpr std::size_t kLongLineHead = 5;

std::string LogBytes(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (size < kLongLineHead || data[0] != kLongLineMark) {
        return std::string(input);
    }
    const std::size_t filler = (std::size_t{data[1]} | std::size_t{data[2]} << 8U) * 8;
    const std::string_view rest = input.substr(kLongLineHead);
    const std::size_t at = std::min<std::size_t>(data[4], rest.size());
    std::string bytes(rest.substr(0, at));
    bytes.append(filler, static_cast<char>(data[3]));
    bytes.append(rest.substr(at));
    return bytes;
}

}  // namespace
}  // namespace routalo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace routalo;
    using namespace routalo::fuzz;

    const std::string bytes = LogBytes(data, size) + "\r\n";
    const std::vector<std::string_view> lines = SplitLines(bytes);
    const std::optional<TrackPoint> expected = ExpectedPoint(lines.front());

    TextInputFile file(StoreInMemoryLog(bytes));
    CrLineInput log(file);
    std::optional<TrackPoint> point;
    try {
        point = ReadTrackPoint(log);
    } catch (const TrackLogError&) {
    }
    Require(point.has_value() == expected.has_value(),
            "the line reads where the model reads it and fails where the model fails");
    if (!point) {
        return 0;
    }
    Require(*point == *expected, "the record equals the model's");
    if (point->XmlSafe) {
        for (const std::string* text :
             {&point->Latitude, &point->Longitude, &point->Speed, &point->Date, &point->Time}) {
            std::string written;
            AppendXmlText(written, *text);
            Require(written == *text, "a point marked safe holds only plain XML text");
        }
    }
    std::string line;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        Require(!log.AtEnd(), "the lines behind the first one are left");
        log.ReadLine(line, std::numeric_limits<std::size_t>::max());
        Require(line == lines[i], "the next line starts where the model says");
    }
    Require(log.AtEnd(), "nothing is left behind the last line");

    PointClock clock;
    const std::int64_t moment = clock.MomentOf(*point);
    constexpr std::int64_t kYear1 = -62'135'596'800'000'000;
    constexpr std::int64_t kYear10000 = 253'402'300'800'000'000;
    Require(moment == kNoMoment || (moment >= kYear1 && moment < kYear10000),
            "a point's moment lies in the years 1 to 9999");
    TripStats stats{ClassRule()};
    TripFigures figures;
    try {
        stats.Add(*point, *point, moment, false);
        stats.Add(*point, *point, moment == kNoMoment ? kNoMoment : moment + 1'000'000, true);
        figures = stats.Figures();
    } catch (const SpeedError&) {
        return 0;  // the writer fails on such a speed first
    }
    std::int64_t metres = 0;
    std::int64_t moving = 0;
    for (std::size_t c = 0; c < figures.micrometres.size(); ++c) {
        metres += figures.micrometres.at(c);
        moving += figures.movingMicroseconds.at(c);
    }
    Require(metres == 0, "a segment from a point to itself adds no distance");
    Require(moving == 0 || moving == 1'000'000, "a segment of a second moves for it or not at all");
    return 0;
}
