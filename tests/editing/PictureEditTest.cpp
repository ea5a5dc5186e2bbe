// Replacing, deleting and restoring pictures, with the region accounting.
#include <gtest/gtest.h>

#include "EditFixture.h"
#include "editing/DeleteRestore.h"
#include "editing/Replace.h"
#include "editing/TempFiles.h"
#include "firmware/Images.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

using namespace edittest;

namespace {

int32_t HeaderSide(const std::string& bytes, int at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

TEST(PictureEdit, LargeBitmapIsCroppedTo320AndEncodedInTheEntrysFormat) {
    Demo d;
    const Picture big = Pattern(400, 300);
    const std::string bmp = d.Bmp("big.bmp", big);
    const int32_t used = d.Used(0), size = d.st.Firmware.Images[kLandscape16].Size;

    EditResult r = ReplacePicture(d.st, kLandscape16, bmp);
    ASSERT_EQ(r.Status, EditStatus::Ok) << r.Detail;
    EXPECT_EQ(r.Rows, std::vector<int32_t>{kLandscape16});
    const auto& e = d.st.Firmware.Images[kLandscape16];
    EXPECT_EQ(e.TempName, "tmpImage_6");
    EXPECT_EQ(e.Width, 176);  // the entry keeps describing the firmware's data
    EXPECT_EQ(e.Size, size);

    std::string file;
    ASSERT_TRUE(ReadWholeFile(d.Temp("tmpImage_6"), file));  // TempDir was created
    EXPECT_EQ(HeaderSide(file, 0), 320);
    EXPECT_EQ(HeaderSide(file, 2), 300);
    ASSERT_EQ(file.size(), 4u + 320 * 300 * 2);
    auto bin = BinFile::FromBytes(file);
    Picture back(320, 300);
    DecodeRaw16(*bin, 4, 320, 300, back);
    for (int y = 0; y < 300; y += 7)
        for (int x = 0; x < 320; x += 9) ASSERT_EQ(back.At(x, y), big.At(x, y)) << x << "," << y;

    EXPECT_EQ(d.Used(0), used - size + 320 * 300 * 2);
    ListRow row = d.Row(kCatImages, kLandscape16);
    EXPECT_EQ(row.Size, std::to_string(320 * 300 * 2));
    EXPECT_EQ(row.Colour, RowColour::Changed);
}

TEST(PictureEdit, JpegInto09PictureCountsTheEncodedSize) {
    Demo d;
    std::string jpg = d.dir / "pic.JPG";
    ASSERT_TRUE(SaveJpeg(jpg, Pattern(40, 30), 100));
    const int32_t used = d.Used(0), size = d.st.Firmware.Images[kSmiley09].Size;
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, jpg).Status, EditStatus::Ok);
    const int64_t data = ReplacementDataSize(d.st, kCatImages, "tmpImage_0");
    ASSERT_GT(data, 0);
    EXPECT_EQ(d.Used(0), used - size + data);
    std::string file;
    ASSERT_TRUE(ReadWholeFile(d.Temp("tmpImage_0"), file));
    EXPECT_EQ(file[4], '\x09');  // an "09" stream
    EXPECT_EQ(Measure09(*BinFile::FromBytes(file), 4, 40, 30), data);
}

TEST(PictureEdit, RefusalsLeaveEverythingAlone) {
    Demo d;
    const std::string bmp = d.Bmp("p.bmp", Pattern(16, 16));
    const std::string png = d.Write("p.tif", "not a picture");
    const std::string bad = d.Write("bad.bmp", "BM this is no bitmap");
    const int32_t used = d.Used(0);

    EXPECT_EQ(ReplacePicture(d.st, kChecker8, bmp).Status, EditStatus::UnsupportedKind);  // RAW8
    EXPECT_EQ(ReplacePicture(d.st, kLinkedPic, bmp).Status, EditStatus::Linked);
    EXPECT_EQ(ReplacePicture(d.st, kSmiley09, png).Status, EditStatus::WrongFileType);
    EditResult unreadable = ReplacePicture(d.st, kSmiley09, bad);
    EXPECT_EQ(unreadable.Status, EditStatus::SourceUnreadable);
    EXPECT_TRUE(unreadable.Failed());
    EXPECT_EQ(ReplacePicture(d.st, 99, bmp).Status, EditStatus::NoEntry);
    EXPECT_EQ(d.Used(0), used);
    EXPECT_TRUE(d.st.Firmware.Images[kSmiley09].TempName.empty());
    EXPECT_FALSE(FileExists(d.Temp("tmpImage_0")));

    // the entry a linked one points at is replaceable, once, until restored
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, bmp).Status, EditStatus::Ok);
    EXPECT_EQ(ReplacePicture(d.st, kSmiley09, bmp).Status, EditStatus::AlreadyReplaced);
    ASSERT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_EQ(ReplacePicture(d.st, kSmiley09, bmp).Status, EditStatus::Ok);

    ASSERT_EQ(DeleteEntry(d.st, kCatImages, 1).Status, EditStatus::Ok);
    EXPECT_EQ(ReplacePicture(d.st, 1, bmp).Status, EditStatus::EntryDeleted);

    FirmwareState closed;
    EXPECT_EQ(ReplacePicture(closed, 0, bmp).Status, EditStatus::NotLoaded);
}

TEST(PictureEdit, WbmpIsEncodedInBandsByLuminance) {
    Demo d;
    Picture p(16, 16, 0xFFFFFF);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) p.At(x, y) = 0x000000;
    p.At(12, 3) = 0x7F7F7F;  // luminance 127: black
    p.At(13, 3) = 0x808080;  // luminance 128: white
    p.At(14, 9) = 0x00FF00;  // pure green, 149: white
    p.At(15, 9) = 0xFF0000;  // pure red, 76: black
    ASSERT_EQ(ReplacePicture(d.st, kArrowWbmp, d.Bmp("w.bmp", p)).Status, EditStatus::Ok);
    std::string file;
    ASSERT_TRUE(ReadWholeFile(d.Temp("tmpImage_11"), file));
    ASSERT_EQ(file.size(), 4u + 16 * 2);
    Picture back(16, 16);
    DecodeWbmp(*BinFile::FromBytes(file), 4, 16, 16, back);
    EXPECT_EQ(back.At(0, 0), 0x000000u);
    EXPECT_EQ(back.At(7, 15), 0x000000u);
    EXPECT_EQ(back.At(8, 0), 0xFFFFFFu);
    EXPECT_EQ(back.At(12, 3), 0x000000u);
    EXPECT_EQ(back.At(13, 3), 0xFFFFFFu);
    EXPECT_EQ(back.At(14, 9), 0xFFFFFFu);
    EXPECT_EQ(back.At(15, 9), 0x000000u);
}

TEST(PictureEdit, AccountingOfDeleteAndRestore) {
    Demo d;
    const auto& e = d.st.Firmware.Images[kSmiley09];
    const int32_t used = d.Used(0), size = e.Size;

    // unreplaced: deleting twice subtracts once; restoring adds it back
    ASSERT_EQ(DeleteEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_EQ(DeleteEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::NothingToDo);
    EXPECT_EQ(d.Used(0), used - size);
    EXPECT_TRUE(e.Deleted);
    EXPECT_EQ(d.Row(kCatImages, kSmiley09).Size, "0");
    EXPECT_EQ(d.Row(kCatImages, kSmiley09).Colour, RowColour::Deleted);
    ASSERT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(0), used);
    EXPECT_FALSE(e.Deleted);
    EXPECT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::NothingToDo);

    // replaced: deleting takes away the replacement's data size, not Size
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("p.bmp", Pattern(50, 40))).Status, EditStatus::Ok);
    const int64_t data = ReplacementDataSize(d.st, kCatImages, "tmpImage_0");
    ASSERT_EQ(d.Used(0), used - size + data);
    ASSERT_EQ(DeleteEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(0), used - size);
    EXPECT_TRUE(e.TempName.empty());
    EXPECT_FALSE(FileExists(d.Temp("tmpImage_0")));
    ASSERT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(0), used);

    // replaced then restored: the replacement goes, the own Size comes back
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("p.bmp", Pattern(50, 40))).Status, EditStatus::Ok);
    ASSERT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(0), used);
    EXPECT_FALSE(FileExists(d.Temp("tmpImage_0")));

    // linked entries are neither deleted nor restored
    EXPECT_EQ(DeleteEntry(d.st, kCatImages, kLinkedPic).Status, EditStatus::Linked);
    EXPECT_EQ(RestoreEntry(d.st, kCatImages, kLinkedPic).Status, EditStatus::NothingToDo);
    EXPECT_EQ(d.Used(0), used);
}

TEST(PictureEdit, VanishedReplacementFileIsReportedNotMiscounted) {
    Demo d;
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("p.bmp", Pattern(8, 8))).Status, EditStatus::Ok);
    const int32_t used = d.Used(0);
    std::remove(d.Temp("tmpImage_0").c_str());
    EditResult r = DeleteEntry(d.st, kCatImages, kSmiley09);
    EXPECT_EQ(r.Status, EditStatus::ReplacementMissing);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::ReplacementMissing);
    EXPECT_EQ(d.Used(0), used);
    EXPECT_EQ(d.st.Firmware.Images[kSmiley09].TempName, "tmpImage_0");
}

}  // namespace
