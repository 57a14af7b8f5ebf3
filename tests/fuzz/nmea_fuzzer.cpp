// Fuzz target: reading an NMEA 0183 log.
//
// Properties: the reader gives, in order, the points that ReadRmcSentence
// gives for the log's lines as a model cuts them (at CR LF, LF or CR; a byte
// order mark off the first, blanks off both ends, lines of more than
// 1024 bytes left out), each point with degrees of six decimals in range, and
// fails, with its one cause, exactly when there is none.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/nmea_reader.h"
#include "conversion/speed_class.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_file.h"

namespace routalo::fuzz {
namespace {

std::vector<TrackPoint> ModelPoints(std::string_view bytes) {
    std::vector<TrackPoint> points;
    bool first = true;
    while (!bytes.empty()) {
        std::size_t end = bytes.find_first_of("\r\n");
        std::string_view line = bytes.substr(0, end);
        if (end == std::string_view::npos) {
            bytes = {};
        } else {
            end += bytes.substr(end).starts_with("\r\n") ? 2 : 1;
            bytes.remove_prefix(end);
        }
        const bool overlong = line.size() > 1024;
        if (first && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        first = false;
        const std::size_t from = line.find_first_not_of(" \t");
        if (overlong || from == std::string_view::npos) {
            continue;
        }
        line = line.substr(from, line.find_last_not_of(" \t") + 1 - from);
        TrackPoint point;
        if (ReadRmcSentence(line, point)) {
            points.push_back(point);
        }
    }
    return points;
}

bool IsDegrees(const std::string& text, int limit) {
    const std::size_t point = text.find('.');
    if (point == std::string::npos || text.size() - point != 7) {
        return false;
    }
    const double value = std::stod(text);
    return value >= -limit && value <= limit;
}

}  // namespace
}  // namespace routalo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace routalo;
    using namespace routalo::fuzz;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<TrackPoint> expected = ModelPoints(bytes);
    TextInputFile log(StoreInMemoryLog(bytes));
    NmeaPointReader reader(log);
    std::vector<TrackPoint> points;
    try {
        TrackPoint point;
        for (PointStep step; (step = reader.Next(point)) != PointStep::kEnd;) {
            Require(step == (points.empty() ? PointStep::kNewChain : PointStep::kNextPoint),
                    "all points form one chain");
            Require(IsDegrees(point.Latitude, 90) && IsDegrees(point.Longitude, 180),
                    "degrees have six decimals and lie in range");
            Require(RoundSpeed(point.Speed) >= 0, "the speed is a number that is no less than 0");
            points.push_back(point);
        }
    } catch (const SpeedError&) {
        Require(false, "every speed is a number in range");
    } catch (const ConversionError&) {
        Require(false, "the reader takes any bytes");
    }
    Require(points == expected, "the points are those of the model's lines");
    return 0;
}
