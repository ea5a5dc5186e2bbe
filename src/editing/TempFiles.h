// Replacement files in TempDir ("tmpImage_", "tmpSound_", "tmpJava_" plus
// the entry's index): their names, the sizes they count in a region, the
// picture header (width, height as u16 LE) and the reading of source files.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>

#include "editing/EditResult.h"
#include "base/Result.h"
#include "firmware/Variables.h"

namespace flashsmith::editing {

// "tmpImage_12" for picture 12; "" for a category without replacements.
std::string ReplacementName(int32_t category, int32_t index);
std::string TempPath(const firmware::FirmwareState& state, const std::string& name);
// Creates TempDir (and its parents) when missing.
base::Status EnsureTempDir(const firmware::FirmwareState& state);

// Bytes a replacement counts in its region: pictures the file size less the
// 4-byte header, sounds and Java the file size. -1 when the file is missing
// or a picture file is shorter than its header.
int64_t ReplacementDataSize(const firmware::FirmwareState& state, int32_t category, const std::string& tempName);

// Width and height from the first four bytes; false when the file is missing
// or shorter than that.
bool ReadPictureHeader(const std::string& path, int32_t* width, int32_t* height);

// Adds to a region's Used without wrapping past the int32 range; a region
// index outside the table keeps no accounting.
inline void AddUsed(firmware::FirmwareState& st, int32_t region, int64_t delta) {
    firmware::MemoryRegion* r = st.Firmware.RegionAt(region);
    if (!r) return;
    int64_t v = r->Used + delta;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    r->Used = static_cast<int32_t>(v);
}

// Sources larger than this are refused: no region comes near it, and the
// int32 region accounting must not overflow.
inline constexpr int64_t kMaxSourceSize = 64 << 20;

// Reads a user's file whole. Only regular files (not folders or devices).
EditStatus ReadSourceFile(const std::string& path, std::string& bytes, std::string* detail);

// The extension from the last '.', "" when a delimiter comes after it.
// Host paths use "/", firmware paths "\\" and ":".
std::string HostExtension(const std::string& path);
std::string FirmwareExtension(const std::string& path);

}  // namespace flashsmith::editing
