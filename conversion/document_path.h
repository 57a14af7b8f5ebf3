#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/readers/reader_factory.h"

namespace routalo {

// The document path of a track log: its path without the last three
// characters, followed by "kml" ("rit.csv" -> "rit.kml", "rit.gpsx" ->
// "rit.gkml"). Nothing for a path of fewer than three characters.
[[nodiscard]] std::optional<std::string> KmlPathFor(std::string_view sourcePath);

// Whether `outputPath`, KmlPathFor's path of `sourcePath`, leaves the log's
// folder, as it does when the log's file name is shorter than the three
// characters that give way to "kml" ("/data/ab" gives "/datakml").
[[nodiscard]] bool LeavesTheLogsFolder(std::string_view sourcePath, std::string_view outputPath);

// What a conversion writes: a KML document, or a KMZ archive that holds one.
enum class DocumentFormat : std::uint8_t { kKml, kKmz };

// The path of a log as it is read: a compressed log's without ".gz" (of
// either case) at the end of its name, where it has one ("ride.fit.gz" ->
// "ride.fit"); any other log's as it stands.
[[nodiscard]] std::string_view UncompressedPath(std::string_view sourcePath, bool compressed);

// The document path of a log of `kind`, compressed or not: a track log's is
// KmlPathFor's of its UncompressedPath; every other log's is that path with
// the file name's extension, from its last "." when that is not the name's
// first character, replaced by ".kml", or ".kml" added to a name without
// one ("ride.gpx" -> "ride.kml", "ride.fit.gz" -> "ride.kml", "nmea" ->
// "nmea.kml", ".gpx" -> ".gpx.kml"). A KMZ archive's path is the same with
// "kmz" in place of "kml" ("rit.csv" -> "rit.kmz", "ride.gpx" ->
// "ride.kmz", "track_001" -> "track_kmz"), so that it stays beside its log
// exactly where the document would.
[[nodiscard]] std::optional<std::string> DocumentPathFor(
    std::string_view sourcePath, LogKind kind, DocumentFormat format = DocumentFormat::kKml,
    bool compressed = false);

}  // namespace routalo
