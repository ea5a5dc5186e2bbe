#include <gtest/gtest.h>

#include "srecord/ReservedRegions.h"

namespace flashsmith {
using flashsmith::base::AddressRange;
using namespace flashsmith::srecord;
namespace {

TEST(ParseRegion, ReadsDecimalAndHexEndsAroundTheFirstDash) {
    EXPECT_EQ(ParseRegion(" 0x100 - 0X1FF ").Low, 0x100u);
    EXPECT_EQ(ParseRegion(" 0x100 - 0X1FF ").High, 0x1FFu);
    EXPECT_EQ(ParseRegion("16-32").Low, 16u);
    EXPECT_EQ(ParseRegion("16-32").High, 32u);
    EXPECT_EQ(ParseRegion("0xFFFFFFF0-0xFFFFFFFF").High, 0xFFFFFFFFu);
    EXPECT_EQ(ParseRegion("0-0x0").Low, 0u);  // zero is a number, not "unreadable"
    // Unreadable ends come back empty, each on its own.
    EXPECT_EQ(ParseRegion("0x10").High, std::nullopt);
    EXPECT_EQ(ParseRegion("zz-5").Low, std::nullopt);
    EXPECT_EQ(ParseRegion("zz-5").High, 5u);
    EXPECT_EQ(ParseRegion("1-2-3").High, std::nullopt);
    EXPECT_EQ(ParseRegion("0x-5").Low, std::nullopt);
    EXPECT_EQ(ParseRegion("0x100000000-0x1").Low, std::nullopt);
    EXPECT_EQ(ParseRegion("1A-5").Low, std::nullopt);  // hex digits need the prefix
}

TEST(RegionList, AppendAcceptsCompactTextAndListsTheStandardForm) {
    tReservedRegions list;
    ASSERT_EQ(AppendRegion(list, "0x1000-0x1fff").Status, RegionCheck::Ok);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(FormatRegion(list[0]), "0x00001000 - 0x00001FFF");
    ASSERT_EQ(AppendRegion(list, "  8192 -  9000 ").Status, RegionCheck::Ok);
    EXPECT_EQ(FormatRegion(list[1]), "0x00002000 - 0x00002328");
}

TEST(RegionList, AppendRefusesBadTextAndLeavesTheListAlone) {
    tReservedRegions list{AddressRange::Inclusive(0x100, 0x1FF)};
    EXPECT_EQ(AppendRegion(list, "0x300 - 0x200").Status, RegionCheck::LowNotBelowHigh);
    EXPECT_EQ(AppendRegion(list, "0x300 - 0x300").Status, RegionCheck::LowNotBelowHigh);
    EXPECT_EQ(AppendRegion(list, "0x300 - 0x40G").Status, RegionCheck::BadCharacter);
    EXPECT_EQ(AppendRegion(list, "0x300 , 0x400").Status, RegionCheck::BadCharacter);
    EXPECT_EQ(AppendRegion(list, "0x300 0x400").Status, RegionCheck::NoDash);
    EXPECT_EQ(AppendRegion(list, "- 0x400").Status, RegionCheck::Unreadable);
    EXPECT_EQ(AppendRegion(list, "0x300 - 0x400 - 0x500").Status, RegionCheck::Unreadable);
    EXPECT_EQ(AppendRegion(list, "X300 - 0x400").Status, RegionCheck::Unreadable);
    EXPECT_EQ(list.size(), 1u);
}

TEST(RegionList, OverlapIncludesBothEnds) {
    tReservedRegions list{AddressRange::Inclusive(0x100, 0x1FF)};
    RegionCheckResult r = AppendRegion(list, "0x1FF - 0x300");
    EXPECT_EQ(r.Status, RegionCheck::Overlaps);
    EXPECT_EQ(r.OverlapIndex, 0);
    EXPECT_EQ(AppendRegion(list, "0x0 - 0x100").Status, RegionCheck::Overlaps);
    EXPECT_EQ(AppendRegion(list, "0x0 - 0x1000").Status, RegionCheck::Overlaps);  // encloses it
    EXPECT_EQ(AppendRegion(list, "0x120 - 0x130").Status, RegionCheck::Overlaps);  // inside it
    EXPECT_EQ(AppendRegion(list, "0x200 - 0x300").Status, RegionCheck::Ok);
    EXPECT_EQ(AppendRegion(list, "0x0 - 0xFF").Status, RegionCheck::Ok);
    // Items stay in the order they were added.
    EXPECT_EQ(list, (tReservedRegions{AddressRange::Inclusive(0x100, 0x1FF), AddressRange::Inclusive(0x200, 0x300),
                                      AddressRange::Inclusive(0x0, 0xFF)}));
}

TEST(RegionList, ReplaceIgnoresOnlyTheSelectedItemAndDeleteNeedsAValidIndex) {
    tReservedRegions list{AddressRange::Inclusive(0x100, 0x1FF), AddressRange::Inclusive(0x300, 0x3FF)};
    // Growing a region over its own old extent is fine...
    EXPECT_EQ(ReplaceRegion(list, 0, "0x80 - 0x2FF").Status, RegionCheck::Ok);
    EXPECT_EQ(list[0], AddressRange::Inclusive(0x80, 0x2FF));
    // ...into its neighbour is not.
    EXPECT_EQ(ReplaceRegion(list, 0, "0x80 - 0x300").Status, RegionCheck::Overlaps);
    EXPECT_EQ(ReplaceRegion(list, 2, "0x1000 - 0x2000").Status, RegionCheck::NoSelection);
    EXPECT_EQ(ReplaceRegion(list, -1, "0x1000 - 0x2000").Status, RegionCheck::NoSelection);
    EXPECT_EQ(list[0], AddressRange::Inclusive(0x80, 0x2FF));

    EXPECT_EQ(DeleteRegion(list, 2), RegionCheck::NoSelection);
    EXPECT_EQ(DeleteRegion(list, 0), RegionCheck::Ok);
    EXPECT_EQ(list, (tReservedRegions{AddressRange::Inclusive(0x300, 0x3FF)}));
}

TEST(BinRangeFields, StartIsCorrectedAndBothNeedThePrefix) {
    BinRangeFields f = CheckBinRangeFields("junk", "", false);
    EXPECT_TRUE(f.Ok);
    EXPECT_EQ(f.StartText, "0x00000000");
    EXPECT_EQ(f.Start, 0u);

    EXPECT_FALSE(CheckBinRangeFields("256", "", false).Ok);  // readable but no "0x"
    f = CheckBinRangeFields("0x100", "0X180", true);
    EXPECT_TRUE(f.Ok);
    EXPECT_EQ(f.Start, 0x100u);
    EXPECT_EQ(f.Stop, 0x180u);
    EXPECT_FALSE(CheckBinRangeFields("0x100", "384", true).Ok);
    EXPECT_FALSE(CheckBinRangeFields("0x180", "0x100", true).Ok);
    EXPECT_FALSE(CheckBinRangeFields("0x100", "0x100", true).Ok);
}

}  // namespace
}  // namespace flashsmith
