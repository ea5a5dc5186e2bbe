// Sound preview through an external SMAF emulator library exporting the
// "MaSound_" functions. The library is loaded at run time with dlopen; the
// Options menu's two choices map to shared objects in the program's folder:
//
//   "ma3smwemu_gsm"     (Tag 1)  ->  libma3smwemu_gsm.so
//   "M5_EmuSmw5 (new)"  (Tag 2)  ->  libM5_EmuSmw5.so
//
// The newer library is recognised by its MaSound_EmuInitialize export and is
// driven through its emulator-control calls. Every entry point may be
// missing; the steps that need it are then skipped. The player holds no
// window: the caller shows the load error and marshals the end-of-sound
// notification to its own thread through Post.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace flashsmith::shell {

inline constexpr const char* kSoundLibraryFiles[] = {"libma3smwemu_gsm.so", "libM5_EmuSmw5.so"};
inline constexpr const char* kSoundLibraryError = "Error load library - ma3smwemu_gsm.dll\r\nSMAF file not playing.";

// The type code the library expects for a file, by its extension in any case:
// .mmf 1, .saf 4, .mid 5, .hvs 9, .wav 11, anything else 1.
int32_t SoundTypeCode(const std::string& path);

class SoundPlayer {
public:
    using EndNotification = int32_t (*)(int32_t);

    SoundPlayer();
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Unloads any library (stopping its sound), then loads and initialises
    // the one at path. False when it could not be loaded.
    bool SelectLibrary(const std::string& path);
    // Plays one file from the start, stopping the current sound first. The
    // finish action runs when the sound is stopped, by Stop or by its end.
    bool Play(const std::string& path, std::function<void()> finish = {});
    void Stop();
    // Stops, terminates the emulator and releases the library.
    void Unload();
    bool Playing() const { return playing_; }
    bool Loaded() const { return library_ != nullptr; }
    bool NewApi() const { return newApi_; }
    // The result of the last initialisation (negative: a step failed).
    int32_t InitResult() const { return initResult_; }

    // Runs the end-of-sound handling on the caller's thread. The library
    // calls its notification on a thread of its choosing; by default the
    // handling runs right there.
    std::function<void(std::function<void()>)> Post;

private:
    struct Api;
    static int32_t OnEnd(int32_t id);
    void EndOfSound(uint64_t serial);
    int32_t Initialise();

    void* library_ = nullptr;
    std::string libraryName_;
    bool newApi_ = false;
    Api* api_;
    int32_t functionId_ = -1;
    int32_t fileId_ = 0;
    std::vector<uint8_t> buffer_;
    bool playing_ = false;
    std::function<void()> finish_;
    uint32_t emuInfo_ = 0;
    int32_t initResult_ = -1;
    uint64_t serial_ = 0;  // which sound a late end notification belongs to
};

}  // namespace flashsmith::shell
