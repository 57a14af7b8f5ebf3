#include "conversion/readers/track_log_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "conversion/errors.h"
#include "conversion/text_basics.h"
#include "conversion/text_encoding.h"
#include "conversion/xml_text.h"

namespace routalo {
namespace {

// Separator positions count as 16-bit signed numbers from 1, so a separator
// must stand at index 32766 or earlier of the text still to be cut.
constexpr std::size_t kSeparatorWindow = 32767;

// The nine cuts of a line together never look past this many bytes behind
// its leading spaces; the reader keeps no more of a line than that.
constexpr std::size_t kKeptBytes = 9 * kSeparatorWindow;

// A data line as the cutting needs it: the bytes behind its leading spaces,
// as far as any cut can reach, and what the whole line holds.
struct KeptLine {
    std::string_view bytes;  // in the log's buffer, or in `copy`
    bool hasComma = false;   // a "," stands anywhere in the line
    // The whole line is plain XML text (IsPlainXmlText), and so ASCII; only
    // ever set for a line that lay whole in the buffer.
    bool plain = false;
    LineEncoding encoding = LineEncoding::kUtf8;
    std::string copy;  // the kept bytes of a line that did not lie whole in the buffer
};

// Reads the next line. A line that lies whole in the log's buffer, which is
// nearly every line, is used where it lies; any other is copied piece by
// piece, as far as it is kept. Using the bytes where they lie also spares
// the processor reading back bytes that it has only just written.
void ReadKeptLine(CrLineInput& log, KeptLine& line) {
    line.hasComma = false;
    line.copy.clear();
    bool leadingSpaces = true;
    std::size_t kept = 0;
    Utf8Validator utf8;
    // Takes in the next piece of the line; returns the part of it to keep.
    const auto take = [&](std::string_view piece) -> std::string_view {
        if (leadingSpaces) {
            const std::size_t first = piece.find_first_not_of(' ');
            if (first == std::string_view::npos) {
                return {};
            }
            piece.remove_prefix(first);
            leadingSpaces = false;
        }
        line.hasComma = line.hasComma || piece.find(',') != std::string_view::npos;
        piece = piece.substr(0, kKeptBytes - kept);
        kept += piece.size();
        return piece;
    };
    std::string_view whole;
    if (log.ReadBufferedLine(whole)) {
        // One look at the bytes tells both whether the texts need escaping
        // and, when they do not, that the line is ASCII and so UTF-8.
        line.plain = IsPlainXmlText(whole);
        if (!line.plain) {
            utf8.Feed(whole);
        }
        line.bytes = take(whole);
    } else {
        line.plain = false;
        log.ReadLine([&](std::string_view piece) {
            utf8.Feed(piece);
            line.copy.append(take(piece));
        });
        line.bytes = line.copy;
    }
    line.encoding = utf8.Valid() ? LineEncoding::kUtf8 : LineEncoding::kWindows1252;
    // Spaces at the end of the line need not be taken off: every piece ends
    // at a separator, so none of them can reach the end of the line.
}

[[noreturn]] void FailCut(char separator, const char* problem) {
    throw TrackLogError(std::string("separator '") + separator + "' " + problem);
}

// Cuts the text still to be cut (`rest`) at the first `separator`.
class LineCutter {
  public:
    LineCutter(std::string_view rest, LineEncoding encoding) : rest_(rest), encoding_(encoding) {}

    // The pieces are short, so a plain loop beats a call to memchr.
    std::string_view Cut(char separator) {
        std::size_t at = 0;
        while (at < rest_.size() && rest_[at] != separator) {
            ++at;
        }
        if (at == rest_.size()) {
            FailCut(separator, "is missing");
        }
        if (at >= kSeparatorWindow) {
            FailCut(separator, "stands 32767 bytes or more behind the one before");
        }
        const std::string_view piece = rest_.substr(0, at);
        rest_.remove_prefix(at + 1);
        return piece;
    }

    void Append(std::string& out, std::string_view piece) const {
        if (encoding_ == LineEncoding::kUtf8) {
            out.append(piece);  // the usual case, without a call
        } else {
            AppendDecoded(out, piece, encoding_);
        }
    }

    // A piece of exactly one character gets a "0" in front of it. Pieces end
    // at ASCII separators and so hold whole characters: one byte is one
    // character, and a longer piece that starts with an ASCII byte or has
    // more than four bytes holds more than one in either encoding.
    void AppendWidened(std::string& out, std::string_view piece) const {
        const bool oneCharacter =
            piece.size() == 1 ||
            (piece.size() >= 2 && piece.size() <= 4 &&
             static_cast<unsigned char>(piece[0]) >= 0x80 && CharacterCount(piece, encoding_) == 1);
        if (oneCharacter) {
            out.push_back('0');
        }
        Append(out, piece);
    }

  private:
    std::string_view rest_;
    LineEncoding encoding_;
};

}  // namespace

std::optional<std::string> TrackLogHeaderProblem(CrLineInput& log) {
    if (log.AtEnd()) {
        throw FileRefused("the log is empty");
    }
    std::string header;
    log.ReadLine(header, kTrackLogHeader.size() + 1);
    if (header == kTrackLogHeader) {
        return std::nullopt;
    }
    // Lines that end in bare line feeds are no lines here: the whole log
    // reads as its first line, which starts with the header and that LF.
    if (header.starts_with(kTrackLogHeader) && header.back() == '\n') {
        return "the log's lines end in bare line feeds; it needs CR LF or CR line ends";
    }
    // A byte order mark is no part of the header line, however an editor
    // that wrote it shows the line.
    if (header.starts_with(kUtf8ByteOrderMark)) {
        return "the log starts with a UTF-8 byte order mark";
    }
    if (header.starts_with(kUtf16LittleEndianMark) || header.starts_with(kUtf16BigEndianMark)) {
        return "the log starts with a UTF-16 byte order mark";
    }
    return std::string();
}

void ReadTrackPoint(CrLineInput& log, TrackPoint& point) {
    // One buffer per thread, reused from line to line.
    thread_local KeptLine line;
    ReadKeptLine(log, line);

    point.Latitude.clear();
    point.Longitude.clear();
    point.Speed.clear();
    point.Date.clear();
    point.Time.clear();
    point.XmlSafe = false;
    if (!line.hasComma) {
        point.Latitude = kSkipMark;
        return;
    }
    // Every text comes from the line: when it is plain XML text, so are the
    // texts. Known from reading the line, where its bytes lie in the log's
    // buffer, rather than checked on every text each time it is written.
    point.XmlSafe = line.plain;
    LineCutter cutter(line.bytes, line.encoding);
    cutter.Append(point.Longitude, TrimSpaces(cutter.Cut(',')));
    cutter.Append(point.Latitude, TrimSpaces(cutter.Cut(',')));
    cutter.Append(point.Speed, TrimSpaces(cutter.Cut(',')));

    const std::string_view day = cutter.Cut('/');
    const std::string_view month = cutter.Cut('/');
    const std::string_view year = cutter.Cut(',');
    cutter.Append(point.Date, year);
    point.Date.push_back('-');
    cutter.AppendWidened(point.Date, month);
    point.Date.push_back('-');
    cutter.AppendWidened(point.Date, day);

    const std::string_view hours = cutter.Cut(':');
    const std::string_view minutes = cutter.Cut(':');
    const std::string_view seconds = cutter.Cut(',');
    cutter.AppendWidened(point.Time, hours);
    point.Time.push_back(':');
    cutter.AppendWidened(point.Time, minutes);
    point.Time.push_back(':');
    cutter.AppendWidened(point.Time, seconds);
}

TrackPoint ReadTrackPoint(CrLineInput& log) {
    TrackPoint point;
    ReadTrackPoint(log, point);
    return point;
}

}  // namespace routalo
