#include "phonelink/PhoneSession.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>
#include <thread>

#include "base/FileHandle.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "phonelink/ComPortMap.h"

namespace flashsmith::phonelink {
using namespace flashsmith::base;

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string NowText() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[64];
    if (std::strftime(buf, sizeof buf, "%x %X", &tm) == 0) return {};
    return buf;
}

}  // namespace

std::vector<tPhoneFile>& PhoneList(tConnection& connection, int kind) {
    if (kind == kSounds) return connection.PhoneSounds;
    if (kind == kImages) return connection.PhoneImages;
    return connection.PhoneJavaApps;
}

std::string CleanAnswer(std::string answer, const std::string& command) {
    if (!command.empty() && answer.compare(0, command.size(), command) == 0) answer.erase(0, command.size());
    // Removing every "OK" until none is left, in one pass: an "OK" that a
    // removal brings together ("OOKK") is dropped as soon as its "K" arrives.
    std::string out;
    out.reserve(answer.size());
    for (char c : answer) {
        if (c == '\r' || c == '\n') continue;
        if (c == 'K' && !out.empty() && out.back() == 'O') out.pop_back();
        else out += c;
    }
    return out;
}

std::string PhoneErrorText(const std::string& answer) {
    const size_t p = answer.find("ERROR:");
    if (p == std::string::npos) return {};
    if (Contains(answer, "NOMEMORY")) return "No Memory.";
    if (Contains(answer, "ERROR:53")) return "File already exists.";
    const size_t start = p + 6;
    const size_t end = answer.find("\r\n", start);
    return "AT Error Number " + (end == std::string::npos ? std::string() : answer.substr(start, end - start));
}

int32_t StrToIntDef0(const std::string& text) {
    const NumberParts p = SplitNumber(TrimChars(text, " "), kNumberSign);
    const auto v = ParseDigits(p.digits, 10);
    if (!v || *v > uint64_t(INT32_MAX) + (p.negative ? 1 : 0)) return 0;
    return static_cast<int32_t>(p.negative ? -static_cast<int64_t>(*v) : static_cast<int64_t>(*v));
}

int BlockSizeFromChoice(const std::string& choice, int32_t reported) {
    int64_t size = choice == "Auto" ? reported : StrToIntDef0(choice);
    if (size < 32) size = 1024;
    // A phone's figure must not decide how much memory a block takes.
    if (size > static_cast<int64_t>(PhoneSession::kRxBufferSize)) size = PhoneSession::kRxBufferSize;
    return static_cast<int>(size);
}

std::string MemoryText(const tConnection& c) {
    return "Memory: " + std::to_string(c.MemoryFirst / 1024) + "Kb / " + std::to_string(c.MemorySecond / 1024) + "Kb";
}

PhoneSession::PhoneSession(tConnection& connection, std::string logDir, PhoneEvents* events)
    : conn_(connection), events_(events) {
    if (!logDir.empty() && logDir.back() != '/') logDir += '/';
    logPath_ = logDir + "FileMan.log";
}

PhoneSession::~PhoneSession() {
    ReleasePort();
    conn_.Connected = false;
    conn_.Busy = false;
}

void PhoneSession::ReleasePort() {
    // The reader is joined inside the port's destructor; no chunk reaches
    // this session afterwards.
    conn_.Port.reset();
    rx_.clear();
    rx_.shrink_to_fit();
    rxCount_ = 0;
}

void PhoneSession::Log(std::string_view bytes) {
    if (const UniqueFile f = OpenFile(logPath_, "ab")) std::fwrite(bytes.data(), 1, bytes.size(), f.get());
}

void PhoneSession::LogEvent(const std::string& text) { Log(text + NowText() + "\r\n"); }

void PhoneSession::ReceiveChunk(std::string_view chunk) {
    if (rxCount_ >= rx_.size()) return;
    const size_t n = std::min(chunk.size(), rx_.size() - rxCount_);
    std::copy(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n), rx_.begin() + static_cast<std::ptrdiff_t>(rxCount_));
    rxCount_ += n;
}

void PhoneSession::DeliverPending() {
    if (conn_.Port) conn_.Port->DeliverPending();
}

void PhoneSession::Pump(std::chrono::milliseconds slice) {
    if (events_ && events_->ProcessEvents(slice)) return;
    if (conn_.Port) conn_.Port->WaitAndDeliver(slice);
    else std::this_thread::sleep_for(slice);
}

bool PhoneSession::Wait(const std::function<bool()>& done) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (;;) {
        const auto limit = start + milliseconds(std::max<int32_t>(conn_.TimeOut, 0));
        const auto now = steady_clock::now();
        if (now >= limit) return false;
        Pump(std::min<milliseconds>(duration_cast<milliseconds>(limit - now) + milliseconds(1), milliseconds(20)));
        if (done()) return true;
    }
}

void PhoneSession::DropStale() {
    // Bytes that arrived before the request went out (the late end of an
    // earlier answer) cannot answer it; left in, they would end its wait.
    while (conn_.Port && conn_.Port->DeliverPending()) {
    }
    rxCount_ = 0;
}

bool PhoneSession::CommandDone(std::string_view terminator, size_t from) const {
    if (rxCount_ <= from) return false;
    const std::string_view a(rx_.data() + from, rxCount_ - from);
    if (Contains(a, "OK\r\n")) return true;
    if (size_t p = a.find("ERR"); p != std::string_view::npos && Contains(a.substr(p + 3, 24), "\r\n")) return true;
    return !terminator.empty() && Contains(a, terminator);
}

std::string PhoneSession::SendCommand(std::string_view command, std::string_view terminator) {
    if (!conn_.Port) return {};
    DropStale();
    if (!command.empty()) conn_.Port->Write(command);
    const bool ok = Wait([&] { return CommandDone(terminator); });
    std::string a = Received();
    if (Contains(a, "ERR") && !Contains(a, ":-1") && !Contains(terminator, "CRCERR")) Log(std::string(command) + a);
    if (!ok) return {};
    if (!command.empty())
        if (size_t p = a.find(command); p != std::string::npos) a.erase(p, command.size());
    return a;
}

std::string PhoneSession::SendBlock(std::string_view data, std::string_view terminator) {
    if (!conn_.Port) return {};
    DropStale();
    if (!data.empty()) conn_.Port->Write(data);
    const bool ok = Wait([&] { return CommandDone(terminator); });
    std::string a = Received();
    if (Contains(a, "ERR") && !Contains(a, ":-1")) Log(std::string(data) + a);
    return ok ? a : std::string();
}

bool PhoneSession::ReadRawBytes(size_t count, std::string& data, std::string& rest) {
    rest = "Mirel ERROR:-1";
    if (!conn_.Port || count > rx_.size()) return false;
    rxCount_ = 0;
    if (!Wait([&] { return rxCount_ >= count; })) return false;
    data.assign(rx_.data(), count);
    rest.assign(rx_.data() + count, rxCount_ - count);
    return true;
}

void PhoneSession::AwaitClosingAnswer(std::string& rest) {
    // The phone closes a transfer with "OK" (or an error) after the last
    // piece, and it may come a moment after the piece. Left on the line it
    // would be taken for the answer to the next command.
    const size_t from = rxCount_ - std::min(rest.size(), rxCount_);
    Wait([&] { return CommandDone("", from); });
    rest.assign(rx_.data() + from, rxCount_ - from);
}

bool PhoneSession::CheckPhoneError(const std::string& answer) {
    const std::string text = PhoneErrorText(answer);
    if (text.empty()) return false;
    Warn(text);
    return true;
}

ConnectResult PhoneSession::Connect() {
    if (conn_.Connected || conn_.Busy) return ConnectResult::kBusy;
    conn_.Busy = true;
    rx_.assign(kRxBufferSize, '\0');
    rxCount_ = 0;
    const std::string device = conn_.PortDevice.empty() ? ComPortDevice(conn_.ComPortNumber) : conn_.PortDevice;
    conn_.Port = std::make_unique<TComPort>(device, conn_.BaudRate);
    conn_.Port->SetOnRead([this](std::string_view chunk) { ReceiveChunk(chunk); });
    if (events_) conn_.Port->SetChunkNotifier([ev = events_] { ev->ChunkWaiting(); });
    auto fail = [&](ConnectResult result, const std::string& logText) {
        ReleasePort();
        conn_.Busy = false;
        LogEvent(logText);
        return result;
    };
    if (const int32_t code = conn_.Port->ErrorCode(); code != 0)
        return fail(ConnectResult::kPortError, "Error #" + std::to_string(code) + " while opening COM port At ");

    // A phone waking up may miss the first resets; at most five go out and
    // the fifth one's answer no longer counts.
    static const std::string kAtz("ATZ\r\0\0\0\0\0\0\0\0", 12);
    for (int count = 1;; ++count) {
        const std::string answer = SendCommand(kAtz, "");
        if (count > 4) return fail(ConnectResult::kNoAnswer, "Error! Phone does not answer (ATZ command) At ");
        if (!answer.empty()) break;
    }
    if (!Contains(SendCommand("AT+CGMI\r", ""), "Samsung"))
        return fail(ConnectResult::kNotSupported, "Error! Phone Model not Supported At ");

    conn_.Model = CleanAnswer(SendCommand("AT+CGMM\r", ""), "AT+CGMM\r");
    Status(0, "Model: " + conn_.Model);

    std::string info = CleanAnswer(SendCommand("AT+INFO\r", ""), "AT+INFO\r");
    for (int i = 0; i < 13; ++i) {
        const size_t comma = info.find(',');
        info.erase(0, std::min(info.size(), comma == std::string::npos ? 1 : comma + 2));
    }
    if (size_t q = info.find('"'); q != std::string::npos) info.erase(q);
    conn_.FirmwareVersion = info;
    Status(1, "Firmware: " + info);

    conn_.IMEI = CleanAnswer(SendCommand("AT+CGSN\r", ""), "AT+CGSN\r").substr(0, 64);
    Status(2, "IMEI: " + conn_.IMEI);
    conn_.IMSI = CleanAnswer(SendCommand("AT+CIMI\r", ""), "AT+CIMI\r").substr(0, 64);

    conn_.Connected = true;
    conn_.Busy = false;
    LogEvent("Phone Connected At ");
    return ConnectResult::kConnected;
}

void PhoneSession::Disconnect() {
    if (!conn_.Connected) return;
    conn_.Connected = false;
    SendCommand("ATZ\r", "");
    ReleasePort();
    for (int panel = 0; panel < 4; ++panel) Status(panel, "");
    Status(0, "Disconnected");
}

}  // namespace flashsmith::phonelink
