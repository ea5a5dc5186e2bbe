// Runs a piece of work in a child process and reports what it cost: CPU time
// and peak memory. Tests use it to show that hostile input is handled in
// bounded time and memory without timing the work on the wall clock.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

namespace flashsmith::test {

// The bounds hostile inputs must meet: 2 s of CPU and 200 MB, loosened under
// the sanitizers, whose checks and shadow memory cost several times more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr double kBoundSeconds = 10;
inline constexpr int64_t kBoundBytes = int64_t(800) << 20;
#else
inline constexpr double kBoundSeconds = 2;
inline constexpr int64_t kBoundBytes = int64_t(200) << 20;
#endif

struct RunCost {
    bool Finished = false;  // exited normally
    int ExitCode = -1;
    double CpuSeconds = 0;
    int64_t PeakBytes = 0;

    bool WithinBounds() const { return Finished && CpuSeconds <= kBoundSeconds && PeakBytes <= kBoundBytes; }
};

// Runs work() in a forked child; its result is the exit code (0 = true).
// The child is stopped after 60 s of CPU and, outside the sanitizers, at
// 4 GB of address space, so a regression fails the test instead of taking
// the machine with it.
inline RunCost RunBounded(const std::function<bool()>& work) {
    RunCost cost;
    const pid_t pid = ::fork();
    if (pid == 0) {
        rlimit cpu{60, 60};
        ::setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        rlimit as{rlim_t(4) << 30, rlim_t(4) << 30};
        ::setrlimit(RLIMIT_AS, &as);
#endif
        ::_exit(work() ? 0 : 1);
    }
    if (pid < 0) return cost;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return cost;
    cost.Finished = WIFEXITED(status);
    cost.ExitCode = cost.Finished ? WEXITSTATUS(status) : -1;
    cost.CpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                      usage.ru_stime.tv_usec / 1e6;
    cost.PeakBytes = static_cast<int64_t>(usage.ru_maxrss) * 1024;
    return cost;
}

}  // namespace flashsmith::test

#include <ostream>

namespace flashsmith::test {
inline std::ostream& operator<<(std::ostream& out, const RunCost& c) {
    return out << (c.Finished ? "exit " + std::to_string(c.ExitCode) : std::string("killed")) << ", "
               << c.CpuSeconds << " s CPU, " << (c.PeakBytes >> 20) << " MB peak";
}
}  // namespace flashsmith::test
