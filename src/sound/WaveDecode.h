// Decoding of the waves stored in audio tracks and stream PCM: Yamaha ADPCM
// through FFmpeg's decoder, linear PCM directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"
#include "sound/SmafFile.h"

namespace flashsmith::sound {

// Interleaved 16-bit samples (wave.channels per frame).
base::Result<std::vector<int16_t>> DecodeWave(const WaveData& wave);

// Yamaha 4-bit ADPCM (low nibble first; in stereo the low nibble is left).
base::Result<std::vector<int16_t>> DecodeYamahaAdpcm(Bytes data, int channels, int sampleRate);

}  // namespace flashsmith::sound
