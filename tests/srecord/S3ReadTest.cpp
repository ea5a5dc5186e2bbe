#include <gtest/gtest.h>

#include "S3TestUtil.h"
#include "srecord/S3Converter.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::srecord;
namespace {

using test::AsString;
using test::Pattern;
using test::SLine;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return {v.begin() + from, v.begin() + from + n};
}

// Lines of 16 bytes covering data from address, LF-terminated.
std::string Lines16(char type, uint32_t address, const std::vector<uint8_t>& data) {
    std::string s;
    for (size_t i = 0; i < data.size(); i += 16)
        s += SLine(type, address + static_cast<uint32_t>(i),
                   Slice(data, i, std::min<size_t>(16, data.size() - i))) + "\n";
    return s;
}

S3ReadResult Read(const std::string& text, std::string& image, S3ToBinMode mode = S3ToBinMode::All,
                  bool fromFirst = false) {
    S3ReadOptions o;
    o.Mode = mode;
    o.FromFirstAddress = fromFirst;
    return ReadS3Text(text, o, image, NullProgress());
}

TEST(ReadS3, WrittenWholeBinaryReadsBackAndReservedRegionsComeBackAsZeros) {
    const auto bin = Pattern(5000);
    S3Output out;
    ASSERT_EQ(WriteS3Bytes(bin, {}, out, NullProgress()).Status, S3Status::Ok);
    std::string image;
    ASSERT_EQ(Read(std::string(out.Text()), image).Status, S3Status::Ok);
    EXPECT_EQ(image, AsString(bin));

    S3WriteOptions o;
    o.Reserved = {AddressRange::Inclusive(4000, 4999), AddressRange::Inclusive(100, 199)};
    S3Output cut;
    ASSERT_EQ(WriteS3Bytes(bin, o, cut, NullProgress()).Status, S3Status::Ok);
    const S3ReadResult r = Read(std::string(cut.Text()), image);
    ASSERT_EQ(r.Status, S3Status::Ok);
    EXPECT_EQ(r.Runs, 2u);
    auto expected = bin;
    std::fill(expected.begin() + 100, expected.begin() + 200, 0);
    expected.resize(4000);  // the region at the end is simply not there
    EXPECT_EQ(image, AsString(expected));
}

TEST(ReadS3, AllKeepsAddressesWhilePartConcatenatesRuns) {
    const auto a = Pattern(40, 1), b = Pattern(24, 2);
    const std::string text = "S00600004844521B\n" + Lines16('3', 0x1000, a) + Lines16('3', 0x3000, b) +
                             "S705A002000058\n";
    std::string image;
    S3ReadResult r = Read(text, image);
    ASSERT_EQ(r.Status, S3Status::Ok);
    EXPECT_EQ(r.Runs, 2u);
    ASSERT_EQ(image.size(), 0x3000u + b.size());
    EXPECT_EQ(image.substr(0x1000, a.size()), AsString(a));
    EXPECT_EQ(image.substr(0x1000 + a.size(), 0x3000 - 0x1000 - a.size()),
              std::string(0x3000 - 0x1000 - a.size(), '\0'));
    EXPECT_EQ(image.substr(0x3000), AsString(b));
    EXPECT_EQ(image.substr(0, 0x1000), std::string(0x1000, '\0'));

    ASSERT_EQ(Read(text, image, S3ToBinMode::Part).Status, S3Status::Ok);
    EXPECT_EQ(image, AsString(a) + AsString(b));

    ASSERT_EQ(Read(text, image, S3ToBinMode::All, true).Status, S3Status::Ok);
    EXPECT_EQ(image.size(), 0x2000u + b.size());
    EXPECT_EQ(image.substr(0, a.size()), AsString(a));
    EXPECT_EQ(image.substr(0x2000), AsString(b));
}

TEST(ReadS3, RunsFollowAddressesAndNonDataLinesEvenInPartMode) {
    // Out-of-order runs, and a run split by an S5 line: Part writes each run
    // after the previous one in file order.
    const auto a = Pattern(32, 1), b = Pattern(16, 2), c = Pattern(16, 3);
    const std::string text = Lines16('3', 0x2000, a) + Lines16('3', 0x100, b) + "S5030001FB\n" +
                             Lines16('3', 0x110, c);
    std::string image;
    S3ReadResult r = Read(text, image, S3ToBinMode::Part);
    EXPECT_EQ(r.Runs, 3u);
    EXPECT_EQ(image, AsString(a) + AsString(b) + AsString(c));
    r = Read(text, image);
    EXPECT_EQ(image.size(), 0x2020u);
    EXPECT_EQ(image.substr(0x100, 32), AsString(b) + AsString(c));
    EXPECT_EQ(image.substr(0x2000), AsString(a));
}

TEST(ReadS3, DroppedLinesAreCountedAndLeaveTheRestOfTheRunInPlace) {
    const auto data = Pattern(64), next = Pattern(16, 9);
    std::string good[4];
    for (int i = 0; i < 4; ++i) good[i] = SLine('3', 0x100 + 16 * i, Slice(data, 16 * i, 16));
    std::string badSum = good[1];
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    std::string badDigit = good[2];
    badDigit[20] = 'G';
    const std::string text = "S00600004844521B\r\n" + good[0] + "\r\n" + badSum + "\r\n" +
                             badDigit + "\r\n" + good[3] + "\r\n" + SLine('3', 0x8000, next) +
                             "\r\n";

    std::string image;
    S3ReadResult r = Read(text, image, S3ToBinMode::Part);
    EXPECT_EQ(r.DroppedLines, 2u);
    EXPECT_EQ(r.Runs, 2u);
    auto expected = data;
    std::fill(expected.begin() + 16, expected.begin() + 48, 0);
    expected.insert(expected.end(), next.begin(), next.end());
    EXPECT_EQ(image, AsString(expected));

    r = Read(text, image);
    EXPECT_EQ(r.DroppedLines, 2u);
    EXPECT_EQ(image.size(), 0x8010u);
    EXPECT_EQ(image.substr(0x100, 64), AsString(expected).substr(0, 64));
}

TEST(ReadS3, MalformedDataLinesOfEveryKindAreDropped) {
    const auto d = Pattern(16);
    const std::string ok = SLine('3', 0x40, d);
    std::string badCount = ok;
    badCount[3] = 'Z';
    std::string badAddress = ok;
    badAddress[6] = '?';
    std::string truncated = ok.substr(0, ok.size() - 6);
    const std::string tooShortCount = "S3040000000000";  // count below address + checksum
    const std::string countOnly = "S3";
    const std::string text = badCount + "\n" + badAddress + "\n" + truncated + "\n" +
                             tooShortCount + "\n" + countOnly + "\n" + ok + "\n";
    std::string image;
    const S3ReadResult r = Read(text, image);
    EXPECT_EQ(r.DroppedLines, 5u);
    EXPECT_EQ(r.DataLines, 1u);
    EXPECT_EQ(image.size(), 0x50u);
    EXPECT_EQ(image.substr(0x40), AsString(d));
}

TEST(ReadS3, ShortAddressTypesAndLinesUpToCount255) {
    const auto d = Pattern(16);
    EXPECT_EQ(SLine('1', 0x1234, d).substr(2, 2), "13");
    EXPECT_EQ(SLine('2', 0x123456, d).substr(2, 2), "14");
    std::string image;
    Read(SLine('1', 0x10, d) + "\n" + SLine('2', 0x20, d) + "\n", image);
    EXPECT_EQ(image.substr(0x10), AsString(d) + AsString(d));

    // The longest lines each type allows: count 0xFF.
    const auto big = Pattern(3 * 252, 7);
    const std::string longLines = SLine('1', 0x0, Slice(big, 0, 252)) + "\n" +
                                  SLine('2', 252, Slice(big, 252, 251)) + "\n" +
                                  SLine('3', 503, Slice(big, 503, 250)) + "\n";
    EXPECT_EQ(longLines.substr(2, 2), "FF");
    const S3ReadResult r = Read(longLines, image);
    EXPECT_EQ(r.DroppedLines, 0u);
    EXPECT_EQ(r.Runs, 1u);
    EXPECT_EQ(image, AsString(Slice(big, 0, 753)));
}

TEST(ReadS3, HighAddressesNeedTheFirstAddressOptionOrPartMode) {
    const auto d = Pattern(32);
    const std::string text = Lines16('3', 0xA0000000, d) + Lines16('3', 0xA0000100, Slice(d, 0, 16));
    std::string image;
    S3ReadResult r = Read(text, image);
    EXPECT_EQ(r.Status, S3Status::ImageTooLarge);
    EXPECT_NE(r.Message.find("0xA0000000"), std::string::npos) << r.Message;
    EXPECT_NE(r.Message.find("first address"), std::string::npos) << r.Message;
    EXPECT_TRUE(image.empty());

    r = Read(text, image, S3ToBinMode::All, true);
    ASSERT_EQ(r.Status, S3Status::Ok);
    EXPECT_EQ(r.LowestAddress, 0xA0000000u);
    ASSERT_EQ(image.size(), 0x110u);
    EXPECT_EQ(image.substr(0, 32), AsString(d));
    EXPECT_EQ(image.substr(0x100), AsString(Slice(d, 0, 16)));

    // A line that reaches past 0xFFFFFFFF is still whole data.
    const std::string top = SLine('3', 0xFFFFFFF8, Slice(d, 0, 16)) + "\n";
    ASSERT_EQ(Read(top, image, S3ToBinMode::Part).Status, S3Status::Ok);
    EXPECT_EQ(image, AsString(Slice(d, 0, 16)));
    ASSERT_EQ(Read(top, image, S3ToBinMode::All, true).Status, S3Status::Ok);
    EXPECT_EQ(image, AsString(Slice(d, 0, 16)));

    // Too far apart for any 2 GiB image: refused without the hint.
    r = Read(Lines16('3', 0x10, d) + Lines16('3', 0x90000000, d), image, S3ToBinMode::All, true);
    EXPECT_EQ(r.Status, S3Status::ImageTooLarge);
    EXPECT_EQ(r.Message.find("first address"), std::string::npos) << r.Message;
}

TEST(ReadS3, TextConventions) {
    const auto d = Pattern(20);
    std::string lower = SLine('3', 0x10, Slice(d, 0, 16));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lower[0] = 'S';
    // Lower-case digits, trailing blanks, LF and CR LF, a last line without end,
    // and two zero bytes that end the data.
    const std::string text = lower + "  \r\n" + SLine('3', 0x20, Slice(d, 16, 4)) + std::string("\n\0\0", 3) +
                             SLine('3', 0x30, d);
    std::string image;
    S3ReadResult r = Read(text, image);
    EXPECT_EQ(r.DroppedLines, 0u);
    EXPECT_EQ(image.substr(0x10), AsString(d));

    r = Read(SLine('3', 0x30, d), image);
    EXPECT_EQ(image.size(), 0x30u + 20);

}

// A bad line with a readable count and address keeps its room wherever it
// stands in its run, so no good line moves, in either mode.
TEST(ReadS3, ADroppedLineKeepsItsRoomAtTheStartMiddleAndEndOfARun) {
    const auto d = Pattern(48, 3);
    auto spoil = [](std::string line) {
        line.back() = line.back() == '0' ? '1' : '0';
        return line;
    };
    // A run opened by a dropped S2 line.
    const std::string opened = spoil(SLine('2', 0x4000, Slice(d, 0, 16))) + "\n" +
                               SLine('2', 0x4010, Slice(d, 16, 16)) + "\n" + SLine('2', 0x4020, Slice(d, 32, 8)) + "\n";
    std::string image;
    S3ReadResult r = Read(opened, image, S3ToBinMode::Part);
    ASSERT_EQ(r.Status, S3Status::Ok);
    EXPECT_EQ(r.Runs, 1u);
    EXPECT_EQ(image, std::string(16, '\0') + AsString(Slice(d, 16, 24)));
    ASSERT_EQ(Read(opened, image, S3ToBinMode::All, true).Status, S3Status::Ok);
    EXPECT_EQ(image, std::string(16, '\0') + AsString(Slice(d, 16, 24)));
    ASSERT_EQ(Read(opened, image).Status, S3Status::Ok);
    EXPECT_EQ(image.size(), 0x4028u);

    // A dropped line in the middle: the next line at its own address after a
    // jump does not continue the run, whatever the checksums say.
    const std::string middle = SLine('3', 0x100, Slice(d, 0, 16)) + "\n" + spoil(SLine('3', 0x110, Slice(d, 16, 16))) +
                               "\n" + SLine('3', 0x140, Slice(d, 32, 16)) + "\n";
    r = Read(middle, image, S3ToBinMode::Part);
    EXPECT_EQ(r.Runs, 2u);
    EXPECT_EQ(r.DroppedLines, 1u);
    EXPECT_EQ(image, AsString(Slice(d, 0, 16)) + std::string(16, '\0') + AsString(Slice(d, 32, 16)));
    Read(middle, image);
    ASSERT_EQ(image.size(), 0x150u);
    EXPECT_EQ(image.substr(0x110, 0x30), std::string(0x30, '\0'));

    // A dropped last line still ends the image after its room.
    const std::string ended = SLine('1', 0x20, Slice(d, 0, 16)) + "\n" + spoil(SLine('1', 0x30, Slice(d, 16, 4)));
    ASSERT_EQ(Read(ended, image, S3ToBinMode::Part).Status, S3Status::Ok);
    EXPECT_EQ(image, AsString(Slice(d, 0, 16)) + std::string(4, '\0'));
    ASSERT_EQ(Read(ended, image).Status, S3Status::Ok);
    EXPECT_EQ(image.size(), 0x34u);
}

TEST(ReadS3, InputWithoutGoodDataIsAnErrorNotAnEmptyImage) {
    std::string bad = SLine('3', 0x10, Pattern(16));
    bad[30] = 'x';
    const std::string inputs[] = {
        "",
        "S00600004844521B\nS705A002000058\n",  // header and end line only
        std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10) + "random bytes\n",
        bad + "\n",
        "S30500000010EA\n",  // a data line without data bytes
    };
    for (const std::string& text : inputs) {
        std::string image = "stale";
        const S3ReadResult r = Read(text, image, S3ToBinMode::Part);
        EXPECT_EQ(r.Status, S3Status::NoData) << text;
        EXPECT_EQ(r.Message, "no S-record data");
        EXPECT_TRUE(image.empty());
    }
}

}  // namespace
}  // namespace flashsmith
