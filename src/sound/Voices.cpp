#include "sound/Voices.h"

namespace flashsmith::sound {

namespace {

// Bytes 1..3 of an operator in both layouts: RR/DR, AR/SL, TL/KSL.
void RatesAndLevels(const uint8_t* p, FmOperator& op) {
    op.rr = p[1] >> 4;
    op.dr = p[1] & 15;
    op.ar = p[2] >> 4;
    op.sl = p[2] & 15;
    op.tl = p[3] >> 2;
    op.ksl = p[3] & 3;
}

// MA-2 operator, 5 bytes: MULT/VIB/EGT/SUS/KSR, RR/DR, AR/SL, TL/KSL, DVB/DAM/AM/WS.
FmOperator Ma2Operator(const uint8_t* p) {
    FmOperator op;
    op.mult = p[0] >> 4;
    op.vib = p[0] & 0x08;
    const bool egt = p[0] & 0x04;
    op.ksr = p[0] & 0x01;
    RatesAndLevels(p, op);
    op.dvb = p[4] >> 6;
    op.dam = (p[4] >> 4) & 3;
    op.am = p[4] & 0x08;
    op.ws = p[4] & 7;
    // A sustained voice holds at the sustain level; a percussive one keeps
    // decaying at its release rate.
    op.sr = egt ? 0 : op.rr;
    return op;
}

// MA-3/MA-5 operator, 7 bytes.
FmOperator Ma3Operator(const uint8_t* p) {
    FmOperator op;
    op.sr = p[0] >> 4;
    op.xof = p[0] & 0x08;
    op.ksr = p[0] & 0x01;
    RatesAndLevels(p, op);
    op.dam = (p[4] >> 5) & 3;
    op.am = p[4] & 0x10;
    op.dvb = (p[4] >> 1) & 3;
    op.vib = p[4] & 0x01;
    op.mult = p[5] >> 4;
    op.dt = p[5] & 7;
    op.ws = p[6] >> 3;
    op.fb = p[6] & 7;
    return op;
}

// MA-3 bodies: each group of up to 8 bytes is a byte of high bits followed
// by up to 7 data bytes; data byte j takes bit 7 from bit (6 - j).
std::vector<uint8_t> Unpack7(Bytes packed) {
    std::vector<uint8_t> out;
    for (size_t g = 0; g < packed.size(); g += 8) {
        const uint8_t high = packed[g];
        for (size_t j = 0; j < 7 && g + 1 + j < packed.size(); ++j)
            out.push_back(static_cast<uint8_t>((packed[g + 1 + j] & 0x7F) | (((high >> (6 - j)) & 1) << 7)));
    }
    return out;
}

bool FmBody(const std::vector<uint8_t>& b, VoiceEntry& v) {
    if (b.size() < 3) return false;
    v.drumKey = b[0];
    v.fm.panpot = b[1] >> 3;
    v.fm.bo = b[1] & 3;
    v.fm.lfo = b[2] >> 6;
    v.fm.panEnable = b[2] & 0x20;
    v.fm.alg = b[2] & 7;
    const size_t ops = static_cast<size_t>(v.fm.Operators());
    if (b.size() < 3 + 7 * ops) return false;
    for (size_t i = 0; i < ops; ++i) v.fm.op[i] = Ma3Operator(b.data() + 3 + 7 * i);
    return true;
}

}  // namespace

std::vector<VoiceEntry> ParseVoices(const std::vector<Bytes>& setup, bool handyPhone) {
    std::vector<VoiceEntry> voices;
    for (Bytes r : setup) {
        if (r.size() < 2 || r[0] != 0x43) continue;
        if (handyPhone && r[1] == 0x03 && r.size() >= 7) {
            // 43 03 index bank program G0 G1 op x 2|4
            VoiceEntry v;
            v.bankMsb = r[3];
            v.program = r[4] & 0x7F;
            v.fm.alg = r[5] & 7;
            v.fm.lfo = r[5] >> 6;
            const size_t ops = static_cast<size_t>(v.fm.Operators());
            if (r.size() < 7 + 5 * ops) continue;
            for (size_t i = 0; i < ops; ++i) v.fm.op[i] = Ma2Operator(r.data() + 7 + 5 * i);
            v.fm.op[0].fb = (r[5] >> 3) & 7;
            if (v.fm.alg == 2 || v.fm.alg == 5) v.fm.op[2].fb = v.fm.op[0].fb;
            voices.push_back(v);
        } else if (handyPhone && r[1] == 0x02 && r.size() >= 18) {
            // MA-1 register images are not publicly described: a plain
            // voice keeps the program audible.
            VoiceEntry v;
            v.bankMsb = r[3];
            v.program = r[4] & 0x7F;
            v.fm = DefaultVoice(v.program);
            voices.push_back(v);
        } else if (!handyPhone && r[1] == 0x79 && r.size() >= 10 && r[3] == 0x7F && r[4] == 0x01 &&
                   r[2] >= 0x06 && r[2] <= 0x07) {
            // 43 79 dev 7F 01 bankMSB bankLSB program drumNote type body
            VoiceEntry v;
            v.bankMsb = r[5];
            v.bankLsb = r[6];
            v.program = r[7] & 0x7F;
            v.drumNote = r[8];
            const int type = r[9];
            Bytes body = r.subspan(10);
            std::vector<uint8_t> b = r[2] == 0x06 ? Unpack7(body) : std::vector<uint8_t>(body.begin(), body.end());
            if (type == 0) {
                if (!FmBody(b, v)) continue;
            } else {
                v.pcm = true;
                v.fm = DefaultVoice(v.program);
            }
            voices.push_back(v);
        }
    }
    return voices;
}

namespace {

FmOperator Op(int mult, int tl, int ar, int dr, int sl, int sr, int rr, int fb = 0) {
    FmOperator o;
    o.mult = static_cast<uint8_t>(mult);
    o.tl = static_cast<uint8_t>(tl);
    o.ar = static_cast<uint8_t>(ar);
    o.dr = static_cast<uint8_t>(dr);
    o.sl = static_cast<uint8_t>(sl);
    o.sr = static_cast<uint8_t>(sr);
    o.rr = static_cast<uint8_t>(rr);
    o.fb = static_cast<uint8_t>(fb);
    return o;
}

FmVoice Voice(int alg, FmOperator mod, FmOperator car) {
    FmVoice v;
    v.alg = static_cast<uint8_t>(alg);
    v.op[0] = mod;
    v.op[1] = car;
    return v;
}

// One two-operator patch per General MIDI family (programs p -> p / 8).
const FmVoice* DefaultBank() {
    static const FmVoice bank[16] = {
        Voice(0, Op(1, 28, 15, 5, 8, 3, 6, 3), Op(1, 0, 15, 3, 9, 2, 6)),      // piano
        Voice(0, Op(4, 30, 15, 6, 15, 6, 6), Op(1, 0, 15, 4, 12, 3, 5)),       // chromatic percussion
        Voice(1, Op(1, 8, 14, 0, 0, 0, 8, 2), Op(2, 0, 14, 0, 0, 0, 8)),       // organ
        Voice(0, Op(1, 24, 15, 6, 9, 4, 7, 4), Op(1, 0, 15, 4, 8, 3, 7)),      // guitar
        Voice(0, Op(1, 24, 15, 6, 9, 4, 7, 4), Op(0, 0, 15, 4, 8, 3, 7)),      // bass
        Voice(0, Op(1, 34, 9, 0, 2, 0, 6, 2), Op(1, 0, 8, 0, 1, 0, 6)),        // strings
        Voice(0, Op(1, 34, 9, 0, 2, 0, 6, 2), Op(1, 0, 8, 0, 1, 0, 6)),        // ensemble
        Voice(0, Op(1, 22, 11, 3, 4, 0, 7, 5), Op(1, 0, 11, 0, 1, 0, 7)),      // brass
        Voice(0, Op(1, 22, 11, 3, 4, 0, 7, 5), Op(1, 0, 11, 0, 1, 0, 7)),      // reed
        Voice(0, Op(1, 22, 11, 3, 4, 0, 7, 5), Op(1, 0, 11, 0, 1, 0, 7)),      // pipe
        Voice(0, Op(1, 26, 13, 2, 3, 0, 6, 6), Op(2, 0, 13, 0, 1, 0, 6)),      // synth lead
        Voice(0, Op(1, 26, 13, 2, 3, 0, 6, 6), Op(2, 0, 13, 0, 1, 0, 6)),      // synth pad
        Voice(0, Op(1, 26, 13, 2, 3, 0, 6, 6), Op(2, 0, 13, 0, 1, 0, 6)),      // synth effects
        Voice(0, Op(3, 30, 15, 7, 12, 5, 6, 7), Op(1, 0, 15, 5, 10, 4, 6)),    // ethnic
        Voice(0, Op(3, 30, 15, 7, 12, 5, 6, 7), Op(1, 0, 15, 5, 10, 4, 6)),    // percussive
        Voice(0, Op(3, 30, 15, 7, 12, 5, 6, 7), Op(1, 0, 15, 5, 10, 4, 6)),    // sound effects
    };
    return bank;
}

}  // namespace

const FmVoice& DefaultVoice(int program) { return DefaultBank()[(program & 0x7F) / 8]; }

}  // namespace flashsmith::sound
