// Any audio file FFmpeg can read turned into a SMAF file with one ADPCM
// audio track: decoded, mixed down to mono, resampled to a rate an audio
// track can name, encoded with FFmpeg's Yamaha ADPCM encoder and wrapped by
// its "mmf" muxer. The muxer's output is then made phone-ready: the track's
// gate time is written so it covers the whole wave (the muxer's overflows
// past about a minute), the encoder's frame padding is cut and the CRC the
// muxer leaves out is appended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"

namespace flashsmith::sound {

struct ConvertOptions {
    int sampleRate = 8000;  // 8000, 11025 or 22050
};

// The longest sound converted; longer input is refused rather than cut.
inline constexpr uint32_t kMaxConvertMs = 600000;

// Whether rate is one of the rates ConvertToSmaf writes.
bool ConvertRateSupported(int rate);

// The extensions Replace File(s) and edit scripts take as audio to convert
// (upper case, with the dot).
inline constexpr const char* kConvertibleExtensions[] = {".WAV", ".MP3", ".OGG", ".FLAC"};
bool IsConvertibleAudio(const std::string& path);

// The SMAF bytes, or the error "PATH: why".
base::Result<std::vector<uint8_t>> ConvertToSmaf(const std::string& inputPath, const ConvertOptions& options);

// ConvertToSmaf in the shape the editor's sound replacement takes; a
// sampleRate of 0 takes the default rate.
base::Result<std::vector<uint8_t>> ConvertForReplacement(const std::string& inputPath, int sampleRate);

}  // namespace flashsmith::sound
