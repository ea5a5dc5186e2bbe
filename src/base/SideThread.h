// Work that runs on a second thread while the caller does its own share:
// for large reads and scans that split into independent parts, so that a
// second core is used where there is one. Where no thread can be had, the
// work runs in Join instead: the outcome is the same, only later.
#pragma once

#include <exception>
#include <functional>
#include <thread>

namespace flashsmith::base {

class SideThread {
public:
    explicit SideThread(std::function<void()> work);
    // Waits for the work (its failure is dropped: the caller is failing already).
    ~SideThread();
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    // Waits until the work is done; rethrows what it threw. Once only.
    void Join();

private:
    std::function<void()> work_;  // still to run when no thread could start
    std::thread thread_;
    std::exception_ptr error_;
};

}  // namespace flashsmith::base
