// Builds small images byte by byte for table and identification tests.
#pragma once

#include <cstdint>
#include <string>

#include "firmware/BinFile.h"
#include "firmware/Variables.h"

namespace flashsmith::test {

class ImageBytes {
public:
    explicit ImageBytes(size_t size = 0x10000, char fill = '\0') : bytes_(size, fill) {}
    ImageBytes& U16(size_t at, uint16_t v) {
        Grow(at + 2);
        bytes_[at] = static_cast<char>(v);
        bytes_[at + 1] = static_cast<char>(v >> 8);
        return *this;
    }
    ImageBytes& U32(size_t at, uint32_t v) {
        Grow(at + 4);
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>(v >> (8 * i));
        return *this;
    }
    ImageBytes& Put(size_t at, const std::string& s) {
        Grow(at + s.size());
        bytes_.replace(at, s.size(), s);
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }
    std::unique_ptr<flashsmith::firmware::BinFile> File() const { return flashsmith::firmware::BinFile::FromBytes(bytes_); }

private:
    void Grow(size_t n) {
        if (bytes_.size() < n) bytes_.resize(n, '\0');
    }
    std::string bytes_;
};

// A state holding an in-memory image and 64 empty regions.
inline flashsmith::firmware::FirmwareState StateFor(const ImageBytes& img) {
    flashsmith::firmware::FirmwareState st;
    st.FirmwareFile = img.File();
    st.Firmware.Regions.assign(flashsmith::firmware::kRegionCount, {});
    return st;
}

}  // namespace flashsmith::test
