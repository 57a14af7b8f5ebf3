#include "conversion/stats/trip_stats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <system_error>

#include "conversion/decimal_text.h"
#include "conversion/readers/utc_time.h"
#include "conversion/text_basics.h"

namespace routalo {
namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;

// The number that `text` writes in decimal digits alone; false for any
// other text, the empty one included.
bool ReadDigits(std::string_view text, int& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

// The first moment of "yyyy-mm-dd" (or "yy-mm-dd", "y-mm-dd"), or kNoMoment.
std::int64_t DayStartOf(std::string_view date) {
    constexpr std::size_t kMonthDay = 6;  // "-mm-dd"
    if (date.size() < kMonthDay + 1 || date[date.size() - 3] != '-' ||
        date[date.size() - kMonthDay] != '-') {
        return kNoMoment;
    }
    const std::string_view yearText = date.substr(0, date.size() - kMonthDay);
    // A CSV log's YY (or Y), or a four-digit year; checked before reading, so
    // that a long run of digits is refused rather than overflowing.
    if (yearText.size() > 2 && yearText.size() != 4) {
        return kNoMoment;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (!ReadDigits(yearText, year) || !ReadDigits(date.substr(date.size() - 5, 2), month) ||
        !ReadDigits(date.substr(date.size() - 2), day)) {
        return kNoMoment;
    }
    if (yearText.size() <= 2) {
        year += 2000;
    } else if (year == 0) {
        return kNoMoment;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return kNoMoment;
    }
    return DaysFromCivil(year, month, day) * kSecondsPerDay * kMicrosecondsPerSecond;
}

// Eight '0's, as one little-endian word of text.
constexpr std::uint64_t kZeros = 0x3030303030303030U;

// Whether every byte of `word` is an ASCII digit: its high half 3, and its
// low half at most 9, so that adding 6 leaves the high half 3.
bool AllDigitBytes(std::uint64_t word) {
    constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0U;
    return (word & kHighHalves) == kZeros && ((word + 0x0606060606060606U) & kHighHalves) == kZeros;
}

// The microseconds since midnight of "hh:mm:ss" with an optional fraction,
// or -1. The eight bytes of "hh:mm:ss" are read as one little-endian word,
// as on every system that Routalo is built for, and checked at once.
std::int64_t MicrosecondsOfDay(std::string_view time) {
    constexpr std::size_t kWhole = 8;  // "hh:mm:ss"
    if (time.size() < kWhole) {
        return -1;
    }
    std::uint64_t word = 0;
    std::memcpy(&word, time.data(), sizeof word);
    constexpr std::uint64_t kColonBytes = 0xFFU << 16U | std::uint64_t{0xFF} << 40U;
    constexpr std::uint64_t kColons = std::uint64_t{':'} << 16U | std::uint64_t{':'} << 40U;
    if ((word & kColonBytes) != kColons) {
        return -1;
    }
    word = (word & ~kColonBytes) | (kZeros & kColonBytes);
    if (!AllDigitBytes(word)) {
        return -1;
    }
    word -= kZeros;
    const auto pair = [word](unsigned at) {
        return static_cast<int>((word >> (8 * at) & 0xFFU) * 10 + (word >> (8 * at + 8) & 0xFFU));
    };
    const int hours = pair(0);
    const int minutes = pair(3);
    const int seconds = pair(6);
    std::int64_t fraction = 0;
    bool fractionIsZero = true;
    if (time.size() > kWhole) {
        const std::string_view digits = time.substr(kWhole + 1);
        if (time[kWhole] != '.' || digits.empty()) {
            return -1;
        }
        std::int64_t scale = kMicrosecondsPerSecond;
        for (const char c : digits) {
            if (!IsDigit(c)) {
                return -1;
            }
            fractionIsZero = fractionIsZero && c == '0';
            scale /= 10;
            fraction += (c - '0') * scale;  // 0 once past the sixth digit
        }
    }
    const bool ordinary = hours < 24 && minutes < 60 && seconds < 60;
    const bool leapSecond = hours == 23 && minutes == 59 && seconds == 60;
    const bool endOfDay = hours == 24 && minutes == 0 && seconds == 0 && fractionIsZero;
    if (!ordinary && !leapSecond && !endOfDay) {
        return -1;
    }
    return ((hours * 60 + minutes) * 60 + seconds) * kMicrosecondsPerSecond + fraction;
}

// A speed as a non-negative exact value: whole km/h and the fraction's
// digits (trailing zeros may stand). A negative speed, which the classes
// take only where it rounds to zero, counts as zero.
struct ExactSpeed {
    std::int64_t whole = 0;
    std::string_view fraction;
};

// Far beyond the fastest speed; a larger whole part is held as this.
constexpr std::int64_t kWholeCap = 1'000'000'000;
// A speed below 10^-64 km/h keeps that many zeros and its digits.
constexpr std::int64_t kMostFractionZeros = 64;

// A speed written with an exponent, `number`; `room` holds its fraction.
void SpeedWithExponent(const ExactDecimal& number, ExactSpeed& speed, std::string& room) {
    speed = {};
    if (number.negative || number.digits.empty()) {
        return;
    }
    const std::string& digits = number.digits;
    const std::int64_t point = static_cast<std::int64_t>(digits.size()) + number.exponent;
    if (point <= 0) {
        room.assign(static_cast<std::size_t>(std::min(-point, kMostFractionZeros)), '0');
        room.append(digits);
    } else {
        const auto wholeDigits = static_cast<std::size_t>(point);
        for (std::size_t i = 0; i < wholeDigits; ++i) {
            const int digit = i < digits.size() ? digits[i] - '0' : 0;
            speed.whole = std::min(speed.whole * 10 + digit, kWholeCap);
        }
        room.assign(wholeDigits < digits.size() ? std::string_view(digits).substr(wholeDigits)
                                                : std::string_view());
    }
    speed.fraction = room;
}

// Reads a speed as the readers write it ("12", "13.499999", "-0.2", "1.2e1");
// false for a text that is no number.
bool ReadSpeed(std::string_view text, ExactSpeed& speed, std::string& room) {
    const std::optional<DecimalPieces> pieces = ReadDecimalPieces(text, true);
    if (!pieces) {
        return false;
    }
    if (pieces->exponent != 0) {
        SpeedWithExponent(ExactDecimalOf(*pieces), speed, room);
        return true;
    }
    speed = {};
    if (!pieces->negative) {
        for (const char c : pieces->wholeDigits) {
            speed.whole = std::min(speed.whole * 10 + (c - '0'), kWholeCap);
        }
        speed.fraction = pieces->fractionDigits;
    }
    return true;
}

// Compares two fractions' digits as the fractions they write.
int CompareFractions(std::string_view a, std::string_view b) {
    const std::size_t length = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < length; ++i) {
        const char x = i < a.size() ? a[i] : '0';
        const char y = i < b.size() ? b[i] : '0';
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

bool IsMoving(const ExactSpeed& speed) {
    // kMovingSpeed, 1.8 km/h
    return speed.whole > 1 || (speed.whole == 1 && CompareFractions(speed.fraction, "8") >= 0);
}

bool FractionIsZero(std::string_view fraction) {
    return fraction.find_first_not_of('0') == std::string_view::npos;
}

// Reads the last `count` bytes before `end`, 1 to 8 of them, as the
// digits of a whole number into `value`, all at once; false when they are
// not all ASCII digits. The 8 bytes before `end` must be readable. The bytes
// are taken as a little-endian word, as on every system that Routalo is
// built for.
bool DigitsAtTheEnd(const char* end, std::size_t count, std::uint32_t& value) {
    std::uint64_t word = 0;
    std::memcpy(&word, end - sizeof word, sizeof word);
    // The digits are the word's top bytes; its bottom bytes become '0's,
    // which add nothing in front of them.
    const auto bottom = static_cast<unsigned>(8 * (sizeof word - count));
    const std::uint64_t bottomMask = bottom == 0 ? 0 : ~std::uint64_t{0} >> (64U - bottom);
    word = (word & ~bottomMask) | (kZeros & bottomMask);
    if (!AllDigitBytes(word)) {
        return false;
    }
    // Pairs, fours, eight: each step joins neighbouring lanes.
    word -= kZeros;
    word = (word * 10 + (word >> 8U)) & 0x00FF00FF00FF00FFU;
    word = (word * 100 + (word >> 16U)) & 0x0000FFFF0000FFFFU;
    word = (word * 10'000 + (word >> 32U)) & 0xFFFFFFFFU;
    value = static_cast<std::uint32_t>(word);
    return true;
}

// Whether two short texts are the same, without a call for the bytes: a
// text of 8 to 16 bytes as its first and its last eight, which may overlap.
bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if (a.size() >= kWord && a.size() <= 2 * kWord) {
        const auto word = [](const char* at) {
            std::uint64_t value = 0;
            std::memcpy(&value, at, kWord);
            return value;
        };
        const std::size_t last = a.size() - kWord;
        return word(a.data()) == word(b.data()) && word(a.data() + last) == word(b.data() + last);
    }
    return a == b;
}

// 10^0 to 10^8, by which a whole number takes a fraction's digits.
constexpr std::array<std::uint64_t, 9> kScales = {
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000};

// 10^0 to 10^-15, each the double nearest it.
constexpr std::array<double, 16> kTenths = {1e0,  1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                            1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};

// Reads a coordinate in degrees, a plain decimal ("52.0931", "-5", "+4.5"),
// at most `limit` either way, for the trip's distance alone. A decimal of up
// to 15 digits is its digits as a whole number, which a double holds
// exactly, times a power of ten: within a unit in the last place of the
// decimal, at a fraction of a quotient's cost; a longer one goes to
// from_chars. The same bits on every system. (The readers' ReadDegrees,
// great_circle.h, rounds correctly, as the speeds that pick a class need.)
bool ReadDegreesForDistance(std::string_view text, double limit, double& value) {
    const char* at = text.data();
    const char* const end = at + text.size();
    const bool negative = at != end && *at == '-';
    at += at != end && (*at == '-' || *at == '+') ? 1 : 0;
    const char* const start = at;
    // The usual coordinate first: one to three whole digits, a point, and
    // one to eight digits of fraction, "51.985103", taken without a loop.
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if (text.size() >= kWord && end - at >= 3 && IsDigit(at[0])) {
        std::uint64_t whole = static_cast<std::uint64_t>(at[0] - '0');
        std::size_t wholeDigits = 1;
        if (IsDigit(at[1])) {
            whole = whole * 10 + static_cast<std::uint64_t>(at[1] - '0');
            wholeDigits = 2;
            if (end - at >= 4 && IsDigit(at[2])) {
                whole = whole * 10 + static_cast<std::uint64_t>(at[2] - '0');
                wholeDigits = 3;
            }
        }
        const char* const point = at + wholeDigits;
        const auto fractionDigits = static_cast<std::size_t>(end - point - 1);
        std::uint32_t fraction = 0;
        if (point < end && *point == '.' && fractionDigits >= 1 && fractionDigits <= kWord &&
            DigitsAtTheEnd(end, fractionDigits, fraction)) {
            value = static_cast<double>(whole * kScales.at(fractionDigits) + fraction) *
                    kTenths.at(fractionDigits);
            value = negative ? -value : value;
            return value >= -limit && value <= limit;
        }
    }
    std::uint64_t mantissa = 0;  // wraps beyond 19 digits, which go to from_chars
    for (; at != end && IsDigit(*at); ++at) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
    }
    auto digits = static_cast<std::size_t>(at - start);
    std::size_t fractionDigits = 0;
    if (at != end && *at == '.') {
        const char* const fraction = ++at;
        fractionDigits = static_cast<std::size_t>(end - fraction);
        std::uint32_t eight = 0;
        if (fractionDigits >= 1 && fractionDigits <= 8 && text.size() >= 8 &&
            DigitsAtTheEnd(end, fractionDigits, eight)) {
            // The usual coordinate: all of its fraction's digits at once.
            mantissa = mantissa * kScales.at(fractionDigits) + eight;
            at = end;
        } else {
            for (; at != end && IsDigit(*at); ++at) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
            }
            fractionDigits = static_cast<std::size_t>(at - fraction);
        }
        digits += fractionDigits;
    }
    if (at != end || digits == 0) {
        return false;
    }
    constexpr std::size_t kExactDigits = 15;  // 10^15 < 2^53
    if (digits <= kExactDigits) {
        value = static_cast<double>(mantissa) * kTenths.at(fractionDigits);
    } else if (std::from_chars(start, end, value).ec != std::errc()) {
        return false;
    }
    value = negative ? -value : value;
    return value >= -limit && value <= limit;
}

// The class of a speed in the default scheme, as SpeedClassOf gives it: the
// speed rounded, halves to the even neighbour, every speed above 25 in
// class 24.
int DefaultClassOf(const ExactSpeed& speed) {
    const std::string_view fraction = speed.fraction;
    bool up = !fraction.empty() && fraction[0] > '5';
    if (!fraction.empty() && fraction[0] == '5') {
        up = fraction.find_first_not_of('0', 1) != std::string_view::npos || speed.whole % 2 == 1;
    }
    const std::int64_t rounded = speed.whole + (up ? 1 : 0);
    constexpr std::int64_t kHighestClass = 25;
    constexpr int kSharedFastClass = 24;
    return rounded > kHighestClass ? kSharedFastClass : static_cast<int>(rounded);
}

// Metres, at least 0, as whole micrometres, a half rounded up: as llround
// rounds, without its call.
std::int64_t RoundedMicrometres(double metres) {
    const double micrometres = metres * 1e6;
    const auto whole = static_cast<std::int64_t>(micrometres);
    return whole + (micrometres - static_cast<double>(whole) >= 0.5 ? 1 : 0);
}

// Whole seconds, and the fraction's digits without trailing zeros: "3600",
// "12.5".
std::string SecondsText(std::int64_t microseconds) {
    std::string text = std::to_string(microseconds / kMicrosecondsPerSecond);
    std::int64_t fraction = microseconds % kMicrosecondsPerSecond;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction + kMicrosecondsPerSecond).substr(1);
        digits.erase(digits.find_last_not_of('0') + 1);
        text.append(".").append(digits);
    }
    return text + " s";
}

// Metres as kilometres with three decimals: "12.346 km".
std::string KilometresText(std::int64_t metres) {
    constexpr std::int64_t kMetresPerKilometre = 1000;
    const std::string part = std::to_string(metres % kMetresPerKilometre + kMetresPerKilometre);
    return std::to_string(metres / kMetresPerKilometre) + "." + part.substr(1) + " km";
}

// Hundredths of a km/h as "12.35 km/h".
std::string HundredthsText(std::int64_t hundredths) {
    const std::string part = std::to_string(hundredths % 100 + 100);
    return std::to_string(hundredths / 100) + "." + part.substr(1) + " km/h";
}

// Micrometres rounded to whole metres.
std::int64_t WholeMetres(std::int64_t micrometres) {
    constexpr std::int64_t kHalfMetre = 500'000;
    return (micrometres + kHalfMetre) / 1'000'000;
}

}  // namespace

std::int64_t PointClock::MomentOf(const TrackPoint& point) {
    if (!dateRead_ || !SameText(point.Date, date_)) {
        date_ = point.Date;
        dateRead_ = true;
        dayStart_ = DayStartOf(date_);
    }
    if (dayStart_ == kNoMoment) {
        return kNoMoment;
    }
    const std::int64_t ofDay = MicrosecondsOfDay(point.Time);
    return ofDay < 0 ? kNoMoment : dayStart_ + ofDay;
}

void MovingTimeBySpeed::Add(std::string_view speed, std::int64_t microseconds) {
    thread_local std::string room;
    ExactSpeed exact;
    if (!ReadSpeed(speed, exact, room) || !IsMoving(exact)) {
        return;
    }
    // The bin whose speeds run up to 5k km/h: speed / 5 rounded up.
    std::int64_t bin = FractionIsZero(exact.fraction) ? (exact.whole + kStep - 1) / kStep
                                                      : exact.whole / kStep + 1;
    bin = std::min<std::int64_t>(bin, static_cast<std::int64_t>(bins_.size()) - 1);
    bins_.at(static_cast<std::size_t>(bin)) += microseconds;
}

std::optional<int> MovingTimeBySpeed::TopSpeedKmh() const {
    std::int64_t total = 0;
    for (const std::int64_t time : bins_) {
        total += time;
    }
    if (total == 0) {
        return std::nullopt;
    }
    // The first bin up to which 99% of the time is counted: the time left
    // above it, r, is at most 1%; in whole numbers 100 r <= total is
    // r <= total / 100 rounded down.
    std::int64_t left = total;
    for (std::size_t bin = 1; bin + 1 < bins_.size(); ++bin) {
        left -= bins_.at(bin);
        if (left <= total / 100) {
            return static_cast<int>(bin) * kStep;
        }
    }
    return kHighest;
}

void TripStats::Add(const TrackPoint& point, const TrackPoint& previous, std::int64_t moment,
                    bool continuesChain) {
    if (moment != kNoMoment) {
        firstMoment_ = firstMoment_ == kNoMoment ? moment : firstMoment_;
        lastMoment_ = moment;
    }
    // A point where the one before was, as while standing still, is not
    // read again.
    const bool samePlace = started_ && SameText(point.Latitude, previous.Latitude) &&
                           SameText(point.Longitude, previous.Longitude);
    // Read into plain doubles and moved field by field: a copy of the whole
    // place right after its parts were stored would wait for the stores.
    bool placed = previousPlaced_;
    double latitude = previous_.latitude;
    double longitude = previous_.longitude;
    if (!samePlace) {
        placed = ReadDegreesForDistance(point.Latitude, kLatitudeLimit, latitude) &&
                 ReadDegreesForDistance(point.Longitude, kLongitudeLimit, longitude);
    }
    if (continuesChain) {
        ExactSpeed speed;
        const bool readable = ReadSpeed(point.Speed, speed, room_);
        // The writer took the speed before, so it is readable; the classes
        // fail on it as the writer does should it not be.
        const int speedClass =
            rule_.IsDefault() && readable ? DefaultClassOf(speed) : rule_.ClassOf(point.Speed);
        bool moving = false;
        if (readable && moment != kNoMoment && previousMoment_ != kNoMoment &&
            moment > previousMoment_) {
            figures_.timed = true;
            moving = IsMoving(speed);
            if (moving) {
                figures_.movingMicroseconds.at(static_cast<std::size_t>(speedClass)) +=
                    moment - previousMoment_;
            }
            if (!figures_.topKnown || speed.whole > figures_.topWhole ||
                (speed.whole == figures_.topWhole &&
                 CompareFractions(speed.fraction, figures_.topFraction) > 0)) {
                figures_.topKnown = true;
                figures_.topWhole = speed.whole;
                figures_.topFraction.assign(speed.fraction);
            }
        }
        if (placed && previousPlaced_ && !samePlace) {
            Segment& segment = pending_.at(pendingCount_++);
            segment.from.latitude = previous_.latitude;
            segment.from.longitude = previous_.longitude;
            segment.to.latitude = latitude;
            segment.to.longitude = longitude;
            segment.speedClass = speedClass;
            segment.moving = moving;
            if (pendingCount_ == pending_.size()) {
                MeasurePending();
            }
        }
    }
    if (placed) {
        previous_.latitude = latitude;
        previous_.longitude = longitude;
    }
    previousPlaced_ = placed;
    previousMoment_ = moment;
    started_ = true;
}

void TripStats::MeasurePending() {
    for (std::size_t i = 0; i < pendingCount_; ++i) {
        Segment& segment = pending_.at(i);
        // A segment usually starts where the one before ended: its cosine
        // is that one's, the same bits as asking again.
        segment.from.latitudeCosine = segment.from.latitude == lastLatitude_
                                          ? lastCosine_
                                          : cosines_.Of(segment.from.latitude);
        segment.to.latitudeCosine = cosines_.Of(segment.to.latitude);
        lastLatitude_ = segment.to.latitude;
        lastCosine_ = segment.to.latitudeCosine;
        // Rounded to the micrometre, the distance adds up without a
        // rounding per sum, the same on every system.
        const std::int64_t micrometres =
            RoundedMicrometres(SegmentMetres(segment.from, segment.to));
        figures_.micrometres.at(static_cast<std::size_t>(segment.speedClass)) += micrometres;
        figures_.movingMicrometres += segment.moving ? micrometres : 0;
    }
    pendingCount_ = 0;
}

TripFigures TripStats::Figures() {
    MeasurePending();
    TripFigures figures = figures_;
    if (firstMoment_ != kNoMoment && lastMoment_ >= firstMoment_) {
        figures.elapsedMicroseconds = lastMoment_ - firstMoment_;
    }
    return figures;
}

std::string TripFiguresText(const TripFigures& figures, const ClassRule& rule,
                            std::optional<int> rangeTopKmh) {
    // The legend's rows are the runs of classes of one colour, in class
    // order: a class whose colour differs from the one before starts the
    // next row.
    const std::vector<LegendRow> rows = LegendRows(rule);
    std::vector<std::int64_t> rowMicrometres(rows.size());
    std::vector<std::int64_t> rowMicroseconds(rows.size());
    std::size_t row = 0;
    for (std::size_t speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        if (speedClass > 0 && SpeedColours.at(speedClass) != SpeedColours.at(speedClass - 1)) {
            ++row;
        }
        rowMicrometres.at(row) += figures.micrometres.at(speedClass);
        rowMicroseconds.at(row) += figures.movingMicroseconds.at(speedClass);
    }
    // Each row's distance in whole metres, and the whole distance as their
    // sum, so that the lines add up as printed.
    std::vector<std::int64_t> rowMetres;
    std::int64_t metres = 0;
    std::int64_t moving = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rowMetres.push_back(WholeMetres(rowMicrometres[i]));
        metres += rowMetres.back();
        moving += rowMicroseconds[i];
    }

    std::string text = "distance: " + KilometresText(metres) + "\n";
    if (figures.elapsedMicroseconds) {
        text += "elapsed time: " + SecondsText(*figures.elapsedMicroseconds) + "\n";
    }
    if (figures.timed) {
        text += "moving time: " + SecondsText(moving) + "\n";
    }
    if (moving > 0) {
        // m/s x 3.6 is km/h; rounded to the hundredth from the exact quotient.
        std::array<char, 64> digits{};
        const double kmh =
            static_cast<double>(figures.movingMicrometres) * 3.6 / static_cast<double>(moving);
        const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), kmh,
                                           std::chars_format::fixed, 2);
        text += "average moving speed: " + std::string(digits.data(), written.ptr) + " km/h\n";
    }
    if (figures.topKnown) {
        // Two decimals, a third digit of 5 or more rounding up.
        const std::string_view fraction = figures.topFraction;
        const auto digit = [&](std::size_t i) -> std::int64_t {
            return i < fraction.size() ? fraction[i] - '0' : 0;
        };
        const std::int64_t hundredths =
            figures.topWhole * 100 + digit(0) * 10 + digit(1) + (digit(2) >= 5 ? 1 : 0);
        text += "top speed: " + HundredthsText(hundredths) + "\n";
    }
    if (rangeTopKmh) {
        text += "top of the range: " + std::to_string(*rangeTopKmh) + " km/h\n";
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string label = "in colour " + rows[i].colour + " (" + rows[i].speeds + "): ";
        if (figures.timed) {
            text += "time " + label + SecondsText(rowMicroseconds[i]) + "\n";
        }
        text += "distance " + label + KilometresText(rowMetres[i]) + "\n";
    }
    return text;
}

std::string TripFiguresHtml(std::string_view text) {
    const auto appendEscaped = [](std::string& html, std::string_view part) {
        for (const char c : part) {
            switch (c) {
                case '&':
                    html += "&amp;";
                    break;
                case '<':
                    html += "&lt;";
                    break;
                case '>':
                    html += "&gt;";
                    break;
                default:
                    html += c;
            }
        }
    };
    std::string html = "<table>";
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        const std::size_t colon = std::min(line.find(": "), line.size());
        html += "<tr><td>";
        appendEscaped(html, line.substr(0, colon));
        html += "</td><td>";
        appendEscaped(html, line.substr(std::min(colon + 2, line.size())));
        html += "</td></tr>";
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return html + "</table>";
}

}  // namespace routalo
