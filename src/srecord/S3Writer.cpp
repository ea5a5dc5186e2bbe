#include "srecord/S3Writer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/Hex.h"

namespace flashsmith::srecord {
using namespace flashsmith::base;

namespace {
constexpr size_t kFileBuffer = size_t(1) << 20;
// Pending events are processed every this many lines: often enough for a
// responsive window, rare enough not to cost anything measurable.
constexpr size_t kLinesPerEvent = 4096;
// "S3" + count + address + 16 data bytes + checksum + CR LF.
constexpr size_t kMaxS3LineChars = 2 + 2 + 8 + 2 * kS3BytesPerLine + 2 + 2;

inline char* PutByte(char* o, uint8_t b) {
    std::memcpy(o, &kHexPairs[b * 2], 2);
    return o + 2;
}

// Formats one S3 line (with CR LF) of n <= 250 bytes at o; returns its end.
inline char* PutS3Line(char* o, uint32_t address, const uint8_t* data, size_t n, bool crlf) {
    const auto count = static_cast<uint8_t>(n + 5);
    unsigned sum = count;
    *o++ = 'S';
    *o++ = '3';
    o = PutByte(o, count);
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto b = static_cast<uint8_t>(address >> shift);
        sum += b;
        o = PutByte(o, b);
    }
    for (size_t i = 0; i < n; ++i) {
        sum += data[i];
        o = PutByte(o, data[i]);
    }
    o = PutByte(o, static_cast<uint8_t>(~sum));
    if (crlf) {
        *o++ = '\r';
        *o++ = '\n';
    }
    return o;
}
}  // namespace

S3Output::S3Output() : buf_(4096) {}

S3Output::S3Output(std::FILE* file) : file_(file), buf_(kFileBuffer) {}

char* S3Output::Reserve(size_t n) {
    if (len_ + n > buf_.size()) {
        if (file_) Flush();
        if (len_ + n > buf_.size()) buf_.resize(std::max(buf_.size() * 2, len_ + n));
    }
    return buf_.data() + len_;
}

void S3Output::PutLine(std::string_view line) {
    char* o = Reserve(line.size() + 2);
    std::memcpy(o, line.data(), line.size());
    o[line.size()] = '\r';
    o[line.size() + 1] = '\n';
    Commit(line.size() + 2);
}

bool S3Output::Flush() {
    if (file_ && len_ > 0) {
        if (!failed_ && std::fwrite(buf_.data(), 1, len_, file_) != len_) failed_ = true;
        len_ = 0;
    }
    return !failed_;
}

bool WriteS3Block(S3Output& out, std::span<const uint8_t> bytes, uint32_t firstAddress,
                  ProgressSink& progress) {
    const size_t n = bytes.size();
    if (n == 0) return true;
    if (uint64_t(firstAddress) + n - 1 > 0xFFFFFFFFull) return false;
    const uint8_t* p = bytes.data();
    uint32_t address = firstAddress;
    size_t done = 0;
    while (done < n) {
        progress.ProcessEvents();
        const size_t batchEnd = std::min(n, done + kLinesPerEvent * kS3BytesPerLine);
        const size_t batchStart = done;
        while (done < batchEnd) {
            const size_t k = std::min(kS3BytesPerLine, batchEnd - done);
            char* o = out.Reserve(kMaxS3LineChars);
            char* e = PutS3Line(o, address, p + done, k, true);
            out.Commit(static_cast<size_t>(e - o));
            done += k;
            address += static_cast<uint32_t>(k);
        }
        progress.Step(static_cast<int64_t>(done - batchStart));
    }
    return true;
}

std::string FormatS3Line(uint32_t address, std::span<const uint8_t> bytes) {
    const size_t n = std::min<size_t>(bytes.size(), 250);
    std::string line(4 + 8 + 2 * n + 2, '\0');
    PutS3Line(line.data(), address, bytes.data(), n, false);
    return line;
}

}  // namespace flashsmith::srecord
