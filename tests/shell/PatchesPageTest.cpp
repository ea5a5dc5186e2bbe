// The "Patches" page on a patch made from the demo firmware: listing, the
// element tree, and the export of ticked resources to S-records.
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>

#include "firmware/PictureFile.h"
#include "patches/CreatePatch.h"
#include "patches/PatchReader.h"
#include "shell/CBTreeView.h"
#include "shell/PatchesPage.h"
#include "shell/ShellFixture.h"
#include "srecord/S3Converter.h"

namespace flashsmith::shell::test {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::patches;
using namespace flashsmith::srecord;
using namespace flashsmith::xml;
namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint32_t U32(const QByteArray& b, qsizetype at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(b[at + i])) << (8 * i);
    return v;
}

class PatchesPage : public ShellTest {
protected:
    // A partial picture patch in which picture 0 is replaced.
    QString MakePatch() {
        Open();
        window->Editor().SelectNode("Images");
        window->Editor().SelectRow(0);
        EXPECT_TRUE(SaveBmp32(Path("p.bmp").toStdString(), Picture(14, 9, 0x00AA5500)));
        prompts.Files.push_back(Path("p.bmp"));
        window->Editor().aReplaceFileExecute();
        CreatePatchOptions o;
        o.Kind = PatchKind::Pictures;
        o.Details.Name = "Icons";
        o.Details.Version = "2";
        o.Details.Author = "tester";
        o.FileName = Path("icons").toStdString();
        EXPECT_EQ(CreatePatch(state.Fw, o, NullProgress()).Status, CreatePatchStatus::Ok);
        return Path("icons.spf");
    }
    void List(const QString& patch) {
        prompts.Files.push_back(patch);
        page()->bPatchOpenClick();
    }
    void Select(int row) { page()->lvPatches->setCurrentItem(page()->lvPatches->topLevelItem(row)); }
    TfrPatche* page() { return window->frPatches; }
    QTreeWidgetItem* Top(int i) { return page()->tvSPFNodes->topLevelItem(i); }
};

TEST_F(PatchesPage, ATickedPartialResourceExportsTheNewTableAndEveryPictureAtItsNewAddress) {
    const QString patch = MakePatch();
    List(patch);
    List(patch);  // the same name and version are listed once
    ASSERT_EQ(page()->lvPatches->topLevelItemCount(), 1);
    EXPECT_EQ(page()->lvPatches->topLevelItem(0)->text(1), "Icons");
    EXPECT_EQ(prompts.Filters.back(), "Samsung Patch Files|*.spf");

    Select(0);
    EXPECT_TRUE(page()->reAboutPatch->toPlainText().contains("Autors: tester"));
    // With the firmware open only the part made for it shows: its resource.
    ASSERT_EQ(page()->tvSPFNodes->topLevelItemCount(), 1);
    QTreeWidgetItem* resource = Top(0);
    EXPECT_TRUE(resource->text(0).startsWith("<resource"));
    EXPECT_TRUE(TCBTreeView::Checked(resource));
    ASSERT_GT(resource->childCount(), 0);
    EXPECT_EQ(TCBTreeView::StateIndex(resource->child(0)), 0);  // data nodes carry no box

    prompts.Files.push_back(Path("out.s3"));
    page()->bSPFConvertClick();
    EXPECT_TRUE(prompts.Messages.empty());
    EXPECT_EQ(prompts.Filters.back(), "Motorola S-record files|*.s3;*.sre;");
    EXPECT_TRUE(page()->isEnabled());

    std::string flat;
    const S3ReadResult r = ReadS3Text(ReadAll(Path("out.s3")).toStdString(), {}, flat, NullProgress());
    ASSERT_EQ(r.Status, S3Status::Ok);
    EXPECT_EQ(r.DroppedLines, 0u);
    const QByteArray out = QByteArray::fromStdString(flat);
    const QByteArray image = ReadAll(Image());
    const tFirmware& fw = state.Fw.Firmware;
    // Every data element of the patch (the new table and the replaced
    // picture) lies at its offset...
    TGmXML doc;
    ASSERT_TRUE(doc.LoadFile(patch.toStdString()));
    const auto contents = ReadPatch(doc);
    ASSERT_TRUE(contents && contents->sections.size() == 1 && contents->sections[0].resources.size() == 1);
    int elements = 0;
    for (const PatchElement& e : contents->sections[0].resources[0].elements) {
        std::string to;
        if (e.kind != PatchElement::Kind::Data || !e.ToBytes(&to)) continue;
        EXPECT_EQ(flat.substr(size_t(e.offset.Or(0)), to.size()), to) << "element " << e.number.Or(-1);
        ++elements;
    }
    EXPECT_EQ(elements, 2);
    // ...and every other picture comes from the image, where the new table
    // puts it.
    const qsizetype table = state.Fw.FirmwareDescription.ImageTable + 8;
    int unchanged = 0;
    for (size_t k = 1; k < fw.Images.size(); ++k) {
        const tImgType& img = fw.Images[k];
        if (img.Link >= 0 || img.Deleted || img.Size <= 0) continue;
        const uint32_t at = U32(out, table + qsizetype(k) * 8 + 4);
        EXPECT_EQ(out.mid(at, img.Size), image.mid(img.Address, img.Size)) << "picture " << k;
        ++unchanged;
    }
    EXPECT_GT(unchanged, 2);

    // Opening an image empties the view.
    ASSERT_TRUE(window->OpenFirmwareFile(Image()));
    EXPECT_EQ(page()->tvSPFNodes->topLevelItemCount(), 0);
    EXPECT_TRUE(page()->reAboutPatch->toPlainText().isEmpty());

    // Applying the ticked row brings the replaced picture back.
    ASSERT_TRUE(state.Fw.Firmware.Images[0].TempName.empty());
    ASSERT_TRUE(WaitForIdle());  // the enabling rules
    ASSERT_TRUE(page()->bPatchApply->isEnabled());
    page()->bPatchApply->click();
    EXPECT_TRUE(state.Fw.Firmware.Images[0].TempName.empty());  // not ticked yet
    page()->bPatchSel->click();
    page()->bPatchApply->click();
    EXPECT_FALSE(state.Fw.Firmware.Images[0].TempName.empty());
}

TEST_F(PatchesPage, WithoutAFirmwareTheWholeDocumentShowsAndTheExportNamesWhatIsMissing) {
    const QString patch = MakePatch();
    window->close();
    state.Fw.FirmwareLoaded = false;  // a fresh window without an image
    window = std::make_unique<TfMain>(state, prompts);
    List(patch);
    Select(0);
    ASSERT_EQ(page()->tvSPFNodes->topLevelItemCount(), 1);
    QTreeWidgetItem* root = Top(0);
    EXPECT_TRUE(root->text(0).startsWith("<patch"));
    EXPECT_TRUE(TCBTreeView::Checked(root));
    EXPECT_EQ(TCBTreeView::StateIndex(root->child(0)), 0);  // info
    const size_t asked = prompts.Filters.size();

    // The partial resource needs the image its unchanged pictures come from.
    page()->bSPFConvertClick();
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].text, "Open Firmware!");
    EXPECT_EQ(prompts.Messages[0].caption, "Error!");

    // Unticking the patch unticks every boxed node below it.
    page()->tvSPFNodes->ToggleState(root);
    page()->bSPFConvertClick();
    ASSERT_EQ(prompts.Messages.size(), 2u);
    EXPECT_EQ(prompts.Messages[1].text, "No Selected Data!");
    EXPECT_EQ(prompts.Messages[1].caption, "Error!");
    EXPECT_EQ(prompts.Filters.size(), asked);  // no file was asked for
    EXPECT_FALSE(QFile::exists(Path("out.s3")));
    EXPECT_TRUE(page()->isEnabled());
    ASSERT_TRUE(WaitForIdle());
    EXPECT_FALSE(page()->bPatchApply->isEnabled());
}

TEST_F(PatchesPage, AVeryDeeplyNestedPatchIsListedAndShownOnlyAFewLevelsDown) {
    // No firmware is open, so the whole document shows from the patch down.
    const int levels = 200000;
    QByteArray xml = "<patch version=\"1.0a\"><info name=\"Deep\" version=\"1\"/><patchdata firmware=\"X\">";
    xml += QByteArray("<resource>").repeated(levels) + QByteArray("</resource>").repeated(levels);
    xml += "</patchdata></patch>";
    QFile f(Path("deep.spf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(xml);
    f.close();
    List(Path("deep.spf"));
    ASSERT_EQ(page()->lvPatches->topLevelItemCount(), 1);
    Select(0);
    ASSERT_EQ(page()->tvSPFNodes->topLevelItemCount(), 1);
    int depth = 1;
    for (QTreeWidgetItem* node = Top(0); node->childCount() > 0; node = node->child(node->childCount() - 1)) ++depth;
    EXPECT_GE(depth, 4);
    EXPECT_LE(depth, 64);
    // Unticking and exporting walk the whole tree.
    page()->tvSPFNodes->ToggleState(Top(0));
    page()->bSPFConvertClick();
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].text, "No Selected Data!");
    // Selecting again replaces the tree.
    page()->lvPatches->setCurrentItem(nullptr);
    Select(0);
    EXPECT_EQ(page()->tvSPFNodes->topLevelItemCount(), 1);
}

// Hand-made: three full language resources for the demo firmware, one for
// another firmware, and a second part for the demo firmware.
QByteArray LanguagePatch() {
    auto res = [](int number, const char* offset, const char* to) {
        return QByteArray("<resource type=\"lng\" convert=\"full\" table=\"1\" number=\"") +
               QByteArray::number(number) + "\"><data offset=\"" + offset +
               "\" number=\"1\" id=\"0\" from=\"0000\" to=\"" + to + "\"/></resource>";
    };
    return "<patch version=\"1.0a\"><info name=\"Langs\" version=\"1\"><author nick=\"ann\"/>"
           "<author e-mail=\"x\"/><author nick=\"bob\"/></info>"
           "<patchdata firmware=\"E250XXJE1\">" + res(1, "0x100", "4141") + res(2, "0x200", "4242") +
           res(3, "0x300", "4343") + "</patchdata><patchdata firmware=\"X100XXAA1\">" + res(1, "0x500", "4545") +
           "</patchdata><patchdata firmware=\"e250xxje1\">" + res(4, "0x400", "4444") + "</patchdata></patch>";
}

// The S3 data line addresses of a file, in file order.
std::vector<uint32_t> LineAddresses(const QByteArray& s3) {
    std::vector<uint32_t> out;
    for (const QByteArray& line : s3.split('\n'))
        if (line.startsWith("S3")) out.push_back(line.mid(4, 8).toUInt(nullptr, 16));
    return out;
}

TEST_F(PatchesPage, TheFilteredTreePutsNewTopNodesInFrontAndNestsAFurtherPartAndTheExportFollowsIt) {
    Open();
    QFile f(Path("langs.spf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LanguagePatch());
    f.close();
    List(Path("langs.spf"));
    Select(0);
    EXPECT_TRUE(page()->reAboutPatch->toPlainText().contains("Autors: ann, bob"));
    // The last language first; the second matching part under the top node.
    ASSERT_EQ(page()->tvSPFNodes->topLevelItemCount(), 3);
    EXPECT_TRUE(Top(0)->text(0).contains("number=\"3\""));
    EXPECT_TRUE(Top(1)->text(0).contains("number=\"2\""));
    EXPECT_TRUE(Top(2)->text(0).contains("number=\"1\""));
    ASSERT_EQ(Top(0)->childCount(), 2);
    EXPECT_TRUE(Top(0)->child(1)->text(0).contains("number=\"4\""));
    EXPECT_TRUE(TCBTreeView::Checked(Top(0)->child(1)));

    prompts.Files.push_back(Path("langs.s3"));
    page()->bSPFConvertClick();
    EXPECT_EQ(LineAddresses(ReadAll(Path("langs.s3"))), (std::vector<uint32_t>{0x300, 0x400, 0x200, 0x100}));

    // Unticking the top node leaves the part nested under it out too.
    page()->tvSPFNodes->ToggleState(Top(0));
    prompts.Files.push_back(Path("langs2.s3"));
    page()->bSPFConvertClick();
    EXPECT_EQ(LineAddresses(ReadAll(Path("langs2.s3"))), (std::vector<uint32_t>{0x200, 0x100}));

    // The whole document, for every firmware, in document order.
    page()->cbViewAllData->setChecked(true);
    page()->lvPatches->setCurrentItem(nullptr);
    Select(0);
    ASSERT_EQ(page()->tvSPFNodes->topLevelItemCount(), 1);
    EXPECT_EQ(Top(0)->childCount(), 4);  // info and three parts
    prompts.Files.push_back(Path("all.s3"));
    page()->bSPFConvertClick();
    EXPECT_EQ(LineAddresses(ReadAll(Path("all.s3"))), (std::vector<uint32_t>{0x100, 0x200, 0x300, 0x500, 0x400}));
}

// A full picture patch whose data elements hold the given bytes.
QByteArray BytesPatch(const QByteArray& name, const QByteArray& firmware,
                      const std::vector<std::pair<qsizetype, QByteArray>>& data) {
    QByteArray xml = "<patch version=\"1.0a\"><info name=\"" + name + "\" version=\"1\"><author nick=\"me\"/></info>"
                     "<patchdata firmware=\"" + firmware + "\"><resource type=\"img\" convert=\"full\">";
    for (const auto& [offset, to] : data)
        xml += "<data number=\"1\" id=\"0\" offset=\"" + QByteArray::number(offset) + "\" from=\"\" to=\"" +
               to.toHex().toUpper() + "\"/>";
    return xml + "</resource></patchdata></patch>";
}

TEST_F(PatchesPage, InstalledViewAllPatchesAndCancelTellTheTruth) {
    const QString icons = MakePatch();
    ASSERT_TRUE(window->OpenFirmwareFile(Image()));  // the edit is gone again
    const QByteArray image = ReadAll(Image());
    QByteArray changed = image.mid(0x40, 8);
    changed[2] = char(changed[2] ^ 0x33);
    auto write = [&](const QString& file, const QByteArray& xml) {
        QFile f(Path(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(xml);
    };
    write("same.spf", BytesPatch("Same", "E250XXJE1", {{0x10, image.mid(0x10, 6)}, {0x30, image.mid(0x30, 2)}}));
    write("part.spf", BytesPatch("Part", "e250xxje1", {{0x10, image.mid(0x10, 6)}, {0x40, changed}}));
    write("other.spf", BytesPatch("Other", "X100XXAA1", {{0x10, image.mid(0x10, 6)}}));
    for (const QString& p : {icons, Path("same.spf"), Path("part.spf"), Path("other.spf")}) List(p);
    ASSERT_EQ(page()->lvPatches->topLevelItemCount(), 4);
    QTreeWidgetItem* other = page()->lvPatches->topLevelItem(3);
    ASSERT_TRUE(WaitUntil([&] { return !page()->InstalledPending(); }));
    auto installed = [&](int row) { return page()->lvPatches->topLevelItem(row)->text(4); };
    EXPECT_EQ(installed(0), "No");
    EXPECT_EQ(installed(1), "Yes");
    EXPECT_EQ(installed(2), "Partly");

    // Another firmware's patch shows only with "View All Patches": greyed,
    // its firmware in the tip, never ticked.
    EXPECT_TRUE(other->isHidden());
    page()->CheckBox1->setChecked(true);
    EXPECT_FALSE(other->isHidden());
    EXPECT_TRUE(other->toolTip(2).contains("Firmware: X100XXAA1"));
    EXPECT_FALSE(other->flags() & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(page()->lvPatches->topLevelItem(0)->flags() & Qt::ItemIsUserCheckable);
    page()->bPatchSel->click();
    EXPECT_EQ(other->checkState(0), Qt::Unchecked);
    page()->bPatchUnSel->click();

    // Applied, then cancelled: the patch's picture returns to the image's
    // own data; a sound deleted by hand stays deleted.
    page()->lvPatches->topLevelItem(0)->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(WaitForIdle());
    page()->bPatchApply->click();
    ASSERT_FALSE(state.Fw.Firmware.Images[0].TempName.empty());
    window->Editor().SelectNode("Sounds");
    window->Editor().SelectRow(1);
    window->Editor().aDeleteFileExecute();
    ASSERT_TRUE(state.Fw.Firmware.Sounds[1].Deleted);
    window->Editor().SelectNode("Images");
    const int32_t used = state.Fw.Firmware.Regions[0].Used;
    page()->bPatchCancel->click();
    EXPECT_TRUE(state.Fw.Firmware.Images[0].TempName.empty());
    EXPECT_NE(state.Fw.Firmware.Regions[0].Used, used);
    EXPECT_TRUE(state.Fw.Firmware.Sounds[1].Deleted);
    EXPECT_TRUE(window->Panels[2]->text().contains(QString::number(state.Fw.Firmware.Regions[0].Used)));

    // Without an image there is nothing to compare with.
    window->close();
    state.Fw.FirmwareLoaded = false;
    window = std::make_unique<TfMain>(state, prompts);
    List(icons);
    EXPECT_FALSE(page()->InstalledPending());
    EXPECT_TRUE(page()->lvPatches->topLevelItem(0)->text(4).isEmpty());
}

// Another program cuts the open image: the window, its pending edits and the
// patches made from them go on with the image as it was opened.
TEST_F(PatchesPage, AnImageCutWhileOpenLeavesTheWindowAndItsEditsWorking) {
    Open();
    window->Editor().SelectNode("Sounds");
    window->Editor().SelectRow(1);
    window->Editor().aDeleteFileExecute();
    ASSERT_TRUE(state.Fw.Firmware.Sounds[1].Deleted);
    ASSERT_TRUE(QFile::resize(Image(), 0));
    window->Editor().SelectNode("Images");
    for (int row = 0; row < int(state.Fw.Firmware.Images.size()); ++row) window->Editor().SelectRow(row);
    CreatePatchOptions o;
    o.Kind = PatchKind::Sounds;
    o.Details.Name = "Cut";
    o.Details.Author = "tester";
    o.FileName = Path("cut").toStdString();
    ASSERT_EQ(CreatePatch(state.Fw, o, NullProgress()).Status, CreatePatchStatus::Ok);
    List(Path("cut.spf"));
    ASSERT_TRUE(WaitUntil([&] { return !page()->InstalledPending(); }));
    EXPECT_EQ(page()->lvPatches->topLevelItem(0)->text(4), "No");
    EXPECT_TRUE(state.Fw.FirmwareLoaded);
    EXPECT_TRUE(state.Fw.Firmware.Sounds[1].Deleted);
    EXPECT_TRUE(prompts.Messages.empty());
}

}  // namespace
}  // namespace flashsmith::shell::test
