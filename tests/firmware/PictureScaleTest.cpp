#include <gtest/gtest.h>

#include "firmware/PictureScale.h"

using namespace flashsmith::firmware;

namespace {

uint32_t Gray(uint32_t v) { return v << 16 | v << 8 | v; }

TEST(PictureScale, AreaAveragingWeighsEverySourcePixelByItsCover) {
    // Black and white columns halve to mid grey, not to one of the two.
    Picture stripes(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) stripes.At(x, y) = x % 2 ? 0xFFFFFF : 0;
    Picture half = ScalePicture(stripes, 2, 1);
    EXPECT_EQ(half.Pixels, (std::vector<uint32_t>{Gray(128), Gray(128)}));

    // 3 -> 2: each target covers one and a half source pixels.
    Picture row(3, 1);
    row.At(0, 0) = Gray(0);
    row.At(1, 0) = Gray(90);
    row.At(2, 0) = Gray(210);
    Picture two = ScalePicture(row, 2, 1);
    EXPECT_EQ(two.Pixels, (std::vector<uint32_t>{Gray(30), Gray(170)}));

    // Channels stay apart.
    Picture rgb(2, 1);
    rgb.At(0, 0) = 0xFF0000;
    rgb.At(1, 0) = 0x0000FF;
    EXPECT_EQ(ScalePicture(rgb, 1, 1).Pixels, std::vector<uint32_t>{0x800080});
}

TEST(PictureScale, FitKeepsTheAspectAndCentresOnTheFill) {
    // 400 x 300 red into 24 x 12: 16 x 12, four fill columns each side.
    Picture wide(400, 300, 0xFF0000);
    Picture fit = FitPicture(wide, 24, 12, 0);
    ASSERT_EQ(fit.Width, 24);
    ASSERT_EQ(fit.Height, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 24; ++x) ASSERT_EQ(fit.At(x, y), x >= 4 && x < 20 ? 0xFF0000u : 0u) << x << "," << y;

    // A tall picture: 5 x 20, bars left and right.
    Picture tall(10, 40, 0x00FF00);
    fit = FitPicture(tall, 20, 20, 0x0000FF);
    EXPECT_EQ(fit.At(6, 10), 0x0000FFu);
    EXPECT_EQ(fit.At(7, 0), 0x00FF00u);
    EXPECT_EQ(fit.At(11, 19), 0x00FF00u);
    EXPECT_EQ(fit.At(12, 10), 0x0000FFu);

    // A smaller picture is not enlarged: centred as it is.
    Picture small(2, 2, 0x123456);
    fit = FitPicture(small, 6, 4, 0);
    EXPECT_EQ(fit.At(2, 1), 0x123456u);
    EXPECT_EQ(fit.At(3, 2), 0x123456u);
    EXPECT_EQ(fit.At(1, 1), 0u);
    EXPECT_EQ(fit.At(4, 2), 0u);

    // A very thin picture keeps at least one pixel.
    Picture line(1000, 1, 0xABCDEF);
    fit = FitPicture(line, 10, 10, 0);
    EXPECT_EQ(fit.At(5, 4), 0xABCDEFu);
    EXPECT_EQ(fit.At(5, 5), 0u);
    EXPECT_EQ(FitPicture(Picture(), 10, 10, 0).Width, 0);
}

}  // namespace
