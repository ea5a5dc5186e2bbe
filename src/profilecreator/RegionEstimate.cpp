#include "profilecreator/RegionEstimate.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/Text.h"

namespace flashsmith::profilecreator {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

int32_t I32(const BinFile& f, int64_t offset) {
    return f.Has(offset, 4) ? static_cast<int32_t>(f.U32(offset)) : 0;
}

// Lowest address to the end of the first item holding the highest address.
class Span {
public:
    void Take(int64_t address, int64_t size) {
        if (!taken_ || address < low_) low_ = address;
        if (!taken_ || address > high_) {
            high_ = address;
            highSize_ = size;
        }
        taken_ = true;
    }
    AddressRange Region() const {
        if (!taken_ || low_ <= 0 || high_ <= 0) return {};
        const int64_t length = high_ + highSize_ - low_;
        if (low_ > INT32_MAX || length < INT32_MIN || length > INT32_MAX) return {};
        return {static_cast<uint32_t>(low_), static_cast<uint32_t>(length)};
    }

private:
    bool taken_ = false;
    int64_t low_ = 0, high_ = 0, highSize_ = 0;
};

AddressRange Pictures(const FoundTables& t) {
    Span span;
    if (t.ImageTable > 0 && t.FoundImages)
        for (const tImgType& img : *t.FoundImages) span.Take(img.Address, img.Size);
    return span.Region();
}

AddressRange Sounds(const BinFile& f, const FoundTables& t) {
    Span span;
    if (t.SoundTable <= 0) return {};
    const int64_t stride = t.SndTableLength > 8 ? t.SndTableLength : 8;
    for (int64_t e = t.SoundTable; f.Has(e, stride); e += stride) {
        const int32_t address = I32(f, e), size = I32(f, e + 4);
        const int32_t marker = t.SndTableLength > 8 ? I32(f, e + stride - 4) : 0;
        if (address < 0 || address > f.Size() || size > 0x80000 ||
            (marker == 0 && (address == 0 || size == 0)))
            break;
        if (address == 0 && size == 0) continue;
        span.Take(address, size);
    }
    return span.Region();
}

AddressRange Java(const BinFile& f, const FoundTables& t) {
    Span span;
    if (t.JavaTable <= 0 || t.JavaTableLength <= 8) return {};
    const int64_t pathField = t.JavaTableLength - 8;
    for (int64_t e = t.JavaTable; f.Has(e, t.JavaTableLength); e += t.JavaTableLength) {
        std::string_view field = f.View(e, static_cast<size_t>(pathField));
        const size_t zero = field.find('\0');
        if (zero == std::string_view::npos || zero == 0) break;
        const int32_t size = I32(f, e + pathField), address = I32(f, e + pathField + 4);
        if (UpperAscii(std::string(field.substr(0, zero))).rfind("E:\\S100", 0) == 0 && address <= f.Size())
            span.Take(address, size);
    }
    return span.Region();
}

}  // namespace

std::vector<AddressRange> ComputeRegions(const BinFile& file, const FoundTables& tables) {
    return {Pictures(tables), Sounds(file, tables), Java(file, tables)};
}

std::vector<AddressRange> FindLanguageRegions(const BinFile& file, int32_t table, int32_t count) {
    std::vector<AddressRange> regions;
    if (table < 1) return regions;
    struct Text {
        int64_t address;
        int64_t length;  // including the zero byte; 0 when none in 256 bytes
    };
    std::vector<Text> texts;
    for (int32_t k = 0; k < count; ++k) {
        const int64_t h = int64_t(table) + 12 * int64_t(k);
        if (!file.Has(h, 12)) break;  // a table cut short by the end of the file
        const int64_t pointers = I32(file, h);
        int64_t n = I32(file, h + 4);
        if (n > 16383) n = 0;
        if (n <= 0) continue;
        // Pointers past the end of the file: the language cannot be measured.
        if (!file.Has(pointers, 4 * n)) continue;
        texts.clear();
        for (int64_t i = 0; i < n; ++i) {
            const int64_t address = static_cast<int32_t>(file.U32(pointers + 4 * i));
            std::string_view bytes = file.View(address, 256);
            const size_t zero = bytes.find('\0');
            texts.push_back({address, zero == std::string_view::npos ? 0 : int64_t(zero) + 1});
        }
        if (texts.size() > 2)
            std::stable_sort(texts.begin(), texts.end(), [](const Text& a, const Text& b) { return a.address < b.address; });
        size_t s = 0;
        for (size_t i = 1; i < texts.size(); ++i)
            if (texts[i].address - (texts[i - 1].address + texts[i - 1].length) > 512) s = i;
        const Text& last = texts.back();
        const int64_t length = last.address + last.length - texts[s].address;
        if (length > 2048 && length <= INT32_MAX && texts[s].address >= 0 && texts[s].address <= INT32_MAX)
            regions.push_back({static_cast<uint32_t>(texts[s].address), length});
    }
    return regions;
}

std::vector<AddressRange> LanguageRegions(const BinFile& file, int32_t table1, int32_t table2,
                                          int32_t count) {
    if (table1 <= 0 || table2 <= 0 || count <= 0) return {};
    std::vector<AddressRange> first = FindLanguageRegions(file, table1, count);
    if (first.size() != static_cast<size_t>(count)) return {};
    std::vector<AddressRange> second = FindLanguageRegions(file, table2, count);
    if (second.size() != static_cast<size_t>(count)) return {};
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace flashsmith::profilecreator
