#include "sound/SmafCrc.h"

#include <array>

namespace flashsmith::sound {

uint16_t SmafCrc(std::span<const uint8_t> bytes) {
    // One table step per byte; computed here so that reading a sound needs no FFmpeg.
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 8;
            for (int b = 0; b < 8; ++b) r = (r & 0x8000) ? (r << 1) ^ 0x1021 : r << 1;
            t[i] = static_cast<uint16_t>(r);
        }
        return t;
    }();
    uint16_t reg = 0xFFFF;
    for (uint8_t byte : bytes) reg = static_cast<uint16_t>((reg << 8) ^ table[(reg >> 8) ^ byte]);
    return static_cast<uint16_t>(reg ^ 0xFFFF);
}

}  // namespace flashsmith::sound
