#include "conversion/conversion_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "conversion/speed_scheme.h"
#include "tests/support/gzip.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/xml_check.h"

namespace routalo {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;

constexpr std::string_view kHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)\r\n";
constexpr std::string_view kClosingLine =
    "<colorMode>random</colorMode></Folder></Document></kml>\r\n";

const fs::path kGolden = fs::path(ROUTALO_SOURCE_DIR) / "tests/conversion/golden";

// `ascii` as UTF-16 of either byte order, a byte order mark at its start
// kept as it stands.
std::string Utf16(std::string_view ascii, bool bigEndian) {
    std::string out;
    if (ascii.starts_with("\xFF\xFE") || ascii.starts_with("\xFE\xFF")) {
        out = ascii.substr(0, 2);
        ascii.remove_prefix(2);
    }
    for (const char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

class ConversionRun : public ::testing::Test {
  protected:
    void SetUp() override { InitSpeedScheme(); }

    // Converts `log` and returns the messages that the run showed.
    std::vector<std::string> Convert(const std::string& log, std::string_view name = "",
                                     bool withTime = false) {
        std::vector<std::string> messages;
        ConvertTrackLog(log, name, withTime,
                        [&](const std::string& message) { messages.push_back(message); });
        return messages;
    }

    static std::vector<std::string> Messages(std::string_view message) {
        return {std::string(message)};
    }

    // Number of lines in a document; every line must end in CR LF.
    static std::size_t LineCount(const std::string& document) {
        std::size_t lines = 0;
        for (std::size_t at = document.find("\r\n"); at != std::string::npos;
             at = document.find("\r\n", at + 2)) {
            ++lines;
        }
        return lines;
    }

    ScratchFolder folder_;
};

TEST_F(ConversionRun, WritesTheGoldenDocuments) {
    const std::string log = folder_.Write("mixed.csv", ReadBytes(kGolden / "mixed.csv"));
    // Twice in a row, and once between, to catch state left from one run.
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(Convert(log, "Rit & <terug>").empty());
        EXPECT_EQ(ReadBytes(folder_.File("mixed.kml")), ReadBytes(kGolden / "mixed.kml"));
        EXPECT_TRUE(Convert(log, "Caf\xE9", true).empty());
        EXPECT_EQ(ReadBytes(folder_.File("mixed.kml")), ReadBytes(kGolden / "mixed-with-time.kml"));
    }
    EXPECT_EQ(testing::XmlProblems(ReadBytes(folder_.File("mixed.kml"))), "");
    EXPECT_EQ(ReadBytes(log), ReadBytes(kGolden / "mixed.csv"));
}

TEST_F(ConversionRun, JoinsOnePointToTheNextAcrossSkippedLines) {
    const std::string log = folder_.Write(
        "rit.csv", std::string(kHeader) +
                       "nothing\r\n\r\n1,2,3,1/1/7,1:1:1,0\r\n\r\nx\r\n4,5,6,1/1/7,1:1:2,0\r\n");
    EXPECT_TRUE(Convert(log).empty());
    const std::string document = ReadBytes(folder_.File("rit.kml"));
    EXPECT_EQ(LineCount(document), 29U + 1U + 1U);
    EXPECT_NE(document.find("<coordinates>1,2,0 4,5,0 </coordinates>"), std::string::npos);
}

TEST_F(ConversionRun, WritesNoSegmentForASinglePoint) {
    const std::string log = folder_.Write("rit.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0");
    EXPECT_TRUE(Convert(log).empty());
    const std::string document = ReadBytes(folder_.File("rit.kml"));
    EXPECT_EQ(LineCount(document), 30U);
    EXPECT_TRUE(document.ends_with(kClosingLine));
    EXPECT_EQ(testing::CountElements(document, "Placemark"), 0);
}

TEST_F(ConversionRun, EndsALogOfSkipLinesWithTheClosingLine) {
    const std::string log = folder_.Write("rit.csv", std::string(kHeader) + "\r\n\r\n");
    EXPECT_TRUE(Convert(log).empty());
    EXPECT_TRUE(ReadBytes(folder_.File("rit.kml")).ends_with(kClosingLine));
}

TEST_F(ConversionRun, FailsALogOfOnlyTheHeaderAfterTheHead) {
    for (const std::string& header :
         {std::string(kHeader), std::string(kHeader.substr(0, kHeader.size() - 1)),
          std::string(kHeader.substr(0, kHeader.size() - 2))}) {
        const std::string log = folder_.Write("rit.csv", header);
        EXPECT_EQ(Convert(log), Messages(kConversionFailedMessage));
        const std::string document = ReadBytes(folder_.File("rit.kml"));
        EXPECT_EQ(LineCount(document), 29U);
        EXPECT_FALSE(document.ends_with(kClosingLine));
    }
}

TEST_F(ConversionRun, KeepsTheDocumentAsFarAsItGotWhenAPointFails) {
    const std::string log = folder_.Write(
        "rit.csv", std::string(kHeader) +
                       "1,2,3,1/1/7,1:1:1,0\r\n4,5,6,1/1/7,1:1:2,0\r\n7,8,-3,1/1/7,1:1:3,0\r\n"
                       "1,2,3,1/1/7,1:1:4,0\r\n");
    EXPECT_EQ(Convert(log), Messages(kConversionFailedMessage));
    const std::string document = ReadBytes(folder_.File("rit.kml"));
    EXPECT_EQ(LineCount(document), 30U);
    EXPECT_TRUE(document.ends_with("</Placemark>\r\n"));
}

TEST_F(ConversionRun, FailsOnALineThatLacksASeparator) {
    const std::string log = folder_.Write(
        "rit.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n4,5,6,1/1/7,1:1:2\r\n");
    EXPECT_EQ(Convert(log), Messages(kConversionFailedMessage));
    EXPECT_EQ(LineCount(ReadBytes(folder_.File("rit.kml"))), 29U);
}

TEST_F(ConversionRun, RefusesAnotherHeaderWithoutCreatingTheDocument) {
    const std::string upper = "LONGITUDE" + std::string(kHeader.substr(9));
    const std::string blank = std::string(kHeader.substr(0, kHeader.size() - 2)) + " \r\n";
    const std::string lineFeeds =
        "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)\n"
        "1,2,3,1/1/7,1:1:1,0\n4,5,6,1/1/7,1:1:2,0\n";
    for (const std::string& content :
         {upper, blank, lineFeeds, std::string("\xEF\xBB\xBF") + std::string(kHeader),
          std::string(200000, ',')}) {
        const std::string log = folder_.Write("rit.csv", content);
        EXPECT_EQ(Convert(log), Messages(kHeaderMismatchMessage));
        EXPECT_FALSE(fs::exists(folder_.File("rit.kml")));
    }
}

// The command line reads a GPX document or an NMEA log as its first bytes
// tell; the window, through ConvertTrackLog, keeps to the header check. A
// GPX document or an NMEA log makes its document only once it has a point.
TEST_F(ConversionRun, TellsTheKindOfLogByItsFirstBytesOnlyWhenAskedTo) {
    const std::string fix =
        "$GPRMC,090503,A,5212.0000,N,00506.0000,E,6.48,,150607,,*04\r\n"
        "$GPRMC,090504,A,5212.0010,N,00506.0010,E,6.48,,150607,,*03\r\n";
    const std::string csv = std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n4,5,6,1/1/7,1:1:2,0\r\n";
    const std::string kNoFix = "the log holds no RMC sentence with a valid fix";
    const std::string kNoPoint = "the GPX document holds no track point";
    const std::string kOld = "an older document\r\n";
    enum class Document { kWhole, kCutShort, kOldKept };
    struct Case {
        std::string content;
        bool anyKind;
        std::string message;  // empty for a document with one segment
        std::string cause;
        Document document;
    };
    const std::string header = std::string(kHeaderMismatchMessage);
    const std::string failed = std::string(kConversionFailedMessage);
    const Case cases[] = {
        {fix, false, header, "", Document::kOldKept},
        {"<?xml version=\"1.0\"?><gpx/>", false, header, "", Document::kOldKept},
        {csv, false, "", "", Document::kWhole},
        {csv, true, "", "", Document::kWhole},
        {"\xEF\xBB\xBF" + csv, true, header, "the log starts with a UTF-8 byte order mark",
         Document::kOldKept},
        {"\xEF\xBB\xBF \r\n\t" + fix, true, "", "", Document::kWhole},
        {"\xEF\xBB\xBF" + fix, true, "", "", Document::kWhole},
        // What stands before the first sentence: a banner, a damaged line, the
        // tail of a sentence cut off by the capture.
        {"Logger v2.1 ready\r\n,,150607,,*04\r\n" + fix, true, "", "", Document::kWhole},
        {"$GPGGA,1,2*55\r\n", true, failed, kNoFix, Document::kOldKept},
        // A log of any kind, gzipped, reads as the log itself.
        {testing::Gzip(csv), true, "", "", Document::kWhole},
        {testing::Gzip(fix), true, "", "", Document::kWhole},
        {testing::Gzip("<gpx><trk><trkseg><trkpt lat='1' lon='2'/><trkpt lat='3' lon='4'/>"
                       "</trkseg></trk></gpx>"),
         true, "", "", Document::kWhole},
        {testing::Gzip(" <TrainingCenterDatabase><Courses><Course><Track><Trackpoint><Position>"
                       "<LatitudeDegrees>1</LatitudeDegrees><LongitudeDegrees>2</LongitudeDegrees>"
                       "</Position></Trackpoint><Trackpoint><Position><LatitudeDegrees>3"
                       "</LatitudeDegrees><LongitudeDegrees>4</LongitudeDegrees></Position>"
                       "</Trackpoint></Track></Course></Courses></TrainingCenterDatabase>"),
         true, "", "", Document::kWhole},
        {testing::Gzip(csv), false, header, "", Document::kOldKept},
        {testing::Gzip(fix).substr(0, 30), true, failed, "byte 30: the gzip stream is cut off",
         Document::kOldKept},
        {testing::Gzip("$GPGGA,1,2*55\r\n"), true, failed, kNoFix, Document::kOldKept},
        {"<TrainingCenterDatabase/>", true, failed,
         "the TCX document holds no track point with a position", Document::kOldKept},
        {std::string("\x0E\x10\x11\x08\x00\x00\x00\x00.FIT\x00\x00\xFF\x0F", 16), true, failed,
         "the FIT file holds no record with a position", Document::kOldKept},
        {"$GPGGA,1,2*00\r\n" + csv, true, header, "", Document::kOldKept},
        {std::string(TextInputFile::kPeekLimit, 'x') + "\r\n" + fix, true, header, "",
         Document::kOldKept},
        {"\n<gpx><trk><trkseg><trkpt lat='1' lon='2'/><trkpt lat='3' "
         "lon='4'/></trkseg></trk></gpx>",
         true, "", "", Document::kWhole},
        {Utf16("\xFF\xFE\r\n<gpx><trk><trkseg><trkpt lat='1' lon='2'/><trkpt lat='3' "
               "lon='4'/></trkseg></trk></gpx>",
               false),
         true, "", "", Document::kWhole},
        {Utf16("\xFE\xFF<gpx><trk><trkseg><trkpt lat='1' lon='2'/><trkpt lat='3' "
               "lon='4'/></trkseg></trk></gpx>",
               true),
         true, "", "", Document::kWhole},
        // Lines and columns are the log's own, with the blank space before
        // the document skipped.
        {"\r\n\r\n  <?xml version='1.0'?><gpx><trk><trkseg><trkpt lat='x' lon='2'/>", true, failed,
         "line 3, column 42: the lat \"x\" is no number from -90 to 90", Document::kOldKept},
        {"<gpx><wpt lat='1' lon='2'/><rte><rtept lat='1' lon='2'/></rte></gpx>", true, failed,
         kNoPoint, Document::kOldKept},
        {"<gpx><trk><trkseg><trkpt lat='x' lon='2'/>", true, failed,
         "line 1, column 19: the lat \"x\" is no number from -90 to 90", Document::kOldKept},
        {"<gpx><trk><trkseg><trkpt lat='1' lon='2'/><trkpt lat='3' lon='4'/></trkseg>", true,
         failed, "line 1, column 76: Extra content at the end of the document",
         Document::kCutShort},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.content.substr(0, 40) + (test.anyKind ? " any kind" : ""));
        folder_.Write("rit.kml", kOld);
        const std::string log = folder_.Write("rit.log", test.content);
        ConversionRequest request;
        request.sourcePath = log;
        request.anyKindOfLog = test.anyKind;
        const ConversionOutcome outcome = RunConversion(request);
        EXPECT_EQ(outcome.message, test.message);
        EXPECT_EQ(outcome.cause, test.cause);
        if (!test.anyKind) {
            EXPECT_EQ(Convert(log),
                      test.message.empty() ? std::vector<std::string>() : Messages(test.message));
        }
        const std::string document = ReadBytes(folder_.File("rit.kml"));
        switch (test.document) {
            case Document::kWhole:
                EXPECT_EQ(testing::CountElements(document, "Placemark"), 1);
                break;
            case Document::kCutShort:  // the lines written before the failure
                EXPECT_TRUE(document.starts_with("<?xml"));
                EXPECT_FALSE(document.ends_with(kClosingLine));
                break;
            case Document::kOldKept:
                EXPECT_EQ(document, kOld);
                EXPECT_FALSE(outcome.document.has_value());
                break;
        }
    }
}

// Without a name of the user's, the document takes the one the log gives.
TEST_F(ConversionRun, NamesTheDocumentAsTheGpxNamesItsTrackUnlessANameIsGiven) {
    const std::string log = folder_.Write(
        "rit.gpx",
        "<gpx xmlns='http://www.topografix.com/GPX/1/1'><metadata><name>Dag</name></metadata>"
        "<trk><name> Rit &amp; terug </name><trkseg><trkpt lat='1' lon='2'/></trkseg></trk></gpx>");
    ConversionRequest request;
    request.sourcePath = log;
    request.anyKindOfLog = true;
    for (const auto& [given, name] :
         {std::pair<std::optional<std::string_view>, std::string>{std::nullopt, "Rit &amp; terug"},
          {"", ""},
          {"Eigen", "Eigen"}}) {
        request.trackName = given;
        EXPECT_EQ(RunConversion(request).cause, "");
        EXPECT_NE(ReadBytes(folder_.File("rit.kml")).find("<Document><name>" + name + "</name>"),
                  std::string::npos)
            << name;
    }
}

// The kind is told from the bytes, not from how a pipe's writer splits them.
TEST_F(ConversionRun, TellsTheKindOfALogThatComesThroughAPipeInPieces) {
    const std::string fifo = folder_.File("rit.gpx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    std::thread writer([&] {
        std::ofstream out(fifo, std::ios::binary);
        out << "\n" << std::flush;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        out << "<gpx><trk><trkseg><trkpt lat='1' lon='2'/><trkpt lat='3' lon='4'/>"
               "</trkseg></trk></gpx>";
    });
    ConversionRequest request;
    request.sourcePath = fifo;
    request.anyKindOfLog = true;
    const ConversionOutcome outcome = RunConversion(request);
    writer.join();
    EXPECT_EQ(outcome.cause, "");
    EXPECT_EQ(testing::CountElements(ReadBytes(folder_.File("rit.kml")), "Placemark"), 1);
}

// A KMZ archive is made once the log has given a point, and is left only
// whole: a failure before that keeps an old archive, one after it leaves
// none. Its entries are dated by the first point's time.
TEST_F(ConversionRun, LeavesAKmzArchiveOnlyWhole) {
    using namespace std::string_view_literals;
    const std::string point = "1,2,3,15/6/2007,9:05:09,0\r\n";
    enum class Archive { kWhole, kNone, kOldKept };
    struct Case {
        std::string content;
        std::string cause;  // empty for a conversion
        Archive archive;
        std::string_view date;  // the DOS time and date of a whole archive's entries
    };
    const Case cases[] = {
        {std::string(kHeader) + point + point, "", Archive::kWhole, "\xA4\x48\xCF\x36"sv},
        {std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n" + point, "", Archive::kWhole,
         "\x00\x00\x21\x00"sv},  // the year 7 is no moment: 1980-01-01 00:00
        {"$GPRMC,090509,A,5212.0000,N,00506.0000,E,6.48,,150607,,*0E\r\n", "", Archive::kWhole,
         "\xA4\x48\xCF\x36"sv},
        {std::string(kHeader), "the log has no line after its header", Archive::kOldKept, ""},
        {std::string(kHeader) + point + "7,8,-3,1/1/7,1:1:3,0\r\n",
         "line 3: the speed \"-3\" rounds below zero", Archive::kNone, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 80));
        const std::string archive = folder_.Write("rit.kmz", "an older archive");
        ConversionRequest request;
        request.sourcePath = folder_.Write("rit.csv", c.content);
        request.anyKindOfLog = true;
        request.merge = true;
        request.kmz = true;
        const ConversionOutcome outcome = RunConversion(request);
        EXPECT_EQ(outcome.cause, c.cause);
        EXPECT_FALSE(fs::exists(folder_.File("rit.kml")));
        switch (c.archive) {
            case Archive::kWhole: {
                const std::string bytes = ReadBytes(archive);
                EXPECT_TRUE(bytes.starts_with("PK\x03\x04"));
                EXPECT_EQ(bytes.substr(10, 4), c.date);  // the local header's time and date
                EXPECT_EQ(bytes.substr(30, 7), "doc.kml");
                EXPECT_TRUE(outcome.document.has_value());
                break;
            }
            case Archive::kNone:
                EXPECT_FALSE(fs::exists(archive));
                break;
            case Archive::kOldKept:
                EXPECT_EQ(ReadBytes(archive), "an older archive");
                break;
        }
    }
}

TEST_F(ConversionRun, ReportsALogThatCannotBeOpened) {
    const std::string missing = folder_.File("missing.csv");
    EXPECT_EQ(Convert(missing), Messages(CannotOpenMessage(missing)));
    EXPECT_EQ(Convert(folder_.Path().string()),
              Messages(CannotOpenMessage(folder_.Path().string())));
    const std::string empty = folder_.Write("empty.csv", "");
    EXPECT_EQ(Convert(empty), Messages("Het bestand " + empty + " kon niet worden geopend."));
    EXPECT_FALSE(fs::exists(folder_.File("empty.kml")));
}

TEST_F(ConversionRun, ReportsADocumentThatCannotBeCreated) {
    const std::string log =
        folder_.Write("rit.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n");
    fs::create_directory(folder_.File("rit.kml"));
    EXPECT_EQ(Convert(log),
              Messages("Het bestand " + folder_.File("rit.kml") + " kon niet gemaakt worden."));
}

TEST_F(ConversionRun, NeverWritesOverTheLog) {
    const std::string content =
        std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n4,5,6,1/1/7,1:1:2,0\r\n";
    // The log's own name.
    const std::string kmlLog = folder_.Write("rit.kml", content);
    EXPECT_EQ(Convert(kmlLog), Messages(CannotCreateMessage(kmlLog)));
    EXPECT_EQ(ReadBytes(kmlLog), content);
    // A symbolic link and a hard link from the document path to the log.
    const std::string symbolic = folder_.Write("sym.csv", content);
    fs::create_symlink(symbolic, folder_.File("sym.kml"));
    EXPECT_EQ(Convert(symbolic), Messages(CannotCreateMessage(folder_.File("sym.kml"))));
    EXPECT_EQ(ReadBytes(symbolic), content);
    const std::string hard = folder_.Write("hard.csv", content);
    fs::create_hard_link(hard, folder_.File("hard.kml"));
    EXPECT_EQ(Convert(hard), Messages(CannotCreateMessage(folder_.File("hard.kml"))));
    EXPECT_EQ(ReadBytes(hard), content);
}

TEST_F(ConversionRun, ReportsAnEmptyDocumentPathForAShortLogPath) {
    const fs::path before = fs::current_path();
    fs::current_path(folder_.Path());
    folder_.Write("ab", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n");
    const auto messages = Convert("ab");
    fs::current_path(before);
    EXPECT_EQ(messages, Messages("Het bestand  kon niet gemaakt worden."));
}

TEST_F(ConversionRun, RefusesToWriteWithAnEmptySpeedScheme) {
    const std::string log =
        folder_.Write("rit.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n");
    for (std::array<std::string, kSpeedClassCount>* table : {&SpeedColours, &StyleMapIds}) {
        InitSpeedScheme();
        table->at(7).clear();
        EXPECT_EQ(Convert(log), Messages(CannotCreateMessage(folder_.File("rit.kml"))));
        EXPECT_FALSE(fs::exists(folder_.File("rit.kml")));
    }
}

TEST_F(ConversionRun, ReportsAFullDiskWhileConverting) {
    const std::string log =
        folder_.Write("rit.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n");
    fs::create_symlink("/dev/full", folder_.File("rit.kml"));
    EXPECT_EQ(Convert(log), Messages(kConversionFailedMessage));
}

TEST_F(ConversionRun, OverwritesAnExistingDocument) {
    const std::string log =
        folder_.Write("rit.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n");
    folder_.Write("rit.kml", std::string(100000, 'x'));
    EXPECT_TRUE(Convert(log).empty());
    EXPECT_EQ(LineCount(ReadBytes(folder_.File("rit.kml"))), 30U);
}

TEST_F(ConversionRun, ClosesEveryFileOnEveryPath) {
    const std::string good =
        folder_.Write("good.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n");
    const std::string header = folder_.Write("header.csv", "wrong\r\n");
    const std::string bad = folder_.Write(
        "bad.csv", std::string(kHeader) + "1,2,x,1/1/7,1:1:1,0\r\n1,2,x,1/1/7,1:1:1,0\r\n");
    const std::string full = folder_.Write("full.csv", std::string(kHeader));
    fs::create_symlink("/dev/full", folder_.File("full.kml"));
    const std::string same = folder_.Write("same.kml", std::string(kHeader));

    const int before = testing::OpenDescriptorCount();
    int shown = 0;
    for (const std::string& log : {good, header, bad, full, same, folder_.File("missing.csv")}) {
        ConvertTrackLog(log, "", true, [&](const std::string&) {
            ++shown;
            // Files are closed before the message shows.
            EXPECT_EQ(testing::OpenDescriptorCount(), before) << log;
        });
        EXPECT_EQ(testing::OpenDescriptorCount(), before) << log;
    }
    EXPECT_EQ(shown, 5);
}

}  // namespace
}  // namespace routalo
