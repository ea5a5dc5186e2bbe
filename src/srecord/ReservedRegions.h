// The reserved memory regions of the converter: address ranges that the
// binary-to-S-record direction leaves out so that they are never flashed.
// The list holds the regions only; the GUI's heading item is not part of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/AddressRange.h"

namespace flashsmith::srecord {

using tReservedRegions = std::vector<base::AddressRange>;

// "0x" and eight upper-case digits.
std::string HexAddress(uint32_t value);
// HexAddress(first) + " - " + HexAddress(last): the listed form of a region.
std::string FormatRegion(const base::AddressRange& region);

// A trimmed decimal number, or hexadecimal after "0x"/"0X", from 0 to
// 0xFFFFFFFF; nothing when the text is anything else.
std::optional<uint32_t> ReadRegionNumber(std::string_view text);

// Low from the text before the first "-", high from the text after it; each
// empty when unreadable.
struct ParsedRegion {
    std::optional<uint32_t> Low;
    std::optional<uint32_t> High;
};
ParsedRegion ParseRegion(std::string_view text);

enum class RegionCheck {
    Ok,
    NoDash,          // no "-" between the two ends
    BadCharacter,    // something other than blanks, "-", digits, A-F, x/X
    Unreadable,      // an end is not a number
    LowNotBelowHigh,
    Overlaps,        // shares an address with a listed region
    NoSelection,     // Replace/Delete without a valid list index
};

// Why a region text was refused, for the CLI and the GUI's messages.
std::string RegionCheckText(RegionCheck check);

struct RegionCheckResult {
    RegionCheck Status = RegionCheck::Ok;
    base::AddressRange Region;  // valid when Status is Ok or Overlaps
    int OverlapIndex = -1;     // the listed region it collides with
};

// The checks of Append Region; the list entry at skipIndex (if any) is left
// out of the overlap test, which is what Replace Region needs.
RegionCheckResult CheckRegionText(std::string_view text, const tReservedRegions& list,
                                  int skipIndex = -1);

// Appends the region when every check holds; the list is unchanged otherwise.
RegionCheckResult AppendRegion(tReservedRegions& list, std::string_view text);
// Replaces list[index] when index is valid and every check holds.
RegionCheckResult ReplaceRegion(tReservedRegions& list, int index, std::string_view text);
// Removes list[index]; NoSelection when index is out of range.
RegionCheck DeleteRegion(tReservedRegions& list, int index);

// The checks the converter page makes on its start and stop fields before a
// binary-to-S-record conversion. Start text that is not a number of 0 or more
// becomes "0x00000000"; both texts must start with "0x" (stop only counts for
// a part, and then start must lie below stop).
struct BinRangeFields {
    bool Ok = false;
    std::string StartText;  // the start field's text after the correction
    uint32_t Start = 0;
    uint32_t Stop = 0;      // only for a part
};
BinRangeFields CheckBinRangeFields(std::string_view startText, std::string_view stopText,
                                   bool part);

}  // namespace flashsmith::srecord
