#include "cli/TerminalProgress.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace flashsmith::cli {
using namespace flashsmith::base;

TerminalProgressBar::TerminalProgressBar() : enabled_(::isatty(STDERR_FILENO) == 1) {}

TerminalProgressBar::~TerminalProgressBar() {
    if (drawn_) std::fputs("\r\033[K", stderr);
}

void TerminalProgressBar::SetRange(int64_t max) {
    max_ = max;
    Draw();
}

void TerminalProgressBar::SetPosition(int64_t pos) {
    pos_ = pos;
    Draw();
}

void TerminalProgressBar::Step(int64_t n) {
    pos_ += n;
    Draw();
}

void TerminalProgressBar::Draw() {
    if (!enabled_ || max_ <= 0) return;
    const int percent = static_cast<int>(std::clamp<int64_t>(pos_ * 100 / max_, 0, 100));
    if (percent == shown_) return;
    shown_ = percent;
    const int width = 40, filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(), std::string(width - filled, ' ').c_str(),
                 percent);
    std::fflush(stderr);
    drawn_ = true;
}

ProgressSink& TerminalProgress() {
    static TerminalProgressBar progress;
    return progress;
}

}  // namespace flashsmith::cli
