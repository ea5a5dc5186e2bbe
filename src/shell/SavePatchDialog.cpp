#include "shell/SavePatchDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/Controls.h"
#include "shell/QtProgress.h"
#include "shell/QtText.h"
#include "shell/UserPrompts.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;
using namespace flashsmith::patches;

namespace {

// Enter alone belongs to the dialog; Ctrl+Enter still breaks a line.
class AboutKeys : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
        if (k->modifiers() & Qt::ControlModifier) {
            static_cast<QPlainTextEdit*>(watched->parent())->insertPlainText("\n");
            return true;
        }
        e->ignore();
        return true;
    }
};

}  // namespace

TfSavePatch::TfSavePatch(FirmwareState& state, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), state_(state), prompts_(prompts) {
    setObjectName("fSavePatch");
    setWindowTitle("Save Patch as...");
    auto* layout = new QVBoxLayout(this);

    auto* form = new QFormLayout;
    auto edit = [&](const char* label, const char* name, int limit) {
        QLineEdit* e = MakeEdit(name, this, limit);
        form->addRow(label, e);
        return e;
    };
    lePatchName = edit("Patch Name: ", "lePatchName", 128);
    lePatchVersion = edit("Version: ", "lePatchVersion", 12);
    lePatchAutor = edit("Patch Author: ", "lePatchAutor", 128);
    leAuthorEmail = edit("Author e-mail: ", "leAuthorEmail", 128);
    leAuthorWWW = edit("Author WWW: ", "leAuthorWWW", 256);
    leAuthorICQ = edit("Author ICQ: ", "leAuthorICQ", 32);
    mPatchAbout = new QPlainTextEdit(this);
    mPatchAbout->setObjectName("mPatchAbout");
    mPatchAbout->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mPatchAbout->setFixedHeight(70);
    mPatchAbout->viewport()->installEventFilter(new AboutKeys(mPatchAbout->viewport()));
    mPatchAbout->installEventFilter(new AboutKeys(mPatchAbout->viewport()));
    connect(mPatchAbout, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = mPatchAbout->toPlainText();
        if (text.size() <= kAboutLimit) return;
        const QSignalBlocker block(mPatchAbout);
        mPatchAbout->setPlainText(text.left(kAboutLimit));
        mPatchAbout->moveCursor(QTextCursor::End);
    });
    auto* aboutLabel = new QLabel("Patch About: ", this);
    aboutLabel->setObjectName("lPatchAbout");
    form->addRow(aboutLabel, mPatchAbout);
    layout->addLayout(form);

    layout->addWidget(CreatePatchKinds());
    layout->addLayout(CreateFileRow());

    bCreatePatch = new QPushButton("Create Patch", this);
    bCreatePatch->setObjectName("bCreatePatch");
    pbStatus = new QProgressBar(this);
    pbStatus->setObjectName("pbStatus");
    pbStatus->setTextVisible(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pbStatus, 1);
    bottom->addWidget(bCreatePatch, 0, Qt::AlignRight);
    layout->addLayout(bottom);

    connect(bSaveAsPatch, &QPushButton::clicked, this, &TfSavePatch::bSaveAsPatchClick);
    connect(bCreatePatch, &QPushButton::clicked, this, &TfSavePatch::bCreatePatchClick);
    resize(470, sizeHint().height());
}

QGroupBox* TfSavePatch::CreatePatchKinds() {
    auto* kinds = new QGroupBox(this);
    auto* kindLayout = new QVBoxLayout(kinds);
    kindLayout->setSpacing(2);
    rbPatchPic = new QRadioButton("Create Patch for Pictures", kinds);
    rbPatchSnd = new QRadioButton("Create Patch for Sounds", kinds);
    rbPatchJava = new QRadioButton("Create Patch for Java files", kinds);
    rbPatchLang = new QRadioButton("Create Patch for Languages", kinds);
    rbPatchPic->setObjectName("rbPatchPic");
    rbPatchSnd->setObjectName("rbPatchSnd");
    rbPatchJava->setObjectName("rbPatchJava");
    rbPatchLang->setObjectName("rbPatchLang");
    for (QRadioButton* b : {rbPatchPic, rbPatchSnd, rbPatchJava, rbPatchLang}) kindLayout->addWidget(b);
    cbFullPatch = new QCheckBox("Create a Full Patch (Can be Applied without Opening the Firmware, but has Great Size)",
                                kinds);
    cbFullPatch->setObjectName("cbFullPatch");
    kindLayout->addWidget(cbFullPatch);
    return kinds;
}

QHBoxLayout* TfSavePatch::CreateFileRow() {
    auto* file = new QHBoxLayout;
    auto* fileLabel = new QLabel("Save As:   ", this);
    leFileName = new QLineEdit(this);
    leFileName->setObjectName("leFileName");
    leFileName->setMaxLength(128);
    fileLabel->setBuddy(leFileName);
    bSaveAsPatch = new QPushButton("...", this);
    bSaveAsPatch->setObjectName("bSaveAsPatch");
    bSaveAsPatch->setFixedWidth(30);
    file->addWidget(fileLabel);
    file->addWidget(leFileName, 1);
    file->addWidget(bSaveAsPatch);
    return file;
}

void TfSavePatch::showEvent(QShowEvent* e) {
    bCreatePatch->show();
    pbStatus->hide();
    QDialog::showEvent(e);
}

void TfSavePatch::SetDetails(const PatchDetails& d) {
    lePatchName->setText(FromAnsi(d.Name));
    lePatchVersion->setText(FromAnsi(d.Version));
    lePatchAutor->setText(FromAnsi(d.Author));
    leAuthorEmail->setText(FromAnsi(d.Email));
    leAuthorWWW->setText(FromAnsi(d.Www));
    leAuthorICQ->setText(FromAnsi(d.Icq));
    QString about = FromAnsi(d.About);
    about.replace("\r\n", "\n");
    mPatchAbout->setPlainText(about);
}

PatchDetails TfSavePatch::Details() const {
    PatchDetails d;
    d.Name = ToAnsi(lePatchName->text());
    d.Version = ToAnsi(lePatchVersion->text());
    d.Author = ToAnsi(lePatchAutor->text());
    d.Email = ToAnsi(leAuthorEmail->text());
    d.Www = ToAnsi(leAuthorWWW->text());
    d.Icq = ToAnsi(leAuthorICQ->text());
    QString about = mPatchAbout->toPlainText();
    about.replace("\n", "\r\n");
    d.About = ToAnsi(about);
    return d;
}

PatchKind TfSavePatch::Kind() const {
    if (rbPatchPic->isChecked()) return PatchKind::Pictures;
    if (rbPatchSnd->isChecked()) return PatchKind::Sounds;
    if (rbPatchJava->isChecked()) return PatchKind::Java;
    if (rbPatchLang->isChecked()) return PatchKind::Languages;
    return PatchKind::None;
}

void TfSavePatch::bSaveAsPatchClick() {
    auto path = prompts_.SaveFile(this, "Samsung Patch Files|*.spf", leFileName->text());
    if (path) leFileName->setText(*path);
}

void TfSavePatch::bCreatePatchClick() {
    if (!state_.FirmwareLoaded) return;
    bCreatePatch->hide();
    pbStatus->setValue(0);
    pbStatus->show();
    CreatePatchOptions options;
    options.Kind = Kind();
    options.Full = cbFullPatch->isChecked();
    options.Details = Details();
    options.FileName = QFile::encodeName(leFileName->text()).toStdString();
    QtProgress progress(pbStatus);
    const CreatePatchResult r = CreatePatch(state_, options, progress);
    leFileName->setText(QFile::decodeName(QByteArray::fromStdString(r.FileName)));
    switch (r.Status) {
        case CreatePatchStatus::NotLoaded: break;
        case CreatePatchStatus::OutOfMemory:
            prompts_.Message(this, "Out of Memory!", "Error!");
            // The dialog stays for another choice, ready to create again.
            pbStatus->hide();
            bCreatePatch->show();
            return;
        case CreatePatchStatus::WriteError:
            prompts_.Message(this, "Error while writing file!", "");
            break;
        case CreatePatchStatus::Ok: break;
    }
    accept();
}

}  // namespace flashsmith::shell
