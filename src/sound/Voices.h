// FM voice definitions: the records of a track's setup data (MA-2 and
// MA-3/MA-5 layouts) and our own default bank for files that define none.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sound/SmafFile.h"

namespace flashsmith::sound {

struct FmOperator {
    uint8_t mult = 1;   // MULT code 0..15
    uint8_t tl = 0;     // total level, 0.75 dB steps
    uint8_t ksl = 0;    // key scale level code
    uint8_t ar = 15, dr = 0, sl = 0, sr = 0, rr = 15;
    bool ksr = false;
    bool xof = false;   // ignore key-off
    bool vib = false, am = false;
    uint8_t dvb = 0, dam = 0;
    uint8_t ws = 0;     // waveform 0..31
    uint8_t fb = 0;     // feedback (operators 1 and 3)
    uint8_t dt = 0;     // detune code
};

struct FmVoice {
    uint8_t alg = 0;     // 0..7; 0 and 1 use two operators
    uint8_t lfo = 0;     // LFO rate code
    uint8_t bo = 1;      // basic octave: 0 = x2, 1 = x1, 2 = x1/2, 3 = x1/4
    uint8_t panpot = 15; // 0..30, 15 = centre
    bool panEnable = false;
    std::array<FmOperator, 4> op{};
    int Operators() const { return alg < 2 ? 2 : 4; }
};

// Where a setup voice answers: Handy Phone (bank byte, program), Mobile
// Standard (bank MSB, LSB, program) and, for drum voices, one key.
struct VoiceEntry {
    int bankMsb = 0, bankLsb = 0, program = 0;
    int drumNote = -1;  // Mobile Standard drum voices: the key they answer to
    int drumKey = -1;   // and the pitch they sound at
    bool pcm = false;   // a wavetable voice: its sample is the chip's, we fall back
    FmVoice fm;
};

// Parses the voice records of one track's setup data; other records are
// ignored. handyPhone selects the MA-1/MA-2 record layouts.
std::vector<VoiceEntry> ParseVoices(const std::vector<Bytes>& setup, bool handyPhone);

// Our default voice for a General MIDI program (by family of eight).
const FmVoice& DefaultVoice(int program);

}  // namespace flashsmith::sound
