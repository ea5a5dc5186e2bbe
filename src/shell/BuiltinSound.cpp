#include "shell/BuiltinSound.h"

#include <QMetaObject>

#include <QCoreApplication>

#include <algorithm>

#include "firmware/Images.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

BuiltinSound::BuiltinSound(std::unique_ptr<AudioOutput> output, QObject* parent)
    : QObject(parent), output_(std::move(output)) {}

BuiltinSound::~BuiltinSound() {
    ++generation_;
    if (output_) output_->Stop();
    Reap(true);
}

void BuiltinSound::SetOutput(std::unique_ptr<AudioOutput> output) {
    Stop();
    output_ = std::move(output);
}

Result<sound::SmafInfo> BuiltinSound::Select(std::vector<uint8_t> file, bool play) {
    Stop();
    const uint64_t generation = ++generation_;
    Result<sound::SmafInfo> info = sound::ReadSmafInfo(file);
    if (!info) return info;
    playWanted_ = play;
    Reap(false);
    sound::RenderOptions options;
    if (output_) options.sampleRate = output_->PreferredRate();
    auto done = std::make_shared<std::atomic<bool>>(false);
    jobs_.push_back({std::thread([this, generation, options, done, file = std::move(file)] {
                         auto result =
                             std::make_shared<Result<sound::RenderedSound>>(sound::RenderSmaf(file, options));
                         // Runs on the window's thread; dropped if this object is gone.
                         QMetaObject::invokeMethod(
                             this, [this, generation, result] { Finish(generation, *result); }, Qt::QueuedConnection);
                         *done = true;
                     }),
                     done});
    return info;
}

void BuiltinSound::Finish(uint64_t generation, const Result<sound::RenderedSound>& result) {
    if (generation != generation_) return;  // another sound was selected since
    if (!result) {
        if (Failed) Failed(result.Error());
        return;
    }
    if (Rendered) Rendered(*result);
    if (!playWanted_ || !output_) return;
    playWanted_ = false;
    const Status started = output_->Start(result->samples, result->sampleRate, [this] { playing_ = false; });
    playing_ = started.Ok();
    if (!playing_ && Failed) Failed(started.Error());
}

void BuiltinSound::Stop() {
    playWanted_ = false;
    playing_ = false;
    if (output_) output_->Stop();
}

void BuiltinSound::Cancel() {
    Stop();
    ++generation_;
}

void BuiltinSound::WaitForRenders() {
    Reap(true);
    QCoreApplication::sendPostedEvents(this);
}

void BuiltinSound::Reap(bool all) {
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (all || *it->done) {
            it->thread.join();
            it = jobs_.erase(it);
        } else {
            ++it;
        }
    }
}

QString SoundDescription(const sound::SmafInfo& info) {
    const QByteArray stored = QByteArray::fromStdString(info.title);
    QString title = QString::fromUtf8(stored);
    if (title.contains(QChar::ReplacementCharacter)) title = QString::fromLatin1(stored);
    QStringList tracks;
    for (const auto& t : info.tracks) tracks << QString(sound::TrackKindName(t.kind)) + " " + QString::number(t.number);
    return "Title: " + title + "\nFormat: " + sound::FormatName(info.format) + "\nTracks: " + tracks.join(", ") +
           "\nLength: " + QString::number(info.lengthMs / 1000.0, 'f', 3) + " s";
}

Picture WaveformPicture(const sound::RenderedSound& sound, int width, int height) {
    constexpr uint32_t kAxis = 0xA0A0A0, kWave = 0x003080;
    Picture pic(width, height, kClearColour);
    const int mid = height / 2;
    for (int x = 0; x < width; ++x) pic.At(x, mid) = kAxis;
    const size_t frames = sound.samples.size() / 2;
    if (frames == 0 || width <= 0) return pic;
    for (int x = 0; x < width; ++x) {
        const size_t from = frames * static_cast<size_t>(x) / static_cast<size_t>(width);
        const size_t to = std::max(from + 1, frames * static_cast<size_t>(x + 1) / static_cast<size_t>(width));
        int lo = 0, hi = 0;
        for (size_t i = from; i < to && i < frames; ++i) {
            const int v = (sound.samples[2 * i] + sound.samples[2 * i + 1]) / 2;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const int top = mid - hi * (height / 2 - 1) / 32768, bottom = mid - lo * (height / 2 - 1) / 32768;
        for (int y = std::max(0, top); y <= std::min(height - 1, bottom); ++y) pic.At(x, y) = kWave;
    }
    return pic;
}

}  // namespace flashsmith::shell
