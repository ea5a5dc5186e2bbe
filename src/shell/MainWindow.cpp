// The window itself: creation, menus, status bar, pages, opening images and
// patches, and the close sequence.
#include "shell/MainWindow.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "editing/Replace.h"
#include "firmware/Firmware.h"
#include "firmware/ProgramDir.h"
#include "patches/AppliedPatches.h"
#include "patches/ApplyPatch.h"
#include "shell/AboutBox.h"
#include "shell/ComPorts.h"
#include "shell/CommandLink.h"
#include "shell/Controls.h"
#include "shell/ConverterPage.h"
#include "shell/Icons.h"
#include "shell/PatchesPage.h"
#include "shell/PhoneFileManView.h"
#include "shell/ProfileCreatorPage.h"
#include "shell/QtProgress.h"
#include "shell/QtText.h"
#include "shell/SavePatchDialog.h"
#include "shell/SelImageTypeDialog.h"
#include "shell/SelProfile.h"
#include "shell/UserPrompts.h"
#include "shell/Version.h"
#include "sound/AudioConvert.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;
using namespace flashsmith::editing;
using namespace flashsmith::patches;

namespace {

// The classic widths of the status panels; the last one is at most 180
// pixels wide and gives way to the others.
constexpr int kPanelWidths[4] = {180, 180, 220, 0};
constexpr int kLastPanelMaxWidth = 180;

// A page that holds one embedded view.
QWidget* FramePage(QWidget* frame) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    return page;
}

// "Open|Open a file": the short part is the tool tip, the long one the
// status bar text.
void SetHint(QAction* a, const QString& hint) {
    const int bar = hint.indexOf('|');
    a->setToolTip(bar < 0 ? hint : hint.left(bar));
    a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

}  // namespace

TfMain::TfMain(ShellState& state, UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), state_(state), prompts_(prompts) {
    setObjectName("fMain");
    setWindowIcon(AppIcon());
    // No maximise button; the minimum and first sizes are those of the
    // client area (a 4-pixel frame makes the window 780 x 541).
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(772, 533);
    resize(772, 533);

    FirmwareState& fw = state_.Fw;
    fw.SelectedRegion = -1;
    ResetCaption();
    CreateFolders();
    CreateMenus();
    CreatePages();
    CreateStatusBar();
    ConnectPages();

    fw.FirmwareLoaded = false;
    BuildComPortMenu(ListComPorts());
    state_.Conn.TimeOut = 2500;
    state_.Conn.BaudRate = 115200;
    CreateDialogs();

    OpenDocument = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    // Replace File(s) takes audio files for sounds and converts them.
    SetSoundConverter({&sound::IsConvertibleAudio, &sound::ConvertForReplacement});

    // Enabling rules run whenever the event loop runs dry, like an idle handler.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfMain::UpdateActions);
    UpdateActions();

    for (const QString& dir : failedFolders_)
        prompts_.Message(this, "Cannot create the folder " + dir, "Error!");
}

void TfMain::CreateFolders() {
    FirmwareState& fw = state_.Fw;
    if (fw.ProgramDir.empty()) fw.ProgramDir = DefaultProgramDir();
    if (fw.ProgramDir.back() != '/') fw.ProgramDir += '/';
    fw.TempDir = fw.ProgramDir + "Temp/";
    for (const char* sub : {"Temp", "Firmwares"}) {
        const QString dir = Q(fw.ProgramDir) + sub;
        if (!QDir().mkpath(dir)) failedFolders_ << dir;
    }
    CopySharedLanguagePacks(fw.ProgramDir);
}

void TfMain::CreatePages() {
    FirmwareState& fw = state_.Fw;
    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    editor_ = new TfEditorPage(fw, prompts_);
    TabSheet1 = editor_;
    frProfileCreator = new TfrProfileCreator(fw, prompts_);
    TabSheet2 = FramePage(frProfileCreator);
    frConverter = new TfrConverter(prompts_);
    TabSheet3 = FramePage(frConverter);
    frPatches = new TfrPatche(fw, prompts_);
    TabSheet4 = FramePage(frPatches);
    frPhoneFileMan = new TfrPhoneFileMan(state_.Conn, prompts_, fw.ProgramDir, fw.TempDir);
    TabSheet5 = FramePage(frPhoneFileMan);
    const char* sheetNames[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5"};
    QWidget* sheets[] = {TabSheet1, TabSheet2, TabSheet3, TabSheet4, TabSheet5};
    const char* captions[] = {"Firmware Editor", "Firmware Profile Creator", "s3 Converter", "Patches",
                              "File Manager"};
    for (int i = 0; i < 5; ++i) {
        sheets[i]->setObjectName(sheetNames[i]);
        PageControl->addTab(sheets[i], captions[i]);
    }
    setCentralWidget(PageControl);
    connect(PageControl, &QTabWidget::currentChanged, this, &TfMain::PageChanged);
}

void TfMain::ConnectPages() {
    connect(editor_, &TfEditorPage::statusText, this, [this](int panel, const QString& text) {
        if (panel >= 0 && panel < 4) Panels[panel]->setText(text);
    });
    connect(editor_, &TfEditorPage::createPatchRequested, this, [this] {
        fSavePatch->exec();
        fSavePatch->hide();
    });
    connect(miScaleToFit, &QAction::toggled, editor_, &TfEditorPage::SetScaleToFit);
    connect(AudioRateGroup, &QActionGroup::triggered, this,
            [this](QAction* a) { editor_->SetAudioRate(a->data().toInt()); });
    connect(miSaveImagesAsJpeg, &QAction::toggled, this, &TfMain::PictureExportChanged);
    connect(miSaveImagesAsPng, &QAction::toggled, this, &TfMain::PictureExportChanged);

    connect(frPatches, &TfrPatche::applyPatchRequested, this, &TfMain::ApplySpfFile);
    // Working out "Installed" for a long list shows in the free panel.
    connect(frPatches, &TfrPatche::installedProgress, this, [this](int done, int total) {
        Panels[3]->setText(done < total ? QString("Installed: %1 / %2").arg(done).arg(total) : QString());
    });
    connect(frPatches, &TfrPatche::patchesCancelled, editor_, &TfEditorPage::ShowImageAgain);

    connect(miAutoRefresh, &QAction::toggled, frPhoneFileMan, &TfrPhoneFileMan::SetAutoRefresh);
    connect(this, &TfMain::connectPhoneRequested, frPhoneFileMan, &TfrPhoneFileMan::aConnectExecute);
    connect(miDisconnect, &QAction::triggered, frPhoneFileMan, &TfrPhoneFileMan::aDisconnectExecute);
}

void TfMain::CreateDialogs() {
    AboutBox = new TAboutBox(this);
    fSelProfile = new TfSelProfile(this);
    prompts_.SetProfileDialog(fSelProfile);
    fSavePatch = new TfSavePatch(state_.Fw, prompts_, this);
    fSelImageType = new TfSelImageType(prompts_, this);
    frProfileCreator->SetImageTypeDialog(fSelImageType);
}

void TfMain::PictureExportChanged() {
    editor_->SetPictureExport(miSaveImagesAsJpeg->isChecked()  ? PictureExport::Jpeg
                              : miSaveImagesAsPng->isChecked() ? PictureExport::Png
                                                               : PictureExport::Bmp);
}

TfMain::~TfMain() {
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) disconnect(dispatcher, nullptr, this, nullptr);
    // The pages go after this destructor; their removal must not reach a
    // window that is half gone.
    disconnect(PageControl, nullptr, this, nullptr);
}

void TfMain::ResetCaption() { setWindowTitle(ApplicationCaption()); }

void TfMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    CreateFileMenu(bar);
    CreateOptionsMenu(bar);
    CreatePhoneAndHelpMenus(bar);

    miLanguage = bar->addMenu("Language");
    miLanguage->setObjectName("miLanguage");
    LanguageGroup = new QActionGroup(this);
    QAction* english = miLanguage->addAction("English");
    english->setObjectName("miEnglishLang");
    english->setCheckable(true);
    english->setChecked(true);
    LanguageGroup->addAction(english);
    connect(english, &QAction::triggered, this, [this, english] { LanguageClick(english); });
}

void TfMain::CreateFileMenu(QMenuBar* bar) {
    QMenu* miFile = bar->addMenu("&File");
    miFile->setObjectName("miFile");
    miFile->menuAction()->setStatusTip("File related commands");
    miFileOpen = miFile->addAction("&Open", this, &TfMain::FileOpen1Execute);
    miFileOpen->setObjectName("miFileOpen");
    miFileOpen->setShortcut(QKeySequence("Ctrl+O"));
    SetHint(miFileOpen, "Open|Open a file");
    aOpenSPF = MakeAction("Open SPF", "aOpenSPF", this);
    connect(aOpenSPF, &QAction::triggered, this, &TfMain::aOpenSPFExecute);
    AddCommandItem(miFile, aOpenSPF, "miOpenSPF");
    miFileSave = miFile->addAction("&Save");
    miFileSave->setObjectName("miFileSave");
    miFileSave->setShortcut(QKeySequence("Ctrl+S"));
    SetHint(miFileSave, "Save|Save current file");
    // The opened image is never written: changes leave only as patches.
    miFileSave->setEnabled(false);
    miFileSaveAs = miFile->addAction("Save &As...");
    miFileSaveAs->setObjectName("miFileSaveAs");
    SetHint(miFileSaveAs, "Save As|Save current file with different name");
    miFileSaveAs->setEnabled(false);
    miFile->addSeparator()->setObjectName("N1");
    miFileExit = miFile->addAction("E&xit", this, &QWidget::close);
    miFileExit->setObjectName("miFileExit");
    SetHint(miFileExit, "Exit|Exit application");
}

void TfMain::CreateOptionsMenu(QMenuBar* bar) {
    miOptions = bar->addMenu("Options");
    miOptions->setObjectName("miOptions");
    CreateFileManagerMenu(miOptions);
    CreatePlaySoundsMenu(miOptions);
    CreatePictureOptions(miOptions);
    CreateAudioRateMenu(miOptions);
}

void TfMain::CreateAudioRateMenu(QMenu* options) {
    QMenu* miAudioRate = options->addMenu("Convert Audio at");
    miAudioRate->setObjectName("miAudioRate");
    AudioRateGroup = new QActionGroup(this);
    // The rates an ADPCM audio track can name; the lowest keeps ringtones small.
    for (const int rate : {8000, 11025, 22050}) {
        QAction* a = miAudioRate->addAction(QString::number(rate) + " Hz");
        a->setObjectName("miAudioRate" + QString::number(rate));
        a->setData(rate);
        a->setCheckable(true);
        a->setChecked(rate == 8000);
        AudioRateGroup->addAction(a);
    }
}

void TfMain::CreateFileManagerMenu(QMenu* options) {
    QMenu* miFileManager = options->addMenu("File Manager");
    miFileManager->setObjectName("miFileManager");
    miPhoneCOMport = miFileManager->addMenu("COM port");
    miPhoneCOMport->setObjectName("miPhoneCOMport");
    QMenu* miPhoneTimeOut = miFileManager->addMenu("Time Out");
    miPhoneTimeOut->setObjectName("miPhoneTimeOut");
    TimeOutGroup = new QActionGroup(this);
    for (int ms : {1000, 1500, 2000, 2500, 3000, 3500}) {
        QAction* a = miPhoneTimeOut->addAction(QString::number(ms) + " ms");
        a->setObjectName("MI" + QString::number(ms) + "ms");
        a->setData(ms);
        a->setCheckable(true);
        a->setChecked(ms == 2500);
        TimeOutGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] {
            state_.Conn.TimeOut = a->data().toInt();
            emit timeOutChanged(state_.Conn.TimeOut);
            a->setChecked(true);
        });
    }
    QMenu* miPhoneBaudRate = miFileManager->addMenu("Baud Rate");
    miPhoneBaudRate->setObjectName("miPhoneBaudRate");
    BaudRateGroup = new QActionGroup(this);
    const int rates[] = {57600, 115200, 128000, 230400};
    for (int tag = 1; tag <= 4; ++tag) {
        QAction* a = miPhoneBaudRate->addAction(QString::number(rates[tag - 1]));
        a->setObjectName("MI" + QString::number(rates[tag - 1]));
        a->setData(tag);
        a->setCheckable(true);
        a->setChecked(tag == 2);
        BaudRateGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] {
            const int t = a->data().toInt();
            state_.Conn.BaudRate = t == 1 ? 57600 : t == 2 ? 115200 : t == 3 ? 128000 : t == 4 ? 230400 : 9600;
            a->setChecked(true);
        });
    }
    miAutoRefresh = miFileManager->addAction("Auto Refresh List");
    miAutoRefresh->setObjectName("miAutoRefresh");
    miAutoRefresh->setCheckable(true);
}

void TfMain::CreatePlaySoundsMenu(QMenu* options) {
    QMenu* miPlaySoundsWith = options->addMenu("Play Sounds with");
    miPlaySoundsWith->setObjectName("miPlaySoundsWith");
    PlaySoundsGroup = new QActionGroup(this);
    const char* players[] = {"ma3smwemu_gsm", "M5_EmuSmw5 (new)", "Built-in"};
    const char* playerNames[] = {"mima3smwemugsm", "miM5EmuSmw5", "miBuiltIn"};
    for (int tag = 1; tag <= TfEditorPage::kBuiltInPlayer; ++tag) {
        QAction* a = miPlaySoundsWith->addAction(players[tag - 1]);
        a->setObjectName(playerNames[tag - 1]);
        a->setData(tag);
        a->setCheckable(true);
        // The built-in player needs no library: the choice of a first start.
        a->setChecked(tag == TfEditorPage::kBuiltInPlayer);
        PlaySoundsGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, tag] { SelectSoundLibrary(tag); });
    }
}

void TfMain::CreatePictureOptions(QMenu* options) {
    miSaveImagesAsJpeg = options->addAction("Save Images as Jpeg");
    miSaveImagesAsJpeg->setObjectName("miSaveImagesAsJpeg");
    miSaveImagesAsJpeg->setCheckable(true);
    miSaveImagesAsPng = options->addAction("Save Images as PNG");
    miSaveImagesAsPng->setObjectName("miSaveImagesAsPng");
    miSaveImagesAsPng->setCheckable(true);
    // One picture format at a time; neither checked means bitmaps.
    connect(miSaveImagesAsJpeg, &QAction::toggled, this, [this](bool on) {
        if (on) miSaveImagesAsPng->setChecked(false);
    });
    connect(miSaveImagesAsPng, &QAction::toggled, this, [this](bool on) {
        if (on) miSaveImagesAsJpeg->setChecked(false);
    });
    miScaleToFit = options->addAction("Scale Pictures to Fit");
    miScaleToFit->setObjectName("miScaleToFit");
    miScaleToFit->setCheckable(true);
    SetHint(miScaleToFit, "Scale to fit|A replacement picture larger than its entry is scaled down into it "
                          "instead of cropped");
}

void TfMain::CreatePhoneAndHelpMenus(QMenuBar* bar) {
    QMenu* miPhoneFileManeger = bar->addMenu("Phone File Maneger");
    miPhoneFileManeger->setObjectName("miPhoneFileManeger");
    miConnect = miPhoneFileManeger->addAction("Connect");
    miConnect->setObjectName("miConnect");
    miDisconnect = miPhoneFileManeger->addAction("Disconnect");
    miDisconnect->setObjectName("miDisconnect");
    connect(miConnect, &QAction::triggered, this, &TfMain::connectPhoneRequested);

    QMenu* miHelp = bar->addMenu("&Help");
    miHelp->setObjectName("miHelp");
    miHelp->menuAction()->setStatusTip("Help topics");
    miHelpAbout = miHelp->addAction("&About...", this, [this] {
        AboutBox->exec();
        AboutBox->hide();
    });
    miHelpAbout->setObjectName("miHelpAbout");
    SetHint(miHelpAbout, "About|Displays program information, version number, and copyright");
    miWhatsNew = miHelp->addAction("Whats New?", this, [this] {
        OpenDocument(Q(state_.Fw.ProgramDir) + "WhatsNew.txt");
    });
    miWhatsNew->setObjectName("miWhatsNew");
}

void TfMain::BuildComPortMenu(const std::vector<int>& ports) {
    miPhoneCOMport->clear();
    delete ComPortGroup;
    ComPortGroup = new QActionGroup(this);
    for (int n : ports) {
        QAction* a = miPhoneCOMport->addAction("COM" + QString::number(n));
        a->setObjectName("MIcom" + QString::number(n));
        MarkTextAsData(a);
        a->setData(n);
        a->setCheckable(true);
        a->setChecked(n == 1);
        a->setToolTip(Q(ComPortDevice(n)));
        ComPortGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] {
            state_.Conn.ComPortNumber = a->data().toInt();
            a->setChecked(true);
        });
    }
}

void TfMain::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    AddStatusPanels(bar, "StatusPanel", kPanelWidths, kLastPanelMaxWidth, Panels);
    pbStatusProgress = new QProgressBar(bar);
    pbStatusProgress->setObjectName("pbStatusProgress");
    pbStatusProgress->setTextVisible(false);
    pbStatusProgress->hide();
    bar->installEventFilter(this);
}

void TfMain::PlaceProgressBar() {
    // Over panels 1 and 2, from the right end of panel 0.
    QStatusBar* bar = statusBar();
    const QPoint left = Panels[0]->mapTo(bar, QPoint(Panels[0]->width(), 0));
    const int width = Panels[2]->mapTo(bar, QPoint(Panels[2]->width(), 0)).x() - left.x();
    pbStatusProgress->setGeometry(left.x(), 2, width, bar->height() - 2);
    pbStatusProgress->raise();
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                                   event->type() == QEvent::LayoutRequest))
        PlaceProgressBar();
    return QMainWindow::eventFilter(watched, event);
}

void TfMain::PageChanged(int index) {
    QWidget* page = PageControl->widget(index);
    // Leaving the editor page ends its sound.
    if (page != TabSheet1) editor_->StopSound();
    // The phone file manager has a status bar of its own.
    if (page && page->objectName().compare("TabSheet5", Qt::CaseInsensitive) == 0) {
        emit connectPhoneRequested();
        statusBar()->hide();
    } else {
        statusBar()->show();
    }
}

void TfMain::UpdateActions() {
    editor_->UpdateActions();
    aOpenSPF->setEnabled(state_.Fw.FirmwareLoaded);
    frPatches->aApplyPatchesUpdate();
    miFileSave->setEnabled(false);
    miFileSaveAs->setEnabled(false);
    miConnect->setEnabled(!state_.Conn.Connected);
    miDisconnect->setEnabled(state_.Conn.Connected);
}

void TfMain::OpenStartFiles(const QStringList& paths) {
    bool imageOpened = false;
    for (const QString& path : paths) {
        if (path.endsWith(".spf", Qt::CaseInsensitive)) {
            if (frPatches->AppendPatch(path)) PageControl->setCurrentWidget(TabSheet4);
        } else if (!imageOpened) {
            imageOpened = true;
            OpenFirmwareFile(path);
        }
    }
}

// --- opening images and patches -----------------------------------------------

void TfMain::FileOpen1Execute() {
    auto path = prompts_.OpenFile(this, "Firmware BIN files|*.bin", QString());
    if (!path) return;  // the open firmware stays, with its pending edits
    OpenFirmwareFile(*path);
}

bool TfMain::OpenFirmwareFile(const QString& path) {
    FirmwareState& fw = state_.Fw;
    // The searches let events through; a second open or a close in between
    // would pull the image from under them.
    if (opening_) return false;
    opening_ = true;
    menuBar()->setEnabled(false);
    fw.SelectedRegion = -1;
    fw.DeletedSoundCount = 0;
    ResetCaption();
    Panels[0]->clear();
    Panels[1]->clear();
    PageControl->setEnabled(false);
    PlaceProgressBar();
    pbStatusProgress->setValue(0);
    pbStatusProgress->show();
    editor_->BeginOpen();

    QtProgress progress(pbStatusProgress);
    OpenOptions options;
    options.FirmwaresDir = fw.ProgramDir + "Firmwares";
    options.ChooseProfile = [this](const std::vector<std::string>& names) {
        QStringList list;
        for (const auto& n : names) list << Q(n);
        return prompts_.ChooseProfile(this, list);
    };
    const std::string image = Local(path);
    const OpenResult r = OpenFirmware(fw, image, options, progress);
    PageControl->setEnabled(true);
    menuBar()->setEnabled(true);
    pbStatusProgress->hide();
    opening_ = false;
    // The patch view was filtered for the image before; it starts empty.
    frPatches->lvPatchesSelectItem(nullptr);
    frPatches->FirmwareChanged();
    frConverter->SetOpenImage(fw.FirmwarePath);
    if (r.Status != OpenStatus::Ok) {
        // An unidentified image ends the open silently; read errors are told.
        if (r.Status == OpenStatus::FileError || r.Status == OpenStatus::TableError)
            prompts_.Message(this, Q(r.Error), ProductName());
        return false;
    }
    Panels[0]->setText("Phone: " + Q(fw.FirmwareDescription.PhoneModel));
    Panels[1]->setText("Firmware: " + Q(fw.FirmwareDescription.Version));
    setWindowTitle(windowTitle() + " - " + QFileInfo(path).fileName());
    editor_->ShowOpenedImage();
    return true;
}


void TfMain::aOpenSPFExecute() {
    if (!state_.Fw.FirmwareLoaded) return;
    auto path = prompts_.OpenFile(this, "Samsung Patch Files|*.spf", QString());
    if (path) ApplySpfFile(*path);
}

bool TfMain::ApplySpfFile(const QString& path, AppliedPatches* journal) {
    FirmwareState& fw = state_.Fw;
    if (!fw.FirmwareLoaded) return false;
    const OpenSpfResult r = journal ? journal->Apply(fw, Local(path)) : OpenSpf(fw, Local(path));
    if (r.Status != OpenSpfStatus::Applied && r.Status != OpenSpfStatus::WriteError) return false;
    fSavePatch->SetDetails(r.Details);
    if (r.Status == OpenSpfStatus::WriteError) prompts_.Message(this, Q(r.Error), ProductName());
    editor_->ShowImageFromTop();
    return r.Status == OpenSpfStatus::Applied;
}

void TfMain::closeEvent(QCloseEvent* event) {
    if (opening_) {
        event->ignore();  // the open ends first
        return;
    }
    if (state_.Conn.Connected || state_.Conn.Busy) {
        prompts_.Message(this, "First Disconnect the Phone!", "Error!");
        event->ignore();
        return;
    }
    editor_->EndSound();
    SaveSettings();
    FirmwareState& fw = state_.Fw;
    fw.FirmwareFile.reset();
    EmptyTempDir();
    frPatches->Clear();
    ResetFirmware(fw);
    frConverter->SetOpenImage(fw.FirmwarePath);
    editor_->Clear();
    event->accept();
}

void TfMain::EmptyTempDir() {
    QDir temp(Q(state_.Fw.TempDir));
    if (!temp.exists()) return;
    for (const QFileInfo& f : temp.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile file(f.absoluteFilePath());
        // Read-only files go too; failures and folders are left.
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
        file.remove();
    }
}

}  // namespace flashsmith::shell
