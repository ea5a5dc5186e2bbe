// Progress of long core operations on a progress bar, keeping the window
// responsive between steps.
#pragma once

#include <QElapsedTimer>

#include "firmware/Variables.h"

class QProgressBar;

namespace flashsmith::shell {

class QtProgress : public base::ProgressSink {
public:
    explicit QtProgress(QProgressBar* bar) : bar_(bar) { clock_.start(); }
    void SetRange(int64_t max) override;
    void SetPosition(int64_t pos) override;
    void Step(int64_t n) override;
    void ProcessEvents() override;

private:
    void Show();
    QProgressBar* bar_;
    int64_t max_ = 0, pos_ = 0;
    int shift_ = 0;  // QProgressBar counts in int: large ranges are scaled down
    QElapsedTimer clock_;
};

}  // namespace flashsmith::shell
