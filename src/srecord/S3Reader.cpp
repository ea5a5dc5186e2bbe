// S-records to binary. Two linear passes over the text: the first validates
// every line and measures the image (so an oversized image is refused before
// anything is written), the second writes each good line at its position.
#include <algorithm>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "firmware/BinFile.h"
#include "base/FileUtil.h"
#include "srecord/S3Converter.h"
#include "base/Hex.h"

namespace flashsmith::srecord {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

// Progress is reported (and events processed) every this many input bytes.
constexpr size_t kProgressEvery = size_t(1) << 20;
// The most data bytes one line can carry (an S1 line of count 0xFF): the room
// a dropped line may have held when not even its count can be read.
constexpr uint64_t kMaxLineData = 0xFF - 2 - 1;

// Data: a good line. Dropped: a data line that is not written (wrong checksum,
// bad digit, cut short) but whose count and address read, so its place and
// room are known. Unplaced: a data line whose count or address does not read.
enum class LineKind { Data, Dropped, Unplaced, Other };

struct DataLine {
    uint32_t Address = 0;
    size_t Length = 0;  // data bytes; for an unplaced line the most it can have held
    const uint8_t* Data = nullptr;
    uint8_t Raw[256];  // count bytes: address, data, checksum
};

// Classifies and, for S1/S2/S3, fully decodes one line (without its end).
LineKind ParseLine(const char* p, size_t n, DataLine& line) {
    if (n < 2 || p[0] != 'S' || p[1] < '1' || p[1] > '3') return LineKind::Other;
    const size_t addrBytes = static_cast<size_t>(p[1] - '0') + 1;
    const auto* h = reinterpret_cast<const uint8_t*>(p + 2);
    const size_t hexChars = n - 2;
    line.Length = kMaxLineData;
    if (hexChars < 2) return LineKind::Unplaced;
    const uint8_t ch = kHexDigitValue[h[0]], cl = kHexDigitValue[h[1]];
    if ((ch | cl) & 0xF0) return LineKind::Unplaced;
    const size_t count = static_cast<size_t>(ch << 4 | cl);
    if (count < addrBytes + 1) return LineKind::Unplaced;
    line.Length = count - addrBytes - 1;
    h += 2;
    const size_t have = std::min(count, (hexChars - 2) / 2);
    uint8_t bad = 0;
    unsigned sum = static_cast<unsigned>(count);
    for (size_t i = 0; i < have; ++i) {
        const uint8_t hi = kHexDigitValue[h[2 * i]], lo = kHexDigitValue[h[2 * i + 1]];
        bad |= hi | lo;
        const auto b = static_cast<uint8_t>(hi << 4 | lo);
        line.Raw[i] = b;
        sum += b;
        if (i + 1 == addrBytes && (bad & 0xF0)) return LineKind::Unplaced;
    }
    if (have < addrBytes) return LineKind::Unplaced;
    uint32_t address = 0;
    for (size_t i = 0; i < addrBytes; ++i) address = address << 8 | line.Raw[i];
    line.Address = address;
    line.Data = line.Raw + addrBytes;
    // The sum included the checksum byte c: valid when (s + c) & 0xFF == 0xFF.
    if (have < count || (bad & 0xF0) || (sum & 0xFF) != 0xFF) return LineKind::Dropped;
    return LineKind::Data;
}

// Walks the lines of the text in order.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}
    // Next line without its end (CR LF, LF, trailing blanks); false at the end.
    bool Next(const char*& line, size_t& n, bool& stop) {
        if (p_ >= end_) return false;
        stop = end_ - p_ >= 2 && p_[0] == '\0' && p_[1] == '\0';
        const char* nl = static_cast<const char*>(std::memchr(p_, '\n', static_cast<size_t>(end_ - p_)));
        const char* e = nl ? nl : end_;
        line = p_;
        p_ = nl ? nl + 1 : end_;
        while (e > line && (e[-1] == '\r' || e[-1] == ' ' || e[-1] == '\t')) --e;
        n = static_cast<size_t>(e - line);
        return true;
    }
    size_t Offset(const char* begin) const { return static_cast<size_t>(p_ - begin); }

private:
    const char* p_;
    const char* end_;
};

// Decides where each data line goes. A run is a sequence of data lines with
// contiguous addresses, dropped lines included; any other line ends it. A
// dropped line keeps its room: the lines after it keep their own addresses
// and its bytes stay zero, in both modes, whether it opens, continues or ends
// a run. Only a line whose address does not read leaves a gap of unknown
// size, which the next line may bridge.
class RunLayout {
public:
    RunLayout(S3ToBinMode mode, uint64_t base) : mode_(mode), base_(base) {}

    void OnOther() {
        inRun_ = false;
        holeAllowance_ = 0;
    }
    void OnUnplaced(uint64_t mostLength) {
        if (inRun_) holeAllowance_ += mostLength;
    }
    // Output position of a good or dropped data line.
    uint64_t OnData(uint32_t address, size_t length) {
        const uint64_t a = address;
        const bool continues =
            inRun_ && (a == expected_ || (a > expected_ && a - expected_ <= holeAllowance_));
        if (!continues) {
            ++runs_;
            inRun_ = true;
            runAddress_ = a;
            runPos_ = partEnd_;
        }
        holeAllowance_ = 0;
        expected_ = a + length;
        if (mode_ == S3ToBinMode::All) return a - base_;
        const uint64_t pos = runPos_ + (a - runAddress_);
        partEnd_ = std::max(partEnd_, pos + length);
        return pos;
    }
    uint64_t Runs() const { return runs_; }
    uint64_t PartEnd() const { return partEnd_; }

private:
    S3ToBinMode mode_;
    uint64_t base_;
    bool inRun_ = false;
    uint64_t expected_ = 0;
    uint64_t holeAllowance_ = 0;
    uint64_t runAddress_ = 0;
    uint64_t runPos_ = 0;
    uint64_t partEnd_ = 0;
    uint64_t runs_ = 0;
};

// Receives the data of the second pass at output positions.
class ImageSink {
public:
    virtual ~ImageSink() = default;
    virtual void Write(uint64_t pos, const uint8_t* p, size_t n) = 0;
    // Completes the image to size bytes (a dropped last line still takes its
    // room); false when the output failed.
    virtual bool Finish(uint64_t size) = 0;
};

class StringSink : public ImageSink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    void Write(uint64_t pos, const uint8_t* p, size_t n) override {
        if (out_.size() < pos + n) out_.resize(pos + n, '\0');
        std::memcpy(out_.data() + pos, p, n);
    }
    bool Finish(uint64_t size) override {
        if (out_.size() < size) out_.resize(size, '\0');
        return true;
    }

private:
    std::string& out_;
};

// Buffers a window of the output file. Lines arrive mostly in ascending
// order; a jump flushes the window and seeks, and a jump past the end of the
// file leaves a hole that reads as zeros.
class FileSink : public ImageSink {
public:
    explicit FileSink(std::FILE* f) : f_(f), buf_(size_t(4) << 20) {}
    void Write(uint64_t pos, const uint8_t* p, size_t n) override {
        const uint64_t winEnd = start_ + len_;
        // Zero-filling a gap inside the window is only right beyond what the
        // file already holds; otherwise those bytes may carry earlier data.
        const bool fits = pos >= start_ && pos + n <= start_ + buf_.size() &&
                          (pos <= winEnd || winEnd >= fileEnd_);
        if (!fits) {
            Flush();
            start_ = pos;
        }
        const size_t off = static_cast<size_t>(pos - start_);
        if (off > len_) std::memset(buf_.data() + len_, 0, off - len_);
        std::memcpy(buf_.data() + off, p, n);
        len_ = std::max(len_, off + n);
    }
    bool Finish(uint64_t size) override {
        if (!Flush()) return false;
        if (fileEnd_ >= size) return true;
        fileEnd_ = size;
        failed_ = std::fflush(f_) != 0 || ::ftruncate(::fileno(f_), static_cast<off_t>(size)) != 0;
        return !failed_;
    }
    bool Flush() {
        if (len_ == 0) return !failed_;
        if (!failed_ && (::fseeko(f_, static_cast<off_t>(start_), SEEK_SET) != 0 ||
                         std::fwrite(buf_.data(), 1, len_, f_) != len_))
            failed_ = true;
        fileEnd_ = std::max(fileEnd_, start_ + len_);
        start_ += len_;
        len_ = 0;
        return !failed_;
    }

private:
    std::FILE* f_;
    std::vector<uint8_t> buf_;
    uint64_t start_ = 0;
    size_t len_ = 0;
    uint64_t fileEnd_ = 0;
    bool failed_ = false;
};

struct Survey {
    uint64_t Dropped = 0, DataLines = 0, DataBytes = 0, Runs = 0, PartSize = 0;
    // The addresses the data lines cover, dropped ones included.
    uint64_t Lowest = UINT64_MAX, HighestEnd = 0;
};

// First pass: validates every line and measures the image.
Survey SurveyText(std::string_view text, S3ToBinMode mode, ProgressSink& progress) {
    Survey s;
    RunLayout layout(mode, 0);
    LineCursor cur(text);
    DataLine line;
    const char* p;
    size_t n, nextReport = kProgressEvery;
    bool stop;
    progress.SetRange(static_cast<int64_t>(text.size()));
    progress.SetPosition(0);
    while (cur.Next(p, n, stop) && !stop) {
        const LineKind kind = ParseLine(p, n, line);
        switch (kind) {
            case LineKind::Data:
            case LineKind::Dropped:
                layout.OnData(line.Address, line.Length);
                if (kind == LineKind::Dropped) ++s.Dropped;
                if (line.Length == 0) break;
                if (kind == LineKind::Data) {
                    ++s.DataLines;
                    s.DataBytes += line.Length;
                }
                s.Lowest = std::min<uint64_t>(s.Lowest, line.Address);
                s.HighestEnd = std::max<uint64_t>(s.HighestEnd, uint64_t(line.Address) + line.Length);
                break;
            case LineKind::Unplaced:
                ++s.Dropped;
                layout.OnUnplaced(line.Length);
                break;
            case LineKind::Other:
                layout.OnOther();
                break;
        }
        if (const size_t off = cur.Offset(text.data()); off >= nextReport) {
            progress.SetPosition(static_cast<int64_t>(off));
            progress.ProcessEvents();
            nextReport = off + kProgressEvery;
        }
    }
    s.Runs = layout.Runs();
    s.PartSize = layout.PartEnd();
    if (s.HighestEnd == 0) s.Lowest = 0;
    return s;
}

// Second pass: writes every good data line where the layout puts it.
void WriteImage(std::string_view text, S3ToBinMode mode, uint64_t base, uint64_t dataBytes,
                ImageSink& sink, ProgressSink& progress) {
    RunLayout layout(mode, base);
    LineCursor cur(text);
    DataLine line;
    const char* p;
    size_t n;
    bool stop;
    uint64_t sinceReport = 0;
    progress.SetRange(static_cast<int64_t>(dataBytes));
    progress.SetPosition(0);
    while (cur.Next(p, n, stop) && !stop) {
        const LineKind kind = ParseLine(p, n, line);
        switch (kind) {
            case LineKind::Data:
            case LineKind::Dropped: {
                const uint64_t pos = layout.OnData(line.Address, line.Length);
                if (kind == LineKind::Dropped || line.Length == 0) break;
                sink.Write(pos, line.Data, line.Length);
                sinceReport += line.Length;
                if (sinceReport >= kProgressEvery) {
                    progress.Step(static_cast<int64_t>(sinceReport));
                    progress.ProcessEvents();
                    sinceReport = 0;
                }
                break;
            }
            case LineKind::Unplaced:
                layout.OnUnplaced(line.Length);
                break;
            case LineKind::Other:
                layout.OnOther();
                break;
        }
    }
    progress.Step(static_cast<int64_t>(sinceReport));
}

// Fills the statistics and decides the base and the size of the image;
// false (with the result's status set) when the image cannot be made.
bool PlanImage(const Survey& s, const S3ReadOptions& options, const std::string& source, uint64_t* base,
               S3ReadResult& r) {
    r.DroppedLines = s.Dropped;
    r.DataLines = s.DataLines;
    r.DataBytes = s.DataBytes;
    r.Runs = s.Runs;
    r.LowestAddress = static_cast<uint32_t>(s.Lowest);
    r.HighestEnd = s.HighestEnd;
    *base = 0;
    // Nothing to convert (an empty or foreign file, or only bad lines): no
    // output rather than an empty or all-zero image.
    if (s.DataBytes == 0) {
        r.Status = S3Status::NoData;
        r.Message = "no S-record data" + (source.empty() ? std::string() : " in " + source);
        return false;
    }
    if (options.Mode == S3ToBinMode::Part) {
        r.ImageSize = s.PartSize;
    } else {
        if (options.FromFirstAddress) *base = s.Lowest;
        r.ImageSize = s.HighestEnd - *base;
    }
    if (r.ImageSize <= kMaxBinaryImage) return true;
    r.Status = S3Status::ImageTooLarge;
    if (options.Mode == S3ToBinMode::All && !options.FromFirstAddress &&
        s.HighestEnd - s.Lowest <= kMaxBinaryImage)
        r.Message = "the data lie from " + HexAddress(r.LowestAddress) + " to " +
                    HexAddress(static_cast<uint32_t>(s.HighestEnd - 1)) +
                    ": an image from address 0 would exceed 2 GiB; start it from the first "
                    "address with data or convert only the parts with data";
    else
        r.Message = "the binary image would exceed 2 GiB (data from " +
                    HexAddress(r.LowestAddress) + " to " +
                    HexAddress(static_cast<uint32_t>(s.HighestEnd - 1)) + ")";
    return false;
}

}  // namespace

S3ReadResult ReadS3Text(std::string_view text, const S3ReadOptions& options, std::string& image,
                        ProgressSink& progress) {
    S3ReadResult r;
    image.clear();
    const Survey s = SurveyText(text, options.Mode, progress);
    uint64_t base;
    if (!PlanImage(s, options, std::string(), &base, r)) return r;
    image.reserve(r.ImageSize);
    StringSink sink(image);
    WriteImage(text, options.Mode, base, s.DataBytes, sink, progress);
    sink.Finish(r.ImageSize);
    return r;
}

S3ReadResult ReadS3File(const std::string& s3Path, const std::string& binPath,
                        const S3ReadOptions& options, ProgressSink& progress) {
    S3ReadResult r;
    std::string error;
    std::unique_ptr<BinFile> in;
    if (!BinFile::Open(s3Path).Take(in, &error)) {
        r.Status = S3Status::InputUnreadable;
        r.Message = error;
        return r;
    }
    const std::string_view text = in->View(0, static_cast<size_t>(in->Size()));
    const Survey s = SurveyText(text, options.Mode, progress);
    uint64_t base;
    if (!PlanImage(s, options, s3Path, &base, r)) return r;
    const bool ok = WriteFileAtomic(
        binPath,
        [&](std::FILE* f) {
            FileSink sink(f);
            WriteImage(text, options.Mode, base, s.DataBytes, sink, progress);
            return sink.Finish(r.ImageSize);
        }).Ok(&error);
    if (!ok) {
        r.Status = S3Status::OutputFailed;
        r.Message = error;
    }
    return r;
}

}  // namespace flashsmith::srecord
