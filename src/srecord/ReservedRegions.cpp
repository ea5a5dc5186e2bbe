#include "srecord/ReservedRegions.h"

#include "base/Hex.h"
#include "base/Numbers.h"
#include "base/Text.h"

namespace flashsmith::srecord {
using namespace flashsmith::base;

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsWith0x(std::string_view s) { return SplitNumber(TrimSpaces(s), kNumber0x).hex; }
}  // namespace

std::string HexAddress(uint32_t value) { return HexStr(value); }

std::string FormatRegion(const AddressRange& region) {
    return HexAddress(region.Start) + " - " + HexAddress(region.Last());
}

std::optional<uint32_t> ReadRegionNumber(std::string_view text) {
    const NumberParts p = SplitNumber(TrimSpaces(text), kNumber0x);
    const auto v = ParseDigits(p.digits, p.hex ? 16 : 10);
    if (!v || *v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

ParsedRegion ParseRegion(std::string_view text) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) return {ReadRegionNumber(text), std::nullopt};
    return {ReadRegionNumber(text.substr(0, dash)), ReadRegionNumber(text.substr(dash + 1))};
}

std::string RegionCheckText(RegionCheck check) {
    switch (check) {
        case RegionCheck::Ok: return "ok";
        case RegionCheck::NoDash: return "a region is written as LOW - HIGH";
        case RegionCheck::BadCharacter:
            return "a region may hold only blanks, '-', digits, the letters A to F and x";
        case RegionCheck::Unreadable: return "an end of the region is not a number";
        case RegionCheck::LowNotBelowHigh: return "the low end must lie below the high end";
        case RegionCheck::Overlaps: return "the region overlaps a listed region";
        case RegionCheck::NoSelection: return "no region selected";
    }
    return "invalid region";
}

RegionCheckResult CheckRegionText(std::string_view text, const tReservedRegions& list,
                                  int skipIndex) {
    RegionCheckResult r;
    bool dash = false;
    for (char c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '-') dash = true;
        else if (!(IsBlank(c) || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == 'X')) {
            r.Status = RegionCheck::BadCharacter;
            return r;
        }
    }
    if (!dash) {
        r.Status = RegionCheck::NoDash;
        return r;
    }
    const ParsedRegion p = ParseRegion(text);
    if (!p.Low || !p.High) {
        r.Status = RegionCheck::Unreadable;
        return r;
    }
    if (*p.Low >= *p.High) {
        r.Status = RegionCheck::LowNotBelowHigh;
        return r;
    }
    r.Region = AddressRange::Inclusive(*p.Low, *p.High);
    for (size_t i = 0; i < list.size(); ++i) {
        if (static_cast<int>(i) != skipIndex && r.Region.Overlaps(list[i])) {
            r.Status = RegionCheck::Overlaps;
            r.OverlapIndex = static_cast<int>(i);
            return r;
        }
    }
    return r;
}

RegionCheckResult AppendRegion(tReservedRegions& list, std::string_view text) {
    RegionCheckResult r = CheckRegionText(text, list);
    if (r.Status == RegionCheck::Ok) list.push_back(r.Region);
    return r;
}

RegionCheckResult ReplaceRegion(tReservedRegions& list, int index, std::string_view text) {
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        RegionCheckResult r;
        r.Status = RegionCheck::NoSelection;
        return r;
    }
    RegionCheckResult r = CheckRegionText(text, list, index);
    if (r.Status == RegionCheck::Ok) list[static_cast<size_t>(index)] = r.Region;
    return r;
}

RegionCheck DeleteRegion(tReservedRegions& list, int index) {
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return RegionCheck::NoSelection;
    list.erase(list.begin() + index);
    return RegionCheck::Ok;
}

BinRangeFields CheckBinRangeFields(std::string_view startText, std::string_view stopText,
                                   bool part) {
    BinRangeFields f;
    f.StartText = std::string(startText);
    const std::optional<uint32_t> start = ReadRegionNumber(startText);
    if (!start) f.StartText = "0x00000000";
    f.Start = start.value_or(0);
    if (!StartsWith0x(f.StartText)) return f;
    if (part) {
        const std::optional<uint32_t> stop = ReadRegionNumber(stopText);
        if (!StartsWith0x(stopText) || !stop || f.Start >= *stop) return f;
        f.Stop = *stop;
    }
    f.Ok = true;
    return f;
}

}  // namespace flashsmith::srecord
