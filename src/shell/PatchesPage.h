// The "Patches" page: a list of patch files, the description, authors and
// element tree of the selected one, and the export of its ticked resources
// to an S-record file. It never changes a patch file or the firmware.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "firmware/Variables.h"
#include "xml/GmXml.h"

class QAction;
class QCheckBox;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace fs::shell {

class TCBTreeView;
class UserPrompts;

class TfrPatche : public QWidget {
    Q_OBJECT
public:
    TfrPatche(FirmwareState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    // "Open && Append Patch": asks for a file, then AppendPatch.
    void bPatchOpenClick();
    // Lists a patch file unless it is no patch, lacks its name, or a row
    // with the same name and version is already there; false then.
    bool AppendPatch(const QString& path);
    // Shows the patch of row (nullptr: none), filling the tree from the
    // document; the open command calls it with none to empty the view.
    void lvPatchesSelectItem(QTreeWidgetItem* row);
    void bPatchSelClick();
    void bPatchUnSelClick();
    // "Save  to s3 File": the ticked resources into an S-record file.
    void bSPFConvertClick();
    // Applies the patch of every ticked row, top to bottom, through
    // ApplyPatchFile (the main window's Open SPF).
    void aApplyPatchesExecute();
    std::function<void(const QString& path)> ApplyPatchFile;
    // Enables the apply and cancel commands while a firmware is open.
    void aApplyPatchesUpdate();
    // Empties the tree and the document (at close).
    void Clear();

    // The element a tree node refers to; null for none.
    static const TGmXmlNode* NodeElement(const QTreeWidgetItem* node);
    // The file a list row stands for.
    static QString RowPath(const QTreeWidgetItem* row);

    QTreeWidget* lvPatches = nullptr;
    QPushButton* bPatchOpen = nullptr;
    QPushButton* bPatchSel = nullptr;
    QPushButton* bPatchUnSel = nullptr;
    QPushButton* bPatchApply = nullptr;
    QPushButton* bPatchCancel = nullptr;
    QAction* aApplyPatches = nullptr;
    QAction* aCancelPatches = nullptr;
    QTextEdit* reAboutPatch = nullptr;
    TCBTreeView* tvSPFNodes = nullptr;
    QCheckBox* cbViewAllData = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* bSPFConvert = nullptr;
    QProgressBar* pbStatus = nullptr;
    TGmXML xmlData;

private:
    void FillTree();
    // Levels of the element tree shown, the top level being 1.
    static constexpr int kMaxTreeDepth = 16;
    void AddElementNode(const TGmXmlNode& element, QTreeWidgetItem* parent, int depth = 1);

    FirmwareState& state_;
    UserPrompts& prompts_;
};

}  // namespace fs::shell
