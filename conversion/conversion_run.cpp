#include "conversion/conversion_run.h"

#include <array>
#include <exception>
#include <utility>

#include "conversion/kml_writer.h"
#include "conversion/text_encoding.h"
#include "conversion/text_input_file.h"
#include "conversion/text_output_file.h"
#include "conversion/track_log_reader.h"

namespace routalo {
namespace {

// What the run was doing when a failure came; it picks the message.
enum class Phase { kOpeningLog, kCreatingDocument, kConverting };

// Reads the first line and compares it with the header, byte for byte. Only
// one byte more than the header is kept, so a log of one endless line is no
// burden.
bool HeaderMatches(TextInputFile& log) {
    std::string header;
    log.ReadLine(header, kTrackLogHeader.size() + 1);
    return header == kTrackLogHeader;
}

// Reads points until a usable one comes, the first one without a test for
// the end of the log. Returns false when the log ends first.
bool ReadFirstPoint(TextInputFile& log, TrackPoint& point) {
    ReadTrackPoint(log, point);
    while (IsSkipPoint(point)) {
        if (log.AtEnd()) {
            return false;
        }
        ReadTrackPoint(log, point);
    }
    return true;
}

// Writes one segment for every pair of consecutive usable points. The two
// points trade places instead of being copied.
void ConvertPoints(TextInputFile& log, KmlWriter& writer, bool withTimeInfo) {
    std::array<TrackPoint, 2> points;
    TrackPoint* previous = &points[0];
    TrackPoint* current = &points[1];
    if (!ReadFirstPoint(log, *previous)) {
        return;
    }
    while (!log.AtEnd()) {
        ReadTrackPoint(log, *current);
        if (IsSkipPoint(*current)) {
            continue;
        }
        writer.WriteSegment(*current, *previous, withTimeInfo);
        std::swap(previous, current);
    }
}

}  // namespace

std::optional<std::string> KmlPathFor(std::string_view sourcePath) {
    const LineEncoding encoding =
        IsValidUtf8(sourcePath) ? LineEncoding::kUtf8 : LineEncoding::kWindows1252;
    const std::optional<std::string_view> stem = DropLastCharacters(sourcePath, 3, encoding);
    if (!stem) {
        return std::nullopt;
    }
    return std::string(*stem) + "kml";
}

std::string CannotOpenMessage(std::string_view sourcePath) {
    return "Het bestand " + std::string(sourcePath) + " kon niet worden geopend.";
}

std::string CannotCreateMessage(std::string_view outputPath) {
    return "Het bestand " + std::string(outputPath) + " kon niet gemaakt worden.";
}

void ConvertTrackLog(const std::string& sourcePath, std::string_view trackName, bool withTimeInfo,
                     const ShowMessage& showMessage) {
    Phase phase = Phase::kOpeningLog;
    std::string outputPath;
    std::optional<TextInputFile> log;
    std::optional<TextOutputFile> document;
    std::string message;
    try {
        log.emplace(sourcePath);
        if (!HeaderMatches(*log)) {
            log->Close();
            showMessage(std::string(kHeaderMismatchMessage));
            return;
        }

        phase = Phase::kCreatingDocument;
        const std::optional<std::string> kmlPath = KmlPathFor(sourcePath);
        if (!kmlPath) {
            throw FileError("cannot create: no document path for so short a path");
        }
        outputPath = *kmlPath;
        document.emplace(outputPath, log->Identity());

        phase = Phase::kConverting;
        KmlWriter writer(*document);
        writer.WriteKmlHeader(trackName);
        ConvertPoints(*log, writer, withTimeInfo);
        writer.WriteKmlFooter();
        document->Close();
        log->Close();
        return;
    } catch (const std::exception&) {
        switch (phase) {
            case Phase::kOpeningLog:
                message = CannotOpenMessage(sourcePath);
                break;
            case Phase::kCreatingDocument:
                message = CannotCreateMessage(outputPath);
                break;
            case Phase::kConverting:
                message = kConversionFailedMessage;
                break;
        }
    }
    // Both files are closed before the message shows, so that the user can
    // look at the document while the message is up.
    if (document) {
        document->Abandon();
    }
    if (log) {
        log->Close();
    }
    showMessage(message);
}

}  // namespace routalo
