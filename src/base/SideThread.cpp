#include "base/SideThread.h"

#include <system_error>
#include <utility>

namespace flashsmith::base {

SideThread::SideThread(std::function<void()> work) : work_(std::move(work)) {
    try {
        thread_ = std::thread([this] {
            try {
                work_();
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return;  // no thread to be had: Join runs the work
    }
}

SideThread::~SideThread() {
    if (thread_.joinable()) thread_.join();
}

void SideThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
        work_ = nullptr;
    } else if (work_) {
        std::exchange(work_, nullptr)();
    }
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

}  // namespace flashsmith::base
