#include "conversion/readers/nmea_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "conversion/decimal_text.h"
#include "conversion/errors.h"
#include "conversion/readers/utc_time.h"
#include "conversion/speed_class.h"
#include "conversion/stop/stop_request.h"

namespace routalo {
namespace {

// NMEA 0183 allows 82 characters a sentence, but receivers write longer ones
// (a position to 8 decimals of a minute, 85); a line of more than 1 KiB holds
// none.
constexpr std::size_t kLongestLine = 1024;

// Minutes with more decimals than this are no receiver's: the sentence is
// refused rather than rounded twice.
constexpr std::size_t kMostMinuteDecimals = 12;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool AllDigits(std::string_view text) {
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

// Whether `field` is the one character `c`.
bool IsChar(std::string_view field, char c) {
    return field.size() == 1 && field[0] == c;
}

// Where the first CR or LF in `bytes` stands, or its size when it holds
// none. Both are looked for with memchr, a window at a time, so that a log
// whose lines end in CR alone is not searched for an LF to the end of the
// buffer at every line.
std::size_t LineEnd(std::string_view bytes) {
    constexpr std::size_t kWindow = 256;
    for (std::size_t from = 0; from < bytes.size(); from += kWindow) {
        const std::string_view window = bytes.substr(from, kWindow);
        const std::size_t lf = window.find('\n');
        const std::size_t end = std::min(lf, window.substr(0, lf).find('\r'));
        if (end != std::string_view::npos) {
            return from + end;
        }
    }
    return bytes.size();
}

// The value of two digits at `at`.
int TwoDigits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::optional<unsigned> HexDigit(char c) {
    if (IsDigit(c)) {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    return std::nullopt;
}

// The sentence between "$" and "*hh" when its checksum, the exclusive or of
// those bytes, is right.
std::optional<std::string_view> CheckedBody(std::string_view sentence) {
    if (sentence.size() < 4 || sentence[0] != '$' || sentence[sentence.size() - 3] != '*') {
        return std::nullopt;
    }
    const std::optional<unsigned> high = HexDigit(sentence[sentence.size() - 2]);
    const std::optional<unsigned> low = HexDigit(sentence[sentence.size() - 1]);
    const std::string_view body = sentence.substr(1, sentence.size() - 4);
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    if (!high || !low || sum != *high * 16 + *low) {
        return std::nullopt;
    }
    return body;
}

// Degrees and minutes, "5212.3456" with `degreeDigits` 2, as decimal degrees
// with six decimals; nothing for a text that is none or lies beyond
// `limit` degrees.
bool AppendDegrees(std::string& out, std::string_view text, std::size_t degreeDigits, int limit,
                   bool negative) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.size() != degreeDigits + 2 || !AllDigits(whole) || !AllDigits(fraction) ||
        fraction.size() > kMostMinuteDecimals) {
        return false;
    }
    std::int64_t degrees = 0;
    for (const char c : whole.substr(0, degreeDigits)) {
        degrees = degrees * 10 + (c - '0');
    }
    // The minutes as a whole number of 10^-fraction.size() minutes.
    std::uint64_t minutes = static_cast<std::uint64_t>(TwoDigits(whole, degreeDigits));
    std::uint64_t unit = 1;
    for (const char c : fraction) {
        minutes = minutes * 10 + static_cast<std::uint64_t>(c - '0');
        unit *= 10;
    }
    if (minutes >= 60 * unit) {
        return false;
    }
    // millionths of a degree = minutes x 10^6 / (60 x unit), rounded half to
    // even; the degrees, a multiple of 10^6, do not change the parity.
    constexpr std::uint64_t kMillion = 1'000'000;
    std::uint64_t numerator = minutes;
    std::uint64_t denominator = 60;
    if (unit <= kMillion) {
        numerator *= kMillion / unit;
    } else {
        denominator *= unit / kMillion;
    }
    std::uint64_t millionths = numerator / denominator;
    const std::uint64_t twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && millionths % 2 == 1)) {
        ++millionths;
    }
    const std::uint64_t total = static_cast<std::uint64_t>(degrees) * kMillion + millionths;
    if (total > static_cast<std::uint64_t>(limit) * kMillion) {
        return false;
    }
    if (negative && total > 0) {
        out.push_back('-');
    }
    out.append(std::to_string(total / kMillion));
    const std::string decimals = std::to_string(kMillion + total % kMillion);
    out.push_back('.');
    out.append(decimals, 1);
    return true;
}

// The moment of an RMC's time, "hhmmss" or "hhmmss.s...", and date, "ddmmyy",
// which are UTC, as the point's Date and Time: false for a time no day has
// and a date the calendar lacks.
bool ReadRmcTime(std::string_view time, std::string_view date, TrackPoint& point) {
    constexpr int kFirstYearOf1900s = 80;
    if (date.size() != 6 || !AllDigits(date) || time.size() < 6 || !AllDigits(time.substr(0, 6))) {
        return false;
    }
    std::string_view fraction = time.substr(6);
    if (!fraction.empty()) {
        if (fraction.size() < 2 || fraction[0] != '.' || !AllDigits(fraction.substr(1))) {
            return false;
        }
        fraction.remove_prefix(1);
    }
    const int year = TwoDigits(date, 4);
    return WriteUtcTimeTexts({.year = (year >= kFirstYearOf1900s ? 1900 : 2000) + year,
                              .month = TwoDigits(date, 2),
                              .day = TwoDigits(date, 0),
                              .hour = TwoDigits(time, 0),
                              .minute = TwoDigits(time, 2),
                              .second = TwoDigits(time, 4),
                              .fraction = fraction},
                             point.Date, point.Time);
}

}  // namespace

bool ReadRmcSentence(std::string_view sentence, TrackPoint& point) {
    const std::optional<std::string_view> body = CheckedBody(sentence);
    if (!body) {
        return false;
    }
    // The address and the first ten fields; any further ones (mode,
    // navigational status) change nothing.
    constexpr std::size_t kFields = 11;
    std::array<std::string_view, kFields> fields;
    std::string_view rest = *body;
    for (std::size_t i = 0; i < kFields; ++i) {
        const std::size_t comma = rest.find(',');
        fields[i] = rest.substr(0, comma);
        if (comma == std::string_view::npos) {
            if (i + 1 < kFields - 1) {
                return false;  // the magnetic variation and its side may be missing
            }
            rest = {};
        } else {
            rest.remove_prefix(comma + 1);
        }
    }
    const auto& [address, time, status, latitude, north, longitude, east, knots, course, date,
                 variation] = fields;
    (void)course;
    (void)variation;
    // Two letters of a talker; "P" starts a maker's own sentence instead.
    const bool talker = address.size() == 5 && address[0] >= 'A' && address[0] <= 'Z' &&
                        address[0] != 'P' && address[1] >= 'A' && address[1] <= 'Z';
    if (!talker || address[2] != 'R' || address[3] != 'M' || address[4] != 'C' ||
        !IsChar(status, 'A') || (!IsChar(north, 'N') && !IsChar(north, 'S')) ||
        (!IsChar(east, 'E') && !IsChar(east, 'W'))) {
        return false;
    }
    if (knots.empty() || !IsDigit(knots[0])) {
        return false;  // no sign
    }
    const std::optional<ExactDecimal> speed = ReadExactDecimal(knots, false);
    if (!speed) {
        return false;
    }
    constexpr std::uint32_t kMetresPerNauticalMile = 1852;
    if (!ReadRmcTime(time, date, point)) {
        return false;
    }
    point.Latitude.clear();
    point.Longitude.clear();
    point.Speed = ExactProductText(*speed, kMetresPerNauticalMile, -3);
    CapAtTheFastestSpeed(point.Speed);
    point.XmlSafe = true;  // digits, points, signs, "-" and ":" alone
    constexpr int kLatitudeLimit = 90;
    constexpr int kLongitudeLimit = 180;
    return AppendDegrees(point.Latitude, latitude, 2, kLatitudeLimit, north[0] == 'S') &&
           AppendDegrees(point.Longitude, longitude, 3, kLongitudeLimit, east[0] == 'W');
}

bool NmeaPointReader::TakeLine() {
    line_.clear();
    overlong_ = false;
    bool anyByte = false;
    while (true) {
        const std::string_view bytes = log_.Buffered();
        if (bytes.empty()) {
            lineNumber_ += anyByte ? 1 : 0;
            return anyByte;  // the last line, without a line end
        }
        if (std::exchange(afterCr_, false) && bytes[0] == '\n') {
            log_.Skip(1);
            continue;
        }
        const std::size_t end = LineEnd(bytes);
        const std::size_t room = kLongestLine - line_.size();
        overlong_ = overlong_ || end > room;
        line_.append(bytes.substr(0, std::min(end, room)));
        anyByte = true;
        if (end == bytes.size()) {
            log_.Skip(end);
            continue;
        }
        afterCr_ = bytes[end] == '\r';
        log_.Skip(end + 1);
        ++lineNumber_;
        return true;
    }
}

PointStep NmeaPointReader::Next(TrackPoint& point) {
    while (TakeLine()) {
        ThrowIfStopRequested();  // between two lines
        std::string_view sentence = line_;
        if (lineNumber_ == 1 && sentence.starts_with(kByteOrderMark)) {
            sentence.remove_prefix(kByteOrderMark.size());
        }
        const std::size_t first = sentence.find_first_not_of(" \t");
        const std::size_t last = sentence.find_last_not_of(" \t");
        if (overlong_ || first == std::string_view::npos) {
            continue;
        }
        sentence = sentence.substr(first, last + 1 - first);
        if (ReadRmcSentence(sentence, point)) {
            return std::exchange(anyPoint_, true) ? PointStep::kNextPoint : PointStep::kNewChain;
        }
    }
    if (!anyPoint_) {
        throw ConversionError("the log holds no RMC sentence with a valid fix");
    }
    return PointStep::kEnd;
}

bool IsNmeaSentence(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line.size() > kLongestNmeaSentence) {
        return false;
    }
    line = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
    const std::optional<std::string_view> body = CheckedBody(line);
    if (!body) {
        return false;
    }
    const std::size_t comma = body->find(',');
    const std::string_view address = body->substr(0, comma);
    constexpr std::size_t kShortestAddress = 3;  // a maker's "P" and its three letters: 4
    return comma != std::string_view::npos && address.size() >= kShortestAddress &&
           std::all_of(address.begin(), address.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || IsDigit(c); });
}

}  // namespace routalo
