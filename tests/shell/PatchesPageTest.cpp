// The "Patches" page on a patch made from the demo firmware: listing, the
// element tree, and the export of ticked resources to S-records.
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

namespace fs::shell::test {
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
        window->SelectNode("Images");
        window->SelectRow(0);
        EXPECT_TRUE(SaveBmp32(Path("p.bmp").toStdString(), Picture(14, 9, 0x00AA5500), nullptr));
        prompts.Files.push_back(Path("p.bmp"));
        window->aReplaceFileExecute();
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
    ASSERT_TRUE(doc.LoadFile(patch.toStdString(), nullptr));
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
    Idle();  // the enabling rules
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
    Idle();
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

}  // namespace
}  // namespace fs::shell::test
