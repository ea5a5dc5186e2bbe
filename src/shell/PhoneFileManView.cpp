#include "shell/PhoneFileManView.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/CommandLink.h"
#include "shell/Controls.h"
#include "shell/FileManPane.h"
#include "shell/Icons.h"
#include "shell/LanguagePack.h"
#include "shell/QtProgress.h"
#include "shell/UserPrompts.h"

namespace flashsmith::shell {

namespace pl = flashsmith::phonelink;

namespace {

constexpr int kPanelWidths[4] = {120, 120, 180, 50};

int IconOfKind(int kind) {
    return kind == pl::kSounds ? kIconSound : kind == pl::kImages ? kIconPicture : kIconJava;
}

QString ConnectFailureText(pl::ConnectResult r) {
    switch (r) {
        case pl::ConnectResult::kPortError: return "Error while opening COM port";
        case pl::ConnectResult::kNoAnswer: return "Error! Phone does not answer (ATZ command)";
        case pl::ConnectResult::kNotSupported: return "Error! Phone Model not Supported";
        default: return {};
    }
}

}  // namespace

// The session's waits run inside the Qt event loop: a chunk from the port's
// reader thread is handed over by a queued call, and a wait slice ends on
// that call or on a timer, whichever comes first.
class TfrPhoneFileMan::Events : public pl::PhoneEvents {
public:
    explicit Events(TfrPhoneFileMan& view) : view_(view) { wake_.setSingleShot(true); }

    bool ProcessEvents(std::chrono::milliseconds maxWait) override {
        wake_.start(static_cast<int>(std::max<int64_t>(1, maxWait.count())));
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        wake_.stop();
        return true;
    }
    void ChunkWaiting() override {
        QMetaObject::invokeMethod(
            &view_, [v = &view_] { v->session_->DeliverPending(); }, Qt::QueuedConnection);
    }
    void Warning(const std::string& text) override {
        view_.prompts_.Warning(&view_, QString::fromStdString(text), "Warning!");
    }
    void Error(const std::string& text) override { view_.prompts_.Message(&view_, QString::fromStdString(text), ""); }
    void Status(int panel, const std::string& text) override {
        if (panel >= 0 && panel < 4) view_.Panels[panel]->setText(QString::fromStdString(text));
    }

private:
    TfrPhoneFileMan& view_;
    QTimer wake_;
};

TfrPhoneFileMan::TfrPhoneFileMan(ConnectionState& connection, UserPrompts& prompts, std::string logDir,
                                 std::string tempDir, QWidget* parent)
    : QWidget(parent), conn_(connection), prompts_(prompts), tempDir_(std::move(tempDir)) {
    setObjectName("frPhoneFileMan");
    setMinimumSize(640, 440);
    events_ = std::make_unique<Events>(*this);
    session_ = std::make_unique<pl::PhoneSession>(conn_, std::move(logDir), events_.get());
    CreateActions();

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    auto* split = new QSplitter(Qt::Horizontal, this);
    outer->addWidget(split, 1);

    gbMyPhone = new QGroupBox("Phone File Manager", split);
    gbMyPhone->setObjectName("gbMyPhone");
    gbMyPhone->setMinimumWidth(300);
    auto* gbLayout = new QVBoxLayout(gbMyPhone);
    gbLayout->setContentsMargins(4, 4, 4, 4);
    auto* inner = new QSplitter(Qt::Horizontal, gbMyPhone);
    gbLayout->addWidget(inner, 1);

    CreatePhoneTree(inner);
    CreatePhoneList(inner);
    // The tree holds four short captions; the names in the list need the room.
    inner->setStretchFactor(0, 0);
    inner->setStretchFactor(1, 1);
    inner->setSizes({100, 280});

    CreateButtons();
    gbLayout->addWidget(pFirmwareSources);

    // The local list picks several files to send; its style items have no command here.
    frFileMan = new TfrFileMan(split, false, true);
    frFileMan->setObjectName("frFileMan");
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    sbFileMan = new QStatusBar(this);
    sbFileMan->setObjectName("sbFileMan");
    // The last panel takes the rest, since file names and the memory figures
    // are wider than its 50 pixels.
    AddStatusPanels(sbFileMan, "FileManPanel", kPanelWidths, QWIDGETSIZE_MAX, Panels);
    outer->addWidget(sbFileMan);

    pmFileManlv = new QMenu(this);
    pmFileManlv->setObjectName("pmFileManlv");
    QAction* miDeleteFile = pmFileManlv->addAction(aDelete->text());
    miDeleteFile->setObjectName("miDeleteFile");
    connect(miDeleteFile, &QAction::triggered, aDelete, &QAction::trigger);
    pmFileManlv->addSeparator();
    AddListStyleItems(pmFileManlv, nullptr, [this](int tag) { SetListStyle(tag); });
}

void TfrPhoneFileMan::CreatePhoneTree(QSplitter* inner) {
    tvPhoneDir = new QTreeWidget(inner);
    tvPhoneDir->setObjectName("tvPhoneDir");
    tvPhoneDir->setHeaderHidden(true);
    tvPhoneDir->setRootIsDecorated(false);
    tvPhoneDir->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    nodeMyPhone = new QTreeWidgetItem(tvPhoneDir, {"My Phone"});
    nodeMyPhone->setIcon(0, ResourceIcon(kIconFirmware));
    const struct {
        const char* caption;
        int icon;
    } kinds[] = {{"Images", kIconPicture}, {"Sounds", kIconSound}, {"Java", kIconJava}};
    for (const auto& k : kinds) new QTreeWidgetItem(nodeMyPhone, {k.caption});
    for (int i = 0; i < 3; ++i) nodeMyPhone->child(i)->setIcon(0, ResourceIcon(kinds[i].icon));
    connect(tvPhoneDir, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
        if (node) node->setExpanded(true);
        aUploadUpdate();
        aReloadFiles->trigger();
    });
}

void TfrPhoneFileMan::CreatePhoneList(QSplitter* inner) {
    files_ = new QStandardItemModel(0, 3, this);
    files_->setHorizontalHeaderLabels({"Name", "Size", "Note"});
    listStack_ = new QStackedWidget(inner);
    auto* table = new QTableView(listStack_);
    table->setObjectName("lvPhoneFiles");
    table->setModel(files_);
    table->setShowGrid(true);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionsClickable(false);
    table->horizontalHeader()->setHighlightSections(false);
    // Names take what the figures leave, rather than being cut at 90 pixels.
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setMinimumSectionSize(40);
    table->setColumnWidth(0, 90);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->setColumnWidth(1, 60);
    table->setColumnWidth(2, 64);
    table->setWordWrap(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    lvPhoneFiles = table;
    lvPhoneIcons = new QListView(listStack_);
    lvPhoneIcons->setObjectName("lvPhoneIcons");
    lvPhoneIcons->setModel(files_);
    lvPhoneIcons->setSelectionModel(table->selectionModel());
    lvPhoneIcons->setMovement(QListView::Static);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(table), static_cast<QAbstractItemView*>(lvPhoneIcons)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QAbstractItemView::customContextMenuRequested, this,
                [this, v](const QPoint& pos) { pmFileManlv->popup(v->viewport()->mapToGlobal(pos)); });
    }
    listStack_->addWidget(table);
    listStack_->addWidget(lvPhoneIcons);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { lvPhoneFilesSelectItem(); });
}

void TfrPhoneFileMan::CreateButtons() {
    pFirmwareSources = new QWidget(gbMyPhone);
    pFirmwareSources->setObjectName("pFirmwareSources");
    auto* panel = new QGridLayout(pFirmwareSources);
    panel->setContentsMargins(0, 0, 0, 0);
    bUpLoadFile = MakeButton(aUpload->text(), "bUpLoadFile", pFirmwareSources);
    BindButton(bUpLoadFile, aUpload, false);
    bDownLoadFile = MakeButton("Download File", "bDownLoadFile", pFirmwareSources);
    BindButton(bDownLoadFile, aDownload, false);
    bDeleteFile = MakeButton(aDelete->text(), "bDeleteFile", pFirmwareSources);
    BindButton(bDeleteFile, aDelete, false);
    bReloadList = MakeButton("Reload List", "bReloadList", pFirmwareSources);
    connect(bReloadList, &QPushButton::clicked, this, &TfrPhoneFileMan::bReloadListClick);
    bReplaceFile = MakeButton("Replace File", "bReplaceFile", pFirmwareSources);
    bReplaceFile->hide();
    panel->addWidget(bUpLoadFile, 0, 0);
    panel->addWidget(bDownLoadFile, 0, 1);
    panel->addWidget(bDeleteFile, 1, 0);
    panel->addWidget(bReloadList, 1, 1);
    pbStatus = new QProgressBar(pFirmwareSources);
    pbStatus->setObjectName("pbStatus");
    pbStatus->setTextVisible(false);
    panel->addWidget(pbStatus, 2, 0, 1, 2);
    stParams = new QLabel(pFirmwareSources);
    stParams->setObjectName("stParams");
    MarkTextAsData(stParams);  // a status text the program writes
    panel->addWidget(stParams, 3, 0);
    cbBlockSize = new QComboBox(pFirmwareSources);
    cbBlockSize->setObjectName("cbBlockSize");
    cbBlockSize->addItems({"Auto", "128", "256", "512", "1024", "2048", "4096"});
    cbBlockSize->setCurrentIndex(0);
    panel->addWidget(cbBlockSize, 3, 1);
}

TfrPhoneFileMan::~TfrPhoneFileMan() {
    // The port's reader is joined before the events it notifies go away.
    session_.reset();
}

namespace {

// Disables a widget for the length of an operation and marks the view busy,
// so that nothing started from the event loop meanwhile runs a second
// exchange on the one session.
class Running {
public:
    Running(QWidget* w, bool& busy) : w_(w), busy_(busy) {
        busy_ = true;
        w_->setEnabled(false);
    }
    ~Running() {
        w_->setEnabled(true);
        busy_ = false;
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    QWidget* w_;
    bool& busy_;
};

}  // namespace

void TfrPhoneFileMan::CreateActions() {
    const struct {
        QAction*& action;
        const char* caption;
        const char* name;
        void (TfrPhoneFileMan::*run)();
    } commands[] = {
        {aConnect, "Connect", "aConnect", &TfrPhoneFileMan::aConnectExecute},
        {aDisconnect, "Disconnect", "aDisconnect", &TfrPhoneFileMan::aDisconnectExecute},
        {aReloadFiles, "Phone Reload", "aReloadFiles", &TfrPhoneFileMan::aReloadFilesExecute},
        {aDownload, "Download", "aDownload", &TfrPhoneFileMan::aDownloadExecute},
        {aUpload, "Upload", "aUpload", &TfrPhoneFileMan::aUploadExecute},
        {aDelete, "Delete", "aDelete", &TfrPhoneFileMan::aDeleteExecute},
        {aReplace, "Replace", "aReplace", nullptr},
    };
    for (const auto& c : commands) {
        c.action = MakeAction(c.caption, c.name, this);
        if (c.run) connect(c.action, &QAction::triggered, this, c.run);
    }
}

int TfrPhoneFileMan::SelectedKind() const {
    const QTreeWidgetItem* node = tvPhoneDir->currentItem();
    if (!node) return -1;
    const QString text = node->text(0);
    if (text == "Sounds") return pl::kSounds;
    if (text == "Images") return pl::kImages;
    if (text == "Java") return pl::kJava;
    return 0;
}

std::vector<size_t> TfrPhoneFileMan::SelectedEntries() const {
    std::vector<size_t> rows;
    for (const QModelIndex& i : lvPhoneFiles->selectionModel()->selectedRows(0))
        rows.push_back(static_cast<size_t>(i.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfrPhoneFileMan::FillList(int kind) {
    files_->removeRows(0, files_->rowCount());
    const QIcon icon = ResourceIcon(IconOfKind(kind));
    for (const pl::tPhoneFile& f : pl::PhoneList(conn_, kind)) {
        auto* name = new QStandardItem(icon, QString::fromStdString(pl::DisplayName(kind, f)));
        auto* size = new QStandardItem(QString::number(f.Size));
        auto* note = new QStandardItem(QString::number(f.Index));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        note->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        files_->appendRow({name, size, note});
    }
}

void TfrPhoneFileMan::aConnectExecute() {
    if (conn_.Connected || conn_.Busy) return;
    const pl::ConnectResult r = session_->Connect();
    if (r == pl::ConnectResult::kConnected) {
        tvPhoneDir->expandAll();
        return;
    }
    // Without a word the user could not tell a silent phone from a slow one.
    const QString why = ConnectFailureText(r);
    if (!why.isEmpty()) Panels[0]->setText(why);
}

void TfrPhoneFileMan::aDisconnectExecute() {
    // An exchange in progress ends first; pulling the port from under it
    // would leave the phone in the middle of a transfer.
    if (!conn_.Connected || busy_) return;
    session_->Disconnect();
    files_->removeRows(0, files_->rowCount());
    stParams->clear();
}

void TfrPhoneFileMan::aReloadFilesExecute() {
    if (!conn_.Connected || busy_) return;
    const int kind = SelectedKind();
    if (kind < 0) return;
    bool ok;
    {
        Running running(gbMyPhone, busy_);
        files_->removeRows(0, files_->rowCount());
        stParams->clear();
        QtProgress progress(pbStatus);
        ok = session_->ReadPhoneList(kind, progress);
        if (ok && kind > 0) FillList(kind);
    }
    if (ok) Panels[3]->setText(QString::fromStdString(pl::MemoryText(conn_)));
}

void TfrPhoneFileMan::bReloadListClick() {
    const int kind = SelectedKind();
    if (kind <= 0) return;
    if (busy_) return;
    pl::PhoneList(conn_, kind).clear();
    aReloadFiles->trigger();
}

void TfrPhoneFileMan::ShowListAgain(int kind) {
    if (SelectedKind() == kind) FillList(kind);
}

void TfrPhoneFileMan::aDownloadExecute() {
    if (!conn_.Connected || busy_) return;
    const int kind = SelectedKind();
    const QStringList paths = frFileMan->SelectedPaths();
    if (kind <= 0 || paths.isEmpty()) return;
    const bool refresh = autoRefresh_;
    pl::SendBatchResult result;
    {
        Running running(this, busy_);
        const int block = pl::BlockSizeFromChoice(cbBlockSize->currentText().toStdString(), conn_.BlockSize);
        std::vector<std::string> files;
        for (const QString& p : paths) files.push_back(p.toStdString());
        QtProgress progress(pbStatus);
        result = session_->SendFilesToPhone(kind, files, block, refresh, tempDir_, progress);
    }
    for (size_t i = 0; i < result.Codes.size() && i < static_cast<size_t>(paths.size()); ++i)
        if (result.Codes[i] == pl::kSendOk) frFileMan->Deselect(paths[static_cast<qsizetype>(i)]);
    if (refresh && result.Sent > 0) ShowListAgain(kind);
}

void TfrPhoneFileMan::aDeleteExecute() {
    if (!conn_.Connected || busy_) return;
    const int kind = SelectedKind();
    const std::vector<size_t> selected = SelectedEntries();
    if (kind <= 0 || selected.empty()) return;
    const bool refresh = autoRefresh_;
    std::vector<pl::DeleteOutcome> outcomes;
    {
        Running running(this, busy_);
        QtProgress progress(pbStatus);
        outcomes = session_->DeletePhoneFiles(kind, selected, refresh, progress);
    }
    if (refresh) {
        ShowListAgain(kind);
        return;
    }
    // Entries the phone gave no confirmation for stay selected.
    auto* sel = lvPhoneFiles->selectionModel();
    for (size_t i = 0; i < outcomes.size() && i < selected.size(); ++i)
        if (outcomes[i] != pl::DeleteOutcome::kGaveUp)
            sel->select(files_->index(static_cast<int>(selected[i]), 0),
                        QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void TfrPhoneFileMan::aUploadExecute() {
    if (!conn_.Connected || busy_) return;
    if (SelectedKind() != pl::kJava) return;
    const QString folder = frFileMan->SelectedFolder();
    if (folder.isEmpty()) return;
    const std::vector<size_t> selected = SelectedEntries();
    Running running(this, busy_);
    QtProgress progress(pbStatus);
    session_->ReadJavaFromPhone(selected, folder.toStdString(), progress);
}

void TfrPhoneFileMan::aUploadUpdate() {
    if (const QTreeWidgetItem* node = tvPhoneDir->currentItem()) aUpload->setEnabled(node->text(0) == "Java");
}

void TfrPhoneFileMan::lvPhoneFilesSelectItem() {
    const QModelIndex current = lvPhoneFiles->selectionModel()->currentIndex();
    if (!current.isValid() || !lvPhoneFiles->selectionModel()->isRowSelected(current.row(), {})) return;
    const int row = current.row();
    stParams->setText("  Size: " + files_->item(row, 1)->text() + "  Index: " + files_->item(row, 2)->text());
}

void TfrPhoneFileMan::SetListStyle(int tag) { ShowListStyle(listStack_, lvPhoneFiles, lvPhoneIcons, tag, {80, 64}); }

bool TfrPhoneFileMan::SelectNode(const QString& caption) {
    const auto found = tvPhoneDir->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) return false;
    tvPhoneDir->setCurrentItem(found.first());
    return true;
}

void TfrPhoneFileMan::SelectRows(const std::vector<int>& rows) {
    auto* sel = lvPhoneFiles->selectionModel();
    sel->clearSelection();
    for (int r : rows) {
        const QModelIndex i = files_->index(r, 0);
        sel->setCurrentIndex(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

int TfrPhoneFileMan::RowCount() const { return files_->rowCount(); }

QStringList TfrPhoneFileMan::Row(int row) const {
    QStringList out;
    for (int c = 0; c < 3; ++c) out << files_->item(row, c)->text();
    return out;
}

}  // namespace flashsmith::shell
