#include "conversion/readers/utc_time.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace routalo {
namespace {

TEST(ReadIsoDateTime, WritesEveryValidDateTimeInUtc) {
    const std::string many(200, '7');
    const std::pair<std::string, std::optional<std::pair<const char*, const char*>>> cases[] = {
        {"2007-06-15T09:05:03Z", {{"2007-06-15", "09:05:03"}}},
        {"2007-06-15T09:05:03", {{"2007-06-15", "09:05:03"}}},
        {" 2007-06-15T11:05:08.5+02:00\n", {{"2007-06-15", "09:05:08.5"}}},
        {"2007-12-31T23:30:00-01:00", {{"2008-01-01", "00:30:00"}}},
        {"2000-03-01T00:10:00.000+00:30", {{"2000-02-29", "23:40:00.000"}}},
        // ISO 8601's basic offsets, as an iOS export writes them.
        {"2023-05-01T10:00:00+0000", {{"2023-05-01", "10:00:00"}}},
        {"2023-05-01T10:00:00+0530", {{"2023-05-01", "04:30:00"}}},
        {"2023-05-01T10:00:00-03", {{"2023-05-01", "13:00:00"}}},
        {"2023-05-01T10:00:00+14:00", {{"2023-04-30", "20:00:00"}}},
        // The leap second is the next day's first; in UTC alone, at 23:59.
        {"2016-12-31T23:59:60Z", {{"2017-01-01", "00:00:00"}}},
        {"2016-12-31T23:59:60.25Z", {{"2017-01-01", "00:00:00.25"}}},
        {"2017-01-01T01:59:60+02:00", {{"2017-01-01", "00:00:00"}}},
        {"2016-12-31T23:59:60+01:00", std::nullopt},
        {"2016-12-31T12:30:60Z", std::nullopt},
        {"2016-12-31T23:59:61Z", std::nullopt},
        // 24:00:00 ends the day, with a fraction of zeros at most.
        {"2007-12-31T24:00:00Z", {{"2008-01-01", "00:00:00"}}},
        {"2007-12-31T24:00:00.000+01:00", {{"2007-12-31", "23:00:00.000"}}},
        {"2007-06-15T24:00:00.001Z", std::nullopt},
        {"2007-06-15T24:00:01Z", std::nullopt},
        {"2007-06-15T24:01:00Z", std::nullopt},
        // Nine fraction digits are written, further ones cut; any number is read.
        {"2007-06-15T09:05:03.1234567891Z", {{"2007-06-15", "09:05:03.123456789"}}},
        {"2007-06-15T09:05:03.999999999999+00:00", {{"2007-06-15", "09:05:03.999999999"}}},
        {"2007-06-15T09:05:03." + many + "Z", {{"2007-06-15", "09:05:03.777777777"}}},
        {"2007-02-29T00:00:00Z", std::nullopt},
        {"2000-02-29T00:00:00Z", {{"2000-02-29", "00:00:00"}}},
        {"1900-02-29T00:00:00Z", std::nullopt},
        {"2007-04-31T00:00:00Z", std::nullopt},
        {"2007-13-01T00:00:00Z", std::nullopt},
        {"2007-06-15T09:60:00Z", std::nullopt},
        {"2007-06-15 09:05:03Z", std::nullopt},
        {"2007-06-15T09:05:03.Z", std::nullopt},
        {"2007-06-15T09:05:03+2:00", std::nullopt},
        {"2007-06-15T09:05:03+02:", std::nullopt},
        {"2007-06-15T09:05:03+020", std::nullopt},
        {"2007-06-15T09:05:03+0260", std::nullopt},
        {"2007-06-15T09:05:03+14:01", std::nullopt},
        {"2007-06-15T09:05:03+15", std::nullopt},
        {"2007-06-15T09:05:03z", std::nullopt},
        {"2007-06-15T09:05:03Z 1", std::nullopt},
        {"0001-01-01T00:00:00+01:00", std::nullopt},
        {"9999-12-31T23:59:60Z", std::nullopt},
        {"9999-12-31T23:59:59.5Z", {{"9999-12-31", "23:59:59.5"}}},
        {"0000-12-31T23:00:00-01:00", {{"0001-01-01", "00:00:00"}}},
        {"15-06-2007T09:05:03Z", std::nullopt},
        {"", std::nullopt},
    };
    // Read in place, over the texts of the case before, as a reader does.
    UtcTime reused;
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const std::optional<UtcTime> time = ReadIsoDateTime(text);
        ASSERT_EQ(time.has_value(), expected.has_value());
        ASSERT_EQ(ReadIsoDateTime(text, reused), expected.has_value());
        if (time) {
            EXPECT_EQ(time->date, expected->first);
            EXPECT_EQ(time->time, expected->second);
            EXPECT_EQ(std::tie(reused.date, reused.time, reused.seconds, reused.fraction),
                      std::tie(time->date, time->time, time->seconds, time->fraction));
        }
    }
    EXPECT_EQ(ReadIsoDateTime("2007-06-15T11:05:03+02:00")->seconds, 1181898303);
    EXPECT_EQ(ReadIsoDateTime("2016-12-31T23:59:60Z")->seconds, 1483228800);
    EXPECT_EQ(ReadIsoDateTime("2007-06-15T11:05:03.25+02:00")->fraction, "25");
    EXPECT_EQ(ReadIsoDateTime("2007-06-15T09:05:03." + many + "Z")->fraction,
              std::string(kMostFractionDigits, '7'));
}

// The texts alone, written over the last time's: ToUtcTime's, whether the
// time is its own date and time in UTC, written as it stands, or not.
TEST(WriteUtcTimeTexts, WritesTheTextsOfToUtcTime) {
    const WrittenTime cases[] = {
        {2007, 6, 15, 9, 5, 3, "123456789012"},
        {2007, 6, 15, 9, 5, 3, ""},
        {2024, 2, 29, 23, 59, 59, "5"},
        {2016, 12, 31, 23, 59, 60, "25"},
        {2023, 2, 28, 24, 0, 0, "00"},
        {2007, 6, 15, 1, 5, 3, "", 120},
        {1, 1, 1, 0, 0, 0, ""},
        {9999, 12, 31, 23, 59, 59, "9"},
        {0, 12, 31, 23, 0, 0, "", -60},
        {2023, 2, 29, 9, 5, 3, ""},
        {2007, 13, 1, 9, 5, 3, ""},
        {2007, 6, 0, 9, 5, 3, ""},
        {2007, 6, 15, -1, 5, 3, ""},
        {2007, 6, 15, 9, 60, 0, ""},
        {2007, 6, 15, 9, 5, 3, "1x"},
        {10000, 1, 1, 0, 0, 0, ""},
    };
    std::string date = "1999-01-01";
    std::string time = "12:00:00.999999999";
    for (const WrittenTime& written : cases) {
        SCOPED_TRACE(testing::Message()
                     << written.year << "-" << written.month << "-" << written.day << " "
                     << written.hour << ":" << written.minute << ":" << written.second << "."
                     << written.fraction << " " << written.offsetMinutes);
        const std::optional<UtcTime> expected = ToUtcTime(written);
        ASSERT_EQ(WriteUtcTimeTexts(written, date, time), expected.has_value());
        if (expected) {
            EXPECT_EQ(date, expected->date);
            EXPECT_EQ(time, expected->time);
        }
    }
}

// Every digit counts, exactly, until the one rounding to a double.
TEST(SecondsBetween, IsTheExactDifferenceRoundedOnce) {
    const std::pair<std::pair<const char*, const char*>, std::optional<double>> cases[] = {
        {{"2007-06-15T11:05:00Z", "2007-06-15T11:05:18.42249129329699998Z"}, 18.42249129329699998},
        {{"2007-06-15T11:05:00.75Z", "2007-06-15T11:05:01.5Z"}, 0.75},
        {{"2007-06-15T11:05:00.9Z", "2007-06-15T13:05:01.1+02:00"}, 0.2},
        {{"2007-06-15T11:05:00Z", "2007-06-15T11:05:00.000000000000000000000000000001Z"}, 1e-30},
        // 1 + 2^-53 lies halfway between two doubles; the digit after decides.
        {{"2007-06-15T11:05:00Z",
          "2007-06-15T11:05:01.00000000000000011102230246251565404236316680908203125001Z"},
         1.0000000000000002},
        {{"2007-06-15T11:05:00Z",
          "2007-06-15T11:05:01.00000000000000011102230246251565404236316680908203125Z"},
         1.0},
        {{"2016-12-31T23:59:59.5Z", "2016-12-31T23:59:60Z"}, 0.5},
        {{"2007-06-15T11:05:00.5Z", "2007-06-15T11:05:00.50Z"}, std::nullopt},
        {{"2007-06-15T11:05:01Z", "2007-06-15T11:05:00.999Z"}, std::nullopt},
    };
    for (const auto& [times, expected] : cases) {
        SCOPED_TRACE(std::string(times.first) + " " + times.second);
        EXPECT_EQ(SecondsBetween(*ReadIsoDateTime(times.first), *ReadIsoDateTime(times.second)),
                  expected);
    }
}

// An element's text in pieces, as the XML parser gives it: blank space
// around and fraction digits beyond what is kept take no memory.
TEST(DateTimeText, ReadsAnyLengthInBoundedMemory) {
    const std::string blanks(100000, ' ');
    const std::string digits(100000, '3');
    struct Case {
        std::vector<std::string> pieces;
        std::optional<const char*> time;
        std::string shown;
    };
    const Case cases[] = {
        {{blanks, "\n2016-12-31T23:", "59:60Z\t", blanks}, "00:00:00", "2016-12-31T23:59:60Z"},
        {{"2007-06-15T09:05:03.", digits, digits, "+01:00"},
         "08:05:03.333333333",
         "2007-06-15T09:05:03." + std::string(44, '3') + "..."},
        {{"2007-06-15T09:05:61.", digits, "Z"},
         std::nullopt,
         "2007-06-15T09:05:61." + std::string(44, '3') + "..."},
        {{"2007-06-15T09:05:03Z", blanks, "x"},
         std::nullopt,
         "2007-06-15T09:05:03Z" + std::string(44, ' ') + "..."},
        {{"yesterday", digits}, std::nullopt, "yesterday" + std::string(55, '3') + "..."},
        {{" 2007-06-15 ", "T09:05:03Z"}, std::nullopt, "2007-06-15 T09:05:03Z"},
        {{"2007-06-15T09:05:03.1234Z"}, "09:05:03.1234", "2007-06-15T09:05:03.1234Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        DateTimeText text;
        for (const std::string& piece : c.pieces) {
            text.Append(piece);
        }
        const std::optional<UtcTime> time = text.Read();
        ASSERT_EQ(time.has_value(), c.time.has_value());
        if (time) {
            EXPECT_EQ(time->time, *c.time);
        }
        EXPECT_EQ(text.Shown(), c.shown);
    }
}

}  // namespace
}  // namespace routalo
