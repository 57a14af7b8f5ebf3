#include "conversion/writers/legend_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace routalo {
namespace {

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8U) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

// A PNG image of 8-bit RGB read back: its size and its pixels as aabbggrr
// text, opaque, as KML writes colours.
struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::string> pixels;  // row by row

    [[nodiscard]] const std::string& At(int x, int y) const {
        return pixels.at((static_cast<std::size_t>(y) * width) + static_cast<std::size_t>(x));
    }
};

// Reads `png` as a decoder does: the signature, each chunk's CRC, IHDR
// first, IDAT inflated, IEND last. Fails the test at what is wrong.
Image Decode(std::string_view png) {
    Image image;
    EXPECT_EQ(png.substr(0, 8), std::string_view("\x89PNG\r\n\x1a\n", 8));
    std::string compressed;
    std::vector<std::string> types;
    for (std::size_t at = 8; at < png.size();) {
        const std::uint32_t length = Read32(png, at);
        const std::string_view typeAndData = png.substr(at + 4, 4 + length);
        const std::string_view data = typeAndData.substr(4);
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), typeAndData.size()));
        EXPECT_EQ(Read32(png, at + 8 + length), crc) << typeAndData.substr(0, 4);
        types.emplace_back(typeAndData.substr(0, 4));
        if (types.back() == "IHDR") {
            image.width = Read32(data, 0);
            image.height = Read32(data, 4);
            EXPECT_EQ(data.substr(8), std::string_view("\x08\x02\x00\x00\x00", 5));  // 8-bit RGB
        } else if (types.back() == "IDAT") {
            compressed += data;
        }
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    const std::size_t rowSize = 1 + (std::size_t{image.width} * 3);
    std::string raw(rowSize * image.height, '\0');
    auto size = static_cast<uLongf>(raw.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                         reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
              Z_OK);
    EXPECT_EQ(size, raw.size());
    constexpr std::string_view kDigits = "0123456789abcdef";
    for (std::size_t row = 0; row < image.height; ++row) {
        EXPECT_EQ(raw.at(row * rowSize), '\0') << "a filter the test does not undo";
        for (std::size_t x = 0; x < image.width; ++x) {
            std::string colour = "ff";
            for (std::size_t channel = 3; channel-- > 0;) {  // blue, green, red
                const auto byte =
                    static_cast<unsigned char>(raw.at((row * rowSize) + 1 + (x * 3) + channel));
                colour += kDigits.at(byte >> 4U);
                colour += kDigits.at(byte & 0xFU);
            }
            image.pixels.push_back(colour);
        }
    }
    return image;
}

TEST(LegendPng, DrawsEachRowsSwatchInItsColourTopDown) {
    const std::vector<LegendRow> speedScheme = {
        {"ff000000", "0-1 km/h"},   {"ffff0000", "2-3 km/h"},   {"ffff7700", "4-6 km/h"},
        {"ff00ff6a", "7-8 km/h"},   {"ff00ff37", "9-10 km/h"},  {"ff00ffd9", "11-12 km/h"},
        {"ff00eaff", "13-16 km/h"}, {"ff0077ff", "17-19 km/h"}, {"ff0000ff", "20 km/h and faster"},
    };
    struct Case {
        const char* what;
        std::vector<LegendRow> rows;
    };
    const Case cases[] = {
        {"the default scheme", speedScheme},
        {"a top speed", {{"ff0000ff", "127-130 km/h and faster"}, {"ffffffff", "0.5-1.5 km/h"}}},
        {"one colour twice", {{"ff00ff37", "9 km/h"}, {"ff00ff37", "10 km/h"}}},
        {"no rows", {}},
    };
    for (const Case& c : cases) {
        const std::string png = LegendPng(c.rows);
        const Image image = Decode(png);
        ASSERT_EQ(image.height, static_cast<std::size_t>((2 * kLegendMargin)) +
                                    (c.rows.size() * static_cast<std::size_t>(kLegendRowHeight)))
            << c.what;
        ASSERT_GE(kLegendRowHeight, 14);
        for (std::size_t row = 0; row < c.rows.size(); ++row) {
            const int top = kLegendMargin + (static_cast<int>(row) * kLegendRowHeight);
            EXPECT_EQ(
                image.At(kLegendMargin + (kLegendSwatchWidth / 2), top + (kLegendRowHeight / 2)),
                c.rows[row].colour)
                << c.what << ", row " << row;
        }
        EXPECT_EQ(LegendPng(c.rows), png) << c.what << ": drawn otherwise the second time";
    }
    EXPECT_LT(LegendPng(speedScheme).size(), 8000U) << "a legend of a few KB";
}

TEST(LegendPng, RefusesWhatItCannotDraw) {
    struct Case {
        LegendRow row;
        const char* message;
    };
    const Case cases[] = {
        {{"ff0000f", "1 km/h"}, "the legend's colour 'ff0000f' is not aabbggrr"},
        {{"ff0000fg", "1 km/h"}, "the legend's colour 'ff0000fg' is not aabbggrr"},
        {{"ff0000ff", "1 mph"}, "the legend's font has no 'p'"},
    };
    for (const Case& c : cases) {
        try {
            (void)LegendPng({c.row});
            ADD_FAILURE() << c.message << ": drawn";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

}  // namespace
}  // namespace routalo
