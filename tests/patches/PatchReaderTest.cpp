#include <gtest/gtest.h>

#include "patches/PatchReader.h"
#include "patches/PatchTestData.h"

namespace flashsmith {
using namespace flashsmith::patches;
using namespace flashsmith::xml;
namespace {

std::optional<PatchContents> Read(TGmXML& doc, const std::string& text, PatchReadOptions options = {}) {
    doc.SetText(text);
    return ReadPatch(doc, options);
}

TEST(PatchRecognition, NeedsTopLevelPatchWithFormatVersionInAnyCase) {
    TGmXML doc;
    EXPECT_TRUE(Read(doc, "<patch version=\"1.0a\"/>"));
    EXPECT_TRUE(Read(doc, "<other/><patch version=\"1.0A\"></patch>"));
    EXPECT_FALSE(Read(doc, "<patch version=\"1.0\"/>"));
    EXPECT_FALSE(Read(doc, "<patch/>"));
    EXPECT_FALSE(Read(doc, "<Patch version=\"1.0a\"/>"));
    EXPECT_FALSE(Read(doc, "<root><patch version=\"1.0a\"/></root>"));
    // Only the first element named "patch" is looked at.
    EXPECT_FALSE(Read(doc, "<patch version=\"2\"/><patch version=\"1.0a\"/>"));
    EXPECT_FALSE(Read(doc, ""));
    EXPECT_FALSE(Read(doc, "not xml at all"));
}

TEST(PatchInfoReading, TakesInfoAboutAndEveryAuthor) {
    TGmXML doc;
    auto patch = Read(doc, kSoundPatch);
    ASSERT_TRUE(patch);
    const PatchInfo& info = patch->info;
    ASSERT_NE(info.node, nullptr);
    EXPECT_TRUE(info.hasName);
    EXPECT_EQ(info.name, "Quiet & \"calm\"");
    EXPECT_EQ(info.version, "1.1");
    EXPECT_EQ(info.group, "");
    EXPECT_EQ(info.description, "Deletes two ringtones");
    ASSERT_EQ(info.authors.size(), 2u);
    EXPECT_EQ(info.authors[0].nick, "mirel");
    EXPECT_EQ(info.authors[0].email, "m@example.org");
    EXPECT_EQ(info.authors[0].internet, "http://example.org");
    EXPECT_EQ(info.authors[0].icq, "12345");
    EXPECT_FALSE(info.authors[1].hasNick);

    // Missing parts read as empty.
    patch = Read(doc, "<patch version=\"1.0a\"><info><Author nick=\"x\"/></info><patchdata/></patch>");
    ASSERT_TRUE(patch);
    EXPECT_FALSE(patch->info.hasName);
    EXPECT_FALSE(patch->info.hasAbout);
    EXPECT_TRUE(patch->info.authors.empty());  // names are matched exactly
    ASSERT_EQ(patch->sections.size(), 1u);
    EXPECT_FALSE(patch->sections[0].hasFirmware);
    EXPECT_FALSE(PatchFitsFirmware(patch->sections[0], ""));

    patch = Read(doc, "<patch version=\"1.0a\"/>");
    EXPECT_EQ(patch->info.node, nullptr);
    EXPECT_TRUE(patch->sections.empty());
}

TEST(PatchResources, ReadSoundPatchWithPlaceholderAndDeletions) {
    TGmXML doc;
    auto patch = Read(doc, kSoundPatch);
    ASSERT_TRUE(patch);
    ASSERT_EQ(patch->sections.size(), 1u);
    const PatchDataSection& s = patch->sections[0];
    EXPECT_EQ(s.firmware, "E700XXJD1");
    EXPECT_TRUE(PatchFitsFirmware(s, "e700xxjd1"));
    EXPECT_FALSE(PatchFitsFirmware(s, "E700XXJD2"));
    ASSERT_EQ(s.resources.size(), 1u);

    const PatchResource& r = s.resources[0];
    EXPECT_EQ(r.type, PatchResourceType::Snd);
    EXPECT_EQ(r.convert, PatchConvert::Part);
    EXPECT_FALSE(r.table.present);
    ASSERT_EQ(r.elements.size(), 6u);  // the "comment" child is passed over
    EXPECT_EQ(r.DataCount(), 3u);
    EXPECT_EQ(r.MetaCount(), 3u);

    const PatchElement* table = r.TableElement();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table, &r.elements[0]);
    EXPECT_EQ(table->offset.Or(-1), 0x1000);
    std::string to, from;
    ASSERT_TRUE(table->ToBytes(&to));
    ASSERT_TRUE(table->FromBytes(&from));
    EXPECT_EQ(to.size(), 24u);
    EXPECT_EQ(from.size(), to.size());

    const PatchElement& placeholder = r.elements[1];
    EXPECT_EQ(placeholder.number.Or(0), spf::kPlaceholderNumber);
    ASSERT_TRUE(placeholder.ToBytes(&to));
    EXPECT_EQ(to, PlaceholderSound());
    // Offsets written in decimal or with "0X" read like the writer's form.
    EXPECT_EQ(placeholder.offset.Or(-1), 0x2000);
    EXPECT_EQ(r.elements[5].offset.Or(-1), 0x3000);

    const PatchElement& deleted = r.elements[2];
    EXPECT_EQ(deleted.kind, PatchElement::Kind::Meta);
    EXPECT_EQ(deleted.metaType, PatchMetaType::Deleted);
    EXPECT_EQ(deleted.number.Or(0), 3);
    EXPECT_FALSE(deleted.linkTo.present);
    EXPECT_EQ(r.elements[3].metaType, PatchMetaType::Deleted);  // "DELETED"
    EXPECT_EQ(r.elements[3].number.Or(0), 5);

    const PatchElement& link = r.elements[4];
    EXPECT_EQ(link.metaType, PatchMetaType::Link);
    EXPECT_EQ(link.number.Or(0), 2);
    EXPECT_EQ(link.linkTo.Or(-1), 0);  // "number" one-based, "linkto" zero-based

    EXPECT_EQ(r.ToByteTotal(), 24u + 157u + 4u);
}

TEST(PatchResources, UnusableElementsAreMarkedNotFatal) {
    TGmXML doc;
    auto patch = Read(doc, R"(<patch version="1.0a"><patchdata firmware="X">
        <Resource type="IMG" convert="FULL">
          <data number="zero" offset="0x10" to="0A"/>
          <data number="0" offset="nonsense" from="00" to="ABC"/>
          <data number="0" offset="16" to="0G"/>
          <data number="2" offset="0x20" from="0011" to="22"/>
          <meta number="1" type="moved"/>
          <meta type="link" number="4" linkto="x"/>
        </Resource>
        <resource type="lng" convert="part" table="2" number="3"/>
        <binary name="b"><data to="00"/></binary>
        <resource type="wav" convert="other"/>
      </patchdata></patch>)");
    ASSERT_TRUE(patch);
    const auto& res = patch->sections[0].resources;
    ASSERT_EQ(res.size(), 3u);  // "binary" only on request
    const PatchResource& img = res[0];
    EXPECT_EQ(img.type, PatchResourceType::Img);
    EXPECT_EQ(img.convert, PatchConvert::Full);
    // An unreadable number counts as 1, so the table is the second child.
    ASSERT_EQ(img.TableElement(), &img.elements[1]);
    EXPECT_TRUE(img.elements[1].offset.present);
    EXPECT_FALSE(img.elements[1].offset.value);
    std::string bytes = "stale";
    EXPECT_FALSE(img.elements[1].ToBytes(&bytes));  // odd length
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(img.elements[2].ToBytes(&bytes));  // not hexadecimal
    EXPECT_EQ(img.elements[2].offset.Or(0), 16);
    // "from" and "to" of different lengths: both decode, the caller decides.
    ASSERT_TRUE(img.elements[3].FromBytes(&bytes));
    EXPECT_EQ(bytes.size(), 2u);
    EXPECT_EQ(img.elements[3].ToByteCount(), 1u);
    EXPECT_EQ(img.ToByteTotal(), 1u + 1u);
    EXPECT_EQ(img.elements[4].metaType, PatchMetaType::Unknown);
    EXPECT_TRUE(img.elements[5].linkTo.present);
    EXPECT_FALSE(img.elements[5].linkTo.value);
    EXPECT_FALSE(img.elements[0].FromBytes(&bytes));  // absent

    EXPECT_EQ(res[1].type, PatchResourceType::Lng);
    EXPECT_EQ(res[1].table.Or(0), 2);
    EXPECT_EQ(res[1].number.Or(0), 3);
    EXPECT_EQ(res[1].TableElement(), nullptr);
    EXPECT_EQ(res[2].type, PatchResourceType::Unknown);
    EXPECT_EQ(res[2].convert, PatchConvert::Unknown);

    PatchReadOptions exact;
    exact.resourceNameIgnoresCase = false;
    exact.includeBinary = true;
    patch = ReadPatch(doc, exact);
    ASSERT_EQ(patch->sections[0].resources.size(), 3u);
    EXPECT_EQ(patch->sections[0].resources[0].type, PatchResourceType::Lng);
    EXPECT_TRUE(patch->sections[0].resources[1].binary);
    EXPECT_EQ(patch->sections[0].resources[1].DataCount(), 1u);
}

TEST(PatchResources, PatchWithoutResourceReadsEmpty) {
    TGmXML doc;
    auto patch = Read(doc, R"(<patch version="1.0a"><info name="n" group="" version="1"><about description=""/>
        <author nick="a" e-mail="" internet="" ICQ=""/></info><patchdata firmware="V1"/></patch>)");
    ASSERT_TRUE(patch);
    ASSERT_EQ(patch->sections.size(), 1u);
    EXPECT_TRUE(patch->sections[0].resources.empty());
}

TEST(PatchResources, TruncatedPatchFilesNeverBreakTheReader) {
    const std::string full = kSoundPatch;
    TGmXML doc;
    size_t patches = 0;
    for (size_t cut = 0; cut <= full.size(); cut += 3) {
        auto patch = Read(doc, full.substr(0, cut));
        if (!patch) continue;
        ++patches;
        for (const auto& s : patch->sections)
            for (const auto& r : s.resources) {
                (void)r.ToByteTotal();
                (void)r.TableElement();
            }
    }
    EXPECT_GT(patches, 0u);
}

}  // namespace
}  // namespace flashsmith
