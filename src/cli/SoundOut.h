// Rendering a SMAF file to a WAV file, shared by "sound render" and
// "export sounds --wav": warnings go to stderr.
#pragma once

#include <string>
#include <string_view>

#include "base/Result.h"
#include "editing/Export.h"
#include "firmware/Variables.h"
#include "sound/Smaf.h"

namespace flashsmith::cli {

base::Status RenderSmafToWav(std::string_view smaf, const sound::RenderOptions& options, const std::string& wavPath);

// Renders the stored data of sound entry index to folder/Sound_<n>.wav.
editing::ExportResult ExportSoundAsWav(const firmware::FirmwareState& state, int32_t index, const std::string& folder);

}  // namespace flashsmith::cli
