// The converter between Motorola S-record files and raw binary images, both
// directions, on files or in memory. Results are returned, never shown: the
// converter page and the CLI decide what the user sees.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "firmware/Variables.h"
#include "srecord/ReservedRegions.h"
#include "srecord/S3Writer.h"

namespace flashsmith::srecord {

enum class S3Status {
    Ok,
    InputUnreadable,  // missing, not a regular file, or unreadable
    NoData,           // no good data line (an empty or foreign file): no output at all
    OutputFailed,     // the output could not be created or written
    ImageTooLarge,    // the binary image would exceed kMaxBinaryImage bytes
    AddressOverflow,  // a binary byte would need an address above 0xFFFFFFFF
};

// The largest binary image the S-record reader makes: 2 GiB, the reach of a
// signed 32-bit file position, far beyond any phone's flash.
inline constexpr uint64_t kMaxBinaryImage = 0x80000000ull;

// "All (with empty address)": every byte at its address, gaps read as zeros.
// "Part (only with data)": the runs one after the other from offset 0.
enum class S3ToBinMode { All, Part };

struct S3ReadOptions {
    S3ToBinMode Mode = S3ToBinMode::All;
    // "Start from first address with data": in All mode the image starts at
    // the lowest address that holds data instead of at address 0.
    bool FromFirstAddress = false;
};

struct S3ReadResult {
    S3Status Status = S3Status::Ok;
    std::string Message;         // why it failed; empty on success
    uint64_t DroppedLines = 0;   // data lines with a wrong checksum or a bad digit
    uint64_t DataLines = 0;      // data lines written
    uint64_t Runs = 0;           // runs of contiguous addresses
    uint64_t DataBytes = 0;      // data bytes written
    uint64_t ImageSize = 0;      // size of the binary image
    uint32_t LowestAddress = 0;  // lowest address of a data line, dropped ones included
    uint64_t HighestEnd = 0;     // one past the highest address of a data line
};

// S-record file to binary file. Every data line takes the room its address
// and count give, dropped lines included, so a bad line never moves the
// lines after it. The output is written under a temporary name
// and renamed when complete; on failure no output file is left.
S3ReadResult ReadS3File(const std::string& s3Path, const std::string& binPath,
                        const S3ReadOptions& options, base::ProgressSink& progress);
// The same on text in memory; image receives the binary.
S3ReadResult ReadS3Text(std::string_view text, const S3ReadOptions& options, std::string& image,
                        base::ProgressSink& progress);

// "All Firmware": the whole file, byte f at address start + f.
// "Part of Firmware": offsets start up to (not including) stop, cut to the
// file size, byte f at address f.
enum class BinToS3Mode { All, Part };

struct S3WriteOptions {
    BinToS3Mode Mode = BinToS3Mode::All;
    uint32_t Start = 0;
    uint32_t Stop = 0;  // Part only
    tReservedRegions Reserved;  // addresses never written, in any order
};

struct S3WriteResult {
    S3Status Status = S3Status::Ok;
    std::string Message;
    bool EmptyRange = false;  // Part whose start lies at or past the end: empty file
    uint64_t DataBytes = 0;
    uint64_t Blocks = 0;      // maximal runs of addresses outside the reserved regions
};

// Binary file to S-record file: header line, every address of the range
// outside the reserved regions as S3 lines (each block starting a new line),
// end line. Written atomically like ReadS3File.
S3WriteResult WriteS3File(const std::string& binPath, const std::string& s3Path,
                          const S3WriteOptions& options, base::ProgressSink& progress);
// The same from bytes in memory into out.
S3WriteResult WriteS3Bytes(std::span<const uint8_t> binary, const S3WriteOptions& options,
                           S3Output& out, base::ProgressSink& progress);

}  // namespace flashsmith::srecord
