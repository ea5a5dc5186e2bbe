#include "shell/QtProgress.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace flashsmith::shell {

void QtProgress::SetRange(int64_t max) {
    max_ = max < 0 ? 0 : max;
    shift_ = 0;
    while ((max_ >> shift_) > 0x3FFFFFFF) ++shift_;
    bar_->setRange(0, static_cast<int>(max_ >> shift_));
    pos_ = 0;
    Show();
}

void QtProgress::SetPosition(int64_t pos) {
    pos_ = pos;
    Show();
}

void QtProgress::Step(int64_t n) {
    pos_ += n;
    Show();
}

void QtProgress::Show() {
    const int64_t v = std::clamp<int64_t>(pos_, 0, max_) >> shift_;
    if (bar_->value() != static_cast<int>(v)) bar_->setValue(static_cast<int>(v));
}

void QtProgress::ProcessEvents() {
    // Often enough to keep the window alive, rarely enough not to slow the work.
    if (clock_.elapsed() < 30) return;
    clock_.restart();
    QCoreApplication::processEvents();
}

}  // namespace flashsmith::shell
