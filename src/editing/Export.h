// Export of firmware resources to files: pictures as 32-bit bitmaps, JPEG or PNG,
// sounds as ".mmf", Java files under their own names. Always the data stored
// in the firmware, also for replaced or deleted entries.
#pragma once

#include <string>

#include "firmware/Picture.h"
#include "firmware/Variables.h"

namespace flashsmith::editing {

enum class PictureExport { Bmp, Jpeg, Png };

enum class ExportStatus { Ok, NothingToExport, DecodeFailed, WriteFailed };

struct ExportResult {
    ExportStatus Status = ExportStatus::Ok;
    std::string Path;   // the file written
    std::string Error;  // why it failed
};

// Exports entry index of category (images, sounds or Java) into folder; an
// existing file of the same name is overwritten. Strings are not exported.
ExportResult ExportResource(const firmware::FirmwareState& state, int32_t category, int32_t index,
                            const std::string& folder, PictureExport format);

// Decodes the stored picture of entry index (following its link) into a
// picture of the entry's own size; false when nothing can be decoded.
bool DecodeStoredPicture(const firmware::FirmwareState& state, int32_t index, firmware::Picture& out);

// "Sound_" + (index + 1): the file name of an exported sound, without extension.
std::string SoundExportStem(int32_t index);

// A row or table name made safe as one file name: no folder separators, no
// "." or "..".
std::string SafeFileName(const std::string& name, const std::string& fallback);

}  // namespace flashsmith::editing
