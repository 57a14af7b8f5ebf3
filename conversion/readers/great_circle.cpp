// Compiled with -ffp-contract=off (conversion/CMakeLists.txt): no product and
// sum fused into one rounding, which would give other bits where the
// processor fuses them.
#include "conversion/readers/great_circle.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <string_view>
#include <system_error>

#include "conversion/speed_class.h"

namespace routalo {
namespace {

// The sine, cosine and arcsine of the platform's mathematics library differ
// between systems in the last bit for some arguments (glibc's and
// MinGW-w64's do), and a derived speed on a class's boundary would then take
// another class on each. Those below use only + - * / and the square root,
// which IEEE 754 rounds alike everywhere: Taylor polynomials, enough terms
// for the truncation to stay below 10^-18 of the value on the reduced
// ranges, evaluated by Horner's rule.
// Measured from -pi to pi, -pi/2 to pi/2 and 0 to 1: within 0.84 units in
// the last place of the true value (glibc's long double functions, 400,000
// arguments each, great_circle_test), at most 1 unit from glibc's double
// functions (2,000,000 each); the haversine distance of short pairs within
// 4.5e-16 of the one through glibc's.

// pi/2 as the double nearest and the rest.
constexpr double kHalfPiHigh = 1.5707963267948965580;
constexpr double kHalfPiLow = 6.1232339957367660360e-17;

// (-1)^k / (2k+1)! for k = 1 to 9: sin x = x + x^3 (c1 + x^2 (c2 + ...)).
constexpr std::array<double, 9> kSineTerms = [] {
    std::array<double, 9> terms{};
    double term = 1;
    for (std::size_t k = 1; k <= terms.size(); ++k) {
        term = -term / static_cast<double>((2 * k) * (2 * k + 1));
        terms.at(k - 1) = term;
    }
    return terms;
}();

// (-1)^k / (2k)! for k = 2 to 10: cos x = 1 - x^2/2 + x^4 (c2 + x^2 (c3 + ...)).
constexpr std::array<double, 9> kCosineTerms = [] {
    std::array<double, 9> terms{};
    double term = -0.5;
    for (std::size_t k = 2; k < terms.size() + 2; ++k) {
        term = -term / static_cast<double>((2 * k - 1) * (2 * k));
        terms.at(k - 2) = term;
    }
    return terms;
}();

// (2k)! / (4^k (k!)^2 (2k+1)) for k = 1 to 26: asin x = x + x^3 (c1 + x^2 (c2
// + ...)), for x up to 1/2.
constexpr std::array<double, 26> kArcsineTerms = [] {
    std::array<double, 26> terms{};
    double central = 1;  // (2k)! / (4^k (k!)^2)
    for (std::size_t k = 1; k <= terms.size(); ++k) {
        central = central * static_cast<double>(2 * k - 1) / static_cast<double>(2 * k);
        terms.at(k - 1) = central / static_cast<double>(2 * k + 1);
    }
    return terms;
}();

template <std::size_t n>
double Horner(const std::array<double, n>& terms, double x) {
    double sum = terms.back();
    for (std::size_t i = n - 1; i-- > 0;) {
        sum = sum * x + terms.at(i);
    }
    return sum;
}

// sin(x + tail), for |x| up to a little over pi/4 and a tail below half a
// unit in the last place of x: the reduced argument and its rest, which
// fdlibm's sine kernel also keeps. sin(x + tail) = sin x + tail cos x.
double SinePolynomial(double x, double tail) {
    const double square = x * x;
    return x + ((x * (square * Horner(kSineTerms, square)) - 0.5 * square * tail) + tail);
}

// cos(x + tail), as SinePolynomial. 1 - x^2/2 is split in two, its rounding
// error kept apart, as fdlibm's cosine kernel does. cos(x + tail) = cos x -
// tail sin x.
double CosinePolynomial(double x, double tail) {
    const double square = x * x;
    const double half = 0.5 * square;
    const double rest = 1 - half;
    return rest +
           (((1 - rest) - half) + (square * (square * Horner(kCosineTerms, square)) - x * tail));
}

// |x| as n pi/2 + reduced + tail, |reduced| up to a little over pi/4, for
// |x| up to a little over pi. reduced = |x| - n pi/2's high part is exact
// (the two lie within a factor of two of each other), and the tail is
// -n pi/2's low part.
struct Reduced {
    int quadrant;
    double reduced;
    double tail;
};

Reduced Reduce(double x) {
    const double magnitude = std::abs(x);
    constexpr double kQuarterPi = std::numbers::pi / 4;
    const int quadrant = magnitude > 3 * kQuarterPi ? 2 : (magnitude > kQuarterPi ? 1 : 0);
    return {quadrant, magnitude - quadrant * kHalfPiHigh, -quadrant * kHalfPiLow};
}

// asin x - x, for x from 0 to 1/2.
double ArcsineRest(double x) {
    const double square = x * x;
    return x * (square * Horner(kArcsineTerms, square));
}

double ToRadians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// The half-angles up to which a segment counts as short: some 6 km.
constexpr double kShortHalfAngle = 0x1p-10;

// sin x for |x| up to kShortHalfAngle * 1.5: x - x^3/6 + x^5/120, the rest
// below x^7/5040, 10^-21 of x.
double ShortSine(double x) {
    const double square = x * x;
    return x + x * (square * (-1.0 / 6 + square * (1.0 / 120)));
}

// asin x for x from 0 to kShortHalfAngle * 1.5: x + x^3/6 + 3x^5/40, the rest
// below 5x^7/112, 10^-18 of x.
double ShortArcsine(double x) {
    const double square = x * x;
    return x + x * (square * (1.0 / 6 + square * (3.0 / 40)));
}

constexpr double kEarthRadius = 6'371'008.8;  // mean radius, metres

}  // namespace

double PortableSin(double x) {
    const auto [quadrant, reduced, tail] = Reduce(x);
    double sine = quadrant == 1 ? CosinePolynomial(reduced, tail) : SinePolynomial(reduced, tail);
    sine = quadrant == 2 ? -sine : sine;  // sin(pi + y) = -sin y
    return x < 0 ? -sine : sine;
}

double PortableCos(double x) {
    const auto [quadrant, reduced, tail] = Reduce(x);
    switch (quadrant) {
        case 0:
            return CosinePolynomial(reduced, tail);
        case 1:
            return -SinePolynomial(reduced, tail);  // cos(pi/2 + y) = -sin y
        default:
            return -CosinePolynomial(reduced, tail);  // cos(pi + y) = -cos y
    }
}

double PortableAsin(double x) {
    if (x <= 0.5) {
        return x + ArcsineRest(x);
    }
    // asin x = pi/2 - 2 asin r, r = sqrt((1 - x) / 2), 1 - x exact. As
    // fdlibm does: r = high + low, high with the low 32 bits of r cleared,
    // so that high^2 and pi/4 - 2 high are exact and the square root's
    // rounding error, low - (r - high), is not lost.
    const double half = (1 - x) * 0.5;
    if (half == 0) {
        return kHalfPiHigh;
    }
    const double root = std::sqrt(half);
    const double high =
        std::bit_cast<double>(std::bit_cast<std::uint64_t>(root) & 0xFFFF'FFFF'0000'0000ULL);
    const double low = (half - high * high) / (root + high);
    const double rest = 2 * ArcsineRest(root) - (kHalfPiLow - 2 * low);
    const double quarterPiHigh = 0.5 * kHalfPiHigh;
    return quarterPiHigh - (rest - (quarterPiHigh - 2 * high));
}

GreatCirclePlace GreatCirclePlaceOf(double latitude, double longitude) {
    return {latitude, longitude, PortableCos(ToRadians(latitude))};
}

double GreatCircleMetres(const GreatCirclePlace& from, const GreatCirclePlace& to) {
    // The haversine formula.
    const double halfLatitude = PortableSin(ToRadians(to.latitude - from.latitude) / 2);
    const double halfLongitude = PortableSin(ToRadians(to.longitude - from.longitude) / 2);
    const double a = halfLatitude * halfLatitude +
                     from.latitudeCosine * to.latitudeCosine * halfLongitude * halfLongitude;
    return 2 * kEarthRadius * PortableAsin(std::min(1.0, std::sqrt(a)));
}

double SegmentMetres(const GreatCirclePlace& from, const GreatCirclePlace& to) {
    // Half a degree in radians: one product instead of a product and two
    // quotients.
    constexpr double kHalfDegree = std::numbers::pi / 360;
    const double halfLatitudeAngle = (to.latitude - from.latitude) * kHalfDegree;
    const double halfLongitudeAngle = (to.longitude - from.longitude) * kHalfDegree;
    if (!(std::abs(halfLatitudeAngle) <= kShortHalfAngle &&
          std::abs(halfLongitudeAngle) <= kShortHalfAngle)) {
        return GreatCircleMetres(from, to);
    }
    // The haversine formula, as above.
    const double halfLatitude = ShortSine(halfLatitudeAngle);
    const double halfLongitude = ShortSine(halfLongitudeAngle);
    const double a = halfLatitude * halfLatitude +
                     from.latitudeCosine * to.latitudeCosine * halfLongitude * halfLongitude;
    return 2 * kEarthRadius * ShortArcsine(std::sqrt(a));
}

double LatitudeCosines::Of(double latitude) {
    constexpr double kRadiansPerDegree = std::numbers::pi / 180;
    const double radians = latitude * kRadiansPerDegree;
    const double step = radians - anchor_;
    if (!(std::abs(step) <= 2 * kShortHalfAngle)) {
        anchor_ = radians;
        sine_ = PortableSin(radians);
        cosine_ = PortableCos(radians);
        return cosine_;
    }
    // cos(a + d) = cos a cos d - sin a sin d, the series of d's cosine and
    // sine to their third terms, the rest below 10^-20.
    const double square = step * step;
    const double cosine = 1 - square * (0.5 - square * (1.0 / 24));
    const double sine = step - step * (square * (1.0 / 6 - square * (1.0 / 120)));
    return cosine_ * cosine - sine_ * sine;
}

double GreatCircleMetres(double latitude1, double longitude1, double latitude2, double longitude2) {
    return GreatCircleMetres(GreatCirclePlaceOf(latitude1, longitude1),
                             GreatCirclePlaceOf(latitude2, longitude2));
}

std::string DerivedSpeedText(double metres, double seconds) {
    const double kmh = metres / seconds * 3.6;
    // Room for the largest double with six decimals; to_chars writes the
    // exact decimal of the double rounded to six, the same on every system.
    std::array<char, 330> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), kmh, std::chars_format::fixed, 6);
    std::string speed(text.data(), written.ptr);
    CapAtTheFastestSpeed(speed);
    return speed;
}

bool ReadDegrees(std::string_view text, double& degrees) {
    const std::string_view plain = text.starts_with('+') ? text.substr(1) : text;
    return std::from_chars(plain.data(), plain.data() + plain.size(), degrees).ec == std::errc();
}

std::string DerivedSpeedBetween(std::string_view fromLatitude, std::string_view fromLongitude,
                                std::string_view toLatitude, std::string_view toLongitude,
                                double seconds) {
    double latitude1 = 0;
    double longitude1 = 0;
    double latitude2 = 0;
    double longitude2 = 0;
    ReadDegrees(fromLatitude, latitude1);
    ReadDegrees(fromLongitude, longitude1);
    ReadDegrees(toLatitude, latitude2);
    ReadDegrees(toLongitude, longitude2);
    return DerivedSpeedText(GreatCircleMetres(latitude1, longitude1, latitude2, longitude2),
                            seconds);
}

}  // namespace routalo
