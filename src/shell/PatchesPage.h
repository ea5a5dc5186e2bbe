// The "Patches" page: a list of patch files, the description, authors and
// element tree of the selected one, and the export of its ticked resources
// to an S-record file. It never changes a patch file or the firmware.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "firmware/Variables.h"
#include "patches/AppliedPatches.h"
#include "xml/GmXml.h"

class QAction;
class QCheckBox;
class QProgressBar;
class QThread;
class QPushButton;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace flashsmith::shell {

class TCBTreeView;
class UserPrompts;

class TfrPatche : public QWidget {
    Q_OBJECT
public:
    TfrPatche(firmware::FirmwareState& state, UserPrompts& prompts, QWidget* parent = nullptr);
    ~TfrPatche() override;

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
    // Applies the patch of every ticked row made for the open firmware, top
    // to bottom, through applyPatchRequested (the main window's Open SPF),
    // which records it in Journal.
    void aApplyPatchesExecute();
    // Takes back the edits the ticked rows' patches brought with Apply
    // Patch(es), newest first; patchesCancelled then asks for the new state
    // to be shown.
    void aCancelPatchesExecute();
    patches::AppliedPatches Journal;
    // After an image was opened (or failed to open): forgets the applied
    // patches, shows the rows made for it and works out "Installed".
    void FirmwareChanged();
    // Shows or greys the rows by the open firmware ("View All Patches").
    void UpdateRows();
    // Fills the "Installed" column in the background; installedProgress
    // tells how far it is (done == total when finished).
    void RefreshInstalled();
    // True while "Installed" is being worked out.
    bool InstalledPending() const;
    // Whether a row's patch has a part made for the open firmware (true
    // without one).
    bool RowFits(const QTreeWidgetItem* row) const;
    // Enables the apply and cancel commands while a firmware is open.
    void aApplyPatchesUpdate();
    // Empties the tree and the document (at close).
    void Clear();

    // The element a tree node refers to; null for none.
    static const xml::TGmXmlNode* NodeElement(const QTreeWidgetItem* node);
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
    xml::TGmXML xmlData;

signals:
    void applyPatchRequested(const QString& path, patches::AppliedPatches* journal);
    void patchesCancelled();
    void installedProgress(int done, int total);

private:
    // The builders of the constructor, in the order it runs them.
    void CreatePatchList();
    void CreateListButtons();
    void CreatePatchView();
    void FillTree();
    // Levels of the element tree shown, the top level being 1.
    static constexpr int kMaxTreeDepth = 16;
    void AddElementNode(const xml::TGmXmlNode& element, QTreeWidgetItem* parent, int depth = 1);

    void InstalledResult(quint64 generation, int row, const QString& text, int done, int total);

    firmware::FirmwareState& state_;
    UserPrompts& prompts_;
    quint64 installedGeneration_ = 0;
    bool installedPending_ = false;
    struct Worker;
    std::vector<std::shared_ptr<Worker>> workers_;
};

}  // namespace flashsmith::shell
