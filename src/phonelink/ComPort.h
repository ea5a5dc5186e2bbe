// The byte pipe to the phone: one serial device in raw mode (8N1, the chosen
// baud rate), writes that never block the caller, and a reader thread that
// hands every received chunk (at most 256 bytes) to the owner's thread and
// waits until it has been handled.
//
// The hand-over keeps the owner single-threaded: the reader parks each chunk
// in a one-slot mailbox and blocks; the owner takes it with DeliverPending()
// (or WaitAndDeliver()) on its own thread, which runs the SetOnRead handler
// there. A GUI sets SetChunkNotifier() to post a "deliver" call into its event
// loop; the CLI and the tests simply call WaitAndDeliver() in their wait loops.
// Further bytes stay in the driver's queue while a chunk waits.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "base/FileHandle.h"

namespace flashsmith::phonelink {

// Codes kept in TComPort::ErrorCode(): 0 while everything succeeded,
// otherwise the first failed step.
enum ComPortError : int32_t {
    kPortOk = 0,
    kOpenFailed = -10,        // the device cannot be opened, or another program holds it
    kGetSettingsFailed = -11, // not a terminal device
    kSetSettingsFailed = -12, // line settings (baud rate, 8N1, raw) refused
    kPurgeFailed = -13,
    kEventMaskFailed = -14,   // non-blocking mode cannot be set
    kWriteEventFailed = -15,  // the reader's wake-up channel cannot be created
    kReaderStartFailed = -1,
    kWaitFailed = -2,         // waiting for input failed
    kLineStatusFailed = -3,   // the device reported an error state
    kReadFailed = -4,         // reading failed or the other end hung up
    kWriteFailed = -20,
};

class TComPort {
public:
    using ReadHandler = std::function<void(std::string_view chunk)>;

    // Opens the device; the caller tests ErrorCode() (non-zero: not usable).
    TComPort(const std::string& device, int32_t baudRate);
    // Stops and joins the reader before anything is released: no chunk is
    // handed over and no field is touched afterwards.
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    int32_t ErrorCode() const { return errorCode_.load(); }
    const std::string& PortName() const { return portName_; }

    // Queues all bytes (zero bytes included) and returns at once; the reader
    // thread flushes what the device did not take. A failure shows only in
    // ErrorCode() (-20).
    void Write(std::string_view bytes);

    // Runs on the owner's thread with each chunk; a chunk arriving while no
    // handler is set is dropped.
    void SetOnRead(ReadHandler handler) { onRead_ = std::move(handler); }
    // Called on the reader thread when a chunk starts waiting; must not block.
    void SetChunkNotifier(std::function<void()> notifier);

    // Owner thread: hands the waiting chunk (if any) to the SetOnRead handler;
    // true if one was.
    bool DeliverPending();
    // Owner thread: waits up to maxWait for a chunk and delivers it.
    bool WaitAndDeliver(std::chrono::milliseconds maxWait);

    // Whether the reader is still running (it stops on a device failure).
    bool ReaderRunning() const { return readerRunning_.load(); }

private:
    void ReaderLoop();
    void FlushOutputLocked();
    void SetError(int32_t code);

    std::string portName_;
    // Closed when the port goes, after the reader thread has been joined.
    base::UniqueFd fd_;
    base::UniqueFd wakeRead_, wakeWrite_;  // wakes the reader's poll
    std::atomic<int32_t> errorCode_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> readerRunning_{false};
    std::thread reader_;

    std::mutex outMutex_;
    std::string outQueue_;

    std::mutex mailMutex_;
    std::condition_variable mailCv_;
    std::optional<std::string> mailbox_;
    std::function<void()> notifier_;
    ReadHandler onRead_;
};

// Applies raw mode, 8 data bits, no parity, one stop bit and the baud rate
// (standard or not) to an open terminal; false when the device refuses.
bool SetLineSettings(int fd, int32_t baudRate);

}  // namespace flashsmith::phonelink
