#include "sound/SmafSequence.h"

#include <algorithm>

namespace flashsmith::sound {

namespace {

class Reader {
public:
    explicit Reader(Bytes data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    size_t Pos() const { return pos_; }
    bool Byte(uint8_t& b) {
        if (pos_ >= data_.size()) return false;
        b = data_[pos_++];
        return true;
    }
    bool Peek(uint8_t& b) const {
        if (pos_ >= data_.size()) return false;
        b = data_[pos_];
        return true;
    }
    bool Skip(size_t n) {
        if (n > data_.size() - pos_) return false;
        pos_ += n;
        return true;
    }
    // One or two bytes: b0 < 0x80, or ((b0 & 0x7F) + 1) * 128 + b1.
    bool HpsNumber(uint32_t& v) {
        uint8_t b0, b1;
        if (!Byte(b0)) return false;
        if (b0 < 0x80) {
            v = b0;
            return true;
        }
        if (!Byte(b1)) return false;
        v = ((b0 & 0x7Fu) + 1) * 128 + (b1 & 0x7F);
        return true;
    }
    bool Vlq(uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!Byte(b)) return false;
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }

private:
    Bytes data_;
    size_t pos_ = 0;
};

// Gate times in milliseconds, held within 32 bits (a four-byte length at
// 50 ms ticks would not fit).
uint32_t GateMs(uint32_t gate, int tickMs) {
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{gate} * static_cast<uint64_t>(tickMs), UINT32_MAX));
}

struct Builder {
    Sequence seq;
    uint64_t now = 0;
    void Add(EventType type, int channel, int a, int b = 0, uint32_t gateMs = 0) {
        SeqEvent e;
        e.ms = now;
        e.type = type;
        e.channel = static_cast<uint8_t>(channel);
        e.a = static_cast<uint16_t>(a);
        e.b = static_cast<int16_t>(b);
        e.gateMs = gateMs;
        seq.events.push_back(e);
        seq.lengthMs = std::max(seq.lengthMs, now + gateMs);
    }
    Sequence Done() {
        seq.lengthMs = std::max(seq.lengthMs, now);
        return std::move(seq);
    }
};

const uint8_t kShortExpression[16] = {0, 0x00, 0x1F, 0x27, 0x2F, 0x37, 0x3F, 0x47,
                                      0x4F, 0x57, 0x5F, 0x67, 0x6F, 0x77, 0x7F, 0};
const uint8_t kShortModulation[16] = {0, 0x00, 0x08, 0x10, 0x18, 0x20, 0x28, 0x30,
                                      0x38, 0x40, 0x48, 0x50, 0x60, 0x70, 0x7F, 0};

void HpsLongControl(Builder& bld, int ch, int id, int v) {
    switch (id) {
        case 0: bld.Add(EventType::Program, ch, v & 0x7F); break;
        case 1: bld.Add(EventType::HpsBank, ch, v); break;
        case 2: {
            int shift = 0;
            if (v >= 1 && v <= 4) shift = v;
            else if (v >= 0x81 && v <= 0x84) shift = -(v - 0x80);
            bld.Add(EventType::OctaveShift, ch, static_cast<uint16_t>(shift), shift);
            break;
        }
        case 3: bld.Add(EventType::Control, ch, 1, v & 0x7F); break;
        case 4: bld.Add(EventType::Bend, ch, (v & 0x7F) << 7); break;
        case 7: bld.Add(EventType::Control, ch, 7, v & 0x7F); break;
        case 10: bld.Add(EventType::Control, ch, 10, v & 0x7F); break;
        case 11: bld.Add(EventType::Control, ch, 11, v & 0x7F); break;
        default: break;  // reserved
    }
}

void Truncated(std::vector<std::string>& warnings, const char* what, size_t pos) {
    warnings.push_back(std::string(what) + " sequence cut inside an event at byte " + std::to_string(pos) +
                       "; the rest is not played");
}

}  // namespace

Sequence DecodeHandyPhone(Bytes data, int tickMsD, int tickMsG, bool audio, std::vector<std::string>& warnings) {
    Reader r(data);
    Builder bld;
    const char* what = audio ? "audio" : "Handy Phone";
    while (!r.AtEnd()) {
        const size_t start = r.Pos();
        uint32_t dur;
        uint8_t e1;
        if (!r.HpsNumber(dur) || !r.Byte(e1)) {
            Truncated(warnings, what, start);
            break;
        }
        bld.now += uint64_t{dur} * static_cast<uint64_t>(tickMsD);
        if (e1 == 0x00) {
            uint8_t e2, vv;
            if (!r.Byte(e2)) {
                Truncated(warnings, what, start);
                break;
            }
            if (e2 == 0x00 && r.Peek(vv) && vv == 0x00) {
                r.Skip(1);
                return bld.Done();  // end of sequence
            }
            const int ch = e2 >> 6;
            if ((e2 & 0x30) == 0x30) {
                if (!r.Byte(vv)) {
                    Truncated(warnings, what, start);
                    break;
                }
                HpsLongControl(bld, ch, e2 & 15, vv);
            } else {
                const int cls = (e2 >> 4) & 3, v = e2 & 15;
                if (v == 0 || v == 15) continue;  // reserved
                if (cls == 0) bld.Add(EventType::Control, ch, 11, kShortExpression[v]);
                else if (cls == 1) bld.Add(EventType::Bend, ch, (v * 8) << 7);
                else bld.Add(EventType::Control, ch, 1, kShortModulation[v]);
            }
        } else if (e1 == 0xFF) {
            uint8_t e2, len;
            if (!r.Byte(e2)) {
                Truncated(warnings, what, start);
                break;
            }
            if (e2 == 0x00) continue;
            // Exclusives (F0) and the rare meta events carry a one-byte length.
            if (!r.Byte(len) || !r.Skip(len)) {
                Truncated(warnings, what, start);
                break;
            }
        } else {
            uint32_t gate;
            if (!r.HpsNumber(gate)) {
                Truncated(warnings, what, start);
                break;
            }
            if (gate == 0) continue;
            const uint32_t gateMs = GateMs(gate, tickMsG);
            if (audio) bld.Add(EventType::Wave, e1 >> 6, e1 & 0x3F, 0, gateMs);
            else bld.Add(EventType::Note, e1 >> 6, 36 + 12 * ((e1 >> 4) & 3) + (e1 & 15), 127, gateMs);
        }
    }
    return bld.Done();
}

Sequence DecodeMobile(Bytes data, int tickMsD, int tickMsG, bool ma7, std::vector<std::string>& warnings) {
    Reader r(data);
    Builder bld;
    const char* what = ma7 ? "MA-7" : "Mobile Standard";
    uint8_t running = 0;
    while (!r.AtEnd()) {
        const size_t start = r.Pos();
        uint32_t dur;
        uint8_t s;
        if (!r.Vlq(dur) || !r.Byte(s)) {
            Truncated(warnings, what, start);
            break;
        }
        bld.now += uint64_t{dur} * static_cast<uint64_t>(tickMsD);
        bool ok = true;
        if (s == 0xFF) {
            uint8_t e2, z;
            ok = r.Byte(e2);
            if (ok && e2 == 0x2F) {
                r.Byte(z);
                return bld.Done();
            }
            if (ok && e2 != 0x00) {
                uint8_t len;  // other meta events: skip by their length
                ok = r.Byte(len) && r.Skip(len);
            }
        } else if (s == 0xF0) {
            uint32_t len;
            ok = r.Vlq(len);
            const size_t at = r.Pos();
            ok = ok && r.Skip(len);
            // 43 79 06|07 7F 00 vv: a master volume.
            if (ok && len >= 6 && data[at] == 0x43 && data[at + 1] == 0x79 &&
                (data[at + 2] == 0x06 || data[at + 2] == 0x07) && data[at + 3] == 0x7F && data[at + 4] == 0x00)
                bld.Add(EventType::MasterVolume, 0, data[at + 5] & 0x7F);
        } else {
            int type, ch;
            uint8_t first = 0;
            bool haveFirst = false;
            if (ma7) {
                type = 8 + ((s >> 4) & 7);
                ch = (s & 15) | ((s & 0x80) ? 16 : 0);
                if (type == 15) {
                    warnings.push_back(std::string(what) + " sequence: unknown status at byte " +
                                       std::to_string(start) + "; the rest is not played");
                    break;
                }
            } else {
                if (!(s & 0x80)) {
                    if (!running) {
                        warnings.push_back(std::string(what) + " sequence: data byte without status at byte " +
                                           std::to_string(start) + "; the rest is not played");
                        break;
                    }
                    first = s;
                    haveFirst = true;
                    s = running;
                }
                if (s >= 0xF0) {
                    warnings.push_back(std::string(what) + " sequence: unknown status at byte " +
                                       std::to_string(start) + "; the rest is not played");
                    break;
                }
                running = s;
                type = s >> 4;
                ch = s & 15;
            }
            auto data1 = [&](uint8_t& b) {
                if (haveFirst) {
                    haveFirst = false;
                    b = first;
                    return true;
                }
                return r.Byte(b);
            };
            uint8_t k = 0, v = 0;
            uint32_t gate = 0;
            switch (type) {
                case 0x8:
                    ok = data1(k) && r.Vlq(gate);
                    if (ok && gate) bld.Add(EventType::Note, ch, k & 0x7F, kCurrentVelocity, GateMs(gate, tickMsG));
                    break;
                case 0x9:
                    ok = data1(k) && r.Byte(v) && r.Vlq(gate);
                    if (ok && gate) bld.Add(EventType::Note, ch, k & 0x7F, v & 0x7F, GateMs(gate, tickMsG));
                    break;
                case 0xA: ok = data1(k) && r.Byte(v); break;
                case 0xB:
                    ok = data1(k) && r.Byte(v);
                    if (ok) bld.Add(EventType::Control, ch, k & 0x7F, v & 0x7F);
                    break;
                case 0xC:
                    ok = data1(k);
                    if (ok) bld.Add(EventType::Program, ch, k & 0x7F);
                    break;
                case 0xD: ok = data1(k); break;
                case 0xE:
                    ok = data1(k) && r.Byte(v);
                    if (ok) bld.Add(EventType::Bend, ch, ((v & 0x7F) << 7) | (k & 0x7F));
                    break;
                default: break;
            }
        }
        if (!ok) {
            Truncated(warnings, what, start);
            break;
        }
    }
    return bld.Done();
}

Sequence DecodeScore(const ScoreTrack& track, std::vector<std::string>& warnings) {
    if (track.formatType == 0)
        return DecodeHandyPhone(track.sequence, track.tickMsD, track.tickMsG, false, warnings);
    return DecodeMobile(track.sequence, track.tickMsD, track.tickMsG, track.formatType == 3, warnings);
}

Sequence DecodeAudio(const AudioTrack& track, std::vector<std::string>& warnings) {
    return DecodeHandyPhone(track.sequence, track.tickMsD, track.tickMsG, true, warnings);
}

}  // namespace flashsmith::sound
