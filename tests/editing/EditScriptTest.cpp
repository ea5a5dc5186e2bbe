// Edit scripts through flashsmith-cli: the model after the script, warnings,
// usage errors and the run's temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/CliRun.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/PictureFile.h"

using namespace flashsmith::base;

using flashsmith::test::RunCli;
using flashsmith::test::ScratchDir;

namespace {

struct ScriptRun {
    ScratchDir dir{"script"};
    std::string image, firmwares;

    ScriptRun() {
        flashsmith::demo::DemoResult demo;
        EXPECT_TRUE(flashsmith::demo::WriteDemoFirmware(dir.Str(), {}).Take(demo));
        image = demo.ImagePath;
        firmwares = dir / "Firmwares";
        std::filesystem::create_directories(dir / "files");
        flashsmith::firmware::Picture p(20, 10, 0xFFFFFF);
        for (int x = 0; x < 5; ++x) p.At(x, 0) = 0xFF0000;
        EXPECT_TRUE(flashsmith::firmware::SaveBmp32(dir / "files/pic.bmp", p));
        EXPECT_TRUE(WriteFileAtomic(dir / "files/ring.mmf", std::string("MMMD") + std::string(96, 'x')));
    }
    std::string Script(const std::string& text) {
        std::string path = dir / "files/edits.txt";
        EXPECT_TRUE(WriteFileAtomic(path, text));
        return path;
    }
    flashsmith::test::CliResult List(const std::string& script, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"list", image, "--firmwares", firmwares, "--edits", script};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args);
    }
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(EditScript, ListShowsTheModelAfterTheScript) {
    ScriptRun s;
    const std::string temp = s.dir / "temp";
    auto r = s.List(s.Script("# pending edits\r\n"
                             "replace images 0 pic.bmp\r\n"
                             "\r\n"
                             "  transparent 0 0x0000FF   # red\r\n"
                             "replace sounds 1 ring.mmf\r\n"
                             "delete sounds 2\r\n"
                             "string 1 0 2 Hello # world\r\n"
                             "string 1 0 0\r\n"
                             "delete-string 2 1 0\r\n"
                             "delete java 1\r\n"),
                    {"--json", "--temp", temp});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_TRUE(Has(r.Out, "\"TempName\":\"tmpImage_0\"")) << r.Out.substr(0, 400);
    EXPECT_TRUE(Has(r.Out, "\"HasTransp\":true"));
    EXPECT_TRUE(Has(r.Out, "\"TranspColor\":255"));
    EXPECT_TRUE(Has(r.Out, "\"TempName\":\"tmpSound_1\""));
    EXPECT_TRUE(Has(r.Out, "\"NewText\":\"Hello # world\""));
    EXPECT_TRUE(Has(r.Out, "\"Text\":\"Menu\",\"NewText\":\"\",\"Address\""));
    EXPECT_TRUE(Has(r.Out, "\"DeletedSoundCount\":1"));
    // the replacement files of the run are gone, the named folder stays
    EXPECT_TRUE(DirExists(temp));
    EXPECT_FALSE(FileExists(temp + "/tmpImage_0"));
    EXPECT_FALSE(FileExists(temp + "/tmpSound_1"));

    r = s.List(s.Script("replace images 0 pic.bmp\n"), {"--temp", temp, "--keep-temp"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_TRUE(FileExists(temp + "/tmpImage_0"));
    EXPECT_TRUE(Has(r.Out, "(changed)"));
}

TEST(EditScript, DefaultTempFolderIsPrivateAndRemoved) {
    ScriptRun s;
    const std::string tmp = s.dir / "tmp";
    std::filesystem::create_directories(tmp);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    auto r = s.List(s.Script("replace images 0 " + s.dir / "files/pic.bmp" + "\n"));
    auto kept = s.List(s.Script("replace images 0 pic.bmp\n"), {"--keep-temp"});
    if (old) ::setenv("TMPDIR", saved.c_str(), 1);
    else ::unsetenv("TMPDIR");
    ASSERT_EQ(r.Code, 0) << r.Err;
    ASSERT_EQ(kept.Code, 0) << kept.Err;
    // only the kept run's folder is left, private to the user
    std::vector<std::filesystem::path> left;
    for (const auto& e : std::filesystem::directory_iterator(tmp)) left.push_back(e.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(Has(kept.Err, left[0].string()));
    EXPECT_TRUE(FileExists((left[0] / "tmpImage_0").string()));
    auto perms = std::filesystem::status(left[0]).permissions();
    EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);
}

TEST(EditScript, LinesThatChangeNothingWarnAndFailTheRun) {
    ScriptRun s;
    auto r = s.List(s.Script("replace images 8 pic.bmp\n"
                             "delete sounds 5\n"
                             "restore images 3\n"
                             "replace images 0 pic.bmp\n"
                             "replace images 0 pic.bmp\n"
                             "string 1 0 5 dup\n"
                             "replace sounds 0 missing.mmf\n"
                             "delete images 77\n"
                             "string 1 9 0 x\n"
                             "no-transparent 0\n"),
                    {"--json"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(Has(r.Err, "warning: line 1: replace images 8: pictures of this format cannot be replaced")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "warning: line 2: delete sounds 5: the entry shares its data"));
    EXPECT_TRUE(Has(r.Err, "warning: line 3: restore images 3: nothing to change"));
    EXPECT_FALSE(Has(r.Err, "line 4:"));
    EXPECT_TRUE(Has(r.Err, "warning: line 5: replace images 0: the entry is already replaced"));
    EXPECT_TRUE(Has(r.Err, "warning: line 6: string 1 0 5: the entry shares"));
    EXPECT_TRUE(Has(r.Err, "error: line 7: replace sounds 0: the file cannot be read"));
    EXPECT_TRUE(Has(r.Err, "warning: line 8: delete images 77: no such entry (15 entries)"));
    EXPECT_TRUE(Has(r.Err, "warning: line 9: string 1 9 0: no language 9"));
    EXPECT_TRUE(Has(r.Err, "warning: line 10: no-transparent 0: the picture has no transparent colour"));
    // the lines that worked still count
    EXPECT_TRUE(Has(r.Out, "\"TempName\":\"tmpImage_0\""));
}

TEST(EditScript, MalformedScriptIsAUsageErrorAndRunsNothing) {
    ScriptRun s;
    const std::string temp = s.dir / "temp";
    for (const char* bad : {"replace pictures 1 pic.bmp", "delete images -1", "delete images 1 2",
                            "string 3 0 1 x", "transparent 0 red", "transparent 0 0x1000000", "frobnicate",
                            "replace images 0", "string 1 0 1 \xC3(", "replace sounds 1 ring.mmf --fit"}) {
        auto r = s.List(s.Script("replace images 0 pic.bmp\n" + std::string(bad) + "\n"), {"--temp", temp});
        EXPECT_EQ(r.Code, 2) << bad;
        EXPECT_TRUE(Has(r.Err, "error: line 2: ")) << bad << ": " << r.Err;
        EXPECT_EQ(r.Out, "") << bad;
        EXPECT_FALSE(FileExists(temp + "/tmpImage_0")) << bad;
    }
    EXPECT_EQ(s.List(s.dir / "no-such-script.txt").Code, 1);
}

TEST(EditScript, FitScalesIntoTheEntryAndCropIsTheDefault) {
    ScriptRun s;
    const std::string temp = s.dir / "temp";
    auto side = [&](const std::string& file, int at) {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(temp + "/" + file, bytes));
        return bytes.size() < 4 ? -1 : uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8;
    };
    // pic.bmp is 20 x 10; picture 1 is 24 x 12 and picture 2 20 x 16.
    auto r = s.List(s.Script("replace images 1 pic.bmp  --fit\nreplace images 2 pic.bmp\n"),
                    {"--temp", temp, "--keep-temp"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(side("tmpImage_1", 0), 24);
    EXPECT_EQ(side("tmpImage_1", 2), 12);
    EXPECT_EQ(side("tmpImage_2", 0), 20);
    EXPECT_EQ(side("tmpImage_2", 2), 10);
}

TEST(EditScript, ApplyLineReportsWhenItChangesNothing) {
    ScriptRun s;
    auto r = s.List(s.Script("apply missing.spf\n"));
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(Has(r.Err, "line 1: apply")) << r.Err;
}

}  // namespace
