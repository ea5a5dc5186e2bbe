// Sounds replaced with audio files: converted to SMAF within the room the
// sound region has, in the editor and in edit scripts.
#include <gtest/gtest.h>

#include "EditFixture.h"
#include "editing/Replace.h"
#include "sound/AudioConvert.h"
#include "sound/AudioTestUtil.h"

using namespace flashsmith::base;
using namespace flashsmith::sound;
using namespace flashsmith::editing;

using namespace edittest;

namespace {

// Registers the converter for one test; the editing layer has none by itself.
struct ConverterOn {
    ConverterOn() {
        SetSoundConverter(
            {&IsConvertibleAudio, &ConvertForReplacement});
    }
    ~ConverterOn() { SetSoundConverter({}); }
};

std::string Wav(const Demo& d, const std::string& name, double seconds) {
    const std::string path = d.dir / name;
    EXPECT_TRUE(soundtest::WriteWavFile(path, soundtest::Sine(1000, 16000, seconds), 16000, 1));
    return path;
}

TEST(AudioReplace, ConvertedWithinTheRegionsRoomOrRefusedWithItsSize) {
    Demo d;
    const std::string tone = Wav(d, "tone.WAV", 1), tooLong = Wav(d, "long.wav", 40);
    EXPECT_EQ(ReplaceSound(d.st, 1, tone).Status, EditStatus::WrongFileType) << "no converter registered";
    EXPECT_FALSE(DropAccepted(kCatSounds, tone));

    ConverterOn on;
    EXPECT_TRUE(DropAccepted(kCatSounds, tone));
    EXPECT_TRUE(DropAccepted(kCatSounds, d.dir / "a.flac"));
    EXPECT_FALSE(DropAccepted(kCatSounds, d.dir / "a.aiff"));
    EXPECT_FALSE(DropAccepted(kCatImages, tone));

    const int32_t used = d.Used(1);
    const auto& s = d.st.Firmware.Sounds;
    // 40 s at 8000 Hz takes 160 000 bytes; the region holds 128 KiB.
    const EditResult big = ReplaceSound(d.st, 2, tooLong);
    EXPECT_EQ(big.Status, EditStatus::SourceTooLarge);
    EXPECT_TRUE(big.Failed());
    EXPECT_NE(big.Detail.find("160"), std::string::npos) << big.Detail;
    EXPECT_NE(big.Detail.find(std::to_string(0x20000 - used + s[2].Size) + " bytes"), std::string::npos) << big.Detail;
    EXPECT_TRUE(s[2].TempName.empty());
    EXPECT_EQ(d.Used(1), used);
    EXPECT_FALSE(FileExists(d.Temp("tmpSound_2")));

    const EditResult r = ReplaceSound(d.st, 1, tone);
    ASSERT_EQ(r.Status, EditStatus::Ok) << r.Detail;
    std::string smaf;
    ASSERT_TRUE(ReadWholeFile(d.Temp("tmpSound_1"), smaf));
    EXPECT_EQ(smaf.substr(0, 4), "MMMD");
    EXPECT_GT(smaf.size(), 4000u);
    EXPECT_EQ(d.Used(1), used - s[1].Size + static_cast<int32_t>(smaf.size()));

    const EditResult garbage = ReplaceSound(d.st, 3, d.Write("noise.mp3", std::string(5000, '\x55')));
    EXPECT_EQ(garbage.Status, EditStatus::SourceUnreadable);
    EXPECT_NE(garbage.Detail.find("noise.mp3: "), std::string::npos) << garbage.Detail;
    EXPECT_TRUE(s[3].TempName.empty());
}

TEST(AudioReplace, AConversionThatJustFitsTheRoomIsTaken) {
    Demo d;
    ConverterOn on;
    const std::string tone = Wav(d, "tone.wav", 1);
    const auto smaf = ConvertToSmaf(tone, {});
    ASSERT_TRUE(smaf) << smaf.Error();
    const auto size = static_cast<int32_t>(smaf->size());
    // The room is the region's free bytes plus what the entry holds now.
    flashsmith::firmware::MemoryRegion& region = d.st.Firmware.Regions[kCatSounds];
    region.Range.Length = region.Used - d.st.Firmware.Sounds[1].Size + size - 1;
    const EditResult over = ReplaceSound(d.st, 1, tone);
    EXPECT_EQ(over.Status, EditStatus::SourceTooLarge);
    EXPECT_EQ(over.Detail, tone + ": converted it takes " + std::to_string(size) + " bytes, more than the " +
                               std::to_string(size - 1) + " bytes there is room for");
    region.Range.Length += 1;
    const EditResult fits = ReplaceSound(d.st, 1, tone);
    EXPECT_EQ(fits.Status, EditStatus::Ok) << fits.Detail;
    EXPECT_EQ(region.Used, region.Range.Length);
}

TEST(AudioReplace, EditScriptsConvertAudioFiles) {
    Demo d;
    Wav(d, "tone.wav", 1);
    Wav(d, "long.wav", 40);
    const std::string script = d.Write("edits.txt", "replace sounds 1 tone.wav\nreplace sounds 2 long.wav\n");
    const std::string temp = d.dir / "temp";
    auto r = flashsmith::test::RunCli({"list", d.demo.ImagePath, "--firmwares", d.dir / "Firmwares", "--edits", script,
                             "--json", "--temp", temp, "--keep-temp"});
    EXPECT_EQ(r.Code, 1) << r.Err;
    EXPECT_NE(r.Out.find("\"TempName\":\"tmpSound_1\""), std::string::npos);
    EXPECT_EQ(r.Out.find("\"TempName\":\"tmpSound_2\""), std::string::npos);
    EXPECT_NE(r.Err.find("error: line 2: replace sounds 2: the file is too large ("), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("160"), std::string::npos) << r.Err;
    std::string smaf;
    ASSERT_TRUE(ReadWholeFile(temp + "/tmpSound_1", smaf));
    EXPECT_EQ(smaf.substr(0, 4), "MMMD");
}

TEST(AudioReplace, EditScriptsChooseTheRateAndRefuseOthers) {
    Demo d;
    Wav(d, "tone.wav", 1);
    const std::string temp = d.dir / "temp";
    auto run = [&](const std::string& lines) {
        return flashsmith::test::RunCli({"list", d.demo.ImagePath, "--firmwares", d.dir / "Firmwares", "--edits",
                               d.Write("edits.txt", lines), "--json", "--temp", temp, "--keep-temp"});
    };
    // One second of 4-bit ADPCM takes half a byte per sample.
    auto r = run("replace sounds 1 tone.wav --rate 22050\nreplace sounds 3 tone.wav --rate 0x1F40\n");
    ASSERT_EQ(r.Code, 0) << r.Err;
    std::string fast, slow;
    ASSERT_TRUE(ReadWholeFile(temp + "/tmpSound_1", fast));
    ASSERT_TRUE(ReadWholeFile(temp + "/tmpSound_3", slow));
    EXPECT_GT(fast.size(), 11000u);
    EXPECT_LT(fast.size(), 12000u);
    EXPECT_GT(slow.size(), 4000u);
    EXPECT_LT(slow.size(), 5000u);

    for (const auto& [line, message] : std::vector<std::pair<std::string, std::string>>{
             {"replace sounds 1 tone.wav --rate 44100", "the rate must be 8000, 11025 or 22050, not \"44100\""},
             {"replace images 1 tone.wav --rate 8000", "--rate applies to sounds only"},
             {"replace sounds 1 tone.wav --fit", "--fit applies to pictures only"}}) {
        r = run(line + "\n");
        EXPECT_EQ(r.Code, 2) << line;
        EXPECT_NE(r.Err.find("error: line 1: " + message), std::string::npos) << line << ": " << r.Err;
    }
}

}  // namespace
