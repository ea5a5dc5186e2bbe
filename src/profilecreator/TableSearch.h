// Heuristic searches for the resource tables of an image that has no
// description file yet. The searches share one read of the memory-mapped
// image (two with sounds), keep only candidate lists and decide by voting.
#pragma once

#include <cstdint>
#include <vector>

#include "firmware/BinFile.h"
#include "firmware/Variables.h"
#include "profilecreator/ScanKernel.h"

namespace flashsmith::profilecreator {

// Offset of the picture table header, -1 when not found. width x height is
// the phone's display size: full-screen pictures cluster inside the table.
int32_t FindImageTable(const firmware::BinFile& file, int64_t start, int32_t width, int32_t height,
                       base::ProgressSink& progress);

// The entries of the picture table at table with a first guess of each
// picture's format and size (ID -1, Link -1).
std::vector<firmware::tImgType> ClassifyImages(const firmware::BinFile& file, int64_t start, int32_t table);

struct FoundSoundTable {
    int32_t Table = -1;
    int32_t RecordLength = 0;
    int32_t SizeOfs = 0;  // offset of the size field, set when found
    int32_t VolOfs = 0;   // offset of the volume field, set for long records
};
FoundSoundTable FindSoundTable(const firmware::BinFile& file, int64_t start, base::ProgressSink& progress);

struct FoundJavaTable {
    int32_t Table = -1;
    int32_t RecordLength = 0;
};
FoundJavaTable FindJavaTable(const firmware::BinFile& file, int64_t start, base::ProgressSink& progress);

// Offsets of every language table (a run of at least three headers whose
// string pointers all lie inside the image), in file order.
std::vector<int32_t> FindLanguageTables(const firmware::BinFile& file, int64_t start, base::ProgressSink& progress);

struct TableSearchRequest {
    bool SearchImages = false;
    bool SearchSounds = false;
    bool SearchJava = false;
    bool SearchLanguages = false;
    int32_t DisplayWidth = 0;  // the phone's display, for the picture search
    int32_t DisplayHeight = 0;
};

struct TableSearchResult {
    int32_t ImageTable = -1;
    FoundSoundTable Sound;
    FoundJavaTable Java;
    std::vector<int32_t> LanguageTables;
};

// The requested searches together, each with the result of its function
// below. Progress runs once over the image (twice with sounds). kernel:
// null for the fastest the processor runs (tests pass others).
TableSearchResult SearchTables(const firmware::BinFile& file, int64_t start, const TableSearchRequest& request,
                               base::ProgressSink& progress, scan::Kernel kernel = nullptr);

// Number of language headers at table.
int32_t CountLanguages(const firmware::BinFile& file, int32_t table);

}  // namespace flashsmith::profilecreator
