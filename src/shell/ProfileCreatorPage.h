// The "Firmware Profile Creator" page: searches an image that has no
// description file for its tables, lets the user review the pictures found
// in the image type dialog, and writes a new description file into
// "Firmwares", where the open command finds it.
#pragma once

#include <QWidget>
#include <memory>

#include "firmware/BinFile.h"
#include "firmware/Variables.h"
#include "profilecreator/ProfileCreator.h"

class QCheckBox;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;

namespace flashsmith::shell {

class TfSelImageType;
class UserPrompts;

class TfrProfileCreator : public QWidget {
    Q_OBJECT
public:
    // fw gives ProgramDir and ImageIdNames; the page's image is its own.
    TfrProfileCreator(firmware::FirmwareState& fw, UserPrompts& prompts, QWidget* parent = nullptr);
    ~TfrProfileCreator() override;

    // The main window's image type dialog; without one the page makes its own.
    void SetImageTypeDialog(TfSelImageType* dialog) { dialog_ = dialog; }
    TfSelImageType* ImageTypeDialog();

    void bBrowseClick();
    void bStartSearchClick();
    void bSaveResultsClick();

    // What the last search found (empty again after a save).
    const profilecreator::ProfileSearch& Search() const { return search_; }
    // The file the last save wrote, empty when none.
    const QString& SavedPath() const { return savedPath_; }

    QLineEdit* leFirmwareFile = nullptr;
    QPushButton* bBrowse = nullptr;
    QLineEdit* leDisplayWidth = nullptr;
    QLineEdit* eDisplayHeight = nullptr;
    QCheckBox* cbSearchImages = nullptr;
    QCheckBox* cbSearchSounds = nullptr;
    QCheckBox* cbSearchJava = nullptr;
    QCheckBox* cbSearchLangs = nullptr;
    QPushButton* bStartSearch = nullptr;
    QPushButton* bSaveResults = nullptr;
    QLineEdit* lePhoneModel = nullptr;
    QLineEdit* leFirmwareVersion = nullptr;
    QLineEdit* leTableImages = nullptr;
    QLineEdit* leTableSounds = nullptr;
    QLineEdit* leSoundRecLen = nullptr;
    QLineEdit* leSizeSndOffset = nullptr;
    QLineEdit* leVolSndOffset = nullptr;
    QLineEdit* leTableJava = nullptr;
    QLineEdit* leJavaRecLen = nullptr;
    QLineEdit* leTableLangs1 = nullptr;
    QLineEdit* leTableLangs2 = nullptr;
    QLineEdit* leTranspColor = nullptr;
    QTreeWidget* lvMemoryRegions = nullptr;
    QLineEdit* leRegStartAddr = nullptr;
    QLineEdit* leRegLength = nullptr;
    QPushButton* bAddRegion = nullptr;
    QPushButton* bEditRegion = nullptr;
    QPushButton* bDelRegion = nullptr;
    QProgressBar* pbSearchProfile = nullptr;

private:
    // The builders of the constructor, in the order it runs them.
    QHBoxLayout* CreateDisplayRow();
    QHBoxLayout* CreateSearchRow();
    QFormLayout* CreateFoundFields();
    QVBoxLayout* CreateRegionsPane();
    void ClearResults();
    void EndSearch();
    QList<QLineEdit*> ResultFields() const;

    firmware::FirmwareState& fw_;
    UserPrompts& prompts_;
    TfSelImageType* dialog_ = nullptr;
    std::unique_ptr<firmware::BinFile> file_;  // open during a search only
    profilecreator::ProfileSearch search_;
    QString savedPath_;
    bool searching_ = false;
};

}  // namespace flashsmith::shell
