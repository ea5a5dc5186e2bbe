// The patches applied from the patches page, remembered so that the edits of
// chosen ones can be taken back without touching any other pending edit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/Variables.h"
#include "patches/ApplyPatch.h"

namespace flashsmith::patches {

class AppliedPatches {
public:
    // After an image is opened: forgets every applied patch and keeps the
    // image's own records, to which a cancelled entry returns.
    void Reset(const firmware::FirmwareState& state);
    // Open SPF on the file, remembering the entries it changed as they were
    // left.
    OpenSpfResult Apply(firmware::FirmwareState& state, const std::string& path);

    struct CancelResult {
        int Patches = 0;                // applied patches taken back
        int Entries = 0;                // entries returned to the image's data
        std::vector<int32_t> Categories;  // categories that changed, each once
    };
    // Takes back the edits the patches of the given files brought, newest
    // application first: each entry still as the patch left it returns to
    // the image's own data, with its region's use and the count of deleted
    // sounds kept exact. An entry changed since (by hand or by a later
    // patch) keeps that change.
    CancelResult Cancel(firmware::FirmwareState& state, const std::vector<std::string>& paths);

    bool IsApplied(const std::string& path) const;

private:
    struct Mark {
        int32_t Category = -1;
        int32_t Index = -1;
        std::string State;  // the entry as the patch left it
    };
    struct Applied {
        std::string Path;
        std::vector<Mark> Marks;
    };
    bool Restore(firmware::FirmwareState& state, const Mark& mark) const;

    std::vector<Applied> applied_;  // in the order applied
    firmware::tFirmware own_;                 // the image's records as read
    bool haveOwn_ = false;
};

}  // namespace flashsmith::patches
