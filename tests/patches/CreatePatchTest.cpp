#include <gtest/gtest.h>

#include "base/Hex.h"
#include "patches/CreatePatch.h"
#include "patches/PatchFixture.h"
#include "patches/PatchReader.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::patches;
using namespace flashsmith::xml;
namespace {

// A small hand-built firmware: every byte of the image is its offset's low
// byte, so "from" values are predictable.
struct SmallFirmware {
    TempDir dir;
    FirmwareState st;

    SmallFirmware() {
        std::string bytes(0x4000, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
        st.FirmwareFile = BinFile::FromBytes(bytes);
        st.Firmware.Regions.assign(kRegionCount, {});
        st.TempDir = dir.Str() + "/";
        st.FirmwareLoaded = true;
        st.FirmwareDescription.Version = "V1 ";
    }
    void Region(int r, uint32_t start, int32_t size, int32_t used) { st.Firmware.Regions[r] = {start, size, used}; }
};

std::vector<const TGmXmlNode*> Children(const TGmXmlNode& n) {
    std::vector<const TGmXmlNode*> out;
    for (const auto& c : n.Children()) out.push_back(c.get());
    return out;
}

std::string Attr(const TGmXmlNode* n, std::string_view name) {
    const TGmXmlAttribute* a = n->Attributes().AttributeByName(name);
    return a ? a->Value() : "<absent>";
}

std::string ToBytes(const TGmXmlNode* n) {
    std::string b;
    EXPECT_TRUE(HexToBytes(Attr(n, "to"), &b));
    return b;
}

// The resources of a built document.
std::vector<const TGmXmlNode*> Resources(const TGmXML& doc) {
    const TGmXmlNode* patch = doc.Nodes().NodeByName("patch");
    const TGmXmlNode* data = patch ? patch->Children().NodeByName("patchdata") : nullptr;
    return data ? Children(*data) : std::vector<const TGmXmlNode*>{};
}

CreatePatchResult Build(const FirmwareState& st, PatchKind kind, bool full, TGmXML& doc) {
    CreatePatchOptions o;
    o.Kind = kind;
    o.Full = full;
    o.FileName = "x";
    return BuildPatchDocument(st, o, doc, NullProgress());
}

TEST(PatchFileNameRule, AppendsExtensionAndCollapsesDoubleDotsOfTheName) {
    EXPECT_EQ(PatchFileName("mine"), "mine.spf");
    EXPECT_EQ(PatchFileName("mine.SpF"), "mine.SpF");
    EXPECT_EQ(PatchFileName("mine.txt"), "mine.txt.spf");
    EXPECT_EQ(PatchFileName("mine."), "mine.spf");
    EXPECT_EQ(PatchFileName("a..b.spf"), "a.b.spf");
    EXPECT_EQ(PatchFileName("x...."), "x...spf");
    // The folders stay where the user pointed.
    EXPECT_EQ(PatchFileName("../out/p"), "../out/p.spf");
    EXPECT_EQ(PatchFileName("dir.d/p"), "dir.d/p.spf");
}

TEST(PatchCreation, NoKindGivesInfoAboutAuthorAndEmptyPatchdata) {
    SmallFirmware fw;
    TGmXML doc;
    CreatePatchOptions o;
    o.Details = {"Name & co", "1.2", "line1\r\nline2", "me", "m@x", "http://x", "42"};
    ASSERT_EQ(BuildPatchDocument(fw.st, o, doc, NullProgress()).Status, CreatePatchStatus::Ok);
    EXPECT_EQ(doc.Text(),
              "<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>\r\n"
              "<patch version=\"1.0a\">\r\n"
              "  <info name=\"Name &amp; co\" group=\"\" version=\"1.2\">\r\n"
              "    <about description=\"line1\r\nline2\" />\r\n"
              "    <author nick=\"me\" e-mail=\"m@x\" internet=\"http://x\" ICQ=\"42\" />\r\n"
              "  </info>\r\n"
              "  <patchdata firmware=\"V1\" />\r\n"
              "</patch>\r\n");
    fw.st.FirmwareLoaded = false;
    EXPECT_EQ(BuildPatchDocument(fw.st, o, doc, NullProgress()).Status, CreatePatchStatus::NotLoaded);
}

// Pictures: 0 (5 bytes, odd), 1 replaced by 3 bytes, 2 linked to 0, 3
// deleted, 4 unchanged; region 0 from 0x1000.
struct PictureFirmware : SmallFirmware {
    PictureFirmware() {
        st.FirmwareDescription.ImageTable = 0x100;
        Region(0, 0x1000, 0x20, 0);
        auto pic = [&](int32_t w, int32_t h, int32_t address, int32_t size) {
            tImgType img;
            img.Width = w, img.Height = h, img.Address = address, img.Size = size, img.ID = -1;
            st.Firmware.Images.push_back(img);
            st.Firmware.Regions[0].Used += size;
        };
        pic(5, 1, 0x2000, 5);
        pic(2, 2, 0x2010, 4);
        pic(5, 1, -1, 0);
        pic(1, 1, 0x2020, 2);
        pic(2, 1, 0x2030, 4);
        st.Firmware.Images[2].Link = 0;
        st.Firmware.Images[4].ID = 6;
        ReplacePicture(st, 1, 3, 1, "\xAA\xBB\xCC");
        st.Firmware.Images[1].HasTransp = true;
        st.Firmware.Images[1].TranspColor = 0x00FF00;
        DeletePicture(st, 3);
    }
};

TEST(PatchCreation, PicturesStartEvenLinksShareAndDeletedPointAtRegionStart) {
    PictureFirmware fw;
    ImageLayout l = LayoutImages(fw.st);
    ASSERT_EQ(l.Slots.size(), 5u);
    EXPECT_EQ(l.Slots[0].Address, 0x1000u);
    EXPECT_EQ(l.Slots[0].Header, 5u | 1u << 16);
    EXPECT_EQ(l.Slots[1].Address, 0x1006u);  // after 5 bytes, one byte later
    EXPECT_EQ(l.Slots[1].Header, 3u | 1u << 16);  // from the replacement file
    EXPECT_EQ(l.Slots[2].Address, 0x1000u);
    EXPECT_EQ(l.Slots[2].Header, l.Slots[0].Header);
    EXPECT_EQ(l.Slots[3].Address, 0x1000u);
    EXPECT_EQ(l.Slots[3].Header, 1u);
    EXPECT_EQ(l.Slots[4].Address, 0x100Au);  // 0x1009 rounded up
    EXPECT_EQ(l.End, 0x100Eu);

    TGmXML doc;
    ASSERT_EQ(Build(fw.st, PatchKind::Pictures, false, doc).Status, CreatePatchStatus::Ok);
    auto res = Resources(doc);
    ASSERT_EQ(res.size(), 1u);
    EXPECT_EQ(Attr(res[0], "type"), "img");
    EXPECT_EQ(Attr(res[0], "convert"), "part");
    auto kids = Children(*res[0]);
    ASSERT_EQ(kids.size(), 4u);
    EXPECT_EQ(Attr(kids[0], "offset"), "0x00000108");
    EXPECT_EQ(Attr(kids[0], "number"), "0");
    EXPECT_EQ(ToBytes(kids[0]).size(), 40u);
    EXPECT_EQ(U32At(ToBytes(kids[0]), 8 + 4), 0x1006u);
    // "from" is the image's bytes at the offset, as many as "to" has.
    EXPECT_EQ(Attr(kids[0], "from").substr(0, 6), "08090A");
    EXPECT_EQ(Attr(kids[1], "offset"), "0x00001006");
    EXPECT_EQ(Attr(kids[1], "number"), "2");
    EXPECT_EQ(Attr(kids[1], "meta"), "0x0000FF00");
    EXPECT_EQ(Attr(kids[1], "from"), "060708");
    EXPECT_EQ(Attr(kids[1], "to"), "AABBCC");
    EXPECT_EQ(kids[1]->Attributes().Attribute(3).Name(), "meta");  // before from and to
    EXPECT_EQ(kids[2]->Name(), "meta");
    EXPECT_EQ(Attr(kids[2], "type"), "link");
    EXPECT_EQ(Attr(kids[2], "number"), "3");
    EXPECT_EQ(Attr(kids[2], "linkto"), "0");
    EXPECT_EQ(Attr(kids[2], "linktbl"), "<absent>");
    EXPECT_EQ(Attr(kids[3], "type"), "deleted");
    EXPECT_EQ(Attr(kids[3], "number"), "4");
    EXPECT_EQ(Attr(kids[3], "linkto"), "<absent>");

    // A full patch also carries the unchanged pictures' current bytes.
    ASSERT_EQ(Build(fw.st, PatchKind::Pictures, true, doc).Status, CreatePatchStatus::Ok);
    kids = Children(*Resources(doc)[0]);
    ASSERT_EQ(kids.size(), 6u);
    EXPECT_EQ(Attr(kids[1], "number"), "1");
    EXPECT_EQ(Attr(kids[1], "to"), "0001020304");  // 5 bytes at 0x2000
    EXPECT_EQ(Attr(kids[5], "number"), "5");
    EXPECT_EQ(Attr(kids[5], "id"), "7");
    EXPECT_EQ(Attr(kids[5], "offset"), "0x0000100A");
    EXPECT_EQ(Attr(kids[5], "to"), "30313233");
}

TEST(PatchCreation, VanishedReplacementCountsAsUnreplaced) {
    PictureFirmware fw;
    std::remove((fw.st.TempDir + "tmpImage_1").c_str());
    ImageLayout l = LayoutImages(fw.st);
    EXPECT_EQ(l.Slots[1].Header, 2u | 2u << 16);
    EXPECT_EQ(l.Slots[4].Address, 0x100Au);  // 0x1006 + 4 bytes
    TGmXML doc;
    ASSERT_EQ(Build(fw.st, PatchKind::Pictures, false, doc).Status, CreatePatchStatus::Ok);
    EXPECT_EQ(Children(*Resources(doc)[0]).size(), 3u);  // table, link, deleted
}

TEST(PatchCreation, SpaceIsCheckedByAccountingAndByTheLayoutItself) {
    PictureFirmware fw;
    TGmXML doc;
    // Used 5 + 3 + 4 = 12 fits 14 bytes, but the even starts need 14.
    ASSERT_EQ(fw.st.Firmware.Regions[0].Used, 12);
    fw.st.Firmware.Regions[0].Range.Length = 14;
    EXPECT_EQ(Build(fw.st, PatchKind::Pictures, false, doc).Status, CreatePatchStatus::Ok);
    fw.st.Firmware.Regions[0].Range.Length = 13;
    CreatePatchResult r = Build(fw.st, PatchKind::Pictures, false, doc);
    EXPECT_EQ(r.Status, CreatePatchStatus::OutOfMemory);
    EXPECT_EQ(r.Region, 0);
    EXPECT_EQ(doc.Nodes().Count(), 0u);
    EXPECT_STREQ(CreatePatchStatusText(r.Status), "Out of Memory!");
    fw.st.Firmware.Regions[0].Range.Length = 11;  // below Used
    EXPECT_EQ(Build(fw.st, PatchKind::Pictures, false, doc).Status, CreatePatchStatus::OutOfMemory);
}

// Six sounds of 16-byte entries (address, size, volume, marker); 1 and 3
// (0-based) deleted, 5 linked to 0, 2 replaced.
struct SoundFirmware : SmallFirmware {
    SoundFirmware() {
        auto& d = st.FirmwareDescription;
        d.SoundTable = 0x200, d.SndTableLength = 16, d.SndTableSizeOfs = 4;
        Region(1, 0x1000, 0x400, 0);
        for (int i = 0; i < 6; ++i) {
            tSndType s;
            s.Address = 0x2000 + 0x100 * (i == 5 ? 0 : i);
            s.Size = 0x10 + i;
            if (i == 5) s.Size = 0x10, s.Link = 0;
            else st.Firmware.Regions[1].Used += s.Size;
            st.Firmware.Sounds.push_back(s);
        }
        DeleteSound(st, 1);
        DeleteSound(st, 3);
        ReplaceSound(st, 2, std::string(7, 'S'));
    }
};

TEST(PatchCreation, DeletedSoundsShareOnePlaceholderAndKeepTheirOtherFields) {
    SoundFirmware fw;
    SoundLayout l = LayoutSounds(fw.st);
    ASSERT_EQ(l.Table.size(), 96u);
    auto addr = [&](int i) { return U32At(l.Table, 16 * i); };
    auto size = [&](int i) { return U32At(l.Table, 16 * i + 4); };
    EXPECT_EQ(addr(0), 0x1000u);
    EXPECT_EQ(size(0), 0x10u);
    EXPECT_EQ(addr(1), 0x1010u);  // where sound 2 would have started
    EXPECT_EQ(size(1), 157u);
    EXPECT_EQ(addr(2), 0x1010u + 157);
    EXPECT_EQ(size(2), 7u);
    EXPECT_EQ(addr(3), 0x1010u);
    EXPECT_EQ(size(3), 157u);
    EXPECT_EQ(addr(4), 0x1010u + 157 + 7);
    EXPECT_EQ(addr(5), addr(0));
    EXPECT_EQ(size(5), size(0));
    EXPECT_EQ(l.Table.substr(8, 8), l.OldTable.substr(8, 8));  // volume and marker as the image has them

    TGmXML doc;
    ASSERT_EQ(Build(fw.st, PatchKind::Sounds, false, doc).Status, CreatePatchStatus::Ok);
    auto kids = Children(*Resources(doc)[0]);
    ASSERT_EQ(kids.size(), 6u);  // table, placeholder, deleted, data, deleted, link
    EXPECT_EQ(Attr(kids[1], "number"), "-1");
    EXPECT_EQ(Attr(kids[1], "offset"), "0x00001010");
    EXPECT_EQ(ToBytes(kids[1]), std::string(PlaceholderSound()));
    EXPECT_EQ(Attr(kids[2], "type"), "deleted");
    EXPECT_EQ(Attr(kids[2], "number"), "2");
    EXPECT_EQ(Attr(kids[3], "number"), "3");
    EXPECT_EQ(ToBytes(kids[3]), std::string(7, 'S'));
    EXPECT_EQ(Attr(kids[4], "number"), "4");
    EXPECT_EQ(Attr(kids[5], "linkto"), "0");

    // The placeholder is counted once against the region.
    const int32_t used = fw.st.Firmware.Regions[1].Used;
    fw.st.Firmware.Regions[1].Range.Length = used + 157;
    EXPECT_EQ(Build(fw.st, PatchKind::Sounds, false, doc).Status, CreatePatchStatus::Ok);
    fw.st.Firmware.Regions[1].Range.Length = used + 156;
    EXPECT_EQ(Build(fw.st, PatchKind::Sounds, false, doc).Status, CreatePatchStatus::OutOfMemory);
}

TEST(PatchCreation, DeletedJavaKeepsItsPathWithSizeZeroAndTheNextAddress) {
    SmallFirmware fw;
    auto& d = fw.st.FirmwareDescription;
    d.JavaTable = 0x300, d.JavaTableLength = 24;  // 16-byte paths
    fw.Region(2, 0x1000, 0x100, 0);
    for (int i = 0; i < 3; ++i) {
        tJavaType j;
        j.Path = "E:\\S100\\f" + std::to_string(i);
        j.Address = 0x2000 + 0x20 * i;
        j.Size = 8;
        fw.st.Firmware.JavaApps.push_back(j);
        fw.st.Firmware.Regions[2].Used += 8;
    }
    DeleteJava(fw.st, 0);
    ReplaceJava(fw.st, 1, "JAR", "E:\\S100\\a_much_longer_name.jar");
    JavaLayout l = LayoutJava(fw.st);
    // The image has a further entry there, so the table is closed after the three.
    ASSERT_EQ(l.Table.size(), 96u);
    EXPECT_EQ(l.Table.substr(72), std::string(24, '\0'));
    EXPECT_EQ(l.Table.substr(0, 16), std::string("E:\\S100\\f0") + std::string(6, '\0'));
    EXPECT_EQ(U32At(l.Table, 16), 0u);
    EXPECT_EQ(U32At(l.Table, 20), 0x1000u);
    EXPECT_EQ(l.Table.substr(24, 16), "E:\\S100\\a_much_l");  // cut at the field's length
    EXPECT_EQ(U32At(l.Table, 24 + 16), 3u);
    EXPECT_EQ(U32At(l.Table, 24 + 20), 0x1000u);
    EXPECT_EQ(U32At(l.Table, 48 + 20), 0x1003u);

    TGmXML doc;
    ASSERT_EQ(Build(fw.st, PatchKind::Java, false, doc).Status, CreatePatchStatus::Ok);
    auto kids = Children(*Resources(doc)[0]);
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_EQ(Attr(kids[0], "offset"), "0x00000300");
    EXPECT_EQ(Attr(kids[1], "type"), "deleted");
    EXPECT_EQ(Attr(kids[2], "offset"), "0x00001000");
    EXPECT_EQ(Attr(kids[2], "to"), "4A4152");
}

// Two languages per table. Table 1 language 1 borrows "Yes" of language 0.
struct StringFirmware : SmallFirmware {
    StringFirmware() {
        auto& d = st.FirmwareDescription;
        d.LanguageCount = 2;
        Region(3, 0x1000, 0x40, 0x30);
        Region(4, 0x1100, 0x40, 0x30);
        Region(5, 0x1200, 0x40, 0x30);
        Region(6, 0x1300, 0x40, 0x30);
        auto str = [](const char* text, uint32_t address, int32_t link = -1, int32_t home = -1) {
            tStringType s;
            s.Text = text, s.Address = address, s.Link = link, s.HomeLang = home;
            return s;
        };
        st.Firmware.Strings1 = {
            {str("No", 0x1000), str("Yes", 0x1003), str("Yes", 0x1003, 1), str("Bye", 0x1007)},
            {str("Yes", 0x1003, 0, 0), str("Non", 0x1100)},
        };
        st.Firmware.Strings2 = {{str("A", 0x1200)}, {str("B", 0x1300)}};
        st.Firmware.LangHeaders1 = {{0x400, 4}, {0x440, 2}};
        st.Firmware.LangHeaders2 = {{0x480, 1}, {0x4C0, 1}};
    }
};

TEST(PatchCreation, StringsPackDeletedReadEmptyAndLinksFollowTheirTarget) {
    StringFirmware fw;
    EditString(fw.st, 1, 0, 0, "Nein");
    DeleteString(fw.st, 1, 0, 3);
    auto t1 = LayoutStrings(fw.st, 1);
    ASSERT_EQ(t1.size(), 2u);
    // The deleted string reads the first string's terminating zero.
    EXPECT_EQ(t1[0].Addresses, (std::vector<uint32_t>{0x1000, 0x1005, 0x1005, 0x1004}));
    EXPECT_EQ(t1[0].End, 0x1009u);
    // Before resolving, the borrowed string keeps its image address...
    EXPECT_EQ(t1[1].Addresses, (std::vector<uint32_t>{0x1003, 0x1100}));
    // ...and then follows "Yes" to its new place in language 0.
    ResolveStringLinks(fw.st, 1, t1, t1);
    EXPECT_EQ(t1[1].Addresses[0], 0x1005u);

    // With the shared string deleted, the borrowed one reads as empty.
    DeleteString(fw.st, 1, 0, 1);
    t1 = LayoutStrings(fw.st, 1);
    ResolveStringLinks(fw.st, 1, t1, t1);
    EXPECT_EQ(t1[1].Addresses[0], 0x1004u);

    // A language whose strings are all deleted or linked: deleted read 0.
    fw.st.Firmware.Strings2[0][0].Deleted = true;
    auto t2 = LayoutStrings(fw.st, 2);
    EXPECT_FALSE(t2[0].HasFirstEnd);
    EXPECT_EQ(t2[0].Addresses[0], 0u);
}

TEST(PatchCreation, LanguageResourcesCarryTablesLinksAndEditedStrings) {
    StringFirmware fw;
    EditString(fw.st, 1, 0, 0, "Nein");
    DeleteString(fw.st, 2, 1, 0);
    TGmXML doc;
    ASSERT_EQ(Build(fw.st, PatchKind::Languages, false, doc).Status, CreatePatchStatus::Ok);
    auto res = Resources(doc);
    ASSERT_EQ(res.size(), 4u);
    EXPECT_EQ(Attr(res[1], "table"), "1");
    EXPECT_EQ(Attr(res[1], "number"), "2");
    EXPECT_EQ(Attr(res[2], "table"), "2");
    EXPECT_EQ(Attr(res[2], "number"), "1");
    auto l0 = Children(*res[0]);
    ASSERT_EQ(l0.size(), 3u);  // table, "Nein", link
    EXPECT_EQ(Attr(l0[0], "offset"), "0x00000400");
    EXPECT_EQ(ToBytes(l0[0]).size(), 16u);
    EXPECT_EQ(Attr(l0[1], "number"), "1");
    EXPECT_EQ(Attr(l0[1], "offset"), "0x00001000");
    EXPECT_EQ(ToBytes(l0[1]), std::string("Nein\0", 5));
    EXPECT_EQ(Attr(l0[2], "number"), "3");
    EXPECT_EQ(Attr(l0[2], "linkto"), "1");
    auto l1 = Children(*res[1]);
    ASSERT_EQ(l1.size(), 2u);
    EXPECT_EQ(Attr(l1[1], "linkto"), "0");
    EXPECT_EQ(Attr(l1[1], "linktbl"), "0");
    EXPECT_EQ(U32At(ToBytes(l1[0]), 0), 0x1005u);
    EXPECT_EQ(Attr(Children(*res[3])[1], "type"), "deleted");

    // Each language is checked against its own region, table 2 included.
    fw.st.Firmware.Regions[6].Used = 0x41;
    CreatePatchResult r = Build(fw.st, PatchKind::Languages, false, doc);
    EXPECT_EQ(r.Status, CreatePatchStatus::OutOfMemory);
    EXPECT_EQ(r.Region, 6);
}

TEST(PatchCreation, FailedCreationLeavesAnExistingPatchUntouched) {
    PictureFirmware fw;
    CreatePatchOptions o;
    o.Kind = PatchKind::Pictures;
    o.FileName = fw.dir.Path("mine");
    ASSERT_EQ(CreatePatch(fw.st, o, NullProgress()).Status, CreatePatchStatus::Ok);
    const std::string first = ReadFile(fw.dir.Path("mine.spf"));
    ASSERT_NE(first.find("AABBCC"), std::string::npos);

    fw.st.Firmware.Regions[0].Range.Length = 1;
    CreatePatchResult r = CreatePatch(fw.st, o, NullProgress());
    EXPECT_EQ(r.Status, CreatePatchStatus::OutOfMemory);
    EXPECT_EQ(r.FileName, fw.dir.Path("mine.spf"));
    EXPECT_EQ(ReadFile(fw.dir.Path("mine.spf")), first);

    o.FileName = fw.dir.Path("no-such-folder/mine");
    fw.st.Firmware.Regions[0].Range.Length = 0x20;
    r = CreatePatch(fw.st, o, NullProgress());
    EXPECT_EQ(r.Status, CreatePatchStatus::WriteError);
    EXPECT_STREQ(CreatePatchStatusText(r.Status), "Error while writing file!");
}

}  // namespace
}  // namespace flashsmith
