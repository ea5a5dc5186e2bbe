#include "sound/SmafCrc.h"

extern "C" {
#include <libavutil/bswap.h>
#include <libavutil/crc.h>
}

namespace flashsmith::sound {

uint16_t SmafCrc(std::span<const uint8_t> bytes) {
    // FFmpeg's MSB-first tables keep the register byte-swapped.
    const AVCRC* table = av_crc_get_table(AV_CRC_16_CCITT);
    const uint32_t reg = av_crc(table, 0xFFFF, bytes.data(), bytes.size());
    return static_cast<uint16_t>(av_bswap16(static_cast<uint16_t>(reg)) ^ 0xFFFF);
}

}  // namespace flashsmith::sound
