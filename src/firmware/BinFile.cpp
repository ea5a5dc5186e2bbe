#include "firmware/BinFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs {

std::unique_ptr<BinFile> BinFile::Open(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = path + ": not a regular file";
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<BinFile> f(new BinFile());
    f->path_ = path;
    f->size_ = st.st_size;
    if (st.st_size > 0) {
        void* m = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (m == MAP_FAILED) {
            if (error) *error = path + ": " + std::strerror(errno);
            ::close(fd);
            return nullptr;
        }
        ::madvise(m, static_cast<size_t>(st.st_size), MADV_SEQUENTIAL);
        f->map_ = m;
        f->data_ = static_cast<const uint8_t*>(m);
    }
    ::close(fd);
    return f;
}

std::unique_ptr<BinFile> BinFile::FromBytes(std::string bytes) {
    std::unique_ptr<BinFile> f(new BinFile());
    f->owned_ = std::move(bytes);
    f->data_ = reinterpret_cast<const uint8_t*>(f->owned_.data());
    f->size_ = static_cast<int64_t>(f->owned_.size());
    return f;
}

BinFile::~BinFile() {
    if (map_) ::munmap(map_, static_cast<size_t>(size_));
}

size_t BinFile::Read(int64_t offset, void* dst, size_t n) const {
    if (offset < 0 || offset >= size_) return 0;
    size_t avail = static_cast<size_t>(size_ - offset);
    if (n > avail) n = avail;
    if (n) std::memcpy(dst, data_ + offset, n);
    return n;
}

std::string_view BinFile::View(int64_t offset, size_t n) const {
    if (offset < 0 || offset >= size_) return {};
    size_t avail = static_cast<size_t>(size_ - offset);
    return {reinterpret_cast<const char*>(data_ + offset), n < avail ? n : avail};
}

uint32_t BinFile::U32(int64_t offset) const {
    const uint8_t* p = data_ + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t BinFile::U16(int64_t offset) const {
    const uint8_t* p = data_ + offset;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace fs
