#include "ProfileCreatorShots.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <vector>

#include "firmware/Images.h"
#include "shell/FirmwareViewer.h"
#include "shell/ProfileCreatorPage.h"
#include "shell/SelImageTypeDialog.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;

namespace {

bool Grab(QWidget* w, const QString& dir, const QString& name) {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return w->grab().save(QDir(dir).filePath(name), "PNG");
}

// The largest picture, usually a wallpaper, shown and its corner picked as
// the transparent colour.
bool ShootDialog(TfSelImageType& d, const std::vector<tImgType>& found, const QString& dir) {
    int best = 0;
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i].Width * found[i].Height > found[best].Width * found[best].Height) best = int(i);
    d.lvImages->selectRow(best);
    d.bSelectTransp->click();
    d.imViewerMouseMove(0, 0);
    d.imViewerClick();
    return Grab(&d, dir, "image-types.png");
}

}  // namespace

bool ShootProfileCreator(TfrProfileCreator& page, QWidget& window, const FirmwareState& fw, int width, int height,
                         const QString& dir) {
    QDir().mkpath(dir);
    bool ok = true, shot = false;
    page.leFirmwareFile->setText(QString::fromStdString(fw.FirmwarePath));
    page.leDisplayWidth->setText(QString::number(width));
    page.eDisplayHeight->setText(QString::number(height));
    for (QCheckBox* c : {page.cbSearchImages, page.cbSearchSounds, page.cbSearchJava, page.cbSearchLangs})
        c->setChecked(true);

    // The dialog is modal: it is shot from the event loop it runs.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        TfSelImageType* d = page.ImageTypeDialog();
        if (!d->isVisible()) return;
        poll.stop();
        ok &= ShootDialog(*d, page.Search().FoundImages, dir);
        shot = true;
        d->bOk->click();
        if (d->isVisible()) d->done(0);
    });
    poll.start();
    page.bStartSearchClick();
    poll.stop();
    ok &= Grab(&window, dir, "profile-creator.png");
    return ok && shot;
}

}  // namespace flashsmith::shell
