#include "conversion/conversion_run.h"

#include <array>
#include <exception>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "conversion/document_path.h"
#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/files/zip_archive.h"
#include "conversion/readers/reader_factory.h"
#include "conversion/readers/track_log_reader.h"
#include "conversion/readers/utc_time.h"
#include "conversion/speed_scheme.h"
#include "conversion/stats/trip_stats.h"
#include "conversion/stats/trip_stats_thread.h"
#include "conversion/stop/stop_request.h"
#include "conversion/writers/kml_pieces.h"
#include "conversion/writers/kml_writer.h"
#include "conversion/writers/legend_image.h"
#include "conversion/writers/merged_kml_writer.h"

namespace routalo {
namespace {

// A KMZ archive's entries: the document first, as viewers look for it.
constexpr std::string_view kArchiveDocument = "doc.kml";
constexpr std::string_view kArchiveLegend = "files/legend.png";

// The moment of `point` as its document writes it (date "T" time, in UTC),
// as a ZIP archive dates entries; the 1980 default for a point without one
// or with one that is no moment (a track log's date is written as found).
DosTime DosTimeOfPoint(const TrackPoint& point) {
    std::optional<std::int64_t> seconds;
    if (kml_pieces::HasTime(point)) {
        if (const std::optional<UtcTime> moment =
                ReadIsoDateTime(point.Date + "T" + point.Time + "Z")) {
            seconds = moment->seconds;
        }
    }
    return DosTimeOf(seconds);
}

// What the run was doing when a failure came; it picks the message.
enum class Phase { kOpeningLog, kCreatingDocument, kConverting };

// Where the points are read: two that trade places, so that no point is
// copied.
class TwoPlaces {
  public:
    explicit TwoPlaces(std::array<TrackPoint, 2>& points)
        : current_(&points[0]), previous_(&points[1]) {}
    [[nodiscard]] TrackPoint& Current() { return *current_; }
    [[nodiscard]] const TrackPoint& Previous() const { return *previous_; }
    void Advance() { std::swap(current_, previous_); }

  private:
    TrackPoint* current_;
    TrackPoint* previous_;
};

// Where the points are read when the trip's figures are kept: straight into
// the figures' thread's batches, which the onPoint of each point takes
// (TripStatsThread::Take) before the next one is read.
class StatsPlaces {
  public:
    // Starts from the point that points[0] holds.
    StatsPlaces(std::array<TrackPoint, 2>& points, TripStatsThread& stats)
        : stats_(stats), current_(&stats.Slot()), previous_(&points[1]) {
        *current_ = points[0];
    }
    [[nodiscard]] TrackPoint& Current() { return *current_; }
    [[nodiscard]] const TrackPoint& Previous() const { return *previous_; }
    void Advance() {
        previous_ = current_;
        current_ = &stats_.Slot();
    }

  private:
    TripStatsThread& stats_;
    TrackPoint* current_;
    const TrackPoint* previous_;
};

// Hands every point to `onPoint` with the point before it and the step
// that read it, from the point that `step` read into the first place on.
template <typename Reader, typename Places, typename OnPoint>
void ForEachPointOf(Reader& reader, Places& places, PointStep step, OnPoint& onPoint) {
    for (; step != PointStep::kEnd; step = reader.Next(places.Current())) {
        ThrowIfStopRequested();  // between two points, for every kind of log
        onPoint(places.Current(), places.Previous(), step);
        places.Advance();
    }
}

// Hands the segment from `previous` to `current` to the writer, or tells the
// merged layout that a chain ends.
template <typename Writer>
void WriteStep(Writer& writer, const TrackPoint& current, const TrackPoint& previous,
               PointStep step, bool withTimeInfo) {
    if constexpr (std::is_same_v<Writer, KmlWriter>) {
        if (step == PointStep::kNextPoint) {
            writer.WriteSegment(current, previous, withTimeInfo);
        }
    } else if (step == PointStep::kNextPoint) {
        writer.WriteSegment(current, previous);
    } else {
        writer.EndChain();
    }
}

template <typename Places, typename OnPoint>
void ForEachPoint(PointReader& reader, Places places, PointStep step, OnPoint onPoint) {
    // A CSV log's reader is called as itself, its Next inline in the loop:
    // the commonest kind of log pays no call per point for the others.
    if (auto* trackLog = dynamic_cast<TrackLogPointReader*>(&reader)) {
        ForEachPointOf(*trackLog, places, step, onPoint);
    } else {
        ForEachPointOf(reader, places, step, onPoint);
    }
}

// The moments of the points one after the other, and the gap rule: a point
// more than the gap after the one before, both with a time, starts a new
// chain.
class PointMoments {
  public:
    explicit PointMoments(std::optional<std::int64_t> gap) : gap_(gap) {}

    // Reads the point's moment; returns the step as the run takes it.
    PointStep Take(const TrackPoint& point, PointStep step) {
        previous_ = current_;
        current_ = clock_.MomentOf(point);
        if (step == PointStep::kNextPoint && gap_ && current_ != kNoMoment &&
            previous_ != kNoMoment &&
            (current_ > previous_ ? current_ - previous_ : previous_ - current_) > *gap_) {
            return PointStep::kNewChain;
        }
        return step;
    }

    // From the point before to this one, when both have a time and this one
    // is later; 0 otherwise.
    [[nodiscard]] std::int64_t Duration() const {
        return current_ != kNoMoment && previous_ != kNoMoment && current_ > previous_
                   ? current_ - previous_
                   : 0;
    }

  private:
    PointClock clock_;
    std::optional<std::int64_t> gap_;
    std::int64_t previous_ = kNoMoment;
    std::int64_t current_ = kNoMoment;
};

// Tells the log's kind and checks a track log's header. A track log's
// reader is made here, into `reader`, and checks the header itself: the
// lines behind it are read by the same line input. Nothing when the header
// is not the track log's; `outcome` then says so.
std::optional<LogStart> StartOf(const ConversionRequest& request, TextInputFile& log,
                                std::unique_ptr<PointReader>& reader, ConversionOutcome& outcome) {
    const LogStart start = request.anyKindOfLog ? TellLogKind(log) : LogStart();
    if (start.kind != LogKind::kTrackLog) {
        return start;
    }
    auto trackLog = std::make_unique<TrackLogPointReader>(log);
    if (std::optional<std::string> problem = trackLog->HeaderProblem()) {
        log.Close();
        outcome.result = ConversionResult::kFailed;
        outcome.message = kHeaderMismatchMessage;
        outcome.cause = std::move(*problem);
        return std::nullopt;
    }
    reader = std::move(trackLog);
    return start;
}

// A failure's cause in English: the whole of a conversion's own (a value
// quoted from the log may hold a NUL), the system's reason for the rest.
std::string CauseOf(const std::exception& error) {
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "out of memory";
    }
    if (const auto* own = dynamic_cast<const ConversionError*>(&error)) {
        return CauseWithPlace(*own);
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
    std::optional<ZipArchive> archive;
    std::unique_ptr<PointReader> reader;
    try {
        ThrowIfStopRequested();  // asked for before this LOG started
        ClassRule classRule = request.classRule;
        std::optional<FileIdentity> firstRead;
        if (request.topSpeedFromTrip) {
            // The first read: the moving time by speed, for the top speed.
            log.emplace(request.sourcePath);
            if (!log->Regular()) {
                log->Close();
                outcome.result = ConversionResult::kFailed;
                outcome.message = CannotOpenMessage(request.sourcePath);
                outcome.cause = kReadOnceCause;
                return outcome;
            }
            const std::optional<LogStart> start = StartOf(request, *log, reader, outcome);
            if (!start) {
                return outcome;
            }
            phase = Phase::kConverting;
            if (!reader) {
                reader = MakePointReader(*start, *log);
            }
            MovingTimeBySpeed speeds;
            PointMoments moments(request.gapMicroseconds);
            std::array<TrackPoint, 2> points;
            ForEachPoint(*reader, TwoPlaces(points), reader->Next(points[0]),
                         [&](const TrackPoint& current, const TrackPoint&, PointStep step) {
                             if (moments.Take(current, step) == PointStep::kNextPoint) {
                                 speeds.Add(current.Speed, moments.Duration());
                             }
                         });
            reader.reset();
            firstRead = log->Identity();
            log->Close();
            log.reset();
            outcome.tripTopSpeed = speeds.TopSpeedKmh();
            if (outcome.tripTopSpeed) {
                if (std::optional<TopSpeed> top =
                        TopSpeed::Read(std::to_string(*outcome.tripTopSpeed))) {
                    classRule = ClassRule(std::move(*top));
                }
            }
            phase = Phase::kOpeningLog;
        }

        log.emplace(request.sourcePath);
        if (firstRead && log->Identity() != *firstRead) {
            throw FileRefused("the log was replaced between its two reads");
        }
        const std::optional<LogStart> told = StartOf(request, *log, reader, outcome);
        if (!told) {
            return outcome;
        }
        const LogStart start = *told;

        phase = Phase::kCreatingDocument;
        const std::optional<std::string> kmlPath = DocumentPathFor(
            request.sourcePath, start.kind,
            request.kmz ? DocumentFormat::kKmz : DocumentFormat::kKml, start.compressed);
        if (!kmlPath) {
            throw FileRefused("the log's path is too short to give a document path");
        }
        outputPath = *kmlPath;
        if (start.kind == LogKind::kTrackLog &&
            LeavesTheLogsFolder(UncompressedPath(request.sourcePath, start.compressed),
                                outputPath)) {
            throw FileRefused("the document would lie outside the log's folder");
        }
        if (!SpeedSchemeIsFilled()) {
            throw ConversionError("the speed colour scheme is empty");
        }

        // A track log's document is made before its first line is read, as
        // it always was. Another log's, and every archive, waits for its
        // first point: a log that holds none, or fails before it, leaves no
        // document behind and an old one as it was.
        // The track log's reader was made when its header was checked; every
        // other log's is made here.
        std::array<TrackPoint, 2> points;
        PointStep first = PointStep::kEnd;
        const bool firstPointBeforeDocument = start.kind != LogKind::kTrackLog || request.kmz;
        if (firstPointBeforeDocument) {
            phase = Phase::kConverting;
            if (!reader) {
                reader = MakePointReader(start, *log);
            }
            first = reader->Next(points[0]);
            if (first == PointStep::kEnd && !reader->NoPointCause().empty()) {
                throw ConversionError(std::string(reader->NoPointCause()));
            }
            phase = Phase::kCreatingDocument;
        }
        const FileIdentity logIdentity = log->Identity();
        const OverwriteGuard guard =
            [&](const FileIdentity& identity) -> std::optional<std::string> {
            if (identity.Known() && identity == logIdentity) {
                return "the document would overwrite the log";
            }
            return request.mustNotOverwrite ? request.mustNotOverwrite(identity) : std::nullopt;
        };
        const auto convert = [&](auto& writer) {
            writer.WriteKmlHeader(request.trackName.value_or(reader->TrackName()));
            if (!firstPointBeforeDocument) {
                first = reader->Next(points[0]);
            }
            std::string figuresHtml;
            if (!request.withStats && !request.gapMicroseconds) {
                ForEachPoint(
                    *reader, TwoPlaces(points), first,
                    [&](const TrackPoint& current, const TrackPoint& previous, PointStep step) {
                        WriteStep(writer, current, previous, step, request.withTimeInfo);
                    });
            } else {
                // The figures are kept from the very segments that are written,
                // on a thread of their own.
                std::optional<PointMoments> moments;
                if (request.gapMicroseconds) {
                    moments.emplace(request.gapMicroseconds);
                }
                std::optional<TripStatsThread> stats;
                if (request.withStats) {
                    stats.emplace(classRule);
                }
                const auto onPoint = [&](const TrackPoint& current, const TrackPoint& previous,
                                         PointStep step) {
                    if (moments) {
                        step = moments->Take(current, step);
                    }
                    WriteStep(writer, current, previous, step, request.withTimeInfo);
                    if (stats) {
                        stats->Take(step == PointStep::kNextPoint);
                    }
                };
                if (stats) {
                    ForEachPoint(*reader, StatsPlaces(points, *stats), first, onPoint);
                } else {
                    ForEachPoint(*reader, TwoPlaces(points), first, onPoint);
                }
                if (stats) {
                    outcome.figures =
                        TripFiguresText(stats->Figures(), classRule, outcome.tripTopSpeed);
                    figuresHtml = TripFiguresHtml(*outcome.figures);
                }
            }
            writer.WriteKmlFooter(figuresHtml);
        };
        if (request.kmz) {
            // The legend is drawn before the archive is made, so that an
            // image that cannot be had leaves an old archive as it was.
            const std::string legend = LegendPng(LegendRows(classRule));
            const DosTime time = DosTimeOfPoint(points[0]);
            archive.emplace(outputPath, guard);
            outcome.document = archive->Identity();
            phase = Phase::kConverting;
            archive->StartEntry(kArchiveDocument, time);
            ZipEntryLines lines(*archive);
            MergedKmlWriter writer(lines, classRule, request.withTimeInfo, request.withStats,
                                   kArchiveLegend);
            convert(writer);
            archive->AddStoredEntry(kArchiveLegend, legend, time);
            archive->Finish();
            log->Close();
            return outcome;
        }
        document.emplace(outputPath, guard);
        outcome.document = document->Identity();

        phase = Phase::kConverting;
        if (request.merge) {
            MergedKmlWriter writer(*document, classRule, request.withTimeInfo, request.withStats);
            convert(writer);
        } else {
            KmlWriter writer(*document, classRule);
            convert(writer);
        }
        document->Close();
        log->Close();
        return outcome;
    } catch (const StopRequested& stopped) {
        // Stopped at a line's end, or in a wait: the document keeps whole
        // lines, as after any failure while converting; an archive goes.
        outcome.result = ConversionResult::kInterrupted;
        outcome.message = kConversionFailedMessage;
        outcome.cause = stopped.Cause();
        outcome.signal = stopped.Signal();
    } catch (const LogLineError& error) {
        outcome.result = ConversionResult::kFailed;
        outcome.message = MessageOf(phase, request.sourcePath, outputPath);
        outcome.cause =
            PlaceText(LogPlace::Line(reader ? reader->Line() : 1)) + ": " + error.Cause();
    } catch (const std::exception& error) {
        // What the log holds is wrong, wherever it is read: also where a
        // compressed log's first bytes are inflated to tell its kind.
        const bool content = dynamic_cast<const LogError*>(&error) != nullptr;
        outcome.result = ConversionResult::kFailed;
        outcome.message =
            MessageOf(content ? Phase::kConverting : phase, request.sourcePath, outputPath);
        outcome.cause = CauseOf(error);
    }
    if (document) {
        document->Abandon();
    }
    if (archive) {
        archive->Discard();
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
