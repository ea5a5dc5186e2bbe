#include <gtest/gtest.h>

#include <random>

#include "TestImage.h"
#include "firmware/Images.h"

using namespace flashsmith::firmware;

namespace {


std::unique_ptr<BinFile> Bytes(const std::string& s) { return BinFile::FromBytes(s); }

// The value a colour has after a trip through RGB565.
uint32_t Via565(uint32_t rgb) {
    return Rgb565To24(Rgb24To565(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                         static_cast<uint8_t>(rgb)));
}

TEST(ColourArithmetic, ConversionsTruncate) {
    EXPECT_EQ(Rgb565To24(0xFFFF), 0xFFFFFFu);
    EXPECT_EQ(Rgb565To24(0x0000), 0u);
    EXPECT_EQ(Rgb565To24(0x0801), (8u << 16) | 8u);  // 1 * 255 / 31 = 8 for red and blue
    EXPECT_EQ(Rgb565To24(0x0020), 4u << 8);             // 1 * 255 / 63 = 4 for green
    EXPECT_EQ(Rgb332To24(0xE0), 0xFF0000u);
    EXPECT_EQ(Rgb332To24(0x01), 85u);                   // 1 * 255 / 3
    EXPECT_EQ(Rgb332To24(0x04), 36u << 8);              // 1 * 255 / 7
    EXPECT_EQ(Rgb24To565(255, 255, 255), 0xFFFF);
    EXPECT_EQ(Rgb24To565(7, 3, 7), 0);
    EXPECT_EQ(Rgb24To565(8, 4, 8), 0x0821);
}

TEST(Encode09, SinglePixelAndPairAsInTheFormat) {
    std::string out;
    EXPECT_EQ(flashsmith::firmware::Encode09(Picture(1, 1, 0xFF0000), 1, 1, out, 0, 0), 6);
    EXPECT_EQ(out, std::string("\x09\x01\x00\xF8\x41\x00", 6));
    EXPECT_EQ(flashsmith::firmware::Encode09(Picture(2, 1, 0x0000FF), 2, 1, out, 0, 0), 6);
    EXPECT_EQ(out, std::string("\x09\x01\x1F\x00\xC2\x00", 6));
}

TEST(Encode09, LongRepeatsSplitAt63) {
    Picture p(102, 1, 0x00FF00);
    p.At(100, 0) = 0xFF0000;
    p.At(101, 0) = 0x0000FF;
    std::string out;
    flashsmith::firmware::Encode09(p, 102, 1, out, 0, 0);
    // palette: green (100 times) then red and blue in order of appearance
    ASSERT_EQ(static_cast<uint8_t>(out[1]), 3);
    const std::string runs = out.substr(2 + 6);
    EXPECT_EQ(runs, std::string("\xFF\x00\xE5\x00\x42\x01\x02", 7) + std::string(1, '\0'));
}

TEST(Encode09, LiteralRunsStopBeforeARepeat) {
    // a b c c: the literal run holds a, b; then c c repeats
    Picture p(4, 1);
    p.At(0, 0) = 0x100000;
    p.At(1, 0) = 0x200000;
    p.At(2, 0) = 0x300000;
    p.At(3, 0) = 0x300000;
    std::string out;
    flashsmith::firmware::Encode09(p, 4, 1, out, 0, 0);
    // counts: c twice first, then a, b
    EXPECT_EQ(out.substr(2 + 6), std::string("\x42\x01\x02\xC2\x00", 5) + std::string(1, '\0'));
}

TEST(Encode09, MoreThan127ColoursUseDirectValues) {
    Picture p(200, 1);
    for (int x = 0; x < 200; ++x) p.At(x, 0) = static_cast<uint32_t>(x % 32) << 19 | static_cast<uint32_t>(x / 32) << 10;  // distinct in RGB565
    std::string out;
    int32_t n = flashsmith::firmware::Encode09(p, 200, 1, out, 0, 0);
    EXPECT_EQ(static_cast<uint8_t>(out[1]), 127);
    EXPECT_EQ(n % 2, 0);
    // the first 127 colours are palette literals, the other 73 direct literals (control 0x00 + L)
    size_t pos = 2 + 254;
    int palettePixels = 0, directPixels = 0;
    while (pos < out.size() && (palettePixels + directPixels) < 200) {
        uint8_t c = static_cast<uint8_t>(out[pos++]);
        int len = c & 0x3F;
        if ((c >> 6) == 1) { palettePixels += len; pos += len; }
        else if ((c >> 6) == 0) { directPixels += len; pos += 2 * len; }
        else FAIL() << "unexpected repeat";
    }
    EXPECT_EQ(palettePixels, 127);
    EXPECT_EQ(directPixels, 73);
    Picture back(200, 1);
    EXPECT_EQ(flashsmith::firmware::Decode09(*Bytes(out), 0, 200, 1, back), n);
    for (int x = 0; x < 200; ++x) EXPECT_EQ(back.At(x, 0), Via565(p.At(x, 0)));
}

TEST(Encode09, SubstitutesTheOldColour) {
    Picture p(2, 1);
    p.At(0, 0) = 0x112233;  // as 0x00BBGGRR: 0x00332211
    p.At(1, 0) = 0xFFFFFF;
    std::string with, without;
    flashsmith::firmware::Encode09(p, 2, 1, with, 0x00FFFF00, 0x00332211);  // old -> cyan (BGR 0x00FFFF00)
    flashsmith::firmware::Encode09(p, 2, 1, without, 5, 5);
    Picture back(2, 1);
    flashsmith::firmware::Decode09(*Bytes(with), 0, 2, 1, back);
    EXPECT_EQ(back.At(0, 0), 0x00FFFFu);  // cyan in 0x00RRGGBB
    EXPECT_EQ(back.At(1, 0), 0xFFFFFFu);
    flashsmith::firmware::Decode09(*Bytes(without), 0, 2, 1, back);
    EXPECT_EQ(back.At(0, 0), Via565(0x112233));
}

TEST(Encode09, RoundTripsPicturesAcrossRowEnds) {
    std::mt19937 rng(42);
    for (auto [w, h] : {std::pair<int, int>{1, 1}, {7, 5}, {33, 17}, {320, 240}, {2, 300}}) {
        Picture p(w, h);
        // runs of random length and colour, crossing row ends
        uint32_t colour = 0;
        for (auto& px : p.Pixels) {
            if (rng() % 5 == 0) colour = rng() & 0xFFFFFF;
            if (rng() % 50 == 0) colour = rng() % 3 * 0x404040;  // a few frequent colours
            px = colour;
        }
        std::string out;
        int32_t n = flashsmith::firmware::Encode09(p, w, h, out, 0, 0);
        ASSERT_EQ(n, static_cast<int32_t>(out.size()));
        Picture back(w, h, 0xABCDEF);
        ASSERT_EQ(flashsmith::firmware::Decode09(*Bytes(out), 0, w, h, back), n) << w << "x" << h;
        for (size_t i = 0; i < p.Pixels.size(); ++i) ASSERT_EQ(back.Pixels[i], Via565(p.Pixels[i])) << i;
        std::string raw;
        ASSERT_EQ(flashsmith::firmware::EncodeRaw16(p, w, h, raw), w * h * 2);
        Picture back16(w, h);
        ASSERT_EQ(DecodeRaw16(*Bytes(raw), 0, w, h, back16), w * h * 2);
        EXPECT_EQ(back16.Pixels, back.Pixels);
    }
}

TEST(Decode09, RejectsBadPaletteSizesAndHandlesTruncation) {
    for (char n : {'\x00', '\x80'}) {
        Picture t(2, 2, 7);
        EXPECT_EQ(flashsmith::firmware::Decode09(*Bytes(std::string("\x09", 1) + n + std::string(20, '\x41')), 0, 2, 2, t), 0);
        EXPECT_EQ(t.Pixels, std::vector<uint32_t>(4, 7u));
    }
    // a run of length 0 covers all remaining pixels
    Picture t(3, 3, 7);
    EXPECT_EQ(flashsmith::firmware::Decode09(*Bytes(std::string("\x09\x01\xFF\xFF\xC0\x00", 6)), 0, 3, 3, t), 6);
    EXPECT_EQ(t.Pixels, std::vector<uint32_t>(9, 0xFFFFFFu));
    // data ending early: the decoded pixels are drawn, the rest untouched
    Picture u(4, 1, 7);
    EXPECT_EQ(flashsmith::firmware::Decode09(*Bytes(std::string("\x09\x01\xFF\xFF\xC2\x00", 6)), 0, 4, 1, u), 6);
    EXPECT_EQ(u.Pixels, (std::vector<uint32_t>{0xFFFFFF, 0xFFFFFF, 7, 7}));
    // a palette index past the palette keeps the colour; index N is black
    Picture v(3, 1, 7);
    flashsmith::firmware::Decode09(*Bytes(std::string("\x09\x01\xFF\xFF\x43\x00\x01\x05", 8)), 0, 3, 1, v);
    EXPECT_EQ(v.Pixels, (std::vector<uint32_t>{0xFFFFFF, 0, 0}));
    // a target smaller than the picture
    Picture small(1, 1);
    EXPECT_EQ(flashsmith::firmware::Decode09(*Bytes(std::string("\x09\x01\xFF\xFF\xC2\x00", 6)), 0, 2, 1, small), 0);
}

TEST(RawDecoders, PixelOrderAndLimits) {
    Picture t(2, 2);
    EXPECT_EQ(DecodeRaw8(*Bytes("\xE0\x1C\x03\xFF"), 0, 2, 2, t), 4);
    EXPECT_EQ(t.Pixels, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    EXPECT_EQ(DecodeRaw16(*Bytes(std::string("\x00\xF8\xE0\x07\x1F\x00\x00\x00", 8)), 0, 2, 2, t), 8);
    EXPECT_EQ(t.Pixels, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0}));
    Picture wide(640, 1);
    EXPECT_EQ(DecodeRaw16(*Bytes(std::string(641 * 2, '\0')), 0, 641, 1, wide), 0);
    EXPECT_EQ(DecodeRaw8(*Bytes("x"), 0, 0, 1, wide), 0);
}

TEST(WbmpDecoder, BandsOfEightRowsLeastSignificantBitOnTop) {
    Picture t(2, 10, 7);
    // band 0: column 0 = 0x01 (top pixel black), column 1 = 0x80 (row 7 black)
    // band 1: column 0 = 0x02 (row 9 black), column 1 = 0xFC (rows below the picture ignored)
    EXPECT_EQ(DecodeWbmp(*Bytes(std::string("\x01\x80\x02\xFC", 4)), 0, 2, 10, t), 4);
    EXPECT_EQ(t.At(0, 0), 0u);
    for (int y = 1; y < 10; ++y) EXPECT_EQ(t.At(0, y), y == 9 ? 0u : 0xFFFFFFu) << y;
    EXPECT_EQ(t.At(1, 7), 0u);
    EXPECT_EQ(t.At(1, 8), 0xFFFFFFu);
}

TEST(EncodeRaw16, FillsRowsInOrder) {
    Picture p(320, 240, 0xFFFFFF);
    p.At(0, 0) = 0xFF0000;
    p.At(319, 239) = 0x0000FF;
    std::string out;
    EXPECT_EQ(flashsmith::firmware::EncodeRaw16(p, 320, 240, out), 153600);
    EXPECT_EQ(out.substr(0, 4), std::string("\x00\xF8\xFF\xFF", 4));
    EXPECT_EQ(out.substr(153598), std::string("\x1F\x00", 2));
}

TEST(ClearPicture, LightGrey) {
    Picture p(3, 2, 1);
    flashsmith::firmware::ClearPicture(p);
    EXPECT_EQ(p.Pixels, std::vector<uint32_t>(6, 0xDDDDDDu));
}

}  // namespace
