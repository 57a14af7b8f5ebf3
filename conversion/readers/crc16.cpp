#include "conversion/readers/crc16.h"

#include <array>
#include <cstddef>

namespace routalo {
namespace {

constexpr std::uint16_t kPolynomial = 0xA001;
constexpr std::size_t kSlice = 8;

// kTables[k][v]: the CRC, from 0, of the byte v followed by k zero bytes,
// so that eight bytes are taken in one step (slicing by eight) rather than
// one after another, each waiting for the one before.
using Tables = std::array<std::array<std::uint16_t, 256>, kSlice>;
constexpr Tables kTables = [] {
    Tables tables{};
    for (std::size_t value = 0; value < 256; ++value) {
        auto crc = static_cast<std::uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1U) ^ kPolynomial)
                                  : static_cast<std::uint16_t>(crc >> 1U);
        }
        tables[0][value] = crc;
    }
    for (std::size_t k = 1; k < kSlice; ++k) {
        for (std::size_t value = 0; value < 256; ++value) {
            const std::uint16_t before = tables[k - 1][value];
            tables[k][value] =
                static_cast<std::uint16_t>((before >> 8U) ^ tables[0][before & 0xFFU]);
        }
    }
    return tables;
}();

}  // namespace

std::uint16_t Crc16(std::uint16_t crc, std::string_view bytes) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    std::size_t at = 0;
    for (; at + kSlice <= bytes.size(); at += kSlice) {
        const unsigned first = (crc ^ static_cast<unsigned>(byte(at) | (byte(at + 1) << 8U)));
        crc = static_cast<std::uint16_t>(kTables[7][first & 0xFFU] ^ kTables[6][first >> 8U] ^
                                         kTables[5][byte(at + 2)] ^ kTables[4][byte(at + 3)] ^
                                         kTables[3][byte(at + 4)] ^ kTables[2][byte(at + 5)] ^
                                         kTables[1][byte(at + 6)] ^ kTables[0][byte(at + 7)]);
    }
    for (; at < bytes.size(); ++at) {
        crc = static_cast<std::uint16_t>((crc >> 8U) ^ kTables[0][(crc ^ byte(at)) & 0xFFU]);
    }
    return crc;
}

}  // namespace routalo
