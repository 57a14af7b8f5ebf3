#include "conversion/readers/reader_factory.h"

#include <string_view>

#include "conversion/readers/gpx_reader.h"
#include "conversion/readers/nmea_reader.h"
#include "conversion/readers/track_log_reader.h"

namespace routalo {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Moves `place` past one character of skipped blank space; a CR LF is one
// line end.
void CountSkipped(char c, char before, XmlPosition& place) {
    if (c == '\n' && before == '\r') {
        return;
    }
    if (c == '\r' || c == '\n') {
        ++place.line;
        place.column = 1;
    } else {
        ++place.column;
    }
}

// Whether the log, after a byte order mark of `markSize` bytes, starts with
// "<" after blank space; if so, moves past the mark and the blank space.
// Each character is a code unit of `unitSize` bytes whose byte `valueAt`
// holds its value, the others 0.
bool StartsWithMarkup(TextInputFile& log, std::size_t markSize, std::size_t valueAt,
                      std::size_t unitSize, LogStart& start) {
    std::size_t at = markSize;
    char before = 0;
    while (true) {
        const std::string_view bytes = log.Peek(at + unitSize);
        if (bytes.size() < at + unitSize) {
            return false;
        }
        bool blank = true;
        for (std::size_t i = 0; i < unitSize; ++i) {
            if (i != valueAt && bytes[at + i] != 0) {
                blank = false;
            }
        }
        const char c = bytes[at + valueAt];
        if (blank && c == '<') {
            log.Skip(at);
            return true;
        }
        if (!blank || !IsXmlBlank(c) || at + unitSize > TextInputFile::kPeekLimit - unitSize) {
            return false;
        }
        CountSkipped(c, before, start.first);
        before = c;
        at += unitSize;
    }
}

// Whether a line that starts within the first kPeekLimit bytes is an NMEA
// sentence. A line counts once it has ended, or once the log has.
bool HoldsSentence(TextInputFile& log) {
    // The first line may start with a UTF-8 byte order mark.
    std::size_t lineStart =
        log.Peek(kUtf8Mark.size()).starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
    std::size_t at = lineStart;
    while (at < TextInputFile::kPeekLimit) {
        const std::string_view bytes = log.Peek(at + 1);
        const bool atEnd = bytes.size() <= at;
        if (atEnd || bytes[at] == '\r' || bytes[at] == '\n') {
            if (IsNmeaSentence(bytes.substr(lineStart, at - lineStart))) {
                return true;
            }
            if (atEnd) {
                return false;
            }
            lineStart = at + 1;
        }
        ++at;
        if (at - lineStart > kLongestNmeaSentence) {
            // Too long to be a sentence: on to the next line end.
            const std::size_t end = bytes.find_first_of("\r\n", at);
            at = end == std::string_view::npos ? bytes.size() : end;
        }
    }
    return false;
}

}  // namespace

LogStart TellLogKind(TextInputFile& log) {
    LogStart start;
    const std::string_view first = log.Peek(kUtf8Mark.size());
    if (first.starts_with(kUtf16LittleEndianMark) || first.starts_with(kUtf16BigEndianMark)) {
        const bool little = first.starts_with(kUtf16LittleEndianMark);
        if (StartsWithMarkup(log, kUtf16LittleEndianMark.size(), little ? 0 : 1, 2, start)) {
            start.kind = LogKind::kGpx;
            start.encoding =
                little ? XmlEncoding::kUtf16LittleEndian : XmlEncoding::kUtf16BigEndian;
        }
        return start;
    }
    const std::size_t mark = first.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
    if (StartsWithMarkup(log, mark, 0, 1, start)) {
        start.kind = LogKind::kGpx;
        return start;
    }
    start = LogStart();
    if (log.Peek(kTrackLogHeader.size()).starts_with(kTrackLogHeader)) {
        return start;
    }
    if (HoldsSentence(log)) {
        start.kind = LogKind::kNmea;
    }
    return start;
}

std::unique_ptr<PointReader> MakePointReader(const LogStart& start, TextInputFile& log) {
    switch (start.kind) {
        case LogKind::kGpx:
            return MakeGpxPointReader(log, start.encoding, start.first);
        case LogKind::kNmea:
            return std::make_unique<NmeaPointReader>(log);
        case LogKind::kTrackLog:
            break;
    }
    return std::make_unique<TrackLogPointReader>(log);
}

}  // namespace routalo
