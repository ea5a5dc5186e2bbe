// demo, identify, list and export through the command line, including the
// ways a bad image or description file must fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/CliRun.h"
#include "base/FileUtil.h"
#include "firmware/PictureFile.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

using flashsmith::test::RunCli;
using flashsmith::test::ScratchDir;

class CliDemo : public ::testing::Test {
protected:
    void SetUp() override {
        auto r = RunCli({"demo", dir.Str()});
        ASSERT_EQ(r.Code, 0) << r.Err;
        image = dir / "demo.bin";
        firmwares = dir / "Firmwares";
    }
    flashsmith::test::CliResult List(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"list", image, "--firmwares", firmwares};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args);
    }
    ScratchDir dir{"cli"};
    std::string image, firmwares;
};

TEST_F(CliDemo, IdentifyFindsModelVersionAndProfiles) {
    auto r = RunCli({"identify", image, "--firmwares", firmwares, "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out.rfind("{\"StartAddr\":0,\"PhoneModel\":\"E250\",\"Version\":\"E250XXJE1\",\"VersionAddr\":", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("\"Profiles\":[\"E250XXJE1.sdf\"]"), std::string::npos);
}

TEST_F(CliDemo, IdentifyOfAnUnknownFileIsEmptyButSucceeds) {
    ASSERT_TRUE(WriteFileAtomic(dir / "blank.bin", std::string(4096, '\xFF')));
    auto r = RunCli({"identify", dir / "blank.bin", "--json"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, "{\"StartAddr\":0,\"PhoneModel\":\"\",\"Version\":\"\",\"VersionAddr\":-1,\"Profiles\":[]}\n");
}

TEST_F(CliDemo, ListJsonHasEveryKeyAndRecoverableBytes) {
    auto r = List({"--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string& j = r.Out;
    for (const char* key : {"\"ProfilePath\":", "\"FirmwareDescription\":{\"PhoneModel\":\"E250\"", "\"Regions\":[",
                            "\"Images\":[", "\"Sounds\":[", "\"JavaApps\":[", "\"LangHeaders1\":[", "\"LangHeaders2\":[",
                            "\"Strings1\":[[", "\"Strings2\":[[", "\"DeletedSoundCount\":0}", "\"SndTableSizeOfs\":4",
                            "\"TranspColor\":", "\"HasTransp\":false", "\"HomeLang\":0", "\"NewPath\":\"\""})
        EXPECT_NE(j.find(key), std::string::npos) << key;
    size_t regions = 0;
    for (size_t p = j.find("\"Start\":"); p != std::string::npos; p = j.find("\"Start\":", p + 1)) ++regions;
    EXPECT_EQ(regions, 64u);
    // "Меню" is stored as D0 9C D0 B5 D0 BD D1 8E; each byte becomes one code point
    EXPECT_NE(j.find("\"Text\":\"\xC3\x90\xC2\x9C\xC3\x90\xC2\xB5\xC3\x90\xC2\xBD\xC3\x91\xC2\x8E\""), std::string::npos);
    EXPECT_NE(j.find("\"Path\":\"E:\\\\S100\\\\#Flashsmith_#Snake_suite\\\\#Snake.jad\""), std::string::npos);
}

TEST_F(CliDemo, ListTextShowsRowsAsTheEditorDoes) {
    auto r = List();
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("Phone: E250\nFirmware: E250XXJE1\n"), std::string::npos);
    EXPECT_NE(r.Out.find("Images: 15 entries"), std::string::npos);
    EXPECT_NE(r.Out.find("  Image_13 "), std::string::npos);
    EXPECT_NE(r.Out.find("(linked)"), std::string::npos);
    EXPECT_NE(r.Out.find("E:\\S100\\Flashsmith_Snake_suite\\Snake.jar"), std::string::npos);
    EXPECT_NE(r.Out.find("Lang Table 2 / Lang_3: 260 entries"), std::string::npos);
    EXPECT_NE(r.Out.find("\xD0\x9C\xD0\xB5\xD0\xBD\xD1\x8E"), std::string::npos);  // shown as UTF-8 on a terminal
}

TEST_F(CliDemo, SeveralProfilesNeedAChoice) {
    std::filesystem::copy_file(firmwares + "/E250XXJE1.sdf", firmwares + "/E250XXJE1_alt.sdf");
    auto r = List();
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("E250XXJE1.sdf"), std::string::npos);
    EXPECT_NE(r.Err.find("E250XXJE1_alt.sdf"), std::string::npos);
    EXPECT_EQ(List({"--profile", "E250XXJE1_alt.sdf"}).Code, 0);
    EXPECT_EQ(List({"--profile", "E250XXJE1_alt"}).Code, 0);
    EXPECT_EQ(List({"--profile", "nothing.sdf"}).Code, 1);
    // with only the suffixed file, it is used without a choice
    std::filesystem::remove(firmwares + "/E250XXJE1.sdf");
    EXPECT_EQ(List().Code, 0);
}

// The window and the command line share one open rule: the given folder
// first, then a "Firmwares" folder beside the image.
TEST_F(CliDemo, DescriptionFilesBesideTheImageServeWhenTheFolderHasNone) {
    std::filesystem::create_directories(dir / "own");
    auto r = RunCli({"list", image, "--firmwares", dir / "own", "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\"ProfilePath\":\"" + firmwares + "/E250XXJE1.sdf\""), std::string::npos);

    // A description in the given folder wins over the one beside the image.
    ASSERT_TRUE(WriteFileAtomic(dir / "own/E250XXJE1.sdf", "[Firmware]\r\n"));
    r = RunCli({"list", image, "--firmwares", dir / "own", "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\"ProfilePath\":\"" + dir / "own/E250XXJE1.sdf\""), std::string::npos);
    EXPECT_NE(r.Out.find("\"Images\":[]"), std::string::npos);

    std::filesystem::remove(dir / "own/E250XXJE1.sdf");
    std::filesystem::remove(firmwares + "/E250XXJE1.sdf");
    r = RunCli({"list", image, "--firmwares", dir / "own"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "error: no description file for version \"E250XXJE1\" in " + dir / "own" + " nor in " +
                         firmwares + "\n");
}

TEST_F(CliDemo, UnidentifiedImagesAndMissingProfilesFail) {
    std::filesystem::remove(firmwares + "/E250XXJE1.sdf");
    auto r = List();
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("error: no description file", 0), 0u) << r.Err;
    ASSERT_TRUE(WriteFileAtomic(dir / "blank.bin", std::string(4096, '\0')));
    r = RunCli({"list", dir / "blank.bin"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("error: not identified", 0), 0u) << r.Err;
    EXPECT_EQ(RunCli({"list", dir / "missing.bin"}).Code, 1);
    EXPECT_EQ(RunCli({"list"}).Code, 2);
    EXPECT_EQ(RunCli({"list", image, "--bogus"}).Code, 2);
}

TEST_F(CliDemo, TruncatedImagesAndBadTablesFailCleanly) {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(image, bytes));
    // cut inside the language tables: pointer tables and strings lie past the end
    ASSERT_TRUE(WriteFileAtomic(dir / "cut.bin", bytes.substr(0, 0x93210)));
    auto r = RunCli({"list", dir / "cut.bin", "--firmwares", firmwares});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("error: ", 0), 0u);
    EXPECT_NE(r.Err.find("past the end"), std::string::npos) << r.Err;

    std::string sdf;
    ASSERT_TRUE(ReadWholeFile(firmwares + "/E250XXJE1.sdf", sdf));
    std::string bad = sdf;
    bad.replace(bad.find("LanguageTable1="), 15, "LanguageTable1=0x7FFFFFF0\r\nX=");
    ASSERT_TRUE(WriteFileAtomic(dir / "bad.sdf", bad));
    r = RunCli({"list", image, "--sdf", dir / "bad.sdf"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("error: ", 0), 0u);

    // garbage as a description file: no tables, but no crash either
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919) >> 3);
    ASSERT_TRUE(WriteFileAtomic(dir / "garbage.sdf", garbage));
    r = RunCli({"list", image, "--sdf", dir / "garbage.sdf", "--json"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\"Images\":[]"), std::string::npos);
    EXPECT_EQ(RunCli({"list", image, "--sdf", dir / "none.sdf"}).Code, 1);
}

TEST_F(CliDemo, ExportWritesFilesNamedAsRows) {
    ScratchDir out("cliexport");
    auto r = RunCli({"export", image, "images", "all", out.Str(), "--firmwares", firmwares});
    ASSERT_EQ(r.Code, 0) << r.Err;
    size_t lines = 0;
    for (char c : r.Out) lines += c == '\n';
    EXPECT_EQ(lines, 15u);
    EXPECT_TRUE(FileExists(out / "Image_7.bmp"));
    r = RunCli({"export", image, "images", "6", out.Str(), "--jpeg", "--firmwares", firmwares});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, out / "Image_7.jpg" + "\n");
    std::string jpg;
    ASSERT_TRUE(ReadWholeFile(out / "Image_7.jpg", jpg));
    EXPECT_EQ(jpg.substr(0, 2), "\xFF\xD8");
    // PNG holds exactly the pixels of the bitmap.
    r = RunCli({"export", image, "images", "all", out.Str(), "--png", "--firmwares", firmwares});
    ASSERT_EQ(r.Code, 0) << r.Err;
    for (const char* name : {"Image_1", "Image_7", "Image_11"}) {
        Picture bmp, png;
        std::string err;
        ASSERT_TRUE(LoadPictureFile(out / (std::string(name) + ".bmp")).Take(bmp, &err)) << err;
        ASSERT_TRUE(LoadPictureFile(out / (std::string(name) + ".png")).Take(png, &err)) << err;
        EXPECT_EQ(png.Width, bmp.Width);
        EXPECT_EQ(png.Pixels, bmp.Pixels) << name;
    }
    EXPECT_EQ(RunCli({"export", image, "images", "6", out.Str(), "--png", "--jpeg", "--firmwares", firmwares}).Code, 2);
    r = RunCli({"export", image, "java", "all", out.Str(), "--firmwares", firmwares});
    EXPECT_EQ(r.Out, out / "manager_suites.dat" + "\n" + out / "Snake.jad" + "\n" + out / "Snake.jar" + "\n");
    r = RunCli({"export", image, "sounds", "5", out.Str(), "--firmwares", firmwares});
    EXPECT_EQ(r.Out, out / "Sound_6.mmf" + "\n");
    EXPECT_EQ(RunCli({"export", image, "sounds", "99", out.Str(), "--firmwares", firmwares}).Code, 1);
    EXPECT_EQ(RunCli({"export", image, "strings", "0", out.Str(), "--firmwares", firmwares}).Code, 2);
    EXPECT_EQ(RunCli({"export", image, "images", "0", out / "nowhere", "--firmwares", firmwares}).Code, 1);
}

TEST(CliExport, ImageMagickReadsTheExportedBitmap) {
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    ScratchDir dir("cliim");
    ASSERT_EQ(RunCli({"demo", dir.Str()}).Code, 0);
    auto r = RunCli({"export", dir / "demo.bin", "images", "5", dir.Str(), "--firmwares", dir / "Firmwares"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    // the gradient is RAW16: its top-left pixel is pure red, exact in RGB565
    std::string cmd = "convert " + flashsmith::test::ShellQuote(dir / "Image_6.bmp") + " -format '%w %h %[pixel:p{0,0}]' info: > " +
                      flashsmith::test::ShellQuote(dir / "px.txt");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string info = flashsmith::test::Slurp(dir / "px.txt");
    EXPECT_EQ(info.rfind("128 32 ", 0), 0u) << info;
    EXPECT_TRUE(info.find("red") != std::string::npos || info.find("255,0,0") != std::string::npos) << info;
}

}  // namespace
