// Editing a language string in place. The string keeps its stored UTF-8
// bytes in Text and the edit in NewText; an empty edit deletes the string.
//
// lvFirmwareFilesEditing -> CanEditString; lvFirmwareFilesEdited -> EditString.
#pragma once

#include <string>

#include "editing/EditResult.h"
#include "firmware/Variables.h"

namespace flashsmith::editing {

// Only strings with Link -1 are editable (not duplicates, not strings lying
// in another language's region).
bool CanEditString(const firmware::FirmwareState& state, int32_t category, int32_t index);
// The text as the list gives it: Windows-1251 bytes, stored as UTF-8.
EditResult EditString(firmware::FirmwareState& state, int32_t category, int32_t index, const std::string& ansiText);
// The text already in stored form (UTF-8), as the CLI takes it.
EditResult EditStringUtf8(firmware::FirmwareState& state, int32_t category, int32_t index, const std::string& utf8Text);

}  // namespace flashsmith::editing
