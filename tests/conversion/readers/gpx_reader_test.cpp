#include "conversion/readers/gpx_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/errors.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

struct Point {
    PointStep step;
    std::string latitude, longitude, speed, date, time;
    friend bool operator==(const Point&, const Point&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Point& p) {
        return out << int(p.step) << ' ' << p.latitude << ',' << p.longitude << ' ' << p.speed
                   << ' ' << p.date << 'T' << p.time;
    }
};

constexpr PointStep kNew = PointStep::kNewChain;
constexpr PointStep kNext = PointStep::kNextPoint;

// The points of a document, or the failure's cause as the last text.
std::pair<std::vector<Point>, std::string> ReadAll(const std::string& document) {
    const testing::ScratchFolder folder;
    TextInputFile log(folder.Write("rit.gpx", document));
    std::vector<Point> points;
    try {
        const std::unique_ptr<PointReader> reader = MakeGpxPointReader(log);
        TrackPoint point;
        for (PointStep step; (step = reader->Next(point)) != PointStep::kEnd;) {
            points.push_back(
                {step, point.Latitude, point.Longitude, point.Speed, point.Date, point.Time});
        }
    } catch (const ConversionError& error) {
        return {points, error.what()};
    }
    return {points, ""};
}

TEST(GpxPointReader, ReadsEveryTrackPointInItsChain) {
    const std::string gpx10 =
        R"(<?xml version="1.0"?><gpx version="1.0" xmlns="http://www.topografix.com/GPX/1/0">)"
        R"(<wpt lat="1" lon="1"/><rte><rtept lat="1" lon="1"/></rte><trk><trkseg>)"
        R"(<trkpt lat="52.2000" lon="5.1000"><time>2007-06-15T09:05:03Z</time><speed>3.5</speed></trkpt>)"
        "<trkpt lat=' 52.2005 ' "
        "lon=\"+5.1010\">\n<time><![CDATA[2007-06-15T11:05:08+02:00]]></time>"
        R"(<speed>10</speed></trkpt></trkseg><trkseg><trkpt lat="-1" lon="-2"><speed>0.25</speed>)"
        R"(</trkpt></trkseg></trk><trk><trkseg><trkpt lat="0" lon="0"/></trkseg></trk></gpx>)";
    const std::string gpx11 =
        R"(<g:gpx xmlns:g="http://www.topografix.com/GPX/1/1" xmlns:x="urn:x"><g:trk><g:trkseg>)"
        R"(<g:trkpt lat="10" lon="20"><g:extensions><x:TrackPointExtension><x:speed>2)"
        R"(</x:speed><x:speed>9</x:speed></x:TrackPointExtension></g:extensions></g:trkpt>)"
        R"(<g:trkpt lat="10" lon="20"><g:speed>1</g:speed><g:extensions><x:speed>2</x:speed>)"
        R"(</g:extensions></g:trkpt></g:trkseg></g:trk></g:gpx>)";
    // Derived from the positions and times: 0.001 degree along a meridian
    // in 10 s, 0.002 degree in 4 s; no time, or none later, keeps the speed
    // of the point before.
    const std::string derived =
        R"(<gpx><trk><trkseg><trkpt lat="0" lon="0"><time>2007-06-15T09:00:00Z</time></trkpt>)"
        R"(<trkpt lat="0.001" lon="0"><time>2007-06-15T09:00:10Z</time></trkpt>)"
        R"(<trkpt lat="0.001" lon="0"><time>2007-06-15T09:00:10Z</time></trkpt>)"
        R"(<trkpt lat="0.003" lon="0"><time>2007-06-15T09:00:14Z</time></trkpt>)"
        R"(<trkpt lat="0.004" lon="0"/></trkseg><trkseg><trkpt lat="1" lon="1"/>)"
        R"(<trkpt lat="1" lon="2"><time>2007-06-15T09:00:14Z</time></trkpt></trkseg></trk></gpx>)";
    // A negative speed is unknown: derived, or the one before. One beyond
    // the highest is capped. Times follow ReadIsoDateTime.
    const std::string values =
        R"(<gpx><trk><trkseg><trkpt lat="0" lon="0"><time>2016-12-31T23:59:50+0000</time>)"
        R"(<speed>-1</speed></trkpt><trkpt lat="0.001" lon="0"><time>2016-12-31T23:59:60Z</time>)"
        R"(<speed>-0.5</speed></trkpt><trkpt lat="0" lon="0"><speed>10000</speed></trkpt>)"
        R"(<trkpt lat="0" lon="0"><speed>-0</speed><time>2017-01-01T01:00:00.5+01</time></trkpt>)"
        R"(<trkpt lat="0" lon="0"><speed>-3</speed></trkpt></trkseg></trk></gpx>)";
    const std::string ulp =
        testing::ReadBytes(std::string(ROUTALO_SOURCE_DIR) + "/tests/conversion/readers/ulp.gpx");
    const std::pair<std::string, std::vector<Point>> cases[] = {
        {values,
         {{kNew, "0", "0", "0", "2016-12-31", "23:59:50"},
          {kNext, "0.001", "0", "40.030229", "2017-01-01", "00:00:00"},
          {kNext, "0", "0", "32767", "", ""},
          {kNext, "0", "0", "0", "2017-01-01", "00:00:00.5"},
          {kNext, "0", "0", "0", "", ""}}},
        {ulp,
         {{kNew, "16.612693499475398", "79.336053904925734", "0", "2007-06-15", "11:05:00"},
          {kNext, "16.612079089539453", "79.335957687373607", "13.499999", "2007-06-15",
           "11:05:18.422491293"}}},
        {gpx10,
         {{kNew, "52.2000", "5.1000", "12.6", "2007-06-15", "09:05:03"},
          {kNext, "52.2005", "+5.1010", "36", "2007-06-15", "09:05:08"},
          {kNew, "-1", "-2", "0.9", "", ""},
          {kNew, "0", "0", "0", "", ""}}},
        {gpx11, {{kNew, "10", "20", "7.2", "", ""}, {kNext, "10", "20", "3.6", "", ""}}},
        {derived,
         {{kNew, "0", "0", "0", "2007-06-15", "09:00:00"},
          {kNext, "0.001", "0", "40.030229", "2007-06-15", "09:00:10"},
          {kNext, "0.001", "0", "40.030229", "2007-06-15", "09:00:10"},
          {kNext, "0.003", "0", "200.151144", "2007-06-15", "09:00:14"},
          {kNext, "0.004", "0", "200.151144", "", ""},
          {kNew, "1", "1", "0", "", ""},
          {kNext, "1", "2", "0", "2007-06-15", "09:00:14"}}},
    };
    for (const auto& [document, points] : cases) {
        SCOPED_TRACE(document);
        EXPECT_EQ(ReadAll(document), std::make_pair(points, std::string()));
    }
}

TEST(GpxPointReader, FailsWithTheCauseAndWhereItStands) {
    const std::string head = "<gpx>\n<trk><trkseg>";
    const std::string tail = "</trkseg></trk></gpx>";
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i "
        "\"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
        "<gpx a=\"&i;\"><trk><trkseg><trkpt lat=\"1\" lon=\"1\"><name>&i;</name></trkpt>" +
        tail;
    const std::pair<std::string, std::string> cases[] = {
        {head + R"(<trkpt lat="90.0001" lon="0"/>)" + tail,
         "line 2, column 42: the lat \"90.0001\" is no number from -90 to 90"},
        {head + R"(<trkpt lat="1" lon="1e2"/>)" + tail,
         "line 2, column 38: the lon \"1e2\" is no number from -180 to 180"},
        {head + R"(<trkpt lat="1"/>)" + tail, "line 2, column 28: the track point has no lon"},
        {head + R"(<trkpt lat="1" lon="2"><time>yesterday</time></trkpt>)" + tail,
         "line 2, column 36: the time \"yesterday\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><speed>fast</speed></trkpt>)" + tail,
         "line 2, column 36: the speed \"fast\" is not a number"},
        {head + R"(<trkpt lat="1" lon="2"><speed> -1,5 </speed></trkpt>)" + tail,
         "line 2, column 36: the speed \" -1,5 \" is not a number"},
        {head + R"(<trkpt lat="1" lon="2"><time>2016-12-31T23:59:61Z</time></trkpt>)" + tail,
         "line 2, column 36: the time \"2016-12-31T23:59:61Z\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><time>2023-02-29T09:05:04</time></trkpt>)" + tail,
         "line 2, column 36: the time \"2023-02-29T09:05:04\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><time>2016-12-31T12:00:60Z</time></trkpt>)" + tail,
         "line 2, column 36: the time \"2016-12-31T12:00:60Z\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><time>2007-06-15T09:05:03Z</ti)",
         "line 2, column 67: expected '>'"},
        {head + R"(<trkpt lat="1" lon="2"></trkseg>)" + tail,
         "line 2, column 46: Opening and ending tag mismatch: trkpt line 2 and trkseg"},
        {head + tail + "<gpx/>", "line 2, column 35: Extra content at the end of the document"},
        {"<gpx><rte><rtept lat=\"1\" lon=\"1\"/></rte><trk><trkseg></trkseg></trk></gpx>",
         "the GPX document holds no track point"},
        {laughs, "line 2, column 15: the document declares a DTD, which is not read"},
        {"<!DOCTYPE gpx [<!ENTITY a \"b\">]><gpx>&a;</gpx>",
         "line 1, column 15: the document declares a DTD, which is not read"},
    };
    for (const auto& [document, cause] : cases) {
        SCOPED_TRACE(document.substr(0, 200));
        EXPECT_EQ(ReadAll(document).second, cause);
    }
}

}  // namespace
}  // namespace routalo
