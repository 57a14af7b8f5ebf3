#include "conversion/readers/fit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/readers/crc16.h"
#include "tests/support/read_points.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

// A FIT file made by hand, message by message, as the protocol lays it out.
std::string Number(std::uint64_t value, std::size_t size, bool big = false) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[big ? size - 1 - i : i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
    }
    return bytes;
}

struct Field {
    std::uint8_t number, size, baseType;
};

std::string Definition(std::uint8_t local, std::uint16_t global, const std::vector<Field>& fields,
                       bool big = false, const std::vector<std::uint8_t>& developerSizes = {}) {
    std::string bytes(1, static_cast<char>(0x40U | local | (developerSizes.empty() ? 0 : 0x20U)));
    bytes += '\0';
    bytes += static_cast<char>(big ? 1 : 0);
    bytes += Number(global, 2, big);
    bytes += static_cast<char>(fields.size());
    for (const Field& field : fields) {
        bytes += {static_cast<char>(field.number), static_cast<char>(field.size),
                  static_cast<char>(field.baseType)};
    }
    if (!developerSizes.empty()) {
        bytes += static_cast<char>(developerSizes.size());
        for (const std::uint8_t size : developerSizes) {
            bytes += {'\x07', static_cast<char>(size), '\0'};
        }
    }
    return bytes;
}

// A record's fields: timestamp, position_lat, position_long, enhanced_speed.
const std::vector<Field> kRecordFields = {
    {253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {73, 4, 0x86}};

std::string Record(std::uint8_t local, std::uint32_t time, std::int32_t lat, std::int32_t lon,
                   std::uint32_t milliSpeed, bool big = false) {
    return std::string(1, static_cast<char>(local)) + Number(time, 4, big) +
           Number(static_cast<std::uint32_t>(lat), 4, big) +
           Number(static_cast<std::uint32_t>(lon), 4, big) + Number(milliSpeed, 4, big);
}

// The file around `records`: a 14-byte header with its CRC, or a 12-byte one,
// giving the size of the records or `dataSize`.
std::string FitFile(const std::string& records, bool longHeader = true,
                    std::size_t dataSize = SIZE_MAX) {
    std::string header(1, static_cast<char>(longHeader ? 14 : 12));
    header += '\x20';
    header += Number(2132, 2);
    header += Number(dataSize == SIZE_MAX ? records.size() : dataSize, 4);
    header += ".FIT";
    if (longHeader) {
        header += Number(Crc16(0, header), 2);
    }
    const std::string file = header + records;
    return file + Number(Crc16(0, file), 2);
}

using Point = testing::ReadPoint;

std::pair<std::vector<Point>, std::string> ReadAll(const std::string& bytes) {
    const testing::ScratchFolder folder;
    TextInputFile log(folder.Write("rit.fit", bytes));
    FitPointReader reader(log);
    std::vector<Point> points;
    try {
        testing::ReadPoints(reader, points);
    } catch (const ConversionError& error) {
        return {points, CauseWithPlace(error)};
    }
    return {points, ""};
}

constexpr PointStep kNew = PointStep::kNewChain;
constexpr PointStep kNext = PointStep::kNextPoint;
constexpr std::int32_t kLat = 623191729;    // 52.2353273
constexpr std::int32_t kLon = 60850487;     // 5.1004289
constexpr std::uint32_t kTime = 581245503;  // 2008-06-01T09:05:03Z

TEST(Crc16, IsTheArcCrc) {
    EXPECT_EQ(Crc16(0, "123456789"), 0xBB3D);
    // Eight bytes at a time as one at a time, bit by bit, at every length.
    std::string bytes;
    for (int i = 0; i < 40; ++i) {
        std::uint16_t expected = 0x1234;
        for (const char byte : bytes) {
            expected ^= static_cast<unsigned char>(byte);
            for (int bit = 0; bit < 8; ++bit) {
                expected = (expected & 1U) != 0 ? (expected >> 1U) ^ 0xA001U : expected >> 1U;
            }
        }
        EXPECT_EQ(Crc16(0x1234, bytes), expected) << i;
        bytes += static_cast<char>(i * 37 + 200);
    }
    EXPECT_EQ(Crc16(Crc16(0, "123456789"), std::string("\x3D\xBB", 2)), 0);
}

TEST(FitPointReader, WritesSemicirclesAsDegreesRoundedHalfToEven) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {kLat, "52.2353273"},
        {-kLat, "-52.2353273"},
        {kLon, "5.1004289"},
        {0, "0.0000000"},
        {1, "0.0000001"},
        {-1, "-0.0000001"},
        {1 << 30, "90.0000000"},
        {INT32_MIN, "-180.0000000"},
        {INT32_MAX - 1, "179.9999998"},
        // Exactly halfway between two 7th decimals: to the even one.
        {1 << 21, "0.1757812"},
        {3 << 21, "0.5273438"},
        {-(3 << 21), "-0.5273438"},
    };
    std::string text;
    for (const auto& [semicircles, degrees] : cases) {
        WriteSemicircleDegrees(semicircles, text);
        EXPECT_EQ(text, degrees) << semicircles;
    }
}

TEST(FitPointReader, ReadsRecordsOfEitherByteOrderAndTheirChains) {
    const std::string littleEndian = FitFile(
        Definition(0, 20, kRecordFields) + Record(0, kTime, kLat, kLon, 3500) +
        // 0x7FFFFFFF: no position, no point
        Record(0, kTime + 1, 0x7FFFFFFF, kLon, 3500) + Record(0, kTime + 2, -kLat, -kLon, 0));
    const std::string bigEndian =
        FitFile(Definition(3, 20, kRecordFields, true) + Record(3, kTime, kLat, kLon, 3500, true) +
                    Record(3, kTime + 1, 0x7FFFFFFF, kLon, 3500, true) +
                    Record(3, kTime + 2, -kLat, -kLon, 0, true),
                false);
    const std::vector<Point> expected = {
        {kNew, "52.2353273", "5.1004289", "12.6", "2008-06-01", "09:05:03"},
        {kNext, "-52.2353273", "-5.1004289", "0", "2008-06-01", "09:05:05"}};
    EXPECT_EQ(ReadAll(littleEndian), std::make_pair(expected, std::string()));
    EXPECT_EQ(ReadAll(bigEndian), std::make_pair(expected, std::string()));

    // speed (uint16) without enhanced_speed; neither: derived from the
    // point before, as the GPX reader derives it; a timer stop event ends
    // the chain; developer fields are skipped; compressed timestamps count
    // on from the last timestamp, over a wrap of their 5 bits.
    const std::vector<Field> speedOnly = {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {6, 2, 0x84}};
    const std::vector<Field> positionOnly = {{0, 4, 0x85}, {1, 4, 0x85}};
    const std::vector<Field> event = {{253, 4, 0x86}, {0, 1, 0x00}, {1, 1, 0x00}};
    const auto position = [](std::int32_t lat, std::int32_t lon) {
        return Number(static_cast<std::uint32_t>(lat), 4) +
               Number(static_cast<std::uint32_t>(lon), 4);
    };
    const std::string records = Definition(1, 20, speedOnly) + "\x01" + Number(kTime, 4) +
                                position(kLat, kLon) + Number(2000, 2) +
                                Definition(2, 20, positionOnly, false, {3}) +
                                // compressed header, local type 2, offset 0x1E: kTime is ...0x1F,
                                // so the time wraps to kTime + 31
                                std::string(1, static_cast<char>(0x80U | (2U << 5U) | 0x1EU)) +
                                position(kLat + 1000, kLon) + "dev" + Definition(4, 21, event) +
                                "\x04" + Number(kTime + 40, 4) + std::string("\x00\x04", 2) +
                                std::string(1, static_cast<char>(0x80U | (2U << 5U) | 0x0AU)) +
                                position(kLat, kLon) + "dev";
    EXPECT_EQ(ReadAll(FitFile(records)),
              std::make_pair(
                  std::vector<Point>{
                      {kNew, "52.2353273", "5.1004289", "7.2", "2008-06-01", "09:05:03"},
                      {kNext, "52.2354111", "5.1004289", "1.082107", "2008-06-01", "09:05:34"},
                      // after the stop, at kTime + 40 (...0x47): offset 0x0A is kTime + 43
                      {kNew, "52.2353273", "5.1004289", "0", "2008-06-01", "09:05:46"}},
                  std::string()));

    // Speeds in mm/s as exact km/h, capped at the fastest speed.
    const std::pair<std::uint32_t, const char*> speeds[] = {
        {1, "0.0036"},      {25, "0.09"},          {999, "3.5964"},
        {1000, "3.6"},      {10000, "36"},         {9101944, "32766.9984"},
        {9101945, "32767"}, {0xFFFFFFFE, "32767"},
    };
    std::string many = Definition(0, 20, kRecordFields);
    for (const auto& [milli, kmh] : speeds) {
        many += Record(0, kTime, kLat, kLon, milli);
    }
    const std::vector<Point> read = ReadAll(FitFile(many)).first;
    ASSERT_EQ(read.size(), std::size(speeds));
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].speed, speeds[i].second) << speeds[i].first;
    }

    // Two files chained: each its own chain.
    const std::string one =
        FitFile(Definition(0, 20, kRecordFields) + Record(0, kTime, kLat, kLon, 1000) +
                Record(0, kTime + 1, kLat, kLon, 1000));
    EXPECT_EQ(ReadAll(one + one).first.size(), 4U);
    EXPECT_EQ(ReadAll(one + one).first[2].step, kNew);
}

TEST(FitPointReader, FailsWithTheCauseAndTheByteWhereItStands) {
    const std::string good =
        FitFile(Definition(0, 20, kRecordFields) + Record(0, kTime, kLat, kLon, 3500));
    std::string badHeaderCrc = good;
    badHeaderCrc[12] ^= 1;
    std::string badFileCrc = good;
    badFileCrc[20] ^= 1;  // in the definition
    const std::pair<std::string, std::string> cases[] = {
        {badHeaderCrc, "byte 12: the FIT header's CRC does not match its bytes"},
        {badFileCrc, "byte " + std::to_string(good.size() - 2) +
                         ": the FIT file's CRC does not match its bytes"},
        {good.substr(0, 40), "byte 40: the FIT file is cut off"},
        {good.substr(0, good.size() - 1),
         "byte " + std::to_string(good.size() - 1) + ": the FIT file is cut off"},
        {good + "x", "byte " + std::to_string(good.size() + 1) + ": the FIT file is cut off"},
        {good + std::string(12, 'x'),
         "byte " + std::to_string(good.size()) + ": no FIT file header"},
        {FitFile(Record(5, kTime, kLat, kLon, 0)),
         "byte 14: a data message of local type 5, which is not defined"},
        {FitFile("\x80"), "byte 14: a compressed timestamp follows no timestamp"},
        {FitFile(Definition(0, 20, kRecordFields) + Record(0, kTime, (1 << 30) + 1, 0, 0)),
         "byte 32: a record's position_lat lies beyond 90 degrees"},
    };
    for (const auto& [bytes, cause] : cases) {
        EXPECT_EQ(ReadAll(bytes).second, cause);
    }
    // A message longer than the data that the header gives.
    const std::string definition = Definition(0, 20, kRecordFields);
    EXPECT_EQ(
        ReadAll(FitFile(definition + Record(0, kTime, kLat, kLon, 0), true, definition.size() + 3))
            .second,
        "byte 33: a message runs past the end of the data that the FIT header gives");
}

}  // namespace
}  // namespace routalo
