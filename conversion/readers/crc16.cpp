#include "conversion/readers/crc16.h"

#include <array>
#include <cstddef>

namespace routalo {
namespace {

constexpr std::uint16_t kPolynomial = 0xA001;

// The CRC of each byte value, for a byte at a time.
constexpr std::array<std::uint16_t, 256> kTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        auto crc = static_cast<std::uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1U) ^ kPolynomial)
                                  : static_cast<std::uint16_t>(crc >> 1U);
        }
        table[value] = crc;
    }
    return table;
}();

}  // namespace

std::uint16_t Crc16(std::uint16_t crc, std::string_view bytes) {
    for (const char byte : bytes) {
        crc = static_cast<std::uint16_t>((crc >> 8U) ^
                                         kTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFFU]);
    }
    return crc;
}

}  // namespace routalo
