#include "shell/SoundPlayer.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <utility>

#include "base/FileUtil.h"
#include "base/Text.h"

namespace flashsmith::shell {
using base::ExtensionOf;
using base::LowerAscii;

namespace {

// The library's notification carries no context; one player receives it.
std::atomic<SoundPlayer*> gActive{nullptr};
std::atomic<uint64_t> gSerial{0};

template <typename F>
void Resolve(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
}

}  // namespace

struct SoundPlayer::Api {
    int32_t (*Initialize)() = nullptr;
    int32_t (*Create)(int32_t) = nullptr;
    int32_t (*Load)(int32_t, const uint8_t*, uint32_t, int32_t, EndNotification, void*) = nullptr;
    int32_t (*Open)(int32_t, int32_t, int32_t, void*) = nullptr;
    int32_t (*Standby)(int32_t, int32_t, void*) = nullptr;
    int32_t (*Control)(int32_t, int32_t, int32_t, void*, void*) = nullptr;
    int32_t (*Start)(int32_t, int32_t, int32_t, void*) = nullptr;
    int32_t (*Stop)(int32_t, int32_t, void*) = nullptr;
    int32_t (*Close)(int32_t, int32_t, void*) = nullptr;
    int32_t (*Unload)(int32_t, int32_t, void*) = nullptr;
    int32_t (*Delete)(int32_t) = nullptr;
    int32_t (*End)() = nullptr;
    int32_t (*Seek)(int32_t, int32_t, uint32_t, int32_t, void*) = nullptr;
    int32_t (*GetEmuInfo)(int32_t) = nullptr;
    int32_t (*EmuInitialize)(int32_t, int32_t, int32_t, uint32_t*) = nullptr;
    int32_t (*DeviceControl)(int32_t, int32_t, int32_t, int32_t) = nullptr;
    int32_t (*Terminate)() = nullptr;
    int32_t (*EmuTerminate)() = nullptr;
};

int32_t SoundTypeCode(const std::string& path) {
    const std::string ext = LowerAscii(ExtensionOf(path));
    if (ext == ".saf") return 4;
    if (ext == ".mid") return 5;
    if (ext == ".hvs") return 9;
    if (ext == ".wav") return 11;
    return 1;
}

SoundPlayer::SoundPlayer() : api_(new Api) { gActive = this; }

SoundPlayer::~SoundPlayer() {
    Unload();
    SoundPlayer* self = this;
    gActive.compare_exchange_strong(self, nullptr);
    delete api_;
}

bool SoundPlayer::SelectLibrary(const std::string& path) {
    Unload();
    *api_ = Api{};
    newApi_ = false;
    functionId_ = -1;
    fileId_ = 0;
    libraryName_ = path;
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) return false;
    Api& a = *api_;
    Resolve(library_, "MaSound_Initialize", a.Initialize);
    Resolve(library_, "MaSound_Create", a.Create);
    Resolve(library_, "MaSound_Load", a.Load);
    Resolve(library_, "MaSound_Open", a.Open);
    Resolve(library_, "MaSound_Standby", a.Standby);
    Resolve(library_, "MaSound_Control", a.Control);
    Resolve(library_, "MaSound_Start", a.Start);
    Resolve(library_, "MaSound_Stop", a.Stop);
    Resolve(library_, "MaSound_Close", a.Close);
    Resolve(library_, "MaSound_Unload", a.Unload);
    Resolve(library_, "MaSound_Delete", a.Delete);
    Resolve(library_, "MaSound_End", a.End);
    Resolve(library_, "MaSound_Seek", a.Seek);
    Resolve(library_, "MaSound_GetEmuInfo", a.GetEmuInfo);
    Resolve(library_, "MaSound_EmuInitialize", a.EmuInitialize);
    Resolve(library_, "MaSound_DeviceControl", a.DeviceControl);
    Resolve(library_, "MaSound_Terminate", a.Terminate);
    Resolve(library_, "MaSound_EmuTerminate", a.EmuTerminate);
    newApi_ = a.EmuInitialize != nullptr;
    initResult_ = Initialise();
    return true;
}

int32_t SoundPlayer::Initialise() {
    Api& a = *api_;
    if (!a.Initialize) return -1;
    if (!newApi_) return a.Initialize();
    const int32_t info = a.GetEmuInfo ? std::max(0, a.GetEmuInfo(2)) : 0;
    if (!(info & 8)) return -1;
    int32_t r = a.EmuInitialize(48000, 3, 129, &emuInfo_);
    if (r < 0) return r;
    r = a.Initialize();
    if (r < 0) return r;
    if (!a.DeviceControl) return r;
    static constexpr int32_t kSteps[][4] = {{13, 0, 0, 0}, {2, 31, 0, 0}, {3, 0, 31, 31}, {4, 31, 0, 0},
                                            {5, 2, 0, 0},  {6, 0, 0, 0},  {8, 2, 0, 0},   {9, 0, 0, 0}};
    for (const auto& s : kSteps) r = a.DeviceControl(s[0], s[1], s[2], s[3]);
    return r;
}

bool SoundPlayer::Play(const std::string& path, std::function<void()> finish) {
    if (!library_) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    if (playing_) Stop();
    fileId_ = 0;
    buffer_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    Api& a = *api_;
    functionId_ = a.Create ? a.Create(SoundTypeCode(path)) : -1;
    fileId_ = a.Load ? a.Load(functionId_, buffer_.data(), static_cast<uint32_t>(buffer_.size()), 1, &OnEnd, nullptr)
                     : -1;
    if (fileId_ == 0) return false;
    if (a.Open && a.Standby && a.Start && a.Control) {
        int32_t volume = 100;
        serial_ = ++gSerial;
        a.Open(functionId_, fileId_, 0, nullptr);
        a.Standby(functionId_, fileId_, nullptr);
        a.Control(functionId_, fileId_, 5, nullptr, nullptr);
        a.Control(functionId_, fileId_, 0, &volume, nullptr);
        playing_ = true;
        a.Start(functionId_, fileId_, 1, nullptr);
    }
    finish_ = std::move(finish);
    return true;
}

void SoundPlayer::Stop() {
    if (!playing_) return;
    // Cleared first: the finish action may start the next sound.
    playing_ = false;
    if (auto finish = std::exchange(finish_, nullptr)) finish();
    Api& a = *api_;
    if (a.Stop && a.Close && a.Unload) {
        a.Stop(functionId_, fileId_, nullptr);
        a.Close(functionId_, fileId_, nullptr);
        a.Unload(functionId_, fileId_, nullptr);
        if (a.Delete) a.Delete(functionId_);
    }
    std::vector<uint8_t>().swap(buffer_);
}

void SoundPlayer::Unload() {
    if (!library_) return;
    Stop();
    Api& a = *api_;
    if (newApi_) {
        if (a.Terminate) a.Terminate();
        if (a.EmuTerminate) a.EmuTerminate();
    } else if (a.End) {
        a.End();
    }
    dlclose(library_);
    library_ = nullptr;
    *api_ = Api{};
    newApi_ = false;
}

int32_t SoundPlayer::OnEnd(int32_t) {
    SoundPlayer* p = gActive.load();
    if (!p) return 0;
    const uint64_t serial = gSerial.load();
    if (p->Post)
        p->Post([p, serial] { p->EndOfSound(serial); });
    else
        p->EndOfSound(serial);
    return 0;
}

void SoundPlayer::EndOfSound(uint64_t serial) {
    // A notification that arrives after its sound was replaced ends nothing.
    if (serial == serial_) Stop();
}

}  // namespace flashsmith::shell
