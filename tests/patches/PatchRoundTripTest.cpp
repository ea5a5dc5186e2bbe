// Edits -> partial patch -> applied to a fresh open -> the same patch again;
// and the patch -> S-records -> written into the image -> an image that opens
// with the edited tables and data.
#include <gtest/gtest.h>

#include <functional>

#include "firmware/Images.h"
#include "patches/ApplyPatch.h"
#include "patches/CreatePatch.h"
#include "patches/PatchExport.h"
#include "patches/PatchFixture.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::patches;
using namespace flashsmith::srecord;
using namespace flashsmith::xml;
namespace {

struct RoundTrip {
    TempDir dir;
    DemoFirmware demo{dir};
    FirmwareState edited, opened;  // opened: the image made from the S-records
    std::string original;

    // Runs the whole trip; check then looks at edited (the source) and opened.
    void Run(PatchKind kind, const std::function<void(FirmwareState&)>& edit) {
        original = demo.ImageBytes();
        demo.Open(edited, "A");
        edit(edited);
        CreatePatchOptions o;
        o.Kind = kind;
        o.Details = {"Trip", "1", "about", "me", "e", "w", "1"};
        o.FileName = dir.Path("first");
        ASSERT_EQ(CreatePatch(edited, o, NullProgress()).Status, CreatePatchStatus::Ok);
        const std::string first = ReadFile(dir.Path("first.spf"));

        FirmwareState fresh;
        demo.Open(fresh, "B");
        for (int round = 0; round < 2; ++round) {  // twice equals once
            OpenSpfResult r = OpenSpf(fresh, dir.Path("first.spf"));
            ASSERT_EQ(r.Status, OpenSpfStatus::Applied);
            EXPECT_EQ(r.Details.Name, "Trip");
            EXPECT_EQ(r.Details.Icq, "1");
            for (size_t i = 0; i < edited.Firmware.Regions.size(); ++i)
                EXPECT_EQ(fresh.Firmware.Regions[i].Used, edited.Firmware.Regions[i].Used) << "region " << i;
            EXPECT_EQ(fresh.DeletedSoundCount, edited.DeletedSoundCount);
            o.FileName = dir.Path("second");
            ASSERT_EQ(CreatePatch(fresh, o, NullProgress()).Status, CreatePatchStatus::Ok);
            EXPECT_EQ(ReadFile(dir.Path("second.spf")), first) << "round " << round;
        }

        // Partial export against the unedited firmware, and the full patch of
        // the same edits exported without one, give the same bytes.
        TGmXML doc;
        ASSERT_TRUE(doc.LoadFile(dir.Path("first.spf")));
        auto patch = ReadPatch(doc);
        ASSERT_TRUE(patch);
        std::vector<const PatchResource*> all;
        for (const auto& r : patch->sections[0].resources) all.push_back(&r);
        FirmwareState plain;
        demo.Open(plain, "C");
        S3Output partial;
        ASSERT_EQ(ExportPatchToS3(all, &plain, partial, NullProgress()).Status, PatchExportStatus::Ok);
        const std::string image = Overlay(original, std::string(partial.Text()));

        o.Full = true;
        o.FileName = dir.Path("full");
        ASSERT_EQ(CreatePatch(edited, o, NullProgress()).Status, CreatePatchStatus::Ok);
        TGmXML fullDoc;
        ASSERT_TRUE(fullDoc.LoadFile(dir.Path("full.spf")));
        auto fullPatch = ReadPatch(fullDoc);
        std::vector<const PatchResource*> fullAll;
        for (const auto& r : fullPatch->sections[0].resources) fullAll.push_back(&r);
        S3Output full;
        ASSERT_EQ(ExportPatchToS3(fullAll, nullptr, full, NullProgress()).Status, PatchExportStatus::Ok);
        EXPECT_EQ(Overlay(original, std::string(full.Text())), image);

        WriteFile(dir.Path("demo/edited.bin"), image);
        opened.TempDir = dir.Path("D/");
        OpenOptions oo;
        oo.SdfPath = demo.Result().ProfilePath;
        ASSERT_EQ(OpenFirmware(opened, dir.Path("demo/edited.bin"), oo, NullProgress()).Status, OpenStatus::Ok);
    }

    std::string DataAt(const std::string& image, int64_t address, int32_t size) const {
        return image.substr(static_cast<size_t>(address), static_cast<size_t>(size));
    }
    std::string OpenedData(int64_t address, int32_t size) const {
        return std::string(opened.FirmwareFile->View(address, static_cast<size_t>(size)));
    }
};

TEST(PatchRoundTrip, Pictures) {
    RoundTrip t;
    const std::string envelope(10 * 5 * 2, '\x5A'), checker("ABCDEFGHI");
    t.Run(PatchKind::Pictures, [&](FirmwareState& st) {
        ReplacePicture(st, 3, 10, 5, envelope);  // RAW16
        ReplacePicture(st, 8, 3, 3, checker);    // RAW8, odd length
        DeletePicture(st, 5);
        st.Firmware.Images[8].HasTransp = true;
    });
    const auto& before = t.edited.Firmware.Images;
    const auto& after = t.opened.Firmware.Images;
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[3].Width, 10);
    EXPECT_EQ(after[3].Height, 5);
    EXPECT_EQ(t.OpenedData(after[3].Address, 100), envelope);
    EXPECT_EQ(t.OpenedData(after[8].Address, 9), checker);
    EXPECT_EQ(after[9].Address, after[8].Address + 10);  // even start after 9 bytes
    EXPECT_EQ(after[5].Width, 1);
    EXPECT_EQ(after[5].Height, 0);
    EXPECT_EQ(after[5].Link, 0);  // the region's start, where picture 1 lies
    EXPECT_EQ(after[12].Link, 0);
    for (size_t i : {0, 1, 2, 4, 6, 7, 9, 10, 11, 13}) {
        EXPECT_EQ(after[i].Size, before[i].Size) << i;
        EXPECT_EQ(t.OpenedData(after[i].Address, after[i].Size), t.DataAt(t.original, before[i].Address, before[i].Size))
            << i;
    }
}

TEST(PatchRoundTrip, Sounds) {
    RoundTrip t;
    const std::string ring = "MMMD-a new ring tone of odd length";
    t.Run(PatchKind::Sounds, [&](FirmwareState& st) {
        ReplaceSound(st, 2, ring);
        DeleteSound(st, 1);
        DeleteSound(st, 3);
    });
    const auto& before = t.edited.Firmware.Sounds;
    const auto& after = t.opened.Firmware.Sounds;
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(t.OpenedData(after[2].Address, after[2].Size), ring);
    EXPECT_EQ(after[1].Size, 157);
    EXPECT_EQ(t.OpenedData(after[1].Address, 157), std::string(PlaceholderSound()));
    EXPECT_EQ(after[3].Address, after[1].Address);
    EXPECT_EQ(after[3].Link, 1);
    EXPECT_EQ(after[5].Link, 0);
    for (size_t i : {0, 4})
        EXPECT_EQ(t.OpenedData(after[i].Address, after[i].Size), t.DataAt(t.original, before[i].Address, before[i].Size));
}

TEST(PatchRoundTrip, Java) {
    RoundTrip t;
    const std::string jar = "PK a replaced archive";
    const std::string path = "E:\\S100\\#Flashsmith_#Snake_suite\\#Snake2.jar";
    t.Run(PatchKind::Java, [&](FirmwareState& st) { ReplaceJava(st, 2, jar, path); });
    const auto& after = t.opened.Firmware.JavaApps;
    ASSERT_EQ(after.size(), 3u);  // the table is closed after the three it holds
    EXPECT_EQ(after[2].Path, path);
    EXPECT_EQ(t.OpenedData(after[2].Address, after[2].Size), jar);
    for (size_t i : {0, 1}) {  // the manager's list and the JAD keep their data
        const auto& kept = t.edited.Firmware.JavaApps[i];
        EXPECT_EQ(after[i].Path, kept.Path);
        EXPECT_EQ(t.OpenedData(after[i].Address, after[i].Size), t.DataAt(t.original, kept.Address, kept.Size));
    }
}

TEST(PatchRoundTrip, Strings) {
    RoundTrip t;
    t.Run(PatchKind::Languages, [&](FirmwareState& st) {
        EditString(st, 1, 0, 0, "Main menu!");  // everything after it moves
        DeleteString(st, 1, 0, 10);               // and gives the room back
        EditString(st, 2, 2, 1, "\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9");
    });
    const auto& before1 = t.edited.Firmware.Strings1;
    const auto& after1 = t.opened.Firmware.Strings1;
    const auto& after2 = t.opened.Firmware.Strings2;
    ASSERT_EQ(after1.size(), 3u);
    EXPECT_EQ(after1[0][0].Text, "Main menu!");
    EXPECT_EQ(after1[0][10].Text, "");
    EXPECT_EQ(after2[2][1].Text, "\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9");
    for (int lang = 0; lang < 3; ++lang)
        for (size_t i = 0; i < before1[lang].size(); ++i)
            if (!(lang == 0 && (i == 0 || i == 10))) {
                EXPECT_EQ(after1[lang][i].Text, before1[lang][i].Text) << lang << " " << i;
            }
    // The borrowed "OK" strings follow their home string to its new place.
    EXPECT_EQ(after1[1][2].Address, after1[0][2].Address);
    EXPECT_EQ(after2[0][3].Text, "OK");
    EXPECT_EQ(after2[0][3].Address, after1[0][2].Address);
}

TEST(PatchRoundTrip, GrowthBeyondTheRegionIsOutOfMemoryAndKeepsTheOldPatch) {
    TempDir dir;
    DemoFirmware demo(dir);
    FirmwareState st;
    demo.Open(st);
    CreatePatchOptions o;
    o.Kind = PatchKind::Languages;
    o.FileName = dir.Path("lang.spf");
    ASSERT_EQ(CreatePatch(st, o, NullProgress()).Status, CreatePatchStatus::Ok);
    const std::string kept = ReadFile(dir.Path("lang.spf"));
    EditString(st, 2, 1, 0, "A much longer phone book title");
    CreatePatchResult r = CreatePatch(st, o, NullProgress());
    EXPECT_EQ(r.Status, CreatePatchStatus::OutOfMemory);
    EXPECT_EQ(r.Region, LangRegion(st, 2, 1));
    EXPECT_EQ(ReadFile(dir.Path("lang.spf")), kept);
}

}  // namespace
}  // namespace flashsmith
