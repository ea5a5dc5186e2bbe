#include <gtest/gtest.h>

#include <algorithm>

#include "S3TestUtil.h"
#include "srecord/S3Converter.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::srecord;
namespace {

using test::Pattern;
using test::SLine;

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t p = 0;
    while (p < text.size()) {
        const size_t e = text.find("\r\n", p);
        EXPECT_NE(e, std::string_view::npos) << "every line ends with CR LF";
        if (e == std::string_view::npos) break;
        lines.emplace_back(text.substr(p, e - p));
        p = e + 2;
    }
    return lines;
}

class RecordingProgress : public ProgressSink {
public:
    void SetRange(int64_t max) override { max_ = max; }
    void SetPosition(int64_t pos) override { pos_ = pos; }
    void Step(int64_t n) override { pos_ += n; }
    void ProcessEvents() override { ++events_; }
    int64_t max_ = 0, pos_ = 0, events_ = 0;
};

TEST(WriteS3Block, FormatsSixteenByteLinesWithChecksumAndAShortLastLine) {
    const std::vector<uint8_t> known = {0xF4, 0xD0, 0x6D, 0xEE, 0xCA, 0x9D, 0x7D, 0x25,
                                        0x7C, 0xE9, 0xFE, 0xAF, 0xEB, 0x1B, 0x21, 0x45};
    EXPECT_EQ(FormatS3Line(0, known), "S31500000000F4D06DEECA9D7D257CE9FEAFEB1B214544");

    const auto data = Pattern(37);
    S3Output out;
    RecordingProgress progress;
    ASSERT_TRUE(WriteS3Block(out, data, 0x00ABCDF0, progress));
    const auto lines = Lines(out.Text());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], SLine('3', 0x00ABCDF0, {data.begin(), data.begin() + 16}));
    EXPECT_EQ(lines[1], SLine('3', 0x00ABCE00, {data.begin() + 16, data.begin() + 32}));
    EXPECT_EQ(lines[2], SLine('3', 0x00ABCE10, {data.begin() + 32, data.end()}));
    EXPECT_EQ(progress.pos_, 37);
    EXPECT_GE(progress.events_, 1);
}

TEST(WriteS3Block, RefusesBlocksThatRunPastTheLastAddress) {
    S3Output out;
    EXPECT_TRUE(WriteS3Block(out, Pattern(16), 0xFFFFFFF0, NullProgress()));
    EXPECT_EQ(Lines(out.Text()).size(), 1u);
    EXPECT_FALSE(WriteS3Block(out, Pattern(17), 0xFFFFFFF0, NullProgress()));
    EXPECT_TRUE(WriteS3Block(out, {}, 0xFFFFFFFF, NullProgress()));
    EXPECT_EQ(Lines(out.Text()).size(), 1u);
}

TEST(WriteS3Bytes, WholeFileFromAStartAddressBetweenHeaderAndEndLine) {
    const auto bin = Pattern(40);
    S3Output out;
    S3WriteOptions o;
    o.Start = 0x10000;
    const S3WriteResult r = WriteS3Bytes(bin, o, out, NullProgress());
    ASSERT_EQ(r.Status, S3Status::Ok);
    const auto lines = Lines(out.Text());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.front(), "S00600004844521B");
    EXPECT_EQ(lines[1], SLine('3', 0x10000, {bin.begin(), bin.begin() + 16}));
    EXPECT_EQ(lines[3], SLine('3', 0x10020, {bin.begin() + 32, bin.end()}));
    EXPECT_EQ(lines.back(), "S705A002000058");
}

TEST(WriteS3Bytes, PartUsesFileOffsetsAsAddressesAndIsCutAtTheFileEnd) {
    const auto bin = Pattern(1000);
    S3WriteOptions o;
    o.Mode = BinToS3Mode::Part;
    o.Start = 256;
    o.Stop = 384;
    S3Output out;
    ASSERT_EQ(WriteS3Bytes(bin, o, out, NullProgress()).Status, S3Status::Ok);
    auto lines = Lines(out.Text());
    ASSERT_EQ(lines.size(), 10u);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(lines[1 + i], SLine('3', static_cast<uint32_t>(256 + 16 * i),
                                      {bin.begin() + 256 + 16 * i, bin.begin() + 272 + 16 * i}));

    o.Start = 990;
    o.Stop = 0x100000;
    S3Output tail;
    ASSERT_EQ(WriteS3Bytes(bin, o, tail, NullProgress()).Status, S3Status::Ok);
    lines = Lines(tail.Text());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], SLine('3', 990, {bin.begin() + 990, bin.end()}));

    o.Start = 1000;
    S3Output none;
    const S3WriteResult r = WriteS3Bytes(bin, o, none, NullProgress());
    EXPECT_EQ(r.Status, S3Status::Ok);
    EXPECT_TRUE(r.EmptyRange);
    EXPECT_TRUE(none.Text().empty());
}

TEST(WriteS3Bytes, ReservedRegionsCutBlocksWhateverTheirOrder) {
    const auto bin = Pattern(0x200);
    S3WriteOptions ascending;
    ascending.Start = 0x1000;
    // Below the range, across its start, inside, across its end.
    ascending.Reserved = {AddressRange::Inclusive(0x0, 0x10), AddressRange::Inclusive(0xFF0, 0x1004),
                          AddressRange::Inclusive(0x1020, 0x102F), AddressRange::Inclusive(0x1100, 0x1100),
                          AddressRange::Inclusive(0x11F8, 0x5000)};
    S3WriteOptions descending = ascending;
    std::reverse(descending.Reserved.begin(), descending.Reserved.end());

    S3Output a, d;
    const S3WriteResult r = WriteS3Bytes(bin, ascending, a, NullProgress());
    ASSERT_EQ(WriteS3Bytes(bin, descending, d, NullProgress()).Status, S3Status::Ok);
    EXPECT_EQ(a.Text(), d.Text());
    EXPECT_EQ(r.Blocks, 3u);
    EXPECT_EQ(r.DataBytes, 0x1F8u - 5 - 16 - 1);

    // Each block starts a fresh line at its own first address.
    const auto lines = Lines(a.Text());
    EXPECT_EQ(lines[1], SLine('3', 0x1005, {bin.begin() + 5, bin.begin() + 21}));
    EXPECT_EQ(lines[2], SLine('3', 0x1015, {bin.begin() + 21, bin.begin() + 32}));
    EXPECT_EQ(lines[3], SLine('3', 0x1030, {bin.begin() + 0x30, bin.begin() + 0x40}));
    // No written byte lies in a region.
    uint64_t written = 0;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        const int64_t address = std::stoll(lines[i].substr(4, 8), nullptr, 16);
        const int64_t end = address + std::stol(lines[i].substr(2, 2), nullptr, 16) - 5;
        written += end - address;
        for (const auto& reg : ascending.Reserved)
            EXPECT_TRUE(end <= reg.Start || address >= reg.End()) << lines[i];
    }
    EXPECT_EQ(written, r.DataBytes);
}

TEST(WriteS3Bytes, ARegionOverTheWholeRangeLeavesHeaderAndEndOnly) {
    S3WriteOptions o;
    o.Reserved = {AddressRange::Inclusive(0, 0xFFFFFFFF)};
    S3Output out;
    ASSERT_EQ(WriteS3Bytes(Pattern(100), o, out, NullProgress()).Status, S3Status::Ok);
    EXPECT_EQ(out.Text(), "S00600004844521B\r\nS705A002000058\r\n");
}

TEST(WriteS3Bytes, RefusesAWholeFileWhoseAddressesPass32Bits) {
    S3WriteOptions o;
    o.Start = 0xFFFFFF00;
    S3Output out;
    EXPECT_EQ(WriteS3Bytes(Pattern(0x100), o, out, NullProgress()).Status, S3Status::Ok);
    S3Output over;
    const S3WriteResult r = WriteS3Bytes(Pattern(0x101), o, over, NullProgress());
    EXPECT_EQ(r.Status, S3Status::AddressOverflow);
    EXPECT_NE(r.Message.find("0xFFFFFF00"), std::string::npos);
    EXPECT_TRUE(over.Text().empty());
}

}  // namespace
}  // namespace flashsmith
