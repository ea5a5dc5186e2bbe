#include "profilecreator/TableSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/SideThread.h"
#include "firmware/Images.h"


namespace flashsmith::profilecreator {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

// Scans report progress and let the event loop run once per this many bytes:
// a per-kilobyte callback would cost more than the scan itself.
constexpr int64_t kProgressStep = 1 << 20;

// From this image size on, independent searches share the work with a second
// thread; below it a thread would cost more than it saves.
constexpr int64_t kSideThreadFrom = int64_t(4) << 20;

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
    TableSearchRequest request;
    request.SearchImages = true;
    request.DisplayWidth = width;
    request.DisplayHeight = height;
    return SearchTables(file, start, request, progress).ImageTable;
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

namespace {

// Positions per kernel call: the masks of a block stay in the first-level
// cache while the searches read them.
constexpr int64_t kBlock = 16 * 1024;
constexpr size_t kBlockGroups = kBlock / scan::kGroup;

// A search fed the candidate positions of its test in increasing order.
class Search {
public:
    virtual ~Search() = default;
    // Looks closely at position p (any position in [From, To) may come).
    virtual void Visit(int64_t p) = 0;
    int64_t From = 0, To = 0;  // the positions the search looks at
    bool Done = false;         // wants no more positions
    bool Header = false;       // uses the language header test, else Pair
    scan::PairTest Pair;
};

// Runs the searches over the image in one read: each block goes through
// the kernel once, then every search visits its candidates in that block.
void RunPass(const BinFile& file, const std::vector<Search*>& searches, scan::Kernel kernel,
             ProgressSink& progress) {
    int64_t from = INT64_MAX, to = 0;
    for (Search* s : searches)
        if (!s->Done && s->From < s->To) from = std::min(from, s->From), to = std::max(to, s->To);
    if (from >= to) return;
    const int64_t size = file.Size();
    const uint8_t* d = file.Data();
    std::vector<uint64_t> masks(kBlockGroups * (scan::kMaxPairs + 1));
    uint64_t* out[scan::kMaxPairs + 1];
    std::vector<Search*> order;
    int64_t sinceEvents = 0;
    for (int64_t b = from; b < to; b += kBlock) {
        const int64_t e = std::min(to, b + kBlock);
        // Pair tests first, the header test last, as the kernel fills them.
        scan::KernelTests tests;
        order.clear();
        Search* header = nullptr;
        for (Search* s : searches) {
            if (s->Done || s->To <= b || s->From >= e) continue;
            if (s->Header) {
                header = s;
            } else {
                tests.Pairs[tests.PairCount++] = s->Pair;
                order.push_back(s);
            }
        }
        if (header) {
            tests.LanguageHeader = true;
            order.push_back(header);
        }
        for (size_t t = 0; t < order.size(); ++t) out[t] = masks.data() + t * kBlockGroups;
        // Whole groups whose reach lies inside the file go through the
        // kernel; the few positions left are all candidates.
        int64_t groups = (e - b) / scan::kGroup;
        if (b + groups * scan::kGroup + scan::kReach > size)
            groups = std::max<int64_t>(0, (size - scan::kReach - b) / scan::kGroup);
        if (groups > 0 && !order.empty()) kernel(d + b, static_cast<size_t>(groups), tests, out);
        const int64_t tail = b + groups * scan::kGroup;
        for (size_t t = 0; t < order.size(); ++t) {
            Search& s = *order[t];
            const int64_t lo = std::max(b, s.From), hi = std::min(e, s.To);
            for (int64_t g = 0; g < groups && !s.Done; ++g) {
                const int64_t at = b + g * scan::kGroup;
                for (uint64_t m = out[t][g]; m != 0 && !s.Done; m &= m - 1) {
                    const int64_t p = at + std::countr_zero(m);
                    if (p >= lo && p < hi) s.Visit(p);
                }
            }
            for (int64_t p = std::max(tail, lo); p < hi && !s.Done; ++p) s.Visit(p);
        }
        progress.Step(e - b);
        if ((sinceEvents += e - b) >= kProgressStep) {
            progress.ProcessEvents();
            sinceEvents = 0;
        }
    }
    progress.ProcessEvents();
}

scan::PairTest EqualPair(uint8_t offsetA, uint8_t a, uint8_t offsetB, uint8_t b) {
    scan::PairTest t;
    t.OffsetA = offsetA;
    t.LowA = a;
    t.OffsetB = offsetB;
    t.LowB = b;
    return t;
}

// Every occurrence of a pattern from From on, the next one searched after
// the end of the last, each handed to onHit (false: stop).
class Occurrences : public Search {
public:
    Occurrences(const BinFile& file, int64_t from, std::string pattern, uint8_t offsetA, uint8_t offsetB,
                std::function<bool(int64_t)> onHit)
        : d_(file.Data()), pattern_(std::move(pattern)), onHit_(std::move(onHit)) {
        From = next_ = from;
        To = file.Size() - static_cast<int64_t>(pattern_.size()) + 1;
        const auto* p = reinterpret_cast<const uint8_t*>(pattern_.data());
        Pair = EqualPair(offsetA, p[offsetA], offsetB, p[offsetB]);
    }
    void Visit(int64_t p) override {
        if (p < next_ || std::memcmp(d_ + p, pattern_.data(), pattern_.size()) != 0) return;
        next_ = p + static_cast<int64_t>(pattern_.size());
        if (!onHit_(p)) Done = true;
    }

private:
    const uint8_t* d_;
    std::string pattern_;
    std::function<bool(int64_t)> onHit_;
    int64_t next_;
};

// Answers "does every word at t, t + 4, ..., t + 4(n - 1) lie strictly between
// start and the image end?" in constant time, so checking a header costs the
// same however many pointers it has. One bit per byte offset says whether the
// word there is out of range; offsets are grouped by their remainder mod 4 so
// a header's pointers are consecutive bits. The bits and their running counts
// are made per chunk when a header first needs it: most images have pointer
// tables in a small part only.
class PointerRanges {
public:
    PointerRanges(const uint8_t* d, int64_t size, int64_t start) : d_(d), size_(size), start_(start) {
        for (int r = 0; r < 4; ++r) {
            words_[r] = size - r >= 4 ? (size - r - 4) / 4 + 1 : 0;
            chunks_[r].resize(static_cast<size_t>(words_[r] / kChunkWords + 1));
        }
    }
    // The caller has checked that the n words lie inside the image.
    bool AllInside(int64_t t, int64_t n) {
        const int r = static_cast<int>(t % 4);
        for (int64_t j = t / 4, end = j + n; j < end;) {
            const int64_t c = j / kChunkWords, first = j - c * kChunkWords;
            const int64_t last = std::min(end - c * kChunkWords, kChunkWords);
            const Chunk& chunk = Get(r, c);
            if (chunk.BadBefore(last) != chunk.BadBefore(first)) return false;
            j = (c + 1) * kChunkWords;
        }
        return true;
    }

private:
    static constexpr int64_t kChunkWords = 4096;
    struct Chunk {
        std::array<uint64_t, kChunkWords / 64> bits{};
        std::array<uint32_t, kChunkWords / 64 + 1> before{};
        uint64_t BadBefore(int64_t j) const {
            const size_t w = static_cast<size_t>(j >> 6);
            if (w == bits.size()) return before[w];
            const uint64_t mask = (uint64_t{1} << (j & 63)) - 1;
            return before[w] + static_cast<uint64_t>(std::popcount(bits[w] & mask));
        }
    };
    const Chunk& Get(int r, int64_t c) {
        std::unique_ptr<Chunk>& slot = chunks_[r][static_cast<size_t>(c)];
        if (!slot) {
            slot = std::make_unique<Chunk>();
            for (int64_t k = 0; k < kChunkWords; ++k) {
                const int64_t j = c * kChunkWords + k;
                // words past the end never lie inside
                const int64_t v = j < words_[r] ? I32At(d_ + r + 4 * j) : 0;
                if (v <= start_ || v >= size_) slot->bits[static_cast<size_t>(k >> 6)] |= uint64_t{1} << (k & 63);
            }
            for (size_t w = 0; w < slot->bits.size(); ++w)
                slot->before[w + 1] = slot->before[w] + static_cast<uint32_t>(std::popcount(slot->bits[w]));
        }
        return *slot;
    }
    const uint8_t* d_;
    int64_t size_, start_;
    std::array<int64_t, 4> words_{};
    std::array<std::vector<std::unique_ptr<Chunk>>, 4> chunks_;
};

// Runs of at least three language headers 12 bytes apart. A header ends the
// run's scan position at the next header, so positions inside a header are
// never looked at, and a position that is no header ends the run.
class LanguageHeaders : public Search {
public:
    LanguageHeaders(const BinFile& file, int64_t start) : file_(file), d_(file.Data()), start_(start) {
        From = start;
        To = file.Size() - 11;
        Header = true;
    }
    void Visit(int64_t p) override {
        if (inRun_) {
            if (p < expect_) return;  // inside a header of the run
            if (p > expect_) Close();  // the next header's place held no header
        }
        const int64_t size = file_.Size();
        const int64_t a = I32At(d_ + p), n = I32At(d_ + p + 4), z = I32At(d_ + p + 8);
        if (a >= start_ && a < size && n >= 256 && n <= 16382 && z == 0) {
            if (!inRun_) {
                inRun_ = true;
                runStart_ = p;
                runLength_ = 0;
                runValid_ = true;
            }
            ++runLength_;
            if (runValid_) {
                // Built on the first header only: most scans never need it.
                if (!ranges_) ranges_.emplace(d_, size, start_);
                runValid_ = file_.Has(a, n * 4) && ranges_->AllInside(a, n);
            }
            expect_ = p + 12;
        } else if (inRun_) {
            Close();
        }
    }
    // A run still open ends at its next place if that lies in the scan.
    std::vector<int32_t> Tables() {
        if (inRun_ && expect_ < To) Close();
        return std::move(tables_);
    }

private:
    void Close() {
        if (runLength_ >= 3 && runStart_ <= INT32_MAX && runValid_) tables_.push_back(static_cast<int32_t>(runStart_));
        inRun_ = false;
    }
    const BinFile& file_;
    const uint8_t* d_;
    int64_t start_;
    std::optional<PointerRanges> ranges_;
    bool inRun_ = false, runValid_ = true;
    int64_t runStart_ = 0, runLength_ = 0, expect_ = 0;
    std::vector<int32_t> tables_;
};

struct SoundCandidate {
    int64_t data;
    int64_t pointer = 0;
    int64_t gap = 0;
};

// Words that point at a sound: each sets its sound's pointer and the gap
// from the previous sound's pointer.
class SoundPointers : public Search {
public:
    SoundPointers(const BinFile& file, int64_t start, std::vector<SoundCandidate>& cands)
        : d_(file.Data()), cands_(cands), first_(cands.front().data), last_(cands.back().data) {
        From = start;
        To = file.Size() - 3;
        // A word in [first, last] has its top byte in the range of theirs,
        // and when those agree, its second byte in the range of theirs.
        const int64_t high = std::min<int64_t>(last_, INT32_MAX);
        if (first_ > high) {
            Done = true;  // no signed word reaches the sounds
            return;
        }
        Pair.OffsetA = 3;
        Pair.LowA = static_cast<uint8_t>(first_ >> 24);
        Pair.SpanA = static_cast<uint8_t>((high >> 24) - (first_ >> 24));
        Pair.OffsetB = 2;
        if ((first_ >> 24) == (high >> 24)) {
            Pair.LowB = static_cast<uint8_t>(first_ >> 16);
            Pair.SpanB = static_cast<uint8_t>((high >> 16) - (first_ >> 16));
        } else {
            Pair.SpanB = 0xFF;
        }
    }
    void Visit(int64_t p) override {
        const int64_t v = I32At(d_ + p);
        if (v < first_ || v > last_) return;
        auto it = Find(cands_, v);
        if (it == cands_.end()) return;
        it->pointer = p;
        if (it != cands_.begin()) (it - 1)->gap = p - (it - 1)->pointer;
    }
    // Sounds come in file order, so the data offsets are ascending and a
    // binary search finds the one candidate a value can point to.
    static std::vector<SoundCandidate>::iterator Find(std::vector<SoundCandidate>& cands, int64_t v) {
        auto it = std::lower_bound(cands.begin(), cands.end(), v,
                                   [](const SoundCandidate& c, int64_t x) { return c.data < x; });
        return it != cands.end() && it->data == v ? it : cands.end();
    }

private:
    const uint8_t* d_;
    std::vector<SoundCandidate>& cands_;
    int64_t first_, last_;
};

// The picture table from the hits of the display size: the middle hit lies
// inside the table, whose header is the nearest zero word before it.
int32_t ImageTableAt(const BinFile& file, const std::vector<int64_t>& hits) {
    if (hits.size() < 2) return -1;
    const int64_t middle = hits[hits.size() / 2];
    for (int64_t pos = middle - 8; pos > 0; pos -= 8)
        if (file.U32(pos) == 0) return pos > INT32_MAX ? -1 : static_cast<int32_t>(pos);
    return -1;
}

// The sound table from the pointers found: the record length is the median
// gap between the pointers of consecutive sounds.
FoundSoundTable SoundTableOf(const BinFile& file, int64_t start, std::vector<SoundCandidate>& cands) {
    FoundSoundTable result;
    cands.back().gap = cands[cands.size() - 2].gap;
    std::vector<SoundCandidate> byGap = cands;
    std::stable_sort(byGap.begin(), byGap.end(),
                     [](const SoundCandidate& a, const SoundCandidate& b) { return a.gap < b.gap; });
    const int64_t length = byGap[byGap.size() / 2].gap;
    if (length <= 0 || length > INT32_MAX) return result;
    int64_t table = -1;
    for (const SoundCandidate& c : cands)
        if (c.gap == length && (table < 0 || c.pointer < table)) table = c.pointer;
    // A later entry that shares the first entry's sound moves that sound's
    // pointer past the table start; entries just before the start that
    // point at found sounds still belong to the table.
    auto isSound = [&](int64_t at) { return SoundPointers::Find(cands, I32(file, at)) != cands.end(); };
    while (table - length >= start && isSound(table - length)) table -= length;
    if (table <= 0 || table > INT32_MAX) return result;
    result.Table = static_cast<int32_t>(table);
    result.RecordLength = static_cast<int32_t>(length);
    result.SizeOfs = 4;
    result.VolOfs = length > 17 ? 17 : 0;
    return result;
}

}  // namespace

TableSearchResult SearchTables(const BinFile& file, int64_t start, const TableSearchRequest& request,
                               ProgressSink& progress, scan::Kernel kernel) {
    TableSearchResult result;
    if (!kernel) kernel = scan::BestKernel();
    const int64_t size = file.Size();
    std::vector<std::unique_ptr<Search>> owned;
    std::vector<Search*> searches;
    auto add = [&](std::unique_ptr<Search> s) {
        searches.push_back(s.get());
        owned.push_back(std::move(s));
        return searches.back();
    };

    // Pictures: the hits of the display size whose next word points into
    // the image. A zero size is the table's end marker and would match
    // every zero word.
    const int32_t w = request.DisplayWidth, h = request.DisplayHeight;
    std::vector<int64_t> imageHits;
    if (request.SearchImages && w > 0 && h > 0 && w <= 0xFFFF && h <= 0xFFFF && start >= 0) {
        const std::string pattern{static_cast<char>(w & 0xFF), static_cast<char>(w >> 8),
                                  static_cast<char>(h & 0xFF), static_cast<char>(h >> 8)};
        add(std::make_unique<Occurrences>(file, start + 4, pattern, 0, 2, [&](int64_t at) {
            if (!file.Has(at + 4, 4)) return false;
            const int64_t v = file.U32(at + 4);
            if (v >= start && v < size) imageHits.push_back(at);
            return true;
        }));
    }
    // Sounds: "MMMD" with a plausible chunk size.
    std::vector<SoundCandidate> sounds;
    Search* soundSearch = nullptr;
    if (request.SearchSounds && start >= 0) {
        soundSearch = add(std::make_unique<Occurrences>(file, start + 4, "MMMD", 0, 3, [&](int64_t at) {
            if (!file.Has(at + 4, 4)) return false;
            const uint32_t chunk = Be32(file, at + 4);
            if (chunk >= 2 && chunk <= 0x80000) sounds.push_back({at});
            return true;
        }));
    }
    // Java: the first record of the manager's files.
    int64_t javaAt = -1;
    if (request.SearchJava && start >= 0) {
        add(std::make_unique<Occurrences>(file, start, "e:\\S100\\manager_", 0, 15, [&](int64_t at) {
            javaAt = at;
            return false;
        }));
    }
    LanguageHeaders* languages = nullptr;
    if (request.SearchLanguages && start >= 0 && size >= 12) {
        auto l = std::make_unique<LanguageHeaders>(file, start);
        languages = l.get();
        add(std::move(l));
    }

    // Sounds need a second read: a pointer may come before its sound.
    const bool pointerPass = request.SearchSounds && start >= 0;
    progress.SetRange(std::max<int64_t>(0, size - start) * (pointerPass ? 2 : 1));
    progress.SetPosition(0);
    // The sounds take two reads and the others one: on an image of megabytes
    // the others run on a second thread meanwhile. The progress follows the
    // sounds, as this thread reports it (a window's events belong to it).
    std::vector<Search*> others;
    for (Search* s : searches)
        if (s != soundSearch) others.push_back(s);
    std::optional<SideThread> side;
    if (soundSearch && !others.empty() && size >= kSideThreadFrom) {
        side.emplace([&file, &others, kernel] { RunPass(file, others, kernel, NullProgress()); });
        searches = {soundSearch};
    }
    RunPass(file, searches, kernel, progress);
    // One sound leaves no distance between two pointers to measure.
    if (sounds.size() >= 2) {
        progress.SetPosition(std::max<int64_t>(0, size - start));
        SoundPointers pointers(file, start, sounds);
        RunPass(file, {&pointers}, kernel, progress);
        result.Sound = SoundTableOf(file, start, sounds);
    }
    if (side) side->Join();

    result.ImageTable = ImageTableAt(file, imageHits);
    // A hit without room for one entry's size word is no table.
    if (javaAt >= 0 && javaAt <= INT32_MAX && file.Has(javaAt + 128, 4)) {
        result.Java.Table = static_cast<int32_t>(javaAt);
        result.Java.RecordLength = file.U32(javaAt + 128) != 0 ? 136 : 392;
    }
    if (languages) result.LanguageTables = languages->Tables();
    return result;
}

FoundSoundTable FindSoundTable(const BinFile& file, int64_t start, ProgressSink& progress) {
    TableSearchRequest request;
    request.SearchSounds = true;
    return SearchTables(file, start, request, progress).Sound;
}

FoundJavaTable FindJavaTable(const BinFile& file, int64_t start, ProgressSink& progress) {
    TableSearchRequest request;
    request.SearchJava = true;
    return SearchTables(file, start, request, progress).Java;
}

std::vector<int32_t> FindLanguageTables(const BinFile& file, int64_t start, ProgressSink& progress) {
    TableSearchRequest request;
    request.SearchLanguages = true;
    return SearchTables(file, start, request, progress).LanguageTables;
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

}  // namespace flashsmith::profilecreator
