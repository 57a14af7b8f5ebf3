#include "conversion/readers/nmea_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "conversion/errors.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

// "$" BODY "*hh", with the checksum of BODY, or a wrong one.
std::string Sentence(std::string_view body, bool rightChecksum = true) {
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    std::array<char, 3> hex{};
    std::snprintf(hex.data(), hex.size(), "%02X", rightChecksum ? sum : sum ^ 1U);
    std::string sentence = "$";
    sentence.append(body).append("*").append(hex.data());
    return sentence;
}

struct Expected {
    std::string latitude, longitude, speed, date, time;
};

TEST(ReadRmcSentence, ReadsEveryValidFixAndNothingElse) {
    const std::pair<std::string, std::optional<Expected>> cases[] = {
        {Sentence("GPRMC,090503.00,A,5212.0000,N,00506.0000,E,6.48,54.7,150607,,,A"),
         Expected{"52.200000", "5.100000", "12.00096", "2007-06-15", "09:05:03.00"}},
        {Sentence("BDRMC,120000,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W"),
         Expected{"-48.117300", "-11.516667", "41.4848", "1994-03-23", "12:00:00"}},
        // Halves go to the even neighbour: 0.5 and 1.5 millionths of a degree.
        {Sentence("GARMC,000000,A,1000.00003,N,01000.00009,E,1,,311299,,"),
         Expected{"10.000000", "10.000002", "1.852", "1999-12-31", "00:00:00"}},
        {Sentence("GNRMC,235959.5,A,0000.0000,S,00000.0000,W,0.000,,010180"),
         Expected{"0.000000", "0.000000", "0", "1980-01-01", "23:59:59.5"}},
        {Sentence("GLRMC,010203,A,9000.000,N,18000.000,E,100,,291279,,"),
         Expected{"90.000000", "180.000000", "185.2", "2079-12-29", "01:02:03"}},
        // A speed beyond the highest becomes it, the same class.
        {Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,99999,,150607,,"),
         Expected{"52.200000", "5.100000", "32767", "2007-06-15", "09:05:03"}},
        // The date and time of ToUtcTime: the leap second at 23:59 and
        // 24:00:00 are the next day's first, a fraction keeps 9 digits.
        {Sentence("GPRMC,235960,A,5212.0000,N,00506.0000,E,0,,311216,,"),
         Expected{"52.200000", "5.100000", "0", "2017-01-01", "00:00:00"}},
        {Sentence("GPRMC,235960.50,A,5212.0000,N,00506.0000,E,0,,311216,,"),
         Expected{"52.200000", "5.100000", "0", "2017-01-01", "00:00:00.50"}},
        {Sentence("GPRMC,240000.00,A,5212.0000,N,00506.0000,E,0,,280224,,"),
         Expected{"52.200000", "5.100000", "0", "2024-02-29", "00:00:00.00"}},
        {Sentence("GPRMC,090503.123456789012,A,5212.0000,N,00506.0000,E,0,,150607,,"),
         Expected{"52.200000", "5.100000", "0", "2007-06-15", "09:05:03.123456789"}},
        {Sentence("GPRMC,000060,A,5212.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,240000.01,A,5212.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090504,A,5212.0000,N,00506.0000,E,6.48,,290223,,"), std::nullopt},
        {Sentence("GPRMC,090504,A,5212.0000,N,00506.0000,E,6.48,,310423,,"), std::nullopt},
        {Sentence("GPRMC,090503,V,5212.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,6.48,,150607,,", false), std::nullopt},
        {"$GPRMC,090503,A,5212.0000,N,00506.0000,E,6.48,,150607,,", std::nullopt},
        {Sentence("GPGGA,090503,5212.0000,N,00506.0000,E,1,08,0.9,545.4,M,46.9,M,,"), std::nullopt},
        {Sentence("PGRMC,090503,A,5212.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5260.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,9000.0001,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,N,18000.0001,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,052.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,X,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,-6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,6.48,,320607,,"), std::nullopt},
        {Sentence("GPRMC,240503,A,5212.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503.,A,5212.0000,N,00506.0000,E,6.48,,150607,,"), std::nullopt},
        {Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,6.48"), std::nullopt},
    };
    for (const auto& [sentence, expected] : cases) {
        SCOPED_TRACE(sentence);
        TrackPoint point;
        ASSERT_EQ(ReadRmcSentence(sentence, point), expected.has_value());
        if (expected) {
            EXPECT_EQ(point, (TrackPoint{expected->latitude, expected->longitude, expected->speed,
                                         expected->date, expected->time}));
            EXPECT_TRUE(point.XmlSafe);
        }
    }
}

// Lines end in CR LF, LF or CR; a byte order mark, blank lines, spaces and
// lines of more than 1 KiB change nothing; all points form one chain.
TEST(NmeaPointReader, ReadsEveryKindOfLineEndAsOneChain) {
    const std::string fix = Sentence("GPRMC,090503,A,5212.0000,N,00506.0000,E,6.48,,150607,,");
    const std::string other = Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
    // 85 characters, as an RTK receiver writes them: minutes to 8 decimals.
    const std::string rtk = Sentence(
        "GNRMC,090503.00,A,5212.00000000,N,00506.00000000,E,0.004,77.52,150607,001.0,W,R,V");
    ASSERT_EQ(rtk.size(), 85U);
    const std::string longest = fix + std::string(1024 - fix.size(), ' ');
    const std::pair<std::string, std::vector<std::size_t>> cases[] = {
        {fix + "\r\n" + other + "\r\n" + fix + "\r\n", {1, 3}},
        {fix + "\n" + other + "\n\n" + fix, {1, 4}},
        {"\xEF\xBB\xBF  " + fix + "\r" + fix + " \r", {1, 2}},
        {longest + "\r" + other + "\r" + longest + "\r", {1, 3}},
        {rtk + "\r\n" + longest + "\r\n" + longest + " \r\n" + std::string(100000, 'x') + "\n" +
             fix + "\n",
         {1, 2, 5}},
    };
    for (const auto& [bytes, lines] : cases) {
        SCOPED_TRACE(bytes.substr(0, 120));
        const testing::ScratchFolder folder;
        TextInputFile log(folder.Write("log.nmea", bytes));
        NmeaPointReader reader(log);
        TrackPoint point;
        std::vector<std::size_t> seen;
        for (PointStep step; (step = reader.Next(point)) != PointStep::kEnd;) {
            EXPECT_EQ(step, seen.empty() ? PointStep::kNewChain : PointStep::kNextPoint);
            EXPECT_EQ(point.Latitude, "52.200000");
            seen.push_back(reader.Line());
        }
        EXPECT_EQ(seen, lines);
    }
}

TEST(NmeaPointReader, FailsALogWithoutOneValidFix) {
    for (const std::string& bytes :
         {std::string("$\r\n"),
          Sentence("GPRMC,090503,V,5212.0000,N,00506.0000,E,6.48,,150607,,") + "\r\n"}) {
        const testing::ScratchFolder folder;
        TextInputFile log(folder.Write("log.nmea", bytes));
        NmeaPointReader reader(log);
        TrackPoint point;
        try {
            (void)reader.Next(point);
            ADD_FAILURE() << "no failure";
        } catch (const ConversionError& error) {
            EXPECT_STREQ(error.what(), "the log holds no RMC sentence with a valid fix");
        }
    }
}

}  // namespace
}  // namespace routalo
