// generate_log POINTS OUTPUT [SEED [csv|gpx|nmea|fit|tcx]]
//
// Writes a realistic track log of POINTS points to OUTPUT for benchmarks and
// samples: the same file for the same POINTS and SEED (default 1). The same
// points as a GPX document, an NMEA log, a FIT file or a TCX document with
// gpx, nmea, fit or tcx.

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string_view>

#include "bench/track_log_generator.h"

namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

}  // namespace

int main(int argc, char* argv[]) {
    std::size_t points = 0;
    std::uint64_t seed = 1;
    using routalo::bench::LogFormat;
    LogFormat format = LogFormat::kCsv;
    const std::string_view formatName = argc == 5 ? argv[4] : "csv";
    if (formatName == "gpx") {
        format = LogFormat::kGpx;
    } else if (formatName == "nmea") {
        format = LogFormat::kNmea;
    } else if (formatName == "fit") {
        format = LogFormat::kFit;
    } else if (formatName == "tcx") {
        format = LogFormat::kTcx;
    }
    if (argc < 3 || argc > 5 || !ParseNumber(argv[1], points) ||
        (argc >= 4 && !ParseNumber(argv[3], seed)) ||
        (formatName != "csv" && format == LogFormat::kCsv)) {
        std::cerr << "Usage: generate_log POINTS OUTPUT [SEED [csv|gpx|nmea|fit|tcx]]\n";
        return 2;
    }
    if (!routalo::bench::WriteTrackLog(argv[2], points, seed, format)) {
        std::cerr << "generate_log: cannot write " << argv[2] << ": " << std::strerror(errno)
                  << '\n';
        return 1;
    }
    return 0;
}
