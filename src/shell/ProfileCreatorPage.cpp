#include "shell/ProfileCreatorPage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Hex.h"
#include "shell/Controls.h"
#include "shell/QtProgress.h"
#include "shell/QtText.h"
#include "shell/SelImageTypeDialog.h"
#include "shell/UserPrompts.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::profilecreator;

namespace {

QString Hex(int64_t v) { return Q(HexStr(static_cast<uint32_t>(v))); }

}  // namespace

TfrProfileCreator::TfrProfileCreator(FirmwareState& fw, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), fw_(fw), prompts_(prompts) {
    setObjectName("frProfileCreator");

    // --- the image and what to search ---
    leFirmwareFile = MakeEdit("leFirmwareFile", this);
    bBrowse = MakeButton("Browse", "bBrowse", this);
    auto* fileLabel = new QLabel("Firmware File (You should choose only the original not modified Firmware!): ", this);
    fileLabel->setBuddy(leFirmwareFile);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(leFirmwareFile, 1);
    fileRow->addWidget(bBrowse);

    auto* displayRow = CreateDisplayRow();
    auto* searchRow = CreateSearchRow();
    auto* found = CreateFoundFields();
    auto* regions = CreateRegionsPane();

    auto* body = new QHBoxLayout;
    body->addLayout(found);
    body->addSpacing(8);
    body->addLayout(regions, 1);

    pbSearchProfile = new QProgressBar(this);
    pbSearchProfile->setObjectName("pbSearchProfile");
    pbSearchProfile->setTextVisible(false);
    pbSearchProfile->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel);
    layout->addLayout(fileRow);
    layout->addLayout(displayRow);
    layout->addLayout(searchRow);
    layout->addLayout(body, 1);
    layout->addWidget(pbSearchProfile);

    connect(bBrowse, &QPushButton::clicked, this, &TfrProfileCreator::bBrowseClick);
    connect(bStartSearch, &QPushButton::clicked, this, &TfrProfileCreator::bStartSearchClick);
    connect(bSaveResults, &QPushButton::clicked, this, &TfrProfileCreator::bSaveResultsClick);
}

QHBoxLayout* TfrProfileCreator::CreateDisplayRow() {
    leDisplayWidth = MakeEdit("leDisplayWidth", this);
    eDisplayHeight = MakeEdit("eDisplayHeight", this);
    for (QLineEdit* e : {leDisplayWidth, eDisplayHeight}) e->setFixedWidth(48);
    auto* displayRow = new QHBoxLayout;
    auto* displayLabel = new QLabel("Size of Phone Display: (Width x Height)", this);
    displayLabel->setBuddy(leDisplayWidth);
    displayRow->addWidget(displayLabel);
    displayRow->addWidget(leDisplayWidth);
    auto* times = new QLabel("X", this);
    times->setObjectName("lDisplayX");
    displayRow->addWidget(times);
    displayRow->addWidget(eDisplayHeight);
    displayRow->addStretch(1);
    return displayRow;
}

QHBoxLayout* TfrProfileCreator::CreateSearchRow() {
    cbSearchImages = MakeCheck("Search Images", "cbSearchImages", this);
    cbSearchSounds = MakeCheck("Search Sounds", "cbSearchSounds", this);
    cbSearchJava = MakeCheck("Search Java", "cbSearchJava", this);
    cbSearchLangs = MakeCheck("Search Languages", "cbSearchLangs", this);
    bStartSearch = MakeButton("Start Search", "bStartSearch", this);
    bSaveResults = MakeButton("Save Results", "bSaveResults", this);
    auto* searchRow = new QHBoxLayout;
    for (QCheckBox* c : {cbSearchImages, cbSearchSounds, cbSearchJava, cbSearchLangs}) searchRow->addWidget(c);
    searchRow->addStretch(1);
    searchRow->addWidget(bStartSearch);
    searchRow->addWidget(bSaveResults);
    return searchRow;
}

QFormLayout* TfrProfileCreator::CreateFoundFields() {
    auto* found = new QFormLayout;
    found->setVerticalSpacing(2);
    auto result = [&](const char* label, const char* name) {
        QLineEdit* e = MakeEdit(name, this);
        e->setReadOnly(true);
        found->addRow(label, e);
        return e;
    };
    lePhoneModel = result("Phone Model:", "lePhoneModel");
    leFirmwareVersion = result("Firmware Version:", "leFirmwareVersion");
    leTableImages = result("Table of Images:", "leTableImages");
    leTableSounds = result("Table of Sounds:", "leTableSounds");
    leSoundRecLen = result("Sound Record Length:", "leSoundRecLen");
    leSizeSndOffset = result("Size of Sound Offset:", "leSizeSndOffset");
    leVolSndOffset = result("Volume of Sound Offset:", "leVolSndOffset");
    leTableJava = result("Table of Java:", "leTableJava");
    leJavaRecLen = result("Java Record Length:", "leJavaRecLen");
    leTableLangs1 = result("Table of Languages 1:", "leTableLangs1");
    leTableLangs2 = result("Table of Languages 2:", "leTableLangs2");
    leTranspColor = result("Transparent Color:", "leTranspColor");
    return found;
}

QVBoxLayout* TfrProfileCreator::CreateRegionsPane() {
    lvMemoryRegions = new QTreeWidget(this);
    lvMemoryRegions->setObjectName("lvMemoryRegions");
    lvMemoryRegions->setRootIsDecorated(false);
    lvMemoryRegions->setHeaderLabels({"Start Addr", "Length", "Type", "Comment"});
    // At least wide enough for a whole address in this font.
    const int address = lvMemoryRegions->fontMetrics().horizontalAdvance("0x00000000") + 16;
    const int widths[] = {std::max(80, address), std::max(80, address), 40, 200};
    for (int i = 0; i < 4; ++i) lvMemoryRegions->setColumnWidth(i, widths[i]);
    leRegStartAddr = MakeEdit("leRegStartAddr", this);
    leRegLength = MakeEdit("leRegLength", this);
    bAddRegion = MakeButton("Add Region", "bAddRegion", this);
    bEditRegion = MakeButton("Edit Region", "bEditRegion", this);
    bDelRegion = MakeButton("Del Region", "bDelRegion", this);
    // The list is the estimate; editing it by hand has no command.
    for (QPushButton* b : {bAddRegion, bEditRegion, bDelRegion}) b->setEnabled(false);
    auto* regionEdits = new QGridLayout;
    auto* startLabel = new QLabel("Start Address: ", this);
    startLabel->setBuddy(leRegStartAddr);
    regionEdits->addWidget(startLabel, 0, 0);
    regionEdits->addWidget(leRegStartAddr, 0, 1);
    regionEdits->addWidget(bAddRegion, 0, 2);
    auto* lengthLabel = new QLabel("Region Length:", this);
    lengthLabel->setBuddy(leRegLength);
    regionEdits->addWidget(lengthLabel, 1, 0);
    regionEdits->addWidget(leRegLength, 1, 1);
    regionEdits->addWidget(bEditRegion, 1, 2);
    regionEdits->addWidget(bDelRegion, 2, 2);
    auto* regions = new QVBoxLayout;
    auto* regionsLabel = new QLabel("Firmware Memory Regions:", this);
    regionsLabel->setObjectName("lMemoryRegions");
    regions->addWidget(regionsLabel);
    regions->addWidget(lvMemoryRegions, 1);
    regions->addLayout(regionEdits);
    return regions;
}

TfrProfileCreator::~TfrProfileCreator() = default;

TfSelImageType* TfrProfileCreator::ImageTypeDialog() {
    if (!dialog_) dialog_ = new TfSelImageType(prompts_, this);
    return dialog_;
}

QList<QLineEdit*> TfrProfileCreator::ResultFields() const {
    return {lePhoneModel,    leFirmwareVersion, leTableImages, leTableSounds, leSoundRecLen, leSizeSndOffset,
            leVolSndOffset,  leTableJava,       leJavaRecLen,  leTableLangs1, leTableLangs2, leTranspColor};
}

void TfrProfileCreator::ClearResults() {
    search_ = ProfileSearch();
    for (QLineEdit* e : ResultFields()) e->clear();
    lvMemoryRegions->clear();
}

void TfrProfileCreator::bBrowseClick() {
    if (auto path = prompts_.OpenFile(this, "Firmware BIN files|*.bin", QString())) {
        leFirmwareFile->setText(*path);
        // A search of another file must not be saved under this one.
        search_.FileSizeValue = 0;
    }
}

void TfrProfileCreator::EndSearch() {
    file_.reset();
    searching_ = false;
    bStartSearch->setEnabled(true);
    bSaveResults->setEnabled(true);
    pbSearchProfile->hide();
}

void TfrProfileCreator::bStartSearchClick() {
    const QString path = leFirmwareFile->text();
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    if (cbSearchImages->isChecked() && (leDisplayWidth->text().isEmpty() || eDisplayHeight->text().isEmpty()))
        return;
    if (searching_) return;  // events are let through while a search runs
    searching_ = true;

    ClearResults();
    savedPath_.clear();
    pbSearchProfile->setValue(0);
    pbSearchProfile->show();
    bStartSearch->setEnabled(false);
    bSaveResults->setEnabled(false);

    std::string error;
    file_.reset();
    if (!BinFile::Open(Local(path)).Take(file_, &error)) {
        EndSearch();
        prompts_.Message(this, Q(error), "Error!");
        return;
    }
    ProfileSearchOptions options;
    options.SearchImages = cbSearchImages->isChecked();
    options.SearchSounds = cbSearchSounds->isChecked();
    options.SearchJava = cbSearchJava->isChecked();
    options.SearchLanguages = cbSearchLangs->isChecked();
    options.DisplayWidth = leDisplayWidth->text().trimmed().toInt();
    options.DisplayHeight = eDisplayHeight->text().trimmed().toInt();
    {
        QtProgress progress(pbSearchProfile);
        search_ = RunProfileSearch(*file_, options, progress);
    }
    if (!search_.PhoneModel.empty()) lePhoneModel->setText("SGH-" + Q(search_.PhoneModel));
    if (search_.Status != ProfileSearchStatus::Ok) {
        // Nothing to describe: no model or no version (no message).
        EndSearch();
        return;
    }
    leFirmwareVersion->setText(Q(search_.Version));
    if (search_.ImagesSearched) leTableImages->setText(Hex(search_.ImageTable));
    if (search_.SoundsSearched) {
        leTableSounds->setText(Hex(search_.SoundTable));
        leSoundRecLen->setText(QString::number(search_.SndTableLength));
        leSizeSndOffset->setText(QString::number(search_.SndTableSizeOfs));
        leVolSndOffset->setText(QString::number(search_.SndTableVolOfs));
    }
    if (search_.JavaSearched) {
        leTableJava->setText(Hex(search_.JavaTable));
        leJavaRecLen->setText(QString::number(search_.JavaTableLength));
    }
    if (search_.LanguagesSearched) {
        // A table that was not found shows as not found, like the others.
        leTableLangs1->setText(Hex(search_.LanguageTable1()));
        leTableLangs2->setText(Hex(search_.LanguageTable2()));
    }

    if (search_.ImagesSearched && search_.ImageTable > 0) {
        TfSelImageType* d = ImageTypeDialog();
        d->Fill(*file_, search_.FoundImages, fw_.ImageIdNames);
        d->TransparentPicked = [this](uint32_t colour) {
            search_.Transparent = colour;
            leTranspColor->setText(Hex(colour));
        };
        d->Execute();
        d->TransparentPicked = nullptr;
        d->Empty();
    }

    EstimateRegions(*file_, search_);
    file_.reset();
    for (size_t i = 0; i < search_.Regions.size(); ++i) {
        const AddressRange& r = search_.Regions[i];
        auto* row = new QTreeWidgetItem(lvMemoryRegions);
        row->setText(0, Hex(r.Start));
        row->setText(1, QString::number(r.Length));
        row->setText(2, QString::number(i + 1));
        row->setText(3, RegionComment(i));
    }
    EndSearch();
}

void TfrProfileCreator::bSaveResultsClick() {
    if (!search_.CanSave() || lePhoneModel->text().isEmpty() || leFirmwareVersion->text().isEmpty() ||
        leTableImages->text().isEmpty() || leTableSounds->text().isEmpty() || leTableJava->text().isEmpty())
        return;
    const QString dir = QDir(Q(fw_.ProgramDir)).filePath("Firmwares");
    QDir().mkpath(dir);
    const std::string path = FreeProfilePath(Local(dir), search_.Version);
    if (Status s = WriteDescriptionFile(path, search_, false); !s) {
        prompts_.Message(this, Q(s.Error()), "Error!");
        return;
    }
    savedPath_ = QFile::decodeName(QByteArray::fromStdString(path));
    prompts_.Message(this, "Profile saved to the file: " + QFileInfo(savedPath_).fileName(), QString());
    ClearResults();
}

}  // namespace flashsmith::shell
