#include <gtest/gtest.h>

#include "firmware/Firmware.h"
#include "patches/PatchFixture.h"
#include "patches/PatchTestData.h"
#include "xml/XmlTestUtil.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
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
    EXPECT_NE(out.find("\"name\":\"tab\\there \\\"q\\\" back\\\\slash\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"firmware\":\"V1\""), std::string::npos) << out;
    EXPECT_NE(out.find("{\"element\":\"resource\",\"type\":\"lng\",\"convert\":\"full\",\"table\":2,"
                       "\"number\":3,\"data\":1,\"meta\":0,\"toBytes\":2}"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("{\"element\":\"binary\",\"type\":null"), std::string::npos) << out;
    EXPECT_NE(out.find("{\"firmware\":\"V2\",\"resources\":[]}"), std::string::npos) << out;

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
}  // namespace flashsmith

namespace flashsmith {
namespace {

class CliPatchCreate : public ::testing::Test {
protected:
    TempDir dir;
    std::string cli = ShellQuote(CliPath());
    std::string image, firmwares;
    void SetUp() override {
        ASSERT_EQ(RunCli("demo " + ShellQuote(dir.Path("d"))), 0);
        image = ShellQuote(dir.Path("d/demo.bin"));
        firmwares = " --firmwares " + ShellQuote(dir.Path("d/Firmwares"));
    }
    std::string Script(const std::string& name, const std::string& text) {
        WriteFile(dir.Path(name), text);
        return ShellQuote(dir.Path(name));
    }
    // "p.spf": sound 1 deleted and sound 2 replaced by a small file.
    int CreateSoundPatch(std::string* out) {
        WriteFile(dir.Path("ring.mmf"), "MMMD-a new tone");
        const std::string edits = Script("e.txt", "delete sounds 1\nreplace sounds 2 " + dir.Path("ring.mmf") + "\n");
        return RunCli("patch create " + image + " " + ShellQuote(dir.Path("p")) + " --kind snd --name Quiet --edits " +
                          edits + firmwares,
                      out);
    }
};

TEST_F(CliPatchCreate, EditsBecomeAPatchThatAppliesAndExportsAsSrecCatReadsIt) {
    std::string out;
    ASSERT_EQ(CreateSoundPatch(&out), 0) << out;
    EXPECT_EQ(out, dir.Path("p.spf") + "\n");
    ASSERT_EQ(RunCli("patch show " + ShellQuote(dir.Path("p.spf")), &out), 0);
    EXPECT_NE(out.find("  0: type snd, convert part: 3 data, 2 meta"), std::string::npos) << out;

    // "apply" in an edit script is Open SPF: the same edits, the same patch.
    const std::string apply = Script("a.txt", "apply " + dir.Path("p.spf") + "\n");
    ASSERT_EQ(RunCli("patch create " + image + " " + ShellQuote(dir.Path("q.spf")) + " --kind snd --name Quiet --edits " +
                         apply + firmwares, &out), 0) << out;
    EXPECT_EQ(ReadFile(dir.Path("q.spf")), ReadFile(dir.Path("p.spf")));

    // A partial patch needs the image; with it, srec_cat reads the records.
    const std::string s3 = ShellQuote(dir.Path("p.s3"));
    EXPECT_EQ(RunCli("patch to-s3 " + ShellQuote(dir.Path("p.spf")) + " " + s3, &out), 1);
    EXPECT_EQ(out, "error: Open Firmware!\n");
    ASSERT_EQ(RunCli("patch to-s3 " + ShellQuote(dir.Path("p.spf")) + " " + s3 + " --image " + image + firmwares, &out), 0)
        << out;
    const std::string records = ReadFile(dir.Path("p.s3"));
    EXPECT_EQ(records.rfind("S00600004844521B\r\n", 0), 0u);
    EXPECT_EQ(records.substr(records.size() - 16), "S705A002000058\r\n");
    if (RunCommand("command -v srec_cat") != 0) GTEST_SKIP() << "srec_cat not available";
    ASSERT_EQ(RunCommand("srec_cat " + image + " -binary -exclude -within " + s3 + " " + s3 + " -o " +
                         ShellQuote(dir.Path("merged.bin")) + " -binary", &out), 0) << out;
    EXPECT_EQ(ReadFile(dir.Path("merged.bin")), Overlay(ReadFile(dir.Path("d/demo.bin")), records));
}

TEST_F(CliPatchCreate, OutOfMemoryKeepsTheEarlierPatchAndUsageIsChecked) {
    std::string out;
    const std::string target = ShellQuote(dir.Path("l.spf"));
    ASSERT_EQ(RunCli("patch create " + image + " " + target + " --kind lng" + firmwares, &out), 0) << out;
    const std::string kept = ReadFile(dir.Path("l.spf"));
    const std::string grow = Script("g.txt", "string 2 1 0 \"A much longer phone book title than fits\"\n");
    EXPECT_EQ(RunCli("patch create " + image + " " + target + " --kind lng --edits " + grow + firmwares, &out), 1);
    EXPECT_EQ(out, "error: Out of Memory!\n");
    EXPECT_EQ(ReadFile(dir.Path("l.spf")), kept);

    EXPECT_EQ(RunCli("patch create " + image + " " + target + firmwares, &out), 2);
    EXPECT_EQ(RunCli("patch create " + image + " " + target + " --kind wav" + firmwares, &out), 2);
    EXPECT_EQ(RunCli("patch create " + image + " " + target + " --kind none --patch-version 1234567890123" + firmwares,
                     &out), 2);
    EXPECT_EQ(RunCli("patch to-s3 " + target + " x.s3 --resource 6", &out), 2);
}

TEST_F(CliPatchCreate, FullPatchExportsWithoutImageAndResourcesCanBeChosen) {
    std::string out;
    const std::string full = ShellQuote(dir.Path("f.spf"));
    ASSERT_EQ(RunCli("patch create " + image + " " + full + " --kind lng --full" + firmwares, &out), 0) << out;
    const std::string s3 = ShellQuote(dir.Path("f.s3"));
    ASSERT_EQ(RunCli("patch to-s3 " + full + " " + s3, &out), 0) << out;
    const std::string all = ReadFile(dir.Path("f.s3"));
    // Language 1 of table 2 alone (resource 4): its pointer table and strings.
    ASSERT_EQ(RunCli("patch to-s3 " + full + " " + s3 + " --resource 4", &out), 0) << out;
    EXPECT_EQ(out.find(dir.Path("f.s3") + ": 1 resources, "), 0u) << out;
    const std::string one = ReadFile(dir.Path("f.s3"));
    EXPECT_LT(one.size(), all.size());
    EXPECT_EQ(S3Data(one).begin()->first, 0x93200u + 4 * 0x600);  // its pointer table comes first

    // A full language patch of an unedited image packs the strings afresh;
    // the image it makes reads the same texts.
    WriteFile(dir.Path("d/packed.bin"), Overlay(ReadFile(dir.Path("d/demo.bin")), all));
    FirmwareState before, after;
    OpenOptions o;
    o.SdfPath = dir.Path("d/Firmwares/E250XXJE1.sdf");
    ASSERT_EQ(OpenFirmware(before, dir.Path("d/demo.bin"), o, NullProgress()).Status, OpenStatus::Ok);
    ASSERT_EQ(OpenFirmware(after, dir.Path("d/packed.bin"), o, NullProgress()).Status, OpenStatus::Ok);
    for (int t = 0; t < 2; ++t) {
        const auto& x = t ? before.Firmware.Strings2 : before.Firmware.Strings1;
        const auto& y = t ? after.Firmware.Strings2 : after.Firmware.Strings1;
        ASSERT_EQ(x.size(), y.size());
        for (size_t k = 0; k < x.size(); ++k)
            for (size_t i = 0; i < x[k].size(); ++i) EXPECT_EQ(y[k][i].Text, x[k][i].Text) << t << k << i;
    }
    // The string that lay outside every region now lies in its language's.
    EXPECT_NE(after.Firmware.Strings1[0][11].Address, before.Firmware.Strings1[0][11].Address);
}

// A patch made from edits is "No" on the image it was made from and "Yes"
// once its records are flashed; a patch only partly in place is "Partly".
TEST_F(CliPatchCreate, StatusTellsWhetherEachPatchIsInTheImage) {
    std::string out;
    ASSERT_EQ(CreateSoundPatch(&out), 0) << out;
    const std::string p = ShellQuote(dir.Path("p.spf"));
    ASSERT_EQ(RunCli("patch to-s3 " + p + " " + ShellQuote(dir.Path("p.s3")) + " --image " + image + firmwares, &out),
              0) << out;
    const std::string demo = ReadFile(dir.Path("d/demo.bin"));
    WriteFile(dir.Path("d/flashed.bin"), Overlay(demo, ReadFile(dir.Path("p.s3"))));

    // Two elements in place, one changed, one past the end of the image;
    // the part for another firmware is not compared.
    auto hex = [](const std::string& bytes) {
        static const char* digits = "0123456789ABCDEF";
        std::string h;
        for (unsigned char c : bytes) h += {digits[c >> 4], digits[c & 15]};
        return h;
    };
    std::string changed = demo.substr(0x40, 8);
    changed[3] = static_cast<char>(changed[3] ^ 0x5A);
    auto data = [&](size_t offset, const std::string& to) {
        return "<data number=\"1\" id=\"0\" offset=\"" + std::to_string(offset) + "\" from=\"\" to=\"" + hex(to) +
               "\"/>";
    };
    WriteFile(dir.Path("some.spf"),
              "<patch version=\"1.0a\"><info name=\"Some\" version=\"1\"/><patchdata firmware=\"e250xxje1\">"
              "<resource type=\"img\" convert=\"full\">" + data(0x10, demo.substr(0x10, 4)) + data(0x40, changed) +
              data(0x20, demo.substr(0x20, 4)) + data(demo.size() - 2, "ABCD") +
              "</resource></patchdata><patchdata firmware=\"X\"><resource type=\"img\" convert=\"full\">" +
              data(0x40, changed) + "</resource></patchdata></patch>");
    WriteFile(dir.Path("other.spf"),
              "<patch version=\"1.0a\"><info name=\"Other\"/><patchdata firmware=\"X100XXAA1\">"
              "<resource type=\"img\" convert=\"full\">" + data(0x10, demo.substr(0x10, 4)) +
              "</resource></patchdata></patch>");
    WriteFile(dir.Path("none.spf"), "<patch/>");

    const std::string some = dir.Path("some.spf"), other = dir.Path("other.spf");
    EXPECT_EQ(RunCli("patch status " + p + " " + ShellQuote(some) + " " + ShellQuote(other) + " --image " + image +
                         firmwares, &out), 0) << out;
    EXPECT_EQ(out.rfind(dir.Path("p.spf") + ": ", 0), 0u) << out;
    EXPECT_EQ(out.find(dir.Path("p.spf") + ": Yes"), std::string::npos) << out;
    EXPECT_NE(out.find(some + ": Partly (2 of 4 data elements, 8 of 20 bytes)\n"), std::string::npos) << out;
    EXPECT_NE(out.find(other + ": Yes (1 of 1 data elements, 4 of 4 bytes), made for firmware \"X100XXAA1\"\n"),
              std::string::npos) << out;

    const std::string flashed = ShellQuote(dir.Path("d/flashed.bin"));
    ASSERT_EQ(RunCli("patch status " + p + " --image " + flashed + firmwares, &out), 0) << out;
    EXPECT_NE(out.find(": Yes ("), std::string::npos) << out;

    // A file that is no patch is named and fails the run; the rest is told.
    std::string err;
    EXPECT_EQ(RunCommand("(" + cli + " patch status " + ShellQuote(dir.Path("none.spf")) + " " + p + " --json --image " +
                             flashed + firmwares + " 2>" + ShellQuote(dir.Path("err.txt")) + ")", &out), 1);
    EXPECT_EQ(ReadFile(dir.Path("err.txt")), "error: " + dir.Path("none.spf") + ": not a patch file\n");
    EXPECT_NE(out.find("\"name\":\"Quiet\",\"version\":\"\",\"firmware\":\"E250XXJE1\",\"fits\":true,"
                       "\"installed\":\"Yes\""), std::string::npos) << out;
    EXPECT_EQ(RunCli("patch status " + p, &err), 2);
    if (RunCommand("command -v python3") != 0) GTEST_SKIP() << "python3 not available to check the JSON";
    WriteFile(dir.Path("out.json"), out);
    EXPECT_EQ(RunCommand("python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + ShellQuote(dir.Path("out.json")),
                         &err), 0) << err << out;
}

}  // namespace
}  // namespace flashsmith
