// The converter on real files, against srec_cat, and through the CLI.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>

#include "S3TestUtil.h"
#include "base/FileUtil.h"
#include "srecord/S3Converter.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::srecord;
namespace {

using test::AsString;
using test::Pattern;
using test::SLine;
using test::TempDir;

std::string Slurp(const std::string& path) {
    std::string s;
    EXPECT_TRUE(ReadWholeFile(path, s)) << path;
    return s;
}

void Put(const std::string& path, std::string_view bytes) {
    ASSERT_TRUE(WriteFileAtomic(path, bytes)) << path;
}

std::string Lines16(uint32_t address, const std::vector<uint8_t>& data) {
    std::string s;
    for (size_t i = 0; i < data.size(); i += 16)
        s += SLine('3', address + static_cast<uint32_t>(i),
                   {data.begin() + i, data.begin() + std::min(data.size(), i + 16)}) + "\r\n";
    return s;
}

// Clears [from, to) of v.
void ZeroRange(std::vector<uint8_t>& v, size_t from, size_t to) {
    for (size_t i = from; i < to && i < v.size(); ++i) v[i] = 0;
}

size_t FileCount(const std::string& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

struct Outcome {
    int Exit = -1;
    std::string Err;
};

// Runs a shell command line, capturing stderr.
Outcome Shell(const std::string& command, const TempDir& dir) {
    const std::string err = dir / "stderr.txt";
    const int status = std::system((command + " 2>" + err).c_str());
    Outcome o;
    o.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.Err = Slurp(err);
    std::remove(err.c_str());
    return o;
}

bool HaveSrecCat() { return std::system("srec_cat --version >/dev/null 2>&1") == 0; }

TEST(S3Files, FileOutputMatchesMemoryWhateverTheOrderOfRuns) {
    // Runs far apart and back again, so that the output window is flushed,
    // moved backwards and refilled around bytes the file already holds.
    std::string text = Lines16(0x0, Pattern(0x100, 1)) + Lines16(0x500000, Pattern(64, 2)) +
                       Lines16(0x20, Pattern(16, 3)) + Lines16(0x40, Pattern(16, 4)) +
                       Lines16(0x480000, Pattern(0x1000, 5)) + Lines16(0x10, Pattern(8, 6)) +
                       Lines16(0x900000, Pattern(16, 7)) + Lines16(0x4FFFF8, Pattern(32, 8));
    TempDir dir;
    Put(dir / "in.s3", text);
    for (const bool part : {false, true}) {
        S3ReadOptions o;
        o.Mode = part ? S3ToBinMode::Part : S3ToBinMode::All;
        std::string expected;
        const S3ReadResult m = ReadS3Text(text, o, expected, NullProgress());
        const S3ReadResult f = ReadS3File(dir / "in.s3", dir / "out.bin", o, NullProgress());
        ASSERT_EQ(f.Status, S3Status::Ok) << f.Message;
        EXPECT_EQ(f.ImageSize, m.ImageSize);
        EXPECT_TRUE(Slurp(dir / "out.bin") == expected) << "part=" << part;
    }
    // The earlier bytes around the later small runs survive.
    std::string all;
    ReadS3Text(text, {}, all, NullProgress());
    EXPECT_EQ(all.substr(0x30, 0x10), AsString(Pattern(0x100, 1)).substr(0x30, 0x10));
}

TEST(S3Files, FailuresLeaveNoOutputAndKeepThePreviousFile) {
    TempDir dir;
    Put(dir / "old.bin", "previous");
    Put(dir / "high.s3", Lines16(0x90000000, Pattern(16)));
    S3ReadResult r = ReadS3File(dir / "high.s3", dir / "old.bin", {}, NullProgress());
    EXPECT_EQ(r.Status, S3Status::ImageTooLarge);
    EXPECT_EQ(Slurp(dir / "old.bin"), "previous");

    r = ReadS3File(dir / "missing.s3", dir / "new.bin", {}, NullProgress());
    EXPECT_EQ(r.Status, S3Status::InputUnreadable);
    Put(dir / "empty.s3", "");
    r = ReadS3File(dir / "empty.s3", dir / "new.bin", {}, NullProgress());
    EXPECT_EQ(r.Status, S3Status::NoData);
    EXPECT_EQ(r.Message, "no S-record data in " + dir / "empty.s3");
    r = ReadS3File(dir / "high.s3", dir / "no/such/dir.bin", {{S3ToBinMode::Part}}, NullProgress());
    EXPECT_EQ(r.Status, S3Status::OutputFailed);

    S3WriteResult w = WriteS3File(dir / "missing.bin", dir / "out.s3", {}, NullProgress());
    EXPECT_EQ(w.Status, S3Status::InputUnreadable);
    Put(dir / "big.bin", AsString(Pattern(0x200)));
    S3WriteOptions high;
    high.Start = 0xFFFFFF00;
    Put(dir / "old.s3", "previous");
    w = WriteS3File(dir / "big.bin", dir / "old.s3", high, NullProgress());
    EXPECT_EQ(w.Status, S3Status::AddressOverflow);
    EXPECT_EQ(Slurp(dir / "old.s3"), "previous");
    // Nothing beside the files made here: no temporaries left behind.
    EXPECT_EQ(FileCount(dir.Str()), 5u);
}

TEST(S3Files, WriteS3FileMatchesTheInMemoryWriter) {
    TempDir dir;
    const auto bin = Pattern(3 * (1 << 20) + 7);  // several read pieces and a short tail
    Put(dir / "in.bin", AsString(bin));
    S3WriteOptions o;
    o.Start = 0x10000000;
    o.Reserved = {AddressRange::Inclusive(0x10100000, 0x101FFFFF), AddressRange::Inclusive(0x10000005, 0x10000005)};
    const S3WriteResult r = WriteS3File(dir / "in.bin", dir / "out.s3", o, NullProgress());
    ASSERT_EQ(r.Status, S3Status::Ok) << r.Message;
    S3Output mem;
    WriteS3Bytes(bin, o, mem, NullProgress());
    EXPECT_TRUE(Slurp(dir / "out.s3") == mem.Text());

    o.Mode = BinToS3Mode::Part;
    o.Start = static_cast<uint32_t>(bin.size());
    o.Stop = 0xFFFFFFFF;
    const S3WriteResult empty = WriteS3File(dir / "in.bin", dir / "part.s3", o, NullProgress());
    EXPECT_TRUE(empty.EmptyRange);
    EXPECT_EQ(Slurp(dir / "part.s3"), "");
}

TEST(S3Files, SrecCatReadsOurFilesAndWeReadItsFiles) {
    if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed (package srecord)";
    TempDir dir;
    const auto bin = Pattern(100000, 3);
    Put(dir / "in.bin", AsString(bin));

    // Ours -> srec_cat: it checks every checksum and must rebuild the binary,
    // reserved middle regions as zeros.
    S3WriteOptions o;
    o.Reserved = {AddressRange::Inclusive(60000, 60999), AddressRange::Inclusive(100, 115)};
    ASSERT_EQ(WriteS3File(dir / "in.bin", dir / "ours.s3", o, NullProgress()).Status, S3Status::Ok);
    ASSERT_EQ(Shell("srec_cat " + dir / "ours.s3" + " -motorola -o " + dir / "cat.bin" + " -binary",
                    dir).Exit, 0);
    auto expected = bin;
    ZeroRange(expected, 60000, 61000);
    ZeroRange(expected, 100, 116);
    EXPECT_TRUE(Slurp(dir / "cat.bin") == AsString(expected));

    // srec_cat -> ours, with each address width and long lines, from an offset.
    for (const char* width : {"2", "3", "4"}) {
        const std::string addr = std::string(width) == "2" ? "0x100" : "0x20000";
        const auto part = std::string(width) == "2" ? std::vector<uint8_t>(bin.begin(), bin.begin() + 60000) : bin;
        Put(dir / "part.bin", AsString(part));
        const std::string out = dir / (std::string("cat") + width + ".s3");
        ASSERT_EQ(Shell("srec_cat " + dir / "part.bin" + " -binary -offset " + addr + " -o " + out +
                            " -motorola -address-length=" + width + " -output-block-size=200",
                        dir).Exit, 0);
        S3ReadOptions ro;
        ro.Mode = S3ToBinMode::Part;
        const S3ReadResult r = ReadS3File(out, dir / "back.bin", ro, NullProgress());
        ASSERT_EQ(r.Status, S3Status::Ok);
        EXPECT_EQ(r.DroppedLines, 0u) << width;
        EXPECT_EQ(r.LowestAddress, std::stoul(addr, nullptr, 16));
        EXPECT_TRUE(Slurp(dir / "back.bin") == AsString(part)) << width;
    }
}

class S3Cli : public ::testing::Test {
protected:
    void SetUp() override {
        const char* cli = std::getenv("FLASHSMITH_CLI");
        if (!cli || !FileExists(cli)) GTEST_SKIP() << "FLASHSMITH_CLI does not name the CLI";
        cli_ = cli;
    }
    Outcome Cli(const std::string& args) { return Shell(cli_ + " s3 " + args, dir_); }
    std::string cli_;
    TempDir dir_;
};

TEST_F(S3Cli, RoundTripWithReservedRegionsInAnyOrder) {
    const auto bin = Pattern(4096);
    Put(dir_ / "in.bin", AsString(bin));
    const std::string in = dir_ / "in.bin";
    ASSERT_EQ(Cli("from-bin " + in + " " + dir_ / "a.s3" +
                  " --reserve 0x800-0x8FF --reserve=0x10-0x1f").Exit, 0);
    ASSERT_EQ(Cli("from-bin " + in + " " + dir_ / "b.s3" +
                  " --reserve 16-31 --reserve '0x800 - 0x8ff'").Exit, 0);
    EXPECT_EQ(Slurp(dir_ / "a.s3"), Slurp(dir_ / "b.s3"));
    ASSERT_EQ(Cli("to-bin " + dir_ / "a.s3" + " " + dir_ / "back.bin").Exit, 0);
    auto expected = bin;
    ZeroRange(expected, 0x800, 0x900);
    ZeroRange(expected, 0x10, 0x20);
    EXPECT_TRUE(Slurp(dir_ / "back.bin") == AsString(expected));

    ASSERT_EQ(Cli("from-bin " + in + " " + dir_ / "p.s3" + " --start 0x100 --stop 0x180").Exit, 0);
    ASSERT_EQ(Cli("to-bin --part " + dir_ / "p.s3" + " " + dir_ / "p.bin").Exit, 0);
    EXPECT_TRUE(Slurp(dir_ / "p.bin") == AsString(bin).substr(0x100, 0x80));
}

TEST_F(S3Cli, RefusalsAndWarnings) {
    Put(dir_ / "in.bin", AsString(Pattern(64)));
    const std::string in = dir_ / "in.bin", out = dir_ / "out.s3";
    Outcome o = Cli("from-bin " + in + " " + out + " --reserve 0x10-0x1G");
    EXPECT_EQ(o.Exit, 2);
    EXPECT_NE(o.Err.find("0x10-0x1G"), std::string::npos) << o.Err;
    o = Cli("from-bin " + in + " " + out + " --reserve 0x10-0x20 --reserve 0x20-0x30");
    EXPECT_EQ(o.Exit, 2);
    EXPECT_NE(o.Err.find("0x20-0x30"), std::string::npos) << o.Err;
    EXPECT_EQ(Cli("from-bin " + in + " " + out + " --start 0x20 --stop 0x10").Exit, 2);
    EXPECT_EQ(Cli("from-bin " + in + " " + out + " --start 0x100000000").Exit, 2);
    EXPECT_FALSE(FileExists(out));

    std::string bad = SLine('3', 0x10, Pattern(16));
    bad[bad.size() - 3] = bad[bad.size() - 3] == 'A' ? 'B' : 'A';
    Put(dir_ / "bad.s3", bad + "\n" + SLine('3', 0x20, Pattern(16)) + "\n");
    o = Cli("to-bin " + dir_ / "bad.s3" + " " + dir_ / "bad.bin");
    EXPECT_EQ(o.Exit, 0);
    EXPECT_NE(o.Err.find("warning: 1 S-record line(s) dropped"), std::string::npos) << o.Err;

    Put(dir_ / "high.s3", SLine('3', 0xA0000000, Pattern(16)) + "\n");
    o = Cli("to-bin " + dir_ / "high.s3" + " " + dir_ / "high.bin");
    EXPECT_EQ(o.Exit, 1);
    EXPECT_NE(o.Err.find("error: "), std::string::npos);
    EXPECT_FALSE(FileExists(dir_ / "high.bin"));
    EXPECT_EQ(Cli("to-bin --from-first-address " + dir_ / "high.s3" + " " + dir_ / "high.bin").Exit, 0);
    EXPECT_EQ(Slurp(dir_ / "high.bin"), AsString(Pattern(16)));

    // The first line of a run dropped: its room stays in the part image.
    std::string first = SLine('2', 0x4000, Pattern(16, 5));
    first[first.size() - 1] = first.back() == '0' ? '1' : '0';
    Put(dir_ / "first.s2", first + "\n" + SLine('2', 0x4010, Pattern(16, 6)) + "\n" +
                              SLine('2', 0x4020, Pattern(8, 7)) + "\n");
    ASSERT_EQ(Cli("to-bin " + dir_ / "first.s2" + " " + dir_ / "first.bin --part").Exit, 0);
    EXPECT_EQ(Slurp(dir_ / "first.bin"),
              std::string(16, '\0') + AsString(Pattern(16, 6)) + AsString(Pattern(8, 7)));

    Put(dir_ / "none.s3", "S00600004844521B\r\nS705A002000058\r\n");
    o = Cli("to-bin " + dir_ / "none.s3" + " " + dir_ / "none.bin");
    EXPECT_EQ(o.Exit, 1);
    EXPECT_EQ(o.Err, "error: no S-record data in " + dir_ / "none.s3" + "\n");
    EXPECT_FALSE(FileExists(dir_ / "none.bin"));
    EXPECT_EQ(Cli("to-bin").Exit, 2);
    EXPECT_EQ(Cli("frob a b").Exit, 2);
}

}  // namespace
}  // namespace flashsmith
