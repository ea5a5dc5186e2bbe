#include <gtest/gtest.h>

#include "TestImage.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"

using namespace flashsmith::firmware;

namespace {

using flashsmith::test::ImageBytes;
using flashsmith::test::StateFor;

ParseResult Parse(FirmwareState& st, const std::string& ini = "") {
    return ParseTables(st, IniFile::Parse(ini));
}

TEST(PictureTable, LinksSizesKindsAndTheEnd) {
    ImageBytes img;
    const uint32_t t = 0x100;
    auto entry = [&](int i, uint16_t w, uint16_t h, uint32_t addr) { img.U16(t + 8 + 8 * i, w).U16(t + 10 + 8 * i, h).U32(t + 12 + 8 * i, addr); };
    entry(0, 4, 2, 0x1000);    // RAW16: 16 bytes
    entry(1, 3, 3, 0x2000);    // RAW8 with its size from the description: 5 x 2
    entry(2, 4, 2, 0x1000);    // shares entry 0's data
    entry(3, 8, 9, 0x3000);    // WBMP: 8 x 16 / 8
    entry(4, 1, 1, 0x1000);    // a third entry with that address links to the first
    entry(5, 2, 1, 0x4000);    // "09" (the default kind)
    entry(6, 5, 5, 0x5000);    // kind 7: unknown, size 0
    entry(7, 641, 1, 0x6000);  // too wide: ends the table
    entry(8, 1, 1, 0x7000);
    std::string px09;
    Encode09(Picture(2, 1, 0x00FF0000), 2, 1, px09, 0, 0);
    img.Put(0x4000, px09);
    auto st = StateFor(img);
    st.FirmwareDescription.ImageTable = t;
    auto r = Parse(st, "[IMAGE1]\nType=2\nID=5\n[IMAGE2]\nType=1\nWidth=5\nHeight=2\n[IMAGE3]\nType=2\n"
                       "[IMAGE4]\nType=3\nWidth=8\n[IMAGE5]\nType=2\n[IMAGE7]\nType=7\n");
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Flags, kTablePictures);
    const auto& im = st.Firmware.Images;
    ASSERT_EQ(im.size(), 7u);
    EXPECT_EQ(im[0].Size, 16);
    EXPECT_EQ(im[0].ID, 4);
    EXPECT_EQ(im[1].ID, -1);
    EXPECT_EQ(im[1].Width, 5);
    EXPECT_EQ(im[1].Size, 10);
    EXPECT_EQ(im[2].Link, 0);
    EXPECT_EQ(im[2].Address, -1);
    EXPECT_EQ(im[3].Width, 8);  // a lone width does not replace the table's pair
    EXPECT_EQ(im[3].Height, 9);
    EXPECT_EQ(im[3].Size, 16);
    EXPECT_EQ(im[4].Link, 0);
    EXPECT_EQ(im[5].Kind, 4);
    EXPECT_EQ(im[5].Size, static_cast<int32_t>(px09.size()));
    EXPECT_EQ(im[6].Size, 0);
    // linked entries are not counted
    EXPECT_EQ(st.Firmware.Regions[0].Used, 16 + 10 + 16 + static_cast<int32_t>(px09.size()));
}

TEST(PictureTable, EndsAtZeroSizeTallPicturesAndTheFileEnd) {
    for (auto [w, h] : {std::pair<uint16_t, uint16_t>{0, 0}, {10, 481}, {641, 10}}) {
        ImageBytes img(0x200);
        const uint32_t t = 0x10;
        img.U16(t + 8, 2).U16(t + 10, 2).U32(t + 12, 0x100);
        img.U16(t + 16, w).U16(t + 18, h).U32(t + 20, 0x100);
        img.U16(t + 24, 2).U16(t + 26, 2).U32(t + 28, 0x100);
        auto st = StateFor(img);
        st.FirmwareDescription.ImageTable = t;
        ASSERT_TRUE(Parse(st, "[IMAGE1]\nType=1\n[IMAGE3]\nType=1\n").Ok);
        EXPECT_EQ(st.Firmware.Images.size(), 1u) << w << "x" << h;
    }
    ImageBytes img(0x20);
    img.U16(0x10 + 8, 0).U16(0x10 + 10, 2).U32(0x10 + 12, 0);  // width 0 alone does not end it
    auto st = StateFor(img);
    st.FirmwareDescription.ImageTable = 0x10;
    ASSERT_TRUE(Parse(st).Ok);  // the next entry is cut by the end of the file
    EXPECT_EQ(st.Firmware.Images.size(), 1u);
    // an "09" picture wider than 321 counts 0 bytes
    ImageBytes wide(0x400);
    wide.U16(0x10 + 8, 322).U16(0x10 + 10, 1).U32(0x10 + 12, 0x100).Put(0x100, std::string("\x09\x01\xFF\xFF\x41\x00", 6));
    auto ws = StateFor(wide);
    ws.FirmwareDescription.ImageTable = 0x10;
    ASSERT_TRUE(Parse(ws).Ok);
    EXPECT_EQ(ws.Firmware.Images.at(0).Size, 0);
}

TEST(SoundTable, MarkersLimitsAndLinks) {
    ImageBytes img(0x2000);
    const uint32_t t = 0x100;
    auto entry = [&](int i, uint32_t addr, uint32_t size, uint32_t marker) {
        img.U32(t + 12 * i, addr).U32(t + 12 * i + 4, size).U32(t + 12 * i + 8, marker);
    };
    entry(0, 0x1000, 100, 1);
    entry(1, 0, 0, 7);  // zero address and size are accepted with a marker
    entry(2, 0x1000, 100, 1);
    entry(3, 0x1800, 0x80000, 0);
    entry(4, 0x1800, 0x80001, 1);  // too large: ends the table
    entry(5, 0x1900, 5, 1);
    auto st = StateFor(img);
    st.FirmwareDescription.SoundTable = t;
    st.FirmwareDescription.SndTableLength = 12;
    ASSERT_TRUE(Parse(st).Ok);
    const auto& s = st.Firmware.Sounds;
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[1].Size, 0);
    EXPECT_EQ(s[2].Link, 0);
    EXPECT_EQ(s[2].Address, 0x1000);  // sounds keep their address
    EXPECT_EQ(st.Firmware.Regions[1].Used, 100 + 0 + 0x80000);

    // Without a marker word, a zero size ends the table; so does an address
    // past the end of the file or a negative one.
    for (auto [addr, size] : {std::pair<uint32_t, uint32_t>{0x1000, 0}, {0x2001, 4}, {0x80000000, 4}}) {
        ImageBytes plain(0x2000);
        plain.U32(0x100, 0x1000).U32(0x104, 10).U32(0x108, addr).U32(0x10C, size).U32(0x110, 0x1000).U32(0x114, 10);
        auto ps = StateFor(plain);
        ps.FirmwareDescription.SoundTable = 0x100;
        ps.FirmwareDescription.SndTableLength = 4;  // up to 8 means 8-byte entries
        ASSERT_TRUE(Parse(ps).Ok);
        EXPECT_EQ(ps.Firmware.Sounds.size(), 1u) << addr << " " << size;
    }
}

TEST(JavaTable, AcceptsE_S100InAnyCaseSkipsOthersEndsAtEmptyPath) {
    ImageBytes img(0x1000);
    const uint32_t t = 0x100, len = 40;
    auto entry = [&](int i, const std::string& path, uint32_t size, uint32_t addr) {
        img.Put(t + len * i, path).U32(t + len * i + len - 8, size).U32(t + len * i + len - 4, addr);
    };
    entry(0, "e:\\s100\\#App\\a.jad", 10, 0x800);
    entry(1, "C:\\other\\x.cfg", 20, 0x900);
    entry(2, "E:\\S100\\#App\\a.jar", 30, 0xA00);
    entry(3, "", 40, 0xB00);
    entry(4, "E:\\S100\\late.jar", 50, 0xC00);
    auto st = StateFor(img);
    st.FirmwareDescription.JavaTable = t;
    st.FirmwareDescription.JavaTableLength = len;
    ASSERT_TRUE(Parse(st).Ok);
    const auto& j = st.Firmware.JavaApps;
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0].Path, "e:\\s100\\#App\\a.jad");
    EXPECT_EQ(j[1].Size, 30);
    EXPECT_EQ(j[1].Address, 0xA00);
    EXPECT_EQ(st.Firmware.Regions[2].Used, 40);
}

TEST(JavaTable, EntryCutByTheFileEndEndsTheOpen) {
    ImageBytes img(0x120);
    img.Put(0x100, "E:\\S100\\a.jar");
    auto st = StateFor(img);
    st.FirmwareDescription.JavaTable = 0x100;
    st.FirmwareDescription.JavaTableLength = 40;
    auto r = Parse(st);
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Error.find("past the end"), std::string::npos);
}

// Two languages per table; language 0's region holds 0x1000..0x10FF,
// language 1's 0x1100..0x11FF, table 2's regions 0x1200 and 0x1300.
ImageBytes LanguageImage() {
    ImageBytes img(0x2000, '\xFF');
    auto header = [&](uint32_t at, uint32_t ptrs, uint32_t count) { img.U32(at, ptrs).U32(at + 4, count).U32(at + 8, 0); };
    auto str = [&](uint32_t at, const std::string& s) { img.Put(at, s + std::string(1, '\0')); };
    header(0x100, 0x200, 4);
    header(0x10C, 0x300, 3);
    header(0x180, 0x400, 3);
    header(0x18C, 0x500, 1);
    str(0x1000, "Menu");
    str(0x1010, "OK");
    str(0x1100, "Menu FR");
    str(0x1200, "Book");
    str(0x1800, "Outside");
    str(0x1300 + 0x20, "AtEnd");   // exactly at its region's start + size
    img.U32(0x200, 0x1000).U32(0x204, 0x1010).U32(0x208, 0x1010).U32(0x20C, 0x1800);
    img.U32(0x300, 0x1100).U32(0x304, 0x1010).U32(0x308, 0x1100);
    img.U32(0x400, 0x1200).U32(0x404, 0x1000).U32(0x408, 0x1200);
    img.U32(0x500, 0x1320);
    return img;
}

FirmwareState LanguageState(const ImageBytes& img) {
    auto st = StateFor(img);
    st.FirmwareDescription.LanguageTable1 = 0x100;
    st.FirmwareDescription.LanguageTable2 = 0x180;
    st.FirmwareDescription.LanguageCount = 2;
    auto& r = st.Firmware.Regions;
    r[3] = {0x1000, 0x100, 0x100};
    r[4] = {0x1100, 0x100, 0x100};
    r[5] = {0x1200, 0x100, 0x100};
    r[6] = {0x1300, 0x20, 0x20};
    return st;
}

TEST(LanguageTables, LinksBorrowedAndOutsideStrings) {
    auto img = LanguageImage();
    auto st = LanguageState(img);
    auto r = Parse(st);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Flags, kTableLang1 | kTableLang2);
    const auto& s1 = st.Firmware.Strings1;
    ASSERT_EQ(s1.size(), 2u);
    ASSERT_EQ(s1[0].size(), 4u);
    EXPECT_EQ(s1[0][0].Text, "Menu");
    EXPECT_EQ(s1[0][1].Link, -1);
    EXPECT_EQ(s1[0][2].Link, 1);  // the same address as string 1
    EXPECT_EQ(s1[0][3].Text, "Outside");
    EXPECT_EQ(s1[0][3].Link, -1);  // in no region: editable
    EXPECT_EQ(s1[0][3].HomeLang, -1);
    EXPECT_EQ(s1[1][1].HomeLang, 0);  // borrowed from language 0
    EXPECT_EQ(s1[1][1].Link, 1);
    EXPECT_EQ(s1[1][0].Link, -1);
    EXPECT_EQ(s1[1][2].Link, 0);
    const auto& s2 = st.Firmware.Strings2;
    EXPECT_EQ(s2[0][1].HomeLang, 0);  // table 2 borrows from table 1's language 0
    EXPECT_EQ(s2[0][1].Link, 1);
    EXPECT_EQ(s2[0][2].Link, 0);
    EXPECT_EQ(s2[1][0].Text, "AtEnd");
    EXPECT_EQ(s2[1][0].Link, -1);  // the region's end counts as inside
    EXPECT_EQ(s2[1][0].HomeLang, -1);
    EXPECT_EQ(st.Firmware.LangHeaders2[0].TableAddr, 0x400u);
    EXPECT_EQ(st.Firmware.Regions[3].Used, 0x100);  // parsing leaves language regions alone
}

TEST(LanguageTables, LongStringsAndReadsPastTheEnd) {
    auto img = LanguageImage();
    img.Put(0x1000, std::string(300, 'a'));  // no zero within 255 bytes
    auto st = LanguageState(img);
    ASSERT_TRUE(Parse(st).Ok);
    EXPECT_EQ(st.Firmware.Strings1[0][0].Text, std::string(255, 'a'));

    for (auto corrupt : {std::pair<uint32_t, uint32_t>{0x20C, 0x7FFFFFF0},  // string address past the end
                         {0x104, 0x40000000}}) {                          // a count past the end
        auto bad = LanguageImage();
        bad.U32(corrupt.first, corrupt.second);
        auto bs = LanguageState(bad);
        EXPECT_FALSE(Parse(bs).Ok);
    }
    auto tail = LanguageImage();
    tail.Put(0x1FF0, std::string(16, 'z'));  // reaches the end without a zero
    tail.U32(0x20C, 0x1FF0);
    auto ts = LanguageState(tail);
    EXPECT_FALSE(Parse(ts).Ok);
}

}  // namespace
