// A read-only copy of a whole file in memory: images are tens of megabytes
// and every scan over them must be a plain memory walk. The bytes are read
// at open rather than mapped, so another program that cuts or rewrites the
// file later cannot pull pages from under a scan (a mapped file would end
// the program with SIGBUS); the program keeps working on the file as opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "firmware/FileRead.h"

namespace flashsmith::firmware {

// The bytes of an image as the searches that identify it read them: a whole
// file in memory (BinFile) or the front of one, read as far as a search
// reaches (FileFront).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int64_t Size() const = 0;
    virtual std::string_view View(int64_t offset, size_t n) const = 0;  // clipped to the file
};

class BinFile final : public ByteSource {
public:
    // Reads the file whole; a file over kMaxSize, or one that shrinks while
    // it is read, fails ("path: reason"). Never writes to the file.
    static base::Result<std::unique_ptr<BinFile>> Open(const std::string& path);
    // A file made from bytes in memory (tests, decoded replacement data).
    static std::unique_ptr<BinFile> FromBytes(std::string bytes);
    // A file over bytes the caller keeps alive and unchanged while it is used
    // (the fuzz targets reuse one buffer instead of allocating an image per run).
    static std::unique_ptr<BinFile> FromView(std::string_view bytes);

    static constexpr uint64_t kMaxSize = uint64_t(1) << 30;

    ~BinFile() override;
    BinFile(const BinFile&) = delete;
    BinFile& operator=(const BinFile&) = delete;

    int64_t Size() const override { return size_; }
    const uint8_t* Data() const { return data_; }
    const std::string& Path() const { return path_; }

    // Copies up to n bytes at offset; returns the count copied (0 past the end
    // or for a negative offset).
    size_t Read(int64_t offset, void* dst, size_t n) const;
    // True when [offset, offset + n) lies inside the file.
    bool Has(int64_t offset, int64_t n) const {
        return offset >= 0 && n >= 0 && offset <= size_ && n <= size_ - offset;
    }
    std::string_view View(int64_t offset, size_t n) const override;  // clipped to the file
    uint32_t U32(int64_t offset) const;  // caller checks Has(offset, 4)
    uint16_t U16(int64_t offset) const;

private:
    BinFile() = default;
    const uint8_t* data_ = nullptr;
    int64_t size_ = 0;
    std::unique_ptr<void, detail::Unmap> read_;  // what Open read
    std::string owned_;                  // what FromBytes was given
    std::string path_;
};

}  // namespace flashsmith::firmware
