// Tables that name the same data over and over open, or are refused, in
// bounded time and memory (measured in a child process).
#include <gtest/gtest.h>

#include "support/BoundedRun.h"
#include "firmware/Firmware.h"
#include "firmware/HostileImages.h"

using namespace flashsmith::firmware;

namespace {

using flashsmith::test::HostileLanguageImage;
using flashsmith::test::HostilePictureImage;
using flashsmith::test::RunBounded;

TEST(HostileTables, PictureEntriesSharingOnePictureAreMeasuredOnce) {
    const auto img = HostilePictureImage(200000, true);
    const auto cost = RunBounded([&] {
        auto st = flashsmith::test::StateFor(img);
        st.FirmwareDescription.ImageTable = flashsmith::test::kHostilePictureTable;
        const auto r = ParseTables(st, IniFile::Parse(""));
        const auto& images = st.Firmware.Images;
        // one picture of 6 bytes, linked 199,999 times
        return r.Ok && images.size() == 200000 && images[0].Size == 6 && images.back().Link == 0 &&
               st.Firmware.Regions[0].Used == 6;
    });
    EXPECT_TRUE(cost.WithinBounds() && cost.ExitCode == 0) << cost;
}

TEST(HostileTables, OverlappingPicturesAreRefusedOnceTheyReadMoreThanTheImage) {
    const auto img = HostilePictureImage(200000, false);
    const auto cost = RunBounded([&] {
        auto st = flashsmith::test::StateFor(img);
        st.FirmwareDescription.ImageTable = flashsmith::test::kHostilePictureTable;
        const auto r = ParseTables(st, IniFile::Parse(""));
        return !r.Ok && r.Error.find("overlap") != std::string::npos;
    });
    EXPECT_TRUE(cost.WithinBounds() && cost.ExitCode == 0) << cost;

    // A few overlapping pictures stay within the budget and open.
    const auto few = HostilePictureImage(3, false);
    auto st = flashsmith::test::StateFor(few);
    st.FirmwareDescription.ImageTable = flashsmith::test::kHostilePictureTable;
    ASSERT_TRUE(ParseTables(st, IniFile::Parse("")).Ok);
    EXPECT_EQ(st.Firmware.Images[2].Size, 321 * 321 * 3 + 2 + 2 + 1);
}

TEST(HostileTables, LanguagesNamingOnePointerTableAreRefused) {
    // 8 languages over a 4 MiB image, and 4096 over 2.4 MB as a description
    // file may ask: unbounded, both would take gigabytes.
    for (auto [size, count] : {std::pair<size_t, uint32_t>{4u << 20, 8}, {2400000, 4096}}) {
        const auto img = HostileLanguageImage(size, count);
        const auto cost = RunBounded([&] {
            auto st = flashsmith::test::StateFor(img);
            const auto ini = IniFile::Parse("[TABLES]\nLanguageTable1=0x800\nLanguageCount=" + std::to_string(count));
            ReadDescription(st, ini);
            const auto r = ParseTables(st, ini);
            return !r.Ok && r.Error.find("more data than the image can hold") != std::string::npos;
        });
        EXPECT_TRUE(cost.WithinBounds() && cost.ExitCode == 0) << count << " languages: " << cost;
    }

    // Sharing within reason is legal: three languages on one table of 2,000
    // pointers to one long string.
    auto img = HostileLanguageImage(0x10000 + 8000, 3);
    auto st = flashsmith::test::StateFor(img);
    const auto ini = IniFile::Parse("[TABLES]\nLanguageTable1=0x800\nLanguageCount=3");
    ReadDescription(st, ini);
    ASSERT_TRUE(ParseTables(st, ini).Ok);
    ASSERT_EQ(st.Firmware.Strings1.size(), 3u);
    EXPECT_EQ(st.Firmware.Strings1[2].size(), 2000u);
    EXPECT_EQ(st.Firmware.Strings1[2][1999].Text, std::string(254, 's'));
}

}  // namespace

namespace {

// Found by fuzzing: a description asking for 93,000 languages of table 2
// over a small image makes every header a language with its own pointers,
// every string checked against the regions. The work stays within the
// tables' memory budget.
TEST(HostileTables, TensOfThousandsOfLanguagesStayWithinTheBudget) {
    flashsmith::test::ImageBytes img(1 << 20);
    img.Put(0x100, std::string(40, 'w'));
    const uint32_t count = 80000;
    for (uint32_t k = 0; k < count; ++k) img.U32(0x1000 + 12 * k, 0x100000 - 0x4000).U32(0x1004 + 12 * k, 0x1000);
    for (uint32_t i = 0; i < 0x1000; ++i) img.U32(0x100000 - 0x4000 + 4 * i, 0x100 + i % 8);
    const auto cost = RunBounded([&] {
        auto st = flashsmith::test::StateFor(img);
        const auto ini = IniFile::Parse("[TABLES]\nLanguageTable2=0x1000\nLanguageCount=" + std::to_string(count));
        ReadDescription(st, ini);
        const auto r = ParseTables(st, ini);
        return !r.Ok && r.Error.find("more data than the image can hold") != std::string::npos;
    });
    EXPECT_TRUE(cost.WithinBounds() && cost.ExitCode == 0) << cost;
}

}  // namespace
