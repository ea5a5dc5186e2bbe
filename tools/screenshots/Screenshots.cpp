#include "Screenshots.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include "patches/CreatePatch.h"
#include "shell/AboutBox.h"
#include "ProfileCreatorShots.h"
#include "shell/ConverterPage.h"
#include "shell/FileManPane.h"
#include "shell/MainWindow.h"
#include "shell/PatchesPage.h"
#include "shell/SavePatchDialog.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::patches;

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

bool Save(QWidget* w, const QString& dir, const QString& name) {
    Settle();
    return w->grab().save(QDir(dir).filePath(name), "PNG");
}

}  // namespace

bool TakeScreenshots(TfMain& window, const QString& dir, const std::function<bool(TfMain&, const QString&)>& more) {
    QDir().mkpath(dir);
    bool ok = true;
    Settle();
    if (window.Editor().SelectNode("Images")) {
        // The largest picture of a firmware is usually a wallpaper; show it.
        int best = 0;
        const auto& images = window.Fw().Firmware.Images;
        for (size_t i = 0; i < images.size(); ++i)
            if (images[i].Width * images[i].Height > images[best].Width * images[best].Height) best = int(i);
        window.Editor().SelectRow(best);
    }
    ok &= Save(&window, dir, "editor-pictures.png");
    if (window.Editor().SelectNode("Sounds")) window.Editor().SelectRow(0);
    ok &= Save(&window, dir, "editor-sounds.png");
    if (window.Editor().SelectNode("Lang Table 1/Lang_1")) window.Editor().SelectRow(1);
    ok &= Save(&window, dir, "editor-language.png");
    window.Editor().frEditor->SetFolder(QFileInfo(QString::fromStdString(window.Fw().FirmwarePath)).absolutePath());
    window.Editor().cbSwitchFileMan->setChecked(true);
    ok &= Save(&window, dir, "editor-files.png");
    window.Editor().cbSwitchFileMan->setChecked(false);

    // Patches made from the open image, listed; the language one shown.
    QTemporaryDir scratch;
    struct Made {
        PatchKind kind;
        const char *file, *name, *version, *about;
    };
    const Made made[] = {
        {PatchKind::Pictures, "icons", "Brighter icons", "1.0", "New battery and signal icons."},
        {PatchKind::Languages, "menus", "Menu texts", "1.1", "Shorter menu captions in every language."},
    };
    TfrPatche* patches = window.frPatches;
    for (const Made& m : made) {
        CreatePatchOptions o;
        o.Kind = m.kind;
        o.Details = {m.name, m.version, m.about, "flashsmith", "flashsmith@example.org", "", ""};
        o.FileName = QDir(scratch.path()).filePath(m.file).toStdString();
        const CreatePatchResult r = CreatePatch(window.Fw(), o, NullProgress());
        if (r.Status == CreatePatchStatus::Ok) patches->AppendPatch(QString::fromStdString(r.FileName));
    }
    // "Installed" is worked out in the background.
    for (int i = 0; i < 1000 && patches->InstalledPending(); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    window.PageControl->setCurrentWidget(window.TabSheet4);
    if (QTreeWidgetItem* last = patches->lvPatches->topLevelItem(patches->lvPatches->topLevelItemCount() - 1))
        patches->lvPatches->setCurrentItem(last);
    ok &= Save(&window, dir, "patches.png");

    // The image to S-records with two reserved regions, ready to go back.
    TfrConverter* c = window.frConverter;
    c->AppendRegionText("0x00000000 - 0x0000FFFF");
    c->AppendRegionText("0x80000-0x8FFFF");
    c->leBinFile->setText(QString::fromStdString(window.Fw().FirmwarePath));
    const QString s3 = QDir(scratch.path()).filePath("demo.s3");
    c->ConvertBinToS3(s3);
    c->leS3File->setText(s3);
    c->lbReserved->setCurrentRow(2);
    window.PageControl->setCurrentWidget(window.TabSheet3);
    ok &= Save(&window, dir, "converter.png");
    window.PageControl->setCurrentWidget(window.TabSheet1);

    TfSavePatch* d = window.fSavePatch;
    d->lePatchName->setText("Brighter icons");
    d->lePatchVersion->setText("1.0");
    d->lePatchAutor->setText("flashsmith");
    d->leAuthorEmail->setText("flashsmith@example.org");
    d->mPatchAbout->setPlainText("New battery and signal icons.");
    d->rbPatchPic->setChecked(true);
    d->leFileName->setText(QDir(dir).filePath("icons.spf"));
    d->show();
    ok &= Save(d, dir, "patch-dialog.png");
    d->hide();

    window.PageControl->setCurrentWidget(window.TabSheet2);
    ok &= ShootProfileCreator(*window.frProfileCreator, window, window.Fw(), 176, 220, dir);
    window.PageControl->setCurrentWidget(window.TabSheet1);
    window.AboutBox->show();
    ok &= Save(window.AboutBox, dir, "about.png");
    window.AboutBox->hide();
    if (more) ok &= more(window, dir);

    // Last, as a pack changes every window: the editor in Russian.
    const QString pack = "Russian.lng";
    if (QFileInfo::exists(QString::fromStdString(window.Fw().ProgramDir) + pack)) {
        window.ApplyLanguageFile(pack);
        window.PageControl->setCurrentWidget(window.TabSheet1);
        if (window.Editor().SelectNode("Images")) window.Editor().SelectRow(0);
        ok &= Save(&window, dir, "editor-russian.png");
    } else {
        ok = false;
    }
    return ok;
}

}  // namespace flashsmith::shell
