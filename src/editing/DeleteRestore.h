// Marking entries deleted and restoring them to the firmware's own data,
// for every category including language strings. Deleting or restoring a
// replaced entry throws its replacement file away; Used stays exact.
//
// aDeleteFileExecute -> DeleteEntry; aRestoreFileExecute -> RestoreEntry.
#pragma once

#include "editing/EditResult.h"
#include "firmware/Variables.h"

namespace flashsmith::editing {

// Pictures and sounds that share another entry's data, and strings with a
// Link, are refused. A ".jad"/".jar" entry is deleted with its partner; a
// Java entry without a partner cannot be deleted.
EditResult DeleteEntry(firmware::FirmwareState& state, int32_t category, int32_t index);
// A ".jad"/".jar" entry is restored with its partner (when it has one).
EditResult RestoreEntry(firmware::FirmwareState& state, int32_t category, int32_t index);

// While sounds are deleted, a patch stores one silent placeholder sound of
// this size for all of them, so the sound region's shown use includes it.
constexpr int32_t kDeletedSoundPlaceholderSize = 157;

}  // namespace flashsmith::editing
