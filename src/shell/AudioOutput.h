// Where the built-in player's PCM goes: Qt Multimedia's audio sink in the
// program, a recording stand-in in the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/Result.h"

namespace flashsmith::shell {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // The rate sounds should be rendered at for this output.
    virtual int PreferredRate() const = 0;
    // Starts playing 16-bit interleaved stereo samples without blocking,
    // after stopping whatever plays. finished runs on the caller's thread
    // when the sound has played to its end (not after Stop). Fails when
    // there is no way to play.
    virtual base::Status Start(std::vector<int16_t> samples, int rate, std::function<void()> finished) = 0;
    virtual void Stop() = 0;
};

// The default audio device through QAudioSink.
std::unique_ptr<AudioOutput> MakeQtAudioOutput();

}  // namespace flashsmith::shell
