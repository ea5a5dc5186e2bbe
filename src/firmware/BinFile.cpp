#include "firmware/BinFile.h"

#include <cstring>
#include <sys/mman.h>

#include "firmware/FileRead.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;

Result<std::unique_ptr<BinFile>> BinFile::Open(const std::string& path) {
    Result<detail::OpenedFile> file = detail::OpenForReading(path, kMaxSize);
    if (!file) return file.ToStatus();
    std::unique_ptr<BinFile> f(new BinFile());
    f->path_ = path;
    const size_t size = file->Size;
    f->size_ = static_cast<int64_t>(size);
    if (size == 0) {
        static const uint8_t kNothing = 0;
        f->data_ = &kNothing;
        return f;
    }
    char* const buffer = file->Bytes();
    const std::string why = detail::ReadAll(file->Fd.Get(), buffer, size);
    if (!why.empty()) return Status::Fail(path + ": " + why);
    // The copy is read-only from here on: a stray write faults at once
    // instead of changing what later scans see.
    ::mprotect(buffer, size, PROT_READ);
    f->read_ = std::move(file->Buffer);
    f->data_ = reinterpret_cast<const uint8_t*>(buffer);
    return f;
}

std::unique_ptr<BinFile> BinFile::FromBytes(std::string bytes) {
    std::unique_ptr<BinFile> f(new BinFile());
    f->owned_ = std::move(bytes);
    f->data_ = reinterpret_cast<const uint8_t*>(f->owned_.data());
    f->size_ = static_cast<int64_t>(f->owned_.size());
    return f;
}

std::unique_ptr<BinFile> BinFile::FromView(std::string_view bytes) {
    std::unique_ptr<BinFile> f(new BinFile());
    f->data_ = reinterpret_cast<const uint8_t*>(bytes.data());
    f->size_ = static_cast<int64_t>(bytes.size());
    return f;
}

BinFile::~BinFile() = default;

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

}  // namespace flashsmith::firmware
