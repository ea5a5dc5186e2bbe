#include "sound/Ffmpeg.h"

#include <dlfcn.h>

namespace flashsmith::sound::ffmpeg {
using namespace flashsmith::base;

namespace {

struct Loaded {
    Api api;
    std::string error;
};

// The sonames of the versions the program was built against: the
// structures it reads are laid out as those versions lay them out.
std::string Soname(const char* lib, int major) { return std::string("lib") + lib + ".so." + std::to_string(major); }

Loaded LoadAll() {
    Loaded r;
    struct Library {
        const char* name;
        int major;
        void* handle;
    } libs[] = {{"avutil", LIBAVUTIL_VERSION_MAJOR, nullptr},
                {"avcodec", LIBAVCODEC_VERSION_MAJOR, nullptr},
                {"avformat", LIBAVFORMAT_VERSION_MAJOR, nullptr},
                {"swresample", LIBSWRESAMPLE_VERSION_MAJOR, nullptr}};
    for (Library& l : libs) {
        // Kept loaded for the rest of the run.
        l.handle = ::dlopen(Soname(l.name, l.major).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!l.handle) {
            const char* why = ::dlerror();
            r.error = "FFmpeg is not available (" + std::string(why ? why : Soname(l.name, l.major)) + ")";
            return r;
        }
    }
    auto handle = [&](const char* lib) {
        for (const Library& l : libs)
            if (std::string(l.name) == lib) return l.handle;
        return static_cast<void*>(nullptr);
    };
#define FS_FFMPEG_RESOLVE(lib, name)                                                       \
    r.api.name = reinterpret_cast<decltype(r.api.name)>(::dlsym(handle(#lib), #name));    \
    if (!r.api.name) {                                                                     \
        r.error = "FFmpeg is not available (lib" #lib " has no " #name ")";                \
        return r;                                                                          \
    }
    FS_FFMPEG_FUNCTIONS(FS_FFMPEG_RESOLVE)
#undef FS_FFMPEG_RESOLVE
    return r;
}

}  // namespace

Result<const Api*> Load() {
    static const Loaded loaded = LoadAll();
    if (!loaded.error.empty()) return Status::Fail(loaded.error);
    return &loaded.api;
}

}  // namespace flashsmith::sound::ffmpeg
