// A read-only view of a whole file, mapped into memory: images are tens of
// megabytes and every scan over them must be a plain memory walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace fs {

class BinFile {
public:
    // Opens read-only; on failure returns nullptr-like empty object with
    // Error() set. Never writes to the file.
    static std::unique_ptr<BinFile> Open(const std::string& path, std::string* error);
    // A file made from bytes in memory (tests, decoded replacement data).
    static std::unique_ptr<BinFile> FromBytes(std::string bytes);

    ~BinFile();
    BinFile(const BinFile&) = delete;
    BinFile& operator=(const BinFile&) = delete;

    int64_t Size() const { return size_; }
    const uint8_t* Data() const { return data_; }
    const std::string& Path() const { return path_; }

    // Copies up to n bytes at offset; returns the count copied (0 past the end
    // or for a negative offset).
    size_t Read(int64_t offset, void* dst, size_t n) const;
    // True when [offset, offset + n) lies inside the file.
    bool Has(int64_t offset, int64_t n) const {
        return offset >= 0 && n >= 0 && offset <= size_ && n <= size_ - offset;
    }
    std::string_view View(int64_t offset, size_t n) const;  // clipped to the file
    uint32_t U32(int64_t offset) const;  // caller checks Has(offset, 4)
    uint16_t U16(int64_t offset) const;

private:
    BinFile() = default;
    const uint8_t* data_ = nullptr;
    int64_t size_ = 0;
    void* map_ = nullptr;
    std::string owned_;
    std::string path_;
};

}  // namespace fs
