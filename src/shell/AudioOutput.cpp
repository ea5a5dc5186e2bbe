#include "shell/AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QPointer>

namespace flashsmith::shell {
using namespace flashsmith::base;

namespace {

class QtAudioOutput : public AudioOutput {
public:
    ~QtAudioOutput() override { Stop(); }

    int PreferredRate() const override {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        const int rate = device.isNull() ? 0 : device.preferredFormat().sampleRate();
        return rate >= 8000 && rate <= 192000 ? rate : 48000;
    }

    Status Start(std::vector<int16_t> samples, int rate, std::function<void()> finished) override {
        Stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return Status::Fail("no audio output device");
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            return Status::Fail("the audio device does not play 16-bit stereo at " + std::to_string(rate) + " Hz");
        buffer_ = new QBuffer;
        buffer_->setData(reinterpret_cast<const char*>(samples.data()),
                         static_cast<qsizetype>(samples.size() * sizeof(int16_t)));
        buffer_->open(QIODevice::ReadOnly);
        sink_ = new QAudioSink(device, format);
        buffer_->setParent(sink_);
        finished_ = std::move(finished);
        QObject::connect(sink_, &QAudioSink::stateChanged, sink_, [this, sink = sink_](QAudio::State state) {
            // Idle: every byte went out; the sound has ended.
            if (sink != sink_ || state != QAudio::IdleState) return;
            auto done = std::exchange(finished_, nullptr);
            Stop();
            if (done) done();
        });
        sink_->start(buffer_);
        if (sink_->error() != QAudio::NoError) {
            Stop();
            return Status::Fail("the audio device cannot be opened");
        }
        return {};
    }

    void Stop() override {
        finished_ = nullptr;
        if (!sink_) return;
        QAudioSink* sink = std::exchange(sink_, nullptr);
        buffer_ = nullptr;
        sink->disconnect();
        sink->stop();
        // Not deleted here: Stop may run inside the sink's own signal.
        sink->deleteLater();
    }

private:
    QAudioSink* sink_ = nullptr;
    QBuffer* buffer_ = nullptr;
    std::function<void()> finished_;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeQtAudioOutput() { return std::make_unique<QtAudioOutput>(); }

}  // namespace flashsmith::shell
