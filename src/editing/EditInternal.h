// Small helpers shared by the editing operations' sources.
#pragma once

#include <string>

#include "editing/EditResult.h"
#include "editing/TempFiles.h"
#include "firmware/Variables.h"

namespace flashsmith::editing::detail {

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

inline bool HasRegion(const firmware::FirmwareState& st, int32_t region) {
    return st.Firmware.RegionAt(region) != nullptr;
}

}  // namespace flashsmith::editing::detail
