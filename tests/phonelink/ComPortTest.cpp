#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include "phonelink/ComPort.h"
#include "phonelink/ComPortMap.h"

using namespace flashsmith::phonelink;
using namespace std::chrono_literals;

namespace {

struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master);
        ::unlockpt(master);
        path = ::ptsname(master);
    }
    ~Pty() { ::close(master); }
    std::string ReadAll(size_t want) {
        std::string out;
        char buf[4096];
        // Gives up after 30 s without a byte: a bound on a hang only.
        for (int idle = 0; out.size() < want && idle < 300;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) { ++idle; continue; }
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }
    int master;
    std::string path;
};

}  // namespace

TEST(ComPort, OpenFailuresGiveTheirCodes) {
    EXPECT_EQ(TComPort("/nonexistent/tty", 115200).ErrorCode(), kOpenFailed);
    EXPECT_EQ(TComPort("/dev/null", 115200).ErrorCode(), kGetSettingsFailed);
    Pty pty;
    TComPort first(pty.path, 128000);  // a rate outside the termios table
    EXPECT_EQ(first.ErrorCode(), 0);
    EXPECT_EQ(TComPort(pty.path, 115200).ErrorCode(), kOpenFailed) << "the port is not shared";
    EXPECT_EQ(ComPortNumberFromName("COM7"), 7);
    EXPECT_EQ(ComPortNumberFromName("COM65"), 0);
    EXPECT_EQ(ComPortNumberFromName("/dev/ttyS0"), 0);
    for (const char* bad : {"COM+7", "COM 7", "COM\t7", "COM7 ", "COM0", "COM0x7", "COM"})
        EXPECT_EQ(ComPortNumberFromName(bad), 0) << bad;
    EXPECT_EQ(ComPortNumberFromName("com07"), 7);
    ::setenv("FLASHSMITH_COMPORTS", ("COM9=" + pty.path).c_str(), 1);
    EXPECT_EQ(ComPortDevice(9), pty.path);
    ::unsetenv("FLASHSMITH_COMPORTS");
    EXPECT_EQ(ComPortDevice(33), "/dev/ttyUSB0");
}

TEST(ComPort, ChunksArriveWholeInOrderAndOnlyOnTheOwnersThread) {
    Pty pty;
    TComPort port(pty.path, 115200);
    ASSERT_EQ(port.ErrorCode(), 0);
    std::string got;
    size_t largest = 0;
    const auto owner = std::this_thread::get_id();
    bool offThread = false;
    port.SetOnRead([&](std::string_view c) {
        got.append(c);
        largest = std::max(largest, c.size());
        offThread |= std::this_thread::get_id() != owner;
    });
    std::string sent;
    for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i * 7);
    ASSERT_EQ(::write(pty.master, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (got.size() < sent.size() && std::chrono::steady_clock::now() < deadline) port.WaitAndDeliver(50ms);
    EXPECT_EQ(got, sent);
    EXPECT_LE(largest, 256u);
    EXPECT_FALSE(offThread);

    // Without a handler a chunk is dropped, and the next one still comes.
    port.SetOnRead(nullptr);
    ASSERT_EQ(::write(pty.master, "lost", 4), 4);
    ASSERT_TRUE(port.WaitAndDeliver(10000ms));
    got.clear();
    port.SetOnRead([&](std::string_view c) { got.append(c); });
    ASSERT_EQ(::write(pty.master, "kept", 4), 4);
    ASSERT_TRUE(port.WaitAndDeliver(10000ms));
    EXPECT_EQ(got, "kept");
}

TEST(ComPort, LargeWritesReachTheDeviceWholeAndEmptyWritesNothing) {
    Pty pty;
    TComPort port(pty.path, 230400);
    ASSERT_EQ(port.ErrorCode(), 0);
    port.Write("");
    EXPECT_EQ(port.ErrorCode(), 0);
    std::string big(200000, '\0');  // more than the terminal buffers: the rest must be flushed later
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
    port.Write(big);
    EXPECT_EQ(pty.ReadAll(big.size()), big);
    EXPECT_EQ(port.ErrorCode(), 0);
}

TEST(ComPort, ReleaseEndsAWaitingOrBlockedReaderWithoutDelivering) {
    Pty pty;
    std::atomic<int> delivered{0};
    {
        TComPort idle(pty.path, 115200);  // reader waits for a character
        idle.SetOnRead([&](std::string_view) { ++delivered; });
    }
    {
        TComPort parked(pty.path, 115200);  // reader holds a chunk nobody takes
        parked.SetOnRead([&](std::string_view) { ++delivered; });
        std::atomic<bool> waiting{false};
        parked.SetChunkNotifier([&] { waiting = true; });
        ASSERT_EQ(::write(pty.master, "x", 1), 1);
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!waiting && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(waiting);
    }
    EXPECT_EQ(delivered, 0);
}
