#include "conversion/speed_class.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "conversion/errors.h"

namespace routalo {
namespace {

TEST(RoundSpeed, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundSpeed("12.5"), 12);
    EXPECT_EQ(RoundSpeed("13.5"), 14);
    EXPECT_EQ(RoundSpeed("-0.5"), 0);
    EXPECT_EQ(RoundSpeed("-1.5"), -2);
    EXPECT_EQ(RoundSpeed("0.5"), 0);
    EXPECT_EQ(RoundSpeed("1.5"), 2);
}

TEST(RoundSpeed, DecidesTiesOnTheExactDecimalValue) {
    // Beyond what a double holds: only an exact reading rounds these right.
    EXPECT_EQ(RoundSpeed("12.50000000000000000001"), 13);
    EXPECT_EQ(RoundSpeed("12.49999999999999999999"), 12);
    EXPECT_EQ(RoundSpeed("2.500000000000000000000"), 2);
}

TEST(RoundSpeed, ReadsTheWholeNumberGrammar) {
    EXPECT_EQ(RoundSpeed("7"), 7);
    EXPECT_EQ(RoundSpeed("+7"), 7);
    EXPECT_EQ(RoundSpeed("7."), 7);
    EXPECT_EQ(RoundSpeed(".6"), 1);
    EXPECT_EQ(RoundSpeed("007.4"), 7);
    EXPECT_EQ(RoundSpeed("1.25e1"), 12);
    EXPECT_EQ(RoundSpeed("135E-1"), 14);
    EXPECT_EQ(RoundSpeed("2e+1"), 20);
    EXPECT_EQ(RoundSpeed("5e-99999999999999999999"), 0);
    EXPECT_EQ(RoundSpeed("0e99999999999999999999"), 0);
    EXPECT_EQ(RoundSpeed("0.0000"), 0);
    EXPECT_EQ(RoundSpeed("-0"), 0);
}

TEST(RoundSpeed, RejectsWhatIsNoNumber) {
    for (const char* text :
         {"",    " ",   "+",    "-",     ".",    "e5",  ".e1", "1e",   "1e+", "1,5",
          "12 ", " 12", "\t12", "1.2.3", "0x10", "inf", "nan", "12km", "--1", "1e5.0"}) {
        EXPECT_THROW((void)RoundSpeed(text), SpeedError) << '"' << text << '"';
    }
}

TEST(RoundSpeed, KeepsToTheSixteenBitRange) {
    EXPECT_EQ(RoundSpeed("32767"), 32767);
    EXPECT_EQ(RoundSpeed("32767.4"), 32767);
    EXPECT_EQ(RoundSpeed("-32768"), -32768);
    EXPECT_EQ(RoundSpeed("-32768.5"), -32768);
    EXPECT_THROW((void)RoundSpeed("32767.5"), SpeedError);
    EXPECT_THROW((void)RoundSpeed("32768"), SpeedError);
    EXPECT_THROW((void)RoundSpeed("-32769"), SpeedError);
    EXPECT_THROW((void)RoundSpeed("1e5"), SpeedError);
    EXPECT_THROW((void)RoundSpeed("99999999999999999999999"), SpeedError);
}

// What the readers make of a speed beyond the highest: that speed, whose
// class it would have had.
TEST(CapAtTheFastestSpeed, TakesTheHighestSpeedForAnyAboveIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "0"},         {"32766.999999", "32766.999999"},
        {"32767", "32767"}, {"32767.000001", "32767"},
        {"40000", "32767"}, {"185198.148", "32767"},
    };
    for (const auto& [kmh, capped] : cases) {
        std::string speed = kmh;
        CapAtTheFastestSpeed(speed);
        EXPECT_EQ(speed, capped) << kmh;
    }
}

TEST(SpeedClassOf, MapsSpeedsToTheirClass) {
    EXPECT_EQ(SpeedClassOf("0"), 0);
    EXPECT_EQ(SpeedClassOf("-0.4"), 0);
    EXPECT_EQ(SpeedClassOf("12"), 12);
    EXPECT_EQ(SpeedClassOf("25"), 25);
    EXPECT_EQ(SpeedClassOf("25.4"), 25);
    EXPECT_EQ(SpeedClassOf("25.5"), 24);  // 26 after rounding to even
    EXPECT_EQ(SpeedClassOf("25.6"), 24);
    EXPECT_EQ(SpeedClassOf("26"), 24);
    EXPECT_EQ(SpeedClassOf("180"), 24);
    EXPECT_EQ(SpeedClassOf("32767"), 24);
}

TEST(SpeedClassOf, FailsBelowZeroAndOutsideTheRange) {
    EXPECT_THROW((void)SpeedClassOf("-0.6"), SpeedError);
    EXPECT_THROW((void)SpeedClassOf("-3"), SpeedError);
    EXPECT_THROW((void)SpeedClassOf("40000"), SpeedError);
    EXPECT_THROW((void)SpeedClassOf(""), SpeedError);
}

// speed x 25 / top, rounded on the exact values, halves to the even neighbour.
TEST(TopSpeed, SpreadsTheClassesEvenlyUpToIt) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"130", "0", 0},
        {"130", "2.6", 0},  // 0.5
        {"130", "2.60000000000000000001", 1},
        {"130", "7.8", 2},  // 1.5
        {"130", "13", 2},   // 2.5
        {"130", "65", 12},  // 12.5
        {"130", "129.9", 25},
        {"130", "130", 25},
        {"130", "32767", 25},
        {"130", "-0.4", 0},
        {"130", "1e1", 2},
        {"130", "5e-99999999999999999999", 0},
        {"25", "25.6", 25},
        {"42.5", "8.5", 5},
        {"42.5", "0.85", 0},  // 0.5
        {"1000", "60", 2},    // 1.5
        {"1000.000", "1000", 25},
        {"1", "0.02", 0},  // 0.5
        {"1", "0.06", 2},  // 1.5
        {"1", "0.99", 25},
        {"1", ".5", 12},             // 12.5
        {"10", "5.", 12},            // 12.5
        {"999.999", "19.99998", 0},  // 0.5
        {"999.999", "59.99994", 2},  // 1.5
        {"999.999", "39.999959999", 1},
        {"130", "32766.999999999", 25},
    };
    for (const auto& [kmh, speed, expected] : cases) {
        SCOPED_TRACE(std::string(kmh) + " " + speed);
        const std::optional<TopSpeed> top = TopSpeed::Read(kmh);
        ASSERT_TRUE(top.has_value());
        EXPECT_EQ(top->ClassOf(speed), expected);
    }
    const TopSpeed top = *TopSpeed::Read("10");
    const std::pair<const char*, const char*> failures[] = {
        {"-0.4", "the speed \"-0.4\" rounds below zero"},
        {"fast", "the speed \"fast\" is not a number"},
        {"40000", "the speed \"40000\" is out of range"},
    };
    for (const auto& [speed, message] : failures) {
        try {
            (void)top.ClassOf(speed);
            ADD_FAILURE() << speed << " gave a class";
        } catch (const SpeedError& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}

TEST(TopSpeed, IsANumberFromOneToAThousand) {
    for (const char* text : {"1", "1.0", "42.5", "130.", "999.999", "1000", "1000.000"}) {
        EXPECT_TRUE(TopSpeed::Read(text).has_value()) << text;
    }
    for (const char* text : {"", "0", "0.999", "1000.001", "1001", "-5", "+5", ".5", "1e2", "130km",
                             " 130", "130 ", "1,5", "abc", "12.3.4"}) {
        EXPECT_FALSE(TopSpeed::Read(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace routalo
