// The one phone connection: AT request/answer exchanges over a TComPort, the
// phone's identification on connect, the connection log "FileMan.log", and
// the phone's stored files (lists, send, delete, fetch).
//
// Everything runs on the owner's thread. A wait hands control to
// PhoneEvents::ProcessEvents until the answer is complete or TimeOut ends
// it; received chunks reach the receive buffer only inside such a wait.
// Results are returned; user-visible texts (warnings, status panels) go
// through PhoneEvents so that a GUI shows them and the CLI prints them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/Variables.h"
#include "phonelink/ComPort.h"

namespace flashsmith::phonelink {

struct tPhoneFile {
    std::string Name;  // as the phone reports it (Java: escaped form)
    int32_t Size = 0;
    uint16_t Index = 0;  // the phone's slot number
};

enum PhoneKind : int { kSounds = 1, kImages = 2, kJava = 3 };

struct tConnection {
    int32_t BaudRate = 115200;
    int32_t TimeOut = 2500;  // ms; read at every wait, so a change applies at once
    int32_t ComPortNumber = 0;
    std::string PortDevice;  // when set, used instead of ComPortNumber's device
    std::unique_ptr<TComPort> Port;
    bool Connected = false;
    bool Busy = false;
    std::string IMEI;  // at most 64 characters
    std::string IMSI;  // at most 64 characters
    std::string Model;
    std::string FirmwareVersion;
    std::vector<tPhoneFile> PhoneSounds, PhoneImages, PhoneJavaApps;
    int32_t BlockSize = 0;
    int32_t MemorySecond = 0;
    int32_t MemoryFirst = 0;
};

// The UI seam of the phone link. Defaults make a headless caller work.
class PhoneEvents {
public:
    virtual ~PhoneEvents() = default;
    // Called repeatedly while an exchange waits. Return true when the UI loop
    // processed its events for up to maxWait and delivers received chunks
    // itself (by calling PhoneSession::DeliverPending from its loop, posted by
    // ChunkWaiting); return false to let the session wait on the port.
    virtual bool ProcessEvents(std::chrono::milliseconds /*maxWait*/) { return false; }
    // Reader thread: a chunk waits for DeliverPending. Must not block.
    virtual void ChunkWaiting() {}
    // A phone refusal (message box "Warning!").
    virtual void Warning(const std::string& /*text*/) {}
    // A local failure ("File opening error!", empty caption).
    virtual void Error(const std::string& /*text*/) {}
    // Status bar panel 0..3 of the phone view.
    virtual void Status(int /*panel*/, const std::string& /*text*/) {}
};

enum class ConnectResult { kConnected, kBusy, kPortError, kNoAnswer, kNotSupported };

// Result codes of SendFileToPhone.
enum SendResult : int {
    kSendOk = 0,
    kSendWrongType = -1,   // the file type does not fit the kind (or the name cannot be sent)
    kSendOpenFailed = -2,  // the local file cannot be opened
    kSendRefused = -3,     // the phone refused the write command
    kSendNoMemory = -4,    // ... for lack of memory
    kSendBlockFailed = -5, // a data block was refused or not answered
};

struct SendBatchResult {
    std::vector<int> Codes;  // per local file; for a JAR the descriptor's code once the archive went
    int Sent = 0;
    bool Stopped = false;    // the batch ended early (refused write or reset)
};

enum class DeleteOutcome { kDeleted, kRefused, kGaveUp };

struct FetchOutcome {
    std::string LocalPath;  // "" when the phone refused the read
    bool Complete = false;  // the file was written whole
};

class PhoneSession {
public:
    static constexpr size_t kRxBufferSize = 32768;
    static constexpr int kDeleteAttempts = 3;

    // logDir: folder of "FileMan.log" (ends in '/' or not). events may be null.
    PhoneSession(tConnection& connection, std::string logDir, PhoneEvents* events = nullptr);
    ~PhoneSession();  // releases the port
    PhoneSession(const PhoneSession&) = delete;
    PhoneSession& operator=(const PhoneSession&) = delete;

    tConnection& Connection() { return conn_; }

    ConnectResult Connect();
    void Disconnect();

    // Exchanges; an empty answer means time-out.
    std::string SendCommand(std::string_view command, std::string_view terminator);
    std::string SendBlock(std::string_view data, std::string_view terminator);
    // False on time-out: data untouched, rest = "Mirel ERROR:-1".
    bool ReadRawBytes(size_t count, std::string& data, std::string& rest);
    // True (and a Warning) when the answer holds "ERROR:".
    bool CheckPhoneError(const std::string& answer);

    // The port's read handler (SetOnRead); appends to the receive buffer, never
    // past it.
    void ReceiveChunk(std::string_view chunk);
    // For a UI loop: hands the port's waiting chunk to ReceiveChunk.
    void DeliverPending();

    // File operations; the lists are tConnection's caches.
    bool ReadPhoneList(int kind, base::ProgressSink& progress = base::NullProgress());
    int SendFileToPhone(const std::string& localPath, const std::string& phoneName, int blockSize, int kind,
                        base::ProgressSink& progress = base::NullProgress());
    // tempDir receives "MANIFEST.MF" while a JAR is sent.
    SendBatchResult SendFilesToPhone(int kind, const std::vector<std::string>& localFiles, int blockSize,
                                     bool autoRefresh, const std::string& tempDir,
                                     base::ProgressSink& progress = base::NullProgress());
    // selected: positions in the kind's list, in list order.
    std::vector<DeleteOutcome> DeletePhoneFiles(int kind, const std::vector<size_t>& selected, bool autoRefresh,
                                                base::ProgressSink& progress = base::NullProgress());
    std::vector<FetchOutcome> ReadJavaFromPhone(const std::vector<size_t>& selected, const std::string& folder,
                                                base::ProgressSink& progress = base::NullProgress());

    // Appends raw bytes to FileMan.log.
    void Log(std::string_view bytes);
    void LogEvent(const std::string& text);

private:
    // True when done() held before TimeOut ran out.
    bool Wait(const std::function<bool()>& done);
    // Looks at the receive buffer from `from` on.
    bool CommandDone(std::string_view terminator, size_t from = 0) const;
    void AwaitClosingAnswer(std::string& rest);
    void DropStale();
    void Pump(std::chrono::milliseconds slice);
    std::string Received() const { return std::string(rx_.data(), rxCount_); }
    void ReleasePort();
    void Warn(const std::string& text) { if (events_) events_->Warning(text); }
    void Status(int panel, const std::string& text) { if (events_) events_->Status(panel, text); }

    tConnection& conn_;
    std::string logPath_;
    PhoneEvents* events_;
    std::string rx_;  // kRxBufferSize bytes while connecting or connected
    size_t rxCount_ = 0;
};

std::vector<tPhoneFile>& PhoneList(tConnection& connection, int kind);

// Without a leading echo, every CR and LF, and every "OK".
std::string CleanAnswer(std::string answer, const std::string& command);
// The warning CheckPhoneError shows, or "" when the answer holds no "ERROR:".
std::string PhoneErrorText(const std::string& answer);
// A whole-text decimal integer (blanks around allowed); 0 otherwise.
int32_t StrToIntDef0(const std::string& text);
// The block size a batch uses: a number, "Auto" (the phone's figure); below
// 32 or not a number gives 1024; above 32768 is cut to 32768.
int BlockSizeFromChoice(const std::string& choice, int32_t reported);
// "Memory: <first div 1024>Kb / <second div 1024>Kb".
std::string MemoryText(const tConnection& connection);
// How the view shows a phone name (UTF-8).
std::string DisplayName(int kind, const tPhoneFile& file);
// A phone's name made safe as one local file name: no folder part, no
// separators or control characters, never "", "." or "..".
std::string SafeLocalName(const std::string& displayName);

}  // namespace flashsmith::phonelink
