#include "conversion/readers/utc_time.h"

#include "conversion/decimal_text.h"
#include "conversion/text_basics.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>

namespace routalo {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kMinutesPerDay = 1440;
constexpr int kLastYear = 9999;
// The zones of the world lie within 14 hours of UTC.
constexpr int kWidestOffsetMinutes = 14 * 60;

// "YYYY-MM-DDThh:mm:ss", the part of a date-time before its fraction.
constexpr std::size_t kDateTimeLength = 19;
// The longest date-time that kMostFractionDigits leave: its zone "+hh:mm".
constexpr std::size_t kLongestDateTime = kDateTimeLength + 1 + kMostFractionDigits + 6;

// The value of `count` digits at `at`, or nothing when they are not digits.
std::optional<int> DigitsAt(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const auto month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// "YYYY-MM-DD" over `out`, made in place and taken whole: a log's every
// point comes through here.
void WriteDateText(std::string& out, int year, int month, int day) {
    std::array<char, 10> text = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0'};
    PutTwoDigits(text.data(), static_cast<unsigned>(year / 100));
    PutTwoDigits(text.data() + 2, static_cast<unsigned>(year % 100));
    PutTwoDigits(text.data() + 5, static_cast<unsigned>(month));
    PutTwoDigits(text.data() + 8, static_cast<unsigned>(day));
    out.assign(text.data(), text.size());
}

// "hh:mm:ss" and the fraction's first kMostTimeFractionDigits digits after a
// ".", when it has any, over `out`.
void WriteTimeText(std::string& out, int hour, int minute, int second, std::string_view fraction) {
    std::array<char, 9 + kMostTimeFractionDigits> text = {'0', '0', ':', '0', '0',
                                                          ':', '0', '0', '.'};
    PutTwoDigits(text.data(), static_cast<unsigned>(hour));
    PutTwoDigits(text.data() + 3, static_cast<unsigned>(minute));
    PutTwoDigits(text.data() + 6, static_cast<unsigned>(second));
    std::size_t length = 8;
    if (!fraction.empty()) {
        fraction = fraction.substr(0, kMostTimeFractionDigits);
        std::copy(fraction.begin(), fraction.end(), text.begin() + 9);
        length = 9 + fraction.size();
    }
    out.assign(text.data(), length);
}

// Whether `written` is a valid time in UTC that carries into no other day,
// as every NMEA sentence's but the leap second's and 24:00:00's: its moment
// is its own date and time as they stand.
bool IsOwnUtcDateTime(const WrittenTime& written) {
    return written.offsetMinutes == 0 && written.year >= 1 && written.year <= kLastYear &&
           written.month >= 1 && written.month <= 12 && written.day >= 1 &&
           written.day <= DaysInMonth(written.year, written.month) && written.hour >= 0 &&
           written.hour <= 23 && written.minute >= 0 && written.minute <= 59 &&
           written.second >= 0 && written.second <= 59 &&
           std::all_of(written.fraction.begin(), written.fraction.end(), IsDigit);
}

// The zone after a time: "Z", "+hh:mm", "+hhmm", "+hh" or with "-", as
// minutes east of UTC; none is UTC.
std::optional<int> ReadOffset(std::string_view zone) {
    if (zone.empty() || zone == "Z") {
        return 0;
    }
    if (zone[0] != '+' && zone[0] != '-') {
        return std::nullopt;
    }
    const std::optional<int> hours = DigitsAt(zone, 1, 2);
    std::optional<int> minutes = 0;
    if (zone.size() == 6 && zone[3] == ':') {
        minutes = DigitsAt(zone, 4, 2);
    } else if (zone.size() == 5) {
        minutes = DigitsAt(zone, 3, 2);
    } else if (zone.size() != 3) {
        return std::nullopt;
    }
    constexpr int kMinutesPerHour = 60;
    if (!hours || !minutes || *minutes >= kMinutesPerHour ||
        *hours * kMinutesPerHour + *minutes > kWidestOffsetMinutes) {
        return std::nullopt;
    }
    return (zone[0] == '-' ? -1 : 1) * (*hours * kMinutesPerHour + *minutes);
}

// `text` over `out`, in place where it has the same length, as a point's
// date and time mostly have: a text of a known length is copied without a
// call.
void CopyText(std::string_view text, std::string& out) {
    if (out.size() != text.size()) {
        out.assign(text);
    } else if (text.size() == 10) {
        std::copy_n(text.begin(), 10, out.begin());
    } else {
        std::copy(text.begin(), text.end(), out.begin());
    }
}

}  // namespace

int DaysInMonth(std::int64_t year, int month) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap ? 29 : kDays.at(static_cast<std::size_t>(month - 1));
}

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::optional<UtcTime> ToUtcTime(const WrittenTime& written) {
    const bool zeroFraction = written.fraction.find_first_not_of('0') == std::string_view::npos;
    const bool endOfDay =
        written.hour == 24 && written.minute == 0 && written.second == 0 && zeroFraction;
    // The minute of the UTC day that the written hour and minute are.
    const int utcMinute =
        ((written.hour * 60 + written.minute - written.offsetMinutes) % kMinutesPerDay +
         kMinutesPerDay) %
        kMinutesPerDay;
    const bool leapSecond = written.second == 60 && utcMinute == kMinutesPerDay - 1;
    if (written.year < 0 || written.month < 1 || written.month > 12 || written.day < 1 ||
        written.day > DaysInMonth(written.year, written.month) ||
        ((written.hour < 0 || written.hour > 23) && !endOfDay) || written.minute < 0 ||
        written.minute > 59 || ((written.second < 0 || written.second > 59) && !leapSecond) ||
        !std::all_of(written.fraction.begin(), written.fraction.end(), IsDigit) ||
        written.offsetMinutes < -kWidestOffsetMinutes ||
        written.offsetMinutes > kWidestOffsetMinutes) {
        return std::nullopt;
    }
    UtcTime time;
    // Second 60 and hour 24 count on into the next minute and day.
    time.seconds = DaysFromCivil(written.year, written.month, written.day) * kSecondsPerDay +
                   std::int64_t{written.hour} * 3600 + std::int64_t{written.minute} * 60 +
                   written.second - std::int64_t{written.offsetMinutes} * 60;
    const std::int64_t days =
        (time.seconds >= 0 ? time.seconds : time.seconds - (kSecondsPerDay - 1)) / kSecondsPerDay;
    const std::int64_t ofDay = time.seconds - days * kSecondsPerDay;
    // A time in UTC that carries into no other day is its own date: the
    // calendar is worked out only for the others.
    const bool ownDate = written.offsetMinutes == 0 && written.hour < 24 && written.second < 60;
    const CivilDate date =
        ownDate ? CivilDate{written.year, written.month, written.day} : CivilFromDays(days);
    if (date.year < 1 || date.year > kLastYear) {
        return std::nullopt;
    }
    const auto clock = static_cast<int>(ofDay);
    WriteDateText(time.date, static_cast<int>(date.year), date.month, date.day);
    WriteTimeText(time.time, clock / 3600, clock / 60 % 60, clock % 60, written.fraction);
    time.fraction.assign(written.fraction.substr(0, kMostFractionDigits));
    return time;
}

bool WriteUtcTimeTexts(const WrittenTime& written, std::string& date, std::string& time) {
    // The common time is written without the calendar's arithmetic, which
    // gives it back unchanged.
    if (IsOwnUtcDateTime(written)) {
        WriteDateText(date, written.year, written.month, written.day);
        WriteTimeText(time, written.hour, written.minute, written.second, written.fraction);
        return true;
    }
    std::optional<UtcTime> moment = ToUtcTime(written);
    if (!moment) {
        return false;
    }
    date.assign(moment->date);
    time.assign(moment->time);
    return true;
}

bool ReadIsoDateTime(std::string_view text, UtcTime& into) {
    // By hand: find_first_not_of looks each byte up in the set.
    while (!text.empty() && IsXmlBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsXmlBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return false;
    }
    // 2007-06-15T09:05:03
    if (text.size() < kDateTimeLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':') {
        return false;
    }
    const std::optional<int> year = DigitsAt(text, 0, 4);
    const std::optional<int> month = DigitsAt(text, 5, 2);
    const std::optional<int> day = DigitsAt(text, 8, 2);
    const std::optional<int> hour = DigitsAt(text, 11, 2);
    const std::optional<int> minute = DigitsAt(text, 14, 2);
    const std::optional<int> second = DigitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) {
        return false;
    }
    std::size_t at = kDateTimeLength;
    std::string_view fraction;
    if (at < text.size() && text[at] == '.') {
        std::size_t end = at + 1;
        while (end < text.size() && IsDigit(text[end])) {
            ++end;
        }
        if (end == at + 1) {
            return false;
        }
        fraction = text.substr(at + 1, end - at - 1);
        at = end;
    }
    const std::optional<int> offset = ReadOffset(text.substr(at));
    if (!offset) {
        return false;
    }
    const WrittenTime written{*year, *month, *day, *hour, *minute, *second, fraction, *offset};
    if (!IsOwnUtcDateTime(written)) {
        std::optional<UtcTime> moment = ToUtcTime(written);
        if (!moment) {
            return false;
        }
        into = std::move(*moment);
        return true;
    }
    // A time in UTC that carries into no other day, as nearly every log's
    // is, is its own date and time: their texts are the text's own, as
    // ToUtcTime would write them, without the calendar's arithmetic.
    into.seconds = DaysFromCivil(written.year, written.month, written.day) * kSecondsPerDay +
                   std::int64_t{written.hour} * 3600 + std::int64_t{written.minute} * 60 +
                   written.second;
    CopyText(text.substr(0, 10), into.date);
    CopyText(text.substr(
                 11, fraction.empty() ? 8 : 9 + std::min(fraction.size(), kMostTimeFractionDigits)),
             into.time);
    CopyText(fraction.substr(0, kMostFractionDigits), into.fraction);
    return true;
}

std::optional<UtcTime> ReadIsoDateTime(std::string_view text) {
    UtcTime time;
    if (!ReadIsoDateTime(text, time)) {
        return std::nullopt;
    }
    return time;
}

std::optional<double> SecondsBetween(const UtcTime& earlier, const UtcTime& later) {
    // later - earlier in decimal digits: the whole seconds, and the fractions
    // digit by digit, borrowing a second where the later one is smaller.
    const std::size_t digits = std::max(earlier.fraction.size(), later.fraction.size());
    std::string fraction(digits, '0');
    int borrow = 0;
    for (std::size_t i = digits; i-- > 0;) {
        const int minuend = i < later.fraction.size() ? later.fraction[i] - '0' : 0;
        const int subtrahend =
            (i < earlier.fraction.size() ? earlier.fraction[i] - '0' : 0) + borrow;
        borrow = minuend < subtrahend ? 1 : 0;
        fraction[i] = static_cast<char>('0' + minuend + borrow * 10 - subtrahend);
    }
    const std::int64_t whole = later.seconds - earlier.seconds - borrow;
    if (whole < 0 || (whole == 0 && fraction.find_first_not_of('0') == std::string::npos)) {
        return std::nullopt;
    }
    // from_chars rounds the decimal text correctly, the same on every system.
    const std::string text = std::to_string(whole) + "." + fraction + "0";
    double seconds = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), seconds).ec != std::errc()) {
        return std::nullopt;
    }
    return seconds;
}

void DateTimeText::Clear() {
    present = false;
    closed = false;
    kept_.clear();  // keeps its room, for the next point's
    blanks_.clear();
    blanksCut_ = false;
    started_ = false;
    fractionDigits_ = 0;
    inFraction_ = false;
    cutAt_ = std::string::npos;
    tooLong_ = false;
}

void DateTimeText::Append(std::string_view piece) {
    if (closed) {
        return;
    }
    const auto keep = [this](char c) {
        if (kept_.size() < kLongestDateTime) {
            kept_.push_back(c);
        } else {
            tooLong_ = true;  // no date-time, only its start is shown
        }
    };
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const char c = piece[i];
        // The commonest: outside a fraction, after no blank space, the bytes
        // up to a blank or a "." are kept as they are, in one piece.
        if (!inFraction_ && blanks_.empty() && c != '.' && !IsXmlBlank(c)) {
            std::size_t end = i + 1;
            while (end < piece.size() && piece[end] != '.' && !IsXmlBlank(piece[end])) {
                ++end;
            }
            started_ = true;
            const std::size_t room = kLongestDateTime - std::min(kLongestDateTime, kept_.size());
            tooLong_ = tooLong_ || blanksCut_ || end - i > room;
            kept_.append(piece.substr(i, std::min(room, end - i)));
            i = end - 1;
            continue;
        }
        if (IsXmlBlank(c)) {
            // Blank space after the text is no part of it; inside, it is
            // kept, to refuse the text, as far as there is room.
            inFraction_ = false;
            if (!started_) {
                continue;
            }
            if (blanks_.size() < kLongestDateTime) {
                blanks_.push_back(c);
            } else {
                blanksCut_ = true;
            }
            continue;
        }
        started_ = true;
        for (const char blank : blanks_) {
            keep(blank);
        }
        tooLong_ = tooLong_ || blanksCut_;
        blanks_.clear();
        if (inFraction_ && IsDigit(c)) {
            if (fractionDigits_ == kMostFractionDigits) {
                cutAt_ = std::min(cutAt_, kept_.size());
                continue;
            }
            ++fractionDigits_;
        } else if (kept_.size() == kDateTimeLength && c == '.' && cutAt_ == std::string::npos) {
            inFraction_ = true;
        } else {
            inFraction_ = false;
        }
        keep(c);
    }
}

std::optional<UtcTime> DateTimeText::Read() const {
    return tooLong_ ? std::nullopt : ReadIsoDateTime(kept_);
}

bool DateTimeText::Read(UtcTime& into) const {
    return !tooLong_ && ReadIsoDateTime(kept_, into);
}

std::string DateTimeText::Shown() const {
    // As the other values of a document are shown: their first 64
    // characters when they are longer.
    constexpr std::size_t kShown = 64;
    if (tooLong_ || cutAt_ != std::string::npos || kept_.size() > kShown) {
        return kept_.substr(0, std::min(kShown, cutAt_)) + "...";
    }
    return kept_;
}

void WriteDateOfDay(std::int64_t daysSince1970, std::string& date) {
    const CivilDate civil = CivilFromDays(daysSince1970);
    WriteDateText(date, static_cast<int>(civil.year), civil.month, civil.day);
}

void WriteTimeOfDay(std::int64_t secondOfDay, std::string& time) {
    const auto second = static_cast<int>(secondOfDay);
    WriteTimeText(time, second / 3600, second / 60 % 60, second % 60, {});
}

}  // namespace routalo
