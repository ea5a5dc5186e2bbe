#include <gtest/gtest.h>

#include <filesystem>

#include "support/CliRun.h"
#include "sound/SmafFixtures.h"

using namespace flashsmith::test;

namespace {

void WriteBytes(const std::string& path, const ByteVec& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

uint32_t Le32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8) |
           (static_cast<uint8_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}

// Frames of a 16-bit stereo WAV written by the renderer, checked header and all.
size_t WavFrames(const std::string& wav, uint32_t rate, int* peak = nullptr) {
    EXPECT_GE(wav.size(), 44u);
    if (wav.size() < 44) return 0;
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(wav, 24), rate);
    EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
    if (peak) {
        *peak = 0;
        for (size_t i = 44; i + 1 < wav.size(); i += 2)
            *peak = std::max(*peak, std::abs(static_cast<int>(static_cast<int16_t>(
                                        static_cast<uint8_t>(wav[i]) | (static_cast<uint8_t>(wav[i + 1]) << 8)))));
    }
    return (wav.size() - 44) / 4;
}

}  // namespace

TEST(CliSound, InfoReportsEachFileAndFailsOnUnreadableOnes) {
    ScratchDir dir("sndinfo");
    WriteBytes(dir / "a.mmf", HandyPhoneA4());
    WriteBytes(dir / "c.mmf", AudioEightBytes());
    WriteBytes(dir / "junk.mmf", {'j', 'u', 'n', 'k'});

    auto r = RunCli({"sound", "info", dir / "a.mmf", "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "[{\"file\":\"" + dir / "a.mmf" +
                         "\",\"ok\":true,\"format\":\"HandyPhoneStandard\",\"tracks\":[{\"kind\":\"score\",\"number\":1,"
                         "\"channels\":1}],\"voices\":1,\"lengthMs\":1000,\"title\":\"\",\"artist\":\"\","
                         "\"copyright\":\"\",\"crc\":\"ok\",\"warnings\":[]}]\n");

    r = RunCli({"sound", "info", dir / "c.mmf", dir / "junk.mmf", "--json"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Out.find("\"format\":\"AudioOnly\""), std::string::npos);
    EXPECT_NE(r.Out.find("\"lengthMs\":32"), std::string::npos);
    EXPECT_NE(r.Out.find("{\"file\":\"" + dir / "junk.mmf" + "\",\"ok\":false,\"error\":\"not a SMAF file"),
              std::string::npos)
        << r.Out;

    r = RunCli({"sound", "info", dir / "a.mmf", dir / "missing.mmf", dir / "junk.mmf"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Out.find("format:    HandyPhoneStandard"), std::string::npos);
    EXPECT_NE(r.Out.find("length:    1.000 s"), std::string::npos);
    // each named once, whether it cannot be read or cannot be parsed
    EXPECT_NE(r.Err.find("error: " + dir / "missing.mmf" + ": No such file"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("error: " + dir / "junk.mmf" + ": not a SMAF file"), std::string::npos) << r.Err;

    EXPECT_EQ(RunCli({"sound"}).Code, 2);
    EXPECT_EQ(RunCli({"sound", "info"}).Code, 2);
    EXPECT_EQ(RunCli({"sound", "play", dir / "a.mmf"}).Code, 2);
    EXPECT_EQ(RunCli({"sound", "--help"}).Code, 0);
}

TEST(CliSound, RenderWritesAWavOfTheWholeSequence) {
    ScratchDir dir("sndrender");
    WriteBytes(dir / "a.mmf", HandyPhoneA4());
    auto r = RunCli({"sound", "render", dir / "a.mmf", dir / "a.wav"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, dir / "a.wav" + "\n");
    int peak = 0;
    const size_t frames = WavFrames(Slurp(dir / "a.wav"), 48000, &peak);
    EXPECT_GE(frames, 48000u);
    EXPECT_LT(frames, 48000u * 102 / 100);
    EXPECT_GT(peak, 4000);

    r = RunCli({"sound", "render", dir / "a.mmf", dir / "b.wav", "--rate", "22050"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_GE(WavFrames(Slurp(dir / "b.wav"), 22050), 22050u);

    EXPECT_EQ(RunCli({"sound", "render", dir / "a.mmf", dir / "c.wav", "--rate", "100"}).Code, 2);
    EXPECT_EQ(RunCli({"sound", "render", dir / "a.mmf"}).Code, 2);
    ByteVec cut = HandyPhoneA4();
    cut.resize(50);
    WriteBytes(dir / "cut.mmf", cut);
    r = RunCli({"sound", "render", dir / "cut.mmf", dir / "cut.wav"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("error: " + dir / "cut.mmf" + ": truncated"), std::string::npos) << r.Err;
    r = RunCli({"sound", "render", dir / "missing.mmf", dir / "m.wav"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.find(dir / "missing.mmf"), r.Err.rfind(dir / "missing.mmf")) << r.Err;  // named once
    EXPECT_NE(r.Err.find("error: " + dir / "missing.mmf" + ": No such file"), std::string::npos) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "cut.wav"));
}

TEST(CliSound, ExportRendersEveryDemoSound) {
    ScratchDir dir("sndexport");
    ASSERT_EQ(RunCli({"demo", dir.Str()}).Code, 0);
    const std::string image = dir / "demo.bin", firmwares = dir / "Firmwares";
    std::filesystem::create_directories(dir / "both");
    std::filesystem::create_directories(dir / "wav");
    auto r = RunCli({"export", image, "sounds", "all", dir / "both", "--firmwares", firmwares, "--wav"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    r = RunCli({"export", image, "sounds", "all", dir / "wav", "--firmwares", firmwares, "--wav-only"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    int wavs = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "wav")) {
        EXPECT_EQ(e.path().extension(), ".wav");
        int peak = 0;
        EXPECT_GT(WavFrames(Slurp(e.path().string()), 48000, &peak), 4800u) << e.path();
        EXPECT_GT(peak, 1000) << e.path();
        EXPECT_TRUE(std::filesystem::exists(dir / ("both/" + e.path().filename().string())));
        EXPECT_EQ(Slurp(e.path().string()), Slurp(dir / ("both/" + e.path().filename().string())));
        ++wavs;
    }
    EXPECT_GT(wavs, 0);
    size_t mmfs = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "both")) mmfs += e.path().extension() == ".mmf";
    EXPECT_EQ(mmfs, static_cast<size_t>(wavs));
    EXPECT_EQ(RunCli({"export", image, "images", "all", dir / "wav", "--firmwares", firmwares, "--wav"}).Code, 2);
}
