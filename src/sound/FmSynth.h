// The FM operator engine: waveforms, envelopes, key scaling, feedback, the
// eight algorithms and the voice LFO. One FmNote is one sounding voice.
#pragma once

#include <array>
#include <cstdint>

#include "sound/Voices.h"

namespace flashsmith::sound {

class FmNote {
public:
    // pitchKey: the MIDI key whose pitch sounds (may be fractional after
    // octave shifts are applied by the caller).
    void Start(const FmVoice& voice, double pitchKey, int sampleRate);
    void KeyOff();
    // Writes n samples (n <= kMaxBlock) of the voice into out, full scale 1.
    // bendSemitones moves the pitch; modulation (0..127) deepens vibrato.
    void Render(float* out, int n, double bendSemitones, int modulation);
    bool Done() const { return done_; }
    bool Released() const { return released_; }

    static constexpr int kMaxBlock = 64;

private:
    enum class Eg : uint8_t { Attack, Decay, Sustain, Release, Off };
    struct Op {
        const float* table = nullptr;
        uint32_t phase = 0;
        double baseInc = 0;       // phase step per sample before bend and vibrato
        uint32_t inc = 0;
        Eg eg = Eg::Off;
        float level = 0;          // attack: linear amplitude 0..1
        float att = 96;           // later phases: attenuation in dB
        float attackStep = 0;     // per sample
        float decayRate = 0, sustainRate = 0, releaseRate = 0;  // dB per sample
        float slDb = 0;
        float staticGain = 1;     // total level and key scaling
        float gain = 0;           // at the start of the next block
        float fbK = 0;            // feedback, in cycles
        float y1 = 0, y2 = 0;
        bool vib = false, am = false, xof = false;
        float vibCents = 0, tremDb = 0;
    };

    void AdvanceEnvelope(Op& op, int n);
    float EnvelopeGain(const Op& op) const;
    template <int Alg>
    void RenderAlg(float* out, int n, const float* g0, const float* dg);

    std::array<Op, 4> ops_{};
    int opCount_ = 2;
    int alg_ = 0;
    float lfoPhase_ = 0, lfoStep_ = 0;
    double lastBend_ = 0, bendFactor_ = 1;
    bool released_ = false;
    bool done_ = true;
    int carriers_ = 0;  // bit mask
};

}  // namespace flashsmith::sound
