#pragma once

#include <cstdint>
#include <string_view>

namespace routalo {

// The CRC-16 with the reflected polynomial 0xA001, from 0, no final xor
// (CRC-16/ARC), that FIT files carry for their header and their bytes:
// `crc` continued over `bytes`. A block followed by its own CRC, low byte
// first, gives 0.
[[nodiscard]] std::uint16_t Crc16(std::uint16_t crc, std::string_view bytes);

}  // namespace routalo
