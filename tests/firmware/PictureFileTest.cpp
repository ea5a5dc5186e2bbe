#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <unistd.h>

#include "base/FileUtil.h"
#include "firmware/PictureFile.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

namespace stdfs = std::filesystem;

// 7 x 5: odd width, so 24-bit and palette rows need padding; a different
// colour in every pixel (35 of them, more than a 4-bit palette holds) and
// pure colours in the corners to catch flipped rows or swapped channels.
Picture Distinct() {
    Picture p(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            p.At(x, y) = uint32_t((x * 37 + y * 71) & 0xFF) << 16 | uint32_t((x * 91 + y * 23 + 40) & 0xFF) << 8 |
                         uint32_t((x * 13 + y * 59 + 90) & 0xFF);
    p.At(0, 0) = 0xFF0000;
    p.At(6, 0) = 0x00FF00;
    p.At(0, 4) = 0x0000FF;
    p.At(6, 4) = 0xFFFFFF;
    return p;
}

// Only full or empty channels: exact in any bit-field depth.
Picture Primaries() {
    Picture p(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            int i = (x + 3 * y) % 8;
            p.At(x, y) = (i & 4 ? 0xFF0000u : 0) | (i & 2 ? 0x00FF00u : 0) | (i & 1 ? 0x0000FFu : 0);
        }
    p.At(0, 0) = 0xFF0000;
    p.At(6, 4) = 0x00FFFF;
    return p;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", v);
    return buf;
}

::testing::AssertionResult SamePixels(const Picture& got, const Picture& want, int tolerance = 0) {
    if (got.Width != want.Width || got.Height != want.Height)
        return ::testing::AssertionFailure() << "size " << got.Width << "x" << got.Height << ", want "
                                             << want.Width << "x" << want.Height;
    if (got.Pixels.size() != want.Pixels.size()) return ::testing::AssertionFailure() << "pixel count";
    for (int y = 0; y < want.Height; ++y)
        for (int x = 0; x < want.Width; ++x) {
            uint32_t a = got.At(x, y), b = want.At(x, y);
            for (int shift : {16, 8, 0}) {
                int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
                if (a >> 24 || d > tolerance || d < -tolerance)
                    return ::testing::AssertionFailure()
                           << "pixel (" << x << "," << y << ") is " << Hex(a) << ", want " << Hex(b);
            }
        }
    return ::testing::AssertionSuccess();
}

std::string Le16(uint32_t v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A bitmap file laid out by hand, for what ImageMagick does not write.
struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> masks;    // in the header from 52 bytes on, else after it
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::string data;
};

std::string MakeBmp(const BmpLayout& s) {
    std::string info;
    if (s.headerSize == 12) {
        info = Le32(12) + Le16(uint32_t(s.width)) + Le16(uint32_t(s.height)) + Le16(1) + Le16(s.bpp);
    } else {
        info = Le32(s.headerSize) + Le32(uint32_t(s.width)) + Le32(uint32_t(s.height)) + Le16(1) + Le16(s.bpp) +
               Le32(s.compression) + Le32(uint32_t(s.data.size())) + Le32(2835) + Le32(2835) + Le32(s.clrUsed) +
               Le32(0);
        if (s.headerSize >= 52)
            for (uint32_t m : s.masks) info += Le32(m);
        info.resize(s.headerSize, '\0');
        if (s.headerSize == 40)
            for (uint32_t m : s.masks) info += Le32(m);
    }
    for (uint32_t c : s.palette) {
        info += std::string{char(c & 0xFF), char(c >> 8 & 0xFF), char(c >> 16 & 0xFF)};
        if (s.headerSize != 12) info += '\0';
    }
    uint32_t off = 14 + uint32_t(info.size());
    return "BM" + Le32(off + uint32_t(s.data.size())) + Le32(0) + Le32(off) + info + s.data;
}

Picture Rows(int w, std::initializer_list<uint32_t> pixels) {
    Picture p(w, int(pixels.size()) / w);
    std::copy(pixels.begin(), pixels.end(), p.Pixels.begin());
    return p;
}

class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = stdfs::temp_directory_path() / ("fs_picture_test_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        stdfs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        stdfs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static bool HaveConvert() {
        static const bool have = std::system("convert -version >/dev/null 2>&1") == 0;
        return have;
    }

    static std::string Capture(const std::string& cmd) {
        std::string out;
        if (std::FILE* p = ::popen(cmd.c_str(), "r")) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
            ::pclose(p);
        }
        return out;
    }

    void WritePpm(const std::string& path, const Picture& p) {
        std::string bytes = "P6\n" + std::to_string(p.Width) + " " + std::to_string(p.Height) + "\n255\n";
        for (uint32_t c : p.Pixels) bytes += std::string{char(c >> 16), char(c >> 8 & 0xFF), char(c & 0xFF)};
        ASSERT_TRUE(WriteFileAtomic(path, bytes));
    }

    // Writes `picture` through convert with `options` to `name` in `target`
    // format ("BMP3:", "JPG:", ...) and returns the file's path.
    std::string Convert(const Picture& picture, const std::string& options, const std::string& target,
                        const std::string& name) {
        std::string ppm = Path("source.ppm"), out = Path(name);
        WritePpm(ppm, picture);
        std::string cmd = "convert '" + ppm + "' " + options + " '" + target + out + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }

    // ImageMagick's own reading of a file, for comparison.
    Picture ReadWithImageMagick(const std::string& path) {
        std::istringstream in(Capture("convert '" + path + "' -colorspace sRGB -depth 8 txt:- 2>/dev/null"));
        std::string line;
        std::getline(in, line);  // "# ImageMagick pixel enumeration: W,H,..."
        int w = 0, h = 0;
        std::sscanf(line.c_str(), "# ImageMagick pixel enumeration: %d,%d", &w, &h);
        Picture p(w, h);
        while (std::getline(in, line)) {
            int x, y;
            unsigned r, g, b;
            if (std::sscanf(line.c_str(), "%d,%d: (%u,%u,%u", &x, &y, &r, &g, &b) == 5 && x < w && y < h)
                p.At(x, y) = r << 16 | g << 8 | b;
        }
        return p;
    }

    stdfs::path dir_;
};

#define REQUIRE_CONVERT()                                        \
    if (!HaveConvert()) {                                        \
        GTEST_SKIP() << "ImageMagick's convert is not installed"; \
    }

TEST_F(PictureFiles, BmpWrittenByImageMagickInEveryDepth) {
    REQUIRE_CONVERT();
    struct Case {
        const char* options;
        const char* target;
        uint32_t headerSize;
        uint16_t bpp;
        uint32_t compression;
        bool lossless;  // else compared with ImageMagick's reading of the file
        bool primaries;
    } cases[] = {
        {"-type palette -compress None", "BMP3:", 40, 8, 0, true, false},
        {"-type palette -compress RLE", "BMP3:", 40, 8, 1, true, false},
        {"-colors 12 -type palette", "BMP3:", 40, 4, 0, false, false},
        {"-monochrome", "BMP3:", 40, 1, 0, false, false},
        {"", "BMP3:", 40, 24, 0, true, false},
        {"-type palette -compress None", "BMP:", 124, 8, 0, true, false},
        {"-alpha set -channel A -evaluate set 50% +channel", "BMP:", 124, 32, 3, true, false},
        {"-define bmp:subtype=RGB565", "BMP:", 124, 16, 3, true, true},
        {"", "BMP2:", 12, 24, 0, true, false},
        {"-type palette", "BMP2:", 12, 8, 0, true, false},
        {"-type palette", "BMP2:", 12, 4, 0, true, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.options);
        Picture source = c.primaries ? Primaries() : Distinct();
        std::string path = Convert(source, c.options, c.target, "f" + std::to_string(n++) + ".bmp");
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(path, bytes));
        // The fixture must really be the layout this case is about.
        ASSERT_GE(bytes.size(), 34u);
        ASSERT_EQ(uint8_t(bytes[14]), c.headerSize);
        ASSERT_EQ(uint8_t(bytes[c.headerSize == 12 ? 24 : 28]), c.bpp);
        if (c.headerSize != 12) {
            ASSERT_EQ(uint8_t(bytes[30]), c.compression);
        }

        Picture got;
        std::string err;
        ASSERT_TRUE(LoadBmp(path).Take(got, &err)) << err;
        EXPECT_TRUE(SamePixels(got, c.lossless ? source : ReadWithImageMagick(path)));
    }
}


TEST_F(PictureFiles, BitFieldFlagWithoutMasksIsRefused) {
    // ImageMagick's BMP3 writer sets the bit-field flag but puts the pixels
    // where the masks belong; reading pixels as masks would give garbage.
    REQUIRE_CONVERT();
    std::string path = Convert(Primaries(), "-define bmp:subtype=RGB565", "BMP3:", "nomasks.bmp");
    Picture got;
    std::string err;
    EXPECT_FALSE(LoadBmp(path).Take(got, &err));
    EXPECT_NE(err.find("mask"), std::string::npos) << err;
    EXPECT_NE(err.find(path), std::string::npos) << err;
}

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += char(v);
    return s;
}

Picture MustLoad(const std::string& bytes) {
    Picture p;
    std::string err;
    EXPECT_TRUE(LoadBmpBytes(bytes).Take(p, &err)) << err;
    return p;
}

TEST(BmpLayouts, RowOrderFollowsTheSignOfTheHeight) {
    BmpLayout s;
    s.width = 3;
    s.height = 2;
    // first row in the file: red green blue; second: white black gray; 3 padding bytes each
    s.data = Bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0xFFFFFF, 0, 0x808080, 0xFF0000, 0x00FF00, 0x0000FF})));
    s.height = -2;
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x808080})));

    // The last row's padding may be missing.
    s.data.resize(s.data.size() - 3);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x808080})));
}

TEST(BmpLayouts, SixteenAndThirtyTwoBitMasks) {
    BmpLayout s;
    s.width = 4;
    s.bpp = 16;
    // No masks: 5-5-5, top bit unused.
    s.data = Le16(0x7C00) + Le16(0x03E0) + Le16(0x801F) + Le16(0x4210);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(4, {0xFF0000, 0x00FF00, 0x0000FF, 0x848484})));

    // 5-6-5 masks after a 40-byte header.
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.data = Le16(0xF800) + Le16(0x07E0) + Le16(0x0020) + Le16(0xFFFF);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(4, {0xFF0000, 0x00FF00, 0x000400, 0xFFFFFF})));

    // V4 header, masks inside it, in an unusual order and width; a zero mask reads as 0.
    s.headerSize = 108;
    s.width = 3;
    s.bpp = 32;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    s.data = Le32(0xAA332211) + Le32(0x000000FF) + Le32(0x00FF0000);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0x112233, 0xFF0000, 0x0000FF})));
    s.headerSize = 124;
    s.masks = {0x3FF00000, 0, 0x000003FF};
    s.data = Le32(0x3FF00000) + Le32(0x200FFC00) + Le32(0xC00003FF);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0xFF0000, 0x800000, 0x0000FF})));

    // Without the bit-field flag the masks in a V5 header mean nothing; the fourth byte is dropped.
    s.compression = 0;
    s.data = Le32(0xFF102030) + Le32(0x00FFFFFF) + Le32(0x80000000);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0x102030, 0xFFFFFF, 0})));
}

TEST(BmpLayouts, PalettesOfEveryDepth) {
    BmpLayout s;
    // 8 bits, a palette of two: index 5 lies past it and draws black.
    s.width = 3;
    s.bpp = 8;
    s.clrUsed = 2;
    s.palette = {0xFF0000, 0x00FF00};
    s.data = Bytes({0, 1, 5, 0});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0xFF0000, 0x00FF00, 0})));

    // 4 bits, high nibble first, odd width; a palette shorter than declared ends at the pixels.
    s.bpp = 4;
    s.clrUsed = 0;
    s.palette = {0x000001, 0x000002, 0x000003};
    s.data = Bytes({0x21, 0x30, 0, 0});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(3, {0x000003, 0x000002, 0})));

    // 1 bit, most significant bit first, ten pixels over two bytes; a too-large count is capped.
    s.width = 10;
    s.bpp = 1;
    s.clrUsed = 300;
    s.palette = {0x000000, 0xFFFFFF};
    s.data = Bytes({0xA5, 0x40, 0, 0});
    const uint32_t W = 0xFFFFFF;
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(10, {W, 0, W, 0, 0, W, 0, W, 0, W})));

    // The OS/2 core header: 16-bit sizes, 3-byte palette entries.
    s.headerSize = 12;
    s.width = 2;
    s.bpp = 8;
    s.palette = {0x102030, 0x405060};
    s.data = Bytes({1, 0, 0, 0});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(2, {0x405060, 0x102030})));
}

// palette for the RLE cases: 0 is not black, so skipped pixels are told apart
const std::vector<uint32_t> kRlePalette = {0x111111, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

TEST(BmpRle, Rle8EscapesRunsAndClipping) {
    BmpLayout s;
    s.width = 6;
    s.height = 4;
    s.bpp = 8;
    s.compression = 1;
    s.palette = kRlePalette;
    s.data = Bytes({3, 1,              // three red
                    0, 3, 2, 3, 4, 0,  // absolute: green blue white, one pad byte
                    0, 0,              // end of line
                    0, 2, 2, 1,        // delta: two right, one row on; the skipped pixels stay black
                    8, 4,              // eight white from x = 2: clipped at the right edge
                    0, 0,              // end of line
                    2, 3,              // two blue
                    0, 1});            // end of bitmap; the rest stays black
    const uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;
    Picture bottomUp = Rows(6, {B, B, 0, 0, 0, 0,  //
                                    0, 0, W, W, W, W,  //
                                    0, 0, 0, 0, 0, 0,  //
                                    R, R, R, G, B, W});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), bottomUp));
    s.height = -4;
    Picture topDown(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) topDown.At(x, y) = bottomUp.At(x, 3 - y);
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), topDown));
}

TEST(BmpRle, Rle4NibblesAndOddAbsoluteRuns) {
    BmpLayout s;
    s.width = 5;
    s.height = 2;
    s.bpp = 4;
    s.compression = 2;
    for (uint32_t i = 0; i < 16; ++i) s.palette.push_back(i * 0x010203);
    s.data = Bytes({5, 0x12,                      // 1 2 1 2 1
                    0, 0,                         //
                    0, 5, 0x34, 0x56, 0x70, 0,    // absolute 3 4 5 6 7: three bytes and a pad
                    0, 1});
    auto c = [](uint32_t i) { return i * 0x010203; };
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)),
                           Rows(5, {c(3), c(4), c(5), c(6), c(7), c(1), c(2), c(1), c(2), c(1)})));
}

TEST(BmpRle, WhereTheDataMayEnd) {
    BmpLayout s;
    s.width = 2;
    s.height = 2;
    s.bpp = 8;
    s.compression = 1;
    s.palette = kRlePalette;
    Picture p;
    std::string err;
    // Ends after the last row without the end-of-bitmap escape: accepted.
    s.data = Bytes({2, 1, 0, 0, 2, 2});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(2, {0x00FF00, 0x00FF00, 0xFF0000, 0xFF0000})));
    // A delta past the top ends the picture like the end-of-bitmap escape.
    s.data = Bytes({2, 1, 0, 2, 0, 9, 2, 2});
    EXPECT_TRUE(SamePixels(MustLoad(MakeBmp(s)), Rows(2, {0, 0, 0xFF0000, 0xFF0000})));
    // Ends before the last row, inside a run, inside an absolute run or a delta: refused.
    for (const std::string& data : {Bytes({2, 1, 0, 0}), Bytes({2}), Bytes({0, 4, 1, 2}), Bytes({0, 2, 1})}) {
        s.data = data;
        EXPECT_FALSE(LoadBmpBytes(MakeBmp(s)).Take(p, &err));
        EXPECT_NE(err.find("truncated"), std::string::npos) << err;
    }
}

TEST(BmpHostile, RefusedWithAReasonAndOutputUntouched) {
    BmpLayout good;
    good.width = 2;
    good.data = Bytes({0, 0, 255, 0, 255, 0, 0, 0});
    auto with = [&](auto change) {
        BmpLayout s = good;
        change(s);
        return MakeBmp(s);
    };
    std::string ok = MakeBmp(good);
    std::string offPastEnd = ok, overlapping = ok, dataAtZero = ok;
    offPastEnd[10] = char(200);
    overlapping[10] = 20;
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"magic only", "BM"},
        {"not a bitmap", "PK" + ok.substr(2)},
        {"header cut", ok.substr(0, 30)},
        {"pixels cut", ok.substr(0, ok.size() - 4)},
        {"header size 20", with([](BmpLayout& s) { s.headerSize = 20; })},
        {"width 0", with([](BmpLayout& s) { s.width = 0; })},
        {"width negative", with([](BmpLayout& s) { s.width = -2; })},
        {"height 0", with([](BmpLayout& s) { s.height = 0; })},
        {"height INT32_MIN", with([](BmpLayout& s) { s.height = INT32_MIN; })},
        {"huge, data claimed", with([](BmpLayout& s) { s.width = 16384; s.height = 16384; })},
        {"too wide", with([](BmpLayout& s) { s.width = 16385; })},
        {"huge RLE", with([](BmpLayout& s) { s.width = s.height = 16384; s.bpp = 8; s.compression = 1; s.palette = {1}; s.data = Bytes({0, 1}); })},
        {"depth 7", with([](BmpLayout& s) { s.bpp = 7; })},
        {"RLE8 at 24 bits", with([](BmpLayout& s) { s.compression = 1; })},
        {"PNG inside", with([](BmpLayout& s) { s.compression = 5; })},
        {"bit fields at 24 bits", with([](BmpLayout& s) { s.compression = 3; s.masks = {0xFF, 0xFF00, 0xFF0000}; })},
        {"all masks zero", with([](BmpLayout& s) { s.bpp = 16; s.compression = 3; s.masks = {0, 0, 0}; s.data = Bytes({1, 2, 3, 4}); })},
        {"masks cut", with([](BmpLayout& s) { s.bpp = 16; s.compression = 3; s.masks = {0xF800}; s.data = ""; })},
        {"no palette", with([](BmpLayout& s) { s.bpp = 8; s.data = Bytes({0, 1, 0, 0}); })},
        {"pixel offset past the end", offPastEnd},
        {"pixel offset inside the header", overlapping},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Picture out(1, 1, 0x123456);
        std::string err;
        EXPECT_FALSE(LoadBmpBytes(c.bytes).Take(out, &err));
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(out.Width, 1);
        EXPECT_EQ(out.Pixels, std::vector<uint32_t>{0x123456});
    }
    EXPECT_TRUE(SamePixels(MustLoad(ok), Rows(2, {0xFF0000, 0x00FF00})));
}

// Cut and damaged versions of valid files must fail or load consistently,
// never read out of bounds (the sanitizer build watches this).
void Mangle(const std::string& valid, int seed) {
    Picture p;
    for (size_t n = 0; n < valid.size(); ++n) LoadBmpBytes(valid.substr(0, n)).Take(p);
    std::mt19937 rng(seed);
    for (int i = 0; i < 3000; ++i) {
        std::string bytes = valid;
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) bytes[rng() % bytes.size()] = char(rng());
        if (LoadBmpBytes(bytes).Take(p)) {
            ASSERT_GT(p.Width, 0);
            ASSERT_GT(p.Height, 0);
            ASSERT_EQ(p.Pixels.size(), size_t(p.Width) * size_t(p.Height));
            for (uint32_t c : p.Pixels) ASSERT_EQ(c >> 24, 0u);
        }
    }
}

TEST(BmpHostile, DamagedFilesNeverCrash) {
    BmpLayout rle;
    rle.width = 6;
    rle.height = 4;
    rle.bpp = 8;
    rle.compression = 1;
    rle.palette = kRlePalette;
    rle.data = Bytes({3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 8, 4, 0, 0, 2, 3, 0, 1});
    Mangle(MakeBmp(rle), 1);
    rle.bpp = 4;
    rle.compression = 2;
    Mangle(MakeBmp(rle), 2);
    BmpLayout fields;
    fields.width = 3;
    fields.height = 2;
    fields.bpp = 16;
    fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.data = std::string(16, '\x5A');
    Mangle(MakeBmp(fields), 3);
    BmpLayout pal;
    pal.width = 5;
    pal.height = 3;
    pal.bpp = 4;
    pal.palette = kRlePalette;
    pal.data = std::string(12, '\x37');
    Mangle(MakeBmp(pal), 4);
}

TEST_F(PictureFiles, Bmp32SavedReadsBackHereAndInImageMagick) {
    Picture p = Distinct();
    p.At(3, 2) |= 0xAB000000;  // stray high bits are not written
    std::string path = Path("out.bmp");
    std::string err;
    ASSERT_TRUE(SaveBmp32(path, p).Ok(&err)) << err;
    p.At(3, 2) &= 0xFFFFFF;

    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), 54u + 7 * 5 * 4);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(bytes.substr(14, 4), Le32(40));
    EXPECT_EQ(bytes.substr(22, 4), Le32(5));  // positive: bottom-up
    EXPECT_EQ(bytes.substr(28, 6), Le16(32) + Le32(0));
    for (size_t i = 54 + 3; i < bytes.size(); i += 4) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(bytes.substr(54, 4), Bytes({255, 0, 0, 0}));  // bottom-left pixel first: blue

    Picture back;
    ASSERT_TRUE(LoadBmp(path).Take(back, &err)) << err;
    EXPECT_TRUE(SamePixels(back, p));

    REQUIRE_CONVERT();
    EXPECT_EQ(Capture("identify -format '%m %w %h' '" + path + "'"), "BMP3 7 5");
    EXPECT_TRUE(SamePixels(ReadWithImageMagick(path), p));
}

TEST_F(PictureFiles, FailedSavesLeaveTheEarlierFile) {
    std::string path = Path("keep.bmp");
    ASSERT_TRUE(SaveBmp32(path, Distinct()));
    std::string err;
    Picture broken(3, 3);
    broken.Pixels.pop_back();
    for (const Picture& bad : {Picture(), Picture(0, 4), broken}) {
        err.clear();
        EXPECT_FALSE(SaveBmp32(path, bad).Ok(&err));
        EXPECT_FALSE(err.empty());
        err.clear();
        EXPECT_FALSE(SaveJpeg(path, bad, 100).Ok(&err));
        EXPECT_FALSE(err.empty());
    }
    EXPECT_FALSE(SaveBmp32(Path("no/such/dir.bmp"), Distinct()).Ok(&err));
    EXPECT_FALSE(SaveJpeg(Path("no/such/dir.jpg"), Distinct(), 100).Ok(&err));
    Picture back;
    ASSERT_TRUE(LoadBmp(path).Take(back, &err)) << err;
    EXPECT_TRUE(SamePixels(back, Distinct()));
    for (auto& e : stdfs::directory_iterator(dir_)) EXPECT_EQ(e.path().filename(), "keep.bmp");
}

// 48 x 40 with smooth areas and noise: big enough for quality to matter.
Picture Textured() {
    Picture p(48, 40);
    std::mt19937 rng(7);
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            p.At(x, y) = x < 24 ? uint32_t(x * 10) << 16 | uint32_t(y * 6) << 8 | 0x40 : rng() & 0xFFFFFF;
    return p;
}

TEST_F(PictureFiles, JpegSavedAtQualityHundredIsClose) {
    Picture p = Distinct();
    std::string path = Path("out.jpg");
    std::string err;
    ASSERT_TRUE(SaveJpeg(path, p, 100).Ok(&err)) << err;
    Picture back;
    ASSERT_TRUE(LoadJpeg(path).Take(back, &err)) << err;
    EXPECT_TRUE(SamePixels(back, p, 6));

    // The quality is honoured, not fixed.
    std::string best, worst;
    ASSERT_TRUE(EncodeJpeg(Textured(), 100).Take(best, &err)) << err;
    ASSERT_TRUE(EncodeJpeg(Textured(), 10).Take(worst, &err)) << err;
    EXPECT_LT(worst.size() * 2, best.size());

    REQUIRE_CONVERT();
    EXPECT_EQ(Capture("identify -format '%m %w %h %[colorspace]' '" + path + "'"), "JPEG 7 5 sRGB");
    EXPECT_TRUE(SamePixels(ReadWithImageMagick(path), back, 2));
}

TEST_F(PictureFiles, JpegGrayAndCmykFromImageMagick) {
    REQUIRE_CONVERT();
    Picture p = Textured();
    std::string err;
    struct Case {
        const char* options;
        const char* colorspace;
    } cases[] = {{"-quality 95", "sRGB"}, {"-colorspace Gray -quality 95", "Gray"}, {"-colorspace CMYK -quality 95", "CMYK"}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string path = Convert(p, c.options, "JPG:", "in" + std::to_string(n++) + ".jpg");
        ASSERT_EQ(Capture("identify -format '%[colorspace]' '" + path + "'"), c.colorspace);
        Picture got;
        ASSERT_TRUE(LoadJpeg(path).Take(got, &err)) << err;
        EXPECT_TRUE(SamePixels(got, ReadWithImageMagick(path), 3));
        if (std::string(c.colorspace) == "Gray") {
            for (uint32_t px : got.Pixels) ASSERT_TRUE((px >> 16) == (px & 0xFF) && (px >> 8 & 0xFF) == (px & 0xFF));
        }
    }
}

TEST(JpegHostile, DamagedDataFailsWithoutExiting) {
    std::string good, err;
    ASSERT_TRUE(EncodeJpeg(Distinct(), 90).Take(good, &err)) << err;
    Picture p(1, 1, 0x123456);
    for (size_t n = 0; n < good.size(); ++n) {
        err.clear();
        ASSERT_FALSE(LoadJpegBytes(good.substr(0, n)).Take(p, &err)) << n;
        ASSERT_FALSE(err.empty());
    }
    EXPECT_EQ(p.Pixels, std::vector<uint32_t>{0x123456});
    EXPECT_FALSE(LoadJpegBytes(Bytes({0xFF, 0xD8}) + "not a picture at all").Take(p, &err));

    // A frame header claiming 60000 x 60000 is refused before decoding.
    std::string huge = good;
    size_t sof = huge.find(Bytes({0xFF, 0xC0}));
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, Bytes({0xEA, 0x60, 0xEA, 0x60}));
    EXPECT_FALSE(LoadJpegBytes(huge).Take(p, &err));
    EXPECT_NE(err.find("too large"), std::string::npos) << err;

    std::mt19937 rng(11);
    for (int i = 0; i < 1500; ++i) {
        std::string bytes = good;
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) bytes[2 + rng() % (bytes.size() - 2)] = char(rng());
        if (LoadJpegBytes(bytes).Take(p)) {
            ASSERT_EQ(p.Pixels.size(), size_t(p.Width) * size_t(p.Height));
        }
    }
}

TEST_F(PictureFiles, FileTypeComesFromTheContentNotTheName) {
    std::string bmpNamedJpg = Path("a.jpg"), jpgNamedBmp = Path("b.bmp"), text = Path("c.bmp");
    ASSERT_TRUE(SaveBmp32(bmpNamedJpg, Distinct()));
    ASSERT_TRUE(SaveJpeg(jpgNamedBmp, Distinct(), 100));
    ASSERT_TRUE(WriteFileAtomic(text, std::string_view("hello")));
    Picture p;
    std::string err;
    ASSERT_TRUE(LoadPictureFile(bmpNamedJpg).Take(p, &err)) << err;
    EXPECT_TRUE(SamePixels(p, Distinct()));
    ASSERT_TRUE(LoadPictureFile(jpgNamedBmp).Take(p, &err)) << err;
    EXPECT_TRUE(SamePixels(p, Distinct(), 6));
    for (const std::string& bad : {text, Path("missing.bmp")}) {
        err.clear();
        EXPECT_FALSE(LoadPictureFile(bad).Take(p, &err));
        EXPECT_NE(err.find(bad), std::string::npos) << err;
    }
    EXPECT_FALSE(LoadBmp(jpgNamedBmp).Take(p, &err));
    EXPECT_FALSE(LoadJpeg(bmpNamedJpg).Take(p, &err));
}

// PNG in the colour types, depths and layouts people's files come in, each
// read to the pixels ImageMagick sees in it.
TEST_F(PictureFiles, PngOfEveryColourTypeFromImageMagick) {
    REQUIRE_CONVERT();
    struct Case {
        const char* options;
        const char* target;
        Picture picture;
    } cases[] = {
        {"", "PNG24:", Distinct()},
        {"-interlace PNG", "PNG24:", Distinct()},
        {"-depth 16", "PNG48:", Distinct()},
        {"", "PNG8:", Primaries()},
        {"-colorspace Gray", "PNG:", Distinct()},
        {"-colors 2 -colorspace Gray", "PNG:", Primaries()},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.options);
        const std::string path = Convert(c.picture, c.options, c.target, "p" + std::to_string(n++) + ".png");
        Picture got;
        std::string err;
        ASSERT_TRUE(LoadPictureFile(path).Take(got, &err)) << err;
        EXPECT_TRUE(SamePixels(got, ReadWithImageMagick(path), 1));
    }
}

TEST_F(PictureFiles, PngSeeThroughPixelsBecomeWhiteAndSavedPngReadsBack) {
    REQUIRE_CONVERT();
    // Left half opaque red, right half fully transparent.
    const std::string path = Path("alpha.png");
    const std::string cmd = "convert -size 2x2 xc:red -size 2x2 xc:none +append 'PNG32:" + path + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Picture got;
    std::string err;
    ASSERT_TRUE(LoadPictureFile(path).Take(got, &err)) << err;
    EXPECT_TRUE(SamePixels(got, Rows(4, {0xFF0000, 0xFF0000, 0xFFFFFF, 0xFFFFFF, 0xFF0000, 0xFF0000, 0xFFFFFF, 0xFFFFFF})));

    ASSERT_TRUE(SavePng(Path("saved.png"), Distinct()).Ok(&err)) << err;
    ASSERT_TRUE(LoadPictureFile(Path("saved.png")).Take(got, &err)) << err;
    EXPECT_TRUE(SamePixels(got, Distinct()));
    EXPECT_TRUE(SamePixels(ReadWithImageMagick(Path("saved.png")), Distinct()));
}

TEST_F(PictureFiles, GifFirstFrameWithInterlaceAndTransparency) {
    REQUIRE_CONVERT();
    // Few colours, so the GIF palette holds them exactly.
    const std::string plain = Convert(Primaries(), "", "GIF:", "plain.gif");
    const std::string interlaced = Convert(Primaries(), "-interlace GIF", "GIF:", "interlaced.gif");
    Picture got;
    std::string err;
    for (const std::string& path : {plain, interlaced}) {
        ASSERT_TRUE(LoadPictureFile(path).Take(got, &err)) << err;
        EXPECT_TRUE(SamePixels(got, Primaries())) << path;
    }
    // An animation: only its first frame; a frame smaller than the screen
    // at an offset, its see-through colour and the rest of the screen white.
    const std::string anim = Path("anim.gif");
    std::string cmd = "convert -size 3x2 xc:blue -size 3x2 xc:lime 'GIF:" + anim + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_TRUE(LoadPictureFile(anim).Take(got, &err)) << err;
    EXPECT_TRUE(SamePixels(got, Rows(3, {0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF})));
    const std::string offset = Path("offset.gif");
    cmd = "convert -size 2x1 xc:red -fill none -draw 'color 1,0 point' -page 4x3+1+2 'GIF:" + offset + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_TRUE(LoadPictureFile(offset).Take(got, &err)) << err;
    EXPECT_TRUE(SamePixels(got, Rows(4, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                         0xFFFFFF, 0xFFFFFF, 0xFF0000, 0xFFFFFF, 0xFFFFFF})));
}

TEST_F(PictureFiles, DamagedPngAndGifFailWithoutCrashing) {
    REQUIRE_CONVERT();
    std::string png, gif, err;
    ASSERT_TRUE(EncodePng(Distinct()).Take(png, &err)) << err;
    ASSERT_TRUE(ReadWholeFile(Convert(Primaries(), "", "GIF:", "g.gif"), gif).Ok(&err)) << err;
    Picture p(1, 1, 0x123456);
    // A PNG cut anywhere before its closing chunk.
    for (size_t n = 0; n + 12 < png.size(); ++n) ASSERT_FALSE(LoadPngBytes(png.substr(0, n)).Take(p)) << n;
    // A GIF cut before its last picture byte; what lies after (the
    // terminator) may go.
    for (size_t n = 0; n + 2 < gif.size(); ++n) ASSERT_FALSE(LoadGifBytes(gif.substr(0, n)).Take(p)) << n;
    EXPECT_EQ(p.Pixels, std::vector<uint32_t>{0x123456});

    // Headers claiming 60000 x 60000 pixels are refused before decoding.
    std::string huge = png;
    huge.replace(16, 8, Bytes({0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60}));
    EXPECT_FALSE(LoadPngBytes(huge).Take(p, &err));
    std::string wide = gif;
    wide.replace(6, 4, Bytes({0x60, 0xEA, 0x60, 0xEA}));
    EXPECT_FALSE(LoadGifBytes(wide).Take(p, &err));
    EXPECT_NE(err.find("too large"), std::string::npos) << err;

    std::mt19937 rng(5);
    for (const std::string* good : {&png, &gif})
        for (int i = 0; i < 800; ++i) {
            std::string bytes = *good;
            for (int e = 0; e < 1 + int(rng() % 4); ++e) bytes[8 + rng() % (bytes.size() - 8)] = char(rng());
            if (LoadPngBytes(bytes).Take(p) || LoadGifBytes(bytes).Take(p)) {
                ASSERT_EQ(p.Pixels.size(), size_t(p.Width) * size_t(p.Height));
            }
        }
}

}  // namespace
