// The document's path beside its log, on every system the program is built for.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "conversion/document_path.h"

namespace routalo {
namespace {

TEST(DocumentPath, ReplacesTheLastThreeCharactersOfTheLogsPath) {
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit.csv"), "C:\\logs\\rit.kml");
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit.log"), "C:\\logs\\rit.kml");
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit.gpsx"), "C:\\logs\\rit.gkml");
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit"), "C:\\logs\\kml");
    EXPECT_EQ(KmlPathFor("/home/jan/rit.c\xC3\xA9v"), "/home/jan/rit.kml");
    // The file name is decoded on its own, whatever its folder's encoding.
    EXPECT_EQ(KmlPathFor("lat\xE9/rit.\xC3\xA7sv"), "lat\xE9/rit.kml");
    EXPECT_EQ(KmlPathFor("caf\xC3\xA9/rit.\xE7sv"), "caf\xC3\xA9/rit.kml");
    // Outside the log's folder: the run refuses these.
    EXPECT_EQ(KmlPathFor("/data/ab"), "/datakml");
    EXPECT_EQ(KmlPathFor("C:\\data\\ab"), "C:\\datakml");
    EXPECT_EQ(KmlPathFor("C:ab"), "Ckml");
    EXPECT_EQ(KmlPathFor("abc"), "kml");
    EXPECT_EQ(KmlPathFor("ab"), std::nullopt);
}

// Every other kind of log: the file name's extension gives way to ".kml".
TEST(DocumentPath, ReplacesTheExtensionOfEveryOtherKindOfLog) {
    const std::pair<const char*, const char*> cases[] = {
        {"/logs/track.nmea", "/logs/track.kml"},
        {"/logs/ride.gpx", "/logs/ride.kml"},
        {"/logs/nmea", "/logs/nmea.kml"},
        {"/logs/.gpx", "/logs/.gpx.kml"},
        {"/logs/a.b.c", "/logs/a.b.kml"},
        {"/logs.d/rit", "/logs.d/rit.kml"},
        {"C:\\logs\\rit.log", "C:\\logs\\rit.kml"},
        {"ab", "ab.kml"},
        {"rit.caf\xC3\xA9", "rit.kml"},
    };
    for (const auto& [log, document] : cases) {
        EXPECT_EQ(DocumentPathFor(log, LogKind::kGpx), document) << log;
        EXPECT_EQ(DocumentPathFor(log, LogKind::kNmea), document) << log;
    }
    EXPECT_EQ(DocumentPathFor("/logs/track.nmea", LogKind::kTrackLog), "/logs/track.nkml");
}

// A KMZ archive lies where the document would, "kmz" in place of "kml".
TEST(DocumentPath, NamesAnArchiveAsItsDocumentWithKmz) {
    const std::tuple<const char*, LogKind, const char*> cases[] = {
        {"/logs/rit.csv", LogKind::kTrackLog, "/logs/rit.kmz"},
        {"/logs/track_001", LogKind::kTrackLog, "/logs/track_kmz"},
        {"/data/ab", LogKind::kTrackLog, "/datakmz"},  // outside: the run refuses it
        {"/logs/ride.gpx", LogKind::kGpx, "/logs/ride.kmz"},
        {"/logs/nmea", LogKind::kNmea, "/logs/nmea.kmz"},
    };
    for (const auto& [log, kind, archive] : cases) {
        EXPECT_EQ(DocumentPathFor(log, kind, DocumentFormat::kKmz), archive) << log;
    }
    EXPECT_EQ(DocumentPathFor("ab", LogKind::kTrackLog, DocumentFormat::kKmz), std::nullopt);
}

// A compressed log's name drops ".gz" first, then gives way as the log's would.
TEST(DocumentPath, DropsTheGzipSuffixOfACompressedLog) {
    const std::tuple<const char*, LogKind, bool, const char*> cases[] = {
        {"/logs/ride.fit.gz", LogKind::kFit, true, "/logs/ride.kml"},
        {"/logs/ride.tcx.GZ", LogKind::kTcx, true, "/logs/ride.kml"},
        {"/logs/ride.gz", LogKind::kGpx, true, "/logs/ride.kml"},
        {"/logs/rit.csv.gz", LogKind::kTrackLog, true, "/logs/rit.kml"},
        {"/logs/ride.fit", LogKind::kFit, true, "/logs/ride.kml"},
        {"/logs/.gz", LogKind::kGpx, true, "/logs/.gz.kml"},
        {"/logs/ride.fit.gz", LogKind::kFit, false, "/logs/ride.fit.kml"},
    };
    for (const auto& [log, kind, compressed, document] : cases) {
        EXPECT_EQ(DocumentPathFor(log, kind, DocumentFormat::kKml, compressed), document) << log;
    }
}

}  // namespace
}  // namespace routalo
