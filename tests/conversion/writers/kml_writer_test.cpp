#include "conversion/writers/kml_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "conversion/errors.h"
#include "conversion/speed_scheme.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

// Runs `write` on a writer over a fresh document and returns its lines
// (without their CR LF).
template <typename Write>
std::vector<std::string> Written(Write&& write) {
    InitSpeedScheme();
    const ScratchFolder folder;
    {
        TextOutputFile document(folder.File("doc.kml"));
        KmlWriter writer(document);
        write(writer);
        document.Close();
    }
    const std::string bytes = testing::ReadBytes(folder.File("doc.kml"));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TrackPoint At(std::string longitude, std::string latitude, std::string speed = "12") {
    return {std::move(latitude), std::move(longitude), std::move(speed), "2007-06-15", "09:05:03"};
}

TEST(KmlWriter, WritesAHeadOfTwentyNineLines) {
    const auto lines = Written([](KmlWriter& writer) { writer.WriteKmlHeader("Rit"); });
    ASSERT_EQ(lines.size(), 29U);
    EXPECT_EQ(
        lines[0],
        R"(<?xml version="1.0" encoding="UTF-8"?><kml xmlns="http://earth.google.com/kml/2.1">)");
    EXPECT_EQ(lines[1], "<Document><name>Rit</name>");
    EXPECT_EQ(
        lines[4],
        R"(<Style id="c2"><LineStyle><color>ffff0000</color><width>1</width></LineStyle></Style>)"
        R"(<StyleMap id="c_2"><Pair><key>normal</key><styleUrl>#c2</styleUrl></Pair>)"
        R"(<Pair><key>highlight</key><styleUrl>#c2</styleUrl></Pair></StyleMap>)");
    EXPECT_EQ(lines[28], "<Folder><name>Tracklogs</name><open>1</open>");
}

TEST(KmlWriter, WritesTheTrackNameAsXmlText) {
    EXPECT_EQ(Written([](KmlWriter& w) { w.WriteKmlHeader(""); })[1], "<Document><name></name>");
    EXPECT_EQ(Written([](KmlWriter& w) { w.WriteKmlHeader("A&B <1>"); })[1],
              "<Document><name>A&amp;B &lt;1&gt;</name>");
    // Bytes that are no UTF-8 are read as Windows-1252, like a log line.
    EXPECT_EQ(Written([](KmlWriter& w) { w.WriteKmlHeader("Caf\xE9\x80"); })[1],
              "<Document><name>Caf\xC3\xA9\xE2\x82\xAC</name>");
    EXPECT_EQ(Written([](KmlWriter& w) {
                  w.WriteKmlHeader(
                      "a\x01"
                      "b");
              })[1],
              "<Document><name>a\xEF\xBF\xBD"
              "b</name>");
}

TEST(KmlWriter, WritesASegmentWithAndWithoutItsTime) {
    const TrackPoint previous = At("5.1000", "52.2000");
    const TrackPoint current = At("5.1010", "52.2005");
    const auto lines = Written([&](KmlWriter& writer) {
        writer.WriteSegment(current, previous, true);
        writer.WriteSegment(current, previous, false);
    });
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0],
              "<Placemark><name>Track</name><TimeStamp><when>2007-06-15T09:05:03+00:00</when>"
              "</TimeStamp><styleUrl>#c_12</styleUrl><LineString><coordinates>5.1000,52.2000,0 "
              "5.1010,52.2005,0 </coordinates></LineString></Placemark>");
    EXPECT_EQ(lines[1],
              "<Placemark><name>Track</name><styleUrl>#c_12</styleUrl><LineString><coordinates>"
              "5.1000,52.2000,0 5.1010,52.2005,0 </coordinates></LineString></Placemark>");
}

TEST(KmlWriter, ColoursBySpeedOfTheLaterPointOnly) {
    const auto styleOf = [](const char* speed) {
        const std::string line = Written([&](KmlWriter& writer) {
            writer.WriteSegment(At("1", "2", speed), At("1", "2", "not a speed"), false);
        })[0];
        const std::size_t start = line.find("#c_");
        return line.substr(start, line.find('<', start) - start);
    };
    EXPECT_EQ(styleOf("0"), "#c_0");
    EXPECT_EQ(styleOf("-0.4"), "#c_0");
    EXPECT_EQ(styleOf("25"), "#c_25");
    EXPECT_EQ(styleOf("25.4"), "#c_25");
    EXPECT_EQ(styleOf("25.6"), "#c_24");
    EXPECT_EQ(styleOf("180"), "#c_24");
}

TEST(KmlWriter, FailsASegmentWithoutAUsableSpeedAndWritesNothingOfIt) {
    const auto lines = Written([](KmlWriter& writer) {
        for (const char* speed : {"-3", "", "12,5", "40000"}) {
            EXPECT_THROW(writer.WriteSegment(At("1", "2", speed), At("1", "2"), true), SpeedError)
                << speed;
        }
    });
    EXPECT_TRUE(lines.empty());
}

TEST(KmlWriter, EscapesCoordinatesDatesAndTimes) {
    TrackPoint current{"<lat>", "&lon", "3", "2007&06", "0<9"};
    const auto lines =
        Written([&](KmlWriter& writer) { writer.WriteSegment(current, current, true); });
    EXPECT_NE(lines[0].find("<when>2007&amp;06T0&lt;9+00:00</when>"), std::string::npos);
    EXPECT_NE(lines[0].find("&amp;lon,&lt;lat&gt;,0 &amp;lon,&lt;lat&gt;,0 </coordinates>"),
              std::string::npos);
}

// Points marked safe by the reader are copied as they stand; one unmarked
// point is enough for the segment's texts to be escaped.
TEST(KmlWriter, EscapesTheTextsUnlessBothPointsAreMarkedSafe) {
    TrackPoint plain = At("5.1000", "52.2000");
    plain.XmlSafe = true;
    TrackPoint special{"52&2", "5<1", "3", "2007-06-15", "09:05:03"};
    const auto lines = Written([&](KmlWriter& writer) {
        writer.WriteSegment(special, plain, true);
        writer.WriteSegment(plain, special, false);
        writer.WriteSegment(plain, plain, true);
    });
    EXPECT_NE(lines[0].find("5.1000,52.2000,0 5&lt;1,52&amp;2,0 </coordinates>"),
              std::string::npos);
    EXPECT_NE(lines[1].find("5&lt;1,52&amp;2,0 5.1000,52.2000,0 </coordinates>"),
              std::string::npos);
    EXPECT_NE(lines[2].find("<when>2007-06-15T09:05:03+00:00</when>"), std::string::npos);
    EXPECT_NE(lines[2].find("5.1000,52.2000,0 5.1000,52.2000,0 </coordinates>"), std::string::npos);
}

TEST(KmlWriter, WritesTheClosingLine) {
    const auto lines = Written([](KmlWriter& writer) { writer.WriteKmlFooter(); });
    EXPECT_EQ(lines,
              std::vector<std::string>{"<colorMode>random</colorMode></Folder></Document></kml>"});
}

}  // namespace
}  // namespace routalo
