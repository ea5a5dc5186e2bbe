#include <gtest/gtest.h>

#include <cstdint>

#include "base/AddressRange.h"

namespace {

using flashsmith::base::AddressRange;

constexpr int64_t k4G = int64_t{1} << 32;

TEST(AddressRangeTest, TopOfTheAddressSpaceDoesNotWrap) {
    const AddressRange whole = AddressRange::Inclusive(0, 0xFFFFFFFF);
    EXPECT_EQ(whole.Length, k4G);
    EXPECT_EQ(whole.End(), k4G);
    EXPECT_EQ(whole.Last(), 0xFFFFFFFFu);
    EXPECT_TRUE(whole.Contains(0xFFFFFFFF));
    EXPECT_FALSE(whole.Contains(k4G));

    const AddressRange top = AddressRange::Inclusive(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(top, (AddressRange{0xFFFFFFFF, 1}));
    EXPECT_EQ(top.End(), k4G);
    EXPECT_EQ(top.Last(), 0xFFFFFFFFu);

    // A description file may give a start and size whose sum passes 4 GiB.
    const AddressRange past{0xFFFFFF00, 0x7FFFFFFF};
    EXPECT_EQ(past.End(), 0xFFFFFF00 + int64_t{0x7FFFFFFF});
    EXPECT_TRUE(past.Contains(k4G + 5));
}

TEST(AddressRangeTest, EmptyRangesHoldAndMeetNothing) {
    const AddressRange empty{0x1000, 0};
    const AddressRange negative{0x1000, -16};
    const AddressRange around{0x0800, 0x1000};
    for (const AddressRange& r : {empty, negative}) {
        EXPECT_TRUE(r.Empty());
        EXPECT_FALSE(r.Contains(0x1000));
        EXPECT_FALSE(r.Contains(0x0FFF));
        EXPECT_FALSE(r.Overlaps(around));
        EXPECT_FALSE(around.Overlaps(r));
    }
    EXPECT_FALSE((AddressRange{0, 1}).Empty());
    EXPECT_TRUE(AddressRange{}.Empty());
    EXPECT_EQ(AddressRange::Between(0x2000, 0x1000), (AddressRange{0x2000, 0}));
    EXPECT_EQ(AddressRange::Between(0x1000, 0x1000).Length, 0);
    EXPECT_EQ(AddressRange::Between(0x1000, k4G), (AddressRange{0x1000, k4G - 0x1000}));
}

TEST(AddressRangeTest, OverlapNeedsOneSharedAddress) {
    const AddressRange a = AddressRange::Inclusive(0x100, 0x1FF);
    // Sharing only the address 0x1FF.
    EXPECT_TRUE(a.Overlaps(AddressRange::Inclusive(0x1FF, 0x300)));
    EXPECT_TRUE(AddressRange::Inclusive(0x1FF, 0x300).Overlaps(a));
    EXPECT_TRUE(a.Overlaps(AddressRange::Inclusive(0x000, 0x100)));
    // Touching ends share nothing, whichever side asks.
    for (const AddressRange& b : {AddressRange::Inclusive(0x200, 0x300), AddressRange::Inclusive(0x000, 0x0FF)}) {
        EXPECT_FALSE(a.Overlaps(b));
        EXPECT_FALSE(b.Overlaps(a));
    }
    // One inside the other.
    EXPECT_TRUE(a.Overlaps(AddressRange::Inclusive(0x150, 0x151)));
    EXPECT_TRUE(AddressRange::Inclusive(0, 0xFFFFFFFF).Overlaps(AddressRange::Inclusive(0xFFFFFFFF, 0xFFFFFFFF)));
}

TEST(AddressRangeTest, InclusiveAndExclusiveEndsAgree) {
    const AddressRange r = AddressRange::Inclusive(0x1000, 0x1FFF);
    EXPECT_EQ(r, (AddressRange{0x1000, 0x1000}));
    EXPECT_EQ(r.End(), 0x2000);
    EXPECT_EQ(r.Last(), 0x1FFFu);
    EXPECT_TRUE(r.Contains(0x1000));
    EXPECT_TRUE(r.Contains(0x1FFF));
    EXPECT_FALSE(r.Contains(0x0FFF));
    EXPECT_FALSE(r.Contains(0x2000));
    EXPECT_FALSE(r.Contains(-1));
    EXPECT_EQ(AddressRange::Inclusive(r.Start, r.Last()), r);
    EXPECT_EQ(AddressRange::Between(r.Start, r.End()), r);
    EXPECT_EQ(AddressRange::Inclusive(7, 7).Length, 1);
}

static_assert(AddressRange::Inclusive(0, 0xFFFFFFFF).End() == k4G, "usable in constant expressions");

}  // namespace
