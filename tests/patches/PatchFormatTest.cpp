#include <gtest/gtest.h>

#include <random>

#include "base/Hex.h"
#include "base/Text.h"
#include "patches/PatchFormat.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::patches;
namespace {

TEST(PatchHex, EveryByteRoundTripsInUpperCase) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string hex = BytesToHex(all);
    ASSERT_EQ(hex.size(), 512u);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(0x7F * 2, 6), "7F8081");
    EXPECT_EQ(hex.substr(496), "F8F9FAFBFCFDFEFF");
    std::string back = "stale";
    ASSERT_TRUE(HexToBytes(hex, &back));
    EXPECT_EQ(back, all);

    ASSERT_TRUE(HexToBytes("abCDef", &back));
    EXPECT_EQ(back, "\xAB\xCD\xEF");
    ASSERT_TRUE(HexToBytes("", &back));
    EXPECT_EQ(back, "");
    EXPECT_EQ(BytesToHex(""), "");
}

TEST(PatchHex, UnreadableTextGivesNoBytes) {
    for (const char* bad : {"0", "ABC", "0G", "G0", "00 1", " 001", "0x00", "00\xFF" "0", "-1"}) {
        std::string bytes = "stale";
        EXPECT_FALSE(HexToBytes(bad, &bytes)) << bad;
        EXPECT_TRUE(bytes.empty()) << bad;
        EXPECT_FALSE(HexByteCount(bad).has_value()) << bad;
    }
    // A bad pair at the very end still fails the whole text.
    std::string longText(200000, 'A');
    longText.back() = 'Z';
    std::string bytes;
    EXPECT_FALSE(HexToBytes(longText, &bytes));
}

TEST(PatchHex, CountAgreesWithDecoding) {
    std::mt19937 rng(5);
    const std::string alphabet = "0123456789abcdefABCDEFgG x";
    for (int i = 0; i < 2000; ++i) {
        std::string s;
        for (size_t k = rng() % 9; k > 0; --k) s += alphabet[rng() % (i % 2 ? 22 : alphabet.size())];
        std::string bytes;
        bool ok = HexToBytes(s, &bytes);
        std::optional<size_t> count = HexByteCount(s);
        ASSERT_EQ(ok, count.has_value()) << s;
        if (ok) {
            EXPECT_EQ(bytes.size(), *count);
        }
    }
}

TEST(PatchInt, ReadsDecimalAndPrefixedHexadecimal) {
    struct Case {
        const char* text;
        std::optional<int64_t> value;
    } cases[] = {
        {"16", 16},
        {"0x10", 16},
        {"0X10", 16},
        {"$10", 16},
        {"0x00000010", 16},
        {"0xffffffff", 4294967295},
        {"-1", -1},
        {"+5", 5},
        {"-0x10", -16},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"0x7FFFFFFFFFFFFFFF", INT64_MAX},
        {"9223372036854775808", std::nullopt},
        {"0x10000000000000000", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"1a", std::nullopt},
        {"12 ", std::nullopt},
        {"x10", std::nullopt},
        {"0x1G", std::nullopt},
        {"--1", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadPatchInt(c.text), c.value) << c.text;
}

TEST(PatchKeywords, CompareWithoutRegardToCase) {
    EXPECT_TRUE(SameTextNoCase("1.0A", "1.0a"));
    EXPECT_TRUE(SameTextNoCase("DeLeTeD", "deleted"));
    EXPECT_FALSE(SameTextNoCase("1.0", "1.0a"));
    EXPECT_FALSE(SameTextNoCase("img ", "img"));
    // Only ASCII letters fold; other bytes must match exactly.
    EXPECT_FALSE(SameTextNoCase("\xC0", "\xE0"));
}

TEST(PlaceholderSound, IsTheSilentSmafFile) {
    const std::string_view sound = PlaceholderSound();
    ASSERT_EQ(sound.size(), 157u);
    EXPECT_EQ(BytesToHex(sound),
              "4D4D4D4400000095434E54490000001E"
              "00010100004D323A002C41303A594B31"
              "3044392C41323A594B313043452C4154"
              "52000000006500001000020241737049"
              "0000001073743A000000002C73703A00"
              "00000A2C417473710000000E0100377F"
              "01010506FF0000000000417761010000"
              "00298080808080808080808080808080"
              "80808080808080808080808080808080"
              "80808080808080808080005CBE");
    // The file chunk's length field counts everything after its 8-byte header.
    EXPECT_EQ(static_cast<unsigned char>(sound[7]), sound.size() - 8);
}

}  // namespace
}  // namespace flashsmith
