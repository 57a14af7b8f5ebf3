#include "conversion/speed_class.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace routalo
