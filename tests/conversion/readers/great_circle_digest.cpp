// Prints digests of the distances, the times between and the derived speeds
// of 1,000,000 pseudo-random short pairs of points, the same on every system
// that computes them alike. The Windows build's tests compare its output
// with the Linux build's.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/readers/great_circle.h"
#include "conversion/readers/utc_time.h"

namespace {

// SplitMix64: a fixed sequence on every system, unlike the distributions of
// <random>, whose results the standard leaves to the library.
struct SplitMix64 {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31U);
    }
    // From 0 to 1, 1 left out: 53 random bits, exactly.
    double Unit() { return static_cast<double>(Next() >> 11U) * 0x1p-53; }
};

// FNV-1a, 64 bits.
struct Digest {
    std::uint64_t value = 0xCBF29CE484222325ULL;
    void Add(std::string_view bytes) {
        for (const char c : bytes) {
            value = (value ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
        }
    }
    void Add(double number) {
        const auto bits = std::bit_cast<std::uint64_t>(number);
        for (unsigned shift = 0; shift < 64; shift += 8) {
            value = (value ^ ((bits >> shift) & 0xFFU)) * 0x100000001B3ULL;
        }
    }
};

std::string Hex(std::uint64_t value) {
    std::string text(16, '0');
    for (auto digit = text.rbegin(); digit != text.rend(); ++digit, value >>= 4U) {
        *digit = "0123456789abcdef"[value & 0xFU];
    }
    return text;
}

}  // namespace

int main() {
    constexpr int kPairs = 1'000'000;
    SplitMix64 random{20070615};
    Digest distances;
    Digest intervals;
    Digest speeds;
    for (int i = 0; i < kPairs; ++i) {
        // Anywhere on Earth, the second point up to 0.01 degree away.
        const double latitude = -89.98 + 179.96 * random.Unit();
        const double longitude = -180 + 360 * random.Unit();
        const double metres =
            routalo::GreatCircleMetres(latitude, longitude, latitude + (random.Unit() - 0.5) / 50,
                                       longitude + (random.Unit() - 0.5) / 50);
        distances.Add(metres);
        // Up to a minute apart, both with a fraction of 17 digits.
        routalo::UtcTime earlier;
        routalo::UtcTime later;
        earlier.seconds = static_cast<std::int64_t>(random.Next() % 1'000'000'000);
        later.seconds = earlier.seconds + static_cast<std::int64_t>(random.Next() % 60);
        for (routalo::UtcTime* time : {&earlier, &later}) {
            time->fraction = std::to_string(100'000'000'000'000'000ULL +
                                            random.Next() % 100'000'000'000'000'000ULL)
                                 .substr(1);
        }
        const std::optional<double> seconds = routalo::SecondsBetween(earlier, later);
        if (!seconds) {
            continue;
        }
        intervals.Add(*seconds);
        speeds.Add(routalo::DerivedSpeedText(metres, *seconds));
        speeds.Add("\n");
    }
    std::printf("%d pairs: distances %s, seconds %s, speeds %s\n", kPairs,
                Hex(distances.value).c_str(), Hex(intervals.value).c_str(),
                Hex(speeds.value).c_str());
    return 0;
}
