// The demo image opened through the core: every rule it is meant to exercise.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "support/CliRun.h"
#include "editing/Export.h"
#include "editing/ResourceList.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"
#include "base/Text.h"
#include "firmware/PictureFile.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::demo;
using namespace flashsmith::editing;

namespace {

using flashsmith::test::ScratchDir;

struct OpenedDemo {
    ScratchDir dir{"demo"};
    DemoResult demo;
    FirmwareState st;
    OpenResult open;

    explicit OpenedDemo(DemoOptions options = {}) {
        std::string error;
        EXPECT_TRUE(WriteDemoFirmware(dir.Str(), options).Take(demo, &error)) << error;
        OpenOptions o;
        o.FirmwaresDir = dir / "Firmwares";
        st.TempDir = dir / "Temp/";
        open = OpenFirmware(st, demo.ImagePath, o, NullProgress());
    }
};

TEST(DemoFirmware, IdentifiesAndParsesEveryTable) {
    OpenedDemo d;
    ASSERT_EQ(d.open.Status, OpenStatus::Ok) << d.open.Error;
    const auto& st = d.st;
    EXPECT_TRUE(st.FirmwareLoaded);
    EXPECT_EQ(st.FirmwareDescription.PhoneModel, "E250");
    EXPECT_EQ(st.FirmwareDescription.Version, "E250XXJE1");
    // the version found past its decoys is the one the description names
    auto found = FindVersion(*st.FirmwareFile, "E250", 0, NullProgress());
    EXPECT_EQ(found.Address, st.FirmwareDescription.VersionAddr);

    const auto& im = st.Firmware.Images;
    ASSERT_GE(im.size(), 12u);
    for (int kind = 1; kind <= 4; ++kind)
        EXPECT_TRUE(std::any_of(im.begin(), im.end(), [&](const tImgType& e) { return e.Kind == kind; })) << kind;
    EXPECT_TRUE(std::any_of(im.begin(), im.end(), [](const tImgType& e) { return e.Width == 176 && e.Height == 220; }));
    EXPECT_TRUE(std::any_of(im.begin(), im.end(), [](const tImgType& e) { return e.Link >= 0 && e.Address == -1; }));
    EXPECT_TRUE(std::any_of(im.begin(), im.end(), [](const tImgType& e) { return e.ID >= 0; }));
    for (size_t i = 0; i < im.size(); ++i)
        if (im[i].Link < 0) {
            EXPECT_GT(im[i].Size, 0) << i;
        }

    // an "09" picture shows the transparent colour
    const uint32_t transparent = SwapRedBlue(static_cast<uint32_t>(st.FirmwareDescription.Transparent));
    bool seen = false;
    for (size_t i = 0; i < im.size() && !seen; ++i) {
        Picture p;
        if (im[i].Kind == k09 && DecodeStoredPicture(st, static_cast<int32_t>(i), p))
            seen = std::count(p.Pixels.begin(), p.Pixels.end(), transparent) > 0;
    }
    EXPECT_TRUE(seen);

    const auto& snd = st.Firmware.Sounds;
    ASSERT_GE(snd.size(), 6u);
    int shared = 0;
    for (const auto& s : snd) {
        shared += s.Link >= 0;
        std::string_view data = st.FirmwareFile->View(s.Address, static_cast<size_t>(s.Size));
        EXPECT_EQ(data.substr(0, 4), "MMMD");
        EXPECT_NE(data.find("CNTI"), std::string_view::npos);
    }
    EXPECT_EQ(shared, 1);
    EXPECT_GT(st.FirmwareDescription.SndTableLength, 8);

    // the manager's list, the JAD and the JAR; the entry outside E:\S100 is skipped
    ASSERT_EQ(st.Firmware.JavaApps.size(), 3u);
    EXPECT_EQ(st.Firmware.JavaApps[0].Path.rfind("e:\\S100\\manager_", 0), 0u);
    for (const auto& j : st.Firmware.JavaApps) EXPECT_EQ(UpperAscii(j.Path).rfind("E:\\S100\\", 0), 0u) << j.Path;

    ASSERT_EQ(st.FirmwareDescription.LanguageCount, 3);
    ASSERT_EQ(st.Firmware.Strings1.size(), 3u);
    ASSERT_EQ(st.Firmware.Strings2.size(), 3u);
    int duplicates = 0, borrowedTable2 = 0, outside = 0;
    for (const auto& list : st.Firmware.Strings1)
        for (size_t i = 0; i < list.size(); ++i) {
            duplicates += list[i].Link >= 0 && list[i].Link < static_cast<int32_t>(i) && list[i].HomeLang < 0;
            outside += list[i].Link == -1 && list[i].HomeLang == -1 &&
                       (list[i].Address < st.Firmware.Regions[3].Range.Start ||
                        list[i].Address > st.Firmware.Regions[8].Range.End());
        }
    for (const auto& list : st.Firmware.Strings2)
        for (size_t i = 0; i < list.size(); ++i)
            borrowedTable2 += list[i].HomeLang == 0 && list[i].Link == static_cast<int32_t>(i);
    EXPECT_EQ(duplicates, 1);
    EXPECT_GE(borrowedTable2, 1);
    EXPECT_EQ(outside, 1);
    // Cyrillic and accented texts are stored as UTF-8
    EXPECT_EQ(st.Firmware.Strings1[2][0].Text, "\xD0\x9C\xD0\xB5\xD0\xBD\xD1\x8E");
    EXPECT_EQ(st.Firmware.Strings1[1][4].Text, "Param\xC3\xA8tres");
    // one language region has almost no room left
    int nearlyFull = 0;
    for (int r = 3; r < 9; ++r) {
        const auto& region = st.Firmware.Regions[r];
        const auto* list = StringsOf(st, r);
        uint32_t end = 0;
        for (const auto& s : *list)
            if (region.Range.Contains(s.Address))
                end = std::max<uint32_t>(end, s.Address + static_cast<uint32_t>(s.Text.size()) + 1);
        nearlyFull += region.Range.End() - end < 8;
    }
    EXPECT_EQ(nearlyFull, 1);
}

TEST(DemoFirmware, LeadMovesEveryOffsetAndLargeImagesAreSampled) {
    OpenedDemo plain;
    const int64_t lead = 1 << 20;
    OpenedDemo moved(DemoOptions{kSampledImageSize + 4096, lead});
    ASSERT_EQ(moved.open.Status, OpenStatus::Ok) << moved.open.Error;
    EXPECT_EQ(moved.st.FirmwareFile->Size(), kSampledImageSize + 4096);
    auto start = FindStartAddr(*moved.st.FirmwareFile, NullProgress());
    EXPECT_EQ(start % 409664, 0);
    EXPECT_GE(start, lead - 409664);
    EXPECT_LT(start, lead + 409664);
    const auto& a = plain.st.Firmware;
    const auto& b = moved.st.Firmware;
    ASSERT_EQ(a.Images.size(), b.Images.size());
    for (size_t i = 0; i < a.Images.size(); ++i)
        if (a.Images[i].Link < 0) {
            EXPECT_EQ(b.Images[i].Address, a.Images[i].Address + lead);
        }
    EXPECT_EQ(b.Strings2[2][0].Address, a.Strings2[2][0].Address + lead);
    EXPECT_EQ(b.Regions[4].Range.Start, a.Regions[4].Range.Start + lead);
    EXPECT_EQ(b.Strings1[1][4].Text, a.Strings1[1][4].Text);
}

TEST(DemoFirmware, ListRowsNameSizeIdAndColour) {
    OpenedDemo d;
    ASSERT_TRUE(d.st.FirmwareLoaded);
    auto& st = d.st;
    auto row = MakeListRow(st, kCatImages, 0);
    EXPECT_EQ(row.Name, "Image_1");
    EXPECT_EQ(row.Id, std::to_string(st.Firmware.Images[0].ID + 1));
    st.ImageIdNames.assign(10, {});
    st.ImageIdNames[st.Firmware.Images[0].ID + 1].Name = "Smiley";
    EXPECT_EQ(MakeListRow(st, kCatImages, 0).Name, "Smiley");
    for (size_t i = 0; i < st.Firmware.Images.size(); ++i)
        if (st.Firmware.Images[i].Link >= 0) {
            EXPECT_EQ(MakeListRow(st, kCatImages, static_cast<int32_t>(i)).Colour, RowColour::Linked);
        }
    st.Firmware.Sounds[1].Deleted = true;
    row = MakeListRow(st, kCatSounds, 1);
    EXPECT_EQ(row.Size, "0");
    EXPECT_EQ(row.Colour, RowColour::Deleted);
    EXPECT_EQ(row.Name, "Sound_2");
    EXPECT_EQ(MakeListRow(st, kCatJava, 2).Name, "E:\\S100\\Flashsmith_Snake_suite\\Snake.jar");
    // a Cyrillic string shows in the 8-bit code page, its size in stored bytes + 1
    row = MakeListRow(st, LanguageCategory(st, 1, 2), 0);
    EXPECT_EQ(row.Name, "\xCC\xE5\xED\xFE");
    EXPECT_EQ(row.Size, "9");
    st.Firmware.Strings1[0][0].NewText = "\xC3\xA9";  // an edit to one two-byte character
    row = MakeListRow(st, LanguageCategory(st, 1, 0), 0);
    EXPECT_EQ(row.Size, "3");
    EXPECT_EQ(row.Colour, RowColour::Changed);
    row = MakeListRow(st, LanguageCategory(st, 2, 0), 3);
    EXPECT_EQ(row.Id, "3 0");
    EXPECT_EQ(row.Colour, RowColour::Borrowed);
}

TEST(DemoFirmware, ExportWritesStoredDataFollowingLinks) {
    OpenedDemo d;
    ASSERT_TRUE(d.st.FirmwareLoaded);
    ScratchDir out("export");
    const auto& im = d.st.Firmware.Images;
    auto linked = std::find_if(im.begin(), im.end(), [](const tImgType& e) { return e.Link >= 0; });
    ASSERT_NE(linked, im.end());
    const int32_t li = static_cast<int32_t>(linked - im.begin());
    auto r = ExportResource(d.st, kCatImages, li, out.Str(), PictureExport::Bmp);
    ASSERT_EQ(r.Status, ExportStatus::Ok) << r.Error;
    EXPECT_EQ(r.Path, out / ("Image_" + std::to_string(li + 1) + ".bmp"));
    auto first = ExportResource(d.st, kCatImages, linked->Link, out.Str(), PictureExport::Bmp);
    std::string a, b;
    ASSERT_TRUE(ReadWholeFile(r.Path, a));
    ASSERT_TRUE(ReadWholeFile(first.Path, b));
    EXPECT_EQ(a, b);
    Picture back;
    ASSERT_TRUE(LoadBmp(r.Path).Take(back));
    Picture decoded;
    ASSERT_TRUE(DecodeStoredPicture(d.st, linked->Link, decoded));
    EXPECT_EQ(back.Pixels, decoded.Pixels);

    // replaced or deleted entries still export what the firmware holds
    d.st.Firmware.Sounds[0].Deleted = true;
    auto snd = ExportResource(d.st, kCatSounds, 0, out.Str(), PictureExport::Bmp);
    ASSERT_EQ(snd.Status, ExportStatus::Ok);
    EXPECT_EQ(snd.Path, out / "Sound_1.mmf");
    std::string mmf;
    ASSERT_TRUE(ReadWholeFile(snd.Path, mmf));
    EXPECT_EQ(mmf, std::string(d.st.FirmwareFile->View(d.st.Firmware.Sounds[0].Address, d.st.Firmware.Sounds[0].Size)));

    auto jar = ExportResource(d.st, kCatJava, 2, out.Str(), PictureExport::Bmp);
    ASSERT_EQ(jar.Status, ExportStatus::Ok);
    EXPECT_EQ(jar.Path, out / "Snake.jar");
    auto jpg = ExportResource(d.st, kCatImages, 6, out.Str(), PictureExport::Jpeg);
    ASSERT_EQ(jpg.Status, ExportStatus::Ok) << jpg.Error;
    Picture photo;
    ASSERT_TRUE(LoadJpeg(jpg.Path).Take(photo));
    EXPECT_EQ(photo.Width, 176);
    EXPECT_EQ(photo.Height, 220);
    EXPECT_EQ(ExportResource(d.st, LanguageCategory(d.st, 1, 0), 0, out.Str(), PictureExport::Bmp).Status,
              ExportStatus::NothingToExport);
}

// Another program cuts the open image: the program keeps working on the
// image as it was opened, pending edits included, instead of dying on a
// page that is no longer there.
TEST(DemoFirmware, AnImageCutWhileOpenIsReadAsOpened) {
    OpenedDemo d;
    ASSERT_TRUE(d.st.FirmwareLoaded);
    ScratchDir before("cut_before"), after("cut_after");
    d.st.Firmware.Sounds[0].Deleted = true;
    const int32_t pictures = static_cast<int32_t>(d.st.Firmware.Images.size());
    auto exportAll = [&](const ScratchDir& out) {
        std::string all;
        for (int32_t i = 0; i < pictures; ++i) {
            auto r = ExportResource(d.st, kCatImages, i, out.Str(), PictureExport::Bmp);
            EXPECT_EQ(r.Status, ExportStatus::Ok) << i << " " << r.Error;
            std::string bytes;
            if (r.Status == ExportStatus::Ok) ReadWholeFile(r.Path, bytes);
            all += bytes;
        }
        auto snd = ExportResource(d.st, kCatSounds, 0, out.Str(), PictureExport::Bmp);
        EXPECT_EQ(snd.Status, ExportStatus::Ok) << snd.Error;
        return all;
    };
    const std::string expected = exportAll(before);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(::truncate(d.demo.ImagePath.c_str(), 0), 0);
    EXPECT_EQ(exportAll(after), expected);
    EXPECT_TRUE(d.st.Firmware.Sounds[0].Deleted);
    // Opening it again sees what is there now.
    FirmwareState again;
    OpenOptions o;
    o.FirmwaresDir = d.dir / "Firmwares";
    EXPECT_EQ(OpenFirmware(again, d.demo.ImagePath, o, NullProgress()).Status, OpenStatus::NoModel);
}

TEST(DemoFirmware, ExportNeverReplacesTheOpenImage) {
    // An image that happens to carry the name of one of its own Java files.
    ScratchDir dir("selfexport");
    DemoResult demo;
    std::string error;
    ASSERT_TRUE(WriteDemoFirmware(dir.Str(), {}).Take(demo, &error)) << error;
    const std::string image = dir / "Snake.jar";
    ASSERT_EQ(std::rename(demo.ImagePath.c_str(), image.c_str()), 0);
    FirmwareState st;
    OpenOptions o;
    o.FirmwaresDir = dir / "Firmwares";
    ASSERT_EQ(OpenFirmware(st, image, o, NullProgress()).Status, OpenStatus::Ok);
    const int64_t size = st.FirmwareFile->Size();
    auto r = ExportResource(st, kCatJava, 2, dir.Str(), PictureExport::Bmp);
    EXPECT_EQ(r.Status, ExportStatus::WriteFailed);
    EXPECT_NE(r.Error.find("open firmware image"), std::string::npos);
    EXPECT_EQ(FileSizeOf(image), size);
    EXPECT_TRUE(SameFile(image, st.FirmwarePath));
    EXPECT_FALSE(SameFile(dir / "Firmwares", st.FirmwarePath));
}

TEST(SafeFileName, NoFoldersFromFirmwareNames) {
    EXPECT_EQ(flashsmith::editing::SafeFileName("../../etc/passwd", "x"), ".._.._etc_passwd");
    EXPECT_EQ(flashsmith::editing::SafeFileName("..", "x"), "x");
    EXPECT_EQ(flashsmith::editing::SafeFileName("", "x"), "x");
    EXPECT_EQ(flashsmith::editing::SafeFileName("Snake.jar", "x"), "Snake.jar");
}

}  // namespace
