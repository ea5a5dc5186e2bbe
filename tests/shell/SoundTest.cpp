// The sound preview over a stand-in emulator library that logs its calls.
#include <dlfcn.h>

#include <QCheckBox>
#include <QTextStream>

#include "shell/FirmwareViewer.h"
#include "shell/ShellFixture.h"
#include "shell/SoundPlayer.h"

namespace flashsmith::shell::test {
namespace {

class Sound : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        qputenv("FAKE_MASOUND_LOG", Path("calls.log").toUtf8());
    }
    void TearDown() override {
        ShellTest::TearDown();
        qunsetenv("FAKE_MASOUND_LOG");
    }
    // Installs a library under the name the given menu choice loads.
    void Install(const char* built, int tag) {
        ASSERT_TRUE(QFile::copy(built, Path("prog/") + kSoundLibraryFiles[tag - 1]));
    }
    // The calls since the last look.
    QStringList Calls() {
        QFile f(Path("calls.log"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        f.remove();
        return lines;
    }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

const QStringList kStart = {"Open 7 3 0 0", "Standby 7 3", "Control 7 3 5 0", "Control 7 3 0 100", "Start 7 3 1"};
const QStringList kStop = {"Stop 7 3", "Close 7 3", "Unload 7 3", "Delete 7"};

TEST_F(Sound, TheOlderLibraryPlaysTheSelectedSoundsOneAtATimeAndEndsAtClose) {
    Install(FAKE_MASOUND_OLD, 1);
    window->findChild<QAction*>("mima3smwemugsm")->trigger();
    EXPECT_TRUE(window->Editor().Player.Loaded());
    EXPECT_FALSE(window->Editor().Player.NewApi());
    EXPECT_EQ(Calls(), QStringList{"Initialize"});

    Open();
    window->Editor().frFwViewer->cbPlaySnd->setChecked(true);
    ASSERT_TRUE(window->Editor().SelectNode("Sounds"));
    window->Editor().SelectRow(0);
    const qint64 size0 = state.Fw.Firmware.Sounds[0].Size;
    EXPECT_EQ(Calls(), QStringList({"Create 1", "Load 7 " + QString::number(size0) + " 1 0"}) + kStart);
    EXPECT_TRUE(window->Editor().Player.Playing());
    // The firmware's bytes went through the scratch file.
    EXPECT_EQ(QFileInfo(QString::fromStdString(state.Fw.TempDir) + "IntPlayer.mmf").size(), size0);

    // The next sound stops the first before it is loaded.
    window->Editor().SelectRow(1);
    EXPECT_EQ(Calls(), kStop + QStringList({"Create 1", "Load 7 " + QString::number(state.Fw.Firmware.Sounds[1].Size) +
                                                            " 1 0"}) +
                           kStart);

    // The library reports the end from its own thread; the sound stops on
    // the window's thread once its events run.
    auto* lib = dlopen((Path("prog/") + kSoundLibraryFiles[0]).toUtf8().constData(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto finish = reinterpret_cast<void (*)()>(dlsym(lib, "FakeMaSound_Finish"));
    ASSERT_NE(finish, nullptr);
    finish();
    EXPECT_TRUE(window->Editor().Player.Playing());
    EXPECT_TRUE(WaitUntil([&] { return !window->Editor().Player.Playing(); }));
    EXPECT_EQ(Calls(), kStop);

    // Unticking "Play Sounds" stops; selecting then plays nothing.
    window->Editor().SelectRow(0);
    Calls();
    window->Editor().frFwViewer->cbPlaySnd->setChecked(false);
    EXPECT_EQ(Calls(), kStop);
    window->Editor().SelectRow(1);
    EXPECT_TRUE(Calls().isEmpty());

    window->Editor().frFwViewer->cbPlaySnd->setChecked(true);
    window->Editor().SelectRow(0);
    Calls();
    dlclose(lib);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(Calls(), kStop + QStringList{"End"});
    EXPECT_FALSE(window->Editor().Player.Loaded());
}

TEST_F(Sound, TypeCodesRefusedSoundsAndTheFinishAction) {
    Install(FAKE_MASOUND_OLD, 1);
    SoundPlayer& p = window->Editor().Player;
    EXPECT_FALSE(p.Play(Path("x.mmf").toStdString()));  // no library yet
    window->SelectSoundLibrary(1);
    Calls();
    Write("tune.MID", "MThd");
    Write("bad.mmf", "BAD sound");
    EXPECT_FALSE(p.Play(Path("missing.mmf").toStdString()));
    int finished = 0;
    EXPECT_TRUE(p.Play(Path("tune.MID").toStdString(), [&] { ++finished; }));
    EXPECT_EQ(Calls().value(0), "Create 5");
    // A sound the library does not load is not started, but the one playing
    // was stopped first, finish action included.
    EXPECT_FALSE(p.Play(Path("bad.mmf").toStdString()));
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(Calls(), kStop + QStringList({"Create 1", "Load 7 9 1 0"}));
    EXPECT_FALSE(p.Playing());
    EXPECT_EQ(SoundTypeCode("a.saf"), 4);
    EXPECT_EQ(SoundTypeCode("a.Hvs"), 9);
    EXPECT_EQ(SoundTypeCode("a.wav"), 11);
    EXPECT_EQ(SoundTypeCode("dir.wav/a"), 1);
}

TEST_F(Sound, TheNewerLibraryIsDrivenThroughItsEmulatorControls) {
    Install(FAKE_MASOUND_NEW, 2);
    window->findChild<QAction*>("miM5EmuSmw5")->trigger();
    EXPECT_TRUE(window->Editor().Player.NewApi());
    EXPECT_EQ(window->Editor().Player.InitResult(), 0);
    EXPECT_EQ(Calls(), QStringList({"GetEmuInfo 2", "EmuInitialize 48000 3 129 info", "Initialize",
                                    "DeviceControl 13 0 0 0", "DeviceControl 2 31 0 0", "DeviceControl 3 0 31 31",
                                    "DeviceControl 4 31 0 0", "DeviceControl 5 2 0 0", "DeviceControl 6 0 0 0",
                                    "DeviceControl 8 2 0 0", "DeviceControl 9 0 0 0"}));
    Write("a.mmf", "MMMD");
    ASSERT_TRUE(window->Editor().Player.Play(Path("a.mmf").toStdString()));
    Calls();
    // The other choice, absent from the folder: the library goes, none comes.
    window->findChild<QAction*>("mima3smwemugsm")->trigger();
    EXPECT_EQ(Calls(), kStop + QStringList({"Terminate", "EmuTerminate"}));
    EXPECT_FALSE(window->Editor().Player.Loaded());
    EXPECT_TRUE(prompts.Messages.empty());

    // The stored choice loads the library again at the next start.
    window->findChild<QAction*>("miM5EmuSmw5")->trigger();
    window->show();
    EXPECT_TRUE(window->close());
    window = std::make_unique<TfMain>(state, prompts);
    Calls();
    window->show();
    EXPECT_TRUE(window->Editor().Player.NewApi());
    EXPECT_EQ(Calls().value(0), "GetEmuInfo 2");
}

TEST_F(Sound, ALibraryThatDoesNotLoadIsReportedOnce) {
    Write("prog/libma3smwemu_gsm.so", "not a shared object");
    window->findChild<QAction*>("mima3smwemugsm")->trigger();
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].text, "Error load library - ma3smwemu_gsm.dll\r\nSMAF file not playing.");
    EXPECT_EQ(prompts.Messages[0].caption, "");
    EXPECT_FALSE(window->Editor().Player.Loaded());
    Write("a.mmf", "MMMD");
    EXPECT_FALSE(window->Editor().Player.Play(Path("a.mmf").toStdString()));
    EXPECT_EQ(prompts.Messages.size(), 1u);
}

}  // namespace
}  // namespace flashsmith::shell::test
