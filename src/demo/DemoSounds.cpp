#include "demo/DemoSounds.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace flashsmith::demo {

namespace {

using Bytes = std::string;

Bytes Be32(uint32_t v) {
    Bytes s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (24 - 8 * i));
    return s;
}

Bytes Chunk(const char* id, const Bytes& body) { return Bytes(id, 4) + Be32(static_cast<uint32_t>(body.size())) + body; }

Bytes Of(std::initializer_list<int> bytes) {
    Bytes s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

uint16_t Crc16(const Bytes& data) {
    uint16_t c = 0xFFFF;
    for (unsigned char x : data) {
        c ^= static_cast<uint16_t>(x << 8);
        for (int i = 0; i < 8; ++i) c = (c & 0x8000) ? static_cast<uint16_t>((c << 1) ^ 0x1021) : static_cast<uint16_t>(c << 1);
    }
    return static_cast<uint16_t>(~c);
}

// The file chunk around the others, its CRC last.
Bytes SmafFile(uint8_t contentsType, const std::string& title, const Bytes& tracks) {
    const Bytes body = Chunk("CNTI", Of({0x00, contentsType, 0x01, 0x00, 0x00}) + "ST:" + title + ",") + tracks;
    Bytes file = "MMMD" + Be32(static_cast<uint32_t>(body.size() + 2)) + body;
    const uint16_t crc = Crc16(file);
    return file + Of({crc >> 8, crc & 0xFF});
}

// A note (MIDI key, 0 for a rest) and the ticks until the next one; it
// sounds for nine tenths of them.
struct Note {
    int key;
    int ticks;
};

struct Part {
    Bytes voice;  // the voice record's parameters; empty: the player's default bank
    int program;
    std::vector<Note> notes;
};

// Events of all channels, ordered by time (then by channel).
using Timeline = std::multimap<uint32_t, Bytes>;

uint32_t Gate(int ticks) { return static_cast<uint32_t>(std::max(1, ticks * 9 / 10)); }

// --- Handy Phone Standard: 4 ms ticks, one voice per channel ---------------

// Durations and gate times: one byte below 128, else two.
Bytes HpsNumber(uint32_t v) {
    if (v < 128) return Of({static_cast<int>(v)});
    return Of({static_cast<int>(0x80 | ((v - 128) >> 7)), static_cast<int>((v - 128) & 0x7F)});
}

// Keys 37 to 84: two bits of octave above MIDI 36 and the note 1 to 12.
Bytes HpsNote(int channel, int key, uint32_t gate) {
    const int octave = (key - 37) / 12, n = key - 36 - 12 * octave;
    return Of({(channel << 6) | (octave << 4) | n}) + HpsNumber(gate);
}

Bytes HpsControl(int channel, int id, int value) { return Of({0x00, (channel << 6) | 0x30 | id, value}); }

// A score track numbered as the second chip generation's first track.
Bytes HpsTrack(const std::vector<Part>& parts) {
    Bytes setup;
    Timeline events;
    uint32_t end = 0;
    for (size_t c = 0; c < parts.size(); ++c) {
        const Part& p = parts[c];
        const int ch = static_cast<int>(c);
        // Voice record: Yamaha, 2nd generation, index, bank 0, program, parameters.
        const Bytes record = Of({0x43, 0x03, ch, 0x00, p.program}) + p.voice + Of({0xF7});
        setup += Of({0xFF, 0xF0, static_cast<int>(record.size())}) + record;
        events.insert({0, HpsControl(ch, 1, 0x00) + HpsControl(ch, 0, p.program) + HpsControl(ch, 7, 0x7F)});
        uint32_t t = 0;
        for (const Note& n : p.notes) {
            if (n.key) events.insert({t, HpsNote(ch, n.key, Gate(n.ticks))});
            t += static_cast<uint32_t>(n.ticks);
        }
        end = std::max(end, t);
    }
    Bytes sequence;
    uint32_t now = 0;
    for (const auto& [time, bytes] : events) {
        // Controls carry their own zero duration; a note waits for its time.
        const bool control = bytes[0] == 0x00;
        if (!control) sequence += HpsNumber(time - now);
        else if (time != now) sequence += HpsNumber(time - now) + Of({0xFF, 0x00});
        sequence += bytes;
        now = time;
    }
    // The sequence lasts until the last note has ended.
    sequence += HpsNumber(end - now) + Of({0xFF, 0x00}) + Of({0x00, 0x00, 0x00, 0x00});
    // Stream sequence, 4 ms durations and gates, channels 0 and 1 melodic.
    const Bytes header = Of({0x00, 0x00, 0x02, 0x02, parts.size() > 1 ? 0xAA : 0xA0, 0x00});
    return Chunk("MTR\x01", header + Chunk("Mtsu", setup) + Chunk("Mtsq", sequence));
}

// --- Mobile Standard: MIDI-like events, 16 channels -------------------------

Bytes VarLen(uint32_t v) {
    Bytes s(1, static_cast<char>(v & 0x7F));
    while (v >>= 7) s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    return s;
}

// Voice bodies travel 7 bits a byte: each group of up to seven bytes is led
// by one holding their top bits, the first byte's in bit 6.
Bytes Pack7(const Bytes& data) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 7) {
        int high = 0;
        Bytes group;
        for (size_t j = 0; j < 7 && i + j < data.size(); ++j) {
            const auto b = static_cast<unsigned char>(data[i + j]);
            if (b & 0x80) high |= 1 << (6 - j);
            group += static_cast<char>(b & 0x7F);
        }
        out += static_cast<char>(high) + group;
    }
    return out;
}

Bytes MobileTrack(const std::vector<Part>& parts) {
    Bytes setup;
    Timeline events;
    uint32_t end = 0;
    std::set<int> defined;
    for (size_t c = 0; c < parts.size(); ++c) {
        const Part& p = parts[c];
        const int ch = static_cast<int>(c);
        if (!p.voice.empty() && defined.insert(p.program).second) {
            // Third-generation FM voice: bank 0x7C/0, program, drum note 0, FM.
            const Bytes record = Of({0x43, 0x79, 0x06, 0x7F, 0x01, 0x7C, 0x00, p.program, 0x00, 0x00}) +
                                 Pack7(p.voice) + Of({0xF7});
            setup += Of({0xF0}) + VarLen(static_cast<uint32_t>(record.size())) + record;
        }
        events.insert({0, Of({0xB0 | ch, 0x00, 0x7C}) + Of({0x00, 0xB0 | ch, 0x20, 0x00}) +
                              Of({0x00, 0xC0 | ch, p.program})});
        uint32_t t = 0;
        for (const Note& n : p.notes) {
            if (n.key) events.insert({t, Of({0x90 | ch, n.key, 100}) + VarLen(Gate(n.ticks))});
            t += static_cast<uint32_t>(n.ticks);
        }
        end = std::max(end, t);
    }
    Bytes sequence;
    uint32_t now = 0;
    for (const auto& [time, bytes] : events) {
        sequence += VarLen(time - now) + bytes;
        now = time;
    }
    sequence += VarLen(end - now) + Of({0xFF, 0x2F, 0x00});
    // Format 2 (uncompressed), stream sequence, 4 ms, then 16 channel states.
    Bytes header = Of({0x02, 0x00, 0x02, 0x02}) + Bytes(16, '\0');
    Bytes track = header;
    if (!setup.empty()) track += Chunk("Mtsu", setup);
    return Chunk("MTR\x05", track + Chunk("Mtsq", sequence));
}

// --- the audio track ------------------------------------------------------

// Two falling-off triangle tones (C6 then G6) at 8 kHz in integers only, so
// the demo is the same on every machine.
std::vector<int16_t> Chime() {
    std::vector<int16_t> out;
    for (int freq : {1047, 1568}) {
        uint32_t phase = 0;
        int amplitude = 12000;
        for (int i = 0; i < 1600; ++i) {
            phase += static_cast<uint32_t>(freq) * 65536u / 8000u;
            const int x = static_cast<int>(phase & 0xFFFF);  // one period in 65536 steps
            const int triangle = x < 32768 ? x * 2 - 32768 : 98303 - x * 2;  // -32768..32767
            out.push_back(static_cast<int16_t>(triangle * amplitude / 32768));
            if (i % 16 == 15) amplitude = amplitude * 248 / 256;
        }
    }
    return out;
}

Bytes AudioTrack(const std::vector<int16_t>& samples) {
    const Bytes wave = EncodeYamahaAdpcm(samples);
    const uint32_t ticks = static_cast<uint32_t>((samples.size() * 1000 / 8000 + 3) / 4);
    // At once: channel 0 plays wave 1 for the whole wave, then the sequence waits as long.
    const Bytes sequence = Of({0x00, 0x01}) + HpsNumber(ticks) + HpsNumber(ticks) + Of({0xFF, 0x00, 0, 0, 0, 0});
    // Mono, Yamaha ADPCM, 8000 Hz, 4 bits; 4 ms time base.
    return Chunk("ATR\x00", Of({0x00, 0x00, 0x11, 0x00, 0x02, 0x02}) + Chunk("Atsq", sequence) +
                                Chunk("Awa\x01", wave));
}

}  // namespace

std::string EncodeYamahaAdpcm(const std::vector<int16_t>& samples) {
    static constexpr int kDiff[16] = {1, 3, 5, 7, 9, 11, 13, 15, -1, -3, -5, -7, -9, -11, -13, -15};
    static constexpr int kScale[8] = {230, 230, 230, 230, 307, 409, 512, 614};
    std::string out((samples.size() + 1) / 2, '\0');
    int predictor = 0, step = 127;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int delta = samples[i] - predictor;
        const int nibble = std::min(7, std::abs(delta) * 4 / step) + (delta < 0 ? 8 : 0);
        predictor = std::clamp(predictor + step * kDiff[nibble] / 8, -32768, 32767);
        step = std::clamp((step * kScale[nibble & 7]) >> 8, 127, 24576);
        out[i / 2] = static_cast<char>(static_cast<unsigned char>(out[i / 2]) | (nibble << (i % 2 ? 4 : 0)));
    }
    return out;
}

std::vector<std::string> DemoRingtones() {
    // Second-generation voice parameters: LFO/FB/ALG, a constant 1, then per
    // operator MULT/VIB/EGT/SUS/KSR, RR/DR, AR/SL, TL/KSL, DVB/DAM/AM/WS.
    const Bytes piano = Of({0x18, 0x01,                       // FB 3, ALG 0 (1 -> 2)
                            0x10, 0x64, 0xF4, 0x90, 0x00,     // modulator: decays, TL 36
                            0x14, 0x72, 0xF3, 0x00, 0x00});   // carrier: held, sine
    const Bytes brass = Of({0x2D, 0x01,                       // FB 5, ALG 5 ((1 -> 2) + (3 -> 4))
                            0x14, 0x73, 0xC4, 0x70, 0x00, 0x14, 0x72, 0xD2, 0x00, 0x00,
                            0x34, 0x75, 0xF6, 0x90, 0x00, 0x14, 0x72, 0xD2, 0x20, 0x00});
    const Bytes bass = Of({0x20, 0x01,                        // FB 4, ALG 0
                           0x10, 0x66, 0xF9, 0x68, 0x00, 0x14, 0x74, 0xF8, 0x00, 0x00});
    // Third-generation FM voice (unpacked): drum key, pan centre and basic
    // octave 1, ALG 0; per operator SR/XOF/SUS/KSR, RR/DR, AR/SL, TL/KSL,
    // DAM/EAM/DVB/EVB, MULTI/DT, WS/FB.
    const Bytes vibes = Of({0x00, 0x79, 0x00,                           //
                            0x30, 0x55, 0xF6, 0x78, 0x00, 0x40, 0x02,   // modulator: MULTI 4, FB 2
                            0x20, 0x63, 0xF8, 0x00, 0x01, 0x10, 0x00}); // carrier: sine, vibrato

    std::vector<std::string> tones;
    tones.push_back(SmafFile(0x00, "Ring 1",
                             HpsTrack({{piano, 0, {{72, 50}, {76, 50}, {79, 50}, {84, 100}, {79, 50}, {84, 150}}}})));
    tones.push_back(SmafFile(
        0x00, "Ring 2",
        HpsTrack({{brass, 1, {{67, 40}, {67, 40}, {69, 80}, {67, 80}, {72, 80}, {71, 160}}},
                  {bass, 2, {{43, 160}, {48, 160}, {43, 160}}}})));
    tones.push_back(SmafFile(
        0x32, "Ring 3",
        MobileTrack({{vibes, 0, {{76, 30}, {75, 30}, {76, 30}, {75, 30}, {76, 30}, {71, 30}, {74, 30}, {72, 30}, {69, 90}}},
                     {vibes, 0, {{0, 240}, {45, 90}}}})));
    tones.push_back(SmafFile(
        0x32, "Ring 4",
        MobileTrack({{{}, 0, {{60, 45}, {64, 45}, {67, 45}, {72, 45}, {67, 45}, {64, 45}, {60, 90}}},
                     {{}, 33, {{48, 180}, {43, 180}}}})));
    tones.push_back(SmafFile(0x00, "Ring 5", AudioTrack(Chime())));
    return tones;
}

}  // namespace flashsmith::demo
