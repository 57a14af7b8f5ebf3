#pragma once

#include <optional>

#include "conversion/errors.h"
#include "conversion/readers/utc_time.h"
#include "conversion/speed_class.h"
#include "conversion/track_point.h"
#include "tests/fuzz/fuzz_check.h"

namespace routalo::fuzz {

// What every reader's point must hold, whatever the log: a time stamp that
// is whole or missing, and a valid date-time in UTC where there is one, and
// a speed that the classes take.
inline void RequireTimeAndSpeed(const TrackPoint& point) {
    Require(point.Date.empty() == point.Time.empty(), "a time stamp is whole or missing");
    if (!point.Date.empty()) {
        const std::optional<UtcTime> time = ReadIsoDateTime(point.Date + "T" + point.Time + "Z");
        Require(time && time->date == point.Date && time->time == point.Time,
                "a time stamp is a valid date-time in UTC");
    }
    try {
        (void)SpeedClassOf(point.Speed);
    } catch (const SpeedError&) {
        Require(false, "a speed has a class");
    }
}

}  // namespace routalo::fuzz
