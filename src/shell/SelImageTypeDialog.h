// "Select Type of Images": the pictures the profile creator found, each with
// its format, size and ID corrected by the user while watching the decoded
// preview, and the firmware's transparent colour picked from a preview.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "firmware/BinFile.h"
#include "firmware/Variables.h"

class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;

namespace flashsmith::shell {

class ColourSwatch;
class PictureView;
class UpDown;
class UserPrompts;

class TfSelImageType : public QDialog {
    Q_OBJECT
public:
    explicit TfSelImageType(UserPrompts& prompts, QWidget* parent = nullptr);

    // The list rows of images, previews decoded from file. The three must
    // outlive the dialog's use until Empty.
    void Fill(const firmware::BinFile& file, std::vector<firmware::tImgType>& images, const std::vector<firmware::tResourceIDType>& idNames);
    // Forgets the list and what it pointed to.
    void Empty();
    // Shows the dialog modally until OK with a picked colour.
    void Execute();

    bool Done() const { return done_; }
    // Called with the picked colour (0x00BBGGRR) on every pick.
    std::function<void(uint32_t colour)> TransparentPicked;

    // Row commands, also bound to the controls.
    void lvImagesSelectItem();
    void FormatClick(int tag);
    void ImageSizeChange(bool width);
    void cbImageIDSelect();
    void bSelectTranspClick();
    void imViewerMouseMove(int x, int y);
    void imViewerClick();
    void bOkClick();

    QTableWidget* lvImages = nullptr;
    PictureView* imViewer = nullptr;
    QRadioButton* rbViewRaw8 = nullptr;
    QRadioButton* rbViewRaw16 = nullptr;
    QRadioButton* rbViewWbmp = nullptr;
    QRadioButton* rbView09 = nullptr;
    QLineEdit* leImageWidth = nullptr;
    QLineEdit* leImageHeight = nullptr;
    UpDown* udImageWidth = nullptr;
    UpDown* udImageHeight = nullptr;
    QComboBox* cbImageID = nullptr;
    ColourSwatch* Shape1 = nullptr;
    QPushButton* bSelectTransp = nullptr;
    QPushButton* bOk = nullptr;
    QLabel* StatusPanel = nullptr;

    static constexpr int kPreviewSide = 320;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The builders of the constructor, in the order it runs them.
    void CreateImageList();
    QGridLayout* CreateFormatButtons();
    QHBoxLayout* CreateSizeEdits();
    QHBoxLayout* CreateImageIdRow();
    QHBoxLayout* CreateTransparentRow();
    void ShowDialog();
    int SelectedRow() const;
    firmware::tImgType* Selected();
    void RefreshAfterSelection();
    void RefreshAfterChange();
    void Redraw(firmware::tImgType& e);
    void SetRowTexts(int row);

    UserPrompts& prompts_;
    const firmware::BinFile* file_ = nullptr;
    std::vector<firmware::tImgType>* images_ = nullptr;
    const std::vector<firmware::tResourceIDType>* idNames_ = nullptr;
    QRadioButton* formats_[4] = {};
    bool done_ = false;
    bool filling_ = false;  // the controls are being set from an entry
};

}  // namespace flashsmith::shell
