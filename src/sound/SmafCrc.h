// The checksum stored at the end of a SMAF file chunk: CRC-16 with polynomial
// 0x1021, initial value 0xFFFF, MSB first, complemented (CRC-16/GENIBUS).
#pragma once

#include <cstdint>
#include <span>

namespace flashsmith::sound {

uint16_t SmafCrc(std::span<const uint8_t> bytes);

}  // namespace flashsmith::sound
