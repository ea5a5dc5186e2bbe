// flashsmith-cli profile create.
#include <gtest/gtest.h>

#include "ProfileImage.h"
#include "support/CliRun.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

using flashsmith::test::RunCli;
using flashsmith::test::ScratchDir;

TEST(CliProfile, CreatesRefusesToOverwriteAndForces) {
    ScratchDir dir("cliprof");
    flashsmith::test::ProfileImage pi;
    const std::string image = dir / "x480.bin", fw = dir / "Firmwares";
    ASSERT_TRUE(WriteFileAtomic(image, pi.img.Bytes()));
    std::filesystem::create_directories(fw);

    auto r = RunCli({"profile", "create", image, "--firmwares", fw, "--display", "128x160", "--transparent", "0xFF00FF"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("Table of Sounds:        0x00003000"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Profile saved to the file: X480XXAB1.sdf"), std::string::npos) << r.Out;
    const std::string sdf = JoinPath(fw, "X480XXAB1.sdf");
    std::string first;
    ASSERT_TRUE(ReadWholeFile(sdf, first));
    EXPECT_NE(first.find("Transparent=0x00FF00FF"), std::string::npos);
    EXPECT_NE(first.find("LanguageCount=3"), std::string::npos);

    r = RunCli({"profile", "create", image, "--firmwares", fw, "--no-languages", "--json"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("exists"), std::string::npos);
    std::string kept;
    ReadWholeFile(sdf, kept);
    EXPECT_EQ(kept, first);

    // without --display the common sizes are tried; 128 x 160 is among them
    r = RunCli({"profile", "create", image, "--firmwares", fw, "--no-languages", "--json", "--force"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\"ImageTable\":8192,"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\"JavaTableLength\":136,"), std::string::npos);
    ReadWholeFile(sdf, kept);
    EXPECT_EQ(kept.find("LanguageTable1"), std::string::npos);
    EXPECT_NE(kept.find("Region3Size="), std::string::npos);
    EXPECT_EQ(kept.find("Region4="), std::string::npos);

    EXPECT_EQ(RunCli({"profile", "create", image, "--display", "128"}).Code, 2);
    EXPECT_EQ(RunCli({"profile", "create", image, "--out", "a", "--firmwares", fw}).Code, 2);
    const std::string blank = dir / "blank.bin";
    ASSERT_TRUE(WriteFileAtomic(blank, std::string(4096, '\0')));
    r = RunCli({"profile", "create", blank, "--out", dir / "blank.sdf"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_FALSE(FileExists(dir / "blank.sdf"));
}

// The demo written by the CLI is read back by the CLI's profile creator to the
// tables its own description names.
TEST(CliProfile, DemoTablesAreFound) {
    ScratchDir dir("cliprofdemo");
    ASSERT_EQ(RunCli({"demo", dir / "d", "--lead", "0x1000"}).Code, 0);
    const std::string found = dir / "found.sdf";
    auto r = RunCli({"profile", "create", dir / "d/demo.bin", "--out", found, "--transparent", "0xFFFF00"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("Images Found:           15"), std::string::npos) << r.Out;
    FirmwareState mine, own;
    ReadDescription(mine, found);
    ReadDescription(own, dir / "d/Firmwares/E250XXJE1.sdf");
    const auto &m = mine.FirmwareDescription, &o = own.FirmwareDescription;
    EXPECT_EQ(std::tie(m.ImageTable, m.SoundTable, m.JavaTable, m.LanguageTable1, m.LanguageTable2),
              std::tie(o.ImageTable, o.SoundTable, o.JavaTable, o.LanguageTable1, o.LanguageTable2));
    EXPECT_EQ(std::tie(m.SndTableLength, m.JavaTableLength, m.LanguageCount, m.Transparent),
              std::tie(o.SndTableLength, o.JavaTableLength, o.LanguageCount, o.Transparent));
    EXPECT_EQ(m.ImageTable, 0x91000);
}

}  // namespace
