#include "phonelink/ComPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace flashsmith::phonelink {

bool SetCustomBaudRate(int fd, int baudRate);

namespace {

speed_t StandardSpeed(int32_t baud) {
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
    }
}

}  // namespace

bool SetLineSettings(int fd, int32_t baudRate) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    // Hardware flow control stays as the driver reported it.
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = StandardSpeed(baudRate);
    if (speed != 0 && ::cfsetspeed(&tio, speed) != 0) return false;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    if (speed == 0) return baudRate > 0 && SetCustomBaudRate(fd, baudRate);
    return true;
}

TComPort::TComPort(const std::string& device, int32_t baudRate) : portName_(device) {
    fd_.Reset(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd_.Valid()) {
        errorCode_ = kOpenFailed;
        return;
    }
    // Not shared: a second open of the same device fails like the first
    // program holding it. flock also binds root, TIOCEXCL other programs.
    if (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
        fd_.Reset();
        errorCode_ = kOpenFailed;
        return;
    }
    termios probe{};
    if (::tcgetattr(fd_.Get(), &probe) != 0) {
        errorCode_ = kGetSettingsFailed;
        return;
    }
    if (!SetLineSettings(fd_.Get(), baudRate)) {
        errorCode_ = kSetSettingsFailed;
        return;
    }
    if (::tcflush(fd_.Get(), TCIOFLUSH) != 0) {
        errorCode_ = kPurgeFailed;
        return;
    }
    ::ioctl(fd_.Get(), TIOCEXCL);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_.Reset(pipeEnds[0]);
        wakeWrite_.Reset(pipeEnds[1]);
    } else {
        errorCode_ = kWriteEventFailed;
        return;
    }
    try {
        readerRunning_ = true;
        reader_ = std::thread(&TComPort::ReaderLoop, this);
    } catch (...) {
        readerRunning_ = false;
        errorCode_ = kReaderStartFailed;
    }
}

TComPort::~TComPort() {
    stop_ = true;
    {
        std::lock_guard<std::mutex> lock(mailMutex_);
        mailCv_.notify_all();
    }
    if (wakeWrite_.Valid()) {
        const char c = 'x';
        [[maybe_unused]] ssize_t n = ::write(wakeWrite_.Get(), &c, 1);
    }
    if (reader_.joinable()) reader_.join();
}

void TComPort::SetError(int32_t code) { errorCode_ = code; }

void TComPort::SetChunkNotifier(std::function<void()> notifier) {
    std::lock_guard<std::mutex> lock(mailMutex_);
    notifier_ = std::move(notifier);
}

void TComPort::Write(std::string_view bytes) {
    if (bytes.empty() || !fd_.Valid()) return;
    std::lock_guard<std::mutex> lock(outMutex_);
    outQueue_.append(bytes);
    FlushOutputLocked();
    // What the device did not take now goes out when it is ready again.
    if (!outQueue_.empty() && wakeWrite_.Valid()) {
        const char c = 'w';
        [[maybe_unused]] ssize_t n = ::write(wakeWrite_.Get(), &c, 1);
    }
}

void TComPort::FlushOutputLocked() {
    while (!outQueue_.empty()) {
        const ssize_t n = ::write(fd_.Get(), outQueue_.data(), outQueue_.size());
        if (n > 0) {
            outQueue_.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        SetError(kWriteFailed);
        outQueue_.clear();
        return;
    }
}

bool TComPort::DeliverPending() {
    std::string chunk;
    {
        std::lock_guard<std::mutex> lock(mailMutex_);
        if (!mailbox_) return false;
        chunk = std::move(*mailbox_);
    }
    if (onRead_) onRead_(chunk);
    {
        // Only now is the chunk handled: the reader may fetch the next one.
        std::lock_guard<std::mutex> lock(mailMutex_);
        mailbox_.reset();
    }
    mailCv_.notify_all();
    return true;
}

bool TComPort::WaitAndDeliver(std::chrono::milliseconds maxWait) {
    {
        std::unique_lock<std::mutex> lock(mailMutex_);
        mailCv_.wait_for(lock, maxWait, [&] { return mailbox_.has_value(); });
        if (!mailbox_) return false;
    }
    return DeliverPending();
}

void TComPort::ReaderLoop() {
    char buffer[256];
    for (;;) {
        bool wantWrite;
        {
            std::lock_guard<std::mutex> lock(outMutex_);
            wantWrite = !outQueue_.empty();
        }
        pollfd fds[2] = {{fd_.Get(), static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {wakeRead_.Get(), POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (stop_) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            SetError(kWaitFailed);
            break;
        }
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_.Get(), drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents & POLLOUT) {
            std::lock_guard<std::mutex> lock(outMutex_);
            FlushOutputLocked();
        }
        if (fds[0].revents & (POLLERR | POLLNVAL)) {
            SetError(kLineStatusFailed);
            break;
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP))) continue;
        const ssize_t n = ::read(fd_.Get(), buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            // Error or the other end hung up; nothing is delivered.
            SetError(kReadFailed);
            break;
        }
        std::function<void()> notify;
        {
            std::unique_lock<std::mutex> lock(mailMutex_);
            mailbox_.emplace(buffer, static_cast<size_t>(n));
            notify = notifier_;
        }
        mailCv_.notify_all();
        if (notify) notify();
        {
            std::unique_lock<std::mutex> lock(mailMutex_);
            mailCv_.wait(lock, [&] { return !mailbox_.has_value() || stop_.load(); });
        }
        if (stop_) break;
    }
    {
        std::lock_guard<std::mutex> lock(mailMutex_);
        readerRunning_ = false;
    }
    mailCv_.notify_all();
}

}  // namespace flashsmith::phonelink
