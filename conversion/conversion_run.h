#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/class_rule.h"
#include "conversion/document_path.h"
#include "conversion/files/file_identity.h"
#include "conversion/readers/track_log_reader.h"

namespace routalo {

// Shows a conversion's failure message to the user; the window puts it in a
// modal message box.
using ShowMessage = std::function<void(const std::string& message)>;

// Converts the track log at `sourcePath` into a KML document beside it (see
// KmlPathFor), naming the track `trackName` and stamping every segment with
// its time when `withTimeInfo` is set.
//
// A failure ends the run with all files closed and exactly one message
// through `showMessage`; a successful run shows none. The log is never
// written to. InitSpeedScheme must have run before.
// Its one caller is the window's Convert button; the command line calls RunConversion.
void ConvertTrackLog(const std::string& sourcePath, std::string_view trackName, bool withTimeInfo,
                     const ShowMessage& showMessage);

// One conversion as ConvertTrackLog makes it, for callers that want more
// than the message: a batch of logs, a run that a signal may stop.
struct ConversionRequest {
    std::string sourcePath;
    // The document's name; without one, the name that the log gives its
    // track, if any.
    std::optional<std::string_view> trackName;
    bool withTimeInfo = false;
    // Files that the document must not be, besides the log itself.
    OverwriteGuard mustNotOverwrite;
    // Whether a GPX or TCX document, an NMEA 0183 log, a FIT file, or any
    // log gzipped, is read too, as its first bytes tell (reader_factory.h),
    // with its document named as DocumentPathFor says; a track log is told
    // by its header line either way.
    bool anyKindOfLog = false;
    // The rule that gives each segment its class.
    ClassRule classRule;
    // Whether the document takes the merged layout (MergedKmlWriter): few
    // placemarks, for viewers that take few, instead of one per segment.
    bool merge = false;
    // Takes the top speed from the log instead (MovingTimeBySpeed): the log
    // is read once for it, and again for the document. A log that can be
    // read only once (a pipe, a FIFO, a terminal) is refused.
    bool topSpeedFromTrip = false;
    // Two consecutive points more than this many microseconds apart, both
    // with a time, start a new chain: no segment spans the gap.
    std::optional<std::int64_t> gapMicroseconds;
    // Keeps the trip's figures, from the same points as the document, and
    // puts them in the document's description.
    bool withStats = false;
    // Whether the merged document goes into a KMZ archive instead, named as
    // DocumentPathFor names one (merge is then implied): doc.kml first,
    // deflated, then files/legend.png, the legend that the document shows
    // in the viewer's lower left corner. Both entries are dated by the first
    // point's time (1980-01-01 00:00 without one). The archive is made only
    // once the log has given a point, whatever its kind; a run that fails or
    // is stopped after that leaves no archive (an unfinished one could not
    // be read), and outcome.document names the archive.
    bool kmz = false;
};

enum class ConversionResult : std::uint8_t { kConverted, kFailed, kInterrupted };

struct ConversionOutcome {
    ConversionResult result = ConversionResult::kConverted;
    // For a failure: the run's message, one of those below, word for word.
    std::string message;
    // What went wrong, in English, where it is known: "line 7: separator
    // ':' is missing", "write failed: No space left on device".
    std::string cause;
    // The signal that stopped an interrupted run.
    int signal = 0;
    // The document, once it was created; also after a later failure.
    std::optional<FileIdentity> document;
    // With withStats, for a converted log: the trip's figures as
    // TripFiguresText words them, as the document's description has them.
    std::optional<std::string> figures;
    // With topSpeedFromTrip: the top speed taken from the log, in km/h;
    // nothing for a log without moving time, whose document then has the
    // default classes.
    std::optional<int> tripTopSpeed;
};

// Runs one conversion; every file is closed when it returns. Shows nothing.
// A stop asked for (conversion/stop/) ends it at a line's end, or in a wait
// for a pipe's other end, as kInterrupted; one asked for before it starts
// ends it before it touches a file.
[[nodiscard]] ConversionOutcome RunConversion(const ConversionRequest& request);

// The messages of the run, one per kind of failure.
[[nodiscard]] std::string CannotOpenMessage(std::string_view sourcePath);
[[nodiscard]] std::string CannotCreateMessage(std::string_view outputPath);
inline constexpr std::string_view kHeaderMismatchMessage =
    "De header van het bestand komt niet overeen met het geen verwacht wordt.";
// The cause of refusing, with topSpeedFromTrip, a log that can be read only
// once; its message is CannotOpenMessage's.
inline constexpr std::string_view kReadOnceCause =
    "--top-speed auto reads the LOG twice, and a pipe can be read only once";
inline constexpr std::string_view kConversionFailedMessage =
    "Er is tijdens het verwerken van het bestand een onbekende fout opgetreden";

}  // namespace routalo
