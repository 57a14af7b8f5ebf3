// Documents read back by real readers: GDAL's KML driver (ogrinfo, from
// gdal-bin) and libxml2's xmllint. Generated logs, with and without time
// information, with skipped lines, with names and values that need escaping
// or transcoding, are converted; every document must be well-formed, and GDAL
// must find one line feature per segment with the coordinates, time stamp and
// style of that segment.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/speed_scheme.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

// The colour of each speed class as a reader resolves it, #RRGGBBAA.
constexpr std::array<std::string_view, 26> kClassColours = {
    "#000000FF", "#000000FF",                                                     // 0, 1
    "#0000FFFF", "#0000FFFF",                                                     // 2, 3
    "#0077FFFF", "#0077FFFF", "#0077FFFF",                                        // 4 .. 6
    "#6AFF00FF", "#6AFF00FF",                                                     // 7, 8
    "#37FF00FF", "#37FF00FF",                                                     // 9, 10
    "#D9FF00FF", "#D9FF00FF",                                                     // 11, 12
    "#FFEA00FF", "#FFEA00FF", "#FFEA00FF", "#FFEA00FF",                           // 13 .. 16
    "#FF7700FF", "#FF7700FF", "#FF7700FF",                                        // 17 .. 19
    "#FF0000FF", "#FF0000FF", "#FF0000FF", "#FF0000FF", "#FF0000FF", "#FF0000FF"  // 20 .. 25
};

// One segment as the log describes it.
struct Segment {
    double fromLongitude = 0;
    double fromLatitude = 0;
    double toLongitude = 0;
    double toLatitude = 0;
    std::string when;  // as GDAL prints it: 2007/06/15 09:05:03+00
    int speedClass = 0;
};

// A log and what its document must hold.
struct GeneratedLog {
    std::string bytes;
    std::vector<Segment> segments;
};

// Speeds in tenths of km/h with the class each must get: ties round to
// even, everything above 25 km/h shares class 24, and -0.4 rounds to 0.
int ClassOfTenths(int tenths) {
    int whole = tenths / 10;
    const int fraction = tenths % 10;
    if (fraction > 5 || (fraction == 5 && whole % 2 == 1)) {
        ++whole;
    }
    if (tenths < 0) {
        whole = 0;  // only -0.1 .. -0.4 are generated; they round to -0
    }
    return whole > 25 ? 24 : whole;
}

std::string Tenths(int tenths) {
    const char* sign = tenths < 0 ? "-" : "";
    const int magnitude = std::abs(tenths);
    return sign + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

// A trip of `points` usable points, one a second from 23:59:30 on 31/12/2007
// (so the date turns), in the logger's forms: one-character date and time
// pieces, spaces around values now and then, skip lines of several kinds, a
// Windows-1252 or UTF-8 byte in the dropped distance column.
GeneratedLog MakeTrip(int points, unsigned seed) {
    std::mt19937 random(seed);
    const std::vector<int> edgeSpeeds = {0, 4, 5, 15, 125, 135, 254, 255, 256, 260, 1800, -4, 250};
    std::uniform_int_distribution<int> speedTenths(0, 600);
    std::uniform_int_distribution<int> step(-90, 90);
    std::uniform_int_distribution<int> dice(0, 19);

    GeneratedLog log;
    log.bytes = std::string(kTrackLogHeader) + "\r\n";
    const auto skipLine = [&] {
        static constexpr std::array<std::string_view, 4> kSkips = {"", "   ", "no fix", "\t"};
        log.bytes.append(kSkips.at(static_cast<std::size_t>(dice(random)) % kSkips.size()));
        log.bytes.append("\r\n");
    };
    if (dice(random) < 10) {
        skipLine();  // before the first point too
    }
    long longitudeMicro = 5'120'000;
    long latitudeMicro = 52'090'000;
    std::optional<std::pair<double, double>> previous;
    for (int i = 0; i < points; ++i) {
        longitudeMicro += step(random);
        latitudeMicro += step(random);
        const int tenths =
            i < static_cast<int>(edgeSpeeds.size()) ? edgeSpeeds[i] : speedTenths(random);
        const long second = 23L * 3600 + 59L * 60 + 30 + i;
        const bool nextDay = second >= 24L * 3600;
        const long daySecond = second % (24L * 3600);
        const int hours = static_cast<int>(daySecond / 3600);
        const int minutes = static_cast<int>(daySecond / 60 % 60);
        const int seconds = static_cast<int>(daySecond % 60);
        const std::string year = nextDay ? "2008" : "2007";
        const int month = nextDay ? 1 : 12;
        const int day = nextDay ? 1 : 31;

        char longitude[32];
        char latitude[32];
        std::snprintf(longitude, sizeof longitude, "%ld.%06ld", longitudeMicro / 1'000'000,
                      longitudeMicro % 1'000'000);
        std::snprintf(latitude, sizeof latitude, "%ld.%06ld", latitudeMicro / 1'000'000,
                      latitudeMicro % 1'000'000);
        const bool spaced = dice(random) == 0;
        const std::string gap = spaced ? "  " : "";
        std::ostringstream line;
        line << gap << longitude << gap << ',' << gap << latitude << gap << ',' << gap
             << Tenths(tenths) << gap << ',' << day << '/' << month << '/' << year << ',' << hours
             << ':' << minutes << ':' << seconds << ',' << i;
        const int distanceKind = dice(random);
        if (distanceKind == 0) {
            line << " caf\xE9";  // Windows-1252: the whole line is read as such
        } else if (distanceKind == 1) {
            line << " caf\xC3\xA9";  // UTF-8
        }
        log.bytes.append(line.str()).append("\r\n");

        const std::pair<double, double> here = {static_cast<double>(longitudeMicro) / 1e6,
                                                static_cast<double>(latitudeMicro) / 1e6};
        if (previous) {
            char when[40];
            std::snprintf(when, sizeof when, "%s/%02d/%02d %02d:%02d:%02d+00", year.c_str(), month,
                          day, hours, minutes, seconds);
            log.segments.push_back({previous->first, previous->second, here.first, here.second,
                                    when, ClassOfTenths(tenths)});
        }
        previous = here;
        if (dice(random) < 2) {
            skipLine();
        }
    }
    return log;
}

// Runs a command through the shell; its standard output and exit status.
struct CommandResult {
    std::string output;
    int status = -1;
};

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        result.output.append(chunk.data(), got);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

// A feature as ogrinfo prints it.
struct Feature {
    std::string timestamp;
    std::string style;
    std::vector<double> coordinates;  // x y z x y z ...
};

// Parses `ogrinfo -al` output: the features and the driver that read them.
std::vector<Feature> ParseFeatures(const std::string& output, std::string& driver) {
    std::vector<Feature> features;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string_view text(line);
        if (text.find("using driver `") != std::string_view::npos) {
            const std::size_t from = text.find('`') + 1;
            driver = std::string(text.substr(from, text.find('\'', from) - from));
        } else if (text.starts_with("OGRFeature(")) {
            features.emplace_back();
        } else if (features.empty()) {
            continue;
        } else if (text.starts_with("  timestamp (DateTime) = ")) {
            features.back().timestamp = text.substr(text.find("= ") + 2);
        } else if (text.starts_with("  Style = ")) {
            features.back().style = text.substr(text.find("= ") + 2);
        } else if (text.starts_with("  LINESTRING Z (")) {
            std::string_view rest = text.substr(text.find('(') + 1);
            while (!rest.empty() && rest.front() != ')') {
                double value = 0;
                const auto [end, error] =
                    std::from_chars(rest.data(), rest.data() + rest.size(), value);
                if (error != std::errc()) {
                    break;
                }
                features.back().coordinates.push_back(value);
                rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
                while (!rest.empty() && (rest.front() == ' ' || rest.front() == ',')) {
                    rest.remove_prefix(1);
                }
            }
        }
    }
    return features;
}

class KmlReadBack : public ::testing::Test {
  protected:
    void SetUp() override { InitSpeedScheme(); }

    // Converts `log` and returns the path of its document.
    std::string Convert(std::string_view log, std::string_view name, bool withTimeInfo) {
        const std::string path = folder_.Write("trip.csv", log);
        std::vector<std::string> messages;
        ConvertTrackLog(path, name, withTimeInfo,
                        [&](const std::string& message) { messages.push_back(message); });
        EXPECT_TRUE(messages.empty()) << messages.front();
        return folder_.File("trip.kml");
    }

    static void ExpectWellFormed(const std::string& document) {
        const CommandResult lint = RunCommand("xmllint --noout " + Quoted(document));
        EXPECT_EQ(lint.status, 0) << "xmllint (libxml2-utils) rejects " << document;
    }

    // The document's name as xmllint reads it.
    static std::string DocumentName(const std::string& document) {
        std::string name =
            RunCommand(
                "xmllint --xpath \"string(/*[local-name()='kml']/*[local-name()='Document']"
                "/*[local-name()='name'])\" " +
                Quoted(document))
                .output;
        if (name.ends_with('\n')) {
            name.pop_back();  // xmllint ends what it prints with a line feed
        }
        return name;
    }

    // The features of the document as GDAL reads them, with styles as
    // written (`resolveStyles` false) or resolved to their pens.
    static std::vector<Feature> ReadWithGdal(const std::string& document, bool resolveStyles) {
        const CommandResult info =
            RunCommand(std::string("ogrinfo -ro -al --config LIBKML_RESOLVE_STYLE ") +
                       (resolveStyles ? "YES " : "NO ") + Quoted(document));
        EXPECT_EQ(info.status, 0) << "ogrinfo (gdal-bin) cannot read " << document;
        std::string driver;
        std::vector<Feature> features = ParseFeatures(info.output, driver);
        EXPECT_EQ(driver, "LIBKML") << "GDAL read the document with another driver";
        return features;
    }

    static void ExpectSegments(const std::string& document, const std::vector<Segment>& segments,
                               bool withTimeInfo) {
        const std::vector<Feature> features = ReadWithGdal(document, false);
        const std::vector<Feature> resolved = ReadWithGdal(document, true);
        ASSERT_EQ(features.size(), segments.size());
        ASSERT_EQ(resolved.size(), segments.size());
        for (std::size_t i = 0; i < segments.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "segment " << i + 1);
            const Segment& segment = segments[i];
            const Feature& feature = features[i];
            ASSERT_EQ(feature.coordinates.size(), 6U);
            EXPECT_NEAR(feature.coordinates[0], segment.fromLongitude, 1e-9);
            EXPECT_NEAR(feature.coordinates[1], segment.fromLatitude, 1e-9);
            EXPECT_EQ(feature.coordinates[2], 0.0);
            EXPECT_NEAR(feature.coordinates[3], segment.toLongitude, 1e-9);
            EXPECT_NEAR(feature.coordinates[4], segment.toLatitude, 1e-9);
            EXPECT_EQ(feature.coordinates[5], 0.0);
            EXPECT_EQ(feature.timestamp, withTimeInfo ? segment.when : "");
            EXPECT_EQ(feature.style, "@c_" + std::to_string(segment.speedClass));
            EXPECT_EQ(
                resolved[i].style,
                "PEN(c:" +
                    std::string(kClassColours.at(static_cast<std::size_t>(segment.speedClass))) +
                    ",w:1.000000px)");
        }
    }

    ScratchFolder folder_;
};

TEST_F(KmlReadBack, GdalFindsEverySegmentOfATripWithTimeInformation) {
    const GeneratedLog trip = MakeTrip(400, 1);
    const std::string document = Convert(trip.bytes, "Rit door Utrecht", true);
    ExpectWellFormed(document);
    ExpectSegments(document, trip.segments, true);
}

TEST_F(KmlReadBack, GdalFindsEverySegmentOfATripWithoutTimeInformation) {
    const GeneratedLog trip = MakeTrip(250, 2);
    const std::string document = Convert(trip.bytes, "", false);
    ExpectWellFormed(document);
    ExpectSegments(document, trip.segments, false);
}

TEST_F(KmlReadBack, GdalReadsADocumentWithoutSegments) {
    const GeneratedLog trip = MakeTrip(1, 3);
    ASSERT_TRUE(trip.segments.empty());
    const std::string document = Convert(trip.bytes, "Stilstand", true);
    ExpectWellFormed(document);
    ExpectSegments(document, trip.segments, true);
}

TEST_F(KmlReadBack, ReadersGetTheTrackNameBackAsTyped) {
    const GeneratedLog trip = MakeTrip(20, 4);
    struct Case {
        std::string_view typed;
        std::string_view read;
    };
    for (const Case& name : {
             Case{"Rit <naar> & van \"huis\" > 5 km", "Rit <naar> & van \"huis\" > 5 km"},
             Case{"Caf\xE9 \x80 10\xB0", "Caf\xC3\xA9 \xE2\x82\xAC 10\xC2\xB0"},  // Windows-1252
             Case{"Z\xC3\xBCrich \xE2\x86\x92 Utrecht", "Z\xC3\xBCrich \xE2\x86\x92 Utrecht"},
             Case{"bel\x07 tab\tend", "bel\xEF\xBF\xBD tab\tend"},
         }) {
        SCOPED_TRACE(name.typed);
        const std::string document = Convert(trip.bytes, name.typed, true);
        ExpectWellFormed(document);
        EXPECT_EQ(DocumentName(document), name.read);
        EXPECT_EQ(ReadWithGdal(document, false).size(), trip.segments.size());
    }
}

TEST_F(KmlReadBack, ValuesThatXmlReservesKeepTheDocumentReadable) {
    // Values that are no numbers pass through the reader as text; they must
    // reach the document as character data, never as markup.
    const std::string log = std::string(kTrackLogHeader) +
                            "\r\n"
                            "5.1<b>,52.2&amp,3,7/6/2007,9:05:01,0\r\n"
                            "5.2,52.3,12,7/6/2007&<,9:05:03>,10\r\n"
                            "5.3,52.4,20,7/6/2007,9:05:05,20 <&>\r\n";
    for (const bool withTimeInfo : {false, true}) {
        const std::string document = Convert(log, "<Placemark>", withTimeInfo);
        ExpectWellFormed(document);
        EXPECT_EQ(DocumentName(document), "<Placemark>");
        EXPECT_EQ(ReadWithGdal(document, false).size(), 2U);
    }
}

}  // namespace
}  // namespace routalo
