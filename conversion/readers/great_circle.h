#pragma once

#include <string>

namespace routalo {

// The great-circle distance in metres between two points given in degrees,
// on a sphere of the Earth's mean radius. The same bits on every system:
// computed from + - * / and the square root alone (see great_circle.cpp).
[[nodiscard]] double GreatCircleMetres(double latitude1, double longitude1, double latitude2,
                                       double longitude2);

// A point as the distance needs it, for a caller that measures from every
// point of a log to the next: each point's cosine is then worked out once.
struct GreatCirclePlace {
    double latitude = 0;
    double longitude = 0;
    double latitudeCosine = 1;
};
[[nodiscard]] GreatCirclePlace GreatCirclePlaceOf(double latitude, double longitude);

// The same bits as GreatCircleMetres for the two points.
[[nodiscard]] double GreatCircleMetres(const GreatCirclePlace& from, const GreatCirclePlace& to);

// The speed in km/h, with six decimals, of `metres` covered in `seconds`
// (above zero), capped as CapAtTheFastestSpeed caps it: "13.499999".
[[nodiscard]] std::string DerivedSpeedText(double metres, double seconds);

// The sine of `x` radians, |x| at most a little over pi; the cosine of `x`,
// |x| at most a little over pi/2; the arcsine of `x` from 0 to 1. Within a
// few units in the last place of the true values, the same bits on every
// system. For the tests.
[[nodiscard]] double PortableSin(double x);
[[nodiscard]] double PortableCos(double x);
[[nodiscard]] double PortableAsin(double x);

}  // namespace routalo
