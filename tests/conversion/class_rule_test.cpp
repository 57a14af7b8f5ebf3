#include "conversion/class_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/speed_scheme.h"

namespace routalo {
namespace {

// The legend's rows, "colour speeds", for each rule: the speeds of the
// default scheme are rounded km/h, above 25 in class 24; under a top speed
// they are the exact limits between the classes, half a class below each.
TEST(ClassRule, WordsTheSpeedsOfEachColourOfTheLegend) {
    InitSpeedScheme();
    const auto rule = [](const char* topSpeed) {
        return topSpeed == nullptr ? ClassRule() : ClassRule(*TopSpeed::Read(topSpeed));
    };
    const struct {
        const char* topSpeed;
        std::vector<std::string> rows;
    } cases[] = {
        {nullptr,
         {"ff000000 0-1 km/h", "ffff0000 2-3 km/h", "ffff7700 4-6 km/h", "ff00ff6a 7-8 km/h",
          "ff00ff37 9-10 km/h", "ff00ffd9 11-12 km/h", "ff00eaff 13-16 km/h", "ff0077ff 17-19 km/h",
          "ff0000ff 20 km/h and faster"}},
        {"130",
         {"ff000000 0-7.8 km/h", "ffff0000 7.8-18.2 km/h", "ffff7700 18.2-33.8 km/h",
          "ff00ff6a 33.8-44.2 km/h", "ff00ff37 44.2-54.6 km/h", "ff00ffd9 54.6-65 km/h",
          "ff00eaff 65-85.8 km/h", "ff0077ff 85.8-101.4 km/h", "ff0000ff 101.4 km/h and faster"}},
        {"42.5",
         {"ff000000 0-2.55 km/h", "ffff0000 2.55-5.95 km/h", "ffff7700 5.95-11.05 km/h",
          "ff00ff6a 11.05-14.45 km/h", "ff00ff37 14.45-17.85 km/h", "ff00ffd9 17.85-21.25 km/h",
          "ff00eaff 21.25-28.05 km/h", "ff0077ff 28.05-33.15 km/h",
          "ff0000ff 33.15 km/h and faster"}},
    };
    for (const auto& [topSpeed, expected] : cases) {
        SCOPED_TRACE(topSpeed == nullptr ? "default" : topSpeed);
        std::vector<std::string> rows;
        for (const LegendRow& row : LegendRows(rule(topSpeed))) {
            rows.push_back(row.colour + " " + row.speeds);
        }
        EXPECT_EQ(rows, expected);
    }

    // A placemark's name: the speeds of its class alone.
    const struct {
        const char* topSpeed;
        int speedClass;
        const char* speeds;
    } names[] = {
        {nullptr, 0, "0 km/h"},
        {nullptr, 23, "23 km/h"},
        {nullptr, 24, "24 km/h or 26 km/h and faster"},
        {nullptr, 25, "25 km/h"},
        {"130", 0, "0-2.6 km/h"},
        {"130", 24, "122.2-127.4 km/h"},
        {"130", 25, "127.4 km/h and faster"},
        {"1", 1, "0.02-0.06 km/h"},
    };
    for (const auto& [topSpeed, speedClass, speeds] : names) {
        EXPECT_EQ(rule(topSpeed).SpeedsOf(speedClass, speedClass), speeds);
    }
}

}  // namespace
}  // namespace routalo
