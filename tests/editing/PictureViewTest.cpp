// The viewer's operations: preview, format and size corrections, and the
// transparent colour of a replaced "09" picture.
#include <gtest/gtest.h>

#include <algorithm>

#include "EditFixture.h"
#include "editing/DeleteRestore.h"
#include "editing/PictureView.h"
#include "editing/Replace.h"
#include "firmware/Images.h"

using namespace flashsmith::firmware;
using namespace flashsmith::editing;

using namespace edittest;

namespace {

TEST(PictureView, FormatChangeRecomputesSizeButNotUsed) {
    Demo d;
    auto& raw8 = d.st.Firmware.Images[kChecker8];
    auto& wbmp = d.st.Firmware.Images[kArrowWbmp];
    const int32_t used = d.Used(0);
    ASSERT_EQ(StepPictureSide(d.st, kChecker8, SizeAxis::Width, 20).Status, EditStatus::Ok);
    ASSERT_EQ(StepPictureSide(d.st, kChecker8, SizeAxis::Height, 10).Status, EditStatus::Ok);
    ASSERT_EQ(ChangePictureFormat(d.st, kChecker8, kRaw8).Status, EditStatus::Ok);
    EXPECT_EQ(raw8.Size, 200);
    EXPECT_EQ(d.Row(kCatImages, kChecker8).Size, "200");
    ASSERT_EQ(StepPictureSide(d.st, kArrowWbmp, SizeAxis::Width, 12).Status, EditStatus::Ok);
    ASSERT_EQ(StepPictureSide(d.st, kArrowWbmp, SizeAxis::Height, 10).Status, EditStatus::Ok);
    ASSERT_EQ(ChangePictureFormat(d.st, kArrowWbmp, kWbmp).Status, EditStatus::Ok);
    EXPECT_EQ(wbmp.Size, 24);
    ASSERT_EQ(ChangePictureFormat(d.st, kArrowWbmp, kRaw16).Status, EditStatus::Ok);
    EXPECT_EQ(wbmp.Kind, kRaw16);
    EXPECT_EQ(wbmp.Size, 240);
    EXPECT_EQ(ChangePictureFormat(d.st, kArrowWbmp, kRaw16).Status, EditStatus::NothingToDo);
    EXPECT_EQ(ChangePictureFormat(d.st, kArrowWbmp, 5).Status, EditStatus::UnsupportedKind);
    EXPECT_EQ(d.Used(0), used);

    // "09" measured on the stored data
    const int32_t smileySize = d.st.Firmware.Images[kSmiley09].Size;
    ASSERT_EQ(ChangePictureFormat(d.st, kSmiley09, kRaw8).Status, EditStatus::Ok);
    ASSERT_EQ(ChangePictureFormat(d.st, kSmiley09, k09).Status, EditStatus::Ok);
    EXPECT_EQ(d.st.Firmware.Images[kSmiley09].Size, smileySize);
}

TEST(PictureView, ReplacedPictureUsesItsFileHeader) {
    Demo d;
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("p.bmp", Pattern(40, 30))).Status, EditStatus::Ok);
    const auto& e = d.st.Firmware.Images[kSmiley09];
    const int32_t used = d.Used(0);

    PicturePreview p = PreviewPicture(d.st, kSmiley09);
    ASSERT_TRUE(p.Ok);
    EXPECT_TRUE(p.FromReplacement);
    EXPECT_EQ(p.Width, 40);
    EXPECT_EQ(p.Height, 30);
    EXPECT_EQ(p.Pic.At(9, 9), Pattern(40, 30).At(9, 9));

    // stepping the width rewrites the file's first two bytes only
    const std::string before = flashsmith::test::Slurp(d.Temp("tmpImage_0"));
    ASSERT_EQ(StepPictureSide(d.st, kSmiley09, SizeAxis::Width, 20).Status, EditStatus::Ok);
    const std::string after = flashsmith::test::Slurp(d.Temp("tmpImage_0"));
    EXPECT_EQ(after.substr(0, 2), std::string("\x14\x00", 2));
    EXPECT_EQ(after.substr(2), before.substr(2));
    EXPECT_EQ(e.Width, 32);
    EXPECT_EQ(PreviewPicture(d.st, kSmiley09).Width, 20);
    EXPECT_EQ(d.Used(0), used);

    // the format change measures the replacement with the header's size
    ASSERT_EQ(ChangePictureFormat(d.st, kSmiley09, kRaw16).Status, EditStatus::Ok);
    EXPECT_EQ(e.Size, 20 * 30 * 2);

    // a linked entry previews what it links to
    EXPECT_EQ(PreviewPicture(d.st, kLinkedPic).Width, 20);
}

TEST(PictureView, TypedSizesAreCleanedAndRangeChecked) {
    Demo d;
    const auto& e = d.st.Firmware.Images[kLandscape16];
    std::string shown;
    ASSERT_EQ(EnterPictureSide(d.st, kLandscape16, SizeAxis::Width, "1a2", &shown).Status, EditStatus::Ok);
    EXPECT_EQ(shown, "12");
    EXPECT_EQ(e.Width, 12);
    EXPECT_EQ(EnterPictureSide(d.st, kLandscape16, SizeAxis::Width, "0", &shown).Status, EditStatus::OutOfRange);
    EXPECT_EQ(EnterPictureSide(d.st, kLandscape16, SizeAxis::Height, "400", &shown).Status, EditStatus::OutOfRange);
    EXPECT_EQ(shown, "400");
    EXPECT_EQ(EnterPictureSide(d.st, kLandscape16, SizeAxis::Height, "99999999999999999999", &shown).Status,
              EditStatus::OutOfRange);
    EXPECT_EQ(e.Width, 12);
    EXPECT_EQ(e.Height, 220);
    ASSERT_EQ(EnterPictureSide(d.st, kLandscape16, SizeAxis::Height, "x", &shown).Status, EditStatus::Ok);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(e.Height, 1);
    EXPECT_EQ(StepPictureSide(d.st, kLandscape16, SizeAxis::Width, 321).Status, EditStatus::OutOfRange);
}

TEST(PictureView, TransparentColourOnAndOffRecoloursPixelsThatHadItBefore) {
    Demo d;
    const uint32_t cyan = 0x00FFFF;  // the demo's transparent colour, as a pixel
    ASSERT_EQ(SwapRedBlue(static_cast<uint32_t>(d.st.FirmwareDescription.Transparent)), cyan);
    Picture src(16, 8, 0xFFFFFF);
    for (int x = 0; x < 4; ++x) src.At(x, 0) = 0xFF0000;  // red: the picked colour
    src.At(10, 5) = cyan;                                // already transparent
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("t.bmp", src)).Status, EditStatus::Ok);
    const auto& e = d.st.Firmware.Images[kSmiley09];

    EXPECT_EQ(CanPickTransparent(d.st, kSmiley09), EditStatus::Ok);
    EXPECT_EQ(CanPickTransparent(d.st, 1), EditStatus::NotReplaced09);
    EXPECT_TRUE(PickInsidePicture(d.st, kSmiley09, 31, 31));
    EXPECT_FALSE(PickInsidePicture(d.st, kSmiley09, 32, 0));
    EXPECT_EQ(RemoveTransparentColour(d.st, kSmiley09).Status, EditStatus::NoTransparency);

    const uint32_t redBgr = SwapRedBlue(0xFF0000);
    ASSERT_EQ(ApplyTransparentColour(d.st, kSmiley09, redBgr).Status, EditStatus::Ok);
    EXPECT_TRUE(e.HasTransp);
    EXPECT_EQ(static_cast<uint32_t>(e.TranspColor), redBgr);
    PicturePreview on = PreviewPicture(d.st, kSmiley09);
    ASSERT_TRUE(on.Ok);
    EXPECT_TRUE(on.HasTransp);
    EXPECT_EQ(on.Pic.At(0, 0), cyan);
    EXPECT_EQ(on.Pic.At(3, 0), cyan);
    EXPECT_EQ(on.Pic.At(4, 0), 0xFFFFFFu);
    EXPECT_EQ(std::count(on.Pic.Pixels.begin(), on.Pic.Pixels.end(), 0xFF0000u), 0);

    ASSERT_EQ(RemoveTransparentColour(d.st, kSmiley09).Status, EditStatus::Ok);
    EXPECT_FALSE(e.HasTransp);
    PicturePreview off = PreviewPicture(d.st, kSmiley09);
    EXPECT_EQ(off.Pic.At(0, 0), 0xFF0000u);
    EXPECT_EQ(off.Pic.At(10, 5), 0xFF0000u);  // was cyan before the colour was ever picked
    EXPECT_EQ(std::count(off.Pic.Pixels.begin(), off.Pic.Pixels.end(), cyan), 0);

    // restoring drops the transparency with the replacement
    ASSERT_EQ(ApplyTransparentColour(d.st, kSmiley09, redBgr).Status, EditStatus::Ok);
    ASSERT_EQ(RestoreEntry(d.st, kCatImages, kSmiley09).Status, EditStatus::Ok);
    EXPECT_FALSE(e.HasTransp);
    EXPECT_EQ(CanPickTransparent(d.st, kSmiley09), EditStatus::NotReplaced09);

    // only "09" replacements take a transparent colour
    ASSERT_EQ(ReplacePicture(d.st, kLandscape16, d.Bmp("t.bmp", src)).Status, EditStatus::Ok);
    EXPECT_EQ(ApplyTransparentColour(d.st, kLandscape16, redBgr).Status, EditStatus::NotReplaced09);
}

TEST(PictureView, DamagedReplacementFilesNeverCrashOrGetRewritten) {
    Demo d;
    ASSERT_EQ(ReplacePicture(d.st, kSmiley09, d.Bmp("p.bmp", Pattern(40, 30))).Status, EditStatus::Ok);
    const std::string path = d.Temp("tmpImage_0");
    const std::string full = flashsmith::test::Slurp(path);

    // data cut short: the preview decodes what there is, recolouring refuses
    const std::string cut = full.substr(0, full.size() / 2);
    ASSERT_TRUE(flashsmith::base::WriteFileAtomic(path, cut));
    PicturePreview p = PreviewPicture(d.st, kSmiley09);
    EXPECT_EQ(p.Width, 40);
    EditResult r = ApplyTransparentColour(d.st, kSmiley09, 0x0000FF);
    EXPECT_EQ(r.Status, EditStatus::ReplacementMissing);
    EXPECT_FALSE(d.st.Firmware.Images[kSmiley09].HasTransp);
    EXPECT_EQ(flashsmith::test::Slurp(path), cut);

    // header cut short, or the file gone
    ASSERT_TRUE(flashsmith::base::WriteFileAtomic(path, std::string("\x28", 1)));
    EXPECT_FALSE(PreviewPicture(d.st, kSmiley09).Ok);
    EXPECT_EQ(StepPictureSide(d.st, kSmiley09, SizeAxis::Width, 5).Status, EditStatus::ReplacementMissing);
    EXPECT_EQ(ChangePictureFormat(d.st, kSmiley09, kRaw16).Status, EditStatus::ReplacementMissing);
    std::remove(path.c_str());
    EXPECT_FALSE(PreviewPicture(d.st, kSmiley09).Ok);
    EXPECT_EQ(ApplyTransparentColour(d.st, kSmiley09, 0x0000FF).Status, EditStatus::NotReplaced09);

    // a table size far beyond any screen is not decoded
    d.st.Firmware.Images[1].Width = 60000;
    d.st.Firmware.Images[1].Height = 60000;
    EXPECT_FALSE(PreviewPicture(d.st, 1).Ok);
    EXPECT_EQ(PreviewPicture(d.st, 1).Width, 60000);
}

}  // namespace
