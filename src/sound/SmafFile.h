// The chunk structure of a SMAF file as the renderer needs it. Byte spans
// point into the caller's file buffer, which must outlive the SmafFile.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Result.h"
#include "sound/Smaf.h"

namespace flashsmith::sound {

using Bytes = std::span<const uint8_t>;

enum class WaveCoding { SignedPcm, OffsetPcm, Adpcm, Unsupported };

// One "Awa"/"Mwa" wave.
struct WaveData {
    int number = 0;
    int channels = 1;
    WaveCoding coding = WaveCoding::Adpcm;
    int bits = 4;
    int rate = 8000;
    Bytes data;
};

struct ScoreTrack {
    int number = 0;      // fourth ID byte
    int formatType = 0;  // 0 Handy Phone, 1 compressed, 2 Mobile, 3 MA-7
    int tickMsD = 4, tickMsG = 4;
    std::vector<uint8_t> channelStatus;
    std::vector<Bytes> setup;         // exclusive records, from 0x43 up to (not incl.) F7
    std::vector<uint8_t> sequence;    // decompressed when stored compressed
    std::vector<WaveData> waves;      // stream PCM
};

struct AudioTrack {
    int number = 0;
    int waveType = 0;
    int tickMsD = 4, tickMsG = 4;
    std::vector<uint8_t> sequence;
    std::vector<WaveData> waves;
};

struct SmafFile {
    SmafFormat format = SmafFormat::HandyPhoneStandard;
    CrcState crc = CrcState::Missing;
    int contentsType = 0;
    std::string title, artist, copyright;
    std::vector<ScoreTrack> scores;
    std::vector<AudioTrack> audios;
    std::vector<TrackInfo> tracks;  // every track chunk in file order
    std::vector<std::string> warnings;
};

base::Result<SmafFile> ParseSmaf(Bytes file);

// Milliseconds per tick of a time base code; 0 for a reserved code.
int TickMs(uint8_t code);

// Format type 1: an MSB-first Huffman stream behind a 32-bit decoded size.
base::Result<std::vector<uint8_t>> DecodeHuffman(Bytes body);

}  // namespace flashsmith::sound
