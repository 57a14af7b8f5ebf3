#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/line_builder.h"
#include "conversion/track_point.h"
#include "conversion/xml_text.h"

// The pieces in which both layouts write a point, so that a coordinate or a
// time reads the same in either document: "5.1000,52.2000,0 " and
// "2007-06-15T09:05:03+00:00", each text as the reader found it, as XML text
// where it needs to be.
namespace routalo::kml_pieces {

inline constexpr std::string_view kCoordinateSeparator = ",";
inline constexpr std::string_view kAfterPoint = ",0 ";
inline constexpr std::string_view kDateTimeSeparator = "T";
inline constexpr std::string_view kTimeZone = "+00:00";

// Appends `text` as it stands when `safe`, as XML text otherwise.
inline void AppendText(std::string& line, std::string_view text, bool safe) {
    if (safe) {
        line.append(text);
    } else {
        AppendXmlText(line, text);
    }
}

// "5.1000,52.2000,0 ". A plain point's texts go in with one growth of the
// line and a few word moves (line_builder.h): most of a run's work.
inline void AppendCoordinates(std::string& line, const TrackPoint& point) {
    if (point.XmlSafe) {
        const std::size_t at = line.size();
        line.resize(at + point.Longitude.size() + kCoordinateSeparator.size() +
                    point.Latitude.size() + kAfterPoint.size());
        char* to = line.data() + at;
        to = Put(to, point.Longitude);
        to = Put(to, kCoordinateSeparator);
        to = Put(to, point.Latitude);
        Put(to, kAfterPoint);
        return;
    }
    AppendXmlText(line, point.Longitude);
    line.append(kCoordinateSeparator);
    AppendXmlText(line, point.Latitude);
    line.append(kAfterPoint);
}

// Whether the point has a time to write: a GPX point without a time has no
// date; a track log's point always has one ("--" when empty).
[[nodiscard]] inline bool HasTime(const TrackPoint& point) {
    return !point.Date.empty();
}

// "2007-06-15T09:05:03+00:00"
inline void AppendTime(std::string& line, const TrackPoint& point) {
    AppendText(line, point.Date, point.XmlSafe);
    line.append(kDateTimeSeparator);
    AppendText(line, point.Time, point.XmlSafe);
    line.append(kTimeZone);
}

}  // namespace routalo::kml_pieces
