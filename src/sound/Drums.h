// Synthetic drums for drum notes whose voice or sample is not in the file
// (the phones' own drum samples are not public): kicks, snares, hats, toms
// and cymbals by General MIDI key.
#pragma once

#include <cstdint>

namespace flashsmith::sound {

class DrumNote {
public:
    void Start(int gmKey, int sampleRate);
    void Render(float* out, int n);  // writes n samples, full scale 1
    bool Done() const { return t_ >= end_; }

private:
    float Noise();

    enum class Kind : uint8_t { Kick, Snare, Hat, Tom, Cymbal, Other } kind_ = Kind::Other;
    double t_ = 0, end_ = 0, dt_ = 0;
    double decay_ = 1;          // amplitude time constant, seconds
    double f0_ = 100, f1_ = 100;  // sweep from f0 to f1
    double phase_ = 0;
    float prevNoise_ = 0;
    uint32_t rng_ = 0x9E3779B9u;
};

}  // namespace flashsmith::sound
