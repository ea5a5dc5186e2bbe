// Small helpers shared by the editing operations' sources.
#pragma once

#include <string>

#include "editing/EditResult.h"
#include "firmware/Variables.h"

namespace fs::editing_detail {

inline EditResult Outcome(int32_t category, EditStatus status, std::string detail = {}) {
    EditResult r;
    r.Category = category;
    r.Status = status;
    r.Detail = std::move(detail);
    return r;
}

inline bool ValidIndex(int32_t index, size_t count) {
    return index >= 0 && static_cast<size_t>(index) < count;
}

inline bool HasRegion(const FirmwareState& st, int32_t region) {
    return region >= 0 && static_cast<size_t>(region) < st.Firmware.Regions.size();
}

// Adds to a region's Used without wrapping past the int32 range.
inline void AddUsed(FirmwareState& st, int32_t region, int64_t delta) {
    if (!HasRegion(st, region)) return;
    int64_t v = static_cast<int64_t>(st.Firmware.Regions[region].Used) + delta;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    st.Firmware.Regions[region].Used = static_cast<int32_t>(v);
}

}  // namespace fs::editing_detail
