// The CLI's progress bar: on stderr, drawn only when stderr is a terminal,
// so pipes and logs stay clean.
#pragma once

#include "base/Progress.h"

namespace flashsmith::cli {

class TerminalProgressBar : public base::ProgressSink {
public:
    TerminalProgressBar();
    // Clears the bar's line, so the next message starts clean.
    ~TerminalProgressBar() override;
    void SetRange(int64_t max) override;
    void SetPosition(int64_t pos) override;
    void Step(int64_t n) override;

private:
    void Draw();
    bool enabled_;
    bool drawn_ = false;
    int64_t max_ = 0, pos_ = 0;
    int shown_ = -1;
};

// One bar for the whole run, for operations that report through a sink they
// do not own.
base::ProgressSink& TerminalProgress();

}  // namespace flashsmith::cli
