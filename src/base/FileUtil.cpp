#include "base/FileUtil.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/FileHandle.h"

namespace flashsmith::base {

Status WriteFileAtomic(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    // A fresh name every time, created exclusively: never follows a link
    // planted at a guessable name, never shares a file with another write
    // to the same target from this process.
    static std::atomic<unsigned> counter{0};
    std::string tmp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd.Valid(); ++attempt) {
        tmp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        fd.Reset(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.Valid() && errno != EEXIST) break;
    }
    UniqueFile f(fd.Valid() ? ::fdopen(fd.Get(), "wb") : nullptr);
    if (!f) {
        const int openErrno = errno;
        if (fd.Valid()) {
            fd.Reset();
            std::remove(tmp.c_str());
        }
        return Status::Fail(path + ": " + std::strerror(openErrno));
    }
    fd.Release();  // the stream owns the descriptor now
    bool ok = write(f.get());
    if (std::fflush(f.get()) != 0 || std::ferror(f.get())) ok = false;
    int savedErrno = errno;
    if (std::fclose(f.release()) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        savedErrno = errno;
        ok = false;
    }
    if (ok) return {};
    std::remove(tmp.c_str());
    return Status::Fail(path + ": " + (savedErrno ? std::strerror(savedErrno) : "write failed"));
}

Status WriteFileAtomic(const std::string& path, std::string_view bytes) {
    // An empty view may have no data pointer at all, which fwrite must not get.
    return WriteFileAtomic(
        path, [&](std::FILE* f) { return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); });
}

Status ReadWholeFile(const std::string& path, std::string& out) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return Status::Fail(path + ": " + std::strerror(errno));
    // One read into a buffer sized from the file; growing only matters for
    // pipes and for files that grow while being read.
    struct stat st {};
    size_t capacity = 1 << 16;
    if (::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        capacity = static_cast<size_t>(st.st_size) + 4097;  // room to meet the end
    out.resize(capacity);
    size_t size = 0;
    for (;;) {
        if (out.size() - size < 4096) out.resize(out.size() * 2);
        const ssize_t n = ::read(fd.Get(), out.data() + size, out.size() - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Status::Fail(path + ": " + std::strerror(errno));
        if (n == 0) break;
        size += static_cast<size_t>(n);
    }
    out.resize(size);
    return {};
}

bool SameFile(const std::string& path, const std::string& image) {
    struct stat a{}, b{};
    if (path.empty() || image.empty() || ::stat(path.c_str(), &a) != 0 || ::stat(image.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool DirExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

int64_t FileSizeOf(const std::string& path) {
    // Opened, not stat'ed: a file the program may not read has no size for it.
    UniqueFile f = OpenFile(path, "rb");
    if (!f) return -1;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return -1;
    return std::ftell(f.get());
}

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return {};
    std::string folder = parent.string();
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string ExtensionOf(const std::string& path) {
    return std::filesystem::path(path).extension().string();
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    // Not path's operator/, which drops dir when name starts with '/'.
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

int64_t CopyFileRange(std::FILE* source, std::FILE* target, int64_t sourceOffset, int64_t count,
                      int64_t targetOffset) {
    if (count == 0) {
        if (std::fseek(source, 0, SEEK_END) != 0) return 0;
        count = std::ftell(source);
    }
    if (count <= 0 || std::fseek(source, sourceOffset, SEEK_SET) != 0 ||
        std::fseek(target, targetOffset, SEEK_SET) != 0)
        return 0;
    std::vector<char> buf(1 << 20);
    int64_t copied = 0;
    while (copied < count) {
        size_t want = static_cast<size_t>(std::min<int64_t>(count - copied, static_cast<int64_t>(buf.size())));
        size_t got = std::fread(buf.data(), 1, want, source);
        if (got == 0) break;
        if (std::fwrite(buf.data(), 1, got, target) != got) break;
        copied += static_cast<int64_t>(got);
        if (got < want) break;
    }
    return copied;
}

std::string ReadTextLine(std::FILE* file) {
    std::string line;
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\r' && c != '\n') line += static_cast<char>(c);
    if (c != EOF) {
        int next = std::fgetc(file);
        if (next != EOF && next != '\r' && next != '\n') std::ungetc(next, file);
    }
    return line;
}

}  // namespace flashsmith::base
