// The main window: five pages, the menus, the commands with their enabling
// rules, the status bar with its progress bar, the settings and the close
// sequence. Each page owns its own controls and commands.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "shell/EditorPage.h"
#include "shell/LanguagePack.h"
#include "shell/ShellState.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenuBar;
class QMenu;
class QProgressBar;
class QTabWidget;

namespace flashsmith::patches {
class AppliedPatches;
}
namespace flashsmith::xml {
class TGmXmlNode;
}

namespace flashsmith::shell {

class TAboutBox;
class TfrConverter;
class TfrPatche;
class TfrPhoneFileMan;
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
    firmware::FirmwareState& Fw() { return state_.Fw; }
    // The "Firmware Editor" page.
    TfEditorPage& Editor() { return *editor_; }

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
    void aOpenSPFExecute();
    // Open SPF on a known patch file; false when it was not applied.
    bool ApplySpfFile(const QString& path, patches::AppliedPatches* journal = nullptr);
    // The enabling rules, run whenever the event loop is about to wait.
    void UpdateActions();

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

    // Opens a document (What's New) with the desktop's viewer; tests
    // replace it.
    std::function<void(const QString& path)> OpenDocument;

    // --- controls (named as the rest of the program refers to them) ---------
    QTabWidget* PageControl = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    TfrConverter* frConverter = nullptr;
    TfrPatche* frPatches = nullptr;
    TfrPhoneFileMan* frPhoneFileMan = nullptr;
    QLabel* Panels[4] = {};
    QProgressBar* pbStatusProgress = nullptr;

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
    QActionGroup* AudioRateGroup = nullptr;  // Options > Convert Audio at

    TAboutBox* AboutBox = nullptr;
    TfSelProfile* fSelProfile = nullptr;
    TfSavePatch* fSavePatch = nullptr;
    TfSelImageType* fSelImageType = nullptr;
    TfrProfileCreator* frProfileCreator = nullptr;

    // The COM port menu for a list of present port numbers (built at start
    // from the ports found).
    void BuildComPortMenu(const std::vector<int>& ports);

signals:
    // The phone's page is shown or Connect chosen: the phone view connects.
    void connectPhoneRequested();
    // A time-out item was chosen (the new time-out in ms).
    void timeOutChanged(int timeOut);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The builders of the window, in the order they run.
    void CreateFolders();
    void CreateMenus();
    void CreateFileMenu(QMenuBar* bar);
    void CreateOptionsMenu(QMenuBar* bar);
    void CreateFileManagerMenu(QMenu* options);
    void CreatePlaySoundsMenu(QMenu* options);
    void CreatePictureOptions(QMenu* options);
    void CreateAudioRateMenu(QMenu* options);
    void CreatePhoneAndHelpMenus(QMenuBar* bar);
    void CreatePages();
    void ConnectPages();
    void CreateDialogs();
    void CreateStatusBar();

    void RestoreMenuState(xml::TGmXmlNode& options, QMenu* menu);
    void StoreMenuState(QMenu* menu, xml::TGmXmlNode& options);
    void FillLanguageMenu(const QString& current);
    // The five windows, and the embedded views with the sections their texts
    // are filed under.
    QList<QWidget*> Windows() const;
    ViewSections LanguageViews() const;
    void PlaceProgressBar();
    void PageChanged(int index);
    void ResetCaption();
    void EmptyTempDir();
    // The picture format chosen under Options for exports.
    void PictureExportChanged();

    ShellState& state_;
    UserPrompts& prompts_;
    TfEditorPage* editor_ = nullptr;
    bool opening_ = false;  // an open runs (and lets events through)
    bool settingsLoaded_ = false;
    QStringList failedFolders_;
};

}  // namespace flashsmith::shell
