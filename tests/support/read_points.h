#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "conversion/readers/point_reader.h"
#include "conversion/track_point.h"

namespace routalo::testing {

// A point as a reader handed it, with the step that read it.
struct ReadPoint {
    PointStep step;
    std::string latitude, longitude, speed, date, time;
    friend bool operator==(const ReadPoint&, const ReadPoint&) = default;
    friend std::ostream& operator<<(std::ostream& out, const ReadPoint& p) {
        return out << (p.step == PointStep::kNewChain ? "new " : "next ") << p.latitude << " "
                   << p.longitude << " " << p.speed << " " << p.date << " " << p.time;
    }
};

// Appends every point that `reader` gives to `points`, up to the end; what
// the reader throws is passed on, with the points before it kept.
template <typename Reader>
void ReadPoints(Reader& reader, std::vector<ReadPoint>& points) {
    TrackPoint point;
    for (PointStep step; (step = reader.Next(point)) != PointStep::kEnd;) {
        points.push_back(
            {step, point.Latitude, point.Longitude, point.Speed, point.Date, point.Time});
    }
}

}  // namespace routalo::testing
