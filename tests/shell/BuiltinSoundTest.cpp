// The built-in player: every selected sound is described and drawn in the
// viewer and, with "Play Sounds" ticked, played through a stand-in output.
#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>

#include "shell/AudioOutput.h"
#include "shell/BuiltinSound.h"
#include "shell/FirmwareViewer.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
using namespace flashsmith::base;
namespace {

// Records what the player sends; a sound ends when the test says so.
struct Log {
    std::vector<std::pair<size_t, int>> starts;  // samples, rate
    int stops = 0;
    std::function<void()> finish;
    std::string refusal;  // set: the output refuses to start with this
};

class StandInOutput : public AudioOutput {
public:
    explicit StandInOutput(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    int PreferredRate() const override { return 16000; }
    Status Start(std::vector<int16_t> samples, int rate, std::function<void()> finished) override {
        log_->starts.push_back({samples.size(), rate});
        if (!log_->refusal.empty()) return Status::Fail(log_->refusal);
        log_->finish = std::move(finished);
        return {};
    }
    void Stop() override {
        ++log_->stops;
        log_->finish = nullptr;
    }

private:
    std::shared_ptr<Log> log_;
};

class BuiltIn : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        window->Editor().BuiltinPlayer->SetOutput(std::make_unique<StandInOutput>(log));
    }
    void Select(int row) {
        window->Editor().SelectRow(row);
        window->Editor().BuiltinPlayer->WaitForRenders();
    }
    // Pixels of the waveform's colour in the viewer.
    int WavePixels() const {
        const QImage& image = window->Editor().frFwViewer->imViewer->Image();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == 0x003080;
        return n;
    }
    QString StatusText() const { return window->findChild<QLabel*>("StatusPanel3")->text(); }
    std::shared_ptr<Log> log = std::make_shared<Log>();
};

TEST_F(BuiltIn, IsTheFirstChoiceAndPlaysOneSelectedSoundAtATime) {
    EXPECT_TRUE(window->findChild<QAction*>("miBuiltIn")->isChecked());
    EXPECT_EQ(window->Editor().SoundChoice(), TfEditorPage::kBuiltInPlayer);
    Open();
    window->Editor().frFwViewer->cbPlaySnd->setChecked(true);
    ASSERT_TRUE(window->Editor().SelectNode("Sounds"));
    Select(0);
    ASSERT_EQ(log->starts.size(), 1u);
    EXPECT_EQ(log->starts[0].second, 16000);
    EXPECT_GT(log->starts[0].first, 16000u * 2 / 4) << "a quarter second of stereo at least";
    EXPECT_TRUE(window->Editor().BuiltinPlayer->Playing());
    const QLabel* info = window->Editor().frFwViewer->lbSoundInfo;
    EXPECT_FALSE(info->isHidden());
    EXPECT_TRUE(info->text().startsWith("Title: Ring 1\nFormat: ")) << info->text().toStdString();
    EXPECT_TRUE(info->text().contains("Length: ")) << info->text().toStdString();
    EXPECT_GT(WavePixels(), 100);

    // Another sound stops the first before it starts.
    const int stops = log->stops;
    Select(1);
    EXPECT_GT(log->stops, stops);
    ASSERT_EQ(log->starts.size(), 2u);
    EXPECT_TRUE(info->text().startsWith("Title: Ring 2")) << info->text().toStdString();
    // The end of the sound is reported back.
    ASSERT_TRUE(log->finish);
    log->finish();
    EXPECT_FALSE(window->Editor().BuiltinPlayer->Playing());

    // Unticking stops; unticked, a sound is shown but not played.
    Select(2);
    window->Editor().frFwViewer->cbPlaySnd->setChecked(false);
    EXPECT_FALSE(window->Editor().BuiltinPlayer->Playing());
    Select(3);
    EXPECT_EQ(log->starts.size(), 3u);
    EXPECT_GT(WavePixels(), 100);

    // Leaving the page and closing the window stop it too.
    window->Editor().frFwViewer->cbPlaySnd->setChecked(true);
    Select(4);
    EXPECT_TRUE(window->Editor().BuiltinPlayer->Playing());
    window->PageControl->setCurrentIndex(2);
    EXPECT_FALSE(window->Editor().BuiltinPlayer->Playing());
    window->PageControl->setCurrentIndex(0);
    Select(0);
    EXPECT_TRUE(window->Editor().BuiltinPlayer->Playing());
    const int before = log->stops;
    window->close();
    EXPECT_GT(log->stops, before);
    EXPECT_EQ(StatusText(), "");
}

TEST_F(BuiltIn, ASoundThatCannotBeReadIsNamedInTheStatusBarOnly) {
    Open();
    window->Editor().frFwViewer->cbPlaySnd->setChecked(true);
    ASSERT_TRUE(window->Editor().SelectNode("Sounds"));
    const QString junk = Path("junk.mmf");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("MMMD\x00\x00\x10\x00garbage", 16);
    f.close();
    window->Editor().SelectRow(1);
    prompts.Files.push_back(junk);
    window->Editor().aReplaceFileExecute();
    for (int click = 0; click < 3; ++click) {
        Select(0);
        Select(1);
    }
    EXPECT_TRUE(prompts.Messages.empty());
    EXPECT_TRUE(StatusText().startsWith("Sound_2: ")) << StatusText().toStdString();
    EXPECT_TRUE(window->Editor().frFwViewer->lbSoundInfo->isHidden());
    EXPECT_EQ(WavePixels(), 0);
    EXPECT_EQ(log->starts.size(), 3u) << "only the readable sound played";
    // A readable sound clears the message.
    Select(0);
    EXPECT_EQ(StatusText(), "");

    // An output that cannot play says why, and nothing counts as playing.
    log->refusal = "no audio output device";
    Select(2);
    EXPECT_EQ(log->starts.size(), 5u);
    EXPECT_FALSE(window->Editor().BuiltinPlayer->Playing());
    EXPECT_EQ(StatusText(), "no audio output device");
    EXPECT_FALSE(window->Editor().frFwViewer->lbSoundInfo->isHidden()) << "the sound itself was read";
}

TEST_F(BuiltIn, ALibraryChoiceStoredWithoutItsLibraryFallsBackToBuiltIn) {
    window->findChild<QAction*>("mima3smwemugsm")->trigger();
    EXPECT_EQ(window->Editor().SoundChoice(), 1);
    window->show();
    EXPECT_TRUE(window->close());
    window = std::make_unique<TfMain>(state, prompts);
    window->show();
    EXPECT_TRUE(window->findChild<QAction*>("miBuiltIn")->isChecked());
    EXPECT_EQ(window->Editor().SoundChoice(), TfEditorPage::kBuiltInPlayer);
}

}  // namespace
}  // namespace flashsmith::shell::test
