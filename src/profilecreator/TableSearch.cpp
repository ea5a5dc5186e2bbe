#include "profilecreator/TableSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string>

#include "firmware/Images.h"
#include "firmware/Other.h"

namespace fs {

namespace {

// Scans report progress and let the event loop run once per this many bytes:
// a per-kilobyte callback would cost more than the scan itself.
constexpr int64_t kProgressStep = 1 << 20;

int32_t I32At(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return static_cast<int32_t>(v);  // little-endian host, as the image
}

// Signed 32-bit value at offset, 0 when it does not lie inside the file.
int32_t I32(const BinFile& f, int64_t offset) {
    return f.Has(offset, 4) ? static_cast<int32_t>(f.U32(offset)) : 0;
}

uint32_t Be32(const BinFile& f, int64_t offset) {
    const uint8_t* p = f.Data() + offset;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Bytes an "09" decode into a 321 x 321 work picture consumes; 0 once the
// table's measuring budget is spent (a forged table of overlapping pictures).
int32_t Size09(PictureMeasurer& measurer, int64_t address, int32_t width, int32_t height) {
    if (width > 321 || height > 321) return 0;
    return measurer.Measure09(address, width, height).value_or(0);
}

// Calls visit(p) for every p in [from, to) and steps the progress per block.
// visit returns the next position to look at, so a skip may cross blocks.
template <typename Visit>
void ScanPositions(int64_t from, int64_t to, ProgressSink& progress, Visit visit) {
    for (int64_t p = from; p < to;) {
        const int64_t block = p, end = std::min(to, p + kProgressStep);
        while (p < end) p = visit(p);
        progress.Step(std::min(p, to) - block);
        progress.ProcessEvents();
    }
}

}  // namespace

int32_t FindImageTable(const BinFile& file, int64_t start, int32_t width, int32_t height,
                       ProgressSink& progress) {
    // A zero size is the table's end marker and would match every zero word.
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || start < 0) return -1;
    const std::string pattern{static_cast<char>(width & 0xFF), static_cast<char>(width >> 8),
                              static_cast<char>(height & 0xFF), static_cast<char>(height >> 8)};
    const int64_t size = file.Size();
    std::vector<int64_t> hits;
    for (int64_t h = FindPattern(file, start + 4, pattern, progress); h >= 0;
         h = FindPattern(file, h + 4, pattern, progress)) {
        if (!file.Has(h + 4, 4)) break;
        const int64_t v = file.U32(h + 4);
        if (v >= start && v < size) hits.push_back(h);
    }
    if (hits.size() < 2) return -1;
    std::sort(hits.begin(), hits.end());
    const int64_t middle = hits[hits.size() / 2];
    for (int64_t pos = middle - 8; pos > 0; pos -= 8)
        if (file.U32(pos) == 0) return pos > INT32_MAX ? -1 : static_cast<int32_t>(pos);
    return -1;
}

std::vector<tImgType> ClassifyImages(const BinFile& file, int64_t start, int32_t table) {
    std::vector<tImgType> images;
    if (table < 0) return images;
    const int64_t size = file.Size();
    for (int64_t e = int64_t(table) + 8; file.Has(e, 8); e += 8) {
        const int32_t w = file.U16(e), h = file.U16(e + 2);
        if ((w == 0 && h == 0) || h > 480 || w > 640) break;
        const int32_t address = static_cast<int32_t>(file.U32(e + 4));
        if (address < 0 || address > size || address < start) break;
        tImgType img;
        img.Width = w;
        img.Height = h;
        img.Address = address;
        img.ID = -1;
        img.Link = -1;
        img.Kind = 0;
        img.Size = 0;
        images.push_back(img);
    }
    if (images.size() < 2) return images;

    PictureMeasurer measurer(file);
    for (size_t i = 0; i + 1 < images.size(); ++i) {
        tImgType& img = images[i];
        const int64_t room = int64_t(images[i + 1].Address) - img.Address;
        const int64_t area = int64_t(img.Width) * img.Height;
        const int64_t wbmp = int64_t(img.Width) * ((img.Height + 7) / 8 * 8) / 8;
        const int32_t d = Size09(measurer, img.Address, img.Width, img.Height);

        // The "09" header: a palette count in byte 1, then that many distinct
        // colours. Bytes past the end of the file read as zero.
        std::array<uint8_t, 16> head{};
        file.Read(img.Address, head.data(), head.size());
        char cls;
        int n = head[1];
        if (n == 0 || n > 127) {
            cls = 'C';
        } else if (n < 2) {
            cls = 'B';
        } else {
            n = std::min(n, 7);
            cls = 'A';
            for (int a = 1; a <= n && cls == 'A'; ++a)
                for (int b = a + 1; b <= n; ++b)
                    if (head[2 * a] == head[2 * b] && head[2 * a + 1] == head[2 * b + 1]) {
                        cls = 'C';
                        break;
                    }
        }

        if (cls == 'A' && d > 0) {
            img.Kind = k09;
            img.Size = d;
        } else if (cls == 'B' && std::llabs(room - d) < 2) {
            img.Kind = k09;
            img.Size = d;
        } else if (std::llabs(room - wbmp) < 4) {
            img.Kind = kWbmp;
            img.Size = static_cast<int32_t>(wbmp);
        } else if (std::llabs(room - area) < 8) {
            img.Kind = kRaw8;
            img.Size = static_cast<int32_t>(area);
        } else {
            img.Kind = kRaw16;
            img.Size = static_cast<int32_t>(2 * area);
        }
    }
    tImgType& last = images.back();
    last.Kind = k09;
    last.Size = Size09(measurer, last.Address, last.Width, last.Height);
    return images;
}

FoundSoundTable FindSoundTable(const BinFile& file, int64_t start, ProgressSink& progress) {
    FoundSoundTable result;
    if (start < 0) return result;
    struct Candidate {
        int64_t data;
        int64_t pointer = 0;
        int64_t gap = 0;
    };
    std::vector<Candidate> cands;
    for (int64_t h = FindPattern(file, start + 4, "MMMD", progress); h >= 0;
         h = FindPattern(file, h + 4, "MMMD", progress)) {
        if (!file.Has(h + 4, 4)) break;
        const uint32_t chunk = Be32(file, h + 4);
        if (chunk >= 2 && chunk <= 0x80000) cands.push_back({h});
    }
    if (cands.empty()) return result;

    // Hits come in file order, so the data offsets are ascending and a
    // binary search finds the one candidate a value can point to.
    auto find = [&cands](int64_t v) {
        auto it = std::lower_bound(cands.begin(), cands.end(), v,
                                   [](const Candidate& c, int64_t x) { return c.data < x; });
        return it != cands.end() && it->data == v ? it : cands.end();
    };
    progress.SetPosition(0);
    const int64_t size = file.Size();
    const uint8_t* d = file.Data();
    const int64_t firstData = cands.front().data, lastData = cands.back().data;
    ScanPositions(start, size - 3, progress, [&](int64_t p) {
        const int64_t v = I32At(d + p);
        if (v < firstData || v > lastData) return p + 1;
        auto it = find(v);
        if (it == cands.end()) return p + 1;
        it->pointer = p;
        if (it != cands.begin()) (it - 1)->gap = p - (it - 1)->pointer;
        return p + 1;
    });

    // One sound leaves no distance between two pointers to measure.
    if (cands.size() < 2) return result;
    cands.back().gap = cands[cands.size() - 2].gap;
    std::vector<Candidate> byGap = cands;
    std::stable_sort(byGap.begin(), byGap.end(), [](const Candidate& a, const Candidate& b) { return a.gap < b.gap; });
    const int64_t length = byGap[byGap.size() / 2].gap;
    if (length <= 0 || length > INT32_MAX) return result;
    int64_t table = -1;
    for (const Candidate& c : cands)
        if (c.gap == length && (table < 0 || c.pointer < table)) table = c.pointer;
    // A later entry that shares the first entry's sound moves that sound's
    // pointer past the table start; entries just before the start that
    // point at found sounds still belong to the table.
    auto isSound = [&](int64_t at) { return find(I32(file, at)) != cands.end(); };
    while (table - length >= start && isSound(table - length)) table -= length;
    if (table <= 0 || table > INT32_MAX) return result;
    result.Table = static_cast<int32_t>(table);
    result.RecordLength = static_cast<int32_t>(length);
    result.SizeOfs = 4;
    result.VolOfs = length > 17 ? 17 : 0;
    return result;
}

FoundJavaTable FindJavaTable(const BinFile& file, int64_t start, ProgressSink& progress) {
    FoundJavaTable result;
    if (start < 0) return result;
    const int64_t at = FindPattern(file, start, "e:\\S100\\manager_", progress);
    // A hit without room for one entry's size word is no table.
    if (at < 0 || at > INT32_MAX || !file.Has(at + 128, 4)) return result;
    result.Table = static_cast<int32_t>(at);
    result.RecordLength = file.U32(at + 128) != 0 ? 136 : 392;
    return result;
}

namespace {

// Answers "does every word at t, t + 4, ..., t + 4(n - 1) lie strictly between
// start and the image end?" in constant time, so checking a header costs the
// same however many pointers it has. One bit per byte offset says whether the
// word there is out of range; offsets are grouped by their remainder mod 4 so
// a header's pointers are consecutive bits, and a count of set bits before
// every 64-bit block turns any range into two lookups.
class PointerRanges {
public:
    PointerRanges(const uint8_t* d, int64_t size, int64_t start) {
        for (int r = 0; r < 4; ++r) {
            const int64_t words = size - r >= 4 ? (size - r - 4) / 4 + 1 : 0;
            bits_[r].assign(static_cast<size_t>(words / 64 + 1), 0);
            for (int64_t j = 0; j < words; ++j) {
                const int64_t v = I32At(d + r + 4 * j);
                if (v <= start || v >= size) bits_[r][static_cast<size_t>(j >> 6)] |= uint64_t{1} << (j & 63);
            }
            before_[r].assign(bits_[r].size() + 1, 0);
            for (size_t w = 0; w < bits_[r].size(); ++w)
                before_[r][w + 1] = before_[r][w] + static_cast<uint64_t>(std::popcount(bits_[r][w]));
        }
    }
    // The caller has checked that the n words lie inside the image.
    bool AllInside(int64_t t, int64_t n) const {
        const int r = static_cast<int>(t % 4);
        const int64_t j = t / 4;
        return BadBefore(r, j + n) == BadBefore(r, j);
    }

private:
    uint64_t BadBefore(int r, int64_t j) const {
        const size_t w = static_cast<size_t>(j >> 6);
        const uint64_t mask = (uint64_t{1} << (j & 63)) - 1;
        return before_[r][w] + static_cast<uint64_t>(std::popcount(bits_[r][w] & mask));
    }
    std::array<std::vector<uint64_t>, 4> bits_, before_;
};

}  // namespace

std::vector<int32_t> FindLanguageTables(const BinFile& file, int64_t start, ProgressSink& progress) {
    std::vector<int32_t> tables;
    const int64_t size = file.Size();
    if (start < 0 || size < 12) return tables;
    const uint8_t* d = file.Data();
    // Built on the first header only: most scans never need it.
    std::optional<PointerRanges> ranges;
    // Headers are judged one by one as they are read, so a run of them that
    // spans the whole image costs no more than reading it.
    int64_t runLength = 0, runStart = 0;
    bool runValid = true;
    progress.SetPosition(0);
    ScanPositions(start, size - 11, progress, [&](int64_t p) {
        const int64_t a = I32At(d + p), n = I32At(d + p + 4), z = I32At(d + p + 8);
        if (a >= start && a < size && n >= 256 && n <= 16382 && z == 0) {
            if (runLength++ == 0) {
                runStart = p;
                runValid = true;
            }
            if (runValid) {
                if (!ranges) ranges.emplace(d, size, start);
                runValid = file.Has(a, n * 4) && ranges->AllInside(a, n);
            }
            return p + 12;
        }
        if (runLength > 0) {
            if (runLength >= 3 && runStart <= INT32_MAX && runValid) tables.push_back(static_cast<int32_t>(runStart));
            runLength = 0;
        }
        return p + 1;
    });
    return tables;
}

int32_t CountLanguages(const BinFile& file, int32_t table) {
    int32_t count = 0;
    if (table < 0) return 0;
    // A header without strings is no language: the zero words that often
    // follow a table must not be counted as more languages.
    for (int64_t h = table; file.Has(h, 12) && count < INT32_MAX; h += 12, ++count) {
        const int32_t n = I32(file, h + 4), z = I32(file, h + 8);
        if (n > 32767 || z > 0 || n <= 0) break;
    }
    return count;
}

}  // namespace fs
