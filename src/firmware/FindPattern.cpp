#include "firmware/FindPattern.h"

#include <algorithm>
#include <cstring>

namespace flashsmith::firmware {
using namespace flashsmith::base;

int64_t FindPattern(const ByteSource& file, int64_t start, const std::string& pattern,
                    ProgressSink& progress) {
    if (pattern.empty() || pattern.size() > 255 || start < 0 || start >= file.Size()) return -1;
    // Search in 1 MiB steps so the event loop and the progress bar keep up;
    // each step overlaps the next by the pattern length less one.
    constexpr int64_t kStep = 1 << 20;
    const int64_t size = file.Size();
    const int64_t m = static_cast<int64_t>(pattern.size());
    for (int64_t pos = start; pos < size; pos += kStep) {
        int64_t end = std::min(size, pos + kStep + m - 1);
        if (end - pos >= m) {
            const std::string_view step = file.View(pos, static_cast<size_t>(end - pos));
            // Shorter than asked: a file read on demand could not be read
            // further, and there is nothing more to look at.
            if (step.size() < pattern.size()) return -1;
            const void* hit = ::memmem(step.data(), step.size(), pattern.data(), pattern.size());
            if (hit) return pos + (static_cast<const char*>(hit) - step.data());
            if (step.size() < static_cast<size_t>(end - pos)) return -1;
        }
        progress.Step(std::min(kStep, size - pos));
        progress.ProcessEvents();
    }
    return -1;
}

}  // namespace flashsmith::firmware
