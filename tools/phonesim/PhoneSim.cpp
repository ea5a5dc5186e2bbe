#include "PhoneSim.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <zlib.h>

#include "base/Numbers.h"
#include "base/Text.h"

namespace phonesim {

namespace {

constexpr size_t kJavaSlots = 80;
constexpr size_t kMaxLine = 4096;

// Fields after '=', split at commas outside double quotes, quotes removed.
std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// A decimal field of an AT command; -1 when it is none.
int64_t Number(const std::string& s) {
    return flashsmith::base::ParseInteger(flashsmith::base::TrimBlanks(s), flashsmith::base::kNumberSign).value_or(-1);
}

}  // namespace

PhoneSim::PhoneSim(Options options) : opt_(std::move(options)), mode_(opt_.mode) {}

PhoneSim::~PhoneSim() {
    Stop();
    if (master_ >= 0) ::close(master_);
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
}

flashsmith::base::Status PhoneSim::Start() {
    auto fail = [](const char* what) { return flashsmith::base::Status::Fail(std::string(what) + ": " + std::strerror(errno)); };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail("posix_openpt");
    // Non-blocking, so that a long answer nobody reads cannot hold up Stop().
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail("grantpt/unlockpt");
    const char* name = ::ptsname(master_);
    if (!name) return fail("ptsname");
    slavePath_ = name;
    // Holding the far end open keeps the master readable between two
    // clients (a read would fail with EIO once the last one closed).
    slaveKeep_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0) return fail("open pty");
    termios tio{};
    if (::tcgetattr(slaveKeep_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slaveKeep_, TCSANOW, &tio);
    }
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    running_ = true;
    thread_ = std::thread(&PhoneSim::Run, this);
    return {};
}

void PhoneSim::Stop() {
    if (!running_.exchange(false)) return;
    const char c = 'x';
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &c, 1);
    if (thread_.joinable()) thread_.join();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void PhoneSim::AddFile(int kind, File file) {
    if (kind < 1 || kind > 3) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slots = store_[kind];
    if (kind == 3) {
        for (auto& s : slots)
            if (!s) {
                s = std::move(file);
                return;
            }
        if (slots.size() >= kJavaSlots) return;
    }
    slots.emplace_back(std::move(file));
}

std::vector<File> PhoneSim::Slots(int kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<File> out;
    if (kind < 1 || kind > 3) return out;
    for (const auto& s : store_[kind]) out.push_back(s ? *s : File{});
    return out;
}

std::vector<std::string> PhoneSim::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

int64_t PhoneSim::UsedLocked() const {
    int64_t used = 0;
    for (const auto& slots : store_)
        for (const auto& s : slots)
            if (s) used += static_cast<int64_t>(s->Data.size());
    return used;
}

void PhoneSim::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
            if (!running_) return;
        } else {
            return;
        }
    }
}

void PhoneSim::Run() {
    char buf[4096];
    while (running_) {
        const int timeout = (state_ == State::kReceiving && unacked_ > 0) || state_ == State::kDropped ? opt_.QuietMs : -1;
        pollfd fds[2] = {{master_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, timeout);
        if (!running_ || (fds[1].revents & POLLIN)) break;
        if (r == 0) {
            if (state_ == State::kDropped) {
                // The line is back: what was being received is lost.
                rxFile_ = {};
                state_ = State::kCommand;
            } else {
                FinishBlock(false);
            }
            continue;
        }
        if (r < 0 || !(fds[0].revents & POLLIN)) {
            if (r < 0 && errno != EINTR) break;
            if (fds[0].revents & (POLLHUP | POLLERR)) ::usleep(10000);
            continue;
        }
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) {
            ::usleep(10000);
            continue;
        }
        Handle(std::string(buf, static_cast<size_t>(n)));
    }
}

void PhoneSim::Handle(const std::string& bytes) {
    if (state_ != State::kDropped) withholding_ = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        switch (state_) {
        case State::kDropped:
            return;  // lost on the line, up to the quiet pause
        case State::kReceiving: {
            if (opt_.DropAfterBytes >= 0 && static_cast<int64_t>(rxFile_.Data.size()) >= opt_.DropAfterBytes) {
                opt_.DropAfterBytes = -1;
                state_ = State::kDropped;
                withholding_ = true;
                return;
            }
            size_t n = std::min<size_t>(bytes.size() - i, static_cast<size_t>(rxSize_) - rxFile_.Data.size());
            if (opt_.DropAfterBytes >= 0)
                n = std::min<size_t>(n, static_cast<size_t>(opt_.DropAfterBytes) - rxFile_.Data.size());
            rxFile_.Data.append(bytes, i, n);
            unacked_ += n;
            i += n - 1;
            if (static_cast<int64_t>(rxFile_.Data.size()) == rxSize_) FinishBlock(true);
            continue;
        }
        case State::kConfirmDelete:
            state_ = State::kCommand;
            if (c == 'o') {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    auto& slots = store_[deleteKind_];
                    if (deleteSlot_ < slots.size()) slots[deleteSlot_].reset();
                }
                Send("\r\nCRCERR\r\n");
                continue;
            }
            break;
        case State::kSendingJava:
            if (c == '>') {
                // Every second '>' of ">>" asks for the next piece of 128 bytes.
                if (++unacked_ % 2 != 0) continue;
                if (piecesSent_++ == opt_.StallAfterPieces) {
                    withholding_ = true;
                    continue;
                }
                const size_t n = std::min<size_t>(128, txData_.size() - txPos_);
                Send(txData_.substr(txPos_, n));
                txPos_ += n;
                if (txPos_ >= txData_.size()) {
                    state_ = State::kCommand;
                    const auto delay = static_cast<useconds_t>(opt_.ClosingOkDelayMs) * 1000;
                    if (delay > 0) ::usleep(delay);
                    Ok();
                    if (delay > 0) ::usleep(delay);
                }
                continue;
            }
            state_ = State::kCommand;
            break;
        case State::kCommand:
            break;
        }
        if (c == '\r') {
            HandleLine(line_);
            line_.clear();
        } else if (c != '\0' && !(c == '\n' && line_.empty()) && line_.size() < kMaxLine) {
            line_ += c;
        }
    }
}

void PhoneSim::FinishBlock(bool whole, const char* prompt) {
    unacked_ = 0;
    if (!whole) {
        Send(rxKind_ == 3 ? ">>" : "\r\n>");
        return;
    }
    state_ = State::kCommand;
    if (rxKind_ != 3) {
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(rxFile_.Data.data()),
                                static_cast<uInt>(rxFile_.Data.size()));
        if (static_cast<uint32_t>(crc) != rxCrc_) {
            if (prompt) Send(prompt);
            Reply("+CME ERROR: 101");
            return;
        }
    }
    AddFile(rxKind_, std::move(rxFile_));
    rxFile_ = {};
    // An empty file is stored before its prompt goes out: the sender has
    // nothing more to send and may look at the store right after the prompt.
    if (prompt) Send(prompt);
    Ok();
}

void PhoneSim::HandleLine(const std::string& line) {
    if (line.empty()) return;
    // Read before the line is recorded: once a test sees the command, a mode
    // it sets next applies to the next command only.
    const Mode mode = mode_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(line);
    }
    if (mode == Mode::kSilent) {
        withholding_ = true;
        return;
    }
    if (opt_.Echo) Send(line + "\r");
    if (mode == Mode::kGarbage) {
        Send("\r\n#~garbage~#\r");
        return;
    }
    if (mode == Mode::kOverlong) {
        Send(std::string(40000, 'x') + "\r\nOK\r\n");
        return;
    }
    const size_t eq = line.find('=');
    const std::string head = eq == std::string::npos ? line : line.substr(0, eq + 1);
    const std::vector<std::string> f = eq == std::string::npos ? std::vector<std::string>() : Fields(line.substr(eq + 1));
    auto answer = [&](const std::string& text) { Send("\r\n" + text + "\r\n\r\nOK\r\n"); };

    if (line == "ATZ") {
        if (opt_.IgnoreResets > 0) {
            --opt_.IgnoreResets;
            withholding_ = true;
            return;
        }
        Ok();
    } else if (line == "AT") {
        Ok();
    } else if (line == "AT+CGMI") {
        answer(opt_.Manufacturer);
    } else if (line == "AT+CGMM") {
        answer(opt_.Model);
    } else if (line == "AT+CGSN") {
        answer(opt_.Imei);
    } else if (line == "AT+CIMI") {
        answer(opt_.Imsi);
    } else if (line == "AT+INFO") {
        std::string info = "+INFO: ";
        const char* fields[] = {opt_.Model.c_str(), "GSM", "900/1800", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        for (const char* v : fields) info += std::string("\"") + v + "\",";
        answer(info + "\"" + opt_.Firmware + "\",\"end\"");
    } else if (line == "AT+MELW?" || line == "AT+IMGW?") {
        int64_t used;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            used = UsedLocked();
        }
        answer(line.substr(2, 5) + ": 1,0," + std::to_string(opt_.Memory - used) + "," + std::to_string(opt_.Memory) +
               "," + std::to_string(opt_.BlockSize) + ",");
    } else if (line == "AT+MELR?" || line == "AT+IMGR?") {
        const int kind = line == "AT+MELR?" ? 1 : 2;
        size_t n;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            n = store_[kind].size();
        }
        answer(line.substr(2, 5) + ": " + std::to_string(n) + ",100");
    } else if (head == "AT+MELR=" || head == "AT+IMGR=" || head == "AT+IMGF=") {
        const int kind = head == "AT+MELR=" ? 1 : head == "AT+IMGR=" ? 2 : 3;
        const int64_t n = f.empty() ? -1 : Number(f[0]);
        std::optional<File> file;
        bool inRange;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto& slots = store_[kind];
            inRange = n >= 1 && (kind == 3 ? n <= static_cast<int64_t>(kJavaSlots) : n <= static_cast<int64_t>(slots.size()));
            if (inRange && n <= static_cast<int64_t>(slots.size())) file = slots[static_cast<size_t>(n - 1)];
        }
        if (!inRange) {
            Reply("+CME ERROR: 21");
            return;
        }
        const std::string prefix = head.substr(2, 5) + ": \"";
        if (!file) answer(prefix + "\",0");
        else if (kind == 2) answer(prefix + file->Name + "\"," + std::to_string(file->Data.size()) + "," + std::to_string(file->Type));
        else answer(prefix + file->Name + "\"," + std::to_string(file->Data.size()));
    } else if ((head == "AT+MELW=" && f.size() == 5) || (head == "AT+IMGW=" && f.size() == 10)) {
        const int kind = head == "AT+MELW=" ? 1 : 2;
        const int64_t index = Number(f[0]);
        if (index > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (index > static_cast<int64_t>(store_[kind].size()) || !store_[kind][static_cast<size_t>(index - 1)]) {
                Reply("+CME ERROR: 22");
                return;
            }
            deleteKind_ = kind;
            deleteSlot_ = static_cast<size_t>(index - 1);
            state_ = State::kConfirmDelete;
            Send("\r\n>");
            return;
        }
        const int64_t size = Number(f[kind == 1 ? 3 : 8]);
        const int64_t crc = Number(f[kind == 1 ? 4 : 9]);
        if (index != 0 || f[1].empty() || size < 0 || crc < 0) {
            Reply("+CME ERROR: 4");
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto& s : store_[kind])
                if (s && s->Name == f[1]) {
                    Reply("ERROR:53");
                    return;
                }
            if (size > opt_.Memory - UsedLocked()) {
                Reply("+CME ERROR:NOMEMORY");
                return;
            }
        }
        rxKind_ = kind;
        rxFile_ = File{f[1], {}, kind == 2 ? static_cast<int>(Number(f[2])) : 0};
        rxSize_ = size;
        rxCrc_ = static_cast<uint32_t>(crc);
        unacked_ = 0;
        if (size == 0) {
            FinishBlock(true, "\r\n>");
        } else {
            Send("\r\n>");
            state_ = State::kReceiving;
        }
    } else if (head == "AT+MELP=" && f.size() == 2) {
        const int64_t size = Number(f[1]);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            size_t used = 0;
            for (const auto& s : store_[3]) used += s ? 1 : 0;
            for (const auto& s : store_[3])
                if (s && s->Name == f[0]) {
                    Reply("ERROR:53");
                    return;
                }
            if (size < 0 || f[0].empty()) {
                Reply("+CME ERROR: 4");
                return;
            }
            if (used >= kJavaSlots || size > opt_.Memory - UsedLocked()) {
                Reply("+CME ERROR:NOMEMORY");
                return;
            }
        }
        rxKind_ = 3;
        rxFile_ = File{f[0], {}, 0};
        rxSize_ = size;
        unacked_ = 0;
        if (size == 0) {
            FinishBlock(true, ">>");
        } else {
            Send(">>");
            state_ = State::kReceiving;
        }
    } else if (head == "AT+IMGC=" || head == "AT+MELF=") {
        const std::string name = line.substr(eq + 1);
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& s : store_[3]) {
            if (!s || s->Name != name) continue;
            if (head == "AT+IMGC=") {
                s.reset();
                Send("\r\nOK\r\n");
            } else {
                txData_ = s->Data;
                txPos_ = 0;
                unacked_ = 0;
                piecesSent_ = 0;
                Send("\r\n" + std::to_string(txData_.size()) + "\r\n>");
                if (!txData_.empty()) state_ = State::kSendingJava;
            }
            return;
        }
        Reply("+CME ERROR: 22");
    } else {
        Reply("ERROR");
    }
}

}  // namespace phonesim
