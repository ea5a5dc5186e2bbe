// Decoding of the waves stored in audio tracks and stream PCM: Yamaha ADPCM
// through FFmpeg's decoder, linear PCM directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sound/SmafFile.h"

namespace flashsmith::sound {

// Interleaved 16-bit samples (wave.channels per frame).
std::optional<std::vector<int16_t>> DecodeWave(const WaveData& wave, std::string* error);

// Yamaha 4-bit ADPCM (low nibble first; in stereo the low nibble is left).
std::optional<std::vector<int16_t>> DecodeYamahaAdpcm(Bytes data, int channels, int sampleRate, std::string* error);

}  // namespace flashsmith::sound
