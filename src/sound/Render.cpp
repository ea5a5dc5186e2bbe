// The sequencer: merges the tracks' events on one time line, keeps channel
// state, allocates voices and mixes them into 16-bit stereo.
#include <algorithm>
#include <cmath>
#include <map>
#include <queue>
#include <set>

#include "sound/Drums.h"
#include "sound/FmSynth.h"
#include "sound/Smaf.h"
#include "sound/Song.h"
#include "sound/WaveDecode.h"

namespace flashsmith::sound {
using namespace flashsmith::base;

namespace {

constexpr int kBlock = FmNote::kMaxBlock;
constexpr int kVoices = 32;
constexpr float kFmGain = 0.25f * 32768.f;  // about -12 dB of headroom for FM
constexpr float kDrumGain = 0.35f * 32768.f;
constexpr uint32_t kTailMs = 10000;  // longest release after the sequence

float Law(int v) {
    const float x = static_cast<float>(std::clamp(v, 0, 127)) / 127.f;
    return x * x;
}

// Left and right gains by pan position; centre (64) leaves both sides at
// full level.
struct PanTable {
    float left[128], right[128];
    PanTable() {
        constexpr double kHalfPi = 1.57079632679489661923;
        for (int p = 0; p < 128; ++p) {
            left[p] = p <= 64 ? 1.f : static_cast<float>(std::cos(kHalfPi * (p - 64) / 63.0));
            right[p] = p >= 64 ? 1.f : static_cast<float>(std::sin(kHalfPi * p / 64.0));
        }
    }
};
const PanTable kPan;

struct Channel {
    int program = 0, bankMsb = 0, bankLsb = 0, hpsBank = 0, octave = 0;
    int volume = 100, pan = 64, expression = 127, modulation = 0;
    int bend = 0x2000, bendRange = 2, velocity = 64;
    int rpnMsb = 127, rpnLsb = 127;
    bool hold = false;
};

struct DecodedWave {
    std::vector<int16_t> pcm;
    int channels = 1;
    int rate = 8000;
    bool ok = false;
};

enum class Kind : uint8_t { Free, Fm, Drum, Wave };

struct Voice {
    Kind kind = Kind::Free;
    int slot = 0, channel = 0;
    uint64_t serial = 0;
    bool released = false;
    bool held = false;      // key-off came while the hold pedal was down
    float gain = 0;         // velocity and voice kind
    int panOffset = 0;
    float lastL = -1, lastR = -1;
    FmNote fm;
    DrumNote drum;
    const DecodedWave* wave = nullptr;
    double pos = 0, step = 1;
    uint64_t endFrame = 0;
};

struct KeyOff {
    uint64_t sample;
    int voice;
    uint64_t serial;
    bool operator>(const KeyOff& o) const { return sample > o.sample; }
};

struct TimedEvent {
    uint64_t ms;
    int slot;
    const SeqEvent* event;
};

class Renderer {
public:
    Renderer(const Song& song, const RenderOptions& options, RenderedSound& out)
        : song_(song), rate_(options.sampleRate), out_(out) {
        const size_t slots = song.scoreSeqs.size() + song.audioSeqs.size();
        channels_.resize(slots);
        for (size_t s = 0; s < slots; ++s) {
            // Mobile Standard channels start at volume 100; Handy Phone and
            // audio channels at full volume.
            const bool mobile = s < song.scoreSeqs.size() && song.file.scores[s].formatType != 0;
            for (auto& c : channels_[s]) c.volume = mobile ? 100 : 127;
        }
        cap_ = uint64_t{options.maxMs} * static_cast<uint64_t>(rate_) / 1000;
    }

    void Run() {
        std::vector<TimedEvent> events;
        for (size_t s = 0; s < song_.scoreSeqs.size(); ++s)
            for (const auto& e : song_.scoreSeqs[s].events) events.push_back({e.ms, static_cast<int>(s), &e});
        const int firstAudio = static_cast<int>(song_.scoreSeqs.size());
        for (size_t s = 0; s < song_.audioSeqs.size(); ++s)
            for (const auto& e : song_.audioSeqs[s].events) events.push_back({e.ms, firstAudio + static_cast<int>(s), &e});
        std::stable_sort(events.begin(), events.end(),
                         [](const TimedEvent& a, const TimedEvent& b) { return a.ms < b.ms; });

        const uint64_t seqEnd = ToSamples(song_.info.lengthMs);
        // Room for the sequence and the longest tail, so the buffer never
        // grows by doubling.
        out_.samples.reserve(2 * static_cast<size_t>(std::min(cap_, seqEnd + ToSamples(kTailMs))));
        bool cut = false;
        for (const auto& te : events) {
            const uint64_t at = ToSamples(te.ms);
            if (at >= cap_) {
                cut = true;
                break;
            }
            AdvanceTo(at);
            Apply(te.slot, *te.event);
        }
        AdvanceTo(std::min(seqEnd, cap_));
        cut = cut || seqEnd > cap_;
        if (!cut) {
            // Notes still sounding (hold pedal, ignored key-offs) are let go.
            for (auto& v : voices_)
                if (v.kind != Kind::Free) Release(v);
            const uint64_t tailEnd = std::min(cap_, seqEnd + ToSamples(kTailMs));
            while (cursor_ < tailEnd && AnyVoice()) RenderBlock(static_cast<int>(std::min<uint64_t>(kBlock, tailEnd - cursor_)));
            cut = cursor_ >= cap_ && AnyVoice();
        }
        out_.truncated = cut;
    }

    void Warn(const std::string& w) {
        if (warned_.insert(w).second) out_.warnings.push_back(w);
    }

private:
    // Times past any cap saturate instead of wrapping around.
    uint64_t ToSamples(uint64_t ms) const {
        return ms >= (uint64_t{1} << 40) ? UINT64_MAX / 4 : ms * static_cast<uint64_t>(rate_) / 1000;
    }

    bool AnyVoice() const {
        for (const auto& v : voices_)
            if (v.kind != Kind::Free) return true;
        return false;
    }

    void AdvanceTo(uint64_t target) {
        while (cursor_ < target) {
            if (!offs_.empty() && offs_.top().sample <= target) {
                RenderTo(offs_.top().sample);
                while (!offs_.empty() && offs_.top().sample <= cursor_) {
                    const KeyOff k = offs_.top();
                    offs_.pop();
                    Voice& v = voices_[k.voice];
                    if (v.kind != Kind::Free && v.serial == k.serial) NoteOff(v);
                }
            } else {
                RenderTo(target);
            }
        }
        while (!offs_.empty() && offs_.top().sample <= cursor_) {
            const KeyOff k = offs_.top();
            offs_.pop();
            Voice& v = voices_[k.voice];
            if (v.kind != Kind::Free && v.serial == k.serial) NoteOff(v);
        }
    }

    void RenderTo(uint64_t target) {
        while (cursor_ < target) RenderBlock(static_cast<int>(std::min<uint64_t>(kBlock, target - cursor_)));
    }

    void RenderBlock(int n) {
        float left[kBlock] = {}, right[kBlock] = {}, mono[kBlock];
        for (auto& v : voices_) {
            if (v.kind == Kind::Free) continue;
            const Channel& c = channels_[v.slot][v.channel];
            const int pan = std::clamp(c.pan + v.panOffset, 0, 127);
            const float g = v.gain * Law(c.volume) * Law(c.expression) * master_;
            const float gl = kPan.left[pan] * g, gr = kPan.right[pan] * g;
            if (v.lastL < 0) {
                v.lastL = gl;
                v.lastR = gr;
            }
            const float dl = (gl - v.lastL) / static_cast<float>(n), dr = (gr - v.lastR) / static_cast<float>(n);
            if (v.kind == Kind::Wave) {
                MixWave(v, left, right, n, dl, dr);
            } else {
                if (v.kind == Kind::Fm) {
                    const double bend = (c.bend - 8192) / 8192.0 * c.bendRange;
                    v.fm.Render(mono, n, bend, c.modulation);
                } else {
                    v.drum.Render(mono, n);
                }
                float l = v.lastL, r = v.lastR;
                for (int i = 0; i < n; ++i) {
                    left[i] += mono[i] * l;
                    right[i] += mono[i] * r;
                    l += dl;
                    r += dr;
                }
                if ((v.kind == Kind::Fm && v.fm.Done()) || (v.kind == Kind::Drum && v.drum.Done())) v.kind = Kind::Free;
            }
            v.lastL = gl;
            v.lastR = gr;
        }
        for (int i = 0; i < n; ++i) {
            out_.samples.push_back(ToPcm(left[i]));
            out_.samples.push_back(ToPcm(right[i]));
        }
        cursor_ += static_cast<uint64_t>(n);
    }

    static int16_t ToPcm(float x) {
        return static_cast<int16_t>(std::clamp(std::lrint(x), -32768L, 32767L));
    }

    void MixWave(Voice& v, float* left, float* right, int n, float dl, float dr) {
        const DecodedWave& w = *v.wave;
        const size_t ch = static_cast<size_t>(w.channels);
        float l = v.lastL, r = v.lastR;
        for (int i = 0; i < n; ++i, l += dl, r += dr) {
            const uint64_t frame = static_cast<uint64_t>(v.pos);
            if (frame >= v.endFrame) {
                v.kind = Kind::Free;
                return;
            }
            const float frac = static_cast<float>(v.pos - static_cast<double>(frame));
            const size_t a = static_cast<size_t>(frame) * ch;
            const size_t b = frame + 1 < v.endFrame ? a + ch : a;
            auto at = [&](size_t k, size_t c) { return static_cast<float>(w.pcm[k + c]); };
            const float sl = frac == 0 ? at(a, 0) : at(a, 0) + (at(b, 0) - at(a, 0)) * frac;
            const float sr = ch == 1 ? sl : frac == 0 ? at(a, 1) : at(a, 1) + (at(b, 1) - at(a, 1)) * frac;
            left[i] += sl * l;
            right[i] += sr * r;
            v.pos += v.step;
        }
    }

    Voice& Allocate(int slot, int channel) {
        int best = -1;
        for (int i = 0; i < kVoices; ++i)
            if (voices_[i].kind == Kind::Free) {
                best = i;
                break;
            }
        // Steal the oldest released voice, else the oldest.
        for (int pass = 0; best < 0 && pass < 2; ++pass) {
            uint64_t oldest = UINT64_MAX;
            for (int i = 0; i < kVoices; ++i)
                if ((pass == 1 || voices_[i].released) && voices_[i].serial < oldest) {
                    oldest = voices_[i].serial;
                    best = i;
                }
        }
        Voice& v = voices_[best];
        v = Voice{};
        v.slot = slot;
        v.channel = channel;
        v.serial = ++serial_;
        return v;
    }

    void ScheduleOff(const Voice& v, uint64_t ms) {
        offs_.push({ToSamples(ms), static_cast<int>(&v - voices_.data()), v.serial});
    }

    void Release(Voice& v) {
        v.released = true;
        v.held = false;
        if (v.kind == Kind::Fm) v.fm.KeyOff();
    }

    void NoteOff(Voice& v) {
        if (channels_[v.slot][v.channel].hold) v.held = true;
        else Release(v);
    }

    const VoiceEntry* FindVoice(int slot, bool (*match)(const VoiceEntry&, int, int, int, int), int a, int b,
                                int c, int d) const {
        for (const auto& e : song_.voices[static_cast<size_t>(slot)])
            if (match(e, a, b, c, d)) return &e;
        for (const auto& list : song_.voices)
            for (const auto& e : list)
                if (match(e, a, b, c, d)) return &e;
        return nullptr;
    }

    void StartFm(int slot, int ch, const FmVoice& fm, double key, int velocity, uint64_t offMs) {
        Voice& v = Allocate(slot, ch);
        v.kind = Kind::Fm;
        v.gain = kFmGain * Law(velocity);
        v.panOffset = fm.panEnable ? 4 * (fm.panpot - 15) : 0;
        v.fm.Start(fm, key, rate_);
        ScheduleOff(v, offMs);
    }

    void StartDrum(int slot, int ch, int key, int velocity) {
        Voice& v = Allocate(slot, ch);
        v.kind = Kind::Drum;
        v.gain = kDrumGain * Law(velocity);
        v.drum.Start(key, rate_);
    }

    const DecodedWave& Decoded(const WaveData& w) {
        auto [it, fresh] = waves_.try_emplace(&w);
        if (fresh) {
            if (auto pcm = DecodeWave(w)) {
                it->second.pcm = std::move(*pcm);
                it->second.channels = w.channels;
                it->second.rate = w.rate > 0 ? w.rate : 8000;
                it->second.ok = !it->second.pcm.empty();
            } else {
                Warn(pcm.Error());
            }
        }
        return it->second;
    }

    void StartWave(int slot, int ch, const WaveData& w, double playMs) {
        const DecodedWave& d = Decoded(w);
        if (!d.ok) return;
        Voice& v = Allocate(slot, ch);
        v.kind = Kind::Wave;
        v.gain = 1.f;
        v.wave = &d;
        v.step = static_cast<double>(d.rate) / rate_;
        const uint64_t frames = d.pcm.size() / static_cast<size_t>(d.channels);
        v.endFrame = std::min<uint64_t>(frames, static_cast<uint64_t>(std::ceil(playMs * d.rate / 1000.0 - 1e-9)));
        v.released = true;  // one-shot: nothing to release
    }

    void NoteOn(int slot, const SeqEvent& e) {
        Channel& c = channels_[slot][e.channel];
        int velocity = c.velocity;
        if (e.b != static_cast<int16_t>(kCurrentVelocity)) {
            velocity = e.b;
            c.velocity = velocity;
        }
        const ScoreTrack& track = song_.file.scores[static_cast<size_t>(slot)];
        const uint64_t offMs = e.ms + e.gateMs;
        if (track.formatType == 0) {
            // A Handy Phone channel plays one note at a time.
            for (auto& v : voices_)
                if (v.kind != Kind::Free && v.slot == slot && v.channel == e.channel && !v.released) Release(v);
            const int bank = c.hpsBank, program = c.program;
            const VoiceEntry* entry = FindVoice(
                slot, [](const VoiceEntry& v, int b, int p, int, int) { return v.bankMsb == b && v.program == p; },
                bank, program, 0, 0);
            const double key = e.a + 12.0 * c.octave;
            if (entry) StartFm(slot, e.channel, entry->fm, key, velocity, offMs);
            else if (bank & 0x80) StartDrum(slot, e.channel, program, velocity);
            else StartFm(slot, e.channel, DefaultVoice(program), key, velocity, offMs);
            return;
        }
        if (c.bankMsb == 0x7D) {
            if (c.bankLsb == 0 && c.program == 0)
                if (const WaveData* w = FindWave(track.waves, e.a + 1)) {
                    StartWave(slot, e.channel, *w, 1e12);
                    return;
                }
            const VoiceEntry* entry = FindVoice(
                slot,
                [](const VoiceEntry& v, int lsb, int p, int key, int) {
                    return v.bankMsb == 0x7D && v.bankLsb == lsb && v.program == p && v.drumNote == key;
                },
                c.bankLsb, c.program, e.a, 0);
            if (entry && !entry->pcm) StartFm(slot, e.channel, entry->fm, entry->drumKey, velocity, offMs);
            else StartDrum(slot, e.channel, e.a, velocity);
            return;
        }
        const VoiceEntry* entry = FindVoice(
            slot,
            [](const VoiceEntry& v, int msb, int lsb, int p, int) {
                return v.bankMsb == msb && v.bankLsb == lsb && v.program == p;
            },
            c.bankMsb, c.bankLsb, c.program, 0);
        if (!entry)
            entry = FindVoice(
                slot,
                [](const VoiceEntry& v, int lsb, int p, int, int) {
                    return v.bankMsb != 0x7D && v.bankLsb == lsb && v.program == p;
                },
                c.bankLsb, c.program, 0, 0);
        StartFm(slot, e.channel, entry ? entry->fm : DefaultVoice(c.program), e.a, velocity, offMs);
    }

    void WaveOn(int slot, const SeqEvent& e) {
        const size_t audio = static_cast<size_t>(slot) - song_.scoreSeqs.size();
        const AudioTrack& track = song_.file.audios[audio];
        const WaveData* w = FindWave(track.waves, e.a);
        if (!w) {
            Warn("audio track: wave " + std::to_string(e.a) + " is not in the file");
            return;
        }
        // An audio channel plays one wave at a time.
        for (auto& v : voices_)
            if (v.kind == Kind::Wave && v.slot == slot && v.channel == e.channel) v.kind = Kind::Free;
        StartWave(slot, e.channel, *w, WavePlayMs(e, *w, track.tickMsG));
    }

    void Control(int slot, Channel& c, int channel, int cc, int value) {
        switch (cc) {
            case 0: c.bankMsb = value; break;
            case 32: c.bankLsb = value; break;
            case 1: c.modulation = value; break;
            case 7: c.volume = value; break;
            case 10: c.pan = value; break;
            case 11: c.expression = value; break;
            case 64:
                c.hold = value >= 64;
                if (!c.hold)
                    for (auto& v : voices_)
                        if (v.kind != Kind::Free && v.slot == slot && v.channel == channel && v.held) Release(v);
                break;
            case 101: c.rpnMsb = value; break;
            case 100: c.rpnLsb = value; break;
            case 6:
                if (c.rpnMsb == 0 && c.rpnLsb == 0) c.bendRange = std::min(value, 24);
                break;
            case 120:
                for (auto& v : voices_)
                    if (v.kind != Kind::Free && v.slot == slot && v.channel == channel) v.kind = Kind::Free;
                break;
            case 121:
                c.expression = 127;
                c.modulation = 0;
                c.bend = 0x2000;
                c.rpnMsb = c.rpnLsb = 127;
                Control(slot, c, channel, 64, 0);
                break;
            case 123:
                for (auto& v : voices_)
                    if (v.kind != Kind::Free && v.slot == slot && v.channel == channel) NoteOff(v);
                break;
            default: break;
        }
    }

    void Apply(int slot, const SeqEvent& e) {
        Channel& c = channels_[static_cast<size_t>(slot)][e.channel & 31];
        switch (e.type) {
            case EventType::Note: NoteOn(slot, e); break;
            case EventType::Wave: WaveOn(slot, e); break;
            case EventType::Control: Control(slot, c, e.channel & 31, e.a, e.b); break;
            case EventType::Program: c.program = e.a; break;
            case EventType::Bend: c.bend = e.a; break;
            case EventType::HpsBank: c.hpsBank = e.a; break;
            case EventType::OctaveShift: c.octave = e.b; break;
            case EventType::MasterVolume: master_ = Law(e.a); break;
        }
    }

    const Song& song_;
    int rate_;
    RenderedSound& out_;
    uint64_t cap_ = 0;
    uint64_t cursor_ = 0;
    uint64_t serial_ = 0;
    float master_ = 1;
    std::vector<std::array<Channel, 32>> channels_;
    std::array<Voice, kVoices> voices_{};
    std::priority_queue<KeyOff, std::vector<KeyOff>, std::greater<KeyOff>> offs_;
    std::map<const WaveData*, DecodedWave> waves_;
    std::set<std::string> warned_;
};

std::string DurationText(uint32_t ms) {
    if (ms % 60000 == 0) return std::to_string(ms / 60000) + (ms == 60000 ? " minute" : " minutes");
    return std::to_string(ms) + " ms";
}

}  // namespace

Result<RenderedSound> RenderSmaf(std::span<const uint8_t> file, const RenderOptions& options) {
    if (options.sampleRate < 8000 || options.sampleRate > 192000)
        return Status::Fail("sample rate " + std::to_string(options.sampleRate) + " Hz is outside 8000 to 192000 Hz");
    auto song = LoadSong(file);
    if (!song) return song.ToStatus();
    RenderedSound out;
    out.sampleRate = options.sampleRate;
    out.info = song->info;
    out.warnings = song->info.warnings;
    Renderer r(*song, options, out);
    r.Run();
    if (out.truncated) r.Warn("rendering stopped at the limit of " + DurationText(options.maxMs));
    return out;
}

}  // namespace flashsmith::sound
