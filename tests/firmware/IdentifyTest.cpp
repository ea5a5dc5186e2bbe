#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/types.h>
#include <unistd.h>

#include "TestImage.h"
#include "base/FileUtil.h"
#include "firmware/FileFront.h"
#include "firmware/FindPattern.h"
#include "firmware/Firmware.h"
#include "support/TempDir.h"

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

struct Identified {
    int64_t Start = -1;
    std::string Model;
    FoundVersion Version;
    bool operator==(const Identified& o) const {
        return Start == o.Start && Model == o.Model && Version.Version == o.Version.Version &&
               Version.Address == o.Version.Address;
    }
};

Identified Identify(const ByteSource& file) {
    Identified r;
    r.Start = FindStartAddr(file, NullProgress());
    if (r.Start >= 0) r.Model = FindPhoneModel(file, r.Start, NullProgress());
    if (!r.Model.empty()) r.Version = FindVersion(file, r.Model, r.Start, NullProgress());
    return r;
}

std::ostream& operator<<(std::ostream& os, const Identified& r) {
    return os << r.Start << " '" << r.Model << "' '" << r.Version.Version << "' @" << r.Version.Address;
}

// Identifying from the front of a file read step by step finds what the
// whole file in memory gives, also where a marker, a model or a version lies
// across the edge of a read step or is cut by the end of the file; and a hit
// early in the file leaves the rest unread.
TEST(FileFront, IdentifiesAsTheWholeFileDoesReadingOnlyWhatItNeeds) {
    flashsmith::test::TempDir dir("filefront");
    const size_t mib = size_t(1) << 20;
    struct Case {
        const char* name;
        ImageBytes image;
        size_t mostRead;  // at most this much of the file is read
    };
    std::vector<Case> cases;
    cases.push_back({"early", ImageBytes(5 * mib, 'x'), 2 * mib});
    cases.back().image.Put(0x100, std::string("\0SGH-E250 ", 10)).Put(0x200, std::string("E250XXJE1\0", 10));
    cases.push_back({"across steps", ImageBytes(9 * mib, 'x'), 6 * mib});
    cases.back().image.Put(2 * mib - 3, std::string("\0SGH-X480", 9)).Put(4 * mib - 5, std::string("X480ABCDE1\0", 11));
    cases.push_back({"model's last byte across", ImageBytes(7 * mib, 'x'), 7 * mib});
    cases.back().image.Put(4 * mib - 8, std::string("\0SGH-C100", 9)).Put(6 * mib, std::string("C100ABCD", 8));
    cases.push_back({"at the very end", ImageBytes(3 * mib + 5, 'x'), 3 * mib + 5});
    cases.back().image.Put(3 * mib - 30, std::string("\0SGH-D500", 9)).Put(3 * mib - 5, std::string("D500ABCD\0", 9));
    cases.push_back({"version cut by the end", ImageBytes(3 * mib, 'x'), 3 * mib});
    cases.back().image.Put(100, std::string("\0SGH-D500", 9)).Put(3 * mib - 9, "D500ABCDE");
    cases.push_back({"nothing", ImageBytes(5 * mib + 1, 'x'), 5 * mib + 1});
    cases.push_back({"empty", ImageBytes(0), 0});
    // Larger than the sampled size: an empty lead, the first data in a late sample.
    cases.push_back({"sampled", ImageBytes(kSampledImageSize + 3 * mib), 18 * mib});
    cases.back().image.Put(409664 * 40 + 63, "!").Put(409664 * 40 + 100, std::string("\0SGH-E250", 9))
        .Put(409664 * 40 + 300, std::string("E250XXJE2\0", 10));
    for (const Case& c : cases) {
        const std::string path = dir / c.name;
        ASSERT_TRUE(WriteFileAtomic(path, c.image.Bytes()));
        std::unique_ptr<FileFront> front;
        ASSERT_TRUE(FileFront::Open(path).Take(front)) << c.name;
        const Identified whole = Identify(*c.image.File());
        EXPECT_EQ(Identify(*front), whole) << c.name;
        EXPECT_EQ(front->Error(), "") << c.name;
        EXPECT_LE(front->BytesRead(), c.mostRead) << c.name;
    }
    // The cases find what they were built for, so the comparison above is not
    // between two empty results.
    EXPECT_EQ(Identify(*cases[1].image.File()).Version.Version, "X480ABCDE1");
    EXPECT_EQ(Identify(*cases[2].image.File()).Version.Version, "");  // eight characters, no zero
    EXPECT_EQ(Identify(*cases[3].image.File()).Version.Address, int64_t(3 * mib - 5));
    EXPECT_EQ(Identify(*cases[7].image.File()).Start, 409664 * 40);
}

// Another program cuts the file after it was opened: the views end where the
// bytes read end, and the front says where the file ended.
TEST(FileFront, AFileCutAfterOpeningEndsTheViewsAndSaysWhere) {
    flashsmith::test::TempDir dir("filefront_cut");
    const size_t mib = size_t(1) << 20;
    const std::string path = dir / "image.bin";
    std::string bytes(6 * mib, 'a');
    bytes[mib] = 'b';
    ASSERT_TRUE(WriteFileAtomic(path, bytes));
    std::unique_ptr<FileFront> front;
    ASSERT_TRUE(FileFront::Open(path).Take(front));
    EXPECT_EQ(front->View(mib, 2), "ba");
    const size_t read = front->BytesRead();
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(3 * mib)), 0);
    EXPECT_EQ(front->View(5 * mib, 10), "");
    EXPECT_EQ(front->Error(), path + ": the file shrank to " + std::to_string(3 * mib) + " bytes while it was read");
    EXPECT_EQ(front->View(read - 1, 10).size(), 1u);  // what was read stays readable
    EXPECT_EQ(front->View(mib, 1), "b");
    EXPECT_EQ(front->Size(), int64_t(6 * mib));
    EXPECT_EQ(FindPattern(*front, static_cast<int64_t>(read), "a", NullProgress()), -1);  // searches stop where the bytes do
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
