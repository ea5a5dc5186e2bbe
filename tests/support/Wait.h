// Waiting in GUI tests for what the event loop brings, instead of sleeping a
// fixed time that a busy machine may overrun. The time-outs only bound a
// hang: both return as soon as their condition holds.
#pragma once

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace flashsmith::test {

// Runs the event loop in short slices until pred holds or timeoutMs has
// passed; returns pred's last answer. Each slice lets the loop wait, so idle
// handlers run too.
template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() >= timeoutMs) return pred();
        QEventLoop slice;
        QTimer::singleShot(5, &slice, &QEventLoop::quit);
        slice.exec();
    }
    return true;
}

// Runs the event loop until it has nothing left to do and is about to wait:
// the moment idle handlers (a window's enabling rules) run. False when it
// stayed busy for timeoutMs.
inline bool WaitForIdle(int timeoutMs = 30000) {
    QEventLoop loop;
    bool idle = false;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    // Connected after the program's own handlers, so they have run when the
    // loop quits.
    const auto c = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                    &loop, [&] {
                                        idle = true;
                                        loop.quit();
                                    });
    loop.exec();
    QObject::disconnect(c);
    return idle;
}

}  // namespace flashsmith::test
