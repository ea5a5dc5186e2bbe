#include <gtest/gtest.h>

#include "base/Hex.h"
#include "patches/ApplyPatch.h"
#include "patches/CreatePatch.h"
#include "patches/PatchFixture.h"
#include "patches/PatchFormat.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::demo;
using namespace flashsmith::patches;
using namespace flashsmith::xml;
namespace {

std::string Patch(const std::string& resources, const std::string& firmware = kDemoVersion,
                  const std::string& author = "<author nick=\"n\" />") {
    return "<patch version=\"1.0a\"><info name=\"P\" version=\"2\"><about description=\"d\" />" + author +
           "</info><patchdata firmware=\"" + firmware + "\">" + resources + "</patchdata></patch>";
}

OpenSpfResult Apply(FirmwareState& st, const std::string& text) {
    TGmXML doc;
    doc.SetText(text);
    return ApplyPatchDocument(st, doc);
}

// Everything an application may change, in comparable form.
std::string Snapshot(const FirmwareState& st) {
    std::string s;
    for (const auto& r : st.Firmware.Regions) s += std::to_string(r.Used) + ",";
    s += "|" + std::to_string(st.DeletedSoundCount) + "|";
    for (const auto& i : st.Firmware.Images)
        s += i.TempName + ":" + std::to_string(i.Deleted) + std::to_string(i.Link) + std::to_string(i.HasTransp) +
             std::to_string(i.TranspColor) + std::to_string(i.Address) + "/" + std::to_string(i.Size) + ",";
    for (const auto& i : st.Firmware.Sounds)
        s += i.TempName + ":" + std::to_string(i.Deleted) + std::to_string(i.Link) + ",";
    for (const auto& i : st.Firmware.JavaApps) s += i.TempName + ":" + std::to_string(i.Deleted) + i.NewPath + ",";
    for (const auto* t : {&st.Firmware.Strings1, &st.Firmware.Strings2})
        for (const auto& l : *t)
            for (const auto& i : l)
                s += i.NewText + ":" + std::to_string(i.Deleted) + std::to_string(i.Link) + std::to_string(i.HomeLang) + ",";
    return s;
}

class ApplyPatch : public ::testing::Test {
protected:
    TempDir dir;
    DemoFirmware demo{dir};
    FirmwareState st;
    void SetUp() override { demo.Open(st); }
};

TEST_F(ApplyPatch, SoundPatchDeletesLinksAndReplacesAndTwiceEqualsOnce) {
    const int32_t used = st.Firmware.Regions[1].Used;
    const int32_t size0 = st.Firmware.Sounds[0].Size, size2 = st.Firmware.Sounds[2].Size;
    const std::string text = Patch(
        "<resource type=\"snd\" convert=\"PART\">"
        "<data offset=\"0x100\" number=\"0\" id=\"0\" from=\"\" to=\"\" />"
        "<data offset=\"0x100\" number=\"-1\" id=\"0\" from=\"" + std::string(314, '0') + "\" to=\"" +
        BytesToHex(PlaceholderSound()) + "\" />"
        "<meta type=\"deleted\" number=\"3\" id=\"0\" />"
        "<meta type=\"link\" number=\"2\" id=\"0\" linkto=\"0\" />"
        "<Data offset=\"0x200\" number=\"5\" id=\"0\" from=\"000000\" to=\"0A0B0C\" />"
        "</resource>");
    OpenSpfResult r = Apply(st, text);
    ASSERT_EQ(r.Status, OpenSpfStatus::Applied);
    EXPECT_EQ(r.Resources, 1);
    EXPECT_EQ(r.Details.Name, "P");
    EXPECT_EQ(r.Details.Version, "2");
    EXPECT_EQ(r.Details.About, "d");
    EXPECT_EQ(r.Details.Author, "n");
    const auto& s = st.Firmware.Sounds;
    EXPECT_TRUE(s[2].Deleted);
    EXPECT_EQ(st.DeletedSoundCount, 1);
    EXPECT_EQ(s[1].Link, 0);
    EXPECT_EQ(s[4].TempName, "tmpSound_4");
    EXPECT_EQ(ReadFile(st.TempDir + "tmpSound_4"), "\x0A\x0B\x0C");
    EXPECT_EQ(st.Firmware.Regions[1].Used,
              used - size2 - st.Firmware.Sounds[1].Size - st.Firmware.Sounds[4].Size + 3);
    (void)size0;

    const std::string once = Snapshot(st);
    ASSERT_EQ(Apply(st, text).Status, OpenSpfStatus::Applied);
    EXPECT_EQ(Snapshot(st), once);
}

TEST_F(ApplyPatch, PictureDataTakesSizeFromTheTableAndGivesBackAnEarlierReplacement) {
    ReplacePicture(st, 1, 2, 2, "12345678");
    const int32_t usedBefore = st.Firmware.Regions[0].Used;
    const int32_t size1 = st.Firmware.Images[1].Size;
    // Table entry 2 (index 1) says 3 x 1; the element's colour is taken.
    const std::string table = std::string(16, '0') + "03000100" + std::string(8, '0');
    ASSERT_EQ(Apply(st, Patch("<resource type=\"img\" convert=\"part\">"
                              "<data offset=\"1\" number=\"0\" id=\"0\" from=\"" + std::string(32, '0') +
                              "\" to=\"" + table + "\" />"
                              "<data offset=\"0x10\" number=\"2\" id=\"0\" meta=\"0x00112233\" from=\"aabbcc\" "
                              "to=\"C0FFEE\" /></resource>")).Status,
              OpenSpfStatus::Applied);
    const tImgType& img = st.Firmware.Images[1];
    EXPECT_EQ(ReadFile(st.TempDir + img.TempName), U16Le(3, 1) + "\xC0\xFF\xEE");
    EXPECT_EQ(st.Firmware.Regions[0].Used, usedBefore - (8 - size1) - size1 + 3);
    EXPECT_TRUE(img.HasTransp);
    EXPECT_EQ(img.TranspColor, 0x112233);

    // Without a table element the picture keeps its own width and height.
    ASSERT_EQ(Apply(st, Patch("<resource type=\"img\" convert=\"part\">"
                              "<data offset=\"0\" number=\"3\" id=\"0\" from=\"00\" to=\"01\" /></resource>")).Status,
              OpenSpfStatus::Applied);
    EXPECT_EQ(ReadFile(st.TempDir + "tmpImage_2").substr(0, 4),
              U16Le(st.Firmware.Images[2].Width, st.Firmware.Images[2].Height));
}

TEST_F(ApplyPatch, AFormerLinkKeepsTheDataItSharedForALaterRestore) {
    const tImgType& linked = st.Firmware.Images[12];
    ASSERT_EQ(linked.Link, 0);
    const int32_t used = st.Firmware.Regions[0].Used;
    ASSERT_EQ(Apply(st, Patch("<resource type=\"img\" convert=\"part\">"
                              "<meta type=\"deleted\" number=\"13\" id=\"9\" /></resource>")).Status,
              OpenSpfStatus::Applied);
    EXPECT_TRUE(linked.Deleted);
    EXPECT_EQ(linked.Link, -1);
    EXPECT_EQ(linked.Address, st.Firmware.Images[0].Address);
    EXPECT_EQ(linked.Size, st.Firmware.Images[0].Size);
    EXPECT_EQ(st.Firmware.Regions[0].Used, used);  // it had no data of its own
}

TEST_F(ApplyPatch, StringDataStopsAtTheFirstZeroAndAnEmptyTextIsNoEdit) {
    const int r0 = LangRegion(st, 1, 0);
    const int32_t used = st.Firmware.Regions[r0].Used;
    const tStringType& s0 = StringAt(st, 1, 0, 0);
    const std::string text = Patch("<resource type=\"lng\" convert=\"part\" table=\"1\" number=\"1\">"
                                   "<data offset=\"0\" number=\"1\" id=\"0\" from=\"00000000\" to=\"41424300\" />"
                                   "<data offset=\"0\" number=\"2\" id=\"0\" from=\"0\" to=\"\" />"
                                   "<meta type=\"deleted\" number=\"4\" id=\"0\" /></resource>");
    ASSERT_EQ(Apply(st, text).Status, OpenSpfStatus::Applied);
    EXPECT_EQ(s0.NewText, "ABC");
    EXPECT_EQ(StringAt(st, 1, 0, 1).NewText, "");
    EXPECT_TRUE(StringAt(st, 1, 0, 3).Deleted);
    const int32_t expected = used - 4 + 3 - static_cast<int32_t>(StringAt(st, 1, 0, 3).Text.size()) - 1;
    EXPECT_EQ(st.Firmware.Regions[r0].Used, expected);
    const std::string once = Snapshot(st);
    ASSERT_EQ(Apply(st, text).Status, OpenSpfStatus::Applied);
    EXPECT_EQ(Snapshot(st), once);
    EXPECT_EQ(st.Firmware.Regions[r0].Used, expected);
}

TEST_F(ApplyPatch, ALinkSharesOnlyOwnDataAndTheNextPatchGivesItItsTargetsFinalPlace) {
    ASSERT_EQ(st.Firmware.Images[12].Link, 0);
    const tStringType s0 = StringAt(st, 2, 0, 0);
    // Refused: links to a link, to an entry deleted before, and borrowed
    // strings naming no entry of the home language (-1 once cut to 32 bits).
    // Taken: forward links to entries deleted later in the same patch.
    ASSERT_EQ(Apply(st, Patch("<resource type=\"img\" convert=\"part\">"
                              "<meta type=\"link\" number=\"2\" id=\"0\" linkto=\"12\" />"
                              "<meta type=\"deleted\" number=\"4\" id=\"0\" />"
                              "<meta type=\"link\" number=\"3\" id=\"0\" linkto=\"3\" />"
                              "<meta type=\"link\" number=\"6\" id=\"0\" linkto=\"7\" />"
                              "<meta type=\"deleted\" number=\"8\" id=\"0\" /></resource>"
                              "<resource type=\"snd\" convert=\"part\">"
                              "<meta type=\"link\" number=\"1\" id=\"0\" linkto=\"2\" />"
                              "<meta type=\"deleted\" number=\"2\" id=\"0\" />"
                              "<meta type=\"deleted\" number=\"3\" id=\"0\" /></resource>"
                              "<resource type=\"lng\" convert=\"part\" table=\"1\" number=\"1\">"
                              "<meta type=\"link\" number=\"1\" id=\"0\" linkto=\"2\" />"
                              "<meta type=\"deleted\" number=\"3\" id=\"0\" /></resource>"
                              "<resource type=\"lng\" convert=\"part\" table=\"2\" number=\"1\">"
                              "<meta type=\"link\" number=\"1\" id=\"0\" linkto=\"4294967295\" linktbl=\"0\" />"
                              "<meta type=\"link\" number=\"1\" id=\"0\" linkto=\"99999\" linktbl=\"0\" />"
                              "</resource>"))
                  .Status,
              OpenSpfStatus::Applied);
    const auto& images = st.Firmware.Images;
    EXPECT_EQ(images[1].Link, -1);
    EXPECT_EQ(images[2].Link, -1);
    EXPECT_EQ(images[5].Link, 7);
    EXPECT_EQ(StringAt(st, 2, 0, 0).Link, s0.Link);
    EXPECT_EQ(StringAt(st, 2, 0, 0).HomeLang, s0.HomeLang);

    // Each link gets its target's final place, whatever their order; a table
    // entry of size 0 would end the phone's picture table.
    ImageLayout img = LayoutImages(st);
    for (size_t i = 0; i < img.Slots.size(); ++i) EXPECT_NE(img.Slots[i].Header, 0u) << i;
    EXPECT_EQ(img.Slots[5].Header, img.Slots[7].Header);
    EXPECT_EQ(img.Slots[5].Address, img.Slots[7].Address);
    SoundLayout snd = LayoutSounds(st);
    const size_t len = static_cast<size_t>(SoundEntryLength(st.FirmwareDescription));
    // Address and size of the placeholder, which the first deleted sound has.
    EXPECT_EQ(snd.Table.substr(0, 8), snd.Table.substr(len, 8));
    EXPECT_EQ(snd.Table.substr(2 * len, 8), snd.Table.substr(len, 8));
    std::vector<StringLayout> lng = LayoutStrings(st, 1);
    EXPECT_EQ(lng[0].Addresses[0], lng[0].Addresses[2]);
    EXPECT_EQ(lng[0].Addresses[2], lng[0].FirstEnd);

    // Chains and circles made by other means end at data or at "deleted".
    st.Firmware.Images[1].Link = 2;
    st.Firmware.Images[2].Link = 9;
    st.Firmware.Images[10].Link = 11;
    st.Firmware.Images[11].Link = 10;
    img = LayoutImages(st);
    EXPECT_EQ(img.Slots[1].Address, img.Slots[9].Address);
    EXPECT_EQ(img.Slots[1].Header, img.Slots[9].Header);
    EXPECT_EQ(img.Slots[10].Header, 1u);
    EXPECT_EQ(img.Slots[11].Header, 1u);
}

TEST_F(ApplyPatch, RegionAccountingStopsAtTheInt32RangeAndTheTempFolderIsMadeWithItsParents) {
    const std::string text = Patch("<resource type=\"snd\" convert=\"part\">"
                                   "<data offset=\"0\" number=\"4\" id=\"0\" from=\"000000\" to=\"0A0B0C\" /></resource>");
    st.Firmware.Sounds[3].Deleted = true;  // not counted: its data only adds
    ++st.DeletedSoundCount;
    st.Firmware.Regions[1].Used = INT32_MAX - 1;
    st.TempDir = dir.Path("not/yet/there") + "/";
    ASSERT_EQ(Apply(st, text).Status, OpenSpfStatus::Applied);
    EXPECT_EQ(st.Firmware.Regions[1].Used, INT32_MAX);
    EXPECT_EQ(ReadFile(st.TempDir + "tmpSound_3"), "\x0A\x0B\x0C");
    st.Firmware.Regions[1].Used = INT32_MIN + 1;
    ASSERT_EQ(Apply(st, Patch("<resource type=\"snd\" convert=\"part\">"
                              "<meta type=\"deleted\" number=\"1\" id=\"0\" /></resource>")).Status,
              OpenSpfStatus::Applied);
    EXPECT_EQ(st.Firmware.Regions[1].Used, INT32_MIN);
}

TEST_F(ApplyPatch, UnfitOrUnusablePatchesChangeNothing) {
    const std::string before = Snapshot(st);
    const std::string snd = "<resource type=\"snd\" convert=\"part\"><meta type=\"deleted\" number=\"1\" id=\"0\" />"
                            "</resource>";
    EXPECT_EQ(Apply(st, Patch(snd, "OTHER1")).Status, OpenSpfStatus::OtherFirmware);
    EXPECT_EQ(Apply(st, Patch(snd, kDemoVersion, "")).Status, OpenSpfStatus::MissingInfo);
    EXPECT_EQ(Apply(st, "<patch version=\"1.0\"/>").Status, OpenSpfStatus::NotPatch);
    // A full patch, a resource named in another case, unknown types, Java
    // links, links without "linkto", odd "to" and mismatched lengths.
    ASSERT_EQ(Apply(st, Patch("<resource type=\"snd\" convert=\"full\"><meta type=\"deleted\" number=\"1\" id=\"0\" />"
                              "</resource><Resource type=\"snd\" convert=\"part\"><meta type=\"deleted\" number=\"1\" "
                              "id=\"0\" /></Resource><resource type=\"wav\" convert=\"part\" />"
                              "<resource type=\"java\" convert=\"part\"><meta type=\"link\" number=\"2\" id=\"0\" "
                              "linkto=\"0\" /></resource><resource type=\"img\" convert=\"part\">"
                              "<meta type=\"link\" number=\"2\" id=\"0\" /><meta type=\"link\" number=\"2\" id=\"0\" "
                              "linkto=\"99\" /><data offset=\"0\" number=\"2\" id=\"0\" from=\"000\" to=\"000\" />"
                              "<data offset=\"0\" number=\"2\" id=\"0\" from=\"0000\" to=\"00\" />"
                              "<data offset=\"0\" number=\"99\" id=\"0\" from=\"00\" to=\"00\" />"
                              "<data number=\"2\" id=\"0\" from=\"00\" to=\"00\" /></resource>"
                              "<resource type=\"lng\" convert=\"part\" table=\"3\" number=\"1\">"
                              "<meta type=\"deleted\" number=\"1\" id=\"0\" /></resource>"))
                  .Status,
              OpenSpfStatus::Applied);
    EXPECT_EQ(Snapshot(st), before);
    FirmwareState closed;
    EXPECT_EQ(Apply(closed, Patch(snd)).Status, OpenSpfStatus::NotLoaded);
    EXPECT_EQ(OpenSpf(st, dir.Path("missing.spf")).Status, OpenSpfStatus::LoadError);
}

}  // namespace
}  // namespace flashsmith
