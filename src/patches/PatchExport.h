// Export of patch resources to a Motorola S-record file, the form a phone is
// flashed from. A full resource needs nothing but the patch; a partial one is
// completed with the unchanged entries' bytes from the open firmware, since
// its new table moves every entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/Variables.h"
#include "patches/PatchReader.h"
#include "srecord/S3Writer.h"

namespace flashsmith::patches {

// One block to be written; Address -1 = not written.
struct tPatchBin {
    int64_t Address = -1;
    std::string Bytes;
};

// The blocks of a full resource: every data element with "offset" and a
// "to" that decodes to bytes, sorted by address (ties keep document order).
std::vector<tPatchBin> FullResourceBlocks(const PatchResource& resource);
// The blocks of a partial resource of the given kind: the new table, the
// entries' data from the patch and, for the rest, from the open firmware.
// Strings ("lng") are completed the same way, language by "table"/"number".
std::vector<tPatchBin> PartialResourceBlocks(const PatchResource& resource, PatchResourceType kind,
                                             const firmware::FirmwareState& state);

// Write the blocks of one resource; false when a block runs past the S3
// address space or the output failed. *written (when given) grows by the
// data bytes written.
bool ExportFullResource(const PatchResource& resource, srecord::S3Output& out, base::ProgressSink& progress,
                        uint64_t* written = nullptr);
bool ExportPartialResource(const PatchResource& resource, PatchResourceType kind, const firmware::FirmwareState& state,
                           srecord::S3Output& out, base::ProgressSink& progress, uint64_t* written = nullptr);

enum class PatchExportStatus {
    Ok,
    NoSelectedData,  // no firmware open and nothing selected
    OpenFirmware,    // no firmware open and a partial resource selected
    OutputFailed,    // the file could not be written; an earlier one is intact
};
// The checks made before asking for the output file: Ok, NoSelectedData or
// OpenFirmware (the latter two only when no firmware is open).
PatchExportStatus CheckPatchExport(const std::vector<const PatchResource*>& selected, const firmware::FirmwareState* state);

// "No Selected Data!", "Open Firmware!", or "" for the others.
const char* PatchExportStatusText(PatchExportStatus status);

struct PatchExportResult {
    PatchExportStatus Status = PatchExportStatus::Ok;
    int Resources = 0;       // resources exported
    uint64_t DataBytes = 0;  // bytes written as data records
    std::string Error;
};

// Exports the selected resources (or "binary" elements, which are counted as
// selected but never exported) in the order given. state may be null or not
// loaded: then only full resources can be exported. The output is written
// under a temporary name and renamed when complete.
PatchExportResult ExportPatchToS3(const std::vector<const PatchResource*>& selected, const firmware::FirmwareState* state,
                                  const std::string& outPath, base::ProgressSink& progress);
// The same into out (header, blocks, end line).
PatchExportResult ExportPatchToS3(const std::vector<const PatchResource*>& selected, const firmware::FirmwareState* state,
                                  srecord::S3Output& out, base::ProgressSink& progress);

}  // namespace flashsmith::patches
