// The "Firmware Editor" page on the demo firmware: opening, browsing,
// previews, replacing, deleting, restoring, string edits, drops and export.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "editing/Export.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"
#include "base/FileUtil.h"
#include "firmware/Images.h"

#include "firmware/PictureFile.h"
#include "sound/AudioTestUtil.h"
#include "shell/FileManPane.h"
#include "shell/FirmwareViewer.h"
#include "shell/RegionBar.h"
#include "shell/ResourceModel.h"
#include "shell/Version.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;
namespace {

QString Cell(TfMain& w, int row, int column) {
    return w.Editor().FilesModel->data(w.Editor().FilesModel->index(row, column), Qt::DisplayRole).toString();
}

QColor CellColour(TfMain& w, int row) {
    QVariant v = w.Editor().FilesModel->data(w.Editor().FilesModel->index(row, 0), Qt::ForegroundRole);
    return v.isValid() ? v.value<QBrush>().color() : QColor();
}

QString RegionText(TfMain& w) { return w.Panels[2]->text(); }

QString ExpectedRegion(const FirmwareState& fw, int region, int extra = 0) {
    const MemoryRegion& r = fw.Firmware.Regions[static_cast<size_t>(region)];
    return "Memory Size/Used: " + QString::number(r.Range.Length) + " / " + QString::number(r.Used + extra);
}

// A 24 x 16 bitmap of two colours, written by the program's own writer.
QString WriteBmp(const QString& path, int w = 24, int h = 16) {
    Picture p(w, h, 0x00FF0000);
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w; ++x) p.At(x, y) = 0x000000FF;
    std::string error;
    EXPECT_TRUE(SaveBmp32(path.toStdString(), p).Ok(&error)) << error;
    return path;
}

TEST_F(ShellTest, OpenFromTheMenuFindsTheDescriptionBesideTheImage) {
    prompts.Files.push_back(Image());
    window->FileOpen1Execute();
    ASSERT_TRUE(state.Fw.FirmwareLoaded);
    EXPECT_EQ(prompts.Filters.at(0), "Firmware BIN files|*.bin");
    EXPECT_EQ(window->windowTitle(), ApplicationCaption() + " - demo.bin");
    EXPECT_EQ(window->Panels[0]->text(), "Phone: E250");
    EXPECT_EQ(window->Panels[1]->text(), "Firmware: E250XXJE1");
    EXPECT_FALSE(window->pbStatusProgress->isVisible());
    EXPECT_TRUE(window->PageControl->isEnabled());
    // One node per language under each table.
    const int count = state.Fw.FirmwareDescription.LanguageCount;
    ASSERT_GT(count, 0);
    EXPECT_EQ(window->Editor().nodeLang1->childCount(), count);
    EXPECT_EQ(window->Editor().nodeLang2->child(count - 1)->text(0), "Lang_" + QString::number(count));
    EXPECT_TRUE(prompts.Messages.empty());

    // Cancelling the next open keeps this firmware.
    window->FileOpen1Execute();
    EXPECT_TRUE(state.Fw.FirmwareLoaded);
}

TEST_F(ShellTest, SeveralProfilesAreOfferedAndCancellingEndsTheOpenSilently) {
    const QString dir = QFileInfo(QString::fromStdString(demo.ProfilePath)).absolutePath();
    ASSERT_TRUE(QFile::copy(QString::fromStdString(demo.ProfilePath), dir + "/E250XXJE1_alt.sdf"));
    prompts.Profiles = {-1, 1};
    EXPECT_FALSE(window->OpenFirmwareFile(Image()));
    ASSERT_EQ(prompts.ProfileQuestions.size(), 1u);
    EXPECT_EQ(prompts.ProfileQuestions[0], (QStringList{"E250XXJE1.sdf", "E250XXJE1_alt.sdf"}));
    EXPECT_FALSE(state.Fw.FirmwareLoaded);
    EXPECT_TRUE(prompts.Messages.empty());
    EXPECT_EQ(window->windowTitle(), ApplicationCaption());

    EXPECT_TRUE(window->OpenFirmwareFile(Image()));
    EXPECT_TRUE(QString::fromStdString(state.Fw.ProfilePath).endsWith("E250XXJE1_alt.sdf"));
}

TEST_F(ShellTest, AnUnidentifiedImageEndsTheOpenWithoutAMessageAndDropsTheOldTables) {
    Open();
    window->Editor().SelectNode("Images");
    ASSERT_GT(window->Editor().FilesModel->rowCount(), 0);
    QFile zeros(Path("zeros.bin"));
    ASSERT_TRUE(zeros.open(QIODevice::WriteOnly));
    zeros.write(QByteArray(4096, '\0'));
    zeros.close();
    EXPECT_FALSE(window->OpenFirmwareFile(zeros.fileName()));
    EXPECT_FALSE(state.Fw.FirmwareLoaded);
    EXPECT_TRUE(state.Fw.Firmware.Images.empty());
    EXPECT_EQ(window->Editor().FilesModel->rowCount(), 0);
    EXPECT_TRUE(window->Panels[0]->text().isEmpty());
    EXPECT_TRUE(prompts.Messages.empty());
    // With nothing loaded the commands do nothing.
    window->Editor().aDeleteFileExecute();
    window->Editor().bCreatePatchClick();
    EXPECT_FALSE(window->fSavePatch->isVisible());
}

TEST_F(ShellTest, CategoriesFillTheListWithRowsSizesColoursAndTheRegionFigures) {
    Open();
    ASSERT_TRUE(window->Editor().SelectNode("Images"));
    const auto& images = state.Fw.Firmware.Images;
    ASSERT_EQ(window->Editor().FilesModel->rowCount(), static_cast<int>(images.size()));
    EXPECT_EQ(state.Fw.SelectedRegion, 0);
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, 0));
    for (int i = 0; i < static_cast<int>(images.size()); ++i) {
        EXPECT_EQ(Cell(*window, i, 1).toInt(), images[i].Size) << i;
        EXPECT_EQ(Cell(*window, i, 2).toInt(), images[i].ID + 1) << i;
        // Linked pictures are drawn in their own colour.
        if (images[i].Link >= 0) EXPECT_EQ(CellColour(*window, i), QColor(64, 205, 205)) << i;
        else EXPECT_FALSE(CellColour(*window, i).isValid()) << i;
    }

    ASSERT_TRUE(window->Editor().SelectNode("Sounds"));
    EXPECT_EQ(Cell(*window, 0, 0), "Sound_1");
    EXPECT_EQ(Cell(*window, 2, 2), "2");
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, 1));

    // A language of table 2 lies after every language of table 1.
    ASSERT_TRUE(window->Editor().SelectNode("Lang Table 2/Lang_2"));
    const int count = state.Fw.FirmwareDescription.LanguageCount;
    EXPECT_EQ(state.Fw.SelectedRegion, 3 + count + 1);
    const pStringType& strings = state.Fw.Firmware.Strings2.at(1);
    ASSERT_EQ(window->Editor().FilesModel->rowCount(), static_cast<int>(strings.size()));

    // Borrowed strings (another language's region) in violet, Cyrillic
    // shown through the 8-bit code page.
    ASSERT_TRUE(window->Editor().SelectNode("Lang Table 1/Lang_3"));
    bool borrowed = false;
    for (int i = 0; i < window->Editor().FilesModel->rowCount(); ++i)
        if (CellColour(*window, i) == QColor(205, 64, 205)) borrowed = true;
    EXPECT_TRUE(borrowed);
    EXPECT_EQ(Cell(*window, 0, 0), QString::fromUtf8("Меню"));

    // The root and the table nodes show nothing and keep the region text.
    const QString before = RegionText(*window);
    ASSERT_TRUE(window->Editor().SelectNode("Lang Table 1"));
    EXPECT_EQ(window->Editor().FilesModel->rowCount(), 0);
    EXPECT_EQ(state.Fw.SelectedRegion, -1);
    EXPECT_EQ(RegionText(*window), before);
}

TEST_F(ShellTest, CommandsFollowTheSelectedNodeWhenIdle) {
    ASSERT_TRUE(WaitForIdle());
    EXPECT_FALSE(window->aOpenSPF->isEnabled());
    EXPECT_FALSE(window->miFileSave->isEnabled());
    Open();
    window->Editor().SelectNode("Lang Table 1/Lang_1");
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(window->aOpenSPF->isEnabled());
    EXPECT_FALSE(window->Editor().aReplaceFile->isEnabled());
    EXPECT_FALSE(window->Editor().bReplaceFile->isEnabled());
    EXPECT_TRUE(window->Editor().aDeleteLang->isEnabled());
    EXPECT_TRUE(window->Editor().aRestoreLang->isEnabled());
    EXPECT_TRUE(window->Editor().aDeleteFile->isEnabled());
    window->Editor().SelectNode("Images");
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(window->Editor().aReplaceFile->isEnabled());
    EXPECT_TRUE(window->Editor().bReplaceFile->isEnabled());
    EXPECT_FALSE(window->Editor().aDeleteLang->isEnabled());
    EXPECT_FALSE(window->Editor().aRestoreLang->isEnabled());
    EXPECT_FALSE(window->miFileSave->isEnabled());
    EXPECT_FALSE(window->miFileSaveAs->isEnabled());
}

TEST_F(ShellTest, PreviewDrawsThePictureOnALightGreyCanvasAndFillsTheViewer) {
    Open();
    window->Editor().SelectNode("Images");
    const auto& images = state.Fw.Firmware.Images;
    int raw16 = -1;
    for (size_t i = 0; i < images.size(); ++i)
        if (images[i].Kind == kRaw16 && images[i].Link < 0 && raw16 < 0) raw16 = int(i);
    ASSERT_GE(raw16, 0);
    window->Editor().SelectRow(raw16);
    TfrFViewer* v = window->Editor().frFwViewer;
    const tImgType& e = images[static_cast<size_t>(raw16)];
    EXPECT_EQ(v->leImageWidth->text(), QString::number(e.Width));
    EXPECT_EQ(v->leImageHeight->text(), QString::number(e.Height));
    EXPECT_TRUE(v->rbViewRaw16->isChecked());
    Picture decoded(e.Width, e.Height);
    ASSERT_GT(DecodePicture(e.Kind, *state.Fw.FirmwareFile, e.Address, e.Width, e.Height, decoded), 0);
    const QImage& shown = v->imViewer->Image();
    EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFF, decoded.At(0, 0));
    EXPECT_EQ(shown.pixel(e.Width - 1, e.Height - 1) & 0xFFFFFF, decoded.At(e.Width - 1, e.Height - 1));
    // Beyond the picture: the cleared background.
    EXPECT_EQ(shown.pixel(e.Width + 2, 2) & 0xFFFFFF, kClearColour);

    // "Show Pictures" off: the preview stays cleared.
    v->cbShowPic->setChecked(false);
    window->Editor().SelectRow(0);
    EXPECT_EQ(v->imViewer->Image().pixel(0, 0) & 0xFFFFFF, kClearColour);
}

TEST_F(ShellTest, ReplacingDeletingAndRestoringAPictureKeepsListAndRegionExact) {
    Open();
    window->Editor().SelectNode("Images");
    const int row = 0;  // an "09" picture
    ASSERT_EQ(state.Fw.Firmware.Images[row].Kind, k09);
    const int32_t size = state.Fw.Firmware.Images[row].Size;
    const int32_t used = state.Fw.Firmware.Regions[0].Used;
    window->Editor().SelectRow(row);
    prompts.Files.push_back(WriteBmp(Path("new.bmp")));
    window->Editor().aReplaceFileExecute();
    EXPECT_EQ(prompts.Filters.back(),
              "All Pictures|*.bmp;*.jpg;*.jpeg;*.png;*.gif|BMP Images (*.bmp)|*.bmp|Jpeg Images (*.jpg)|*.jpg|"
              "PNG Images (*.png)|*.png|GIF Images (*.gif)|*.gif");
    const tImgType& e = state.Fw.Firmware.Images[row];
    ASSERT_FALSE(e.TempName.empty());
    const int64_t data = FileSizeOf(state.Fw.TempDir + e.TempName) - 4;
    EXPECT_EQ(Cell(*window, row, 1).toLongLong(), data);
    EXPECT_EQ(CellColour(*window, row), QColor(8, 176, 24));
    EXPECT_EQ(state.Fw.Firmware.Regions[0].Used, used - size + data);
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, 0));
    // The preview now shows the replacement: 24 x 16, blue over red.
    EXPECT_EQ(window->Editor().frFwViewer->leImageWidth->text(), "24");
    EXPECT_EQ(window->Editor().frFwViewer->imViewer->Image().pixel(1, 1) & 0xFFFFFF, 0x0000FFu);

    window->Editor().aDeleteFileExecute();
    EXPECT_EQ(Cell(*window, row, 1), "0");
    EXPECT_EQ(CellColour(*window, row), QColor(255, 96, 96));
    EXPECT_EQ(state.Fw.Firmware.Regions[0].Used, used - size);
    EXPECT_TRUE(e.TempName.empty());
    window->Editor().aDeleteFileExecute();  // a second delete counts nothing
    EXPECT_EQ(state.Fw.Firmware.Regions[0].Used, used - size);

    window->Editor().aRestoreFileExecute();
    EXPECT_EQ(Cell(*window, row, 1).toInt(), size);
    EXPECT_FALSE(CellColour(*window, row).isValid());
    EXPECT_EQ(state.Fw.Firmware.Regions[0].Used, used);
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, 0));

    // A cancelled file question changes nothing.
    window->Editor().aReplaceFileExecute();
    EXPECT_TRUE(e.TempName.empty());
}

TEST_F(ShellTest, ReplacingAndDeletingSoundsCountTheSharedSilentSound) {
    Open();
    window->Editor().SelectNode("Sounds");
    // Sound 1's data as a file of its own.
    const ExportResult out = ExportResource(state.Fw, kCatSounds, 0, Path("").toStdString(), flashsmith::editing::PictureExport::Bmp);
    ASSERT_EQ(out.Status, ExportStatus::Ok);
    const QString mmf = Path("Ring.MMF");
    ASSERT_TRUE(QFile::rename(QString::fromStdString(out.Path), mmf));
    window->Editor().SelectRow(1);
    prompts.Files.push_back(mmf);
    window->Editor().aReplaceFileExecute();
    EXPECT_EQ(prompts.Filters.back(), "Sound & Music files|*.mmf|Audio files to convert|*.wav;*.mp3;*.ogg;*.flac");
    EXPECT_EQ(Cell(*window, 1, 1).toLongLong(), QFileInfo(mmf).size());
    EXPECT_EQ(CellColour(*window, 1), QColor(8, 176, 24));

    window->Editor().SelectRow(2);
    window->Editor().aDeleteFileExecute();
    EXPECT_EQ(state.Fw.DeletedSoundCount, 1);
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, 1, 157));
    window->Editor().aRestoreFileExecute();
    EXPECT_EQ(state.Fw.DeletedSoundCount, 0);
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, 1));
}

TEST_F(ShellTest, SoundsAreReplacedWithConvertedAudioFilesThatFitTheRegion) {
    Open();
    window->Editor().SelectNode("Sounds");
    const QString tone = Path("tone.wav"), tooLong = Path("long.flac.wav");
    ASSERT_TRUE(soundtest::WriteWavFile(tone.toStdString(), soundtest::Sine(440, 8000, 1), 8000, 1));
    ASSERT_TRUE(soundtest::WriteWavFile(tooLong.toStdString(), soundtest::Sine(440, 8000, 40), 8000, 1));
    const int32_t used = state.Fw.Firmware.Regions[1].Used;

    window->Editor().SelectRow(2);
    prompts.Files.push_back(tooLong);
    window->Editor().aReplaceFileExecute();
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_TRUE(prompts.Messages[0].text.contains("takes 160")) << prompts.Messages[0].text.toStdString();
    EXPECT_TRUE(state.Fw.Firmware.Sounds[2].TempName.empty());
    EXPECT_EQ(state.Fw.Firmware.Regions[1].Used, used);

    prompts.Files.push_back(tone);
    window->Editor().aReplaceFileExecute();
    EXPECT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(state.Fw.Firmware.Sounds[2].TempName, "tmpSound_2");
    EXPECT_EQ(CellColour(*window, 2), QColor(8, 176, 24));
    EXPECT_TRUE(window->Editor().lvFirmwareFilesDragOver(Path("other.MP3")));

    // Options > Convert Audio at 22050 Hz: the same second takes about 2.75 times the room.
    const int64_t at8000 = flashsmith::base::FileSizeOf(state.Fw.TempDir + "tmpSound_2");
    auto* rate = window->findChild<QAction*>("miAudioRate22050");
    ASSERT_NE(rate, nullptr);
    rate->trigger();
    window->Editor().SelectRow(3);
    prompts.Files.push_back(tone);
    window->Editor().aReplaceFileExecute();
    ASSERT_EQ(state.Fw.Firmware.Sounds[3].TempName, "tmpSound_3");
    const int64_t at22050 = flashsmith::base::FileSizeOf(state.Fw.TempDir + "tmpSound_3");
    EXPECT_GT(at22050, at8000 * 5 / 2) << at8000 << " " << at22050;
}

// Edits a name in the list as a user does: F2, type, Enter.
void TypeName(TfMain& w, int row, const QString& text) {
    w.Editor().SelectRow(row);
    w.Editor().lvFirmwareFiles->setFocus();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the last editor
    w.Editor().lvFirmwareFiles->edit(w.Editor().FilesModel->index(row, 0));
    auto* editor = w.Editor().lvFirmwareFiles->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    editor->insert(text);  // QTest types ASCII only
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

TEST_F(ShellTest, StringsAreEditedInPlaceExceptLinkedOnes) {
    Open();
    window->Editor().SelectNode("Lang Table 1/Lang_1");
    const int region = state.Fw.SelectedRegion;
    const int32_t used = state.Fw.Firmware.Regions[static_cast<size_t>(region)].Used;
    const pStringType& strings = state.Fw.Firmware.Strings1.at(0);
    ASSERT_EQ(strings[0].Text, "Menu");
    TypeName(*window, 0, QString::fromUtf8("Главное"));
    // Stored as UTF-8: seven Cyrillic letters take 14 bytes.
    EXPECT_EQ(strings[0].NewText, "Главное");
    EXPECT_EQ(Cell(*window, 0, 0), QString::fromUtf8("Главное"));
    EXPECT_EQ(Cell(*window, 0, 1), "15");
    EXPECT_EQ(CellColour(*window, 0), QColor(8, 176, 24));
    EXPECT_EQ(state.Fw.Firmware.Regions[static_cast<size_t>(region)].Used, used - 5 + 15);
    EXPECT_EQ(RegionText(*window), ExpectedRegion(state.Fw, region));

    // An empty name deletes the string and shows its stored text again.
    TypeName(*window, 0, "");
    EXPECT_TRUE(strings[0].Deleted);
    EXPECT_EQ(Cell(*window, 0, 0), "Menu");
    EXPECT_EQ(Cell(*window, 0, 1), "0");

    int linked = -1;
    for (size_t i = 0; i < strings.size(); ++i)
        if (strings[i].Link >= 0 && linked < 0) linked = int(i);
    ASSERT_GE(linked, 0);
    EXPECT_FALSE(window->Editor().FilesModel->flags(window->Editor().FilesModel->index(linked, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(window->Editor().FilesModel->flags(window->Editor().FilesModel->index(1, 0)) & Qt::ItemIsEditable);
    // Pictures are never edited in place.
    window->Editor().SelectNode("Images");
    EXPECT_FALSE(window->Editor().FilesModel->flags(window->Editor().FilesModel->index(0, 0)) & Qt::ItemIsEditable);
}

// Sends a drag of a file from the file browser pane over a list row.
bool DropOnRow(TfMain& w, const QString& path, int row, bool drop) {
    QMimeData mime;
    mime.setData(kLocalFileMime, path.toUtf8());
    const QPoint at = w.Editor().lvFirmwareFiles->visualRect(w.Editor().FilesModel->index(row, 0)).center();
    // A drag enters before it moves or drops; the application routes the
    // later events to the widget that accepted the entry.
    QDragEnterEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.Editor().lvFirmwareFiles->viewport(), &move);
    if (drop && move.isAccepted()) {
        QDropEvent d(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.Editor().lvFirmwareFiles->viewport(), &d);
    }
    return move.isAccepted();
}

TEST_F(ShellTest, FilesDraggedFromTheFileBrowserReplaceTheRowUnderThePointer) {
    Open();
    window->resize(900, 700);
    window->show();
    window->Editor().SelectNode("Images");
    window->Editor().cbSwitchFileMan->setChecked(true);
    const QString bmp = WriteBmp(Path("drag.BMP"));
    QFile(Path("notes.txt")).open(QIODevice::WriteOnly);
    window->Editor().frEditor->SetFolder(scratch.path());
    ASSERT_TRUE(WaitUntil([&] { return window->Editor().frEditor->Lists(bmp); }));
    window->Editor().frEditor->SelectPath(bmp);
    ASSERT_EQ(window->Editor().frEditor->SelectedPath(), bmp);

    EXPECT_FALSE(DropOnRow(*window, Path("notes.txt"), 1, false));
    // Drags that do not come from the pane's list carry no marker.
    QMimeData plain;
    plain.setUrls({QUrl::fromLocalFile(bmp)});
    QDragEnterEvent move(QPoint(5, 5), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->Editor().lvFirmwareFiles->viewport(), &move);
    EXPECT_FALSE(move.isAccepted());

    EXPECT_TRUE(DropOnRow(*window, bmp, 1, true));
    EXPECT_EQ(window->Editor().SelectedRow(), 1);
    EXPECT_FALSE(state.Fw.Firmware.Images[1].TempName.empty());
    EXPECT_TRUE(state.Fw.Firmware.Images[0].TempName.empty());

    // Any file goes onto the Java list.
    window->Editor().SelectNode("Java");
    EXPECT_TRUE(DropOnRow(*window, Path("notes.txt"), 0, false));
}

TEST_F(ShellTest, ExportWritesToTheChosenFolderOrTheFileBrowsersFolder) {
    Open();
    window->Editor().SelectNode("Images");
    window->Editor().SelectRow(0);
    const QString out = Path("out");
    QDir().mkpath(out);
    prompts.Folders.push_back(out);
    window->Editor().bExportFileClick();
    EXPECT_TRUE(QFileInfo::exists(out + "/Image_1.bmp"));
    Picture back;
    ASSERT_TRUE(LoadBmp((out + "/Image_1.bmp").toStdString()).Take(back));
    EXPECT_EQ(back.Width, state.Fw.Firmware.Images[0].Width);

    window->miSaveImagesAsJpeg->setChecked(true);
    prompts.Folders.push_back(out);
    window->Editor().bExportFileClick();
    EXPECT_TRUE(QFileInfo::exists(out + "/Image_1.jpg"));
    // Cancelling the folder question exports nothing.
    window->Editor().SelectRow(1);
    window->Editor().bExportFileClick();
    EXPECT_FALSE(QFileInfo::exists(out + "/Image_2.jpg"));

    const QString pane = Path("pane");
    QDir().mkpath(pane);
    window->Editor().cbSwitchFileMan->setChecked(true);
    window->Editor().frEditor->SetFolder(pane);
    window->Editor().SelectNode("Sounds");
    window->Editor().SelectRow(0);
    window->Editor().bExportFileClick();
    EXPECT_TRUE(QFileInfo::exists(pane + "/Sound_1.mmf"));
}

}  // namespace
// 400 x 300, left half red, right half blue, as PNG.
QString WriteWidePng(const QString& path) {
    Picture p(400, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) p.At(x, y) = x < 200 ? 0xFF0000 : 0x0000FF;
    std::string error;
    EXPECT_TRUE(SavePng(path.toStdString(), p).Ok(&error)) << error;
    return path;
}

TEST_F(ShellTest, PngPicturesReplaceScaledToFitAndExportAsPng) {
    Open();
    window->resize(900, 700);
    window->show();
    window->Editor().SelectNode("Images");
    // Scale to fit: the 176 x 220 wallpaper takes the wide picture whole.
    window->miScaleToFit->setChecked(true);
    window->Editor().SelectRow(6);
    prompts.Files.push_back(WriteWidePng(Path("wide.png")));
    window->Editor().aReplaceFileExecute();
    ASSERT_EQ(state.Fw.Firmware.Images[6].TempName, "tmpImage_6");
    EXPECT_EQ(window->Editor().frFwViewer->leImageWidth->text(), "176");
    EXPECT_EQ(window->Editor().frFwViewer->leImageHeight->text(), "220");
    const QImage& shown = window->Editor().frFwViewer->imViewer->Image();
    EXPECT_EQ(shown.pixel(5, 110) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shown.pixel(170, 110) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shown.pixel(88, 2) & 0xFFFFFF, 0u);  // the bar above the picture

    // Without it a picture is cropped; a PNG dragged from the file browser
    // is taken like a bitmap.
    window->miScaleToFit->setChecked(false);
    window->Editor().cbSwitchFileMan->setChecked(true);
    window->Editor().frEditor->SetFolder(scratch.path());
    ASSERT_TRUE(WaitUntil([&] { return window->Editor().frEditor->Lists(Path("wide.png")); }));
    window->Editor().frEditor->SelectPath(Path("wide.png"));
    EXPECT_TRUE(DropOnRow(*window, Path("wide.png"), 1, true));
    EXPECT_EQ(state.Fw.Firmware.Images[1].TempName, "tmpImage_1");
    int32_t w = 0, h = 0;
    ASSERT_TRUE(ReadPictureHeader(state.Fw.TempDir + "tmpImage_1", &w, &h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 300);
    window->Editor().cbSwitchFileMan->setChecked(false);

    // One export format at a time; PNG holds the stored picture exactly.
    window->miSaveImagesAsJpeg->setChecked(true);
    window->miSaveImagesAsPng->setChecked(true);
    EXPECT_FALSE(window->miSaveImagesAsJpeg->isChecked());
    const QString out = Path("out");
    QDir().mkpath(out);
    prompts.Folders.push_back(out);
    window->Editor().SelectRow(0);
    window->Editor().bExportFileClick();
    Picture png, stored;
    ASSERT_TRUE(LoadPictureFile((out + "/Image_1.png").toStdString()).Take(png));
    ASSERT_TRUE(DecodeStoredPicture(state.Fw, 0, stored));
    EXPECT_EQ(png.Pixels, stored.Pixels);
}

TEST_F(ShellTest, RegionBarShowsTheRegionsOfTheNodeAndFollowsEdits) {
    RegionBar* bar = window->Editor().regionBar;
    EXPECT_TRUE(bar->isHidden());
    Open();
    window->resize(900, 700);
    window->show();
    window->Editor().SelectNode("My Firmware");
    ASSERT_EQ(bar->BarCount(), 3);
    EXPECT_EQ(bar->Caption(1), "Sounds");
    window->Editor().SelectNode("Lang Table 2");
    ASSERT_EQ(bar->BarCount(), 3);
    EXPECT_EQ(bar->Bar(2).Region, 8);  // the third language of table 2
    window->Editor().SelectNode("Images");
    ASSERT_EQ(bar->BarCount(), 1);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->Bar(0).Used, state.Fw.Firmware.Regions[0].Used);
    QStringList tip = bar->ToolTipText(0).split('\n');
    ASSERT_EQ(tip.size(), 2 + 5);
    EXPECT_EQ(tip[1], "Largest entries:");
    EXPECT_TRUE(tip[2].startsWith("  Image_7  77440")) << tip[2].toStdString();

    // The region shrunk below the edits: the bar turns red and says by how much.
    state.Fw.Firmware.Regions[0].Range.Length = state.Fw.Firmware.Regions[0].Used + 10;
    window->Editor().SelectRow(0);
    prompts.Files.push_back(WriteWidePng(Path("wide.png")));
    window->Editor().aReplaceFileExecute();
    ASSERT_FALSE(state.Fw.Firmware.Images[0].TempName.empty());
    EXPECT_TRUE(bar->Bar(0).Over());
    EXPECT_TRUE(bar->ToolTipText(0).contains("bytes too many"));
    const QString sized = "\n  Image_1  " + QString::number(FileSizeOf(state.Fw.TempDir + "tmpImage_0") - 4);
    EXPECT_TRUE(bar->ToolTipText(0).contains(sized)) << bar->ToolTipText(0).toStdString();
    const QImage painted = bar->grab().toImage();
    const QPoint inside = bar->rect().center();
    EXPECT_EQ(QColor(painted.pixel(inside.x() / 2, 4)), QColor(220, 48, 48));
    EXPECT_EQ(bar->BarAt(QPoint(inside.x(), 2)), 0);
}

}  // namespace flashsmith::shell::test
