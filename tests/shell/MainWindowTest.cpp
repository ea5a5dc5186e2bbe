// The main window itself: start-up, menus, options, pages and closing.
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>

#include "shell/ShellFixture.h"
#include "shell/Version.h"

namespace flashsmith::shell::test {
namespace {

QAction* Item(TfMain& w, const char* name) {
    auto* a = w.findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
}

TEST_F(ShellTest, StartUpSetsCaptionFoldersPagesAndMenus) {
    EXPECT_TRUE(QRegularExpression("^Flashsmith v\\d+\\.\\d+\\.\\d+\\.\\d+$").match(window->windowTitle()).hasMatch())
        << window->windowTitle().toStdString();
    EXPECT_TRUE(QFileInfo(Path("prog/Temp")).isDir());
    EXPECT_TRUE(QFileInfo(Path("prog/Firmwares")).isDir());
    EXPECT_EQ(state.Fw.TempDir, Path("prog/Temp/").toStdString());
    EXPECT_EQ(state.Fw.SelectedRegion, -1);
    EXPECT_FALSE(state.Fw.FirmwareLoaded);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

    QStringList pages;
    for (int i = 0; i < window->PageControl->count(); ++i) pages << window->PageControl->tabText(i);
    EXPECT_EQ(pages, (QStringList{"Firmware Editor", "Firmware Profile Creator", "s3 Converter", "Patches",
                                  "File Manager"}));
    QStringList menus;
    for (QAction* a : window->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "Options", "Phone File Maneger", "&Help", "Language"}));

    QAction* open = Item(*window, "miFileOpen");
    EXPECT_EQ(open->text(), "&Open");
    EXPECT_EQ(open->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(open->toolTip(), "Open");
    EXPECT_EQ(open->statusTip(), "Open a file");
    EXPECT_EQ(Item(*window, "miFileSave")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(Item(*window, "miFileExit")->text(), "E&xit");
    EXPECT_EQ(Item(*window, "miHelpAbout")->statusTip(),
              "Displays program information, version number, and copyright");
    EXPECT_EQ(Item(*window, "aOpenSPF")->text(), "Open SPF");

    // Connection defaults and the first checks of the radio groups.
    EXPECT_EQ(state.Conn.TimeOut, 2500);
    EXPECT_EQ(state.Conn.BaudRate, 115200);
    EXPECT_TRUE(Item(*window, "MI2500ms")->isChecked());
    EXPECT_TRUE(Item(*window, "MI115200")->isChecked());
    EXPECT_FALSE(Item(*window, "mima3smwemugsm")->isChecked());
    EXPECT_FALSE(Item(*window, "miM5EmuSmw5")->isChecked());
    EXPECT_TRUE(Item(*window, "miBuiltIn")->isChecked());
    EXPECT_FALSE(Item(*window, "miSaveImagesAsJpeg")->isChecked());
}

TEST_F(ShellTest, OptionsSetTimeOutBaudRateAndComPort) {
    std::vector<int> timeOuts;
    QObject::connect(window.get(), &TfMain::timeOutChanged, [&](int ms) { timeOuts.push_back(ms); });
    Item(*window, "MI1000ms")->trigger();
    EXPECT_EQ(state.Conn.TimeOut, 1000);
    EXPECT_EQ(timeOuts, std::vector<int>{1000});
    EXPECT_TRUE(Item(*window, "MI1000ms")->isChecked());
    EXPECT_FALSE(Item(*window, "MI2500ms")->isChecked());
    Item(*window, "MI230400")->trigger();
    EXPECT_EQ(state.Conn.BaudRate, 230400);
    Item(*window, "MI57600")->trigger();
    EXPECT_EQ(state.Conn.BaudRate, 57600);

    // Port 1 absent, port 3 present: one unchecked item, no port chosen yet.
    window->BuildComPortMenu({3});
    const QList<QAction*> ports = window->miPhoneCOMport->actions();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0]->text(), "COM3");
    EXPECT_EQ(ports[0]->objectName(), "MIcom3");
    EXPECT_FALSE(ports[0]->isChecked());
    EXPECT_EQ(state.Conn.ComPortNumber, 0);
    ports[0]->trigger();
    EXPECT_EQ(state.Conn.ComPortNumber, 3);
    EXPECT_TRUE(ports[0]->isChecked());
    window->BuildComPortMenu({1, 2});
    EXPECT_TRUE(window->miPhoneCOMport->actions()[0]->isChecked());
}

TEST_F(ShellTest, TheOpenDisablesThePagesAndShowsProgressWhileItRuns) {
    const QString dir = QFileInfo(QString::fromStdString(demo.ProfilePath)).absolutePath();
    ASSERT_TRUE(QFile::copy(QString::fromStdString(demo.ProfilePath), dir + "/E250XXJE1_b.sdf"));
    bool pagesEnabled = true, progressShown = false, menusEnabled = true, closed = true, reopened = true;
    int progress = -1, maximum = -1;
    prompts.WhileChoosing = [&] {
        menusEnabled = window->menuBar()->isEnabled();
        closed = window->close();
        reopened = window->OpenFirmwareFile(Image());
        pagesEnabled = window->PageControl->isEnabled();
        progressShown = !window->pbStatusProgress->isHidden();
        progress = window->pbStatusProgress->value();
        maximum = window->pbStatusProgress->maximum();
    };
    prompts.Profiles = {0};
    window->show();
    ASSERT_TRUE(window->OpenFirmwareFile(Image()));
    EXPECT_FALSE(pagesEnabled);
    EXPECT_TRUE(progressShown);
    // Nothing may pull the image away while the searches run.
    EXPECT_FALSE(menusEnabled);
    EXPECT_FALSE(closed);
    EXPECT_FALSE(reopened);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    // Counted in bytes of the image (the version search adds one).
    EXPECT_GE(maximum, QFileInfo(Image()).size());
    EXPECT_LE(progress, maximum);
    EXPECT_TRUE(window->pbStatusProgress->isHidden());
    EXPECT_TRUE(window->PageControl->isEnabled());
    // The bar lies over panels 1 and 2, from the right end of panel 0.
    const QRect bar = window->pbStatusProgress->geometry();
    EXPECT_EQ(bar.left(), window->Panels[0]->mapTo(window->statusBar(), QPoint(window->Panels[0]->width(), 0)).x());
    EXPECT_EQ(bar.top(), 2);
}

TEST_F(ShellTest, TheFileManagerPageConnectsAndHidesTheStatusBar) {
    window->show();
    int connects = 0;
    // In place of the phone view, which would try a real port.
    QObject::disconnect(window.get(), &TfMain::connectPhoneRequested, nullptr, nullptr);
    QObject::connect(window.get(), &TfMain::connectPhoneRequested, [&] { ++connects; });
    window->PageControl->setCurrentIndex(4);
    EXPECT_EQ(connects, 1);
    EXPECT_TRUE(window->statusBar()->isHidden());
    window->PageControl->setCurrentIndex(3);
    EXPECT_FALSE(window->statusBar()->isHidden());
    window->PageControl->setCurrentIndex(0);
    EXPECT_EQ(connects, 1);
}

TEST_F(ShellTest, ClosingIsRefusedWhileConnectedAndEmptiesTempAfterwards) {
    Open();
    window->show();
    const QString temp = QString::fromStdString(state.Fw.TempDir);
    QFile stale(temp + "tmpSound_9");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("x");
    stale.close();
    stale.setPermissions(QFileDevice::ReadOwner);
    QDir().mkpath(temp + "keep");

    state.Conn.Connected = true;
    EXPECT_FALSE(window->close());
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].text, "First Disconnect the Phone!");
    EXPECT_EQ(prompts.Messages[0].caption, "Error!");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(state.Fw.FirmwareLoaded);
    state.Conn.Connected = false;
    state.Conn.Busy = true;
    EXPECT_FALSE(window->close());
    state.Conn.Busy = false;

    EXPECT_TRUE(window->close());
    EXPECT_FALSE(QFileInfo::exists(temp + "tmpSound_9"));
    EXPECT_TRUE(QFileInfo(temp + "keep").isDir());
    EXPECT_FALSE(state.Fw.FirmwareLoaded);
    EXPECT_EQ(state.Fw.FirmwareFile, nullptr);
    EXPECT_TRUE(state.Fw.Firmware.Images.empty());
}

TEST_F(ShellTest, WhatsNewOpensTheNotesInTheProgramFolder) {
    QString opened;
    window->OpenDocument = [&](const QString& path) { opened = path; };
    Item(*window, "miWhatsNew")->trigger();
    EXPECT_EQ(opened, Path("prog/WhatsNew.txt"));
}

}  // namespace
}  // namespace flashsmith::shell::test
