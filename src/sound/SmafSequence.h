// Sequence data of score and audio tracks decoded into one event list with
// times in milliseconds, whatever the track's grammar.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/SmafFile.h"

namespace flashsmith::sound {

enum class EventType : uint8_t {
    Note,          // a = MIDI key, b = velocity (kCurrentVelocity: the channel's)
    Wave,          // audio track: a = wave number
    Control,       // a = MIDI controller number, b = value
    Program,       // a = program
    Bend,          // a = 14-bit value, 0x2000 centre
    HpsBank,       // a = bank byte (bit 7: drum bank)
    OctaveShift,   // a = signed octaves
    MasterVolume,  // a = 0..127
};

constexpr uint16_t kCurrentVelocity = 0xFFFF;

struct SeqEvent {
    uint64_t ms = 0;
    EventType type = EventType::Note;
    uint8_t channel = 0;
    uint16_t a = 0;
    int16_t b = 0;
    uint32_t gateMs = 0;
};

struct Sequence {
    std::vector<SeqEvent> events;
    uint64_t lengthMs = 0;  // sum of durations, or the last key-off if later
};

// Handy Phone grammar (also audio tracks: the note byte is channel + wave).
Sequence DecodeHandyPhone(Bytes data, int tickMsD, int tickMsG, bool audio, std::vector<std::string>& warnings);
// Mobile Standard (format 1 after decompression, 2) and MA-7 (format 3).
Sequence DecodeMobile(Bytes data, int tickMsD, int tickMsG, bool ma7, std::vector<std::string>& warnings);

Sequence DecodeScore(const ScoreTrack& track, std::vector<std::string>& warnings);
Sequence DecodeAudio(const AudioTrack& track, std::vector<std::string>& warnings);

}  // namespace flashsmith::sound
