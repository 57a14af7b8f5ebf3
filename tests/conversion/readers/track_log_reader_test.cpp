#include "conversion/readers/track_log_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "conversion/errors.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

// The point that one log line gives.
TrackPoint Read(std::string_view line) {
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", std::string(line) + "\r\n"));
    CrLineInput log(file);
    return ReadTrackPoint(log);
}

TrackPoint Point(std::string latitude, std::string longitude, std::string speed, std::string date,
                 std::string time) {
    return {std::move(latitude), std::move(longitude), std::move(speed), std::move(date),
            std::move(time)};
}

TEST(ReadTrackPoint, ReadsTheWorkedExamples) {
    EXPECT_EQ(Read("5.123456,52.654321,12,7/6/2007,9:05:03,120"),
              Point("52.654321", "5.123456", "12", "2007-06-07", "09:05:03"));
    EXPECT_EQ(Read("  4.9 , 52.3 , 7.5 ,21/12/07,14:30:59,35.2"),
              Point("52.3", "4.9", "7.5", "07-12-21", "14:30:59"));
    EXPECT_EQ(Read("5.1, 52.6, 12, 7/6/2007, 9:05:03, 120"),
              Point("52.6", "5.1", "12", "2007-06- 7", " 9:05:03"));
    EXPECT_EQ(Read("5.1,52.6,12,7/6/2007,9:5:3,,extra"),
              Point("52.6", "5.1", "12", "2007-06-07", "09:05:03"));
    EXPECT_EQ(Read(",,,//,::,"), Point("", "", "", "--", "::"));
}

TEST(ReadTrackPoint, GivesASkipPointForALineWithoutComma) {
    for (const std::string line : {"", "     ", "garbage", "1;2;3;4/5/6;7:8:9;0", "\t"}) {
        const TrackPoint point = Read(line);
        EXPECT_EQ(point, Point("einde", "", "", "", "")) << '"' << line << '"';
        EXPECT_TRUE(IsSkipPoint(point));
    }
    // A latitude that reads "einde" cannot be told from a skip point.
    EXPECT_TRUE(IsSkipPoint(Read("5.1, einde ,12,7/6/2007,9:05:03,1")));
}

TEST(ReadTrackPoint, FailsWhenASeparatorIsMissing) {
    for (const char* line : {
             "5.1,52.6,12,7/6/2007,9:05:03",    // no "," in front of the distance
             "5.1,52.6,12,7/6/2007",            // no time at all
             "5.1,52.6,12,7-6-2007,9:05:03,1",  // date without "/"
             "5.1,52.6,12,7/6/2007,9.05.03,1",  // time without ":"
             "5.1,52.6",
         }) {
        EXPECT_THROW((void)Read(line), TrackLogError) << line;
    }
}

TEST(ReadTrackPoint, SearchesPastTheEndOfAColumn) {
    // The second "/" is missing from the date; the search goes on into the
    // time, and the pieces shift.
    EXPECT_EQ(Read("1,2,3,7/6,9/5:3,1:2:3,x"), Point("2", "1", "3", "5:3-6,9-07", "01:02:03"));
}

TEST(ReadTrackPoint, TakesOnlySpacesOffAndOnlyOffTheFirstThreeValues) {
    EXPECT_EQ(Read("\t5.1 ,\t52.6\t, 12\t,7/6/2007,9:05:03,1"),
              Point("\t52.6\t", "\t5.1", "12\t", "2007-06-07", "09:05:03"));
    EXPECT_EQ(Read("1,2,3, 7 / 6 / 2007 ,9:05:03,1"),
              Point("2", "1", "3", " 2007 - 6 - 7 ", "09:05:03"));
}

TEST(ReadTrackPoint, WidensOnlyPiecesOfOneCharacter) {
    EXPECT_EQ(Read("1,2,3,2007/6/7,14:123:5,0"), Point("2", "1", "3", "7-06-2007", "14:123:05"));
    EXPECT_EQ(Read("1,2,3,7/6/7,1:2:3,0").Date, "7-06-07");
    // One character, two bytes in UTF-8; one byte in Windows-1252.
    EXPECT_EQ(Read("1,2,3,\xC3\xA9/6/7,1:2:3,0").Date, "7-06-0\xC3\xA9");
    EXPECT_EQ(Read("1,2,3,\xE9/6/7,1:2:3,0").Date, "7-06-0\xC3\xA9");
}

TEST(ReadTrackPoint, TakesALineThatIsNotUtf8AsWindows1252) {
    // The whole line decides: a stray byte in the distance column makes the
    // latitude's two bytes two Windows-1252 characters.
    EXPECT_EQ(Read("1,\xC3\xA9,3,7/6/7,1:2:3,ok").Latitude, "\xC3\xA9");
    EXPECT_EQ(Read("1,\xC3\xA9,3,7/6/7,1:2:3,\xFF").Latitude, "\xC3\x83\xC2\xA9");
    EXPECT_EQ(Read("\x80,\x81\x9D,3,7/6/7,1:2:3,0").Longitude, "\xE2\x82\xAC");
    EXPECT_EQ(Read("\x80,\x81\x9D,3,7/6/7,1:2:3,0").Latitude, "\xC2\x81\xC2\x9D");
}

// Separator positions count from 1 in 16 bits: 32767 is the last one allowed.
TEST(ReadTrackPoint, AcceptsSeparatorsUpToPosition32767) {
    const std::string longitude(32766, '5');
    EXPECT_EQ(Read(longitude + ",2,3,7/6/7,1:2:3,0").Longitude, longitude);
    const std::string date(32766, '9');
    EXPECT_EQ(Read("1,2,3,7/6/" + date + ",1:2:3,0").Date, date + "-06-07");
}

TEST(ReadTrackPoint, FailsOnASeparatorAtPosition32768OrLater) {
    EXPECT_THROW((void)Read(std::string(32767, '5') + ",2,3,7/6/7,1:2:3,0"), TrackLogError);
    EXPECT_THROW((void)Read("1,2,3,7/6/7,1:2:" + std::string(32767, '3') + ",0"), TrackLogError);
    EXPECT_THROW((void)Read(std::string(500000, 'x') + ",2,3,7/6/7,1:2:3,0"), TrackLogError);
}

TEST(ReadTrackPoint, CountsPositionsFromTheFirstCharacterThatIsNoSpace) {
    const std::string spaces(400000, ' ');
    EXPECT_EQ(Read(spaces + "1,2,3,7/6/7,1:2:3,0"), Point("2", "1", "3", "7-06-07", "01:02:03"));
    // A line of any length without "," is a skip point.
    EXPECT_TRUE(IsSkipPoint(Read(std::string(1'000'000, 'x'))));
}

TEST(ReadTrackPoint, ConsumesExactlyOneLinePerCall) {
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", "1,2,3,7/6/7,1:2:3,0\r\n\r\n4,5,6,8/9/10,4:5:6,0"));
    CrLineInput log(file);
    EXPECT_EQ(ReadTrackPoint(log).Longitude, "1");
    EXPECT_TRUE(IsSkipPoint(ReadTrackPoint(log)));
    EXPECT_EQ(ReadTrackPoint(log).Longitude, "4");
    EXPECT_TRUE(log.AtEnd());
    EXPECT_THROW((void)ReadTrackPoint(log), FileRefused);
}

// A point may be marked safe to write as it stands only when no text of it
// needs escaping; a mark wrongly set would put raw "&" or "<" in documents.
TEST(ReadTrackPoint, MarksOnlyPlainLinesAsSafeToWriteAsTheyStand) {
    EXPECT_TRUE(Read("  5.1 , 52.6,12,7/6/2007,9:05:03,120").XmlSafe);
    EXPECT_TRUE(Read("5.1,52.6,12,7/6/2007,9:05:03,1," + std::string(100, '9')).XmlSafe);
    for (const std::string_view line : {
             "5.1&,52.6,12,7/6/2007,9:05:03,1",
             "5.1,52.6,12,7/6/2007,9:05:03,<extra>",  // past the texts, yet in the line
             "5.1,52.6,12,7/6/2007>,9:05:03,1",
             "5.1,52.6\t,12,7/6/2007,9:05:03,1",
             "5.1,52.6,12,7/6/2007,9:05:03\x01,1",
             "5.1,52.6,12,7/6/2007,9:05:\xC3\xA9,1",
             "5.1,52.6,12,7/6/2007,9:05:\xE9,1",
         }) {
        EXPECT_FALSE(Read(line).XmlSafe) << line;
    }
    EXPECT_FALSE(Read("no comma here").XmlSafe);
}

// Lines that lie across the edge of the log's buffer read as any other.
TEST(ReadTrackPoint, ReadsLinesAcrossTheEdgeOfTheBuffer) {
    const std::string line = "  5.123456 , 52.654321,12,7/6/2007,9:05:03,120";
    std::string text;
    std::size_t lines = 0;
    for (; text.size() < std::size_t{600} * 1024; ++lines) {
        text += line + (lines % 2 == 0 ? "\r\n" : "\r");
    }
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", text));
    CrLineInput log(file);
    const TrackPoint expected = Read(line);
    for (std::size_t i = 0; i < lines; ++i) {
        ASSERT_EQ(ReadTrackPoint(log), expected) << i;
    }
    EXPECT_TRUE(log.AtEnd());
}

// A point read into the one before it carries nothing of that point over.
TEST(ReadTrackPoint, ReadsIntoAnEarlierPointAsIntoANewOne) {
    const std::vector<std::string> lines = {
        std::string(5000, '7') + ",52.6,12,17/12/2007,19:05:33,1",
        "5.1,52.6,12,7/6/7,9:5:3,0",
        "no comma here",
        "\xE9,\xE9,3,7/6/7,1:2:3,0",
        "1,2,3,4/5/6,7:8:9,0",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", text));
    CrLineInput log(file);
    TrackPoint reused;
    for (const std::string& line : lines) {
        ReadTrackPoint(log, reused);
        EXPECT_EQ(reused, Read(line)) << line.substr(0, 40);
    }
}

// A log still being written may end in the CR of its header's CR LF for a
// while: the LF that comes later ends the header, and is no text of the
// first point.
TEST(TrackLogPointReader, TakesTheLineFeedOfTheHeaderThatComesLater) {
    const ScratchFolder folder;
    const std::string path = folder.Write("log.csv", std::string(kTrackLogHeader) + "\r");
    TextInputFile log(path);
    TrackLogPointReader reader(log);
    EXPECT_EQ(reader.HeaderProblem(), std::nullopt);
    std::ofstream(path, std::ios::app | std::ios::binary) << "\n5.1,52.6,12,7/6/7,9:5:3,0\r\n";
    TrackPoint point;
    EXPECT_EQ(reader.Next(point), PointStep::kNewChain);
    EXPECT_EQ(point, Read("5.1,52.6,12,7/6/7,9:5:3,0"));
    EXPECT_EQ(reader.Next(point), PointStep::kEnd);
}

}  // namespace
}  // namespace routalo
