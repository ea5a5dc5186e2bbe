// Writing Motorola S-records: the fixed header and end lines and S3 data
// lines of 16 bytes, formatted into a large buffer so that multi-megabyte
// images go out at memory speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/Variables.h"

namespace flashsmith::srecord {

// Every file we write starts and ends with these lines, whatever the data.
inline constexpr std::string_view kS3HeaderLine = "S00600004844521B";
inline constexpr std::string_view kS3EndLine = "S705A002000058";

// Data bytes per written S3 line.
inline constexpr size_t kS3BytesPerLine = 16;

// A buffered sink for S-record text. Bound to a FILE* it flushes whenever the
// buffer fills and when destroyed (call Flush() to learn whether every write
// succeeded); without one it keeps all text in memory (Text()).
class S3Output {
public:
    S3Output();
    explicit S3Output(std::FILE* file);
    ~S3Output() { Flush(); }
    S3Output(const S3Output&) = delete;
    S3Output& operator=(const S3Output&) = delete;

    void PutLine(std::string_view line);  // appends CR LF
    void PutHeader() { PutLine(kS3HeaderLine); }
    void PutEnd() { PutLine(kS3EndLine); }

    // Hands the buffered text to the file; false once any write has failed.
    bool Flush();
    bool Failed() const { return failed_; }
    // In-memory mode only: everything written so far.
    std::string_view Text() const { return {buf_.data(), len_}; }

    // Room for at least n more characters; returns where to write them.
    char* Reserve(size_t n);
    void Commit(size_t n) { len_ += n; }

private:
    std::FILE* file_ = nullptr;
    std::vector<char> buf_;
    size_t len_ = 0;
    bool failed_ = false;
};

// Writes bytes as S3 lines of 16 data bytes (fewer in the last), the first at
// firstAddress and each next one 16 higher, stepping progress by the bytes
// written. Refuses (writes nothing, returns false) when the block would run
// past address 0xFFFFFFFF, which an S3 address cannot express.
bool WriteS3Block(S3Output& out, std::span<const uint8_t> bytes, uint32_t firstAddress,
                  base::ProgressSink& progress);

// One S3 line (without CR LF) for up to 255 - 5 data bytes.
std::string FormatS3Line(uint32_t address, std::span<const uint8_t> bytes);

}  // namespace flashsmith::srecord
