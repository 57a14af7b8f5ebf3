#include "conversion/readers/tcx_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/readers/reader_factory.h"
#include "tests/support/read_points.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using Point = testing::ReadPoint;

// Every point of `document`, told and read as the run reads it, and the
// cause of a failure.
std::pair<std::vector<Point>, std::string> ReadAll(const std::string& document,
                                                   std::string* name = nullptr) {
    const testing::ScratchFolder folder;
    TextInputFile log(folder.Write("rit.tcx", document));
    std::vector<Point> points;
    try {
        const LogStart start = TellLogKind(log);
        if (start.kind != LogKind::kTcx) {
            return {points, "not told as TCX"};
        }
        const std::unique_ptr<PointReader> reader = MakePointReader(start, log);
        testing::ReadPoints(*reader, points);
        if (name != nullptr) {
            *name = reader->TrackName();
        }
    } catch (const ConversionError& error) {
        // A failure in the document keeps its place apart from its problem,
        // for the run to put in front of it.
        EXPECT_NE(dynamic_cast<const LogError*>(&error), nullptr) << error.Cause();
        return {points, CauseWithPlace(error)};
    }
    return {points, ""};
}

constexpr PointStep kNew = PointStep::kNewChain;
constexpr PointStep kNext = PointStep::kNextPoint;

std::string Tcx(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrainingCenterDatabase "
           "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\">" +
           body + "</TrainingCenterDatabase>";
}

std::string Trackpoint(const std::string& time, const std::string& lat, const std::string& lon,
                       const std::string& speed = "") {
    std::string point = "<Trackpoint><Time>" + time + "</Time>";
    if (!lat.empty()) {
        point += "<Position><LatitudeDegrees>" + lat + "</LatitudeDegrees><LongitudeDegrees>" +
                 lon + "</LongitudeDegrees></Position>";
    }
    point += "<AltitudeMeters>3</AltitudeMeters>";
    if (!speed.empty()) {
        point +=
            "<Extensions><TPX xmlns=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\">"
            "<Speed>" +
            speed + "</Speed></TPX></Extensions>";
    }
    return point + "</Trackpoint>";
}

// Activities, the sports of a multi-sport session and courses alike: every
// Track a chain, points without a Position left out.
TEST(TcxPointReader, ReadsEveryTrackpointWithAPositionInEveryTrack) {
    const std::string lap1 = "<Lap StartTime=\"2008-07-29T23:59:40Z\"><Track>" +
                             Trackpoint("2008-07-29T23:59:40Z", "52.0907370", "5.1214200", "1.5") +
                             Trackpoint("2008-07-29T23:59:41Z", "", "") +
                             Trackpoint("2008-07-30T01:59:42+02:00", " 52.0909 ", "+5.1216", "-1") +
                             "</Track></Lap>";
    const std::string lap2 = "<Lap><Track>" + Trackpoint("2008-07-30T00:00:00Z", "-1", "-2", "3") +
                             "</Track><Track>" + Trackpoint("2008-07-30T00:00:01Z", "-1", "-2") +
                             "</Track></Lap>";
    const std::vector<Point> expected = {
        {kNew, "52.0907370", "5.1214200", "5.4", "2008-07-29", "23:59:40"},
        // no speed of its own: derived over the two seconds since the first
        {kNext, "52.0909", "+5.1216", "39.425231", "2008-07-29", "23:59:42"},
        {kNew, "-1", "-2", "10.8", "2008-07-30", "00:00:00"},
        {kNew, "-1", "-2", "0", "2008-07-30", "00:00:01"},
    };
    const std::string history = Tcx("<Activities><Activity Sport=\"Biking\"><Id>x</Id>" + lap1 +
                                    lap2 + "</Activity></Activities>");
    const std::string multiSport =
        Tcx("<Activities><MultiSportSession><Id>x</Id><FirstSport><Activity Sport=\"Running\">" +
            lap1 + "</Activity></FirstSport><NextSport><Activity Sport=\"Biking\">" + lap2 +
            "</Activity></NextSport></MultiSportSession></Activities>");
    std::string name = "?";
    EXPECT_EQ(ReadAll(history, &name), std::make_pair(expected, std::string()));
    EXPECT_EQ(name, "");
    EXPECT_EQ(ReadAll(multiSport), std::make_pair(expected, std::string()));
    // Blank space before the declaration reads as none; the course names
    // the track.
    const std::string course =
        " \r\n\t" +
        Tcx("<Courses><Course><Name> Rondje </Name>" +
            lap1.substr(lap1.find("<Track>"), lap1.find("</Lap>") - lap1.find("<Track>")) +
            "</Course></Courses>");
    EXPECT_EQ(
        ReadAll(course, &name),
        std::make_pair(std::vector<Point>(expected.begin(), expected.begin() + 2), std::string()));
    EXPECT_EQ(name, "Rondje");
    // No point with a position: no point, which the run fails.
    EXPECT_EQ(ReadAll(Tcx("<Activities/>")), std::make_pair(std::vector<Point>(), std::string()));
}

TEST(TcxPointReader, FailsWithTheCauseAndWhereItStands) {
    const auto track = [](const std::string& points) {
        return Tcx("<Courses><Course><Track>\n" + points + "</Track></Course></Courses>");
    };
    const std::pair<std::string, std::string> cases[] = {
        {track(Trackpoint("2008-07-29T23:59:40Z", "90.1", "5")),
         "line 3, column 1: the LatitudeDegrees \"90.1\" is no number from -90 to 90"},
        {track(Trackpoint("2008-07-29T23:59:40Z", "9", "1e2")),
         "line 3, column 1: the LongitudeDegrees \"1e2\" is no number from -180 to 180"},
        {track("<Trackpoint><Position><LatitudeDegrees>1</LatitudeDegrees></Position>"
               "</Trackpoint>"),
         "line 3, column 1: the Position has no LongitudeDegrees"},
        {track(Trackpoint("yesterday", "9", "5")),
         "line 3, column 1: the time \"yesterday\" is no ISO 8601 date-time"},
        {track(Trackpoint("2008-07-29T23:59:40Z", "9", "5", "fast")),
         "line 3, column 1: the speed \"fast\" is not a number"},
    };
    for (const auto& [document, cause] : cases) {
        EXPECT_EQ(ReadAll(document).second, cause) << document;
    }
}

}  // namespace
}  // namespace routalo
