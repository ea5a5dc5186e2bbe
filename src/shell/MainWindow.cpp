// The window itself: creation, menus, status bar, pages and the close
// sequence. The "Firmware Editor" handlers live in EditorPage.cpp.
#include "shell/CommandLink.h"
#include "shell/ProfileCreatorPage.h"
#include "shell/SelImageTypeDialog.h"
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
#include "firmware/Images.h"
#include "editing/RegionUsage.h"
#include "shell/RegionBar.h"
#include "shell/AboutBox.h"
#include "shell/ComPorts.h"
#include "shell/ConverterPage.h"
#include "shell/FirmwareViewer.h"
#include "shell/Icons.h"
#include "shell/PatchesPage.h"
#include "shell/PhoneFileManView.h"
#include "shell/ResourceModel.h"
#include "shell/SavePatchDialog.h"
#include "shell/SelProfile.h"
#include "shell/UserPrompts.h"
#include "shell/Version.h"
#include "sound/AudioConvert.h"

namespace flashsmith::shell {

namespace {

constexpr int kPanelWidths[4] = {180, 180, 220, 180};
// The waveform band across the middle of the viewer's canvas.
constexpr int kWaveformHeight = 160;

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
    : QMainWindow(parent), SelectFolderDialog(prompts, this), state_(state), prompts_(prompts) {
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
    if (fw.ProgramDir.empty()) fw.ProgramDir = DefaultProgramDir();
    if (fw.ProgramDir.back() != '/') fw.ProgramDir += '/';
    fw.TempDir = fw.ProgramDir + "Temp/";
    QStringList failed;
    for (const char* sub : {"Temp", "Firmwares"}) {
        const QString dir = QString::fromStdString(fw.ProgramDir) + sub;
        if (!QDir().mkpath(dir)) failed << dir;
    }
    CopySharedLanguagePacks(fw.ProgramDir);

    CreateMenus();
    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    TabSheet1 = CreateEditorPage();
    frProfileCreator = new TfrProfileCreator(fw, prompts_);
    TabSheet2 = FramePage(frProfileCreator);
    frConverter = new TfrConverter(prompts_);
    frConverter->OpenImagePath = [this] { return Fw().FirmwarePath; };
    TabSheet3 = FramePage(frConverter);
    frPatches = new TfrPatche(fw, prompts_);
    TabSheet4 = FramePage(frPatches);
    frPatches->ApplyPatchFile = [this](const QString& path) { ApplySpfFile(path, &frPatches->Journal); };
    // Working out "Installed" for a long list shows in the free panel.
    frPatches->InstalledProgress = [this](int done, int total) {
        if (Panels[3]) Panels[3]->setText(done < total ? QString("Installed: %1 / %2").arg(done).arg(total) : QString());
    };
    frPatches->AfterCancel = [this] {
        RegionDisplay();
        tvFirmwareSourcesChanging(tvFirmwareSources->currentItem());
    };
    frPhoneFileMan = new TfrPhoneFileMan(state_.Conn, prompts_, fw.ProgramDir, fw.TempDir);
    frPhoneFileMan->AutoRefresh = [this] { return miAutoRefresh->isChecked(); };
    TabSheet5 = FramePage(frPhoneFileMan);
    ConnectPhone = [this] { frPhoneFileMan->aConnect->trigger(); };
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
    CreateStatusBar();

    fw.FirmwareLoaded = false;
    BuildComPortMenu(ListComPorts());
    state_.Conn.TimeOut = 2500;
    state_.Conn.BaudRate = 115200;

    AboutBox = new TAboutBox(this);
    fSelProfile = new TfSelProfile(this);
    prompts_.SetProfileDialog(fSelProfile);
    fSavePatch = new TfSavePatch(fw, prompts_, this);
    fSelImageType = new TfSelImageType(prompts_, this);
    frProfileCreator->SetImageTypeDialog(fSelImageType);

    OpenDocument = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    // Replace File(s) takes audio files for sounds and converts them.
    SetSoundConverter({&sound::IsConvertibleAudio, &sound::ConvertForReplacement});
    // The library may report the end of a sound from its own thread.
    Player.Post = [this](std::function<void()> f) { QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection); };
    PlaySound = [this](const QString& path) { Player.Play(path.toStdString()); };
    BuiltinPlayer = new BuiltinSound(MakeQtAudioOutput(), this);
    BuiltinPlayer->Rendered = [this](const sound::RenderedSound& sound) {
        Picture canvas(TfrFViewer::kCanvasSide, TfrFViewer::kCanvasSide);
        ClearPicture(canvas);
        const Picture wave = WaveformPicture(sound, canvas.Width, kWaveformHeight);
        const int top = (canvas.Height - wave.Height) / 2;
        for (int y = 0; y < wave.Height; ++y)
            for (int x = 0; x < wave.Width; ++x) canvas.At(x, top + y) = wave.At(x, y);
        frFwViewer->imViewer->SetCanvas(canvas);
    };
    BuiltinPlayer->Failed = [this](const std::string& error) { Panels[3]->setText(QString::fromStdString(error)); };
    StopSound = [this] {
        Player.Stop();
        BuiltinPlayer->Stop();
    };

    // Enabling rules run whenever the event loop runs dry, like an idle handler.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfMain::UpdateActions);
    UpdateActions();

    for (const QString& dir : failed)
        prompts_.Message(this, "Cannot create the folder " + dir, "Error!");
}

TfMain::~TfMain() {
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) disconnect(dispatcher, nullptr, this, nullptr);
}

void TfMain::ResetCaption() { setWindowTitle(ApplicationCaption()); }

void TfMain::CreateMenus() {
    QMenuBar* bar = menuBar();

    QMenu* miFile = bar->addMenu("&File");
    miFile->setObjectName("miFile");
    miFile->menuAction()->setStatusTip("File related commands");
    miFileOpen = miFile->addAction("&Open", this, &TfMain::FileOpen1Execute);
    miFileOpen->setObjectName("miFileOpen");
    miFileOpen->setShortcut(QKeySequence("Ctrl+O"));
    SetHint(miFileOpen, "Open|Open a file");
    aOpenSPF = new QAction("Open SPF", this);
    aOpenSPF->setObjectName("aOpenSPF");
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

    miOptions = bar->addMenu("Options");
    miOptions->setObjectName("miOptions");
    QMenu* miFileManager = miOptions->addMenu("File Manager");
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
            if (TimeOutChanged) TimeOutChanged(state_.Conn.TimeOut);
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
    QMenu* miPlaySoundsWith = miOptions->addMenu("Play Sounds with");
    miPlaySoundsWith->setObjectName("miPlaySoundsWith");
    PlaySoundsGroup = new QActionGroup(this);
    const char* players[] = {"ma3smwemu_gsm", "M5_EmuSmw5 (new)", "Built-in"};
    const char* playerNames[] = {"mima3smwemugsm", "miM5EmuSmw5", "miBuiltIn"};
    for (int tag = 1; tag <= kBuiltInPlayer; ++tag) {
        QAction* a = miPlaySoundsWith->addAction(players[tag - 1]);
        a->setObjectName(playerNames[tag - 1]);
        a->setData(tag);
        a->setCheckable(true);
        // The built-in player needs no library: the choice of a first start.
        a->setChecked(tag == kBuiltInPlayer);
        PlaySoundsGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, tag] { SelectSoundLibrary(tag); });
    }
    miSaveImagesAsJpeg = miOptions->addAction("Save Images as Jpeg");
    miSaveImagesAsJpeg->setObjectName("miSaveImagesAsJpeg");
    miSaveImagesAsJpeg->setCheckable(true);
    miSaveImagesAsPng = miOptions->addAction("Save Images as PNG");
    miSaveImagesAsPng->setObjectName("miSaveImagesAsPng");
    miSaveImagesAsPng->setCheckable(true);
    // One picture format at a time; neither checked means bitmaps.
    connect(miSaveImagesAsJpeg, &QAction::toggled, this, [this](bool on) {
        if (on) miSaveImagesAsPng->setChecked(false);
    });
    connect(miSaveImagesAsPng, &QAction::toggled, this, [this](bool on) {
        if (on) miSaveImagesAsJpeg->setChecked(false);
    });
    miScaleToFit = miOptions->addAction("Scale Pictures to Fit");
    miScaleToFit->setObjectName("miScaleToFit");
    miScaleToFit->setCheckable(true);
    SetHint(miScaleToFit, "Scale to fit|A replacement picture larger than its entry is scaled down into it "
                          "instead of cropped");

    QMenu* miPhoneFileManeger = bar->addMenu("Phone File Maneger");
    miPhoneFileManeger->setObjectName("miPhoneFileManeger");
    miConnect = miPhoneFileManeger->addAction("Connect");
    miConnect->setObjectName("miConnect");
    miDisconnect = miPhoneFileManeger->addAction("Disconnect");
    miDisconnect->setObjectName("miDisconnect");
    connect(miConnect, &QAction::triggered, this, [this] {
        if (ConnectPhone) ConnectPhone();
    });
    connect(miDisconnect, &QAction::triggered, this, [this] { frPhoneFileMan->aDisconnect->trigger(); });

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
        OpenDocument(QString::fromStdString(state_.Fw.ProgramDir) + "WhatsNew.txt");
    });
    miWhatsNew->setObjectName("miWhatsNew");

    miLanguage = bar->addMenu("Language");
    miLanguage->setObjectName("miLanguage");
    LanguageGroup = new QActionGroup(this);
    QAction* english = miLanguage->addAction("English");
    english->setObjectName("miEnglishLang");
    english->setCheckable(true);
    english->setChecked(true);
    LanguageGroup->addAction(english);
    connect(english, &QAction::triggered, this, [this, english] { LanguageClick(english); });

    aReplaceFile = new QAction("Replace File(s)", this);
    aReplaceFile->setObjectName("aReplaceFile");
    connect(aReplaceFile, &QAction::triggered, this, &TfMain::aReplaceFileExecute);
    aDeleteFile = new QAction("Delete File", this);
    aDeleteFile->setObjectName("aDeleteFile");
    connect(aDeleteFile, &QAction::triggered, this, &TfMain::aDeleteFileExecute);
    aRestoreFile = new QAction("Restore File", this);
    aRestoreFile->setObjectName("aRestoreFile");
    connect(aRestoreFile, &QAction::triggered, this, &TfMain::aRestoreFileExecute);
    // Whole languages have no delete or restore of their own yet: the items
    // only follow their enabling rule.
    aDeleteLang = new QAction("Delete Lang", this);
    aDeleteLang->setObjectName("aDeleteLang");
    aRestoreLang = new QAction("Restore Lang", this);
    aRestoreLang->setObjectName("aRestoreLang");
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
        a->setToolTip(QString::fromStdString(ComPortDevice(n)));
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
    bar->setSizeGripEnabled(false);
    auto* strip = new QWidget(bar);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(strip);
        panel->setObjectName("StatusPanel" + QString::number(i));
        MarkTextAsData(panel);  // a status text the program writes
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        // At least the classic widths; a long figure widens its panel
        // rather than being cut, the unused last panel gives way.
        panel->setMinimumWidth(i < 3 ? kPanelWidths[i] : 0);
        panel->setMaximumWidth(i < 3 ? QWIDGETSIZE_MAX : kPanelWidths[i]);
        panel->setContentsMargins(3, 0, 3, 0);
        layout->addWidget(panel, i == 3 ? 1 : 0);
        Panels[i] = panel;
    }
    bar->addWidget(strip, 1);
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
    if (eventFilterDrop(watched, event)) return true;
    if (watched == statusBar() && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                                   event->type() == QEvent::LayoutRequest))
        PlaceProgressBar();
    return QMainWindow::eventFilter(watched, event);
}

void TfMain::PageChanged(int index) {
    QWidget* page = PageControl->widget(index);
    // Leaving the editor page ends its sound.
    if (page != TabSheet1 && StopSound) StopSound();
    // The phone file manager has a status bar of its own.
    if (page && page->objectName().compare("TabSheet5", Qt::CaseInsensitive) == 0) {
        if (ConnectPhone) ConnectPhone();
        statusBar()->hide();
    } else {
        statusBar()->show();
    }
}

void TfMain::UpdateActions() {
    if (QTreeWidgetItem* node = tvFirmwareSources->currentItem()) {
        const QString text = node->text(0);
        aReplaceFile->setEnabled(!text.contains("Lang_"));
        aDeleteLang->setEnabled(text.startsWith("Lang_"));
        aRestoreLang->setEnabled(text.startsWith("Lang_"));
    }
    aOpenSPF->setEnabled(state_.Fw.FirmwareLoaded);
    frPatches->aApplyPatchesUpdate();
    miFileSave->setEnabled(false);
    miFileSaveAs->setEnabled(false);
    miConnect->setEnabled(static_cast<bool>(ConnectPhone) && !state_.Conn.Connected);
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

void TfMain::RegionDisplay() {
    const FirmwareState& fw = state_.Fw;
    const QTreeWidgetItem* node = tvFirmwareSources->currentItem();
    if (!node) regionBar->ShowRegions({});
    else if (node == nodeRoot) regionBar->ShowRegions(RegionsOfRoot(fw));
    else if (node == nodeLang1 || node == nodeLang2) regionBar->ShowRegions(RegionsOfLanguageTable(fw, node == nodeLang1 ? 1 : 2));
    else regionBar->ShowRegions(RegionsOfCategory(fw, CategoryOfNode(node)));
    const int32_t r = fw.SelectedRegion;
    if (r < 0 || r >= static_cast<int32_t>(fw.Firmware.Regions.size())) return;
    const MemoryRegion& region = fw.Firmware.Regions[static_cast<size_t>(r)];
    Panels[2]->setText("Memory Size/Used: " + QString::number(region.Size) + " / " + QString::number(ShownUsed(fw, r)));
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
    if (StopSound) StopSound();
    BuiltinPlayer->Cancel();
    Player.Unload();
    SaveSettings();
    FirmwareState& fw = state_.Fw;
    fw.FirmwareFile.reset();
    EmptyTempDir();
    frPatches->Clear();
    ResetFirmware(fw);
    FilesModel->SetCategory(-1);
    event->accept();
}

void TfMain::EmptyTempDir() {
    QDir temp(QString::fromStdString(state_.Fw.TempDir));
    if (!temp.exists()) return;
    for (const QFileInfo& f : temp.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile file(f.absoluteFilePath());
        // Read-only files go too; failures and folders are left.
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
        file.remove();
    }
}

}  // namespace flashsmith::shell
