// flashsmith-cli sound convert.
#include <gtest/gtest.h>

#include "AudioTestUtil.h"
#include "Spectrum.h"
#include "support/CliRun.h"
#include "sound/SmafCrc.h"

namespace {

using flashsmith::test::RunCli;

TEST(CliSoundConvert, WritesSmafAtTheRateAskedAndRefusesBadInput) {
    flashsmith::test::ScratchDir dir("cliconvert");
    const std::string wav = dir / "in.wav", out = dir / "out.mmf";
    ASSERT_TRUE(soundtest::WriteWavFile(wav, soundtest::Sine(1000, 48000, 0.5, 2), 48000, 2));

    auto r = RunCli({"sound", "convert", wav, out, "--rate", "11025"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out + r.Err, "");
    const std::string bytes = flashsmith::test::Slurp(out);
    ASSERT_GT(bytes.size(), 2000u);
    const std::vector<uint8_t> b(bytes.begin(), bytes.end());
    EXPECT_EQ(static_cast<uint16_t>(b[b.size() - 2] << 8 | b.back()),
              flashsmith::sound::SmafCrc(std::span(b.data(), b.size() - 2)));
    int rate = 0;
    const auto back = soundtest::DecodeWithFfmpeg(out, &rate);
    EXPECT_EQ(rate, 11025);
    EXPECT_NEAR(flashsmith::test::Spectrum(back, rate).PeakHz(100, 5000), 1000, 2);

    r = RunCli({"sound", "convert", wav, dir / "x.mmf", "--rate", "16000"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "error: --rate must be 8000, 11025 or 22050, not '16000'\n");
    EXPECT_EQ(RunCli({"sound", "convert", wav}).Code, 2);
    r = RunCli({"sound", "convert", "--help"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_NE(r.Out.find("usage: flashsmith-cli sound convert IN OUT.mmf"), std::string::npos);

    // Garbage: an error naming the file, and no output file.
    const std::string junk = dir / "junk.mp3";
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    for (int i = 0; i < 3000; ++i) std::fputc((i * 7919) & 0xFF, f);
    std::fclose(f);
    r = RunCli({"sound", "convert", junk, dir / "junk.mmf"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("error: " + junk + ": ", 0), 0u) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "junk.mmf"));
}

// The path a user takes: a recording becomes a ringtone, and the built-in
// engine plays it back at the pitch it had.
TEST(CliSoundConvert, ASineConvertedAndRenderedKeepsItsPitch) {
    flashsmith::test::ScratchDir dir("roundtrip");
    const std::string wav = dir / "sine.wav", mmf = dir / "sine.mmf", out = dir / "back.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(wav, soundtest::Sine(1000, 44100, 1.0), 44100, 1));
    auto r = RunCli({"sound", "convert", wav, mmf});
    ASSERT_EQ(r.Code, 0) << r.Err;
    r = RunCli({"sound", "info", mmf, "--json"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\"format\":\"AudioOnly\""), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\"crc\":\"ok\""), std::string::npos) << r.Out;
    r = RunCli({"sound", "render", mmf, out, "--rate", "48000"});
    ASSERT_EQ(r.Code, 0) << r.Err;

    const std::string bytes = flashsmith::test::Slurp(out);
    ASSERT_GT(bytes.size(), 44u);
    std::vector<double> left;
    for (size_t i = 44; i + 3 < bytes.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    // One second of sound (and whatever release follows), peaking at 1 kHz.
    EXPECT_GE(left.size(), 48000u - 48);
    EXPECT_NEAR(flashsmith::test::Spectrum(left, 48000).PeakHz(100, 10000), 1000, 2);
    double loud = 0;
    for (size_t i = 0; i < 48000 && i < left.size(); ++i) loud = std::max(loud, std::abs(left[i]));
    EXPECT_GT(loud, 3000) << "the sound is audible";
}

// FFmpeg and the hundred-odd libraries it needs load only when a sound is
// converted: a start-up that loads them costs every command tens of ms.
TEST(CliSoundConvert, LoadsFfmpegOnlyWhenItConverts) {
    flashsmith::test::ScratchDir dir("cliconvert_load");
    const std::string wav = dir / "in.wav";
    ASSERT_TRUE(soundtest::WriteWavFile(wav, soundtest::Sine(440, 8000, 0.1, 1), 8000, 1));
    auto r = RunCli({"--version"}, "LD_DEBUG=libs ");
    ASSERT_EQ(r.Code, 0) << r.Err;
    ASSERT_NE(r.Err.find("libc.so"), std::string::npos) << "the loader's trace is missing";
    EXPECT_EQ(r.Err.find("libavcodec"), std::string::npos);
    r = RunCli({"sound", "convert", wav, dir / "out.mmf"}, "LD_DEBUG=libs ");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("libavcodec"), std::string::npos);
}

}  // namespace
