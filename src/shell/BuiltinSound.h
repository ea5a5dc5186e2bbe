// The built-in SMAF player of the sound preview. A selected sound is read at
// once (so its description or its error shows without delay), rendered on a
// worker thread and, when asked, played through an AudioOutput. Only the
// latest selection counts: a render that ends after another sound was
// selected is dropped, and one that ends after Stop is shown but not played.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Result.h"
#include "firmware/Picture.h"
#include "shell/AudioOutput.h"
#include "sound/Smaf.h"

namespace flashsmith::shell {

class BuiltinSound : public QObject {
    Q_OBJECT
public:
    explicit BuiltinSound(std::unique_ptr<AudioOutput> output, QObject* parent = nullptr);
    ~BuiltinSound() override;
    BuiltinSound(const BuiltinSound&) = delete;
    BuiltinSound& operator=(const BuiltinSound&) = delete;

    void SetOutput(std::unique_ptr<AudioOutput> output);

    // Stops the current sound and reads this one; fails when it cannot be
    // read. Rendering follows in the background; Rendered then
    // receives the result on this thread, and it plays when play is set.
    base::Result<sound::SmafInfo> Select(std::vector<uint8_t> file, bool play);
    void Stop();
    // Stops and drops the render in progress (the selection left the sounds).
    void Cancel();
    bool Playing() const { return playing_; }
    // Waits for every render to end and delivers the latest (tests, closing).
    void WaitForRenders();

    std::function<void(const sound::RenderedSound&)> Rendered;
    // A render or the output failed (e.g. no audio device).
    std::function<void(const std::string& error)> Failed;

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void Finish(uint64_t generation, const base::Result<sound::RenderedSound>& result);
    void Reap(bool all);

    std::unique_ptr<AudioOutput> output_;
    std::vector<Job> jobs_;
    uint64_t generation_ = 0;
    bool playWanted_ = false;
    bool playing_ = false;
};

// "Title: ...", format, track kinds and length, one per line.
QString SoundDescription(const sound::SmafInfo& info);

// The rendered sound's envelope on a light canvas: per column the lowest and
// highest sample of both channels mixed, full scale filling the height.
firmware::Picture WaveformPicture(const sound::RenderedSound& sound, int width, int height);

}  // namespace flashsmith::shell
