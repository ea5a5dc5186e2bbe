// A simulated phone: a pseudo-terminal whose far end answers the AT dialogue
// of the phone link from a virtual file store of sounds, pictures and Java
// files. Stored names are what the phone reports; sounds and pictures keep
// fixed slot numbers (a deleted slot stays empty), Java files take the first
// free of 80 slots.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Result.h"

namespace phonesim {

enum class Mode {
    kNormal,
    kSilent,    // never answers
    kGarbage,   // answers every command line with text that never ends an answer
    kOverlong,  // answers every command line with 40000 bytes before its "OK"
};

struct Options {
    std::string Manufacturer = "Samsung Electronics";
    std::string Model = "SGH-X100";
    std::string Firmware = "X100XXJC1";
    std::string Imei = "351234567890123";
    std::string Imsi = "250011234567890";
    Mode mode = Mode::kNormal;
    int IgnoreResets = 0;   // the first N "ATZ" get no answer
    bool Echo = true;       // command lines are echoed
    int64_t Memory = 1 << 20;  // bytes of storage
    int32_t BlockSize = 512;   // figure reported to the phone link
    int QuietMs = 40;          // a pause this long ends a data block
    int StallAfterPieces = -1; // stop sending a Java file after this many pieces
    // The line drops once, this many bytes into a file sent to the phone: the
    // rest of that transfer is lost and the phone is back at its command
    // prompt after a quiet pause.
    int64_t DropAfterBytes = -1;
    // A Java file's closing "OK" comes this long after its last piece, and
    // the phone reads on only as long again after it: the "OK" arrives on
    // its own, well before the answer to whatever was sent meanwhile.
    int ClosingOkDelayMs = 0;
};

struct File {
    std::string Name;
    std::string Data;
    int Type = 0;  // pictures: 2 GIF, 11 JPEG
};

class PhoneSim {
public:
    explicit PhoneSim(Options options = {});
    ~PhoneSim();
    PhoneSim(const PhoneSim&) = delete;
    PhoneSim& operator=(const PhoneSim&) = delete;

    // Opens the pseudo-terminal and starts answering on a thread.
    flashsmith::base::Status Start();
    void Stop();
    const std::string& SlavePath() const { return slavePath_; }
    void SetMode(Mode mode) { mode_ = mode; }

    // kind 1 sounds, 2 pictures, 3 Java.
    void AddFile(int kind, File file);
    // Stored files of a kind in slot order; empty slots as files without name.
    std::vector<File> Slots(int kind) const;
    // Command lines received, in order (data blocks and ">>" requests not included).
    std::vector<std::string> Commands() const;
    // True from the moment a request was deliberately left unanswered (a
    // silent phone, an ignored reset, a stalled piece, a dropped line) until
    // the next request arrives. Lets a test end that wait early instead of
    // shortening every wait.
    bool Withholding() const { return withholding_; }

private:
    void Run();
    void Handle(const std::string& bytes);
    void HandleLine(const std::string& line);
    void Send(const std::string& bytes);
    void Reply(const std::string& text) { Send("\r\n" + text + "\r\n"); }
    void Ok() { Send("\r\nOK\r\n"); }
    void FinishBlock(bool whole, const char* prompt = nullptr);
    int64_t UsedLocked() const;

    Options opt_;
    int master_ = -1, slaveKeep_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string slavePath_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<Mode> mode_;
    std::atomic<bool> withholding_{false};
    int piecesSent_ = 0;

    mutable std::mutex mutex_;
    std::vector<std::optional<File>> store_[4];
    std::vector<std::string> commands_;

    // Dialogue state (simulator thread only).
    enum class State { kCommand, kReceiving, kConfirmDelete, kSendingJava, kDropped } state_ = State::kCommand;
    std::string line_;
    int rxKind_ = 0;
    File rxFile_;
    int64_t rxSize_ = 0;
    uint32_t rxCrc_ = 0;
    size_t unacked_ = 0;
    int deleteKind_ = 0;
    size_t deleteSlot_ = 0;
    std::string txData_;
    size_t txPos_ = 0;
};

}  // namespace phonesim
