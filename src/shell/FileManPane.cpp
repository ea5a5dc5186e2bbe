#include "shell/FileManPane.h"

#include <QDir>
#include <algorithm>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeView>
#include <functional>

#include "shell/Controls.h"

namespace flashsmith::shell {

namespace {

// Adds the pane's own marker to the usual file URLs of a drag.
class LocalFilesModel : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;
    QMimeData* mimeData(const QModelIndexList& indexes) const override {
        QMimeData* data = QFileSystemModel::mimeData(indexes);
        for (const QModelIndex& i : indexes) {
            if (i.column() != 0) continue;
            data->setData(kLocalFileMime, filePath(i).toUtf8());
            break;
        }
        return data;
    }
};

}  // namespace

TfrFileMan::TfrFileMan(QWidget* parent, bool styleMenu, bool multiSelect)
    : QGroupBox("Computer Files", parent), styleMenu_(styleMenu) {
    setObjectName("gbFileManager");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(Splitter1);

    dirs_ = new QFileSystemModel(this);
    dirs_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    dirs_->setRootPath("/");
    ShellTreeView = new QTreeView(Splitter1);
    ShellTreeView->setObjectName("ShellTreeView");
    ShellTreeView->setModel(dirs_);
    for (int c = 1; c < dirs_->columnCount(); ++c) ShellTreeView->hideColumn(c);
    ShellTreeView->setHeaderHidden(true);
    ShellTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    // A right click selects, as a left one does.
    connect(ShellTreeView, &QTreeView::customContextMenuRequested, this, [this](const QPoint& pos) {
        QModelIndex i = ShellTreeView->indexAt(pos);
        if (i.isValid()) ShellTreeView->setCurrentIndex(i);
    });

    files_ = new LocalFilesModel(this);
    files_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
    files_->setRootPath(QDir::homePath());
    listStack_ = new QStackedWidget(Splitter1);

    ShellListView = new QTreeView(listStack_);
    ShellListView->setObjectName("ShellListView");
    ShellListView->setModel(files_);
    ShellListView->setRootIsDecorated(false);
    ShellListView->setItemsExpandable(false);
    ShellListView->setSortingEnabled(true);
    ShellListView->sortByColumn(0, Qt::AscendingOrder);
    ShellListView->setAllColumnsShowFocus(true);
    ShellListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ShellListView->setDragEnabled(true);
    ShellListView->setDragDropMode(QAbstractItemView::DragOnly);
    ShellListView->header()->resizeSection(0, 150);
    ShellListView->header()->resizeSection(1, 70);

    ShellListIcons = new QListView(listStack_);
    ShellListIcons->setObjectName("ShellListIcons");
    ShellListIcons->setModel(files_);
    ShellListIcons->setSelectionModel(ShellListView->selectionModel());
    ShellListIcons->setDragEnabled(true);
    ShellListIcons->setDragDropMode(QAbstractItemView::DragOnly);
    ShellListIcons->setMovement(QListView::Static);

    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(ShellListView),
                                  static_cast<QAbstractItemView*>(ShellListIcons)}) {
        v->setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::SingleSelection);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QAbstractItemView::customContextMenuRequested, this,
                [this, v](const QPoint& pos) { pmFileMan->popup(v->viewport()->mapToGlobal(pos)); });
        // Opening a folder in the list moves the tree along.
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
            if (files_->isDir(i)) SetFolder(files_->filePath(i));
        });
    }
    listStack_->addWidget(ShellListView);
    listStack_->addWidget(ShellListIcons);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 2);


    pmFileMan = new QMenu(this);
    const char* names[] = {"SmallIcons1", "Icons1", "List1", "able1"};
    AddListStyleItems(pmFileMan, names, styleMenu_ ? std::function<void(int)>([this](int tag) { SetViewStyle(tag); })
                                                   : std::function<void(int)>());

    connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { ShowFolderOfTree(); });
    SetFolder(QDir::homePath());
}

void TfrFileMan::showEvent(QShowEvent* e) {
    QGroupBox::showEvent(e);
    if (shown_) return;
    shown_ = true;
    // The files get the larger part: their names are what the user picks.
    const int w = Splitter1->width();
    Splitter1->setSizes({w * 2 / 5, w - w * 2 / 5});
}

void TfrFileMan::ShowFolderOfTree() {
    const QString path = dirs_->filePath(ShellTreeView->currentIndex());
    if (path.isEmpty()) return;
    const QModelIndex root = files_->setRootPath(path);
    ShellListView->setRootIndex(root);
    ShellListIcons->setRootIndex(root);
}

QString TfrFileMan::CurrentFolder() const { return files_->rootPath(); }

void TfrFileMan::SetFolder(const QString& path) {
    const QModelIndex i = dirs_->index(path);
    if (i.isValid()) {
        ShellTreeView->setCurrentIndex(i);
        ShellTreeView->scrollTo(i);
    }
    // The tree may not know the folder yet (hidden folders): show it anyway.
    if (files_->rootPath() != path) {
        const QModelIndex root = files_->setRootPath(path);
        ShellListView->setRootIndex(root);
        ShellListIcons->setRootIndex(root);
    }
}

QString TfrFileMan::SelectedPath() const {
    const QModelIndexList rows = ShellListView->selectionModel()->selectedIndexes();
    for (const QModelIndex& i : rows)
        if (i.column() == 0) return files_->filePath(i);
    return {};
}

bool TfrFileMan::Lists(const QString& path) const { return files_->index(path).isValid(); }

void TfrFileMan::SelectPath(const QString& path) {
    const QModelIndex i = files_->index(path);
    if (!i.isValid()) return;
    ShellListView->selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QStringList TfrFileMan::SelectedPaths() const {
    QModelIndexList rows = ShellListView->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList out;
    for (const QModelIndex& i : rows) out << files_->filePath(i);
    return out;
}

void TfrFileMan::AddToSelection(const QString& path) {
    const QModelIndex i = files_->index(path);
    if (i.isValid()) ShellListView->selectionModel()->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TfrFileMan::Deselect(const QString& path) {
    const QModelIndex i = files_->index(path);
    if (i.isValid())
        ShellListView->selectionModel()->select(i, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

QString TfrFileMan::SelectedFolder() const {
    const QModelIndex i = ShellTreeView->currentIndex();
    // A folder the tree does not show (hidden) is still the list's folder.
    return i.isValid() ? dirs_->filePath(i) : files_->rootPath();
}

void TfrFileMan::SetViewStyle(int tag) {
    style_ = ShowListStyle(listStack_, ShellListView, ShellListIcons, tag, {80, 64});
    ShellListIcons->setDragEnabled(true);  // setViewMode resets it
}

}  // namespace flashsmith::shell
