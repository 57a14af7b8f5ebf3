// Fuzz target: reading a FIT file.
//
// Properties: the reader ends, or fails with a ConversionError, and nothing
// else; a failure names a byte of the input, or the end of it; every point
// it gives has degrees with seven decimals in range, a speed that has a
// class, and a date and time that are both there or both missing and
// together a valid date-time in UTC.

#include <cstddef>
#include <cstdint>
#include <string>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/fit_reader.h"
#include "conversion/text_basics.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_file.h"
#include "tests/fuzz/point_check.h"

namespace {

// "-"? digits "." seven digits, at most `limit` either way.
bool IsSevenDecimalDegrees(const std::string& text, int limit) {
    const std::size_t start = text.starts_with('-') ? 1 : 0;
    const std::size_t point = text.find('.');
    if (point == std::string::npos || point == start || text.size() != point + 8) {
        return false;
    }
    int whole = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (i != point && !routalo::IsDigit(text[i])) {
            return false;
        }
        if (i < point) {
            whole = whole * 10 + (text[i] - '0');
        }
    }
    return whole < limit ||
           (whole == limit && text.find_first_not_of('0', point + 1) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace routalo;
    using namespace routalo::fuzz;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TextInputFile log(StoreInMemoryLog(bytes));
    FitPointReader reader(log);
    try {
        TrackPoint point;
        while (reader.Next(point) != PointStep::kEnd) {
            Require(IsSevenDecimalDegrees(point.Latitude, kLatitudeLimit) &&
                        IsSevenDecimalDegrees(point.Longitude, kLongitudeLimit),
                    "degrees have seven decimals and lie in range");
            RequireTimeAndSpeed(point);
            Require(reader.Offset() <= size, "the reader reads no byte beyond the file");
        }
    } catch (const LogError& error) {
        Require(error.Place().kind == LogPlace::Kind::kByte && error.Place().at <= size,
                "a failure names a byte of the file, or its end");
    } catch (const ConversionError&) {
        Require(false, "every failure of the file names its place");
    }
    return 0;
}
