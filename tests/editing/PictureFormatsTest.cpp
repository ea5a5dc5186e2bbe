// Replacement pictures from PNG and GIF files, scaling to fit, and what the
// region bar reports about the regions.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EditFixture.h"
#include "editing/DeleteRestore.h"
#include "editing/RegionUsage.h"
#include "editing/Replace.h"
#include "editing/TempFiles.h"
#include "firmware/Images.h"

using namespace flashsmith::firmware;
using namespace flashsmith::editing;

using namespace edittest;

namespace {

std::string ReplacementBytes(Demo& d, int32_t index, const std::string& source, bool fit = false) {
    EditResult r = ReplacePicture(d.st, index, source, fit);
    EXPECT_EQ(r.Status, EditStatus::Ok) << source << ": " << r.Detail;
    std::string bytes;
    EXPECT_TRUE(flashsmith::base::ReadWholeFile(d.Temp("tmpImage_" + std::to_string(index)), bytes));
    return bytes;
}

TEST(PictureFormats, PngAndGifStoreExactlyWhatABitmapOfTheSamePixelsStores) {
    const Picture pic = Pattern(40, 30);  // four colours: exact in a GIF palette
    Demo bmpRun, pngRun, gifRun;
    const std::string bmp = bmpRun.Bmp("pic.bmp", pic);
    const std::string png = pngRun.dir / "pic.PNG";
    ASSERT_TRUE(SavePng(png, pic));
    const bool haveConvert = std::system("convert -version >/dev/null 2>&1") == 0;
    const std::string gif = gifRun.dir / "pic.gif";
    if (haveConvert) {
        ASSERT_EQ(std::system(("convert '" + bmp + "' 'GIF:" + gif + "'").c_str()), 0);
    }

    for (int32_t index : {kSmiley09, kLandscape16, kArrowWbmp}) {
        SCOPED_TRACE(index);
        const std::string want = ReplacementBytes(bmpRun, index, bmp);
        EXPECT_EQ(ReplacementBytes(pngRun, index, png), want);
        if (haveConvert) {
            EXPECT_EQ(ReplacementBytes(gifRun, index, gif), want);
        }
        EXPECT_EQ(pngRun.Used(0), bmpRun.Used(0));
    }
    EXPECT_TRUE(DropAccepted(kCatImages, "/x/a.png"));
    EXPECT_TRUE(DropAccepted(kCatImages, "/x/a.GIF"));
    EXPECT_TRUE(DropAccepted(kCatImages, "/x/a.jpeg"));
    EXPECT_FALSE(DropAccepted(kCatImages, "/x/a.tif"));
    EXPECT_FALSE(DropAccepted(kCatSounds, "/x/a.png"));
    // Not a picture at all, whatever its name says (13: an untouched "09").
    EXPECT_EQ(ReplacePicture(bmpRun.st, 13, bmpRun.Write("fake.png", "hello")).Status,
              EditStatus::SourceUnreadable);
}

TEST(PictureFormats, FitScalesALargePictureIntoTheEntrysOwnSize) {
    Demo d;
    // 400 x 300: left half red, right half blue.
    Picture big(400, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) big.At(x, y) = x < 200 ? 0xFF0000 : 0x0000FF;
    const std::string png = d.dir / "big.png";
    ASSERT_TRUE(SavePng(png, big));

    // The 176 x 220 wallpaper: 176 x 132, centred with black above and below.
    const std::string file = ReplacementBytes(d, kLandscape16, png, true);
    ASSERT_EQ(file.size(), 4u + 176 * 220 * 2);
    EXPECT_EQ(uint8_t(file[0]) | uint8_t(file[1]) << 8, 176);
    EXPECT_EQ(uint8_t(file[2]) | uint8_t(file[3]) << 8, 220);
    auto bin = BinFile::FromBytes(file);
    Picture back(176, 220);
    DecodeRaw16(*bin, 4, 176, 220, back);
    const int top = (220 - 132) / 2;
    EXPECT_EQ(back.At(88, top - 1), 0u);
    EXPECT_EQ(back.At(10, top), 0xFF0000u);
    EXPECT_EQ(back.At(170, top + 131), 0x0000FFu);
    EXPECT_EQ(back.At(88, top + 132), 0u);

    // Without fit the same file is cropped to 320 x 300.
    Demo crop;
    const std::string cropped = ReplacementBytes(crop, kLandscape16, png, false);
    EXPECT_EQ(cropped.size(), 4u + 320 * 300 * 2);
}

TEST(PictureFormats, RegionUsageFollowsEveryEdit) {
    Demo d;
    flashsmith::editing::RegionUsage u = DescribeRegion(d.st, kCatImages);
    EXPECT_EQ(u.Size, d.st.Firmware.Regions[0].Range.Length);
    EXPECT_EQ(u.Used, d.Used(0));
    ASSERT_EQ(u.Largest.size(), 5u);
    EXPECT_EQ(u.Largest[0].Row, kLandscape16);
    EXPECT_EQ(u.Largest[0].Bytes, 176 * 220 * 2);
    for (size_t i = 1; i < u.Largest.size(); ++i) EXPECT_GE(u.Largest[i - 1].Bytes, u.Largest[i].Bytes);
    for (const EntryShare& e : u.Largest) EXPECT_NE(e.Row, kLinkedPic);
    EXPECT_FALSE(u.Over());

    // Deleting the largest takes it out; a large replacement overfills the region.
    ASSERT_EQ(DeleteEntry(d.st, kCatImages, kLandscape16).Status, EditStatus::Ok);
    u = DescribeRegion(d.st, kCatImages);
    EXPECT_NE(u.Largest[0].Row, kLandscape16);
    ASSERT_EQ(RestoreEntry(d.st, kCatImages, kLandscape16).Status, EditStatus::Ok);
    d.st.Firmware.Regions[0].Range.Length = d.Used(0) + 100;
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("blocks.bmp", Pattern(320, 320))).Status, EditStatus::Ok);
    u = DescribeRegion(d.st, kCatImages, 2);
    EXPECT_TRUE(u.Over());
    ASSERT_EQ(u.Largest.size(), 2u);
    EXPECT_EQ(u.Largest[0].Row, kLandscape16);
    EXPECT_EQ(u.Largest[1].Row, kSmiley09);  // now second largest
    EXPECT_EQ(u.Largest[1].Bytes, ReplacementDataSize(d.st, kCatImages, "tmpImage_0"));

    // Deleted sounds share one silent sound, which the shown figure counts.
    const int64_t sounds = ShownUsed(d.st, kCatSounds);
    const int32_t soundSize = d.st.Firmware.Sounds[0].Size;
    ASSERT_EQ(DeleteEntry(d.st, kCatSounds, 0).Status, EditStatus::Ok);
    EXPECT_EQ(ShownUsed(d.st, kCatSounds), sounds - soundSize + 157);

    // Languages: borrowed and linked strings take no space here.
    u = DescribeRegion(d.st, kLang1);
    for (const EntryShare& e : u.Largest) EXPECT_NE(e.Row, 2) << "the borrowed \"OK\"";
    EXPECT_EQ(RegionsOfLanguageTable(d.st, 1), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(RegionsOfRoot(d.st), (std::vector<int32_t>{0, 1, 2}));
    d.st.FirmwareLoaded = false;
    EXPECT_TRUE(RegionsOfRoot(d.st).empty());
}

}  // namespace
