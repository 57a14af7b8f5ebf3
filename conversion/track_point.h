#pragma once

#include <string>

namespace routalo {

// One data line of a track log, as text. Copying copies the five texts.
struct TrackPoint {
    std::string Latitude;   // second column, or kSkipMark for a line without ","
    std::string Longitude;  // first column
    std::string Speed;      // third column, km/h
    std::string Date;       // year-month-day, month and day widened to two characters
    std::string Time;       // hours:minutes:seconds, each widened to two characters

    // True when the reader found nothing in the line that XML text must
    // escape or replace, so that the texts may be written as they stand.
    // False says nothing either way: the texts are then checked as written.
    // Whoever changes a text of a point marked so must clear the mark.
    bool XmlSafe = false;

    // Points are equal when their texts are; XmlSafe only saves work.
    friend bool operator==(const TrackPoint& a, const TrackPoint& b) {
        return a.Latitude == b.Latitude && a.Longitude == b.Longitude && a.Speed == b.Speed &&
               a.Date == b.Date && a.Time == b.Time;
    }
};

// The Latitude of a point read from a line that holds no ",". Such points
// are skipped; a line whose latitude reads "einde" looks the same.
inline constexpr const char* kSkipMark = "einde";

[[nodiscard]] inline bool IsSkipPoint(const TrackPoint& point) {
    return point.Latitude == kSkipMark;
}

}  // namespace routalo
