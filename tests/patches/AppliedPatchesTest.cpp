// Cancelling applied patches: only the entries a patch still holds as it
// left them go back to the image's own data, with exact accounting.
#include <gtest/gtest.h>

#include "base/FileUtil.h"
#include "patches/AppliedPatches.h"
#include "patches/CreatePatch.h"
#include "patches/PatchFixture.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::patches;
namespace {

struct Journal : ::testing::Test {
    TempDir dir;
    DemoFirmware demo{dir};
    FirmwareState own;  // the image as opened, never edited

    void SetUp() override { demo.Open(own, "Own"); }

    std::string Patch(const std::string& name, PatchKind kind, const std::function<void(FirmwareState&)>& edit) {
        FirmwareState st;
        demo.Open(st, "Make" + name);
        edit(st);
        CreatePatchOptions o;
        o.Kind = kind;
        o.Details = {name, "1", "", "me", "", "", ""};
        o.FileName = dir.Path(name);
        EXPECT_EQ(CreatePatch(st, o, NullProgress()).Status, CreatePatchStatus::Ok);
        return dir.Path(name + ".spf");
    }
    void ExpectUsedAsOwn(const FirmwareState& st, int32_t region, int64_t delta = 0) {
        EXPECT_EQ(st.Firmware.Regions[region].Used, own.Firmware.Regions[region].Used + delta) << "region " << region;
    }
};

TEST_F(Journal, CancelTakesBackOnlyWhatThePatchStillHolds) {
    const std::string sounds = Patch("sounds", PatchKind::Sounds, [](FirmwareState& st) {
        DeleteSound(st, 1);
        ReplaceSound(st, 2, "MMMD-a new tone");
    });
    const std::string pictures = Patch("pictures", PatchKind::Pictures, [](FirmwareState& st) {
        ReplacePicture(st, 0, 2, 2, std::string(8, '\x11'));
        DeletePicture(st, 2);
    });
    const std::string strings = Patch("strings", PatchKind::Languages, [](FirmwareState& st) {
        EditString(st, 1, 0, 1, "Hi");
        EditString(st, 1, 0, 2, "Yo");
    });

    FirmwareState st;
    demo.Open(st, "Work");
    AppliedPatches journal;
    journal.Reset(st);
    DeleteSound(st, 0);  // by hand, before any patch
    for (const std::string& p : {sounds, pictures, strings, pictures})
        ASSERT_EQ(journal.Apply(st, p).Status, OpenSpfStatus::Applied) << p;
    EXPECT_EQ(st.DeletedSoundCount, 2);
    EXPECT_FALSE(st.Firmware.Images[0].TempName.empty());
    EditString(st, 1, 0, 2, "Mine");  // by hand, over the patch's edit

    // The sound patch: its two sounds return, the hand-deleted one stays.
    AppliedPatches::CancelResult c = journal.Cancel(st, {sounds});
    EXPECT_EQ(c.Patches, 1);
    EXPECT_EQ(c.Entries, 2);
    EXPECT_EQ(c.Categories, std::vector<int32_t>{1});
    EXPECT_TRUE(st.Firmware.Sounds[0].Deleted);
    EXPECT_FALSE(st.Firmware.Sounds[1].Deleted);
    EXPECT_TRUE(st.Firmware.Sounds[2].TempName.empty());
    EXPECT_FALSE(FileExists(st.TempDir + "tmpSound_2"));
    EXPECT_EQ(st.DeletedSoundCount, 1);
    ExpectUsedAsOwn(st, 1, -own.Firmware.Sounds[0].Size);
    EXPECT_FALSE(journal.IsApplied(sounds));

    // The picture patch, applied twice, goes at once; the strings patch
    // leaves the string edited by hand since.
    c = journal.Cancel(st, {pictures, strings});
    EXPECT_EQ(c.Patches, 3);
    EXPECT_EQ(c.Entries, 3);
    const tImgType& p0 = st.Firmware.Images[0];
    EXPECT_TRUE(p0.TempName.empty());
    EXPECT_EQ(p0.Address, own.Firmware.Images[0].Address);
    EXPECT_FALSE(st.Firmware.Images[2].Deleted);
    ExpectUsedAsOwn(st, 0);
    EXPECT_TRUE(StringAt(st, 1, 0, 1).NewText.empty());
    EXPECT_EQ(StringAt(st, 1, 0, 2).NewText, "Mine");
    ExpectUsedAsOwn(st, LangRegion(st, 1, 0),
                    int64_t(std::string("Mine").size()) - int64_t(StringAt(own, 1, 0, 2).Text.size()));

    // Nothing left to take back; a patch never applied changes nothing.
    EXPECT_EQ(journal.Cancel(st, {sounds, pictures, strings}).Patches, 0);
    journal.Reset(st);
    EXPECT_EQ(journal.Apply(st, sounds).Status, OpenSpfStatus::Applied);
    EXPECT_EQ(journal.Cancel(st, {pictures}).Entries, 0);
    EXPECT_TRUE(journal.IsApplied(sounds));
}

}  // namespace
}  // namespace flashsmith
