// The main window: five pages, the menus, the commands with their enabling
// rules, the status bar with its progress bar, and the "Firmware Editor"
// page's handlers that bind the tree, the list and the viewer to the editing
// operations.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "shell/LanguagePack.h"
#include "shell/SelectFolderDialog.h"
#include "shell/ShellState.h"
#include "shell/BuiltinSound.h"
#include "shell/SoundPlayer.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace flashsmith {
class AppliedPatches;
class TGmXmlNode;
}

namespace flashsmith::shell {

class ResourceModel;
class TAboutBox;
class TfrConverter;
class TfrPatche;
class TfrPhoneFileMan;
class TfrFileMan;
class TfrFViewer;
class RegionBar;
class TfSavePatch;
class TfrProfileCreator;
class TfSelImageType;
class TfSelProfile;
class UserPrompts;

class TfMain : public QMainWindow {
    Q_OBJECT
public:
    TfMain(ShellState& state, UserPrompts& prompts, QWidget* parent = nullptr);
    ~TfMain() override;

    ShellState& State() { return state_; }
    FirmwareState& Fw() { return state_.Fw; }

    // --- commands -----------------------------------------------------------
    // File > Open: asks for the image, then OpenFirmwareFile.
    void FileOpen1Execute();
    // The open sequence on a known path; false when the image was not opened
    // (also while another open is still running).
    bool OpenFirmwareFile(const QString& path);
    // The files given at start (a file manager's "open with"): patch files
    // (".spf") are listed on the "Patches" page, which is then shown; the
    // first other file is opened as the image.
    void OpenStartFiles(const QStringList& paths);
    void aReplaceFileExecute();
    void aDeleteFileExecute();
    void aRestoreFileExecute();
    void bExportFileClick();
    void bCreatePatchClick();
    void aOpenSPFExecute();
    // Open SPF on a known patch file; false when it was not applied.
    bool ApplySpfFile(const QString& path, AppliedPatches* journal = nullptr);
    // The enabling rules, run whenever the event loop is about to wait.
    void UpdateActions();
    // Panel 2: "Memory Size/Used: " + size + " / " + used of SelectedRegion,
    // and the region bar for the selected tree node.
    void RegionDisplay();

    // --- the "Firmware Editor" page -----------------------------------------
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

    // --- settings ("Mirel.ini" in ProgramDir) and language packs ----------
    QString SettingsPath() const;
    // Read on the first show: menus, reserved regions, geometry, image ID
    // names, the language pack; then the Language menu is filled.
    void LoadSettings();
    // Written at close: menus, reserved regions, geometry. Elements this
    // program does not know are kept.
    void SaveSettings();
    // The Language menu's items: English or a pack.
    void LanguageClick(QAction* item);
    // Applies a pack file (a name in ProgramDir) to every window.
    void ApplyLanguageFile(const QString& fileName);
    // Every text a pack can change, window by window.
    QList<PackEntry> TranslatableTexts() const;
    // "Play Sounds with": 1 ma3smwemu_gsm, 2 M5_EmuSmw5, 3 Built-in.
    void SelectSoundLibrary(int tag);
    static constexpr int kBuiltInPlayer = 3;
    int SoundChoice() const { return soundChoice_; }

    // The sound preview; PlaySound and StopSound drive it unless replaced.
    // The library player plays files; the built-in one renders every
    // selected sound for the viewer and plays it when chosen.
    SoundPlayer Player;
    BuiltinSound* BuiltinPlayer = nullptr;
    // Reads the selected sound for the viewer (description, waveform) and
    // plays it with the chosen player when "Play Sounds" is ticked.
    void PreviewSound(int row);

    // Hooks that tests replace: the page change's connect (the phone view's
    // aConnect), the time-out items, opening documents and links.
    std::function<void(const QString& path)> PlaySound;
    std::function<void()> StopSound;
    std::function<void()> ConnectPhone;
    std::function<void(int timeOut)> TimeOutChanged;
    std::function<void(const QString& path)> OpenDocument;

    // --- controls (named as the rest of the program refers to them) ---------
    QTabWidget* PageControl = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
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
    TfrConverter* frConverter = nullptr;
    TfrPatche* frPatches = nullptr;
    TfrPhoneFileMan* frPhoneFileMan = nullptr;
    QLabel* Panels[4] = {};
    QProgressBar* pbStatusProgress = nullptr;

    QAction* aReplaceFile = nullptr;
    QAction* aDeleteFile = nullptr;
    QAction* aRestoreFile = nullptr;
    QAction* aDeleteLang = nullptr;
    QAction* aRestoreLang = nullptr;
    QAction* aOpenSPF = nullptr;
    QAction* miFileOpen = nullptr;
    QAction* miFileSave = nullptr;
    QAction* miFileSaveAs = nullptr;
    QAction* miFileExit = nullptr;
    QAction* miAutoRefresh = nullptr;
    QAction* miSaveImagesAsJpeg = nullptr;
    QAction* miSaveImagesAsPng = nullptr;
    QAction* miScaleToFit = nullptr;
    QAction* miConnect = nullptr;
    QAction* miDisconnect = nullptr;
    QAction* miHelpAbout = nullptr;
    QAction* miWhatsNew = nullptr;
    QMenu* miOptions = nullptr;
    QMenu* miLanguage = nullptr;
    QMenu* miPhoneCOMport = nullptr;
    QActionGroup* ComPortGroup = nullptr;
    QActionGroup* TimeOutGroup = nullptr;
    QActionGroup* BaudRateGroup = nullptr;
    QActionGroup* PlaySoundsGroup = nullptr;
    QActionGroup* LanguageGroup = nullptr;
    QMenu* pmFVEditSrc = nullptr;
    QMenu* pmFirmwareSources = nullptr;

    TAboutBox* AboutBox = nullptr;
    TfSelProfile* fSelProfile = nullptr;
    TfSavePatch* fSavePatch = nullptr;
    TfSelImageType* fSelImageType = nullptr;
    TfrProfileCreator* frProfileCreator = nullptr;
    TSelectFolderDialog SelectFolderDialog;

    // The COM port menu for a list of present port numbers (built at start
    // from the ports found).
    void BuildComPortMenu(const std::vector<int>& ports);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    int soundChoice_ = kBuiltInPlayer;
    void RestoreMenuState(flashsmith::TGmXmlNode& options, QMenu* menu);
    void StoreMenuState(QMenu* menu, flashsmith::TGmXmlNode& options);
    void FillLanguageMenu(const QString& current);
    // The five windows, and the embedded views with the sections their texts
    // are filed under.
    QList<QWidget*> Windows() const;
    ViewSections LanguageViews() const;
    QWidget* CreateEditorPage();
    void CreateStatusBar();
    void PlaceProgressBar();
    void PageChanged(int index);
    void tvFirmwareSourcesChanging(QTreeWidgetItem* node);
    void RebuildLanguageNodes();
    void ResetCaption();
    void EmptyTempDir();
    bool eventFilterDrop(QObject* watched, QEvent* event);
    void ApplyEditResultRows(int32_t category, const std::vector<int32_t>& rows);
    // Viewer commands.
    void FormatChange(int tag);
    void SizeStep(bool width, int value);
    void SizeEnter(bool width, const QString& text);
    void TransparentClick(bool checked);
    void ApplyPickedColour();
    // Whether the viewer's command conditions hold: a loaded firmware, the
    // node "Images" and a selected row.
    bool ViewerTarget(bool needShowPic, int* index) const;

    ShellState& state_;
    UserPrompts& prompts_;
    QStackedWidget* listStack_ = nullptr;
    QStackedWidget* rightStack_ = nullptr;
    bool suppressFill_ = false;  // while the language nodes are rebuilt
    bool opening_ = false;       // an open runs (and lets events through)
    bool settingsLoaded_ = false;
};

}  // namespace flashsmith::shell
