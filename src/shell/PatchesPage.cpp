#include "shell/PatchesPage.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTextEdit>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <deque>
#include <functional>

#include "base/Cp1251.h"
#include "base/Text.h"
#include "patches/PatchExport.h"
#include "patches/PatchReader.h"
#include "patches/PatchStatus.h"
#include "shell/CBTreeView.h"
#include "shell/CommandLink.h"
#include "shell/Controls.h"
#include "shell/QtProgress.h"
#include "shell/QtText.h"
#include "shell/UserPrompts.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::patches;
using namespace flashsmith::xml;

namespace {

constexpr int kElementRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole + 2;
constexpr int kFirmwaresRole = Qt::UserRole + 3;  // the "firmware" of every part
constexpr int kInstalledColumn = 4;

bool SameNoCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

TfrPatche::TfrPatche(FirmwareState& state, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), state_(state), prompts_(prompts) {
    setObjectName("frPatches");

    CreatePatchList();
    CreateListButtons();
    CreatePatchView();

    // Left: the list with its buttons; right: the selected patch.
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lvPatches, 1);
    auto* rowButtons = new QGridLayout;
    rowButtons->addWidget(bPatchOpen, 0, 0);
    rowButtons->addWidget(bPatchSel, 0, 1);
    rowButtons->addWidget(bPatchUnSel, 0, 2);
    rowButtons->addWidget(bPatchApply, 1, 0, 1, 2);
    rowButtons->addWidget(bPatchCancel, 1, 2);
    leftLayout->addLayout(rowButtons);
    leftLayout->addWidget(CheckBox1);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(reAboutPatch);
    rightLayout->addWidget(tvSPFNodes, 1);
    auto* exportRow = new QHBoxLayout;
    exportRow->addWidget(cbViewAllData);
    exportRow->addWidget(pbStatus, 1);
    exportRow->addWidget(bSPFConvert, 0, Qt::AlignRight);
    rightLayout->addLayout(exportRow);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({380, 380});
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split);

    connect(bPatchOpen, &QPushButton::clicked, this, &TfrPatche::bPatchOpenClick);
    connect(bPatchSel, &QPushButton::clicked, this, &TfrPatche::bPatchSelClick);
    connect(bPatchUnSel, &QPushButton::clicked, this, &TfrPatche::bPatchUnSelClick);
    connect(bSPFConvert, &QPushButton::clicked, this, &TfrPatche::bSPFConvertClick);
    aApplyPatchesUpdate();
}

void TfrPatche::CreatePatchList() {
    lvPatches = new QTreeWidget(this);
    lvPatches->setObjectName("lvPatches");
    lvPatches->setRootIsDecorated(false);
    lvPatches->setAllColumnsShowFocus(true);
    lvPatches->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvPatches->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPatches->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvPatches->setAlternatingRowColors(true);
    lvPatches->setHeaderLabels({"", "Patch Name", "Version", "Group", "Installed"});
    const int widths[] = {22, 256, 60, 88, 56};
    for (int i = 0; i < 5; ++i) lvPatches->setColumnWidth(i, widths[i]);
    lvPatches->header()->setStretchLastSection(false);
    lvPatches->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    connect(lvPatches, &QTreeWidget::itemSelectionChanged, this, [this] {
        const auto rows = lvPatches->selectedItems();
        lvPatchesSelectItem(rows.isEmpty() ? nullptr : rows.front());
    });
}

void TfrPatche::CreateListButtons() {
    // "&&" shows one ampersand.
    bPatchOpen = MakeButton("Open && Append Patch", "bPatchOpen", this);
    bPatchSel = MakeButton("Sel All", "bPatchSel", this);
    bPatchUnSel = MakeButton("UnSel All", "bPatchUnSel", this);
    aApplyPatches = MakeAction("Apply Patch(es) to Opened Firmware", "aApplyPatches", this);
    aCancelPatches = MakeAction("Cancel Selected Patch(es)", "aCancelPatches", this);
    bPatchApply = MakeButton(aApplyPatches->text(), "bPatchApply", this);
    bPatchCancel = MakeButton(aCancelPatches->text(), "bPatchCancel", this);
    // Applying goes through File > Open SPF, one ticked patch after the
    // other; cancelling takes back what those applications brought.
    connect(aApplyPatches, &QAction::triggered, this, &TfrPatche::aApplyPatchesExecute);
    connect(aCancelPatches, &QAction::triggered, this, &TfrPatche::aCancelPatchesExecute);
    BindButton(bPatchApply, aApplyPatches, false);
    BindButton(bPatchCancel, aCancelPatches, false);
    CheckBox1 = new QCheckBox("View All Patches", this);
    CheckBox1->setObjectName("CheckBox1");
    connect(CheckBox1, &QCheckBox::toggled, this, &TfrPatche::UpdateRows);
}

void TfrPatche::CreatePatchView() {
    reAboutPatch = new QTextEdit(this);
    reAboutPatch->setObjectName("reAboutPatch");
    reAboutPatch->setReadOnly(true);
    reAboutPatch->setFrameShape(QFrame::NoFrame);
    reAboutPatch->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    reAboutPatch->setFixedHeight(70);

    tvSPFNodes = new TCBTreeView(this);
    tvSPFNodes->setObjectName("tvSPFNodes");
    tvSPFNodes->SetCheckToChilds = true;
    tvSPFNodes->setEditTriggers(QAbstractItemView::NoEditTriggers);

    cbViewAllData = new QCheckBox("View All Data in Patch", this);
    cbViewAllData->setObjectName("cbViewAllData");
    bSPFConvert = MakeButton("Save  to s3 File", "bSPFConvert", this);
    pbStatus = new QProgressBar(this);
    pbStatus->setObjectName("pbStatus");
    pbStatus->setTextVisible(false);
    // Only an export shows it.
    pbStatus->hide();
}

const TGmXmlNode* TfrPatche::NodeElement(const QTreeWidgetItem* node) {
    return node ? reinterpret_cast<const TGmXmlNode*>(node->data(0, kElementRole).value<quintptr>()) : nullptr;
}

QString TfrPatche::RowPath(const QTreeWidgetItem* row) { return row ? row->data(0, kPathRole).toString() : QString(); }

void TfrPatche::aApplyPatchesUpdate() {
    aApplyPatches->setEnabled(state_.FirmwareLoaded);
    aCancelPatches->setEnabled(state_.FirmwareLoaded);
}

void TfrPatche::aApplyPatchesExecute() {
    if (!state_.FirmwareLoaded) return;
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvPatches->topLevelItem(i);
        if (row->checkState(0) == Qt::Checked && RowFits(row) && QFileInfo(RowPath(row)).isFile())
            emit applyPatchRequested(RowPath(row), &Journal);
    }
}

void TfrPatche::aCancelPatchesExecute() {
    if (!state_.FirmwareLoaded) return;
    std::vector<std::string> paths;
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvPatches->topLevelItem(i);
        if (row->checkState(0) == Qt::Checked) paths.push_back(QFile::encodeName(RowPath(row)).toStdString());
    }
    if (Journal.Cancel(state_, paths).Patches > 0) emit patchesCancelled();
}

bool TfrPatche::RowFits(const QTreeWidgetItem* row) const {
    if (!state_.FirmwareLoaded) return true;
    const QString version = QString::fromStdString(std::string(TrimBlanks(state_.FirmwareDescription.Version)));
    for (const QString& fw : row->data(0, kFirmwaresRole).toStringList())
        if (fw.compare(version, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void TfrPatche::UpdateRows() {
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lvPatches->topLevelItem(i);
        const bool fits = RowFits(row);
        row->setHidden(!fits && !CheckBox1->isChecked());
        // Another firmware's patch is shown, greyed, but cannot be ticked.
        Qt::ItemFlags flags = row->flags();
        if (fits) flags |= Qt::ItemIsUserCheckable;
        else flags &= ~Qt::ItemIsUserCheckable;
        if (!fits) row->setCheckState(0, Qt::Unchecked);
        row->setFlags(flags);
        const QString firmware = "Firmware: " + row->data(0, kFirmwaresRole).toStringList().join(", ");
        for (int c = 0; c < lvPatches->columnCount(); ++c) {
            row->setData(c, Qt::ForegroundRole, fits ? QVariant() : QVariant(grey));
            row->setToolTip(c, fits ? QString() : firmware);
        }
        row->setToolTip(1, fits ? RowPath(row) : RowPath(row) + "\n" + firmware);
    }
}

struct TfrPatche::Worker {
    QThread* thread = nullptr;
    std::atomic<bool> cancel{false};
};

TfrPatche::~TfrPatche() {
    // The workers post to this page: they end before it does.
    const auto workers = workers_;
    for (const auto& w : workers) w->cancel = true;
    for (const auto& w : workers) {
        w->thread->wait();
        delete w->thread;
    }
}

bool TfrPatche::InstalledPending() const { return installedPending_; }

void TfrPatche::FirmwareChanged() {
    Journal.Reset(state_);
    UpdateRows();
    RefreshInstalled();
}

void TfrPatche::RefreshInstalled() {
    // Results of an earlier run are for another image: dropped.
    ++installedGeneration_;
    for (const auto& w : workers_) w->cancel = true;
    std::vector<std::pair<int, QString>> jobs;
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i) {
        lvPatches->topLevelItem(i)->setText(kInstalledColumn, QString());
        jobs.emplace_back(i, RowPath(lvPatches->topLevelItem(i)));
    }
    installedPending_ = false;
    if (!state_.FirmwareLoaded || !state_.FirmwareFile || jobs.empty()) {
        emit installedProgress(0, 0);
        return;
    }
    installedPending_ = true;
    emit installedProgress(0, static_cast<int>(jobs.size()));
    auto worker = std::make_shared<Worker>();
    Worker* w = worker.get();
    const std::shared_ptr<const BinFile> image = state_.FirmwareFile;
    const std::string version(TrimBlanks(state_.FirmwareDescription.Version));
    const quint64 generation = installedGeneration_;
    const int total = static_cast<int>(jobs.size());
    w->thread = QThread::create([this, w, image, version, generation, jobs, total] {
        int done = 0;
        for (const auto& job : jobs) {
            if (w->cancel) return;
            const int row = job.first;
            const QString& path = job.second;
            QString text;
            TGmXML doc;
            if (doc.LoadFile(QFile::encodeName(path).toStdString()))
                if (const auto patch = ReadPatch(doc))
                    text = PatchInstalledText(GetPatchStatus(*patch, *image, version).Installed);
            ++done;
            QMetaObject::invokeMethod(
                this, [this, generation, row, text, done, total] { InstalledResult(generation, row, text, done, total); },
                Qt::QueuedConnection);
        }
    });
    connect(w->thread, &QThread::finished, this, [this, w] {
        const auto it = std::find_if(workers_.begin(), workers_.end(), [w](const auto& p) { return p.get() == w; });
        if (it == workers_.end()) return;
        w->thread->deleteLater();
        workers_.erase(it);
    });
    workers_.push_back(worker);
    w->thread->start();
}

void TfrPatche::InstalledResult(quint64 generation, int row, const QString& text, int done, int total) {
    if (generation != installedGeneration_) return;
    if (QTreeWidgetItem* item = lvPatches->topLevelItem(row)) item->setText(kInstalledColumn, text);
    if (done == total) installedPending_ = false;
    emit installedProgress(done, total);
}

void TfrPatche::bPatchOpenClick() {
    const auto path = prompts_.OpenFile(this, "Samsung Patch Files|*.spf", QString());
    if (path) AppendPatch(*path);
}

bool TfrPatche::AppendPatch(const QString& path) {
    // A scratch document: xmlData keeps the selected patch the tree refers to.
    TGmXML doc;
    if (!doc.LoadFile(QFile::encodeName(path).toStdString())) return false;
    const TGmXmlNode* patch = FindPatchElement(doc);
    if (!patch) return false;
    const PatchInfo info = ReadPatchInfo(*patch);
    if (!info.node || !info.hasName) return false;
    const QString name = FromAnsi(info.name), version = FromAnsi(info.version);
    // Each name and version is listed once.
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvPatches->topLevelItem(i);
        if (row->text(1) == name && row->text(2) == version) return false;
    }
    auto* row = new QTreeWidgetItem(QStringList{QString(), name, version, FromAnsi(info.group), QString()});
    row->setFlags((row->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
    row->setCheckState(0, Qt::Unchecked);
    row->setData(0, kPathRole, path);
    QStringList firmwares;
    if (const auto contents = ReadPatch(doc))
        for (const PatchDataSection& section : contents->sections)
            if (section.hasFirmware) firmwares << FromAnsi(std::string(TrimBlanks(section.firmware)));
    row->setData(0, kFirmwaresRole, firmwares);
    lvPatches->addTopLevelItem(row);
    UpdateRows();
    RefreshInstalled();
    return true;
}

void TfrPatche::bPatchSelClick() {
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i)
        if (RowFits(lvPatches->topLevelItem(i))) lvPatches->topLevelItem(i)->setCheckState(0, Qt::Checked);
}

void TfrPatche::bPatchUnSelClick() {
    for (int i = 0; i < lvPatches->topLevelItemCount(); ++i)
        lvPatches->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
}

void TfrPatche::Clear() {
    tvSPFNodes->clear();
    reAboutPatch->clear();
    xmlData.Nodes().Clear();
}

void TfrPatche::lvPatchesSelectItem(QTreeWidgetItem* row) {
    Clear();
    if (!row) {
        // Nothing is shown, so nothing stays selected: picking the same
        // patch again shows it for the firmware now open.
        const QSignalBlocker block(lvPatches);
        lvPatches->clearSelection();
        lvPatches->setCurrentItem(nullptr);
        return;
    }
    const QString path = RowPath(row);
    if (!QFileInfo(path).isFile()) return;
    if (!xmlData.LoadFile(QFile::encodeName(path).toStdString())) return;
    const TGmXmlNode* patch = FindPatchElement(xmlData);
    if (!patch) return;
    const PatchInfo info = ReadPatchInfo(*patch);
    if (info.hasAbout) reAboutPatch->append(FromAnsi(info.description));
    QStringList nicks;
    for (const PatchAuthor& a : info.authors)
        if (a.hasNick) nicks << FromAnsi(a.nick);
    // A patch without authors shows "Autors".
    const QString authors = nicks.isEmpty() ? QString("Autors") : "Autors: " + nicks.join(", ");
    reAboutPatch->setTextColor(QColor(0, 128, 0));
    reAboutPatch->append(authors);
    reAboutPatch->setTextColor(palette().color(QPalette::Text));
    FillTree();
}

void TfrPatche::FillTree() {
    const TGmXmlNode* patch = FindPatchElement(xmlData);
    if (!patch) return;
    if (cbViewAllData->isChecked() || !state_.FirmwareLoaded) {
        AddElementNode(*patch, nullptr);
    } else {
        // Only the parts made for the open firmware. Each top-level node goes
        // in front, so the first matching part shows last element first; a
        // further matching part hangs under the top node of that moment.
        // The export walks this tree, so it also fixes the export's order.
        bool first = true;
        for (const auto& child : patch->Children()) {
            const TGmXmlAttribute* fw = child->Attributes().AttributeByName("firmware");
            if (!fw || !SameNoCase(fw->Value(), state_.FirmwareDescription.Version)) continue;
            QTreeWidgetItem* under = first ? nullptr : tvSPFNodes->topLevelItem(0);
            for (const auto& element : child->Children()) AddElementNode(*element, under, under ? 2 : 1);
            first = false;
        }
    }
    tvSPFNodes->expandAll();
    if (tvSPFNodes->topLevelItemCount() > 0) tvSPFNodes->scrollToTop();
}

void TfrPatche::AddElementNode(const TGmXmlNode& element, QTreeWidgetItem* parent, int depth) {
    auto* node = new QTreeWidgetItem(QStringList{FromAnsi(element.OpenTagText())});
    node->setData(0, kElementRole, QVariant::fromValue(reinterpret_cast<quintptr>(&element)));
    node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    const TGmXmlNode* up = element.Parent();
    const bool boxless = SameNoCase(element.Name(), "info") ||
                         (up && (SameNoCase(up->Name(), "info") || SameNoCase(up->Name(), "resource") ||
                                 SameNoCase(up->Name(), "binary")));
    TCBTreeView::SetStateIndex(node, boxless ? 0 : 2);
    if (parent) parent->addChild(node);
    else tvSPFNodes->insertTopLevelItem(0, node);
    // What a patch holds lies a few levels deep; deeper elements are not
    // shown, which keeps every walk over the tree shallow however deeply a
    // file nests.
    if (depth >= kMaxTreeDepth) return;
    for (const auto& child : element.Children()) AddElementNode(*child, node, depth + 1);
}

void TfrPatche::bSPFConvertClick() {
    const auto rows = lvPatches->selectedItems();
    if (rows.isEmpty() || !QFileInfo(RowPath(rows.front())).isFile()) return;
    setEnabled(false);
    // Ticked resource and binary nodes, top to bottom, parents before children.
    std::deque<PatchResource> resources;
    std::vector<const PatchResource*> selected;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* node) {
        const TGmXmlNode* element = NodeElement(node);
        if (element && TCBTreeView::Checked(node) &&
            (SameNoCase(element->Name(), "resource") || SameNoCase(element->Name(), "binary"))) {
            resources.push_back(ReadPatchResource(*element));
            selected.push_back(&resources.back());
        }
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
    };
    for (int i = 0; i < tvSPFNodes->topLevelItemCount(); ++i) walk(tvSPFNodes->topLevelItem(i));

    const PatchExportStatus check = CheckPatchExport(selected, &state_);
    if (check != PatchExportStatus::Ok) {
        prompts_.Message(this, PatchExportStatusText(check), "Error!");
        setEnabled(true);
        return;
    }
    const auto path = prompts_.SaveFile(this, "Motorola S-record files|*.s3;*.sre;", QString());
    if (!path) {
        setEnabled(true);
        return;
    }
    pbStatus->setValue(0);
    pbStatus->show();
    PatchExportResult r;
    {
        QtProgress progress(pbStatus);
        r = ExportPatchToS3(selected, &state_, QFile::encodeName(*path).toStdString(), progress);
    }
    pbStatus->hide();
    setEnabled(true);
    // A file that could not be written is said so; an earlier one is intact.
    if (r.Status == PatchExportStatus::OutputFailed)
        prompts_.Message(this, QString::fromStdString(r.Error), "Error!");
}

}  // namespace flashsmith::shell
