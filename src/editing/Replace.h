// Replacing a picture, a sound or a Java file with a file from disk. The
// new data goes to a replacement file in TempDir; the entry records its name
// and the region's Used follows. The firmware image is never written.
//
// aReplaceFileExecute -> ReplaceEntry (ReplacePicture / ReplaceSound /
// ReplaceJava by category); lvFirmwareFilesDragOver -> DropAccepted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "editing/EditResult.h"
#include "firmware/Picture.h"
#include "firmware/Variables.h"

namespace flashsmith::editing {

// Pictures: ".bmp", ".jpg", ".jpeg", ".png" or ".gif" (any case), cropped to
// 320 x 320 from the top left and encoded in the entry's format. With fit
// the picture is instead scaled down to the entry's own width and height
// (aspect kept, centred on black). RAW8 and unknown formats are refused.
EditResult ReplacePicture(firmware::FirmwareState& state, int32_t index, const std::string& source, bool fit = false);
// Sounds: a file whose name ends in ".mmf" (any case), copied byte for byte;
// or an audio file the registered converter accepts, converted to SMAF. A
// conversion larger than the room the sound region has for the entry (its
// free bytes plus the entry's own) is refused with SourceTooLarge and the
// size in Detail, before anything changes.
// sampleRate picks the converted audio track's rate (8000, 11025 or 22050;
// 0: the converter's default); files that need no conversion ignore it.
EditResult ReplaceSound(firmware::FirmwareState& state, int32_t index, const std::string& source, int sampleRate = 0);

// Turns audio files into SMAF. The editing layer decodes no audio itself; a
// front end that links a converter registers it.
struct SoundConverter {
    std::function<bool(const std::string& path)> Accepts;
    // The SMAF bytes at sampleRate (0: the default); the error begins "PATH: ".
    std::function<base::Result<std::vector<uint8_t>>(const std::string& path, int sampleRate)> Convert;
};
void SetSoundConverter(SoundConverter converter);
const SoundConverter& RegisteredSoundConverter();
// Java: a ".jad" replaces the entry and its ".jad"/".jar" partner with the
// chosen JAD and the JAR beside it; any other file replaces an entry of the
// same extension alone.
EditResult ReplaceJava(firmware::FirmwareState& state, int32_t index, const std::string& source);
// fit applies to pictures only, sampleRate to sounds converted from audio.
EditResult ReplaceEntry(firmware::FirmwareState& state, int32_t category, int32_t index, const std::string& source,
                        bool fit = false, int sampleRate = 0);

// Whether a file dragged onto the list of a category may be dropped there.
bool DropAccepted(int32_t category, const std::string& path);

// WBMP band layout: one byte per column of each band of eight rows, bit k =
// row k of the band, a set bit for black. A pixel is black when its luminance
// (r*299 + g*587 + b*114) / 1000 is below 128.
int32_t EncodeWbmp(const firmware::Picture& picture, int32_t width, int32_t height, std::string& out);

}  // namespace flashsmith::editing
