#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestImage.h"
#include "firmware/Firmware.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

using flashsmith::test::ImageBytes;

TEST(FindStartAddr, SmallImagesStartAtZeroLargeOnesAreSampled) {
    auto& none = NullProgress();
    ImageBytes exact(kSampledImageSize);  // all zero, but not larger than the limit
    EXPECT_EQ(flashsmith::firmware::FindStartAddr(*exact.File(), none), 0);

    ImageBytes larger(kSampledImageSize + 1);
    larger.Put(409664 + 63, "x");  // inside the second sample only
    larger.Put(1000, "y");         // between samples: never looked at
    EXPECT_EQ(flashsmith::firmware::FindStartAddr(*larger.File(), none), 409664);

    ImageBytes empty(kSampledImageSize + 1);
    empty.Put(409664 + 64, "z");  // just after a sample
    EXPECT_EQ(flashsmith::firmware::FindStartAddr(*ImageBytes(kSampledImageSize + 1).File(), none), -1);
    EXPECT_EQ(flashsmith::firmware::FindStartAddr(*empty.File(), none), -1);  // data outside every sample
}

TEST(FindPhoneModel, FourBytesAfterTheMarker) {
    ImageBytes img(0x1000, 'x');
    img.Put(0x800, std::string("\0SGH-D500 rest", 14));
    auto& none = NullProgress();
    EXPECT_EQ(flashsmith::firmware::FindPhoneModel(*img.File(), 0, none), "D500");
    EXPECT_EQ(flashsmith::firmware::FindPhoneModel(*img.File(), 0x801, none), "");
    ImageBytes noZero(0x100, 'x');
    noZero.Put(0x10, "SGH-D500");  // without the zero byte before it
    EXPECT_EQ(flashsmith::firmware::FindPhoneModel(*noZero.File(), 0, none), "");
}

TEST(FindVersion, SkipsCandidatesTooLongWithBlankOrUnderscore) {
    ImageBytes img(0x400, '\xAA');
    img.Put(0x010, std::string("D5ABCDEFGHIJ\0", 13));  // eleven characters after the key... twelve in all
    img.Put(0x040, std::string("D5 00XXJE1\0", 11));
    img.Put(0x060, std::string("D500_XXJE\0", 10));
    img.Put(0x080, std::string("D5001234", 8));  // no zero within 24 bytes
    img.Put(0x100, std::string("D500XXJE3\0", 10));
    auto v = flashsmith::firmware::FindVersion(*img.File(), "D500", 0, NullProgress());
    EXPECT_EQ(v.Version, "D500XXJE3");
    EXPECT_EQ(v.Address, 0x100);
    EXPECT_EQ(flashsmith::firmware::FindVersion(*img.File(), "D500", 0x101, NullProgress()).Address, -1);
    // eight and ten characters are both accepted
    ImageBytes eight(0x40, '\xAA');
    eight.Put(0x8, std::string("D500abcd\0", 9));
    EXPECT_EQ(flashsmith::firmware::FindVersion(*eight.File(), "D500", 0, NullProgress()).Version, "D500abcd");
    EXPECT_EQ(flashsmith::firmware::FindVersion(*eight.File(), "D5", 0, NullProgress()).Address, -1);  // empty key
}

TEST(FindProfiles, ExactNameFirstThenSuffixedOnes) {
    auto dir = std::filesystem::temp_directory_path() / ("fs_profiles_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* n : {"V1_b.sdf", "V1_a.sdf", "V1.sdf", "V10.sdf", "V1_c.txt", "W1.sdf"})
        std::ofstream(dir / n) << "x";
    EXPECT_EQ(flashsmith::firmware::FindProfiles(dir.string(), "V1"), (std::vector<std::string>{"V1.sdf", "V1_a.sdf", "V1_b.sdf"}));
    std::filesystem::remove(dir / "V1.sdf");
    EXPECT_EQ(flashsmith::firmware::FindProfiles(dir.string(), "V1"), (std::vector<std::string>{"V1_a.sdf", "V1_b.sdf"}));
    EXPECT_TRUE(flashsmith::firmware::FindProfiles(dir.string(), "").empty());
    for (int i = 0; i < 130; ++i) std::ofstream(dir / ("Z9_" + std::to_string(i) + ".sdf")) << "x";
    EXPECT_EQ(flashsmith::firmware::FindProfiles(dir.string(), "Z9").size(), 128u);
    std::filesystem::remove_all(dir);
}

TEST(IniNumbers, PrefixesSignsAndUnreadableValues) {
    for (const char* text : {"255", "0xFF", "0Xff", "$ff", "xFF", "XfF", " +255", "  0x00FF"})
        EXPECT_EQ(ParseIniInt64(text), 255) << text;
    EXPECT_EQ(ParseIniInt64("-0x10"), -16);
    EXPECT_EQ(ParseIniInt64("-16"), -16);
    for (const char* text : {"", " ", "12g", "0xFG", "0x", "$", "1 2", "--1", "0x1 "})
        EXPECT_FALSE(ParseIniInt64(text).has_value()) << text;
    EXPECT_EQ(ParseIniInt32("$FFFFFFFF"), -1);            // hexadecimal fills all 32 bits
    EXPECT_FALSE(ParseIniInt32("4294967295").has_value());  // decimal must fit
    EXPECT_FALSE(ParseIniInt32("0x100000000").has_value());
    EXPECT_EQ(ParseIniInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseIniInt64("0x100000010"), 0x100000010LL);
}

TEST(ReadDescription, KeysSectionsAndRegions) {
    auto ini = IniFile::Parse(
        "junk line\r\n[firmware]\r\nphonemodel = \"E250ABCDEFGHIJKLMNOP\"\r\nVersion=E250XXJE1\r\n"
        "Transparent=0x00FF00FF\r\nVersionAddr=1z\r\n"
        "[TABLES]\r\nImageTable=$1000\r\nSoundTable=0x100002000\r\nSndTableLength=12\r\nLanguageCount=x3\r\n"
        "ImageTable=0x9999\r\n"
        "[Regions]\r\nRegion1=0x20000\r\nRegion1Size=4096\r\nRegion7=16\r\nRegion7Size=-5\r\n"
        "Region64=100\r\nRegion64Size=0xFFFFFFFF\r\nRegion65=1\r\n"
        "[TABLES]\r\nJavaTable=0x500\r\n");
    FirmwareState st;
    st.FirmwareDescription.VersionAddr = 77;  // detected values are overwritten
    flashsmith::firmware::ReadDescription(st, ini);
    const auto& d = st.FirmwareDescription;
    EXPECT_EQ(d.PhoneModel, "E250ABCDEFGHIJKL");  // quotes removed, 16 characters kept
    EXPECT_EQ(d.Version, "E250XXJE1");
    EXPECT_EQ(d.VersionAddr, 0);                  // unreadable: the default
    EXPECT_EQ(d.Transparent, 0x00FF00FF);
    EXPECT_EQ(d.ImageTable, 0x1000);              // the first occurrence counts
    EXPECT_EQ(d.SoundTable, 0x2000);              // 64-bit value, low 32 bits kept
    EXPECT_EQ(d.JavaTable, 0);                    // a repeated section is not read
    EXPECT_EQ(d.SndTableLength, 12);
    EXPECT_EQ(d.LanguageCount, 3);
    ASSERT_EQ(st.Firmware.Regions.size(), 64u);
    EXPECT_EQ(st.Firmware.Regions[0].Range.Start, 0x20000u);
    EXPECT_EQ(st.Firmware.Regions[0].Range.Length, 4096);
    EXPECT_EQ(st.Firmware.Regions[0].Used, 4096);
    EXPECT_EQ(st.Firmware.Regions[6].Range.Start, 16u);
    EXPECT_EQ(st.Firmware.Regions[6].Range.Length, 0);    // negative size
    EXPECT_EQ(st.Firmware.Regions[6].Used, 0);
    EXPECT_EQ(st.Firmware.Regions[63].Range.Length, 0);   // reads as -1 in 32 bits
    EXPECT_EQ(st.Firmware.Regions[63].Range.Start, 100u);
    // Lookups past either end of the table find nothing.
    const auto& fw = st.Firmware;
    for (int32_t i : {0, 63}) {
        EXPECT_EQ(fw.RegionAt(i), &fw.Regions[i]);
        EXPECT_EQ(st.Firmware.RegionAt(i), &st.Firmware.Regions[i]);
    }
    for (int32_t i : {-1, 64}) {
        EXPECT_EQ(fw.RegionAt(i), nullptr);
        EXPECT_EQ(st.Firmware.RegionAt(i), nullptr);
    }
}

TEST(ReadDescription, MissingOrBinaryFileGivesDefaults) {
    FirmwareState st;
    flashsmith::firmware::ReadDescription(st, "/nonexistent/file.sdf");
    EXPECT_EQ(st.FirmwareDescription.ImageTable, 0);
    EXPECT_EQ(st.Firmware.Regions.size(), 64u);
    std::string garbage;
    for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 131) & 0xFF);
    flashsmith::firmware::ReadDescription(st, IniFile::Parse(garbage));
    EXPECT_EQ(st.FirmwareDescription.LanguageCount, 0);
}

}  // namespace
