#pragma once

#include <string>
#include <string_view>

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

// GreatCircleMetres for the segments of a log, which are short: two points
// within some 6 km of each other north-south and east-west take the first
// three terms of the sines' and the arcsine's series, whose rest lies below
// 10^-18 of the value, and so a few units in the last place from
// GreatCircleMetres; points further apart take GreatCircleMetres itself. The
// same bits on every system, at a fraction of the cost: for the sums of a
// trip's figures, not for a speed that picks a class.
[[nodiscard]] double SegmentMetres(const GreatCirclePlace& from, const GreatCirclePlace& to);

// The cosines of a log's latitudes, for SegmentMetres: a latitude within
// some 12 km of the last one whose sine and cosine were worked out (the
// anchor) takes its cosine from theirs by the angle-sum formula, within a
// few units in the last place of PortableCos; one further away becomes the
// anchor. The same bits on every system for the same latitudes in the same
// order.
class LatitudeCosines {
  public:
    [[nodiscard]] double Of(double latitude);

  private:
    double anchor_ = 0;  // radians
    double sine_ = 0;
    double cosine_ = 1;
};

// The speed in km/h, with six decimals, of `metres` covered in `seconds`
// (above zero), capped as CapAtTheFastestSpeed caps it: "13.499999".
[[nodiscard]] std::string DerivedSpeedText(double metres, double seconds);

// Reads a coordinate's text, as a reader's limits let it through, as a
// double. from_chars rounds correctly, the same on every system; it takes no
// "+", which xsd:decimal allows, so the "+" is passed over here.
bool ReadDegrees(std::string_view text, double& degrees);

// DerivedSpeedText of the great-circle distance between two points, given
// by their coordinates' texts (each one that ReadDegrees reads), covered in
// `seconds`: the speed of a log that gives no speed of its own.
[[nodiscard]] std::string DerivedSpeedBetween(std::string_view fromLatitude,
                                              std::string_view fromLongitude,
                                              std::string_view toLatitude,
                                              std::string_view toLongitude, double seconds);

// The sine of `x` radians, |x| at most a little over pi; the cosine of `x`,
// |x| at most a little over pi/2; the arcsine of `x` from 0 to 1. Within a
// few units in the last place of the true values, the same bits on every
// system. For the tests.
[[nodiscard]] double PortableSin(double x);
[[nodiscard]] double PortableCos(double x);
[[nodiscard]] double PortableAsin(double x);

}  // namespace routalo
