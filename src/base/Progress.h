// Long operations report through this seam; the GUI binds it to a progress
// bar and its event loop, the CLI to a terminal bar, tests record it.
#pragma once

#include <cstdint>

namespace flashsmith::base {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void SetRange(int64_t /*max*/) {}
    virtual void SetPosition(int64_t /*pos*/) {}
    virtual void Step(int64_t /*n*/) {}
    virtual void ProcessEvents() {}
};

ProgressSink& NullProgress();

}  // namespace flashsmith::base
