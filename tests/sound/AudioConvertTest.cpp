#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>

#include "AudioTestUtil.h"
#include "Spectrum.h"
#include "support/CliRun.h"
#include "sound/AudioConvert.h"
#include "sound/SmafCrc.h"

using namespace flashsmith::sound;

namespace {

using soundtest::Sine;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Offset of the first chunk with this id inside [from, to), or npos.
size_t FindChunk(const std::vector<uint8_t>& b, const char* id, size_t from, size_t to) {
    for (size_t at = from; at + 8 <= to; at += 8 + U32(b, at + 4))
        if (std::equal(id, id + 4, b.begin() + static_cast<ptrdiff_t>(at))) return at;
    return std::string::npos;
}

// The audio track's parts, checked for a consistent layout on the way.
struct Layout {
    size_t track = 0, sequence = 0, wave = 0;
    uint32_t waveSize = 0;
};

Layout CheckLayout(const std::vector<uint8_t>& b) {
    Layout l;
    EXPECT_GE(b.size(), 40u);
    if (b.size() < 40) return l;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "MMMD");
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    const uint16_t stored = static_cast<uint16_t>(b[b.size() - 2] << 8 | b.back());
    EXPECT_EQ(stored, flashsmith::sound::SmafCrc(std::span(b.data(), b.size() - 2))) << "CRC";
    EXPECT_EQ(FindChunk(b, "CNTI", 8, b.size() - 2), 8u);
    l.track = FindChunk(b, std::string("ATR\0", 4).c_str(), 8, b.size() - 2);
    EXPECT_NE(l.track, std::string::npos);
    if (l.track == std::string::npos) return l;
    const size_t trackEnd = l.track + 8 + U32(b, l.track + 4);
    EXPECT_EQ(trackEnd, b.size() - 2) << "the track ends right before the CRC";
    l.sequence = FindChunk(b, "Atsq", l.track + 14, trackEnd);
    l.wave = FindChunk(b, "Awa\x01", l.track + 14, trackEnd);
    EXPECT_NE(l.sequence, std::string::npos);
    EXPECT_NE(l.wave, std::string::npos);
    if (l.wave != std::string::npos) l.waveSize = U32(b, l.wave + 4);
    return l;
}

// A sequence number at b[at] (one or two bytes).
uint32_t SequenceNumber(const std::vector<uint8_t>& b, size_t at) {
    return b[at] < 0x80 ? b[at] : ((b[at] & 0x7Fu) + 1) * 128 + b[at + 1];
}

std::string WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

double Rms(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x) sum += v * v;
    return x.empty() ? 0 : std::sqrt(sum / x.size());
}

TEST(AudioConvert, StereoWavBecomesAMonoAdpcmTrackThatFfmpegPlaysBack) {
    flashsmith::test::ScratchDir dir("convert");
    const std::string wav = dir / "tone.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(wav, Sine(1000, 44100, 1.0, 2), 44100, 2));
    for (int rate : {8000, 11025, 22050}) {
        SCOPED_TRACE(rate);
        auto smaf = ConvertToSmaf(wav, ConvertOptions{rate});
        ASSERT_TRUE(smaf) << smaf.Error();
        const Layout l = CheckLayout(*smaf);
        ASSERT_NE(l.wave, std::string::npos);
        // Mono, Yamaha ADPCM, the rate's code; 4 ms time base for a short sound.
        const int code = rate == 8000 ? 1 : rate == 11025 ? 2 : 3;
        EXPECT_EQ((*smaf)[l.track + 8 + 2], 0x10 | code);
        EXPECT_EQ((*smaf)[l.track + 8 + 4], 0x02);
        // One second: two samples a byte, no frame padding left over.
        EXPECT_NEAR(l.waveSize, rate / 2.0, 4);
        // The sequence plays wave 1 and spans it: gate and wait 250 ticks of 4 ms.
        EXPECT_EQ((*smaf)[l.sequence + 8], 0x00);
        EXPECT_EQ((*smaf)[l.sequence + 9], 0x01);
        EXPECT_EQ(SequenceNumber(*smaf, l.sequence + 10), 250u);

        const std::string out = WriteBytes(dir / ("tone" + std::to_string(rate) + ".mmf"), *smaf);
        int decodedRate = 0;
        const std::vector<double> back = soundtest::DecodeWithFfmpeg(out, &decodedRate);
        EXPECT_EQ(decodedRate, rate);
        EXPECT_NEAR(static_cast<double>(back.size()), rate, 4);
        EXPECT_NEAR(flashsmith::test::Spectrum(back, rate).PeakHz(100, 3900), 1000, 2);
        // Both channels mixed to one at the same level: amplitude 0.5 of full scale.
        EXPECT_NEAR(Rms(back), 16383 / std::sqrt(2.0), 16383 * 0.15);
    }
}

TEST(AudioConvert, CompressedFormatsMadeByFfmpegConvert) {
    flashsmith::test::ScratchDir dir("formats");
    const std::string wav = dir / "src.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(wav, Sine(1000, 22050, 0.5), 22050, 1));
    for (const char* ext : {"mp3", "ogg", "flac"}) {
        SCOPED_TRACE(ext);
        const std::string in = dir / (std::string("src.") + ext);
        const std::string cmd = "ffmpeg -nostdin -loglevel error -y -i " + flashsmith::test::ShellQuote(wav) + " " +
                                flashsmith::test::ShellQuote(in);
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "ffmpeg (Debian package ffmpeg) is needed";
        auto smaf = ConvertToSmaf(in, {});
        ASSERT_TRUE(smaf) << smaf.Error();
        CheckLayout(*smaf);
        int rate = 0;
        const auto back = soundtest::DecodeWithFfmpeg(WriteBytes(dir / (std::string(ext) + ".mmf"), *smaf), &rate);
        EXPECT_NEAR(flashsmith::test::Spectrum(back, 8000).PeakHz(100, 3900), 1000, 2);
    }
}

TEST(AudioConvert, LongAndShortSoundsGetSequencesThatSpanThem) {
    flashsmith::test::ScratchDir dir("lengths");
    // 70 s outgrows 16511 ticks of 4 ms: the track switches to 10 ms ticks.
    const std::string longWav = dir / "long.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(longWav, Sine(440, 8000, 70), 8000, 1));
    auto smaf = ConvertToSmaf(longWav, {});
    ASSERT_TRUE(smaf) << smaf.Error();
    Layout l = CheckLayout(*smaf);
    EXPECT_EQ((*smaf)[l.track + 8 + 4], 0x10);
    EXPECT_EQ((*smaf)[l.track + 8 + 5], 0x10);
    EXPECT_EQ(SequenceNumber(*smaf, l.sequence + 10), 7000u);
    EXPECT_EQ(l.waveSize, 280000u);
    // The same input always gives the same bytes.
    const auto again = ConvertToSmaf(longWav, {});
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *smaf);

    // 5 ms: handsets refuse sequences of 20 ms or less.
    const std::string shortWav = dir / "short.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(shortWav, Sine(440, 8000, 0.005), 8000, 1));
    smaf = ConvertToSmaf(shortWav, {});
    ASSERT_TRUE(smaf) << smaf.Error();
    l = CheckLayout(*smaf);
    EXPECT_EQ(l.waveSize, 20u);
    EXPECT_EQ(SequenceNumber(*smaf, l.sequence + 10), 6u);
}

TEST(AudioConvert, RatesAndLengthsOutsideTheLimitsAreRefused) {
    flashsmith::test::ScratchDir dir("limits");
    const std::string wav = dir / "tone.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(wav, Sine(1000, 8000, 1), 8000, 1));
    auto refused = ConvertToSmaf(wav, ConvertOptions{44100});
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.Error().find("8000, 11025 or 22050"), std::string::npos) << refused.Error();

    // Past ten minutes nothing is converted (decoding stops there).
    const std::string tooLong = dir / "long.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(tooLong, std::vector<int16_t>(4000 * 601, 100), 4000, 1));
    refused = ConvertToSmaf(tooLong, {});
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.Error().find("longer than 10 minutes"), std::string::npos) << refused.Error();
}

TEST(AudioConvert, GarbageIsRefusedCleanly) {
    flashsmith::test::ScratchDir dir("garbage");
    std::mt19937 rng(7);
    std::vector<uint8_t> noise(20000);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> truncated = {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0};
    const std::vector<std::string> inputs = {
        WriteBytes(dir / "noise.wav", noise), WriteBytes(dir / "empty.mp3", {}),
        WriteBytes(dir / "truncated.wav", truncated), WriteBytes(dir / "text.ogg", {'h', 'e', 'l', 'l', 'o'}),
        dir / "missing.flac", dir.Str()};
    for (const std::string& in : inputs) {
        const auto smaf = ConvertToSmaf(in, {});
        EXPECT_FALSE(smaf) << in;
        EXPECT_EQ(smaf.Error().rfind(in + ": ", 0), 0u) << smaf.Error();
    }
}

}  // namespace
