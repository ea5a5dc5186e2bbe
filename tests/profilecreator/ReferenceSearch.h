// The table searches as first written: every position tested in turn, one
// scan per search. The fast searches must agree with them on any image.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "firmware/BinFile.h"
#include "firmware/FindPattern.h"
#include "profilecreator/TableSearch.h"

namespace flashsmith::test::ref {

inline int32_t I32At(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return static_cast<int32_t>(v);
}

inline int32_t I32(const flashsmith::firmware::BinFile& f, int64_t offset) {
    return f.Has(offset, 4) ? static_cast<int32_t>(f.U32(offset)) : 0;
}

inline uint32_t Be32(const flashsmith::firmware::BinFile& f, int64_t offset) {
    const uint8_t* p = f.Data() + offset;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

template <typename Visit>
void ScanPositions(int64_t from, int64_t to, flashsmith::base::ProgressSink&, Visit visit) {
    for (int64_t p = from; p < to;) p = visit(p);
}

// Every pointer of a header read one by one.
inline bool AllInside(const uint8_t* d, int64_t size, int64_t start, int64_t t, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        const int64_t v = I32At(d + t + 4 * i);
        if (v <= start || v >= size) return false;
    }
    return true;
}

inline int32_t RefImageTable(const flashsmith::firmware::BinFile& file, int64_t start, int32_t width, int32_t height,
                       flashsmith::base::ProgressSink& progress) {
    // A zero size is the table's end marker and would match every zero word.
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || start < 0) return -1;
    const std::string pattern{static_cast<char>(width & 0xFF), static_cast<char>(width >> 8),
                              static_cast<char>(height & 0xFF), static_cast<char>(height >> 8)};
    const int64_t size = file.Size();
    std::vector<int64_t> hits;
    for (int64_t h = flashsmith::firmware::FindPattern(file, start + 4, pattern, progress); h >= 0;
         h = flashsmith::firmware::FindPattern(file, h + 4, pattern, progress)) {
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
inline flashsmith::profilecreator::FoundSoundTable RefSoundTable(const flashsmith::firmware::BinFile& file, int64_t start, flashsmith::base::ProgressSink& progress) {
    flashsmith::profilecreator::FoundSoundTable result;
    if (start < 0) return result;
    struct Candidate {
        int64_t data;
        int64_t pointer = 0;
        int64_t gap = 0;
    };
    std::vector<Candidate> cands;
    for (int64_t h = flashsmith::firmware::FindPattern(file, start + 4, "MMMD", progress); h >= 0;
         h = flashsmith::firmware::FindPattern(file, h + 4, "MMMD", progress)) {
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
inline flashsmith::profilecreator::FoundJavaTable RefJavaTable(const flashsmith::firmware::BinFile& file, int64_t start, flashsmith::base::ProgressSink& progress) {
    flashsmith::profilecreator::FoundJavaTable result;
    if (start < 0) return result;
    const int64_t at = flashsmith::firmware::FindPattern(file, start, "e:\\S100\\manager_", progress);
    // A hit without room for one entry's size word is no table.
    if (at < 0 || at > INT32_MAX || !file.Has(at + 128, 4)) return result;
    result.Table = static_cast<int32_t>(at);
    result.RecordLength = file.U32(at + 128) != 0 ? 136 : 392;
    return result;
}
inline std::vector<int32_t> RefLanguageTables(const flashsmith::firmware::BinFile& file, int64_t start, flashsmith::base::ProgressSink& progress) {
    std::vector<int32_t> tables;
    const int64_t size = file.Size();
    if (start < 0 || size < 12) return tables;
    const uint8_t* d = file.Data();
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
                runValid = file.Has(a, n * 4) && AllInside(d, size, start, a, n);
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

}  // namespace flashsmith::test::ref
