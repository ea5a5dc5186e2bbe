#include "editing/RegionUsage.h"

#include <algorithm>

#include "editing/DeleteRestore.h"
#include "editing/EditInternal.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"

namespace flashsmith::editing {
using namespace flashsmith::firmware;
using detail::HasRegion;
namespace {

// What an entry counts in its region now; -1 when it takes no space of its own.
template <typename Entry>
int64_t OwnShare(const FirmwareState& st, int32_t category, const Entry& e) {
    if (e.Deleted) return 0;
    if (!e.TempName.empty()) return std::max<int64_t>(0, ReplacementDataSize(st, category, e.TempName));
    return e.Size;
}

}  // namespace

int64_t ShownUsed(const FirmwareState& st, int32_t region) {
    const MemoryRegion* r = st.Firmware.RegionAt(region);
    if (!r) return 0;
    int64_t used = r->Used;
    if (region == kCatSounds && st.DeletedSoundCount > 0) used += kDeletedSoundPlaceholderSize;
    return used;
}

RegionUsage DescribeRegion(const FirmwareState& st, int32_t region, size_t top) {
    RegionUsage u;
    const MemoryRegion* r = st.Firmware.RegionAt(region);
    if (!r) return u;
    u.Region = region;
    u.Size = r->Range.Length;
    u.Used = ShownUsed(st, region);
    std::vector<EntryShare> shares;
    const auto& fw = st.Firmware;
    if (region == kCatImages) {
        for (size_t i = 0; i < fw.Images.size(); ++i)
            if (fw.Images[i].Link < 0 && fw.Images[i].Address >= 0)
                shares.push_back({static_cast<int32_t>(i), OwnShare(st, kCatImages, fw.Images[i])});
    } else if (region == kCatSounds) {
        for (size_t i = 0; i < fw.Sounds.size(); ++i)
            if (fw.Sounds[i].Link < 0) shares.push_back({static_cast<int32_t>(i), OwnShare(st, kCatSounds, fw.Sounds[i])});
    } else if (region == kCatJava) {
        for (size_t i = 0; i < fw.JavaApps.size(); ++i)
            shares.push_back({static_cast<int32_t>(i), OwnShare(st, kCatJava, fw.JavaApps[i])});
    } else if (const pStringType* strings = StringsOf(st, region)) {
        for (size_t i = 0; i < strings->size(); ++i) {
            const tStringType& s = (*strings)[i];
            if (s.Link >= 0 || s.HomeLang >= 0) continue;
            const std::string& shown = s.NewText.empty() ? s.Text : s.NewText;
            shares.push_back({static_cast<int32_t>(i), s.Deleted ? 0 : static_cast<int64_t>(shown.size()) + 1});
        }
    }
    // Largest first; equal sizes in table order.
    std::stable_sort(shares.begin(), shares.end(),
                     [](const EntryShare& a, const EntryShare& b) { return a.Bytes > b.Bytes; });
    shares.erase(std::remove_if(shares.begin(), shares.end(), [](const EntryShare& s) { return s.Bytes <= 0; }),
                 shares.end());
    if (shares.size() > top) shares.resize(top);
    u.Largest = std::move(shares);
    return u;
}

std::vector<int32_t> RegionsOfCategory(const FirmwareState& st, int32_t category) {
    if (!st.FirmwareLoaded || !HasRegion(st, category)) return {};
    return {category};
}

std::vector<int32_t> RegionsOfLanguageTable(const FirmwareState& st, int table) {
    std::vector<int32_t> out;
    if (!st.FirmwareLoaded) return out;
    for (int32_t k = 0; k < st.FirmwareDescription.LanguageCount; ++k)
        if (const int32_t r = LanguageCategory(st, table, k); HasRegion(st, r)) out.push_back(r);
    return out;
}

std::vector<int32_t> RegionsOfRoot(const FirmwareState& st) {
    std::vector<int32_t> out;
    if (!st.FirmwareLoaded) return out;
    for (int32_t r : {kCatImages, kCatSounds, kCatJava})
        if (HasRegion(st, r)) out.push_back(r);
    return out;
}

}  // namespace flashsmith::editing
