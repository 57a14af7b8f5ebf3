// The merged layout against the default one: every placemark of the merged
// document, expanded back into its pairs of consecutive points, must give
// exactly the default document's segments with their coordinates and
// classes; as a set without time information, in order with it. Read back
// with libxml2.

#include "conversion/writers/merged_kml_writer.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "bench/track_log_generator.h"
#include "conversion/conversion_run.h"
#include "conversion/speed_scheme.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;

struct Segment {
    std::string from;
    std::string to;
    int speedClass = 0;
    std::string when;  // the time of its end, where the document gives it

    friend bool operator<(const Segment& a, const Segment& b) {
        return std::tie(a.from, a.to, a.speedClass) < std::tie(b.from, b.to, b.speedClass);
    }
    friend bool operator==(const Segment& a, const Segment& b) {
        return std::tie(a.from, a.to, a.speedClass) == std::tie(b.from, b.to, b.speedClass);
    }
    friend std::ostream& operator<<(std::ostream& out, const Segment& s) {
        return out << s.from << " " << s.to << " c" << s.speedClass;
    }
};

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

std::string_view NameOf(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);  // NOLINT: libxml2 text is UTF-8 bytes
}

std::string TextOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

// The elements named `name` below `node`, in document order.
void Collect(const xmlNode* node, std::string_view name, std::vector<const xmlNode*>& found) {
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE && NameOf(node) == name) {
            found.push_back(node);
        }
        Collect(node->children, name, found);
    }
}

std::vector<const xmlNode*> Below(const xmlNode* node, std::string_view name) {
    std::vector<const xmlNode*> found;
    Collect(node->children, name, found);
    return found;
}

std::string Only(const xmlNode* node, std::string_view name) {
    const std::vector<const xmlNode*> found = Below(node, name);
    return found.size() == 1 ? TextOf(found[0]) : "";
}

std::vector<std::string> Tuples(const std::string& coordinates) {
    std::istringstream in(coordinates);
    std::vector<std::string> tuples;
    for (std::string tuple; in >> tuple;) {
        tuples.push_back(tuple);
    }
    return tuples;
}

using Parsed = std::unique_ptr<xmlDoc, DocumentDeleter>;

Parsed Parse(const std::string& bytes) {
    Parsed document(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "doc.kml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_HUGE));
    if (!document) {
        ADD_FAILURE() << "not well-formed";
    }
    return document;
}

// One segment per placemark, its class from its style map "#c_N".
std::vector<Segment> DefaultSegments(const std::string& bytes) {
    const Parsed document = Parse(bytes);
    std::vector<Segment> segments;
    if (!document) {
        return segments;
    }
    for (const xmlNode* placemark : Below(xmlDocGetRootElement(document.get()), "Placemark")) {
        const std::vector<std::string> tuples = Tuples(Only(placemark, "coordinates"));
        EXPECT_EQ(tuples.size(), 2U);
        segments.push_back({tuples.at(0), tuples.at(1),
                            std::stoi(Only(placemark, "styleUrl").substr(3)),
                            Only(placemark, "when")});
    }
    return segments;
}

// Every pair of consecutive points of every LineString, the class told by
// the placemark's name; checks the placemark's colour against its class's.
std::vector<Segment> MergedSegments(const std::string& bytes, const ClassRule& rule,
                                    int& placemarks) {
    std::map<std::string, int> classOfName;
    for (int speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        classOfName[rule.SpeedsOf(speedClass, speedClass)] = speedClass;
    }
    const Parsed document = Parse(bytes);
    std::vector<Segment> segments;
    if (!document) {
        return segments;
    }
    const xmlNode* root = xmlDocGetRootElement(document.get());
    EXPECT_STREQ(reinterpret_cast<const char*>(root->ns->href), "http://www.opengis.net/kml/2.2");
    const std::vector<const xmlNode*> found = Below(root, "Placemark");
    placemarks = static_cast<int>(found.size());
    for (const xmlNode* placemark : found) {
        const auto named = classOfName.find(Only(placemark, "name"));
        if (named == classOfName.end()) {
            ADD_FAILURE() << "no class is named " << Only(placemark, "name");
            continue;
        }
        const int speedClass = named->second;
        EXPECT_EQ(Only(placemark, "color"), SpeedColours.at(static_cast<std::size_t>(speedClass)));
        for (const xmlNode* line : Below(placemark, "coordinates")) {
            const std::vector<std::string> tuples = Tuples(TextOf(line));
            EXPECT_GE(tuples.size(), 2U);
            for (std::size_t i = 1; i < tuples.size(); ++i) {
                segments.push_back({tuples[i - 1], tuples[i], speedClass, Only(placemark, "end")});
            }
        }
    }
    return segments;
}

class MergedLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        InitSpeedScheme();
        // The spool's temporary file goes here; it must never stay.
        fs::create_directory(folder_.Path() / "tmp");
        const char* old = std::getenv("TMPDIR");
        oldTmpdir_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TMPDIR", (folder_.Path() / "tmp").c_str(), 1);
    }
    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(folder_.Path() / "tmp"));
        if (oldTmpdir_) {
            ::setenv("TMPDIR", oldTmpdir_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    ConversionOutcome Convert(const std::string& log, const ClassRule& rule, bool withTime,
                              bool merge) {
        ConversionRequest request;
        request.sourcePath = log;
        request.anyKindOfLog = true;
        request.withTimeInfo = withTime;
        request.classRule = rule;
        request.merge = merge;
        return RunConversion(request);
    }

    ScratchFolder folder_;
    std::optional<std::string> oldTmpdir_;
};

TEST_F(MergedLayout, ExpandsIntoExactlyTheSegmentsOfTheDefaultDocument) {
    const fs::path source(ROUTALO_SOURCE_DIR);
    // Logs of every kind: the examples, one of two chains, and generated ones
    // whose runs go through the spool's file.
    std::vector<std::string> logs;
    for (const char* name :
         {"examples/rit.csv", "examples/rit.gpx", "examples/rit.nmea", "examples/autorit.nmea",
          "tests/conversion/real-logs/gpxpy-korita-zbevnica-1.0.gpx"}) {
        logs.push_back(folder_.File(fs::path(name).filename().string()));
        fs::copy_file(source / name, logs.back());
    }
    // Two segments at one speed: the runs of one class end with the chain.
    std::string chains = R"(<gpx version="1.1" creator="test"><trk><trkseg>)";
    for (int point = 0; point < 8; ++point) {
        chains += point == 4 ? "</trkseg><trkseg>" : "";
        chains += R"(<trkpt lat="52.1" lon="5.)" + std::to_string(1000 + point * 2) +
                  R"("><time>2008-01-01T12:00:0)" + std::to_string(point) + "Z</time></trkpt>";
    }
    logs.push_back(folder_.Write("chains.gpx", chains + "</trkseg></trk></gpx>"));
    logs.push_back(folder_.File("generated.csv"));
    ASSERT_TRUE(bench::WriteTrackLog(logs.back(), 40'000, 3));
    logs.push_back(folder_.File("generated.gpx"));
    ASSERT_TRUE(bench::WriteTrackLog(logs.back(), 5'000, 4, bench::LogFormat::kGpx));

    for (const std::string& log : logs) {
        const std::string kml = fs::path(log).replace_extension(".kml").string();
        for (const char* topSpeed : {static_cast<const char*>(nullptr), "130"}) {
            const ClassRule rule =
                topSpeed == nullptr ? ClassRule() : ClassRule(*TopSpeed::Read(topSpeed));
            for (const bool withTime : {false, true}) {
                SCOPED_TRACE(log + (topSpeed != nullptr ? " --top-speed 130" : "") +
                             (withTime ? " --time" : ""));
                ASSERT_EQ(Convert(log, rule, withTime, false).result, ConversionResult::kConverted);
                std::vector<Segment> expected = DefaultSegments(ReadBytes(kml));
                ASSERT_EQ(Convert(log, rule, withTime, true).result, ConversionResult::kConverted);
                int placemarks = 0;
                std::vector<Segment> merged = MergedSegments(ReadBytes(kml), rule, placemarks);
                ASSERT_FALSE(expected.empty());
                if (withTime) {
                    EXPECT_LT(placemarks, static_cast<int>(expected.size()));
                    ASSERT_EQ(merged, expected);
                    // A run's time span ends at the time of its last segment.
                    for (std::size_t i = 0; i + 1 < merged.size(); ++i) {
                        if (merged[i].when != merged[i + 1].when) {
                            EXPECT_EQ(merged[i].when, expected[i].when) << i;
                        }
                    }
                } else {
                    EXPECT_LE(placemarks, kSpeedClassCount);
                    std::sort(expected.begin(), expected.end());
                    std::sort(merged.begin(), merged.end());
                    ASSERT_EQ(merged, expected);
                }
            }
        }
    }
}

// A failure after runs went to the spool: a document cut short, without its
// closing line, and no temporary file left (checked as every case ends).
TEST_F(MergedLayout, KeepsADocumentCutShortWhenAPointFails) {
    const std::string log = folder_.File("failing.csv");
    ASSERT_TRUE(bench::WriteTrackLog(log, 20'000, 5));
    { std::ofstream(log, std::ios::app | std::ios::binary) << "5.1,52.1,fast,1/1/08,1:1:1,0\r\n"; }
    const ConversionOutcome outcome = Convert(log, ClassRule(), false, true);
    EXPECT_EQ(outcome.result, ConversionResult::kFailed);
    EXPECT_EQ(outcome.cause, "line 20002: the speed \"fast\" is not a number");
    const std::string document = ReadBytes(folder_.File("failing.kml"));
    EXPECT_TRUE(document.starts_with(R"(<?xml version="1.0" encoding="UTF-8"?>)"));
    EXPECT_EQ(document.find("</kml>"), std::string::npos);
}

}  // namespace
}  // namespace routalo
