// The "s3 Converter" page: S-record files to binary images and back, with
// the list of reserved memory regions that a binary-to-S-record conversion
// leaves out. It works on files only, never on the open firmware.
#pragma once

#include <functional>
#include <string>

#include <QStringList>
#include <QWidget>

#include "srecord/ReservedRegions.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace flashsmith::shell {

class UserPrompts;

class TfrConverter : public QWidget {
    Q_OBJECT
public:
    TfrConverter(UserPrompts& prompts, QWidget* parent = nullptr);
    // The path of the firmware image open in the editor, which no conversion
    // may write over (empty when none is open).
    void SetOpenImage(std::string path) { openImage_ = std::move(path); }

    void BOpenS3Click();
    void bBinOpenClick();
    // S-record file to binary file.
    void BSaveBinClick();
    // Binary file (or a range of it) to S-record file.
    void bBinConvertClick();
    // The two conversions once the output path is known.
    void ConvertS3ToBin(const QString& output);
    void ConvertBinToS3(const QString& output);
    void rbBinPartClick();
    void bRegAddClick();
    void bRegReplaceClick();
    void bRegDelClick();
    // Copies the selected region into the edit field (empty for the heading).
    void lbReservedClick();

    // The regions for the settings, in list order. The setter re-adds each
    // through the checks of "Append Region", so the list never holds an
    // invalid or overlapping region.
    const srecord::tReservedRegions& ReservedRegions() const { return regions_; }
    void SetReservedRegions(const srecord::tReservedRegions& regions);
    // "Append Region" on a text, as the settings store regions.
    srecord::RegionCheck AppendRegionText(const QString& text);
    // A region text read from the settings: typed into the edit and
    // appended, as the user would.
    void AppendStoredRegion(const QString& text);
    // The listed regions' texts, in list order, as the settings store them.
    QStringList RegionTexts() const;

    QGroupBox* gbToBin = nullptr;
    QPushButton* BOpenS3 = nullptr;
    QLineEdit* leS3File = nullptr;
    QRadioButton* rbAll = nullptr;
    QRadioButton* rbPart = nullptr;
    QCheckBox* cbWithFirstAddr = nullptr;
    QCheckBox* cbShowErrors = nullptr;
    QPushButton* BSaveBin = nullptr;

    QGroupBox* gbReservedRegions = nullptr;
    QListWidget* lbReserved = nullptr;
    QLineEdit* eReservedRegion = nullptr;
    QPushButton* bRegAdd = nullptr;
    QPushButton* bRegReplace = nullptr;
    QPushButton* bRegDel = nullptr;
    QLabel* lRegionCheck = nullptr;  // why the last region text was refused

    QGroupBox* gbBinToS3 = nullptr;
    QPushButton* bBinOpen = nullptr;
    QLineEdit* leBinFile = nullptr;
    QRadioButton* rbBinFull = nullptr;
    QRadioButton* rbBinPart = nullptr;
    QLineEdit* leBinStart = nullptr;
    QLineEdit* leBinEnd = nullptr;
    QPushButton* bBinConvert = nullptr;

    QProgressBar* pbStatus = nullptr;
    QLabel* lResult = nullptr;  // what the last conversion did

    static constexpr const char* kHeading = "Reserved Memory Regions:";

private:
    // The builders of the constructor, in the order it runs them.
    void CreateToBinBox();
    void CreateToS3Box();
    void CreateRegionsBox();
    bool WouldReplaceOpenImage(const QString& output);
    void ShowRegionCheck(const srecord::RegionCheckResult& r);
    void RebuildList(int select);
    // Index into regions_ of the selected list item; -1 for the heading or none.
    int SelectedRegion() const;
    void StartProgress(QGroupBox* group);
    void EndProgress();
    void Report(const QString& summary, const QString& error, const QString& caption);

    UserPrompts& prompts_;
    srecord::tReservedRegions regions_;
    std::string openImage_;
};

}  // namespace flashsmith::shell
