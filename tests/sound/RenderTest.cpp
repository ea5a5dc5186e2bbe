#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "sound/Smaf.h"
#include "sound/SmafFixtures.h"
#include "sound/Spectrum.h"
#include "sound/WaveDecode.h"

using namespace flashsmith::sound;
using namespace flashsmith::test;

namespace {

RenderedSound Render(const ByteVec& file, int rate = 48000, uint32_t maxMs = 600000) {
    auto r = RenderSmaf(file, RenderOptions{rate, maxMs});
    EXPECT_TRUE(r) << r.Error();
    return r ? *r : RenderedSound{};
}

std::vector<double> Side(const RenderedSound& s, int side, double fromSec = 0, double toSec = 1e9) {
    std::vector<double> out;
    const size_t frames = s.samples.size() / 2;
    const size_t a = std::min(frames, static_cast<size_t>(fromSec * s.sampleRate));
    const size_t b = std::min(frames, static_cast<size_t>(toSec * s.sampleRate));
    for (size_t i = a; i < b; ++i) out.push_back(s.samples[2 * i + static_cast<size_t>(side)]);
    return out;
}

// First and last sample louder than 1 % of the loudest, in milliseconds.
std::pair<double, double> SoundingSpan(const RenderedSound& s) {
    int peak = 0;
    for (int16_t v : s.samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
    const int threshold = peak / 100;
    size_t first = SIZE_MAX, last = 0;
    for (size_t i = 0; i < s.samples.size(); ++i)
        if (std::abs(static_cast<int>(s.samples[i])) > threshold) {
            first = std::min(first, i / 2);
            last = i / 2;
        }
    return {first * 1000.0 / s.sampleRate, last * 1000.0 / s.sampleRate};
}

int Peak(const std::vector<double>& x) {
    double m = 0;
    for (double v : x) m = std::max(m, std::abs(v));
    return static_cast<int>(m);
}

ByteVec HpsScore(const ByteVec& seq, const ByteVec& setup = {}) {
    ByteVec body = {0x00, 0x00, 0x02, 0x02, 0xA0, 0x00};
    if (!setup.empty()) Append(body, Chunk("Mtsu", setup));
    Append(body, Chunk("Mtsq", seq));
    return MakeSmaf({Contents(), ChunkN("MTR", 1, body)});
}

ByteVec MobileScore(uint8_t format, const ByteVec& setupOrEmpty, const ByteVec& seq, const ByteVec& extra = {}) {
    ByteVec body = {format, 0x00, 0x02, 0x02};
    body.resize(body.size() + 16, 0);
    if (!setupOrEmpty.empty()) Append(body, Chunk("Mtsu", setupOrEmpty));
    Append(body, Chunk("Mtsq", seq));
    Append(body, extra);
    return MakeSmaf({Contents(0x32), ChunkN("MTR", 5, body)});
}

// A Huffman stream whose tree is the complete one of depth 8, so that every
// byte codes as itself.
ByteVec IdentityHuffman(const ByteVec& data) {
    std::vector<int> bits;
    std::function<void(int, int)> tree = [&](int depth, int prefix) {
        if (depth == 8) {
            bits.push_back(0);
            for (int k = 7; k >= 0; --k) bits.push_back((prefix >> k) & 1);
            return;
        }
        bits.push_back(1);
        tree(depth + 1, prefix << 1);
        tree(depth + 1, (prefix << 1) | 1);
    };
    tree(0, 0);
    for (uint8_t b : data)
        for (int k = 7; k >= 0; --k) bits.push_back((b >> k) & 1);
    ByteVec out;
    PutBe32(out, data.size());
    for (size_t i = 0; i < bits.size(); i += 8) {
        uint8_t v = 0;
        for (size_t k = 0; k < 8; ++k) v = static_cast<uint8_t>((v << 1) | (i + k < bits.size() ? bits[i + k] : 0));
        out.push_back(v);
    }
    return out;
}

// A 4-op MA-2 voice with the given algorithm: every operator a sine at
// MULT 1; modulators silent (TL 63), carriers at full level.
ByteVec FourOpSetup(int alg) {
    static const int carriers[8] = {0b0010, 0b0011, 0b1111, 0b1000, 0b1000, 0b1010, 0b1001, 0b1101};
    ByteVec rec = {0xFF, 0xF0, 0x1C, 0x43, 0x03, 0x00, 0x00, 0x00, static_cast<uint8_t>(alg), 0x01};
    for (int i = 0; i < 4; ++i) {
        const bool carrier = (carriers[alg] >> i) & 1;
        Append(rec, {0x14, 0xF0, 0xF0, static_cast<uint8_t>(carrier ? 0x00 : 0xFC), 0x00});
    }
    rec.push_back(0xF7);
    return rec;
}

const ByteVec kA4Seq = {0x00, 0x00, 0x31, 0x00, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x37, 0x7F,
                        0x00, 0x29, 0x80, 0x7A, 0x80, 0x7A, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00};

}  // namespace

TEST(RenderTest, HandyPhoneSineIsA4ForOneSecond) {
    RenderedSound s = Render(HandyPhoneA4());
    EXPECT_EQ(s.sampleRate, 48000);
    EXPECT_FALSE(s.truncated);
    EXPECT_EQ(s.info.lengthMs, 1000u);
    Spectrum sp(Side(s, 0, 0.1, 0.9), 48000);
    EXPECT_NEAR(sp.PeakHz(50, 5000), 440.0, 440.0 * 0.005);
    // A sine: the faint modulator (47 dB down) leaves its first sideband
    // about 25 dB below, nothing else comes near.
    EXPECT_LT(sp.Level(880), sp.Level(440) / 10);
    EXPECT_LT(sp.Level(1320), sp.Level(440) / 300);
    auto [start, end] = SoundingSpan(s);
    EXPECT_NEAR(start, 0, 5);
    EXPECT_NEAR(end, 1000, 5);
    // Silence after the release, and no long tail.
    const auto after = Side(s, 0, 1.010);
    EXPECT_EQ(Peak(after), 0);
    EXPECT_LT(s.samples.size() / 2, 48000u * 102 / 100);
    EXPECT_EQ(Side(s, 0), Side(s, 1));  // centred
}

TEST(RenderTest, MobileStandardPlaysA4AndE5AtEqualLevels) {
    RenderedSound s = Render(MobileTwoNotes());
    Spectrum sp(Side(s, 0, 0.1, 0.9), 48000);
    const double low = sp.PeakHz(300, 550), high = sp.PeakHz(550, 800);
    EXPECT_NEAR(low, 440.0, 440.0 * 0.005);
    EXPECT_NEAR(high, 659.26, 659.26 * 0.005);
    EXPECT_NEAR(20 * std::log10(sp.Level(440) / sp.Level(659.26)), 0, 1.0);
    auto [start, end] = SoundingSpan(s);
    EXPECT_NEAR(start, 0, 5);
    EXPECT_NEAR(end, 1000, 5);
    EXPECT_EQ(Peak(Side(s, 0, 1.010)), 0);
    // Stored compressed, the same sequence sounds the same.
    const ByteVec file = MobileTwoNotes();
    const ByteVec seq(file.begin() + 98, file.begin() + 98 + 39);
    const ByteVec setup(file.begin() + 57, file.begin() + 57 + 33);
    RenderedSound plain = Render(MobileScore(2, setup, seq));
    RenderedSound packed = Render(MobileScore(1, setup, IdentityHuffman(seq)));
    EXPECT_EQ(plain.samples, s.samples);
    EXPECT_EQ(packed.info.format, SmafFormat::MobileStandardCompressed);
    EXPECT_EQ(packed.samples, s.samples);
}

TEST(RenderTest, AudioTrackGivesTheAdpcmSamples) {
    const std::vector<int> expected = {238,   808,   2174,  5451,  13311, 32162, 32767, 32767,
                                       29695, 26935, 24456, 22229, 20228, 18430, 16815, 15364};
    const ByteVec adpcm = {0x77, 0x77, 0x77, 0x77, 0x88, 0x88, 0x88, 0x88};
    auto decoded = DecodeYamahaAdpcm(adpcm, 1, 8000);
    ASSERT_TRUE(decoded) << decoded.Error();
    EXPECT_EQ(std::vector<int>(decoded->begin(), decoded->end()), expected);

    RenderedSound s = Render(AudioEightBytes(), 8000);
    const auto left = Side(s, 0);
    ASSERT_EQ(left.size(), 256u);  // 32 ms at 8 kHz
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(left[i], expected[i]) << i;
    EXPECT_EQ(Peak(std::vector<double>(left.begin() + 16, left.end())), 0);
    EXPECT_EQ(Side(s, 1), left);

    // At 48 kHz the same wave lasts the same time.
    auto [start, end] = SoundingSpan(Render(AudioEightBytes()));
    EXPECT_NEAR(start, 0, 0.2);
    EXPECT_NEAR(end, 2, 0.2);
}

TEST(RenderTest, EveryAlgorithmSoundsAtThePitchOfItsCarriers) {
    for (int alg = 0; alg < 8; ++alg) {
        const ByteVec seq = {0x00, 0x00, 0x30, 0x05, 0x00, 0x29, 0x80, 0x7A, 0x00, 0x00, 0x00, 0x00};
        ByteVec setup = FourOpSetup(alg);
        if (alg < 2) {  // two-operator record
            setup = {0xFF, 0xF0, 0x12, 0x43, 0x03, 0x00, 0x00, 0x05, static_cast<uint8_t>(alg), 0x01,
                     0x14, 0xF0, 0xF0, static_cast<uint8_t>(alg == 0 ? 0xFC : 0x00), 0x00,
                     0x14, 0xF0, 0xF0, 0x00, 0x00, 0xF7};
        } else {
            setup[7] = 0x05;  // program 5
        }
        RenderedSound s = Render(HpsScore(seq, setup));
        const auto x = Side(s, 0, 0.1, 0.9);
        ASSERT_GT(Peak(x), 1000) << "algorithm " << alg;
        Spectrum sp(x, 48000);
        EXPECT_NEAR(sp.PeakHz(50, 5000), 440.0, 2.2) << "algorithm " << alg;
        EXPECT_LT(sp.Level(880), sp.Level(440) / 5) << "algorithm " << alg;
    }
}

TEST(RenderTest, ChannelControlsMovePitchAndPan) {
    // Octave shift +1 (long control 2), then A4 sounds as A5.
    ByteVec seq = {0x00, 0x00, 0x32, 0x01, 0x00, 0x29, 0x80, 0x7A, 0x00, 0x00, 0x00, 0x00};
    const ByteVec a4 = HandyPhoneA4();
    RenderedSound shifted = Render(HpsScore(seq, ByteVec(a4.begin() + 43, a4.begin() + 64)));
    EXPECT_NEAR(Spectrum(Side(shifted, 0, 0.1, 0.9), 48000).PeakHz(50, 5000), 880.0, 4.4);

    // Mobile Standard: bend up two semitones, pan hard left.
    const ByteVec two = MobileTwoNotes();
    const ByteVec setup(two.begin() + 57, two.begin() + 57 + 33);
    ByteVec ms = {0x00, 0xB0, 0x00, 0x7C, 0x00, 0xB0, 0x20, 0x00, 0x00, 0xC0, 0x00,
                  0x00, 0xE0, 0x7F, 0x7F, 0x00, 0xB0, 0x0A, 0x00,
                  0x00, 0x90, 0x45, 0x7F, 0x81, 0x7A, 0x81, 0x7A, 0xFF, 0x2F, 0x00};
    RenderedSound bent = Render(MobileScore(2, setup, ms));
    EXPECT_NEAR(Spectrum(Side(bent, 0, 0.1, 0.9), 48000).PeakHz(50, 5000), 440.0 * std::exp2(2.0 / 12), 2.5);
    EXPECT_GT(Peak(Side(bent, 0)), 1000);
    EXPECT_EQ(Peak(Side(bent, 1)), 0);
}

TEST(RenderTest, FilesWithoutVoicesUseTheDefaultBankAndDrums) {
    // No setup data: program 0 of the default bank, still A4.
    RenderedSound piano = Render(HpsScore(kA4Seq));
    const auto x = Side(piano, 0, 0.05, 0.5);
    ASSERT_GT(Peak(x), 500);
    EXPECT_NEAR(Spectrum(x, 48000).PeakHz(50, 5000), 440.0, 2.2);

    // A drum channel (bank 0x7D) without drum voices: a short kick.
    ByteVec ms = {0x00, 0xB9, 0x00, 0x7D, 0x00, 0x99, 0x24, 0x7F, 0x81, 0x7A, 0x81, 0x7A, 0xFF, 0x2F, 0x00};
    RenderedSound kick = Render(MobileScore(2, {}, ms));
    auto [start, end] = SoundingSpan(kick);
    EXPECT_NEAR(start, 0, 5);
    EXPECT_LT(end, 300);
    EXPECT_GT(Peak(Side(kick, 0)), 1000);
}

TEST(RenderTest, StreamWaveOnTheDrumKitPlaysItsSamples) {
    // Mwa1: mono ADPCM at 8 kHz; key 0 on bank 0x7D/0, program 0 plays it.
    ByteVec wave = {0x20, 0x1F, 0x40, 0x77, 0x77, 0x77, 0x77, 0x88, 0x88, 0x88, 0x88};
    ByteVec extra = Chunk("Mtsp", ChunkN("Mwa", 1, wave));
    ByteVec ms = {0x00, 0xB0, 0x00, 0x7D, 0x00, 0x90, 0x00, 0x7F, 0x01, 0x08, 0xFF, 0x2F, 0x00};
    RenderedSound s = Render(MobileScore(2, {}, ms, extra), 8000);
    const auto left = Side(s, 0);
    ASSERT_GE(left.size(), 16u);
    // Velocity and volume scale it; the shape is the wave's.
    auto decoded = DecodeYamahaAdpcm(ByteVec(wave.begin() + 3, wave.end()), 1, 8000);
    ASSERT_TRUE(decoded);
    const double scale = left[6] / (*decoded)[6];
    EXPECT_GT(scale, 0.1);
    for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(left[i], (*decoded)[i] * scale, 1.0) << i;
}

TEST(RenderTest, LongSequencesAreCutAtTheLimit) {
    RenderedSound s = Render(HandyPhoneA4(), 48000, 500);
    EXPECT_TRUE(s.truncated);
    EXPECT_EQ(s.samples.size(), 2u * 24000);
    ASSERT_FALSE(s.warnings.empty());
    EXPECT_NE(s.warnings.back().find("500 ms"), std::string::npos);

    // An hour-long note stops at ten minutes.
    ByteVec seq = {0x00, 0x29, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00};
    ByteVec body = {0x00, 0x00, 0x13, 0x13, 0xA0, 0x00};
    Append(body, Chunk("Mtsq", seq));
    RenderedSound capped = Render(MakeSmaf({Contents(), ChunkN("MTR", 1, body)}), 8000);
    EXPECT_EQ(capped.info.lengthMs, 16511u * 50);
    EXPECT_TRUE(capped.truncated);
    EXPECT_EQ(capped.samples.size(), 2u * 8000 * 600);
    EXPECT_NE(capped.warnings.back().find("10 minutes"), std::string::npos);
}

TEST(RenderTest, UnreadableInputIsAnError) {
    auto r = RenderSmaf(ByteVec{'n', 'o', 'p', 'e'}, {});
    EXPECT_FALSE(r);
    EXPECT_NE(r.Error().find("not a SMAF"), std::string::npos);
    ByteVec cut = HandyPhoneA4();
    cut.resize(60);
    r = RenderSmaf(cut, {});
    EXPECT_FALSE(r);
    EXPECT_NE(r.Error().find("truncated"), std::string::npos);
    r = RenderSmaf(HandyPhoneA4(), RenderOptions{1000, 1000});
    EXPECT_FALSE(r);
    EXPECT_NE(r.Error().find("sample rate"), std::string::npos);
}

namespace {

double Rms(const std::vector<double>& x) {
    double s = 0;
    for (double v : x) s += v * v;
    return x.empty() ? 0 : std::sqrt(s / static_cast<double>(x.size()));
}

ByteVec SineSetupMobile() {
    const ByteVec two = MobileTwoNotes();
    return ByteVec(two.begin() + 57, two.begin() + 57 + 33);
}

}  // namespace

TEST(SequencerTest, HandyPhoneChannelsAreMonophonicMobileOnesAreNot) {
    const ByteVec a4 = HandyPhoneA4();
    const ByteVec hpsVoice(a4.begin() + 43, a4.begin() + 64);
    // A4 for 1 s; at 0.5 s E5 (octave 3, note 4) for 0.4 s.
    ByteVec hps = {0x00, 0x29, 0x80, 0x7A, 0x7D, 0x34, 0x64, 0x7D, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00};
    RenderedSound mono = Render(HpsScore(hps, hpsVoice));
    Spectrum late(Side(mono, 0, 0.6, 0.9), 48000);
    EXPECT_NEAR(late.PeakHz(50, 5000), 659.26, 3.3);
    EXPECT_LT(late.Level(440), late.Level(659.26) / 1000);

    ByteVec ms = {0x00, 0xB0, 0x00, 0x7C, 0x00, 0xB0, 0x20, 0x00, 0x00, 0xC0, 0x00,
                  0x00, 0x90, 0x45, 0x7F, 0x81, 0x7A,
                  0x7D, 0x90, 0x4C, 0x7F, 0x64,
                  0x7D, 0xFF, 0x2F, 0x00};
    RenderedSound poly = Render(MobileScore(2, SineSetupMobile(), ms));
    Spectrum both(Side(poly, 0, 0.6, 0.9), 48000);
    EXPECT_NEAR(20 * std::log10(both.Level(440) / both.Level(659.26)), 0, 1.0);
}

TEST(SequencerTest, HoldPedalKeepsNotesUntilItIsReleased) {
    // A4 with a 0.2 s gate under the hold pedal, released at 0.6 s; the
    // sequence runs to 1 s.
    ByteVec ms = {0x00, 0xB0, 0x00, 0x7C, 0x00, 0xC0, 0x00, 0x00, 0xB0, 0x40, 0x7F,
                  0x00, 0x90, 0x45, 0x7F, 0x32,
                  0x81, 0x16, 0xB0, 0x40, 0x00,
                  0x64, 0xFF, 0x2F, 0x00};
    RenderedSound s = Render(MobileScore(2, SineSetupMobile(), ms));
    EXPECT_EQ(s.info.lengthMs, 1000u);
    EXPECT_GT(Rms(Side(s, 0, 0.3, 0.55)), 1000);
    EXPECT_EQ(Peak(Side(s, 0, 0.61)), 0);
    auto [start, end] = SoundingSpan(s);
    EXPECT_NEAR(end, 600, 5);
}

TEST(SequencerTest, Ma7ReachesTheUpperChannelsAndRunningStatusIsTolerated) {
    // MA-7: 0xB0 = bank 1, control change, channel 16; 0xC0 program; 0x90
    // note with velocity on channel 16.
    ByteVec ma7 = {0x00, 0xB0, 0x00, 0x7C, 0x00, 0xC0, 0x00, 0x00, 0x90, 0x45, 0x7F, 0x81, 0x7A,
                   0x81, 0x7A, 0xFF, 0x2F, 0x00};
    ByteVec body = {0x03, 0x00, 0x02, 0x02};
    body.resize(body.size() + 32, 0);
    ByteVec setup = SineSetupMobile();
    Append(body, Chunk("Mtsu", setup));
    Append(body, Chunk("Mtsq", ma7));
    RenderedSound s = Render(MakeSmaf({Contents(0x38), ChunkN("MTR", 7, body)}));
    EXPECT_EQ(s.info.format, SmafFormat::MA7);
    EXPECT_NEAR(Spectrum(Side(s, 0, 0.1, 0.9), 48000).PeakHz(50, 5000), 440.0, 2.2);

    // Mobile Standard: the second note repeats the status byte of the first.
    ByteVec ms = {0x00, 0xB0, 0x00, 0x7C, 0x00, 0xC0, 0x00,
                  0x00, 0x90, 0x45, 0x7F, 0x81, 0x7A,
                  0x00, 0x4C, 0x7F, 0x81, 0x7A,
                  0x81, 0x7A, 0xFF, 0x2F, 0x00};
    RenderedSound r = Render(MobileScore(2, SineSetupMobile(), ms));
    Spectrum sp(Side(r, 0, 0.1, 0.9), 48000);
    EXPECT_GT(sp.Level(659.26), sp.Level(440) / 2);
    EXPECT_EQ(r.info.tracks[0].channels, 1);
}

TEST(SequencerTest, HugeTimesSaturateInsteadOfWrapping) {
    // 50 ms ticks and the largest four-byte lengths: a gate of 155 days and
    // 2^32 - 1 ms of waiting between notes.
    ByteVec seq = {0x00, 0x90, 0x45, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F};
    for (int i = 0; i < 8; ++i) Append(seq, {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x4C, 0x7F, 0x01});
    Append(seq, {0x00, 0xFF, 0x2F, 0x00});
    ByteVec body = {0x02, 0x00, 0x13, 0x13};
    body.resize(body.size() + 16, 0);
    Append(body, Chunk("Mtsq", seq));
    const ByteVec file = MakeSmaf({Contents(0x32), ChunkN("MTR", 5, body)});
    RenderedSound s = Render(file, 8000, 100);
    EXPECT_EQ(s.info.lengthMs, UINT32_MAX);
    EXPECT_TRUE(s.truncated);
    EXPECT_EQ(s.samples.size(), 2u * 800);
    EXPECT_GT(Peak(Side(s, 0)), 1000);
}
