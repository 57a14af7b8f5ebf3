#include "conversion/stats/trip_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/errors.h"
#include "conversion/speed_scheme.h"
#include "conversion/stats/trip_stats_thread.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

constexpr std::string_view kHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)\r\n";

// A point of a trip built for a test: its place in units of 10^-7 degrees,
// its speed in tenths of a km/h, and its time in whole seconds since 1970.
struct Point {
    std::int64_t latitude;
    std::int64_t longitude;
    std::int64_t speedTenths;
    std::int64_t seconds;
};

std::string DegreesText(std::int64_t units) {
    const std::string digits = std::to_string(std::abs(units) % 10'000'000 + 10'000'000);
    return (units < 0 ? "-" : "") + std::to_string(std::abs(units) / 10'000'000) + "." +
           digits.substr(1);
}

std::string SpeedText(std::int64_t tenths) {
    return std::to_string(tenths / 10) +
           (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "");
}

// The trip as a CSV log, its years as the logger writes them: two digits.
std::string CsvLog(const std::vector<Point>& points) {
    using namespace std::chrono;
    std::string log(kHeader);
    for (const Point& point : points) {
        const sys_seconds moment{seconds(point.seconds)};
        const sys_days day = floor<days>(moment);
        const year_month_day date(day);
        const hh_mm_ss<seconds> time(moment - day);
        log += DegreesText(point.longitude) + "," + DegreesText(point.latitude) + "," +
               SpeedText(point.speedTenths) + "," + std::to_string(unsigned(date.day())) + "/" +
               std::to_string(unsigned(date.month())) + "/" +
               std::to_string(int(date.year()) % 100) + "," + std::to_string(time.hours().count()) +
               ":" + std::to_string(time.minutes().count()) + ":" +
               std::to_string(time.seconds().count()) + ",0\r\n";
    }
    return log;
}

// The test's own distance: the haversine formula in long double, through
// the library's functions, on the sphere of the Earth's mean radius.
long double Metres(const Point& a, const Point& b) {
    const long double toRadians = 3.14159265358979323846264338327950288L / 180 / 10'000'000;
    const long double lat1 = a.latitude * toRadians;
    const long double lat2 = b.latitude * toRadians;
    const long double halfLat = std::sin((lat2 - lat1) / 2);
    const long double halfLon = std::sin((b.longitude - a.longitude) * toRadians / 2);
    const long double h = halfLat * halfLat + std::cos(lat1) * std::cos(lat2) * halfLon * halfLon;
    return 2 * 6'371'008.8L * std::asin(std::sqrt(h));
}

// "LABEL: VALUE UNIT" lines as label -> value.
std::map<std::string, double> Values(const std::string& text) {
    std::map<std::string, double> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t colon = line.find(": ");
        values[line.substr(0, colon)] = std::stod(line.substr(colon + 2));
    }
    return values;
}

class TripStatsTest : public ::testing::Test {
  protected:
    void SetUp() override { InitSpeedScheme(); }

    ConversionOutcome Convert(const std::string& log, ConversionRequest request = {}) {
        request.sourcePath = log;
        request.anyKindOfLog = true;
        request.withStats = true;
        request.withTimeInfo = true;
        return RunConversion(request);
    }

    ScratchFolder folder_;
};

// A trip with known legs: a drive at 36 km/h, a stop, a crawl on both sides
// of 1.8 km/h, ten minutes without signal across midnight and the new year,
// a ride at 12.5 km/h, one fast second. Each printed number against the
// test's own figures; the colours' times and distances add up exactly.
TEST_F(TripStatsTest, GivesEachNumberOfATripBuiltForIt) {
    std::vector<Point> points = {{520'000'000, 50'000'000, 0, 1'767'225'300}};  // 31/12/25 23:55
    const auto leg = [&](int count, std::int64_t north, std::int64_t east, std::int64_t tenths,
                         std::int64_t seconds) {
        for (int i = 0; i < count; ++i) {
            const Point& last = points.back();
            points.push_back(
                {last.latitude + north, last.longitude + east, tenths, last.seconds + seconds});
        }
    };
    leg(100, 899, 0, 360, 1);      // 10 m/s northwards
    leg(30, 0, 0, 0, 2);           // standing still
    leg(10, 0, 5, 17, 1);          // below walking pace: a stop
    leg(10, 0, 5, 18, 1);          // just moving
    leg(1, 180'000, 0, 500, 600);  // across the gap: 2 km in ten minutes
    leg(90, 0, 1000, 125, 2);      // 12.5 km/h eastwards, one point every 2 s
    leg(1, 330, 0, 1205, 1);       // the top speed, 120.5 km/h

    ConversionRequest request;
    request.gapMicroseconds = 60'000'000;
    const ConversionOutcome outcome = Convert(folder_.Write("trip.csv", CsvLog(points)), request);
    ASSERT_EQ(outcome.result, ConversionResult::kConverted) << outcome.cause;
    ASSERT_TRUE(outcome.figures);
    const std::string& text = *outcome.figures;
    std::map<std::string, double> values = Values(text);

    long double metres = 0;
    long double movingMetres = 0;
    std::int64_t moving = 0;
    std::map<std::int64_t, std::int64_t> secondsBySpeed;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const std::int64_t seconds = points[i].seconds - points[i - 1].seconds;
        if (seconds > 60) {
            continue;  // the gap
        }
        metres += Metres(points[i - 1], points[i]);
        if (points[i].speedTenths >= 18) {
            moving += seconds;
            movingMetres += Metres(points[i - 1], points[i]);
            secondsBySpeed[points[i].speedTenths] += seconds;
        }
    }
    const auto near = [&](const std::string& label, long double expected) {
        SCOPED_TRACE(label);
        ASSERT_EQ(values.count(label), 1U) << text;
        EXPECT_LE(std::abs(values[label] - expected), expected / 1000) << text;
    };
    near("distance", metres / 1000);
    EXPECT_EQ(values["elapsed time"], points.back().seconds - points.front().seconds);
    EXPECT_EQ(values["moving time"], moving);
    near("average moving speed", movingMetres / moving * 3.6L);
    near("top speed", 120.5L);

    // The legend's rows: 36 and 120.5 km/h red, 12.5 km/h (class 12)
    // ff00ffd9, 1.8 km/h (class 2) blue; every other row's time is zero.
    const std::map<std::string, std::int64_t> colourSeconds = {
        {"ff0000ff (20 km/h and faster)", secondsBySpeed[360] + secondsBySpeed[1205]},
        {"ff00ffd9 (11-12 km/h)", secondsBySpeed[125]},
        {"ffff0000 (2-3 km/h)", secondsBySpeed[18]}};
    std::int64_t colourTimes = 0;
    std::int64_t colourMetres = 0;
    const std::vector<LegendRow> rows = LegendRows(ClassRule());
    EXPECT_EQ(values.size(), 5 + 2 * rows.size()) << text;
    for (const LegendRow& row : rows) {
        const std::string label = row.colour + " (" + row.speeds + ")";
        const auto time = values.at("time in colour " + label);
        const auto known = colourSeconds.find(label);
        EXPECT_EQ(time, known == colourSeconds.end() ? 0 : known->second) << label;
        colourTimes += static_cast<std::int64_t>(time);
        colourMetres += std::llround(values.at("distance in colour " + label) * 1000);
    }
    EXPECT_EQ(colourTimes, values["moving time"]);
    EXPECT_EQ(colourMetres, std::llround(values["distance"] * 1000));

    // No line across the gap: one segment fewer than pairs of points.
    const std::string document = ReadBytes(folder_.File("trip.kml"));
    std::size_t segments = 0;
    for (std::size_t at = 0; (at = document.find("<Placemark>", at)) != std::string::npos; ++at) {
        ++segments;
    }
    EXPECT_EQ(segments, points.size() - 2);
}

// A log without times has a distance and nothing that needs a time; a log
// that fails has no figures.
TEST_F(TripStatsTest, LeavesOutWhatTheLogCannotTell) {
    const std::string gpx = folder_.Write(
        "route.gpx",
        R"(<gpx version="1.1"><trk><trkseg><trkpt lat="52" lon="5"/><trkpt lat="52.01" lon="5"/>)"
        R"(<trkpt lat="52.01" lon="5.01"/></trkseg></trk></gpx>)");
    const ConversionOutcome timeless = Convert(gpx);
    ASSERT_TRUE(timeless.figures);
    const std::string& text = *timeless.figures;
    const Point a{520'000'000, 50'000'000, 0, 0};
    const Point b{520'100'000, 50'000'000, 0, 0};
    const Point c{520'100'000, 50'100'000, 0, 0};
    const auto lines = Values(text);
    EXPECT_EQ(lines.size(), 1 + LegendRows(ClassRule()).size()) << text;
    EXPECT_NEAR(lines.at("distance"), (Metres(a, b) + Metres(b, c)) / 1000, 0.0005);
    EXPECT_EQ(lines.count("distance in colour ff000000 (0-1 km/h)"), 1U);

    const std::string bad = folder_.Write(
        "bad.csv", std::string(kHeader) + "5,52,1,1/1/25,1:1:1,0\r\n5,52,x,1/1/25,1:1:2,0\r\n");
    const ConversionOutcome failed = Convert(bad);
    EXPECT_EQ(failed.result, ConversionResult::kFailed);
    EXPECT_FALSE(failed.figures);
}

// With the figures, a document gains their table in its description, at the
// Document's end, and nothing else: the default layout a description of its
// own; the merged layout's legend moves there, the table after it.
TEST_F(TripStatsTest, PutsTheFiguresInTheDocumentsDescription) {
    const std::string log = std::string(kHeader) + "5,52,3,1/1/25,1:1:1,0\r\n" +
                            "5,52.001,30,1/1/25,1:1:11,0\r\n5,52.002,30.5,1/1/25,1:1:21,0\r\n";
    const std::pair<bool, bool> cases[] = {
        {false, false}, {false, true}, {true, false}, {true, true}};
    for (const auto& [merge, withTime] : cases) {
        SCOPED_TRACE(std::string(merge ? "merged" : "default") + (withTime ? ", --time" : ""));
        ConversionRequest request;
        request.sourcePath = folder_.Write("trip.csv", log);
        request.anyKindOfLog = true;
        request.merge = merge;
        request.withTimeInfo = withTime;
        ASSERT_EQ(RunConversion(request).result, ConversionResult::kConverted);
        std::string expected = ReadBytes(folder_.File("trip.kml"));
        request.withStats = true;
        const ConversionOutcome outcome = RunConversion(request);
        ASSERT_EQ(outcome.result, ConversionResult::kConverted) << outcome.cause;
        const std::string document = ReadBytes(folder_.File("trip.kml"));

        ASSERT_TRUE(outcome.figures);
        const std::string table = TripFiguresHtml(*outcome.figures);
        EXPECT_TRUE(table.starts_with("<table><tr><td>distance</td><td>0.222 km</td></tr>"))
            << table;
        const std::size_t end = expected.rfind("</Document></kml>");
        ASSERT_NE(end, std::string::npos);
        if (merge) {
            const std::size_t from = expected.find("<description>");
            const std::size_t to = expected.find("</description>\r\n") + 16;
            std::string legend = expected.substr(from, to - from);
            legend.insert(legend.find("]]></description>"), table);
            expected.insert(end, legend);
            expected.erase(from, to - from);
        } else {
            expected.insert(end, "<description><![CDATA[" + table + "]]></description>");
        }
        EXPECT_EQ(document, expected);
    }
}

// On its own thread the figures are those of TripStats on the same points,
// over batches and across their joins, chains and points in one place
// included; a speed that no class takes fails there and is reported.
TEST(TripStatsThread, GivesTheFiguresOfTripStats) {
    InitSpeedScheme();
    const ClassRule rule(*TopSpeed::Read("80"));
    TripStatsThread onThread(rule);
    TripStats direct(rule);
    PointClock clock;
    std::vector<TrackPoint> points(2 * TripStatsThread::kBatchPoints + 77);
    for (std::size_t i = 0; i < points.size(); ++i) {
        TrackPoint& point = points[i];
        point.Latitude = DegreesText(520'000'000 + static_cast<std::int64_t>(i / 3) * 250);
        point.Longitude = DegreesText(50'000'000 + static_cast<std::int64_t>(i) * 40);
        point.Speed = SpeedText(static_cast<std::int64_t>(i * 7 % 900));
        point.Date = i < 3000 ? "2025-12-31" : "2026-01-01";
        point.Time = "0" + std::to_string(i % 10) + ":1" + std::to_string(i % 7) + ":" +
                     std::to_string(10 + i % 50);
        const bool continues = i > 0 && i % 1000 != 0;
        onThread.Slot() = point;
        onThread.Take(continues);
        direct.Add(point, i > 0 ? points[i - 1] : point, clock.MomentOf(point), continues);
    }
    const TripFigures expected = direct.Figures();
    const TripFigures figures = onThread.Figures();
    EXPECT_EQ(figures.micrometres, expected.micrometres);
    EXPECT_EQ(figures.movingMicroseconds, expected.movingMicroseconds);
    EXPECT_EQ(figures.movingMicrometres, expected.movingMicrometres);
    EXPECT_EQ(figures.timed, expected.timed);
    EXPECT_EQ(figures.elapsedMicroseconds, expected.elapsedMicroseconds);
    EXPECT_EQ(figures.topWhole, expected.topWhole);
    EXPECT_EQ(figures.topFraction, expected.topFraction);
    EXPECT_GT(figures.movingMicrometres, 0);

    TripStatsThread failing(rule);
    failing.Slot() = points[0];
    failing.Take(false);
    failing.Slot() = points[0];
    failing.Slot().Speed = "fast";
    failing.Take(true);
    EXPECT_THROW((void)failing.Figures(), SpeedError);
}

// A point's time, as the readers write it.
TEST(PointClock, ReadsTheMomentsOfPoints) {
    const std::tuple<std::string, std::string, std::int64_t> cases[] = {
        {"2007-06-15", "09:05:08", 1'181'898'308'000'000},
        {"07-06-15", "09:05:08", 1'181'898'308'000'000},  // YY is 20yy
        {"7-06-15", "09:05:08.1234567", 1'181'898'308'123'456},
        {"2024-02-29", "23:59:60", 1'709'251'200'000'000},
        {"2024-02-28", "24:00:00", 1'709'164'800'000'000},
        {"0001-01-01", "00:00:00", -62'135'596'800'000'000},
        {"2023-02-29", "09:05:08", kNoMoment},
        {"2007-13-01", "09:05:08", kNoMoment},
        {"207-06-15", "09:05:08", kNoMoment},
        {"211111111111007-06-07", "09:05:03", kNoMoment},
        {"--", "::", kNoMoment},
        {"", "", kNoMoment},
        {"2007-06-15", "24:00:01", kNoMoment},
        {"2007-06-15", "12:59:60", kNoMoment},
        {"2007-06-15", "09:05:08.", kNoMoment},
        {"2007-06-15", "9:05:08", kNoMoment},
    };
    for (const auto& [date, time, moment] : cases) {
        SCOPED_TRACE(date + "T" += time);
        TrackPoint point;
        point.Date = date;
        point.Time = time;
        PointClock clock;
        EXPECT_EQ(clock.MomentOf(point), moment);
        EXPECT_EQ(clock.MomentOf(point), moment);  // the day as kept
    }
}

// The top of the range: 99% of the moving time at or below it, in steps of
// 5 km/h, from 5 to 1000; stops and a spike do not count.
TEST(MovingTimeBySpeed, TakesTheSpeedBelowWhich99PercentOfTheMovingTimeWasSpent) {
    const std::pair<std::vector<std::pair<std::string, std::int64_t>>, std::optional<int>> cases[] =
        {
            {{}, std::nullopt},
            {{{"0", 100}, {"1.79", 100}}, std::nullopt},
            {{{"1.8", 100}}, 5},
            {{{"50", 99}, {"50.0001", 1}}, 50},
            {{{"50", 98}, {"50.0001", 2}}, 55},
            {{{"80", 9900}, {"1000", 100}}, 80},
            {{{"80", 9899}, {"999.9", 101}}, 1000},
            {{{"32767", 1}}, 1000},
            {{{"6e1", 1}, {"-3", 5}}, 60},
        };
    for (const auto& [segments, top] : cases) {
        MovingTimeBySpeed speeds;
        for (const auto& [speed, microseconds] : segments) {
            speeds.Add(speed, microseconds);
        }
        EXPECT_EQ(speeds.TopSpeedKmh(), top) << ::testing::PrintToString(segments);
    }
}

// A drive of an hour between 0 and 120 km/h: auto takes the 99% point that
// the test finds on its own, and one 1,000 km/h spike moves it by 5 km/h at
// most.
TEST_F(TripStatsTest, KeepsTheRangeOfADriveWithASpike) {
    std::vector<Point> drive;
    for (std::int64_t t = 0; t <= 3600; ++t) {
        const auto tenths =
            static_cast<std::int64_t>(600 + 600 * std::sin(static_cast<double>(t) / 300));
        drive.push_back({520'000'000 + t * 300, 50'000'000, tenths, 1'700'000'000 + t});
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> moving;
    for (std::size_t i = 1; i < drive.size(); ++i) {
        if (drive[i].speedTenths >= 18) {
            moving.emplace_back(drive[i].speedTenths, 1);
        }
    }
    std::ranges::sort(moving);
    std::int64_t counted = 0;
    std::int64_t percentile = 0;
    for (const auto& [tenths, seconds] : moving) {
        counted += seconds;
        if (counted * 100 >= static_cast<std::int64_t>(moving.size()) * 99) {
            percentile = tenths;
            break;
        }
    }
    const int expected = static_cast<int>((percentile + 49) / 50 * 5);

    ConversionRequest request;
    request.topSpeedFromTrip = true;
    const ConversionOutcome plain = Convert(folder_.Write("drive.csv", CsvLog(drive)), request);
    ASSERT_EQ(plain.result, ConversionResult::kConverted) << plain.cause;
    EXPECT_EQ(plain.tripTopSpeed, expected);

    drive[1800].speedTenths = 10'000;
    const ConversionOutcome spiked = Convert(folder_.Write("spike.csv", CsvLog(drive)), request);
    ASSERT_TRUE(spiked.tripTopSpeed);
    EXPECT_LE(std::abs(*spiked.tripTopSpeed - expected), 5);
    EXPECT_EQ(Values(*spiked.figures).at("top speed"), 1000);  // the spike is still the top speed
}

}  // namespace
}  // namespace routalo
