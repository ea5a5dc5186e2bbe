#include "cli/SoundOut.h"

#include <iostream>

#include "base/FileUtil.h"
#include "sound/Wav.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

Status RenderSmafToWav(std::string_view smaf, const sound::RenderOptions& options, const std::string& wavPath) {
    auto sound = sound::RenderSmaf({reinterpret_cast<const uint8_t*>(smaf.data()), smaf.size()}, options);
    if (!sound) return sound.ToStatus();
    for (const auto& w : sound->warnings) std::cerr << "warning: " << w << "\n";
    return sound::WriteWav(wavPath, *sound);
}

ExportResult ExportSoundAsWav(const FirmwareState& st, int32_t index, const std::string& folder) {
    ExportResult r;
    if (!st.FirmwareLoaded || !st.FirmwareFile || index < 0 ||
        index >= static_cast<int32_t>(st.Firmware.Sounds.size()) || st.Firmware.Sounds[index].Size == 0) {
        r.Status = ExportStatus::NothingToExport;
        return r;
    }
    const tSndType& s = st.Firmware.Sounds[index];
    r.Path = JoinPath(folder, SoundExportStem(index) + ".wav");
    if (SameFile(r.Path, st.FirmwarePath)) {
        r.Status = ExportStatus::WriteFailed;
        r.Error = r.Path + ": is the open firmware image";
        return r;
    }
    const std::string_view data = st.FirmwareFile->View(s.Address, static_cast<size_t>(s.Size));
    if (static_cast<int64_t>(data.size()) != s.Size) {
        r.Status = ExportStatus::NothingToExport;
        r.Error = "the data lies past the end of the image";
        return r;
    }
    if (Status s = RenderSmafToWav(data, sound::RenderOptions{}, r.Path); !s) {
        r.Status = ExportStatus::DecodeFailed;
        r.Error = s.Error();
    }
    return r;
}

}  // namespace flashsmith::cli
