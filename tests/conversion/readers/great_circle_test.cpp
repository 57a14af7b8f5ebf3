#include "conversion/readers/great_circle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>

#include "conversion/readers/utc_time.h"

namespace routalo {
namespace {

// SplitMix64, a fixed sequence on every system.
struct Random {
    std::uint64_t state = 42;
    double Unit() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        return static_cast<double>((z ^ (z >> 31U)) >> 11U) * 0x1p-53;
    }
};

// The error of `value` in units in the last place of the true value,
// which the system's long double function gives to 11 more bits.
long double UlpError(double value, long double truth) {
    const auto nearest = static_cast<double>(truth);
    const double ulp = std::nextafter(std::abs(nearest), std::numeric_limits<double>::infinity()) -
                       std::abs(nearest);
    return std::abs(static_cast<long double>(value) - truth) / ulp;
}

// Each function over its whole range and over the small arguments of short
// distances, against glibc's long double one. The Windows build computes the
// same bits (great_circle_same_bits), but its long double functions are no
// measure: MinGW-w64's sine is the x87 fsin, off by far more near pi.
TEST(PortableSin, IsWithinAUnitInTheLastPlace) {
#ifdef _WIN32
    GTEST_SKIP() << "no exact long double sine to measure against";
#endif
    constexpr double kPi = std::numbers::pi;
    struct Case {
        const char* name;
        std::function<double(double)> portable;
        std::function<long double(long double)> truth;
        double low, high;
        long double mostUlps;
    };
    const Case cases[] = {
        {"sin", PortableSin, [](long double x) { return std::sin(x); }, -kPi, kPi, 1},
        {"sin", PortableSin, [](long double x) { return std::sin(x); }, -1e-3, 1e-3, 1},
        {"cos", PortableCos, [](long double x) { return std::cos(x); }, -kPi / 2, kPi / 2, 1},
        {"asin", PortableAsin, [](long double x) { return std::asin(x); }, 0, 1, 1},
        {"asin", PortableAsin, [](long double x) { return std::asin(x); }, 0, 1e-3, 1},
    };
    Random random;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " from " << c.low << " to " << c.high);
        long double most = 0;
        double worst = 0;
        for (int i = 0; i < 400'000; ++i) {
            const double x = c.low + (c.high - c.low) * random.Unit();
            const long double error = UlpError(c.portable(x), c.truth(x));
            if (error > most) {
                most = error;
                worst = x;
            }
        }
        EXPECT_LE(most, c.mostUlps) << "at " << worst;
    }
}

TEST(GreatCircleMetres, IsTheHaversineDistance) {
    constexpr double kHalfCircumference = 6'371'008.8 * std::numbers::pi;
    struct Case {
        double latitude1, longitude1, latitude2, longitude2, metres;
    };
    const Case cases[] = {
        {0, 0, 0.001, 0, 111.19508023353292},   {52.2, 5.1, 52.2, 5.1, 0},
        {0, 0, 0, 180, kHalfCircumference},     {90, 0, -90, 0, kHalfCircumference},
        {45, -180, -45, 0, kHalfCircumference}, {0, -180, 0, 180, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.latitude1 << "," << c.longitude1 << " "
                                          << c.latitude2 << "," << c.longitude2);
        EXPECT_NEAR(GreatCircleMetres(c.latitude1, c.longitude1, c.latitude2, c.longitude2),
                    c.metres, 1e-8);
    }
}

// Two points whose derived speed lies so near 13.5 km/h, the boundary of two
// classes, that the last bit of the distance decides its text: each build
// must give this one, which is also the exact value's, 13.49999949999999886.
TEST(DerivedSpeedText, IsTheSameOnEverySystem) {
    const std::optional<double> seconds =
        SecondsBetween(*ReadIsoDateTime("2007-06-15T11:05:00Z"),
                       *ReadIsoDateTime("2007-06-15T11:05:18.42249129329699998Z"));
    ASSERT_TRUE(seconds);
    const double metres = GreatCircleMetres(16.612693499475398, 79.336053904925734,
                                            16.612079089539453, 79.335957687373607);
    EXPECT_EQ(DerivedSpeedText(metres, *seconds), "13.499999");
    EXPECT_EQ(DerivedSpeedText(111.19508023353292, 10), "40.030229");
    EXPECT_EQ(DerivedSpeedText(1e6, 1e-30), "32767");
}

}  // namespace
}  // namespace routalo
