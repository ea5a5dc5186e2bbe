// The fast table searches find exactly what the straightforward ones find,
// on random images dense with near misses of every table, with each kernel.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceSearch.h"
#include "firmware/TestImage.h"
#include "profilecreator/TableSearch.h"

using namespace flashsmith::profilecreator;

namespace {

using flashsmith::base::NullProgress;
using flashsmith::test::ImageBytes;

// An image of size bytes built from table fragments, whole and damaged,
// over a background of zeros, random bytes or both.
class Fragments {
public:
    Fragments(uint32_t seed, size_t size, int w, int h) : rnd_(seed), img_(size), w_(w), h_(h) {
        const int background = Pick(3);
        for (size_t i = 0; i < size; ++i)
            if (background == 1 || (background == 2 && (i / 512) % 3 == 0)) Byte(i, static_cast<uint8_t>(rnd_()));
        if (size < 16) return;
        // Places near the edges of kernel groups and blocks are the likeliest to go wrong.
        const int count = 4 + static_cast<int>(size / 2048);
        for (int k = 0; k < count; ++k) Plant(Where());
        for (int k = 0; k < 4; ++k) Plant(size - 1 - Pick(40));
    }
    const ImageBytes& Image() const { return img_; }

private:
    size_t Pick(size_t n) { return n ? rnd_() % n : 0; }
    size_t Where() {
        const size_t size = img_.Bytes().size();
        const size_t edge = Pick(2) ? 64 : 65536;
        const size_t at = Pick(3) == 0 ? (Pick(size) / edge * edge + size - Pick(24)) % size : Pick(size);
        return at;
    }
    void Byte(size_t at, uint8_t v) {
        if (at < img_.Bytes().size()) img_.Put(at, std::string(1, static_cast<char>(v)));
    }
    Fragments& Word(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) Byte(at + i, static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    void Text(size_t at, const std::string& s) {
        for (size_t i = 0; i < s.size(); ++i) Byte(at + i, static_cast<uint8_t>(s[i]));
    }
    // An address inside the image, or now and then one just outside it.
    uint32_t Address() {
        const size_t size = img_.Bytes().size();
        switch (Pick(8)) {
            case 0: return static_cast<uint32_t>(size + Pick(3)) - 1;
            case 1: return static_cast<uint32_t>(Pick(4));
            case 2: return 0xFFFFFFF0u + static_cast<uint32_t>(Pick(16));
            default: return static_cast<uint32_t>(Pick(size));
        }
    }
    void Plant(size_t at) {
        switch (Pick(7)) {
            case 0: {  // picture entries of the display size, in a table with a zero header
                Word(at, 0);
                const size_t n = 1 + Pick(5);
                for (size_t i = 0; i < n; ++i) {
                    const bool screen = Pick(3) != 0;
                    Word(at + 8 + 8 * i, screen ? uint32_t(w_ | h_ << 16) : static_cast<uint32_t>(rnd_()));
                    // now and then the size again, so that hits overlap
                    Word(at + 12 + 8 * i, Pick(8) ? Address() : uint32_t(w_ | h_ << 16));
                }
                break;
            }
            case 1: {  // a sound, its chunk size plausible or not; sometimes only "MMM"
                Text(at, Pick(5) ? "MMMD" : "MMM");
                const uint32_t chunk = Pick(4) ? static_cast<uint32_t>(2 + Pick(0x80000)) : static_cast<uint32_t>(rnd_());
                for (int i = 0; i < 4; ++i) Byte(at + 4 + i, static_cast<uint8_t>(chunk >> (24 - 8 * i)));
                sounds_.push_back(at);
                break;
            }
            case 2: {  // records pointing at sounds planted so far
                if (sounds_.empty()) break;
                const size_t stride = 4 + 4 * Pick(5), n = 1 + Pick(6);
                for (size_t i = 0; i < n; ++i) Word(at + stride * i, static_cast<uint32_t>(sounds_[Pick(sounds_.size())]));
                break;
            }
            case 3:  // the Java manager's path, or most of it
                Text(at, Pick(4) ? "e:\\S100\\manager_" : "e:\\S100\\manager");
                Word(at + 128, static_cast<uint32_t>(Pick(2)));
                break;
            case 4: {  // language headers 12 bytes apart over a pointer table, a few damaged
                const size_t size = img_.Bytes().size(), n = 1 + Pick(6);
                if (Pick(3) == 0) at = size - 12 * n - Pick(16);  // a run that reaches the end
                const size_t table = Pick(size);
                const uint32_t most = 256 + static_cast<uint32_t>(Pick(64));
                Pointers(table, most + 8);
                for (size_t i = 0; i < n; ++i) {
                    static const uint32_t counts[] = {255, 16382, 16383, 0x10100};
                    const bool damaged = Pick(8) == 0;
                    Word(at + 12 * i, static_cast<uint32_t>(damaged && Pick(2) ? Address() : table + 4 * Pick(3)));
                    Word(at + 12 * i + 4, damaged && Pick(2) ? counts[Pick(4)] : most - static_cast<uint32_t>(Pick(3)));
                    Word(at + 12 * i + 8, damaged && Pick(2) ? 1 : 0);
                }
                if (Pick(2)) {  // a second run after a short gap that holds no header
                    const size_t gap = 1 + Pick(20), next = at + 12 * n + gap;
                    for (size_t i = at + 12 * n; i < next; ++i) Byte(i, 0xFF);
                    for (size_t i = 0; i < n; ++i)
                        Word(next + 12 * i, static_cast<uint32_t>(table)).Word(next + 12 * i + 4, most).Word(next + 12 * i + 8, 0);
                }
                break;
            }
            case 5:  // a run of pointers into the image
                Pointers(at, static_cast<uint32_t>(Pick(600)));
                break;
            default:  // bytes that pass the kernel's header test but no more
                Word(at, 0);
                Byte(at + 5, static_cast<uint8_t>(Pick(2)));
                Byte(at + 6, static_cast<uint8_t>(Pick(0x41)));
                Word(at + 7, 0);
                Byte(at + 11, 0);
                break;
        }
    }
    void Pointers(size_t at, uint32_t n) {
        const size_t size = img_.Bytes().size();
        for (uint32_t i = 0; i < n && at + 4 * i < size; ++i)
            Word(at + 4 * i, Pick(200) ? static_cast<uint32_t>(1 + Pick(size - 1)) : Address());
    }

    std::mt19937 rnd_;
    ImageBytes img_;
    int w_, h_;
    std::vector<size_t> sounds_;
};

std::vector<scan::Kernel> Kernels() {
    std::vector<scan::Kernel> k = {nullptr, scan::portable::Masks};
#if defined(__x86_64__) || defined(__i386__)
    // where the processor runs them (and the build has them: the best is one)
    if (scan::BestKernel() != scan::portable::Masks) {
        if (__builtin_cpu_supports("avx2")) k.push_back(scan::avx2::Masks);
        if (__builtin_cpu_supports("avx512bw")) k.push_back(scan::avx512::Masks);
    }
#endif
    return k;
}

void ExpectSame(const flashsmith::firmware::BinFile& file, int64_t start, int w, int h, const std::string& what) {
    const int32_t image = flashsmith::test::ref::RefImageTable(file, start, w, h, NullProgress());
    const FoundSoundTable sound = flashsmith::test::ref::RefSoundTable(file, start, NullProgress());
    const FoundJavaTable java = flashsmith::test::ref::RefJavaTable(file, start, NullProgress());
    const std::vector<int32_t> languages = flashsmith::test::ref::RefLanguageTables(file, start, NullProgress());
    TableSearchRequest all;
    all.SearchImages = all.SearchSounds = all.SearchJava = all.SearchLanguages = true;
    all.DisplayWidth = w;
    all.DisplayHeight = h;
    for (scan::Kernel kernel : Kernels()) {
        const TableSearchResult r = SearchTables(file, start, all, NullProgress(), kernel);
        EXPECT_EQ(r.ImageTable, image) << what;
        EXPECT_EQ(std::tie(r.Sound.Table, r.Sound.RecordLength, r.Sound.SizeOfs, r.Sound.VolOfs),
                  std::tie(sound.Table, sound.RecordLength, sound.SizeOfs, sound.VolOfs))
            << what;
        EXPECT_EQ(std::tie(r.Java.Table, r.Java.RecordLength), std::tie(java.Table, java.RecordLength)) << what;
        EXPECT_EQ(r.LanguageTables, languages) << what;
    }
    // Each search alone, as the page runs it with one box ticked.
    EXPECT_EQ(FindImageTable(file, start, w, h, NullProgress()), image) << what;
    EXPECT_EQ(FindSoundTable(file, start, NullProgress()).Table, sound.Table) << what;
    EXPECT_EQ(FindJavaTable(file, start, NullProgress()).Table, java.Table) << what;
    EXPECT_EQ(FindLanguageTables(file, start, NullProgress()), languages) << what;
}

TEST(SearchEquivalence, RandomImagesFindWhatTheStraightforwardSearchesFind) {
    // 128 x 128 and 256 x 256 patterns overlap themselves; 0 x 5 is refused.
    const std::pair<int, int> displays[] = {{176, 220}, {128, 128}, {256, 256}, {0, 5}, {77, 0x1234}};
    int found = 0;
    for (uint32_t seed = 1; seed <= 160; ++seed) {
        const size_t sizes[] = {seed % 20, 300 + seed * 37, 4096 + seed * 811, 70000 + seed * 97};
        const size_t size = seed % 16 == 0 ? 200000 + seed * 131 : sizes[seed % 4];
        const auto [w, h] = displays[seed % 5];
        const Fragments f(seed, size, w, h);
        auto file = f.Image().File();
        std::mt19937 rnd(seed);
        const int64_t starts[] = {0, static_cast<int64_t>(rnd() % (size + 1)), static_cast<int64_t>(size) - 7, -1};
        for (int64_t start : starts)
            ExpectSame(*file, start, w, h, "seed " + std::to_string(seed) + " start " + std::to_string(start));
        TableSearchRequest all;
        all.SearchImages = all.SearchSounds = all.SearchJava = all.SearchLanguages = true;
        all.DisplayWidth = w;
        all.DisplayHeight = h;
        const auto r = SearchTables(*file, 0, all, NullProgress());
        found += (r.ImageTable > 0) + (r.Sound.Table > 0) + (r.Java.Table > 0) + !r.LanguageTables.empty();
        if (HasFailure()) break;
    }
    // The images are dense enough that every kind of table is found often.
    EXPECT_GT(found, 160);
}

// An image of megabytes has its searches shared between two threads; they
// find the same as on one, every kind of table included.
TEST(SearchEquivalence, ImagesSearchedOnTwoThreadsFindWhatTheStraightforwardSearchesFind) {
    for (uint32_t seed : {161u, 162u}) {
        const size_t size = (size_t(4) << 20) + seed * 4099;
        const Fragments f(seed, size, 176, 220);
        auto file = f.Image().File();
        for (int64_t start : {int64_t{0}, static_cast<int64_t>(size / 3)})
            ExpectSame(*file, start, 176, 220, "seed " + std::to_string(seed) + " start " + std::to_string(start));
        TableSearchRequest all;
        all.SearchImages = all.SearchSounds = all.SearchJava = all.SearchLanguages = true;
        all.DisplayWidth = 176;
        all.DisplayHeight = 220;
        const auto r = SearchTables(*file, 0, all, NullProgress());
        EXPECT_TRUE(r.ImageTable > 0 && r.Sound.Table > 0 && r.Java.Table > 0 && !r.LanguageTables.empty()) << seed;
    }
}

}  // namespace
