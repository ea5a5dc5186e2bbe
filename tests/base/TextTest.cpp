#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/Cp1251.h"
#include "base/Hex.h"
#include "base/Numbers.h"
#include "base/Result.h"
#include "base/Text.h"

using namespace flashsmith::base;

namespace {


TEST(HexStr, PadsToEightUpperCaseDigits) {
    EXPECT_EQ(flashsmith::base::HexStr(0), "0x00000000");
    EXPECT_EQ(flashsmith::base::HexStr(255), "0x000000FF");
    EXPECT_EQ(flashsmith::base::HexStr(0xFFFFFFFF), "0xFFFFFFFF");
    EXPECT_EQ(flashsmith::base::HexStr(0xABC123), "0x00ABC123");
    EXPECT_EQ(HexByteTable()[0], "00");
    EXPECT_EQ(HexByteTable()[0xA5], "A5");
}

TEST(AnsiFromUtf8, DecodesToWindows1251) {
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("Menu"), "Menu");
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("\xD0\x9C\xD0\xB5\xD0\xBD\xD1\x8E"), "\xCC\xE5\xED\xFE");  // "Меню"
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("\xE2\x82\xAC"), "\x88");  // the euro sign, three bytes
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("\xC3\xA8"), "?");         // è is not in the code page
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("ab\xC3"), "");            // cut sequence
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("a\x80"), "");             // stray continuation byte
    EXPECT_EQ(flashsmith::base::AnsiFromUtf8("\xF0\x9F\x98\x80"), "");  // four-byte sequences are not decoded
    EXPECT_EQ(Utf8FromAnsi("\xCC\xE5\xED\xFE"), "\xD0\x9C\xD0\xB5\xD0\xBD\xD1\x8E");
}

TEST(Hex, EncodeDecodeAndWhatIsRefused) {
    const std::string all = [] {
        std::string s;
        for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
        return s;
    }();
    const std::string hex = BytesToHex(all);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(hex.size() - 4), "FEFF");
    std::string back = "stale";
    ASSERT_TRUE(HexToBytes(hex, &back));
    EXPECT_EQ(back, all);
    ASSERT_TRUE(HexToBytes("aBcD", &back));
    EXPECT_EQ(back, "\xAB\xCD");
    EXPECT_EQ(HexByteCount("aBcD"), 2u);
    // an odd length, or one character that is no digit anywhere, fails whole
    for (const char* bad : {"ABC", "0G", "00 1", "0x12", "1\xFF"}) {
        back = "stale";
        EXPECT_FALSE(HexToBytes(bad, &back)) << bad;
        EXPECT_TRUE(back.empty()) << bad;
        EXPECT_FALSE(HexByteCount(bad)) << bad;
    }
    EXPECT_TRUE(HexToBytes("", &back));
    EXPECT_TRUE(back.empty());
}

TEST(Numbers, DigitsAreReadWholeUpToSixtyFourBits) {
    EXPECT_EQ(ParseDigits("0", 10), 0u);
    EXPECT_EQ(ParseDigits("18446744073709551615", 10), UINT64_MAX);
    EXPECT_EQ(ParseDigits("ffffFFFFffffFFFF", 16), UINT64_MAX);
    EXPECT_FALSE(ParseDigits("18446744073709551616", 10));
    EXPECT_FALSE(ParseDigits("1ffffffffffffffff", 16));
    // no sign, blank, prefix or trailing byte of any kind
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x1", "1a", "\t5"}) EXPECT_FALSE(ParseDigits(bad, 10)) << bad;
    EXPECT_FALSE(ParseDigits("g", 16));
}

TEST(Numbers, SignsAndPrefixesOnlyWhereTheFormatAllowsThem) {
    const unsigned all = kNumberSign | kNumber0x | kNumberDollar | kNumberBareX;
    EXPECT_EQ(ParseInteger("-0x10", all), -16);
    EXPECT_EQ(ParseInteger("+$1f", all), 31);
    EXPECT_EQ(ParseInteger("X10", all), 16);
    EXPECT_EQ(ParseInteger("010", all), 10);  // a leading zero is no octal
    EXPECT_FALSE(ParseInteger("-5", kNumber0x));
    EXPECT_FALSE(ParseInteger("$10", kNumberSign | kNumber0x));
    EXPECT_FALSE(ParseInteger("x10", kNumberSign | kNumber0x));
    EXPECT_FALSE(ParseInteger("0x", all));
    EXPECT_FALSE(ParseInteger("-", all));
    EXPECT_FALSE(ParseInteger("--1", all));
    EXPECT_FALSE(ParseInteger("0x-1", all));
    // the whole signed range, and nothing past it
    EXPECT_EQ(ParseInteger("9223372036854775807", kNumberSign), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ParseInteger("-9223372036854775808", kNumberSign), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ParseInteger("-0x8000000000000000", kNumberSign | kNumber0x), std::numeric_limits<int64_t>::min());
    EXPECT_FALSE(ParseInteger("9223372036854775808", kNumberSign));
    EXPECT_FALSE(ParseInteger("0x8000000000000000", kNumber0x));
    EXPECT_FALSE(ParseInteger("-9223372036854775809", kNumberSign));
}

TEST(Text, CaseAndTrimTouchOnlyAscii) {
    EXPECT_EQ(UpperAscii("abz AZ 09 \xE9\xFF"), "ABZ AZ 09 \xE9\xFF");
    EXPECT_EQ(LowerAscii("ABZ az \xC9"), "abz az \xC9");
    EXPECT_TRUE(SameTextNoCase("Sound", "sOUND"));
    EXPECT_FALSE(SameTextNoCase("Sound", "Sounds"));
    EXPECT_FALSE(SameTextNoCase("\xE9", "\xC9"));
    EXPECT_EQ(TrimBlanks(std::string("\x01 \t a b\r\n\0", 11)), "a b");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimSpaces("\t a\r \t"), "a\r");
    EXPECT_EQ(TrimChars("\t 5 ", " "), "\t 5");
}

TEST(Result, CarriesValueOrMessage) {
    const Status ok;
    EXPECT_TRUE(ok);
    EXPECT_TRUE(ok.Error().empty());
    const auto failed = Status::Fail("disk full");
    EXPECT_FALSE(failed);
    std::string error = "earlier";
    EXPECT_TRUE(ok.Ok(&error));
    EXPECT_EQ(error, "earlier");  // success leaves the caller's text alone
    EXPECT_FALSE(failed.Ok(&error));
    EXPECT_EQ(error, "disk full");
    EXPECT_FALSE(failed.Ok(nullptr));

    flashsmith::base::Result<std::string> value(std::string("bytes"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, "bytes");
    EXPECT_EQ(value->size(), 5u);
    const auto missing = flashsmith::base::Result<std::string>::Fail("no such file");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Error(), "no such file");
    EXPECT_EQ(missing.ToStatus().Error(), "no such file");

    // Take fills an existing object only on success.
    std::string out = "kept";
    error.clear();
    EXPECT_FALSE(flashsmith::base::Result<std::string>::Fail("unreadable").Take(out, &error));
    EXPECT_EQ(out, "kept");
    EXPECT_EQ(error, "unreadable");
    EXPECT_TRUE(flashsmith::base::Result<std::string>(std::string("new")).Take(out, &error));
    EXPECT_EQ(out, "new");
    EXPECT_EQ(error, "unreadable");

    // Returning a passed check where a value is due is a failure that says
    // so: an empty message would reach the user as a bare "error: ".
    const flashsmith::base::Result<int> slip = Status();
    EXPECT_FALSE(slip);
    EXPECT_FALSE(slip.Error().empty());
}

}  // namespace
