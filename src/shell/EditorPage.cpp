// The "Firmware Editor" page: the category tree, the resource list, the
// buttons and the viewer, bound to the editing operations of the core.
#include "shell/EditorPage.h"

#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editing/DeleteRestore.h"
#include "editing/PictureView.h"
#include "editing/RegionUsage.h"
#include "editing/Replace.h"
#include "editing/ResourceList.h"
#include "editing/StringEdit.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"
#include "shell/AudioOutput.h"
#include "shell/BuiltinSound.h"
#include "shell/CommandLink.h"
#include "shell/Controls.h"
#include "shell/FileManPane.h"
#include "shell/FirmwareViewer.h"
#include "shell/Icons.h"
#include "shell/QtText.h"
#include "shell/RegionBar.h"
#include "shell/ResourceModel.h"
#include "shell/UserPrompts.h"
#include "shell/Version.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

namespace {

// Sounds also take audio files, converted to SMAF on replacement.
constexpr char kAudioFilesFilter[] = "Audio files to convert|*.wav;*.mp3;*.ogg;*.flac";

// The waveform band across the middle of the viewer's canvas.
constexpr int kWaveformHeight = 160;

}  // namespace

TfEditorPage::TfEditorPage(FirmwareState& fw, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), fw_(fw), prompts_(prompts), selectFolder_(prompts, this) {
    setObjectName("TabSheet1");
    CreateActions();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(CreateSourcesBox(), 1);
    layout->addWidget(CreateViewerStack(), 1);
    CreateSoundPlayers();
}

TfEditorPage::~TfEditorPage() = default;

void TfEditorPage::CreateActions() {
    aReplaceFile = MakeAction("Replace File(s)", "aReplaceFile", this);
    connect(aReplaceFile, &QAction::triggered, this, &TfEditorPage::aReplaceFileExecute);
    aDeleteFile = MakeAction("Delete File", "aDeleteFile", this);
    connect(aDeleteFile, &QAction::triggered, this, &TfEditorPage::aDeleteFileExecute);
    aRestoreFile = MakeAction("Restore File", "aRestoreFile", this);
    connect(aRestoreFile, &QAction::triggered, this, &TfEditorPage::aRestoreFileExecute);
    // Whole languages have no delete or restore of their own yet: the items
    // only follow their enabling rule.
    aDeleteLang = MakeAction("Delete Lang", "aDeleteLang", this);
    aRestoreLang = MakeAction("Restore Lang", "aRestoreLang", this);
}

QGroupBox* TfEditorPage::CreateSourcesBox() {
    auto* gb = new QGroupBox("Firmware Sources", this);
    gb->setObjectName("gbFirmwareSources");
    gb->setMinimumWidth(300);
    auto* gbLayout = new QVBoxLayout(gb);
    gbLayout->setContentsMargins(4, 4, 4, 4);
    auto* split = new QSplitter(Qt::Vertical, gb);
    gbLayout->addWidget(split, 1);
    CreateSourcesTree(split);
    CreateFileList(split);
    CreateListMenu();
    split->addWidget(tvFirmwareSources);
    split->addWidget(listStack_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({130, 300});
    regionBar = new RegionBar(fw_, gb);
    regionBar->setObjectName("pbRegions");
    gbLayout->addWidget(regionBar);
    gbLayout->addWidget(CreateButtons(gb));
    return gb;
}

void TfEditorPage::CreateSourcesTree(QSplitter* split) {
    tvFirmwareSources = new QTreeWidget(split);
    tvFirmwareSources->setObjectName("tvFirmwareSources");
    tvFirmwareSources->setHeaderHidden(true);
    tvFirmwareSources->setRootIsDecorated(false);
    tvFirmwareSources->setIconSize({16, 16});
    tvFirmwareSources->setEditTriggers(QAbstractItemView::NoEditTriggers);
    nodeRoot = new QTreeWidgetItem(tvFirmwareSources, {"My Firmware"});
    nodeRoot->setIcon(0, ResourceIcon(kIconFirmware));
    const struct {
        QTreeWidgetItem*& node;
        const char* caption;
        int icon;
    } children[] = {{nodeImages, "Images", kIconPicture},
                    {nodeSounds, "Sounds", kIconSound},
                    {nodeJava, "Java", kIconJava},
                    {nodeLang1, "Lang Table 1", kIconLanguage},
                    {nodeLang2, "Lang Table 2", kIconLanguage}};
    for (const auto& c : children) {
        c.node = new QTreeWidgetItem(nodeRoot, {c.caption});
        c.node->setIcon(0, ResourceIcon(c.icon));
    }
    nodeRoot->setExpanded(true);
    connect(tvFirmwareSources, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { tvFirmwareSourcesChanging(current); });
    pmFirmwareSources = new QMenu(this);
    pmFirmwareSources->setObjectName("pmFirmwareSources");
    AddCommandItem(pmFirmwareSources, aRestoreLang, "miRestoreLanguage");
    AddCommandItem(pmFirmwareSources, aDeleteLang, "miDeleteLanguage");
    tvFirmwareSources->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvFirmwareSources, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QTreeWidgetItem* item = tvFirmwareSources->itemAt(pos)) tvFirmwareSources->setCurrentItem(item);
        UpdateActions();
        pmFirmwareSources->popup(tvFirmwareSources->viewport()->mapToGlobal(pos));
    });
}

void TfEditorPage::CreateFileList(QSplitter* split) {
    FilesModel = new ResourceModel(fw_, this);
    FilesModel->OnEdited = [this](int32_t row, const std::string& ansi) {
        const EditResult r = EditString(fw_, FilesModel->Category(), row, ansi);
        ApplyEditResultRows(r.Category, r.Rows);
        RegionDisplay();
        return r.Changed();
    };
    listStack_ = new QStackedWidget(split);
    lvFirmwareFiles = new QTableView(listStack_);
    lvFirmwareFiles->setObjectName("lvFirmwareFiles");
    lvFirmwareFiles->setModel(FilesModel);
    lvFirmwareFiles->setShowGrid(true);
    lvFirmwareFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFirmwareFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFirmwareFiles->setSortingEnabled(false);
    lvFirmwareFiles->setWordWrap(false);
    lvFirmwareFiles->setIconSize({16, 16});
    lvFirmwareFiles->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                                     QAbstractItemView::DoubleClicked);
    lvFirmwareFiles->verticalHeader()->hide();
    // Fixed row heights keep scrolling through thousands of strings cheap.
    lvFirmwareFiles->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvFirmwareFiles->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    lvFirmwareFiles->horizontalHeader()->setSectionsClickable(false);
    lvFirmwareFiles->horizontalHeader()->setHighlightSections(false);
    lvFirmwareFiles->horizontalHeader()->resizeSection(0, 104);
    lvFirmwareFiles->horizontalHeader()->resizeSection(1, 60);
    lvFirmwareFiles->horizontalHeader()->setStretchLastSection(true);
    lvFirmwareIcons = new QListView(listStack_);
    lvFirmwareIcons->setObjectName("lvFirmwareIcons");
    lvFirmwareIcons->setModel(FilesModel);
    lvFirmwareIcons->setSelectionModel(lvFirmwareFiles->selectionModel());
    lvFirmwareIcons->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFirmwareIcons->setEditTriggers(lvFirmwareFiles->editTriggers());
    lvFirmwareIcons->setUniformItemSizes(true);
    lvFirmwareIcons->setMovement(QListView::Static);
    listStack_->addWidget(lvFirmwareFiles);
    listStack_->addWidget(lvFirmwareIcons);
    connect(lvFirmwareFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { lvFirmwareFilesSelectItem(); });
}

void TfEditorPage::CreateListMenu() {
    pmFVEditSrc = new QMenu(this);
    pmFVEditSrc->setObjectName("pmFVEditSrc");
    AddCommandItem(pmFVEditSrc, aReplaceFile, "miReplaceFile");
    AddCommandItem(pmFVEditSrc, aRestoreFile, "miRestoreFile");
    AddCommandItem(pmFVEditSrc, aDeleteFile, "miDeleteFile");
    pmFVEditSrc->addSeparator()->setObjectName("N3");
    const char* styleNames[] = {"miSmallIcons", "miIcons", "miList", "miTable"};
    AddListStyleItems(pmFVEditSrc, styleNames, [this](int tag) { SetListStyle(tag); });
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(lvFirmwareFiles),
                                  static_cast<QAbstractItemView*>(lvFirmwareIcons)}) {
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& pos) {
            UpdateActions();
            pmFVEditSrc->popup(v->viewport()->mapToGlobal(pos));
        });
        v->setAcceptDrops(true);
        v->viewport()->setAcceptDrops(true);
        v->viewport()->installEventFilter(this);
    }
}

QWidget* TfEditorPage::CreateButtons(QGroupBox* box) {
    auto* pFirmwareSources = new QWidget(box);
    pFirmwareSources->setObjectName("pFirmwareSources");
    auto* buttons = new QGridLayout(pFirmwareSources);
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setHorizontalSpacing(4);
    buttons->setVerticalSpacing(2);
    bRestoreFile = MakeButton(QString(), "bRestoreFile", pFirmwareSources);
    BindButton(bRestoreFile, aRestoreFile, true);
    bDeleteFile = MakeButton("Delete File(s)", "bDeleteFile", pFirmwareSources);
    BindButton(bDeleteFile, aDeleteFile, false);
    bReplaceFile = MakeButton(QString(), "bReplaceFile", pFirmwareSources);
    BindButton(bReplaceFile, aReplaceFile, true);
    bExportFile = MakeButton("Export File(s)", "bExportFile", pFirmwareSources);
    connect(bExportFile, &QPushButton::clicked, this, &TfEditorPage::bExportFileClick);
    cbSwitchFileMan = MakeCheck("Switch to File Manager", "cbSwitchFileMan", pFirmwareSources);
    bCreatePatch = MakeButton("Create Patch", "bCreatePatch", pFirmwareSources);
    connect(bCreatePatch, &QPushButton::clicked, this, &TfEditorPage::bCreatePatchClick);
    buttons->addWidget(bRestoreFile, 0, 0);
    buttons->addWidget(bDeleteFile, 0, 1);
    buttons->addWidget(bReplaceFile, 0, 2);
    buttons->addWidget(bExportFile, 0, 3);
    buttons->addWidget(cbSwitchFileMan, 1, 0, 1, 2);
    buttons->addWidget(bCreatePatch, 1, 2, 1, 2);
    return pFirmwareSources;
}

QWidget* TfEditorPage::CreateViewerStack() {
    rightStack_ = new QStackedWidget(this);
    frFwViewer = new TfrFViewer(rightStack_);
    frFwViewer->setObjectName("frFwViewer");
    frEditor = new TfrFileMan(rightStack_);
    frEditor->setObjectName("frEditor");
    rightStack_->addWidget(frFwViewer);
    rightStack_->addWidget(frEditor);
    connect(cbSwitchFileMan, &QCheckBox::toggled, this,
            [this](bool on) { rightStack_->setCurrentWidget(on ? static_cast<QWidget*>(frEditor) : frFwViewer); });

    connect(frFwViewer, &TfrFViewer::formatChosen, this, &TfEditorPage::FormatChange);
    connect(frFwViewer, &TfrFViewer::sizeStepping, this, &TfEditorPage::SizeStep);
    connect(frFwViewer, &TfrFViewer::sizeEntered, this, &TfEditorPage::SizeEnter);
    connect(frFwViewer, &TfrFViewer::transparentClicked, this, &TfEditorPage::TransparentClick);
    connect(frFwViewer, &TfrFViewer::pickApplied, this, &TfEditorPage::ApplyPickedColour);
    connect(frFwViewer, &TfrFViewer::playSoundsUnchecked, this, &TfEditorPage::StopSound);
    return rightStack_;
}

void TfEditorPage::CreateSoundPlayers() {
    // The library may report the end of a sound from its own thread.
    Player.Post = [this](std::function<void()> f) { QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection); };
    BuiltinPlayer = new BuiltinSound(MakeQtAudioOutput(), this);
    BuiltinPlayer->Rendered = [this](const sound::RenderedSound& sound) {
        Picture canvas(TfrFViewer::kCanvasSide, TfrFViewer::kCanvasSide);
        ClearPicture(canvas);
        const Picture wave = WaveformPicture(sound, canvas.Width, kWaveformHeight);
        const int top = (canvas.Height - wave.Height) / 2;
        for (int y = 0; y < wave.Height; ++y)
            for (int x = 0; x < wave.Width; ++x) canvas.At(x, top + y) = wave.At(x, y);
        frFwViewer->ShowCanvas(canvas);
    };
    BuiltinPlayer->Failed = [this](const std::string& error) { emit statusText(3, Q(error)); };
}

void TfEditorPage::SetListStyle(int tag) {
    ShowListStyle(listStack_, lvFirmwareFiles, lvFirmwareIcons, tag, {96, 56});
}

void TfEditorPage::UpdateActions() {
    if (QTreeWidgetItem* node = tvFirmwareSources->currentItem()) {
        const QString text = node->text(0);
        aReplaceFile->setEnabled(!text.contains("Lang_"));
        aDeleteLang->setEnabled(text.startsWith("Lang_"));
        aRestoreLang->setEnabled(text.startsWith("Lang_"));
    }
}

void TfEditorPage::RegionDisplay() {
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    if (!node) regionBar->ShowRegions({});
    else if (node == nodeRoot) regionBar->ShowRegions(RegionsOfRoot(fw_));
    else if (node == nodeLang1 || node == nodeLang2) regionBar->ShowRegions(RegionsOfLanguageTable(fw_, node == nodeLang1 ? 1 : 2));
    else regionBar->ShowRegions(RegionsOfCategory(fw_, CategoryOfNode(node)));
    const int32_t r = fw_.SelectedRegion;
    const MemoryRegion* region = fw_.Firmware.RegionAt(r);
    if (!region) return;
    emit statusText(2, "Memory Size/Used: " + QString::number(region->Range.Length) + " / " + QString::number(ShownUsed(fw_, r)));
}

// --- the image's life -------------------------------------------------------------

void TfEditorPage::BeginOpen() {
    FilesModel->SetCategory(-1);
    regionBar->ShowRegions({});
}

void TfEditorPage::ShowOpenedImage() {
    RebuildLanguageNodes();
    if (!tvFirmwareSources->currentItem()) tvFirmwareSources->setCurrentItem(nodeRoot);
    nodeRoot->setExpanded(true);
    tvFirmwareSources->scrollToTop();
    // The selected category shows the new image's rows at once.
    tvFirmwareSourcesChanging(tvFirmwareSources->currentItem());
}

void TfEditorPage::ShowImageFromTop() {
    RegionDisplay();
    tvFirmwareSources->setCurrentItem(nodeRoot);
    nodeRoot->setExpanded(true);
    tvFirmwareSourcesChanging(nodeRoot);
}

void TfEditorPage::ShowImageAgain() {
    RegionDisplay();
    tvFirmwareSourcesChanging(tvFirmwareSources->currentItem());
}

void TfEditorPage::Clear() { FilesModel->SetCategory(-1); }

// --- tree and list ------------------------------------------------------------

int32_t TfEditorPage::CategoryOfNode(const QTreeWidgetItem* node) const {
    if (!node) return -1;
    const QString text = node->text(0);
    if (text == "Images") return kCatImages;
    if (text == "Sounds") return kCatSounds;
    if (text == "Java") return kCatJava;
    if (text.startsWith("Lang_") && node->parent()) {
        const int table = node->parent()->text(0) == "Lang Table 1" ? 1 : 2;
        return LanguageCategory(fw_, table, node->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(node)));
    }
    return -1;
}

bool TfEditorPage::SelectNode(const QString& path) {
    QTreeWidgetItem* item = nodeRoot;
    if (path != nodeRoot->text(0)) {
        for (const QString& part : path.split('/')) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < item->childCount() && !next; ++i)
                if (item->child(i)->text(0) == part) next = item->child(i);
            if (!next) return false;
            item = next;
        }
    }
    tvFirmwareSources->setCurrentItem(item);
    return true;
}

void TfEditorPage::tvFirmwareSourcesChanging(QTreeWidgetItem* node) {
    FirmwareState& fw = fw_;
    if (suppressFill_ || !fw.FirmwareLoaded || !node) return;
    frFwViewer->ResetPointer();
    fw.SelectedRegion = -1;
    const int32_t category = CategoryOfNode(node);
    if (category >= 0) fw.SelectedRegion = category;
    FilesModel->SetEditable(category >= kCatFirstLanguage);
    FilesModel->SetCategory(category);
    RegionDisplay();
}

void TfEditorPage::RebuildLanguageNodes() {
    QTreeWidgetItem* current = tvFirmwareSources->currentItem();
    QString currentPath;
    if (current && current->parent() && current->parent()->parent() == nodeRoot)
        currentPath = current->parent()->text(0) + "/" + current->text(0);
    suppressFill_ = true;
    for (QTreeWidgetItem* table : {nodeLang1, nodeLang2}) {
        for (QTreeWidgetItem* old : table->takeChildren()) delete old;
        for (int k = 1; k <= fw_.FirmwareDescription.LanguageCount; ++k) {
            auto* item = new QTreeWidgetItem(table, {"Lang_" + QString::number(k)});
            item->setIcon(0, ResourceIcon(kIconLanguage));
        }
    }
    // A language that still exists stays selected.
    if (!currentPath.isEmpty()) SelectNode(currentPath);
    suppressFill_ = false;
}

int TfEditorPage::SelectedRow() const {
    const QModelIndexList rows = lvFirmwareFiles->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TfEditorPage::SelectRow(int row) {
    if (row < 0 || row >= FilesModel->rowCount()) {
        lvFirmwareFiles->selectionModel()->clearSelection();
        return;
    }
    const QModelIndex i = FilesModel->index(row, 0);
    lvFirmwareFiles->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    lvFirmwareFiles->scrollTo(i);
}

void TfEditorPage::ApplyEditResultRows(int32_t category, const std::vector<int32_t>& rows) {
    if (category == FilesModel->Category()) FilesModel->RefreshRows(rows);
}

// --- preview -------------------------------------------------------------------

void TfEditorPage::lvFirmwareFilesSelectItem() {
    const int row = SelectedRow();
    if (!fw_.FirmwareLoaded || row < 0 || FilesModel->Row(row).Name.empty()) return;
    frFwViewer->ResetPointer();
    if (FilesModel->Category() == kCatImages) {
        ShowPicturePreview(row);
        return;
    }
    Picture canvas(TfrFViewer::kCanvasSide, TfrFViewer::kCanvasSide);
    ClearPicture(canvas);
    frFwViewer->ShowTransparency(false, 0);
    frFwViewer->ShowCanvas(canvas);
    frFwViewer->ShowSoundInfo({});
    if (FilesModel->Category() == kCatSounds) PreviewSound(row);
    else BuiltinPlayer->Cancel();
}

void TfEditorPage::ShowPicturePreview(int row) {
    TfrFViewer* v = frFwViewer;
    Picture canvas(TfrFViewer::kCanvasSide, TfrFViewer::kCanvasSide);
    ClearPicture(canvas);
    if (!v->ShowPictures()) {
        v->ShowCanvas(canvas);
        return;
    }
    const PicturePreview p = PreviewPicture(fw_, row);
    for (int y = 0; y < std::min(p.Pic.Height, canvas.Height); ++y)
        for (int x = 0; x < std::min(p.Pic.Width, canvas.Width); ++x) canvas.At(x, y) = p.Pic.At(x, y);
    v->ShowSize(p.Width, p.Height);
    v->SetTransparentBox(p.HasTransp);
    if (p.HasTransp) v->SetSwatchColour(p.TranspColor);
    v->ShowTransparency(p.HasTransp, p.Transparent);
    v->ShowCanvas(canvas);
    // Last: moving the format check runs the format command, which
    // previews again.
    v->ShowKind(p.Kind);
}

void TfEditorPage::PreviewSound(int row) {
    const tSndType& s = fw_.Firmware.Sounds[static_cast<size_t>(row)];
    const bool play = frFwViewer->PlaySounds();
    const bool replaced = !s.TempName.empty() && FileExists(fw_.TempDir + s.TempName);
    std::string bytes;
    // An unreadable replacement previews as an empty, unreadable sound.
    if (replaced) ReadWholeFile(fw_.TempDir + s.TempName, bytes);
    else bytes = std::string(fw_.FirmwareFile->View(s.Address, static_cast<size_t>(std::max(0, s.Size))));
    if (play && soundChoice_ != kBuiltInPlayer) {
        StopSound();
        if (replaced) {
            Player.Play(fw_.TempDir + s.TempName);
        } else {
            const std::string path = fw_.TempDir + "IntPlayer.mmf";
            if (const base::Status written = WriteFileAtomic(path, bytes); written)
                Player.Play(path);
            else
                prompts_.Message(this, Q(written.Error()), ProductName());
        }
    }
    // The built-in engine reads and renders every selected sound for the
    // viewer; a file it cannot read is named in the status bar, not a box.
    const auto info = BuiltinPlayer->Select(std::vector<uint8_t>(bytes.begin(), bytes.end()),
                                            play && soundChoice_ == kBuiltInPlayer);
    if (!info) {
        emit statusText(3, Q(FilesModel->Row(row).Name + ": " + info.Error()));
        return;
    }
    emit statusText(3, QString());
    frFwViewer->ShowSoundInfo(SoundDescription(*info));
}

void TfEditorPage::StopSound() {
    Player.Stop();
    BuiltinPlayer->Stop();
}

void TfEditorPage::EndSound() {
    StopSound();
    BuiltinPlayer->Cancel();
    Player.Unload();
}

void TfEditorPage::SelectSoundLibrary(int tag) {
    BuiltinPlayer->Stop();
    Player.Unload();
    soundChoice_ = tag;
    if (tag < 1 || tag > 2) return;
    const std::string path = fw_.ProgramDir + kSoundLibraryFiles[tag - 1];
    if (!QFileInfo(Q(path)).isFile()) return;
    if (!Player.SelectLibrary(path)) prompts_.Message(this, kSoundLibraryError, "");
}

// --- viewer commands ------------------------------------------------------------

bool TfEditorPage::ViewerTarget(bool needShowPic, int* index) const {
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    *index = SelectedRow();
    return fw_.FirmwareLoaded && node && node->text(0) == "Images" && *index >= 0 &&
           (!needShowPic || frFwViewer->ShowPictures());
}

bool TfEditorPage::TransparentTarget(int* index) const {
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    *index = SelectedRow();
    return fw_.FirmwareLoaded && node && node->text(0).compare("Images", Qt::CaseInsensitive) == 0 && *index >= 0 &&
           !FilesModel->Row(*index).Name.empty();
}

void TfEditorPage::FormatChange(int tag) {
    int index;
    if (!ViewerTarget(true, &index)) return;
    const EditResult r = ChangePictureFormat(fw_, index, tag);
    ApplyEditResultRows(kCatImages, r.Rows);
    FilesModel->RefreshRows({index});
    lvFirmwareFilesSelectItem();
    lvFirmwareFiles->setFocus();
}

void TfEditorPage::SizeStep(bool width, int value) {
    int index;
    if (!ViewerTarget(true, &index)) return;
    StepPictureSide(fw_, index, width ? SizeAxis::Width : SizeAxis::Height, value);
    lvFirmwareFilesSelectItem();
    lvFirmwareFiles->setFocus();
}

void TfEditorPage::SizeEnter(bool width, const QString& text) {
    int index;
    if (!ViewerTarget(false, &index)) return;
    std::string cleaned;
    const EditResult r = EnterPictureSide(fw_, index, width ? SizeAxis::Width : SizeAxis::Height,
                                          text.toStdString(), &cleaned);
    lvFirmwareFilesSelectItem();
    // A size that was not stored stays as typed (cleaned), now black.
    frFwViewer->EndSizeEdit(width, r.Changed() ? std::nullopt : std::optional<QString>(Q(cleaned)));
    lvFirmwareFiles->setFocus();
}

void TfEditorPage::TransparentClick(bool checked) {
    int index;
    if (!TransparentTarget(&index)) {
        frFwViewer->SetTransparentBox(!checked);
        return;
    }
    if (checked) {
        // Only replaced "09" pictures can get a transparent colour.
        if (CanPickTransparent(fw_, index) == EditStatus::Ok)
            frFwViewer->SetPickMode(true);
        else
            frFwViewer->SetTransparentBox(false);
        return;
    }
    const EditResult r = RemoveTransparentColour(fw_, index);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail), ProductName());
    if (r.Changed()) {
        lvFirmwareFilesSelectItem();
        lvFirmwareFiles->setFocus();
    }
}

void TfEditorPage::ApplyPickedColour() {
    int index;
    if (!TransparentTarget(&index)) return;
    if (!PickInsidePicture(fw_, index, frFwViewer->PickX(), frFwViewer->PickY())) return;
    frFwViewer->SetPickMode(false);
    const EditResult r = ApplyTransparentColour(fw_, index, frFwViewer->SwatchColour());
    if (r.Failed()) prompts_.Message(this, Q(r.Detail), ProductName());
    lvFirmwareFilesSelectItem();
    lvFirmwareFiles->setFocus();
}

// --- editing commands -----------------------------------------------------------

void TfEditorPage::aReplaceFileExecute() {
    QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int row = SelectedRow();
    if (!fw_.FirmwareLoaded || !node || row < 0) return;
    const int32_t category = CategoryOfNode(node);
    QString source;
    if (cbSwitchFileMan->isChecked()) {
        source = frEditor->SelectedPath();
        if (source.isEmpty()) return;
    } else {
        QString filter;
        if (category == kCatImages)
            filter = "All Pictures|*.bmp;*.jpg;*.jpeg;*.png;*.gif|BMP Images (*.bmp)|*.bmp|Jpeg Images (*.jpg)|*.jpg|"
                     "PNG Images (*.png)|*.png|GIF Images (*.gif)|*.gif";
        else if (category == kCatSounds) filter = "Sound & Music files|*.mmf|" + QString(kAudioFilesFilter);
        else if (category == kCatJava) filter = "Java JAD files|*.jad|All Files|*.*";
        else return;
        auto chosen = prompts_.OpenFile(this, filter, QString());
        if (!chosen) return;
        source = *chosen;
    }
    const EditResult r = ReplaceEntry(fw_, category, row, Local(source), scaleToFit_, audioRate_);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail.empty() ? EditStatusText(r.Status) : r.Detail), ProductName());
    ApplyEditResultRows(category, r.Rows);
    lvFirmwareFilesSelectItem();
    RegionDisplay();
}

void TfEditorPage::aDeleteFileExecute() {
    QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int row = SelectedRow();
    if (!fw_.FirmwareLoaded || !node || row < 0) return;
    const EditResult r = DeleteEntry(fw_, CategoryOfNode(node), row);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail.empty() ? EditStatusText(r.Status) : r.Detail), ProductName());
    ApplyEditResultRows(r.Category, r.Rows);
    RegionDisplay();
}

void TfEditorPage::aRestoreFileExecute() {
    QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int row = SelectedRow();
    if (!fw_.FirmwareLoaded || !node || row < 0) return;
    const EditResult r = RestoreEntry(fw_, CategoryOfNode(node), row);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail.empty() ? EditStatusText(r.Status) : r.Detail), ProductName());
    ApplyEditResultRows(r.Category, r.Rows);
    RegionDisplay();
}

void TfEditorPage::bExportFileClick() {
    const int row = SelectedRow();
    if (!fw_.FirmwareLoaded || row < 0) return;
    const int32_t category = FilesModel->Category();
    if (category < 0 || category > kCatJava) return;  // strings are not exported
    QString folder;
    if (cbSwitchFileMan->isChecked()) {
        folder = frEditor->CurrentFolder();
    } else {
        selectFolder_.Title = "Select Folder for Export:";
        if (!selectFolder_.Execute()) return;
        folder = selectFolder_.Directory;
    }
    const ExportResult r = ExportResource(fw_, category, row, Local(folder), pictureExport_);
    if (r.Status == ExportStatus::WriteFailed || r.Status == ExportStatus::DecodeFailed)
        prompts_.Message(this, Q(r.Path + ": " + r.Error), ProductName());
}

bool TfEditorPage::lvFirmwareFilesDragOver(const QString& path) const {
    return fw_.FirmwareLoaded && DropAccepted(fw_.SelectedRegion, Local(path));
}

void TfEditorPage::lvFirmwareFilesDragDrop(int row) {
    if (row < 0) return;
    SelectRow(row);
    aReplaceFileExecute();
}

void TfEditorPage::bCreatePatchClick() {
    if (!fw_.FirmwareLoaded) return;
    emit createPatchRequested();
}

// --- drops on the list ------------------------------------------------------------

bool TfEditorPage::eventFilter(QObject* watched, QEvent* event) {
    QAbstractItemView* view = nullptr;
    if (watched == lvFirmwareFiles->viewport()) view = lvFirmwareFiles;
    else if (watched == lvFirmwareIcons->viewport()) view = lvFirmwareIcons;
    if (!view) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(event);
            const QMimeData* mime = e->mimeData();
            // Only files from the file browser pane's list are taken.
            if (mime->hasFormat(kLocalFileMime) && lvFirmwareFilesDragOver(QString::fromUtf8(mime->data(kLocalFileMime))))
                e->acceptProposedAction();
            else
                e->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            const QMimeData* mime = e->mimeData();
            if (!mime->hasFormat(kLocalFileMime) ||
                !lvFirmwareFilesDragOver(QString::fromUtf8(mime->data(kLocalFileMime)))) {
                e->ignore();
                return true;
            }
            const QModelIndex at = view->indexAt(e->position().toPoint());
            e->acceptProposedAction();
            if (at.isValid()) lvFirmwareFilesDragDrop(at.row());
            return true;
        }
        default: return QWidget::eventFilter(watched, event);
    }
}

}  // namespace flashsmith::shell
