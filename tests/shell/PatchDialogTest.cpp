// "Create Patch" through its dialog and "Open SPF" on a fresh open of the
// same image.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTreeWidget>

#include "editing/StringEdit.h"
#include "firmware/PictureFile.h"
#include "shell/ResourceModel.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
using namespace flashsmith::firmware;
using namespace flashsmith::editing;
namespace {

// Runs the modal dialog with `inside` acting on it once it is up.
void WithDialog(TfMain& w, const std::function<void(TfSavePatch&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        inside(*w.fSavePatch);
        if (w.fSavePatch->isVisible()) w.fSavePatch->reject();
    });
    w.Editor().bCreatePatchClick();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(w.fSavePatch->isVisible());
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(ShellTest, APatchMadeInTheDialogIsAppliedToAFreshOpenWithOpenSpf) {
    Open();
    window->Editor().SelectNode("Images");
    window->Editor().SelectRow(0);
    Picture p(20, 12, 0x00336699);
    ASSERT_TRUE(SaveBmp32(Path("pic.bmp").toStdString(), p));
    prompts.Files.push_back(Path("pic.bmp"));
    window->Editor().aReplaceFileExecute();
    ASSERT_FALSE(state.Fw.Firmware.Images[0].TempName.empty());

    prompts.Files.push_back(Path("pictures"));
    WithDialog(*window, [&](TfSavePatch& d) {
        EXPECT_TRUE(d.bCreatePatch->isVisible());
        EXPECT_FALSE(d.pbStatus->isVisible());
        d.lePatchName->setText(QString::fromUtf8("Новые иконки"));
        d.lePatchVersion->setText("1.2");
        d.lePatchAutor->setText("tester");
        d.leAuthorEmail->setText("t@example.org");
        d.mPatchAbout->setPlainText("line one\nline two");
        d.rbPatchPic->setChecked(true);
        d.bSaveAsPatch->click();
        EXPECT_EQ(d.leFileName->text(), Path("pictures"));
        d.bCreatePatch->click();
    });
    EXPECT_EQ(prompts.Filters.back(), "Samsung Patch Files|*.spf");
    EXPECT_TRUE(prompts.Messages.empty());
    // The extension is added and shown.
    EXPECT_EQ(window->fSavePatch->leFileName->text(), Path("pictures.spf"));
    const QByteArray xml = ReadAll(Path("pictures.spf"));
    ASSERT_FALSE(xml.isEmpty());
    EXPECT_TRUE(xml.contains("firmware=\"E250XXJE1\""));
    EXPECT_TRUE(xml.contains("type=\"img\""));
    EXPECT_TRUE(xml.contains("convert=\"part\""));
    // Texts are written in the 8-bit code page, lines joined with CR LF.
    EXPECT_TRUE(xml.contains(QByteArray("\xCD\xEE\xE2\xFB\xE5 \xE8\xEA\xEE\xED\xEA\xE8")));
    EXPECT_TRUE(xml.contains("line one&#13;&#10;line two") || xml.contains("line one\r\nline two"));

    // A fresh open forgets the edit; Open SPF brings it back.
    window->fSavePatch->lePatchName->clear();
    ASSERT_TRUE(window->OpenFirmwareFile(Image()));
    EXPECT_TRUE(state.Fw.Firmware.Images[0].TempName.empty());
    prompts.Files.push_back(Path("pictures.spf"));
    window->aOpenSPFExecute();
    ASSERT_FALSE(state.Fw.Firmware.Images[0].TempName.empty());
    EXPECT_EQ(window->fSavePatch->lePatchName->text(), QString::fromUtf8("Новые иконки"));
    // Patch texts lose their line breaks when read.
    EXPECT_EQ(window->fSavePatch->mPatchAbout->toPlainText(), "line oneline two");
    EXPECT_EQ(window->Editor().tvFirmwareSources->currentItem(), window->Editor().nodeRoot);
    window->Editor().SelectNode("Images");
    EXPECT_EQ(window->Editor().FilesModel->data(window->Editor().FilesModel->index(0, 1), Qt::DisplayRole).toInt(),
              QFileInfo(QString::fromStdString(state.Fw.TempDir + state.Fw.Firmware.Images[0].TempName)).size() - 4);
}

TEST_F(ShellTest, ARegionTooSmallRefusesThePatchAndKeepsTheDialogOpen) {
    Open();
    window->Editor().SelectNode("Lang Table 1/Lang_1");
    const int region = state.Fw.SelectedRegion;
    EditString(state.Fw, region, 0, std::string(400, 'x'));
    const MemoryRegion& r = state.Fw.Firmware.Regions[static_cast<size_t>(region)];
    ASSERT_GT(r.Used, r.Range.Length);
    QFile old(Path("lang.spf"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    WithDialog(*window, [&](TfSavePatch& d) {
        d.rbPatchLang->setChecked(true);
        d.leFileName->setText(Path("lang.spf"));
        d.bCreatePatch->click();
        ASSERT_EQ(prompts.Messages.size(), 1u);
        EXPECT_EQ(prompts.Messages[0].text, "Out of Memory!");
        EXPECT_EQ(prompts.Messages[0].caption, "Error!");
        // Still open, and ready for another try.
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(d.bCreatePatch->isVisible());
    });
    EXPECT_EQ(ReadAll(Path("lang.spf")), "old");
}

TEST_F(ShellTest, OpenSpfIgnoresFilesThatAreNoPatchForThisFirmware) {
    Open();
    QFile junk(Path("junk.spf"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("<patch version=\"1.0a\"><info name=\"x\"/></patch>");
    junk.close();
    window->Editor().SelectNode("Images");
    prompts.Files.push_back(Path("junk.spf"));
    window->aOpenSPFExecute();
    EXPECT_TRUE(prompts.Messages.empty());
    // Nothing happened: the tree keeps its node.
    EXPECT_EQ(window->Editor().tvFirmwareSources->currentItem(), window->Editor().nodeImages);
}

}  // namespace
}  // namespace flashsmith::shell::test
