// The "Firmware Profile Creator" page on its own: a search with the pictures
// reviewed in the image type dialog, the description file it saves, and an
// open of the image with that file.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "base/FileUtil.h"
#include "base/Hex.h"
#include "firmware/Firmware.h"
#include "profilecreator/ProfileImage.h"
#include "shell/FirmwareViewer.h"
#include "shell/ProfileCreatorPage.h"
#include "shell/SelImageTypeDialog.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::demo;
using namespace flashsmith::profilecreator;
namespace {

void Mouse(QWidget* w, QEvent::Type type, int x, int y) {
    const Qt::MouseButton b = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), b, b, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// "Select", then a move to and a click on the preview at (x, y).
void Pick(TfSelImageType& d, int x, int y) {
    d.bSelectTransp->click();
    Mouse(d.imViewer, QEvent::MouseMove, x, y);
    Mouse(d.imViewer, QEvent::MouseButtonPress, x, y);
}

QStringList Row(const QTableWidget* t, int row) {
    QStringList r;
    for (int c = 0; c < t->columnCount(); ++c) r << t->item(row, c)->text();
    return r;
}

class ProfilePage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        fw.ProgramDir = Path("prog").toStdString() + "/";
        fw.ImageIdNames.resize(6);
        fw.ImageIdNames[1].Name = "Logo";
        fw.ImageIdNames[2].Name = "Wallpaper";
        fw.ImageIdNames[5].Name = "Battery";
        page = std::make_unique<TfrProfileCreator>(fw, prompts);
    }
    QString Path(const QString& name) const { return QDir(scratch.path()).filePath(name); }
    QString Firmwares() const { return Path("prog/Firmwares"); }
    void Tick(bool images, bool sounds, bool java, bool langs) {
        page->cbSearchImages->setChecked(images);
        page->cbSearchSounds->setChecked(sounds);
        page->cbSearchJava->setChecked(java);
        page->cbSearchLangs->setChecked(langs);
    }
    // Start Search with `inside` acting on the image type dialog once it is
    // up; whatever happens there, the dialog is closed afterwards. Returns
    // whether the dialog was shown.
    bool Search(const std::function<void(TfSelImageType&)>& inside) {
        bool shown = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            TfSelImageType* d = page->ImageTypeDialog();
            if (!d->isVisible()) return;
            poll.stop();
            shown = true;
            inside(*d);
            if (d->isVisible()) d->done(QDialog::Rejected);
        });
        poll.start();
        page->bStartSearchClick();
        EXPECT_FALSE(page->pbSearchProfile->isVisible());
        EXPECT_TRUE(page->bStartSearch->isEnabled() && page->bSaveResults->isEnabled());
        return shown;
    }

    QTemporaryDir scratch;
    FirmwareState fw;
    ScriptedPrompts prompts;
    std::unique_ptr<TfrProfileCreator> page;
};

TEST_F(ProfilePage, PicturesReviewedInTheDialogAreSavedAndTheImageOpensWithTheFile) {
    flashsmith::test::ProfileImage pi;
    const QString image = Path("x480.bin");
    ASSERT_TRUE(WriteFileAtomic(image.toStdString(), pi.img.Bytes()));
    prompts.Files.push_back(image);
    page->bBrowseClick();
    EXPECT_EQ(prompts.Filters.back(), "Firmware BIN files|*.bin");
    Tick(true, true, true, true);
    page->leDisplayWidth->setText("128");
    // A picture search without the display size does not start.
    page->bStartSearchClick();
    EXPECT_TRUE(page->lePhoneModel->text().isEmpty());
    page->eDisplayHeight->setText("160");

    const uint32_t raw8Colour = SwapRedBlue(Rgb332To24(0xE3));
    const bool shown = Search([&](TfSelImageType& d) {
        ASSERT_EQ(d.lvImages->rowCount(), 6);
        EXPECT_EQ(Row(d.lvImages, 1), QStringList({"Image_2", "RAW16", "128 x 160", "0:Unknown ID"}));
        QStringList ids;
        for (int i = 0; i < d.cbImageID->count(); ++i) ids << d.cbImageID->itemText(i);
        EXPECT_EQ(ids, QStringList({"0:Unknown", "1:Logo", "2:Wallpaper", "5:Battery"}));
        // Nothing selected: commands do nothing, OK needs a colour.
        d.bSelectTransp->click();
        EXPECT_FALSE(d.imViewer->PickMode());
        d.bOk->click();
        d.bOk->click();
        EXPECT_EQ(prompts.Messages.size(), 2u);
        EXPECT_TRUE(d.isVisible());
        d.close();
        EXPECT_TRUE(d.isVisible());

        // The "09" icon read as RAW8 with the ID "5:Battery".
        d.lvImages->selectRow(0);
        EXPECT_TRUE(d.rbView09->isChecked());
        d.rbViewRaw8->click();
        d.cbImageID->setCurrentIndex(3);
        d.cbImageIDSelect();
        EXPECT_EQ(Row(d.lvImages, 0), QStringList({"Image_1", "RAW8", "16 x 16", "5:Battery"}));

        // The RAW8 picture made wider; typed letters are dropped.
        d.lvImages->selectRow(3);
        EXPECT_TRUE(d.rbViewRaw8->isChecked());
        EXPECT_EQ(d.StatusPanel->text(), "Size= 256 | Dimension= 16 x 16 | Type= RAW8");
        d.leImageWidth->setText("3z2");
        EXPECT_EQ(d.leImageWidth->text(), "32");
        d.udImageHeight->Step(1);
        EXPECT_EQ(d.leImageHeight->text(), "17");
        d.udImageHeight->Step(-1);
        EXPECT_EQ(Row(d.lvImages, 3)[2], "32 x 16");
        EXPECT_EQ(d.cbImageID->currentIndex(), 0);

        // The colour under the pointer, red and blue in firmware order.
        Pick(d, 5, 5);
        EXPECT_EQ(d.Shape1->Colour(), raw8Colour);
        EXPECT_EQ(page->leTranspColor->text(), QString::fromStdString(HexStr(raw8Colour)));
        d.bOk->click();
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(shown);
    ASSERT_EQ(prompts.Messages.size(), 2u);
    EXPECT_EQ(prompts.Messages[0].text, "Please Set the Transparent Color!");
    EXPECT_EQ(prompts.Messages[0].caption, "Error!");
    const ProfileSearch& s = page->Search();
    ASSERT_EQ(s.FoundImages.size(), 6u);
    EXPECT_EQ(std::make_tuple(s.FoundImages[0].Kind, s.FoundImages[0].ID, s.FoundImages[0].Size),
              std::make_tuple(int32_t(kRaw8), 4, 256));
    EXPECT_EQ(std::make_pair(s.FoundImages[3].Width, s.FoundImages[3].Size), std::make_pair(32, 512));
    EXPECT_EQ(page->ImageTypeDialog()->lvImages->rowCount(), 0);

    EXPECT_EQ(page->lePhoneModel->text(), "SGH-X480");
    EXPECT_EQ(page->leFirmwareVersion->text(), "X480XXAB1");
    EXPECT_EQ(page->leTableImages->text(), "0x00002000");
    EXPECT_EQ(page->leTableSounds->text(), "0x00003000");
    EXPECT_EQ(page->leSoundRecLen->text(), "12");
    EXPECT_EQ(page->leTableJava->text(), "0x00004000");
    EXPECT_EQ(page->leJavaRecLen->text(), "136");
    EXPECT_EQ(page->leTableLangs2->text(), "0x00005100");
    ASSERT_EQ(page->lvMemoryRegions->topLevelItemCount(), 9);
    QTreeWidgetItem* sounds = page->lvMemoryRegions->topLevelItem(1);
    EXPECT_EQ(sounds->text(0), QString::fromStdString(HexStr(uint32_t(pi.regions[1].Start))));
    EXPECT_EQ(sounds->text(3), "Region of Sounds");
    EXPECT_EQ(page->lvMemoryRegions->topLevelItem(8)->text(2), "9");
    EXPECT_EQ(page->lvMemoryRegions->topLevelItem(8)->text(3), "Region of Language");

    page->bSaveResults->click();
    ASSERT_EQ(prompts.Messages.size(), 3u) << prompts.Messages.back().text.toStdString();
    EXPECT_EQ(prompts.Messages[2].text, "Profile saved to the file: X480XXAB1.sdf");
    EXPECT_TRUE(prompts.Messages[2].caption.isEmpty());
    EXPECT_TRUE(page->lePhoneModel->text().isEmpty());
    EXPECT_EQ(page->lvMemoryRegions->topLevelItemCount(), 0);

    // The open command finds the file by the version and reads the edits.
    FirmwareState opened;
    OpenOptions o;
    o.FirmwaresDir = Firmwares().toStdString();
    const OpenResult r = OpenFirmware(opened, image.toStdString(), o, NullProgress());
    ASSERT_EQ(r.Status, OpenStatus::Ok) << r.Error;
    EXPECT_EQ(uint32_t(opened.FirmwareDescription.Transparent), raw8Colour);
    ASSERT_EQ(opened.Firmware.Images.size(), 6u);
    EXPECT_EQ(std::make_pair(opened.Firmware.Images[0].Kind, opened.Firmware.Images[0].ID), std::make_pair(int32_t(kRaw8), 4));
    EXPECT_EQ(opened.Firmware.Images[3].Width, 32);
    EXPECT_EQ(opened.Firmware.Sounds.size(), 5u);
    EXPECT_EQ(opened.Firmware.Strings2.size(), 3u);

    // Saved results are gone; after Browse only a new search can be saved,
    // and it goes beside the first file.
    page->bSaveResults->click();
    prompts.Files.push_back(image);
    page->bBrowseClick();
    page->bSaveResults->click();
    EXPECT_EQ(prompts.Messages.size(), 3u);
    Search([&](TfSelImageType& d) {
        d.lvImages->selectRow(1);
        Pick(d, 300, 300);  // outside the picture: the preview's background
        d.bOk->click();
    });
    EXPECT_EQ(page->leTranspColor->text(), QString::fromStdString(HexStr(kClearColour)));
    page->bSaveResults->click();
    EXPECT_EQ(prompts.Messages.back().text, "Profile saved to the file: X480XXAB1_0.sdf");
    EXPECT_TRUE(FileExists(QDir(Firmwares()).filePath("X480XXAB1_0.sdf").toStdString()));
}

TEST_F(ProfilePage, TheDemoImageShowsAndSavesTheTablesOfItsDescription) {
    DemoResult demo;
    std::string error;
    ASSERT_TRUE(flashsmith::demo::WriteDemoFirmware(Path("demo").toStdString(), {}).Take(demo, &error)) << error;
    FirmwareState known;
    ReadDescription(known, demo.ProfilePath);
    const auto& k = known.FirmwareDescription;
    const auto hex = [](int32_t v) { return QString::fromStdString(HexStr(uint32_t(v))); };

    // Nothing to identify: no model, nothing shown, no message.
    ASSERT_TRUE(WriteFileAtomic(Path("blank.bin").toStdString(), std::string(8192, '\0')));
    page->leFirmwareFile->setText(Path("blank.bin"));
    Tick(false, true, true, false);
    EXPECT_FALSE(Search([](TfSelImageType&) {}));
    EXPECT_TRUE(page->lePhoneModel->text().isEmpty());

    // Without the language search: no language fields, three regions.
    page->leFirmwareFile->setText(QString::fromStdString(demo.ImagePath));
    EXPECT_FALSE(Search([](TfSelImageType&) {}));
    EXPECT_EQ(page->leTableJava->text(), hex(k.JavaTable));
    EXPECT_TRUE(page->leTableLangs1->text().isEmpty());
    EXPECT_EQ(page->lvMemoryRegions->topLevelItemCount(), 3);

    page->leDisplayWidth->setText("176");
    page->eDisplayHeight->setText("220");
    Tick(true, true, true, true);
    const bool shown = Search([](TfSelImageType& d) {
        ASSERT_EQ(d.lvImages->rowCount(), 15);
        EXPECT_EQ(Row(d.lvImages, 6), QStringList({"Image_7", "RAW16", "176 x 220", "0:Unknown ID"}));
        EXPECT_EQ(Row(d.lvImages, 10), QStringList({"Image_11", "WBMP", "64 x 20", "0:Unknown ID"}));
        // the smiley's corner holds the transparent colour
        d.lvImages->selectRow(0);
        Pick(d, 1, 1);
        d.bOk->click();
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(page->leTableImages->text(), hex(k.ImageTable));
    EXPECT_EQ(page->leTableSounds->text(), hex(k.SoundTable));
    EXPECT_EQ(page->leSoundRecLen->text(), QString::number(k.SndTableLength));
    EXPECT_EQ(page->leTableJava->text(), hex(k.JavaTable));
    EXPECT_EQ(page->leJavaRecLen->text(), QString::number(k.JavaTableLength));
    EXPECT_EQ(page->leTableLangs1->text(), hex(k.LanguageTable1));
    EXPECT_EQ(page->leTableLangs2->text(), hex(k.LanguageTable2));
    EXPECT_EQ(page->leTranspColor->text(), hex(k.Transparent));
    ASSERT_EQ(page->lvMemoryRegions->topLevelItemCount(), 3 + 2 * k.LanguageCount);
    EXPECT_EQ(page->lvMemoryRegions->topLevelItem(0)->text(0), hex(known.Firmware.Regions[0].Range.Start));

    page->bSaveResults->click();
    ASSERT_FALSE(prompts.Messages.empty());
    EXPECT_EQ(prompts.Messages.back().text, "Profile saved to the file: " + QString::fromStdString(demo.Version) + ".sdf");
    FirmwareState saved;
    ReadDescription(saved, page->SavedPath().toStdString());
    const auto& v = saved.FirmwareDescription;
    EXPECT_EQ(std::tie(v.ImageTable, v.SoundTable, v.JavaTable, v.LanguageTable1, v.LanguageTable2, v.LanguageCount),
              std::tie(k.ImageTable, k.SoundTable, k.JavaTable, k.LanguageTable1, k.LanguageTable2, k.LanguageCount));
    EXPECT_EQ(std::tie(v.SndTableLength, v.JavaTableLength, v.Transparent),
              std::tie(k.SndTableLength, k.JavaTableLength, k.Transparent));
}

}  // namespace
}  // namespace flashsmith::shell::test
