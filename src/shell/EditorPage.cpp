// The "Firmware Editor" page: the category tree, the resource list, the
// buttons and the viewer, bound to the editing operations of the core.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editing/DeleteRestore.h"
#include "editing/Export.h"
#include "editing/PictureView.h"
#include "editing/Replace.h"
#include "editing/ResourceList.h"
#include "editing/StringEdit.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"

#include "patches/AppliedPatches.h"
#include "patches/ApplyPatch.h"
#include "shell/CommandLink.h"
#include "shell/FileManPane.h"
#include "shell/FirmwareViewer.h"
#include "shell/Icons.h"
#include "shell/MainWindow.h"
#include "shell/QtProgress.h"
#include "shell/RegionBar.h"
#include "shell/PatchesPage.h"
#include "shell/ResourceModel.h"
#include "shell/SavePatchDialog.h"
#include "shell/UserPrompts.h"
#include "shell/Version.h"

namespace flashsmith::shell {

namespace {

// Sounds also take audio files, converted to SMAF on replacement.
constexpr char kAudioFilesFilter[] = "Audio files to convert|*.wav;*.mp3;*.ogg;*.flac";

// A button shows its command's enabled state (and caption, unless it keeps
// its own) and runs it.
QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

QWidget* TfMain::CreateEditorPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* gb = new QGroupBox("Firmware Sources", page);
    gb->setObjectName("gbFirmwareSources");
    gb->setMinimumWidth(300);
    auto* gbLayout = new QVBoxLayout(gb);
    gbLayout->setContentsMargins(4, 4, 4, 4);
    auto* split = new QSplitter(Qt::Vertical, gb);
    gbLayout->addWidget(split, 1);

    tvFirmwareSources = new QTreeWidget(split);
    tvFirmwareSources->setObjectName("tvFirmwareSources");
    tvFirmwareSources->setHeaderHidden(true);
    tvFirmwareSources->setRootIsDecorated(false);
    tvFirmwareSources->setIconSize({16, 16});
    tvFirmwareSources->setEditTriggers(QAbstractItemView::NoEditTriggers);
    nodeRoot = new QTreeWidgetItem(tvFirmwareSources, {"My Firmware"});
    nodeRoot->setIcon(0, ResourceIcon(kIconFirmware));
    auto child = [this](const char* text, int icon) {
        auto* item = new QTreeWidgetItem(nodeRoot, {text});
        item->setIcon(0, ResourceIcon(icon));
        return item;
    };
    nodeImages = child("Images", kIconPicture);
    nodeSounds = child("Sounds", kIconSound);
    nodeJava = child("Java", kIconJava);
    nodeLang1 = child("Lang Table 1", kIconLanguage);
    nodeLang2 = child("Lang Table 2", kIconLanguage);
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

    FilesModel = new ResourceModel(state_.Fw, this);
    FilesModel->OnEdited = [this](int32_t row, const std::string& ansi) {
        const EditResult r = EditString(state_.Fw, FilesModel->Category(), row, ansi);
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

    pmFVEditSrc = new QMenu(this);
    pmFVEditSrc->setObjectName("pmFVEditSrc");
    AddCommandItem(pmFVEditSrc, aReplaceFile, "miReplaceFile");
    AddCommandItem(pmFVEditSrc, aRestoreFile, "miRestoreFile");
    AddCommandItem(pmFVEditSrc, aDeleteFile, "miDeleteFile");
    pmFVEditSrc->addSeparator()->setObjectName("N3");
    const char* styles[] = {"Small Icons", "Icons", "List", "Table"};
    const char* styleNames[] = {"miSmallIcons", "miIcons", "miList", "miTable"};
    for (int tag = 1; tag <= 4; ++tag) {
        QAction* a = pmFVEditSrc->addAction(styles[tag - 1]);
        a->setObjectName(styleNames[tag - 1]);
        a->setData(tag);
        connect(a, &QAction::triggered, this, [this, tag] { SetListStyle(tag); });
    }
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
    split->addWidget(tvFirmwareSources);
    split->addWidget(listStack_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({130, 300});
    regionBar = new RegionBar(state_.Fw, gb);
    regionBar->setObjectName("pbRegions");
    gbLayout->addWidget(regionBar);

    auto* pFirmwareSources = new QWidget(gb);
    pFirmwareSources->setObjectName("pFirmwareSources");
    auto* buttons = new QGridLayout(pFirmwareSources);
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setHorizontalSpacing(4);
    buttons->setVerticalSpacing(2);
    bRestoreFile = new QPushButton(pFirmwareSources);
    bRestoreFile->setObjectName("bRestoreFile");
    BindButton(bRestoreFile, aRestoreFile, true);
    bDeleteFile = new QPushButton("Delete File(s)", pFirmwareSources);
    bDeleteFile->setObjectName("bDeleteFile");
    BindButton(bDeleteFile, aDeleteFile, false);
    bReplaceFile = new QPushButton(pFirmwareSources);
    bReplaceFile->setObjectName("bReplaceFile");
    BindButton(bReplaceFile, aReplaceFile, true);
    bExportFile = new QPushButton("Export File(s)", pFirmwareSources);
    bExportFile->setObjectName("bExportFile");
    connect(bExportFile, &QPushButton::clicked, this, &TfMain::bExportFileClick);
    cbSwitchFileMan = new QCheckBox("Switch to File Manager", pFirmwareSources);
    cbSwitchFileMan->setObjectName("cbSwitchFileMan");
    bCreatePatch = new QPushButton("Create Patch", pFirmwareSources);
    bCreatePatch->setObjectName("bCreatePatch");
    connect(bCreatePatch, &QPushButton::clicked, this, &TfMain::bCreatePatchClick);
    buttons->addWidget(bRestoreFile, 0, 0);
    buttons->addWidget(bDeleteFile, 0, 1);
    buttons->addWidget(bReplaceFile, 0, 2);
    buttons->addWidget(bExportFile, 0, 3);
    buttons->addWidget(cbSwitchFileMan, 1, 0, 1, 2);
    buttons->addWidget(bCreatePatch, 1, 2, 1, 2);
    gbLayout->addWidget(pFirmwareSources);

    rightStack_ = new QStackedWidget(page);
    frFwViewer = new TfrFViewer(rightStack_);
    frFwViewer->setObjectName("frFwViewer");
    frEditor = new TfrFileMan(rightStack_);
    frEditor->setObjectName("frEditor");
    rightStack_->addWidget(frFwViewer);
    rightStack_->addWidget(frEditor);
    connect(cbSwitchFileMan, &QCheckBox::toggled, this,
            [this](bool on) { rightStack_->setCurrentWidget(on ? static_cast<QWidget*>(frEditor) : frFwViewer); });

    connect(frFwViewer, &TfrFViewer::formatChosen, this, &TfMain::FormatChange);
    connect(frFwViewer, &TfrFViewer::sizeStepping, this, &TfMain::SizeStep);
    connect(frFwViewer, &TfrFViewer::sizeEntered, this, &TfMain::SizeEnter);
    connect(frFwViewer, &TfrFViewer::transparentClicked, this, &TfMain::TransparentClick);
    connect(frFwViewer, &TfrFViewer::pickApplied, this, &TfMain::ApplyPickedColour);
    connect(frFwViewer, &TfrFViewer::playSoundsUnchecked, this, [this] {
        if (StopSound) StopSound();
    });

    layout->addWidget(gb, 1);
    layout->addWidget(rightStack_, 1);
    return page;
}

void TfMain::SetListStyle(int tag) {
    switch (tag) {
        case 1:
            lvFirmwareIcons->setViewMode(QListView::ListMode);
            lvFirmwareIcons->setFlow(QListView::LeftToRight);
            lvFirmwareIcons->setWrapping(true);
            lvFirmwareIcons->setGridSize({});
            lvFirmwareIcons->setIconSize({16, 16});
            break;
        case 2:
            lvFirmwareIcons->setViewMode(QListView::IconMode);
            lvFirmwareIcons->setIconSize({32, 32});
            lvFirmwareIcons->setGridSize({96, 56});
            break;
        case 3:
            lvFirmwareIcons->setViewMode(QListView::ListMode);
            lvFirmwareIcons->setFlow(QListView::TopToBottom);
            lvFirmwareIcons->setWrapping(true);
            lvFirmwareIcons->setGridSize({});
            lvFirmwareIcons->setIconSize({16, 16});
            break;
        default:
            listStack_->setCurrentWidget(lvFirmwareFiles);
            return;
    }
    lvFirmwareIcons->setMovement(QListView::Static);
    listStack_->setCurrentWidget(lvFirmwareIcons);
}

// --- tree and list ------------------------------------------------------------

int32_t TfMain::CategoryOfNode(const QTreeWidgetItem* node) const {
    if (!node) return -1;
    const QString text = node->text(0);
    if (text == "Images") return kCatImages;
    if (text == "Sounds") return kCatSounds;
    if (text == "Java") return kCatJava;
    if (text.startsWith("Lang_") && node->parent()) {
        const int table = node->parent()->text(0) == "Lang Table 1" ? 1 : 2;
        return LanguageCategory(state_.Fw, table, node->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(node)));
    }
    return -1;
}

bool TfMain::SelectNode(const QString& path) {
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

void TfMain::tvFirmwareSourcesChanging(QTreeWidgetItem* node) {
    FirmwareState& fw = state_.Fw;
    if (suppressFill_ || !fw.FirmwareLoaded || !node) return;
    frFwViewer->imViewer->ResetPointer();
    fw.SelectedRegion = -1;
    const int32_t category = CategoryOfNode(node);
    if (category >= 0) fw.SelectedRegion = category;
    FilesModel->SetEditable(category >= kCatFirstLanguage);
    FilesModel->SetCategory(category);
    RegionDisplay();
}

void TfMain::RebuildLanguageNodes() {
    QTreeWidgetItem* current = tvFirmwareSources->currentItem();
    QString currentPath;
    if (current && current->parent() && current->parent()->parent() == nodeRoot)
        currentPath = current->parent()->text(0) + "/" + current->text(0);
    suppressFill_ = true;
    for (QTreeWidgetItem* table : {nodeLang1, nodeLang2}) {
        for (QTreeWidgetItem* old : table->takeChildren()) delete old;
        for (int k = 1; k <= state_.Fw.FirmwareDescription.LanguageCount; ++k) {
            auto* item = new QTreeWidgetItem(table, {"Lang_" + QString::number(k)});
            item->setIcon(0, ResourceIcon(kIconLanguage));
        }
    }
    // A language that still exists stays selected.
    if (!currentPath.isEmpty()) SelectNode(currentPath);
    suppressFill_ = false;
}

int TfMain::SelectedRow() const {
    const QModelIndexList rows = lvFirmwareFiles->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TfMain::SelectRow(int row) {
    if (row < 0 || row >= FilesModel->rowCount()) {
        lvFirmwareFiles->selectionModel()->clearSelection();
        return;
    }
    const QModelIndex i = FilesModel->index(row, 0);
    lvFirmwareFiles->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    lvFirmwareFiles->scrollTo(i);
}

void TfMain::ApplyEditResultRows(int32_t category, const std::vector<int32_t>& rows) {
    if (category == FilesModel->Category()) FilesModel->RefreshRows(rows);
}

// --- opening --------------------------------------------------------------------

void TfMain::FileOpen1Execute() {
    auto path = prompts_.OpenFile(this, "Firmware BIN files|*.bin", QString());
    if (!path) return;  // the open firmware stays, with its pending edits
    OpenFirmwareFile(*path);
}

bool TfMain::OpenFirmwareFile(const QString& path) {
    FirmwareState& fw = state_.Fw;
    // The searches let events through; a second open or a close in between
    // would pull the image from under them.
    if (opening_) return false;
    opening_ = true;
    menuBar()->setEnabled(false);
    fw.SelectedRegion = -1;
    fw.DeletedSoundCount = 0;
    ResetCaption();
    Panels[0]->clear();
    Panels[1]->clear();
    PageControl->setEnabled(false);
    PlaceProgressBar();
    pbStatusProgress->setValue(0);
    pbStatusProgress->show();
    FilesModel->SetCategory(-1);
    regionBar->ShowRegions({});

    QtProgress progress(pbStatusProgress);
    OpenOptions options;
    options.FirmwaresDir = fw.ProgramDir + "Firmwares";
    options.ChooseProfile = [this](const std::vector<std::string>& names) {
        QStringList list;
        for (const auto& n : names) list << Q(n);
        return prompts_.ChooseProfile(this, list);
    };
    const std::string image = Local(path);
    const OpenResult r = OpenFirmware(fw, image, options, progress);
    PageControl->setEnabled(true);
    menuBar()->setEnabled(true);
    pbStatusProgress->hide();
    opening_ = false;
    // The patch view was filtered for the image before; it starts empty.
    frPatches->lvPatchesSelectItem(nullptr);
    frPatches->FirmwareChanged();
    if (r.Status != OpenStatus::Ok) {
        // An unidentified image ends the open silently; read errors are told.
        if (r.Status == OpenStatus::FileError || r.Status == OpenStatus::TableError)
            prompts_.Message(this, Q(r.Error), ProductName());
        return false;
    }
    Panels[0]->setText("Phone: " + Q(fw.FirmwareDescription.PhoneModel));
    Panels[1]->setText("Firmware: " + Q(fw.FirmwareDescription.Version));
    RebuildLanguageNodes();
    if (!tvFirmwareSources->currentItem()) tvFirmwareSources->setCurrentItem(nodeRoot);
    setWindowTitle(windowTitle() + " - " + QFileInfo(path).fileName());
    nodeRoot->setExpanded(true);
    tvFirmwareSources->scrollToTop();
    // The selected category shows the new image's rows at once.
    tvFirmwareSourcesChanging(tvFirmwareSources->currentItem());
    return true;
}

// --- preview -------------------------------------------------------------------

void TfMain::lvFirmwareFilesSelectItem() {
    FirmwareState& fw = state_.Fw;
    const int row = SelectedRow();
    if (!fw.FirmwareLoaded || row < 0 || FilesModel->Row(row).Name.empty()) return;
    TfrFViewer* v = frFwViewer;
    Picture canvas(TfrFViewer::kCanvasSide, TfrFViewer::kCanvasSide);
    ClearPicture(canvas);
    v->imViewer->ResetPointer();
    const int32_t category = FilesModel->Category();
    if (category == kCatImages) {
        if (!v->cbShowPic->isChecked()) {
            v->imViewer->SetCanvas(canvas);
            return;
        }
        const PicturePreview p = PreviewPicture(fw, row);
        for (int y = 0; y < std::min(p.Pic.Height, canvas.Height); ++y)
            for (int x = 0; x < std::min(p.Pic.Width, canvas.Width); ++x) canvas.At(x, y) = p.Pic.At(x, y);
        v->ShowSize(p.Width, p.Height);
        v->SetTransparentBox(p.HasTransp);
        if (p.HasTransp) v->shTransparent->SetColour(p.TranspColor);
        v->imViewer->SetTransparent(p.HasTransp, p.Transparent);
        v->imViewer->SetCanvas(canvas);
        // Last: moving the format check runs the format command, which
        // previews again.
        v->ShowKind(p.Kind);
        return;
    }
    v->imViewer->SetTransparent(false, 0);
    v->imViewer->SetCanvas(canvas);
    v->ShowSoundInfo({});
    if (category == kCatSounds) PreviewSound(row);
    else BuiltinPlayer->Cancel();
}

void TfMain::PreviewSound(int row) {
    FirmwareState& fw = state_.Fw;
    const tSndType& s = fw.Firmware.Sounds[static_cast<size_t>(row)];
    const bool play = frFwViewer->cbPlaySnd->isChecked();
    const bool replaced = !s.TempName.empty() && FileExists(fw.TempDir + s.TempName);
    std::string bytes, error;
    if (replaced) ReadWholeFile(fw.TempDir + s.TempName, bytes).Ok(&error);
    else bytes = std::string(fw.FirmwareFile->View(s.Address, static_cast<size_t>(std::max(0, s.Size))));
    if (play && PlaySound && soundChoice_ != kBuiltInPlayer) {
        if (StopSound) StopSound();
        if (replaced) {
            PlaySound(Q(fw.TempDir + s.TempName));
        } else {
            const std::string path = fw.TempDir + "IntPlayer.mmf";
            if (WriteFileAtomic(path, bytes).Ok(&error))
                PlaySound(Q(path));
            else
                prompts_.Message(this, Q(error), ProductName());
        }
    }
    // The built-in engine reads and renders every selected sound for the
    // viewer; a file it cannot read is named in the status bar, not a box.
    std::string why;
    const auto info = BuiltinPlayer->Select(std::vector<uint8_t>(bytes.begin(), bytes.end()),
                                            play && soundChoice_ == kBuiltInPlayer, &why);
    if (!info) {
        Panels[3]->setText(Q(FilesModel->Row(row).Name + ": " + why));
        return;
    }
    Panels[3]->clear();
    frFwViewer->ShowSoundInfo(SoundDescription(*info));
}

// --- viewer commands ------------------------------------------------------------

bool TfMain::ViewerTarget(bool needShowPic, int* index) const {
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    *index = SelectedRow();
    return state_.Fw.FirmwareLoaded && node && node->text(0) == "Images" && *index >= 0 &&
           (!needShowPic || frFwViewer->cbShowPic->isChecked());
}

void TfMain::FormatChange(int tag) {
    int index;
    if (!ViewerTarget(true, &index)) return;
    const EditResult r = ChangePictureFormat(state_.Fw, index, tag);
    ApplyEditResultRows(kCatImages, r.Rows);
    FilesModel->RefreshRows({index});
    lvFirmwareFilesSelectItem();
    lvFirmwareFiles->setFocus();
}

void TfMain::SizeStep(bool width, int value) {
    int index;
    if (!ViewerTarget(true, &index)) return;
    StepPictureSide(state_.Fw, index, width ? SizeAxis::Width : SizeAxis::Height, value);
    lvFirmwareFilesSelectItem();
    lvFirmwareFiles->setFocus();
}

void TfMain::SizeEnter(bool width, const QString& text) {
    int index;
    if (!ViewerTarget(false, &index)) return;
    QLineEdit* edit = width ? frFwViewer->leImageWidth : frFwViewer->leImageHeight;
    std::string cleaned;
    const EditResult r = EnterPictureSide(state_.Fw, index, width ? SizeAxis::Width : SizeAxis::Height,
                                          text.toStdString(), &cleaned);
    lvFirmwareFilesSelectItem();
    // A size that was not stored stays as typed (cleaned), now black.
    if (!r.Changed()) edit->setText(Q(cleaned));
    TfrFViewer::SetSizeColour(edit, Qt::black);
    lvFirmwareFiles->setFocus();
}

void TfMain::TransparentClick(bool checked) {
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int index = SelectedRow();
    if (!state_.Fw.FirmwareLoaded || !node || node->text(0).compare("Images", Qt::CaseInsensitive) != 0 ||
        index < 0 || FilesModel->Row(index).Name.empty()) {
        frFwViewer->SetTransparentBox(!checked);
        return;
    }
    if (checked) {
        // Only replaced "09" pictures can get a transparent colour.
        if (CanPickTransparent(state_.Fw, index) == EditStatus::Ok)
            frFwViewer->imViewer->SetPickMode(true);
        else
            frFwViewer->SetTransparentBox(false);
        return;
    }
    const EditResult r = RemoveTransparentColour(state_.Fw, index);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail), ProductName());
    if (r.Changed()) {
        lvFirmwareFilesSelectItem();
        lvFirmwareFiles->setFocus();
    }
}

void TfMain::ApplyPickedColour() {
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int index = SelectedRow();
    if (!state_.Fw.FirmwareLoaded || !node || node->text(0).compare("Images", Qt::CaseInsensitive) != 0 ||
        index < 0 || FilesModel->Row(index).Name.empty())
        return;
    if (!PickInsidePicture(state_.Fw, index, frFwViewer->PickX(), frFwViewer->PickY())) return;
    frFwViewer->imViewer->SetPickMode(false);
    const EditResult r = ApplyTransparentColour(state_.Fw, index, frFwViewer->shTransparent->Colour());
    if (r.Failed()) prompts_.Message(this, Q(r.Detail), ProductName());
    lvFirmwareFilesSelectItem();
    lvFirmwareFiles->setFocus();
}

// --- editing commands -----------------------------------------------------------

void TfMain::aReplaceFileExecute() {
    FirmwareState& fw = state_.Fw;
    QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int row = SelectedRow();
    if (!fw.FirmwareLoaded || !node || row < 0) return;
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
    const EditResult r = ReplaceEntry(fw, category, row, Local(source), miScaleToFit->isChecked());
    if (r.Failed()) prompts_.Message(this, Q(r.Detail.empty() ? EditStatusText(r.Status) : r.Detail), ProductName());
    ApplyEditResultRows(category, r.Rows);
    lvFirmwareFilesSelectItem();
    RegionDisplay();
}

void TfMain::aDeleteFileExecute() {
    FirmwareState& fw = state_.Fw;
    QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int row = SelectedRow();
    if (!fw.FirmwareLoaded || !node || row < 0) return;
    const EditResult r = DeleteEntry(fw, CategoryOfNode(node), row);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail.empty() ? EditStatusText(r.Status) : r.Detail), ProductName());
    ApplyEditResultRows(r.Category, r.Rows);
    RegionDisplay();
}

void TfMain::aRestoreFileExecute() {
    FirmwareState& fw = state_.Fw;
    QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    const int row = SelectedRow();
    if (!fw.FirmwareLoaded || !node || row < 0) return;
    const EditResult r = RestoreEntry(fw, CategoryOfNode(node), row);
    if (r.Failed()) prompts_.Message(this, Q(r.Detail.empty() ? EditStatusText(r.Status) : r.Detail), ProductName());
    ApplyEditResultRows(r.Category, r.Rows);
    RegionDisplay();
}

void TfMain::bExportFileClick() {
    FirmwareState& fw = state_.Fw;
    const int row = SelectedRow();
    if (!fw.FirmwareLoaded || row < 0) return;
    const int32_t category = FilesModel->Category();
    if (category < 0 || category > kCatJava) return;  // strings are not exported
    QString folder;
    if (cbSwitchFileMan->isChecked()) {
        folder = frEditor->CurrentFolder();
    } else {
        SelectFolderDialog.Title = "Select Folder for Export:";
        if (!SelectFolderDialog.Execute()) return;
        folder = SelectFolderDialog.Directory;
    }
    const PictureExport format = miSaveImagesAsJpeg->isChecked() ? PictureExport::Jpeg
                                 : miSaveImagesAsPng->isChecked()  ? PictureExport::Png
                                                                   : PictureExport::Bmp;
    const ExportResult r = ExportResource(fw, category, row, Local(folder), format);
    if (r.Status == ExportStatus::WriteFailed || r.Status == ExportStatus::DecodeFailed)
        prompts_.Message(this, Q(r.Path + ": " + r.Error), ProductName());
}

bool TfMain::lvFirmwareFilesDragOver(const QString& path) const {
    return state_.Fw.FirmwareLoaded && DropAccepted(state_.Fw.SelectedRegion, Local(path));
}

void TfMain::lvFirmwareFilesDragDrop(int row) {
    if (row < 0) return;
    SelectRow(row);
    aReplaceFileExecute();
}

void TfMain::bCreatePatchClick() {
    if (!state_.Fw.FirmwareLoaded) return;
    fSavePatch->exec();
    fSavePatch->hide();
}

void TfMain::aOpenSPFExecute() {
    FirmwareState& fw = state_.Fw;
    if (!fw.FirmwareLoaded) return;
    auto path = prompts_.OpenFile(this, "Samsung Patch Files|*.spf", QString());
    if (path) ApplySpfFile(*path);
}

bool TfMain::ApplySpfFile(const QString& path, AppliedPatches* journal) {
    FirmwareState& fw = state_.Fw;
    if (!fw.FirmwareLoaded) return false;
    const OpenSpfResult r = journal ? journal->Apply(fw, Local(path)) : OpenSpf(fw, Local(path));
    if (r.Status != OpenSpfStatus::Applied && r.Status != OpenSpfStatus::WriteError) return false;
    fSavePatch->SetDetails(r.Details);
    if (r.Status == OpenSpfStatus::WriteError) prompts_.Message(this, Q(r.Error), ProductName());
    RegionDisplay();
    // The first node, expanded, so the list is rebuilt from the new state.
    tvFirmwareSources->setCurrentItem(nodeRoot);
    nodeRoot->setExpanded(true);
    tvFirmwareSourcesChanging(nodeRoot);
    return r.Status == OpenSpfStatus::Applied;
}

// --- drops on the list ------------------------------------------------------------

bool TfMain::eventFilterDrop(QObject* watched, QEvent* event) {
    QAbstractItemView* view = nullptr;
    if (watched == lvFirmwareFiles->viewport()) view = lvFirmwareFiles;
    else if (watched == lvFirmwareIcons->viewport()) view = lvFirmwareIcons;
    if (!view) return false;
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
        default: return false;
    }
}

}  // namespace flashsmith::shell
