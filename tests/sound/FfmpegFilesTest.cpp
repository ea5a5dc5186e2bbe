#include <gtest/gtest.h>

#include <cstdlib>

#include "support/CliRun.h"
#include "sound/Smaf.h"
#include "sound/Spectrum.h"

using namespace flashsmith::sound;

using namespace flashsmith::test;

namespace {

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

std::string Ffmpeg(const std::string& args) {
    return "ffmpeg -nostdin -v error -y " + args;
}

std::vector<int16_t> AsSamples(const std::string& raw) {
    std::vector<int16_t> out(raw.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) | (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
    return out;
}

RenderedSound RenderFile(const std::string& path, int rate) {
    const std::string bytes = Slurp(path);
    auto r = RenderSmaf({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, {rate});
    EXPECT_TRUE(r) << r.Error();
    return r ? *r : RenderedSound{};
}

}  // namespace

// FFmpeg writes audio-only files without a CRC and decodes their first wave;
// we must give the same samples, through our own container reading.
TEST(FfmpegFiles, MonoAndStereoAdpcmMatchFfmpegsDecoder) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    ScratchDir dir("sndff");
    const std::string mono = dir / "mono.mmf", stereo = dir / "stereo.mmf";
    ASSERT_EQ(std::system(Ffmpeg("-f lavfi -i sine=f=1000:r=8000:d=1 -c:a adpcm_yamaha " + ShellQuote(mono)).c_str()), 0);
    ASSERT_EQ(std::system(Ffmpeg("-f lavfi -i sine=f=1000:r=22050:d=0.5 -f lavfi -i sine=f=500:r=22050:d=0.5 "
                                 "-filter_complex amerge -ac 2 -c:a adpcm_yamaha -strict experimental " +
                                 ShellQuote(stereo))
                              .c_str()),
              0);
    for (const std::string& f : {mono, stereo}) {
        ASSERT_EQ(std::system(Ffmpeg("-i " + ShellQuote(f) + " -f s16le " + ShellQuote(f + ".raw")).c_str()), 0);
        const std::vector<int16_t> theirs = AsSamples(Slurp(f + ".raw"));
        const bool isStereo = f == stereo;
        const int rate = isStereo ? 22050 : 8000;
        RenderedSound ours = RenderFile(f, rate);
        EXPECT_EQ(ours.info.crc, CrcState::Missing);
        EXPECT_EQ(ours.info.format, SmafFormat::AudioOnly);
        const size_t frames = theirs.size() / (isStereo ? 2 : 1);
        ASSERT_GE(ours.samples.size() / 2, frames) << f;
        for (size_t i = 0; i < frames; ++i) {
            ASSERT_EQ(ours.samples[2 * i], theirs[isStereo ? 2 * i : i]) << f << " frame " << i;
            ASSERT_EQ(ours.samples[2 * i + 1], theirs[isStereo ? 2 * i + 1 : i]) << f << " frame " << i;
        }
        // Nothing after the wave.
        for (size_t i = 2 * frames; i < ours.samples.size(); ++i) ASSERT_EQ(ours.samples[i], 0) << f;
    }
    // The mono file rendered at 48 kHz is still a 1 kHz tone.
    RenderedSound up = RenderFile(mono, 48000);
    std::vector<double> left;
    for (size_t i = 4800; i < 43200; ++i) left.push_back(up.samples[2 * i]);
    EXPECT_NEAR(Spectrum(left, 48000).PeakHz(100, 4000), 1000.0, 5.0);
}
