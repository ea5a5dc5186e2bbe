// Edge cases of the table searches and the region estimate on hand-made bytes.
#include <gtest/gtest.h>

#include "support/BoundedRun.h"
#include "firmware/HostileImages.h"
#include "firmware/TestImage.h"
#include "profilecreator/RegionEstimate.h"
#include "profilecreator/TableSearch.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::profilecreator;

namespace {

using flashsmith::test::ImageBytes;

// A picture table entry with the display size 100 x 80 and a data offset.
void Screen(ImageBytes& img, size_t at, uint32_t data) { img.U16(at, 100).U16(at + 2, 80).U32(at + 4, data); }

TEST(FindImageTable, VotesOnTheMiddleHitAndWalksBackToTheZeroHeader) {
    ImageBytes img(0x4000);
    // Two tables, each headed by a zero word; entries hold non-zero sizes.
    for (size_t e = 0x108; e < 0x200; e += 8) img.U16(e, 8).U16(e + 2, 8).U32(e + 4, 0x3000);
    for (size_t e = 0x808; e < 0x900; e += 8) img.U16(e, 8).U16(e + 2, 8).U32(e + 4, 0x3000);
    Screen(img, 0x110, 0x3000);
    EXPECT_EQ(flashsmith::profilecreator::FindImageTable(*img.File(), 0, 100, 80, NullProgress()), -1);  // one hit is no table
    Screen(img, 0x810, 0x3000);
    Screen(img, 0x820, 0x3000);
    // hits at 0x110, 0x810, 0x820: the middle one lies in the second table
    EXPECT_EQ(flashsmith::profilecreator::FindImageTable(*img.File(), 0, 100, 80, NullProgress()), 0x800);
    Screen(img, 0x120, 0x3000);
    // four hits: the third (index 2) decides
    EXPECT_EQ(flashsmith::profilecreator::FindImageTable(*img.File(), 0, 100, 80, NullProgress()), 0x800);
    Screen(img, 0x130, 0x3000);
    EXPECT_EQ(flashsmith::profilecreator::FindImageTable(*img.File(), 0, 100, 80, NullProgress()), 0x100);
    Screen(img, 0x140, 0x9000);  // points past the end: not a picture entry
    Screen(img, 0x150, 0x9000);
    EXPECT_EQ(flashsmith::profilecreator::FindImageTable(*img.File(), 0, 100, 80, NullProgress()), 0x100);
    // a zero display size would match every zero word
    EXPECT_EQ(flashsmith::profilecreator::FindImageTable(*img.File(), 0, 0, 0, NullProgress()), -1);
}

TEST(ClassifyImages, EndsAtImplausibleEntriesAndDecidesByTheRoomLeft) {
    ImageBytes img(0x2000);
    img.U16(0x108, 20).U16(0x10A, 481).U32(0x10C, 0x1000);
    EXPECT_TRUE(flashsmith::profilecreator::ClassifyImages(*img.File(), 0, 0x100).empty());
    // A one-colour "09" header (palette of 1) counts as "09" only when its
    // decoded size fills the room up to the next picture.
    img.U16(0x108, 4).U16(0x10A, 2).U32(0x10C, 0x1000);
    img.Put(0x1000, std::string("\x09\x01\x00\xF8\xC8\x00", 6));  // 8 pixels of palette colour 0
    img.U16(0x110, 4).U16(0x112, 2).U32(0x114, 0x1006);  // 8 bytes of room: RAW8
    img.U16(0x118, 4).U16(0x11A, 2).U32(0x11C, 0x100E);  // far from the next: RAW16
    img.U16(0x120, 4).U16(0x122, 2).U32(0x124, 0x1100);
    img.U16(0x128, 4).U16(0x12A, 2).U32(0x12C, 0x100);  // below the start: the table ends
    EXPECT_TRUE(flashsmith::profilecreator::ClassifyImages(*img.File(), 0x1001, 0x100).empty());
    auto found = flashsmith::profilecreator::ClassifyImages(*img.File(), 0x200, 0x100);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(std::make_tuple(found[0].Kind, found[0].Size), std::make_tuple(int32_t(k09), 6));
    EXPECT_EQ(std::make_tuple(found[1].Kind, found[1].Size), std::make_tuple(int32_t(kRaw8), 8));
    EXPECT_EQ(std::make_tuple(found[2].Kind, found[2].Size), std::make_tuple(int32_t(kRaw16), 16));
    EXPECT_EQ(found[3].Kind, k09);  // the last one always
    EXPECT_EQ(found[3].ID, -1);
    img.Put(0x1000, std::string("\x09\x01\x00\xF8\xC4\x00", 6));  // decodes to 4 pixels only: not "09"
    EXPECT_NE(flashsmith::profilecreator::ClassifyImages(*img.File(), 0x200, 0x100)[0].Kind, k09);
}

TEST(FindSoundTable, TwoSoundsShareTheirGapAndOneIsNotEnough) {
    ImageBytes img(0x3000);
    img.Put(0x1000, std::string("MMMD\0\0\0\x20", 8));
    EXPECT_EQ(flashsmith::profilecreator::FindSoundTable(*img.File(), 0, NullProgress()).Table, -1);
    img.U32(0x200, 0x1000);
    EXPECT_EQ(flashsmith::profilecreator::FindSoundTable(*img.File(), 0, NullProgress()).Table, -1);  // one sound: no gap to measure
    img.Put(0x1100, std::string("MMMD\0\0\0\x20", 8)).U32(0x214, 0x1100);
    img.Put(0x1200, std::string("MMMD\x7F\0\0\0", 8)).U32(0x228, 0x1200);  // chunk too large: no sound
    auto found = flashsmith::profilecreator::FindSoundTable(*img.File(), 0, NullProgress());
    EXPECT_EQ(std::tie(found.Table, found.RecordLength, found.SizeOfs, found.VolOfs), std::make_tuple(0x200, 20, 4, 17));
}

TEST(FindJavaTable, RecordLengthFromTheWordAt128) {
    ImageBytes img(0x1000);
    img.Put(0x300, "e:\\S100\\manager_a.jad").U32(0x380, 77);
    auto found = flashsmith::profilecreator::FindJavaTable(*img.File(), 0, NullProgress());
    EXPECT_EQ(std::tie(found.Table, found.RecordLength), std::make_tuple(0x300, 136));
    img.U32(0x380, 0);
    EXPECT_EQ(flashsmith::profilecreator::FindJavaTable(*img.File(), 0, NullProgress()).RecordLength, 392);
    EXPECT_EQ(flashsmith::profilecreator::FindJavaTable(*img.File(), 0x301, NullProgress()).Table, -1);
}

// n language headers at at, each with count strings of len bytes in a block.
void Languages(ImageBytes& img, size_t at, int n, int count, uint32_t strings) {
    for (int k = 0; k < n; ++k) {
        const uint32_t pointers = 0x2000 + 0x1000 * static_cast<uint32_t>(at / 0x100 % 8) + 0x400 * k;
        img.U32(at + 12 * k, pointers).U32(at + 12 * k + 4, static_cast<uint32_t>(count));
        for (int i = 0; i < count; ++i) img.U32(pointers + 4 * i, strings + 10 * i).Put(strings + 10 * i, "string#0");
    }
}

TEST(FindLanguageTables, RunsOfThreeValidHeadersOnly) {
    ImageBytes img(0x20000);
    Languages(img, 0x100, 2, 256, 0x10000);  // two headers: never a table
    Languages(img, 0x200, 3, 256, 0x10000);
    Languages(img, 0x300, 3, 256, 0x10000);
    img.U32(0x5400 + 4 * 255, 0x30000);  // one pointer of the third run lies outside the image
    EXPECT_EQ(flashsmith::profilecreator::FindLanguageTables(*img.File(), 0, NullProgress()), (std::vector<int32_t>{0x200}));
    EXPECT_EQ(CountLanguages(*img.File(), 0x200), 3);
}

TEST(FindLanguageTables, ImageLongRunOfHeadersSharingOneFullTableIsCheckedOnce) {
    // Every header names the same 16382-pointer table: checking each header
    // by reading its pointers would take billions of reads on 4 MiB.
    const size_t size = 4 << 20, table = 0x1001, count = 16382;  // an odd table offset
    ImageBytes img(size);
    for (size_t i = 0; i < count; ++i) img.U32(table + 4 * i, 0x20);
    img.U32(table + 4 * count, 0xFFFFFFFF);  // the word just past the table is no pointer
    // Three headers one word further on take in that word: never a table.
    for (size_t k = 0; k < 3; ++k) img.U32(0x11000 + 12 * k, table + 4).U32(0x11004 + 12 * k, count);
    size_t at = 0x11100;
    for (; at + 12 + 64 <= size; at += 12) img.U32(at, table).U32(at + 4, count);
    EXPECT_EQ(flashsmith::profilecreator::FindLanguageTables(*img.File(), 0, NullProgress()), (std::vector<int32_t>{0x11100}));
    EXPECT_EQ(CountLanguages(*img.File(), 0x11100), static_cast<int32_t>((at - 0x11100) / 12));
}

// Counts what a search reports: the page's bar and event loop live on it.
class CountingProgress : public ProgressSink {
public:
    void SetRange(int64_t max) override { range = max; }
    void SetPosition(int64_t pos) override {
        if (pos < position) ++backwards;
        position = pos;
    }
    void Step(int64_t n) override {
        position += n;
        longestStep = std::max(longestStep, n);
    }
    void ProcessEvents() override {
        ++events;
        longestQuiet = std::max(longestQuiet, position - lastEvents);
        lastEvents = position;
    }
    int64_t range = 0, position = 0, longestStep = 0, lastEvents = 0, longestQuiet = 0;
    int events = 0, backwards = 0;
};

TEST(SearchTables, ProgressRunsOnceOverTheImageAndTheEventLoopRunsEveryMebibyte) {
    ImageBytes img(6 << 20);
    img.Put(0x1000, std::string("MMMD\0\0\0\x20", 8)).Put(0x2000, std::string("MMMD\0\0\0\x20", 8));
    img.U32(0x200, 0x1000).U32(0x210, 0x2000);
    for (bool sounds : {false, true}) {
        TableSearchRequest all;
        all.SearchImages = all.SearchJava = all.SearchLanguages = true;
        all.SearchSounds = sounds;
        all.DisplayWidth = 176;
        all.DisplayHeight = 220;
        CountingProgress progress;
        const auto found = flashsmith::profilecreator::SearchTables(*img.File(), 0x100, all, progress);
        EXPECT_EQ(found.Sound.Table, sounds ? 0x200 : -1);
        // a second read for the sound pointers: twice the range
        EXPECT_EQ(progress.range, (6 << 20) * (sounds ? 2 : 1) - 0x100 * (sounds ? 2 : 1));
        EXPECT_GE(progress.position, progress.range - 64);
        EXPECT_LE(progress.position, progress.range);
        EXPECT_EQ(progress.backwards, 0);
        EXPECT_LE(progress.longestQuiet, (1 << 20) + (64 << 10));
        EXPECT_GE(progress.events, sounds ? 12 : 6);
    }
}

TEST(LanguageRegions, LaterBlockOnlyAndShortRegionsSuppressAll) {
    ImageBytes img(0x20000);
    Languages(img, 0x200, 3, 256, 0x10000);  // 2560 bytes each, shared
    Languages(img, 0x300, 3, 256, 0x10000);
    auto regions = FindLanguageRegions(*img.File(), 0x200, 3);
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0], (AddressRange{0x10000, 2550 + 9}));
    EXPECT_EQ(flashsmith::profilecreator::LanguageRegions(*img.File(), 0x200, 0x300, 3).size(), 6u);
    // A string far before the others starts an earlier block that is left out.
    img.U32(0x4000, 0x8000).Put(0x8000, "far");
    EXPECT_EQ(FindLanguageRegions(*img.File(), 0x200, 3)[0], (AddressRange{0x1000A, 2540 + 9}));
    // One language of 2048 bytes or less: no language regions at all.
    img.U32(0x304, 200);         // table 2, language 0: 200 strings, 1999 bytes
    EXPECT_EQ(FindLanguageRegions(*img.File(), 0x300, 3).size(), 2u);
    EXPECT_TRUE(flashsmith::profilecreator::LanguageRegions(*img.File(), 0x200, 0x300, 3).empty());
    EXPECT_TRUE(FindLanguageRegions(*img.File(), 0, 3).empty());
}

TEST(ComputeRegions, CategoriesWithoutTablesAndLowerCaseJavaPaths) {
    ImageBytes img(0x2000);
    img.Put(0x100, "e:\\s100\\a.jar").U32(0x100 + 24, 0x40).U32(0x100 + 28, 0x1000);
    img.Put(0x120, "C:\\x").U32(0x120 + 24, 0x40).U32(0x120 + 28, 0x10);
    img.Put(0x140, "E:\\S100\\b.jad").U32(0x140 + 24, 0x20).U32(0x140 + 28, 0x1800);
    FoundTables t;
    t.JavaTable = 0x100;
    t.JavaTableLength = 32;
    t.SoundTable = 0x400;  // a table whose first entry ends it
    t.SndTableLength = 8;
    auto r = flashsmith::profilecreator::ComputeRegions(*img.File(), t);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], (AddressRange{}));
    EXPECT_EQ(r[1], (AddressRange{}));
    EXPECT_EQ(r[2], (AddressRange{0x1000, 0x820}));
}

}  // namespace

namespace {

// The classification measures each distinct picture once and stops measuring
// overlapping ones after a linear amount of work.
TEST(ClassifyImages, HostileTablesCostLinearWork) {
    for (bool same : {true, false}) {
        const auto img = flashsmith::test::HostilePictureImage(200000, same);
        const auto cost = flashsmith::test::RunBounded([&] {
            const auto images = flashsmith::profilecreator::ClassifyImages(*img.File(), 0, flashsmith::test::kHostilePictureTable);
            return images.size() == 200000;
        });
        EXPECT_TRUE(cost.WithinBounds() && cost.ExitCode == 0) << (same ? "one picture: " : "overlapping: ") << cost;
    }
}

}  // namespace
