// "Computer Files": a local folder tree and the files of the chosen folder.
// Files dragged out of its list carry their path under kLocalFileMime, which
// is how drop targets know a drag comes from this pane's list.
#pragma once

#include <QGroupBox>

#include "shell/Controls.h"

class QFileSystemModel;
class QListView;
class QMenu;
class QSplitter;
class QStackedWidget;
class QTreeView;

namespace flashsmith::shell {

inline constexpr const char* kLocalFileMime = "application/x-flashsmith-local-file";

class TfrFileMan : public QGroupBox {
    Q_OBJECT
public:
    // styleMenu: whether the list's pop-up items change its view style (the
    // phone file manager's copy leaves them without a command).
    explicit TfrFileMan(QWidget* parent = nullptr, bool styleMenu = true, bool multiSelect = false);

    // The folder whose content the list shows.
    QString CurrentFolder() const;
    void SetFolder(const QString& path);
    // Full path of the list's selected item ("" when none).
    QString SelectedPath() const;
    void SelectPath(const QString& path);
    // Every selected item of the list, in the list's order; adding to the
    // selection and taking an item out of it.
    QStringList SelectedPaths() const;
    void AddToSelection(const QString& path);
    void Deselect(const QString& path);
    // The folder chosen in the tree ("" when none).
    QString SelectedFolder() const;
    // Whether the list shows path yet: a folder's files arrive from a
    // background reader after SetFolder.
    bool Lists(const QString& path) const;

    enum ViewStyle { kSmallIcons = kSmallIconsStyle, kIcons = kIconsStyle, kList = kListStyle, kReport = kReportStyle };
    void SetViewStyle(int tag);
    int ViewStyleTag() const { return style_; }

    QTreeView* ShellTreeView = nullptr;
    QListView* ShellListIcons = nullptr;  // small icons, icons and list styles
    QTreeView* ShellListView = nullptr;   // report style
    QMenu* pmFileMan = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool shown_ = false;
    QFileSystemModel* dirs_ = nullptr;
    QFileSystemModel* files_ = nullptr;
    QStackedWidget* listStack_ = nullptr;
    QSplitter* Splitter1 = nullptr;
    bool styleMenu_;
    int style_ = kReport;
    void ShowFolderOfTree();
};

}  // namespace flashsmith::shell
