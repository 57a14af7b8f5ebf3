#include "conversion/writers/legend_image.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace routalo {
namespace {

// A glyph of the font: seven rows of five pixels, the leftmost pixel in the
// row's bit 4, drawn kScale times larger so that a row of text is 14 pixels
// high.
struct Glyph {
    char character;
    std::array<std::uint8_t, 7> rows;
};

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kScale = 2;
constexpr int kAdvance = (kGlyphWidth + 1) * kScale;
constexpr int kTextGap = 8;  // between the swatch and the text

// clang-format off
constexpr std::array<Glyph, 25> kFont{{
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'h', {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'k', {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
    {'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'r', {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}},
}};
// clang-format on

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

constexpr Rgb kBackground{0xFF, 0xFF, 0xFF};
constexpr Rgb kInk{0x20, 0x20, 0x20};

const Glyph& GlyphOf(char character) {
    const auto* found = std::find_if(kFont.begin(), kFont.end(), [&](const Glyph& glyph) {
        return glyph.character == character;
    });
    if (found == kFont.end()) {
        throw std::invalid_argument("the legend's font has no '" + std::string(1, character) + "'");
    }
    return *found;
}

int HexDigit(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

// KML's aabbggrr; the opacity is left out, the legend's swatches are solid.
Rgb ColourOf(std::string_view kml) {
    std::array<int, 8> digits{};
    for (std::size_t i = 0; i < kml.size() && i < digits.size(); ++i) {
        digits.at(i) = HexDigit(kml[i]);
    }
    if (kml.size() != digits.size() ||
        std::any_of(digits.begin(), digits.end(), [](int digit) { return digit < 0; })) {
        throw std::invalid_argument("the legend's colour '" + std::string(kml) +
                                    "' is not aabbggrr");
    }
    const auto byte = [&](std::size_t at) {
        return static_cast<std::uint8_t>((digits.at(at) << 4U) | digits.at(at + 1));
    };
    return {byte(6), byte(4), byte(2)};
}

// The picture as the rows of a PNG image before compression: each row
// starts with filter type 0 (none) and holds its pixels' red, green and
// blue bytes.
class Canvas {
  public:
    Canvas(int width, int height)
        : width_(width),
          height_(height),
          bytes_(static_cast<std::size_t>(height) * RowSize(), '\0') {
        Fill(0, 0, width, height, kBackground);
    }

    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    [[nodiscard]] const std::string& Bytes() const { return bytes_; }

    void Fill(int left, int top, int width, int height, Rgb colour) {
        for (int y = top; y < top + height; ++y) {
            for (int x = left; x < left + width; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * RowSize()) + 1 +
                                       (static_cast<std::size_t>(x) * 3);
                bytes_[at] = static_cast<char>(colour.red);
                bytes_[at + 1] = static_cast<char>(colour.green);
                bytes_[at + 2] = static_cast<char>(colour.blue);
            }
        }
    }

    void Text(int left, int top, std::string_view text) {
        for (const char character : text) {
            const Glyph& glyph = GlyphOf(character);
            for (int row = 0; row < kGlyphHeight; ++row) {
                for (int column = 0; column < kGlyphWidth; ++column) {
                    const unsigned bit = 1U << static_cast<unsigned>(kGlyphWidth - 1 - column);
                    if ((glyph.rows.at(static_cast<std::size_t>(row)) & bit) != 0) {
                        Fill(left + (column * kScale), top + (row * kScale), kScale, kScale, kInk);
                    }
                }
            }
            left += kAdvance;
        }
    }

  private:
    [[nodiscard]] std::size_t RowSize() const { return 1 + (static_cast<std::size_t>(width_) * 3); }

    int width_;
    int height_;
    std::string bytes_;
};

void Put32(std::string& out, std::uint32_t value) {
    for (const unsigned shift : {24U, 16U, 8U, 0U}) {
        out.push_back(static_cast<char>((value >> shift) & 0xFFU));
    }
}

// A chunk: its length, type and data, and the CRC-32 of type and data.
void PutChunk(std::string& png, std::string_view type, std::string_view data) {
    Put32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.append(type);
    png.append(data);
    const std::string_view checked = std::string_view(png).substr(start);
    Put32(png, static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(checked.data()),
                                                  static_cast<uInt>(checked.size()))));
}

std::string Compressed(const std::string& bytes) {
    uLongf size = ::compressBound(static_cast<uLong>(bytes.size()));
    std::string compressed(size, '\0');
    if (::compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                    reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                    Z_BEST_COMPRESSION) != Z_OK) {
        throw std::bad_alloc();  // zlib fails here for want of memory alone
    }
    compressed.resize(size);
    return compressed;
}

}  // namespace

std::string LegendPng(const std::vector<LegendRow>& rows) {
    std::size_t longest = 0;
    for (const LegendRow& row : rows) {
        longest = std::max(longest, row.speeds.size());
    }
    const int textLeft = kLegendMargin + kLegendSwatchWidth + kTextGap;
    const int width = textLeft + (static_cast<int>(longest) * kAdvance) + kLegendMargin;
    const int height = (2 * kLegendMargin) + (static_cast<int>(rows.size()) * kLegendRowHeight);
    Canvas canvas(width, height);
    int top = kLegendMargin;
    for (const LegendRow& row : rows) {
        // A swatch with a dark edge, so that a light colour shows on white.
        const int swatchTop = top + ((kLegendRowHeight - kLegendSwatchHeight) / 2);
        canvas.Fill(kLegendMargin, swatchTop, kLegendSwatchWidth, kLegendSwatchHeight, kInk);
        canvas.Fill(kLegendMargin + 1, swatchTop + 1, kLegendSwatchWidth - 2,
                    kLegendSwatchHeight - 2, ColourOf(row.colour));
        canvas.Text(textLeft, top + ((kLegendRowHeight - (kGlyphHeight * kScale)) / 2), row.speeds);
        top += kLegendRowHeight;
    }

    std::string header;
    Put32(header, static_cast<std::uint32_t>(canvas.Width()));
    Put32(header, static_cast<std::uint32_t>(canvas.Height()));
    // Bit depth 8, colour type 2 (RGB), deflate, filters of method 0, no
    // interlace.
    header += std::string{'\x08', '\x02', '\x00', '\x00', '\x00'};
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", Compressed(canvas.Bytes()));
    PutChunk(png, "IEND", {});
    return png;
}

}  // namespace routalo
