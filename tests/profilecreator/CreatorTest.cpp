// The profile creator end to end: searches, region estimate, description
// file, and opening the image with the file it wrote.
#include <gtest/gtest.h>

#include <random>

#include "ProfileImage.h"
#include "support/CliRun.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "profilecreator/ProfileCreator.h"
#include "profilecreator/TableSearch.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::profilecreator;

namespace {

using flashsmith::test::ProfileImage;
using flashsmith::test::ScratchDir;

ProfileSearchOptions All(int32_t w, int32_t h) {
    ProfileSearchOptions o;
    o.SearchImages = o.SearchSounds = o.SearchJava = o.SearchLanguages = true;
    o.DisplayWidth = w;
    o.DisplayHeight = h;
    return o;
}

struct Opened {
    FirmwareState st;
    OpenResult open;
    Opened(const std::string& image, const std::string& sdf) {
        OpenOptions o;
        o.SdfPath = sdf;
        open = OpenFirmware(st, image, o, NullProgress());
    }
};

// The same entries, field by field, in both opens.
void ExpectSameTables(const tFirmware& a, const tFirmware& b) {
    ASSERT_EQ(a.Images.size(), b.Images.size());
    for (size_t i = 0; i < a.Images.size(); ++i) {
        const auto &x = a.Images[i], &y = b.Images[i];
        EXPECT_EQ(std::tie(x.Address, x.Size, x.Kind, x.Width, x.Height, x.Link),
                  std::tie(y.Address, y.Size, y.Kind, y.Width, y.Height, y.Link)) << "picture " << i;
    }
    ASSERT_EQ(a.Sounds.size(), b.Sounds.size());
    for (size_t i = 0; i < a.Sounds.size(); ++i)
        EXPECT_EQ(std::tie(a.Sounds[i].Address, a.Sounds[i].Size, a.Sounds[i].Link),
                  std::tie(b.Sounds[i].Address, b.Sounds[i].Size, b.Sounds[i].Link)) << "sound " << i;
    ASSERT_EQ(a.JavaApps.size(), b.JavaApps.size());
    for (size_t i = 0; i < a.JavaApps.size(); ++i)
        EXPECT_EQ(std::tie(a.JavaApps[i].Path, a.JavaApps[i].Address, a.JavaApps[i].Size),
                  std::tie(b.JavaApps[i].Path, b.JavaApps[i].Address, b.JavaApps[i].Size)) << "java " << i;
    for (auto lists : {std::pair{&a.Strings1, &b.Strings1}, std::pair{&a.Strings2, &b.Strings2}}) {
        ASSERT_EQ(lists.first->size(), lists.second->size());
        for (size_t k = 0; k < lists.first->size(); ++k) {
            const auto &x = (*lists.first)[k], &y = (*lists.second)[k];
            ASSERT_EQ(x.size(), y.size());
            for (size_t i = 0; i < x.size(); ++i)
                EXPECT_EQ(std::tie(x[i].Text, x[i].Address, x[i].Link, x[i].HomeLang),
                          std::tie(y[i].Text, y[i].Address, y[i].Link, y[i].HomeLang)) << k << "/" << i;
        }
    }
}

TEST(ProfileCreator, FindsEveryTableOfAFirmwareAndItsDescriptionOpensTheSame) {
    ProfileImage pi;
    ScratchDir dir("prof");
    const std::string image = dir / "x480.bin", byHand = dir / "hand.sdf";
    ASSERT_TRUE(WriteFileAtomic(image, pi.img.Bytes()));
    ASSERT_TRUE(WriteFileAtomic(byHand, pi.sdf));
    std::unique_ptr<BinFile> file;
    ASSERT_TRUE(BinFile::Open(image).Take(file));

    ProfileSearch s = RunProfileSearch(*file, All(128, 160), NullProgress());
    ASSERT_EQ(s.Status, ProfileSearchStatus::Ok);
    EXPECT_EQ(s.PhoneModel, "X480");
    EXPECT_EQ(s.Version, "X480XXAB1");
    EXPECT_EQ(s.ImageTable, ProfileImage::kPictures);
    ASSERT_EQ(s.FoundImages.size(), 6u);
    std::vector<int32_t> kinds;
    for (const auto& e : s.FoundImages) kinds.push_back(e.Kind);
    EXPECT_EQ(kinds, (std::vector<int32_t>{k09, kRaw16, kWbmp, kRaw8, kRaw16, k09}));
    // the last entry shares the first sound: the table still starts at entry 0
    EXPECT_EQ(s.SoundTable, ProfileImage::kSounds);
    EXPECT_EQ(s.SndTableLength, 12);
    EXPECT_EQ(s.SndTableSizeOfs, 4);
    EXPECT_EQ(s.SndTableVolOfs, 0);
    EXPECT_EQ(s.JavaTable, ProfileImage::kJava);
    EXPECT_EQ(s.JavaTableLength, 136);
    EXPECT_EQ(s.LanguageTables, (std::vector<int32_t>{ProfileImage::kLang1, ProfileImage::kLang2}));
    // the zero row after the table is no fourth language
    EXPECT_EQ(s.LanguageCount, ProfileImage::kLangCount);

    s.Transparent = 0x00FF00FF;
    EstimateRegions(*file, s);
    EXPECT_EQ(s.Regions, pi.regions);

    const std::string written = FreeProfilePath(dir / "Firmwares", s.Version);
    std::filesystem::create_directories(dir / "Firmwares");
    const flashsmith::base::Status saved = WriteDescriptionFile(written, s, false);
    ASSERT_TRUE(saved) << saved.Error();
    Opened mine(image, written), theirs(image, byHand);
    ASSERT_EQ(mine.open.Status, OpenStatus::Ok) << mine.open.Error;
    ASSERT_EQ(theirs.open.Status, OpenStatus::Ok) << theirs.open.Error;
    ExpectSameTables(mine.st.Firmware, theirs.st.Firmware);
    const auto &m = mine.st.FirmwareDescription, &t = theirs.st.FirmwareDescription;
    EXPECT_EQ(std::tie(m.PhoneModel, m.Version, m.VersionAddr, m.ImageTable, m.SoundTable, m.JavaTable,
                       m.LanguageTable1, m.LanguageTable2, m.SndTableLength, m.JavaTableLength, m.LanguageCount),
              std::tie(t.PhoneModel, t.Version, t.VersionAddr, t.ImageTable, t.SoundTable, t.JavaTable,
                       t.LanguageTable1, t.LanguageTable2, t.SndTableLength, t.JavaTableLength, t.LanguageCount));
    EXPECT_EQ(m.Transparent, 0x00FF00FF);
    for (size_t r = 0; r < 9; ++r)
        EXPECT_EQ(mine.st.Firmware.Regions[r].Range, theirs.st.Firmware.Regions[r].Range) << r;

    // Saving again never replaces the first file: the next name has "_0".
    const std::string first = FreeProfilePath(dir / "Firmwares", s.Version);
    EXPECT_EQ(BaseName(first), "X480XXAB1_0.sdf");
    const flashsmith::base::Status again = WriteDescriptionFile(written, s, false);
    EXPECT_FALSE(again);
    EXPECT_NE(again.Error().find("exists"), std::string::npos);
}

// The demo carries every table as firmware does, with and without a lead of
// unrelated bytes: the search finds what the demo's own description names,
// and the file it writes opens the demo to the same entries. Only what the
// image cannot tell differs: a picture whose size the description corrects,
// and the spare room at the end of each region.
TEST(ProfileCreator, DemoImageTablesMatchItsDescription) {
    for (int64_t lead : {int64_t{0}, int64_t{3} << 20}) {
        SCOPED_TRACE(lead);
        ScratchDir dir("profdemo");
        flashsmith::demo::DemoResult demo;
        std::string error;
        ASSERT_TRUE(flashsmith::demo::WriteDemoFirmware(dir.Str(), {0, lead}).Take(demo, &error)) << error;
        std::unique_ptr<BinFile> file;
        ASSERT_TRUE(BinFile::Open(demo.ImagePath).Take(file));
        ProfileSearch s = RunProfileSearch(*file, All(176, 220), NullProgress());
        ASSERT_EQ(s.Status, ProfileSearchStatus::Ok);
        FirmwareState own;
        ReadDescription(own, demo.ProfilePath);
        const auto& d = own.FirmwareDescription;
        EXPECT_EQ(std::tie(s.PhoneModel, s.Version, s.VersionAddr), std::tie(d.PhoneModel, d.Version, d.VersionAddr));
        EXPECT_EQ(std::tie(s.ImageTable, s.SoundTable, s.SndTableLength, s.JavaTable, s.JavaTableLength),
                  std::tie(d.ImageTable, d.SoundTable, d.SndTableLength, d.JavaTable, d.JavaTableLength));
        EXPECT_EQ(s.LanguageTables, (std::vector<int32_t>{d.LanguageTable1, d.LanguageTable2}));
        EXPECT_EQ(s.LanguageCount, d.LanguageCount);

        s.Transparent = static_cast<uint32_t>(d.Transparent);
        EstimateRegions(*file, s);
        ASSERT_EQ(s.Regions.size(), 3u + 2u * static_cast<size_t>(d.LanguageCount));
        const std::string written = dir / "found.sdf";
        const flashsmith::base::Status saved = WriteDescriptionFile(written, s, false);
        ASSERT_TRUE(saved) << saved.Error();
        Opened mine(demo.ImagePath, written), theirs(demo.ImagePath, demo.ProfilePath);
        ASSERT_EQ(mine.open.Status, OpenStatus::Ok) << mine.open.Error;
        ASSERT_EQ(theirs.open.Status, OpenStatus::Ok) << theirs.open.Error;
        EXPECT_EQ(mine.st.FirmwareDescription.Transparent, d.Transparent);

        // The demo's description gives one picture another size than its
        // table entry; the search can only report the entry.
        tFirmware corrected = mine.st.Firmware;
        int resized = 0;
        for (size_t i = 0; i < corrected.Images.size() && i < theirs.st.Firmware.Images.size(); ++i) {
            auto &x = corrected.Images[i];
            const auto& y = theirs.st.Firmware.Images[i];
            if (std::tie(x.Width, x.Height) == std::tie(y.Width, y.Height)) continue;
            const int64_t entry = d.ImageTable + 8 + 8 * int64_t(i);
            EXPECT_EQ(x.Width, file->U16(entry));
            EXPECT_EQ(x.Height, file->U16(entry + 2));
            ++resized;
            x.Width = y.Width;
            x.Height = y.Height;
            x.Size = y.Size;
        }
        EXPECT_EQ(resized, 1);
        ExpectSameTables(corrected, theirs.st.Firmware);

        // Each region starts where the description's does and ends with the
        // last data in it, within the description's room.
        for (size_t r = 0; r < 9; ++r) {
            const auto &m = mine.st.Firmware.Regions[r], &t = theirs.st.Firmware.Regions[r];
            EXPECT_EQ(m.Range.Start, t.Range.Start) << r;
            EXPECT_GT(m.Range.Length, 0) << r;
            EXPECT_LE(m.Range.Length, t.Range.Length) << r;
        }
        const auto& sounds = theirs.st.Firmware.Sounds;
        int64_t end = 0;
        for (const auto& e : sounds) end = std::max<int64_t>(end, int64_t(e.Address) + e.Size);
        EXPECT_EQ(mine.st.Firmware.Regions[1].Range.End(), end);
    }
}

TEST(ProfileCreator, DescriptionLayoutAndRefusals) {
    ProfileSearch s;
    s.PhoneModel = "X480";
    s.Version = "X480XXAB1";
    s.FileSizeValue = 1000;
    s.VersionAddr = 0x117;
    s.StartAddr = 0x40;
    s.ImagesSearched = s.SoundsSearched = s.JavaSearched = true;
    s.ImageTable = -1;  // searched, nothing usable: no keys, no IMAGE sections
    s.FoundImages.push_back({});
    s.SoundTable = 0x300;
    s.SndTableLength = 20;
    s.SndTableSizeOfs = 4;
    s.SndTableVolOfs = 17;
    s.JavaTable = -1;
    s.LanguageTables = {0x500};  // one table only: no language keys
    s.LanguageCount = 3;
    s.Transparent = 0xFF;
    s.Regions = {{0, 0}, {0x1000, 0xFFFFFFF0}, {0, 0}};  // a length of -16 as the arithmetic left it
    EXPECT_EQ(DescriptionText(s),
              "[FIRMWARE]\r\nPhoneModel=X480\r\nFileSize=1000\r\nVersion=X480XXAB1\r\nVersionAddr=0x00000117\r\n"
              "\r\n[TABLES]\r\nSoundTable=0x00000300\r\nSndTableLength=20\r\nSndTableSizeOfs=4\r\n"
              "SndTableVolOfs=17\r\nStartAddr=0x00000040\r\n"
              "\r\n[REGIONS]\r\nRegion1=0x00000000\r\nRegion1Size=0\r\nRegion2=0x00001000\r\n"
              "Region2Size=4294967280\r\nRegion3=0x00000000\r\nRegion3Size=0\r\n");
    s.ImageTable = 0x200;
    s.FoundImages[0].Kind = 3;
    s.FoundImages[0].Width = 64;
    s.FoundImages[0].Height = 20;
    const std::string text = DescriptionText(s);
    EXPECT_NE(text.find("VersionAddr=0x00000117\r\nTransparent=0x000000FF\r\n\r\n[TABLES]\r\nImageTable=0x00000200\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n[IMAGE1]\r\nType=3\r\nWidth=64\r\nHeight=20\r\nID=0\r\n"), std::string::npos);
    s.PhoneModel = "X\nA=";  // raw image bytes never start a line of their own
    EXPECT_NE(DescriptionText(s).find("PhoneModel=X?A=\r\n"), std::string::npos);

    ScratchDir dir("profsave");
    ASSERT_TRUE(WriteFileAtomic(dir / "keep.sdf", std::string("old")));
    EXPECT_FALSE(WriteDescriptionFile(dir / "keep.sdf", s, false));
    std::string kept;
    ReadWholeFile(dir / "keep.sdf", kept);
    EXPECT_EQ(kept, "old");
    const flashsmith::base::Status replaced = WriteDescriptionFile(dir / "keep.sdf", s, true);
    EXPECT_TRUE(replaced) << replaced.Error();
    s.JavaSearched = false;  // a save needs the picture, sound and Java searches
    EXPECT_FALSE(WriteDescriptionFile(dir / "new.sdf", s, false));
    EXPECT_FALSE(FileExists(dir / "new.sdf"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Str()), {}), 1);  // no scratch left
}

TEST(ProfileCreator, ImageTypeDialogRows) {
    std::vector<tImgType> images(2);
    images[0].Kind = 0;
    images[0].Width = 128;
    images[0].Height = 160;
    images[1].ID = 4;
    std::vector<tResourceIDType> names(6);
    names[5].Name = "Wallpaper";
    auto row = MakeFoundImageRow(images, 0, names);
    EXPECT_EQ(std::tie(row.Name, row.Type, row.Dimension, row.Id),
              std::tie("Image_1", "", "128 x 160", "0:Unknown ID"));
    row = MakeFoundImageRow(images, 1, names);
    EXPECT_EQ(std::tie(row.Name, row.Type, row.Id), std::tie("Image_2", "09", "5:Wallpaper"));
    EXPECT_STREQ(RegionComment(2), "Region of Java Files");
    EXPECT_STREQ(RegionComment(7), "Region of Language");
}

// Truncated and scrambled images end every search without a crash or a
// read outside the image.
TEST(ProfileCreator, HostileImagesNeverCrash) {
    ProfileImage pi;
    const std::string& good = pi.img.Bytes();
    std::mt19937 rng(7);
    for (size_t cut = 0; cut < good.size(); cut += 797 + rng() % 512) {
        auto file = BinFile::FromBytes(good.substr(0, cut));
        ProfileSearch s = RunProfileSearch(*file, All(128, 160), NullProgress());
        if (s.Status == ProfileSearchStatus::Ok) EstimateRegions(*file, s);
        for (int32_t t : s.LanguageTables) EXPECT_LT(t, static_cast<int32_t>(cut));
    }
    for (int round = 0; round < 40; ++round) {
        std::string bytes = good;
        // overwrite table areas and data with noise, keeping the identification
        for (int n = 0; n < 400; ++n) {
            size_t at = 0x2000 + rng() % (bytes.size() - 0x2000);
            bytes[at] = static_cast<char>(rng());
        }
        for (int n = 0; n < 20; ++n) {  // pointers to anywhere, huge counts
            size_t at = 0x2000 + rng() % 0x6000;
            uint32_t v = round % 2 ? static_cast<uint32_t>(rng()) : static_cast<uint32_t>(rng() % bytes.size());
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
        }
        auto file = BinFile::FromBytes(bytes);
        ProfileSearch s = RunProfileSearch(*file, All(128, 160), NullProgress());
        ASSERT_EQ(s.Status, ProfileSearchStatus::Ok);
        EstimateRegions(*file, s);
        for (const auto& r : s.Regions) EXPECT_LE(int64_t(r.Start), int64_t(bytes.size()));
    }
}

}  // namespace
