#include "firmware/FileUtil.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flashsmith {

bool WriteFileAtomic(const std::string& path, const std::function<bool(std::FILE*)>& write,
                     std::string* error) {
    // A fresh name every time, created exclusively: never follows a link
    // planted at a guessable name, never shares a file with another write
    // to the same target from this process.
    static std::atomic<unsigned> counter{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    std::FILE* f = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!f) {
        if (error) *error = path + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            std::remove(tmp.c_str());
        }
        return false;
    }
    bool ok = write(f);
    if (std::fflush(f) != 0 || std::ferror(f)) ok = false;
    int savedErrno = errno;
    if (std::fclose(f) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        savedErrno = errno;
        ok = false;
    }
    if (!ok) {
        std::remove(tmp.c_str());
        if (error && error->empty())
            *error = path + ": " + (savedErrno ? std::strerror(savedErrno) : "write failed");
    }
    return ok;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error) {
    return WriteFileAtomic(
        path,
        [&](std::FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); },
        error);
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    }
    out.clear();
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok && error) *error = path + ": read error";
    return ok;
}

bool SameFile(const std::string& path, const std::string& image) {
    struct stat a{}, b{};
    if (path.empty() || image.empty() || ::stat(path.c_str(), &a) != 0 || ::stat(image.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool FileExists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

bool DirExists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& path) {
    size_t p = path.find_last_of('/');
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace flashsmith
