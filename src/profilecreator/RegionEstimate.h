// The memory regions of a new description file, estimated from the tables
// found: a region runs from the lowest data address a table points to up to
// the end of the item with the highest address. A length the arithmetic
// makes negative is kept as the description file holds it, by its low 32
// bits.
#pragma once

#include <cstdint>
#include <vector>

#include "base/AddressRange.h"
#include "firmware/BinFile.h"
#include "firmware/Variables.h"

namespace flashsmith::profilecreator {

struct FoundTables {
    int32_t ImageTable = 0;  // 0 or less: no table
    int32_t SoundTable = 0;
    int32_t JavaTable = 0;
    int32_t SndTableLength = 0;
    int32_t JavaTableLength = 0;
    const std::vector<firmware::tImgType>* FoundImages = nullptr;
};

// Pictures, sounds, Java: always three entries; (0, 0) for a category
// without a table or without a usable entry.
std::vector<base::AddressRange> ComputeRegions(const firmware::BinFile& file, const FoundTables& tables);

// One region per language of the table at table, in header order; possibly
// fewer than count (a language without strings or with a short block gives
// none).
std::vector<base::AddressRange> FindLanguageRegions(const firmware::BinFile& file, int32_t table, int32_t count);

// The language regions of both tables, or nothing unless both tables give
// exactly count regions.
std::vector<base::AddressRange> LanguageRegions(const firmware::BinFile& file, int32_t table1, int32_t table2,
                                                int32_t count);

}  // namespace flashsmith::profilecreator
