// The demo image's ringtones: small SMAF files built byte by byte, so that
// every kind of track the player handles is there to hear.
//
//   0  Handy Phone Standard, one channel, a 2-operator voice of its own
//   1  Handy Phone Standard, lead (4-operator voice) and bass (2-operator)
//   2  Mobile Standard, a 2-operator voice of its own, melody and harmony
//   3  Mobile Standard without voices: the player's default bank
//   4  an ADPCM audio track (a two-note chime)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashsmith::demo {

std::vector<std::string> DemoRingtones();

// Yamaha 4-bit ADPCM, mono, low nibble first, with the predictor and step
// rule of FFmpeg's "adpcm_yamaha" encoder (so the bytes are those FFmpeg
// would write for the same samples, without linking FFmpeg here).
std::string EncodeYamahaAdpcm(const std::vector<int16_t>& samples);

}  // namespace flashsmith::demo
