// The "File Manager" page against a simulated phone attached as a COM port.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "PhoneSim.h"
#include "shell/ComPorts.h"
#include "shell/FileManPane.h"
#include "shell/PhoneFileManView.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
namespace {

class PhoneViewTest : public ShellTest {
protected:
    // The simulator's terminal becomes COM60, chosen in the COM port menu.
    void StartSim(phonesim::Options options) {
        options.QuietMs = 40;
        sim = std::make_unique<phonesim::PhoneSim>(options);
        const flashsmith::base::Status started = sim->Start();
        ASSERT_TRUE(started) << started.Error();
        qputenv("FLASHSMITH_COMPORTS", QByteArray("COM60=") + sim->SlavePath().c_str());
        window->BuildComPortMenu(ListComPorts());
        auto* port = window->findChild<QAction*>("MIcom60");
        ASSERT_NE(port, nullptr);
        port->trigger();
        view = window->frPhoneFileMan;
        window->show();
        state.Conn.TimeOut = 10000;  // only bounds a hang; tests of time-outs set their own
    }
    void TearDown() override {
        if (view) view->aDisconnectExecute();
        ShellTest::TearDown();
        window.reset();  // releases the port before the phone goes
        if (sim) sim->Stop();
        qunsetenv("FLASHSMITH_COMPORTS");
    }
    QString Panel(int i) const { return view->Panels[i]->text(); }
    QString Write(const QString& name, const QByteArray& data) {
        QDir().mkpath(QFileInfo(Path(name)).path());
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return Path(name);
    }

    std::unique_ptr<phonesim::PhoneSim> sim;
    TfrPhoneFileMan* view = nullptr;
};

QByteArray Bytes(int n, int seed) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 7)) & 0xFF);
    return b;
}

TEST_F(PhoneViewTest, ConnectListSendDeleteFetchAndDisconnect) {
    const QByteArray game = Bytes(300, 3);
    phonesim::Options o;
    StartSim(o);
    sim->AddFile(1, {"Ring", Bytes(700, 1).toStdString(), 0});
    sim->AddFile(3, {"e:\\S100\\Game.jar", game.toStdString(), 0});

    // Selecting a node before connecting asks the phone nothing.
    view->SelectNode("Sounds");
    EXPECT_EQ(view->RowCount(), 0);
    EXPECT_TRUE(sim->Commands().empty());

    // Showing the page connects.
    window->PageControl->setCurrentIndex(4);
    ASSERT_TRUE(state.Conn.Connected);
    EXPECT_FALSE(state.Conn.Busy);
    EXPECT_EQ(Panel(0), "Model: SGH-X100");
    EXPECT_TRUE(Panel(1).startsWith("Firmware: ")) << Panel(1).toStdString();
    EXPECT_EQ(Panel(2), "IMEI: 351234567890123");
    EXPECT_TRUE(view->nodeMyPhone->isExpanded());
    ASSERT_TRUE(WaitForIdle());
    EXPECT_FALSE(window->miConnect->isEnabled());
    EXPECT_TRUE(window->miDisconnect->isEnabled());

    // "My Phone" only resets the phone; Reload List there reads nothing.
    view->SelectNode("My Phone");
    EXPECT_EQ(view->RowCount(), 0);
    EXPECT_EQ(Panel(3), "Memory: 0Kb / 0Kb");
    const size_t before = sim->Commands().size();
    view->bReloadList->click();
    EXPECT_EQ(sim->Commands().size(), before);
    view->SelectNode("Sounds");
    ASSERT_EQ(view->RowCount(), 1);
    EXPECT_EQ(view->Row(0), (QStringList{"Ring", "700", "1"}));
    EXPECT_TRUE(Panel(3).startsWith("Memory: ")) << Panel(3).toStdString();
    EXPECT_FALSE(view->aUpload->isEnabled());
    view->SelectRows({0});
    EXPECT_EQ(view->stParams->text(), "  Size: 700  Index: 1");

    // Two sounds sent from the local list at a chosen block size; the list
    // is read again and the sent files leave the selection.
    window->miAutoRefresh->setChecked(true);
    view->cbBlockSize->setCurrentText("128");
    const QByteArray beep = Bytes(1000, 7);
    const QString beepPath = Write("local/Beep.mmf", beep);
    const QString tonePath = Write("local/Tone.mmf", "tone");
    const QString textPath = Write("local/notes.txt", "x");
    view->frFileMan->SetFolder(Path("local"));
    for (const QString& p : {beepPath, tonePath, textPath}) {
        ASSERT_TRUE(WaitUntil([&] { return view->frFileMan->Lists(p); }));
        view->frFileMan->AddToSelection(p);
    }
    ASSERT_EQ(view->frFileMan->SelectedPaths().size(), 3);
    view->aDownload->trigger();
    EXPECT_TRUE(prompts.Messages.empty());
    const auto sounds = sim->Slots(1);
    ASSERT_EQ(sounds.size(), 3u);
    EXPECT_EQ(sounds[1].Name, "Beep");
    EXPECT_EQ(QByteArray::fromStdString(sounds[1].Data), beep);
    EXPECT_EQ(view->frFileMan->SelectedPaths(), QStringList{textPath});
    ASSERT_EQ(view->RowCount(), 3);
    EXPECT_EQ(view->Row(1), (QStringList{"Beep", "1000", "2"}));
    EXPECT_TRUE(Panel(3).startsWith("Memory: "));
    EXPECT_TRUE(view->isEnabled());

    // A second send of the same name: the phone's refusal is shown.
    view->frFileMan->Deselect(textPath);
    view->frFileMan->AddToSelection(beepPath);
    view->aDownload->trigger();
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].text, "File already exists.");
    EXPECT_EQ(prompts.Messages[0].caption, "Warning!");

    // Deleting two entries from the phone list.
    view->SelectRows({1, 2});
    view->aDelete->trigger();
    ASSERT_EQ(view->RowCount(), 1);
    EXPECT_EQ(view->Row(0)[0], "Ring");
    EXPECT_TRUE(sim->Slots(1)[1].Name.empty());

    // A Java application read into the folder chosen in the local tree.
    view->SelectNode("Java");
    EXPECT_TRUE(view->aUpload->isEnabled());
    ASSERT_EQ(view->RowCount(), 1);
    view->SelectRows({0});
    QDir().mkpath(Path("fetched"));
    view->frFileMan->SetFolder(Path("fetched"));
    view->aUpload->trigger();
    QFile fetched(Path("fetched/Game.jar"));
    ASSERT_TRUE(fetched.open(QIODevice::ReadOnly));
    EXPECT_EQ(fetched.readAll(), game);
    EXPECT_EQ(prompts.Messages.size(), 1u);

    // No closing while connected.
    EXPECT_FALSE(window->close());
    ASSERT_EQ(prompts.Messages.size(), 2u);
    EXPECT_EQ(prompts.Messages[1].text, "First Disconnect the Phone!");
    EXPECT_EQ(prompts.Messages[1].caption, "Error!");

    window->miDisconnect->trigger();
    EXPECT_FALSE(state.Conn.Connected);
    EXPECT_EQ(state.Conn.Port, nullptr);
    EXPECT_EQ(view->RowCount(), 0);
    EXPECT_EQ(Panel(0), "Disconnected");
    EXPECT_EQ(Panel(3), "");
    // The cached lists survive; with no phone nothing is asked.
    const size_t asked = sim->Commands().size();
    view->SelectNode("Sounds");
    EXPECT_EQ(view->RowCount(), 0);
    EXPECT_EQ(sim->Commands().size(), asked);
    EXPECT_TRUE(window->close());
}

TEST_F(PhoneViewTest, DisconnectWaitsWhileAFileIsSent) {
    StartSim({});
    window->PageControl->setCurrentIndex(4);
    ASSERT_TRUE(state.Conn.Connected);
    view->SelectNode("Sounds");
    view->cbBlockSize->setCurrentText("128");
    const QByteArray data = Bytes(1280, 5);
    const QString path = Write("local/Long.mmf", data);
    view->frFileMan->SetFolder(Path("local"));
    ASSERT_TRUE(WaitUntil([&] { return view->frFileMan->Lists(path); }));
    view->frFileMan->AddToSelection(path);
    // The menu stays usable while the view waits for the phone.
    bool disabled = false;
    QTimer::singleShot(100, [&] {
        disabled = !view->isEnabled();
        window->miDisconnect->trigger();
    });
    view->aDownload->trigger();
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(state.Conn.Connected);
    EXPECT_TRUE(view->isEnabled());
    ASSERT_EQ(sim->Slots(1).size(), 1u);
    EXPECT_EQ(QByteArray::fromStdString(sim->Slots(1)[0].Data), data);
}

TEST_F(PhoneViewTest, ASilentPhoneLeavesTheViewDisconnectedAndSaysWhy) {
    phonesim::Options o;
    o.mode = phonesim::Mode::kSilent;
    StartSim(o);
    state.Conn.TimeOut = 100;
    window->PageControl->setCurrentIndex(4);
    EXPECT_FALSE(state.Conn.Connected);
    EXPECT_FALSE(state.Conn.Busy);
    EXPECT_EQ(state.Conn.Port, nullptr);
    EXPECT_EQ(Panel(0), "Error! Phone does not answer (ATZ command)");
    const auto resets = [&] {
        int n = 0;
        for (const std::string& c : sim->Commands()) n += c.find("ATZ") != std::string::npos;
        return n;
    };
    // The last reset may still be on its way to the phone.
    EXPECT_TRUE(WaitUntil([&] { return resets() >= 5; }));
    EXPECT_EQ(resets(), 5);
    QFile log(Path("prog/FileMan.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Error! Phone does not answer (ATZ command) At "));
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(window->miConnect->isEnabled());
    EXPECT_TRUE(window->close());
}

}  // namespace
}  // namespace flashsmith::shell::test
