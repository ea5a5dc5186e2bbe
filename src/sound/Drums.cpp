#include "sound/Drums.h"

#include <cmath>

namespace flashsmith::sound {

void DrumNote::Start(int key, int sampleRate) {
    double length;  // seconds to -60 dB
    switch (key) {
        case 35:
        case 36: kind_ = Kind::Kick; length = 0.12; f0_ = 150; f1_ = 50; break;
        case 38:
        case 40: kind_ = Kind::Snare; length = 0.12; f0_ = f1_ = 180; break;
        case 42:
        case 44: kind_ = Kind::Hat; length = 0.04; break;
        case 46: kind_ = Kind::Hat; length = 0.25; break;
        case 41: case 43: case 45: case 47: case 48: case 50:
            kind_ = Kind::Tom;
            length = 0.25;
            f1_ = 80.0 * std::exp2((key - 41) / 9.0);
            f0_ = f1_ * 1.5;
            break;
        case 49: case 51: case 52: case 53: case 55: case 57: case 59:
            kind_ = Kind::Cymbal; length = 0.8; break;
        default:
            kind_ = Kind::Other;
            length = 0.1;
            f0_ = f1_ = 440.0 * std::exp2((key - 69) / 12.0);
            break;
    }
    decay_ = length / 6.9;
    end_ = length * 1.6;  // -96 dB
    dt_ = 1.0 / sampleRate;
    t_ = 0;
    phase_ = 0;
    prevNoise_ = 0;
    rng_ = 0x9E3779B9u ^ static_cast<uint32_t>(key * 2654435761u);
}

float DrumNote::Noise() {
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return static_cast<float>(static_cast<int32_t>(rng_)) / 2147483648.0f;
}

void DrumNote::Render(float* out, int n) {
    constexpr double kTwoPi = 6.28318530717958647692;
    for (int i = 0; i < n; ++i) {
        if (t_ >= end_) {
            out[i] = 0;
            continue;
        }
        const float amp = static_cast<float>(std::exp(-t_ / decay_));
        const double f = f1_ + (f0_ - f1_) * std::exp(-t_ / 0.03);
        phase_ += f * dt_;
        phase_ -= std::floor(phase_);
        const float tone = static_cast<float>(std::sin(kTwoPi * phase_));
        float s;
        switch (kind_) {
            case Kind::Kick:
            case Kind::Tom: s = tone; break;
            case Kind::Snare: s = 0.6f * Noise() + 0.5f * tone; break;
            case Kind::Hat:
            case Kind::Cymbal: {
                // A first difference keeps the hiss high.
                const float w = Noise();
                s = 0.6f * (w - prevNoise_);
                prevNoise_ = w;
                break;
            }
            default: s = 0.4f * Noise() + 0.4f * tone; break;
        }
        out[i] = s * amp;
        t_ += dt_;
    }
}

}  // namespace flashsmith::sound
