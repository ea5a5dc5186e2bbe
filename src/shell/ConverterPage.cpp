#include "shell/ConverterPage.h"

#include "base/FileUtil.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "srecord/S3Converter.h"
#include "shell/Controls.h"
#include "shell/LanguagePack.h"
#include "shell/QtProgress.h"
#include "shell/QtText.h"
#include "shell/UserPrompts.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::srecord;

namespace {

// A labelled file name edit with its Open button.
QHBoxLayout* FileRow(const QString& label, QLineEdit* edit, QPushButton* open) {
    auto* row = new QHBoxLayout;
    auto* l = new QLabel(label);
    l->setBuddy(edit);
    row->addWidget(l);
    row->addWidget(edit, 1);
    row->addWidget(open);
    return row;
}

}  // namespace

TfrConverter::TfrConverter(UserPrompts& prompts, QWidget* parent) : QWidget(parent), prompts_(prompts) {
    setObjectName("frConverter");
    CreateToBinBox();
    CreateToS3Box();
    CreateRegionsBox();

    pbStatus = new QProgressBar(this);
    pbStatus->setObjectName("pbStatus");
    pbStatus->setTextVisible(false);
    pbStatus->hide();
    lResult = new QLabel(this);
    lResult->setObjectName("lResult");
    MarkTextAsData(lResult);  // a status text the program writes
    lResult->setWordWrap(true);
    lResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* leftColumn = new QVBoxLayout;
    leftColumn->addWidget(gbToBin);
    leftColumn->addWidget(gbBinToS3);
    leftColumn->addWidget(lResult);
    leftColumn->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(leftColumn, 1);
    // The region texts are short: the list needs no more than this.
    gbReservedRegions->setFixedWidth(290);
    layout->addWidget(gbReservedRegions);

    connect(BOpenS3, &QPushButton::clicked, this, &TfrConverter::BOpenS3Click);
    connect(bBinOpen, &QPushButton::clicked, this, &TfrConverter::bBinOpenClick);
    connect(BSaveBin, &QPushButton::clicked, this, &TfrConverter::BSaveBinClick);
    connect(bBinConvert, &QPushButton::clicked, this, &TfrConverter::bBinConvertClick);
    connect(bRegAdd, &QPushButton::clicked, this, &TfrConverter::bRegAddClick);
    connect(bRegReplace, &QPushButton::clicked, this, &TfrConverter::bRegReplaceClick);
    connect(bRegDel, &QPushButton::clicked, this, &TfrConverter::bRegDelClick);
    connect(eReservedRegion, &QLineEdit::returnPressed, this, &TfrConverter::bRegAddClick);
    // Clicks and the arrow keys alike.
    connect(lbReserved, &QListWidget::currentRowChanged, this, &TfrConverter::lbReservedClick);
    connect(lbReserved, &QListWidget::itemClicked, this, &TfrConverter::lbReservedClick);
}

void TfrConverter::CreateToBinBox() {
    gbToBin = new QGroupBox("s3 to BIN Converting", this);
    gbToBin->setObjectName("gbToBin");
    BOpenS3 = MakeButton("Open s3", "BOpenS3", gbToBin);
    leS3File = new QLineEdit(gbToBin);
    leS3File->setObjectName("leS3File");
    rbAll = new QRadioButton("All (with empty address)", gbToBin);
    rbAll->setObjectName("rbAll");
    rbAll->setChecked(true);
    rbPart = new QRadioButton("Part (only with data)", gbToBin);
    rbPart->setObjectName("rbPart");
    cbWithFirstAddr = new QCheckBox("Start from first address with data", gbToBin);
    cbWithFirstAddr->setObjectName("cbWithFirstAddr");
    cbShowErrors = new QCheckBox("Don't show error messages", gbToBin);
    cbShowErrors->setObjectName("cbShowErrors");
    BSaveBin = MakeButton("Convert to BIN", "BSaveBin", gbToBin);
    auto* toBin = new QVBoxLayout(gbToBin);
    toBin->addLayout(FileRow("s3 File:", leS3File, BOpenS3));
    auto* toBinModes = new QGridLayout;
    toBinModes->addWidget(rbAll, 0, 0);
    toBinModes->addWidget(cbWithFirstAddr, 0, 1);
    toBinModes->addWidget(rbPart, 1, 0);
    toBinModes->addWidget(cbShowErrors, 1, 1);
    toBin->addLayout(toBinModes);
    auto* toBinEnd = new QHBoxLayout;
    toBinEnd->addStretch(1);
    toBinEnd->addWidget(BSaveBin);
    toBin->addLayout(toBinEnd);
    // The first address with data only means something for a whole image.
    connect(rbAll, &QRadioButton::toggled, cbWithFirstAddr, &QWidget::setEnabled);
}

void TfrConverter::CreateToS3Box() {
    gbBinToS3 = new QGroupBox("BIN to s3 Converting", this);
    gbBinToS3->setObjectName("gbBinToS3");
    bBinOpen = MakeButton("Open BIN", "bBinOpen", gbBinToS3);
    leBinFile = new QLineEdit(gbBinToS3);
    leBinFile->setObjectName("leBinFile");
    rbBinFull = new QRadioButton("All Firmware", gbBinToS3);
    rbBinFull->setObjectName("rbBinFull");
    rbBinFull->setChecked(true);
    rbBinPart = new QRadioButton("Part of Firmware", gbBinToS3);
    rbBinPart->setObjectName("rbBinPart");
    leBinStart = new QLineEdit("0x00000000", gbBinToS3);
    leBinStart->setObjectName("leBinStart");
    leBinEnd = new QLineEdit("0x00000000", gbBinToS3);
    leBinEnd->setObjectName("leBinEnd");
    for (QLineEdit* e : {leBinStart, leBinEnd}) {
        e->setMaxLength(10);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance("0x00000000") + 16);
    }
    leBinEnd->setEnabled(false);
    bBinConvert = MakeButton("Convert to s3", "bBinConvert", gbBinToS3);
    auto* toS3 = new QVBoxLayout(gbBinToS3);
    toS3->addLayout(FileRow("BIN File:", leBinFile, bBinOpen));
    auto* range = new QGridLayout;
    range->addWidget(rbBinFull, 0, 0);
    auto* startLabel = new QLabel("Start address(Hex): ", gbBinToS3);
    startLabel->setBuddy(leBinStart);
    range->addWidget(startLabel, 0, 1);
    range->addWidget(leBinStart, 0, 2);
    range->addWidget(rbBinPart, 1, 0);
    auto* stopLabel = new QLabel("Stop address(Hex): ", gbBinToS3);
    stopLabel->setBuddy(leBinEnd);
    range->addWidget(stopLabel, 1, 1);
    range->addWidget(leBinEnd, 1, 2);
    range->setColumnStretch(3, 1);
    range->addWidget(bBinConvert, 1, 4);
    toS3->addLayout(range);
    connect(rbBinPart, &QRadioButton::toggled, this, &TfrConverter::rbBinPartClick);
}

void TfrConverter::CreateRegionsBox() {
    gbReservedRegions = new QGroupBox("Reserved Memory Regions", this);
    gbReservedRegions->setObjectName("gbReservedRegions");
    lbReserved = new QListWidget(gbReservedRegions);
    lbReserved->setObjectName("lbReserved");
    eReservedRegion = new QLineEdit(gbReservedRegions);
    eReservedRegion->setObjectName("eReservedRegion");
    eReservedRegion->setPlaceholderText("0x00000000 - 0x0000FFFF");
    bRegAdd = MakeButton("Append Region", "bRegAdd", gbReservedRegions);
    bRegReplace = MakeButton("Replace Region", "bRegReplace", gbReservedRegions);
    bRegDel = MakeButton("Delete Region", "bRegDel", gbReservedRegions);
    lRegionCheck = new QLabel(gbReservedRegions);
    lRegionCheck->setObjectName("lRegionCheck");
    MarkTextAsData(lRegionCheck);  // a status text the program writes
    lRegionCheck->setWordWrap(true);
    QPalette warn = lRegionCheck->palette();
    warn.setColor(QPalette::WindowText, QColor(192, 0, 0));
    lRegionCheck->setPalette(warn);
    auto* regions = new QVBoxLayout(gbReservedRegions);
    regions->addWidget(lbReserved, 1);
    regions->addWidget(eReservedRegion);
    auto* regionButtons = new QGridLayout;
    regionButtons->addWidget(bRegAdd, 0, 0);
    regionButtons->addWidget(bRegReplace, 0, 1);
    regionButtons->addWidget(bRegDel, 1, 1);
    regions->addLayout(regionButtons);
    regions->addWidget(lRegionCheck);
    RebuildList(-1);
}

// --- files ------------------------------------------------------------------

void TfrConverter::BOpenS3Click() {
    if (auto path = prompts_.OpenFile(this, "Motorola S-record files|*.s3;*.sre;", QString()))
        leS3File->setText(*path);
}

void TfrConverter::bBinOpenClick() {
    if (auto path = prompts_.OpenFile(this, "Firmware BIN files|*.bin", QString())) leBinFile->setText(*path);
}

void TfrConverter::StartProgress(QGroupBox* group) {
    // The bar sits in the group of the running conversion.
    auto* layout = static_cast<QVBoxLayout*>(group->layout());
    layout->addWidget(pbStatus);
    pbStatus->setValue(0);
    pbStatus->show();
    setEnabled(false);
}

void TfrConverter::EndProgress() {
    pbStatus->hide();
    setEnabled(true);
}

void TfrConverter::Report(const QString& summary, const QString& error, const QString& caption) {
    lResult->setText(summary);
    if (!error.isEmpty() && !cbShowErrors->isChecked()) prompts_.Message(this, error, caption);
}

bool TfrConverter::WouldReplaceOpenImage(const QString& output) {
    if (!SameFile(Local(output), openImage_)) return false;
    Report("Nothing written: " + output + " is the open firmware image",
           output + " is the open firmware image and is never written.", "Error!");
    return true;
}

void TfrConverter::BSaveBinClick() {
    const QString input = leS3File->text();
    if (!QFileInfo(input).isFile()) return;
    if (const auto output = prompts_.SaveFile(this, "Firmware BIN files|*.bin", QString())) ConvertS3ToBin(*output);
}

void TfrConverter::ConvertS3ToBin(const QString& output) {
    const QString input = leS3File->text();
    if (!QFileInfo(input).isFile()) return;
    if (WouldReplaceOpenImage(output)) return;
    S3ReadOptions options;
    options.Mode = rbAll->isChecked() ? S3ToBinMode::All : S3ToBinMode::Part;
    options.FromFirstAddress = options.Mode == S3ToBinMode::All && cbWithFirstAddr->isChecked();
    StartProgress(gbToBin);
    S3ReadResult r;
    {
        QtProgress progress(pbStatus);
        r = ReadS3File(Local(input), Local(output), options, progress);
    }
    EndProgress();
    if (r.Status != S3Status::Ok) {
        Report("Nothing written: " + Q(r.Message), Q(r.Message), "Error!");
        return;
    }
    QString summary = QString("%1: %2 bytes from %3 data line(s) in %4 run(s)")
                          .arg(QFileInfo(output).fileName())
                          .arg(r.ImageSize)
                          .arg(r.DataLines)
                          .arg(r.Runs);
    QString dropped;
    if (r.DroppedLines > 0) {
        dropped = QString("%1 S-record line(s) dropped (wrong checksum or bad digit)").arg(r.DroppedLines);
        summary += "; " + dropped;
    }
    Report(summary, dropped, "Warning!");
}

void TfrConverter::rbBinPartClick() { leBinEnd->setEnabled(rbBinPart->isChecked()); }

void TfrConverter::bBinConvertClick() {
    const QString input = leBinFile->text();
    if (!QFileInfo(input).isFile()) return;
    const bool part = rbBinPart->isChecked();
    const BinRangeFields f =
        CheckBinRangeFields(leBinStart->text().toStdString(), leBinEnd->text().toStdString(), part);
    leBinStart->setText(Q(f.StartText));
    if (!f.Ok) {
        lResult->setText(part ? "Start and stop address are written with \"0x\", the start below the stop."
                              : "The start address is written with \"0x\".");
        return;
    }
    if (const auto output = prompts_.SaveFile(this, "Motorola S-record files|*.s3;*.sre;", QString()))
        ConvertBinToS3(*output);
}

void TfrConverter::ConvertBinToS3(const QString& output) {
    const QString input = leBinFile->text();
    const bool part = rbBinPart->isChecked();
    const BinRangeFields f =
        CheckBinRangeFields(leBinStart->text().toStdString(), leBinEnd->text().toStdString(), part);
    if (!QFileInfo(input).isFile() || !f.Ok) return;
    if (WouldReplaceOpenImage(output)) return;
    S3WriteOptions options;
    options.Mode = part ? BinToS3Mode::Part : BinToS3Mode::All;
    options.Start = f.Start;
    options.Stop = f.Stop;
    options.Reserved = regions_;
    StartProgress(gbBinToS3);
    S3WriteResult r;
    {
        QtProgress progress(pbStatus);
        r = WriteS3File(Local(input), Local(output), options, progress);
    }
    EndProgress();
    if (r.Status != S3Status::Ok) {
        Report("Nothing written: " + Q(r.Message), Q(r.Message), "Error!");
        return;
    }
    const QString name = QFileInfo(output).fileName();
    if (r.EmptyRange) {
        Report(name + ": empty, the start lies at or past the end of the binary", QString(), QString());
        return;
    }
    Report(QString("%1: %2 bytes in %3 block(s)").arg(name).arg(r.DataBytes).arg(r.Blocks), QString(), QString());
}

// --- reserved regions ---------------------------------------------------------

int TfrConverter::SelectedRegion() const {
    const int row = lbReserved->currentRow();
    return row >= 1 && lbReserved->currentItem() && lbReserved->currentItem()->isSelected() ? row - 1 : -1;
}

void TfrConverter::RebuildList(int select) {
    const QSignalBlocker block(lbReserved);
    lbReserved->clear();
    auto* heading = new QListWidgetItem(kHeading, lbReserved);
    // The heading is never edited.
    heading->setFlags(Qt::ItemIsEnabled);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    for (const AddressRange& r : regions_) lbReserved->addItem(Q(FormatRegion(r)));
    if (select >= 0 && select < static_cast<int>(regions_.size())) lbReserved->setCurrentRow(select + 1);
}

void TfrConverter::ShowRegionCheck(const RegionCheckResult& r) {
    if (r.Status == RegionCheck::Ok) {
        lRegionCheck->clear();
        return;
    }
    QString text = Q(RegionCheckText(r.Status));
    if (r.Status == RegionCheck::Overlaps && r.OverlapIndex >= 0 && r.OverlapIndex < static_cast<int>(regions_.size()))
        text += " (" + Q(FormatRegion(regions_[static_cast<size_t>(r.OverlapIndex)])) + ")";
    lRegionCheck->setText(text);
}

RegionCheck TfrConverter::AppendRegionText(const QString& text) {
    const RegionCheckResult r = AppendRegion(regions_, text.toUpper().toStdString());
    ShowRegionCheck(r);
    if (r.Status == RegionCheck::Ok) RebuildList(-1);
    return r.Status;
}

void TfrConverter::SetReservedRegions(const tReservedRegions& regions) {
    regions_.clear();
    for (const AddressRange& r : regions) AppendRegion(regions_, FormatRegion(r));
    lRegionCheck->clear();
    RebuildList(-1);
}

void TfrConverter::bRegAddClick() { AppendRegionText(eReservedRegion->text()); }

void TfrConverter::AppendStoredRegion(const QString& text) {
    eReservedRegion->setText(text);
    bRegAddClick();
}

QStringList TfrConverter::RegionTexts() const {
    QStringList texts;
    for (int i = 1; i < lbReserved->count(); ++i) texts << lbReserved->item(i)->text();
    return texts;
}

void TfrConverter::bRegReplaceClick() {
    const int index = SelectedRegion();
    if (index < 0) return;
    const RegionCheckResult r = ReplaceRegion(regions_, index, eReservedRegion->text().toUpper().toStdString());
    ShowRegionCheck(r);
    if (r.Status == RegionCheck::Ok) RebuildList(index);
}

void TfrConverter::bRegDelClick() {
    const int index = SelectedRegion();
    if (index < 0 || DeleteRegion(regions_, index) != RegionCheck::Ok) return;
    lRegionCheck->clear();
    RebuildList(-1);
    eReservedRegion->clear();
}

void TfrConverter::lbReservedClick() {
    const int index = SelectedRegion();
    eReservedRegion->setText(index < 0 ? QString() : lbReserved->item(index + 1)->text());
}

}  // namespace flashsmith::shell
