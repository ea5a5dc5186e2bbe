// Every file the command line writes, written past a file-size limit (a full
// disk as the program sees it): a clear error, the earlier file of that name
// intact, no temporary file left.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/CliRun.h"
#include "base/FileUtil.h"

namespace {

using flashsmith::test::RunCli;
using flashsmith::test::ScratchDir;
using flashsmith::test::Slurp;

// Files may grow to 1 KiB; the signal a larger write raises is ignored, so
// the write fails with EFBIG as it would with ENOSPC.
const std::string kLimit = "trap '' XFSZ; ulimit -f 2; ";

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        auto r = RunCli({"demo", dir.Str()});
        ASSERT_EQ(r.Code, 0) << r.Err;
        image = dir / "demo.bin";
        firmwares = dir / "Firmwares";
        std::filesystem::create_directories(out);
    }
    // Runs the command under the limit and checks the outcome in out.
    void ExpectRefused(const std::vector<std::string>& args, const std::vector<std::string>& earlier) {
        for (const auto& name : earlier) ASSERT_TRUE(flashsmith::base::WriteFileAtomic(out + "/" + name, "earlier " + name));
        const auto r = RunCli(args, kLimit);
        EXPECT_EQ(r.Code, 1) << args[0] << " " << args[1] << ": " << r.Err;
        EXPECT_EQ(r.Err.rfind("error: ", 0), 0u) << r.Err;
        for (const auto& name : earlier) EXPECT_EQ(Slurp(out + "/" + name), "earlier " + name) << name;
        for (const auto& e : std::filesystem::directory_iterator(out))
            EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    }
    ScratchDir dir{"fulldisk"};
    std::string image, firmwares, out = dir / "out";
};

TEST_F(FullDisk, PatchesDescriptionsAndExportsKeepTheEarlierFile) {
    ExpectRefused({"patch", "create", image, out + "/lng.spf", "--kind", "lng", "--full", "--firmwares", firmwares},
                  {"lng.spf"});
    ExpectRefused({"profile", "create", image, "--out", out + "/E250.sdf"}, {"E250.sdf"});
    const std::string full = dir / "full.spf";
    ASSERT_EQ(RunCli({"patch", "create", image, full, "--kind", "lng", "--full", "--firmwares", firmwares}).Code, 0);
    ExpectRefused({"xml", "format", full, out + "/big.xml"}, {"big.xml"});
    // The 176 x 220 wallpaper does not fit; smaller pictures may.
    ExpectRefused({"export", image, "images", "all", out, "--firmwares", firmwares}, {});
    size_t bitmaps = 0;
    for (const auto& e : std::filesystem::directory_iterator(out)) {
        const std::string bytes = Slurp(e.path());
        if (e.path().extension() != ".bmp") continue;
        ++bitmaps;
        ASSERT_GE(bytes.size(), 6u);
        const uint32_t declared = uint8_t(bytes[2]) | uint8_t(bytes[3]) << 8 | uint8_t(bytes[4]) << 16 | uint32_t(uint8_t(bytes[5])) << 24;
        EXPECT_EQ(declared, bytes.size()) << e.path() << " is whole or absent";
    }
    EXPECT_LT(bitmaps, 14u);
}

TEST_F(FullDisk, SRecordsAndBinariesKeepTheEarlierFile) {
    const std::string s3 = dir / "demo.s3";
    ASSERT_EQ(RunCli({"s3", "from-bin", image, s3}).Code, 0);
    ExpectRefused({"s3", "from-bin", image, out + "/demo.s3"}, {"demo.s3"});
    ExpectRefused({"s3", "to-bin", s3, out + "/demo.bin"}, {"demo.bin"});
    ExpectRefused({"s3", "to-bin", s3, out + "/part.bin", "--part"}, {"part.bin"});
}

}  // namespace
