// Whether a patch is already in an image: every data element's new bytes
// ("to") compared with the bytes at its offset. Users keep folders of
// patches and need to know which their firmware already carries.
#pragma once

#include <cstdint>
#include <string_view>

#include "firmware/BinFile.h"
#include "patches/PatchReader.h"

namespace flashsmith::patches {

enum class PatchInstalled { Yes, Partly, No };

struct PatchStatus {
    PatchInstalled Installed = PatchInstalled::No;
    bool Fits = false;               // a part of the patch is made for the image's version
    uint64_t Elements = 0;           // data elements with an offset and new bytes
    uint64_t MatchingElements = 0;   // those whose bytes are all in place
    uint64_t Bytes = 0;              // their new bytes in all
    uint64_t MatchingBytes = 0;      // the new bytes of the matching elements
};

// Compares the resources of the parts made for firmwareVersion (of every
// part when none is) with the image. "Yes" when every data element is in
// place, "Partly" when some are, "No" otherwise, also for a patch without
// data. Elements reaching past the end of the image do not match.
PatchStatus GetPatchStatus(const PatchContents& patch, const firmware::BinFile& image, std::string_view firmwareVersion);

// "Yes", "Partly", "No".
const char* PatchInstalledText(PatchInstalled installed);

}  // namespace flashsmith::patches
