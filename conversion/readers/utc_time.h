#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace routalo {

// A moment as a point holds it: a valid xs:dateTime in UTC once the KML
// writer joins it as date + "T" + time + "Z". The one rule of the GPX and the
// NMEA reader.
struct UtcTime {
    std::string date;          // "2007-06-15", of the years 0001 to 9999
    std::string time;          // "09:05:08.5", hours 00 to 23, the fraction as written
    std::int64_t seconds = 0;  // since 1970-01-01T00:00:00Z, the fraction left out
    std::string fraction;      // the fraction's digits, kMostFractionDigits at most
};

// The fraction's digits that a time's text keeps. Any number is read; more
// would not be shown by a viewer of the document.
inline constexpr std::size_t kMostTimeFractionDigits = 9;

// The fraction's digits kept for the time between two points; those beyond
// change it by less than 10^-64 s.
inline constexpr std::size_t kMostFractionDigits = 64;

// A date and time as a log writes them, in the zone `offsetMinutes` east of
// UTC.
struct WrittenTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string_view fraction;  // its digits, none for a time without one
    int offsetMinutes = 0;
};

// The moment of `written`; nothing for a date that the calendar lacks, a
// time that no day has, and a moment outside the years 1 to 9999 in UTC.
// A day has the hours 0 to 23, the minutes 0 to 59, the seconds 0 to 59,
// and two more:
// - the leap second, second 60 of the minute that is 23:59 in UTC (whatever
//   the zone), which is the next day's 00:00:00 (a UTC day has no other
//   second 60);
// - 24:00:00, with no fraction or one of zeros alone, the end of the day,
//   which is the next day's 00:00:00.
// The fraction's first kMostTimeFractionDigits digits stand in the time as
// written; further ones are cut, not rounded, which would carry into the
// seconds.
[[nodiscard]] std::optional<UtcTime> ToUtcTime(const WrittenTime& written);

// The date and time texts of ToUtcTime's moment alone, written over `date`
// and `time`, which keep their room: what a reader that needs no seconds
// takes for each point. False, with both in any state, where ToUtcTime
// gives nothing.
[[nodiscard]] bool WriteUtcTimeTexts(const WrittenTime& written, std::string& date,
                                     std::string& time);

// The days of `month` (1 to 12) of `year`, of the proleptic Gregorian
// calendar.
[[nodiscard]] int DaysInMonth(std::int64_t year, int month);
// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
[[nodiscard]] std::int64_t DaysFromCivil(std::int64_t year, int month, int day);

// "YYYY-MM-DD" of the day `daysSince1970` days after 1970-01-01, of the
// years 1 to 9999, over `date`.
void WriteDateOfDay(std::int64_t daysSince1970, std::string& date);
// "hh:mm:ss" of the second `secondOfDay`, from 0 to 86399, over `time`.
void WriteTimeOfDay(std::int64_t secondOfDay, std::string& time);

// Reads an ISO 8601 date-time, "YYYY-MM-DDThh:mm:ss[.s...][zone]" with XML's
// blank space around it, the zone "Z", "+hh:mm", "+hhmm" or "+hh" (or with
// "-"), at most 14 hours; no zone is UTC. Nothing for any other text and as
// ToUtcTime says; fraction digits beyond kMostFractionDigits are read as
// zeros.
[[nodiscard]] std::optional<UtcTime> ReadIsoDateTime(std::string_view text);
// The same written over `into`, whose texts keep their room: what a reader
// takes for each point. False, with `into` in any state, where the other
// gives nothing.
[[nodiscard]] bool ReadIsoDateTime(std::string_view text, UtcTime& into);

// The seconds from `earlier` to `later`, the exact difference rounded once to
// the nearest double; nothing when `later` is not later.
[[nodiscard]] std::optional<double> SecondsBetween(const UtcTime& earlier, const UtcTime& later);

// The text of an XML element that holds a date-time, given in pieces, as far
// as ReadIsoDateTime needs it: in bounded memory whatever its length, the
// fraction's digits beyond kMostFractionDigits and the blank space around
// left out.
class DateTimeText {
  public:
    bool present = false;
    bool closed = false;  // its element has ended: a second one is not read

    void Clear();
    void Append(std::string_view piece);
    // Whether the text is settled: its element has ended, or it is too long
    // to be a date-time whatever follows, so that the rest need not be read.
    [[nodiscard]] bool Settled() const { return closed || tooLong_; }

    // The moment the text gives, as ReadIsoDateTime reads it.
    [[nodiscard]] std::optional<UtcTime> Read() const;
    [[nodiscard]] bool Read(UtcTime& into) const;

    // The text as it was written, for a failure: without the blank space
    // around it, its first 64 characters and "..." when it is longer.
    [[nodiscard]] std::string Shown() const;

  private:
    std::string kept_;
    std::string blanks_;      // blank space after kept_, held until more follows
    bool blanksCut_ = false;  // more blank space than blanks_ holds
    bool started_ = false;
    std::size_t fractionDigits_ = 0;  // of the fraction that kept_ ends in
    bool inFraction_ = false;
    std::size_t cutAt_ = std::string::npos;  // where fraction digits were left out
    bool tooLong_ = false;
};

}  // namespace routalo
