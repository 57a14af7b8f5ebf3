#include "conversion/conversion_run.h"

#include <array>
#include <exception>
#include <memory>
#include <new>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/path_style.h"
#include "conversion/files/stop_request.h"
#include "conversion/files/text_input_file.h"
#include "conversion/kml_writer.h"
#include "conversion/readers/gpx_reader.h"
#include "conversion/readers/nmea_reader.h"
#include "conversion/readers/track_log_reader.h"
#include "conversion/speed_scheme.h"
#include "conversion/text_encoding.h"

namespace routalo {
namespace {

// What the run was doing when a failure came; it picks the message.
enum class Phase { kOpeningLog, kCreatingDocument, kConverting };

// Reads the first line and compares it with the header, byte for byte.
// Returns nothing when it matches, otherwise what is known of why not (the
// empty text when nothing is). Only one byte more than the header is kept,
// so a log of one endless line is no burden.
std::optional<std::string> HeaderProblem(TextInputFile& log) {
    if (log.AtEnd()) {
        throw FileRefused("the log is empty");
    }
    std::string header;
    log.ReadLine(header, kTrackLogHeader.size() + 1);
    if (header == kTrackLogHeader) {
        return std::nullopt;
    }
    // Lines that end in a bare line feed are no lines here: the whole log
    // reads as its first line, which starts with the header and that LF.
    if (header.starts_with(kTrackLogHeader) && header.back() == '\n') {
        return "the log's lines end in bare line feeds; it needs CR LF or CR line ends";
    }
    return std::string();
}

// How many characters of the log's path give way to "kml".
constexpr std::size_t kDroppedCharacters = 3;

// A file name that is valid UTF-8 is read as UTF-8, any other as
// Windows-1252, as the lines of a log are.
LineEncoding EncodingOf(std::string_view name) {
    return IsValidUtf8(name) ? LineEncoding::kUtf8 : LineEncoding::kWindows1252;
}

// Whether the document path leaves the log's folder, as it does when the
// log's file name is shorter than the three characters that give way to
// "kml" ("/data/ab" gives "/datakml").
bool LeavesTheLogsFolder(std::string_view sourcePath, std::string_view outputPath) {
    const std::string_view dropped =
        sourcePath.substr(outputPath.size() - std::string_view("kml").size());
    return dropped.find_first_of(kFolderSeparators) != std::string_view::npos;
}

// The kinds of log that the first bytes tell apart.
enum class LogKind { kTrackLog, kGpx, kNmea };

// A GPX document starts with "<", an NMEA 0183 log with "$", each after an
// optional UTF-8 byte order mark and blank space, as far as the first
// buffer holds them; anything else is left to the track log's header check.
LogKind KindOf(TextInputFile& log) {
    std::string_view start = log.Buffered();
    if (start.starts_with("\xEF\xBB\xBF")) {
        start.remove_prefix(3);
    }
    const std::size_t first = start.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && start[first] == '<') {
        return LogKind::kGpx;
    }
    if (first != std::string_view::npos && start[first] == '$') {
        return LogKind::kNmea;
    }
    return LogKind::kTrackLog;
}

std::unique_ptr<PointReader> ReaderFor(LogKind kind, TextInputFile& log) {
    switch (kind) {
        case LogKind::kGpx:
            return MakeGpxPointReader(log);
        case LogKind::kNmea:
            return std::make_unique<NmeaPointReader>(log);
        case LogKind::kTrackLog:
            break;
    }
    return std::make_unique<TrackLogPointReader>(log);
}

// Writes one segment for every pair of consecutive points of a chain. The
// two points trade places instead of being copied.
template <typename Reader>
void ConvertPointsOf(Reader& reader, KmlWriter& writer, bool withTimeInfo) {
    std::array<TrackPoint, 2> points;
    TrackPoint* previous = &points[0];
    TrackPoint* current = &points[1];
    for (PointStep step = reader.Next(*current); step != PointStep::kEnd;
         step = reader.Next(*current)) {
        if (step == PointStep::kNextPoint) {
            writer.WriteSegment(*current, *previous, withTimeInfo);
        }
        std::swap(previous, current);
    }
}

void ConvertPoints(PointReader& reader, KmlWriter& writer, bool withTimeInfo) {
    // A CSV log's reader is called as itself, its Next inline in the loop:
    // the commonest kind of log pays no call per point for the others.
    if (auto* trackLog = dynamic_cast<TrackLogPointReader*>(&reader)) {
        ConvertPointsOf(*trackLog, writer, withTimeInfo);
    } else {
        ConvertPointsOf(reader, writer, withTimeInfo);
    }
}

// A failure's cause in English: the whole of a conversion's own (a value
// quoted from the log may hold a NUL), the system's reason for the rest.
std::string CauseOf(const std::exception& error) {
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "out of memory";
    }
    if (const auto* own = dynamic_cast<const ConversionError*>(&error)) {
        return own->Cause();
    }
    return error.what();
}

std::string MessageOf(Phase phase, std::string_view sourcePath, std::string_view outputPath) {
    switch (phase) {
        case Phase::kOpeningLog:
            return CannotOpenMessage(sourcePath);
        case Phase::kCreatingDocument:
            return CannotCreateMessage(outputPath);
        case Phase::kConverting:
            break;
    }
    return std::string(kConversionFailedMessage);
}

}  // namespace

std::optional<std::string> KmlPathFor(std::string_view sourcePath) {
    // The characters are counted in the file name, decoded on its own, so
    // that a folder name in another encoding cannot split one. A file name
    // shorter than that gives a path outside the log's folder, which the run
    // refuses; it is formed from the whole path, to be named in the message.
    const std::size_t nameStart = sourcePath.find_last_of(kFolderSeparators) + 1;
    std::string_view name = sourcePath.substr(nameStart);
    if (CharacterCount(name, EncodingOf(name)) < kDroppedCharacters) {
        name = sourcePath;
    }
    const std::optional<std::string_view> stem =
        DropLastCharacters(name, kDroppedCharacters, EncodingOf(name));
    if (!stem) {
        return std::nullopt;
    }
    return std::string(sourcePath.substr(0, sourcePath.size() - name.size())) + std::string(*stem) +
           "kml";
}

std::string CannotOpenMessage(std::string_view sourcePath) {
    return "Het bestand " + std::string(sourcePath) + " kon niet worden geopend.";
}

std::string CannotCreateMessage(std::string_view outputPath) {
    return "Het bestand " + std::string(outputPath) + " kon niet gemaakt worden.";
}

ConversionOutcome RunConversion(const ConversionRequest& request) {
    ConversionOutcome outcome;
    Phase phase = Phase::kOpeningLog;
    std::string outputPath;
    std::optional<TextInputFile> log;
    std::optional<TextOutputFile> document;
    std::unique_ptr<PointReader> reader;
    try {
        ThrowIfStopRequested();  // asked for before this LOG started
        log.emplace(request.sourcePath);
        const LogKind kind = request.anyKindOfLog ? KindOf(*log) : LogKind::kTrackLog;
        if (std::optional<std::string> problem =
                kind == LogKind::kTrackLog ? HeaderProblem(*log) : std::nullopt) {
            log->Close();
            outcome.result = ConversionResult::kFailed;
            outcome.message = kHeaderMismatchMessage;
            outcome.cause = std::move(*problem);
            return outcome;
        }

        phase = Phase::kCreatingDocument;
        const std::optional<std::string> kmlPath = KmlPathFor(request.sourcePath);
        if (!kmlPath) {
            throw FileRefused("the log's path is too short to give a document path");
        }
        outputPath = *kmlPath;
        if (LeavesTheLogsFolder(request.sourcePath, outputPath)) {
            throw FileRefused("the document would lie outside the log's folder");
        }
        if (!SpeedSchemeIsFilled()) {
            throw ConversionError("the speed colour scheme is empty");
        }
        const FileIdentity logIdentity = log->Identity();
        document.emplace(
            outputPath, [&](const FileIdentity& identity) -> std::optional<std::string> {
                if (identity.Known() && identity == logIdentity) {
                    return "the document would overwrite the log";
                }
                return request.mustNotOverwrite ? request.mustNotOverwrite(identity) : std::nullopt;
            });
        outcome.document = document->Identity();

        phase = Phase::kConverting;
        KmlWriter writer(*document, request.topSpeed ? &*request.topSpeed : nullptr);
        writer.WriteKmlHeader(request.trackName);
        reader = ReaderFor(kind, *log);
        ConvertPoints(*reader, writer, request.withTimeInfo);
        writer.WriteKmlFooter();
        document->Close();
        log->Close();
        return outcome;
    } catch (const StopRequested& stopped) {
        // Stopped at a line's end, or in a wait: the document keeps whole
        // lines, as after any failure while converting.
        outcome.result = ConversionResult::kInterrupted;
        outcome.message = kConversionFailedMessage;
        outcome.cause = stopped.Cause();
        outcome.signal = stopped.Signal();
    } catch (const LogLineError& error) {
        outcome.result = ConversionResult::kFailed;
        outcome.message = MessageOf(phase, request.sourcePath, outputPath);
        outcome.cause =
            "line " + std::to_string(reader ? reader->Line() : 1) + ": " + error.Cause();
    } catch (const std::exception& error) {
        outcome.result = ConversionResult::kFailed;
        outcome.message = MessageOf(phase, request.sourcePath, outputPath);
        outcome.cause = CauseOf(error);
    }
    if (document) {
        document->Abandon();
    }
    if (log) {
        log->Close();
    }
    return outcome;
}

void ConvertTrackLog(const std::string& sourcePath, std::string_view trackName, bool withTimeInfo,
                     const ShowMessage& showMessage) {
    ConversionRequest request;
    request.sourcePath = sourcePath;
    request.trackName = trackName;
    request.withTimeInfo = withTimeInfo;
    // Both files are closed before the message shows, so that the user can
    // look at the document while the message is up.
    const ConversionOutcome outcome = RunConversion(request);
    if (outcome.result != ConversionResult::kConverted) {
        showMessage(outcome.message);
    }
}

}  // namespace routalo
