// Binary to S-records: the range of the file is cut by the reserved regions
// into blocks; each block is read in large pieces and written as S3 lines.
#include "srecord/S3Converter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/FileHandle.h"
#include "base/FileUtil.h"

namespace flashsmith::srecord {
using namespace flashsmith::base;

namespace {

// Bytes read per step; a multiple of the line length, so that the lines of a
// block do not depend on how it is read.
constexpr size_t kReadPiece = size_t(1) << 20;
static_assert(kReadPiece % kS3BytesPerLine == 0);

struct Plan {
    S3Status Status = S3Status::Ok;
    std::string Message;
    bool Empty = false;
    uint64_t FileOffset = 0;  // of the range's first byte
    uint64_t Address = 0;     // of the range's first byte
    std::vector<AddressRange> Blocks;
    uint64_t DataBytes = 0;
};

// The addresses of span that lie in no region, as maximal blocks.
std::vector<AddressRange> CutByRegions(const AddressRange& span, tReservedRegions regions) {
    std::sort(regions.begin(), regions.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.Start < b.Start; });
    std::vector<AddressRange> blocks;
    AddressRange rest = span;  // what is left of span past the regions seen
    for (const AddressRange& r : regions) {
        if (rest.Empty() || r.Start >= rest.End()) break;
        if (r.Empty() || r.End() <= rest.Start) continue;
        if (r.Start > rest.Start) blocks.push_back(AddressRange::Between(rest.Start, r.Start));
        if (r.End() >= rest.End()) return blocks;
        rest = AddressRange::Between(r.Last() + 1, rest.End());
    }
    if (!rest.Empty()) blocks.push_back(rest);
    return blocks;
}

Plan MakePlan(uint64_t fileSize, const S3WriteOptions& o) {
    Plan p;
    // File offsets f0 up to f1 go to the addresses from o.Start on.
    uint64_t f0 = 0, f1 = fileSize;
    if (o.Mode == BinToS3Mode::All) {
        if (fileSize > 0 && o.Start + fileSize - 1 > 0xFFFFFFFFull) {
            p.Status = S3Status::AddressOverflow;
            p.Message = "a binary of " + std::to_string(fileSize) + " bytes from address " +
                        HexAddress(o.Start) + " runs past address 0xFFFFFFFF";
            return p;
        }
    } else {
        f0 = o.Start;
        f1 = std::min<uint64_t>(o.Stop, fileSize);
        if (f0 >= f1) {
            p.Empty = true;
            return p;
        }
    }
    p.FileOffset = f0;
    p.Address = o.Start;
    p.Blocks = CutByRegions(AddressRange::Between(o.Start, o.Start + (f1 - f0)), o.Reserved);
    for (const AddressRange& b : p.Blocks) p.DataBytes += b.Length;
    return p;
}

// Writes the planned blocks; read(offset, dst, n) must fill dst completely.
bool WriteBlocks(const Plan& plan, const std::function<bool(uint64_t, uint8_t*, size_t)>& read,
                 S3Output& out, ProgressSink& progress, std::string* error) {
    std::vector<uint8_t> piece(std::min<uint64_t>(kReadPiece, plan.DataBytes));
    out.PutHeader();
    for (const AddressRange& b : plan.Blocks) {
        for (int64_t done = 0; done < b.Length;) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(kReadPiece, b.Length - done));
            const int64_t address = b.Start + done;
            if (!read(address - plan.Address + plan.FileOffset, piece.data(), n)) {
                if (error) *error = "the binary file could not be read";
                return false;
            }
            WriteS3Block(out, std::span<const uint8_t>(piece.data(), n),
                         static_cast<uint32_t>(address), progress);
            done += n;
        }
    }
    out.PutEnd();
    return out.Flush();
}

S3WriteResult Finish(const Plan& plan) {
    S3WriteResult r;
    r.Status = plan.Status;
    r.Message = plan.Message;
    r.EmptyRange = plan.Empty;
    r.DataBytes = plan.DataBytes;
    r.Blocks = plan.Blocks.size();
    return r;
}

}  // namespace

S3WriteResult WriteS3Bytes(std::span<const uint8_t> binary, const S3WriteOptions& options,
                           S3Output& out, ProgressSink& progress) {
    const Plan plan = MakePlan(binary.size(), options);
    S3WriteResult r = Finish(plan);
    if (plan.Status != S3Status::Ok || plan.Empty) return r;
    progress.SetRange(static_cast<int64_t>(plan.DataBytes));
    progress.SetPosition(0);
    const auto read = [&](uint64_t off, uint8_t* dst, size_t n) {
        std::memcpy(dst, binary.data() + off, n);
        return true;
    };
    if (!WriteBlocks(plan, read, out, progress, &r.Message)) {
        r.Status = S3Status::OutputFailed;
        if (r.Message.empty()) r.Message = "the S-record output could not be written";
    }
    return r;
}

S3WriteResult WriteS3File(const std::string& binPath, const std::string& s3Path,
                          const S3WriteOptions& options, ProgressSink& progress) {
    S3WriteResult r;
    const UniqueFd fd(::open(binPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st{};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        r.Status = S3Status::InputUnreadable;
        r.Message = binPath + ": " + (!fd.Valid() ? std::strerror(errno) : "not a regular file");
        return r;
    }
    const Plan plan = MakePlan(static_cast<uint64_t>(st.st_size), options);
    r = Finish(plan);
    if (plan.Status != S3Status::Ok) return r;
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const auto read = [&](uint64_t off, uint8_t* dst, size_t n) {
        while (n > 0) {
            const ssize_t got = ::pread(fd.Get(), dst, n, static_cast<off_t>(off));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;  // error, or the file shrank meanwhile
            dst += got;
            off += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    };
    std::string error;
    progress.SetRange(static_cast<int64_t>(plan.DataBytes));
    progress.SetPosition(0);
    const Status written = WriteFileAtomic(s3Path, [&](std::FILE* f) {
        if (plan.Empty) return true;  // a part past the end of the file: empty output
        S3Output out(f);
        return WriteBlocks(plan, read, out, progress, &error);
    });
    if (!written) {
        // What the blocks reported says more than the failed write.
        r.Status = S3Status::OutputFailed;
        r.Message = error.empty() ? written.Error() : error;
    }
    return r;
}

}  // namespace flashsmith::srecord
