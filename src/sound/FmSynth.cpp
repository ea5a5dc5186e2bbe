#include "sound/FmSynth.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace flashsmith::sound {

namespace {

constexpr int kTableBits = 12;
constexpr int kTableSize = 1 << kTableBits;
constexpr double kPi = 3.14159265358979323846;

double Sine(double x) { return std::sin(2 * kPi * x); }
double ClippedSine(double x) { return std::clamp(std::sqrt(2.0) * Sine(x), -1.0, 1.0); }
double Triangle(double x) { return x < 0.25 ? 4 * x : x < 0.75 ? 2 - 4 * x : 4 * x - 4; }
double Saw(double x) { return x < 0.5 ? 2 * x : 2 * x - 2; }

// The six shapes derived from each base wave.
double Derived(double (*base)(double), int variant, double x) {
    const double half = std::fmod(x, 0.5);
    switch (variant) {
        case 0: return base(x);
        case 1: return x < 0.5 ? base(x) : 0;
        case 2: return base(half);
        case 3: return half < 0.25 ? base(half) : 0;
        case 4: return x < 0.5 ? base(2 * x) : 0;
        default: return x < 0.5 ? base(std::fmod(2 * x, 0.5)) : 0;
    }
}

double Wave(int ws, double x) {
    switch (ws) {
        case 6: return x < 0.5 ? 1 : -1;
        case 7: return x < 0.5 ? std::exp2(-32 * x) : -std::exp2(-32 * (1 - x));
        case 14: return x < 0.5 ? 1 : 0;
        case 22: return (x < 0.25 || (x >= 0.5 && x < 0.75)) ? 1 : 0;
        case 30: return x < 0.25 ? 1 : 0;
        case 15:
        case 23:
        case 31: return Sine(x);  // user waves we do not have
        default: break;
    }
    static double (*const bases[4])(double) = {Sine, ClippedSine, Triangle, Saw};
    return Derived(bases[ws / 8], ws % 8, x);
}

struct WaveTables {
    float w[32][kTableSize];
};

const WaveTables& Tables() {
    static const std::unique_ptr<WaveTables> tables = [] {
        auto t = std::make_unique<WaveTables>();
        for (int ws = 0; ws < 32; ++ws)
            for (int i = 0; i < kTableSize; ++i)
                t->w[ws][i] = static_cast<float>(Wave(ws, static_cast<double>(i) / kTableSize));
        return t;
    }();
    return *tables;
}

const double kMult[16] = {0.5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 12, 12, 15, 15};
const double kDetuneHz[3][8] = {{0, .05, .05, .09, .14, .18, .27, .37},
                                {.05, .09, .14, .18, .27, .41, .59, .73},
                                {.09, .14, .18, .27, .41, .59, .87, 1.0}};
const float kFeedback[8] = {0, 1.f / 32, 1.f / 16, 1.f / 8, 1.f / 4, 1.f / 2, 1, 2};
const double kKslBase[16] = {0, 9.0, 12.0, 13.875, 15.0, 16.125, 16.875, 17.625,
                             18.0, 18.75, 19.125, 19.5, 19.875, 20.25, 20.625, 21.0};
const double kKslScale[4] = {0, 1, 0.5, 2};
const float kLfoHz[4] = {1.8f, 4.0f, 5.9f, 7.0f};
const float kVibratoCents[4] = {3.4f, 6.7f, 13.5f, 26.8f};
const float kTremoloDb[4] = {1.3f, 2.8f, 5.8f, 11.8f};
const int kCarriers[8] = {0b0010, 0b0011, 0b1111, 0b1000, 0b1000, 0b1010, 0b1001, 0b1101};

// Milliseconds for 96 dB of decay at an effective rate.
double DecayMs(int rate) {
    if (rate >= 60) return 2.63;
    const int q = rate >> 2, s = rate & 3;
    return 344064.0 / ((4 + s) * std::ldexp(1.0, q));
}

// Milliseconds from silence to full level; 0 = instant.
double AttackMs(int rate) {
    static const double fast[4] = {0.38, 0.34, 0.30, 0.26};
    if (rate >= 60) return 0;
    if (rate >= 56) return fast[rate - 56];
    const int q = rate >> 2, s = rate & 3;
    return 23542.0 / ((4 + s) * std::ldexp(1.0, q));
}

inline uint32_t ModPhase(float cycles) {
    // Cycles to a phase offset; wrapping modulo one cycle is intended.
    return static_cast<uint32_t>(static_cast<int64_t>(cycles * 4294967296.0f));
}

}  // namespace

void FmNote::Start(const FmVoice& voice, double pitchKey, int sampleRate) {
    const WaveTables& tables = Tables();
    const double fs = sampleRate;
    const double fNote = 440.0 * std::exp2((pitchKey - 69.0) / 12.0);
    // The chip's block and frequency number give the key code for scaling.
    int block = 0;
    long fnum = 0;
    for (; block < 8; ++block) {
        fnum = std::lround(fNote * 524288.0 / (48000.0 * std::ldexp(1.0, block - 1)));
        if (fnum < 1024) break;
    }
    block = std::min(block, 7);
    fnum = std::clamp(fnum, 0L, 1023L);
    const int kc = std::min(15, 2 * block + static_cast<int>(fnum >> 9));
    const double kslBase = std::max(0.0, kKslBase[fnum >> 6] - 3.0 * (7 - block));

    alg_ = voice.alg & 7;
    opCount_ = voice.Operators();
    carriers_ = kCarriers[alg_];
    lfoPhase_ = 0;
    lfoStep_ = kLfoHz[voice.lfo & 3] / static_cast<float>(fs);
    released_ = false;
    done_ = false;
    lastBend_ = 0;
    bendFactor_ = 1;
    const double boFactor = std::exp2(1 - (voice.bo & 3));
    for (int i = 0; i < 4; ++i) {
        Op& o = ops_[i];
        o = Op{};
        if (i >= opCount_) continue;
        const FmOperator& p = voice.op[i];
        o.table = tables.w[p.ws & 31];
        const double mult = kMult[p.mult & 15];
        const int dt = p.dt & 7;
        const double detune = (dt & 3) ? kDetuneHz[(dt & 3) - 1][block] * ((dt & 4) ? -1 : 1) : 0.0;
        const double fOp = std::min(fNote * mult * boFactor + detune * mult, fs * 0.49);
        o.baseInc = std::max(0.0, fOp) / fs * 4294967296.0;
        const double levelDb = 0.75 * (p.tl & 63) + kslBase * kKslScale[p.ksl & 3];
        o.staticGain = static_cast<float>(std::pow(10.0, -levelDb / 20));
        const int rof = p.ksr ? kc : kc >> 2;
        auto rate = [&](int r) { return r ? std::min(63, 4 * r + rof) : 0; };
        auto dbPerSample = [&](int r) {
            return r ? static_cast<float>(96.0 / (DecayMs(rate(r)) * fs / 1000.0)) : 0.f;
        };
        o.decayRate = dbPerSample(p.dr & 15);
        o.sustainRate = dbPerSample(p.sr & 15);
        o.releaseRate = dbPerSample(p.rr & 15);
        o.slDb = (p.sl & 15) == 15 ? 96.f : 3.f * (p.sl & 15);
        if ((p.ar & 15) == 0) {
            o.eg = Eg::Off;  // never sounds
        } else if (const double ms = AttackMs(rate(p.ar & 15)); ms <= 0) {
            o.eg = Eg::Decay;
            o.level = 1;
            o.att = 0;
        } else {
            o.eg = Eg::Attack;
            o.attackStep = static_cast<float>(1.0 / (ms * fs / 1000.0));
        }
        const bool feedback = i == 0 || (i == 2 && (alg_ == 2 || alg_ == 5));
        o.fbK = feedback ? kFeedback[p.fb & 7] : 0.f;
        o.vib = p.vib;
        o.am = p.am;
        o.xof = p.xof;
        o.vibCents = kVibratoCents[p.dvb & 3];
        o.tremDb = kTremoloDb[p.dam & 3];
        o.gain = EnvelopeGain(o) * o.staticGain;
    }
}

void FmNote::KeyOff() {
    released_ = true;
    for (int i = 0; i < opCount_; ++i) {
        Op& o = ops_[i];
        if (o.xof || o.eg == Eg::Off || o.eg == Eg::Release) continue;
        if (o.eg == Eg::Attack) o.att = o.level > 1e-5f ? -20.f * std::log10(o.level) : 96.f;
        o.eg = Eg::Release;
    }
}

float FmNote::EnvelopeGain(const Op& o) const {
    switch (o.eg) {
        case Eg::Off: return 0;
        case Eg::Attack: return o.level;
        default: return std::exp2(-o.att * 0.16609640f);  // 10^(-att/20)
    }
}

void FmNote::AdvanceEnvelope(Op& o, int n) {
    switch (o.eg) {
        case Eg::Attack:
            o.level += o.attackStep * static_cast<float>(n);
            if (o.level >= 1) {
                o.level = 1;
                o.att = 0;
                o.eg = Eg::Decay;
            }
            return;
        case Eg::Decay:
            o.att += o.decayRate * static_cast<float>(n);
            if (o.att >= o.slDb) {
                o.att = o.slDb;
                o.eg = Eg::Sustain;
            }
            break;
        case Eg::Sustain: o.att += o.sustainRate * static_cast<float>(n); break;
        case Eg::Release: o.att += o.releaseRate * static_cast<float>(n); break;
        case Eg::Off: return;
    }
    if (o.att >= 96) o.eg = Eg::Off;
}

template <int Alg>
void FmNote::RenderAlg(float* out, int n, const float* g0, const float* dg) {
    // The operator state lives in locals for the loop: the output buffer is
    // float too, so the compiler could not keep struct members in registers.
    constexpr bool kFourOps = Alg >= 2;
    constexpr bool kFeedback3 = Alg == 2 || Alg == 5;
    const float* ta = ops_[0].table;
    const float* tb = ops_[1].table;
    const float* tc = ops_[2].table;
    const float* td = ops_[3].table;
    uint32_t pa = ops_[0].phase, pb = ops_[1].phase, pc = ops_[2].phase, pd = ops_[3].phase;
    const uint32_t ia = ops_[0].inc, ib = ops_[1].inc, ic = ops_[2].inc, id = ops_[3].inc;
    float ga = g0[0], gb = g0[1], gc = g0[2], gd = g0[3];
    const float da = dg[0], db = dg[1], dc = dg[2], dd = dg[3];
    const float ka = ops_[0].fbK * 0.5f, kc = ops_[2].fbK * 0.5f;
    float a1 = ops_[0].y1, a2 = ops_[0].y2, c1 = ops_[2].y1, c2 = ops_[2].y2;
    constexpr int kShift = 32 - kTableBits;
    auto mod = [](float y) { return ModPhase(4.f * y); };
    for (int i = 0; i < n; ++i) {
        const float a = ta[(pa + ModPhase(ka * (a1 + a2))) >> kShift] * ga;
        a2 = a1;
        a1 = a;
        float s;
        if constexpr (Alg == 0) {
            s = tb[(pb + mod(a)) >> kShift] * gb;
        } else if constexpr (Alg == 1) {
            s = a + tb[pb >> kShift] * gb;
        } else {
            const float b = tb[(pb + (Alg == 4 || Alg == 5 ? mod(a) : 0u)) >> kShift] * gb;
            float c;
            if constexpr (kFeedback3) {
                c = tc[(pc + ModPhase(kc * (c1 + c2))) >> kShift] * gc;
                c2 = c1;
                c1 = c;
            } else {
                c = tc[(pc + mod(b)) >> kShift] * gc;
            }
            if constexpr (Alg == 2) s = a + b + c + td[pd >> kShift] * gd;
            else if constexpr (Alg == 3) s = td[(pd + mod(a + c)) >> kShift] * gd;
            else if constexpr (Alg == 4) s = td[(pd + mod(c)) >> kShift] * gd;
            else if constexpr (Alg == 5) s = b + td[(pd + mod(c)) >> kShift] * gd;
            else if constexpr (Alg == 6) s = a + td[(pd + mod(c)) >> kShift] * gd;
            else s = a + c + td[pd >> kShift] * gd;
        }
        out[i] = s;
        pa += ia;
        pb += ib;
        ga += da;
        gb += db;
        if constexpr (kFourOps) {
            pc += ic;
            pd += id;
            gc += dc;
            gd += dd;
        }
    }
    ops_[0].phase = pa;
    ops_[1].phase = pb;
    ops_[2].phase = pc;
    ops_[3].phase = pd;
    ops_[0].y1 = a1;
    ops_[0].y2 = a2;
    ops_[2].y1 = c1;
    ops_[2].y2 = c2;
}

void FmNote::Render(float* out, int n, double bendSemitones, int modulation) {
    if (done_) {
        std::fill(out, out + n, 0.f);
        return;
    }
    const float tri = lfoPhase_ < 0.5f ? 4 * lfoPhase_ - 1 : 3 - 4 * lfoPhase_;
    lfoPhase_ += lfoStep_ * static_cast<float>(n);
    lfoPhase_ -= std::floor(lfoPhase_);
    if (bendSemitones != lastBend_) {
        lastBend_ = bendSemitones;
        bendFactor_ = std::exp2(bendSemitones / 12.0);
    }
    const double bend = bendFactor_;
    const float vibDepth = 1.f + 7.f * static_cast<float>(modulation) / 127.f;
    float g0[4] = {0, 0, 0, 0}, dg[4] = {0, 0, 0, 0};
    int sounding = 0;
    for (int i = 0; i < opCount_; ++i) {
        Op& o = ops_[i];
        double pitch = bend;
        if (o.vib) pitch *= std::exp2(o.vibCents * vibDepth * tri / 1200.0);
        o.inc = static_cast<uint32_t>(std::min(o.baseInc * pitch, 2147483647.0));
        AdvanceEnvelope(o, n);
        float g = EnvelopeGain(o) * o.staticGain;
        if (o.am) g *= std::exp2(-o.tremDb * 0.5f * (tri + 1) * 0.16609640f);
        g0[i] = o.gain;
        dg[i] = (g - o.gain) / static_cast<float>(n);
        o.gain = g;
        if (((carriers_ >> i) & 1) && (o.eg != Eg::Off || g0[i] > 0)) ++sounding;
    }
    switch (alg_) {
        case 0: RenderAlg<0>(out, n, g0, dg); break;
        case 1: RenderAlg<1>(out, n, g0, dg); break;
        case 2: RenderAlg<2>(out, n, g0, dg); break;
        case 3: RenderAlg<3>(out, n, g0, dg); break;
        case 4: RenderAlg<4>(out, n, g0, dg); break;
        case 5: RenderAlg<5>(out, n, g0, dg); break;
        case 6: RenderAlg<6>(out, n, g0, dg); break;
        default: RenderAlg<7>(out, n, g0, dg); break;
    }
    if (sounding == 0) done_ = true;
}

}  // namespace flashsmith::sound
