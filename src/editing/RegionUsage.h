// How full the memory regions are and what fills them, for the region bar
// under the resource list.
#pragma once

#include <cstdint>
#include <vector>

#include "firmware/Variables.h"

namespace flashsmith::editing {

// The used figure the editor, the CLI and patch creation go by: Used, and
// for the sound region the shared silent sound that deleted sounds point at.
int64_t ShownUsed(const firmware::FirmwareState& state, int32_t region);

struct EntryShare {
    int32_t Row = -1;   // index in the category's list
    int64_t Bytes = 0;  // what the entry counts in its region now
};

struct RegionUsage {
    int32_t Region = -1;
    int64_t Size = 0;
    int64_t Used = 0;                  // ShownUsed
    std::vector<EntryShare> Largest;   // the largest entries first, at most `top`
    bool Over() const { return Used > Size; }
};

// Entries that share another's data or live in another language's region
// take no space of their own here and are left out of Largest; deleted
// entries count 0, replaced ones their replacement's size.
RegionUsage DescribeRegion(const firmware::FirmwareState& state, int32_t region, size_t top = 5);

// The regions a node of the category tree stands for: a category its own,
// a language table (1 or 2) each of its languages, the firmware root the
// pictures, sounds and Java. None while no firmware is open.
std::vector<int32_t> RegionsOfCategory(const firmware::FirmwareState& state, int32_t category);
std::vector<int32_t> RegionsOfLanguageTable(const firmware::FirmwareState& state, int table);
std::vector<int32_t> RegionsOfRoot(const firmware::FirmwareState& state);

}  // namespace flashsmith::editing
