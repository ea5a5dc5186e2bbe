// "Save Patch as...": the patch's texts, the resource kind, full or partial,
// the file name, and the creation with its progress.
#pragma once

#include <QDialog>

#include "firmware/Variables.h"
#include "patches/CreatePatch.h"

class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace flashsmith::shell {

class UserPrompts;

class TfSavePatch : public QDialog {
    Q_OBJECT
public:
    TfSavePatch(firmware::FirmwareState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    QLineEdit* lePatchName = nullptr;
    QLineEdit* lePatchVersion = nullptr;
    QLineEdit* lePatchAutor = nullptr;
    QLineEdit* leAuthorEmail = nullptr;
    QLineEdit* leAuthorWWW = nullptr;
    QLineEdit* leAuthorICQ = nullptr;
    QPlainTextEdit* mPatchAbout = nullptr;
    QRadioButton* rbPatchPic = nullptr;
    QRadioButton* rbPatchSnd = nullptr;
    QRadioButton* rbPatchJava = nullptr;
    QRadioButton* rbPatchLang = nullptr;
    QCheckBox* cbFullPatch = nullptr;
    QLineEdit* leFileName = nullptr;
    QPushButton* bSaveAsPatch = nullptr;
    QPushButton* bCreatePatch = nullptr;
    QProgressBar* pbStatus = nullptr;

    static constexpr int kAboutLimit = 2048;

    // Fills the texts from an applied patch (8-bit texts).
    void SetDetails(const patches::PatchDetails& details);
    // The dialog's texts in the patch's 8-bit form.
    patches::PatchDetails Details() const;
    patches::PatchKind Kind() const;

    void bSaveAsPatchClick();
    void bCreatePatchClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The builders of the constructor, in the order it runs them.
    QGroupBox* CreatePatchKinds();
    QHBoxLayout* CreateFileRow();
    firmware::FirmwareState& state_;
    UserPrompts& prompts_;
};

}  // namespace flashsmith::shell
