// Patch application ("Open SPF"): a partial patch made for the open
// firmware's version becomes pending edits of the open firmware, exactly as
// if the user had made them. Applying a patch twice equals applying it once:
// every entry's earlier pending edit is undone before an element is applied.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "firmware/Variables.h"
#include "patches/CreatePatch.h"
#include "xml/GmXml.h"

namespace flashsmith::patches {

struct ApplyResourceResult {
    bool Applied = false;  // false: the resource was ignored as a whole
    int Elements = 0;      // data and meta elements that changed an entry
    int32_t Category = -1;       // the resource's category (region)
    std::vector<int32_t> Rows;   // the entries changed, in order (repeats possible)
    bool WriteFailed = false;
    std::string Error;     // WriteFailed: the replacement file that could not be written
};

// Applies one "resource" element to the records; replacement files go to
// TempDir (created when missing).
ApplyResourceResult ApplyPatchResource(firmware::FirmwareState& state, const xml::TGmXmlNode& resource);

enum class OpenSpfStatus {
    Applied,
    NotLoaded,         // no firmware open
    LoadError,         // the file cannot be read
    NotPatch,          // no "patch" element of the format version
    MissingInfo,       // "info" with "name", or its "author", is missing
    OtherFirmware,     // no "patchdata", or one made for another version
    WriteError,        // a replacement file could not be written
};

struct OpenSpfResult {
    OpenSpfStatus Status = OpenSpfStatus::Applied;
    PatchDetails Details;  // for the patch dialog's fields (Applied, WriteError)
    int Resources = 0;     // resources applied
    std::string Error;
    // Every entry an element changed: category and index.
    std::vector<std::pair<int32_t, int32_t>> Changed;
};

// The whole Open SPF sequence on a file, or on a document already loaded.
// Nothing is shown: a file that is no fitting partial patch changes nothing.
OpenSpfResult OpenSpf(firmware::FirmwareState& state, const std::string& path);
OpenSpfResult ApplyPatchDocument(firmware::FirmwareState& state, const xml::TGmXML& doc);

}  // namespace flashsmith::patches
