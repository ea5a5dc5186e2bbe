// The "File Manager" page: the phone's files beside the local file browser.
// The view owns the phone link's commands and its one session; every
// exchange waits inside the Qt event loop, so the window stays responsive
// while the controls that could start a second exchange are disabled.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "phonelink/PhoneSession.h"
#include "shell/ShellState.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QStandardItemModel;
class QStatusBar;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace flashsmith::shell {

class TfrFileMan;
class UserPrompts;

class TfrPhoneFileMan : public QWidget {
    Q_OBJECT
public:
    // logDir: the folder of "FileMan.log"; tempDir: where a JAR's manifest
    // is extracted while it is sent.
    TfrPhoneFileMan(ConnectionState& connection, UserPrompts& prompts, std::string logDir, std::string tempDir,
                    QWidget* parent = nullptr);
    ~TfrPhoneFileMan() override;

    // The commands.
    void aConnectExecute();
    void aDisconnectExecute();
    void aReloadFilesExecute();
    void aDownloadExecute();
    void aUploadExecute();
    void aDeleteExecute();
    void aUploadUpdate();
    void bReloadListClick();
    // The phone list's view style: 1 small icons, 2 icons, 3 list, 4 table.
    void SetListStyle(int tag);

    // Selects a tree node by caption ("My Phone", "Images", "Sounds", "Java").
    bool SelectNode(const QString& caption);
    // Selects the phone list's rows (list positions).
    void SelectRows(const std::vector<int>& rows);
    // The list's entries: caption, size and slot columns.
    int RowCount() const;
    QStringList Row(int row) const;

    // The main window's "Auto Refresh List": whether a batch ends by
    // reading the list again.
    void SetAutoRefresh(bool on) { autoRefresh_ = on; }

    flashsmith::phonelink::PhoneSession& Session() { return *session_; }

    QGroupBox* gbMyPhone = nullptr;
    QTreeWidget* tvPhoneDir = nullptr;
    QTreeWidgetItem* nodeMyPhone = nullptr;
    QTableView* lvPhoneFiles = nullptr;
    QListView* lvPhoneIcons = nullptr;  // the same list in the icon and list styles
    QWidget* pFirmwareSources = nullptr;
    QPushButton* bUpLoadFile = nullptr;
    QPushButton* bDownLoadFile = nullptr;
    QPushButton* bDeleteFile = nullptr;
    QPushButton* bReloadList = nullptr;
    QPushButton* bReplaceFile = nullptr;
    QComboBox* cbBlockSize = nullptr;
    QProgressBar* pbStatus = nullptr;
    QLabel* stParams = nullptr;
    TfrFileMan* frFileMan = nullptr;
    QStatusBar* sbFileMan = nullptr;
    QLabel* Panels[4] = {};
    QMenu* pmFileManlv = nullptr;

    QAction* aConnect = nullptr;
    QAction* aDisconnect = nullptr;
    QAction* aReloadFiles = nullptr;
    QAction* aDownload = nullptr;
    QAction* aUpload = nullptr;
    QAction* aDelete = nullptr;
    QAction* aReplace = nullptr;

private:
    // The builders of the constructor, in the order it runs them.
    void CreatePhoneTree(QSplitter* inner);
    void CreatePhoneList(QSplitter* inner);
    void CreateButtons();
    class Events;
    void CreateActions();
    void lvPhoneFilesSelectItem();
    // Kind of the selected node: 1 sounds, 2 pictures, 3 Java, 0 "My Phone"
    // or any other node, -1 with no node selected.
    int SelectedKind() const;
    std::vector<size_t> SelectedEntries() const;
    void FillList(int kind);
    // The list shown again from the cache after a batch that may have read it.
    void ShowListAgain(int kind);

    ConnectionState& conn_;
    UserPrompts& prompts_;
    std::string tempDir_;
    std::unique_ptr<Events> events_;
    std::unique_ptr<flashsmith::phonelink::PhoneSession> session_;
    QStandardItemModel* files_ = nullptr;
    QStackedWidget* listStack_ = nullptr;
    bool busy_ = false;  // a command is running its exchanges
    bool autoRefresh_ = false;
};

}  // namespace flashsmith::shell
