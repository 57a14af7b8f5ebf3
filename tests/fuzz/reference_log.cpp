#include "tests/fuzz/reference_log.h"

#include "conversion/conversion_run.h"
#include "conversion/errors.h"
#include "conversion/speed_class.h"
#include "conversion/text_encoding.h"

namespace routalo::fuzz {
namespace {

// A separator's position counts from 1 and must fit a 16-bit signed number.
constexpr std::size_t kLastSeparatorIndex = 32766;

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::size_t Characters(std::string_view text, LineEncoding encoding) {
    if (encoding == LineEncoding::kWindows1252) {
        return text.size();
    }
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) {
            ++count;
        }
    }
    return count;
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t cr = bytes.find('\r', at);
        if (cr == std::string_view::npos) {
            lines.push_back(bytes.substr(at));
            break;
        }
        lines.push_back(bytes.substr(at, cr - at));
        at = cr + 1;
        if (at < bytes.size() && bytes[at] == '\n') {
            ++at;
        }
    }
    return lines;
}

std::optional<TrackPoint> ExpectedPoint(std::string_view line) {
    const LineEncoding encoding =
        IsValidUtf8(line) ? LineEncoding::kUtf8 : LineEncoding::kWindows1252;
    std::string_view rest = TrimSpaces(line);
    TrackPoint point;
    if (rest.find(',') == std::string_view::npos) {
        point.Latitude = kSkipMark;
        return point;
    }
    bool failed = false;
    const auto cut = [&](char separator) {
        const std::size_t at = rest.find(separator);
        if (at == std::string_view::npos || at > kLastSeparatorIndex) {
            failed = true;
            return std::string_view();
        }
        const std::string_view piece = rest.substr(0, at);
        rest.remove_prefix(at + 1);
        return piece;
    };
    const auto text = [&](std::string_view piece) {
        std::string out;
        AppendDecoded(out, piece, encoding);
        return out;
    };
    const auto widened = [&](std::string_view piece) {
        std::string out = Characters(piece, encoding) == 1 ? "0" : "";
        AppendDecoded(out, piece, encoding);
        return out;
    };

    const std::string_view longitude = cut(',');
    const std::string_view latitude = cut(',');
    const std::string_view speed = cut(',');
    const std::string_view day = cut('/');
    const std::string_view month = cut('/');
    const std::string_view year = cut(',');
    const std::string_view hours = cut(':');
    const std::string_view minutes = cut(':');
    const std::string_view seconds = cut(',');
    if (failed) {
        return std::nullopt;
    }
    point.Longitude = text(TrimSpaces(longitude));
    point.Latitude = text(TrimSpaces(latitude));
    point.Speed = text(TrimSpaces(speed));
    point.Date = text(year) + "-" + widened(month) + "-" + widened(day);
    point.Time = widened(hours) + ":" + widened(minutes) + ":" + widened(seconds);
    return point;
}

ExpectedRun ExpectedConversion(std::string_view log, const std::string& sourcePath) {
    ExpectedRun run;
    const std::vector<std::string_view> lines = SplitLines(log);
    if (lines.empty()) {
        run.message = CannotOpenMessage(sourcePath);
        return run;
    }
    if (lines.front() != kTrackLogHeader) {
        run.message = std::string(kHeaderMismatchMessage);
        return run;
    }
    run.documentCreated = true;

    std::size_t next = 1;
    const auto atEnd = [&] { return next >= lines.size(); };
    const auto fail = [&] {
        run.message = std::string(kConversionFailedMessage);
        return run;
    };

    // The first point is read without a test for the end of the log.
    if (atEnd()) {
        return fail();
    }
    std::optional<TrackPoint> previous = ExpectedPoint(lines[next++]);
    if (!previous) {
        return fail();
    }
    while (IsSkipPoint(*previous)) {
        if (atEnd()) {
            return run;
        }
        previous = ExpectedPoint(lines[next++]);
        if (!previous) {
            return fail();
        }
    }
    while (!atEnd()) {
        const std::optional<TrackPoint> current = ExpectedPoint(lines[next++]);
        if (!current) {
            return fail();
        }
        if (IsSkipPoint(*current)) {
            continue;
        }
        // The speed grammar and its rounding have tests of their own; here
        // only whether the segment can be written matters.
        try {
            (void)SpeedClassOf(current->Speed);
        } catch (const SpeedError&) {
            return fail();
        }
        ++run.segments;
    }
    return run;
}

}  // namespace routalo::fuzz
