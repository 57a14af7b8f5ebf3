#include "conversion/readers/reader_factory.h"

#include <string>
#include <string_view>

#include "conversion/files/inflating_input.h"
#include "conversion/readers/fit_reader.h"
#include "conversion/readers/gpx_reader.h"
#include "conversion/readers/nmea_reader.h"
#include "conversion/readers/tcx_reader.h"
#include "conversion/readers/track_log_reader.h"
#include "conversion/text_basics.h"

namespace routalo {
namespace {

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

// The local name of the root element of the document that `log` starts
// with, its first "<" at hand, each character a code unit as for
// StartsWithMarkup. What comes before the root is passed by: the XML
// declaration and processing instructions, comments, a document type
// declaration (its internal subset too) and blank space. Empty when the
// root does not start within the first kPeekLimit bytes, or the code units
// are not what markup is made of.
std::string RootElementName(TextInputFile& log, std::size_t valueAt, std::size_t unitSize) {
    std::size_t at = 0;
    // The character at `at`, or 0 past the end or for one that is no ASCII.
    const auto charAt = [&](std::size_t where) -> char {
        if (where + unitSize > TextInputFile::kPeekLimit) {
            return 0;
        }
        const std::string_view bytes = log.Peek(where + unitSize);
        if (bytes.size() < where + unitSize) {
            return 0;
        }
        for (std::size_t i = 0; i < unitSize; ++i) {
            if (i != valueAt && bytes[where + i] != 0) {
                return 0;
            }
        }
        const char c = bytes[where + valueAt];
        return static_cast<unsigned char>(c) < 0x80 ? c : '\0';
    };
    // Moves `at` past the end of `ending`; false when it is not found.
    const auto passBehind = [&](std::string_view ending) {
        std::string last;  // the last characters, as many as `ending` has
        for (char c = 0; (c = charAt(at)) != 0;) {
            at += unitSize;
            last.push_back(c);
            if (last.size() > ending.size()) {
                last.erase(0, 1);
            }
            if (last == ending) {
                return true;
            }
        }
        return false;
    };
    while (true) {
        const char c = charAt(at);
        if (c == 0) {
            return {};
        }
        if (c != '<') {
            at += unitSize;
            continue;
        }
        const char next = charAt(at + unitSize);
        if (next == '?') {
            if (!passBehind("?>")) {
                return {};
            }
        } else if (next == '!' && charAt(at + 2 * unitSize) == '-') {
            if (!passBehind("-->")) {
                return {};
            }
        } else if (next == '!') {
            // A document type declaration: its internal subset, between
            // "[" and "]", holds declarations of its own.
            int depth = 0;
            char inQuote = 0;
            for (at += unitSize;; at += unitSize) {
                const char d = charAt(at);
                if (d == 0) {
                    return {};
                }
                if (inQuote != 0) {
                    inQuote = d == inQuote ? '\0' : inQuote;
                } else if (d == '"' || d == '\'') {
                    inQuote = d;
                } else if (d == '[') {
                    ++depth;
                } else if (d == ']') {
                    --depth;
                } else if (d == '>' && depth <= 0) {
                    at += unitSize;
                    break;
                }
            }
        } else {
            std::string name;
            for (at += unitSize;; at += unitSize) {
                const char d = charAt(at);
                if (d == 0 || IsXmlBlank(d) || d == '/' || d == '>') {
                    break;
                }
                name.push_back(d);
                if (d == ':') {
                    name.clear();  // the local name follows the prefix
                }
            }
            return name;
        }
    }
}

// The kind of an XML document, `log` at its first "<".
LogKind XmlKind(TextInputFile& log, std::size_t valueAt, std::size_t unitSize) {
    return RootElementName(log, valueAt, unitSize) == kTcxRootElement ? LogKind::kTcx
                                                                      : LogKind::kGpx;
}

// Whether a line that starts within the first kPeekLimit bytes is an NMEA
// sentence. A line counts once it has ended, or once the log has.
bool HoldsSentence(TextInputFile& log) {
    // The first line may start with a UTF-8 byte order mark.
    std::size_t lineStart = log.Peek(kUtf8ByteOrderMark.size()).starts_with(kUtf8ByteOrderMark)
                                ? kUtf8ByteOrderMark.size()
                                : 0;
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
    if (log.Peek(kGzipMagic.size()).starts_with(kGzipMagic)) {
        log.InflateRest();
        start.compressed = true;
    }
    const bool compressed = start.compressed;
    if (IsFitHeader(log.Peek(kFitHeaderPeek))) {
        start.kind = LogKind::kFit;
        return start;
    }
    const std::string_view first = log.Peek(kUtf8ByteOrderMark.size());
    if (first.starts_with(kUtf16LittleEndianMark) || first.starts_with(kUtf16BigEndianMark)) {
        const bool little = first.starts_with(kUtf16LittleEndianMark);
        const std::size_t valueAt = little ? 0 : 1;
        if (StartsWithMarkup(log, kUtf16LittleEndianMark.size(), valueAt, 2, start)) {
            start.kind = XmlKind(log, valueAt, 2);
            start.encoding =
                little ? XmlEncoding::kUtf16LittleEndian : XmlEncoding::kUtf16BigEndian;
        }
        return start;
    }
    const std::size_t mark = first.starts_with(kUtf8ByteOrderMark) ? kUtf8ByteOrderMark.size() : 0;
    if (StartsWithMarkup(log, mark, 0, 1, start)) {
        start.kind = XmlKind(log, 0, 1);
        return start;
    }
    start = LogStart();
    start.compressed = compressed;
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
        case LogKind::kFit:
            return std::make_unique<FitPointReader>(log);
        case LogKind::kTcx:
            return MakeTcxPointReader(log, start.encoding, start.first);
        case LogKind::kTrackLog:
            break;
    }
    return std::make_unique<TrackLogPointReader>(log);
}

}  // namespace routalo
