#include <gtest/gtest.h>

#include "patches/PatchTestData.h"
#include "xml/XmlTestUtil.h"

namespace fs {
namespace {

TEST(CliPatchShow, PrintsInfoAuthorsFirmwareAndResources) {
    TempDir dir;
    const std::string path = dir.Path("quiet.spf");
    std::string text = kSoundPatch;
    // A Windows-1251 description ("Тихо") is shown in UTF-8.
    text.replace(text.find("Deletes two ringtones"), 21, "\xD2\xE8\xF5\xEE");
    text.replace(text.find("<author e-mail"), 7, "<author nick=\"second\"");
    WriteFile(path, text);
    std::string out;
    ASSERT_EQ(RunCli("patch show " + ShellQuote(path), &out), 0) << out;
    EXPECT_EQ(out,
              "name:        Quiet & \"calm\"\n"
              "version:     1.1\n"
              "group:       \n"
              "description: \xD0\xA2\xD0\xB8\xD1\x85\xD0\xBE\n"
              "authors:     mirel, second\n"
              "firmware:    E700XXJD1\n"
              "resources:   1\n"
              "  0: type snd, convert part: 3 data, 3 meta, 185 bytes\n");
}

TEST(CliPatchShow, JsonIsWellFormedAndComplete) {
    TempDir dir;
    const std::string path = dir.Path("p.spf");
    WriteFile(path, "<patch version=\"1.0A\"><info name=\"tab\there &quot;q&quot; back\\slash\"/>"
                    "<patchdata firmware=\"V1\"><resource type=\"lng\" convert=\"full\" table=\"2\" number=\"3\">"
                    "<data number=\"0\" offset=\"0x10\" to=\"0011\"/></resource><binary/></patchdata>"
                    "<patchdata firmware=\"V2\"/></patch>");
    std::string out;
    ASSERT_EQ(RunCli("patch show --json " + ShellQuote(path), &out), 0) << out;
    EXPECT_NE(out.find("\"name\": \"tab\\there \\\"q\\\" back\\\\slash\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"firmware\": \"V1\""), std::string::npos) << out;
    EXPECT_NE(out.find("{\"element\": \"resource\", \"type\": \"lng\", \"convert\": \"full\", \"table\": 2, "
                       "\"number\": 3, \"data\": 1, \"meta\": 0, \"toBytes\": 2}"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("{\"element\": \"binary\", \"type\": null"), std::string::npos) << out;
    EXPECT_NE(out.find("{\"firmware\": \"V2\", \"resources\": []}"), std::string::npos) << out;

    if (RunCommand("command -v python3") != 0) GTEST_SKIP() << "python3 not available to check the JSON";
    WriteFile(dir.Path("out.json"), out);
    std::string check;
    EXPECT_EQ(RunCommand("python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " +
                             ShellQuote(dir.Path("out.json")), &check), 0)
        << check << out;
}

TEST(CliPatchShow, RejectsFilesThatAreNoPatch) {
    TempDir dir;
    std::string out;
    WriteFile(dir.Path("old.spf"), "<patch version=\"1.0\"/>");
    EXPECT_EQ(RunCli("patch show " + ShellQuote(dir.Path("old.spf")), &out), 1);
    EXPECT_EQ(out, "error: not a patch file\n");
    WriteFile(dir.Path("empty.spf"), "");
    EXPECT_EQ(RunCli("patch show " + ShellQuote(dir.Path("empty.spf")), &out), 1);
    EXPECT_EQ(out, "error: not a patch file\n");
    EXPECT_EQ(RunCli("patch show " + ShellQuote(dir.Path("missing.spf")), &out), 1);
    EXPECT_EQ(out.rfind("error: ", 0), 0u);
    EXPECT_EQ(RunCli("patch show", &out), 2);
    EXPECT_EQ(RunCli("patch", &out), 2);
    EXPECT_EQ(RunCli("patch burn x", &out), 2);
    EXPECT_EQ(RunCli("patch show --help", &out), 0);
    EXPECT_NE(out.find("usage: flashsmith-cli patch show PATCH [--json]"), std::string::npos);
}

}  // namespace
}  // namespace fs
