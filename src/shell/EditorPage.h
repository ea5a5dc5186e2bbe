// The "Firmware Editor" page: the category tree, the resource list, the
// buttons, the viewer and the local file pane, bound to the editing
// operations of the core. The page owns its controls and commands; the main
// window opens images, keeps the menus and the status bar, and hears from
// the page through its signals.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "editing/Export.h"
#include "firmware/Variables.h"
#include "shell/SelectFolderDialog.h"
#include "shell/SoundPlayer.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QListView;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace flashsmith::shell {

class BuiltinSound;
class RegionBar;
class ResourceModel;
class TfrFileMan;
class TfrFViewer;
class UserPrompts;

class TfEditorPage : public QWidget {
    Q_OBJECT
public:
    TfEditorPage(firmware::FirmwareState& fw, UserPrompts& prompts, QWidget* parent = nullptr);
    ~TfEditorPage() override;

    // --- commands -----------------------------------------------------------
    void aReplaceFileExecute();
    void aDeleteFileExecute();
    void aRestoreFileExecute();
    void bExportFileClick();
    // Asks the main window for the patch dialog (createPatchRequested).
    void bCreatePatchClick();
    // The page's enabling rules, run with the window's.
    void UpdateActions();

    // --- the tree and the list ----------------------------------------------
    // Category of a tree node by its caption: 0 pictures, 1 sounds, 2 Java,
    // a language's region, or -1.
    int32_t CategoryOfNode(const QTreeWidgetItem* node) const;
    // Selects a tree node by its caption path, e.g. "Images" or
    // "Lang Table 1/Lang_2"; false when there is no such node.
    bool SelectNode(const QString& path);
    int SelectedRow() const;
    void SelectRow(int row);
    // Reruns the preview of the selected row (the row selection handler).
    void lvFirmwareFilesSelectItem();
    // Whether a drop of a file from the file browser pane is accepted at the
    // list position, and the drop itself.
    bool lvFirmwareFilesDragOver(const QString& path) const;
    void lvFirmwareFilesDragDrop(int row);
    // The list's view style: 1 small icons, 2 icons, 3 list, 4 table.
    void SetListStyle(int tag);
    // "Memory Size/Used: " + size + " / " + used of SelectedRegion (status
    // panel 2), and the region bar for the selected tree node.
    void RegionDisplay();

    // --- the image's life ---------------------------------------------------
    // An open starts: nothing is listed while the image is read.
    void BeginOpen();
    // The opened image: language nodes for its languages, the selected
    // category's rows at once.
    void ShowOpenedImage();
    // After a patch was applied: the first node, expanded, listed anew.
    void ShowImageFromTop();
    // After edits made elsewhere (patches cancelled): the selected node again.
    void ShowImageAgain();
    // The image is closed: the list lets go of it.
    void Clear();

    // --- options the main window's menu sets --------------------------------
    void SetScaleToFit(bool on) { scaleToFit_ = on; }
    // The rate audio files are converted at when they replace a sound.
    void SetAudioRate(int rate) { audioRate_ = rate; }
    void SetPictureExport(editing::PictureExport format) { pictureExport_ = format; }

    // --- the sound preview --------------------------------------------------
    // "Play Sounds with": 1 ma3smwemu_gsm, 2 M5_EmuSmw5, 3 Built-in; a
    // library is loaded from the program's folder when it is there.
    static constexpr int kBuiltInPlayer = 3;
    void SelectSoundLibrary(int tag);
    int SoundChoice() const { return soundChoice_; }
    // Whether a library player is chosen but its library is not loaded.
    bool SoundLibraryMissing() const { return soundChoice_ != kBuiltInPlayer && !Player.Loaded(); }
    // Reads the selected sound for the viewer (description, waveform) and
    // plays it with the chosen player when "Play Sounds" is ticked.
    void PreviewSound(int row);
    void StopSound();
    // Stops every sound and lets go of the library (at close).
    void EndSound();
    // The library player plays files; the built-in one renders every
    // selected sound for the viewer and plays it when chosen.
    SoundPlayer Player;
    BuiltinSound* BuiltinPlayer = nullptr;

    // --- controls (named as the rest of the program refers to them) ---------
    QTreeWidget* tvFirmwareSources = nullptr;
    QTreeWidgetItem* nodeRoot = nullptr;
    QTreeWidgetItem* nodeImages = nullptr;
    QTreeWidgetItem* nodeSounds = nullptr;
    QTreeWidgetItem* nodeJava = nullptr;
    QTreeWidgetItem* nodeLang1 = nullptr;
    QTreeWidgetItem* nodeLang2 = nullptr;
    QTableView* lvFirmwareFiles = nullptr;
    QListView* lvFirmwareIcons = nullptr;  // the same list in the icon and list styles
    ResourceModel* FilesModel = nullptr;
    QPushButton* bRestoreFile = nullptr;
    QPushButton* bDeleteFile = nullptr;
    QPushButton* bReplaceFile = nullptr;
    QPushButton* bExportFile = nullptr;
    QPushButton* bCreatePatch = nullptr;
    QCheckBox* cbSwitchFileMan = nullptr;
    TfrFViewer* frFwViewer = nullptr;
    TfrFileMan* frEditor = nullptr;
    RegionBar* regionBar = nullptr;
    QMenu* pmFVEditSrc = nullptr;
    QMenu* pmFirmwareSources = nullptr;

    QAction* aReplaceFile = nullptr;
    QAction* aDeleteFile = nullptr;
    QAction* aRestoreFile = nullptr;
    QAction* aDeleteLang = nullptr;
    QAction* aRestoreLang = nullptr;

signals:
    // A text for one of the main window's status panels.
    void statusText(int panel, const QString& text);
    void createPatchRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The builders of the page, in the order they run.
    void CreateActions();
    QGroupBox* CreateSourcesBox();
    void CreateSourcesTree(QSplitter* split);
    void CreateFileList(QSplitter* split);
    void CreateListMenu();
    QWidget* CreateButtons(QGroupBox* box);
    QWidget* CreateViewerStack();
    void CreateSoundPlayers();

    void tvFirmwareSourcesChanging(QTreeWidgetItem* node);
    void RebuildLanguageNodes();
    void ApplyEditResultRows(int32_t category, const std::vector<int32_t>& rows);
    void ShowPicturePreview(int row);
    // Viewer commands.
    void FormatChange(int tag);
    void SizeStep(bool width, int value);
    void SizeEnter(bool width, const QString& text);
    void TransparentClick(bool checked);
    void ApplyPickedColour();
    // Whether the viewer's command conditions hold: a loaded firmware, the
    // node "Images" and a selected row.
    bool ViewerTarget(bool needShowPic, int* index) const;
    // The same for the transparent colour, which also needs a named row.
    bool TransparentTarget(int* index) const;

    firmware::FirmwareState& fw_;
    UserPrompts& prompts_;
    TSelectFolderDialog selectFolder_;
    QStackedWidget* listStack_ = nullptr;
    QStackedWidget* rightStack_ = nullptr;
    bool suppressFill_ = false;  // while the language nodes are rebuilt
    bool scaleToFit_ = false;
    int audioRate_ = 8000;
    editing::PictureExport pictureExport_ = editing::PictureExport::Bmp;
    int soundChoice_ = kBuiltInPlayer;
};

}  // namespace flashsmith::shell
