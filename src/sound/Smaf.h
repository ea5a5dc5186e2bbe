// The built-in SMAF (".mmf") engine: reading a file's structure and rendering
// it to PCM without any vendor library. Score tracks are played by our own FM
// synthesizer, ADPCM audio through FFmpeg's decoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Result.h"

namespace flashsmith::sound {

enum class SmafFormat { HandyPhoneStandard, MobileStandardCompressed, MobileStandard, MA7, AudioOnly, VoiceLibrary };
// "HandyPhoneStandard", "MobileStandardCompressed", ... as shown and in JSON.
const char* FormatName(SmafFormat format);

enum class CrcState { Ok, Bad, Missing };
const char* CrcName(CrcState crc);  // "ok", "bad", "missing"

enum class TrackKind { Score, Audio, Other };
const char* TrackKindName(TrackKind kind);  // "score", "audio", "other"

struct TrackInfo {
    TrackKind kind = TrackKind::Other;
    int number = 0;    // the fourth byte of the track chunk's ID
    int channels = 0;  // channels that play notes or waves
    int format = 0;    // score: format type byte; audio: wave type
};

struct SmafInfo {
    SmafFormat format = SmafFormat::HandyPhoneStandard;
    std::vector<TrackInfo> tracks;
    int voices = 0;  // voice definitions in the setup data
    uint32_t lengthMs = 0;  // the whole sequence; seek and phrase points are not applied
    std::string title, artist, copyright;  // as stored (bytes)
    CrcState crc = CrcState::Missing;
    std::vector<std::string> warnings;
};

// Reads the chunk structure and the sequences. Fails on files that are not SMAF or whose chunk sizes are impossible; a bad or
// missing CRC is only reported.
base::Result<SmafInfo> ReadSmafInfo(std::span<const uint8_t> file);

struct RenderOptions {
    int sampleRate = 48000;   // 8000 to 192000
    uint32_t maxMs = 600000;  // output is cut here (ten minutes)
};

struct RenderedSound {
    int sampleRate = 48000;
    std::vector<int16_t> samples;  // interleaved stereo L,R
    SmafInfo info;
    bool truncated = false;  // true when cut at maxMs
    std::vector<std::string> warnings;
};

// Renders the whole sequence and the release of its last notes.
base::Result<RenderedSound> RenderSmaf(std::span<const uint8_t> file, const RenderOptions& options);

}  // namespace flashsmith::sound
